// Install and Delete when the driver directory refuses a file: the real
// installer driven from outside, the spooler's driver folders compared
// before and after.
//
// Wine ignores a folder's read-only attribute and turns read-only files and
// access lists into mode bits, which a test run as root (as these are) passes.
// What Wine refuses whoever runs it is a folder where a file belongs and a
// file held open without sharing; those make the driver directory refuse a
// driver file here.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "handles.h"
#include "installer_fixture.h"
#include "package.h"
#include "snapshot.h"
#include "support.h"

using namespace installer_test;

namespace {

const char kSibling[] = "Marlo Sibling";
const char kMonitorKey[] = "System\\CurrentControlSet\\Control\\Print\\Monitors\\Marlo Test Monitor";

// The spooler's folders for both environments the test build registers in.
struct DriverFolders {
  FolderSnapshot x86, own;
};

class InstallerFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string root = WinPath(TEST_WORK_DIR_UNIX);
    ::CreateDirectoryA(root.c_str(), nullptr);
    m_work = root + "\\" + UniqueName("faults");
    ASSERT_TRUE(::CreateDirectoryA(m_work.c_str(), nullptr));
    m_driverDir = DriverDirectory(kEnvironment);
    m_ownDir = DriverDirectory(kOwnEnvironment);
    ASSERT_FALSE(m_driverDir.empty());
    ASSERT_FALSE(m_ownDir.empty());
    for (int i = 0; i < 3; ++i) {
      m_standIn[i] = StandIn(kPackage[i].size, i + 11);
      std::string scrambled = m_standIn[i];
      ScrambleBytes(reinterpret_cast<unsigned char*>(scrambled.data()), scrambled.size());
      ASSERT_TRUE(WriteFileBytes(m_work + "\\" + kPackage[i].package, scrambled));
    }
    Cleanup();  // what an earlier run that crashed may have left
    m_pending = PendingOperations();
  }

  void TearDown() override {
    Unblock();
    Cleanup();
    RestorePending();
    for (const std::string& path : m_planted) ::DeleteFileA(path.c_str());
    for (const PackageEntry& entry : kPackage) ::DeleteFileA((m_work + "\\" + entry.package).c_str());
    ::RemoveDirectoryA(m_work.c_str());
  }

  void Cleanup() {
    ::DeletePrinterDriverA(nullptr, const_cast<char*>(kEnvironment), const_cast<char*>(kSibling));
    DeleteTree(HKEY_LOCAL_MACHINE, kMonitorKey);
    for (const char* subfolder : {"", "\\3"})
      for (const char* name : {"SIBLING.dll", "SIBLING.pcd"}) ::DeleteFileA(DriverFile(subfolder, name).c_str());
    DeletePrinterIfAny();
    ::DeletePrinterDriverA(nullptr, const_cast<char*>(kOwnEnvironment), const_cast<char*>(kModel));
    ::DeletePrinterDriverA(nullptr, const_cast<char*>(kEnvironment), const_cast<char*>(kModel));
    for (const PackageEntry& entry : kPackage) {
      // A test that failed may have left one read-only.
      ::SetFileAttributesA(DriverFile("\\3", entry.driverFile).c_str(), FILE_ATTRIBUTE_NORMAL);
      ::DeleteFileA(DriverFile("", entry.driverFile).c_str());
      ::DeleteFileA(DriverFile("\\3", entry.driverFile).c_str());
      ::DeleteFileA((m_ownDir + "\\3\\" + entry.driverFile).c_str());
    }
  }

  // The list of operations for the next restart as it was before the test.
  void RestorePending() { RestorePendingOperations(m_pending); }

  long Run(const std::string& args) {
    const std::string exe = WinPath(PLOTINST_EXE_UNIX);
    return RunWithoutAnyWindow(exe, "\"" + exe + "\" " + args, m_work);
  }

  // Another model of the same maker: its own driver and data file, and our
  // configuration file and plotsvc.dll, placed as its setup would place them.
  bool AddSibling() {
    for (const char* name : {"SIBLING.dll", "SIBLING.pcd"})
      if (!WriteFileBytes(DriverFile("", name), "the sibling's own")) return false;
    std::string files[3] = {DriverFile("", "SIBLING.dll"), DriverFile("", "SIBLING.pcd"),
                            DriverFile("", kPackage[2].driverFile)};
    DRIVER_INFO_3A info{};
    info.cVersion = 3;
    info.pName = const_cast<char*>(kSibling);
    info.pEnvironment = const_cast<char*>(kEnvironment);
    info.pDriverPath = files[0].data();
    info.pDataFile = files[1].data();
    info.pConfigFile = files[2].data();
    info.pDependentFiles = const_cast<char*>("plotsvc.dll\0");
    return ::AddPrinterDriverA(nullptr, 3, reinterpret_cast<BYTE*>(&info)) != FALSE;
  }

  std::string DriverFile(const char* subfolder, const char* name) const {
    return m_driverDir + subfolder + "\\" + name;
  }

  DriverFolders Snap() const { return {FolderSnapshot::Take(m_driverDir), FolderSnapshot::Take(m_ownDir)}; }

  // A folder, with a file in it, where the installer will want a file.
  void PutFolder(const std::string& path) {
    ASSERT_TRUE(::CreateDirectoryA(path.c_str(), nullptr)) << path;
    m_folders.push_back(path);
    ASSERT_TRUE(WriteFileBytes(path + "\\inside.txt", "someone else's"));
  }

  // A file of that name, held open by this process without any sharing.
  void HoldFile(const std::string& path, const std::string& bytes) {
    ASSERT_TRUE(WriteFileBytes(path, bytes)) << path;
    m_planted.push_back(path);
    m_held.emplace_back(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(m_held.back()) << path;
  }

  void Unblock() {
    m_held.clear();
    for (const std::string& folder : m_folders) {
      ::DeleteFileA((folder + "\\inside.txt").c_str());
      ::RemoveDirectoryA(folder.c_str());
    }
    m_folders.clear();
  }

  std::string m_work, m_driverDir, m_ownDir;
  std::string m_standIn[3];
  std::vector<std::string> m_folders, m_planted;
  std::vector<UniqueFile> m_held;
  std::wstring m_pending;
};

