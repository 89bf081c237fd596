// The deployer's COM registration: its automation class as a local server
// of this program, and its type library.
#pragma once

#include <windows.h>

// 0, or the Win32 error of the first part that could not be written.
DWORD WriteRegistration();
// 0 also when nothing was registered; else the error of the first part
// that could not be removed.
DWORD RemoveRegistration();
