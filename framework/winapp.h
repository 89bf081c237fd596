// The application object: start-up, the command line, the message loop and
// the application locks that COM objects hold.
#pragma once

#include <windows.h>

#include "cmdtarget.h"
#include "silent_switches.h"

class CWnd;

// The switches the framework's parser knows, as the fields it sets.
class CCommandLineInfo {
 public:
  enum ShellCommand { FileNew, AppRegister, AppUnregister, FileNothing = -1 };
  virtual ~CCommandLineInfo() = default;
  // One argument of the command line, without the '-' or '/' it began with
  // when bFlag.
  virtual void ParseParam(const wchar_t* pszParam, BOOL bFlag, BOOL bLast);

  BOOL m_bRunEmbedded = FALSE;
  BOOL m_bRunAutomated = FALSE;
  ShellCommand m_nShellCommand = FileNew;
};

// The framework's switches, and those of the unattended courses beside them.
class CSilentCommandLineInfo : public CCommandLineInfo {
 public:
  CSilentCommandLineInfo(bool knowsDelete, bool knowsPort) : m_silent(knowsDelete, knowsPort) {}
  void ParseParam(const wchar_t* pszParam, BOOL bFlag, BOOL bLast) override;

  SilentSwitches m_silent;
};

class CWinApp : public CCmdTarget {
 public:
  explicit CWinApp(const char* pszAppName = nullptr);
  ~CWinApp() override;

  // FALSE ends the program at once (ExitInstance); TRUE runs the message loop.
  virtual BOOL InitInstance() { return TRUE; }
  virtual int ExitInstance();
  // The message loop, until WM_QUIT; then ExitInstance.
  virtual int Run();

  // Hands each argument of the command line to rCmdInfo. The line is read
  // wide: a value outside the code page keeps every character.
  void ParseCommandLine(CCommandLineInfo& rCmdInfo);
  HICON LoadIcon(UINT nIDResource) const;

  CWnd* m_pMainWnd = nullptr;
  HINSTANCE m_hInstance = nullptr;
  const char* m_pszAppName = nullptr;
  DWORD m_dwRestartManagerSupportFlags = 0;

 protected:
  // No help file ships with the programs.
  void OnHelp() {}
  int m_nQuitCode = 0;
  DECLARE_MESSAGE_MAP()
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
// The application's name: its own, else the program's file name without extension.
const char* AfxGetAppName();
// A message box owned by the main window, captioned with the application's
// name; without an icon in nType, OK boxes get the exclamation mark.
int AfxMessageBox(const char* lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);
// The same with string resource nIDPrompt.
int AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK, UINT nIDHelp = UINT(-1));
// The dialogs host no ActiveX controls, so there is no container to set up.
inline void AfxEnableControlContainer() {}

// Application locks held by COM objects and their clients. When the last one
// goes and the user has not taken control, the application ends.
void AfxOleLockApp();
void AfxOleUnlockApp();
void AfxOleSetUserCtrl(BOOL bUserCtrl);
BOOL AfxOleGetUserCtrl();
