// Putting the new plug-in module in place of the old one, which the host may
// hold open while it runs. Platform-free: the swap is passed in, and so is
// the wait.
#pragma once

#include <functional>

#include "deploy_wait.h"

inline constexpr int kMaxSwapAttempts = 3001;
inline constexpr unsigned kSwapRetryWaitMs = 500;
inline constexpr unsigned long kHeldError = 5;            // ERROR_ACCESS_DENIED
inline constexpr unsigned long kSharingViolation = 32;    // ERROR_SHARING_VIOLATION
inline constexpr unsigned long kWaitStoppedError = 1223;  // ERROR_CANCELLED

// One attempt to move the new module over the old one: 0 once it is in
// place, else the error that refused it, and whether the old module is held
// by one whose hold ends (a running host), so that it is worth waiting out.
struct SwapRefusal {
  unsigned long error = 0;
  bool held = false;
};
using SwapFn = std::function<SwapRefusal()>;

// What a refusal with access denied means, by the error of opening the old
// module for deletion (0 when it opened). It opens while a running host has
// it loaded, or another holds it sharing deletion: held, and only then. A
// holder that does not share deletion refuses the open with a sharing
// violation, and its hold is not waited for. Any other probe error (the
// file's own security, a path gone) is no hold either: the refusal's access
// denied stands, and no wait changes it.
SwapRefusal JudgeDenial(unsigned long probeError);

// Tries the swap, pausing after every refused attempt and trying again only
// while the old module is held, at most kMaxSwapAttempts times. 0 when the
// new module is in place, kWaitStoppedError when the wait for a holder was
// stopped, else the error of the last attempt (a stop during the pause after
// another refusal keeps that refusal's error); the old module then stays.
unsigned long SwapInModule(const SwapFn& swap, DeployWait& wait);

// How a wait for a held module ended, told by SwapInModule's outcome and
// whether the attempts ran out, as a log line says it.
const char* HeldWaitEnd(unsigned long outcome, bool attemptsRanOut);
