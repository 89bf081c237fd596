#include "winapp.h"

#include <string>
#include <vector>

#include "command_line.h"
#include "wnd.h"

namespace {
CWinApp* g_app = nullptr;
LONG g_appLocks = 0;
BOOL g_userCtrl = TRUE;
}  // namespace

void CCommandLineInfo::ParseParam(const wchar_t* pszParam, BOOL bFlag, BOOL) {
  if (!bFlag) return;
  switch (FindFrameworkSwitch(pszParam)) {
    case FrameworkSwitch::Embedding:
      m_bRunEmbedded = TRUE;
      break;
    case FrameworkSwitch::Automation:
      m_bRunAutomated = TRUE;
      break;
    case FrameworkSwitch::Register:
      m_nShellCommand = AppRegister;
      break;
    case FrameworkSwitch::Unregister:
      m_nShellCommand = AppUnregister;
      break;
    case FrameworkSwitch::None:
      break;
  }
}

void CSilentCommandLineInfo::ParseParam(const wchar_t* pszParam, BOOL bFlag, BOOL bLast) {
  CCommandLineInfo::ParseParam(pszParam, bFlag, bLast);
  m_silent.Take(pszParam, bFlag != FALSE);
  if (bLast) m_silent.Finish();
}

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(const char* pszAppName) : m_pszAppName(pszAppName) { g_app = this; }

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

int CWinApp::ExitInstance() { return m_nQuitCode; }

int CWinApp::Run() {
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  if (msg.message == WM_QUIT) m_nQuitCode = static_cast<int>(msg.wParam);
  return ExitInstance();
}

void CWinApp::ParseCommandLine(CCommandLineInfo& rCmdInfo) {
  const std::vector<std::wstring> args = SplitCommandLine(::GetCommandLineW());
  for (size_t i = 1; i < args.size(); ++i) {
    const wchar_t* param = args[i].c_str();
    const BOOL flag = param[0] == L'-' || param[0] == L'/';
    rCmdInfo.ParseParam(flag ? param + 1 : param, flag, i + 1 == args.size());
  }
}

HICON CWinApp::LoadIcon(UINT nIDResource) const {
  return ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDResource));
}

CWinApp* AfxGetApp() { return g_app; }

HINSTANCE AfxGetInstanceHandle() { return ::GetModuleHandleA(nullptr); }

// Resources are compiled into the program itself.
HINSTANCE AfxGetResourceHandle() { return ::GetModuleHandleA(nullptr); }

const char* AfxGetAppName() {
  if (g_app && g_app->m_pszAppName) return g_app->m_pszAppName;
  static char name[MAX_PATH];
  if (name[0] == '\0') {
    char path[MAX_PATH] = "";
    const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return "";
    const char* base = path;
    for (const char* p = path; *p; ++p)
      if (*p == '\\' || *p == '/') base = p + 1;
    lstrcpynA(name, base, MAX_PATH);
    char* dot = nullptr;
    for (char* p = name; *p; ++p)
      if (*p == '.') dot = p;
    if (dot) *dot = '\0';
  }
  return name;
}

namespace {

UINT WithDefaultIcon(UINT nType) {
  if ((nType & MB_ICONMASK) != 0) return nType;
  switch (nType & MB_TYPEMASK) {
    case MB_OK:
    case MB_OKCANCEL:
      return nType | MB_ICONEXCLAMATION;
    case MB_YESNO:
    case MB_YESNOCANCEL:
      return nType | MB_ICONQUESTION;
    default:
      return nType;
  }
}

HWND MessageBoxOwner() {
  CWinApp* app = AfxGetApp();
  return app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
}

}  // namespace

int AfxMessageBox(const char* lpszText, UINT nType, UINT) {
  return ::MessageBoxA(MessageBoxOwner(), lpszText, AfxGetAppName(), WithDefaultIcon(nType));
}

int AfxMessageBox(UINT nIDPrompt, UINT nType, UINT) {
  // Resource strings are UTF-16; shown as such they read right under any code page.
  const wchar_t* text = nullptr;
  const int length = ::LoadStringW(AfxGetResourceHandle(), nIDPrompt, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0) return 0;
  std::wstring prompt(text, static_cast<size_t>(length));
  wchar_t caption[MAX_PATH];
  if (::MultiByteToWideChar(CP_ACP, 0, AfxGetAppName(), -1, caption, MAX_PATH) == 0) caption[0] = L'\0';
  return ::MessageBoxW(MessageBoxOwner(), prompt.c_str(), caption, WithDefaultIcon(nType));
}

void AfxOleLockApp() { ::InterlockedIncrement(&g_appLocks); }

void AfxOleUnlockApp() {
  if (::InterlockedDecrement(&g_appLocks) != 0 || g_userCtrl) return;
  // The last client has gone from an application it started: end it.
  CWinApp* app = AfxGetApp();
  if (app && app->m_pMainWnd && app->m_pMainWnd->m_hWnd) app->m_pMainWnd->DestroyWindow();
  else ::PostQuitMessage(0);
}

void AfxOleSetUserCtrl(BOOL bUserCtrl) { g_userCtrl = bUserCtrl; }
BOOL AfxOleGetUserCtrl() { return g_userCtrl; }
