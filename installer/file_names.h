// Whether a name the spooler lists is a given file, told by file name alone:
// it lists a driver's files in its own folder and a monitor's DLL bare, and
// either may be the very file a removal is about. Platform-free.
#pragma once

// Whether the two paths end in the same file name, ASCII letters in any case.
bool SameFileName(const char* a, const char* b);

// Whether a list of zero-terminated names, ended by an empty one (a driver's
// dependent files), names the file. A null list names nothing.
bool ListNamesFile(const char* list, const char* path);
