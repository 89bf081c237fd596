// The plug-in setup dialog: one check box per host edition, ticked for the
// editions registered here, and Install and Cancel.
#pragma once

#include "afxwin.h"
#include "res/resource.h"

class CAddonDeployDlgAutoProxy;
class DialogDeployWait;

class CAddonDeployDlg : public CDialogEx {
 public:
  explicit CAddonDeployDlg(CWnd* pParent = nullptr);
  ~CAddonDeployDlg() override;
  BOOL DestroyWindow() override;

  // One host edition: its box, its arguments to the host functions, and the
  // members the box is exchanged with.
  struct CorelVersionRow {
    int controlId;
    const char* caption;
    int majorVersion;
    bool is64Bit;
    BOOL CAddonDeployDlg::*tick;
    CButton CAddonDeployDlg::*box;
  };
  // In the order of scanning and of deployment.
  static const CorelVersionRow CorelVersionTable[11];

  CAddonDeployDlgAutoProxy* m_pAutoProxy;
  // Install's outcome: 0 when every ticked edition deployed, else the error
  // of the first that failed; cancelled while Install has not run.
  DWORD m_exitCode = ERROR_CANCELLED;
  HICON m_hIcon;
  BOOL m_bCd9 = 0, m_bCd10 = 0, m_bCd11 = 0, m_bCd12 = 0, m_bX3 = 0, m_bX4 = 0, m_bX5 = 0, m_bX6 = 0;
  CButton m_btnInstall;
  CButton m_chkCd9, m_chkCd10, m_chkCd11, m_chkCd12, m_chkX3, m_chkX4, m_chkX5, m_chkX6;
  bool m_scanDone;
  BOOL m_bX6x64 = 0;
  CButton m_chkX6x64;
  BOOL m_bX7 = 0;
  CButton m_chkX7;
  BOOL m_bX7x64 = 0;
  CButton m_chkX7x64;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;

  void OnClose();
  void OnPaint();
  HCURSOR OnQueryDragIcon();
  void OnInstallPlugins();
  void OnCancelButton();
  void OnVersionClicked();
  void OnHotItemChangeCd9(NMHDR* pNMHDR, LRESULT* pResult);
  void OnTimer(UINT_PTR nIDEvent);

 private:
  // Install is enabled exactly while some box is ticked.
  void ApplyInstallRule();
  // 0 when the edition deployed, else the error of the step that failed.
  DWORD DeployRow(const CorelVersionRow& row);

  // From Install until its last edition is done; the wait of the edition
  // being deployed, while DeployPlugin runs.
  bool m_deploying = false;
  DialogDeployWait* m_wait = nullptr;

  DECLARE_MESSAGE_MAP()
};
