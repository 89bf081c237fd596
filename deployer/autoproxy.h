// The automation object: no properties or methods, it only keeps the
// program alive for its client, tied to the dialog while that runs.
#pragma once

#include "afxwin.h"

class CAddonDeployDlg;

class CAddonDeployDlgAutoProxy : public CCmdTarget {
 public:
  // For the class factory: a new object with its first reference.
  static CCmdTarget* CreateObject();
  ~CAddonDeployDlgAutoProxy() override;
  void OnFinalRelease() override { CCmdTarget::OnFinalRelease(); }

  CAddonDeployDlg* m_pOwnerDlg = nullptr;

 protected:
  CAddonDeployDlgAutoProxy();
  DECLARE_MESSAGE_MAP()
  DECLARE_INTERFACE_MAP()
};
