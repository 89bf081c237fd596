#include "commodule.h"

#include <oleauto.h>

#include "handles.h"
#include "system_dll.h"

// The system registrar's interface. Declared outside any unnamed namespace:
// its implementation lives in atl.dll, and a type local to this file would let
// the compiler conclude that no object of it can exist.
struct ISystemRegistrar : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE AddReplacement(LPCOLESTR key, LPCOLESTR item) = 0;
  virtual HRESULT STDMETHODCALLTYPE ClearReplacements() = 0;
  virtual HRESULT STDMETHODCALLTYPE ResourceRegisterSz(LPCOLESTR resFile, LPCOLESTR id, LPCOLESTR type) = 0;
  virtual HRESULT STDMETHODCALLTYPE ResourceUnregisterSz(LPCOLESTR resFile, LPCOLESTR id, LPCOLESTR type) = 0;
  virtual HRESULT STDMETHODCALLTYPE FileRegister(LPCOLESTR fileName) = 0;
  virtual HRESULT STDMETHODCALLTYPE FileUnregister(LPCOLESTR fileName) = 0;
  virtual HRESULT STDMETHODCALLTYPE StringRegister(LPCOLESTR data) = 0;
  virtual HRESULT STDMETHODCALLTYPE StringUnregister(LPCOLESTR data) = 0;
  virtual HRESULT STDMETHODCALLTYPE ResourceRegister(LPCOLESTR resFile, UINT id, LPCOLESTR type) = 0;
  virtual HRESULT STDMETHODCALLTYPE ResourceUnregister(LPCOLESTR resFile, UINT id, LPCOLESTR type) = 0;
};

namespace {

// The registry-script registrar of the system's atl.dll.
const CLSID CLSID_SystemRegistrar = {0x44EC053A, 0x400F, 0x11D0, {0x9D, 0xCD, 0x00, 0xA0, 0xC9, 0x03, 0x91, 0xD3}};
const IID IID_ISystemRegistrar = {0x44EC053B, 0x400F, 0x11D0, {0x9D, 0xCD, 0x00, 0xA0, 0xC9, 0x03, 0x91, 0xD3}};


using DllGetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);

// The program's own file name, or false when it does not fit.
bool ModulePath(HINSTANCE hInst, wchar_t (&path)[MAX_PATH]) {
  const DWORD n = ::GetModuleFileNameW(hInst, path, MAX_PATH);
  return n != 0 && n < MAX_PATH;
}

// The type library inside the program's file, else in a .tlb file beside it.
HRESULT LoadModuleTypeLib(HINSTANCE hInst, ITypeLib** ppTypeLib, wchar_t (&path)[MAX_PATH]) {
  if (!ModulePath(hInst, path)) return E_FAIL;
  HRESULT hr = ::LoadTypeLibEx(path, REGKIND_NONE, ppTypeLib);
  if (SUCCEEDED(hr)) return hr;
  wchar_t* dot = wcsrchr(path, L'.');
  wchar_t* slash = wcsrchr(path, L'\\');
  if (dot == nullptr || (slash && dot < slash) || (dot - path) + 5 > MAX_PATH) return hr;
  lstrcpyW(dot, L".tlb");
  return ::LoadTypeLibEx(path, REGKIND_NONE, ppTypeLib);
}

}  // namespace

HRESULT CComModule::Init(ATL_OBJMAP_ENTRY* pObjMap, HINSTANCE hInstance) {
  m_pObjMap = pObjMap;
  m_hInst = hInstance;
  return S_OK;
}

void CComModule::Term() { m_pObjMap = nullptr; }

HRESULT CComModule::RegisterClassObjects(DWORD dwClsContext, DWORD dwFlags) {
  for (ATL_OBJMAP_ENTRY* e = m_pObjMap; e && e->pclsid; ++e) {
    IUnknown* factory = nullptr;
    HRESULT hr = e->pfnGetClassObject(IID_IUnknown, reinterpret_cast<void**>(&factory));
    if (SUCCEEDED(hr)) {
      hr = ::CoRegisterClassObject(*e->pclsid, factory, dwClsContext, dwFlags, &e->dwRegister);
      factory->Release();
    }
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT CComModule::RevokeClassObjects() {
  for (ATL_OBJMAP_ENTRY* e = m_pObjMap; e && e->pclsid; ++e) {
    if (e->dwRegister != 0) ::CoRevokeClassObject(e->dwRegister);
    e->dwRegister = 0;
  }
  return S_OK;
}

HRESULT CComModule::UpdateRegistryFromResource(UINT nResID, BOOL bRegister) {
  UniqueLibrary atl(LoadSystemLibrary("atl.dll"));
  if (!atl) return HRESULT_FROM_WIN32(::GetLastError());
  auto getClassObject = reinterpret_cast<DllGetClassObjectFn>(
      reinterpret_cast<void*>(::GetProcAddress(atl.get(), "DllGetClassObject")));
  if (getClassObject == nullptr) return E_FAIL;

  wchar_t module[MAX_PATH];
  if (!ModulePath(m_hInst, module)) return E_FAIL;
  ComPtr<IClassFactory> factory;
  HRESULT hr = getClassObject(CLSID_SystemRegistrar, IID_IClassFactory, factory.put());
  if (FAILED(hr)) return hr;
  ComPtr<ISystemRegistrar> registrar;
  hr = factory->CreateInstance(nullptr, IID_ISystemRegistrar, registrar.put());
  if (FAILED(hr)) return hr;
  return bRegister ? registrar->ResourceRegister(module, nResID, L"REGISTRY")
                   : registrar->ResourceUnregister(module, nResID, L"REGISTRY");
}

HRESULT CComModule::RegisterServer(BOOL bRegTypeLib) {
  for (ATL_OBJMAP_ENTRY* e = m_pObjMap; e && e->pclsid; ++e) {
    const HRESULT hr = e->pfnUpdateRegistry(TRUE);
    if (FAILED(hr)) return hr;
  }
  if (!bRegTypeLib) return S_OK;
  wchar_t path[MAX_PATH];
  ComPtr<ITypeLib> typeLib;
  HRESULT hr = LoadModuleTypeLib(m_hInst, reinterpret_cast<ITypeLib**>(typeLib.put()), path);
  if (FAILED(hr)) return hr;
  return ::RegisterTypeLib(typeLib.get(), path, nullptr);
}

HRESULT CComModule::UnregisterServer(BOOL bUnRegTypeLib) {
  for (ATL_OBJMAP_ENTRY* e = m_pObjMap; e && e->pclsid; ++e) e->pfnUpdateRegistry(FALSE);
  if (!bUnRegTypeLib) return S_OK;
  wchar_t path[MAX_PATH];
  ComPtr<ITypeLib> typeLib;
  HRESULT hr = LoadModuleTypeLib(m_hInst, reinterpret_cast<ITypeLib**>(typeLib.put()), path);
  if (FAILED(hr)) return hr;
  TLIBATTR* attr = nullptr;
  hr = typeLib->GetLibAttr(&attr);
  if (FAILED(hr)) return hr;
  hr = ::UnRegisterTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, attr->syskind);
  typeLib->ReleaseTLibAttr(attr);
  return hr;
}
