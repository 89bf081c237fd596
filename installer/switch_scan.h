// The installer's own registration switches. Platform-free.
#pragma once

// WithCourse: a registration switch on a line that also asks for an
// unattended course, which is malformed.
enum class ServerSwitch { None, Register, Unregister, WithCourse };

// Finds "RegServer" or "UnregServer" after a '-' or '/' that runs to the very
// end of the command line (program path included), in any letter case. A
// switch followed by anything, even a blank, is not recognised; nor is one
// that ends a value of /Log or /Port, which is a name. Either switch anywhere
// as an argument of its own, or at the end, beside a switch of the unattended
// courses gives WithCourse. The line is the wide one: in the code page, a
// character such as a full-width solidus would read as '/'.
ServerSwitch FindServerSwitch(const wchar_t* commandLine);
