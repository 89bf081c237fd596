// Whether a host edition is registered, and placing the plug-in into it.
// Both read the registry afresh on every call and keep no state.
#pragma once

#include "deploy_wait.h"

// True when that edition's host key opens with full access and its
// "ConfigDir" value reads within 260 bytes.
bool IsCorelVersionInstalled(int majorVersion, bool is64BitEdition);

// Replaces the plug-in module and bitmap in that edition's plug-in folder
// with those beside this program. True when at least one of them was copied;
// otherwise false with the failed step's Win32 error as the last error. The
// pauses between deletions of a held old module go to wait, and may add up
// to minutes.
bool DeployPlugin(int majorVersion, bool is64BitEdition, DeployWait& wait);
