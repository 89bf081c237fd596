// Administrator rights: whether this process holds them, and the process the
// dialog starts through the system's elevation request to carry out a click.
#pragma once

#include <windows.h>

#include "dialog.h"

// False for a filtered token (an administrator under User Account Control)
// and for a standard user; true for an elevated token, the system account,
// an administrator without User Account Control, and when the system cannot
// tell (the spooler then decides, as it always has).
bool HoldsAdministratorRights();

// Set in the exit code of a relaunched click whose deciding step succeeded
// although a later step failed (the dialog still says "success").
inline constexpr DWORD kSucceededWithError = 0x20000000;  // the customer bit

// The relaunched process's exit code for a click's result, and back.
DWORD RelaunchExitCode(const CPLOTINSTDlg::StepsResult& result);
CPLOTINSTDlg::StepsResult RelaunchResult(DWORD exitCode);

// When the command line is a relaunch for one click: carries it out with no
// window and no further elevation request, and gives the exit code. The
// model and port are checked as the dialog's lists check them. Otherwise
// false.
bool RunRelaunchedClick(const wchar_t* commandLine, DWORD& exitCode);
