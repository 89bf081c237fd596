// Thin window and dialog wrappers: the Win32 call stays visible at each use.
#pragma once

#include <windows.h>

#include "cmdtarget.h"

class CWnd;

// One exchange between a dialog's controls and its members: into the members
// when saving, onto the controls otherwise.
class CDataExchange {
 public:
  CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) : m_pDlgWnd(pDlgWnd), m_bSaveAndValidate(bSaveAndValidate) {}
  CWnd* m_pDlgWnd;
  BOOL m_bSaveAndValidate;
};

class CWnd : public CCmdTarget {
 public:
  CWnd() = default;
  explicit CWnd(HWND hWnd) : m_hWnd(hWnd) {}

  // A wrapper of the child window, by value: it owns nothing.
  CWnd GetDlgItem(int nID) const { return CWnd(::GetDlgItem(m_hWnd, nID)); }
  int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
  BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
  BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
  BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
  void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
  LRESULT SendMessage(UINT msg, WPARAM w = 0, LPARAM l = 0) { return ::SendMessageA(m_hWnd, msg, w, l); }
  UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer) {
    return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer);
  }
  // Runs DoDataExchange: controls into members when bSaveAndValidate, else back.
  BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
  // Owned by this window; with no caption, the application's name stands as title.
  int MessageBox(const char* text, const char* caption = nullptr, UINT type = MB_OK);

  virtual BOOL DestroyWindow();

  HWND m_hWnd = nullptr;

 protected:
  // Leaves the message being handled to the system's default processing.
  void Default() { m_defaultWanted = true; }
  // Default processing of the message being handled, run now, its result returned.
  LRESULT DefWindowProcNow();

  virtual void DoDataExchange(CDataExchange*) {}

  HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
  // Paints a minimised window: the icon centred in the client area.
  void PaintMinimizedIcon(HICON icon);
  void OnPaint() { Default(); }
  void OnClose() { Default(); }
  void OnTimer(UINT_PTR) { Default(); }

  // The message being dispatched, for Default processing.
  MSG m_currentMsg{};
  bool m_defaultWanted = false;

  friend class CDialog;
};

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr)
      : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}
  ~CDialog() override;

  // Runs the dialog modally; returns the value EndDialog was given, or -1.
  virtual INT_PTR DoModal();
  // Creates the dialog modeless (component tests host it in their own process).
  BOOL Create(CWnd* pParentWnd = nullptr);
  virtual BOOL OnInitDialog();
  void EndDialog(int nResult) { ::EndDialog(m_hWnd, nResult); }
  // A modal dialog's window is ended through its modal loop, which then
  // returns from DoModal; a modeless one is destroyed at once.
  BOOL DestroyWindow() override;

 protected:
  virtual void OnOK();
  virtual void OnCancel();

  UINT m_nIDTemplate;
  CWnd* m_pParentWnd;

 private:
  bool m_modal = false;
  static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()
};

// The dialog look of the newer framework; nothing of it differs here.
class CDialogEx : public CDialog {
 public:
  using CDialog::CDialog;
};

// A button or check box; the programs only enable and disable them.
class CButton : public CWnd {};

// A check box's state: BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE.
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);
// Attaches a control member to its control; only the first exchange attaches.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
