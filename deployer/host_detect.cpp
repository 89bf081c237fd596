#include "host_detect.h"

#include <shlwapi.h>

#include <cstring>

#include "handles.h"
#include "host_key.h"
#include "host_paths.h"
#include "module_swap.h"
#include "new_file.h"
#include "outcome.h"
#include "restart_list.h"
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

// Stops at the first refusal by a holder, which the restart then settles;
// other pauses, and the bitmap's outcome, go to the wait given.
class StopWhenHeld : public DeployWait {
 public:
  explicit StopWhenHeld(DeployWait& wait) : m_wait(wait) {}
  bool Pause(unsigned milliseconds, bool held) override { return !held && m_wait.Pause(milliseconds, held); }
  void BitmapReplaced(unsigned long outcome) override { m_wait.BitmapReplaced(outcome); }

 private:
  DeployWait& m_wait;
};

// Puts the new module in place now, or, when it must not wait for a holder
// (or the old module is already to be deleted at the restart, which would
// take the new one too), lists it to take the old one's place at the next
// restart: 3010.
unsigned long PlaceModule(NewFile& module, const char* old, DeployWait& wait, bool atRestart, bool pendingDeletion) {
  if (!atRestart) return SwapInModule([&] { return SwapModule(module, old); }, wait);
  unsigned long error = kWaitStoppedError;
  if (!pendingDeletion) {
    StopWhenHeld noWait(wait);
    error = SwapInModule([&] { return SwapModule(module, old); }, noWait);
  }
  if (error != kWaitStoppedError) return error;
  // Listing needs an administrator; a refusal is the edition's error.
  if (const DWORD refused = module.MoveOverAtRestart(old)) return refused;
  wait.HeldWaitEnded(kRestartRequired, false);
  return kRestartRequired;
}

// Places the module, then the bitmap, each written in full beside its old
// file first. 0 once both are in place (3010 when the module is only at the
// restart), else why not; no new file is left, and the old files stay as
// they were, but for a module already replaced when the bitmap fails.
unsigned long PlaceFiles(const PluginPaths& paths, HANDLE moduleSource, HANDLE bitmapSource, DeployWait& wait,
                         bool atRestart, bool pendingDeletion) {
  // A folder in the module's place denies its replacement for good: waiting
  // that out would stall for minutes.
  if (::PathIsDirectoryA(paths.moduleDestination)) return ERROR_ACCESS_DENIED;
  NewFile module(paths.moduleNew), bitmap(paths.bitmapNew);
  if (const DWORD error = module.Write(moduleSource)) return error;
  if (const DWORD error = bitmap.Write(bitmapSource)) return error;
  const unsigned long placed = PlaceModule(module, paths.moduleDestination, wait, atRestart, pendingDeletion);
  if (placed != ERROR_SUCCESS && placed != kRestartRequired) return placed;
  // The new module stays; a bitmap that stays is the old one, whole, and
  // fails the edition.
  const DWORD bitmapError = ReplaceOld(bitmap, paths.bitmapDestination);
  wait.BitmapReplaced(bitmapError);
  return bitmapError != ERROR_SUCCESS ? bitmapError : placed;
}

// A path whose folder is the source folder, as the paths are built from the
// program's own path; the program's own when sourceFolder is null.
DWORD SourcePath(const char* sourceFolder, char (&path)[kHostPathInputSize]) {
  if (sourceFolder == nullptr) {
    // A truncated program path would name sources that are not ours.
    const DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
    if (n == 0) return ::GetLastError();
    return n < sizeof path ? ERROR_SUCCESS : ERROR_INSUFFICIENT_BUFFER;
  }
  const size_t n = strnlen(sourceFolder, sizeof path);
  // No folder at all would name the current drive's root.
  if (n == 0) return ERROR_BAD_PATHNAME;
  // Room for a closing backslash and the terminator.
  if (n + 2 > sizeof path) return ERROR_FILENAME_EXCED_RANGE;
  std::memcpy(path, sourceFolder, n);
  path[n] = '\0';
  if (path[n - 1] != '\\') std::strcat(path, "\\");
  return ERROR_SUCCESS;
}

// The host key, kept open by the caller as a claim on the host, and the
// edition's paths: 0, or why not.
unsigned long OpenPluginPaths(int majorVersion, bool is64BitEdition, const char* sourceFolder, UniqueHKey& key,
                              PluginPaths& paths) {
  char configDir[kHostPathInputSize];
  if (const LONG rc = OpenHostKey(majorVersion, is64BitEdition, key); rc != ERROR_SUCCESS) return rc;
  if (const LONG rc = ReadConfigDir(key.get(), configDir); rc != ERROR_SUCCESS) return rc;
  char sourcePath[kHostPathInputSize];
  if (const DWORD error = SourcePath(sourceFolder, sourcePath)) return error;
  if (!BuildPluginPaths(configDir, sourcePath, is64BitEdition, paths)) return ERROR_BAD_PATHNAME;
  return ERROR_SUCCESS;
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

unsigned long ReadPluginPaths(int majorVersion, bool is64BitEdition, const char* sourceFolder, PluginPaths& paths) {
  UniqueHKey key;
  return OpenPluginPaths(majorVersion, is64BitEdition, sourceFolder, key, paths);
}

bool DeployPlugin(int majorVersion, bool is64BitEdition, DeployWait& wait) {
  const unsigned long outcome = DeployPluginError(majorVersion, is64BitEdition, wait);
  if (outcome == ERROR_SUCCESS) return true;
  return Fail(outcome);
}

unsigned long DeployPluginError(int majorVersion, bool is64BitEdition, DeployWait& wait, const DeployOptions& options) {
  // The key stays open for the whole deployment, as a claim on the host.
  UniqueHKey key;
  PluginPaths paths;
  if (const unsigned long error = OpenPluginPaths(majorVersion, is64BitEdition, options.sourceFolder, key, paths))
    return error;

  // A source missing or unreadable beside the program fails the edition
  // before anything is written.
  const UniqueFile moduleSource = OpenSource(paths.moduleSource);
  if (!moduleSource) return LastErrorOr(ERROR_GEN_FAILURE);
  const UniqueFile bitmapSource = OpenSource(paths.bitmapSource);
  if (!bitmapSource) return LastErrorOr(ERROR_GEN_FAILURE);

  // A module a removal left to the restart would take the new one with it:
  // nothing is done before the restart, unless the new one may follow the
  // deletion there.
  const bool pendingDeletion = IsPendingDeletion(paths.moduleDestination);
  if (pendingDeletion && !options.replaceHeldAtRestart) return kRestartFirst;

  // Only the last level: a missing Draw folder means the host is not really
  // there.
  if (!::PathIsDirectoryA(paths.pluginFolder) && !::CreateDirectoryA(paths.pluginFolder, nullptr))
    return LastErrorOr(ERROR_GEN_FAILURE);

  // The new files are gone again before the outcome is known.
  return PlaceFiles(paths, moduleSource.get(), bitmapSource.get(), wait, options.replaceHeldAtRestart, pendingDeletion);
}
