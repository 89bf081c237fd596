// The deployer run beside planted DLLs and in a folder holding more of them:
// it takes none of them, neither registering nor showing its dialog.
#include <gtest/gtest.h>

#include "deployer_fixture.h"
#include "planted_dlls.h"

namespace deployer_test {
namespace {

TEST(DeployerDllSearch, RegistrationAndTheDialogLoadNoPlantedDll) {
  PlantedDllsPreferred preferred({"AddonDeploy.exe"});
  Sandbox box("planted");
  const std::string cwd = box.Dir() + "\\cwd";
  PlantDlls(box.Dir());
  PlantDlls(cwd);
  box.AddHost(17, false);

  ChildProcess registration;
  ASSERT_TRUE(registration.Start(box.Exe(), box.CommandLine("/RegServer"), cwd));
  ASSERT_TRUE(EndsWithoutShowingWindow(registration));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kClsidKey)) << "registration did not run";

  ChildProcess p;
  ASSERT_TRUE(p.Start(box.Exe(), box.CommandLine(""), cwd));
  HWND dialog = WaitForDialog(p.Id(), kCaption);
  ASSERT_NE(dialog, nullptr) << "the deployer did not start";
  // The scan has found the host once its box is ticked.
  EXPECT_TRUE(WaitUntil([&] { return Checked(dialog, 1011); }));
  PressEsc(dialog);
  EXPECT_TRUE(p.WaitExit());

  EXPECT_EQ(LoadedPlants(box.Dir()), std::vector<std::string>{});
  EXPECT_EQ(LoadedPlants(cwd), std::vector<std::string>{});
  UnregisterAllHosts();
}

}  // namespace
}  // namespace deployer_test
