// What the dialog and the unattended course share over one run: the
// first-error rule across editions, and which wait a Cancel click gives up.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "edition_run.h"
#include "wait_cancel.h"

TEST(DeployerRun, FirstFailureInTableOrderGivesTheCodeAndTheRestAreStillDeployed) {
  struct Case {
    std::vector<unsigned long> outcomes;  // per edition, in table order
    unsigned long result;
  };
  const Case cases[] = {
      {{0, 0, 0}, 0}, {{0, 3, 0, 5, 0}, 3}, {{5, 3}, 5}, {{0, 0, 1223}, 1223}, {{}, 0},
  };
  for (const Case& c : cases) {
    std::vector<size_t> visited;
    std::vector<size_t> table(c.outcomes.size());
    for (size_t i = 0; i < table.size(); ++i) table[i] = i;
    const unsigned long result = DeployInTableOrder(table, [&](size_t edition) {
      visited.push_back(edition);
      return c.outcomes[edition];
    });
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(visited, table);
  }
}

TEST(DeployerRun, ACancelCountsOnlyForTheWaitRunningWhenItWasClicked) {
  struct Case {
    const char* what;
    bool begun;
    std::uint32_t start;
    std::uint32_t click;
    bool ended;
    bool cancels;
  };
  const Case cases[] = {
      {"clicked while the wait runs", true, 1000, 1500, false, true},
      {"clicked as it began", true, 1000, 1000, false, true},
      {"clicked before it began, still queued", true, 1000, 999, false, false},
      {"clicked long before", true, 1000, 10, false, false},
      {"clicked while no wait ran", false, 0, 1500, false, false},
      {"clicked after the wait ended", true, 1000, 1500, true, false},
      {"the tick count wrapped during the wait", true, 0xFFFFFF00u, 0x10, false, true},
      {"clicked before a wait that began after the wrap", true, 0x10, 0xFFFFFF00u, false, false},
  };
  for (const Case& c : cases) {
    WaitCancel wait;
    if (c.begun) wait.Begin(c.start);
    if (c.ended) wait.End();
    EXPECT_EQ(wait.Click(c.click), c.cancels) << c.what;
    EXPECT_EQ(wait.Cancelled(), c.cancels) << c.what;
  }
  // A stale click goes by; one made later in the same wait still counts.
  WaitCancel wait;
  wait.Begin(2000);
  EXPECT_FALSE(wait.Click(1990));
  EXPECT_FALSE(wait.Cancelled());
  EXPECT_TRUE(wait.Click(2600));
  EXPECT_TRUE(wait.Cancelled());
}
