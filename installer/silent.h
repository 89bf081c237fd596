// The installer's unattended courses: Install or Delete with no window at
// all, the outcome as the exit status and, when asked, in a log.
#pragma once

#include <windows.h>

#include "run_log.h"
#include "silent_switches.h"

// 0 when done (or nothing was to be done), else the Win32 error that stopped it.
DWORD RunSilentCourse(const SilentSwitches& switches);

// The port the dialog would preselect, or the one asked for exactly as the
// spooler lists it. ERROR_UNKNOWN_PORT when no listed port is that one, or
// the spooler's refusal to list its ports.
DWORD ChoosePort(const wchar_t* requested, char (&port)[256], RunLog& log);

// The two courses themselves, logging to `log`, for a caller that has
// checked the rights (a Windows Installer custom action runs them too).
// requestedPort: as the spooler lists it, or null for the port the dialog
// would preselect.
DWORD SilentInstall(const wchar_t* requestedPort, RunLog& log);
DWORD SilentDelete(RunLog& log);
