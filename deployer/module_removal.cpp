#include "module_removal.h"

unsigned long RemoveOldModule(const DeleteFn& deleteModule, DeployWait& wait) {
  unsigned long error = 0;
  bool waitedOnHolder = false;
  for (int attempt = 0; attempt < kMaxDeleteAttempts; ++attempt) {
    error = deleteModule();
    if (error == 0) break;
    // A running host denies access to its loaded module until it ends, so
    // only that error is worth waiting out.
    const bool held = error == kDeleteRetryError;
    waitedOnHolder = waitedOnHolder || held;
    if (!wait.Pause(kDeleteRetryWaitMs, held)) {
      error = kWaitStoppedError;
      break;
    }
    if (!held) break;
  }
  if (waitedOnHolder) wait.HeldWaitEnded();
  return error;
}

unsigned long ReplaceModule(const DeleteFn& deleteModule, DeployWait& wait, const CopyFn& copyModule) {
  const unsigned long removal = RemoveOldModule(deleteModule, wait);
  if (removal == kWaitStoppedError) return removal;
  const unsigned long copy = copyModule();
  if (copy == 0 || removal == 0 || removal == kFileNotFoundError) return copy;
  return removal;
}
