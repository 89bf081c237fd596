#include "afxdisp.h"

#include <oleauto.h>

#include <cstring>

#include "handles.h"
#include "win32_error.h"
#include "winapp.h"

namespace {

bool g_oleInitialized = false;
// Constant-initialised, so factories constructed before any other global see it.
COleObjectFactory* g_firstFactory = nullptr;

// The key's default value; 0 or the registry's error.
LONG SetKeyDefault(const char* path, const void* value, DWORD bytes, bool wide) {
  UniqueHKey key;
  LONG rc = ::RegCreateKeyExA(HKEY_CLASSES_ROOT, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  const BYTE* data = static_cast<const BYTE*>(value);
  return wide ? ::RegSetValueExW(key.get(), nullptr, 0, REG_SZ, data, bytes)
              : ::RegSetValueExA(key.get(), nullptr, 0, REG_SZ, data, bytes);
}

LONG SetKeyDefault(const char* path, const char* value) {
  return SetKeyDefault(path, value, static_cast<DWORD>(lstrlenA(value) + 1), false);
}

// 0 when the tree is gone, also when it was never there.
LONG DeleteClassesTree(const char* path) {
  LONG rc = ::RegDeleteTreeA(HKEY_CLASSES_ROOT, path);
  if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) rc = ::RegDeleteKeyA(HKEY_CLASSES_ROOT, path);
  return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

// FALSE, with the error as the thread's last error.
BOOL Fail(DWORD error) {
  ::SetLastError(error);
  return FALSE;
}

BOOL FailWith(HRESULT hr) { return Fail(Win32FromHResult(hr)); }

}  // namespace

BOOL AfxOleInit() {
  const HRESULT hr = ::OleInitialize(nullptr);
  if (FAILED(hr)) return FailWith(hr);
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
    if (::MultiByteToWideChar(CP_ACP, 0, pszFileName, -1, path, MAX_PATH) == 0)
      return Fail(LastErrorOr(ERROR_BAD_PATHNAME));
  } else {
    const DWORD n = ::GetModuleFileNameW(hInstance, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return Fail(LastErrorOr(ERROR_FILENAME_EXCED_RANGE));
  }
  wchar_t helpDir[MAX_PATH];
  if (pszHelpDir && ::MultiByteToWideChar(CP_ACP, 0, pszHelpDir, -1, helpDir, MAX_PATH) == 0)
    return Fail(LastErrorOr(ERROR_BAD_PATHNAME));

  ComPtr<ITypeLib> typeLib;
  HRESULT hr = ::LoadTypeLib(path, reinterpret_cast<ITypeLib**>(typeLib.put()));
  if (FAILED(hr)) return FailWith(hr);
  TLIBATTR* attr = nullptr;
  hr = typeLib->GetLibAttr(&attr);
  if (FAILED(hr)) return FailWith(hr);
  const bool same = IsEqualGUID(attr->guid, tlid);
  typeLib->ReleaseTLibAttr(attr);
  if (!same) return Fail(ERROR_INVALID_DATA);
  hr = ::RegisterTypeLib(typeLib.get(), path, pszHelpDir ? helpDir : nullptr);
  return SUCCEEDED(hr) ? TRUE : FailWith(hr);
}

BOOL AfxOleUnregisterTypeLib(REFGUID tlid, WORD wVerMajor, WORD wVerMinor, LCID lcid) {
  const HRESULT hr = ::UnRegisterTypeLib(tlid, wVerMajor, wVerMinor, lcid, SYS_WIN32);
  return SUCCEEDED(hr) ? TRUE : FailWith(hr);
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
    return Fail(ERROR_INVALID_DATA);
  char clsidKey[64];
  wsprintfA(clsidKey, "CLSID\\%s", clsid);
  if (!bRegister) {
    LONG rc = DeleteClassesTree(m_lpszProgID);
    const LONG rcClsid = DeleteClassesTree(clsidKey);
    if (rc == ERROR_SUCCESS) rc = rcClsid;
    return rc == ERROR_SUCCESS ? TRUE : Fail(rc);
  }

  // The server's path from the wide name, so that a folder name outside the
  // system code page stays exact (as the type library's entry does). COM
  // splits the server's command line at spaces unless the path is quoted.
  wchar_t module[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return Fail(LastErrorOr(ERROR_FILENAME_EXCED_RANGE));
  wchar_t server[MAX_PATH + 2];
  if (wcschr(module, L' ')) wsprintfW(server, L"\"%s\"", module);
  else lstrcpynW(server, module, MAX_PATH + 2);

  char progIdClsid[MAX_PATH];
  char subKey[MAX_PATH];
  if (lstrlenA(m_lpszProgID) + 7 >= MAX_PATH) return Fail(ERROR_FILENAME_EXCED_RANGE);
  wsprintfA(progIdClsid, "%s\\CLSID", m_lpszProgID);
  LONG rc = SetKeyDefault(m_lpszProgID, m_lpszProgID);
  if (rc == ERROR_SUCCESS) rc = SetKeyDefault(progIdClsid, clsid);
  if (rc == ERROR_SUCCESS) rc = SetKeyDefault(clsidKey, m_lpszProgID);
  wsprintfA(subKey, "%s\\ProgID", clsidKey);
  if (rc == ERROR_SUCCESS) rc = SetKeyDefault(subKey, m_lpszProgID);
  wsprintfA(subKey, "%s\\LocalServer32", clsidKey);
  if (rc == ERROR_SUCCESS)
    rc = SetKeyDefault(subKey, server, static_cast<DWORD>((lstrlenW(server) + 1) * sizeof(wchar_t)), true);
  return rc == ERROR_SUCCESS ? TRUE : Fail(rc);
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
  DWORD error = ERROR_SUCCESS;
  for (COleObjectFactory* f = g_firstFactory; f; f = f->m_pNextFactory)
    if (!f->UpdateRegistry(bRegister) && error == ERROR_SUCCESS) error = LastErrorOr(ERROR_GEN_FAILURE);
  return error == ERROR_SUCCESS ? TRUE : Fail(error);
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
