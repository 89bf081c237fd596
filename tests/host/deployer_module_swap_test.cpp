#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "module_swap.h"

namespace {

// The pauses a swap asks for; stops the waiting at pause `stopAt` (0: never).
struct RecordingWait : DeployWait {
  std::vector<unsigned> waits;
  int heldPauses = 0;
  std::vector<unsigned long> heldWaitEnds;
  std::vector<bool> ranOut;
  size_t stopAt = 0;

  bool Pause(unsigned milliseconds, bool held) override {
    waits.push_back(milliseconds);
    if (held) ++heldPauses;
    return waits.size() != stopAt;
  }
  void HeldWaitEnded(unsigned long outcome, bool attemptsRanOut) override {
    heldWaitEnds.push_back(outcome);
    ranOut.push_back(attemptsRanOut);
  }
};

constexpr SwapRefusal kHeld = {5, true};

// The old module on a simulated disk: the swap is denied while the host holds
// it and fails with `blockedError` while something else stands in its way.
struct OldModule {
  int deniedFor = 0;  // attempts still denied; negative: always
  unsigned long blockedError = 0;
  int attempts = 0;
  RecordingWait wait;
  bool replaced = false;

  unsigned long Swap() {
    return SwapInModule(
        [this]() -> SwapRefusal {
          ++attempts;
          if (blockedError != 0) return {blockedError, false};
          if (deniedFor != 0) {
            if (deniedFor > 0) --deniedFor;
            return kHeld;
          }
          replaced = true;
          return {};
        },
        wait);
  }
};

}  // namespace

// Whether an old module is there or not, the swap takes it at once.
TEST(DeployerModuleSwap, FreeModuleIsReplacedAtOnceWithoutWaiting) {
  OldModule m;
  EXPECT_EQ(m.Swap(), 0ul);
  EXPECT_EQ(m.attempts, 1);
  EXPECT_TRUE(m.replaced);
  EXPECT_TRUE(m.wait.waits.empty());
  EXPECT_TRUE(m.wait.heldWaitEnds.empty());
}

TEST(DeployerModuleSwap, AccessDeniedIsRetriedUntilTheHostLetsGo) {
  OldModule m;
  m.deniedFor = 7;
  EXPECT_EQ(m.Swap(), 0ul);
  EXPECT_EQ(m.attempts, 8);
  EXPECT_EQ(m.wait.waits, std::vector<unsigned>(7, 500));
  EXPECT_EQ(m.wait.heldPauses, 7);
  EXPECT_EQ(m.wait.heldWaitEnds, std::vector<unsigned long>{0});
  EXPECT_TRUE(m.replaced);
}

TEST(DeployerModuleSwap, AStoppedWaitEndsTheAttemptsAndTheOldModuleStays) {
  OldModule held;
  held.deniedFor = -1;
  held.wait.stopAt = 4;
  EXPECT_EQ(held.Swap(), 1223ul);  // ERROR_CANCELLED
  EXPECT_EQ(held.attempts, 4);
  EXPECT_EQ(held.wait.heldWaitEnds, std::vector<unsigned long>{1223});
  EXPECT_FALSE(held.replaced);
}

// Any other refusal, or a denial that no holder makes, ends the attempts
// after one pause with its own error, also when that pause is stopped (a
// Cancel then comes after the failure it would otherwise hide).
TEST(DeployerModuleSwap, OtherErrorsEndTheAttemptsAfterOnePause) {
  // sharing violation, path, disk full, the file's own security, any
  for (unsigned long error : {32ul, 3ul, 112ul, 5ul, 0xFFFFFFFFul}) {
    for (size_t stopAt : {0u, 1u}) {
      OldModule m;
      m.blockedError = error;
      m.wait.stopAt = stopAt;
      EXPECT_EQ(m.Swap(), error) << error << " stopped " << stopAt;
      EXPECT_EQ(m.attempts, 1) << error;
      EXPECT_EQ(m.wait.waits.size(), 1u) << error;
      EXPECT_EQ(m.wait.heldPauses, 0) << error;
      EXPECT_TRUE(m.wait.heldWaitEnds.empty()) << error;
      EXPECT_FALSE(m.replaced) << error;
    }
  }
  // Held first, then another error (access denied by no holder among them):
  // the wait ends at that error, stopped in its last pause or not, and is
  // not told as attempts that ran out.
  for (const SwapRefusal other : {SwapRefusal{112, false}, JudgeDenial(5), JudgeDenial(2)}) {
    for (size_t stopAt : {0u, 4u}) {
      OldModule m;
      m.deniedFor = 3;
      m.wait.stopAt = stopAt;
      auto swap = [&]() -> SwapRefusal { return m.deniedFor-- > 0 ? kHeld : other; };
      EXPECT_EQ(SwapInModule(swap, m.wait), other.error) << stopAt;
      EXPECT_EQ(m.wait.waits.size(), 4u);
      EXPECT_EQ(m.wait.heldPauses, 3);
      EXPECT_EQ(m.wait.heldWaitEnds, std::vector<unsigned long>{other.error});
      EXPECT_EQ(m.wait.ranOut, std::vector<bool>{false});
    }
  }
}

