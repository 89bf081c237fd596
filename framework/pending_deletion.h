// The system's list of file operations left for the next restart (the
// Session Manager's PendingFileRenameOperations): pairs of zero-terminated
// names, the file first, then its new name or an empty one for a deletion.
// Platform-free.
#pragma once

#include <cstddef>

// Whether the list deletes the file at the next restart. The list is taken
// as length characters, however it is terminated; names are compared with
// ASCII letters in any case (the file system's way for these paths).
bool ListsDeletion(const wchar_t* list, std::size_t length, const wchar_t* ntPath);
