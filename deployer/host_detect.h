// Whether a host edition is registered, and placing the plug-in into it.
// Both read the registry afresh on every call and keep no state.
#pragma once

#include "deploy_wait.h"

// True when that edition's host key opens with full access and its
// "ConfigDir" value reads within 260 bytes.
bool IsCorelVersionInstalled(int majorVersion, bool is64BitEdition);

// Replaces the plug-in module and bitmap in that edition's plug-in folder
// with those beside this program. True when the new module is in place;
// otherwise false, with the error of the step that failed as the thread's
// last error. Nothing is deleted unless both sources can be read. While the
// host holds its old module, the pauses between attempts go to `wait`, which
// may stop them (the old module then stays).
bool DeployPlugin(int majorVersion, bool is64BitEdition, DeployWait& wait);
