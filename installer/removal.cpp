// Delete: the printer and the driver of the model's name removed, then the
// driver files from the driver directory and its subfolder 3.
#include "dialog.h"
#include "package.h"
#include "restart_removal.h"
#include "spooler.h"
#include "win32_error.h"

namespace {

// A file the system holds: still loaded or open without delete sharing.
bool IsHeld(const char* path, DWORD deleteError) {
  if (deleteError != ERROR_SHARING_VIOLATION && deleteError != ERROR_ACCESS_DENIED) return false;
  const DWORD attributes = ::GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Deletes a file the removal owns. One already gone is no change; one the
// system holds is deleted at the next restart, as setup programs do.
void RemoveOwnedFile(const char* path, CPLOTINSTDlg::StepsResult& result, RunLog& log) {
  if (::DeleteFileA(path)) {
    log.Step(ERROR_SUCCESS, "delete %s", path);
    result.changed = true;
    return;
  }
  DWORD error = LastErrorOr(ERROR_GEN_FAILURE);
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
    log.Step(ERROR_SUCCESS, "no %s to delete", path);
    return;
  }
  if (IsHeld(path, error)) {
    if (IsPendingDeletion(path)) {
      log.Step(ERROR_SUCCESS, "%s held, already to be deleted at the next restart", path);
      return;
    }
    if (::MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
      log.Step(kRestartRequired, "%s held, to be deleted at the next restart", path);
      result.changed = true;
      result.Note(kRestartRequired);
      return;
    }
    error = LastErrorOr(ERROR_GEN_FAILURE);
  }
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
  if (!spooler::DeleteDriver(model)) {
    const DWORD error = LastErrorOr(ERROR_GEN_FAILURE);
    log.Step(error, "delete printer driver \"%s\"", model);
    result.Note(error);
    return result;
  }
  log.Step(ERROR_SUCCESS, "delete printer driver \"%s\"", model);
  result.succeeded = true;
  result.changed = true;
  RemoveDriverFiles(*files, result, log);
  return result;
}

void CPLOTINSTDlg::RemoveDriverFiles(const ModelFiles& files, StepsResult& result, RunLog& log) {
  char system[512];
  char plotsvc[512];
  const UINT n = ::GetSystemDirectoryA(system, sizeof system);
  const bool havePlotsvc = n != 0 && n < sizeof system && JoinPath(plotsvc, sizeof plotsvc, system, "\\plotsvc.dll");

  // Without the driver directory no path is built: nothing is deleted at the
  // root of the current drive.
  char directory[256];
  const bool haveDirectory = spooler::GetDriverDirectory(directory);
  if (!haveDirectory) {
    const DWORD error = LastErrorOr(ERROR_PATH_NOT_FOUND);
    log.Step(error, "driver directory");
    result.Note(error);
  }
  DriverPaths paths;
  if (haveDirectory && BuildDriverPaths(paths, directory, "", files)) {
    RemoveOwnedFile(paths.driver, result, log);
    RemoveOwnedFile(paths.data, result, log);
    RemoveOwnedFile(paths.config, result, log);
  }
  if (havePlotsvc) RemoveOwnedFile(plotsvc, result, log);
  if (haveDirectory && BuildDriverPaths(paths, directory, "\\3", files)) {
    RemoveOwnedFile(paths.driver, result, log);
    RemoveOwnedFile(paths.data, result, log);
    RemoveOwnedFile(paths.config, result, log);
  }
}
