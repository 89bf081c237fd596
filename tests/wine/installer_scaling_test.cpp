// The installer's checks again at each display scaling, each run in a new
// process of this test program started at that scaling: a whole session's
// scaling, as on Windows, where the test and the program see one display.
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

TEST_P(InstallerAtEveryScaling, BlankFrameLiesBesideTheButtonsAndOnNoControl) {
  EXPECT_TRUE(PassesAtDpi(GetParam(), "InstallerInstall.BlankFrameLiesBesideTheButtonsAndOnNoControl"));
}

INSTANTIATE_TEST_SUITE_P(Dpi, InstallerAtEveryScaling, ::testing::ValuesIn(kScalings));

// Without the "宋体" replacement the dialog falls back to a font of other
// metrics; whatever is placed in pixels instead of dialog units shows there.
class InstallerWithoutItsFont : public ::testing::TestWithParam<int> {};

TEST_P(InstallerWithoutItsFont, BlankFrameLiesBesideTheButtonsAndOnNoControl) {
  ScopedNoSongReplacement noSong;
  EXPECT_TRUE(PassesAtDpi(GetParam(), "InstallerInstall.BlankFrameLiesBesideTheButtonsAndOnNoControl"));
}

INSTANTIATE_TEST_SUITE_P(Dpi, InstallerWithoutItsFont, ::testing::Values(96, 144));

}  // namespace
