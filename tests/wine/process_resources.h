// What a process holds, counted where Wine keeps it too: Wine answers
// GetGuiResources and GetProcessHandleCount with 0, so handles are counted in
// the system's handle list and GDI objects in the process's GDI handle table.
#pragma once

#include <windows.h>

#include <cstddef>

struct ProcessResources {
  long handles = -1;     // -1 when they could not be counted
  long gdiObjects = -1;
  size_t privateKiB = 0;  // committed private memory
};

// The process handle needs query and read rights.
ProcessResources MeasureProcess(HANDLE process);
