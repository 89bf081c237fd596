#include "package.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

TEST(Package, ScramblingIsItsOwnInverse) {
  std::vector<unsigned char> bytes(3000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 7);
  auto scrambled = bytes;
  ScrambleBytes(scrambled.data(), scrambled.size());
  EXPECT_EQ(scrambled[0], 0xA7);
  EXPECT_EQ(scrambled[1], 7 ^ 0xA7);
  ScrambleBytes(scrambled.data(), scrambled.size());
  EXPECT_EQ(scrambled, bytes);
}

TEST(Package, ModelTableBounds) {
  ASSERT_NE(ModelFilesAt(0), nullptr);
  EXPECT_STREQ(ModelFilesAt(0)->driver, "\\VELTRA.dll");
  EXPECT_STREQ(ModelFilesAt(0)->data, "\\VELTRA.pcd");
  EXPECT_STREQ(ModelFilesAt(0)->config, "\\VELTRAUI.dll");
  ASSERT_NE(ModelFilesAt(4), nullptr);
  EXPECT_STREQ(ModelFilesAt(4)->config, "\\VELTRA5UI.dll");
  EXPECT_EQ(ModelFilesAt(5), nullptr);
  EXPECT_EQ(ModelFilesAt(-1), nullptr);
}

TEST(Package, DriverPathsInBothFolders) {
  DriverPaths paths;
  ASSERT_TRUE(BuildDriverPaths(paths, "C:\\spool\\w32x86", "\\3", *ModelFilesAt(1)));
  EXPECT_STREQ(paths.driver, "C:\\spool\\w32x86\\3\\VELTRA2.dll");
  EXPECT_STREQ(paths.data, "C:\\spool\\w32x86\\3\\VELTRA2.pcd");
  EXPECT_STREQ(paths.config, "C:\\spool\\w32x86\\3\\VELTRA2UI.dll");
}

TEST(Package, PathsThatDoNotFitAreRefusedNotCut) {
  char out[8];
  EXPECT_TRUE(JoinPath(out, sizeof out, "abc", "def", "g"));
  EXPECT_STREQ(out, "abcdefg");
  EXPECT_FALSE(JoinPath(out, sizeof out, "abc", "def", "gh"));
  EXPECT_STREQ(out, "");
  DriverPaths paths;
  const std::string longDirectory(505, 'x');
  EXPECT_FALSE(BuildDriverPaths(paths, longDirectory.c_str(), "", *ModelFilesAt(0)));
}

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

}  // namespace

TEST(Cabpack, TurnsTheThreeDriverFilesIntoThePackage) {
  const std::string dir = ::testing::TempDir() + "cabpack_test";
  std::system(("rm -rf " + dir + " && mkdir -p " + dir + "/out").c_str());
  std::string driver(2500, '\0'), data, config(1024, 'c');
  for (size_t i = 0; i < driver.size(); ++i) driver[i] = static_cast<char>(i);
  WriteAll(dir + "/VELTRA.dll", driver);
  WriteAll(dir + "/VELTRA.pcd", data);
  WriteAll(dir + "/VELTRAUI.dll", config);

  const std::string cmd = std::string(CABPACK_PATH) + " " + dir + "/VELTRA.dll " + dir + "/VELTRA.pcd " + dir +
                          "/VELTRAUI.dll " + dir + "/out";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  auto unscrambled = [&](const char* name) {
    std::string bytes = ReadAll(dir + "/out/" + name);
    ScrambleBytes(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size());
    return bytes;
  };
  EXPECT_EQ(unscrambled("Data1.CAB"), driver);
  EXPECT_EQ(unscrambled("Data2.CAB"), config);
  EXPECT_EQ(unscrambled("Data3.CAB"), data);

  // A driver and a configuration DLL for different Windows are refused
  // before any package file is written.
  std::system(("rm -f " + dir + "/out/*").c_str());
  const std::string pe64 = "MZ" + std::string(0x3A, '\0') + std::string("\x40\0\0\0PE\0\0\x64\x86", 10);
  WriteAll(dir + "/VELTRA.dll", pe64);
  WriteAll(dir + "/VELTRAUI.dll", std::string(pe64).replace(0x44, 2, "\x4C\x01"));
  EXPECT_NE(std::system((cmd + " >/dev/null 2>&1").c_str()), 0);
  EXPECT_FALSE(std::ifstream(dir + "/out/Data1.CAB").good());
  WriteAll(dir + "/VELTRAUI.dll", pe64);
  EXPECT_EQ(std::system((cmd + " >/dev/null").c_str()), 0);

  // A missing input fails and leaves no half-written package file behind.
  std::system(("rm -f " + dir + "/out/*").c_str());
  const std::string bad = std::string(CABPACK_PATH) + " " + dir + "/VELTRA.dll " + dir + "/missing.pcd " + dir +
                          "/VELTRAUI.dll " + dir + "/out 2>/dev/null";
  EXPECT_NE(std::system(bad.c_str()), 0);
  EXPECT_EQ(ReadAll(dir + "/out/Data3.CAB"), "");
}
