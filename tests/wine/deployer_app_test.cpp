// The deployer's dialog, the real program driven from outside: which host
// editions it offers, the Install rule, deployment and its failures, and
// the ways the dialog ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "deployer_fixture.h"
#include "handles.h"
#include "planted_dlls.h"
#include "snapshot.h"

using namespace deployer_test;

namespace {

class DeployerApp : public ::testing::Test {
 protected:
  void SetUp() override { UnregisterAllHosts(); }
  void TearDown() override { UnregisterAllHosts(); }

  // Starts the program; the dialog's window, or null.
  HWND Open(ChildProcess& p, const Sandbox& box) {
    if (!p.Start(box.Exe(), box.CommandLine(""))) return nullptr;
    return WaitForDialog(p.Id(), kCaption);
  }

  // Waits until the scan has offered exactly the rows in `offered` that this
  // Windows can have: enabled and ticked, every other row disabled and clear.
  static ::testing::AssertionResult Offers(HWND dialog, std::initializer_list<int> offered) {
    auto matches = [&] {
      for (const Row& row : kRows) {
        const bool want = std::find(offered.begin(), offered.end(), row.id) != offered.end() && EditionExists(row.is64);
        if (Enabled(dialog, row.id) != want || Checked(dialog, row.id) != want) return false;
      }
      return true;
    };
    if (WaitUntil(matches)) return ::testing::AssertionSuccess();
    std::string state;
    for (const Row& row : kRows)
      state += std::to_string(row.id) + (Enabled(dialog, row.id) ? "E" : "-") + (Checked(dialog, row.id) ? "X " : "_ ");
    return ::testing::AssertionFailure() << "boxes: " << state;
  }
};

TEST_F(DeployerApp, OffersExactlyTheRegisteredEditionsAndInstallFollowsTheTicks) {
  Sandbox box("scan");
  box.AddHost(9, false);
  box.AddHost(15, false);
  box.AddHost(16, true);  // X6 64-bit only: its 32-bit row stays off
  box.AddHost(17, false);
  box.AddHost(17, true);
  ChildProcess p;
  HWND dialog = Open(p, box);
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(Offers(dialog, {1001, 1007, 1010, 1011, 1012}));
  EXPECT_TRUE(Enabled(dialog, IDOK));

  // Clearing the enabled boxes one by one: Install goes off with the last.
  for (const Row& row : kRows) {
    const int id = row.id;
    if (!Checked(dialog, id)) continue;
    EXPECT_TRUE(Enabled(dialog, IDOK)) << id;
    ClickBox(dialog, id);
    EXPECT_FALSE(Checked(dialog, id)) << id;
  }
  EXPECT_FALSE(Enabled(dialog, IDOK));
  ClickBox(dialog, 1011);
  EXPECT_TRUE(Checked(dialog, 1011));
  EXPECT_TRUE(Enabled(dialog, IDOK));
  // A disabled box stays out of reach.
  EXPECT_FALSE(Enabled(dialog, 1008));

  PostClick(dialog, 1009);
  EXPECT_TRUE(p.WaitExit());
}

TEST_F(DeployerApp, InstallDeploysEveryTickedEditionAndClosesWithoutMessage) {
  Sandbox box("deploy");
  const std::string x7 = box.AddHost(17, false);
  const std::string x7x64 = box.AddHost(17, true);
  const std::string cd10 = box.AddHost(10, false);
  ChildProcess p;
  HWND dialog = Open(p, box);
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(Offers(dialog, {1002, 1011, 1012}));
  ClickBox(dialog, 1002);  // untick: this edition is skipped

  PostClick(dialog, IDOK);
  bool sawMessage = false;
  ASSERT_TRUE(WaitUntil(
      [&] {
        if (WaitForMessageBox(p.Id(), kCaption, nullptr, 0) != nullptr) sawMessage = true;
        return !p.Running();
      },
      30000));
  EXPECT_FALSE(sawMessage);
  EXPECT_EQ(p.ExitCode(), 0u);
  EXPECT_EQ(ReadFileBytes(x7 + "\\Marlotrim.cpg"), kModule32);
  EXPECT_EQ(ReadFileBytes(x7 + "\\Marlotrim.bmp"), kBitmap);
  EXPECT_EQ(ReadFileBytes(x7x64 + "\\Marlotrim.cpg"), EditionExists(true) ? kModule64 : "");
  EXPECT_EQ(ReadFileBytes(x7x64 + "\\Marlotrim.bmp"), EditionExists(true) ? kBitmap : "");
  EXPECT_FALSE(FileExists(cd10));
}

TEST_F(DeployerApp, EachFailedEditionShowsFailInTableOrderThenTheDialogCloses) {
  Sandbox box("fail");
  box.AddBrokenHost(11, false);
  const std::string x4 = box.AddHost(14, false);
  // X6's 64-bit edition, where Windows has one.
  const bool x6x64 = EditionExists(true);
  box.AddBrokenHost(16, x6x64);
  ChildProcess p;
  HWND dialog = Open(p, box);
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(Offers(dialog, {1003, 1006, x6x64 ? 1010 : 1008}));

  PostClick(dialog, IDOK);
  // The first failure (row 3) comes before row 6 has been deployed.
  HWND first = WaitForMessageBox(p.Id(), kCaption);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(Headline(MessageBoxText(first)), "Fail");
  EXPECT_TRUE(HasReason(MessageBoxText(first)));
  EXPECT_FALSE(FileExists(x4 + "\\Marlotrim.cpg"));
  EXPECT_TRUE(::IsWindow(dialog));
  PressOk(first);

  // The second (row 9) after it.
  HWND second = WaitForMessageBox(p.Id(), kCaption, first);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(Headline(MessageBoxText(second)), "Fail");
  EXPECT_TRUE(HasReason(MessageBoxText(second)));
  EXPECT_EQ(ReadFileBytes(x4 + "\\Marlotrim.cpg"), kModule32);
  PressOk(second);
  EXPECT_TRUE(p.WaitExit());
  // The first failure's error: no Draw folder to make the plug-in folder in.
  EXPECT_EQ(p.ExitCode(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(DeployerApp, WithNoEditionRegisteredNothingIsOfferedAndEveryWayOutEndsTheProgram) {
  Sandbox box("none");
  enum Way { kCancel, kEsc, kClose };
  for (Way way : {kCancel, kEsc, kClose}) {
    ChildProcess p;
    HWND dialog = Open(p, box);
    ASSERT_NE(dialog, nullptr) << way;
    // A tick of our own makes sure the scan has run before we look.
    Send(dialog, WM_TIMER, 0, 0);
    for (const Row& row : kRows) {
      EXPECT_FALSE(Enabled(dialog, row.id)) << row.id;
      EXPECT_FALSE(Checked(dialog, row.id)) << row.id;
    }
    EXPECT_FALSE(Enabled(dialog, IDOK));
    EXPECT_TRUE(Enabled(dialog, 1009));

    if (way == kCancel) PostClick(dialog, 1009);
    if (way == kEsc) PressEsc(dialog);
    if (way == kClose) ::PostMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(p.WaitExit()) << way;
    EXPECT_EQ(p.ExitCode(), static_cast<DWORD>(ERROR_CANCELLED)) << way;
  }
}

// The unattended deployment: registration, the scan and every registered
// edition in table order, with no window; the first failure's error while
// the others are still deployed; a module the host holds waited for, and
// the wait in the log as it begins and as it ends.
TEST_F(DeployerApp, SilentInstallCourse) {
  Sandbox box("silent");
  const std::string log = box.Dir() + "\\deploy.log";
  auto run = [&](const std::string& args) { return RunWithoutAnyWindow(box.Exe(), box.CommandLine(args)); };
  Unregister();
  EXPECT_EQ(run("/Install /Log \"" + log + "\""), ERROR_UNKNOWN_PRODUCT);
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kClsidKey));
  EXPECT_EQ(run("/Install /Port COM1:"), ERROR_INVALID_PARAMETER);

  // A registration the program may not open is there, not missing: its error.
  box.AddHost(12, false);
  ASSERT_TRUE(DenyKeyRights(HostKey(12, false), KEY_SET_VALUE, KEY_WOW64_64KEY));
  EXPECT_EQ(run("/Install /Log \"" + log + "\""), ERROR_ACCESS_DENIED);
  EXPECT_NE(ReadFileBytes(log).find("CorelDraw 12: read the host's registration: 5 "), std::string::npos);
  ASSERT_TRUE(DenyKeyRights(HostKey(12, false), 0, KEY_WOW64_64KEY));
  DeleteTree(HKEY_LOCAL_MACHINE, HostKey(12, false), KEY_WOW64_64KEY);

  const std::string cd9 = box.AddHost(9, false);
  box.AddBrokenHost(13, false);
  const std::string x7x64 = box.AddHost(17, true);
  EXPECT_EQ(run("-INSTALL /log \"" + log + "\""), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(ReadFileBytes(cd9 + "\\Marlotrim.cpg"), kModule32);
  EXPECT_EQ(ReadFileBytes(x7x64 + "\\Marlotrim.cpg"), EditionExists(true) ? kModule64 : "");
  DeleteTree(HKEY_LOCAL_MACHINE, HostKey(13, false), KEY_WOW64_64KEY);

  // The host holds the 32-bit module: mapped as an image by another process.
  const std::string module = cd9 + "\\Marlotrim.cpg";
  ImageHolder host(module);
  ASSERT_TRUE(host.Held());
  ASSERT_FALSE(::DeleteFileA(module.c_str()));
  ASSERT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  const size_t before = ReadFileBytes(log).size();
  ChildProcess p;
  ASSERT_TRUE(p.Start(box.Exe(), box.CommandLine("/Install /Log \"" + log + "\"")));
  auto logged = [&](const char* text) { return ReadFileBytes(log).find(text, before) != std::string::npos; };
  EXPECT_TRUE(WaitUntil([&] { return logged("CorelDraw 9: waiting for the host to release its plug-in module"); }));
  EXPECT_TRUE(p.Running());
  EXPECT_FALSE(logged("wait for the plug-in module has ended"));
  ASSERT_TRUE(host.Release());
  ASSERT_TRUE(p.WaitExit(30000));
  EXPECT_EQ(p.ExitCode(), 0u);
  EXPECT_TRUE(logged("CorelDraw 9: the host let go of its plug-in module, which was replaced: 0 "));
  EXPECT_TRUE(logged("CorelDraw 9: replace the plug-in's bitmap: 0 "));
  EXPECT_EQ(logged("CorelDraw X7(64Bit): deploy the plug-in: 0 "), EditionExists(true));
  EXPECT_EQ(ReadFileBytes(module), kModule32);
  EXPECT_EQ(ReadFileBytes(x7x64 + "\\Marlotrim.bmp"), EditionExists(true) ? kBitmap : "");

  // A bitmap that cannot be replaced fails its edition with its own error.
  const std::string bitmap = cd9 + "\\Marlotrim.bmp";
  ASSERT_TRUE(::DeleteFileA(bitmap.c_str()) && ::CreateDirectoryA(bitmap.c_str(), nullptr));
  EXPECT_EQ(run("/Install /Log \"" + log + "\""), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(logged("CorelDraw 9: replace the plug-in's bitmap: 5 "));
  ::RemoveDirectoryA(bitmap.c_str());
  Unregister();
}

// The unattended removal: this package's own module and bitmap out of every
// registered edition, a file that differs left with a log line, a module
// the host holds left to the restart (3010, listed once), which deletes it;
// nothing registered is nothing to do. Never a window.
TEST_F(DeployerApp, SilentDeleteCourse) {
  Sandbox box("remove");
  const std::string log = box.Dir() + "\\remove.log";
  auto run = [&](const std::string& args) { return RunWithoutAnyWindow(box.Exe(), box.CommandLine(args)); };
  auto logged = [&](const std::string& line) { return ReadFileBytes(log).find(line) != std::string::npos; };
  const std::wstring pendingBefore = PendingOperations();
  EXPECT_EQ(run("/Delete /Log \"" + log + "\""), 0);
  EXPECT_TRUE(logged("no registered host edition, nothing to do: 0 "));
  for (const char* beside : {"/Install", "/Port COM1:", "/Log", "/Delete", "stray"})
    EXPECT_EQ(run(std::string("/Delete ") + beside), ERROR_INVALID_PARAMETER) << beside;

  const std::string cd9 = box.AddHost(9, false), x7 = box.AddHost(17, false), x7x64 = box.AddHost(17, true);
  ASSERT_EQ(run("/Install"), 0);
  // Another version's bitmap in X7, and a leftover of a run ended midway.
  ASSERT_TRUE(WriteFileBytes(x7 + "\\Marlotrim.bmp", "another version's bitmap"));
  ASSERT_TRUE(WriteFileBytes(cd9 + "\\Marlotrim.cpg.new", "part of a module"));
  EXPECT_EQ(run("/Delete /Log \"" + log + "\""), 0);
  for (const std::string& plugins : {cd9, x7, x7x64}) EXPECT_FALSE(FileExists(plugins + "\\Marlotrim.cpg")) << plugins;
  EXPECT_FALSE(FileExists(cd9 + "\\Marlotrim.bmp"));
  EXPECT_FALSE(FileExists(cd9 + "\\Marlotrim.cpg.new"));
  EXPECT_FALSE(FileExists(x7x64 + "\\Marlotrim.bmp"));
  EXPECT_EQ(ReadFileBytes(x7 + "\\Marlotrim.bmp"), "another version's bitmap");
  EXPECT_TRUE(logged("CorelDraw X7: " + x7 + "\\Marlotrim.bmp is not this package's, left in place: 0 "));
  EXPECT_TRUE(logged("CorelDraw 9: delete " + cd9 + "\\Marlotrim.cpg: 0 "));
  EXPECT_EQ(logged("CorelDraw X7(64Bit): remove the plug-in: 0 "), EditionExists(true));
  // Nothing of ours left: nothing changes.
  EXPECT_EQ(run("/Delete"), 0);
  EXPECT_EQ(ReadFileBytes(x7 + "\\Marlotrim.bmp"), "another version's bitmap");

  // The host holds CorelDraw 9's module, which is ours byte for byte.
  ASSERT_EQ(run("/Install"), 0);
  const std::string module = cd9 + "\\Marlotrim.cpg";
  ImageHolder host(module);
  ASSERT_TRUE(host.Held());
  // Its image is the package's module here, as it is in X7.
  const std::string image = ReadFileBytes(module);
  ASSERT_TRUE(WriteFileBytes(box.Dir() + "\\Marlotrim32.cpg", image));
  ASSERT_TRUE(WriteFileBytes(x7 + "\\Marlotrim.cpg", image));
  EXPECT_EQ(run("/Delete /Log \"" + log + "\""), ERROR_SUCCESS_REBOOT_REQUIRED);
  EXPECT_TRUE(PendingDeletion(module));
  EXPECT_TRUE(logged("CorelDraw 9: " + module + " held, to be deleted at the next restart: 3010 "));
  EXPECT_FALSE(FileExists(cd9 + "\\Marlotrim.bmp"));
  EXPECT_FALSE(FileExists(x7 + "\\Marlotrim.cpg"));
  const std::wstring listed = PendingOperations();
  EXPECT_EQ(run("/Delete"), 0);
  EXPECT_EQ(PendingOperations(), listed) << "listed twice";
  // Deployed before the restart, the new module would go with the old one.
  const FolderSnapshot before = FolderSnapshot::Take(cd9);
  EXPECT_EQ(run("/Install /Log \"" + log + "\""), 350);  // ERROR_FAIL_NOACTION_REBOOT
  EXPECT_TRUE(Unchanged(before, FolderSnapshot::Take(cd9)));
  EXPECT_TRUE(logged("CorelDraw 9: deploy the plug-in: 350 "));

  ASSERT_TRUE(host.Release());
  ASSERT_TRUE(RunRestartStep());
  EXPECT_FALSE(FileExists(module));
  RestorePendingOperations(pendingBefore);
}

// X4, X5 and X6 have their old module held as a running host holds it; X7
// has none. All are 32-bit editions, which every Windows can have.
TEST_F(DeployerApp, WhileAHostHoldsItsModuleTheDialogAnswersAndCancelGivesUpOnlyThatEdition) {
  Sandbox box("held");
  const std::string x4 = box.AddHost(14, false), x5 = box.AddHost(15, false);
  const std::string x6 = box.AddHost(16, false), x7 = box.AddHost(17, false);
  for (const std::string& plugins : {x4, x5, x6}) ASSERT_TRUE(::CreateDirectoryA(plugins.c_str(), nullptr));
  ImageHolder x4Host(x4 + "\\Marlotrim.cpg"), x5Host(x5 + "\\Marlotrim.cpg"), x6Host(x6 + "\\Marlotrim.cpg");
  ASSERT_TRUE(x4Host.Held() && x5Host.Held() && x6Host.Held());
  const std::string old = ReadFileBytes(x6 + "\\Marlotrim.cpg");
  ChildProcess p;
  HWND dialog = Open(p, box);
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(Offers(dialog, {1006, 1007, 1008, 1011}));
  HWND group = GroupBox(dialog);
  ASSERT_NE(group, nullptr);

  {
    // A Cancel clicked before any wait runs, still queued when the first
    // one begins (the program was busy), gives up nothing. The dialog's
    // thread is held while Install and that Cancel are posted, and let go
    // once the Cancel is older than any wait can be.
    UniqueKernelHandle ui(::OpenThread(THREAD_SUSPEND_RESUME, FALSE, p.ThreadId()));
    ASSERT_TRUE(ui);
    ASSERT_NE(::SuspendThread(ui.get()), static_cast<DWORD>(-1));
    PostClick(dialog, IDOK);
    PostClick(dialog, 1009);
    const ULONGLONG posted = ::GetTickCount64();
    WaitUntil([&] { return ::GetTickCount64() - posted >= 200; });
    ASSERT_NE(::ResumeThread(ui.get()), static_cast<DWORD>(-1));
  }
  // From the moment the dialog has taken the click, not from when it was
  // posted: the first look must not race the click.
  ASSERT_TRUE(WaitUntil([&] { return !Enabled(dialog, IDOK); }));
  const ULONGLONG start = ::GetTickCount64();
  bool named = false;
  // Five seconds of waiting at least, and until the edition to close is
  // named in the dialog: every message answered, nothing but Cancel to
  // press. A dialog the wait blocked would answer nothing for its whole 25
  // minutes; the answer's bound only tells that from a busy machine.
  EXPECT_TRUE(WaitUntil(
      [&] {
        DWORD_PTR result = 0;
        EXPECT_NE(::SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 15000, &result), 0);
        for (const Row& row : kRows) EXPECT_FALSE(Enabled(dialog, row.id)) << row.id;
        EXPECT_FALSE(Enabled(dialog, IDOK));
        EXPECT_TRUE(Enabled(dialog, 1009));
        named = named || WindowText(group) == Notice("CorelDraw X4");
        return named && ::GetTickCount64() - start >= 5000;
      },
      120000))
      << "the edition to close was never named";

  // Let go: replaced at one of the next attempts, and the notice goes. The
  // attempts' 500 ms rhythm is the removal's own test; a bound this close to
  // it here would only measure how busy the test machine is.
  ASSERT_TRUE(x4Host.Release());
  EXPECT_TRUE(WaitUntil([&] { return ReadFileBytes(x4 + "\\Marlotrim.cpg") == kModule32; }));
  EXPECT_TRUE(WaitUntil([&] { return WindowText(group).empty(); }));

  // Cancel gives up X5, a close request X6: one box each, in order.
  ASSERT_TRUE(WaitUntil([&] { return WindowText(group) == Notice("CorelDraw X5"); }));
  PostClick(dialog, 1009);
  HWND first = WaitForMessageBox(p.Id(), kCaption, dialog);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(Headline(MessageBoxText(first)), "Fail");
  EXPECT_TRUE(HasReason(MessageBoxText(first)));
  PressOk(first);
  ASSERT_TRUE(WaitUntil([&] { return WindowText(group) == Notice("CorelDraw X6"); }));
  ::PostMessageA(dialog, WM_CLOSE, 0, 0);
  HWND second = WaitForMessageBox(p.Id(), kCaption, dialog);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(Headline(MessageBoxText(second)), "Fail");
  EXPECT_TRUE(HasReason(MessageBoxText(second)));
  PressOk(second);

  // X7 still deployed, and no further box keeps the program.
  EXPECT_TRUE(p.WaitExit());
  EXPECT_EQ(ReadFileBytes(x7 + "\\Marlotrim.cpg"), kModule32);
  EXPECT_EQ(ReadFileBytes(x5 + "\\Marlotrim.cpg"), old);
  EXPECT_EQ(ReadFileBytes(x6 + "\\Marlotrim.cpg"), old);
}

// A host whose Draw folder lies on a file system too small for the new
// files: the edition fails with the disk's own error, and the plug-in folder
// holds the old module and bitmap, byte for byte, and nothing else.
TEST_F(DeployerApp, AFullDiskFailsTheEditionWithItsErrorAndChangesNothing) {
  const std::string disk = WinPath(SMALL_DISK_UNIX);
  ULARGE_INTEGER size{};
  if (!::GetDiskFreeSpaceExA((disk + "\\").c_str(), nullptr, &size, nullptr) || size.QuadPart > (1u << 20))
    GTEST_SKIP() << "no small file system could be mounted at " << disk;
  Sandbox box("fulldisk");
  const std::string host = disk + "\\" + UniqueName("host"), plugins = host + "\\Draw\\Plugins";
  for (const std::string& folder : {host, host + "\\Draw", plugins})
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr)) << folder;
  ASSERT_TRUE(WriteFileBytes(plugins + "\\Marlotrim.cpg", "old module"));
  ASSERT_TRUE(WriteFileBytes(plugins + "\\Marlotrim.bmp", "old bitmap"));
  ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, HostKey(14, false), "ConfigDir", host + "\\Config", KEY_WOW64_64KEY));
  // The module too big, or only the bitmap written after it.
  const std::string big(1 << 20, 'n');
  for (bool moduleTooBig : {true, false}) {
    ASSERT_TRUE(WriteFileBytes(box.Dir() + "\\Marlotrim32.cpg", moduleTooBig ? big : kModule32));
    ASSERT_TRUE(WriteFileBytes(box.Dir() + "\\Marlotrim.bmp", moduleTooBig ? kBitmap : big));
    const FolderSnapshot before = FolderSnapshot::Take(host);
    EXPECT_EQ(RunWithoutAnyWindow(box.Exe(), box.CommandLine("/Install")), ERROR_DISK_FULL) << moduleTooBig;
    EXPECT_TRUE(Unchanged(before, FolderSnapshot::Take(host))) << moduleTooBig;
  }
  for (const char* name : {"\\Marlotrim.cpg", "\\Marlotrim.bmp"}) ::DeleteFileA((plugins + name).c_str());
  for (const std::string& folder : {plugins, host + "\\Draw", host}) ::RemoveDirectoryA(folder.c_str());
}

