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
  // For the elevation moniker: enabled, and named through the program's string table.
  std::string enabled, name;
  DWORD type = 0;
  const std::string elevation = std::string(kClsidKey) + "\\Elevation";
  if (!ReadValue(HKEY_CLASSES_ROOT, elevation, "Enabled", enabled, &type) || type != REG_DWORD ||
      enabled != std::string("\1\0\0\0", 4))
    return ::testing::AssertionFailure() << "Elevation\\Enabled";
  if (!ReadValue(HKEY_CLASSES_ROOT, elevation, "LocalizedString", name) || name.c_str() != "@" + box.Exe() + ",-101")
    return ::testing::AssertionFailure() << "Elevation\\LocalizedString: " << name;
  // What the consent prompt would show: the string the entry points to.
  char shown[128] = "";
  if (HMODULE program = ::LoadLibraryExA(box.Exe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
    ::LoadStringA(program, 101, shown, sizeof shown);
    ::FreeLibrary(program);
  }
  if (std::string(shown).find("AddonDeploy") == std::string::npos)
    return ::testing::AssertionFailure() << "the name shown for elevation: " << shown;
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
  auto run = [&](const char* args) { return RunWithoutAnyWindow(box.Exe(), box.CommandLine(args)); };
  for (int i = 0; i < 4; ++i) {
    Unregister();
    ASSERT_EQ(run(registering[i]), 0) << registering[i];
    EXPECT_TRUE(Registered(box)) << registering[i];
    ASSERT_EQ(run(unregistering[i]), 0) << unregistering[i];
    EXPECT_TRUE(NothingRegistered()) << unregistering[i];
  }
  // Removing what is not there ends just as quietly; the courses of the
  // registration switches come before the unattended one.
  EXPECT_EQ(run("/Unregister"), 0);
  EXPECT_EQ(run("/Install /Register"), 0);
  EXPECT_TRUE(Registered(box));

  // A registration the registry refuses ends with the registry's error.
  const std::string held = std::string("Software\\Classes\\") + kProgId;
  ASSERT_TRUE(DenyKeyRights(held, KEY_SET_VALUE));
  const long refused = run("/Register");
  DenyKeyRights(held, 0);
  EXPECT_EQ(refused, ERROR_ACCESS_DENIED);
  Unregister();
}

// The local server's entry names this copy exactly, also in a folder whose
// name the system code page cannot spell, and so does the type library's.
// The usage changes nothing, not even the registration every ordinary start writes.
TEST(DeployerRegistration, HelpSwitchShowsTheCommandLinesAndRegistersNothing) {
  Sandbox box("help");
  Unregister();
  for (const char* sw : {"/?", "-help"}) {
    ChildProcess p;
    ASSERT_TRUE(p.Start(box.Exe(), box.CommandLine(sw)));
    const std::string text = ReadMessageBoxAndPressOk(p.Id(), "AddonDeploy", "Exit codes");
    for (const char* line : {"/Install [/Log FILE]", "1605", "87"})
      EXPECT_NE(text.find(line), std::string::npos) << sw << ": " << text;
    ASSERT_TRUE(p.WaitExit()) << sw;
    EXPECT_EQ(p.ExitCode(), 0u) << sw;
    EXPECT_TRUE(NothingRegistered()) << sw;
  }
}

TEST(DeployerRegistration, PathOutsideTheCodePageIsRegisteredExactly) {
  Sandbox box("wide");
  const std::wstring folder = std::wstring(box.Dir().begin(), box.Dir().end()) + L"\\\u0416\u05d0\u4e2d";
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring exe = folder + L"\\AddonDeploy.exe";
  const std::string program = box.Exe();
  ASSERT_TRUE(::CopyFileW(std::wstring(program.begin(), program.end()).c_str(), exe.c_str(), FALSE));
  Unregister();
  std::wstring commandLine = L"\"" + exe + L"\" /Register";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(
      ::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  const bool ended = ::WaitForSingleObject(pi.hProcess, 15000) == WAIT_OBJECT_0;
  DWORD code = STILL_ACTIVE;
  ::GetExitCodeProcess(pi.hProcess, &code);
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  ASSERT_TRUE(ended);
  EXPECT_EQ(code, 0u);
  auto wideValue = [](const std::string& key) {
    wchar_t data[MAX_PATH * 2] = L"";
    DWORD size = sizeof data - sizeof(wchar_t);
    const std::wstring path(key.begin(), key.end());
    ::RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, data, &size);
    return std::wstring(data);
  };
  EXPECT_TRUE(wideValue(std::string(kClsidKey) + "\\LocalServer32") == exe);
  EXPECT_TRUE(wideValue(std::string(kTypeLibKey) + "\\0\\win32") == exe);
  Unregister();
  ::DeleteFileW(exe.c_str());
  ::RemoveDirectoryW(folder.c_str());
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
