#include "spooler.h"

#include <cstring>

namespace spooler {

namespace {

char kEnvironment[] = "Windows NT x86";

// Where the installer passes no environment, the spooler takes the caller's
// own, which for the 32-bit program is "Windows NT x86". The x86_64 build,
// which only runs the tests, names it so that it installs the same driver.
#ifdef _WIN64
char* const kCallerEnvironment = kEnvironment;
// AddPrinterA has no environment argument: the spooler looks the printer's
// driver up under the caller's own environment. The x86_64 build therefore
// also registers the driver there, and removes that registration and its
// file copies again, so that printers are added and refused as for the
// 32-bit program.
char kOwnEnvironment[] = "Windows x64";
#else
char* const kCallerEnvironment = nullptr;
#endif

// Sizing call, exactly that many zero-filled bytes, filling call. A record
// count the buffer cannot hold is taken as no records.
template <class Record, class Enumerate>
Records<Record> EnumerateRecords(Enumerate enumerate) {
  DWORD needed = 0, count = 0;
  if (!enumerate(nullptr, 0, &needed, &count)) ::GetLastError();
  auto buffer = std::make_unique<BYTE[]>(needed ? needed : 1);  // value-initialised: zero-filled
  count = 0;
  DWORD filled = 0;
  if (!enumerate(buffer.get(), needed, &filled, &count)) count = 0;
  if (static_cast<unsigned long long>(count) * sizeof(Record) > needed) count = 0;
  return Records<Record>(std::move(buffer), count);
}

}  // namespace

Records<DRIVER_INFO_1A> EnumDrivers() {
  return EnumerateRecords<DRIVER_INFO_1A>([](BYTE* buf, DWORD size, DWORD* needed, DWORD* count) {
    return ::EnumPrinterDriversA(nullptr, kCallerEnvironment, 1, buf, size, needed, count);
  });
}

Records<PORT_INFO_1A> EnumPorts() {
  return EnumerateRecords<PORT_INFO_1A>([](BYTE* buf, DWORD size, DWORD* needed, DWORD* count) {
    return ::EnumPortsA(nullptr, 1, buf, size, needed, count);
  });
}

void ConfigurePort(HWND owner, const char* portName) {
  ::ConfigurePortA(nullptr, owner, const_cast<char*>(portName));
}

bool GetDriverDirectory(char (&directory)[256]) {
  DWORD needed = 0;
  directory[0] = '\0';
  // The spooler is told of 150 bytes; the rest of the buffer stays zero.
  const BOOL ok = ::GetPrinterDriverDirectoryA(nullptr, kEnvironment, 1, reinterpret_cast<BYTE*>(directory),
                                               150, &needed);
  directory[150] = '\0';
  if (!ok) directory[0] = '\0';
  return ok && directory[0] != '\0';
}

bool AddDriver(DRIVER_INFO_3A& info) {
  if (info.pEnvironment == nullptr) info.pEnvironment = kCallerEnvironment;
  const bool added = ::AddPrinterDriverA(nullptr, 3, reinterpret_cast<BYTE*>(&info)) != FALSE;
#ifdef _WIN64
  if (added) {
    DRIVER_INFO_3A own = info;
    own.pEnvironment = kOwnEnvironment;
    ::AddPrinterDriverA(nullptr, 3, reinterpret_cast<BYTE*>(&own));
  }
#endif
  return added;
}

UniquePrinter AddPrinter(PRINTER_INFO_2A& info) {
  return UniquePrinter(::AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info)));
}

void SetPrinterData(HANDLE printer, const char* valueName, DWORD type, const void* data, DWORD size) {
  ::SetPrinterDataA(printer, const_cast<char*>(valueName), type,
                    static_cast<BYTE*>(const_cast<void*>(data)), size);
}

void DeletePrinterConnection(const char* printerName) {
  ::DeletePrinterConnectionA(const_cast<char*>(printerName));
}

UniquePrinter OpenPrinterForDeletion(const char* printerName) {
  PRINTER_DEFAULTSA defaults{};
  defaults.pDatatype = const_cast<char*>("RAW");
  defaults.pDevMode = nullptr;
  defaults.DesiredAccess = PRINTER_ALL_ACCESS;
  HANDLE printer = nullptr;
  if (!::OpenPrinterA(const_cast<char*>(printerName), &printer, &defaults)) printer = nullptr;
  return UniquePrinter(printer);
}

void DeletePrinter(HANDLE printer) { ::DeletePrinter(printer); }

#ifdef _WIN64
namespace {

// Removes the x86_64 build's own registration of the driver and the copies
// the spooler made of its files.
void DeleteOwnDriver(const char* driverName) {
  auto drivers = EnumerateRecords<DRIVER_INFO_3A>([](BYTE* buf, DWORD size, DWORD* needed, DWORD* count) {
    return ::EnumPrinterDriversA(nullptr, kOwnEnvironment, 3, buf, size, needed, count);
  });
  for (const DRIVER_INFO_3A& driver : drivers) {
    if (driver.pName == nullptr || std::strcmp(driver.pName, driverName) != 0) continue;
    if (!::DeletePrinterDriverA(nullptr, kOwnEnvironment, const_cast<char*>(driverName))) return;
    for (const char* file : {driver.pDriverPath, driver.pDataFile, driver.pConfigFile})
      if (file != nullptr) ::DeleteFileA(file);
    return;
  }
}

}  // namespace
#endif

bool DeleteDriver(const char* driverName) {
#ifdef _WIN64
  DeleteOwnDriver(driverName);
#endif
  return ::DeletePrinterDriverA(nullptr, kEnvironment, const_cast<char*>(driverName)) != FALSE;
}

}  // namespace spooler
