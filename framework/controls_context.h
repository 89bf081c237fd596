// Version 6 of the common controls for the windows a program makes while an
// object of this type lives: the buttons draw the shield Windows asks for
// beside an action that needs administrator rights.
//
// Not through the program's own manifest: with the dependency there the
// loader brings in the controls, and the DLLs they name, at load time,
// before the program could confine the DLL search to the system directory,
// and a DLL left beside the program in a download folder would run. Here
// the context is made from a manifest resource the loader never reads by
// itself (none of the IDs 1 to 16), after RestrictDllSearch.
#pragma once

#include <windows.h>

#include "handles.h"

class ControlsContext {
 public:
  // Activates the context made from the program's manifest resource `id`;
  // where it cannot be made, windows get the system's default controls.
  explicit ControlsContext(WORD id);
  ControlsContext(const ControlsContext&) = delete;
  ControlsContext& operator=(const ControlsContext&) = delete;
  ~ControlsContext();

 private:
  UniqueLibrary m_imports;
  HANDLE m_context = INVALID_HANDLE_VALUE;
  ULONG_PTR m_cookie = 0;
};
