// The deployer's start-up when OLE cannot come up, in the test process: a
// thread already in the multithreaded apartment cannot become the
// single-threaded one that the program asks for.
#include <gtest/gtest.h>

#include <thread>

#include "app.h"
#include "deployer_fixture.h"
#include "handles.h"
#include "system_dll.h"

namespace {

std::wstring WideText(HWND hwnd) {
  wchar_t text[512] = L"";
  ::GetWindowTextW(hwnd, text, 512);
  return text;
}

TEST(DeployerStartup, OleFailureShowsItsMessageAndEndsWithoutRegistering) {
  deployer_test::Unregister();
  // The program loads the common controls on its only thread. Loaded on the
  // worker while this thread polls for windows, Wine's loader can hold both
  // (the DLL's start-up on one, a window call on the other); loaded here
  // first, the worker only takes another reference.
  UniqueLibrary controls(LoadSystemLibrary("comctl32.dll"));
  ASSERT_TRUE(controls);
  BOOL result = TRUE;
  HRESULT apartment = E_FAIL;
  std::thread start([&] {
    apartment = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    CAddonDeployApp app;
    result = app.InitInstance();
    app.ExitInstance();
    ::CoUninitialize();
  });
  HWND box = WaitForMessageBox(::GetCurrentProcessId(), AfxGetAppName());
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(WideText(::GetDlgItem(box, 0xFFFF)), L"OLE 初始化失败。请确保 OLE 库是正确的版本。");
  PressOk(box);
  start.join();
  EXPECT_EQ(apartment, S_OK);
  EXPECT_FALSE(result);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, deployer_test::kProgId));
}

}  // namespace
