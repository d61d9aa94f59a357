#include "combo_list.h"

#include <algorithm>

#include "control_util.h"
#include "skinkit/combo_box.h"
#include "skinkit/memory_dc.h"

// After the headers: it defines GetWindowStyle, a member name there.
#include <windowsx.h>

using namespace skinkit;

namespace {

constexpr int kInset = 2;
constexpr int kBarRoom = 22;
constexpr int kBarWidth = 8;
constexpr int kMarkerSize = 10;
constexpr COLORREF kMarkerFrame = RGB(64, 128, 224);

}  // namespace

std::vector<ComboRow> ComboRowLayout(int count, int height, int hot, bool expand)
{
    std::vector<ComboRow> rows;
    rows.reserve(std::max(0, count));
    int top = kInset;
    for (int i = 0; i < count; ++i) {
        int h = height;
        if (expand && i == hot)
            h = height * 2;
        else if (expand && (i == hot - 1 || i == hot + 1))
            h = height * 3 / 2;
        rows.push_back({top, h});
        top += h;
    }
    return rows;
}

CComboList::CComboList(CComboBoxUI& combo)
    : m_combo(combo)
{
    for (const auto& item : combo.m_items)
        m_texts.push_back(item.text);
}

CComboList::~CComboList()
{
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
}

bool CComboList::Open(const RECT& screenRect, int scrollPos)
{
    m_width = screenRect.right - screenRect.left;
    m_height = screenRect.bottom - screenRect.top;
    m_hot = std::clamp(m_combo.m_curSel, 0, std::max(0, int(m_texts.size()) - 1));
    m_rows = ComboRowLayout(int(m_texts.size()), m_combo.m_itemHeight, m_hot, m_combo.m_style & kComboExpandHot);
    if (!Create(m_combo.m_parent, L"", WS_POPUP, WS_EX_TOOLWINDOW, screenRect, nullptr))
        return false;
    SetPropW(m_hWnd, L"FeyraComboBox", this);
    const int content = m_rows.empty() ? 0 : m_rows.back().top + m_rows.back().height + kInset;
    m_scrollBar.Create(
        m_hWnd, RECT{m_width - kInset - kBarWidth - 4, kInset, m_width - kInset - 4, m_height - kInset}, 0, 0);
    m_scrollBar.SetBitmap(m_combo.m_thumb[0], m_combo.m_thumb[1], m_combo.m_thumb[2]);
    m_scrollBar.SetWheelArea(RECT{0, 0, m_width, m_height});
    m_scrollBar.SetScrollRange(0, std::max(content, m_height), false);
    m_scrollBar.ShowScrollBar(content > m_height);
    if (content > m_height)
        m_scrollBar.SetScrollPos(scrollPos, false);
    SetWindowPos(HWND_TOPMOST, &screenRect, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    return true;
}

void CComboList::OnWheel(WPARAM wParam, LPARAM lParam)
{
    m_scrollBar.WindowProc(m_hWnd, WM_MOUSEWHEEL, wParam, lParam);
}

bool CComboList::HasCloseButtons() const { return !(m_combo.m_style & kComboNoClose) && m_combo.m_close; }

RECT CComboList::RowRect(int row) const
{
    const int right = m_width - (m_scrollBar.IsWindowVisible() ? kBarRoom : kInset);
    const int top = m_rows[row].top - m_scrollBar.GetScrollPos();
    return RECT{kInset, top, right, top + m_rows[row].height};
}

RECT CComboList::CloseRect(int row) const
{
    const RECT r = RowRect(row);
    const int w = int(m_combo.m_close->GetWidth()) / 3;
    const int h = int(m_combo.m_close->GetHeight());
    const int top = r.top + (r.bottom - r.top - h) / 2;
    return RECT{r.right - 4 - w, top, r.right - 4, top + h};
}

int CComboList::RowAt(POINT point) const
{
    for (int row = 0; row < int(m_rows.size()); ++row) {
        const RECT r = RowRect(row);
        if (PtInRect(&r, point))
            return row;
    }
    return -1;
}

void CComboList::Post(WPARAM code, int row)
{
    m_combo.m_chosen = row;
    PostMessageW(m_combo.m_parent, kComboNotify, code, 0);
}

BOOL CComboList::HandleMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (msg) {
    case WM_MOUSEACTIVATE:
        result = MA_NOACTIVATE;
        return TRUE;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE)
            Post(kComboClosed, -1);
        return TRUE;
    case WM_ERASEBKGND:
        result = 1;
        return TRUE;
    case WM_PAINT:
        Paint();
        result = 1;
        return TRUE;
    case WM_MOUSEMOVE:
        OnMouseMove(point);
        return TRUE;
    case WM_MOUSELEAVE:
        m_tracking = false;
        return TRUE;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        OnButtonDown(point);
        return TRUE;
    case WM_LBUTTONUP:
        OnButtonUp(point);
        return TRUE;
    case WM_TIMER:
        m_scrollBar.WindowProc(m_hWnd, msg, wParam, lParam);
        return TRUE;
    case WM_MOUSEWHEEL:
        OnWheel(wParam, lParam);
        return TRUE;
    case kScrollBarNotify:
        InvalidateRect(m_hWnd, nullptr, FALSE);
        return TRUE;
    default:
        return FALSE;
    }
}

