// A COM server module: its class-object table, its lock count, and its
// registration through the system's registry-script registrar.
#pragma once

#include <objbase.h>
#include <windows.h>

// One creatable class of the module. A table ends with a null pclsid.
struct ATL_OBJMAP_ENTRY {
  const CLSID* pclsid;
  HRESULT(WINAPI* pfnUpdateRegistry)(BOOL bRegister);
  HRESULT(WINAPI* pfnGetClassObject)(REFIID riid, void** ppv);
  DWORD dwRegister;
};

class CComModule {
 public:
  virtual ~CComModule() = default;

  HRESULT Init(ATL_OBJMAP_ENTRY* pObjMap, HINSTANCE hInstance);
  void Term();

  HRESULT RegisterClassObjects(DWORD dwClsContext, DWORD dwFlags);
  HRESULT RevokeClassObjects();

  // Runs the module's REGISTRY script nResID through the system registrar.
  HRESULT UpdateRegistryFromResource(UINT nResID, BOOL bRegister);
  // The classes' own entries, and the type library when asked to.
  HRESULT RegisterServer(BOOL bRegTypeLib);
  HRESULT UnregisterServer(BOOL bUnRegTypeLib);

  virtual LONG Lock() { return ::InterlockedIncrement(&m_nLockCnt); }
  virtual LONG Unlock() { return ::InterlockedDecrement(&m_nLockCnt); }
  LONG GetLockCount() const { return m_nLockCnt; }

  HINSTANCE GetModuleInstance() const { return m_hInst; }

 protected:
  LONG m_nLockCnt = 0;

 private:
  ATL_OBJMAP_ENTRY* m_pObjMap = nullptr;
  HINSTANCE m_hInst = nullptr;
};
