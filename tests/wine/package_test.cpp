// The Windows Installer package on Wine's own msiexec: install, removal,
// rollback, upgrade, downgrade, repair and bad input, each compared with
// the machine's state before the package ran (the registry keys and folders
// it touches), with two host editions registered.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, whose types they use.
#include <msi.h>

#include <string>
#include <vector>

#include "deployer_fixture.h"
#include "handles.h"
#include "installer_fixture.h"
#include "snapshot.h"
#include "support.h"

namespace {

using deployer_test::Sandbox;
using installer_test::DriverDirectory;
using installer_test::DriverRegistered;
using installer_test::kEnvironment;
using installer_test::PrinterExists;

constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// The package is 32-bit: its entry is in the 32-bit view, where a 64-bit
// test looks too.
constexpr REGSAM kPackageView = KEY_WOW64_32KEY;
// Under emulation an msiexec run takes seconds; a bound, not an expectation.
constexpr DWORD kMsiexecBoundMs = 600000;

// The entry's key is named after the product code.
std::string ProductCode(const std::string& entry) { return entry.substr(entry.rfind('\\') + 1); }

std::string Package(const char* name) { return WinPath(PACKAGES_DIR_UNIX) + "\\" + name; }

// The 32-bit Program Files folder, whichever process asks.
std::string ProgramFolder() {
  char folder[MAX_PATH] = "";
  if (!::GetEnvironmentVariableA("ProgramFiles(x86)", folder, sizeof folder))
    ::GetEnvironmentVariableA("ProgramFiles", folder, sizeof folder);
  return folder;
}

// The Apps & features entries of the product, by the name they show.
std::vector<std::string> Entries() {
  std::vector<std::string> found;
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ | kPackageView, &key) != ERROR_SUCCESS)
    return found;
  char name[256];
  for (DWORD i = 0, size = sizeof name;
       ::RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       ++i, size = sizeof name) {
    std::string shown;
    const std::string sub = std::string(kUninstallKey) + "\\" + name;
    if (ReadValue(HKEY_LOCAL_MACHINE, sub, "DisplayName", shown, nullptr, kPackageView) &&
        std::string(shown.c_str()) == "Marlo Cutter")
      found.push_back(sub);
  }
  ::RegCloseKey(key);
  return found;
}

// What the package touches, as one comparable description plus folders.
struct MachineState {
  std::string registry;
  FolderSnapshot program, driverFiles, hosts;

  static MachineState Take(const Sandbox& box) {
    MachineState s;
    s.registry = std::string("printer ") + (PrinterExists() ? "yes" : "no") + ", driver " +
                 (DriverRegistered(kEnvironment) ? "yes" : "no") + ", class " +
                 (KeyExists(HKEY_CLASSES_ROOT, deployer_test::kClsidKey) ? "yes" : "no") + ", type library " +
                 (KeyExists(HKEY_CLASSES_ROOT, deployer_test::kTypeLibKey) ? "yes" : "no") + ", entries";
    for (const std::string& entry : Entries()) s.registry += " " + entry;
    s.program = FolderSnapshot::Take(ProgramFolder(), "Marlo Cutter");
    // Wine's msiexec keeps the folders a rolled-back transaction made
    // (Windows removes them): an empty installation folder is all it may
    // leave; a file in it still counts.
    const std::string folder = ProgramFolder() + "\\Marlo Cutter";
    if (s.program.Entries().size() == 1 && ::RemoveDirectoryA(folder.c_str()))
      s.program = FolderSnapshot::Take(ProgramFolder(), "Marlo Cutter");
    s.driverFiles = FolderSnapshot::Take(DriverDirectory(kEnvironment) + "\\3", "VELTRA*");
    s.hosts = FolderSnapshot::Take(box.Dir());
    return s;
  }
};

