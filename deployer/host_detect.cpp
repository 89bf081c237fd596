#include "host_detect.h"

#include <shlwapi.h>

#include "handles.h"
#include "host_key.h"
#include "host_paths.h"
#include "module_removal.h"

static_assert(kHostKeyAccess == KEY_ALL_ACCESS);
static_assert(kHostKeyAccess64View == (KEY_ALL_ACCESS | KEY_WOW64_64KEY));
static_assert(kDeleteRetryError == ERROR_ACCESS_DENIED);
static_assert(kFileNotFoundError == ERROR_FILE_NOT_FOUND);
static_assert(kWaitStoppedError == ERROR_CANCELLED);

namespace {

bool Fail(DWORD error) {
  ::SetLastError(error);
  return false;
}

// The host key of that edition on this machine, or the error why not (the
// registry is not touched for an edition that cannot exist here).
LONG OpenHostKey(int majorVersion, bool is64BitEdition, UniqueHKey& key) {
  SYSTEM_INFO info{};
  ::GetNativeSystemInfo(&info);
  HostKey hostKey;
  if (!SelectHostKey(majorVersion, is64BitEdition, IsAmd64Machine(info.wProcessorArchitecture), hostKey))
    return ERROR_FILE_NOT_FOUND;
  const LONG rc = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, hostKey.path, 0, hostKey.access, key.put());
  if (rc != ERROR_SUCCESS) key.reset();
  return rc;
}

// "ConfigDir" as text, terminated inside the buffer whatever its type or
// length; a value of 260 bytes or more leaves no room and fails the read.
LONG ReadConfigDir(HKEY key, char (&text)[kHostPathInputSize]) {
  DWORD size = sizeof text;
  const LONG rc = ::RegQueryValueExA(key, "ConfigDir", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
  if (rc != ERROR_SUCCESS) return rc;
  if (size >= sizeof text) return ERROR_MORE_DATA;
  text[size] = '\0';
  return ERROR_SUCCESS;
}

// A source held open for reading until the deployment ends, so that it
// cannot go missing once an old file has been deleted for it.
UniqueFile OpenSource(const char* path) {
  return UniqueFile(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
}

// Deletes a file. A read-only attribute (copies from a CD keep it) refuses
// the deletion just as a holder does, but is no holder: it is cleared and
// the deletion tried again at once. A file still refused is really held and
// gets its attribute back.
bool DeleteOldFile(const char* path) {
  if (::DeleteFileA(path)) return true;
  const DWORD error = ::GetLastError();
  const DWORD attributes = ::GetFileAttributesA(path);
  if (error != ERROR_ACCESS_DENIED || attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & FILE_ATTRIBUTE_READONLY) == 0)
    return Fail(error);
  const DWORD writable = attributes & ~FILE_ATTRIBUTE_READONLY;
  if (!::SetFileAttributesA(path, writable != 0 ? writable : FILE_ATTRIBUTE_NORMAL)) return Fail(error);
  if (::DeleteFileA(path)) return true;
  const DWORD again = ::GetLastError();
  ::SetFileAttributesA(path, attributes);
  return Fail(again);
}

// One deletion of the old module: 0 once its name is free for the copy,
// else the error to judge a retry by.
unsigned long DeleteOldModule(const char* path) {
  if (!DeleteOldFile(path)) return ::GetLastError();
  // A holder that shares deletion keeps the file, and so its name, until it
  // lets go (the name reads as present, or as access denied, meanwhile); a
  // copy now would fail and leave no module at all once it has. Such a name
  // is waited for like a module the host holds.
  if (::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES || ::GetLastError() == ERROR_ACCESS_DENIED)
    return ERROR_ACCESS_DENIED;
  return 0;
}

// 0 when the new module is in place, else why not.
unsigned long PlaceModule(const PluginPaths& paths, DeployWait& wait) {
  // A folder in the module's place denies its deletion for good: waiting
  // that out would stall for minutes, and no copy could take its place.
  if (::PathIsDirectoryA(paths.moduleDestination)) return ERROR_ACCESS_DENIED;
  return ReplaceModule([&] { return DeleteOldModule(paths.moduleDestination); }, wait,
                       [&]() -> unsigned long {
                         return ::CopyFileA(paths.moduleSource, paths.moduleDestination, TRUE) ? 0 : ::GetLastError();
                       });
}

}  // namespace

bool IsCorelVersionInstalled(int majorVersion, bool is64BitEdition) {
  UniqueHKey key;
  char configDir[kHostPathInputSize];
  return OpenHostKey(majorVersion, is64BitEdition, key) == ERROR_SUCCESS &&
         ReadConfigDir(key.get(), configDir) == ERROR_SUCCESS;
}

bool DeployPlugin(int majorVersion, bool is64BitEdition, DeployWait& wait) {
  // The key stays open for the whole deployment, as a claim on the host.
  UniqueHKey key;
  char configDir[kHostPathInputSize];
  if (const LONG rc = OpenHostKey(majorVersion, is64BitEdition, key); rc != ERROR_SUCCESS) return Fail(rc);
  if (const LONG rc = ReadConfigDir(key.get(), configDir); rc != ERROR_SUCCESS) return Fail(rc);

  // A truncated program path would name sources that are not ours.
  char programPath[kHostPathInputSize];
  const DWORD n = ::GetModuleFileNameA(nullptr, programPath, sizeof programPath);
  if (n == 0) return Fail(::GetLastError());
  if (n >= sizeof programPath) return Fail(ERROR_INSUFFICIENT_BUFFER);

  PluginPaths paths;
  if (!BuildPluginPaths(configDir, programPath, is64BitEdition, paths)) return Fail(ERROR_BAD_PATHNAME);

  // A source missing or unreadable beside the program would leave the host
  // with no plug-in at all where it had a working one.
  const UniqueFile moduleSource = OpenSource(paths.moduleSource);
  if (!moduleSource) return Fail(::GetLastError());
  const UniqueFile bitmapSource = OpenSource(paths.bitmapSource);
  if (!bitmapSource) return Fail(::GetLastError());

  // Only the last level: a missing Draw folder means the host is not really
  // there.
  if (!::PathIsDirectoryA(paths.pluginFolder) && !::CreateDirectoryA(paths.pluginFolder, nullptr))
    return Fail(::GetLastError());

  const unsigned long moduleError = PlaceModule(paths, wait);
  // Stopped by the user: this edition is left as it was.
  if (moduleError == kWaitStoppedError) return Fail(moduleError);
  // The bitmap is placed even beside a module that stayed; only the module
  // makes a deployment.
  DeleteOldFile(paths.bitmapDestination);
  ::CopyFileA(paths.bitmapSource, paths.bitmapDestination, TRUE);
  if (moduleError != 0) return Fail(moduleError);
  return true;
}
