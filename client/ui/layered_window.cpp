#include "layered_window.h"

#include "skinkit/memory_dc.h"
#include "win32kit/scoped_win.h"

void CLayeredWindow::Present()
{
    if (m_surface == Surface::kOpaque) {
        InvalidateRect(m_hWnd, nullptr, FALSE);
        return;
    }
    const SIZE size = PictureSize();
    win32kit::ScopedGetDC target(m_hWnd);
    __ostrel_memory_dc surface;
    if (!surface.Create_compatible_dc(target, size.cx, size.cy, 1))
        return;
    Compose(surface.get_ghost());
    PresentLayeredWindow(m_hWnd, target, surface.get_ghost(), size.cx, size.cy);
}

bool CLayeredWindow::HandlePaintMessage(UINT msg, LRESULT& result)
{
    if (msg == WM_ERASEBKGND) {
        result = 1;
        return true;
    }
    if (msg != WM_PAINT)
        return false;
    result = 1;
    if (m_surface == Surface::kOpaque) {
        PaintOpaque();
        return true;
    }
    PAINTSTRUCT ps;
    BeginPaint(m_hWnd, &ps);
    EndPaint(m_hWnd, &ps);
    Present();
    return true;
}

void CLayeredWindow::PaintOpaque()
{
    PAINTSTRUCT ps;
    HDC target = BeginPaint(m_hWnd, &ps);
    const SIZE size = PictureSize();
    __ostrel_memory_dc surface;
    if (target && surface.Create_compatible_dc(target, size.cx, size.cy, 1)) {
        Compose(surface.get_ghost());
        BitBlt(target, 0, 0, size.cx, size.cy, surface.get_ghost(), 0, 0, SRCCOPY);
    }
    EndPaint(m_hWnd, &ps);
}

void CLayeredWindow::OnFinalMessage(HWND)
{
    if (m_deleteWhenGone)
        delete this;
}
