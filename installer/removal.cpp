// Delete: the printer and the driver of the model's name removed, then the
// driver files from the driver directory and its subfolder 3, in each
// environment the driver may have been installed for.
#include <cstring>

#include "dialog.h"
#include "file_names.h"
#include "machine.h"
#include "package.h"
#include "package_machine.h"
#include "restart_removal.h"
#include "spooler.h"
#include "win32_error.h"

namespace {

// Whether another installed driver or a port monitor names a file: the
// spooler's drivers of the files' environment other than the one removed,
// and its monitors.
class OtherUsers {
 public:
  // 0, or the spooler's refusal to list its drivers or monitors.
  DWORD Read(const char* environment, const char* model) {
    m_model = model;
    m_drivers = spooler::EnumDriverFiles(environment);
    if (const DWORD error = m_drivers.Error()) return error;
    m_monitors = spooler::EnumMonitors();
    return m_monitors.Error();
  }

  // True, said in the log, when one of them names the file.
  bool Name(const char* path, RunLog& log) const {
    for (const DRIVER_INFO_3A& driver : m_drivers) {
      const char* name = driver.pName != nullptr ? driver.pName : "";
      if (std::strcmp(name, m_model) == 0 || !NamesFile(driver, path)) continue;
      log.Step(ERROR_SUCCESS, "%s named by printer driver \"%s\", left in place", path, name);
      return true;
    }
    for (const MONITOR_INFO_2A& monitor : m_monitors) {
      if (!SameFileName(monitor.pDLLName, path)) continue;
      log.Step(ERROR_SUCCESS, "%s named by port monitor \"%s\", left in place", path,
               monitor.pName != nullptr ? monitor.pName : "");
      return true;
    }
    return false;
  }

 private:
  static bool NamesFile(const DRIVER_INFO_3A& driver, const char* path) {
    for (const char* file : {driver.pDriverPath, driver.pDataFile, driver.pConfigFile, driver.pHelpFile})
      if (SameFileName(file, path)) return true;
    return ListNamesFile(driver.pDependentFiles, path);
  }

  const char* m_model = "";
  spooler::Records<DRIVER_INFO_3A> m_drivers;
  spooler::Records<MONITOR_INFO_2A> m_monitors;
};

// A file the system holds: still loaded or open without delete sharing.
bool IsHeld(const char* path, DWORD deleteError) {
  if (deleteError != ERROR_SHARING_VIOLATION && deleteError != ERROR_ACCESS_DENIED) return false;
  const DWORD attributes = ::GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// A read-only file refuses its deletion as a held one does, but nothing need
// hold it. Its attributes before, once it is made writable; 0 when it was not
// read-only.
DWORD MakeWritable(const char* path) {
  const DWORD attributes = ::GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0) return 0;
  const DWORD writable = attributes & ~FILE_ATTRIBUTE_READONLY;
  return ::SetFileAttributesA(path, writable != 0 ? writable : FILE_ATTRIBUTE_NORMAL) ? attributes : 0;
}

// 0 once the file is deleted, else why not. A read-only one is made writable
// and tried again; attributesBefore then says what to restore.
DWORD DeleteOwnedFile(const char* path, DWORD& attributesBefore) {
  attributesBefore = 0;
  if (::DeleteFileA(path)) return ERROR_SUCCESS;
  const DWORD error = LastErrorOr(ERROR_GEN_FAILURE);
  if (error != ERROR_ACCESS_DENIED) return error;
  attributesBefore = MakeWritable(path);
  if (attributesBefore == 0) return error;
  return ::DeleteFileA(path) ? ERROR_SUCCESS : LastErrorOr(ERROR_GEN_FAILURE);
}

// Deletes a file the removal owns, unless another driver or a monitor names
// it. One already gone is no change; one the system holds is deleted at the
// next restart, as setup programs do, under the name the restart knows it by.
void RemoveOwnedFile(const char* path, const char* restartName, const OtherUsers& others,
                     CPLOTINSTDlg::StepsResult& result, RunLog& log) {
  if (::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES && others.Name(path, log)) return;
  DWORD attributesBefore = 0;
  DWORD error = DeleteOwnedFile(path, attributesBefore);
  if (error == ERROR_SUCCESS) {
    log.Step(ERROR_SUCCESS, "delete %s", path);
    result.changed = true;
    return;
  }
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
    log.Step(ERROR_SUCCESS, "no %s to delete", path);
    return;
  }
  if (IsHeld(path, error)) {
    // The restart cannot delete a read-only file, and a held one refused
    // with a sharing violation before its attribute was looked at.
    if (attributesBefore == 0) attributesBefore = MakeWritable(path);
    if (IsPendingDeletion(restartName)) {
      log.Step(ERROR_SUCCESS, "%s held, already to be deleted at the next restart", restartName);
      return;
    }
    if (::MoveFileExA(restartName, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
      log.Step(kRestartRequired, "%s held, to be deleted at the next restart", restartName);
      result.changed = true;
      result.Note(kRestartRequired);
      return;
    }
    error = LastErrorOr(ERROR_GEN_FAILURE);
  }
  // Not deleted and not to be: as it was.
  if (attributesBefore != 0) ::SetFileAttributesA(path, attributesBefore);
  log.Step(error, "delete %s", path);
  result.Note(error);
}

// Removes the printer of the model's name. None there is no failure: the
// driver's removal decides.
void RemovePrinter(const char* model, CPLOTINSTDlg::StepsResult& result, RunLog& log) {
  spooler::DeletePrinterConnection(model);
  spooler::UniquePrinter printer = spooler::OpenPrinterForDeletion(model);
  if (!printer) {
    const DWORD error = LastErrorOr(ERROR_INVALID_PRINTER_NAME);
    if (error == ERROR_INVALID_PRINTER_NAME) {
      log.Step(ERROR_SUCCESS, "no printer \"%s\" to delete", model);
    } else {
      log.Step(error, "open printer \"%s\" to delete it", model);
      result.Note(error);
    }
    return;
  }
  const DWORD error = spooler::DeletePrinter(printer.get()) ? ERROR_SUCCESS : LastErrorOr(ERROR_GEN_FAILURE);
  log.Step(error, "delete printer \"%s\"", model);
  result.Note(error);
}

// Whether an environment is other than the x86 one the program always used.
bool Native(const char* environment) { return std::strcmp(environment, EnvironmentOf(Machine::X86)) != 0; }

}  // namespace

