#include "skinkit/tooltip.h"

#include "control_util.h"

using namespace skinkit;

namespace {
constexpr const wchar_t* kClassName = L"ToolTipUI";
constexpr const wchar_t* kObjectProperty = L"FeyraToolTip";
constexpr UINT_PTR kHideTimer = 734;
constexpr UINT_PTR kKeepInsideTimer = 735;
constexpr UINT kShowMs = 2000;
}  // namespace

CToolTipUI::~CToolTipUI() {
    if (!m_hWnd) return;
    KillTimer(m_hWnd, kHideTimer);
    KillTimer(m_hWnd, kKeepInsideTimer);
}

bool CToolTipUI::RegisterWindowClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DROPSHADOW | CS_DBLCLKS;
    wc.lpfnWndProc = &CToolTipUI::__WndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    if (RegisterClassExW(&wc)) return true;
    return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool CToolTipUI::Create(HWND parent) {
    if (!RegisterWindowClass()) return false;
    CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"", WS_POPUP, 600, 400, 100, 100, nullptr, nullptr,
                    GetModuleHandleW(nullptr), this);
    m_parent = parent;
    return true;
}

int CToolTipUI::SetParent(HWND parent) {
    m_parent = parent;
    return 1;
}

void CToolTipUI::SetBkColor(COLORREF color) {
    m_bkColor = color;
    InvalidateIfWindow(m_hWnd, nullptr);
}

void CToolTipUI::SetBorderColor(COLORREF color) {
    m_borderColor = color;
    InvalidateIfWindow(m_hWnd, nullptr);
}

void CToolTipUI::Place(const std::wstring& text) {
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

void CToolTipUI::ShowToolTip(std::wstring text) {
    if (text.empty() || !m_hWnd || IsVisible()) return;
    Place(text);
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, m_tipRect.left, m_tipRect.top, Width(m_tipRect), Height(m_tipRect),
                   SWP_SHOWWINDOW | SWP_NOACTIVATE);
    InvalidateRect(m_hWnd, nullptr, FALSE);
    SetTimer(m_hWnd, kHideTimer, kShowMs, nullptr);
}

void CToolTipUI::ShowToolTip(const std::wstring& text, const RECT& keepInside) {
    if (text.empty() || !m_hWnd || IsVisible()) return;
    m_keepInside = keepInside;
    ShowToolTip(text);
    SetTimer(m_hWnd, kKeepInsideTimer, 1, nullptr);
}

void CToolTipUI::HideToolTip() {
    if (IsVisible()) ::ShowWindow(m_hWnd, SW_HIDE);
}

void CToolTipUI::OnTimer(UINT_PTR id) {
    if (id == kKeepInsideTimer) {
        POINT cursor{};
        GetCursorPos(&cursor);
        if (PtInRect(&m_keepInside, cursor)) return;
    } else if (id != kHideTimer) {
        return;
    }
    KillTimer(m_hWnd, kHideTimer);
    KillTimer(m_hWnd, kKeepInsideTimer);
    HideToolTip();
}

void CToolTipUI::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    RECT client{};
    GetClientRect(m_hWnd, &client);
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, Width(client), Height(client));
    HGDIOBJ oldBitmap = SelectObject(mem, bitmap);

    HBRUSH background = CreateSolidBrush(m_bkColor);
    FillRect(mem, &client, background);
    DeleteObject(background);

    RECT text = client;
    InflateRect(&text, -2, -2);
    // GDI+ like every other text of the library: GDI draws CJK faces from
    // their coarse embedded bitmaps at this size.
    Gdiplus::StringFormat format;
    format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
    format.SetFormatFlags(Gdiplus::StringFormatFlagsNoWrap);
    DrawTextGdiplus(mem, m_text, kDefaultFace, 12, RGB(0, 0, 0),
                    Gdiplus::RectF(static_cast<float>(text.left), static_cast<float>(text.top),
                                   static_cast<float>(Width(text)), static_cast<float>(Height(text))),
                    &format);

    HBRUSH border = CreateSolidBrush(m_borderColor);
    FrameRect(mem, &client, border);
    DeleteObject(border);

    BitBlt(dc, 0, 0, Width(client), Height(client), mem, 0, 0, SRCCOPY);
    SelectObject(mem, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(mem);
    EndPaint(m_hWnd, &ps);
}

LRESULT CALLBACK CToolTipUI::__WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<CToolTipUI*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        SetPropW(hwnd, kObjectProperty, self);
        if (self) self->m_hWnd = hwnd;
    } else if (msg == WM_NCDESTROY || msg == WM_DESTROY) {
        RemovePropW(hwnd, kObjectProperty);
    } else if (auto* self = static_cast<CToolTipUI*>(GetPropW(hwnd, kObjectProperty))) {
        if (msg == WM_PAINT) {
            self->OnPaint();
            return 0;
        }
        if (msg == WM_TIMER) self->OnTimer(wParam);
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
