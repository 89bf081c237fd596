// The automation side of command targets: reference counting, the interface
// map and an IDispatch that knows no names.
#include "cmdtarget.h"

const AFX_INTERFACEMAP* CCmdTarget::GetThisInterfaceMap() {
  static const AFX_INTERFACEMAP_ENTRY entries[] = {{nullptr, AfxPart_Dispatch}};
  static const AFX_INTERFACEMAP map = {nullptr, entries};
  return &map;
}

IDispatch* CCmdTarget::GetIDispatch(BOOL bAddRef) {
  if (!m_automation) return nullptr;
  if (bAddRef) InternalAddRef();
  return &m_xDispatch;
}

ULONG CCmdTarget::InternalRelease() {
  const LONG count = ::InterlockedDecrement(&m_dwRef);
  if (count == 0) OnFinalRelease();
  return static_cast<ULONG>(count);
}

HRESULT CCmdTarget::InternalQueryInterface(const IID* iid, void** ppvObj) {
  if (ppvObj == nullptr) return E_POINTER;
  *ppvObj = nullptr;
  if (!m_automation) return E_NOINTERFACE;
  bool known = IsEqualIID(*iid, IID_IUnknown) || IsEqualIID(*iid, IID_IDispatch);
  for (const AFX_INTERFACEMAP* map = GetInterfaceMap(); map && !known;
       map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
    for (const AFX_INTERFACEMAP_ENTRY* e = map->pEntry; e->piid && !known; ++e) known = IsEqualIID(*iid, *e->piid);
  }
  if (!known) return E_NOINTERFACE;
  *ppvObj = GetIDispatch(TRUE);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CCmdTarget::XDispatch::QueryInterface(REFIID riid, void** ppv) {
  return m_owner->ExternalQueryInterface(&riid, ppv);
}

HRESULT STDMETHODCALLTYPE CCmdTarget::XDispatch::GetTypeInfoCount(UINT* pctinfo) {
  if (pctinfo == nullptr) return E_POINTER;
  *pctinfo = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CCmdTarget::XDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
  if (ppTInfo) *ppTInfo = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT STDMETHODCALLTYPE CCmdTarget::XDispatch::GetIDsOfNames(REFIID, LPOLESTR*, UINT cNames, LCID,
                                                               DISPID* rgDispId) {
  if (rgDispId)
    for (UINT i = 0; i < cNames; ++i) rgDispId[i] = DISPID_UNKNOWN;
  return DISP_E_UNKNOWNNAME;
}

HRESULT STDMETHODCALLTYPE CCmdTarget::XDispatch::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                                        EXCEPINFO*, UINT*) {
  return DISP_E_MEMBERNOTFOUND;
}
