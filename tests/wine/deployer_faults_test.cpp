// Deployment into host folders that refuse it, against Wine's real registry
// and file system: every host folder and the plug-in's own files are compared
// before and after, so that a failed or half-done deployment is seen to touch
// nothing but the files it was asked to place.
//
// Wine ignores a folder's read-only attribute and turns an access list into
// mode bits, which a test run as root passes; the test with a shut folder
// then says it is skipped. What Wine refuses whoever runs it is a file where
// a folder belongs and the reverse, and a file that another holds open.
#include <aclapi.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "deployer_core_fixture.h"
#include "handles.h"
#include "host_detect.h"
#include "snapshot.h"
#include "support.h"

using namespace deployer_core_test;

namespace {

// Long enough for a deployment that meets no host at all; a deployment that
// waits out a denial for good would take 25 minutes.
constexpr DWORD kDeployBoundMs = 15000;

EXPLICIT_ACCESS_A EveryoneMay(ACCESS_MODE mode, DWORD rights) {
  EXPLICIT_ACCESS_A entry{};
  entry.grfAccessPermissions = rights;
  entry.grfAccessMode = mode;
  entry.grfInheritance = NO_INHERITANCE;
  entry.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
  entry.Trustee.ptstrName = const_cast<char*>("EVERYONE");
  return entry;
}

// Shuts a folder to everyone, who may then neither add, enter nor delete
// anything in it, or opens it again. Wine turns the list into the folder's
// mode bits and must read the folder to change them back, so a shut folder
// can still be listed.
bool ShutFolder(const std::string& path, bool shut) {
  const EXPLICIT_ACCESS_A shutList[2] = {
      EveryoneMay(DENY_ACCESS, FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_TRAVERSE | FILE_DELETE_CHILD),
      EveryoneMay(GRANT_ACCESS, FILE_GENERIC_READ | WRITE_DAC)};
  const EXPLICIT_ACCESS_A openList[1] = {EveryoneMay(SET_ACCESS, FILE_ALL_ACCESS)};
  PACL acl = nullptr;
  if (::SetEntriesInAclA(shut ? 2 : 1, const_cast<EXPLICIT_ACCESS_A*>(shut ? shutList : openList), nullptr, &acl) !=
      ERROR_SUCCESS)
    return false;
  const DWORD rc = ::SetNamedSecurityInfoA(const_cast<char*>(path.c_str()), SE_FILE_OBJECT,
                                           DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                           nullptr, acl, nullptr);
  ::LocalFree(acl);
  return rc == ERROR_SUCCESS;
}

// A drive letter that names nothing in this prefix.
char UnmappedDrive() {
  for (char letter = 'Q'; letter <= 'Y'; ++letter) {
    const char root[] = {letter, ':', '\\', '\0'};
    if (::GetDriveTypeA(root) == DRIVE_NO_ROOT_DIR) return letter;
  }
  return '\0';
}

// A deployment fixture whose folders a test may shut; they are opened again
// before they are removed.
class DeployerFaults : public DeploymentTest {
 protected:
  DeployerFaults() : DeploymentTest("faults") {}

  void TearDown() override {
    for (const std::string& folder : m_shut) ShutFolder(folder, false);
    DeploymentTest::TearDown();
  }

  // A fresh host folder for the next case.
  void ResetHostFolder() {
    RemoveTree(m_host);
    ASSERT_TRUE(::CreateDirectoryA(m_host.c_str(), nullptr));
  }

  // The paths below are relative to the temporary root.
  struct Folders {
    FolderSnapshot hosts, sources;
  };
  Folders Snap() const { return {FolderSnapshot::Take(m_root), FolderSnapshot::Take(ProgramFolder(), "Marlotrim*")}; }

