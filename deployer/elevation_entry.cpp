#include "elevation_entry.h"

#include <objbase.h>

#include "handles.h"
#include "res/resource.h"
#include "win32_error.h"

DWORD WriteElevationEntry(const CLSID& clsid) {
  wchar_t clsidText[40];
  if (::StringFromGUID2(clsid, clsidText, 40) == 0) return ERROR_INVALID_DATA;
  wchar_t keyName[64];
  wsprintfW(keyName, L"CLSID\\%s\\Elevation", clsidText);
  // The consent prompt shows the name it finds through "@program,-id"; the
  // program's wide path, as the local server's entry has it.
  wchar_t module[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return LastErrorOr(ERROR_FILENAME_EXCED_RANGE);
  wchar_t name[MAX_PATH + 16];
  wsprintfW(name, L"@%s,-%d", module, IDS_ELEVATION_NAME);

  UniqueHKey key;
  LONG rc = ::RegCreateKeyExW(HKEY_CLASSES_ROOT, keyName, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr);
  const DWORD enabled = 1;
  if (rc == ERROR_SUCCESS)
    rc = ::RegSetValueExW(key.get(), L"Enabled", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enabled), sizeof enabled);
  if (rc == ERROR_SUCCESS)
    rc = ::RegSetValueExW(key.get(), L"LocalizedString", 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                          static_cast<DWORD>((lstrlenW(name) + 1) * sizeof(wchar_t)));
  return static_cast<DWORD>(rc);
}
