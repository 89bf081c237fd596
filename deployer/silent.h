// The deployer's unattended course: registration, the scan and deployment
// into every registered host edition, with no window at all.
#pragma once

#include <windows.h>

#include "silent_switches.h"

// 0 when every registered edition got the plug-in, else the Win32 error of
// the first step that failed (ERROR_UNKNOWN_PRODUCT when none is registered).
DWORD RunSilentInstall(const SilentSwitches& switches);
