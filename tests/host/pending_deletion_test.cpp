#include "pending_deletion.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool Lists(const std::wstring& list, const wchar_t* path = L"\\??\\C:\\spool\\VELTRA.dll") {
  return ListsDeletion(list.data(), list.size(), path);
}

}  // namespace

// The value as the system leaves it (pairs, an empty target for a deletion,
// a final empty name) and as anyone else may have left it.
TEST(PendingDeletion, OnlyADeletionOfThatFile) {
  using namespace std::string_literals;
  EXPECT_TRUE(Lists(L"\\??\\C:\\spool\\VELTRA.dll\0\0\0"s));
  EXPECT_TRUE(Lists(L"\\??\\C:\\a.txt\0\\??\\C:\\b.txt\0\\??\\c:\\SPOOL\\veltra.DLL\0\0\0"s));
  // Without the final empty name, or even without the last terminator.
  EXPECT_TRUE(Lists(L"\\??\\C:\\spool\\VELTRA.dll\0\0"s));
  // A rename of the file, another file, a longer or shorter name.
  EXPECT_FALSE(Lists(L"\\??\\C:\\spool\\VELTRA.dll\0\\??\\C:\\old.dll\0\0"s));
  EXPECT_FALSE(Lists(L"\\??\\C:\\spool\\VELTRA.pcd\0\0\0"s));
  EXPECT_FALSE(Lists(L"\\??\\C:\\spool\\VELTRA.dll2\0\0\0"s));
  EXPECT_FALSE(Lists(L"\\??\\C:\\spool\\VELTRA.dl\0\0\0"s));
  // A pair the value's end cuts off, a name as a target, after the list's end.
  EXPECT_FALSE(Lists(L"\\??\\C:\\spool\\VELTRA.dll\0"s));
  EXPECT_FALSE(Lists(L"\\??\\C:\\spool\\VELTRA.dll"s));
  EXPECT_FALSE(Lists(L"\\??\\C:\\x.dll\0\\??\\C:\\spool\\VELTRA.dll\0\0\0"s));
  EXPECT_FALSE(Lists(L"\0\\??\\C:\\spool\\VELTRA.dll\0\0\0"s));
  // Letters outside ASCII are compared as they are.
  EXPECT_FALSE(Lists(L"\\??\\C:\\\u00c9\0\0"s, L"\\??\\C:\\\u00e9"));
  EXPECT_FALSE(Lists(L""s));
  EXPECT_FALSE(ListsDeletion(nullptr, 0, L"x"));
}
