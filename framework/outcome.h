// A run of steps and its outcome as one Win32 code, shared by the dialogs'
// exit codes and the unattended courses. Platform-free.
#pragma once

// ERROR_SUCCESS_REBOOT_REQUIRED: done, and finished by the next restart.
constexpr unsigned long kRestartRequired = 3010;
// ERROR_FAIL_NOACTION_REBOOT: nothing done, a restart must come first.
constexpr unsigned long kRestartFirst = 350;

// The run's outcome with one more step's: the first error stays, and a
// restart a step needs stays unless an error comes.
constexpr unsigned long MergeOutcome(unsigned long run, unsigned long step) {
  const bool runFailed = run != 0 && run != kRestartRequired;
  if (runFailed || step == 0) return run;
  if (step == kRestartRequired) return kRestartRequired;
  return step;
}
