// Win32 error codes as the programs' exit status.
#pragma once

#include <windows.h>

// The thread's last error, or fallback where a failed call left none.
inline DWORD LastErrorOr(DWORD fallback) {
  const DWORD error = ::GetLastError();
  return error != ERROR_SUCCESS ? error : fallback;
}

// 0 for success; the Win32 code inside a Win32 HRESULT; otherwise the
// general failure, since a bare HRESULT is no Win32 code.
inline DWORD Win32FromHResult(HRESULT hr) {
  if (SUCCEEDED(hr)) return ERROR_SUCCESS;
  if (HRESULT_FACILITY(hr) == FACILITY_WIN32 && HRESULT_CODE(hr) != 0) return HRESULT_CODE(hr);
  return ERROR_GEN_FAILURE;
}
