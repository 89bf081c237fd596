// The progress animation: a worker thread draws three frames in turn into the
// dialog while Install or Delete holds the user-interface thread.
//
// The thread is never killed from outside (a thread killed inside a drawing
// call can leave the window system locked): StopAnimation raises the stop
// flag and the signal, and the thread ends by itself between two frames.
#include "dialog.h"

namespace {

constexpr int kFrameX = 175, kFrameY = 160;
constexpr int kFrameWidth = 122, kFrameHeight = 48;
constexpr DWORD kFramePauseMs = 300;
// A frame is drawn in milliseconds; a thread still drawing after this long is
// left running rather than waited for without end.
constexpr DWORD kStopWaitMs = 2000;

constexpr int kInstallFrames[3] = {IDB_INSTALL_1, IDB_INSTALL_2, IDB_INSTALL_3};
constexpr int kRemoveFrames[3] = {IDB_REMOVE_1, IDB_REMOVE_2, IDB_REMOVE_3};

}  // namespace

void CPLOTINSTDlg::DrawFrame(HDC dc, int resourceId) {
  UniqueMemoryDc memory(::CreateCompatibleDC(dc));
  UniqueGdiObject bitmap(::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(resourceId)));
  if (!memory || !bitmap) return;
  HGDIOBJ previous = ::SelectObject(memory.get(), bitmap.get());
  ::BitBlt(dc, kFrameX, kFrameY, kFrameWidth, kFrameHeight, memory.get(), 0, 0, SRCCOPY);
  ::SelectObject(memory.get(), previous);
}

HANDLE CPLOTINSTDlg::StartAnimation() {
  // A thread left running by a stop that timed out is reused, never doubled.
  if (!EndAnimationThread()) {
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
  if (!EndAnimationThread()) {
    // Still inside a drawing: the animation goes on, as if not asked to stop.
    m_stopRequested = 0;
    ::ResetEvent(m_stopSignal.get());
    return;
  }
  m_stopRequested = 0;
  CClientDC dc(this);
  DrawFrame(dc, IDB_BLANK);
}

bool CPLOTINSTDlg::EndAnimationThread() {
  if (m_animThread == nullptr) return true;
  m_stopRequested = 1;
  ::SetEvent(m_stopSignal.get());
  if (::WaitForSingleObject(m_animThread, kStopWaitMs) != WAIT_OBJECT_0) return false;
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
      if (::WaitForSingleObject(m_stopSignal.get(), kFramePauseMs) == WAIT_OBJECT_0 && m_stopRequested != 0)
        return;
    }
  }
}