void CComboList::OnMouseMove(POINT point)
{
    if (!m_tracking) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, m_hWnd, 0};
        m_tracking = TrackMouseEvent(&track) != FALSE;
    }
    if (m_scrollBar.IsDragging()) {
        m_scrollBar.WindowProc(m_hWnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(point.x, point.y));
        return;
    }
    const int row = RowAt(point);
    if (row < 0 || row == m_hot)
        return;
    m_hot = row;
    if (m_combo.m_style & kComboExpandHot)
        m_rows = ComboRowLayout(int(m_texts.size()), m_combo.m_itemHeight, m_hot, true);
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CComboList::OnButtonDown(POINT point)
{
    const RECT bar = m_scrollBar.GetWindowRect();
    if (m_scrollBar.IsWindowVisible() && PtInRect(&bar, point)) {
        m_scrollBar.WindowProc(m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(point.x, point.y));
        return;
    }
    const int row = RowAt(point);
    if (row < 0)
        return;
    const RECT close = HasCloseButtons() ? CloseRect(row) : RECT{};
    if (PtInRect(&close, point)) {
        m_pressed = row;
        SetCapture(m_hWnd);
        InvalidateRect(m_hWnd, nullptr, FALSE);
        return;
    }
    Post(kComboSelChanged, row);
}

void CComboList::OnButtonUp(POINT point)
{
    m_scrollBar.WindowProc(m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(point.x, point.y));
    const int pressed = m_pressed;
    m_pressed = -1;
    if (pressed < 0)
        return;
    if (GetCapture() == m_hWnd)
        ReleaseCapture();
    const RECT close = CloseRect(pressed);
    if (PtInRect(&close, point))
        Post(kComboItemClosed, pressed);
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CComboList::Paint()
{
    PAINTSTRUCT ps;
    HDC target = BeginPaint(m_hWnd, &ps);
    __ostrel_memory_dc surface;
    if (surface.Create_compatible_dc(target, m_width, m_height, 1)) {
        HDC dc = surface.get_ghost();
        RECT all{0, 0, m_width, m_height};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        {
            Gdiplus::Graphics g(dc);
            for (int row = 0; row < int(m_rows.size()); ++row)
                DrawRow(dc, g, row);
        }
        m_scrollBar.OnPaint(dc);
        win32kit::ScopedGdiObject<HBRUSH> frame(CreateSolidBrush(m_combo.m_borderColor));
        FrameRect(dc, &all, frame.Get());
        BitBlt(target, 0, 0, m_width, m_height, dc, 0, 0, SRCCOPY);
    }
    EndPaint(m_hWnd, &ps);
}

void CComboList::DrawRow(HDC dc, Gdiplus::Graphics& g, int row)
{
    RECT r = RowRect(row);
    if (r.bottom <= 0 || r.top >= m_height)
        return;
    if (row == m_hot) {
        win32kit::ScopedGdiObject<HBRUSH> hot(CreateSolidBrush(m_combo.m_selColor));
        FillRect(dc, &r, hot.Get());
    }
    int textLeft = r.left + 4;
    if (m_combo.m_style & kComboMarker) {
        const int top = r.top + (r.bottom - r.top - kMarkerSize) / 2;
        win32kit::ScopedGdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, kMarkerFrame));
        const win32kit::ScopedSelectObject penIn(dc, pen.Get());
        const win32kit::ScopedSelectObject brushIn(dc, GetStockObject(WHITE_BRUSH));
        RoundRect(dc, textLeft, top, textLeft + kMarkerSize, top + kMarkerSize, 5, 5);
        textLeft += kMarkerSize + 6;
    }
    RECT text{textLeft, r.top, r.right - 4, r.bottom};
    if (HasCloseButtons()) {
        const RECT close = CloseRect(row);
        text.right = close.left - 4;
        const int w = close.right - close.left;
        int state = 0;
        if (row == m_hot)
            state = m_pressed == row ? 2 : 1;
        DrawImagePart(g, m_combo.m_close, close.left, close.top, state * w, 0, w, close.bottom - close.top);
    }
    ScopedFont font(kDefaultFace, 12);
    const win32kit::ScopedSelectObject fontIn(dc, font.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, m_combo.m_textColor);
    DrawTextW(dc, m_texts[row].c_str(), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
}
