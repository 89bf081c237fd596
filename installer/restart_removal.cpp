#include "restart_removal.h"

#include <cstring>

#include "handles.h"

namespace {

void Copy(const char* path, char (&out)[512]) { JoinPath(out, sizeof out, path, ""); }

// Under WoW64, a path in this program's system directory spelt with the
// folder that is under the native system's names (SysWOW64). False for a
// path outside it, or without WoW64.
bool Wow64Spelling(const char* path, char (&spelt)[512]) {
  BOOL wow64 = FALSE;
  if (!::IsWow64Process(::GetCurrentProcess(), &wow64) || !wow64) return false;
  char system[MAX_PATH], native[MAX_PATH];
  const UINT s = ::GetSystemDirectoryA(system, sizeof system);
  const UINT w = ::GetSystemWow64DirectoryA(native, sizeof native);
  if (s == 0 || s >= sizeof system || w == 0 || w >= sizeof native) return false;
  if (std::strlen(path) < s || _strnicmp(path, system, s) != 0 || (path[s] != '\\' && path[s] != '\0')) return false;
  return JoinPath(spelt, sizeof spelt, native, path + s);
}

}  // namespace

bool FindPendingDriverFile(const char* directory, const ModelFiles& files, char (&path)[512]) {
  char other[512];
  const bool respelt = Wow64Spelling(directory, other);
  const char* const folders[] = {directory, respelt ? other : nullptr};
  for (const char* folder : folders) {
    for (const char* subfolder : {"", "\\3"}) {
      DriverPaths paths;
      if (folder == nullptr || !BuildDriverPaths(paths, folder, subfolder, files)) continue;
      for (const char* file : {paths.driver, paths.data, paths.config}) {
        if (!IsPendingDeletion(file)) continue;
        Copy(file, path);
        return true;
      }
    }
  }
  return false;
}

bool SystemFilePath(const char* name, char (&path)[512], char (&restartName)[512]) {
  char system[MAX_PATH];
  const UINT n = ::GetSystemDirectoryA(system, sizeof system);
  if (n == 0 || n >= sizeof system || !JoinPath(path, sizeof path, system, name)) return false;
  if (!Wow64Spelling(path, restartName)) Copy(path, restartName);
  return true;
}

bool NativeSystemFilePath(const char* name, char (&path)[512], char (&restartName)[512]) {
  BOOL wow64 = FALSE;
  if (!::IsWow64Process(::GetCurrentProcess(), &wow64) || !wow64) return SystemFilePath(name, path, restartName);
  char windows[MAX_PATH], system[MAX_PATH];
  const UINT w = ::GetSystemWindowsDirectoryA(windows, sizeof windows);
  const UINT s = ::GetSystemDirectoryA(system, sizeof system);
  if (w == 0 || w >= sizeof windows || s == 0 || s >= sizeof system) return false;
  return JoinPath(path, sizeof path, windows, "\\Sysnative", name) &&
         JoinPath(restartName, sizeof restartName, system, name);
}
