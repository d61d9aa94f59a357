#include "taskbar_icon_menu.h"

#include "skinkit/dpi.h"
#include "skinkit/picture.h"
#include "win32kit/scoped_win.h"
#include "window_messages.h"

#include <windowsx.h>

namespace {

constexpr DWORD kStyle = WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_TOOLWINDOW;

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

}  // namespace

bool CTaskBarIconMenu::Create(HWND owner, const RECT* rect)
{
    m_owner = owner;
    m_menu = rect ? *rect : skinkit::ScaleRectToDpi(RECT{0, 0, 100, 137}, m_dpi);
    return CWindowBase::Create(nullptr, L"Vorl菜单", kStyle, kExStyle, m_menu, nullptr) != nullptr;
}

void CTaskBarIconMenu::LoadImages(const std::wstring& resourceFolder, int dpi)
{
    m_dpi = dpi;
    if (dpi == skinkit::kBaseDpi) {
        m_menuImage = LoadPictureFile(resourceFolder + L"taskbaricon_menu.png");
        m_selImage = LoadPictureFile(resourceFolder + L"taskbaricon_Sel_menu.png");
        return;
    }
    m_menuImage = skinkit::LoadSkinPicture(resourceFolder + L"taskbaricon_menu.png", dpi);
    m_selImage = skinkit::LoadSkinPicture(resourceFolder + L"taskbaricon_Sel_menu.png", dpi);
}

POINT CTaskBarIconMenu::Placement(POINT pointer, SIZE menu, SIZE screen)
{
    POINT at = pointer;
    if (pointer.x + menu.cx > screen.cx)
        at.x = pointer.x - menu.cx;
    if (pointer.y + menu.cy > screen.cy)
        at.y = pointer.y - menu.cy;
    return at;
}

void CTaskBarIconMenu::Open(int x, int y)
{
    // The device's resolution, not the work area: the taskbar may cover the corner.
    win32kit::ScopedGetDC screenDc(nullptr);
    const SIZE screen{GetDeviceCaps(screenDc, HORZRES), GetDeviceCaps(screenDc, VERTRES)};
    const POINT at = Placement(POINT{x, y}, SIZE{Width(m_menu), Height(m_menu)}, screen);
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, at.x, at.y, 0, 0, SWP_NOSIZE);
    ShowWindow(SW_SHOW);
    Present();
    SetForegroundWindow(m_hWnd);
}

BOOL CTaskBarIconMenu::HandleMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (HandlePaintMessage(msg, result))
        return TRUE;
    switch (msg) {
    case WM_CREATE:
        Present();
        return TRUE;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE)
            PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
        return TRUE;
    case WM_MOUSEMOVE:
        OnMouseMove(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return TRUE;
    case WM_LBUTTONUP:
        OnLButtonUp(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return TRUE;
    case WM_MOUSELEAVE:
        m_tracking = false;
        if (m_hot != -1) {
            m_hot = -1;
            Present();
        }
        return TRUE;
    case WM_DESTROY:
        m_menuImage.reset();
        m_selImage.reset();
        return TRUE;
    default:
        return FALSE;
    }
}

void CTaskBarIconMenu::OnMouseMove(POINT point)
{
    if (!m_tracking) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, m_hWnd, 0};
        m_tracking = TrackMouseEvent(&track) != FALSE;
    }
    const int hot = PtInRect(&m_menu, point) ? RowAt(point.y, m_menu, RowHeight()) : -1;
    if (hot == m_hot)
        return;
    m_hot = hot;
    Present();
}

void CTaskBarIconMenu::OnLButtonUp(POINT point)
{
    if (!PtInRect(&m_menu, point))
        return;
    PostMessageW(m_owner, UM_TRAY_COMMAND, 0, RowAt(point.y, m_menu, RowHeight()));
    PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
}

SIZE CTaskBarIconMenu::PictureSize() const { return SIZE{Width(m_menu), Height(m_menu)}; }

void CTaskBarIconMenu::Compose(HDC dc)
{
    Gdiplus::Graphics g(dc);
    if (m_menuImage)
        g.DrawImage(m_menuImage.get(), 0, 0, m_menuImage->GetWidth(), m_menuImage->GetHeight());
    if (m_hot >= 0 && m_selImage)
        g.DrawImage(m_selImage.get(), int(m_menu.left), int(m_menu.top + m_hot * RowHeight()), m_selImage->GetWidth(),
            m_selImage->GetHeight());
}
