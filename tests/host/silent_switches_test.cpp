#include "silent_switches.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_line.h"

namespace {

// The line split as the framework splits it, each argument handed over as
// its parser does (a leading '-' or '/' taken off and reported as a flag).
SilentSwitches Scan(const wchar_t* line, bool installer) {
  SilentSwitches s(installer, installer);
  const std::vector<std::wstring> args = SplitCommandLine(line);
  for (size_t i = 1; i < args.size(); ++i) {
    const wchar_t* arg = args[i].c_str();
    const bool flag = arg[0] == L'-' || arg[0] == L'/';
    s.Take(flag ? arg + 1 : arg, flag);
  }
  s.Finish();
  return s;
}

}  // namespace

// Each line to the installer's set of switches or the deployer's: whether it
// asks for an unattended course, and its error.
TEST(SilentSwitches, CoursesValuesAndMalformedLines) {
  struct Case {
    const wchar_t* line;
    bool installer, requested;
    unsigned long error;
    bool help = false;
  };
  const Case cases[] = {
      {L"P.exe -log C:\\run.log /PORT COM3: -INSTALL", true, true, 0},
      {L"P.exe /delete /Log x.log /Embedding", true, true, 0},
      {L"P.exe /Install /Delete", true, true, 87},
      {L"P.exe /Install /Port", true, true, 87},
      {L"P.exe /Install /Port /Log x", true, true, 87},
      {L"P.exe /Install /Log a /Log b", true, true, 87},
      {L"P.exe /Install /Quiet", true, true, 87},
      {L"P.exe /Install file.txt", true, true, 87},
      {L"P.exe /Delete /Port COM1:", true, true, 87},
      {L"P.exe /Log x.log", true, true, 87},
      {L"P.exe /Install /Log \"\"", true, true, 87},
      // A quoted switch is still a switch; a quoted blank is part of a value.
      {L"\"C:\\a b\\P.exe\" \"/Install\" /Log \"C:\\a b\\x.log\"", true, true, 0},
      // Nothing of the unattended courses: the dialog opens as it always has.
      {L"P.exe /Quiet", true, false, 87},
      {L"P.exe /Register file.txt", true, false, 87},
      {L"\"C:\\a /Install\\P.exe\"", true, false, 87},
      // A switch name with a character outside ASCII is no known switch.
      {L"P.exe /\u0130nstall", true, false, 87},
      // The deployer has no /Delete and no /Port.
      {L"A.exe /Delete", false, false, 87},
      {L"A.exe /Install /Port COM1:", false, true, 87},
      {L"A.exe /Install /Log x.log", false, true, 0},
      // The usage, in either program, also beside a course; a value "?" is a value.
      {L"P.exe /?", true, false, 87, true},
      {L"A.exe -HELP", false, false, 87, true},
      {L"P.exe /Install /Log x /?", true, true, 0, true},
      {L"P.exe /Install /Log /?", true, true, 87, true},
      {L"P.exe /Install /Port ?", true, true, 0, false},
      {L"A.exe /??", false, false, 87, false},
  };
  for (const Case& c : cases) {
    const SilentSwitches s = Scan(c.line, c.installer);
    EXPECT_EQ(s.Requested(), c.requested) << testing::PrintToString(std::wstring(c.line));
    EXPECT_EQ(s.Help(), c.help) << testing::PrintToString(std::wstring(c.line));
    if (c.requested) {
      EXPECT_EQ(s.Error(), c.error) << testing::PrintToString(std::wstring(c.line));
    }
  }
  const SilentSwitches s = Scan(L"P.exe /Install /Port COM3: /Log a", true);
  EXPECT_EQ(s.Course(), SilentCourse::Install);
  EXPECT_STREQ(s.Port(), L"COM3:");
  EXPECT_STREQ(s.Log(), L"a");
}

// Values come through whole: characters outside any code page, blanks and
// quotes by the runtime's rules, and nothing after the line's end.
TEST(SilentSwitches, ValuesKeepEveryCharacter) {
  struct Case {
    const wchar_t* line;
    const wchar_t* log;
  };
  const Case cases[] = {
      {L"P.exe /Install /Log C:\\\u65e5\u672c\\\u0141\u00f3d\u017a.log", L"C:\\\u65e5\u672c\\\u0141\u00f3d\u017a.log"},
      {L"P.exe /Install /Log \"C:\\my logs\\\"", L"C:\\my logs\""},
      {L"P.exe /Install /Log \"C:\\my logs\\\\\"", L"C:\\my logs\\"},
      {L"P.exe /Install /Log a\\\\\\\"b", L"a\\\"b"},
      {L"P.exe /Install /Log \"a\"\"b\"", L"a\"b"},
      {L"P.exe /Install /Log a\"b c\"d\t", L"ab cd"},
      {L"P.exe /Install /Log \"unterminated", L"unterminated"},
  };
  for (const Case& c : cases) {
    const SilentSwitches s = Scan(c.line, true);
    ASSERT_NE(s.Log(), nullptr) << testing::PrintToString(std::wstring(c.line));
    EXPECT_EQ(std::wstring(s.Log()), c.log) << testing::PrintToString(std::wstring(c.line));
  }
  EXPECT_EQ(SplitCommandLine(L"\"C:\\dir\\\"P.exe a"), (std::vector<std::wstring>{L"C:\\dir\\P.exe", L"a"}));
  EXPECT_EQ(SplitCommandLine(L""), std::vector<std::wstring>(1));
  EXPECT_EQ(SplitCommandLine(nullptr), std::vector<std::wstring>(1));
}
