#include "dialog_wait.h"

#include <cstdio>

#include "res/resource.h"

namespace {
// A short hold is the host finishing its own work; longer, it is running.
constexpr unsigned kNoticeAfterMs = 2000;
}  // namespace

bool DialogDeployWait::Pause(unsigned milliseconds, bool held) {
  // From its first pause on, the wait takes the clicks made while it runs.
  if (!m_cancel.Running()) m_cancel.Begin(::GetTickCount());
  HandleMessagesFor(milliseconds);
  if (held && !Stopped()) {
    m_heldMs += milliseconds;
    if (m_heldMs >= kNoticeAfterMs && !m_noticeShown) ShowNotice(true);
  }
  return !Stopped();
}

void DialogDeployWait::HeldWaitEnded(unsigned long, bool) {
  m_cancel.End();
  if (m_noticeShown) ShowNotice(false);
  m_heldMs = 0;
}

void DialogDeployWait::HandleMessagesFor(unsigned milliseconds) {
  const ULONGLONG end = ::GetTickCount64() + milliseconds;
  for (;;) {
    MSG msg;
    while (!Stopped() && ::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        // The program is ending: the dialog's own loop must see it too.
        ::PostQuitMessage(static_cast<int>(msg.wParam));
        m_quit = true;
        break;
      }
      if (!::IsDialogMessageA(m_dialog, &msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
      }
    }
    const ULONGLONG now = ::GetTickCount64();
    if (Stopped() || now >= end) return;
    ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

// In the group box's caption, which is empty otherwise: no box to dismiss,
// and gone by itself once the host lets go.
void DialogDeployWait::ShowNotice(bool shown) {
  char text[128] = "";
  if (shown) std::snprintf(text, sizeof text, "Close %s to continue", m_edition);
  ::SetDlgItemTextA(m_dialog, IDC_STATIC, text);
  m_noticeShown = shown;
}
