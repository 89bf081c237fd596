// Install: the package unscrambled into the spooler's driver directory, the
// driver registered, a printer of the model's name added on the chosen port.
#include <cstring>
#include <utility>

#include "dialog.h"
#include "package.h"
#include "package_machine.h"
#include "port_filter.h"
#include "restart_removal.h"
#include "spooler.h"
#include "win32_error.h"

namespace {

// 10000000 as a 32-bit little-endian number, for the plotter's driver to read.
constexpr BYTE kModeNo[4] = {0x80, 0x96, 0x98, 0x00};

}  // namespace

bool CPLOTINSTDlg::UnscrambleCopy(const char* source, const char* destination) {
  UniqueFile in(
      ::CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!in) return false;
  ::SetFilePointer(in.get(), 0, nullptr, FILE_BEGIN);
  UniqueFile out(::CreateFileA(destination, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out) return false;

  unsigned char buffer[1024];
  bool complete = true;
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(in.get(), buffer, sizeof buffer, &read, nullptr)) {
      complete = false;
      break;
    }
    if (read == 0) break;
    ScrambleBytes(buffer, read);
    DWORD written = 0;
    if (!::WriteFile(out.get(), buffer, read, &written, nullptr) || written != read) {
      if (written != read) ::SetLastError(ERROR_WRITE_FAULT);
      complete = false;
      break;
    }
  }
  const DWORD error = complete ? ERROR_SUCCESS : LastErrorOr(ERROR_WRITE_FAULT);
  out.reset();
  // A truncated driver file must never be registered.
  if (!complete) {
    ::DeleteFileA(destination);
    ::SetLastError(error);
  }
  return complete;
}

void CPLOTINSTDlg::OnInstall() {
  m_removing = 0;
  StartAnimation();
  char model[256];
  const ModelFiles* files = SelectedModel(model);
  char port[256];
  GetSelectedText(IDC_PORT, port);
  RunLog noLog;
  const PackageFit fit = ReadPackageFit();
  char refusal[512];
  RefusalText(refusal, sizeof refusal, fit.driver, fit.config, fit.system);
  ShowOutcome(InstallModel(model, files, port, m_portConfigured == 0, fit, noLog),
              fit.fits ? "Add printer fail!" : refusal, "Install success!");
}

CPLOTINSTDlg::StepsResult CPLOTINSTDlg::InstallModel(const char* model, const ModelFiles* files, const char* port,
                                                     bool comDefaults, const PackageFit& fit, RunLog& log) {
  // Steps after the package go on whatever they give, as they always have;
  // the first error still makes the result.
  StepsResult result;

  // A driver of another machine is one no printer of this Windows can use.
  if (!fit.fits) {
    char refusal[512];
    RefusalText(refusal, sizeof refusal, fit.driver, fit.config, fit.system);
    for (char* c = refusal; *c; ++c)
      if (*c == '\n') *c = ' ';
    log.Step(ERROR_EXE_MACHINE_TYPE_MISMATCH, "%s", refusal);
    result.Note(ERROR_EXE_MACHINE_TYPE_MISMATCH);
    return result;
  }

  char directory[256];
  if (files == nullptr) {
    log.Step(ERROR_INVALID_INDEX, "model \"%s\" in the model table", model);
    result.Note(ERROR_INVALID_INDEX);
    return result;
  }
  const bool haveDirectory = spooler::GetDriverDirectory(fit.environment, directory);
  const DWORD directoryError = haveDirectory ? ERROR_SUCCESS : LastErrorOr(ERROR_PATH_NOT_FOUND);
  log.Step(directoryError, "driver directory \"%s\"", directory);
  DriverPaths paths;
  if (haveDirectory && !BuildDriverPaths(paths, directory, "", *files)) {
    log.Step(ERROR_FILENAME_EXCED_RANGE, "driver paths in \"%s\"", directory);
    result.Note(ERROR_FILENAME_EXCED_RANGE);
  }
  result.Note(directoryError);
  if (result.error != ERROR_SUCCESS) return result;

  // A removal left a file of the model to be deleted at the next restart:
  // installed now, the driver would lose it then. The restart comes first.
  char pending[512];
  if (FindPendingDriverFile(directory, *files, pending)) {
    log.Step(kRestartFirst, "%s to be deleted at the next restart", pending);
    result.Note(kRestartFirst);
    return result;
  }

  // The driver is registered only from three complete files.
  const std::pair<const char*, const char*> copies[] = {
      {kPackageDriver, paths.driver}, {kPackageData, paths.data}, {kPackageConfig, paths.config}};
  for (const auto& [package, file] : copies) {
    const DWORD error = UnscrambleCopy(package, file) ? ERROR_SUCCESS : LastErrorOr(ERROR_READ_FAULT);
    log.Step(error, "unscramble %s to %s", package, file);
    if (error != ERROR_SUCCESS) {
      result.Note(error);
      return result;
    }
  }

  DRIVER_INFO_3A driver{};
  driver.cVersion = 3;
  driver.pName = const_cast<char*>(model);
  driver.pEnvironment = const_cast<char*>(fit.environment);
  driver.pDriverPath = paths.driver;
  driver.pDataFile = paths.data;
  driver.pConfigFile = paths.config;
  driver.pDefaultDataType = const_cast<char*>("RAW");
  const DWORD driverError = spooler::AddDriver(driver) ? ERROR_SUCCESS : LastErrorOr(ERROR_GEN_FAILURE);
  log.Step(driverError, "add printer driver \"%s\"", model);
  result.Note(driverError);

  if (IsComPort(port) && comDefaults) {
    const LONG comError = WriteDefaultComSettings(port);
    log.Step(static_cast<DWORD>(comError), "serial defaults of %s", port);
    result.Note(static_cast<DWORD>(comError));
  }

  AddModelPrinter(model, port, result, log);
  return result;
}

void CPLOTINSTDlg::AddModelPrinter(const char* model, const char* port, StepsResult& result, RunLog& log) {
  PRINTER_INFO_2A printer;
  std::memset(&printer, 0, sizeof printer);
  printer.pServerName = nullptr;
  printer.pPrinterName = const_cast<char*>(model);
  printer.pPortName = const_cast<char*>(port);
  printer.pDriverName = const_cast<char*>(model);
  printer.pPrintProcessor = const_cast<char*>("WinPrint");
  printer.pDatatype = const_cast<char*>("RAW");
  printer.AveragePPM = 400;
  spooler::UniquePrinter added = spooler::AddPrinter(printer);
  const DWORD printerError = added ? ERROR_SUCCESS : LastErrorOr(ERROR_GEN_FAILURE);
  log.Step(printerError, "add printer \"%s\" on %s", model, port);
  result.Note(printerError);
  if (!added) return;

  const DWORD modeError = spooler::SetPrinterData(added.get(), "ModeNo", REG_BINARY, kModeNo, sizeof kModeNo);
  log.Step(modeError, "printer data \"ModeNo\"");
  result.Note(modeError);
  added.reset();
  result.succeeded = true;
}