// The unattended course ended at many moments of a deployment of a large
// module: every time, the host's folder holds the whole old module or the
// whole new one, never none and never part of one. What a run ended midway
// leaves beside it is cleared by the next.
TEST_F(DeployerApp, EndedAtAnyMomentTheHostKeepsAWholeModule) {
  Sandbox box("ended");
  const std::string plugins = box.AddHost(14, false);
  ASSERT_TRUE(::CreateDirectoryA(plugins.c_str(), nullptr));
  const std::string module = plugins + "\\Marlotrim.cpg", partial = module + ".new";
  std::string large(32 << 20, '\0');
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 7 + (i >> 12));
  ASSERT_TRUE(WriteFileBytes(box.Dir() + "\\Marlotrim32.cpg", large));
  const long long whole = static_cast<long long>(large.size());
  auto size = [](const std::string& path) -> long long {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  };

  // Ten moments along the copy, two once the new module is in place.
  constexpr int kMoments = 12;
  int endedMidCopy = 0;
  for (int moment = 0; moment < kMoments; ++moment) {
    ASSERT_TRUE(WriteFileBytes(module, "old module"));
    ::DeleteFileA(partial.c_str());
    ChildProcess p;
    ASSERT_TRUE(p.Start(box.Exe(), box.CommandLine("/Install")));
    const long long at = whole * moment / (kMoments - 2);
    WaitUntil([&] { return !p.Running() || (moment < kMoments - 2 ? size(partial) >= at : size(module) == whole); },
              30000);
    ::TerminateProcess(p.Handle(), 1);
    ASSERT_TRUE(p.WaitExit());
    const long long left = size(partial);
    if (left >= 0 && left < whole) ++endedMidCopy;
    const std::string now = ReadFileBytes(module);
    EXPECT_TRUE(now == "old module" || now == large) << "moment " << moment << ": " << now.size() << " bytes";
  }
  std::printf("ended %d of %d times in the middle of the copy\n", endedMidCopy, kMoments);

  // A run ended midway left its partial copy: the next one takes its name.
  ASSERT_TRUE(WriteFileBytes(partial, "part of a module"));
  EXPECT_EQ(RunWithoutAnyWindow(box.Exe(), box.CommandLine("/Install")), 0);
  EXPECT_TRUE(ReadFileBytes(module) == large);
  const FolderSnapshot after = FolderSnapshot::Take(plugins);
  std::vector<std::string> names;
  for (const auto& entry : after.Entries()) names.push_back(entry.first);
  EXPECT_EQ(names, (std::vector<std::string>{"Marlotrim.bmp", "Marlotrim.cpg"}));
}

}  // namespace
