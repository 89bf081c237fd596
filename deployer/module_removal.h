// Replacing the plug-in module, which the host may hold open while it runs.
// Platform-free: the deletion, the wait and the copy are passed in.
#pragma once

#include <functional>

inline constexpr int kMaxDeleteAttempts = 3001;
inline constexpr unsigned kDeleteRetryWaitMs = 500;
inline constexpr unsigned long kDeleteRetryError = 5;  // ERROR_ACCESS_DENIED

// Deletes a file: 0 when it is gone, else the error of the failed attempt.
using DeleteFn = std::function<unsigned long()>;
using WaitFn = std::function<void(unsigned milliseconds)>;
using CopyFn = std::function<bool()>;

// Deletes the old module, waiting after every failed attempt and trying
// again only while access is denied, at most kMaxDeleteAttempts times.
// Returns the error of the last attempt (0 when the module is gone).
unsigned long RemoveOldModule(const DeleteFn& deleteModule, const WaitFn& wait);

// Removes the old module, then copies the new one whatever the removal's
// outcome (a copy that never overwrites then fails). True when it copied.
bool ReplaceModule(const DeleteFn& deleteModule, const WaitFn& wait, const CopyFn& copyModule);
