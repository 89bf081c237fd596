#include "switch_scan.h"

#include <gtest/gtest.h>

TEST(SwitchScan, FinalSwitchInAnyCaseWithEitherSeparator) {
  EXPECT_EQ(FindServerSwitch(L"C:\\app\\PLOTINST.exe /RegServer"), ServerSwitch::Register);
  EXPECT_EQ(FindServerSwitch(L"PLOTINST.exe -regserver"), ServerSwitch::Register);
  EXPECT_EQ(FindServerSwitch(L"PLOTINST.exe /REGSERVER"), ServerSwitch::Register);
  EXPECT_EQ(FindServerSwitch(L"PLOTINST.exe /UnregServer"), ServerSwitch::Unregister);
  EXPECT_EQ(FindServerSwitch(L"PLOTINST.exe -UNREGSERVER"), ServerSwitch::Unregister);
  EXPECT_EQ(FindServerSwitch(L"\"C:\\my-dir\\a/b\\PLOTINST.exe\" /unregserver"), ServerSwitch::Unregister);
}

TEST(SwitchScan, SwitchMustRunToTheEndOfTheLine) {
  EXPECT_EQ(FindServerSwitch(L"PLOTINST.exe /RegServer "), ServerSwitch::None);
  EXPECT_EQ(FindServerSwitch(L"PLOTINST.exe /RegServer /Embedding"), ServerSwitch::None);
  EXPECT_EQ(FindServerSwitch(L"PLOTINST.exe /RegServer file.txt"), ServerSwitch::None);
  EXPECT_EQ(FindServerSwitch(L"PLOTINST.exe /RegServerX"), ServerSwitch::None);
}

TEST(SwitchScan, OtherSwitchesAndPlainLines) {
  EXPECT_EQ(FindServerSwitch(L"PLOTINST.exe /Register"), ServerSwitch::None);
  EXPECT_EQ(FindServerSwitch(L"PLOTINST.exe /Unregister"), ServerSwitch::None);
  EXPECT_EQ(FindServerSwitch(L"PLOTINST.exe RegServer"), ServerSwitch::None);
  EXPECT_EQ(FindServerSwitch(L"PLOTINST.exe"), ServerSwitch::None);
  EXPECT_EQ(FindServerSwitch(L""), ServerSwitch::None);
  EXPECT_EQ(FindServerSwitch(nullptr), ServerSwitch::None);
  EXPECT_EQ(FindServerSwitch(L"/"), ServerSwitch::None);
  EXPECT_EQ(FindServerSwitch(L"x //RegServer"), ServerSwitch::Register);
  EXPECT_EQ(FindServerSwitch(L"x -/RegServer"), ServerSwitch::Register);
  // A full-width solidus, which the code page would spell as '/', is none.
  EXPECT_EQ(FindServerSwitch(L"PLOTINST.exe \uFF0FRegServer"), ServerSwitch::None);
}
