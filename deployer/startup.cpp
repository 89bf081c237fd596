// The courses of the deployer's process: registration switches, automation
// starts and the ordinary start, each ending when the dialog closes.
#include "app.h"

#include <commctrl.h>

#include "afxdisp.h"
#include "dialog.h"
#include "registration.h"
#include "res/resource.h"
#include "silent.h"
#include "system_dll.h"
#include "win32_error.h"

namespace {
// Shown for /? and /help, where administrators look first; docs/unattended.md has the rest.
constexpr char kUsage[] =
    "AddonDeploy.exe  opens the dialog.\n"
    "AddonDeploy.exe /Install [/Log FILE]  installs the plug-in into every registered edition, no window.\n"
    "AddonDeploy.exe /Delete [/Log FILE]  removes it, no window.\n"
    "AddonDeploy.exe /RegServer, /UnregServer  registers or removes its COM server.\n"
    "/Log FILE appends one line per step.\n\n"
    "Exit codes: 0 done; 1605 no edition registered; 87 malformed command line; "
    "1223 dialog closed; other: the Windows error of the first edition that failed.";

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

  CSilentCommandLineInfo cmdInfo(true, false);
  ParseCommandLine(cmdInfo);
  const bool automated = cmdInfo.m_bRunEmbedded || cmdInfo.m_bRunAutomated;
  // The usage changes nothing, not even the registration of an ordinary start.
  if (!automated && cmdInfo.m_nShellCommand == CCommandLineInfo::FileNew && cmdInfo.m_silent.Help()) {
    AfxMessageBox(kUsage, MB_OK | MB_ICONINFORMATION);
    return FALSE;
  }
  // The automation and registration switches come first, as they always have.
  const bool silent =
      !automated && cmdInfo.m_nShellCommand == CCommandLineInfo::FileNew && cmdInfo.m_silent.Requested();

  if (!AfxOleInit()) {
    m_exitCode = LastErrorOr(ERROR_DLL_INIT_FAILED);
    if (!silent) AfxMessageBox(IDS_OLE_INIT_FAILED, MB_OK);
    return FALSE;
  }
  AfxEnableControlContainer();
  // No shell tree or list controls and no profile settings: neither a shell
  // manager nor a registry key for settings has anything to do here.

  if (automated) {
    // Started for a client: when its object goes, so does the program.
    AfxOleSetUserCtrl(FALSE);
    COleObjectFactory::RegisterAll();
  } else if (cmdInfo.m_nShellCommand == CCommandLineInfo::AppUnregister) {
    m_exitCode = RemoveRegistration();
    return FALSE;
  } else if (cmdInfo.m_nShellCommand == CCommandLineInfo::AppRegister) {
    m_exitCode = WriteRegistration();
    return FALSE;
  } else if (silent) {
    m_exitCode = cmdInfo.m_silent.Course() == SilentCourse::Delete ? RunSilentDelete(cmdInfo.m_silent)
                                                                   : RunSilentInstall(cmdInfo.m_silent);
    return FALSE;
  } else {
    // Every ordinary start registers again; its outcome changes nothing.
    WriteRegistration();
  }

  CAddonDeployDlg dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  m_pMainWnd = nullptr;
  m_exitCode = dlg.m_exitCode;
  return FALSE;
}

int CAddonDeployApp::ExitInstance() {
  AfxOleTerm(FALSE);
  const int quitCode = CWinApp::ExitInstance();
  return m_exitCode != ERROR_SUCCESS ? static_cast<int>(m_exitCode) : quitCode;
}
