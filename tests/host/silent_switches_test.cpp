#include "silent_switches.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Parsed {
  bool requested;
  unsigned long error;
  SilentCourse course;
  std::string port, log;
};

// Hands the arguments over as the framework's parser does: a leading '-' or
// '/' taken off and reported as a flag.
Parsed Parse(const std::vector<const char*>& args, bool installer = true) {
  SilentSwitches s(installer, installer);
  for (const char* arg : args) {
    const bool flag = arg[0] == '-' || arg[0] == '/';
    s.Take(flag ? arg + 1 : arg, flag);
  }
  s.Finish();
  return {s.Requested(), s.Error(), s.Course(), s.Port() ? s.Port() : "<none>", s.Log() ? s.Log() : "<none>"};
}

}  // namespace

TEST(SilentSwitches, CoursesWithTheirValuesInAnyCaseAndOrder) {
  Parsed p = Parse({"/Install"});
  EXPECT_TRUE(p.requested);
  EXPECT_EQ(p.error, 0u);
  EXPECT_EQ(p.course, SilentCourse::Install);
  EXPECT_EQ(p.port, "<none>");

  p = Parse({"-log", "C:\\logs\\run.log", "/PORT", "COM3:", "-INSTALL"});
  EXPECT_EQ(p.error, 0u);
  EXPECT_EQ(p.course, SilentCourse::Install);
  EXPECT_EQ(p.port, "COM3:");
  EXPECT_EQ(p.log, "C:\\logs\\run.log");

  p = Parse({"/delete", "/Log", "x.log"});
  EXPECT_EQ(p.error, 0u);
  EXPECT_EQ(p.course, SilentCourse::Delete);
  // The framework's own switches are left to it.
  EXPECT_EQ(Parse({"/Install", "/Embedding"}).error, 0u);
}

TEST(SilentSwitches, MalformedLinesAreInvalidParameters) {
  const std::vector<std::vector<const char*>> malformed = {
      {"/Install", "/Delete"},       {"/Install", "/Install"},          {"/Install", "/Port"},
      {"/Install", "/Log"},          {"/Install", "/Port", "/Log", "x"}, {"/Install", "/Log", "a", "/Log", "b"},
      {"/Install", "/Quiet"},        {"/Install", "file.txt"},          {"/Delete", "/Port", "COM1:"},
      {"/Port", "COM1:"},            {"/Log", "x.log"},                 {"/Port"},
  };
  for (const auto& args : malformed) {
    const Parsed p = Parse(args);
    std::string line;
    for (const char* arg : args) line += std::string(arg) + " ";
    EXPECT_TRUE(p.requested) << line;
    EXPECT_EQ(p.error, 87u) << line;
  }
}

TEST(SilentSwitches, ForeignSwitchAloneAndEachProgramsOwnSet) {
  // Nothing of the unattended courses: the dialog opens as it always has.
  for (const std::vector<const char*>& args :
       std::vector<std::vector<const char*>>{{}, {"/Quiet"}, {"file.txt"}, {"/Register"}, {"/Embedding"}})
    EXPECT_FALSE(Parse(args).requested);
  // The deployer has no /Delete and no /Port.
  EXPECT_FALSE(Parse({"/Delete"}, false).requested);
  EXPECT_EQ(Parse({"/Install", "/Port", "COM1:"}, false).error, 87u);
  EXPECT_EQ(Parse({"/Install", "/Log", "x.log"}, false).error, 0u);
}
