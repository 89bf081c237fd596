#include "module_removal.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// An old module on a simulated disk: deletion is denied while the host holds
// it, fails with `blockedError` while something else holds it, and a copy
// never overwrites.
struct OldModule {
  bool exists = true;
  int deniedFor = 0;  // attempts still denied; negative: always
  unsigned long blockedError = 0;
  int attempts = 0;
  std::vector<unsigned> waits;
  bool copied = false;

  bool Replace() {
    return ReplaceModule(
        [this]() -> unsigned long {
          ++attempts;
          if (!exists) return 2;  // ERROR_FILE_NOT_FOUND
          if (blockedError != 0) return blockedError;
          if (deniedFor != 0) {
            if (deniedFor > 0) --deniedFor;
            return 5;
          }
          exists = false;
          return 0;
        },
        [this](unsigned ms) { waits.push_back(ms); },
        [this] {
          if (exists) return false;
          exists = copied = true;
          return true;
        });
  }
};

}  // namespace

TEST(DeployerModuleRemoval, FreeModuleIsDeletedAtOnceWithoutWaiting) {
  OldModule m;
  EXPECT_TRUE(m.Replace());
  EXPECT_EQ(m.attempts, 1);
  EXPECT_TRUE(m.waits.empty());
}

TEST(DeployerModuleRemoval, MissingModuleCostsOneWaitAndNoRetry) {
  OldModule m;
  m.exists = false;
  EXPECT_TRUE(m.Replace());
  EXPECT_EQ(m.attempts, 1);
  EXPECT_EQ(m.waits, std::vector<unsigned>{500});
}

TEST(DeployerModuleRemoval, AccessDeniedIsRetriedUntilTheHostLetsGo) {
  OldModule m;
  m.deniedFor = 7;
  EXPECT_TRUE(m.Replace());
  EXPECT_EQ(m.attempts, 8);
  EXPECT_EQ(m.waits, std::vector<unsigned>(7, 500));
  EXPECT_TRUE(m.copied);
}

TEST(DeployerModuleRemoval, OtherErrorsEndTheRetriesAndTheCopyFails) {
  for (unsigned long error : {32ul, 3ul, 1ul, 0xFFFFFFFFul}) {  // sharing violation, path, function, any
    OldModule m;
    m.blockedError = error;
    EXPECT_FALSE(m.Replace()) << error;
    EXPECT_EQ(m.attempts, 1) << error;
    EXPECT_EQ(m.waits.size(), 1u) << error;
    EXPECT_FALSE(m.copied) << error;
  }
  // Denied first, then another error: the loop ends at that error.
  OldModule m;
  m.deniedFor = 3;
  EXPECT_EQ(RemoveOldModule(
                [&]() -> unsigned long { return m.deniedFor-- > 0 ? 5 : 32; }, [&](unsigned ms) { m.waits.push_back(ms); }),
            32ul);
  EXPECT_EQ(m.waits.size(), 4u);
}

TEST(DeployerModuleRemoval, GivesUpAfter3001DeniedAttemptsThenTriesTheCopy) {
  OldModule m;
  m.deniedFor = -1;
  EXPECT_FALSE(m.Replace());
  EXPECT_EQ(m.attempts, 3001);
  ASSERT_EQ(m.waits.size(), 3001u);
  unsigned long long total = 0;
  for (unsigned w : m.waits) total += w;
  EXPECT_EQ(total, 3001ull * 500);  // about 25 minutes
  EXPECT_TRUE(m.exists);
  EXPECT_FALSE(m.copied);

  // Released on the very last attempt: still replaced.
  OldModule last;
  last.deniedFor = 3000;
  EXPECT_TRUE(last.Replace());
  EXPECT_EQ(last.attempts, 3001);
  EXPECT_EQ(last.waits.size(), 3000u);

  // Released one attempt too late: the copy fails.
  OldModule late;
  late.deniedFor = 3001;
  EXPECT_FALSE(late.Replace());
  EXPECT_EQ(late.attempts, 3001);
}
