#include "skinkit/scroll_bar.h"

#include <algorithm>
#include <cstdint>

#include <windowsx.h>

#include "control_util.h"

using namespace skinkit;

namespace {

constexpr int kPageStep = 50;
constexpr int kWheelStep = 40;
constexpr UINT kPageRepeatMs = 100;
// A thumb any shorter could not be caught with the pointer.
constexpr int kMinThumb = 12;

struct Geometry {
    int top;
    int height;
};

// 64-bit throughout: ranges near the int limits must not overflow.
std::int64_t Range(int min, int max) { return std::int64_t(max) - min; }

int BarHeight(const RECT& r) { return std::max(0, int(r.bottom - r.top)); }

int ThumbHeight(const RECT& bar, int min, int max)
{
    const int h = BarHeight(bar);
    const std::int64_t range = Range(min, max);
    if (range <= 0)
        return h;
    const std::int64_t wanted = std::int64_t(h) * h / range;
    return int(std::clamp<std::int64_t>(wanted, std::min(h, kMinThumb), h));
}

Geometry Thumb(const RECT& bar, int min, int max, int pos)
{
    const int h = BarHeight(bar);
    const int height = ThumbHeight(bar, min, max);
    const std::int64_t range = Range(min, max);
    std::int64_t offset = range > 0 ? (std::int64_t(pos) - min) * h / range : 0;
    offset = std::clamp<std::int64_t>(offset, 0, h - height);
    return {int(bar.top + offset), height};
}

// The last position at which the whole thumb still fits in the bar.
int LastFittingPos(const RECT& bar, int min, int max)
{
    const int h = BarHeight(bar);
    const std::int64_t range = Range(min, max);
    if (h <= 0 || range <= 0)
        return min;
    const std::int64_t last = min + std::int64_t(h - ThumbHeight(bar, min, max)) * range / h;
    return int(std::clamp<std::int64_t>(last, min, max));
}

void DrawThumb(
    Gdiplus::Graphics& g, const RECT& thumb, Gdiplus::Bitmap* top, Gdiplus::Bitmap* middle, Gdiplus::Bitmap* bottom)
{
    const int w = thumb.right - thumb.left;
    const int topH = int(top->GetHeight());
    const int midH = int(middle->GetHeight());
    const int bottomH = int(bottom->GetHeight());
    const int x = thumb.left;
    if (thumb.bottom - thumb.top < topH + midH + bottomH) {
        g.DrawImage(top, x, int(thumb.top), w, topH);
        g.DrawImage(middle, x, int(thumb.top) + topH, w, midH);
        g.DrawImage(bottom, x, int(thumb.top) + topH + midH, w, bottomH);
        return;
    }
    Gdiplus::ImageAttributes tile;
    tile.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
    g.DrawImage(top, x, int(thumb.top), w, topH);
    g.DrawImage(bottom, x, int(thumb.bottom) - bottomH, w, bottomH);
    const Gdiplus::Rect stretch(x, int(thumb.top) + topH, w, int(thumb.bottom - thumb.top) - topH - bottomH);
    g.DrawImage(middle, stretch, 0, 0, int(middle->GetWidth()), midH, Gdiplus::UnitPixel, &tile);
}

}  // namespace

CScrollBarUI::~CScrollBarUI() { delete m_channel; }

bool CScrollBarUI::Create(HWND parent, const RECT& rect, WORD id, DWORD)
{
    if (!IsUsableParent(parent))
        return false;
    m_parent = parent;
    m_rect = rect;
    m_id = id;
    return true;
}

bool CScrollBarUI::Create(HWND parent, int x, int y, int w, int h, WORD id, DWORD style)
{
    return Create(parent, RECT{x, y, x + w, y + h}, id, style);
}

void CScrollBarUI::MoveWindow(const RECT& rect)
{
    Invalidate();
    m_rect = rect;
    Invalidate();
}

void CScrollBarUI::SetBitmap(Gdiplus::Bitmap* top, Gdiplus::Bitmap* middle, Gdiplus::Bitmap* bottom)
{
    m_top = top;
    m_middle = middle;
    m_bottom = bottom;
}

void CScrollBarUI::LoadRes(std::wstring& path) { LoadRes(Gdiplus::Bitmap::FromFile(path.c_str())); }

void CScrollBarUI::LoadRes(Gdiplus::Bitmap* image)
{
    if (image == m_channel)
        return;
    delete m_channel;
    m_channel = image;
}

void CScrollBarUI::SetScrollRange(int min, int max, bool redraw)
{
    m_min = min;
    m_max = max;
    m_pos = std::clamp(m_pos, min, std::max(min, max));
    if (redraw)
        Invalidate();
}

void CScrollBarUI::GetScrollRange(int* min, int* max) const
{
    if (min)
        *min = m_min;
    if (max)
        *max = m_max;
}

int CScrollBarUI::SetScrollPos(int pos, bool)
{
    const int previous = m_pos;
    m_pos = std::clamp(pos, m_min, std::max(m_min, m_max));
    if (m_pos != m_min)
        m_pos = std::min(m_pos, LastFittingPos(m_rect, m_min, m_max));
    Invalidate();
    if (IsUsableParent(m_parent))
        SendMessageW(m_parent, kScrollBarNotify, MAKEWPARAM(m_id, 1), m_pos);
    return m_pos == m_min ? 0 : previous;
}

