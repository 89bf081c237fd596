#include "caption_fit.h"

#include <string>

namespace {

// What a caption shows: "&&" is an ampersand, a lone '&' marks the mnemonic.
std::string Shown(const std::string &text) {
  std::string shown;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) ++i;
    shown += text[i];
  }
  return shown;
}

// A caption's size in the control's own font, on one line.
SIZE TextSize(HWND control, const std::string &text) {
  const std::string shown = Shown(text);
  HDC dc = ::GetDC(control);
  HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(control, WM_GETFONT, 0, 0)));
  SIZE size = {0, 0};
  ::GetTextExtentPoint32A(dc, shown.c_str(), static_cast<int>(shown.size()), &size);
  ::SelectObject(dc, old);
  ::ReleaseDC(control, dc);
  return size;
}

int SpaceWidth(HWND control) { return TextSize(control, "x x").cx - TextSize(control, "xx").cx; }

std::string ClassOf(HWND control) {
  char name[64] = "";
  ::GetClassNameA(control, name, sizeof name);
  return name;
}

std::string TextOf(HWND control) {
  char text[512] = "";
  if (ClassOf(control) == "ComboBox") {
    const LRESULT i = ::SendMessageA(control, CB_GETCURSEL, 0, 0);
    const LRESULT n = i == CB_ERR ? CB_ERR : ::SendMessageA(control, CB_GETLBTEXTLEN, i, 0);
    if (n == CB_ERR || n >= static_cast<LRESULT>(sizeof text)) return "";
    ::SendMessageA(control, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    return text;
  }
  ::GetWindowTextA(control, text, sizeof text);
  return text;
}

// The room a control draws its caption in, as the system lays it out.
SIZE Room(HWND control) {
  RECT client;
  ::GetClientRect(control, &client);
  SIZE room = {client.right, client.bottom};
  const std::string cls = ClassOf(control);
  if (cls == "ComboBox") {
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (::GetComboBoxInfo(control, &info))
      room = {info.rcItem.right - info.rcItem.left, info.rcItem.bottom - info.rcItem.top};
  } else if (cls == "Button") {
    const LONG type = ::GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK;
    if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON ||
        type == BS_3STATE || type == BS_AUTO3STATE) {
      // The box, 12 pixels at 96 dpi and one more, then a gap of half a digit's
      // width, then the text: as the system's button paints it at any dpi.
      HDC dc = ::GetDC(control);
      const int dpi = ::GetDeviceCaps(dc, LOGPIXELSX);
      ::ReleaseDC(control, dc);
      room.cx -= ::MulDiv(12, dpi, 96) + 1 + TextSize(control, "0").cx / 2;
    } else if (type == BS_GROUPBOX) {
      room.cx -= 4 * SpaceWidth(control);
    } else {
      // Inside the button's raised edge and its focus rectangle.
      room.cx -= 4 * ::GetSystemMetrics(SM_CXEDGE);
      room.cy -= 4 * ::GetSystemMetrics(SM_CYEDGE);
    }
  }
  return room;
}

}  // namespace

::testing::AssertionResult CaptionsFit(HWND dialog) {
  std::string cut;
  int measured = 0;
  for (HWND c = ::GetWindow(dialog, GW_CHILD); c != nullptr; c = ::GetWindow(c, GW_HWNDNEXT)) {
    const std::string text = TextOf(c);
    if (text.empty()) continue;
    ++measured;
    const SIZE need = TextSize(c, text), room = Room(c);
    if (need.cx > room.cx || need.cy > room.cy)
      cut += " \"" + text + "\" needs " + std::to_string(need.cx) + "x" + std::to_string(need.cy) + " in " +
             std::to_string(room.cx) + "x" + std::to_string(room.cy) + ";";
  }
  if (measured == 0) return ::testing::AssertionFailure() << "no caption to measure";
  if (!cut.empty()) return ::testing::AssertionFailure() << "cut off:" << cut;
  return ::testing::AssertionSuccess() << measured << " captions fit";
}
