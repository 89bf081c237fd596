// Install: the package unscrambled into the spooler's driver directory, the
// driver registered, a printer of the model's name added on the chosen port.
#include <cstring>

#include "dialog.h"
#include "package.h"
#include "port_filter.h"
#include "spooler.h"

namespace {

// 10000000 as a 32-bit little-endian number, for the plotter's driver to read.
constexpr BYTE kModeNo[4] = {0x80, 0x96, 0x98, 0x00};

}  // namespace

bool CPLOTINSTDlg::UnscrambleCopy(const char* source, const char* destination) {
  UniqueFile in(::CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
  if (!in) return false;
  ::SetFilePointer(in.get(), 0, nullptr, FILE_BEGIN);
  UniqueFile out(
      ::CreateFileA(destination, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
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
      complete = false;
      break;
    }
  }
  out.reset();
  // A truncated driver file must never be registered.
  if (!complete) ::DeleteFileA(destination);
  return complete;
}

void CPLOTINSTDlg::OnInstall() {
  m_removing = 0;
  StartAnimation();

  char model[256];
  GetSelectedText(IDC_MODEL, model);
  const ModelFiles* files = ModelFilesAt(static_cast<long>(GetDlgItem(IDC_MODEL).SendMessage(CB_GETCURSEL)));
  char directory[256];
  const bool haveDirectory = spooler::GetDriverDirectory(directory);

  // The driver is registered only from three complete files.
  DriverPaths paths;
  const bool placed = files != nullptr && haveDirectory && BuildDriverPaths(paths, directory, "", *files) &&
                      UnscrambleCopy(kPackageDriver, paths.driver) && UnscrambleCopy(kPackageData, paths.data) &&
                      UnscrambleCopy(kPackageConfig, paths.config);
  if (!placed) {
    StopAnimation();
    MessageBox("Add printer fail!");
    return;
  }

  DRIVER_INFO_3A driver{};
  driver.cVersion = 3;
  driver.pName = model;
  driver.pEnvironment = nullptr;
  driver.pDriverPath = paths.driver;
  driver.pDataFile = paths.data;
  driver.pConfigFile = paths.config;
  driver.pDefaultDataType = const_cast<char*>("RAW");
  spooler::AddDriver(driver);

  char port[256];
  GetSelectedText(IDC_PORT, port);
  if (IsComPort(port) && m_portConfigured == 0) WriteDefaultComSettings(port);

  PRINTER_INFO_2A printer;
  std::memset(&printer, 0, sizeof printer);
  printer.pServerName = nullptr;
  printer.pPrinterName = model;
  printer.pPortName = port;
  printer.pDriverName = model;
  printer.pPrintProcessor = const_cast<char*>("WinPrint");
  printer.pDatatype = const_cast<char*>("RAW");
  printer.AveragePPM = 400;
  spooler::UniquePrinter added = spooler::AddPrinter(printer);
  if (!added) {
    StopAnimation();
    MessageBox("Add printer fail!");
    return;
  }
  spooler::SetPrinterData(added.get(), "ModeNo", REG_BINARY, kModeNo, sizeof kModeNo);
  added.reset();

  StopAnimation();
  MessageBox("Install success!");
  RefreshButtons();
}
