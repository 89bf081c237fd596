// The package's custom actions: the installer's and the deployer's
// unattended courses, run by msiexec inside its transaction so that their
// lines go to its log, a restart they need becomes its restart request, and
// a failure rolls everything back. Scheduled by package.wxs.
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "courses.h"
#include "dialog.h"
#include "msi_session.h"
#include "package.h"
#include "package_machine.h"
#include "plugin_undo.h"
#include "silent.h"
#include "spooler.h"

#define CUSTOM_ACTION extern "C" __declspec(dllexport) UINT __stdcall

namespace {

constexpr char kUndoFolder[] = "PluginUndo";

// "folder|undo folder": the installed files' folder (without its trailing
// backslash, as the deployer names folders) and where the replaced plug-in
// files are kept until the transaction ends.
struct Folders {
  char source[MAX_PATH];
  char undo[MAX_PATH];
};

// "first|second", the first not empty, each shorter than MAX_PATH.
bool SplitAtBar(const char* data, char (&first)[MAX_PATH], char (&second)[MAX_PATH]) {
  const char* bar = std::strchr(data, '|');
  if (bar == nullptr) return false;
  const size_t firstLength = static_cast<size_t>(bar - data);
  if (firstLength == 0 || firstLength >= sizeof first || std::strlen(bar + 1) >= sizeof second) return false;
  std::memcpy(first, data, firstLength);
  first[firstLength] = '\0';
  std::strcpy(second, bar + 1);
  return true;
}

bool ReadFolders(MsiSession& session, Folders& folders) {
  char data[2 * MAX_PATH + 2];
  if (session.Property("CustomActionData", data, sizeof data) && SplitAtBar(data, folders.source, folders.undo))
    return true;
  session.Log().Step(ERROR_BAD_PATHNAME, "the installation folder handed to the action");
  return false;
}

// No registered host edition is a machine without the host application: the
// plug-in has nowhere to go, which is no failure of the package.
DWORD NoHostIsFine(DWORD outcome, RunLog& log) {
  if (outcome != ERROR_UNKNOWN_PRODUCT) return outcome;
  log.Step(ERROR_SUCCESS, "no host edition registered, the plug-in has nowhere to go");
  return ERROR_SUCCESS;
}

}  // namespace

// Immediate, before the transaction: checks the public properties and hands
// each deferred action what it needs, since those cannot read properties.
CUSTOM_ACTION PrepareCourses(MSIHANDLE install) {
  MsiSession session(install);
  char plugin[8];
  if (!session.Property("PLUGIN", plugin, sizeof plugin) || (std::strcmp(plugin, "1") && std::strcmp(plugin, "0"))) {
    session.Say("PLUGIN must be 1 (deploy the plug-in, the default) or 0 (leave it out)");
    return session.Finish(ERROR_INVALID_PARAMETER, "PLUGIN");
  }
  char port[256], folder[MAX_PATH];
  if (!session.Property("PORT", port, sizeof port)) return session.Finish(ERROR_UNKNOWN_PORT, "PORT");
  if (!session.Property("INSTALLDIR", folder, sizeof folder) || folder[0] == '\0')
    return session.Finish(ERROR_BAD_PATHNAME, "INSTALLDIR");
  const size_t length = std::strlen(folder);
  if (folder[length - 1] == '\\') folder[length - 1] = '\0';
  char folders[2 * MAX_PATH + 2];
  if (std::snprintf(folders, sizeof folders, "%s|%s\\%s", folder, folder, kUndoFolder) >=
      static_cast<int>(sizeof folders))
    return session.Finish(ERROR_FILENAME_EXCED_RANGE, "INSTALLDIR");

  // A rollback removes the driver only where this transaction adds it.
  bool installed = false;
  if (const DWORD error = CPLOTINSTDlg::FindDriver(kModelName, installed)) {
    session.Log().Step(error, "list the printer drivers");
    return session.Finish(error, "PrepareCourses");
  }
  // A removal's rollback puts the printer back on the port it has now.
  char printerPort[256];
  const DWORD portError = spooler::PrinterPort(kModelName, printerPort);
  if (portError != ERROR_SUCCESS && portError != ERROR_INVALID_PRINTER_NAME) {
    session.Log().Step(portError, "the port of printer \"%s\"", kModelName);
    return session.Finish(portError, "PrepareCourses");
  }
  char printer[MAX_PATH + 260], restore[MAX_PATH + 260];
  if (std::snprintf(printer, sizeof printer, "%s|%s", folder, port) >= static_cast<int>(sizeof printer))
    return session.Finish(ERROR_FILENAME_EXCED_RANGE, "PORT");
  std::snprintf(restore, sizeof restore, "%s|%s", folder, portError == ERROR_SUCCESS ? printerPort : "");
  bool ok = session.SetProperty("InstallPrinter", printer) &&
            session.SetProperty("RollbackPrinter", installed ? "keep" : "remove") &&
            session.SetProperty("RestorePrinter", restore);
  for (const char* action : {"DeployPlugin", "RollbackPlugin", "CommitPlugin", "RemovePlugin", "RollbackPluginRemoval",
                             "CommitPluginRemoval"})
    ok = ok && session.SetProperty(action, folders);
  return ok ? ERROR_SUCCESS : session.Finish(ERROR_GEN_FAILURE, "hand the properties to the deferred actions");
}

