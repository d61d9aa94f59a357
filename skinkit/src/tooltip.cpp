#include "skinkit/tooltip.h"

#include "control_util.h"
#include "skinkit/control_clock.h"

using namespace skinkit;

namespace {
constexpr const wchar_t* kClassName = L"ToolTipUI";
constexpr const wchar_t* kObjectProperty = L"FeyraToolTip";
constexpr UINT_PTR kHideTimer = 734;
constexpr UINT_PTR kKeepInsideTimer = 735;
constexpr UINT kShowMs = 2000;
}  // namespace

CToolTipUI::~CToolTipUI()
{
    const HWND hwnd = m_window.Get();
    if (!hwnd)
        return;
    ControlClock::Current().StopTimer(hwnd, kHideTimer);
    ControlClock::Current().StopTimer(hwnd, kKeepInsideTimer);
    // Unbound first, so nothing the window receives while it goes reaches
    // this object; m_window then destroys it.
    RemovePropW(hwnd, kObjectProperty);
}

bool CToolTipUI::RegisterWindowClass()
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DROPSHADOW | CS_DBLCLKS;
    wc.lpfnWndProc = &CToolTipUI::__WndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    if (RegisterClassExW(&wc))
        return true;
    return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool CToolTipUI::Create(HWND parent)
{
    if (!RegisterWindowClass())
        return false;
    m_parent = parent;
    // One window per tip: a second window would outlive the object.
    if (m_window)
        return true;
    CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"", WS_POPUP, 600, 400, 100, 100, nullptr, nullptr,
        GetModuleHandleW(nullptr), this);
    return true;
}

int CToolTipUI::SetParent(HWND parent)
{
    m_parent = parent;
    return 1;
}

void CToolTipUI::SetBkColor(COLORREF color)
{
    m_bkColor = color;
    InvalidateIfWindow(GetHWND(), nullptr);
}

void CToolTipUI::SetBorderColor(COLORREF color)
{
    m_borderColor = color;
    InvalidateIfWindow(GetHWND(), nullptr);
}

void CToolTipUI::Place(const std::wstring& text)
{
    const SIZE extent = MeasureTextGdiplus(text, kDefaultFace, 12);
    POINT cursor{};
    GetCursorPos(&cursor);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT r{cursor.x, cursor.y + 20, cursor.x + extent.cx + 4, cursor.y + extent.cy + 24};
    if (r.right > work.right) {
        r.right = work.right;
        r.left = work.right - extent.cx - 4;
    }
    if (r.bottom > work.bottom) {
        r.bottom = cursor.y - 10;
        r.top = r.bottom - extent.cy - 4;
    }
    m_tipRect = r;
    m_text = text;
}

void CToolTipUI::ShowToolTip(std::wstring text)
{
    if (text.empty() || !GetHWND() || IsVisible())
        return;
    Place(text);
    ::SetWindowPos(GetHWND(), HWND_TOPMOST, m_tipRect.left, m_tipRect.top, Width(m_tipRect), Height(m_tipRect),
        SWP_SHOWWINDOW | SWP_NOACTIVATE);
    InvalidateRect(GetHWND(), nullptr, FALSE);
    ControlClock::Current().StartTimer(GetHWND(), kHideTimer, kShowMs);
}

void CToolTipUI::ShowToolTip(const std::wstring& text, const RECT& keepInside)
{
    if (text.empty() || !GetHWND() || IsVisible())
        return;
    m_keepInside = keepInside;
    ShowToolTip(text);
    ControlClock::Current().StartTimer(GetHWND(), kKeepInsideTimer, 1);
}

void CToolTipUI::HideToolTip()
{
    if (IsVisible())
        ::ShowWindow(GetHWND(), SW_HIDE);
}

void CToolTipUI::OnTimer(UINT_PTR id)
{
    if (id == kKeepInsideTimer) {
        POINT cursor{};
        GetCursorPos(&cursor);
        if (PtInRect(&m_keepInside, cursor))
            return;
    } else if (id != kHideTimer) {
        return;
    }
    ControlClock::Current().StopTimer(GetHWND(), kHideTimer);
    ControlClock::Current().StopTimer(GetHWND(), kKeepInsideTimer);
    HideToolTip();
}

void CToolTipUI::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(GetHWND(), &ps);
    RECT client{};
    GetClientRect(GetHWND(), &client);
    const win32kit::ScopedBitmapDC buffer(
        CreateCompatibleDC(dc), CreateCompatibleBitmap(dc, Width(client), Height(client)));
    HDC mem = buffer.Dc();

    FillRect(mem, &client, win32kit::ScopedGdiObject<HBRUSH>(CreateSolidBrush(m_bkColor)).Get());

    RECT text = client;
    InflateRect(&text, -2, -2);
    // GDI+ like every other text of the library: GDI draws CJK faces from
    // their coarse embedded bitmaps at this size.
    Gdiplus::StringFormat format;
    format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
    format.SetFormatFlags(Gdiplus::StringFormatFlagsNoWrap);
    DrawTextGdiplus(mem, m_text, kDefaultFace, 12, RGB(0, 0, 0),
        Gdiplus::RectF(static_cast<float>(text.left), static_cast<float>(text.top), static_cast<float>(Width(text)),
            static_cast<float>(Height(text))),
        &format);

    FrameRect(mem, &client, win32kit::ScopedGdiObject<HBRUSH>(CreateSolidBrush(m_borderColor)).Get());

    BitBlt(dc, 0, 0, Width(client), Height(client), mem, 0, 0, SRCCOPY);
    EndPaint(GetHWND(), &ps);
}

LRESULT CALLBACK CToolTipUI::__WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<CToolTipUI*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        SetPropW(hwnd, kObjectProperty, self);
        if (self)
            self->m_window.Reset(hwnd);
    } else if (msg == WM_NCDESTROY || msg == WM_DESTROY) {
        // Destroyed from outside: the object lets go of the handle.
        if (auto* self = static_cast<CToolTipUI*>(GetPropW(hwnd, kObjectProperty)))
            self->m_window.Release();
        RemovePropW(hwnd, kObjectProperty);
    } else if (auto* self = static_cast<CToolTipUI*>(GetPropW(hwnd, kObjectProperty))) {
        if (msg == WM_PAINT) {
            self->OnPaint();
            return 0;
        }
        if (msg == WM_TIMER)
            self->OnTimer(wParam);
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
