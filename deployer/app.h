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

  DECLARE_MESSAGE_MAP()
};
