#include "gdi.h"

#include <cstdlib>

#include "wnd.h"

BOOL CGdiObject::DeleteObject() {
  if (m_hObject == nullptr) return FALSE;
  const BOOL ok = ::DeleteObject(m_hObject);
  m_hObject = nullptr;
  return ok;
}

BOOL CFont::CreatePointFont(int nPointSize, const char* faceName, CDC* pDC) {
  LOGFONTA lf{};
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynA(lf.lfFaceName, faceName, LF_FACESIZE);
  HDC hDC = pDC ? pDC->m_hDC : ::GetDC(nullptr);
  // Tenths of a point to logical units: points * dpi / 72, as a character height.
  POINT pt = {0, ::MulDiv(::GetDeviceCaps(hDC, LOGPIXELSY), nPointSize, 720)};
  POINT origin = {0, 0};
  ::DPtoLP(hDC, &pt, 1);
  ::DPtoLP(hDC, &origin, 1);
  lf.lfHeight = -std::abs(pt.y - origin.y);
  if (pDC == nullptr) ::ReleaseDC(nullptr, hDC);
  DeleteObject();
  m_hObject = ::CreateFontIndirectA(&lf);
  return m_hObject != nullptr;
}

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd ? pWnd->m_hWnd : nullptr) { m_hDC = ::GetDC(m_hWnd); }
CClientDC::~CClientDC() {
  if (m_hDC) ::ReleaseDC(m_hWnd, m_hDC);
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd) { m_hDC = ::BeginPaint(m_hWnd, &m_ps); }
CPaintDC::~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }
