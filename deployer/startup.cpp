// The courses of the deployer's process: registration switches, automation
// starts and the ordinary start, each ending when the dialog closes.
#include "app.h"

#include <commctrl.h>

#include "afxdisp.h"
#include "dialog.h"
#include "res/resource.h"
#include "system_dll.h"

namespace {
// The type library compiled into the program as TYPELIB 1.
const GUID LIBID_AddonDeploy = {0x5FA3ED51, 0x827E, 0x420B, {0x83, 0x6F, 0x5D, 0x72, 0x0F, 0x9D, 0x9A, 0xE4}};
// Restart support of the restart kind only.
constexpr DWORD kRestartManagerSupportRestart = 0x01;

// The common controls' DLL is no KnownDLL and the manifest names no version
// of it, so an import would be looked for beside the program first; it comes
// from the system directory instead, and stays for the classes it registers.
void InitCommonControlsFromSystem() {
  using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  const auto init = SystemFunction<InitFn>("comctl32.dll", "InitCommonControlsEx");
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
  if (init != nullptr) init(&controls);
}
}  // namespace

BEGIN_MESSAGE_MAP(CAddonDeployApp, CWinApp)
  ON_COMMAND(ID_HELP, OnHelp)
END_MESSAGE_MAP()

CAddonDeployApp::CAddonDeployApp() : CWinApp(nullptr) {
  m_dwRestartManagerSupportFlags = kRestartManagerSupportRestart;
}

BOOL CAddonDeployApp::InitInstance() {
  InitCommonControlsFromSystem();
  CWinApp::InitInstance();

  if (!AfxOleInit()) {
    AfxMessageBox(IDS_OLE_INIT_FAILED, MB_OK);
    return FALSE;
  }
  AfxEnableControlContainer();
  // No shell tree or list controls and no profile settings: neither a shell
  // manager nor a registry key for settings has anything to do here.

  CCommandLineInfo cmdInfo;
  ParseCommandLine(cmdInfo);
  if (cmdInfo.m_bRunEmbedded || cmdInfo.m_bRunAutomated) {
    // Started for a client: when its object goes, so does the program.
    AfxOleSetUserCtrl(FALSE);
    COleObjectFactory::RegisterAll();
  } else if (cmdInfo.m_nShellCommand == CCommandLineInfo::AppUnregister) {
    COleObjectFactory::UpdateRegistryAll(FALSE);
    AfxOleUnregisterTypeLib(LIBID_AddonDeploy, 1, 0, 0);
    return FALSE;
  } else {
    // Every ordinary start registers again; outcomes change nothing.
    COleObjectFactory::UpdateRegistryAll(TRUE);
    AfxOleRegisterTypeLib(AfxGetInstanceHandle(), LIBID_AddonDeploy, nullptr, nullptr);
    if (cmdInfo.m_nShellCommand == CCommandLineInfo::AppRegister) return FALSE;
  }

  CAddonDeployDlg dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  m_pMainWnd = nullptr;
  return FALSE;
}

int CAddonDeployApp::ExitInstance() {
  AfxOleTerm(FALSE);
  return CWinApp::ExitInstance();
}
