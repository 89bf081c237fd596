#include "dialog.h"

#include <commctrl.h>

#include <cstring>

#include "elevation.h"
#include "failure_text.h"
#include "spooler.h"

namespace {
constexpr COLORREF kTitleColour = RGB(0, 0, 255);
// Dialog units between the title's right end and the dialog's, as laid out.
constexpr int kTitleRightMargin = 219 - (16 + 195);
}  // namespace

BEGIN_MESSAGE_MAP(CPLOTINSTDlg, CDialog)
  ON_WM_PAINT()
  ON_WM_QUERYDRAGICON()
  ON_WM_CTLCOLOR()
  ON_WM_DESTROY()
  ON_BN_CLICKED(IDC_INSTALL, OnInstallClicked)
  ON_BN_CLICKED(IDC_DELETE, OnDeleteClicked)
  ON_BN_CLICKED(IDC_CONFIG, OnConfig)
  ON_CBN_SELCHANGE(IDC_MODEL, RefreshButtons)
  ON_CBN_SELCHANGE(IDC_PORT, OnPortChanged)
END_MESSAGE_MAP()

CPLOTINSTDlg::CPLOTINSTDlg(CWnd* pParent) : CDialog(IDD_PLOTINST_DIALOG, pParent) {
  m_hIcon = AfxGetApp() ? AfxGetApp()->LoadIcon(IDR_MAINFRAME)
                        : ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
  m_titleFont.CreatePointFont(250, "Times New Roman");
}

CPLOTINSTDlg::~CPLOTINSTDlg() {
  // A window the base class destroys no longer reaches OnDestroy.
  EndAnimationThread(INFINITE);
  m_titleFont.DeleteObject();
}

BOOL CPLOTINSTDlg::DestroyWindow() { return CDialog::DestroyWindow(); }

BOOL CPLOTINSTDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  // Some static controls select their own font after asking for colours, so
  // the title is also given its font directly.
  GetDlgItem(IDC_TITLE).SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(m_titleFont.m_hObject), FALSE);
  FitTitle();
  PlaceAnimation();

  CWnd model = GetDlgItem(IDC_MODEL);
  model.SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kModelName));
  model.SendMessage(CB_SETCURSEL, 0);

  m_needsRights = !HoldsAdministratorRights();
  if (m_needsRights) {
    Button_SetElevationRequiredState(::GetDlgItem(m_hWnd, IDC_INSTALL), TRUE);
    Button_SetElevationRequiredState(::GetDlgItem(m_hWnd, IDC_DELETE), TRUE);
  }

  PlotterUsbPortName(m_usbPortName);
  FillPortList();
  RefreshButtons();
  return TRUE;
}

// The title's font grows with the dpi, the dialog with its own font, whose
// pixel sizes round differently: at some scalings the title would wrap. It is
// widened to its text then, and the dialog with it, keeping the right margin.
void CPLOTINSTDlg::FitTitle() {
  HWND title = ::GetDlgItem(m_hWnd, IDC_TITLE);
  char text[64];
  const int length = ::GetWindowTextA(title, text, sizeof text);
  CClientDC dc(this);
  HGDIOBJ previous = ::SelectObject(dc, m_titleFont.m_hObject);
  SIZE need{};
  const bool measured = previous != nullptr && ::GetTextExtentPoint32A(dc, text, length, &need);
  if (previous != nullptr) ::SelectObject(dc, previous);
  RECT box;
  ::GetWindowRect(title, &box);
  ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&box), 2);
  const int grow = need.cx - (box.right - box.left);
  if (!measured || grow <= 0) return;
  ::SetWindowPos(title, nullptr, 0, 0, need.cx, box.bottom - box.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT client, frame;
  GetClientRect(&client);
  ::GetWindowRect(m_hWnd, &frame);
  RECT margin = {0, 0, kTitleRightMargin, 0};
  ::MapDialogRect(m_hWnd, &margin);
  const int wider = box.left + need.cx + margin.right - client.right;
  if (wider > 0)
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, frame.right - frame.left + wider, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int CPLOTINSTDlg::IsDriverInstalled(const char* name) {
  bool installed = false;
  return FindDriver(name, installed) == ERROR_SUCCESS && installed ? 1 : 0;
}

DWORD CPLOTINSTDlg::FindDriver(const char* name, bool& installed) {
  const Environments environments = RemovalEnvironments(SystemMachine());
  for (int i = 0; i < environments.count; ++i)
    if (const DWORD error = FindDriverIn(environments.names[i], name, installed); error != ERROR_SUCCESS || installed)
      return error;
  return ERROR_SUCCESS;
}

DWORD CPLOTINSTDlg::FindDriverIn(const char* environment, const char* name, bool& installed) {
  installed = false;
  const spooler::Records<DRIVER_INFO_1A> drivers = spooler::EnumDrivers(environment);
  for (const DRIVER_INFO_1A& driver : drivers) {
    if (driver.pName != nullptr && std::strcmp(driver.pName, name) == 0) installed = true;
  }
  return drivers.Error();
}

void CPLOTINSTDlg::RefreshButtons() {
  char model[256];
  GetSelectedText(IDC_MODEL, model);
  if (IsDriverInstalled(model) == 1) {
    GetDlgItem(IDC_INSTALL).EnableWindow(FALSE);
    GetDlgItem(IDC_DELETE).EnableWindow(TRUE);
    GetDlgItem(IDC_PORT).EnableWindow(FALSE);
    GetDlgItem(IDC_CONFIG).EnableWindow(FALSE);
  } else {
    GetDlgItem(IDC_INSTALL).EnableWindow(TRUE);
    GetDlgItem(IDC_DELETE).EnableWindow(FALSE);
    GetDlgItem(IDC_PORT).EnableWindow(TRUE);
    OnPortChanged();
  }
}

HBRUSH CPLOTINSTDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
  HBRUSH brush = CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
  if (pWnd->GetDlgCtrlID() == IDC_TITLE) {
    pDC->SelectObject(&m_titleFont);
    pDC->SetTextColor(kTitleColour);
  }
  return brush;
}

void CPLOTINSTDlg::OnPaint() {
  if (IsIconic())
    PaintMinimizedIcon(m_hIcon);
  else
    CDialog::OnPaint();
}

const ModelFiles* CPLOTINSTDlg::SelectedModel(char (&model)[256]) {
  GetSelectedText(IDC_MODEL, model);
  return ModelFilesAt(static_cast<long>(GetDlgItem(IDC_MODEL).SendMessage(CB_GETCURSEL)));
}

void CPLOTINSTDlg::ShowOutcome(const StepsResult& result, const char* failText, const char* successText) {
  m_exitCode = result.error;
  StopAnimation();
  if (!result.succeeded) {
    char text[1024];
    FailureText(failText, result.error, text);
    MessageBox(text);
    return;
  }
  MessageBox(successText);
  RefreshButtons();
}

HCURSOR CPLOTINSTDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

void CPLOTINSTDlg::GetSelectedText(int comboId, char (&text)[256]) {
  text[0] = '\0';
  CWnd combo = GetDlgItem(comboId);
  const LRESULT index = combo.SendMessage(CB_GETCURSEL);
  if (index == CB_ERR) return;
  // An entry longer than the buffer is never copied; it counts as no text.
  const LRESULT length = combo.SendMessage(CB_GETLBTEXTLEN, index);
  if (length == CB_ERR || length < 0 || length >= static_cast<LRESULT>(sizeof text)) return;
  if (combo.SendMessage(CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text)) == CB_ERR) text[0] = '\0';
}