::testing::AssertionResult SameState(const MachineState& before, const MachineState& after, bool entries = true) {
  const auto registry = [entries](const MachineState& s) {
    return entries ? s.registry : s.registry.substr(0, s.registry.find(", entries"));
  };
  if (registry(before) != registry(after))
    return ::testing::AssertionFailure() << "was: " << before.registry << "\nnow: " << after.registry;
  for (auto [a, b] : {std::pair(&before.program, &after.program), std::pair(&before.driverFiles, &after.driverFiles),
                      std::pair(&before.hosts, &after.hosts)})
    if (auto same = Unchanged(*a, *b); !same) return same;
  return ::testing::AssertionSuccess();
}

class PackageTest : public ::testing::Test {
 protected:
  // Two registered editions (one 64-bit where Windows is), with their
  // plug-in folders; the state before anything.
  void SetUp() override {
    deployer_test::UnregisterAllHosts();
    // No registration by a deployer started elsewhere: Wine's rollback
    // deletes the values the package wrote instead of putting back those
    // they replaced, as Windows does.
    deployer_test::Unregister();
    m_plugins.push_back(m_box.AddHost(16, false));
    m_plugins.push_back(m_box.AddHost(17, WindowsIs64Bit()));
    for (const std::string& folder : m_plugins) ::CreateDirectoryA(folder.c_str(), nullptr);
    m_log = deployer_test::Work(UniqueName("msiexec") + ".log");
    m_before = MachineState::Take(m_box);
  }
  void TearDown() override {
    // Whatever a failed case left installed goes, so the next starts clean.
    if (!Entries().empty()) Msiexec("/x " + Quoted(Package("current.msi")) + " /qn");
    deployer_test::UnregisterAllHosts();
  }

  static std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

  // msiexec's full exit code, read inside Windows (a Unix status keeps its
  // low byte only); -1 when it did not end within the bound.
  long Msiexec(const std::string& arguments) {
    ::DeleteFileA(m_log.c_str());
    ChildProcess p;
    if (!p.Start("C:\\windows\\system32\\msiexec.exe", "msiexec " + arguments + " /l*v " + Quoted(m_log)) ||
        !p.WaitExit(kMsiexecBoundMs))
      return -1;
    return static_cast<long>(p.ExitCode());
  }
  long Install(const char* package, const std::string& properties = "") {
    return Msiexec("/i " + Quoted(Package(package)) + " /qn" + properties);
  }
  std::string Log() const { return ReadFileBytes(m_log); }

  // The plug-in module of each edition's own bitness, under the host's name.
  bool PluginInPlace() const {
    return ReadFileBytes(m_plugins[0] + "\\Marlotrim.cpg") == deployer_test::kModule32 &&
           ReadFileBytes(m_plugins[1] + "\\Marlotrim.cpg") ==
               (WindowsIs64Bit() ? deployer_test::kModule64 : deployer_test::kModule32);
  }

  Sandbox m_box{"package"};
  std::vector<std::string> m_plugins;
  std::string m_log;
  MachineState m_before;
};

