#include "autoproxy.h"

#include "dialog.h"

namespace {
// The dispinterface of the type library, answered by the object's IDispatch.
const IID IID_IAddonDeploy = {0x9DF2DD95, 0x12A9, 0x46B8, {0x9C, 0xDE, 0x7D, 0x44, 0xA1, 0x68, 0xA4, 0x28}};
}  // namespace

BEGIN_MESSAGE_MAP(CAddonDeployDlgAutoProxy, CCmdTarget)
END_MESSAGE_MAP()

BEGIN_INTERFACE_MAP(CAddonDeployDlgAutoProxy, CCmdTarget)
  INTERFACE_PART(CAddonDeployDlgAutoProxy, IID_IAddonDeploy, Dispatch)
END_INTERFACE_MAP()

CCmdTarget* CAddonDeployDlgAutoProxy::CreateObject() { return new CAddonDeployDlgAutoProxy; }

CAddonDeployDlgAutoProxy::CAddonDeployDlgAutoProxy() {
  EnableAutomation();
  // The client's hold on the program: released in the destructor.
  AfxOleLockApp();
  CWinApp* app = AfxGetApp();
  if (app == nullptr) return;
  // The dialog keeps one link; it is not taken from an object that has it.
  auto* dlg = dynamic_cast<CAddonDeployDlg*>(app->m_pMainWnd);
  if (dlg && dlg->m_pAutoProxy == nullptr) {
    m_pOwnerDlg = dlg;
    dlg->m_pAutoProxy = this;
  }
}

CAddonDeployDlgAutoProxy::~CAddonDeployDlgAutoProxy() {
  if (m_pOwnerDlg) m_pOwnerDlg->m_pAutoProxy = nullptr;
  AfxOleUnlockApp();
}
