#include "afxdisp.h"

#include <oleauto.h>

#include <cstring>

#include "handles.h"
#include "winapp.h"

namespace {

bool g_oleInitialized = false;
// Constant-initialised, so factories constructed before any other global see it.
COleObjectFactory* g_firstFactory = nullptr;

bool SetKeyDefault(const char* path, const char* value) {
  UniqueHKey key;
  if (::RegCreateKeyExA(HKEY_CLASSES_ROOT, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr) !=
      ERROR_SUCCESS)
    return false;
  return ::RegSetValueExA(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                          static_cast<DWORD>(lstrlenA(value) + 1)) == ERROR_SUCCESS;
}

void DeleteClassesTree(const char* path) {
  ::RegDeleteTreeA(HKEY_CLASSES_ROOT, path);
  ::RegDeleteKeyA(HKEY_CLASSES_ROOT, path);
}

}  // namespace

BOOL AfxOleInit() {
  if (FAILED(::OleInitialize(nullptr))) return FALSE;
  g_oleInitialized = true;
  return TRUE;
}

void AfxOleTerm(BOOL bJustRevoke) {
  COleObjectFactory::RevokeAll();
  if (bJustRevoke || !g_oleInitialized) return;
  ::OleUninitialize();
  g_oleInitialized = false;
}

BOOL AfxOleRegisterTypeLib(HINSTANCE hInstance, REFGUID tlid, const char* pszFileName, const char* pszHelpDir) {
  wchar_t path[MAX_PATH];
  if (pszFileName) {
    if (::MultiByteToWideChar(CP_ACP, 0, pszFileName, -1, path, MAX_PATH) == 0) return FALSE;
  } else {
    const DWORD n = ::GetModuleFileNameW(hInstance, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return FALSE;
  }
  wchar_t helpDir[MAX_PATH];
  if (pszHelpDir && ::MultiByteToWideChar(CP_ACP, 0, pszHelpDir, -1, helpDir, MAX_PATH) == 0) return FALSE;

  ComPtr<ITypeLib> typeLib;
  if (FAILED(::LoadTypeLib(path, reinterpret_cast<ITypeLib**>(typeLib.put())))) return FALSE;
  TLIBATTR* attr = nullptr;
  if (FAILED(typeLib->GetLibAttr(&attr))) return FALSE;
  const bool same = IsEqualGUID(attr->guid, tlid);
  typeLib->ReleaseTLibAttr(attr);
  if (!same) return FALSE;
  return SUCCEEDED(::RegisterTypeLib(typeLib.get(), path, pszHelpDir ? helpDir : nullptr));
}

BOOL AfxOleUnregisterTypeLib(REFGUID tlid, WORD wVerMajor, WORD wVerMinor, LCID lcid) {
  return SUCCEEDED(::UnRegisterTypeLib(tlid, wVerMajor, wVerMinor, lcid, SYS_WIN32));
}

COleObjectFactory::COleObjectFactory(REFCLSID clsid, CreateFn pfnCreateObject, BOOL bMultiInstance,
                                     const char* lpszProgID)
    : m_clsid(clsid),
      m_pfnCreateObject(pfnCreateObject),
      m_bMultiInstance(bMultiInstance),
      m_lpszProgID(lpszProgID),
      m_pNextFactory(g_firstFactory) {
  g_firstFactory = this;
}

COleObjectFactory::~COleObjectFactory() {
  Revoke();
  for (COleObjectFactory** link = &g_firstFactory; *link; link = &(*link)->m_pNextFactory) {
    if (*link == this) {
      *link = m_pNextFactory;
      break;
    }
  }
}

BOOL COleObjectFactory::Register() {
  if (m_dwRegister != 0) return TRUE;
  // One object per process: COM starts another instance for the next client.
  const DWORD flags = m_bMultiInstance ? REGCLS_SINGLEUSE : REGCLS_MULTIPLEUSE;
  return SUCCEEDED(::CoRegisterClassObject(m_clsid, this, CLSCTX_LOCAL_SERVER, flags, &m_dwRegister));
}

void COleObjectFactory::Revoke() {
  if (m_dwRegister == 0) return;
  ::CoRevokeClassObject(m_dwRegister);
  m_dwRegister = 0;
}

BOOL COleObjectFactory::UpdateRegistry(BOOL bRegister) {
  wchar_t clsidW[40];
  char clsid[40];
  if (::StringFromGUID2(m_clsid, clsidW, 40) == 0 ||
      ::WideCharToMultiByte(CP_ACP, 0, clsidW, -1, clsid, sizeof clsid, nullptr, nullptr) == 0)
    return FALSE;
  char clsidKey[64];
  wsprintfA(clsidKey, "CLSID\\%s", clsid);
  if (!bRegister) {
    DeleteClassesTree(m_lpszProgID);
    DeleteClassesTree(clsidKey);
    return TRUE;
  }

  // COM splits the server's command line at spaces unless the path is quoted.
  char module[MAX_PATH];
  const DWORD n = ::GetModuleFileNameA(nullptr, module, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return FALSE;
  char server[MAX_PATH + 2];
  if (std::strchr(module, ' ')) wsprintfA(server, "\"%s\"", module);
  else lstrcpynA(server, module, sizeof server);

  char progIdClsid[MAX_PATH];
  char subKey[MAX_PATH];
  if (lstrlenA(m_lpszProgID) + 7 >= MAX_PATH) return FALSE;
  wsprintfA(progIdClsid, "%s\\CLSID", m_lpszProgID);
  bool ok = SetKeyDefault(m_lpszProgID, m_lpszProgID) && SetKeyDefault(progIdClsid, clsid) &&
            SetKeyDefault(clsidKey, m_lpszProgID);
  wsprintfA(subKey, "%s\\ProgID", clsidKey);
  ok = ok && SetKeyDefault(subKey, m_lpszProgID);
  wsprintfA(subKey, "%s\\LocalServer32", clsidKey);
  ok = ok && SetKeyDefault(subKey, server);
  return ok;
}

BOOL COleObjectFactory::RegisterAll() {
  BOOL ok = TRUE;
  for (COleObjectFactory* f = g_firstFactory; f; f = f->m_pNextFactory) ok = f->Register() && ok;
  return ok;
}

void COleObjectFactory::RevokeAll() {
  for (COleObjectFactory* f = g_firstFactory; f; f = f->m_pNextFactory) f->Revoke();
}

BOOL COleObjectFactory::UpdateRegistryAll(BOOL bRegister) {
  BOOL ok = TRUE;
  for (COleObjectFactory* f = g_firstFactory; f; f = f->m_pNextFactory) ok = f->UpdateRegistry(bRegister) && ok;
  return ok;
}

HRESULT STDMETHODCALLTYPE COleObjectFactory::QueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
    *ppv = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE COleObjectFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (pUnkOuter) return CLASS_E_NOAGGREGATION;
  // A process of its own per object: a client that asks this factory again
  // gets no second object, which would take the first one's place.
  if (m_bMultiInstance && m_served) return CLASS_E_CLASSNOTAVAILABLE;
  CCmdTarget* target = m_pfnCreateObject();
  if (target == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = target->ExternalQueryInterface(&riid, ppv);
  if (SUCCEEDED(hr)) m_served = true;
  // The object's own first reference: now the client's holds it, or it goes.
  target->InternalRelease();
  return hr;
}

HRESULT STDMETHODCALLTYPE COleObjectFactory::LockServer(BOOL fLock) {
  if (fLock) AfxOleLockApp();
  else AfxOleUnlockApp();
  return S_OK;
}
