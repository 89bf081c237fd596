// The installer's unattended courses: Install or Delete with no window at
// all, the outcome as the exit status and, when asked, in a log.
#pragma once

#include <windows.h>

#include "silent_switches.h"

// 0 when done (or nothing was to be done), else the Win32 error that stopped it.
DWORD RunSilentCourse(const SilentSwitches& switches);

#include "run_log.h"

// The two courses themselves, logging to `log`; a Windows Installer custom
// action runs them too. requestedPort: as the spooler lists it, or null for
// the port the dialog would preselect.
DWORD InstallCourse(RunLog& log, const wchar_t* requestedPort);
DWORD DeleteCourse(RunLog& log);
