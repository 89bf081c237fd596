// Delete: the printer and the driver of the model's name removed, then the
// driver files from the driver directory and its subfolder 3.
#include "dialog.h"
#include "package.h"
#include "spooler.h"
#include "win32_error.h"

namespace {

// Deletes a file the removal owns; one already gone counts as deleted.
DWORD DeleteOwnedFile(const char* path, RunLog& log) {
  DWORD error = ::DeleteFileA(path) ? ERROR_SUCCESS : LastErrorOr(ERROR_GEN_FAILURE);
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) error = ERROR_SUCCESS;
  log.Step(error, "delete %s", path);
  return error;
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
    result.error = ERROR_INVALID_INDEX;
    return result;
  }

  // A missing connection or printer is no failure: the driver decides.
  spooler::DeletePrinterConnection(model);
  DWORD printerError = ERROR_SUCCESS;
  if (spooler::UniquePrinter printer = spooler::OpenPrinterForDeletion(model)) spooler::DeletePrinter(printer.get());
  else printerError = LastErrorOr(ERROR_INVALID_PRINTER_NAME);
  log.Step(printerError, "delete printer \"%s\"", model);
  if (!spooler::DeleteDriver(model)) {
    result.error = LastErrorOr(ERROR_GEN_FAILURE);
    log.Step(result.error, "delete printer driver \"%s\"", model);
    return result;
  }
  log.Step(ERROR_SUCCESS, "delete printer driver \"%s\"", model);
  result.succeeded = true;

  char system[512];
  char plotsvc[512];
  const UINT n = ::GetSystemDirectoryA(system, sizeof system);
  const bool havePlotsvc = n != 0 && n < sizeof system && JoinPath(plotsvc, sizeof plotsvc, system, "\\plotsvc.dll");

  // Without the driver directory no path is built: nothing is deleted at the
  // root of the current drive.
  char directory[256];
  const bool haveDirectory = spooler::GetDriverDirectory(directory);
  if (!haveDirectory) {
    result.Note(LastErrorOr(ERROR_PATH_NOT_FOUND));
    log.Step(result.error, "driver directory");
  }
  DriverPaths paths;
  if (haveDirectory && BuildDriverPaths(paths, directory, "", *files)) {
    result.Note(DeleteOwnedFile(paths.driver, log));
    result.Note(DeleteOwnedFile(paths.data, log));
    result.Note(DeleteOwnedFile(paths.config, log));
  }
  if (havePlotsvc) result.Note(DeleteOwnedFile(plotsvc, log));
  if (haveDirectory && BuildDriverPaths(paths, directory, "\\3", *files)) {
    result.Note(DeleteOwnedFile(paths.driver, log));
    result.Note(DeleteOwnedFile(paths.data, log));
    result.Note(DeleteOwnedFile(paths.config, log));
  }
  return result;
}
