// The deployer's COM registration: written on every ordinary start, written
// or removed by the registration switches without a window, and left alone
// when COM starts the program.
#include <gtest/gtest.h>

#include "deployer_fixture.h"

using namespace deployer_test;

namespace {

// The ProgID, the class as a local server of this copy, and type library 1.0 for it.
::testing::AssertionResult Registered(const Sandbox& box) {
  std::string clsid, server, typeLibPath, progId;
  if (!ReadValue(HKEY_CLASSES_ROOT, std::string(kProgId) + "\\CLSID", "", clsid) ||
      clsid != std::string("{59F70273-5B40-43CE-B735-F81FA1163766}", 39))
    return ::testing::AssertionFailure() << "ProgID's CLSID: " << clsid;
  if (!ReadValue(HKEY_CLASSES_ROOT, std::string(kClsidKey) + "\\ProgID", "", progId) ||
      progId != std::string(kProgId, sizeof kProgId))
    return ::testing::AssertionFailure() << "CLSID's ProgID: " << progId;
  if (!ReadValue(HKEY_CLASSES_ROOT, std::string(kClsidKey) + "\\LocalServer32", "", server) ||
      server.c_str() != box.Exe())
    return ::testing::AssertionFailure() << "local server: " << server;
  if (!ReadValue(HKEY_CLASSES_ROOT, std::string(kTypeLibKey) + "\\0\\win32", "", typeLibPath) ||
      typeLibPath.c_str() != box.Exe())
    return ::testing::AssertionFailure() << "type library: " << typeLibPath;
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult NothingRegistered() {
  for (const char* key : {kProgId, kClsidKey, kTypeLibKey})
    if (KeyExists(HKEY_CLASSES_ROOT, key)) return ::testing::AssertionFailure() << key << " remains";
  return ::testing::AssertionSuccess();
}

TEST(DeployerRegistration, OrdinaryStartRegistersEvenWhenOnlyCancelled) {
  Sandbox box("ordinary");
  Unregister();
  ChildProcess p;
  ASSERT_TRUE(p.Start(box.Exe(), box.CommandLine("")));
  HWND dialog = WaitForDialog(p.Id(), kCaption);
  ASSERT_NE(dialog, nullptr);
  PostClick(dialog, 1009);
  ASSERT_TRUE(p.WaitExit());
  EXPECT_TRUE(Registered(box));
  Unregister();
}

TEST(DeployerRegistration, SwitchesRegisterAndUnregisterInAnyCaseWithoutWindow) {
  Sandbox box("switches");
  const char* registering[] = {"/Register", "-regserver", "/REGSERVER", "-REGISTER"};
  const char* unregistering[] = {"/Unregister", "-unregserver", "/UNREGSERVER", "-UnRegister"};
  for (int i = 0; i < 4; ++i) {
    Unregister();
    ASSERT_TRUE(RunsWithoutWindow(box, registering[i])) << registering[i];
    EXPECT_TRUE(Registered(box)) << registering[i];
    ASSERT_TRUE(RunsWithoutWindow(box, unregistering[i])) << unregistering[i];
    EXPECT_TRUE(NothingRegistered()) << unregistering[i];
  }
  // Removing what is not there ends just as quietly.
  EXPECT_TRUE(RunsWithoutWindow(box, "/Unregister"));
}

TEST(DeployerRegistration, AutomationSwitchesShowTheDialogAndWriteNothing) {
  Sandbox box("embedded");
  // An automation switch wins over a registration switch.
  for (const char* args : {"/Embedding", "-automation", "/Register /Embedding"}) {
    Unregister();
    ChildProcess p;
    ASSERT_TRUE(p.Start(box.Exe(), box.CommandLine(args)));
    HWND dialog = WaitForDialog(p.Id(), kCaption);
    ASSERT_NE(dialog, nullptr) << args;
    EXPECT_TRUE(NothingRegistered()) << args;
    ::PostMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(p.WaitExit()) << args;
    EXPECT_TRUE(NothingRegistered()) << args;
  }
}

}  // namespace
