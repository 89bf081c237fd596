#include "host_detect.h"

#include <shlwapi.h>

#include "handles.h"
#include "host_key.h"
#include "host_paths.h"
#include "module_removal.h"
#include "win32_error.h"

static_assert(kHostKeyAccess == KEY_ALL_ACCESS);
static_assert(kHostKeyAccess64View == (KEY_ALL_ACCESS | KEY_WOW64_64KEY));
static_assert(kDeleteRetryError == ERROR_ACCESS_DENIED);

namespace {

// The host key of that edition on this machine; empty when it does not open
// or the edition cannot exist here (then the registry is not touched).
UniqueHKey OpenHostKey(int majorVersion, bool is64BitEdition) {
  SYSTEM_INFO info{};
  ::GetNativeSystemInfo(&info);
  HostKey hostKey;
  UniqueHKey key;
  if (!SelectHostKey(majorVersion, is64BitEdition, IsAmd64Machine(info.wProcessorArchitecture), hostKey)) {
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    return key;
  }
  const LONG rc = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, hostKey.path, 0, hostKey.access, key.put());
  if (rc != ERROR_SUCCESS) {
    key.reset();
    ::SetLastError(static_cast<DWORD>(rc));
  }
  return key;
}

// "ConfigDir" as text, terminated inside the buffer whatever its type or
// length; a value of 260 bytes or more leaves no room and fails the read.
bool ReadConfigDir(HKEY key, char (&text)[kHostPathInputSize]) {
  DWORD size = sizeof text;
  const LONG rc = ::RegQueryValueExA(key, "ConfigDir", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
  if (rc != ERROR_SUCCESS || size >= sizeof text) {
    ::SetLastError(rc != ERROR_SUCCESS ? static_cast<DWORD>(rc) : ERROR_MORE_DATA);
    return false;
  }
  text[size] = '\0';
  return true;
}

// One deletion of the old module: 0 once its name is free for the copy,
// else the error to judge a retry by.
unsigned long DeleteOldModule(const char* path) {
  if (!::DeleteFileA(path)) return ::GetLastError();
  // A holder that shares deletion keeps the file, and so its name, until it
  // lets go (the name reads as present, or as access denied, meanwhile); a
  // copy now would fail and leave no module at all once it has. Such a name
  // is waited for like a module the host holds.
  if (::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES || ::GetLastError() == ERROR_ACCESS_DENIED)
    return ERROR_ACCESS_DENIED;
  return 0;
}

}  // namespace

bool IsCorelVersionInstalled(int majorVersion, bool is64BitEdition) {
  UniqueHKey key = OpenHostKey(majorVersion, is64BitEdition);
  char configDir[kHostPathInputSize];
  return key && ReadConfigDir(key.get(), configDir);
}

bool DeployPlugin(int majorVersion, bool is64BitEdition, DeployWait& wait) {
  // The key stays open for the whole deployment, as a claim on the host.
  UniqueHKey key = OpenHostKey(majorVersion, is64BitEdition);
  char configDir[kHostPathInputSize];
  if (!key || !ReadConfigDir(key.get(), configDir)) return false;

  // A truncated program path would name sources that are not ours.
  char programPath[kHostPathInputSize];
  const DWORD n = ::GetModuleFileNameA(nullptr, programPath, sizeof programPath);
  if (n == 0 || n >= sizeof programPath) {
    ::SetLastError(LastErrorOr(ERROR_FILENAME_EXCED_RANGE));
    return false;
  }

  PluginPaths paths;
  if (!BuildPluginPaths(configDir, programPath, is64BitEdition, paths)) {
    ::SetLastError(ERROR_BAD_PATHNAME);
    return false;
  }

  // The first failure is the one reported when nothing could be copied.
  DWORD error = ERROR_SUCCESS;
  auto note = [&](DWORD e) {
    if (error == ERROR_SUCCESS) error = e;
  };

  // Only the last level: a missing Draw folder means the host is not really
  // there, and the copies below then fail.
  if (!::PathIsDirectoryA(paths.pluginFolder) && !::CreateDirectoryA(paths.pluginFolder, nullptr))
    note(LastErrorOr(ERROR_PATH_NOT_FOUND));

  // A folder in the module's place denies its deletion for good: waiting
  // that out would stall for minutes, and no copy could take its place.
  bool copied = false;
  if (::PathIsDirectoryA(paths.moduleDestination)) {
    note(ERROR_ACCESS_DENIED);
  } else {
    unsigned long removal = 0;
    DWORD copyError = ERROR_SUCCESS;
    bool held = false, stopped = false;
    copied = ReplaceModule(
        [&] { return stopped ? ERROR_CANCELLED : (removal = DeleteOldModule(paths.moduleDestination)); },
        [&](unsigned ms) {
          if (stopped) return;
          held = held || removal == ERROR_ACCESS_DENIED;
          stopped = !wait.Pause(ms, removal == ERROR_ACCESS_DENIED);
        },
        [&] {
          if (::CopyFileA(paths.moduleSource, paths.moduleDestination, TRUE)) return true;
          copyError = LastErrorOr(ERROR_GEN_FAILURE);
          return false;
        });
    if (held) wait.HeldWaitEnded();
    if (!copied) note(stopped ? ERROR_CANCELLED : removal == ERROR_ACCESS_DENIED ? ERROR_ACCESS_DENIED : copyError);
  }

  ::DeleteFileA(paths.bitmapDestination);
  if (::CopyFileA(paths.bitmapSource, paths.bitmapDestination, TRUE)) copied = true;
  else note(LastErrorOr(ERROR_GEN_FAILURE));
  if (!copied) ::SetLastError(error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE);
  return copied;
}
