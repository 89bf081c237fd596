// Windows' own DLLs come from the system directory and from nowhere else:
// the programs are started from download folders and setup packages, where
// anyone may have left a DLL of a well-known name beside them.
#pragma once

#include <windows.h>

// Confines every later load by name to the system directory where the
// system offers that, and otherwise at least takes the working directory out
// of the search. The first thing each program does.
void RestrictDllSearch();

// Loads a DLL of the system directory by its full path; null when it cannot.
// The caller owns the reference.
HMODULE LoadSystemLibrary(const char* fileName);

// A function of a system DLL that stays loaded for the rest of the process
// (the first call loads it); null when the DLL or the function is missing.
FARPROC SystemFunction(const char* fileName, const char* functionName);

template <class Function>
Function SystemFunction(const char* fileName, const char* functionName) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(SystemFunction(fileName, functionName)));
}
