#include "spooler.h"

#include <cstring>

#include "system_dll.h"
#include "win32_error.h"

namespace spooler {

namespace {

// The spooler's DLL is no KnownDLL: imported by name it would be looked for
// beside the program first, before any code of the program runs. It is
// therefore loaded from the system directory when first needed.
#define WINSPOOL_FUNCTIONS(X)   \
  X(AddPrinterA)                \
  X(AddPrinterDriverA)          \
  X(ClosePrinter)               \
  X(ConfigurePortA)             \
  X(DeletePrinter)              \
  X(DeletePrinterConnectionA)   \
  X(DeletePrinterDriverA)       \
  X(EnumMonitorsA)              \
  X(EnumPortsA)                 \
  X(EnumPrinterDriversA)        \
  X(GetPrinterA)                \
  X(GetPrinterDriverDirectoryA) \
  X(OpenPrinterA)               \
  X(SetPrinterDataA)

struct Winspool {
#define WINSPOOL_POINTER(name) decltype(&::name) name;
  WINSPOOL_FUNCTIONS(WINSPOOL_POINTER)
#undef WINSPOOL_POINTER
};

BOOL CALLBACK LoadWinspool(PINIT_ONCE, PVOID api, PVOID*) {
#define WINSPOOL_LOAD(name) \
  static_cast<Winspool*>(api)->name = SystemFunction<decltype(&::name)>("winspool.drv", #name);
  WINSPOOL_FUNCTIONS(WINSPOOL_LOAD)
#undef WINSPOOL_LOAD
  return TRUE;
}

// Loaded once, by whichever thread asks first. Not a function-local object
// with a constructor: its guard would bring the runtime's exception and
// thread machinery into the program.
const Winspool& Api() {
  static Winspool api;
  static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
  ::InitOnceExecuteOnce(&once, LoadWinspool, &api, nullptr);
  return api;
}

// Calls a spooler function; a function the DLL did not give fails as the
// call itself would, with a zero result.
template <class Function, class... Args>
auto Call(Function function, Args... args) -> decltype(function(args...)) {
  if (function == nullptr) {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return {};
  }
  return function(args...);
}

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

// The environment asked for, or the caller's.
char* Named(const char* environment) {
  return environment != nullptr ? const_cast<char*>(environment) : kCallerEnvironment;
}

template <class Record, class Enumerator>
Records<Record> EnumerateRecords(Enumerator enumerate) {
  return Records<Record>(Enumerate(sizeof(Record), enumerate, [] { return ::GetLastError(); }));
}

}  // namespace

Records<DRIVER_INFO_1A> EnumDrivers(const char* environment) {
  char* const env = Named(environment);
  return EnumerateRecords<DRIVER_INFO_1A>([env](BYTE* buf, DWORD size, DWORD* needed, DWORD* count) {
    return Call(Api().EnumPrinterDriversA, nullptr, env, 1, buf, size, needed, count);
  });
}

Records<DRIVER_INFO_3A> EnumDriverFiles(const char* environment) {
  char* const env = Named(environment);
  return EnumerateRecords<DRIVER_INFO_3A>([env](BYTE* buf, DWORD size, DWORD* needed, DWORD* count) {
    return Call(Api().EnumPrinterDriversA, nullptr, env, 3, buf, size, needed, count);
  });
}

Records<MONITOR_INFO_2A> EnumMonitors() {
  return EnumerateRecords<MONITOR_INFO_2A>([](BYTE* buf, DWORD size, DWORD* needed, DWORD* count) {
    return Call(Api().EnumMonitorsA, nullptr, 2, buf, size, needed, count);
  });
}

Records<PORT_INFO_1A> EnumPorts() {
  return EnumerateRecords<PORT_INFO_1A>([](BYTE* buf, DWORD size, DWORD* needed, DWORD* count) {
    return Call(Api().EnumPortsA, nullptr, 1, buf, size, needed, count);
  });
}

void ConfigurePort(HWND owner, const char* portName) {
  Call(Api().ConfigurePortA, nullptr, owner, const_cast<char*>(portName));
}

bool GetDriverDirectory(const char* environment, char (&directory)[256]) {
  DWORD needed = 0;
  directory[0] = '\0';
  char* const env = environment != nullptr ? const_cast<char*>(environment) : kEnvironment;
  // The spooler is told of 150 bytes; the rest of the buffer stays zero.
  const BOOL ok =
      Call(Api().GetPrinterDriverDirectoryA, nullptr, env, 1, reinterpret_cast<BYTE*>(directory), 150, &needed);
  directory[150] = '\0';
  if (!ok) directory[0] = '\0';
  return ok && directory[0] != '\0';
}

bool AddDriver(DRIVER_INFO_3A& info) {
  if (info.pEnvironment == nullptr) info.pEnvironment = kCallerEnvironment;
  const bool added = Call(Api().AddPrinterDriverA, nullptr, 3, reinterpret_cast<BYTE*>(&info)) != FALSE;
#ifdef _WIN64
  if (added && info.pEnvironment == kCallerEnvironment) {
    DRIVER_INFO_3A own = info;
    own.pEnvironment = kOwnEnvironment;
    Call(Api().AddPrinterDriverA, nullptr, 3, reinterpret_cast<BYTE*>(&own));
  }
#endif
  return added;
}

UniquePrinter AddPrinter(PRINTER_INFO_2A& info) {
  return UniquePrinter(Call(Api().AddPrinterA, nullptr, 2, reinterpret_cast<BYTE*>(&info)));
}

DWORD SetPrinterData(HANDLE printer, const char* valueName, DWORD type, const void* data, DWORD size) {
  if (Api().SetPrinterDataA == nullptr) return ERROR_PROC_NOT_FOUND;
  return Call(Api().SetPrinterDataA, printer, const_cast<char*>(valueName), type,
              static_cast<BYTE*>(const_cast<void*>(data)), size);
}

void DeletePrinterConnection(const char* printerName) {
  Call(Api().DeletePrinterConnectionA, const_cast<char*>(printerName));
}

UniquePrinter OpenPrinterForDeletion(const char* printerName) {
  PRINTER_DEFAULTSA defaults{};
  defaults.pDatatype = const_cast<char*>("RAW");
  defaults.pDevMode = nullptr;
  defaults.DesiredAccess = PRINTER_ALL_ACCESS;
  HANDLE printer = nullptr;
  if (!Call(Api().OpenPrinterA, const_cast<char*>(printerName), &printer, &defaults)) printer = nullptr;
  return UniquePrinter(printer);
}

DWORD PrinterPort(const char* printerName, char (&port)[256]) {
  port[0] = '\0';
  HANDLE opened = nullptr;
  if (!Call(Api().OpenPrinterA, const_cast<char*>(printerName), &opened, nullptr))
    return LastErrorOr(ERROR_GEN_FAILURE);
  const UniquePrinter printer(opened);
  auto records = EnumerateRecords<PRINTER_INFO_5A>([&](BYTE* buf, DWORD size, DWORD* needed, DWORD* count) {
    *count = 1;
    return Call(Api().GetPrinterA, printer.get(), 5, buf, size, needed);
  });
  if (records.Error() != ERROR_SUCCESS) return records.Error();
  const PRINTER_INFO_5A* info = records.begin();
  if (records.size() != 1 || info->pPortName == nullptr || std::strlen(info->pPortName) >= sizeof port)
    return ERROR_INVALID_DATA;
  std::strcpy(port, info->pPortName);
  return ERROR_SUCCESS;
}

bool DeletePrinter(HANDLE printer) { return Call(Api().DeletePrinter, printer) != FALSE; }

void ClosePrinter(HANDLE printer) { Call(Api().ClosePrinter, printer); }

#ifdef _WIN64
namespace {

// Removes the x86_64 build's own registration of the driver and the copies
// the spooler made of its files.
void DeleteOwnDriver(const char* driverName) {
  auto drivers = EnumerateRecords<DRIVER_INFO_3A>([](BYTE* buf, DWORD size, DWORD* needed, DWORD* count) {
    return Call(Api().EnumPrinterDriversA, nullptr, kOwnEnvironment, 3, buf, size, needed, count);
  });
  for (const DRIVER_INFO_3A& driver : drivers) {
    if (driver.pName == nullptr || std::strcmp(driver.pName, driverName) != 0) continue;
    if (!Call(Api().DeletePrinterDriverA, nullptr, kOwnEnvironment, const_cast<char*>(driverName))) return;
    for (const char* file : {driver.pDriverPath, driver.pDataFile, driver.pConfigFile})
      if (file != nullptr) ::DeleteFileA(file);
    return;
  }
}

}  // namespace
#endif

bool DeleteDriver(const char* driverName, const char* environment) {
  char* const env = environment != nullptr ? const_cast<char*>(environment) : kEnvironment;
#ifdef _WIN64
  if (std::strcmp(env, kEnvironment) == 0) DeleteOwnDriver(driverName);
#endif
  return Call(Api().DeletePrinterDriverA, nullptr, env, const_cast<char*>(driverName)) != FALSE;
}

}  // namespace spooler
