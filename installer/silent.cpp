#include "silent.h"

#include <cstring>
#include <cwchar>

#include "dialog.h"
#include "elevation.h"
#include "failure_text.h"
#include "package.h"
#include "package_machine.h"
#include "port_filter.h"
#include "restart_removal.h"
#include "run_log.h"
#include "spooler.h"
#include "win32_error.h"

namespace {

// The port name asked for, spelt in the code page the spooler lists its
// ports in. False when it has no exact spelling there: the nearest spelling
// could name another port, and no listed port can be this one.
bool SpellAsListed(const wchar_t* requested, char (&name)[256]) {
  name[0] = '\0';
  if (::WideCharToMultiByte(CP_ACP, 0, requested, -1, name, sizeof name, nullptr, nullptr) <= 0) {
    name[0] = '\0';
    return false;
  }
  wchar_t back[256];
  const int n = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name, -1, back, 256);
  return n > 0 && std::wcscmp(back, requested) == 0 && IsPlausiblePortName(name);
}

// Whether the model's driver is installed, in the environment given or (for
// none) in any removal looks in: 0, or the spooler's refusal to tell.
DWORD FindModelDriver(const PackageFit* fit, bool& installed, RunLog& log) {
  const DWORD error = fit != nullptr ? CPLOTINSTDlg::FindDriverIn(fit->environment, kModelName, installed)
                                     : CPLOTINSTDlg::FindDriver(kModelName, installed);
  if (error != ERROR_SUCCESS) log.Step(error, "list the printer drivers");
  return error;
}

}  // namespace

DWORD SilentInstall(const wchar_t* requestedPort, RunLog& log) {
  char port[256];
  if (const DWORD error = ChoosePort(requestedPort, port, log)) return error;
  // Installed or not, a package that does not fit this Windows is refused;
  // installed means installed for the environment the package is for.
  const PackageFit fit = ReadPackageFit();
  bool installed = false;
  if (fit.fits)
    if (const DWORD error = FindModelDriver(&fit, installed, log)) return error;
  if (installed) {
    // Installed, but a removal left one of its files to the restart, which
    // would take it from the driver: that is not nothing to do.
    char directory[256], pending[512];
    if (!spooler::GetDriverDirectory(fit.environment, directory)) {
      const DWORD error = LastErrorOr(ERROR_PATH_NOT_FOUND);
      log.Step(error, "driver directory");
      return error;
    }
    if (FindPendingDriverFile(directory, *ModelFilesAt(0), pending)) {
      log.Step(kRestartFirst, "%s to be deleted at the next restart", pending);
      return kRestartFirst;
    }
    log.Step(ERROR_SUCCESS, "printer driver \"%s\" already installed, nothing to do", kModelName);
    return ERROR_SUCCESS;
  }
  const CPLOTINSTDlg::StepsResult result =
      CPLOTINSTDlg::InstallModel(kModelName, ModelFilesAt(0), port, true, fit, log);
  log.Step(result.error, "install");
  return result.error;
}

// With the driver gone, files an earlier removal could not delete are still
// its own to finish, those no installed driver or monitor names: nothing is
// to do only when every such file is gone or already deleted at the next
// restart.
DWORD SilentDelete(RunLog& log) {
  bool installed = false;
  if (const DWORD error = FindModelDriver(nullptr, installed, log)) return error;
  CPLOTINSTDlg::StepsResult result;
  if (installed) {
    result = CPLOTINSTDlg::RemoveModel(kModelName, ModelFilesAt(0), log);
  } else {
    CPLOTINSTDlg::RemoveDriverFiles(kModelName, *ModelFilesAt(0), result, log);
    if (!result.changed && result.error == ERROR_SUCCESS) {
      log.Step(ERROR_SUCCESS, "no printer driver \"%s\" installed and no file of it left to delete, nothing to do",
               kModelName);
      return ERROR_SUCCESS;
    }
  }
  log.Step(result.error, "delete");
  return result.error;
}

DWORD ChoosePort(const wchar_t* requested, char (&port)[256], RunLog& log) {
  port[0] = '\0';
  char asked[256] = "";
  if (requested != nullptr && !SpellAsListed(requested, asked)) {
    log.Step(ERROR_UNKNOWN_PORT, "port asked for");
    return ERROR_UNKNOWN_PORT;
  }
  char usbPortName[255] = "";
  if (requested == nullptr) CPLOTINSTDlg::PlotterUsbPortName(usbPortName);
  CPLOTINSTDlg::PortList list;
  if (const DWORD error = CPLOTINSTDlg::ListPorts(usbPortName, list)) {
    log.Step(error, "list the spooler's ports");
    return error;
  }
  const char* chosen = nullptr;
  if (requested == nullptr) {
    if (!list.names.empty()) chosen = list.names[static_cast<size_t>(list.selected)];
  } else {
    for (const char* name : list.names)
      if (std::strcmp(name, asked) == 0) chosen = name;
  }
  if (chosen == nullptr) {
    log.Step(ERROR_UNKNOWN_PORT, "port %s", requested != nullptr ? asked : "to preselect");
    return ERROR_UNKNOWN_PORT;
  }
  // Listed names are shorter than the list's entries.
  std::memcpy(port, chosen, std::strlen(chosen) + 1);
  log.Step(ERROR_SUCCESS, "port %s", port);
  return ERROR_SUCCESS;
}

DWORD RunSilentCourse(const SilentSwitches& switches) {
  RunLog log;
  if (const DWORD error = StartSilentRun(switches, log)) return error;
  // Windows would refuse a step part-way; nothing is begun without the rights.
  if (!HoldsAdministratorRights()) {
    log.Step(kElevationRequired, "this course needs administrator rights: run it elevated or as the system account");
    return kElevationRequired;
  }
  return switches.Course() == SilentCourse::Delete ? SilentDelete(log) : SilentInstall(switches.Port(), log);
}
