// Putting the new plug-in module in place of the old one, which the host may
// hold open while it runs. Platform-free: the swap is passed in, and so is
// the wait.
#pragma once

#include <functional>

#include "deploy_wait.h"

inline constexpr int kMaxSwapAttempts = 3001;
inline constexpr unsigned kSwapRetryWaitMs = 500;
inline constexpr unsigned long kHeldError = 5;            // ERROR_ACCESS_DENIED
inline constexpr unsigned long kWaitStoppedError = 1223;  // ERROR_CANCELLED

// One attempt to move the new module over the old one: 0 once it is in
// place, else the error that refused it.
using SwapFn = std::function<unsigned long()>;

// Tries the swap, pausing after every refused attempt and trying again only
// while access is denied, at most kMaxSwapAttempts times. 0 when the new
// module is in place, kWaitStoppedError when the wait stopped it, else the
// error of the last attempt; the old module then stays.
unsigned long SwapInModule(const SwapFn& swap, DeployWait& wait);

// How a wait for a held module ended, told by SwapInModule's outcome, as a
// log line says it.
const char* HeldWaitEnd(unsigned long outcome);
