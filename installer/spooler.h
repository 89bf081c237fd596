// Every print-spooler call the installer makes, with the arguments it always
// passes: the local machine, ANSI text. An environment of null is the
// caller's, "Windows NT x86" for the 32-bit program, as it always was.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <utility>

#include "enumeration.h"
#include "handles.h"

namespace spooler {

void ClosePrinter(HANDLE printer);

struct PrinterTraits {
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE h) { ClosePrinter(h); }
};
using UniquePrinter = UniqueHandle<HANDLE, PrinterTraits>;

// An enumeration's records, in a zero-filled buffer of the size the spooler
// asked for, or the error that left none; the buffer frees itself.
template <class Record>
class Records {
 public:
  Records() = default;
  explicit Records(Enumeration enumeration) : m_enumeration(std::move(enumeration)) {}
  const Record* begin() const { return reinterpret_cast<const Record*>(m_enumeration.buffer.get()); }
  const Record* end() const { return begin() + m_enumeration.count; }
  DWORD size() const { return m_enumeration.count; }
  // 0, or the spooler's refusal to list.
  DWORD Error() const { return m_enumeration.error; }

 private:
  Enumeration m_enumeration;
};

Records<DRIVER_INFO_1A> EnumDrivers(const char* environment);
// The drivers with every file each names.
Records<DRIVER_INFO_3A> EnumDriverFiles(const char* environment);
// The port monitors with their DLLs.
Records<MONITOR_INFO_2A> EnumMonitors();
Records<PORT_INFO_1A> EnumPorts();

// Shows the port's own modal configuration dialog.
void ConfigurePort(HWND owner, const char* portName);

// The spooler's driver directory, without a trailing backslash. False, with
// the buffer empty, when the query fails.
bool GetDriverDirectory(const char* environment, char (&directory)[256]);

bool AddDriver(DRIVER_INFO_3A& info);
UniquePrinter AddPrinter(PRINTER_INFO_2A& info);
// 0 or the spooler's error.
DWORD SetPrinterData(HANDLE printer, const char* valueName, DWORD type, const void* data, DWORD size);
void DeletePrinterConnection(const char* printerName);
// A handle with the right to delete the printer, or none.
UniquePrinter OpenPrinterForDeletion(const char* printerName);
// The port a printer prints to: 0, ERROR_INVALID_PRINTER_NAME where there is
// no such printer, or the spooler's refusal.
DWORD PrinterPort(const char* printerName, char (&port)[256]);
bool DeletePrinter(HANDLE printer);
bool DeleteDriver(const char* driverName, const char* environment);

}  // namespace spooler
