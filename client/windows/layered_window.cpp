#include "layered_window.h"

#include "skinkit/memory_dc.h"
#include "win32kit/scoped_win.h"

void CLayeredWindow::Present()
{
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
    PAINTSTRUCT ps;
    BeginPaint(m_hWnd, &ps);
    EndPaint(m_hWnd, &ps);
    Present();
    result = 1;
    return true;
}
