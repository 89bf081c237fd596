// The installer's dialog: one plotter model, the printer ports, Install and
// Delete, and the progress animation while either runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "afxwin.h"
#include "handles.h"
#include "outcome.h"
#include "package.h"
#include "package_machine.h"
#include "res/resource.h"
#include "run_log.h"
#include "silent_switches.h"
#include "spooler.h"

class CPLOTINSTDlg : public CDialog {
 public:
  explicit CPLOTINSTDlg(CWnd* pParent = nullptr);
  ~CPLOTINSTDlg() override;

  BOOL DestroyWindow() override;

  // 1 when the spooler has a printer driver of exactly this name in an
  // environment removal looks in; 0 also when it refuses to list its drivers.
  static int IsDriverInstalled(const char* name);
  // Whether the spooler has a printer driver of exactly this name in one of
  // the environments removal looks in: 0, or the spooler's refusal to list.
  static DWORD FindDriver(const char* name, bool& installed);
  // The same in one environment (null: the caller's).
  static DWORD FindDriverIn(const char* environment, const char* name, bool& installed);
  // Enables Install or Delete (and the port list) by whether the model is installed.
  void RefreshButtons();

  // The number of the plugged-in plotter's USB printer port, or -1.
  static int FindPlotterUsbPort();
  // That port's name as the spooler lists it, or empty when no plotter is found.
  static void PlotterUsbPortName(char (&name)[255]);
  // The spooler's ports that the list offers, in the spooler's order, and
  // the one to preselect: the port named usbPortName, else the first.
  struct PortList {
    spooler::Records<PORT_INFO_1A> ports;
    std::vector<const char*> names;  // in the records
    int selected = 0;
  };
  // 0, or the spooler's refusal to list its ports.
  static DWORD ListPorts(const char* usbPortName, PortList& list);
  void FillPortList();
  void OnPortChanged();
  void OnConfig();
  // Gives a serial port the plotter's settings, 38400 baud, odd parity, 8
  // data bits, 1 stop bit. 0 or the registry's error.
  static LONG WriteDefaultComSettings(const char* portName);

  void OnInstall();
  void OnDelete();
  // A click on Install or Delete: carried out here, or, without
  // administrator rights, by one elevated start of this program.
  void OnInstallClicked();
  void OnDeleteClicked();
  // Asks the system once to start this program elevated for the click's
  // course with the chosen model and port, shows the animation while it
  // runs and its outcome as the click's own.
  void ClickWithElevation(SilentCourse course);
  // Install and Delete need an elevation request first (and show the shield).
  bool m_needsRights = false;
  // Unscrambles a package file into a driver file. False, with no file left
  // at the destination and the failed call's error as the last error, when
  // the source cannot be read whole or the destination cannot be written.
  static bool UnscrambleCopy(const char* source, const char* destination);

  // What the steps of an Install or a Delete came to: 0, 3010 when a
  // restart finishes them, or the Win32 error of the first step that
  // failed; whether the step that decides the dialog's message (the printer
  // added, the driver removed) succeeded; whether anything was changed.
  struct StepsResult {
    DWORD error = ERROR_SUCCESS;
    bool succeeded = false;
    bool changed = false;
    void Note(DWORD stepError) { error = MergeOutcome(error, stepError); }
  };
  // The steps of Install and of Delete, touching no window, so that the
  // dialog and the unattended courses share them; each goes to the log.
  // Install refuses a package whose driver does not fit the system before
  // any step, with 216, and otherwise installs for the package's environment.
  static StepsResult InstallModel(const char* model, const ModelFiles* files, const char* port, bool comDefaults,
                                  const PackageFit& fit, RunLog& log);
  // Install's last step: the printer of the model's name on the port, with
  // its data; succeeded once it is added.
  static void AddModelPrinter(const char* model, const char* port, StepsResult& result, RunLog& log);
  static StepsResult RemoveModel(const char* model, const ModelFiles* files, RunLog& log);
  // The last step of Delete, for each environment removal looks in: the
  // model's files in its driver directory and the subfolder 3, and
  // plotsvc.dll, each unless a driver of that environment other than the
  // model's or a port monitor names it. A file the system still holds is
  // deleted at the next restart.
  static void RemoveDriverFiles(const char* model, const ModelFiles& files, StepsResult& result, RunLog& log);
  static void RemoveDriverFilesIn(const char* environment, const char* model, const ModelFiles& files,
                                  StepsResult& result, RunLog& log);

  // The result of the last Install or Delete; cancelled while there was none.
  DWORD m_exitCode = ERROR_CANCELLED;

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
  // The selected model's name and its package files (null when none is selected).
  const ModelFiles* SelectedModel(char (&model)[256]);
  // Ends Install or Delete: the animation stopped, the result kept for the
  // exit code and shown in its box.
  void ShowOutcome(const StepsResult& result, const char* failText, const char* successText);

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
  // Maps the frames' place from the template's font at 96 dpi through the dialog's units.
  void PlaceAnimation();
  // Asks the animation thread to end and waits up to waitMs. True when no thread runs.
  bool EndAnimationThread(DWORD waitMs);

  DECLARE_MESSAGE_MAP()
};
