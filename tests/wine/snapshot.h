// What a folder tree holds, taken before and after a run and compared, so
// that a test sees every file and folder the run added, removed or changed,
// not only the ones it thought to look at.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct SnapshotEntry {
  DWORD attributes = 0;
  unsigned long long size = 0;
  FILETIME written{};      // files only: a folder's time moves with its entries
  bool readable = false;   // false for folders and for files held without read sharing
  std::uint64_t hash = 0;  // of the bytes, when readable
};

class FolderSnapshot {
 public:
  // Everything below root whose first-level name matches pattern, folders
  // recursed whole. A missing root gives an empty snapshot.
  static FolderSnapshot Take(const std::string& root, const char* pattern = "*");

  const std::string& Root() const { return m_root; }
  // Keyed by the path below the root, as the file system spells it.
  const std::map<std::string, SnapshotEntry>& Entries() const { return m_entries; }

 private:
  void Add(const std::string& relative, const WIN32_FIND_DATAA& found);
  void Walk(const std::string& relative, const char* pattern);

  std::string m_root;
  std::map<std::string, SnapshotEntry> m_entries;
};

// The paths below the root that were added, removed or changed, in order.
std::vector<std::string> ChangedPaths(const FolderSnapshot& before, const FolderSnapshot& after);

// One line per difference, saying what changed.
std::string DescribeChanges(const FolderSnapshot& before, const FolderSnapshot& after);

// Success when exactly the expected paths changed; otherwise every
// difference, for the failure message.
::testing::AssertionResult ChangedExactly(const FolderSnapshot& before, const FolderSnapshot& after,
                                          std::vector<std::string> expected);
inline ::testing::AssertionResult Unchanged(const FolderSnapshot& before, const FolderSnapshot& after) {
  return ChangedExactly(before, after, {});
}