void CPLOTINSTDlg::OnDelete() {
  m_removing = 1;
  StartAnimation();
  char model[256];
  const ModelFiles* files = SelectedModel(model);
  RunLog noLog;
  ShowOutcome(RemoveModel(model, files, noLog), "Delete printer driver fail!", "Delete success!");
}

CPLOTINSTDlg::StepsResult CPLOTINSTDlg::RemoveModel(const char* model, const ModelFiles* files, RunLog& log) {
  StepsResult result;
  if (files == nullptr) {
    log.Step(ERROR_INVALID_INDEX, "model \"%s\" in the model table", model);
    result.Note(ERROR_INVALID_INDEX);
    return result;
  }
  RemovePrinter(model, result, log);
  // The native environment's driver, then on 64-bit Windows an x86 one an
  // older installer left. With none listed anywhere the x86 one is asked
  // for anyway: the spooler's own refusal says there is none, as it always did.
  const Environments environments = RemovalEnvironments(SystemMachine());
  for (int i = 0; i < environments.count; ++i) {
    const char* environment = environments.names[i];
    const bool lastChance = i + 1 == environments.count && !result.succeeded;
    bool listed = false;
    if (FindDriverIn(environment, model, listed) == ERROR_SUCCESS && !listed && !lastChance) continue;
    const bool deleted = spooler::DeleteDriver(model, environment);
    const DWORD error = deleted ? ERROR_SUCCESS : LastErrorOr(ERROR_GEN_FAILURE);
    log.Step(error, "delete printer driver \"%s\"%s%s", model, Native(environment) ? " for " : "",
             Native(environment) ? environment : "");
    result.Note(error);
    if (!deleted) return result;
    result.succeeded = true;
    result.changed = true;
    RemoveDriverFilesIn(environment, model, *files, result, log);
  }
  return result;
}

void CPLOTINSTDlg::RemoveDriverFiles(const char* model, const ModelFiles& files, StepsResult& result, RunLog& log) {
  const Environments environments = RemovalEnvironments(SystemMachine());
  for (int i = 0; i < environments.count; ++i) RemoveDriverFilesIn(environments.names[i], model, files, result, log);
}

void CPLOTINSTDlg::RemoveDriverFilesIn(const char* environment, const char* model, const ModelFiles& files,
                                       StepsResult& result, RunLog& log) {
  // A file another driver or a monitor names is theirs too: without their
  // list, nothing is deleted.
  OtherUsers others;
  if (const DWORD error = others.Read(environment, model)) {
    log.Step(error, "list the printer drivers%s%s and port monitors", Native(environment) ? " for " : "",
             Native(environment) ? environment : "");
    result.Note(error);
    return;
  }
  // The x86 spooler's companion lives in this program's system folder
  // (SysWOW64 on 64-bit Windows), a native driver's in the native one.
  char plotsvc[512], plotsvcAtRestart[512];
  const bool havePlotsvc = Native(environment) ? NativeSystemFilePath("\\plotsvc.dll", plotsvc, plotsvcAtRestart)
                                               : SystemFilePath("\\plotsvc.dll", plotsvc, plotsvcAtRestart);

  // Without the driver directory no path is built: nothing is deleted at the
  // root of the current drive.
  char directory[256];
  const bool haveDirectory = spooler::GetDriverDirectory(environment, directory);
  if (!haveDirectory) {
    const DWORD error = LastErrorOr(ERROR_PATH_NOT_FOUND);
    log.Step(error, "driver directory%s%s", Native(environment) ? " for " : "", Native(environment) ? environment : "");
    result.Note(error);
  }
  // The driver files go at the restart by the spooler's own path.
  auto removeAll = [&](const DriverPaths& paths) {
    for (const char* file : {paths.driver, paths.data, paths.config}) RemoveOwnedFile(file, file, others, result, log);
  };
  DriverPaths paths;
  if (haveDirectory && BuildDriverPaths(paths, directory, "", files)) removeAll(paths);
  if (havePlotsvc) RemoveOwnedFile(plotsvc, plotsvcAtRestart, others, result, log);
  if (haveDirectory && BuildDriverPaths(paths, directory, "\\3", files)) removeAll(paths);
}
