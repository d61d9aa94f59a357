#include "layered_preview.h"

#include "skinkit/memory_dc.h"
#include "win32kit/scoped_win.h"

bool CLayeredPreview::CreateLayered(const wchar_t* title, int x, int y)
{
    HWND hwnd = CWindowBase::Create(nullptr, title, WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX,
        WS_EX_LAYERED | WS_EX_TOOLWINDOW, x, y, m_size.cx, m_size.cy, nullptr);
    if (!hwnd)
        return false;
    CenterWindow();
    // A layered window has no picture until the first update.
    Present(win32kit::ScopedGetDC(hwnd));
    return true;
}

void CLayeredPreview::Paint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    Present(dc);
    EndPaint(m_hWnd, &ps);
}

void CLayeredPreview::Present(HDC target)
{
    __ostrel_memory_dc surface;
    if (!surface.Create_compatible_dc(target, m_size.cx, m_size.cy, 1))
        return;
    Render(surface.get_ghost());
    PresentLayeredWindow(m_hWnd, target, surface.get_ghost(), m_size.cx, m_size.cy);
}