// Access denied is a holder's only while the old module still opens for
// deletion (a host's load, a hold sharing deletion). Refused with a sharing
// violation it is not waited for; any other probe error (its own security,
// the path gone, a name too long, any) keeps the refusal's access denied.
TEST(DeployerModuleSwap, AccessDeniedIsAHoldOnlyWhileTheModuleOpensForDeletion) {
  EXPECT_TRUE(JudgeDenial(0).held);
  EXPECT_EQ(JudgeDenial(0).error, 5ul);
  for (unsigned long probe : {32ul, 5ul, 2ul, 3ul, 206ul, 0xFFFFFFFFul}) {
    EXPECT_FALSE(JudgeDenial(probe).held) << probe;
    EXPECT_EQ(JudgeDenial(probe).error, probe == 32 ? 32ul : 5ul) << probe;
  }
}

TEST(DeployerModuleSwap, GivesUpAfter3001DeniedAttempts) {
  OldModule m;
  m.deniedFor = -1;
  EXPECT_EQ(m.Swap(), 5ul);  // ERROR_ACCESS_DENIED
  EXPECT_EQ(m.attempts, 3001);
  EXPECT_EQ(m.wait.heldWaitEnds, std::vector<unsigned long>{5});
  EXPECT_EQ(m.wait.ranOut, std::vector<bool>{true});
  ASSERT_EQ(m.wait.waits.size(), 3001u);
  unsigned long long total = 0;
  for (unsigned w : m.wait.waits) total += w;
  EXPECT_EQ(total, 3001ull * 500);  // about 25 minutes
  EXPECT_FALSE(m.replaced);

  // Released on the very last attempt: still replaced.
  OldModule last;
  last.deniedFor = 3000;
  EXPECT_EQ(last.Swap(), 0ul);
  EXPECT_EQ(last.attempts, 3001);
  EXPECT_EQ(last.wait.waits.size(), 3000u);
  EXPECT_EQ(last.wait.ranOut, std::vector<bool>{false});

  // Released one attempt too late: given up.
  OldModule late;
  late.deniedFor = 3001;
  EXPECT_EQ(late.Swap(), 5ul);
  EXPECT_EQ(late.attempts, 3001);
}

// The log tells every end of a wait apart, never as a success it was not.
// Only attempts that ran out read as given up.
TEST(DeployerModuleSwap, EachEndOfAWaitReadsAsWhatHappened) {
  std::set<std::string> texts;
  for (unsigned long outcome : {0ul, 1223ul, 5ul, 32ul}) {
    texts.insert(HeldWaitEnd(outcome, false));
    EXPECT_EQ(std::string(HeldWaitEnd(outcome, false)).find("gave up"), std::string::npos) << outcome;
  }
  texts.insert(HeldWaitEnd(5, true));
  EXPECT_EQ(texts.size(), 5u);
  EXPECT_NE(std::string(HeldWaitEnd(0, false)).find("replaced"), std::string::npos);
  EXPECT_NE(std::string(HeldWaitEnd(1223, false)).find("cancelled"), std::string::npos);
  EXPECT_NE(std::string(HeldWaitEnd(5, true)).find("gave up"), std::string::npos);
  EXPECT_NE(std::string(HeldWaitEnd(5, true)).find("3001 attempts"), std::string::npos);
  for (unsigned long failed : {1223ul, 5ul, 32ul})
    EXPECT_NE(std::string(HeldWaitEnd(failed, false)).find("the old module stays"), std::string::npos) << failed;
}
