// The installer run from a folder where someone left DLLs of well-known
// names beside it and in the working directory: it takes none of them.
#include <gtest/gtest.h>

#include <algorithm>

#include "planted_dlls.h"
#include "support.h"

#include <tlhelp32.h>

namespace {

const char kCaption[] = "MarloCutterSetup32(V1.0)";
constexpr int IDC_PORT = 1006;

// Where the process has a module of that name loaded from, lower case; empty
// when it has none.
std::string ModulePath(DWORD processId, const char* name) {
  // Fails, as CreateFile does, with INVALID_HANDLE_VALUE.
  UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, processId));
  MODULEENTRY32 module{};
  module.dwSize = sizeof module;
  if (!snapshot || !::Module32First(snapshot.get(), &module)) return "";
  do {
    if (lstrcmpiA(module.szModule, name) == 0) {
      std::string path = module.szExePath;
      std::transform(path.begin(), path.end(), path.begin(), [](char c) { return static_cast<char>(::tolower(c)); });
      return path;
    }
  } while (::Module32Next(snapshot.get(), &module));
  return "";
}

class InstallerDllSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string root = WinPath(TEST_WORK_DIR_UNIX);
    ::CreateDirectoryA(root.c_str(), nullptr);
    m_dir = root + "\\" + UniqueName("planted");
    ::CreateDirectoryA(m_dir.c_str(), nullptr);
    m_app = m_dir + "\\download";
    m_cwd = m_dir + "\\cwd";
    PlantDlls(m_app);
    PlantDlls(m_cwd);
    m_exe = m_app + "\\PLOTINST.exe";
    ASSERT_TRUE(::CopyFileA(WinPath(PLOTINST_EXE_UNIX).c_str(), m_exe.c_str(), FALSE));
  }
  std::string m_dir, m_app, m_cwd, m_exe;
  PlantedDllsPreferred m_preferred{{"PLOTINST.exe", "probe.exe"}};
};

// Without this, the other tests could pass because the planted DLL cannot
// be loaded at all on this system.
TEST_F(InstallerDllSearch, AProgramThatRestrictsNothingLoadsThePlantedDll) {
  const std::string probe = m_app + "\\probe.exe";
  ASSERT_TRUE(::CopyFileA(DllProbeExe().c_str(), probe.c_str(), FALSE));
  ChildProcess p;
  ASSERT_TRUE(p.Start(probe, "\"" + probe + "\" atl.dll", m_cwd));
  ASSERT_TRUE(p.WaitExit());
  EXPECT_EQ(LoadedPlants(m_app), std::vector<std::string>{"atl.dll"});
}

TEST_F(InstallerDllSearch, RegistrationLoadsNoPlantedDll) {
  ChildProcess p;
  ASSERT_TRUE(p.Start(m_exe, "\"" + m_exe + "\" /RegServer", m_cwd));
  ASSERT_TRUE(EndsWithoutShowingWindow(p));
  std::string appId;
  EXPECT_TRUE(ReadValue(HKEY_CLASSES_ROOT, "AppID\\PLOTINST.EXE", "AppID", appId)) << "the registrar did not run";
  EXPECT_EQ(LoadedPlants(m_app), std::vector<std::string>{});
  EXPECT_EQ(LoadedPlants(m_cwd), std::vector<std::string>{});
}

TEST_F(InstallerDllSearch, TheDialogWithItsPortListLoadsNoPlantedDll) {
  ChildProcess p;
  ASSERT_TRUE(p.Start(m_exe, "\"" + m_exe + "\"", m_cwd));
  HWND dialog = WaitForDialog(p.Id(), kCaption);
  ASSERT_NE(dialog, nullptr) << "the installer did not start";
  // The port list comes from the spooler's DLL.
  EXPECT_GT(::SendMessageA(::GetDlgItem(dialog, IDC_PORT), CB_GETCOUNT, 0, 0), 0);
  // The controls that draw the shield come from the system's side-by-side
  // store, asked for once the search was confined, never from the folder.
  EXPECT_NE(ModulePath(p.Id(), "comctl32.dll").find("\\winsxs\\x86_microsoft.windows.common-controls_"),
            std::string::npos)
      << ModulePath(p.Id(), "comctl32.dll");
  ::PostMessageA(dialog, WM_CLOSE, 0, 0);
  EXPECT_TRUE(p.WaitExit());
  EXPECT_EQ(LoadedPlants(m_app), std::vector<std::string>{});
  EXPECT_EQ(LoadedPlants(m_cwd), std::vector<std::string>{});
}

}  // namespace
