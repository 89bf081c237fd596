// The system's list of file operations for the next restart, as read by
// both programs' removals.
#pragma once

// Whether the system is to delete the file at the next restart, by exactly
// the name given.
bool IsPendingDeletion(const char* path);
