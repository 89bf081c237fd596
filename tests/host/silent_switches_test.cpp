#include "silent_switches.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Each line as the framework's parser hands it over (a leading '-' or '/'
// taken off and reported as a flag), to the installer's set of switches or
// the deployer's: whether it asks for an unattended course, and its error.
TEST(SilentSwitches, CoursesValuesAndMalformedLines) {
  struct Case {
    std::vector<const char*> args;
    bool installer, requested;
    unsigned long error;
  };
  const Case cases[] = {
      {{"-log", "C:\\run.log", "/PORT", "COM3:", "-INSTALL"}, true, true, 0},
      {{"/delete", "/Log", "x.log", "/Embedding"}, true, true, 0},
      {{"/Install", "/Delete"}, true, true, 87},
      {{"/Install", "/Port"}, true, true, 87},
      {{"/Install", "/Port", "/Log", "x"}, true, true, 87},
      {{"/Install", "/Log", "a", "/Log", "b"}, true, true, 87},
      {{"/Install", "/Quiet"}, true, true, 87},
      {{"/Install", "file.txt"}, true, true, 87},
      {{"/Delete", "/Port", "COM1:"}, true, true, 87},
      {{"/Log", "x.log"}, true, true, 87},
      // Nothing of the unattended courses: the dialog opens as it always has.
      {{"/Quiet"}, true, false, 87},
      {{"/Register", "file.txt"}, true, false, 87},
      // The deployer has no /Delete and no /Port.
      {{"/Delete"}, false, false, 87},
      {{"/Install", "/Port", "COM1:"}, false, true, 87},
      {{"/Install", "/Log", "x.log"}, false, true, 0},
  };
  for (const Case& c : cases) {
    SilentSwitches s(c.installer, c.installer);
    std::string line;
    for (const char* arg : c.args) {
      const bool flag = arg[0] == '-' || arg[0] == '/';
      s.Take(flag ? arg + 1 : arg, flag);
      line += std::string(arg) + " ";
    }
    s.Finish();
    EXPECT_EQ(s.Requested(), c.requested) << line;
    if (c.requested) {
      EXPECT_EQ(s.Error(), c.error) << line;
    }
  }
  SilentSwitches s(true, true);
  for (auto [arg, flag] : {std::pair{"Install", true}, {"Port", true}, {"COM3:", false}, {"Log", true}, {"a", false}})
    s.Take(arg, flag);
  s.Finish();
  EXPECT_EQ(s.Course(), SilentCourse::Install);
  EXPECT_STREQ(s.Port(), "COM3:");
  EXPECT_STREQ(s.Log(), "a");
}
