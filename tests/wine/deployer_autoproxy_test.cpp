// The automation object in the test process: the interfaces it answers, the
// failures of its IDispatch, and its link with the dialog.
#include <gtest/gtest.h>

#include "afxdisp.h"
#include "app.h"
#include "autoproxy.h"
#include "dialog.h"

namespace {

const IID IID_IAddonDeploy = {0x9DF2DD95, 0x12A9, 0x46B8, {0x9C, 0xDE, 0x7D, 0x44, 0xA1, 0x68, 0xA4, 0x28}};

// As the class factory hands it out: the client's reference only.
IDispatch* NewObject() {
  CCmdTarget* target = CAddonDeployDlgAutoProxy::CreateObject();
  void* dispatch = nullptr;
  target->ExternalQueryInterface(&IID_IDispatch, &dispatch);
  target->InternalRelease();
  return static_cast<IDispatch*>(dispatch);
}

TEST(DeployerAutoProxy, AnswersItsDispinterfaceAndFailsEveryLookupAndCall) {
  IDispatch* object = NewObject();
  ASSERT_NE(object, nullptr);
  void* same = nullptr;
  ASSERT_EQ(object->QueryInterface(IID_IAddonDeploy, &same), S_OK);
  EXPECT_EQ(same, object);
  static_cast<IUnknown*>(same)->Release();
  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(object->QueryInterface(IID_IClassFactory, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);

  LPOLESTR names[] = {const_cast<LPOLESTR>(L"Install")};
  DISPID id = 0;
  EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  EXPECT_EQ(object->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, nullptr,
                           nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(object->Release(), 0u);
}

TEST(DeployerAutoProxy, LinksWithTheMainDialogUntilEitherGoes) {
  CAddonDeployApp app;
  {
    // Released first: the dialog forgets the object.
    CAddonDeployDlg dlg;
    app.m_pMainWnd = &dlg;
    IDispatch* object = NewObject();
    ASSERT_NE(dlg.m_pAutoProxy, nullptr);
    EXPECT_EQ(dlg.m_pAutoProxy->m_pOwnerDlg, &dlg);
    object->Release();
    EXPECT_EQ(dlg.m_pAutoProxy, nullptr);
  }
  IDispatch* object = nullptr;
  CAddonDeployDlgAutoProxy* proxy = nullptr;
  {
    // The dialog goes first: the object lives on, unlinked.
    CAddonDeployDlg dlg;
    app.m_pMainWnd = &dlg;
    object = NewObject();
    proxy = dlg.m_pAutoProxy;
    ASSERT_NE(proxy, nullptr);
  }
  app.m_pMainWnd = nullptr;
  EXPECT_EQ(proxy->m_pOwnerDlg, nullptr);
  object->Release();

  // Another main window is not the dialog: nothing to link.
  CWnd other;
  app.m_pMainWnd = &other;
  auto* unlinked = static_cast<CAddonDeployDlgAutoProxy*>(CAddonDeployDlgAutoProxy::CreateObject());
  EXPECT_EQ(unlinked->m_pOwnerDlg, nullptr);
  unlinked->InternalRelease();
  app.m_pMainWnd = nullptr;
}

TEST(DeployerAutoProxy, TheFactoryServesOneObjectAndTheFirstKeepsTheDialog) {
  CAddonDeployApp app;
  CAddonDeployDlg dlg;
  app.m_pMainWnd = &dlg;
  const CLSID clsid = {0x59F70273, 0x5B40, 0x43CE, {0xB7, 0x35, 0xF8, 0x1F, 0xA1, 0x16, 0x37, 0x66}};
  COleObjectFactory factory(clsid, CAddonDeployDlgAutoProxy::CreateObject, TRUE, "AddonDeploy.Application");
  void* first = nullptr;
  ASSERT_EQ(factory.CreateInstance(nullptr, IID_IDispatch, &first), S_OK);
  CAddonDeployDlgAutoProxy* linked = dlg.m_pAutoProxy;
  ASSERT_NE(linked, nullptr);

  // The same client asks again: refused, the link stays with the first.
  void* second = reinterpret_cast<void*>(1);
  EXPECT_TRUE(FAILED(factory.CreateInstance(nullptr, IID_IDispatch, &second)));
  EXPECT_EQ(second, nullptr);
  EXPECT_EQ(dlg.m_pAutoProxy, linked);
  // An object made some other way neither takes the link nor clears it.
  auto* other = static_cast<CAddonDeployDlgAutoProxy*>(CAddonDeployDlgAutoProxy::CreateObject());
  EXPECT_EQ(other->m_pOwnerDlg, nullptr);
  other->InternalRelease();
  EXPECT_EQ(dlg.m_pAutoProxy, linked);

  static_cast<IUnknown*>(first)->Release();
  EXPECT_EQ(dlg.m_pAutoProxy, nullptr);
  app.m_pMainWnd = nullptr;
}

}  // namespace
