#include "module_removal.h"

unsigned long RemoveOldModule(const DeleteFn& deleteModule, const WaitFn& wait) {
  unsigned long error = 0;
  for (int attempt = 0; attempt < kMaxDeleteAttempts; ++attempt) {
    error = deleteModule();
    if (error == 0) break;
    // A running host denies access to its loaded module until it ends, so
    // only that error is worth waiting out.
    wait(kDeleteRetryWaitMs);
    if (error != kDeleteRetryError) break;
  }
  return error;
}

bool ReplaceModule(const DeleteFn& deleteModule, const WaitFn& wait, const CopyFn& copyModule) {
  RemoveOldModule(deleteModule, wait);
  return copyModule();
}