bool CScrollBarUI::GetScrollInfo(SCROLLINFO* info, UINT) const
{
    if (!info)
        return false;
    info->nMin = m_min;
    info->nMax = m_max;
    info->nPos = m_pos;
    return true;
}

void CScrollBarUI::ShowScrollBar(bool visible)
{
    if (m_visible == visible)
        return;
    m_visible = visible;
    Invalidate();
}

void CScrollBarUI::GetChannelRect(RECT* rect) const
{
    if (rect)
        *rect = m_rect;
}

void CScrollBarUI::GetThumbRect(RECT* rect) const
{
    if (!rect)
        return;
    const Geometry thumb = Thumb(m_rect, m_min, m_max, m_pos);
    *rect = RECT{m_rect.left, thumb.top, m_rect.right, thumb.top + thumb.height};
}

int CScrollBarUI::HitTest(POINT* point) const
{
    if (!point || !PtInRect(&m_rect, *point))
        return kScrollHitNone;
    RECT thumb{};
    GetThumbRect(&thumb);
    if (PtInRect(&thumb, *point))
        return kScrollHitThumb;
    if (point->y < thumb.top)
        return kScrollHitAbove;
    if (point->y >= thumb.bottom)
        return kScrollHitBelow;
    return kScrollHitNone;
}

void CScrollBarUI::OnPaint(HDC hdc)
{
    if (!m_visible || !hdc || !m_top || !m_middle || !m_bottom)
        return;
    RECT thumb{};
    GetThumbRect(&thumb);
    if (IsRectEmpty(&thumb))
        return;
    Gdiplus::Graphics g(hdc);
    DrawThumb(g, thumb, m_top, m_middle, m_bottom);
}

LRESULT CScrollBarUI::WindowProc(HWND, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!m_visible)
        return 0;
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (msg) {
    case WM_LBUTTONDOWN:
        OnButtonDown(point);
        break;
    case WM_MOUSEMOVE:
        if (!m_dragging || !(wParam & MK_LBUTTON))
            break;
        SetScrollPos(int(m_min
                         + std::int64_t(point.y - m_lastY + Thumb(m_rect, m_min, m_max, m_pos).top - m_rect.top)
                             * Range(m_min, m_max) / std::max(1, BarHeight(m_rect))),
            true);
        m_lastY = point.y;
        break;
    case WM_LBUTTONUP:
        if (m_dragging && GetCapture() == m_parent)
            ReleaseCapture();
        m_dragging = false;
        StopTimers();
        break;
    case WM_TIMER:
        OnTimer(wParam);
        break;
    case WM_MOUSEWHEEL:
        OnWheel(GET_WHEEL_DELTA_WPARAM(wParam), point);
        break;
    default:
        break;
    }
    return 0;
}

void CScrollBarUI::OnButtonDown(POINT point)
{
    switch (HitTest(&point)) {
    case kScrollHitAbove:
        SetScrollPos(m_pos - kPageStep, true);
        SetTimer(m_parent, kScrollPageUpTimer, kPageRepeatMs, nullptr);
        break;
    case kScrollHitBelow:
        SetScrollPos(m_pos + kPageStep, true);
        SetTimer(m_parent, kScrollPageDownTimer, kPageRepeatMs, nullptr);
        break;
    case kScrollHitThumb:
        SetCapture(m_parent);
        m_dragging = true;
        m_lastY = point.y;
        break;
    default:
        break;
    }
}

void CScrollBarUI::OnTimer(UINT_PTR id)
{
    if (id != kScrollPageUpTimer && id != kScrollPageDownTimer)
        return;
    POINT cursor = CursorInClient(m_parent);
    const int hit = HitTest(&cursor);
    const int wanted = id == kScrollPageUpTimer ? kScrollHitAbove : kScrollHitBelow;
    // Paging stops once the thumb has come under the pointer.
    if (hit == kScrollHitThumb || hit != wanted) {
        KillTimer(m_parent, id);
        return;
    }
    SetScrollPos(m_pos + (id == kScrollPageUpTimer ? -kPageStep : kPageStep), true);
}

void CScrollBarUI::OnWheel(short delta, POINT screen)
{
    POINT point = screen;
    if (!IsUsableParent(m_parent) || !ScreenToClient(m_parent, &point))
        return;
    const RECT area = IsRectEmpty(&m_wheelArea) ? m_rect : m_wheelArea;
    if (!PtInRect(&area, point))
        return;
    SetScrollPos(m_pos - delta * kWheelStep / WHEEL_DELTA, true);
}

void CScrollBarUI::StopTimers()
{
    if (!IsUsableParent(m_parent))
        return;
    for (UINT_PTR id = 31; id <= kScrollPageUpTimer; ++id)
        KillTimer(m_parent, id);
}

void CScrollBarUI::Invalidate() const { InvalidateIfWindow(m_parent, &m_rect); }
