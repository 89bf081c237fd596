// Whether a host edition is registered, and placing the plug-in into it.
// Both read the registry afresh on every call and keep no state.
#pragma once

#include "deploy_wait.h"

// 0 when that edition's host key opens with full access and its "ConfigDir"
// value reads within 260 bytes; else the error that stopped it
// (ERROR_FILE_NOT_FOUND when there is no such key or value).
long CorelVersionRegistration(int majorVersion, bool is64BitEdition);
// True when CorelVersionRegistration gives 0.
bool IsCorelVersionInstalled(int majorVersion, bool is64BitEdition);

// Replaces the plug-in module and bitmap in that edition's plug-in folder
// with those beside this program, each written in full beside the old file
// first and then moved over it in one step. True when both are in place;
// otherwise false, with the error of the step that failed as the thread's
// last error, and the old files as they were (but for the new module, which
// stays when only the bitmap fails). While the host holds its old module,
// the pauses between attempts go to `wait`, which may stop them, and the
// bitmap's outcome is told to it.
bool DeployPlugin(int majorVersion, bool is64BitEdition, DeployWait& wait);
// DeployPlugin's outcome as a code: 0, or the error of the step that failed.
unsigned long DeployPluginError(int majorVersion, bool is64BitEdition, DeployWait& wait);
