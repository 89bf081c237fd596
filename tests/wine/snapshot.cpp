#include "snapshot.h"

#include <algorithm>
#include <cstdio>

#include "handles.h"

namespace {

// FNV-1a over the file's bytes; false when the file cannot be read, for
// instance while another holds it without read sharing.
bool HashFile(const std::string& path, std::uint64_t& hash) {
  UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return false;
  hash = 14695981039346656037ull;
  unsigned char buffer[65536];
  DWORD read = 0;
  while (::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
    for (DWORD i = 0; i < read; ++i) hash = (hash ^ buffer[i]) * 1099511628211ull;
  return true;
}

bool IsFolder(const SnapshotEntry& e) { return (e.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

bool Same(const SnapshotEntry& a, const SnapshotEntry& b) {
  if (a.attributes != b.attributes) return false;
  if (IsFolder(a)) return true;
  return a.size == b.size && ::CompareFileTime(&a.written, &b.written) == 0 && a.readable == b.readable &&
         a.hash == b.hash;
}

std::string Describe(const SnapshotEntry& e) {
  char text[96];
  if (IsFolder(e)) {
    std::snprintf(text, sizeof text, "folder, attributes %lx", e.attributes);
    return text;
  }
  std::snprintf(text, sizeof text, "file, attributes %lx, %llu bytes, ", e.attributes, e.size);
  if (!e.readable) return std::string(text) + "unreadable";
  char hash[32];
  std::snprintf(hash, sizeof hash, "hash %016llx", static_cast<unsigned long long>(e.hash));
  return std::string(text) + hash;
}

}  // namespace

FolderSnapshot FolderSnapshot::Take(const std::string& root, const char* pattern) {
  FolderSnapshot snapshot;
  snapshot.m_root = root;
  snapshot.Walk("", pattern);
  return snapshot;
}

void FolderSnapshot::Walk(const std::string& relative, const char* pattern) {
  const std::string folder = relative.empty() ? m_root : m_root + "\\" + relative;
  WIN32_FIND_DATAA found;
  HANDLE find = ::FindFirstFileA((folder + "\\" + pattern).c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    const std::string path = relative.empty() ? name : relative + "\\" + name;
    Add(path, found);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) Walk(path, "*");
  } while (::FindNextFileA(find, &found));
  ::FindClose(find);
}

void FolderSnapshot::Add(const std::string& relative, const WIN32_FIND_DATAA& found) {
  SnapshotEntry e;
  e.attributes = found.dwFileAttributes;
  if (!IsFolder(e)) {
    e.size = (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    e.written = found.ftLastWriteTime;
    e.readable = HashFile(m_root + "\\" + relative, e.hash);
  }
  m_entries[relative] = e;
}

std::vector<std::string> ChangedPaths(const FolderSnapshot& before, const FolderSnapshot& after) {
  std::vector<std::string> changed;
  for (const auto& [path, entry] : before.Entries()) {
    auto it = after.Entries().find(path);
    if (it == after.Entries().end() || !Same(entry, it->second)) changed.push_back(path);
  }
  for (const auto& [path, entry] : after.Entries())
    if (before.Entries().count(path) == 0) changed.push_back(path);
  std::sort(changed.begin(), changed.end());
  return changed;
}

std::string DescribeChanges(const FolderSnapshot& before, const FolderSnapshot& after) {
  std::string text;
  for (const std::string& path : ChangedPaths(before, after)) {
    auto was = before.Entries().find(path);
    auto is = after.Entries().find(path);
    text += "\n  " + after.Root() + "\\" + path + ": ";
    if (was == before.Entries().end()) {
      text += "added (" + Describe(is->second) + ")";
    } else if (is == after.Entries().end()) {
      text += "removed (" + Describe(was->second) + ")";
    } else {
      text += "was " + Describe(was->second) + ", is " + Describe(is->second);
    }
  }
  return text;
}

::testing::AssertionResult ChangedExactly(const FolderSnapshot& before, const FolderSnapshot& after,
                                          std::vector<std::string> expected) {
  std::sort(expected.begin(), expected.end());
  if (ChangedPaths(before, after) == expected) return ::testing::AssertionSuccess();
  std::string wanted;
  for (const std::string& path : expected) wanted += "\n  " + path;
  return ::testing::AssertionFailure() << "expected changes:" << (wanted.empty() ? " none" : wanted)
                                       << "\nfound:" << DescribeChanges(before, after);
}