  std::vector<std::string> m_shut;
};

TEST_F(DeployerFaults, FileWhereAFolderBelongsFailsAndChangesNothing) {
  struct Case {
    const char* file;  // below the host folder
    bool edition64;
  };
  const Case cases[] = {{"Draw", false}, {"Draw\\Plugins", false}, {"Draw\\Plugins64", true}};
  int v = 961;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    ResetHostFolder();
    if (std::string(c.file) != "Draw") {
      ASSERT_TRUE(::CreateDirectoryA(m_draw.c_str(), nullptr));
    }
    ASSERT_TRUE(WriteFileBytes(m_host + "\\" + c.file, "not a folder"));
    Host(v, c.edition64, m_configDir);
    const Folders before = Snap();

    EXPECT_EQ(Deploy(v, c.edition64), 0);
    const Folders after = Snap();
    EXPECT_TRUE(Unchanged(before.hosts, after.hosts));
    EXPECT_TRUE(Unchanged(before.sources, after.sources));
    ++v;
  }
}

TEST_F(DeployerFaults, UnreachableConfigDirFailsPromptlyAndChangesNothing) {
  const char drive = UnmappedDrive();
  ASSERT_NE(drive, '\0') << "every letter from Q to Y is mapped";
  const std::string configDirs[] = {
      std::string(1, drive) + ":\\nowhere\\Config",
      "\\\\nohost.invalid\\share\\Config",
      "\\\\nohost.invalid\\Config",
  };
  int v = 971;
  for (const std::string& configDir : configDirs) {
    SCOPED_TRACE(configDir);
    for (bool edition64 : {false, true}) {
      if (edition64 && !WindowsIs64Bit()) continue;  // no such edition on a 32-bit Windows
      Host(v, edition64, configDir);
      // Registered is all the check asks: the folder is not looked at.
      EXPECT_TRUE(IsCorelVersionInstalled(v, edition64));
      const Folders before = Snap();

      AsyncDeploy deploy(v, edition64);
      ASSERT_TRUE(deploy.Finish(kDeployBoundMs)) << "still deploying after " << deploy.Elapsed() << " ms";
      std::printf("%s (%s edition): false after %llu ms\n", configDir.c_str(), edition64 ? "64-bit" : "32-bit",
                  deploy.Elapsed());
      EXPECT_FALSE(deploy.Result());
      const Folders after = Snap();
      EXPECT_TRUE(Unchanged(before.hosts, after.hosts));
      EXPECT_TRUE(Unchanged(before.sources, after.sources));
    }
    ++v;
  }
}

