// The installer's dialog as a user sees it: started as the real program and
// driven from outside, in the installed and the not-installed state.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include "support.h"

namespace {

const char kCaption[] = "MarloCutterSetup32(V1.0)";
constexpr int IDC_INSTALL = 1000, IDC_DELETE = 1001, IDC_MODEL = 1005, IDC_PORT = 1006, IDC_CONFIG = 1007;

std::string Exe() { return WinPath(PLOTINST_EXE_UNIX); }

// A printer driver of the given name in the spooler, removed again on scope exit.
class TestDriver {
 public:
  explicit TestDriver(const std::string& name) : m_name(name) {
    const std::string dir = WinPath(TEST_WORK_DIR_UNIX);
    ::CreateDirectoryA(dir.c_str(), nullptr);
    m_files[0] = dir + "\\testdrv.dll";
    m_files[1] = dir + "\\testdrv.pcd";
    m_files[2] = dir + "\\testdrvui.dll";
    for (const std::string& f : m_files) WriteFileBytes(f, "stand-in");
    DRIVER_INFO_3A info{};
    info.cVersion = 3;
    info.pName = m_name.data();
    info.pEnvironment = const_cast<char*>("Windows NT x86");
    info.pDriverPath = m_files[0].data();
    info.pDataFile = m_files[1].data();
    info.pConfigFile = m_files[2].data();
    info.pDefaultDataType = const_cast<char*>("RAW");
    m_added = ::AddPrinterDriverA(nullptr, 3, reinterpret_cast<BYTE*>(&info)) != FALSE;
  }
  ~TestDriver() {
    ::DeletePrinterDriverA(nullptr, const_cast<char*>("Windows NT x86"), m_name.data());
    for (const std::string& f : m_files) ::DeleteFileA(f.c_str());
  }
  bool Added() const { return m_added; }

 private:
  std::string m_name;
  std::string m_files[3];
  bool m_added = false;
};

struct ControlState {
  bool install, remove, model, port, config, configVisible;
};

ControlState ReadState(HWND dialog) {
  auto enabled = [&](int id) { return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE; };
  return {enabled(IDC_INSTALL), enabled(IDC_DELETE), enabled(IDC_MODEL), enabled(IDC_PORT), enabled(IDC_CONFIG),
          ::IsWindowVisible(::GetDlgItem(dialog, IDC_CONFIG)) != FALSE};
}

class RunningInstaller {
 public:
  RunningInstaller() {
    if (!m_process.Start(Exe(), "\"" + Exe() + "\"")) return;
    m_dialog = WaitForDialog(m_process.Id(), kCaption);
    // Shown, and done with its initialisation: waiting for the user.
    if (m_dialog && ::WaitForInputIdle(m_process.Handle(), 15000) != 0) m_dialog = nullptr;
  }
  ~RunningInstaller() {
    if (m_dialog) ::PostMessageA(m_dialog, WM_CLOSE, 0, 0);
    m_process.WaitExit();
  }
  HWND Dialog() const { return m_dialog; }

 private:
  ChildProcess m_process;
  HWND m_dialog = nullptr;
};

}  // namespace

TEST(InstallerDialog, NotInstalledStateAndConfigFollowingTheSelectedPort) {
  RunningInstaller installer;
  HWND dialog = installer.Dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(::SendMessageA(::GetDlgItem(dialog, IDC_MODEL), CB_GETCOUNT, 0, 0), 1);
  EXPECT_EQ(::SendMessageA(::GetDlgItem(dialog, IDC_MODEL), CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(ComboText(dialog, IDC_MODEL, 0), "Marlo Cutter");

  const ControlState state = ReadState(dialog);
  EXPECT_TRUE(state.install);
  EXPECT_FALSE(state.remove);
  EXPECT_TRUE(state.model);
  EXPECT_TRUE(state.port);
  EXPECT_FALSE(state.configVisible);

  const int ports = static_cast<int>(::SendMessageA(::GetDlgItem(dialog, IDC_PORT), CB_GETCOUNT, 0, 0));
  ASSERT_GT(ports, 1);
  bool sawCom = false, sawOther = false;
  for (int i = 0; i < ports; ++i) {
    SelectComboEntry(dialog, IDC_PORT, i);
    const std::string name = ComboText(dialog, IDC_PORT, i);
    const bool com = name.rfind("COM", 0) == 0;
    (com ? sawCom : sawOther) = true;
    EXPECT_EQ(ReadState(dialog).config, com) << name;
    EXPECT_FALSE(ReadState(dialog).configVisible) << name;
  }
  EXPECT_TRUE(sawCom);
  EXPECT_TRUE(sawOther);
}

TEST(InstallerDialog, DriverOfExactlyTheModelNameMeansInstalled) {
  {
    TestDriver driver("Marlo Cutter");
    ASSERT_TRUE(driver.Added());
    RunningInstaller installer;
    ASSERT_NE(installer.Dialog(), nullptr);
    const ControlState state = ReadState(installer.Dialog());
    EXPECT_FALSE(state.install);
    EXPECT_TRUE(state.remove);
    EXPECT_TRUE(state.model);
    EXPECT_FALSE(state.port);
    EXPECT_FALSE(state.config);
    EXPECT_FALSE(state.configVisible);
  }
  for (const char* other : {"marlo cutter", "Marlo Cutter ", "Marlo Cutte"}) {
    TestDriver driver(other);
    ASSERT_TRUE(driver.Added()) << other;
    RunningInstaller installer;
    ASSERT_NE(installer.Dialog(), nullptr);
    const ControlState state = ReadState(installer.Dialog());
    EXPECT_TRUE(state.install) << other;
    EXPECT_FALSE(state.remove) << other;
    EXPECT_TRUE(state.port) << other;
  }
}
