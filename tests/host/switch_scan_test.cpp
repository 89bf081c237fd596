#include "switch_scan.h"

#include <gtest/gtest.h>

TEST(SwitchScan, FinalSwitchInAnyCaseWithEitherSeparator) {
  EXPECT_EQ(FindServerSwitch("C:\\app\\PLOTINST.exe /RegServer"), ServerSwitch::Register);
  EXPECT_EQ(FindServerSwitch("PLOTINST.exe -regserver"), ServerSwitch::Register);
  EXPECT_EQ(FindServerSwitch("PLOTINST.exe /REGSERVER"), ServerSwitch::Register);
  EXPECT_EQ(FindServerSwitch("PLOTINST.exe /UnregServer"), ServerSwitch::Unregister);
  EXPECT_EQ(FindServerSwitch("PLOTINST.exe -UNREGSERVER"), ServerSwitch::Unregister);
  EXPECT_EQ(FindServerSwitch("\"C:\\my-dir\\a/b\\PLOTINST.exe\" /unregserver"), ServerSwitch::Unregister);
}

TEST(SwitchScan, SwitchMustRunToTheEndOfTheLine) {
  EXPECT_EQ(FindServerSwitch("PLOTINST.exe /RegServer "), ServerSwitch::None);
  EXPECT_EQ(FindServerSwitch("PLOTINST.exe /RegServer /Embedding"), ServerSwitch::None);
  EXPECT_EQ(FindServerSwitch("PLOTINST.exe /RegServer file.txt"), ServerSwitch::None);
  EXPECT_EQ(FindServerSwitch("PLOTINST.exe /RegServerX"), ServerSwitch::None);
}

TEST(SwitchScan, OtherSwitchesAndPlainLines) {
  EXPECT_EQ(FindServerSwitch("PLOTINST.exe /Register"), ServerSwitch::None);
  EXPECT_EQ(FindServerSwitch("PLOTINST.exe /Unregister"), ServerSwitch::None);
  EXPECT_EQ(FindServerSwitch("PLOTINST.exe RegServer"), ServerSwitch::None);
  EXPECT_EQ(FindServerSwitch("PLOTINST.exe"), ServerSwitch::None);
  EXPECT_EQ(FindServerSwitch(""), ServerSwitch::None);
  EXPECT_EQ(FindServerSwitch(nullptr), ServerSwitch::None);
  EXPECT_EQ(FindServerSwitch("/"), ServerSwitch::None);
  EXPECT_EQ(FindServerSwitch("x //RegServer"), ServerSwitch::Register);
  EXPECT_EQ(FindServerSwitch("x -/RegServer"), ServerSwitch::Register);
}
