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

// A value of /Log or /Port is a name, whatever it ends with; a registration
// switch is never run beside a course, nor a course beside it.
TEST(SwitchScan, ValuesAreNamesAndACourseBesideARegistrationIsMalformed) {
  EXPECT_EQ(FindServerSwitch(L"P.exe /Install /Log C:\\logs\\plotter-RegServer"), ServerSwitch::None);
  EXPECT_EQ(FindServerSwitch(L"P.exe /Install /Port \"a b/UnregServer"), ServerSwitch::None);
  EXPECT_EQ(FindServerSwitch(L"P.exe /Log C:\\plotter-RegServer"), ServerSwitch::None);
  for (const wchar_t* line : {L"P.exe /RegServer /Install", L"P.exe /Install -regserver", L"P.exe -UNREGSERVER /Delete",
                              L"P.exe /Delete /Log x /UnregServer", L"P.exe /Install /Log -RegServer",
                              L"P.exe /Log x /RegServer", L"P.exe /Install x-RegServer"})
    EXPECT_EQ(FindServerSwitch(line), ServerSwitch::WithCourse) << testing::PrintToString(std::wstring(line));
  // Beside anything else, as before.
  EXPECT_EQ(FindServerSwitch(L"P.exe /RegServer /Embedding"), ServerSwitch::None);
  EXPECT_EQ(FindServerSwitch(L"P.exe /Embedding /Register /RegServer"), ServerSwitch::Register);
}
