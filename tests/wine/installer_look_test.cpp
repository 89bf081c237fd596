// What the installer looks like: its resources, byte for byte where they
// must be, and the title drawn in blue 25-point Times New Roman.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "caption_fit.h"
#include "dialog.h"
#include "support.h"

namespace {

const WORD kChinesePrc = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

std::string Resource(const char* type, const char* name) {
  HRSRC res = ::FindResourceExA(nullptr, type, name, kChinesePrc);
  if (res == nullptr) return "";
  const char* data = static_cast<const char*>(::LockResource(::LoadResource(nullptr, res)));
  return std::string(data, ::SizeofResource(nullptr, res));
}

// Reads a DLGTEMPLATE item by item.
class TemplateReader {
 public:
  explicit TemplateReader(const std::string& bytes) : m_p(reinterpret_cast<const BYTE*>(bytes.data())) {}
  template <class T>
  T Read() {
    T v;
    std::memcpy(&v, m_p, sizeof v);
    m_p += sizeof v;
    return v;
  }
  // A string or an ordinal (0xFFFF followed by a number, returned as "#n").
  std::wstring SzOrOrd() {
    WORD first = Read<WORD>();
    if (first == 0xFFFF) return L"#" + std::to_wstring(Read<WORD>());
    std::wstring s;
    for (WORD c = first; c != 0; c = Read<WORD>()) s.push_back(static_cast<wchar_t>(c));
    return s;
  }
  void AlignDword(const std::string& base) {
    const size_t offset = m_p - reinterpret_cast<const BYTE*>(base.data());
    m_p += (4 - offset % 4) % 4;
  }

 private:
  const BYTE* m_p;
};

struct Item {
  DWORD style;
  short x, y, cx, cy;
  WORD id;
  std::wstring cls, text;
};

}  // namespace

TEST(InstallerLook, DialogTemplateAsLaidOut) {
  const std::string bytes = Resource(MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(102));  // RT_DIALOG
  ASSERT_FALSE(bytes.empty());
  TemplateReader r(bytes);
  const DWORD style = r.Read<DWORD>();
  EXPECT_EQ(style, static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT));
  EXPECT_EQ(r.Read<DWORD>(), static_cast<DWORD>(WS_EX_APPWINDOW));
  const WORD count = r.Read<WORD>();
  ASSERT_EQ(count, 6);
  EXPECT_EQ(r.Read<short>(), 0);
  EXPECT_EQ(r.Read<short>(), 0);
  EXPECT_EQ(r.Read<short>(), 219);
  EXPECT_EQ(r.Read<short>(), 158);
  EXPECT_EQ(r.SzOrOrd(), L"");  // no menu
  EXPECT_EQ(r.SzOrOrd(), L"");  // no class of its own
  EXPECT_EQ(r.SzOrOrd(), L"MarloCutterSetup32(V1.0)");
  EXPECT_EQ(r.Read<WORD>(), 9);
  EXPECT_EQ(r.SzOrOrd(), L"\x5B8B\x4F53");

  const Item expected[] = {
      {WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 48, 98, 61, 20, 1000, L"#128", L"&Install"},
      {WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 48, 124, 61, 20, 1001, L"#128", L"&Delete"},
      {WS_CHILD | CBS_DROPDOWNLIST | WS_VSCROLL | WS_VISIBLE | WS_TABSTOP, 48, 49, 97, 88, 1005, L"#133", L""},
      {WS_CHILD | CBS_DROPDOWNLIST | WS_VSCROLL | WS_VISIBLE | WS_TABSTOP, 48, 72, 48, 84, 1006, L"#133", L""},
      {WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON, 103, 69, 42, 16, 1007, L"#128", L"&Config"},
      {WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT, 16, 14, 195, 29, 1008, L"#130", L"Cutting Plotter Driver"},
  };
  for (const Item& want : expected) {
    r.AlignDword(bytes);
    Item got;
    got.style = r.Read<DWORD>();
    r.Read<DWORD>();  // extended style
    got.x = r.Read<short>();
    got.y = r.Read<short>();
    got.cx = r.Read<short>();
    got.cy = r.Read<short>();
    got.id = r.Read<WORD>();
    got.cls = r.SzOrOrd();
    got.text = r.SzOrOrd();
    r.Read<WORD>();  // no creation data
    EXPECT_EQ(got.style, want.style) << want.id;
    EXPECT_EQ(got.x, want.x) << want.id;
    EXPECT_EQ(got.y, want.y) << want.id;
    EXPECT_EQ(got.cx, want.cx) << want.id;
    EXPECT_EQ(got.cy, want.cy) << want.id;
    EXPECT_EQ(got.id, want.id);
    EXPECT_TRUE(got.cls == want.cls) << want.id;
    EXPECT_TRUE(got.text == want.text) << want.id;
  }
}

