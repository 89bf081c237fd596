#include "file_names.h"

#include <gtest/gtest.h>

// The spooler names a file with its own folder or none: the name decides.
TEST(FileNames, AFileIsNamedByItsNameInAnyFolderAndCase) {
  struct Case {
    const char* listed;
    const char* path;
    bool same;
  };
  const Case cases[] = {
      {"C:\\w\\3\\plotsvc.dll", "C:\\windows\\system32\\plotsvc.dll", true},
      {"plotsvc.dll", "C:\\windows\\system32\\PLOTSVC.DLL", true},
      {"C:/w/3/VELTRAUI.dll", "C:\\w\\veltraui.dll", true},
      {"C:\\w\\3\\VELTRAUI.dll", "C:\\w\\VELTRA.dll", false},
      {"C:\\w\\3\\XVELTRA.dll", "C:\\w\\VELTRA.dll", false},
      {"C:\\w\\3\\VELTRA.dll.bak", "C:\\w\\VELTRA.dll", false},
      {"", "C:\\w\\VELTRA.dll", false},
      {"C:\\w\\", "C:\\x\\", false},
      {nullptr, "C:\\w\\VELTRA.dll", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SameFileName(c.listed, c.path), c.same) << (c.listed ? c.listed : "null") << " " << c.path;
    EXPECT_EQ(SameFileName(c.path, c.listed), c.same) << (c.listed ? c.listed : "null") << " " << c.path;
  }
  // A driver's dependent files: names up to the empty one, none after it.
  const char dependents[] = "a.dll\0C:\\w\\3\\plotsvc.dll\0\0VELTRA.pcd\0";
  EXPECT_TRUE(ListNamesFile(dependents, "C:\\windows\\system32\\plotsvc.dll"));
  EXPECT_TRUE(ListNamesFile(dependents, "C:\\w\\A.DLL"));
  EXPECT_FALSE(ListNamesFile(dependents, "C:\\w\\VELTRA.pcd"));
  EXPECT_FALSE(ListNamesFile("", "C:\\w\\a.dll"));
  EXPECT_FALSE(ListNamesFile(nullptr, "C:\\w\\a.dll"));
}
