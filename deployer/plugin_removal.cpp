#include "plugin_removal.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "handles.h"
#include "outcome.h"
#include "restart_list.h"
#include "win32_error.h"

namespace {

constexpr DWORD kChunkSize = 64 * 1024;

UniqueFile OpenForReading(const char* path) {
  // A host's load of the module shares reading; so must we, and let it go.
  return UniqueFile(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
}

// Reads up to size bytes, fewer only at the end of the file.
DWORD ReadChunk(HANDLE file, char* data, DWORD size, DWORD& got) {
  got = 0;
  while (got < size) {
    DWORD read = 0;
    if (!::ReadFile(file, data + got, size - got, &read, nullptr)) return LastErrorOr(ERROR_READ_FAULT);
    if (read == 0) break;
    got += read;
  }
  return ERROR_SUCCESS;
}

// Whether the file holds exactly the source's bytes: 0 with the answer, or
// the error that kept them from being compared.
DWORD SameBytes(const char* source, const char* path, bool& same) {
  same = false;
  const UniqueFile a = OpenForReading(source);
  if (!a) return LastErrorOr(ERROR_GEN_FAILURE);
  const UniqueFile b = OpenForReading(path);
  if (!b) return LastErrorOr(ERROR_GEN_FAILURE);
  LARGE_INTEGER sizeA{}, sizeB{};
  if (!::GetFileSizeEx(a.get(), &sizeA) || !::GetFileSizeEx(b.get(), &sizeB)) return LastErrorOr(ERROR_GEN_FAILURE);
  if (sizeA.QuadPart != sizeB.QuadPart) return ERROR_SUCCESS;
  std::vector<char> chunkA(kChunkSize), chunkB(kChunkSize);
  for (;;) {
    DWORD gotA = 0, gotB = 0;
    if (const DWORD error = ReadChunk(a.get(), chunkA.data(), kChunkSize, gotA)) return error;
    if (const DWORD error = ReadChunk(b.get(), chunkB.data(), kChunkSize, gotB)) return error;
    // A file that changed size while being read is not the one compared.
    if (gotA != gotB || std::memcmp(chunkA.data(), chunkB.data(), gotA) != 0) return ERROR_SUCCESS;
    if (gotA == 0) break;
  }
  same = true;
  return ERROR_SUCCESS;
}

// Deletes the file; a read-only one (copies from a CD keep the attribute) is
// made writable first. 0, or why not, the attributes as they were.
DWORD DeleteFileAnyway(const char* path) {
  if (::DeleteFileA(path)) return ERROR_SUCCESS;
  const DWORD error = LastErrorOr(ERROR_GEN_FAILURE);
  const DWORD attributes = ::GetFileAttributesA(path);
  if (error != ERROR_ACCESS_DENIED || attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & FILE_ATTRIBUTE_READONLY) == 0)
    return error;
  const DWORD writable = attributes & ~FILE_ATTRIBUTE_READONLY;
  if (!::SetFileAttributesA(path, writable != 0 ? writable : FILE_ATTRIBUTE_NORMAL)) return error;
  if (::DeleteFileA(path)) return ERROR_SUCCESS;
  const DWORD again = LastErrorOr(ERROR_GEN_FAILURE);
  ::SetFileAttributesA(path, attributes);
  return again;
}

// Deletes the file when it is byte for byte the source; held, at the next
// restart. The outcome goes into `run`.
void RemoveOwnFile(const char* source, const char* path, const char* edition, unsigned long& run, RunLog& log) {
  const DWORD attributes = ::GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      log.Step(ERROR_SUCCESS, "%s: no %s to delete", edition, path);
      return;
    }
    log.Step(error, "%s: read %s", edition, path);
    run = MergeOutcome(run, error);
    return;
  }
  bool same = false;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    if (const DWORD error = SameBytes(source, path, same)) {
      log.Step(error, "%s: compare %s with %s", edition, path, source);
      run = MergeOutcome(run, error);
      return;
    }
  }
  if (!same) {
    log.Step(ERROR_SUCCESS, "%s: %s is not this package's, left in place", edition, path);
    return;
  }
  DWORD error = DeleteFileAnyway(path);
  if (error == ERROR_SUCCESS) {
    log.Step(ERROR_SUCCESS, "%s: delete %s", edition, path);
    return;
  }
  // Held: loaded by a running host, or open without delete sharing.
  if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
    if (IsPendingDeletion(path)) {
      log.Step(ERROR_SUCCESS, "%s: %s held, already to be deleted at the next restart", edition, path);
      return;
    }
    if (::MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
      log.Step(kRestartRequired, "%s: %s held, to be deleted at the next restart", edition, path);
      run = MergeOutcome(run, kRestartRequired);
      return;
    }
    error = LastErrorOr(ERROR_GEN_FAILURE);
  }
  log.Step(error, "%s: delete %s", edition, path);
  run = MergeOutcome(run, error);
}

// What a deployment ended midway left under our own names for new files.
void RemoveLeftover(const char* path, const char* edition, unsigned long& run, RunLog& log) {
  if (::GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return;
  const DWORD error = DeleteFileAnyway(path);
  log.Step(error, "%s: delete %s", edition, path);
  run = MergeOutcome(run, error);
}

}  // namespace

unsigned long RemovePluginFiles(const PluginPaths& paths, const char* edition, RunLog& log) {
  unsigned long run = ERROR_SUCCESS;
  RemoveOwnFile(paths.moduleSource, paths.moduleDestination, edition, run, log);
  RemoveOwnFile(paths.bitmapSource, paths.bitmapDestination, edition, run, log);
  RemoveLeftover(paths.moduleNew, edition, run, log);
  RemoveLeftover(paths.bitmapNew, edition, run, log);
  return run;
}
