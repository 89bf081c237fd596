#include "module_swap.h"

// The log line names the count.
static_assert(kMaxSwapAttempts == 3001);

unsigned long SwapInModule(const SwapFn& swap, DeployWait& wait) {
  unsigned long error = 0;
  bool waitedOnHolder = false;
  for (int attempt = 0; attempt < kMaxSwapAttempts; ++attempt) {
    error = swap();
    if (error == 0) break;
    // A running host denies access to its loaded module until it ends, so
    // only that error is worth waiting out.
    const bool held = error == kHeldError;
    waitedOnHolder = waitedOnHolder || held;
    if (!wait.Pause(kSwapRetryWaitMs, held)) {
      error = kWaitStoppedError;
      break;
    }
    if (!held) break;
  }
  if (waitedOnHolder) wait.HeldWaitEnded(error);
  return error;
}

const char* HeldWaitEnd(unsigned long outcome) {
  switch (outcome) {
    case 0:
      return "the host let go of its plug-in module, which was replaced";
    case kWaitStoppedError:
      return "the wait for the plug-in module was cancelled; the old module stays";
    case kHeldError:
      // Access is retried until the attempts run out, so this is the last one.
      return "gave up waiting for the plug-in module after 3001 attempts; the old module stays";
    default:
      return "the wait for the plug-in module ended in another error; the old module stays";
  }
}
