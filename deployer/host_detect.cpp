#include "host_detect.h"

#include <shlwapi.h>

#include "handles.h"
#include "host_key.h"
#include "host_paths.h"
#include "module_swap.h"
#include "new_file.h"
#include "win32_error.h"

static_assert(kHostKeyAccess == KEY_ALL_ACCESS);
static_assert(kHostKeyAccess64View == (KEY_ALL_ACCESS | KEY_WOW64_64KEY));
static_assert(kHeldError == ERROR_ACCESS_DENIED && kSharingViolation == ERROR_SHARING_VIOLATION);
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
// length; a value of more than 259 characters leaves no room and fails the
// read.
LONG ReadConfigDir(HKEY key, char (&text)[kHostPathInputSize]) {
  DWORD size = sizeof text;
  const LONG rc = ::RegQueryValueExA(key, "ConfigDir", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
  if (rc != ERROR_SUCCESS) return rc;
  // 259 characters and their terminator fill the buffer exactly.
  if (size == sizeof text && text[size - 1] == '\0') return ERROR_SUCCESS;
  if (size >= sizeof text) return ERROR_MORE_DATA;
  text[size] = '\0';
  return ERROR_SUCCESS;
}

// A source held open for reading until the deployment ends, so that the
// file checked is the file copied.
UniqueFile OpenSource(const char* path) {
  return UniqueFile(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
}

// Moves the new file over the old one. A read-only attribute (copies from a
// CD keep it) refuses the replacement on Windows just as a holder does, but
// is no holder: it is cleared and the move tried again at once. An old file
// still refused gets its attribute back.
DWORD ReplaceOld(NewFile& file, const char* old) {
  const DWORD error = file.MoveOver(old);
  if (error != ERROR_ACCESS_DENIED) return error;
  const DWORD attributes = ::GetFileAttributesA(old);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0) return error;
  const DWORD writable = attributes & ~FILE_ATTRIBUTE_READONLY;
  if (!::SetFileAttributesA(old, writable != 0 ? writable : FILE_ATTRIBUTE_NORMAL)) return error;
  const DWORD again = file.MoveOver(old);
  if (again != ERROR_SUCCESS) ::SetFileAttributesA(old, attributes);
  return again;
}

// 0 when the file opens for deletion, else the error that refused it.
DWORD OpenForDeletion(const char* path) {
  const UniqueFile probe(::CreateFileA(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
  return probe ? ERROR_SUCCESS : LastErrorOr(ERROR_GEN_FAILURE);
}

// One attempt to put the new module in place.
SwapRefusal SwapModule(NewFile& module, const char* old) {
  const DWORD error = ReplaceOld(module, old);
  // Access denied is what a host's load of its module gives (and, on Wine,
  // any open file), but also the file's own security: the old module opened
  // for deletion tells them apart.
  if (error != ERROR_ACCESS_DENIED) return {error, false};
  return JudgeDenial(OpenForDeletion(old));
}

// Places the module, then the bitmap, each written in full beside its old
// file first. 0 once both are in place, else why not; no new file is left,
// and the old files stay as they were, but for a module already replaced
// when the bitmap fails.
unsigned long PlaceFiles(const PluginPaths& paths, HANDLE moduleSource, HANDLE bitmapSource, DeployWait& wait) {
  // A folder in the module's place denies its replacement for good: waiting
  // that out would stall for minutes.
  if (::PathIsDirectoryA(paths.moduleDestination)) return ERROR_ACCESS_DENIED;
  NewFile module(paths.moduleNew), bitmap(paths.bitmapNew);
  if (const DWORD error = module.Write(moduleSource)) return error;
  if (const DWORD error = bitmap.Write(bitmapSource)) return error;
  if (const unsigned long error = SwapInModule([&] { return SwapModule(module, paths.moduleDestination); }, wait))
    return error;
  // The new module stays; a bitmap that stays is the old one, whole, and
  // fails the edition.
  const DWORD bitmapError = ReplaceOld(bitmap, paths.bitmapDestination);
  wait.BitmapReplaced(bitmapError);
  return bitmapError;
}

}  // namespace

long CorelVersionRegistration(int majorVersion, bool is64BitEdition) {
  UniqueHKey key;
  char configDir[kHostPathInputSize];
  if (const LONG rc = OpenHostKey(majorVersion, is64BitEdition, key); rc != ERROR_SUCCESS) return rc;
  return ReadConfigDir(key.get(), configDir);
}

bool IsCorelVersionInstalled(int majorVersion, bool is64BitEdition) {
  return CorelVersionRegistration(majorVersion, is64BitEdition) == ERROR_SUCCESS;
}

unsigned long DeployPluginError(int majorVersion, bool is64BitEdition, DeployWait& wait) {
  return DeployPlugin(majorVersion, is64BitEdition, wait) ? ERROR_SUCCESS : LastErrorOr(ERROR_GEN_FAILURE);
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

  // A source missing or unreadable beside the program fails the edition
  // before anything is written.
  const UniqueFile moduleSource = OpenSource(paths.moduleSource);
  if (!moduleSource) return Fail(::GetLastError());
  const UniqueFile bitmapSource = OpenSource(paths.bitmapSource);
  if (!bitmapSource) return Fail(::GetLastError());

  // Only the last level: a missing Draw folder means the host is not really
  // there.
  if (!::PathIsDirectoryA(paths.pluginFolder) && !::CreateDirectoryA(paths.pluginFolder, nullptr))
    return Fail(::GetLastError());

  // The new files are gone again before the error is set.
  if (const unsigned long error = PlaceFiles(paths, moduleSource.get(), bitmapSource.get(), wait)) return Fail(error);
  return true;
}
