// Device contexts and fonts, each owning what it created.
#pragma once

#include <windows.h>

class CWnd;

class CGdiObject {
 public:
  CGdiObject() = default;
  CGdiObject(const CGdiObject&) = delete;
  CGdiObject& operator=(const CGdiObject&) = delete;
  ~CGdiObject() { DeleteObject(); }
  BOOL DeleteObject();
  HGDIOBJ m_hObject = nullptr;
};

class CFont : public CGdiObject {
 public:
  // nPointSize in tenths of a point; without a device context the screen's
  // resolution converts it to pixels.
  BOOL CreatePointFont(int nPointSize, const char* faceName, class CDC* pDC = nullptr);
  operator HFONT() const { return static_cast<HFONT>(m_hObject); }
};

// A device context that this object does not own (handed in by a message).
class CDC {
 public:
  CDC() = default;
  explicit CDC(HDC hDC) : m_hDC(hDC) {}
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;
  virtual ~CDC() = default;

  HGDIOBJ SelectObject(CFont* pFont) { return ::SelectObject(m_hDC, pFont->m_hObject); }
  COLORREF SetTextColor(COLORREF color) { return ::SetTextColor(m_hDC, color); }
  HDC GetSafeHdc() const { return m_hDC; }
  operator HDC() const { return m_hDC; }

  HDC m_hDC = nullptr;
};

// The client area of a window, from GetDC to ReleaseDC.
class CClientDC : public CDC {
 public:
  explicit CClientDC(CWnd* pWnd);
  ~CClientDC() override;

 private:
  HWND m_hWnd;
};

// Painting in answer to WM_PAINT, from BeginPaint to EndPaint.
class CPaintDC : public CDC {
 public:
  explicit CPaintDC(CWnd* pWnd);
  ~CPaintDC() override;
  PAINTSTRUCT m_ps{};

 private:
  HWND m_hWnd;
};
