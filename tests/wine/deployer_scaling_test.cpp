// The deployer's dialog at each display scaling: every caption whole, as the
// template test measures it, in a new process of this test program started
// at that scaling.
#include <gtest/gtest.h>

#include "scaling.h"

namespace {

class DeployerAtEveryScaling : public ::testing::TestWithParam<int> {};

TEST_P(DeployerAtEveryScaling, EveryCaptionFits) {
  EXPECT_TRUE(PassesAtDpi(GetParam(), "DeployerResources.DialogTemplateIsExtendedWithTheControlsInTabOrder"));
}

INSTANTIATE_TEST_SUITE_P(Dpi, DeployerAtEveryScaling, ::testing::ValuesIn(kScalings));

}  // namespace
