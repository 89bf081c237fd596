// The installer session a custom action runs in: its properties, its log,
// and how a course's outcome ends the action.
#pragma once

#include <windows.h>

// After windows.h, whose types they use.
#include <msi.h>
#include <msiquery.h>

#include "handles.h"
#include "run_log.h"

struct MsiHandleTraits {  // records
  static MSIHANDLE Invalid() { return 0; }
  static void Close(MSIHANDLE h) { ::MsiCloseHandle(h); }
};
using UniqueMsiHandle = UniqueHandle<MSIHANDLE, MsiHandleTraits>;

class MsiSession {
 public:
  explicit MsiSession(MSIHANDLE install);

  // A property, or the deferred action's CustomActionData, as text. False
  // when it does not fit `size` characters (it is then not used, not cut).
  bool Property(const char* name, char* value, DWORD size) const;
  bool Property(const char* name, wchar_t* value, DWORD size) const;
  bool SetProperty(const char* name, const char* value) const;

  // A line in the installer's log (/l*v), and the lines of a course.
  void Say(const char* line) const;
  RunLog& Log() { return m_log; }

  // The action's return for a course's outcome: 3010 asks msiexec for a
  // restart at the end; any error but that fails the transaction (1603).
  UINT Finish(DWORD outcome, const char* what);

 private:
  MSIHANDLE m_install;
  RunLog m_log;
};
