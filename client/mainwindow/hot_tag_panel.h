#pragma once
#include "browse_layout.h"
#include "panel_context.h"
#include "skinkit/button.h"
#include "skinkit/paint_cache.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

// A row of hot tags wider than the screen: it drifts against the pointer,
// and scrolls by whole tags while the pointer rests at either screen edge.
class HotTagPanel {
public:
    HotTagPanel()
        : m_motion(std::make_shared<Motion>())
    {
    }
    HotTagPanel(const HotTagPanel&) = delete;
    HotTagPanel& operator=(const HotTagPanel&) = delete;

    void Create(HWND parent, WORD moreCommand, int width);
    // Slots, pictures and the more button for the window's DPI.
    void Layout(int width, int dpi);
    void Show();
    void Hide();
    bool IsVisible() const { return m_visible; }

    // Slot i where it is drawn now, drift and scroll applied.
    RECT SlotRect(int slot) const;
    // The slot under the point, or -1.
    int SlotAt(POINT point) const;
    // The tag text of a slot; empty while it has none.
    std::string TagOf(const FeedStore& store, int slot) const;
    const std::string& CurrentTag() const { return m_currentTag; }
    void SetCurrentTag(std::string tag) { m_currentTag = std::move(tag); }
    // Steps the first tag a row on, within the stored tags.
    void MoreTags(const FeedStore& store);

    // Drift, edge scrolling and the selected slot; true when it repaints.
    bool OnMouseMove(POINT point);
    void Paint(HDC hdc, const PanelContext& context);
    void WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

private:
    // Shared with the scrolling thread, which may outlive a closing window.
    struct Motion {
        std::atomic<int> firstTag{0};
        std::atomic<int> scroll{0};
        std::atomic<int> selected{-1};
        std::atomic<bool> scrolling{false};
    };
    void StartScroll(int direction);
    void PaintSlot(HDC hdc, const std::wstring& text, bool selected);
    void PlaceMoreButton();

    int Px(int value) const { return browse_layout::Scaled(value, m_dpi); }

    HWND m_parent = nullptr;
    int m_dpi = browse_layout::kLayoutDpi;
    int m_width = 0;
    int m_slots = 0;
    int m_tagsPerRow = 0;
    int m_drift = 0;
    int m_pointerTravel = 0;
    int m_lastX = -1;  // -1: reset, the next move only takes its x
    bool m_visible = false;
    bool m_created = false;
    std::string m_currentTag;
    std::shared_ptr<Motion> m_motion;
    // Each slot's picture and text, drawn again only when they change.
    std::vector<CPaintCache> m_slotPaint;
    CButtonUI m_more;
    std::unique_ptr<Gdiplus::Bitmap> m_white, m_red, m_morePicture;
};
