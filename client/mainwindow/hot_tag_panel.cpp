#include "hot_tag_panel.h"

#include "browse_layout.h"
#include "platform.h"
#include "skin_pictures.h"
#include "skin_text.h"
#include "skinkit/dpi.h"
#include "win32/wide_text.h"

#include <utility>

namespace {

constexpr int kEdge = 10;
constexpr int kStepPixels = 10;
constexpr DWORD kStepMs = 50;
constexpr int kLastFirstTag = 14;
constexpr int kFirstFirstTag = -3;

}  // namespace

void HotTagPanel::Create(HWND parent, WORD moreCommand, int width)
{
    m_parent = parent;
    m_more.Create(parent, moreCommand);
    m_more.SetTipText(L"更多");
    Layout(width, skinkit::WindowDpi(parent));
    m_created = true;
    Hide();
}

void HotTagPanel::Layout(int width, int dpi)
{
    m_width = width;
    m_dpi = dpi;
    m_tagsPerRow = browse_layout::TagsPerRow(width, dpi);
    m_slots = browse_layout::TagSlotCount(width, dpi);
    m_slotPaint.clear();
    m_slotPaint.resize(std::size_t(m_slots));
    m_white = LoadPanelPicture(L"hot_tag_white.png", dpi);
    m_red = LoadPanelPicture(L"hot_tag_red.png", dpi);
    auto more = LoadPanelPicture(L"dyn_pagedown.png", dpi);
    m_more.SetAttribute(more.get());
    m_morePicture = std::move(more);
    m_drift = m_pointerTravel = 0;
    PlaceMoreButton();
}

void HotTagPanel::Show()
{
    m_visible = true;
    m_lastX = -1;
    m_motion->selected = -1;
    m_more.ShowWindow(true);
}

void HotTagPanel::Hide()
{
    m_visible = false;
    m_more.ShowWindow(false);
    // Shown again, the slots draw anew: a panel out of sight keeps no surfaces.
    for (CPaintCache& cache : m_slotPaint)
        cache.Release();
}

RECT HotTagPanel::SlotRect(int slot) const
{
    RECT rect = browse_layout::TagSlot(slot, m_dpi);
    // The scroll steps in 96-DPI units.
    OffsetRect(&rect, -(m_drift + Px(m_motion->scroll.load())), 0);
    return rect;
}

void HotTagPanel::PlaceMoreButton()
{
    const RECT last = SlotRect(m_slots - 1);
    m_more.SetWindowRect(last.right + Px(100), last.bottom - Px(20), last.right + Px(125), last.bottom + Px(5));
}

int HotTagPanel::SlotAt(POINT point) const
{
    if (!m_visible)
        return -1;
    for (int i = 0; i < m_slots; ++i) {
        const RECT rect = SlotRect(i);
        if (PtInRect(&rect, point))
            return i;
    }
    return -1;
}

std::string HotTagPanel::TagOf(const FeedStore& store, int slot) const
{
    const int index = slot + m_motion->firstTag.load();
    return index < 0 ? std::string() : store.HotTag(std::size_t(index));
}

void HotTagPanel::MoreTags(const FeedStore& store)
{
    const int count = int(store.HotTagCount());
    const int next = m_motion->firstTag.load() + (m_tagsPerRow > 0 ? m_tagsPerRow : 1);
    m_motion->firstTag = next < count ? next : 0;
    InvalidateRect(m_parent, nullptr, FALSE);
}

bool HotTagPanel::OnMouseMove(POINT point)
{
    if (!m_visible)
        return false;
    bool repaint = false;
    if (point.y >= 1 && point.y <= Px(179)) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        if (m_lastX >= 0 && point.x != m_lastX) {
            // Kept in pointer pixels: a slow pointer moves the row too.
            const int furthest
                = 5 * (Px(browse_layout::kTagWidth) * m_slots + Px(browse_layout::kTagRowStart) - m_width);
            const int least = 5 * Px(browse_layout::kTagRowStart);
            m_pointerTravel += point.x - m_lastX;
            m_pointerTravel = m_pointerTravel < least ? least : m_pointerTravel > furthest ? furthest : m_pointerTravel;
            m_drift = m_pointerTravel / 5;
            PlaceMoreButton();
            repaint = true;
        }
        m_lastX = point.x;
    }
    if (point.x >= m_width - Px(kEdge) && 20 - m_tagsPerRow > 0)
        StartScroll(1);
    else if (point.x < Px(kEdge))
        StartScroll(-1);
    const int slot = SlotAt(point);
    if (slot != m_motion->selected.exchange(slot))
        repaint = true;
    return repaint;
}

