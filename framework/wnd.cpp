#include "wnd.h"

#include <commctrl.h>

#include "gdi.h"
#include "winapp.h"

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, AfxSig_end, nullptr}};
  static const AFX_MSGMAP map = {nullptr, entries};
  return &map;
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT message, UINT code, UINT id) const {
  for (const AFX_MSGMAP* map = GetMessageMap(); map != nullptr;
       map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->nSig != AfxSig_end; ++e) {
      if (e->nMessage == message && e->nCode == code && e->nID == id) return e;
    }
  }
  return nullptr;
}

int CWnd::MessageBox(const char* text, const char* caption, UINT type) {
  return ::MessageBoxA(m_hWnd, text, caption ? caption : AfxGetAppName(), type);
}

BOOL CWnd::DestroyWindow() { return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE; }

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
  CDataExchange dx(this, bSaveAndValidate);
  DoDataExchange(&dx);
  return TRUE;
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value) {
  HWND control = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, nIDC);
  if (pDX->m_bSaveAndValidate) {
    value = static_cast<int>(::SendMessageA(control, BM_GETCHECK, 0, 0));
  } else {
    // Anything but the three states would leave the box in an undefined look.
    if (value < BST_UNCHECKED || value > BST_INDETERMINATE) value = BST_UNCHECKED;
    ::SendMessageA(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
  }
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
  if (rControl.m_hWnd == nullptr) rControl.m_hWnd = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, nIDC);
}

LRESULT CWnd::DefWindowProcNow() {
  return ::DefWindowProcA(m_hWnd, m_currentMsg.message, m_currentMsg.wParam, m_currentMsg.lParam);
}

void CWnd::PaintMinimizedIcon(HICON icon) {
  CPaintDC dc(this);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
  const int cxIcon = ::GetSystemMetrics(SM_CXICON);
  const int cyIcon = ::GetSystemMetrics(SM_CYICON);
  RECT rect;
  GetClientRect(&rect);
  const int x = (rect.right - rect.left - cxIcon + 1) / 2;
  const int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
  ::DrawIcon(dc, x, y, icon);
}

HBRUSH CWnd::OnCtlColor(CDC*, CWnd*, UINT) {
  // The system's default colours and brush for this kind of control.
  return reinterpret_cast<HBRUSH>(DefWindowProcNow());
}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
  ON_COMMAND(IDOK, OnOK)
  ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::~CDialog() {
  if (!m_modal && m_hWnd) ::DestroyWindow(m_hWnd);
}

INT_PTR CDialog::DoModal() {
  m_modal = true;
  HWND parent = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
  return ::DialogBoxParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), parent, DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

BOOL CDialog::Create(CWnd* pParentWnd) {
  if (pParentWnd) m_pParentWnd = pParentWnd;
  HWND parent = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
  return ::CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), parent, DialogProc,
                              reinterpret_cast<LPARAM>(this)) != nullptr;
}

BOOL CDialog::DestroyWindow() {
  if (m_modal && m_hWnd) {
    EndDialog(IDABORT);
    return TRUE;
  }
  return CWnd::DestroyWindow();
}

// Control members are attached and filled before the derived class sets them up.
BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  UpdateData(TRUE);
  if (m_modal) EndDialog(IDOK);
  else DestroyWindow();
}

void CDialog::OnCancel() {
  if (m_modal) EndDialog(IDCANCEL);
  else DestroyWindow();
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<CDialog*>(lParam);
    ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
    self->m_hWnd = hWnd;
    return self->OnInitDialog();
  }
  auto* self = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
  if (self == nullptr) return FALSE;  // messages before WM_INITDIALOG
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrA(hWnd, DWLP_USER, 0);
    self->m_hWnd = nullptr;
    return FALSE;
  }
  return self->Dispatch(message, wParam, lParam);
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  UINT mapMessage = message, code = 0, id = 0;
  if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
    mapMessage = WM_CTLCOLOR;
  } else if (message == WM_COMMAND) {
    code = HIWORD(wParam);
    id = LOWORD(wParam);
  } else if (message == WM_NOTIFY) {
    const auto* nm = reinterpret_cast<const NMHDR*>(lParam);
    code = nm->code;
    id = static_cast<UINT>(nm->idFrom);
  }
  const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(mapMessage, code, id);
  if (entry == nullptr) return FALSE;

  // Handlers may run modal loops that dispatch further messages to us.
  const MSG outerMsg = m_currentMsg;
  const bool outerDefault = m_defaultWanted;
  m_currentMsg = MSG{m_hWnd, message, wParam, lParam, 0, {}};
  m_defaultWanted = false;

  INT_PTR result = TRUE;
  switch (entry->nSig) {
    case AfxSig_v:
      (this->*entry->pfn)();
      break;
    case AfxSig_CtlColor: {
      auto pfn = reinterpret_cast<HBRUSH (CCmdTarget::*)(CDC*, CWnd*, UINT)>(entry->pfn);
      CDC dc(reinterpret_cast<HDC>(wParam));
      CWnd control(reinterpret_cast<HWND>(lParam));
      result = reinterpret_cast<INT_PTR>((this->*pfn)(&dc, &control, message - WM_CTLCOLORMSGBOX));
      break;
    }
    case AfxSig_Cursor: {
      auto pfn = reinterpret_cast<HCURSOR (CCmdTarget::*)()>(entry->pfn);
      result = reinterpret_cast<INT_PTR>((this->*pfn)());
      break;
    }
    case AfxSig_Timer: {
      auto pfn = reinterpret_cast<void (CCmdTarget::*)(UINT_PTR)>(entry->pfn);
      (this->*pfn)(wParam);
      break;
    }
    case AfxSig_Notify: {
      auto pfn = reinterpret_cast<void (CCmdTarget::*)(NMHDR*, LRESULT*)>(entry->pfn);
      LRESULT notifyResult = 0;
      (this->*pfn)(reinterpret_cast<NMHDR*>(lParam), &notifyResult);
      if (m_hWnd) ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, notifyResult);
      break;
    }
    case AfxSig_end:
      break;
  }
  const bool wantDefault = m_defaultWanted;
  m_currentMsg = outerMsg;
  m_defaultWanted = outerDefault;
  return wantDefault ? FALSE : result;
}
