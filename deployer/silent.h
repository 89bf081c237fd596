// The deployer's unattended courses, with no window at all: /Install
// (registration, then the plug-in into every registered host edition) and
// /Delete (this package's plug-in files out of every one). Both end with the
// switches' or the log's error before anything is changed.
#pragma once

#include <windows.h>

#include "silent_switches.h"

// 0 when every registered edition got the plug-in, else the Win32 error of
// the first step that failed (ERROR_UNKNOWN_PRODUCT when none is registered).
DWORD RunSilentInstall(const SilentSwitches& switches);
// 0 when nothing of the plug-in is left (also when no edition is
// registered), 3010 when a held module goes at the next restart, else the
// Win32 error of the first edition that failed.
DWORD RunSilentDelete(const SilentSwitches& switches);
