#include "plugin_undo.h"

#include <shlwapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dialog.h"
#include "handles.h"
#include "host_detect.h"
#include "host_paths.h"
#include "win32_error.h"

namespace {

struct FindTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { ::FindClose(h); }
};

constexpr char kListName[] = "undo.txt";
// Eleven editions, each a folder and two files of at most kBuiltPathSize.
constexpr DWORD kListLimit = 64 * 1024;

class UndoList {
 public:
  DWORD Open(const char* undoFolder) {
    char path[kBuiltPathSize];
    if (std::snprintf(path, sizeof path, "%s\\%s", undoFolder, kListName) >= static_cast<int>(sizeof path))
      return ERROR_FILENAME_EXCED_RANGE;
    m_file.reset(::CreateFileA(path, FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return m_file ? ERROR_SUCCESS : ::GetLastError();
  }
  // Written through before the change it undoes is made.
  DWORD Add(const char* kind, const char* path) {
    char line[kBuiltPathSize + 16];
    const int n = std::snprintf(line, sizeof line, "%s %s\r\n", kind, path);
    if (n <= 0 || n >= static_cast<int>(sizeof line)) return ERROR_FILENAME_EXCED_RANGE;
    DWORD written = 0;
    if (!::WriteFile(m_file.get(), line, static_cast<DWORD>(n), &written, nullptr) || written != static_cast<DWORD>(n))
      return LastErrorOr(ERROR_WRITE_FAULT);
    return ::FlushFileBuffers(m_file.get()) ? ERROR_SUCCESS : ::GetLastError();
  }

 private:
  UniqueFile m_file;
};

// One destination file: its copy, or that there was none.
DWORD KeepFile(const char* undoFolder, const char* destination, int& count, UndoList& list) {
  if (::GetFileAttributesA(destination) == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return error;
    return list.Add("new", destination);
  }
  char copy[kBuiltPathSize];
  std::snprintf(copy, sizeof copy, "%s\\%d", undoFolder, ++count);
  if (!::CopyFileA(destination, copy, FALSE)) return ::GetLastError();
  char kind[16];
  std::snprintf(kind, sizeof kind, "old %d", count);
  return list.Add(kind, destination);
}

}  // namespace

DWORD KeepPluginFiles(const char* undoFolder, const char* sourceFolder, RunLog& log) {
  if (!::CreateDirectoryA(undoFolder, nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
    const DWORD error = ::GetLastError();
    log.Step(error, "keep the plug-in files for a rollback in %s", undoFolder);
    return error;
  }
  UndoList list;
  if (const DWORD error = list.Open(undoFolder)) {
    log.Step(error, "list of the plug-in files kept for a rollback");
    return error;
  }
  int count = 0;
  for (const auto& row : CAddonDeployDlg::CorelVersionTable) {
    // An edition not registered here gets nothing; one whose registration
    // cannot be read fails the deployment anyway.
    PluginPaths paths;
    if (ReadPluginPaths(row.majorVersion, row.is64Bit, sourceFolder, paths) != ERROR_SUCCESS) continue;
    DWORD error = ERROR_SUCCESS;
    if (!::PathIsDirectoryA(paths.pluginFolder)) error = list.Add("dir", paths.pluginFolder);
    if (error == ERROR_SUCCESS) error = KeepFile(undoFolder, paths.moduleDestination, count, list);
    if (error == ERROR_SUCCESS) error = KeepFile(undoFolder, paths.bitmapDestination, count, list);
    log.Step(error, "%s: keep the plug-in files for a rollback", row.caption);
    if (error != ERROR_SUCCESS) return error;
  }
  return ERROR_SUCCESS;
}

void RestorePluginFiles(const char* undoFolder, RunLog& log) {
  char path[kBuiltPathSize];
  std::snprintf(path, sizeof path, "%s\\%s", undoFolder, kListName);
  std::string text;
  {
    UniqueFile file(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    const DWORD size = file ? ::GetFileSize(file.get(), nullptr) : 0;
    if (size == INVALID_FILE_SIZE || size > kListLimit) {
      log.Step(ERROR_FILE_TOO_LARGE, "read the list of kept plug-in files");
    } else if (size > 0) {
      text.resize(size);
      DWORD read = 0;
      if (!::ReadFile(file.get(), text.data(), size, &read, nullptr)) read = 0;
      text.resize(read);
    }
  }
  // Undone last change first: the files before the folder they went into.
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
    int number = 0, consumed = 0;
    const char* entry = line->c_str();
    DWORD error = ERROR_SUCCESS;
    if (std::strncmp(entry, "dir ", 4) == 0) {
      if (!::RemoveDirectoryA(entry + 4)) error = ::GetLastError();
      log.Step(error, "remove the plug-in folder %s", entry + 4);
    } else if (std::strncmp(entry, "new ", 4) == 0) {
      if (!::DeleteFileA(entry + 4) && ::GetLastError() != ERROR_FILE_NOT_FOUND) error = ::GetLastError();
      log.Step(error, "remove %s", entry + 4);
    } else if (std::sscanf(entry, "old %d %n", &number, &consumed) == 1 && consumed > 0) {
      char copy[kBuiltPathSize];
      std::snprintf(copy, sizeof copy, "%s\\%d", undoFolder, number);
      if (!::MoveFileExA(copy, entry + consumed, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
        error = ::GetLastError();
      log.Step(error, "put back %s", entry + consumed);
    }
  }
  DropPluginFiles(undoFolder);
}

void DropPluginFiles(const char* undoFolder) {
  char pattern[kBuiltPathSize];
  if (std::snprintf(pattern, sizeof pattern, "%s\\*", undoFolder) >= static_cast<int>(sizeof pattern)) return;
  WIN32_FIND_DATAA found;
  const UniqueHandle<HANDLE, FindTraits> search(::FindFirstFileA(pattern, &found));
  if (search) {
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      char file[kBuiltPathSize];
      if (std::snprintf(file, sizeof file, "%s\\%s", undoFolder, found.cFileName) < static_cast<int>(sizeof file))
        ::DeleteFileA(file);
    } while (::FindNextFileA(search.get(), &found));
  }
  ::RemoveDirectoryA(undoFolder);
}
