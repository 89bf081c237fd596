// Files left to be deleted at the next restart, as Delete leaves a driver
// file the system still holds.
#pragma once

#include <windows.h>

#include "package.h"
#include "restart_list.h"

// Whether one of the model's files in the driver directory or its subfolder
// 3 is, and which: an installation now would lose it at the restart. Under
// WoW64 the directory is read under both spellings of the system directory.
bool FindPendingDriverFile(const char* directory, const ModelFiles& files, char (&path)[512]);

// A file in the system directory: its path as this program reads it, and the
// name the restart knows it by. Under WoW64 the restart runs as the native
// system, to which "system32" is its own folder, not this program's: the
// name then spells this program's folder as SysWOW64. False when the path
// does not fit.
bool SystemFilePath(const char* name, char (&path)[512], char (&restartName)[512]);

// A file in the native system's own system directory, which a 64-bit
// spooler's companions live in: under WoW64 this program reaches it as
// "Sysnative" (its "system32" is SysWOW64), and the restart, which runs as
// the native system, knows it as system32. Elsewhere the same as
// SystemFilePath. False when the path does not fit.
bool NativeSystemFilePath(const char* name, char (&path)[512], char (&restartName)[512]);
