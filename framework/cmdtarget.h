// Message maps: a plain table per class (message, notification code, control
// id, handler kind, handler), read top to bottom, then the base class's table.
#pragma once

#include <windows.h>
#include <ole2.h>

class CCmdTarget;
class CWnd;
class CDC;

using AFX_PMSG = void (CCmdTarget::*)();

// How a handler is called and what it returns to the dialog manager.
enum AfxSig : int {
  AfxSig_end = 0,
  AfxSig_v,         // void ()
  AfxSig_CtlColor,  // HBRUSH (CDC*, CWnd*, UINT nCtlColor)
  AfxSig_Cursor,    // HCURSOR ()
  AfxSig_Timer,     // void (UINT_PTR nIDEvent)
  AfxSig_Notify,    // void (NMHDR*, LRESULT*)
};

struct AFX_MSGMAP_ENTRY {
  UINT nMessage;  // window message; WM_COMMAND and WM_NOTIFY also match nCode and nID
  UINT nCode;
  UINT nID;
  AfxSig nSig;
  AFX_PMSG pfn;
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*pfnGetBaseMap)();
  const AFX_MSGMAP_ENTRY* lpEntries;
};

// The control-colour messages WM_CTLCOLORMSGBOX..WM_CTLCOLORSTATIC arrive at
// one handler under this combined message number.
constexpr UINT WM_CTLCOLOR = 0x0019;

// Interface maps: the interface ids an automation object answers besides
// IUnknown and IDispatch, each through its IDispatch.
enum AfxInterfacePart { AfxPart_Dispatch };
struct AFX_INTERFACEMAP_ENTRY {
  const IID* piid;
  AfxInterfacePart part;
};

struct AFX_INTERFACEMAP {
  const AFX_INTERFACEMAP* (*pfnGetBaseMap)();
  const AFX_INTERFACEMAP_ENTRY* pEntry;
};

class CCmdTarget {
 public:
  CCmdTarget() : m_xDispatch(this) {}
  // The COM side belongs to one object: a copy starts afresh.
  CCmdTarget(const CCmdTarget&) : CCmdTarget() {}
  CCmdTarget& operator=(const CCmdTarget&) { return *this; }
  virtual ~CCmdTarget() = default;
  virtual const AFX_MSGMAP* GetMessageMap() const { return GetThisMessageMap(); }

  // The first entry of this class's map chain that handles the message.
  const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT message, UINT code, UINT id) const;

  // Automation: an IDispatch without members. An object starts with one
  // reference, which its creator gives up after handing out an interface.
  void EnableAutomation() { m_automation = true; }
  IDispatch* GetIDispatch(BOOL bAddRef);
  ULONG InternalAddRef() { return static_cast<ULONG>(::InterlockedIncrement(&m_dwRef)); }
  ULONG InternalRelease();
  HRESULT InternalQueryInterface(const IID* iid, void** ppvObj);
  HRESULT ExternalQueryInterface(const IID* iid, void** ppvObj) { return InternalQueryInterface(iid, ppvObj); }
  // The last reference has gone.
  virtual void OnFinalRelease() { delete this; }
  virtual const AFX_INTERFACEMAP* GetInterfaceMap() const { return GetThisInterfaceMap(); }

 protected:
  static const AFX_MSGMAP* GetThisMessageMap();
  static const AFX_INTERFACEMAP* GetThisInterfaceMap();

 private:
  // Every name lookup and every call fails: the object has no members.
  class XDispatch : public IDispatch {
   public:
    explicit XDispatch(CCmdTarget* owner) : m_owner(owner) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return m_owner->InternalAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return m_owner->InternalRelease(); }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT cNames, LCID, DISPID* rgDispId) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override;

   private:
    CCmdTarget* m_owner;
  };

  LONG m_dwRef = 1;
  bool m_automation = false;
  XDispatch m_xDispatch;
};

#define DECLARE_MESSAGE_MAP()                     \
 protected:                                       \
  static const AFX_MSGMAP* GetThisMessageMap();   \
                                                  \
 public:                                          \
  const AFX_MSGMAP* GetMessageMap() const override;