TEST(InstallerLook, RegistryScriptIconAndManifest) {
  const std::string script = Resource("REGISTRY", MAKEINTRESOURCEA(103));
  EXPECT_EQ(script,
            "HKCR\r\n{\r\n\tNoRemove AppID\r\n\t{\r\n"
            "\t\t{D22CD2B4-102F-4962-A1F6-9C3C7094AD40} = s 'PLOTINST'\r\n"
            "\t\t'PLOTINST.EXE'\r\n\t\t{\r\n"
            "\t\t\tval AppID = s {D22CD2B4-102F-4962-A1F6-9C3C7094AD40}\r\n"
            "\t\t}\r\n\t}\r\n}\r\n");
  EXPECT_EQ(script.size(), 179u);

  const std::string group = Resource(MAKEINTRESOURCEA(14), MAKEINTRESOURCEA(128));  // RT_GROUP_ICON
  ASSERT_GE(group.size(), 6u);
  WORD count = 0;
  std::memcpy(&count, group.data() + 4, 2);
  ASSERT_EQ(count, 13);
  ASSERT_EQ(group.size(), 6u + 13 * 14);
  int seen[4][3] = {};
  int big = 0;
  for (int i = 0; i < 13; ++i) {
    const BYTE* e = reinterpret_cast<const BYTE*>(group.data()) + 6 + i * 14;
    const int size = e[0] == 0 ? 256 : e[0];
    WORD bits = 0;
    std::memcpy(&bits, e + 6, 2);
    const int sizeIndex = size == 16 ? 0 : size == 24 ? 1 : size == 32 ? 2 : size == 48 ? 3 : -1;
    const int bitIndex = bits == 4 ? 0 : bits == 8 ? 1 : bits == 32 ? 2 : -1;
    if (size == 256 && bits == 32)
      ++big;
    else if (sizeIndex >= 0 && bitIndex >= 0)
      ++seen[sizeIndex][bitIndex];
  }
  EXPECT_EQ(big, 1);
  for (auto& row : seen)
    for (int n : row) EXPECT_EQ(n, 1);

  const std::string manifest = Resource(MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1));  // RT_MANIFEST
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
  EXPECT_NE(manifest.find("<dpiAware"), std::string::npos);
}

namespace {

struct Box {
  int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
  int Width() const { return right - left + 1; }
  int Height() const { return bottom - top + 1; }
};

bool IsBlue(COLORREF c) { return GetBValue(c) > 200 && GetRValue(c) < 90 && GetGValue(c) < 90; }

// Bounding box of the blue pixels of a rectangle of a device context.
Box BlueBox(HDC dc, const RECT& r, int* pureBlue = nullptr) {
  Box box;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) {
      const COLORREF c = ::GetPixel(dc, x, y);
      if (pureBlue && c == RGB(0, 0, 255)) ++*pureBlue;
      if (!IsBlue(c)) continue;
      box.left = std::min(box.left, x);
      box.right = std::max(box.right, x);
      box.top = std::min(box.top, y);
      box.bottom = std::max(box.bottom, y);
    }
  return box;
}

}  // namespace

TEST(InstallerLook, TitleInPureBlueTwentyFivePointTimes) {
  CPLOTINSTDlg dlg;
  ASSERT_TRUE(dlg.Create());
  // Painted now, the title with the rest: not left to a later message.
  ::RedrawWindow(dlg.m_hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);

  HWND title = ::GetDlgItem(dlg.m_hWnd, IDC_TITLE);
  RECT tr;
  ::GetClientRect(title, &tr);
  HDC dc = ::GetDC(title);
  int pure = 0;
  const Box drawn = BlueBox(dc, tr, &pure);
  ::ReleaseDC(title, dc);
  ASSERT_GT(drawn.right, 0) << "no blue text in the title";
  EXPECT_GT(pure, 20);

  // The same text drawn with the expected font, for its height.
  HDC screen = ::GetDC(nullptr);
  HDC mem = ::CreateCompatibleDC(screen);
  HBITMAP bmp = ::CreateCompatibleBitmap(screen, 600, 100);
  ::SelectObject(mem, bmp);
  RECT all = {0, 0, 600, 100};
  ::FillRect(mem, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  HFONT font = ::CreateFontA(-::MulDiv(25, ::GetDeviceCaps(screen, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, 0, 0, 0,
                             DEFAULT_CHARSET, 0, 0, 0, 0, "Times New Roman");
  ::SelectObject(mem, font);
  ::SetTextColor(mem, RGB(0, 0, 255));
  ::TextOutA(mem, 0, 0, "Cutting Plotter Driver", 22);
  const Box reference = BlueBox(mem, all);
  ::DeleteDC(mem);
  ::DeleteObject(bmp);
  ::DeleteObject(font);
  ::ReleaseDC(nullptr, screen);

  EXPECT_NEAR(drawn.Height(), reference.Height(), 1);
  EXPECT_GE(drawn.Width(), reference.Width() * 9 / 10);  // the control may clip the last letters

  // Nothing else is blue: the buttons keep the dialog font and colours.
  HWND install = ::GetDlgItem(dlg.m_hWnd, IDC_INSTALL);
  RECT br;
  ::GetClientRect(install, &br);
  HDC bdc = ::GetDC(install);
  EXPECT_LT(BlueBox(bdc, br).right, 0);
  ::ReleaseDC(install, bdc);

  // The title, the model list and every button show their whole text.
  EXPECT_TRUE(CaptionsFit(dlg.m_hWnd));
}
