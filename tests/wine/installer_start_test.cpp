// The installer's courses of start-up, driven from outside.
#include <gtest/gtest.h>

#include "support.h"

namespace {

const char kCaption[] = "MarloCutterSetup32(V1.0)";
const char kAppIdKey[] = "AppID\\{D22CD2B4-102F-4962-A1F6-9C3C7094AD40}";
const char kExeKey[] = "AppID\\PLOTINST.EXE";

std::string Exe() { return WinPath(PLOTINST_EXE_UNIX); }

void Unregister() {
  DeleteTree(HKEY_CLASSES_ROOT, kAppIdKey);
  DeleteTree(HKEY_CLASSES_ROOT, kExeKey);
}

// Runs the installer with arguments; true when it ended by itself with
// this exit status, without any window.
bool RunsWithoutWindow(const std::string& args, long exitCode = 0) {
  return RunWithoutAnyWindow(Exe(), "\"" + Exe() + "\" " + args) == exitCode;
}

// Runs the installer; true when its dialog opened and, closed with neither
// Install nor Delete, the program ended as cancelled.
bool OpensDialog(const std::string& commandLine) {
  ChildProcess p;
  if (!p.Start(Exe(), commandLine)) return false;
  HWND dialog = WaitForDialog(p.Id(), kCaption);
  if (dialog == nullptr) return false;
  ::PostMessageA(dialog, WM_CLOSE, 0, 0);
  return p.WaitExit() && p.ExitCode() == ERROR_CANCELLED;
}

bool Registered() {
  std::string name, appId;
  return ReadValue(HKEY_CLASSES_ROOT, kAppIdKey, "", name) && name == std::string("PLOTINST", 9) &&
         ReadValue(HKEY_CLASSES_ROOT, kExeKey, "AppID", appId) &&
         appId == std::string("{D22CD2B4-102F-4962-A1F6-9C3C7094AD40}", 39);
}

}  // namespace

TEST(InstallerStart, FinalRegServerSwitchRegistersWithoutWindow) {
  for (const char* sw : {"/RegServer", "-regserver", "/REGSERVER"}) {
    Unregister();
    ASSERT_TRUE(RunsWithoutWindow(sw)) << sw;
    EXPECT_TRUE(Registered()) << sw;
  }
  // Twice registered is the same as once.
  ASSERT_TRUE(RunsWithoutWindow("/RegServer"));
  EXPECT_TRUE(Registered());
  Unregister();

  // A registration the registry refuses ends with the registry's error.
  ASSERT_TRUE(RunsWithoutWindow("/RegServer"));
  const std::string held = std::string("Software\\Classes\\") + kAppIdKey;
  ASSERT_TRUE(DenyKeyRights(held, KEY_SET_VALUE));
  const bool refused = RunsWithoutWindow("/RegServer", ERROR_ACCESS_DENIED);
  DenyKeyRights(held, 0);
  EXPECT_TRUE(refused);
  Unregister();
}

TEST(InstallerStart, FinalUnregServerSwitchUnregistersAndKeepsAppIdRoot) {
  for (const char* sw : {"/UnregServer", "-UNREGSERVER", "/unregserver"}) {
    ASSERT_TRUE(RunsWithoutWindow("/RegServer"));
    ASSERT_TRUE(Registered());
    ASSERT_TRUE(RunsWithoutWindow(sw)) << sw;
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kAppIdKey)) << sw;
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kExeKey)) << sw;
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "AppID")) << sw;
  }
  // Unregistering what is not registered ends quietly.
  EXPECT_TRUE(RunsWithoutWindow("/UnregServer"));
}

TEST(InstallerStart, SwitchNotAtTheEndOrForeignSwitchOpensTheDialog) {
  Unregister();
  const std::string exe = "\"" + Exe() + "\" ";
  for (const char* args : {"/RegServer ", "/RegServer /Quiet", "/RegServer file.txt", "/Register", "/Unregister",
                           "/Regserver2", "/Quiet", "/Delet", "/??", ""}) {
    EXPECT_TRUE(OpensDialog(exe + args)) << args;
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kExeKey)) << args;
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kAppIdKey)) << args;
  }
}