// "folder|port": the driver package is read from the working directory, as
// the program reads it from its own folder.
CUSTOM_ACTION InstallPrinter(MSIHANDLE install) {
  MsiSession session(install);
  wchar_t data[MAX_PATH + 260];
  wchar_t* bar = nullptr;
  if (session.Property("CustomActionData", data, MAX_PATH + 260)) bar = std::wcschr(data, L'|');
  if (bar == nullptr) return session.Finish(ERROR_BAD_PATHNAME, "install the printer");
  *bar = L'\0';
  const wchar_t* port = bar + 1;
  if (!::SetCurrentDirectoryW(data)) {
    const DWORD error = ::GetLastError();
    session.Log().Step(error, "open the installation folder");
    return session.Finish(error, "install the printer");
  }
  return session.Finish(SilentInstall(port[0] != L'\0' ? port : nullptr, session.Log()), "install the printer");
}

CUSTOM_ACTION RollbackPrinter(MSIHANDLE install) {
  MsiSession session(install);
  char data[8];
  if (session.Property("CustomActionData", data, sizeof data) && std::strcmp(data, "remove") == 0)
    SilentDelete(session.Log());
  return ERROR_SUCCESS;
}

// A removal's rollback, "folder|port" (no port: there was no printer): the
// printer goes back on its port, and its driver from the installed package
// (back in its folder by then) where the removal took that too.
CUSTOM_ACTION RestorePrinter(MSIHANDLE install) {
  MsiSession session(install);
  char data[MAX_PATH + 260], folder[MAX_PATH], port[MAX_PATH], now[256];
  if (!session.Property("CustomActionData", data, sizeof data) || !SplitAtBar(data, folder, port) || port[0] == '\0' ||
      spooler::PrinterPort(kModelName, now) == ERROR_SUCCESS)
    return ERROR_SUCCESS;
  // The printer alone where the driver is still there; else, or where the
  // spooler wants the driver of another environment back first, the driver
  // and the printer.
  bool driver = false;
  CPLOTINSTDlg::StepsResult result;
  if (CPLOTINSTDlg::FindDriver(kModelName, driver) == ERROR_SUCCESS && driver)
    CPLOTINSTDlg::AddModelPrinter(kModelName, port, result, session.Log());
  if (result.succeeded) return ERROR_SUCCESS;
  if (::SetCurrentDirectoryA(folder))
    CPLOTINSTDlg::InstallModel(kModelName, ModelFilesAt(0), port, false, ReadPackageFit(), session.Log());
  else
    session.Log().Step(::GetLastError(), "open the installation folder");
  return ERROR_SUCCESS;
}

CUSTOM_ACTION DeployPlugin(MSIHANDLE install) {
  MsiSession session(install);
  Folders folders;
  if (!ReadFolders(session, folders)) return session.Finish(ERROR_BAD_PATHNAME, "deploy the plug-in");
  DWORD outcome = KeepPluginFiles(folders.undo, folders.source, session.Log());
  if (outcome == ERROR_SUCCESS)
    outcome =
        NoHostIsFine(DeployAllEditions(session.Log(), HeldModule::ReplaceAtRestart, folders.source), session.Log());
  return session.Finish(outcome, "deploy the plug-in");
}

CUSTOM_ACTION RollbackPlugin(MSIHANDLE install) {
  MsiSession session(install);
  Folders folders;
  if (ReadFolders(session, folders)) RestorePluginFiles(folders.undo, session.Log());
  return ERROR_SUCCESS;
}

CUSTOM_ACTION CommitPlugin(MSIHANDLE install) {
  MsiSession session(install);
  Folders folders;
  if (!ReadFolders(session, folders)) return ERROR_SUCCESS;
  DropPluginFiles(folders.undo);
  // After a removal the installation folder is empty by now but for the
  // kept files' folder, which kept it from going with the files.
  ::RemoveDirectoryA(folders.source);
  return ERROR_SUCCESS;
}

CUSTOM_ACTION RemovePrinter(MSIHANDLE install) {
  MsiSession session(install);
  return session.Finish(SilentDelete(session.Log()), "remove the printer and its driver");
}

CUSTOM_ACTION RemovePlugin(MSIHANDLE install) {
  MsiSession session(install);
  Folders folders;
  if (!ReadFolders(session, folders)) return session.Finish(ERROR_BAD_PATHNAME, "remove the plug-in");
  DWORD outcome = KeepPluginFiles(folders.undo, folders.source, session.Log());
  if (outcome == ERROR_SUCCESS) outcome = NoHostIsFine(RemoveAllEditions(session.Log(), folders.source), session.Log());
  return session.Finish(outcome, "remove the plug-in");
}
