#include "dialog.h"

#include <commctrl.h>

#include "autoproxy.h"
#include "dialog_wait.h"
#include "edition_run.h"
#include "failure_text.h"
#include "host_detect.h"

namespace {
constexpr UINT_PTR kScanTimer = 0;
constexpr UINT kScanDelayMs = 50;
}  // namespace

const CAddonDeployDlg::CorelVersionRow CAddonDeployDlg::CorelVersionTable[11] = {
    {IDC_CD9, "CorelDraw 9", 9, false, &CAddonDeployDlg::m_bCd9, &CAddonDeployDlg::m_chkCd9},
    {IDC_CD10, "CorelDraw 10", 10, false, &CAddonDeployDlg::m_bCd10, &CAddonDeployDlg::m_chkCd10},
    {IDC_CD11, "CorelDraw 11", 11, false, &CAddonDeployDlg::m_bCd11, &CAddonDeployDlg::m_chkCd11},
    {IDC_CD12, "CorelDraw 12", 12, false, &CAddonDeployDlg::m_bCd12, &CAddonDeployDlg::m_chkCd12},
    {IDC_CDX3, "CorelDraw X3", 13, false, &CAddonDeployDlg::m_bX3, &CAddonDeployDlg::m_chkX3},
    {IDC_CDX4, "CorelDraw X4", 14, false, &CAddonDeployDlg::m_bX4, &CAddonDeployDlg::m_chkX4},
    {IDC_CDX5, "CorelDraw X5", 15, false, &CAddonDeployDlg::m_bX5, &CAddonDeployDlg::m_chkX5},
    {IDC_CDX6, "CorelDraw X6", 16, false, &CAddonDeployDlg::m_bX6, &CAddonDeployDlg::m_chkX6},
    {IDC_CDX6_64, "CorelDraw X6(64Bit)", 16, true, &CAddonDeployDlg::m_bX6x64, &CAddonDeployDlg::m_chkX6x64},
    {IDC_CDX7, "CorelDraw X7", 17, false, &CAddonDeployDlg::m_bX7, &CAddonDeployDlg::m_chkX7},
    {IDC_CDX7_64, "CorelDraw X7(64Bit)", 17, true, &CAddonDeployDlg::m_bX7x64, &CAddonDeployDlg::m_chkX7x64},
};

BEGIN_MESSAGE_MAP(CAddonDeployDlg, CDialogEx)
  ON_WM_CLOSE()
  ON_WM_PAINT()
  ON_WM_QUERYDRAGICON()
  ON_BN_CLICKED(IDOK, OnInstallPlugins)
  ON_BN_CLICKED(IDCANCEL, OnCancelButton)
  ON_BN_CLICKED(IDC_CANCEL_BTN, OnCancelButton)
  ON_BN_CLICKED(IDC_CD9, OnVersionClicked)
  ON_NOTIFY(BCN_HOTITEMCHANGE, IDC_CD9, OnHotItemChangeCd9)
  ON_BN_CLICKED(IDC_CD10, OnVersionClicked)
  ON_BN_CLICKED(IDC_CD11, OnVersionClicked)
  ON_BN_CLICKED(IDC_CD12, OnVersionClicked)
  ON_BN_CLICKED(IDC_CDX3, OnVersionClicked)
  ON_BN_CLICKED(IDC_CDX4, OnVersionClicked)
  ON_BN_CLICKED(IDC_CDX5, OnVersionClicked)
  ON_BN_CLICKED(IDC_CDX6, OnVersionClicked)
  ON_WM_TIMER()
  ON_BN_CLICKED(IDC_CDX6_64, OnVersionClicked)
  ON_BN_CLICKED(IDC_CDX7, OnVersionClicked)
  ON_BN_CLICKED(IDC_CDX7_64, OnVersionClicked)
END_MESSAGE_MAP()