TEST_F(PackageTest, InstallsEverythingInOneEntryAndRemovesItAgain) {
  ASSERT_EQ(Install("current.msi"), 0) << Log();
  EXPECT_TRUE(PrinterExists());
  EXPECT_TRUE(DriverRegistered(kEnvironment));
  EXPECT_TRUE(PluginInPlace());
  const std::vector<std::string> entries = Entries();
  ASSERT_EQ(entries.size(), 1u);
  std::string publisher, version;
  EXPECT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, entries[0], "Publisher", publisher, nullptr, kPackageView));
  EXPECT_STREQ(publisher.c_str(), "Marlo");
  EXPECT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, entries[0], "DisplayVersion", version, nullptr, kPackageView));
  EXPECT_STREQ(version.c_str(), "1.0.0.0");
  // Apps & features shows the icon Windows Installer keeps for the product.
  char icon[MAX_PATH] = "";
  DWORD size = sizeof icon;
  EXPECT_EQ(::MsiGetProductInfoA(ProductCode(entries[0]).c_str(), INSTALLPROPERTY_PRODUCTICON, icon, &size), 0u);
  EXPECT_NE(std::string(icon).find("PLOTINST.ico"), std::string::npos) << icon;
  // The courses' own lines, in the installer's log.
  const std::string log = Log();
  EXPECT_NE(log.find("add printer driver \"Marlo Cutter\": 0"), std::string::npos) << log;
  EXPECT_NE(log.find("deploy the plug-in: 0"), std::string::npos) << log;

  // A driver file held open (a print job's spooler, a scanner for viruses):
  // the removal finishes, and that file goes at the next restart, which
  // msiexec asks for.
  const std::string held = DriverDirectory(kEnvironment) + "\\3\\" + installer_test::kPackage[0].driverFile;
  const std::wstring pending = PendingOperations();
  UniqueFile holder(::CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder);
  EXPECT_EQ(Msiexec("/x " + Quoted(Package("current.msi")) + " /qn"), ERROR_SUCCESS_REBOOT_REQUIRED) << Log();
  EXPECT_NE(PendingOperations(), pending);
  // What the restart does.
  holder.reset();
  ::DeleteFileA(held.c_str());
  RestorePendingOperations(pending);
  EXPECT_TRUE(SameState(m_before, MachineState::Take(m_box)));

  // The spooler refuses to remove the driver once the printer is gone: the
  // removal ends with 1603 and is rolled back, printer and plug-in back.
  // Wine's msiexec then unpublishes the product, whose entry Windows keeps:
  // the entry is left out here, and the product installed again to go.
  ASSERT_EQ(Install("current.msi"), 0) << Log();
  const MachineState installed = MachineState::Take(m_box);
  // Every environment the driver is registered for (the x86_64 build adds its own too).
  std::vector<std::string> driverKeys;
  for (const char* key : {installer_test::kDriverKey, installer_test::kOwnDriverKey})
    if (KeyExists(HKEY_LOCAL_MACHINE, key)) driverKeys.push_back(key);
  for (const std::string& key : driverKeys) ASSERT_TRUE(DenyKeyRights(key, DELETE));
  EXPECT_EQ(Msiexec("/x " + Quoted(Package("current.msi")) + " /qn"), 1603) << Log();
  for (const std::string& key : driverKeys) ASSERT_TRUE(DenyKeyRights(key, 0));
  EXPECT_TRUE(SameState(installed, MachineState::Take(m_box), false)) << Log();
  EXPECT_TRUE(PluginInPlace());
  ASSERT_EQ(Install("current.msi"), 0) << Log();
  EXPECT_EQ(Msiexec("/x " + Quoted(Package("current.msi")) + " /qn"), 0) << Log();
  EXPECT_TRUE(SameState(m_before, MachineState::Take(m_box)));
}

// Each fails the whole transaction with 1603 and its reason in the log, and
// leaves the machine exactly as it was.
TEST_F(PackageTest, AFailureAnywhereEndsWith1603AndTheStateBefore) {
  struct Case {
    const char* what;
    const char* package;
    std::string properties;
    const char* logged;
  };
  // An older plug-in in the first edition, which a rollback must put back.
  WriteFileBytes(m_plugins[0] + "\\Marlotrim.cpg", "an older module");
  m_before = MachineState::Take(m_box);
  const std::string port = " PORT=NOSUCHPORT:";
  for (const Case& c : {Case{"unknown port", "current.msi", port, "port NOSUCHPORT:: 1796 "},
                        Case{"plug-in switch", "current.msi", " PLUGIN=maybe", "PLUGIN must be 1"},
                        Case{"damaged cabinet", "damaged.msi", "", ""},
                        Case{"plug-in folder refusing the copy", "current.msi", "", "deploy the plug-in"}}) {
    SCOPED_TRACE(c.what);
    std::string blocker;
    if (std::string(c.what) == "plug-in folder refusing the copy") {
      // A file where the second edition's plug-in folder goes: the driver
      // and the first edition are done by then.
      blocker = m_plugins[1];
      ::RemoveDirectoryA(blocker.c_str());
      WriteFileBytes(blocker, "not a folder");
      m_before = MachineState::Take(m_box);
    }
    EXPECT_EQ(Install(c.package, c.properties), 1603);
    if (*c.logged) {
      EXPECT_NE(Log().find(c.logged), std::string::npos) << Log();
    }
    EXPECT_TRUE(SameState(m_before, MachineState::Take(m_box)));
    if (!blocker.empty()) {
      ::DeleteFileA(blocker.c_str());
      ::CreateDirectoryA(blocker.c_str(), nullptr);
    }
  }
}

// The disk fills while msiexec copies the files. Windows Installer's cost
// check refuses such a folder before any change; Wine's msiexec copies what
// fits and goes on, and the plug-in step's own copy then fails. Either way:
// 1603, nothing left on that disk, nothing else changed.
TEST_F(PackageTest, AFullDiskDuringTheCopyEndsWith1603AndTheStateBefore) {
  const std::string disk = WinPath(SMALL_DISK_UNIX);
  ULARGE_INTEGER size{};
  if (!::GetDiskFreeSpaceExA((disk + "\\").c_str(), nullptr, &size, nullptr) || size.QuadPart > (1u << 20))
    GTEST_SKIP() << "no small file system could be mounted at " << disk;
  const FolderSnapshot diskBefore = FolderSnapshot::Take(disk);
  EXPECT_EQ(Install("current.msi", " INSTALLDIR=" + Quoted(disk + "\\Marlo Cutter")), 1603) << Log();
  EXPECT_TRUE(SameState(m_before, MachineState::Take(m_box)));
  // As on the program folder, an empty folder is all Wine's msiexec may leave.
  ::RemoveDirectoryA((disk + "\\Marlo Cutter").c_str());
  EXPECT_TRUE(Unchanged(diskBefore, FolderSnapshot::Take(disk)));
}

TEST_F(PackageTest, UpgradesRefusesADowngradeAndRepairs) {
  ASSERT_EQ(Install("older.msi"), 0) << Log();
  ASSERT_EQ(Install("current.msi"), 0) << Log();
  ASSERT_EQ(Entries().size(), 1u);
  std::string version;
  ReadValue(HKEY_LOCAL_MACHINE, Entries()[0], "DisplayVersion", version, nullptr, kPackageView);
  EXPECT_STREQ(version.c_str(), "1.0.0.0");
  EXPECT_TRUE(PrinterExists());
  EXPECT_TRUE(PluginInPlace());

  const MachineState upgraded = MachineState::Take(m_box);
  EXPECT_EQ(Install("older.msi"), 1603);
  // Wine's msiexec keeps the launch condition's message out of a /qn log;
  // the newer product it found is there.
  EXPECT_NE(Log().find("WIX_DOWNGRADE_DETECTED = {"), std::string::npos) << Log();
  EXPECT_TRUE(SameState(upgraded, MachineState::Take(m_box)));

  // Repair: a program file deleted comes back. Wine's msiexec leaves /f
  // with a product code unimplemented (it ends with 1) and takes a package
  // path there for an unknown product (1605); the call msiexec /fa makes on
  // Windows is Windows Installer's own, and runs here.
  const std::string program = ProgramFolder() + "\\Marlo Cutter\\PLOTINST.exe";
  ASSERT_TRUE(::DeleteFileA(program.c_str()));
  ::MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
  EXPECT_EQ(::MsiReinstallProductA(ProductCode(Entries()[0]).c_str(), REINSTALLMODE_FILEREPLACE), 0u);
  EXPECT_TRUE(FileExists(program));

  EXPECT_EQ(Msiexec("/x " + Quoted(Package("current.msi")) + " /qn"), 0) << Log();
  EXPECT_TRUE(SameState(m_before, MachineState::Take(m_box)));
}

}  // namespace
