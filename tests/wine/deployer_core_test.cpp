// Host detection and plug-in deployment against Wine's real registry and file
// system. On a 64-bit Windows both host keys are written through the 64-bit
// view; a 32-bit Windows has the 32-bit edition alone.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "courses.h"
#include "deployer_core_fixture.h"
#include "handles.h"
#include "host_detect.h"
#include "planted_dlls.h"
#include "process_resources.h"
#include "snapshot.h"
#include "support.h"

using namespace deployer_core_test;

namespace {

bool RegisterRaw(int version, bool edition64, DWORD type, const std::string& data) {
  return SetRaw(HKEY_LOCAL_MACHINE, HostKeyPath(version, edition64), "ConfigDir", type, data.data(),
                static_cast<DWORD>(data.size()), kView64);
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// Versions here are ones no host has, so that no other test meets them.

TEST(DeployerHostDetect, EachEditionIsFoundThroughItsOwnKey) {
  const int v = 931;
  Unregister(v, false);
  Unregister(v, true);
  EXPECT_FALSE(IsCorelVersionInstalled(v, false));
  EXPECT_FALSE(IsCorelVersionInstalled(v, true));

  // On a 32-bit Windows this key is the only one, and no 64-bit edition can be.
  ASSERT_TRUE(Register(v, false, "C:\\Host32\\Config"));
  EXPECT_TRUE(IsCorelVersionInstalled(v, false));
  EXPECT_FALSE(IsCorelVersionInstalled(v, true));
  Unregister(v, false);

  const Edition edition = AnyEdition();
  if (edition.is64) {
    ASSERT_TRUE(Register(v, true, "C:\\Host64\\Config"));
    EXPECT_TRUE(IsCorelVersionInstalled(v, true));
    EXPECT_FALSE(IsCorelVersionInstalled(v, false));
  } else {
    ASSERT_TRUE(Register(v, false, "C:\\Host32\\Config"));
  }

  // A key without "ConfigDir" is not an installation.
  DeleteValue(HKEY_LOCAL_MACHINE, HostKeyPath(v, edition.is64), "ConfigDir", kView64);
  ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, HostKeyPath(v, edition.is64), kView64));
  EXPECT_FALSE(IsCorelVersionInstalled(v, edition.is64));
  CountingWait wait;
  EXPECT_FALSE(DeployPlugin(v, edition.is64, wait));
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  Unregister(v, edition.is64);
}

TEST(DeployerHostDetect, ConfigDirMustReadWithinItsBuffer) {
  const int v = 932;
  struct Case {
    DWORD type;
    std::string data;
    bool installed;
  };
  const std::string folder = "C:\\";
  const Case cases[] = {
      {REG_SZ, folder + std::string(255, 'a') + '\0', true},    // 259 bytes
      {REG_SZ, folder + std::string(256, 'a') + '\0', true},    // 260 bytes: 259 characters
      {REG_SZ, folder + std::string(257, 'a') + '\0', false},   // 261 bytes
      {REG_BINARY, folder + std::string(256, 'a'), true},       // 259 bytes, unterminated
      {REG_BINARY, folder + std::string(257, 'a'), false},      // 260 bytes, unterminated
      {REG_SZ, folder + std::string(5000, 'a') + '\0', false},  // thousands of bytes over
      {REG_BINARY, std::string(70000, '\xff'), false},
      {REG_SZ, std::string(1, '\0'), true},
      {REG_DWORD, std::string(4, '\x01'), true},
      {REG_EXPAND_SZ, std::string("%TEMP%\\Config") + '\0', true},
      {REG_SZ, std::string("Config") + '\0', true},
  };
  const bool edition64 = AnyEdition().is64;
  for (const Case& c : cases) {
    ASSERT_TRUE(RegisterRaw(v, edition64, c.type, c.data));
    EXPECT_EQ(IsCorelVersionInstalled(v, edition64), c.installed) << c.type << " " << c.data.size();
    // Too long is there but unreadable, which the unattended scan reports.
    EXPECT_EQ(CorelVersionRegistration(v, edition64), c.installed ? ERROR_SUCCESS : ERROR_MORE_DATA) << c.data.size();
  }
  Unregister(v, edition64);
}

