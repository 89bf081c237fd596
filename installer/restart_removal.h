// Files left to be deleted at the next restart, as Delete leaves a driver
// file the system still holds.
#pragma once

#include <windows.h>

#include "package.h"

// Whether the system is to delete the file at the next restart.
bool IsPendingDeletion(const char* path);

// Whether one of the model's files in the driver directory or its subfolder
// 3 is, and which: an installation now would lose it at the restart.
bool FindPendingDriverFile(const char* directory, const ModelFiles& files, char (&path)[512]);
