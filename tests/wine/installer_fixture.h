// Shared by the installer's end-to-end tests: the real program in its own
// process, driven from outside, and what it leaves in Wine's spooler.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "support.h"

namespace installer_test {

inline constexpr char kCaption[] = "MarloCutterSetup32(V1.0)";
inline constexpr char kBoxCaption[] = "PLOTINST";
inline constexpr char kModel[] = "Marlo Cutter";
inline constexpr char kEnvironment[] = "Windows NT x86";
// Where the x86_64 test build registers its second copy of the driver.
inline constexpr char kOwnEnvironment[] = "Windows x64";
// The driver's registration in each.
inline constexpr char kDriverKey[] =
    "System\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers\\Version-3\\Marlo Cutter";
inline constexpr char kOwnDriverKey[] =
    "System\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-3\\Marlo Cutter";

// Package file and the driver file it becomes, in the order of the package.
struct PackageEntry {
  const char* package;
  const char* driverFile;
  size_t size;
};
inline constexpr PackageEntry kPackage[3] = {
    {"Data1.CAB", "VELTRA.dll", 70001},
    {"Data3.CAB", "VELTRA.pcd", 1023},
    {"Data2.CAB", "VELTRAUI.dll", 3075},
};

// What a failure box says below its first line for an error.
inline std::string Reason(DWORD error) {
  char text[512] = "";
  DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                             sizeof text, nullptr);
  while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ')) text[--n] = '\0';
  return "\n\n" + std::string(text) + " (" + std::to_string(error) + ")";
}

inline std::string Exe() { return WinPath(PLOTINST_EXE_UNIX); }

inline std::string DriverDirectory(const char* environment) {
  char dir[MAX_PATH] = "";
  DWORD needed = 0;
  ::GetPrinterDriverDirectoryA(nullptr, const_cast<char*>(environment), 1, reinterpret_cast<BYTE*>(dir), sizeof dir,
                               &needed);
  return dir;
}

inline std::string PlotsvcPath() {
  char dir[MAX_PATH] = "";
  ::GetSystemDirectoryA(dir, sizeof dir);
  return std::string(dir) + "\\plotsvc.dll";
}

// The native system folder's plotsvc.dll, as a 32-bit process reaches it
// under WoW64.
inline std::string NativePlotsvcPath() {
  char dir[MAX_PATH] = "";
  ::GetSystemWindowsDirectoryA(dir, sizeof dir);
  return std::string(dir) + "\\Sysnative\\plotsvc.dll";
}

// Bytes that differ from file to file and from chunk to chunk. Given a
// machine type, they start as a PE image of that machine does ("MZ", the PE
// header at 0x80, its machine field); the rest stays random, so that no
// loader takes the file for an image it could load.
inline std::string StandIn(size_t size, unsigned seed, WORD machine = 0) {
  std::string bytes(size, '\0');
  unsigned x = seed * 2654435761u + 1;
  for (char& c : bytes) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 16);
  }
  if (machine != 0 && size >= 0x86) {
    bytes.replace(0, 2, "MZ");
    bytes.replace(0x3C, 4, std::string("\x80\0\0\0", 4));
    bytes.replace(0x80, 6, std::string("PE\0\0", 4) + char(machine & 0xFF) + char(machine >> 8));
  }
  return bytes;
}

inline bool DriverRegistered(const char* environment) {
  DWORD needed = 0, count = 0;
  ::EnumPrinterDriversA(nullptr, const_cast<char*>(environment), 1, nullptr, 0, &needed, &count);
  std::vector<BYTE> buffer(needed + 1);
  if (!::EnumPrinterDriversA(nullptr, const_cast<char*>(environment), 1, buffer.data(), needed, &needed, &count))
    return false;
  const auto* drivers = reinterpret_cast<const DRIVER_INFO_1A*>(buffer.data());
  for (DWORD i = 0; i < count; ++i)
    if (drivers[i].pName && std::string(drivers[i].pName) == kModel) return true;
  return false;
}

inline bool PrinterExists() {
  HANDLE printer = nullptr;
  if (!::OpenPrinterA(const_cast<char*>(kModel), &printer, nullptr)) return false;
  ::ClosePrinter(printer);
  return true;
}

inline void DeletePrinterIfAny() {
  PRINTER_DEFAULTSA defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE printer = nullptr;
  if (::OpenPrinterA(const_cast<char*>(kModel), &printer, &defaults)) {
    ::DeletePrinter(printer);
    ::ClosePrinter(printer);
  }
}

// The installer's dialog in its own process, started in a working directory.
class Installer {
 public:
  // With a token (LimitedToken) as a double-click under User Account
  // Control; with a job, which counts the processes it starts; the program
  // from another path where given.
  bool Open(const std::string& cwd, HANDLE token = nullptr, HANDLE job = nullptr, const std::string& exe = Exe()) {
    if (!m_process.Start(exe, "\"" + exe + "\"", cwd, token, job)) return false;
    m_dialog = WaitForDialog(m_process.Id(), kCaption);
    return m_dialog != nullptr;
  }
  HWND Dialog() const { return m_dialog; }
  HANDLE Process() const { return m_process.Handle(); }
  DWORD ExitCode() const { return m_process.ExitCode(); }

  // False, with the listed ports for the failure message, when the port is not listed.
  ::testing::AssertionResult SelectPort(const std::string& name) {
    std::string listed;
    for (int i = 0;; ++i) {
      const std::string entry = ComboEntryText(m_dialog, IDC_PORT, i);
      if (entry == "<none>") return ::testing::AssertionFailure() << name << " not among" << listed;
      listed += " " + entry;
      if (entry == name) {
        SelectComboEntry(m_dialog, IDC_PORT, i);
        return ::testing::AssertionSuccess();
      }
    }
  }

  // Clicks a button and answers the message box it ends with; its text, and
  // where on the screen the box was when asked.
  std::string Click(int id, RECT* boxRect = nullptr) {
    PostClick(m_dialog, id);
    HWND box = WaitForMessageBox(m_process.Id(), kBoxCaption, m_dialog);
    if (box == nullptr) return "<no message>";
    if (boxRect != nullptr) ::GetWindowRect(box, boxRect);
    const std::string text = MessageBoxText(box);
    PressOk(box);
    WaitUntil([&] { return !::IsWindow(box); });
    return text;
  }

  bool Close() {
    ::PostMessageA(m_dialog, WM_CLOSE, 0, 0);
    return m_process.WaitExit();
  }

 private:
  ChildProcess m_process;
  HWND m_dialog = nullptr;
};

}  // namespace installer_test
