#include "host_key.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

struct Choice {
  bool found;
  std::string path;
  unsigned long access;
};

Choice Select(int version, bool edition64, bool machine64) {
  HostKey key{};
  key.access = 0;
  const bool found = SelectHostKey(version, edition64, machine64, key);
  return {found, found ? key.path : "", found ? key.access : 0};
}

}  // namespace

TEST(DeployerHostKey, EachEditionAndMachineKind) {
  // On a 64-bit machine both editions go through the 64-bit view, the 32-bit
  // one under its explicit Wow6432Node path.
  Choice c = Select(17, false, true);
  EXPECT_TRUE(c.found);
  EXPECT_EQ(c.path, "SOFTWARE\\Wow6432Node\\Corel\\CorelDraw\\17.0");
  EXPECT_EQ(c.access, 0xF013Fu);

  c = Select(17, true, true);
  EXPECT_TRUE(c.found);
  EXPECT_EQ(c.path, "SOFTWARE\\Corel\\CorelDraw\\17.0");
  EXPECT_EQ(c.access, 0xF013Fu);

  c = Select(12, false, false);
  EXPECT_TRUE(c.found);
  EXPECT_EQ(c.path, "SOFTWARE\\Corel\\CorelDraw\\12.0");
  EXPECT_EQ(c.access, 0xF003Fu);

  // No 64-bit host on a 32-bit machine: nothing to open.
  EXPECT_FALSE(Select(12, true, false).found);
}

TEST(DeployerHostKey, OnlyAmd64CountsAsA64BitMachine) {
  EXPECT_TRUE(IsAmd64Machine(9));
  // x86, ARM, IA64, ARM64, unknown.
  for (unsigned short arch : {0, 5, 6, 12, 0xFFFF}) EXPECT_FALSE(IsAmd64Machine(arch)) << arch;
}

TEST(DeployerHostKey, NegativeVersionMeansNine) {
  for (int v : {-1, -17, INT_MIN}) {
    EXPECT_EQ(HostVersion(v), 9) << v;
    EXPECT_EQ(Select(v, true, true).path, "SOFTWARE\\Corel\\CorelDraw\\9.0") << v;
    EXPECT_EQ(Select(v, false, false).path, "SOFTWARE\\Corel\\CorelDraw\\9.0") << v;
  }
  EXPECT_EQ(HostVersion(0), 0);
  EXPECT_EQ(Select(0, false, true).path, "SOFTWARE\\Wow6432Node\\Corel\\CorelDraw\\0.0");
  // The largest version still fits the key path.
  EXPECT_EQ(Select(INT_MAX, false, true).path, "SOFTWARE\\Wow6432Node\\Corel\\CorelDraw\\2147483647.0");
}
