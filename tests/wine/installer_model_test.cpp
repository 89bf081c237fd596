// A model index outside the table of driver files installs and removes
// nothing: hosted in the test process, with the message box answered from a
// second thread.
#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>

#include <atomic>
#include <thread>

#include "dialog.h"
#include "installer_fixture.h"
#include "support.h"

using installer_test::Reason;

namespace {

// Answers the first message box the dialog shows; its text.
class MessageBoxAnswerer {
 public:
  explicit MessageBoxAnswerer(HWND owner) {
    m_thread = std::thread([this, owner] {
      HWND box = nullptr;
      // Shown means initialised: a message box gets its text in
      // WM_INITDIALOG, after its controls exist and before it shows.
      WaitUntil([&] {
        box = ::GetLastActivePopup(owner);
        return box != owner && box != nullptr && ::IsWindowVisible(box) && ::GetDlgItem(box, 0xFFFF) != nullptr;
      });
      if (box == nullptr || box == owner) return;
      m_text = MessageBoxText(box);
      PressOk(box);
    });
  }
  std::string Text() {
    m_thread.join();
    return m_text;
  }

 private:
  std::thread m_thread;
  std::string m_text;
};

bool DriverRegistered() {
  DWORD needed = 0, count = 0;
  char env[] = "Windows NT x86";
  ::EnumPrinterDriversA(nullptr, env, 1, nullptr, 0, &needed, &count);
  std::vector<BYTE> buffer(needed + 1);
  if (!::EnumPrinterDriversA(nullptr, env, 1, buffer.data(), needed, &needed, &count)) return false;
  const auto* drivers = reinterpret_cast<const DRIVER_INFO_1A*>(buffer.data());
  for (DWORD i = 0; i < count; ++i)
    if (lstrcmpA(drivers[i].pName, "Marlo Cutter") == 0) return true;
  return false;
}

}  // namespace

TEST(InstallerModel, IndexOutsideTheTableInstallsAndRemovesNothing) {
  CPLOTINSTDlg dlg;
  ASSERT_TRUE(dlg.Create());
  HWND model = ::GetDlgItem(dlg.m_hWnd, IDC_MODEL);
  // Rows beyond the table's five, the last one selected.
  for (int i = 1; i <= 5; ++i) ::SendMessageA(model, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Marlo Cutter"));
  ::SendMessageA(model, CB_SETCURSEL, 5, 0);

  char directory[256] = "";
  DWORD needed = 0;
  ASSERT_TRUE(::GetPrinterDriverDirectoryA(nullptr, const_cast<char*>("Windows NT x86"), 1,
                                           reinterpret_cast<BYTE*>(directory), sizeof directory, &needed));
  const std::string veltra6 = std::string(directory) + "\\VELTRA6.dll";
  const std::string veltra = std::string(directory) + "\\VELTRA.dll";

  MessageBoxAnswerer install(dlg.m_hWnd);
  dlg.OnInstall();
  EXPECT_EQ(install.Text(), "Add printer fail!" + Reason(ERROR_INVALID_INDEX));
  EXPECT_FALSE(DriverRegistered());
  EXPECT_FALSE(FileExists(veltra6));
  EXPECT_FALSE(FileExists(veltra));

  // No selection at all is outside the table too.
  ::SendMessageA(model, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  MessageBoxAnswerer remove(dlg.m_hWnd);
  dlg.OnDelete();
  EXPECT_EQ(remove.Text(), "Delete printer driver fail!" + Reason(ERROR_INVALID_INDEX));
}
