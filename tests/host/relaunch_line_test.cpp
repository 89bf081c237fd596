#include "relaunch_line.h"

#include <gtest/gtest.h>

#include "command_line.h"

namespace {

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// The line the system hands the elevated process: program, then the parameters.
bool Read(const std::string& parameters, RelaunchRequest& request, bool& malformed) {
  return ReadRelaunch(SplitCommandLine(Widen("\"C:\\x\\PLOTINST.exe\" " + parameters).c_str()), request, malformed);
}

}  // namespace

// Model and port names of any spelling come back whole, with what the click asked for.
TEST(RelaunchLine, ValuesComeBackWhole) {
  const char* ports[] = {"COM3:",  "USB001",   "\\\\server\\plotter", "a\"b",
                         "ends\\", "ends\\\\", "two  blanks",         "/RegServer"};
  for (const char* port : ports) {
    for (bool comDefaults : {false, true}) {
      RelaunchRequest request;
      bool malformed = true;
      ASSERT_TRUE(
          Read(RelaunchParameters(SilentCourse::Install, "Marlo \"Cutter\"\\", port, comDefaults), request, malformed))
          << port;
      EXPECT_FALSE(malformed);
      EXPECT_EQ(request.course, SilentCourse::Install);
      EXPECT_EQ(request.model, L"Marlo \"Cutter\"\\");
      EXPECT_EQ(request.port, Widen(port));
      EXPECT_EQ(request.comDefaults, comDefaults);
    }
  }
  RelaunchRequest request;
  bool malformed = true;
  ASSERT_TRUE(Read(RelaunchParameters(SilentCourse::Delete, "Marlo Cutter", "COM3:", true), request, malformed));
  EXPECT_EQ(request.course, SilentCourse::Delete);
  EXPECT_EQ(request.model, L"Marlo Cutter");
  EXPECT_TRUE(request.port.empty());
}

// Any other line is no relaunch; a relaunch of another shape is malformed,
// so that the program ends instead of opening the dialog and asking again.
TEST(RelaunchLine, OtherShapesAreMalformed) {
  RelaunchRequest request;
  bool malformed = true;
  EXPECT_FALSE(Read("/Install /Port COM3:", request, malformed));
  EXPECT_FALSE(malformed);
  EXPECT_FALSE(Read("", request, malformed));
  EXPECT_FALSE(malformed);
  for (const char* bad :
       {"/ElevatedClick", "/ElevatedClick Install \"Marlo Cutter\" COM3:",
        "/ElevatedClick Install \"Marlo Cutter\" COM3: 2", "/ElevatedClick Delete", "/ElevatedClick Delete a b",
        "/ElevatedClick Repair x", "/elevatedclick Install m p 1 extra"}) {
    EXPECT_FALSE(Read(bad, request, malformed)) << bad;
    EXPECT_TRUE(malformed) << bad;
    EXPECT_EQ(request.course, SilentCourse::None) << bad;
  }
}