TEST_F(InstallerFaults, RefusedDriverFileFailsWithoutDriverPrinterOrTruncatedFile) {
  enum class Block { Folder, HeldOpen };
  struct Case {
    int file;  // index into kPackage: the first driver file the folder refuses
    Block block;
  };
  const Case cases[] = {{0, Block::Folder}, {1, Block::HeldOpen}, {2, Block::Folder}};

  Installer installer;
  ASSERT_TRUE(installer.Open(m_work));
  ASSERT_TRUE(installer.SelectPort("LPT1:"));
  for (const Case& c : cases) {
    const std::string refused = DriverFile("", kPackage[c.file].driverFile);
    SCOPED_TRACE(refused + (c.block == Block::Folder ? " is a folder" : " is held open"));
    if (c.block == Block::Folder)
      PutFolder(refused);
    else
      HoldFile(refused, "a stale driver file");
    const DriverFolders before = Snap();

    EXPECT_EQ(Headline(installer.Click(IDC_INSTALL)), "Add printer fail!");
    EXPECT_FALSE(DriverRegistered(kEnvironment));
    EXPECT_FALSE(DriverRegistered(kOwnEnvironment));
    EXPECT_FALSE(PrinterExists());

    // The files placed before the refused one stay, whole; nothing else moves.
    const DriverFolders after = Snap();
    std::vector<std::string> placed;
    for (int i = 0; i < c.file; ++i) {
      placed.push_back(kPackage[i].driverFile);
      EXPECT_TRUE(ReadFileBytes(DriverFile("", kPackage[i].driverFile)) == m_standIn[i]) << kPackage[i].driverFile;
    }
    EXPECT_TRUE(ChangedExactly(before.x86, after.x86, placed));
    EXPECT_TRUE(Unchanged(before.own, after.own));

    Unblock();
    if (c.block == Block::HeldOpen) {
      EXPECT_EQ(ReadFileBytes(refused), "a stale driver file");
    }
    Cleanup();
  }
  EXPECT_TRUE(installer.Close());
}