#define DECLARE_INTERFACE_MAP()                      \
 protected:                                          \
  static const AFX_INTERFACEMAP* GetThisInterfaceMap(); \
                                                     \
 public:                                             \
  const AFX_INTERFACEMAP* GetInterfaceMap() const override;

#define BEGIN_INTERFACE_MAP(theClass, baseClass)                                              \
  const AFX_INTERFACEMAP* theClass::GetInterfaceMap() const { return GetThisInterfaceMap(); } \
  const AFX_INTERFACEMAP* theClass::GetThisInterfaceMap() {                                   \
    using TheBaseClass = baseClass;                                                           \
    static const AFX_INTERFACEMAP_ENTRY entries[] = {
// Only the object's IDispatch can answer an interface of the map.
#define INTERFACE_PART(theClass, iid, localClass) {&(iid), AfxPart_##localClass},
#define END_INTERFACE_MAP()                                                          \
  {nullptr, AfxPart_Dispatch}                                                        \
  }                                                                                  \
  ;                                                                                  \
  static const AFX_INTERFACEMAP map = {&TheBaseClass::GetThisInterfaceMap, entries}; \
  return &map;                                                                       \
  }

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                  \
  const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {                              \
    using ThisClass [[maybe_unused]] = theClass;                                 \
    using TheBaseClass = baseClass;                                              \
    static const AFX_MSGMAP_ENTRY entries[] = {
#define END_MESSAGE_MAP()                                                    \
  {0, 0, 0, AfxSig_end, nullptr}                                             \
  }                                                                          \
  ;                                                                          \
  static const AFX_MSGMAP map = {&TheBaseClass::GetThisMessageMap, entries}; \
  return &map;                                                               \
  }

#define AFX_HANDLER(sig, type, fn) sig, reinterpret_cast<AFX_PMSG>(static_cast<type>(fn))

#define ON_COMMAND(id, fn) {WM_COMMAND, 0, (UINT)(id), AfxSig_v, static_cast<AFX_PMSG>(&ThisClass::fn)},
#define ON_CONTROL(code, id, fn) \
  {WM_COMMAND, (UINT)(code), (UINT)(id), AfxSig_v, static_cast<AFX_PMSG>(&ThisClass::fn)},
#define ON_BN_CLICKED(id, fn) ON_CONTROL(BN_CLICKED, id, fn)
#define ON_CBN_SELCHANGE(id, fn) ON_CONTROL(CBN_SELCHANGE, id, fn)
#define ON_NOTIFY(code, id, fn)                                                          \
  {WM_NOTIFY, (UINT)(code), (UINT)(id),                                                  \
   AFX_HANDLER(AfxSig_Notify, void (CCmdTarget::*)(NMHDR*, LRESULT*), &ThisClass::fn)},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, AfxSig_v, static_cast<AFX_PMSG>(&ThisClass::OnPaint)},
#define ON_WM_CLOSE() {WM_CLOSE, 0, 0, AfxSig_v, static_cast<AFX_PMSG>(&ThisClass::OnClose)},
#define ON_WM_DESTROY() {WM_DESTROY, 0, 0, AfxSig_v, static_cast<AFX_PMSG>(&ThisClass::OnDestroy)},
#define ON_WM_QUERYDRAGICON() \
  {WM_QUERYDRAGICON, 0, 0, AFX_HANDLER(AfxSig_Cursor, HCURSOR (CCmdTarget::*)(), &ThisClass::OnQueryDragIcon)},
#define ON_WM_CTLCOLOR()                                                                   \
  {WM_CTLCOLOR, 0, 0,                                                                      \
   AFX_HANDLER(AfxSig_CtlColor, HBRUSH (CCmdTarget::*)(CDC*, CWnd*, UINT), &ThisClass::OnCtlColor)},
#define ON_WM_TIMER() \
  {WM_TIMER, 0, 0, AFX_HANDLER(AfxSig_Timer, void (CCmdTarget::*)(UINT_PTR), &ThisClass::OnTimer)},
// Command ID_HELP reaches CWinApp::OnHelp in the application's map.
#define ID_HELP 0xE146
