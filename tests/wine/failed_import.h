// A system call of a running program made to fail as Windows would fail it,
// for conditions Wine cannot bring about (a user who declines the elevation
// prompt: Wine's "runas" asks no one).
#pragma once

#include <windows.h>

// Points the program's import slot of DLL!FUNCTION at a few instructions
// that set the calling thread's last error to ERROR and return FALSE, as the
// system's own function does when it fails. The program must have been
// built for this process's machine; ARGUMENT_BYTES is what a 32-bit stdcall
// function pops. False when the import is not found or the memory cannot be
// written.
bool FailImport(HANDLE process, const char* dll, const char* function, DWORD error, WORD argumentBytes);
