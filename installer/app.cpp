#include "app.h"

#include "controls_context.h"
#include "dialog.h"
#include "elevation.h"
#include "res/resource.h"
#include "silent.h"
#include "switch_scan.h"
#include "win32_error.h"

CPLOTINSTApp theApp;
CPLOTINSTModule _Module;

namespace {
// The installer offers no COM class; the table is empty.
ATL_OBJMAP_ENTRY ObjectMap[] = {{nullptr, nullptr, nullptr, 0}};

// Shown for /? and /help, where administrators look first; docs/unattended.md has the rest.
constexpr char kUsage[] =
    "PLOTINST.exe  opens the dialog.\n"
    "PLOTINST.exe /Install [/Port NAME] [/Log FILE]  installs the printer driver, no window.\n"
    "PLOTINST.exe /Delete [/Log FILE]  removes it, no window.\n"
    "/Log FILE appends one line per step.\n\n"
    "Exit codes: 0 done or nothing to do; 3010 done, a restart finishes it; "
    "350 restart first; 87 malformed command line; 1796 no such port; "
    "1223 dialog closed; 740 not elevated; other: the Windows error of the failed step.";
}  // namespace

LONG CPLOTINSTModule::Lock() {
  AfxOleLockApp();
  return 1;
}

LONG CPLOTINSTModule::Unlock() {
  AfxOleUnlockApp();
  return 0;
}

BEGIN_MESSAGE_MAP(CPLOTINSTApp, CWinApp)
  ON_COMMAND(ID_HELP, OnHelp)
END_MESSAGE_MAP()

BOOL CPLOTINSTApp::InitInstance() {
  // Started by the dialog's elevation request: that click only, before any
  // other switch could be read into its values.
  if (RunRelaunchedClick(::GetCommandLineW(), m_exitCode)) return FALSE;
  if (!InitComServer()) return FALSE;
  AfxEnableControlContainer();

  CSilentCommandLineInfo cmdInfo(true, true);
  ParseCommandLine(cmdInfo);
  // Started by COM: stay in the message loop without a window.
  if (cmdInfo.m_bRunEmbedded || cmdInfo.m_bRunAutomated) return TRUE;
  if (cmdInfo.m_silent.Help()) {
    AfxMessageBox(kUsage, MB_OK | MB_ICONINFORMATION);
    return FALSE;
  }
  if (cmdInfo.m_silent.Requested()) {
    m_exitCode = RunSilentCourse(cmdInfo.m_silent);
    return FALSE;
  }

  // The shield on Install and Delete is drawn only by these controls.
  const ControlsContext controls(IDR_CONTROLS_MANIFEST);
  CPLOTINSTDlg dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  m_pMainWnd = nullptr;
  m_exitCode = dlg.m_exitCode;
  return FALSE;
}

BOOL CPLOTINSTApp::InitComServer() {
  m_comActive = TRUE;
  const HRESULT init = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (FAILED(init)) {
    m_comActive = FALSE;
    m_exitCode = Win32FromHResult(init);
    return FALSE;
  }
  _Module.Init(ObjectMap, m_hInstance);

  const ServerSwitch serverSwitch = FindServerSwitch(::GetCommandLineW());
  if (serverSwitch == ServerSwitch::WithCourse) {
    // Registration or a course, never both: a line asking for both is malformed.
    m_exitCode = ERROR_INVALID_PARAMETER;
  } else if (serverSwitch != ServerSwitch::None) {
    // The exit status is the script's outcome. The server entries are those
    // of an empty class table, and the type library the installer does not
    // have: their step can only fail for that.
    const BOOL registering = serverSwitch == ServerSwitch::Register;
    m_exitCode = Win32FromHResult(_Module.UpdateRegistryFromResource(IDR_PLOTINST, registering));
    if (registering)
      _Module.RegisterServer(TRUE);
    else
      _Module.UnregisterServer(TRUE);
  }
  if (serverSwitch != ServerSwitch::None) {
    m_comActive = FALSE;
    _Module.Term();
    ::CoUninitialize();
    return FALSE;
  }

  const HRESULT classes = _Module.RegisterClassObjects(CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE);
  if (FAILED(classes)) {
    m_comActive = FALSE;
    m_exitCode = Win32FromHResult(classes);
    ::CoUninitialize();
    return FALSE;
  }
  return TRUE;
}

int CPLOTINSTApp::ExitInstance() {
  if (m_comActive) {
    _Module.RevokeClassObjects();
    _Module.Term();
    ::CoUninitialize();
    m_comActive = FALSE;
  }
  const int quitCode = CWinApp::ExitInstance();
  return m_exitCode != ERROR_SUCCESS ? static_cast<int>(m_exitCode) : quitCode;
}
