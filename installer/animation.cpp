// The progress animation: a worker thread draws three frames in turn into the
// dialog while Install or Delete holds the user-interface thread.
//
// The thread is never killed from outside (a thread killed inside a drawing
// call can leave the window system locked): StopAnimation raises the stop
// flag and the signal, and the thread ends by itself between two frames.
//
// The frames' place is given in pixels of the template's font at 96 dpi,
// where a dialog unit is 1.5 pixels. It is kept in dialog units, as the
// controls are, so it follows the dialog's font and scaling wherever the
// controls go: at another dpi, and with a font of other metrics.
#include "dialog.h"

namespace {

constexpr RECT kFrameAt96 = {175, 160, 175 + 122, 160 + 48};
// Pixels per 4 horizontal and 8 vertical dialog units of the template's font
// at 96 dpi: its base units.
constexpr int kBaseXAt96 = 6, kBaseYAt96 = 12;

constexpr DWORD kFramePauseMs = 300;
// A frame is drawn in milliseconds; a thread still drawing after this long is
// left running rather than waited for without end.
constexpr DWORD kStopWaitMs = 2000;

constexpr int kInstallFrames[3] = {IDB_INSTALL_1, IDB_INSTALL_2, IDB_INSTALL_3};
constexpr int kRemoveFrames[3] = {IDB_REMOVE_1, IDB_REMOVE_2, IDB_REMOVE_3};

}  // namespace

// The area is a fraction of a dialog unit off the unit grid (175 pixels are
// 116 2/3 units), so it is mapped through the base units MapDialogRect gives
// for 4 by 8 units, with one rounding as MapDialogRect's own.
void CPLOTINSTDlg::PlaceAnimation() {
  m_frameRect = kFrameAt96;
  RECT units = {0, 0, 4, 8};
  if (!::MapDialogRect(m_hWnd, &units) || units.right <= 0 || units.bottom <= 0) return;
  m_frameRect = {::MulDiv(kFrameAt96.left, units.right, kBaseXAt96), ::MulDiv(kFrameAt96.top, units.bottom, kBaseYAt96),
                 ::MulDiv(kFrameAt96.right, units.right, kBaseXAt96),
                 ::MulDiv(kFrameAt96.bottom, units.bottom, kBaseYAt96)};
}

void CPLOTINSTDlg::DrawFrame(HDC dc, int resourceId) const {
  UniqueMemoryDc memory(::CreateCompatibleDC(dc));
  UniqueGdiObject bitmap(::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(resourceId)));
  BITMAP size{};
  if (!memory || !bitmap || ::GetObjectA(bitmap.get(), sizeof size, &size) != sizeof size) return;
  HGDIOBJ previous = ::SelectObject(memory.get(), bitmap.get());
  const RECT& to = m_frameRect;
  // A smooth stretch where the dialog is scaled; HALFTONE wants the brush origin set.
  ::SetStretchBltMode(dc, HALFTONE);
  ::SetBrushOrgEx(dc, 0, 0, nullptr);
  ::StretchBlt(dc, to.left, to.top, to.right - to.left, to.bottom - to.top, memory.get(), 0, 0, size.bmWidth,
               size.bmHeight, SRCCOPY);
  ::SelectObject(memory.get(), previous);
}

HANDLE CPLOTINSTDlg::StartAnimation() {
  // A thread left running by a stop that timed out is reused, never doubled.
  if (!EndAnimationThread(kStopWaitMs)) {
    m_stopRequested = 0;
    ::ResetEvent(m_stopSignal.get());
    return m_animThread;
  }
  if (!m_stopSignal) m_stopSignal.reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  // Without the signal the thread could neither pause nor be stopped.
  if (!m_stopSignal) return nullptr;
  ::ResetEvent(m_stopSignal.get());
  m_frameBusy = 0;
  m_stopRequested = 0;
  m_animThread = ::CreateThread(nullptr, 0, AnimationThreadProc, this, 0, nullptr);
  return m_animThread;
}

void CPLOTINSTDlg::StopAnimation() {
  if (!EndAnimationThread(kStopWaitMs)) {
    // Still inside a drawing: the animation goes on, as if not asked to stop.
    m_stopRequested = 0;
    ::ResetEvent(m_stopSignal.get());
    return;
  }
  m_stopRequested = 0;
  CClientDC dc(this);
  DrawFrame(dc, IDB_BLANK);
}

// A stop that timed out left the thread drawing; the window's end waits for
// it without bound, which cannot deadlock: the thread never waits on the
// user-interface thread.
void CPLOTINSTDlg::OnDestroy() {
  EndAnimationThread(INFINITE);
  Default();
}

bool CPLOTINSTDlg::EndAnimationThread(DWORD waitMs) {
  if (m_animThread == nullptr) return true;
  m_stopRequested = 1;
  ::SetEvent(m_stopSignal.get());
  if (::WaitForSingleObject(m_animThread, waitMs) != WAIT_OBJECT_0) return false;
  ::CloseHandle(m_animThread);
  m_animThread = nullptr;
  return true;
}

DWORD WINAPI CPLOTINSTDlg::AnimationThreadProc(LPVOID param) {
  static_cast<CPLOTINSTDlg*>(param)->AnimationLoop();
  return 0;
}

void CPLOTINSTDlg::AnimationLoop() {
  CClientDC dc(this);
  for (;;) {
    const int* frames = m_removing == 0 ? kInstallFrames : kRemoveFrames;
    for (int i = 0; i < 3; ++i) {
      // Busy is raised before the stop flag is read, so a stop never falls
      // between the test and the drawing.
      m_frameBusy = 1;
      if (m_stopRequested != 0) {
        m_frameBusy = 0;
        return;
      }
      DrawFrame(dc, frames[i]);
      ::GdiFlush();
      m_frameBusy = 0;
      if (::WaitForSingleObject(m_stopSignal.get(), kFramePauseMs) == WAIT_OBJECT_0 && m_stopRequested != 0) return;
    }
  }
}
