#include "module_swap.h"

#include "outcome.h"

// The log line names the count.
static_assert(kMaxSwapAttempts == 3001);

SwapRefusal JudgeDenial(unsigned long probeError) {
  if (probeError == 0) return {kHeldError, true};
  // A holder that shares no deletion is named; any other probe error leaves
  // the refusal's own.
  return {probeError == kSharingViolation ? kSharingViolation : kHeldError, false};
}

unsigned long SwapInModule(const SwapFn& swap, DeployWait& wait) {
  unsigned long error = 0;
  bool waitedOnHolder = false, ranOut = false;
  for (int attempt = 0; attempt < kMaxSwapAttempts; ++attempt) {
    const SwapRefusal refusal = swap();
    error = refusal.error;
    if (error == 0) break;
    waitedOnHolder = waitedOnHolder || refusal.held;
    if (!wait.Pause(kSwapRetryWaitMs, refusal.held)) {
      // Only a wait for a holder is given up; any other refusal came first.
      if (refusal.held) error = kWaitStoppedError;
      break;
    }
    if (!refusal.held) break;
    ranOut = attempt + 1 == kMaxSwapAttempts;
  }
  if (waitedOnHolder) wait.HeldWaitEnded(error, ranOut);
  return error;
}

const char* HeldWaitEnd(unsigned long outcome, bool attemptsRanOut) {
  if (attemptsRanOut) return "gave up waiting for the plug-in module after 3001 attempts; the old module stays";
  switch (outcome) {
    case 0:
      return "the host let go of its plug-in module, which was replaced";
    case kRestartRequired:
      return "the host holds its plug-in module; the new one takes its place at the next restart";
    case kWaitStoppedError:
      return "the wait for the plug-in module was cancelled; the old module stays";
    case kHeldError:
      // Denied, but no longer by a holder: the file's own security, say.
      return "the plug-in module was denied, no longer by a holder; the old module stays";
    default:
      return "the wait for the plug-in module ended in another error; the old module stays";
  }
}
