// The least a dialog program can do: show a dialog of the installer's size
// and controls from its resources, and end when it is closed. Start-up times
// of the real programs are measured against it. Started with "spooler", it
// also lists the spooler's ports and drivers into the dialog first, as the
// installer must, to show what that costs by itself.
#include <windows.h>
#include <winspool.h>

#include <cstring>
#include <vector>

namespace {

template <class Enumerate>
std::vector<BYTE> Records(Enumerate enumerate, DWORD& count) {
  DWORD needed = 0;
  enumerate(nullptr, 0, &needed, &count);
  std::vector<BYTE> buffer(needed ? needed : 1);
  if (!enumerate(buffer.data(), needed, &needed, &count)) count = 0;
  return buffer;
}

// Loaded only when asked for, so that the plain floor does not pay for it.
template <class Function>
Function Spooler(const char* name) {
  static HMODULE dll = ::LoadLibraryA("winspool.drv");
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(dll, name)));
}

void ListSpooler(HWND dialog) {
  static const auto enumPorts = Spooler<decltype(&::EnumPortsA)>("EnumPortsA");
  static const auto enumDrivers = Spooler<decltype(&::EnumPrinterDriversA)>("EnumPrinterDriversA");
  if (enumPorts == nullptr || enumDrivers == nullptr) return;
  DWORD count = 0;
  std::vector<BYTE> ports = Records(
      [](BYTE* b, DWORD s, DWORD* n, DWORD* c) { return enumPorts(nullptr, 1, b, s, n, c); }, count);
  for (DWORD i = 0; i < count; ++i)
    ::SendDlgItemMessageA(dialog, 1006, CB_ADDSTRING, 0,
                          reinterpret_cast<LPARAM>(reinterpret_cast<PORT_INFO_1A*>(ports.data())[i].pName));
  ::SendDlgItemMessageA(dialog, 1006, CB_SETCURSEL, 0, 0);
  Records([](BYTE* b, DWORD s, DWORD* n, DWORD* c) { return enumDrivers(nullptr, nullptr, 1, b, s, n, c); }, count);
}

INT_PTR CALLBACK FloorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    if (lParam != 0) ListSpooler(dialog);
    return TRUE;
  }
  if (message == WM_CLOSE || (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL)) {
    ::EndDialog(dialog, 0);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  const LPARAM spooler = std::strstr(commandLine, "spooler") != nullptr;
  return static_cast<int>(::DialogBoxParamA(instance, MAKEINTRESOURCEA(100), nullptr, FloorProc, spooler));
}
