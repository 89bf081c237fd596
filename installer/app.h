// The installer's application object and its COM server module.
#pragma once

#include "afxwin.h"
#include "commodule.h"

class CPLOTINSTApp : public CWinApp {
 public:
  CPLOTINSTApp() : CWinApp(nullptr) {}

  BOOL InitInstance() override;
  int ExitInstance() override;
  // Brings COM up and handles the RegServer and UnregServer switches. FALSE
  // when COM is down again and the program is to end.
  BOOL InitComServer();

 private:
  BOOL m_comActive = FALSE;
  // The exit status: 0 when what was asked was done, else a Win32 error.
  DWORD m_exitCode = ERROR_SUCCESS;
  DECLARE_MESSAGE_MAP()
};

// COM locks on the module keep the application alive.
class CPLOTINSTModule : public CComModule {
 public:
  LONG Lock() override;
  LONG Unlock() override;
};
