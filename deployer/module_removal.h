// Replacing the plug-in module, which the host may hold open while it runs.
// Platform-free: the deletion and the copy are passed in, and so is the wait.
#pragma once

#include <functional>

#include "deploy_wait.h"

inline constexpr int kMaxDeleteAttempts = 3001;
inline constexpr unsigned kDeleteRetryWaitMs = 500;
inline constexpr unsigned long kDeleteRetryError = 5;     // ERROR_ACCESS_DENIED
inline constexpr unsigned long kFileNotFoundError = 2;    // ERROR_FILE_NOT_FOUND
inline constexpr unsigned long kWaitStoppedError = 1223;  // ERROR_CANCELLED

// Each gives 0 on success, else the error of the failed attempt.
using DeleteFn = std::function<unsigned long()>;
using CopyFn = std::function<unsigned long()>;

// Deletes the old module, pausing after every failed attempt and trying
// again only while access is denied, at most kMaxDeleteAttempts times.
// Returns the error of the last attempt (0 when the module is gone), or
// kWaitStoppedError when the wait stopped it.
unsigned long RemoveOldModule(const DeleteFn& deleteModule, DeployWait& wait);

// Removes the old module, then copies the new one whatever the removal's
// outcome (a copy that never overwrites then fails), unless the wait was
// stopped. 0 when the new module is in place; else why it is not: a module
// that stayed counts before the copy that it made fail.
unsigned long ReplaceModule(const DeleteFn& deleteModule, DeployWait& wait, const CopyFn& copyModule);
