#include "screen.h"

#include <algorithm>
#include <functional>

#include "handles.h"

Shot ShootClient(HWND window) {
  Shot shot;
  RECT client;
  ::GetClientRect(window, &client);
  POINT origin = {0, 0};
  ::ClientToScreen(window, &origin);
  shot.width = client.right;
  shot.height = client.bottom;
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), shot.width, -shot.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  HDC screen = ::GetDC(nullptr);
  UniqueMemoryDc memory(::CreateCompatibleDC(screen));
  void* bits = nullptr;
  UniqueGdiObject dib(::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (memory && dib && bits) {
    HGDIOBJ old = ::SelectObject(memory.get(), dib.get());
    ::BitBlt(memory.get(), 0, 0, shot.width, shot.height, screen, origin.x, origin.y, SRCCOPY);
    ::GdiFlush();
    const DWORD* p = static_cast<const DWORD*>(bits);
    for (size_t i = 0; i < static_cast<size_t>(shot.width) * shot.height; ++i)
      shot.pixels.push_back(RGB(p[i] >> 16 & 0xFF, p[i] >> 8 & 0xFF, p[i] & 0xFF));
    ::SelectObject(memory.get(), old);
  } else {
    shot.width = shot.height = 0;
  }
  ::ReleaseDC(nullptr, screen);
  return shot;
}

namespace {
RECT BoxWhere(const Shot& shot, const std::function<bool(int, int)>& hit) {
  RECT box = {shot.width, shot.height, 0, 0};
  for (int y = 0; y < shot.height; ++y)
    for (int x = 0; x < shot.width; ++x)
      if (hit(x, y)) {
        box.left = std::min<LONG>(box.left, x);
        box.top = std::min<LONG>(box.top, y);
        box.right = std::max<LONG>(box.right, x + 1);
        box.bottom = std::max<LONG>(box.bottom, y + 1);
      }
  return box;
}
}  // namespace

RECT BoxOf(const Shot& shot, COLORREF colour) {
  return BoxWhere(shot, [&](int x, int y) { return shot.At(x, y) == colour; });
}

RECT BoxOfChanges(const Shot& before, const Shot& after) {
  if (before.width != after.width || before.height != after.height) return {0, 0, after.width, after.height};
  return BoxWhere(after, [&](int x, int y) { return before.At(x, y) != after.At(x, y); });
}

bool AllOf(const Shot& shot, const RECT& rect, COLORREF colour) {
  for (int y = std::max<LONG>(rect.top, 0); y < std::min<LONG>(rect.bottom, shot.height); ++y)
    for (int x = std::max<LONG>(rect.left, 0); x < std::min<LONG>(rect.right, shot.width); ++x)
      if (shot.At(x, y) != colour) return false;
  return rect.left >= 0 && rect.top >= 0 && rect.right <= shot.width && rect.bottom <= shot.height;
}

RECT ChildRect(HWND parent, HWND child) {
  RECT rect;
  ::GetWindowRect(child, &rect);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}
