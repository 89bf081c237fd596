// What the real AddonDeploy.exe carries: its dialog template, icon, string,
// type library and manifest, all in Chinese (PRC).
#include <gtest/gtest.h>

#include <string>

#include "caption_fit.h"
#include "deployer_fixture.h"
#include "handles.h"

#include <oleauto.h>

namespace {

constexpr WORD kLanguage = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

INT_PTR CALLBACK IgnoreMessages(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

class DeployerResources : public ::testing::Test {
 protected:
  void SetUp() override {
    m_module.reset(::LoadLibraryExA(WinPath(ADDONDEPLOY_EXE_UNIX).c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    ASSERT_TRUE(m_module);
  }
  // The resource's bytes in the program's language, or null.
  const BYTE* Resource(const char* type, int id, DWORD* size = nullptr) {
    HRSRC info = ::FindResourceExA(m_module.get(), type, MAKEINTRESOURCEA(id), kLanguage);
    if (info == nullptr) return nullptr;
    if (size) *size = ::SizeofResource(m_module.get(), info);
    return static_cast<const BYTE*>(::LockResource(::LoadResource(m_module.get(), info)));
  }
  UniqueLibrary m_module;
};

TEST_F(DeployerResources, DialogTemplateIsExtendedWithTheControlsInTabOrder) {
  const BYTE* bytes = Resource(MAKEINTRESOURCEA(5) /* RT_DIALOG */, 102);
  ASSERT_NE(bytes, nullptr);
  const auto* words = reinterpret_cast<const WORD*>(bytes);
  ASSERT_EQ(words[0], 1);       // dlgVer
  ASSERT_EQ(words[1], 0xFFFF);  // signature of an extended template
  DWORD style, exStyle;
  memcpy(&exStyle, bytes + 8, 4);
  memcpy(&style, bytes + 12, 4);
  EXPECT_EQ(style, DWORD(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_THICKFRAME | DS_CENTER | DS_SHELLFONT));
  EXPECT_EQ(exStyle, DWORD(WS_EX_APPWINDOW));
  EXPECT_EQ(words[8], 14);  // controls
  EXPECT_EQ(words[9], 0);
  EXPECT_EQ(words[10], 0);
  EXPECT_EQ(words[11], 170);
  EXPECT_EQ(words[12], 122);

  // The controls as the dialog manager creates them, in template order.
  struct Control {
    int id;
    DWORD type;
    bool tabStop;
    const char* caption;
    RECT rect;  // x, y, width, height in dialog units
  };
  const Control expected[] = {
      {IDOK, BS_DEFPUSHBUTTON, true, "Install", {59, 101, 50, 14}},
      {1001, BS_AUTOCHECKBOX, true, "CorelDraw 9", {20, 18, 54, 10}},
      {-1, BS_GROUPBOX, false, "", {7, 7, 156, 90}},
      {1002, BS_AUTOCHECKBOX, true, "CorelDraw 10", {99, 18, 58, 10}},
      {1003, BS_AUTOCHECKBOX, true, "CorelDraw 11", {20, 31, 58, 10}},
      {1004, BS_AUTOCHECKBOX, true, "CorelDraw 12", {99, 31, 58, 10}},
      {1005, BS_AUTOCHECKBOX, true, "CorelDraw X3", {20, 44, 58, 10}},
      {1006, BS_AUTOCHECKBOX, true, "CorelDraw X4", {99, 44, 58, 10}},
      {1007, BS_AUTOCHECKBOX, true, "CorelDraw X5", {20, 57, 58, 10}},
      {1008, BS_AUTOCHECKBOX, true, "CorelDraw X6", {99, 57, 58, 10}},
      {1009, BS_PUSHBUTTON, true, "Cancel", {113, 101, 50, 14}},
      {1010, BS_AUTOCHECKBOX, true, "CorelDraw X6(64Bit)", {20, 70, 79, 10}},
      {1011, BS_AUTOCHECKBOX, true, "CorelDraw X7", {99, 70, 58, 10}},
      {1012, BS_AUTOCHECKBOX, true, "CorelDraw X7(64Bit)", {20, 83, 79, 10}},
  };
  HWND dialog =
      ::CreateDialogIndirectParamA(nullptr, reinterpret_cast<LPCDLGTEMPLATEA>(bytes), nullptr, IgnoreMessages, 0);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(WindowText(dialog), "AddonDeploy");
  HWND control = ::GetWindow(dialog, GW_CHILD);
  for (const Control& want : expected) {
    ASSERT_NE(control, nullptr) << want.caption;
    const LONG s = ::GetWindowLongA(control, GWL_STYLE);
    EXPECT_EQ(static_cast<short>(::GetDlgCtrlID(control)), want.id) << want.caption;
    EXPECT_EQ(static_cast<DWORD>(s & BS_TYPEMASK), want.type) << want.caption;
    EXPECT_EQ((s & WS_TABSTOP) != 0, want.tabStop) << want.caption;
    EXPECT_TRUE((s & WS_VISIBLE) && !(s & WS_DISABLED)) << want.caption;
    EXPECT_EQ(WindowText(control), want.caption);
    // Position and size convert to pixels each on its own, as at creation.
    RECT units = want.rect;
    ::MapDialogRect(dialog, &units);
    units.right += units.left;
    units.bottom += units.top;
    RECT actual;
    ::GetWindowRect(control, &actual);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
    EXPECT_TRUE(::EqualRect(&units, &actual)) << want.caption;
    control = ::GetWindow(control, GW_HWNDNEXT);
  }
  EXPECT_EQ(control, nullptr);

  // Drawn as on Windows: "MS Shell Dlg" comes out as Tahoma (no font mapping
  // reaches it), and every caption is whole beside its box.
  HWND box = ::GetDlgItem(dialog, 1012);
  HDC dc = ::GetDC(box);
  ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(box, WM_GETFONT, 0, 0)));
  std::string family = "<none>";
  if (const UINT size = ::GetOutlineTextMetricsA(dc, 0, nullptr)) {
    std::string metrics(size, '\0');
    auto* otm = reinterpret_cast<OUTLINETEXTMETRICA*>(metrics.data());
    if (::GetOutlineTextMetricsA(dc, size, otm))
      family = metrics.data() + reinterpret_cast<size_t>(otm->otmpFamilyName);
  }
  ::ReleaseDC(box, dc);
  EXPECT_EQ(family, "Tahoma");
  EXPECT_TRUE(CaptionsFit(dialog));
  // So does the longest notice the group box shows while a host holds its module.
  ::SetDlgItemTextA(dialog, -1, "Close CorelDraw X7(64Bit) to continue");
  EXPECT_TRUE(CaptionsFit(dialog));
  ::DestroyWindow(dialog);
}

TEST_F(DeployerResources, IconStringAndManifest) {
  const BYTE* group = Resource(MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */, 128);
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(reinterpret_cast<const WORD*>(group)[2], 13);

  // String 100 lies in block 7 of the string table, as entry 4.
  DWORD size = 0;
  const BYTE* block = Resource(MAKEINTRESOURCEA(6) /* RT_STRING */, 100 / 16 + 1, &size);
  ASSERT_NE(block, nullptr);
  const auto* p = reinterpret_cast<const wchar_t*>(block);
  for (int i = 0; i < 100 % 16; ++i) p += 1 + *p;
  EXPECT_EQ(std::wstring(p + 1, *p), L"OLE 初始化失败。请确保 OLE 库是正确的版本。");

  const BYTE* manifest = Resource(MAKEINTRESOURCEA(24) /* RT_MANIFEST */, 1, &size);
  ASSERT_NE(manifest, nullptr);
  const std::string text(reinterpret_cast<const char*>(manifest), size);
  EXPECT_NE(text.find("level=\"requireAdministrator\""), std::string::npos);
  EXPECT_NE(text.find(">true</dpiAware>"), std::string::npos);
}

TEST_F(DeployerResources, TypeLibraryDescribesTheMemberlessDispinterfaceAndItsClass) {
  ASSERT_NE(Resource("TYPELIB", 1), nullptr);
  std::wstring path(MAX_PATH, L'\0');
  path.resize(::MultiByteToWideChar(CP_ACP, 0, WinPath(ADDONDEPLOY_EXE_UNIX).c_str(), -1, path.data(), MAX_PATH) - 1);
  ComPtr<ITypeLib> lib;
  ASSERT_EQ(::LoadTypeLibEx(path.c_str(), REGKIND_NONE, reinterpret_cast<ITypeLib**>(lib.put())), S_OK);
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
  const GUID libid = {0x5FA3ED51, 0x827E, 0x420B, {0x83, 0x6F, 0x5D, 0x72, 0x0F, 0x9D, 0x9A, 0xE4}};
  EXPECT_TRUE(IsEqualGUID(attr->guid, libid));
  EXPECT_EQ(attr->wMajorVerNum, 1);
  EXPECT_EQ(attr->wMinorVerNum, 0);
  EXPECT_EQ(attr->lcid, 0u);
  EXPECT_EQ(attr->syskind, SYS_WIN32);
  lib->ReleaseTLibAttr(attr);
  BSTR name = nullptr;
  ASSERT_EQ(lib->GetDocumentation(-1, &name, nullptr, nullptr, nullptr), S_OK);
  EXPECT_STREQ(name, L"AddonDeploy");
  ::SysFreeString(name);

  const IID iid = {0x9DF2DD95, 0x12A9, 0x46B8, {0x9C, 0xDE, 0x7D, 0x44, 0xA1, 0x68, 0xA4, 0x28}};
  ComPtr<ITypeInfo> dispatch;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(iid, reinterpret_cast<ITypeInfo**>(dispatch.put())), S_OK);
  TYPEATTR* type = nullptr;
  ASSERT_EQ(dispatch->GetTypeAttr(&type), S_OK);
  EXPECT_EQ(type->typekind, TKIND_DISPATCH);
  EXPECT_TRUE(type->wTypeFlags & TYPEFLAG_FDISPATCHABLE);
  EXPECT_EQ(type->cVars, 0);
  // Only the seven members every dispinterface inherits from IDispatch.
  EXPECT_LE(type->cFuncs, 7);
  dispatch->ReleaseTypeAttr(type);

  const CLSID clsid = {0x59F70273, 0x5B40, 0x43CE, {0xB7, 0x35, 0xF8, 0x1F, 0xA1, 0x16, 0x37, 0x66}};
  ComPtr<ITypeInfo> coclass;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(clsid, reinterpret_cast<ITypeInfo**>(coclass.put())), S_OK);
  ASSERT_EQ(coclass->GetTypeAttr(&type), S_OK);
  EXPECT_EQ(type->typekind, TKIND_COCLASS);
  EXPECT_TRUE(type->wTypeFlags & TYPEFLAG_FCANCREATE);
  EXPECT_EQ(type->cImplTypes, 1);
  coclass->ReleaseTypeAttr(type);
  INT flags = 0;
  EXPECT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
  EXPECT_TRUE(flags & IMPLTYPEFLAG_FDEFAULT);
  HREFTYPE ref = 0;
  ComPtr<ITypeInfo> implemented;
  ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &ref), S_OK);
  ASSERT_EQ(coclass->GetRefTypeInfo(ref, reinterpret_cast<ITypeInfo**>(implemented.put())), S_OK);
  ASSERT_EQ(implemented->GetTypeAttr(&type), S_OK);
  EXPECT_TRUE(IsEqualGUID(type->guid, iid));
  implemented->ReleaseTypeAttr(type);
}

}  // namespace
