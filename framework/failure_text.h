// The text of a failure box: the program's own words, then the reason in the
// system's words and, where rights were refused, what to do about it.
#pragma once

#include <windows.h>

// ERROR_ELEVATION_REQUIRED, which mingw-w64's headers lack.
inline constexpr DWORD kElevationRequired = 740;

// Whether the error is the system refusing rights that an administrator has.
bool IsRefusalOfRights(DWORD error);

// text, and on the lines below it the system's message for error (with its
// number) and, for a refusal of rights, the advice. Just text for 0.
void FailureText(const char* text, DWORD error, char (&out)[1024]);
