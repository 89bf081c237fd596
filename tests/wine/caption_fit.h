// Whether a dialog's controls show their whole text: each caption measured
// with the font the control really uses against the room the control gives
// it. Font handles mean nothing in another process, so the dialog must be
// one of this process's.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

::testing::AssertionResult CaptionsFit(HWND dialog);
