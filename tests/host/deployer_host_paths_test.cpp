#include <gtest/gtest.h>

#include <string>

#include "host_paths.h"

namespace {

std::string Draw(const char* configDir) {
  char out[kBuiltPathSize] = "untouched";
  return BuildDrawFolder(configDir, out, sizeof out) ? out : "<refused>";
}

}  // namespace

TEST(DeployerHostPaths, DrawFolderIsBesideTheConfigFolder) {
  EXPECT_EQ(Draw("D:\\Host\\Config"), "D:\\Host\\Draw\\");
  // A trailing backslash is the one cut, so Draw lies inside the named folder.
  EXPECT_EQ(Draw("D:\\Host\\Config\\"), "D:\\Host\\Config\\Draw\\");
  EXPECT_EQ(Draw("C:\\Config"), "C:\\Draw\\");
  EXPECT_EQ(Draw("\\"), "\\Draw\\");
  EXPECT_EQ(Draw("\\\\server\\share\\Host\\Config"), "\\\\server\\share\\Host\\Draw\\");
}

TEST(DeployerHostPaths, TextWithoutBackslashOrTooLongIsRefused) {
  EXPECT_EQ(Draw(""), "<refused>");
  EXPECT_EQ(Draw("Config"), "<refused>");
  EXPECT_EQ(Draw("D:/Host/Config"), "<refused>");
  EXPECT_EQ(Draw(nullptr), "<refused>");

  // 259 characters is the longest value the registry read lets through.
  std::string longest = "C:\\" + std::string(kHostPathInputSize - 4, 'x');
  EXPECT_EQ(Draw(longest.c_str()), "C:\\Draw\\");
  std::string unterminated = longest + "\\y";
  EXPECT_EQ(Draw(unterminated.c_str()), "<refused>");

  // An output too small is refused, not cut short.
  char small[8] = "";
  EXPECT_FALSE(BuildDrawFolder("D:\\Host\\Config", small, sizeof small));
  char exact[sizeof "D:\\Host\\Draw\\"];
  EXPECT_TRUE(BuildDrawFolder("D:\\Host\\Config", exact, sizeof exact));
  EXPECT_STREQ(exact, "D:\\Host\\Draw\\");
}

TEST(DeployerHostPaths, EachEditionHasItsSourcesAndFolder) {
  PluginPaths p;
  ASSERT_TRUE(BuildPluginPaths("D:\\Host\\Config", "C:\\Apps\\Deploy\\AddonDeploy.exe", true, p));
  EXPECT_STREQ(p.pluginFolder, "D:\\Host\\Draw\\Plugins64");
  EXPECT_STREQ(p.moduleSource, "C:\\Apps\\Deploy\\Marlotrim64.cpg");
  EXPECT_STREQ(p.moduleDestination, "D:\\Host\\Draw\\Plugins64\\Marlotrim.cpg");
  EXPECT_STREQ(p.bitmapSource, "C:\\Apps\\Deploy\\Marlotrim.bmp");
  EXPECT_STREQ(p.bitmapDestination, "D:\\Host\\Draw\\Plugins64\\Marlotrim.bmp");
  // Written in full beside each old file, under a name the host never loads.
  EXPECT_STREQ(p.moduleNew, "D:\\Host\\Draw\\Plugins64\\Marlotrim.cpg.new");
  EXPECT_STREQ(p.bitmapNew, "D:\\Host\\Draw\\Plugins64\\Marlotrim.bmp.new");

  ASSERT_TRUE(BuildPluginPaths("D:\\Host\\Config\\", "C:\\AddonDeploy.exe", false, p));
  EXPECT_STREQ(p.pluginFolder, "D:\\Host\\Config\\Draw\\Plugins");
  EXPECT_STREQ(p.moduleSource, "C:\\Marlotrim32.cpg");
  EXPECT_STREQ(p.moduleDestination, "D:\\Host\\Config\\Draw\\Plugins\\Marlotrim.cpg");
  EXPECT_STREQ(p.bitmapSource, "C:\\Marlotrim.bmp");
  EXPECT_STREQ(p.bitmapDestination, "D:\\Host\\Config\\Draw\\Plugins\\Marlotrim.bmp");
}

TEST(DeployerHostPaths, BadInputsGiveNothingToDeploy) {
  PluginPaths p;
  EXPECT_FALSE(BuildPluginPaths("Config", "C:\\Apps\\AddonDeploy.exe", false, p));
  EXPECT_FALSE(BuildPluginPaths("D:\\Host\\Config", "AddonDeploy.exe", false, p));
  EXPECT_FALSE(BuildPluginPaths("D:\\Host\\Config", nullptr, true, p));
  const std::string overlong = "C:\\" + std::string(kHostPathInputSize, 'p') + "\\AddonDeploy.exe";
  EXPECT_FALSE(BuildPluginPaths("D:\\Host\\Config", overlong.c_str(), true, p));

  // The longest inputs still build whole paths.
  const std::string config = "D:\\" + std::string(kHostPathInputSize - 4, 'c');
  const std::string program = "C:\\" + std::string(kHostPathInputSize - 10, 'p') + "\\A.exe";
  ASSERT_EQ(program.size(), kHostPathInputSize - 1);
  ASSERT_TRUE(BuildPluginPaths(config.c_str(), program.c_str(), true, p));
  EXPECT_EQ(std::string(p.moduleDestination), "D:\\Draw\\Plugins64\\Marlotrim.cpg");
  EXPECT_EQ(std::string(p.moduleSource), program.substr(0, program.size() - 6) + "\\Marlotrim64.cpg");
}
