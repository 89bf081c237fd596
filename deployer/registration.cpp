#include "registration.h"

#include "afxdisp.h"
#include "class_id.h"
#include "elevation_entry.h"
#include "handles.h"
#include "win32_error.h"
#include "winapp.h"

namespace {
// The type library compiled into the program as TYPELIB 1.
const GUID LIBID_AddonDeploy = {0x5FA3ED51, 0x827E, 0x420B, {0x83, 0x6F, 0x5D, 0x72, 0x0F, 0x9D, 0x9A, 0xE4}};
constexpr char kTypeLibVersionKey[] = "TypeLib\\{5FA3ED51-827E-420B-836F-5D720F9D9AE4}\\1.0";

bool TypeLibRegistered() {
  UniqueHKey key;
  return ::RegOpenKeyExA(HKEY_CLASSES_ROOT, kTypeLibVersionKey, 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}
}  // namespace

DWORD WriteRegistration() {
  DWORD error = ERROR_SUCCESS;
  if (!COleObjectFactory::UpdateRegistryAll(TRUE)) error = LastErrorOr(ERROR_GEN_FAILURE);
  // Under the class's key: removing the class removes it too.
  if (error == ERROR_SUCCESS) error = WriteElevationEntry(CLSID_AddonDeploy);
  if (!AfxOleRegisterTypeLib(AfxGetInstanceHandle(), LIBID_AddonDeploy, nullptr, nullptr) && error == ERROR_SUCCESS)
    error = LastErrorOr(ERROR_GEN_FAILURE);
  return error;
}

DWORD RemoveRegistration() {
  DWORD error = ERROR_SUCCESS;
  if (!COleObjectFactory::UpdateRegistryAll(FALSE)) error = LastErrorOr(ERROR_GEN_FAILURE);
  // The system refuses to unregister a library that is not registered;
  // there is then nothing to remove.
  if (TypeLibRegistered() && !AfxOleUnregisterTypeLib(LIBID_AddonDeploy, 1, 0, 0) && error == ERROR_SUCCESS)
    error = LastErrorOr(ERROR_GEN_FAILURE);
  return error;
}
