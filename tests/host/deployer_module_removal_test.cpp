#include "module_removal.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The pauses a removal asks for; stops the waiting at pause `stopAt` (0: never).
struct RecordingWait : DeployWait {
  std::vector<unsigned> waits;
  int heldPauses = 0;
  int heldWaitsEnded = 0;
  size_t stopAt = 0;

  bool Pause(unsigned milliseconds, bool held) override {
    waits.push_back(milliseconds);
    if (held) ++heldPauses;
    return waits.size() != stopAt;
  }
  void HeldWaitEnded() override { ++heldWaitsEnded; }
};

// An old module on a simulated disk: deletion is denied while the host holds
// it, fails with `blockedError` while something else holds it, and a copy
// never overwrites.
struct OldModule {
  bool exists = true;
  int deniedFor = 0;  // attempts still denied; negative: always
  unsigned long blockedError = 0;
  int attempts = 0;
  RecordingWait wait;
  bool copied = false;

  unsigned long Replace() {
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
        wait,
        [this]() -> unsigned long {
          if (exists) return 80;  // ERROR_FILE_EXISTS
          exists = copied = true;
          return 0;
        });
  }
};

}  // namespace

TEST(DeployerModuleRemoval, FreeModuleIsDeletedAtOnceWithoutWaiting) {
  OldModule m;
  EXPECT_EQ(m.Replace(), 0ul);
  EXPECT_EQ(m.attempts, 1);
  EXPECT_TRUE(m.wait.waits.empty());
}

TEST(DeployerModuleRemoval, MissingModuleCostsOneWaitAndNoRetry) {
  OldModule m;
  m.exists = false;
  EXPECT_EQ(m.Replace(), 0ul);
  EXPECT_EQ(m.attempts, 1);
  EXPECT_EQ(m.wait.waits, std::vector<unsigned>{500});
  EXPECT_EQ(m.wait.heldPauses, 0);
  EXPECT_EQ(m.wait.heldWaitsEnded, 0);
}

TEST(DeployerModuleRemoval, AccessDeniedIsRetriedUntilTheHostLetsGo) {
  OldModule m;
  m.deniedFor = 7;
  EXPECT_EQ(m.Replace(), 0ul);
  EXPECT_EQ(m.attempts, 8);
  EXPECT_EQ(m.wait.waits, std::vector<unsigned>(7, 500));
  EXPECT_EQ(m.wait.heldPauses, 7);
  EXPECT_EQ(m.wait.heldWaitsEnded, 1);
  EXPECT_TRUE(m.copied);
}

TEST(DeployerModuleRemoval, AStoppedWaitEndsTheRemovalWithoutACopy) {
  OldModule held;
  held.deniedFor = -1;
  held.wait.stopAt = 4;
  EXPECT_EQ(held.Replace(), 1223ul);  // ERROR_CANCELLED
  EXPECT_EQ(held.attempts, 4);
  EXPECT_EQ(held.wait.heldWaitsEnded, 1);
  EXPECT_TRUE(held.exists);
  EXPECT_FALSE(held.copied);
}

TEST(DeployerModuleRemoval, OtherErrorsEndTheRetriesAndTheCopyFails) {
  for (unsigned long error : {32ul, 3ul, 1ul, 0xFFFFFFFFul}) {  // sharing violation, path, function, any
    OldModule m;
    m.blockedError = error;
    // The error that kept the module, not the copy's "exists".
    EXPECT_EQ(m.Replace(), error) << error;
    EXPECT_EQ(m.attempts, 1) << error;
    EXPECT_EQ(m.wait.waits.size(), 1u) << error;
    EXPECT_FALSE(m.copied) << error;
  }
  // Denied first, then another error: the loop ends at that error.
  OldModule m;
  m.deniedFor = 3;
  EXPECT_EQ(RemoveOldModule([&]() -> unsigned long { return m.deniedFor-- > 0 ? 5 : 32; }, m.wait), 32ul);
  EXPECT_EQ(m.wait.waits.size(), 4u);
  EXPECT_EQ(m.wait.heldPauses, 3);
  EXPECT_EQ(m.wait.heldWaitsEnded, 1);
}

TEST(DeployerModuleRemoval, GivesUpAfter3001DeniedAttemptsThenTriesTheCopy) {
  OldModule m;
  m.deniedFor = -1;
  EXPECT_EQ(m.Replace(), 5ul);  // ERROR_ACCESS_DENIED
  EXPECT_EQ(m.attempts, 3001);
  EXPECT_EQ(m.wait.heldWaitsEnded, 1);
  ASSERT_EQ(m.wait.waits.size(), 3001u);
  unsigned long long total = 0;
  for (unsigned w : m.wait.waits) total += w;
  EXPECT_EQ(total, 3001ull * 500);  // about 25 minutes
  EXPECT_TRUE(m.exists);
  EXPECT_FALSE(m.copied);

  // Released on the very last attempt: still replaced.
  OldModule last;
  last.deniedFor = 3000;
  EXPECT_EQ(last.Replace(), 0ul);
  EXPECT_EQ(last.attempts, 3001);
  EXPECT_EQ(last.wait.waits.size(), 3000u);

  // Released one attempt too late: the copy fails.
  OldModule late;
  late.deniedFor = 3001;
  EXPECT_EQ(late.Replace(), 5ul);
  EXPECT_EQ(late.attempts, 3001);
}
