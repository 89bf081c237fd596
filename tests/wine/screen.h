// What the screen shows of a window's client area, read back pixel by pixel.
#pragma once

#include <windows.h>

#include <vector>

// The final animation frame's one colour.
inline constexpr COLORREF kBlankColour = RGB(236, 233, 216);

struct Shot {
  int width = 0, height = 0;
  std::vector<COLORREF> pixels;  // top row first
  COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// From the screen, so that it works for a window of another process too.
Shot ShootClient(HWND window);
// The smallest rectangle around every pixel of that colour; empty when none.
RECT BoxOf(const Shot& shot, COLORREF colour);
// The smallest rectangle around every pixel that differs between the two.
RECT BoxOfChanges(const Shot& before, const Shot& after);
// Every pixel of the rectangle has that colour.
bool AllOf(const Shot& shot, const RECT& rect, COLORREF colour);
// A child window's rectangle in its parent's client coordinates.
RECT ChildRect(HWND parent, HWND child);