TEST(DeployerHostDetect, NegativeVersionMeansNine) {
  const bool edition64 = AnyEdition().is64;
  if (KeyExists(HKEY_LOCAL_MACHINE, HostKeyPath(9, edition64), kView64)) {
    // Someone's version 9 is registered here: compare without touching it.
    EXPECT_EQ(IsCorelVersionInstalled(-1, edition64), IsCorelVersionInstalled(9, edition64));
    return;
  }
  ASSERT_TRUE(Register(9, edition64, "C:\\Host9\\Config"));
  for (int v : {-1, -13, INT_MIN}) {
    EXPECT_TRUE(IsCorelVersionInstalled(v, edition64)) << v;
    EXPECT_FALSE(IsCorelVersionInstalled(v, !edition64)) << v;
  }
  Unregister(9, edition64);
  EXPECT_FALSE(IsCorelVersionInstalled(-1, edition64));
}

class DeployerDeploy : public DeploymentTest {
 protected:
  DeployerDeploy() : DeploymentTest("deploy") {}
};

TEST_F(DeployerDeploy, FreshDeploymentPlacesEachEditionsFilesInItsNewFolder) {
  ASSERT_TRUE(::CreateDirectoryA(m_draw.c_str(), nullptr));
  Host(941, false, m_configDir);

  AsyncDeploy deploy32(941, false);
  ASSERT_TRUE(deploy32.Finish());
  EXPECT_TRUE(deploy32.Result());
  // Nothing old refuses the new files, so nothing is waited for.
  EXPECT_EQ(deploy32.Wait().Pauses(), 0);
  EXPECT_EQ(ReadFileBytes(m_draw + "\\Plugins\\Marlotrim.cpg"), m_module32);
  EXPECT_EQ(ReadFileBytes(m_draw + "\\Plugins\\Marlotrim.bmp"), m_bitmap);
  EXPECT_EQ(FolderSnapshot::Take(m_draw + "\\Plugins").Entries().size(), 2u);
  EXPECT_FALSE(IsFolder(m_draw + "\\Plugins64"));

  if (!WindowsIs64Bit()) return;  // the only edition there is
  Host(941, true, m_configDir);
  EXPECT_EQ(Deploy(941, true), 1);
  EXPECT_EQ(ReadFileBytes(m_draw + "\\Plugins64\\Marlotrim.cpg"), m_module64);
  EXPECT_EQ(ReadFileBytes(m_draw + "\\Plugins64\\Marlotrim.bmp"), m_bitmap);
  EXPECT_EQ(ReadFileBytes(m_draw + "\\Plugins\\Marlotrim.cpg"), m_module32);
}

