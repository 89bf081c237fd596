#include "app.h"

#include "dialog.h"
#include "res/resource.h"
#include "switch_scan.h"

CPLOTINSTApp theApp;
CPLOTINSTModule _Module;

namespace {
// The installer offers no COM class; the table is empty.
ATL_OBJMAP_ENTRY ObjectMap[] = {{nullptr, nullptr, nullptr, 0}};
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
  if (!InitComServer()) return FALSE;
  AfxEnableControlContainer();

  CCommandLineInfo cmdInfo;
  ParseCommandLine(cmdInfo);
  // Started by COM: stay in the message loop without a window.
  if (cmdInfo.m_bRunEmbedded || cmdInfo.m_bRunAutomated) return TRUE;

  CPLOTINSTDlg dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  m_pMainWnd = nullptr;
  return FALSE;
}

BOOL CPLOTINSTApp::InitComServer() {
  m_comActive = TRUE;
  if (FAILED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
    m_comActive = FALSE;
    return FALSE;
  }
  _Module.Init(ObjectMap, m_hInstance);

  const ServerSwitch serverSwitch = FindServerSwitch(::GetCommandLineA());
  if (serverSwitch != ServerSwitch::None) {
    // Outcomes are not reported: the program ends the same way.
    if (serverSwitch == ServerSwitch::Unregister) {
      _Module.UpdateRegistryFromResource(IDR_PLOTINST, FALSE);
      _Module.UnregisterServer(TRUE);
    } else {
      _Module.UpdateRegistryFromResource(IDR_PLOTINST, TRUE);
      _Module.RegisterServer(TRUE);
    }
    m_comActive = FALSE;
    _Module.Term();
    ::CoUninitialize();
    return FALSE;
  }

  if (FAILED(_Module.RegisterClassObjects(CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE))) {
    m_comActive = FALSE;
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
  return CWinApp::ExitInstance();
}
