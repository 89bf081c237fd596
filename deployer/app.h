// The deployer's application object.
#pragma once

#include "afxwin.h"

class CAddonDeployApp : public CWinApp {
 public:
  CAddonDeployApp();

  // FALSE in every course: the dialog has closed, a registration switch has
  // been handled, or OLE did not come up.
  BOOL InitInstance() override;
  int ExitInstance() override;

  // The exit status: 0 when what was asked was done, else a Win32 error.
  DWORD m_exitCode = ERROR_SUCCESS;

  DECLARE_MESSAGE_MAP()
};
