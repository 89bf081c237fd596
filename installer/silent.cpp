#include "silent.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "dialog.h"
#include "package.h"
#include "port_filter.h"
#include "run_log.h"
#include "spooler.h"

namespace {

// The port the dialog would preselect, or the one asked for exactly as the
// spooler lists it; ERROR_UNKNOWN_PORT when no listed port is that one.
DWORD ChoosePort(const char* requested, char (&port)[256]) {
  port[0] = '\0';
  if (requested != nullptr && !IsPlausiblePortName(requested)) return ERROR_UNKNOWN_PORT;
  char usbPortName[255] = "";
  const int usb = requested == nullptr ? CPLOTINSTDlg::FindPlotterUsbPort() : -1;
  if (usb != -1) std::snprintf(usbPortName, sizeof usbPortName, "USB%03d", usb);

  const spooler::Records<PORT_INFO_1A> ports = spooler::EnumPorts();
  PortSelection selection(usbPortName);
  std::vector<const char*> listed;
  for (const PORT_INFO_1A& info : ports) {
    // A name the dialog's list could not show is not offered here either.
    if (info.pName == nullptr || std::strlen(info.pName) >= sizeof port || !selection.Offer(info.pName)) continue;
    listed.push_back(info.pName);
  }
  const char* chosen = nullptr;
  if (requested == nullptr) {
    if (!listed.empty()) chosen = listed[static_cast<size_t>(selection.Selected())];
  } else {
    for (const char* name : listed)
      if (std::strcmp(name, requested) == 0) chosen = name;
  }
  if (chosen == nullptr) return ERROR_UNKNOWN_PORT;
  std::memcpy(port, chosen, std::strlen(chosen) + 1);
  return ERROR_SUCCESS;
}

DWORD SilentInstall(const char* requestedPort, RunLog& log) {
  char port[256];
  const DWORD portError = ChoosePort(requestedPort, port);
  log.Step(portError, "port %s", portError == ERROR_SUCCESS ? port : (requestedPort ? "asked for" : "to preselect"));
  if (portError != ERROR_SUCCESS) return portError;
  if (CPLOTINSTDlg::IsDriverInstalled(kModelName)) {
    log.Step(ERROR_SUCCESS, "printer driver \"%s\" already installed, nothing to do", kModelName);
    return ERROR_SUCCESS;
  }
  const CPLOTINSTDlg::StepsResult result = CPLOTINSTDlg::InstallModel(kModelName, ModelFilesAt(0), port, true, log);
  log.Step(result.error, "install");
  return result.error;
}

DWORD SilentDelete(RunLog& log) {
  if (!CPLOTINSTDlg::IsDriverInstalled(kModelName)) {
    log.Step(ERROR_SUCCESS, "no printer driver \"%s\" installed, nothing to do", kModelName);
    return ERROR_SUCCESS;
  }
  const CPLOTINSTDlg::StepsResult result = CPLOTINSTDlg::RemoveModel(kModelName, ModelFilesAt(0), log);
  log.Step(result.error, "delete");
  return result.error;
}

}  // namespace

DWORD RunSilentCourse(const SilentSwitches& switches) {
  RunLog log;
  if (const DWORD error = StartSilentRun(switches, log)) return error;
  return switches.Course() == SilentCourse::Delete ? SilentDelete(log) : SilentInstall(switches.Port(), log);
}
