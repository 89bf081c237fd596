// How the dialog spends a deployment's pauses: handling its own messages, so
// that it stays responsive while the host holds its old module, and telling
// the user which application to close once that hold lasts.
#pragma once

#include <windows.h>

#include "deploy_wait.h"
#include "wait_cancel.h"

class DialogDeployWait : public DeployWait {
 public:
  // edition: the caption of the edition being deployed, named to the user.
  DialogDeployWait(HWND dialog, const char* edition) : m_dialog(dialog), m_edition(edition) {}

  bool Pause(unsigned milliseconds, bool held) override;
  void HeldWaitEnded(unsigned long outcome, bool attemptsRanOut) override;

  // The user's Cancel or close request, made at clickTime (its message's
  // time): the pause ends and the edition fails, if this wait was running
  // when it was made.
  void Cancel(DWORD clickTime) { m_cancel.Click(clickTime); }

 private:
  bool Stopped() const { return m_quit || m_cancel.Cancelled(); }
  // Handles the dialog's messages until the time is up or the wait is stopped.
  void HandleMessagesFor(unsigned milliseconds);
  void ShowNotice(bool shown);

  HWND m_dialog;
  const char* m_edition;
  WaitCancel m_cancel;
  bool m_quit = false;
  unsigned m_heldMs = 0;
  bool m_noticeShown = false;
};
