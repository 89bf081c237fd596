#include "new_file.h"

#include <vector>

#include "handles.h"

namespace {
constexpr DWORD kChunkSize = 64 * 1024;

// Writes every byte or fails. A write cut short (Wine passes on the file
// system's, as a disk fills up) is followed by one for the rest, which then
// tells the disk's own error.
DWORD WriteAll(HANDLE file, const char* data, DWORD size) {
  while (size > 0) {
    DWORD written = 0;
    if (!::WriteFile(file, data, size, &written, nullptr)) return ::GetLastError();
    if (written == 0 || written > size) return ERROR_WRITE_FAULT;
    data += written;
    size -= written;
  }
  return ERROR_SUCCESS;
}
}  // namespace

NewFile::~NewFile() {
  if (m_present) ::DeleteFileA(m_path);
}

DWORD NewFile::Write(HANDLE source) {
  // A file of this name is left over from a run that was ended midway.
  ::DeleteFileA(m_path);
  UniqueFile file(::CreateFileA(m_path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return ::GetLastError();
  m_present = true;
  std::vector<char> chunk(kChunkSize);
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(source, chunk.data(), kChunkSize, &read, nullptr)) return ::GetLastError();
    if (read == 0) break;
    if (const DWORD error = WriteAll(file.get(), chunk.data(), read)) return error;
  }
  // The source's modification time, as a copy keeps it.
  FILETIME lastWrite;
  if (::GetFileTime(source, nullptr, nullptr, &lastWrite)) ::SetFileTime(file.get(), nullptr, nullptr, &lastWrite);
  // Whole on the disk before it may take the old file's place.
  if (!::FlushFileBuffers(file.get())) return ::GetLastError();
  return ERROR_SUCCESS;
}

DWORD NewFile::MoveOver(const char* old) {
  if (!::MoveFileExA(m_path, old, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return ::GetLastError();
  m_present = false;
  return ERROR_SUCCESS;
}

DWORD NewFile::MoveOverAtRestart(const char* old) {
  if (!::MoveFileExA(m_path, old, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT)) return ::GetLastError();
  m_present = false;
  return ERROR_SUCCESS;
}