TEST_F(InstallerFaults, DeleteRemovesOnlyTheModelsFilesAndGoesPastAHeldOne) {
  // Another driver's files beside the model's, in both folders.
  ::CreateDirectoryA((m_driverDir + "\\3").c_str(), nullptr);
  for (const char* subfolder : {"", "\\3"}) {
    const std::string other = DriverFile(subfolder, "OTHERDRV.dll");
    ASSERT_TRUE(WriteFileBytes(other, "another driver"));
    m_planted.push_back(other);
  }
  const DriverFolders before = Snap();

  Installer installer;
  ASSERT_TRUE(installer.Open(m_work));
  ASSERT_TRUE(installer.SelectPort("LPT1:"));
  ASSERT_EQ(installer.Click(IDC_INSTALL), "Install success!");
  // The spooler's copy of the data file in use, so that it cannot be deleted.
  const std::string held = DriverFile("\\3", kPackage[1].driverFile);
  m_held.emplace_back(::CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(m_held.back());

  EXPECT_EQ(installer.Click(IDC_DELETE), "Delete success!");
  EXPECT_FALSE(DriverRegistered(kEnvironment));
  EXPECT_FALSE(DriverRegistered(kOwnEnvironment));
  EXPECT_FALSE(PrinterExists());
  const DriverFolders after = Snap();
  EXPECT_TRUE(ChangedExactly(before.x86, after.x86, {std::string("3\\") + kPackage[1].driverFile}));
  EXPECT_TRUE(Unchanged(before.own, after.own));
  // The held file goes at the next restart, which the run's end says.
  EXPECT_TRUE(PendingDeletion(held));
  m_held.clear();
  EXPECT_TRUE(ReadFileBytes(held) == m_standIn[1]);
  EXPECT_TRUE(installer.Close());
  EXPECT_EQ(installer.ExitCode(), static_cast<DWORD>(ERROR_SUCCESS_REBOOT_REQUIRED));
}

// The unattended removal with a driver file the system holds: 3010 and the
// file listed for the restart; the next removal has nothing to do; no
// installation before the restart; once the file is let go, a removal
// deletes it.
TEST_F(InstallerFaults, DeleteCourseLeavesAHeldFileToTheRestartThenHasNothingToDo) {
  const std::string log = m_work + "\\delete.log";
  ASSERT_EQ(Run("/Install /Port LPT1:"), 0);
  const std::string held = DriverFile("\\3", kPackage[0].driverFile);
  m_held.emplace_back(::CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(m_held.back());

  EXPECT_EQ(Run("/Delete /Log \"" + log + "\""), ERROR_SUCCESS_REBOOT_REQUIRED);
  EXPECT_FALSE(DriverRegistered(kEnvironment));
  EXPECT_TRUE(PendingDeletion(held));
  EXPECT_FALSE(FileExists(DriverFile("\\3", kPackage[1].driverFile)));
  const std::wstring listed = PendingOperations();
  EXPECT_EQ(Run("/Delete /Log \"" + log + "\""), 0);
  EXPECT_EQ(PendingOperations(), listed) << "listed twice";
  const std::string lines = ReadFileBytes(log);
  EXPECT_NE(lines.find(held + " held, to be deleted at the next restart: 3010 "), std::string::npos) << lines;
  EXPECT_NE(lines.find(held + " held, already to be deleted at the next restart: 0 "), std::string::npos) << lines;
  EXPECT_NE(lines.find("nothing to do: 0 "), std::string::npos) << lines;

  // Installed before the restart, the driver would lose that file at it.
  m_held.clear();
  const DriverFolders before = Snap();
  EXPECT_EQ(Run("/Install /Port LPT1:"), 350);  // ERROR_FAIL_NOACTION_REBOOT
  EXPECT_FALSE(DriverRegistered(kEnvironment));
  EXPECT_TRUE(Unchanged(before.x86, Snap().x86));
  // Let go, the file is deleted at once.
  EXPECT_TRUE(FileExists(held));
  EXPECT_EQ(Run("/Delete"), 0);
  EXPECT_FALSE(FileExists(held));
  ::DeleteFileA(log.c_str());

  // Installed, but a file of it to be deleted at the restart: the same. (The
  // list as it was before, as after the restart.)
  RestorePending();
  ASSERT_EQ(Run("/Install /Port LPT1:"), 0);
  ASSERT_TRUE(::MoveFileExA(DriverFile("\\3", kPackage[1].driverFile).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  EXPECT_EQ(Run("/Install /Port LPT1:"), 350);
  RestorePending();
  // A read-only driver file is held by nobody: deleted at once, nothing left
  // to a restart, which could not delete it either.
  for (const char* subfolder : {"", "\\3"})
    ASSERT_TRUE(::SetFileAttributesA(DriverFile(subfolder, kPackage[0].driverFile).c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(Run("/Delete"), 0);
  EXPECT_FALSE(FileExists(held));
  EXPECT_FALSE(FileExists(DriverFile("", kPackage[0].driverFile)));
  EXPECT_EQ(PendingOperations(), m_pending);
  EXPECT_EQ(Run("/Install /Port LPT1:"), 0);
}

// Another installed driver names our configuration file and plotsvc.dll, then
// a port monitor names plotsvc.dll: Delete, /Delete and /Delete with our
// driver gone leave what they name, saying so, and remove the rest.
TEST_F(InstallerFaults, DeleteLeavesWhatAnotherDriverOrAMonitorNames) {
  const std::string log = m_work + "\\shared.log";
  const std::string plotsvc = PlotsvcPath();
  ASSERT_TRUE(WriteFileBytes(plotsvc, "plotsvc stand-in"));
  m_planted.push_back(plotsvc);
  const std::string shared[] = {DriverFile("", kPackage[2].driverFile), DriverFile("\\3", kPackage[2].driverFile),
                                plotsvc};
  auto onlySharedLeft = [&] {
    for (const char* subfolder : {"", "\\3"})
      for (int i = 0; i < 2; ++i)
        if (FileExists(DriverFile(subfolder, kPackage[i].driverFile))) return false;
    for (const std::string& file : shared)
      if (!FileExists(file)) return false;
    return !DriverRegistered(kEnvironment);
  };
  ASSERT_EQ(Run("/Install /Port LPT1:"), 0);
  ASSERT_TRUE(AddSibling());
  {
    Installer installer;
    ASSERT_TRUE(installer.Open(m_work));
    EXPECT_EQ(installer.Click(IDC_DELETE), "Delete success!");
    EXPECT_TRUE(installer.Close());
  }
  EXPECT_TRUE(onlySharedLeft());
  ASSERT_EQ(Run("/Install /Port LPT1:"), 0);
  EXPECT_EQ(Run("/Delete /Log \"" + log + "\""), 0);
  EXPECT_TRUE(onlySharedLeft());
  EXPECT_EQ(Run("/Delete /Log \"" + log + "\""), 0);
  EXPECT_TRUE(onlySharedLeft());
  const std::string lines = ReadFileBytes(log);
  for (const std::string& file : shared) {
    const std::string line = file + " named by printer driver \"Marlo Sibling\", left in place: 0 ";
    const size_t first = lines.find(line);
    EXPECT_NE(first, std::string::npos) << lines;
    EXPECT_NE(lines.find(line, first + 1), std::string::npos) << "not said with our driver gone: " << line;
  }

  ASSERT_TRUE(::DeletePrinterDriverA(nullptr, const_cast<char*>(kEnvironment), const_cast<char*>(kSibling)));
  ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kMonitorKey, "Driver", "plotsvc.dll"));
  EXPECT_EQ(Run("/Delete /Log \"" + log + "\""), 0);
  EXPECT_FALSE(FileExists(shared[0]));
  EXPECT_FALSE(FileExists(shared[1]));
  EXPECT_NE(ReadFileBytes(log).find(plotsvc + " named by port monitor \"Marlo Test Monitor\", left in place: 0 "),
            std::string::npos);
  DeleteTree(HKEY_LOCAL_MACHINE, kMonitorKey);
  EXPECT_EQ(Run("/Delete"), 0);
  EXPECT_FALSE(FileExists(plotsvc));
  ::DeleteFileA(log.c_str());
}

// plotsvc.dll held at the removal is listed for the restart under the name
// the restart, run by the native system, gives the file this program saw:
// under WoW64 the SysWOW64 one. Wine's restart step then deletes that file,
// and not the native system's own plotsvc.dll. A read-only driver file held
// without sharing (refused with a sharing violation, not access denied) is
// listed made writable, which the restart needs to delete it.
TEST_F(InstallerFaults, AHeldPlotsvcIsLeftToTheRestartUnderTheNameOfTheFileThisProgramSaw) {
  BOOL wow64 = FALSE;
  ASSERT_TRUE(::IsWow64Process(::GetCurrentProcess(), &wow64));
  char windows[MAX_PATH] = "", folder[MAX_PATH] = "";
  ASSERT_NE(::GetWindowsDirectoryA(windows, MAX_PATH), 0u);
  ASSERT_NE(wow64 ? ::GetSystemWow64DirectoryA(folder, MAX_PATH) : ::GetSystemDirectoryA(folder, MAX_PATH), 0u);
  const std::string plotsvc = PlotsvcPath(), native = std::string(windows) + "\\sysnative\\plotsvc.dll";
  if (wow64) {
    ASSERT_TRUE(WriteFileBytes(native, "the native system's"));
    m_planted.push_back(native);
  }
  HoldFile(plotsvc, "plotsvc stand-in");
  ASSERT_EQ(Run("/Install /Port LPT1:"), 0);
  const std::string readOnly = DriverFile("\\3", kPackage[0].driverFile);
  ASSERT_TRUE(::SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
  m_held.emplace_back(::CreateFileA(readOnly.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(m_held.back());
  EXPECT_EQ(Run("/Delete"), ERROR_SUCCESS_REBOOT_REQUIRED);
  EXPECT_TRUE(PendingDeletion(std::string(folder) + "\\plotsvc.dll"));
  EXPECT_TRUE(PendingDeletion(readOnly));
  EXPECT_EQ(::GetFileAttributesA(readOnly.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  if (wow64) {
    EXPECT_FALSE(PendingDeletion(plotsvc)) << "the native system's file is listed";
  }

  m_held.clear();
  ASSERT_TRUE(RunRestartStep());
  EXPECT_FALSE(FileExists(plotsvc));
  EXPECT_FALSE(FileExists(readOnly));
  if (wow64) {
    EXPECT_EQ(ReadFileBytes(native), "the native system's");
  }
}

}  // namespace
