// OLE start-up, class factories of automation objects and their registration.
#pragma once

#include <windows.h>
#include <ole2.h>

#include "cmdtarget.h"

// Failures below leave their Win32 error as the thread's last error.

// Brings OLE up on this thread as a single-threaded apartment.
BOOL AfxOleInit();
// Revokes the class factories and, unless bJustRevoke, shuts OLE down.
void AfxOleTerm(BOOL bJustRevoke = FALSE);

// Registers the type library of the module's own TYPELIB resource (or of
// pszFileName) for the module's path. FALSE when it cannot be loaded, is not
// tlid, or cannot be registered.
BOOL AfxOleRegisterTypeLib(HINSTANCE hInstance, REFGUID tlid, const char* pszFileName = nullptr,
                           const char* pszHelpDir = nullptr);
// The library is described for 32-bit Windows, in every build.
BOOL AfxOleUnregisterTypeLib(REFGUID tlid, WORD wVerMajor = 0, WORD wVerMinor = 0, LCID lcid = 0);

// The class factory of one automation class. Factories are global objects
// and chain themselves, so that the ...All operations reach every one.
class COleObjectFactory : public IClassFactory {
 public:
  using CreateFn = CCmdTarget* (*)();
  // bMultiInstance: every object is served by a process of its own, so this
  // factory creates one object at most.
  COleObjectFactory(REFCLSID clsid, CreateFn pfnCreateObject, BOOL bMultiInstance, const char* lpszProgID);
  COleObjectFactory(const COleObjectFactory&) = delete;
  COleObjectFactory& operator=(const COleObjectFactory&) = delete;
  virtual ~COleObjectFactory();

  BOOL Register();
  void Revoke();
  // ProgID with its CLSID, and the CLSID as a local server of this program;
  // removing what is not there succeeds.
  BOOL UpdateRegistry(BOOL bRegister);

  static BOOL RegisterAll();
  static void RevokeAll();
  static BOOL UpdateRegistryAll(BOOL bRegister = TRUE);

  // IClassFactory. The factory lives as long as the program: no counting.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override;

 private:
  CLSID m_clsid;
  CreateFn m_pfnCreateObject;
  BOOL m_bMultiInstance;
  const char* m_lpszProgID;
  DWORD m_dwRegister = 0;
  bool m_served = false;
  COleObjectFactory* m_pNextFactory;
};
