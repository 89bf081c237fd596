// The least a dialog program can do: show a dialog of the installer's size
// and controls from its resources, and end when it is closed. Start-up times
// of the real programs are measured against it.
#include <windows.h>

namespace {
INT_PTR CALLBACK FloorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_CLOSE || (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL)) {
    ::EndDialog(dialog, 0);
    return TRUE;
  }
  return FALSE;
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return static_cast<int>(::DialogBoxParamA(instance, MAKEINTRESOURCEA(100), nullptr, FloorProc, 0));
}
