#pragma once
#include "browse_layout.h"
#include "feed_store.h"
#include "page_buttons.h"
#include "panel_context.h"

#include <cstdint>
#include <memory>
#include <string>

#include <windows.h>

// One row of picture slots: the user's own published or liked pictures, a
// picture search's results or another person's pictures, with page buttons;
// or the notice at either end of a list.
class MyPicturesRow {
public:
    enum Mode : int { kPublished = 1, kLiked = 2, kSearch = 3, kLastOne = 4, kPerson = 5, kFirstOne = 6 };

    MyPicturesRow() = default;
    MyPicturesRow(const MyPicturesRow&) = delete;
    MyPicturesRow& operator=(const MyPicturesRow&) = delete;

    void Create(HWND parent, int width);
    // Slots, pictures and page buttons for the window's DPI.
    void Layout(int width, int dpi);
    void Show(int mode, std::string key = {});
    void Hide();
    bool IsVisible() const { return m_visible; }
    // Shows the signed-in user's published or liked pictures.
    bool ShowsOwnList() const { return m_visible && (m_mode == kPublished || m_mode == kLiked); }
    int Mode() const { return m_mode; }
    // The slots that fit the screen's width: a page of found pictures.
    int SlotCount() const { return m_slotCount; }
    const std::string& Key() const { return m_key; }
    void SetHasPublished(bool has) { m_hasPublished = has; }
    void SetHasLiked(bool has) { m_hasLiked = has; }

    // A search's pictures come in one answer and are paged here, a row at a
    // time; false when there was no page to turn to.
    bool TurnSearchPage(const FeedStore& store, bool forward);
    bool PagesShown() const { return m_pages.IsShown(); }

    // The list the slots show, and the kind whose pager pages it.
    PictureListId List() const;
    int PagedKind() const;
    // The list index of the slot under the point, or -1.
    int IndexAt(const FeedStore& store, POINT point) const;
    // Whether a shown slot's thumbnail is the file of `key` (LandedPictureKey).
    bool ShowsPicture(const FeedStore& store, std::uint32_t key) const;

    void Paint(HDC hdc, const PanelContext& context);
    void WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

private:
    std::size_t ShownCount(const FeedStore& store) const;
    void PaintNotice(Gdiplus::Graphics& graphics, int width);
    bool PaintEmptyState(HDC hdc, Gdiplus::Graphics& graphics, const PanelContext& context);

    int Px(int value) const { return browse_layout::Scaled(value, m_dpi); }

    int m_dpi = browse_layout::kLayoutDpi;
    int m_mode = kPublished;
    std::string m_key;
    int m_slotCount = 10;
    std::size_t m_firstIndex = 0;
    bool m_visible = false;
    bool m_created = false;
    bool m_hasPublished = false;
    bool m_hasLiked = false;
    PageButtons m_pages;
    std::unique_ptr<Gdiplus::Bitmap> m_frame, m_lastOne, m_firstOne, m_noPublish, m_noLike, m_loading;
};