CAddonDeployDlg::CAddonDeployDlg(CWnd* pParent)
    : CDialogEx(IDD_ADDONDEPLOY_DIALOG, pParent), m_pAutoProxy(nullptr), m_scanDone(false) {
  m_hIcon = ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

CAddonDeployDlg::~CAddonDeployDlg() {
  // The object outlives the dialog when its client still holds it.
  if (m_pAutoProxy) m_pAutoProxy->m_pOwnerDlg = nullptr;
}

void CAddonDeployDlg::DoDataExchange(CDataExchange* pDX) {
  CDialogEx::DoDataExchange(pDX);
  DDX_Check(pDX, IDC_CD9, m_bCd9);
  DDX_Check(pDX, IDC_CD10, m_bCd10);
  DDX_Check(pDX, IDC_CD11, m_bCd11);
  DDX_Check(pDX, IDC_CD12, m_bCd12);
  DDX_Check(pDX, IDC_CDX3, m_bX3);
  DDX_Check(pDX, IDC_CDX4, m_bX4);
  DDX_Check(pDX, IDC_CDX5, m_bX5);
  DDX_Check(pDX, IDC_CDX6, m_bX6);
  DDX_Control(pDX, IDOK, m_btnInstall);
  DDX_Control(pDX, IDC_CD9, m_chkCd9);
  DDX_Control(pDX, IDC_CD10, m_chkCd10);
  DDX_Control(pDX, IDC_CD11, m_chkCd11);
  DDX_Control(pDX, IDC_CD12, m_chkCd12);
  DDX_Control(pDX, IDC_CDX3, m_chkX3);
  DDX_Control(pDX, IDC_CDX4, m_chkX4);
  DDX_Control(pDX, IDC_CDX5, m_chkX5);
  DDX_Control(pDX, IDC_CDX6, m_chkX6);
  DDX_Check(pDX, IDC_CDX6_64, m_bX6x64);
  DDX_Control(pDX, IDC_CDX6_64, m_chkX6x64);
  DDX_Check(pDX, IDC_CDX7, m_bX7);
  DDX_Control(pDX, IDC_CDX7, m_chkX7);
  DDX_Check(pDX, IDC_CDX7_64, m_bX7x64);
  DDX_Control(pDX, IDC_CDX7_64, m_chkX7x64);
}

BOOL CAddonDeployDlg::OnInitDialog() {
  CDialogEx::OnInitDialog();
  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

  // Nothing is offered until the scan has run.
  for (const CorelVersionRow& row : CorelVersionTable) {
    this->*row.tick = 0;
    (this->*row.box).EnableWindow(FALSE);
  }
  m_btnInstall.EnableWindow(FALSE);
  UpdateData(FALSE);
  // The scan waits for the first tick, so that the dialog shows first.
  SetTimer(kScanTimer, kScanDelayMs, nullptr);
  return TRUE;
}

void CAddonDeployDlg::OnTimer(UINT_PTR nIDEvent) {
  if (m_scanDone) {
    CDialogEx::OnTimer(nIDEvent);
    return;
  }
  m_scanDone = true;
  for (const CorelVersionRow& row : CorelVersionTable) {
    const bool installed = IsCorelVersionInstalled(row.majorVersion, row.is64Bit);
    this->*row.tick = installed ? 1 : 0;
    (this->*row.box).EnableWindow(installed ? TRUE : FALSE);
  }
  ApplyInstallRule();
  UpdateData(FALSE);
  CDialogEx::OnTimer(nIDEvent);
}

void CAddonDeployDlg::ApplyInstallRule() {
  bool anyTicked = false;
  for (const CorelVersionRow& row : CorelVersionTable) anyTicked = anyTicked || this->*row.tick == 1;
  m_btnInstall.EnableWindow(anyTicked ? TRUE : FALSE);
}

void CAddonDeployDlg::OnVersionClicked() {
  UpdateData(TRUE);
  ApplyInstallRule();
  UpdateData(FALSE);
}

void CAddonDeployDlg::OnInstallPlugins() {
  // The deployment's waits handle the dialog's messages: Enter, or a click
  // still queued, must not start a second one.
  if (m_deploying) return;
  m_deploying = true;
  UpdateData(TRUE);
  for (const CorelVersionRow& row : CorelVersionTable) (this->*row.box).EnableWindow(FALSE);
  // Cancel, which stays, takes the focus from the Install button.
  SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(IDC_CANCEL_BTN).m_hWnd), TRUE);
  m_btnInstall.EnableWindow(FALSE);

  m_exitCode = DeployInTableOrder(CorelVersionTable, [this](const CorelVersionRow& row) -> DWORD {
    if (this->*row.tick == 0) return ERROR_SUCCESS;
    const DWORD error = DeployRow(row);
    // Outside any wait: no box comes up inside a message the wait handled.
    if (error != ERROR_SUCCESS) {
      char text[1024];
      FailureText("Fail", error, text);
      AfxMessageBox(text, MB_OK);
    }
    return error;
  });
  m_deploying = false;
  CDialog::OnOK();
}

DWORD CAddonDeployDlg::DeployRow(const CorelVersionRow& row) {
  DialogDeployWait wait(m_hWnd, row.caption);
  m_wait = &wait;
  const DWORD error = DeployPluginError(row.majorVersion, row.is64Bit, wait);
  m_wait = nullptr;
  return error;
}

// During a deployment, Cancel (and a close request, which comes as Cancel)
// gives up only the edition being waited for, and only when it was clicked
// while that wait ran; the others still follow.
void CAddonDeployDlg::OnCancelButton() {
  if (!m_deploying) {
    CDialog::OnCancel();
    return;
  }
  if (m_wait) m_wait->Cancel(static_cast<DWORD>(::GetMessageTime()));
}

// While a client holds the automation object the program must stay: a close
// request only hides the dialog. Install and Cancel do not come this way.
// During a deployment, which ends the program when it is done, the request
// is a Cancel, so that no deployment runs on unseen.
void CAddonDeployDlg::OnClose() {
  if (m_pAutoProxy && !m_deploying) {
    ShowWindow(SW_HIDE);
    return;
  }
  CDialogEx::OnClose();
}

// The last automation client's release ends the program by destroying this
// window. During a deployment that would hide the dialog and leave the
// deployment running unseen and beyond Cancel's reach: the dialog stays, and
// the program ends when the deployment has ended.
BOOL CAddonDeployDlg::DestroyWindow() {
  if (m_deploying) return FALSE;
  return CDialogEx::DestroyWindow();
}

void CAddonDeployDlg::OnHotItemChangeCd9(NMHDR*, LRESULT* pResult) { *pResult = 0; }

void CAddonDeployDlg::OnPaint() {
  if (IsIconic())
    PaintMinimizedIcon(m_hIcon);
  else
    CDialogEx::OnPaint();
}

HCURSOR CAddonDeployDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }
