// The automation class registered for the system's elevation moniker, so
// that a client without administrator rights can ask for the server with
// them ("Elevation:Administrator!new:{CLSID}").
#pragma once

#include <windows.h>

// The class's Elevation key: Enabled = 1, and LocalizedString naming the
// program through its string table, as the system requires. 0 or the
// registry's error. The key goes with the class's own when it is removed.
DWORD WriteElevationEntry(const CLSID& clsid);