TEST_F(DeployerFaults, DrawFolderThatDeniesAccessFailsAndChangesNothing) {
  ASSERT_TRUE(::CreateDirectoryA(m_draw.c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(m_draw + "\\Draw.ini", "the host's own"));
  Host(981, false, m_configDir);
  m_shut.push_back(m_draw);
  ASSERT_TRUE(ShutFolder(m_draw, true));
  const std::string probe = m_draw + "\\probe";
  if (::CreateDirectoryA(probe.c_str(), nullptr)) {
    ::RemoveDirectoryA(probe.c_str());
    GTEST_SKIP() << "the file system here does not enforce the folder's access list";
  }
  const Folders before = Snap();

  EXPECT_EQ(Deploy(981, false), 0);
  const Folders after = Snap();
  EXPECT_TRUE(Unchanged(before.hosts, after.hosts));
  EXPECT_TRUE(Unchanged(before.sources, after.sources));
}

TEST_F(DeployerFaults, FolderInTheModulesPlaceIsNotWaitedOn) {
  const std::string plugins = m_draw + "\\Plugins";
  ASSERT_TRUE(::CreateDirectoryA(m_draw.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryA(plugins.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryA((plugins + "\\Marlotrim.cpg").c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(plugins + "\\Marlotrim.cpg\\inside.txt", "someone else's"));
  ASSERT_TRUE(WriteFileBytes(plugins + "\\Marlotrim.bmp", "old bitmap"));
  Host(991, false, m_configDir);
  {
    // Replacing a folder by a file is denied for good, unlike a host's hold.
    const Folders before = Snap();
    AsyncDeploy deploy(991, false);
    ASSERT_TRUE(deploy.Finish(kDeployBoundMs)) << "still deploying after " << deploy.Elapsed() << " ms";
    // Without the module nothing is deployed, and nothing changes.
    EXPECT_FALSE(deploy.Result());
    const Folders after = Snap();
    EXPECT_TRUE(Unchanged(before.hosts, after.hosts));
    EXPECT_TRUE(Unchanged(before.sources, after.sources));
  }
  {
    // A folder in the bitmap's place alone: the module is placed, the
    // bitmap's new file goes again, and the bitmap's error fails the edition.
    RemoveTree(plugins + "\\Marlotrim.cpg");
    ASSERT_TRUE(::DeleteFileA((plugins + "\\Marlotrim.bmp").c_str()));
    ASSERT_TRUE(::CreateDirectoryA((plugins + "\\Marlotrim.bmp").c_str(), nullptr));
    const Folders before = Snap();
    AsyncDeploy deploy(991, false);
    ASSERT_TRUE(deploy.Finish(kDeployBoundMs)) << "still deploying after " << deploy.Elapsed() << " ms";
    EXPECT_FALSE(deploy.Result());
    EXPECT_EQ(deploy.Error(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ReadFileBytes(plugins + "\\Marlotrim.cpg"), m_module32);
    const Folders after = Snap();
    EXPECT_TRUE(ChangedExactly(before.hosts, after.hosts, {"Host\\Draw\\Plugins\\Marlotrim.cpg"}));
    EXPECT_TRUE(Unchanged(before.sources, after.sources));
  }
}

TEST_F(DeployerFaults, HeldModuleIsReplacedOnlyOnceItsNameIsFree) {
  const Edition edition = AnyEdition();
  const std::string plugins = m_draw + edition.plugins;
  const std::string module = plugins + "\\Marlotrim.cpg";
  const std::string relative = std::string("Host\\Draw") + edition.plugins + "\\";
  ASSERT_TRUE(::CreateDirectoryA(m_draw.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryA(plugins.c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(module, "old module"));
  ASSERT_TRUE(WriteFileBytes(plugins + "\\Marlotrim.bmp", "old bitmap"));
  ASSERT_TRUE(WriteFileBytes(plugins + "\\Other.cpg", "another plug-in"));
  Host(992, edition.is64, m_configDir);
  {
    // Held without delete sharing: the module stays, and so does everything
    // else; the deployment fails.
    UniqueFile held(::CreateFileA(module.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    const Folders before = Snap();
    EXPECT_EQ(Deploy(992, edition.is64), 0);
    const Folders after = Snap();
    EXPECT_TRUE(Unchanged(before.hosts, after.hosts));
    EXPECT_TRUE(Unchanged(before.sources, after.sources));
  }
  EXPECT_EQ(ReadFileBytes(module), "old module");
  {
    // Held with delete sharing, as a scanner holds a file: the name stays
    // taken until the holder lets go.
    const Folders before = Snap();
    UniqueFile held(::CreateFileA(module.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    AsyncDeploy deploy(992, edition.is64);
    // Three periods: a deployment that took the deletion at its word is over by now.
    WaitUntil([&] { return deploy.Done() || deploy.Elapsed() >= 1500; });
    held.reset();
    ASSERT_TRUE(deploy.Finish());
    EXPECT_TRUE(deploy.Result());
    EXPECT_EQ(ReadFileBytes(module), Module(edition));
    EXPECT_EQ(ReadFileBytes(plugins + "\\Marlotrim.bmp"), m_bitmap);
    const Folders after = Snap();
    EXPECT_TRUE(ChangedExactly(before.hosts, after.hosts, {relative + "Marlotrim.bmp", relative + "Marlotrim.cpg"}));
    EXPECT_TRUE(Unchanged(before.sources, after.sources));
  }
}

}  // namespace
