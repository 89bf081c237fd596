// A new file written in full beside the one it is to replace, then moved over
// it in one step, so that the old file's name always holds a whole file: the
// old one or the new one. Until the move the new file is only a name of
// ours, removed again when this object goes.
#pragma once

#include <windows.h>

class NewFile {
 public:
  explicit NewFile(const char* path) : m_path(path) {}
  ~NewFile();
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  // Copies the rest of source into a file at this path and flushes it to the
  // disk. 0, or the error that stopped it.
  DWORD Write(HANDLE source);
  // One attempt to move the file over the old one: 0, or the error that
  // refused it (the file stays for another attempt).
  DWORD MoveOver(const char* old);
  // Lists the move for the next restart instead; the file stays for it.
  DWORD MoveOverAtRestart(const char* old);

 private:
  const char* m_path;
  bool m_present = false;
};