// The usage, where administrators look first: a message box, OK, 0, nothing else.
TEST(InstallerStart, HelpSwitchShowsTheCommandLinesAndExitCodes) {
  Unregister();
  for (const char* sw : {"/?", "-HELP", "/Install /?"}) {
    ChildProcess p;
    ASSERT_TRUE(p.Start(Exe(), "\"" + Exe() + "\" " + sw));
    const std::string text = ReadMessageBoxAndPressOk(p.Id(), "PLOTINST", "Exit codes");
    for (const char* line : {"/Install [/Port NAME] [/Log FILE]", "/Delete [/Log FILE]", "3010", "87"})
      EXPECT_NE(text.find(line), std::string::npos) << sw << ": " << text;
    ASSERT_TRUE(p.WaitExit()) << sw;
    EXPECT_EQ(p.ExitCode(), 0u) << sw;
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kExeKey)) << sw;
  }
}

TEST(InstallerStart, SlashInsideTheProgramPathDoesNotHideTheSwitch) {
  Unregister();
  std::string path = Exe();
  for (char& c : path)
    if (c == '\\') c = '/';
  ChildProcess p;
  ASSERT_TRUE(p.Start(Exe(), "\"" + path + "\" /RegServer"));
  ASSERT_TRUE(p.WaitExit());
  EXPECT_TRUE(Registered());
  Unregister();
}

TEST(InstallerStart, EmbeddingAndAutomationStayWithoutWindowUntilQuit) {
  for (const char* sw : {"/Embedding", "/Automation", "-embedding"}) {
    ChildProcess p;
    ASSERT_TRUE(p.Start(Exe(), "\"" + Exe() + "\" " + sw));
    // Idle in its message loop: started, and waiting for input.
    ASSERT_EQ(::WaitForInputIdle(p.Handle(), 15000), 0u) << sw;
    EXPECT_TRUE(p.Running()) << sw;
    for (HWND hwnd : TopWindows(p.Id())) EXPECT_FALSE(::IsWindowVisible(hwnd)) << sw;
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kExeKey)) << sw;
    ASSERT_TRUE(::PostThreadMessageA(p.ThreadId(), WM_QUIT, 0, 0));
    EXPECT_TRUE(p.WaitExit()) << sw;
  }
}

// The programs are built without exceptions: a failed allocation, a broken
// library check, a pure or deleted virtual call or std::terminate ends the
// process at once with a code a setup package can read, and without the
// runtime's message box that no one would answer. A run's open log gets one
// line saying why.
TEST(InstallerStart, RuntimeFailuresEndTheProgramWithACodeAndNoWindow) {
  const std::string exe = WinPath(RUNTIME_FAILURE_EXE_UNIX);
  const std::string root = WinPath(TEST_WORK_DIR_UNIX);
  ::CreateDirectoryA(root.c_str(), nullptr);
  const std::string log = root + "\\" + UniqueName("failure") + ".log";
  const struct {
    const char* failure;
    long exitCode;
    const char* why;  // in the log's line; nullptr: no line, the process goes on
  } cases[] = {
      {"new", ERROR_NOT_ENOUGH_MEMORY, "out of memory"},
      {"length", ERROR_NOT_ENOUGH_MEMORY, "out of memory"},
      {"call", ERROR_INTERNAL_ERROR, "a check of the C++ library failed"},
      {"pure", ERROR_INTERNAL_ERROR, "a pure virtual function called"},
      {"deleted", ERROR_INTERNAL_ERROR, "a deleted virtual function called"},
      {"terminate", ERROR_INTERNAL_ERROR, "std::terminate called"},
      {"nothrow", 0, nullptr},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RunWithoutAnyWindow(exe, "\"" + exe + "\" " + c.failure), c.exitCode) << c.failure;
    ::DeleteFileA(log.c_str());
    EXPECT_EQ(RunWithoutAnyWindow(exe, "\"" + exe + "\" " + c.failure + " " + log), c.exitCode) << c.failure;
    const std::string line = ReadFileBytes(log);
    if (c.why == nullptr) {
      EXPECT_EQ(line, "") << c.failure;
      continue;
    }
    const std::string said = std::string(" the program ends, ") + c.why + ": " + std::to_string(c.exitCode) + "\r\n";
    EXPECT_EQ(line.size(), 19 + said.size()) << line;  // one line, after its time
    EXPECT_NE(line.find(said), std::string::npos) << line;
  }
  ::DeleteFileA(log.c_str());
}
