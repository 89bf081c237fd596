// The installer's in-process checks again at each display scaling, each run
// in a new process of this test program started at that scaling.
#include <gtest/gtest.h>

#include "scaling.h"

namespace {

class InstallerAtEveryScaling : public ::testing::TestWithParam<int> {};

TEST_P(InstallerAtEveryScaling, TitleIsTwentyFivePointTimesAndEveryCaptionFits) {
  EXPECT_TRUE(PassesAtDpi(GetParam(), "InstallerLook.TitleInPureBlueTwentyFivePointTimes"));
}

TEST_P(InstallerAtEveryScaling, FramesFillExactlyTheAreaTheBlankFrameClears) {
  EXPECT_TRUE(PassesAtDpi(GetParam(), "InstallerAnimation.FramesFillExactlyTheAreaTheBlankFrameClears"));
}

INSTANTIATE_TEST_SUITE_P(Dpi, InstallerAtEveryScaling, ::testing::ValuesIn(kScalings));

}  // namespace
