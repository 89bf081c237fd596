// The installer's dialog: one plotter model, the printer ports, Install and
// Delete, and the progress animation while either runs.
#pragma once

#include <atomic>
#include <cstdint>

#include "afxwin.h"
#include "handles.h"
#include "res/resource.h"

class CPLOTINSTDlg : public CDialog {
 public:
  explicit CPLOTINSTDlg(CWnd* pParent = nullptr);
  ~CPLOTINSTDlg() override;

  BOOL DestroyWindow() override;

  // 1 when the spooler has a printer driver of exactly this name.
  int IsDriverInstalled(const char* name);
  // Enables Install or Delete (and the port list) by whether the model is installed.
  void RefreshButtons();

  // The number of the plugged-in plotter's USB printer port, or -1.
  int FindPlotterUsbPort();
  void FillPortList();
  void OnPortChanged();
  void OnConfig();
  // Gives a serial port the plotter's settings, 38400 baud, odd parity, 8 data bits, 1 stop bit.
  void WriteDefaultComSettings(const char* portName);

  void OnInstall();
  void OnDelete();
  // Unscrambles a package file into a driver file. False, with no file left
  // at the destination, when the source cannot be read whole or the
  // destination cannot be written.
  bool UnscrambleCopy(const char* source, const char* destination);

  // Plays the installation or removal frames (by m_removing) on a worker thread.
  HANDLE StartAnimation();
  // Ends the animation and blanks its area.
  void StopAnimation();
  static DWORD WINAPI AnimationThreadProc(LPVOID param);
  void AnimationLoop();
  // Draws one frame's bitmap at the animation's place, stretched to its size.
  void DrawFrame(HDC dc, int resourceId) const;

 protected:
  BOOL OnInitDialog() override;
  HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
  void OnPaint();
  HCURSOR OnQueryDragIcon();
  // The animation thread reads this dialog: it never outlives the window.
  void OnDestroy();

  // Text of the selected entry of a combo box, empty when there is none or
  // when the entry would not fit.
  void GetSelectedText(int comboId, char (&text)[256]);

  HANDLE m_animThread = nullptr;
  HICON m_hIcon;
  std::atomic<int32_t> m_portConfigured;
  std::atomic<int32_t> m_frameBusy;
  std::atomic<int32_t> m_stopRequested;
  std::atomic<int32_t> m_removing;
  CFont m_titleFont;
  char m_usbPortName[255];
  // Cuts the animation thread's pause between frames short on a stop request.
  UniqueKernelHandle m_stopSignal;
  // Where the frames go in the client area at the dialog's scaling; set in
  // OnInitDialog, before any animation thread reads it.
  RECT m_frameRect = {};

 private:
  // Widens the title, and the dialog with it, where its text would wrap.
  void FitTitle();
  // Scales the frames' place from the template's font at 96 dpi to the dialog's.
  void PlaceAnimation();
  // Asks the animation thread to end and waits up to waitMs. True when no thread runs.
  bool EndAnimationThread(DWORD waitMs);

  DECLARE_MESSAGE_MAP()
};
