// The installer's own registration switches. Platform-free.
#pragma once

enum class ServerSwitch { None, Register, Unregister };

// Finds "RegServer" or "UnregServer" after a '-' or '/' that runs to the very
// end of the command line (program path included), in any letter case. A
// switch followed by anything, even a blank, is not recognised. The line is
// the wide one: in the code page, a character such as a full-width solidus
// would read as '/'.
ServerSwitch FindServerSwitch(const wchar_t* commandLine);
