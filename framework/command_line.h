// A command line split into its arguments. Platform-free.
#pragma once

#include <string>
#include <vector>

// The program's name, then each argument, split as the C runtime splits a
// command line: blanks and tabs separate arguments, double quotes group;
// 2n backslashes before a quote give n and the quote groups, 2n+1 give n
// and a literal quote; two quotes inside quotes are one literal quote. The
// program's name is taken up to its closing quote or first blank, with no
// backslash rules, since it is a path.
std::vector<std::wstring> SplitCommandLine(const wchar_t* line);