// Whole tags slide by while the pointer stays at the edge it came to.
void HotTagPanel::StartScroll(int direction)
{
    if (m_motion->scrolling.exchange(true))
        return;
    platform::StartDetachedThread(
        [motion = m_motion, window = m_parent, width = m_width, perRow = m_tagsPerRow, edge = Px(kEdge), direction] {
            auto atEdge = [&] {
                POINT point{};
                GetCursorPos(&point);
                ScreenToClient(window, &point);
                return direction > 0 ? point.x >= width - edge : point.x < edge;
            };
            auto more = [&] {
                return direction > 0 ? motion->firstTag.load() < kLastFirstTag - perRow
                                     : motion->firstTag.load() >= kFirstFirstTag;
            };
            while (atEdge() && more()) {
                motion->selected = -1;
                for (int step = kStepPixels; step <= 120 && atEdge(); step += kStepPixels) {
                    motion->scroll = step * direction;
                    InvalidateRect(window, nullptr, FALSE);
                    Sleep(kStepMs);
                }
                motion->firstTag += direction;
                motion->scroll = 0;
                InvalidateRect(window, nullptr, FALSE);
            }
            motion->scrolling = false;
        });
}

void HotTagPanel::Paint(HDC hdc, const PanelContext& context)
{
    if (!m_visible || !m_created)
        return;
    const int selected = m_motion->selected.load();
    for (int i = 0; i < m_slots; ++i) {
        const RECT rect = SlotRect(i);
        if (rect.right <= 0 || rect.left >= context.width)
            continue;
        const std::wstring text = Widen(TagOf(*context.store, i));
        CPaintKey key;
        key << text << (i == selected) << m_white.get() << m_red.get();
        CPaintCache& cache = m_slotPaint[std::size_t(i)];
        if (!cache.IsCurrent(key.Bytes())) {
            const RECT area{0, 0, Px(browse_layout::kTagWidth), Px(browse_layout::kTagHeight)};
            HDC dc = cache.Begin(area, key.Bytes());
            if (!dc) {
                // No surface to keep: drawn straight into the window this time.
                POINT origin{};
                SetViewportOrgEx(hdc, rect.left, rect.top, &origin);
                PaintSlot(hdc, text, i == selected);
                SetViewportOrgEx(hdc, origin.x, origin.y, nullptr);
                continue;
            }
            PaintSlot(dc, text, i == selected);
        }
        cache.Draw(hdc, rect.left, rect.top);
    }
    m_more.OnPaint(hdc);
}

// A slot drawn at the origin: its picture, then its tag or "加载中".
void HotTagPanel::PaintSlot(HDC hdc, const std::wstring& text, bool selected)
{
    {
        Gdiplus::Graphics graphics(hdc);
        DrawPicture(graphics, m_white.get(), 0, 0);
        if (selected)
            DrawPicture(graphics, m_red.get(), 0, 0);
    }
    SkinTextStyle style;
    style.face = text.empty() ? L"宋体" : L"Arial";
    style.points = text.empty() ? 8.0f : 9.0f;
    style.centred = true;
    style.color = selected ? 0xFEFFFFFF : 0xFE787878;
    const Gdiplus::RectF box(
        0.0f, 0.0f, Gdiplus::REAL(Px(browse_layout::kTagWidth)), Gdiplus::REAL(Px(browse_layout::kTagHeight)));
    DrawSkinText(hdc, text.empty() ? std::wstring(L"加载中") : text, style, box);
}

void HotTagPanel::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (m_visible)
        m_more.WindowProc(hwnd, msg, wParam, lParam);
}