TEST_F(DeployerDeploy, TrailingBackslashPutsDrawInsideTheConfigFolder) {
  ASSERT_TRUE(::CreateDirectoryA(m_configDir.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryA((m_configDir + "\\Draw").c_str(), nullptr));
  const Edition edition = AnyEdition();
  Host(942, edition.is64, m_configDir + "\\");
  EXPECT_EQ(Deploy(942, edition.is64), 1);
  EXPECT_EQ(ReadFileBytes(m_configDir + "\\Draw" + edition.plugins + "\\Marlotrim.cpg"), Module(edition));
  EXPECT_FALSE(IsFolder(m_draw));
}

TEST_F(DeployerDeploy, ExistingFolderIsKeptAndOldFilesReplaced) {
  const std::string plugins = m_draw + "\\Plugins";
  ASSERT_TRUE(::CreateDirectoryA(m_draw.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryA(plugins.c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(plugins + "\\Marlotrim.cpg", "old module"));
  ASSERT_TRUE(WriteFileBytes(plugins + "\\Marlotrim.bmp", "old bitmap"));
  ASSERT_TRUE(WriteFileBytes(plugins + "\\Other.cpg", "another plug-in"));
  Host(943, false, m_configDir);

  EXPECT_EQ(Deploy(943, false), 1);
  EXPECT_EQ(ReadFileBytes(plugins + "\\Marlotrim.cpg"), m_module32);
  EXPECT_EQ(ReadFileBytes(plugins + "\\Marlotrim.bmp"), m_bitmap);
  EXPECT_EQ(ReadFileBytes(plugins + "\\Other.cpg"), "another plug-in");
}

TEST_F(DeployerDeploy, MissingDrawFolderFailsWithoutCreatingIt) {
  Host(944, AnyEdition().is64, m_configDir);
  EXPECT_EQ(Deploy(944, AnyEdition().is64), 0);
  EXPECT_FALSE(IsFolder(m_draw));
}

TEST_F(DeployerDeploy, ASourceThatCannotBeReadLeavesTheOldFilesInPlace) {
  const Edition edition = AnyEdition();
  const std::string plugins = m_draw + edition.plugins;
  ASSERT_TRUE(::CreateDirectoryA(m_draw.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryA(plugins.c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(plugins + "\\Marlotrim.cpg", "old module"));
  ASSERT_TRUE(WriteFileBytes(plugins + "\\Marlotrim.bmp", "old bitmap"));
  Host(945, edition.is64, m_configDir);

  // Either source, missing or held shut by another: no old file goes.
  for (const char* name : {edition.source, "Marlotrim.bmp"}) {
    SCOPED_TRACE(name);
    for (bool missing : {true, false}) {
      const std::string content = ReadFileBytes(Source(name));
      UniqueFile shut;
      if (missing) {
        ASSERT_TRUE(::DeleteFileA(Source(name).c_str()));
      } else {
        shut.reset(::CreateFileA(Source(name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
      }
      DWORD error = 0;
      EXPECT_EQ(Deploy(945, edition.is64, &error), 0);
      EXPECT_EQ(error, static_cast<DWORD>(missing ? ERROR_FILE_NOT_FOUND : ERROR_SHARING_VIOLATION));
      EXPECT_EQ(ReadFileBytes(plugins + "\\Marlotrim.cpg"), "old module");
      EXPECT_EQ(ReadFileBytes(plugins + "\\Marlotrim.bmp"), "old bitmap");
      if (missing) {
        ASSERT_TRUE(WriteFileBytes(Source(name), content));
      }
    }
  }
  EXPECT_EQ(Deploy(945, edition.is64), 1);
  EXPECT_EQ(ReadFileBytes(plugins + "\\Marlotrim.cpg"), Module(edition));
}

TEST_F(DeployerDeploy, ConfigDirIsCutInsideTheBufferAndNeedsABackslash) {
  ASSERT_TRUE(::CreateDirectoryA(m_draw.c_str(), nullptr));
  m_versions.push_back(946);
  // Stored without a terminator, as binary data.
  ASSERT_TRUE(RegisterRaw(946, false, REG_BINARY, m_configDir));
  EXPECT_EQ(Deploy(946, false), 1);
  EXPECT_EQ(ReadFileBytes(m_draw + "\\Plugins\\Marlotrim.cpg"), m_module32);

  // Nothing to cut: installed, but there is nowhere to deploy to.
  ASSERT_TRUE(Register(946, false, "Config"));
  EXPECT_TRUE(IsCorelVersionInstalled(946, false));
  EXPECT_EQ(Deploy(946, false), 0);
}

TEST_F(DeployerDeploy, ReadOnlyOldFilesAreReplacedAtOnce) {
  const std::string plugins = m_draw + "\\Plugins";
  ASSERT_TRUE(::CreateDirectoryA(m_draw.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryA(plugins.c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(plugins + "\\Marlotrim.cpg", "old module"));
  ASSERT_TRUE(WriteFileBytes(plugins + "\\Marlotrim.bmp", "old bitmap"));
  // As copied from a CD: the old files, the sources and so their copies.
  for (const std::string& path :
       {plugins + "\\Marlotrim.cpg", plugins + "\\Marlotrim.bmp", Source("Marlotrim32.cpg"), Source("Marlotrim.bmp")})
    ASSERT_TRUE(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
  Host(947, false, m_configDir);

  for (int round = 0; round < 2; ++round) {
    AsyncDeploy deploy(947, false);
    ASSERT_TRUE(deploy.Finish());
    EXPECT_TRUE(deploy.Result()) << round;
    EXPECT_LT(deploy.Elapsed(), 1000u) << round;
    EXPECT_EQ(deploy.Wait().HeldPauses(), 0) << round;
    EXPECT_EQ(ReadFileBytes(plugins + "\\Marlotrim.cpg"), m_module32) << round;
    EXPECT_EQ(ReadFileBytes(plugins + "\\Marlotrim.bmp"), m_bitmap) << round;
  }
}

TEST_F(DeployerDeploy, HeldModuleIsWaitedForUntilReleased) {
  const std::string plugins = m_draw + "\\Plugins";
  const std::string module = plugins + "\\Marlotrim.cpg";
  ASSERT_TRUE(::CreateDirectoryA(m_draw.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryA(plugins.c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(plugins + "\\Marlotrim.bmp", "old bitmap"));
  ImageHolder host(module);
  ASSERT_TRUE(host.Held());
  const std::string old = ReadFileBytes(module);
  // What the deployment will meet: access denied.
  ASSERT_FALSE(::DeleteFileA(module.c_str()));
  ASSERT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  Host(947, false, m_configDir);
  AsyncDeploy deploy(947, false);
  // Three periods: a deployment that gave up at the first denial is over by now.
  WaitUntil([&] { return deploy.Done() || deploy.Elapsed() >= 1500; });
  ASSERT_FALSE(deploy.Done());
  EXPECT_EQ(ReadFileBytes(module), old);
  ASSERT_TRUE(host.Release());
  ASSERT_TRUE(deploy.Finish());
  EXPECT_TRUE(deploy.Result());
  EXPECT_EQ(deploy.Wait().HeldWaitsEnded(), 1);
  EXPECT_EQ(deploy.Wait().LastOutcome(), 0ul);
  EXPECT_EQ(ReadFileBytes(module), m_module32);
  EXPECT_EQ(ReadFileBytes(plugins + "\\Marlotrim.bmp"), m_bitmap);
}

// The courses as a Windows Installer custom action calls them: sources from
// a folder given as Windows Installer gives folders (with a closing
// backslash), and a held module not waited for but listed to take the old
// one's place at the restart (3010), which Wine's restart step then does.
// The removal takes our files from that folder's copy. A table version, as
// the courses scan the table.
TEST_F(DeployerDeploy, CoursesForAnInstallerTransaction) {
  const std::string plugins = m_draw + "\\Plugins", module = plugins + "\\Marlotrim.cpg";
  const std::string sources = m_root + "\\Sources\\";
  ASSERT_TRUE(::CreateDirectoryA(m_draw.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryA(plugins.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryA(sources.c_str(), nullptr));
  for (const char* name : {"Marlotrim32.cpg", "Marlotrim64.cpg", "Marlotrim.bmp"})
    ASSERT_TRUE(WriteFileBytes(sources + name, std::string("package's ") + name));
  const std::string logPath = m_root + "\\courses.log";
  RunLog log;
  ASSERT_EQ(log.Open(std::wstring(logPath.begin(), logPath.end()).c_str()), 0u);
  auto logged = [&](const std::string& line) { return ReadFileBytes(logPath).find(line) != std::string::npos; };
  Host(12, false, m_configDir);
  ImageHolder host(module);
  ASSERT_TRUE(host.Held());
  const std::string old = ReadFileBytes(module);
  const std::wstring pendingBefore = PendingOperations();

  EXPECT_EQ(DeployAllEditions(log, HeldModule::ReplaceAtRestart, sources.c_str()),
            static_cast<DWORD>(ERROR_SUCCESS_REBOOT_REQUIRED));
  EXPECT_EQ(ReadFileBytes(module), old);
  EXPECT_EQ(ReadFileBytes(module + ".new"), "package's Marlotrim32.cpg");
  EXPECT_EQ(ReadFileBytes(plugins + "\\Marlotrim.bmp"), "package's Marlotrim.bmp");
  EXPECT_NE(PendingOperations(), pendingBefore);
  EXPECT_TRUE(
      logged("CorelDraw 12: the host holds its plug-in module; the new one takes its place at the next restart: "
             "3010 "));
  EXPECT_TRUE(logged("CorelDraw 12: deploy the plug-in: 3010 "));
  EXPECT_FALSE(logged("waiting for the host"));

  ASSERT_TRUE(host.Release());
  ASSERT_TRUE(RunRestartStep());
  EXPECT_EQ(ReadFileBytes(module), "package's Marlotrim32.cpg");
  EXPECT_FALSE(FileExists(module + ".new"));
  EXPECT_EQ(RemoveAllEditions(log, sources.c_str()), 0u);
  EXPECT_EQ(FolderSnapshot::Take(plugins).Entries().size(), 0u);
  RestorePendingOperations(pendingBefore);
}

TEST_F(DeployerDeploy, SharingViolationIsNotRetriedAndTheModuleStays) {
  const Edition edition = AnyEdition();
  const std::string plugins = m_draw + edition.plugins;
  const std::string module = plugins + "\\Marlotrim.cpg";
  ASSERT_TRUE(::CreateDirectoryA(m_draw.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryA(plugins.c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(module, "old module"));
  ASSERT_TRUE(WriteFileBytes(plugins + "\\Marlotrim.bmp", "old bitmap"));
  Host(948, edition.is64, m_configDir);
  {
    // Held open as a host would, without delete sharing.
    UniqueFile held(::CreateFileA(module.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    ASSERT_FALSE(::DeleteFileA(module.c_str()));
    ASSERT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

    // Were it retried, this would run for 25 minutes. The module that stayed
    // fails the deployment, and nothing in the folder changes.
    const FolderSnapshot before = FolderSnapshot::Take(plugins);
    DWORD error = 0;
    EXPECT_EQ(Deploy(948, edition.is64, &error), 0);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(Unchanged(before, FolderSnapshot::Take(plugins)));
    // A Cancel already made when the swap fails keeps that failure's error.
    AsyncDeploy cancelled(948, edition.is64, true);
    ASSERT_TRUE(cancelled.Finish());
    EXPECT_EQ(cancelled.Error(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

    ASSERT_TRUE(::DeleteFileA(Source("Marlotrim.bmp").c_str()));
    EXPECT_EQ(Deploy(948, edition.is64), 0);
  }
  EXPECT_EQ(ReadFileBytes(module), "old module");
}

// Deployment after deployment into both editions' folders: the process keeps
// no handle, GDI object or memory per deployment, the host's folders hold
// the same files after the fiftieth as after the first, and another plug-in
// beside them is never touched.
TEST_F(DeployerDeploy, FiftyDeploymentsLeaveNothingBehind) {
  ASSERT_TRUE(::CreateDirectoryA(m_draw.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryA((m_draw + "\\Plugins").c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(m_draw + "\\Plugins\\Other.cpg", "another plug-in"));
  // A 32-bit Windows has the one edition to deploy into.
  const bool both = WindowsIs64Bit();
  Host(985, false, m_configDir);
  if (both) Host(985, true, m_configDir);
  ASSERT_EQ(Deploy(985, false), 1);
  if (both) {
    ASSERT_EQ(Deploy(985, true), 1);
  }
  const FolderSnapshot filesBefore = FolderSnapshot::Take(m_root);
  const ProcessResources before = MeasureProcess(::GetCurrentProcess());
  ASSERT_GT(before.handles, 0);

  for (int i = 0; i < 50; ++i) ASSERT_EQ(Deploy(985, both && i % 2 == 1), 1) << "deployment " << i;

  const ProcessResources after = MeasureProcess(::GetCurrentProcess());
  EXPECT_EQ(after.handles, before.handles);
  EXPECT_EQ(after.gdiObjects, before.gdiObjects);
  EXPECT_LT(after.privateKiB, before.privateKiB + 512) << before.privateKiB << " KiB before";
  EXPECT_TRUE(Unchanged(filesBefore, FolderSnapshot::Take(m_root)));
  EXPECT_EQ(ReadFileBytes(m_draw + AnyEdition().plugins + "\\Marlotrim.cpg"), Module(AnyEdition()));
}
