#pragma once
#include "browse_layout.h"
#include "feed_store.h"
#include "page_buttons.h"
#include "panel_context.h"
#include "skinkit/memory_dc.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

// A count on the hovered card: its text and its place from the cell's top right.
struct CardCount {
    std::wstring text;
    int dx = 0;
    int dy = 0;
};
// The counts the list's answer gave: the fans list and a follow who has
// shared nothing give none, and a label without its number reads as broken.
std::vector<CardCount> CardCounts(const UserRecord& user);

// A row of people: featured users, the user's follows or fans, another
// person's follows or a people search. The hovered person opens as a card
// with their counts and a follow toggle.
class UserListPanel {
public:
    enum Mode : int { kFeatured = 0, kFollows = 1, kFans = 2, kFollowsOf = 3, kSearch = 4 };

    UserListPanel() = default;
    UserListPanel(const UserListPanel&) = delete;
    UserListPanel& operator=(const UserListPanel&) = delete;

    void Create(HWND parent, int width);
    // Cells, pictures and page buttons for the window's DPI.
    void Layout(int width, int dpi);
    // Cell i's square at the panel's DPI.
    RECT CellRect(int index) const { return browse_layout::UserCell(index, m_dpi); }
    void Show(int mode, std::string key = {});
    void Hide();
    bool IsVisible() const { return m_visible; }
    // Shows the signed-in user's follows or fans.
    bool ShowsOwnList() const { return m_visible && (m_mode == kFollows || m_mode == kFans); }
    int Mode() const { return m_mode; }
    const std::string& Key() const { return m_key; }
    int Kind() const;
    void SetHasFollows(bool has) { m_hasFollows = has; }
    void SetHasFans(bool has) { m_hasFans = has; }
    bool ShowsEmptyState() const;
    // The list's answer came and holds no one to show.
    bool AnsweredNoOne(const FeedStore& store) const;

    // The list index of the person whose cell holds the point, or -1.
    int IndexAt(const FeedStore& store, POINT point) const;
    // Whether a shown cell's avatar is the file of `key` (LandedPictureKey).
    bool ShowsAvatar(const FeedStore& store, std::uint32_t key) const;
    int Hovered() const { return m_hovered; }
    // True when the hovered cell changed.
    bool SetHovered(int index);
    // Whether the point is on the hovered card's follow toggle.
    bool OnFollowToggle(POINT point) const;
    int CellsPerRow() const { return m_cellsPerRow; }

    // viewerUid: the signed-in user's, empty when signed out.
    void Paint(HDC hdc, const PanelContext& context, const std::string& viewerUid);
    void WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

private:
    std::size_t ShownCount(const FeedStore& store) const;
    void PaintNoOne(HDC hdc, const PanelContext& context);
    void PaintCells(HDC hdc, const PanelContext& context, std::size_t count);
    void PaintCell(Gdiplus::Graphics& graphics, const RECT& cell, Gdiplus::Bitmap* avatar);
    void PaintCard(
        HDC hdc, const RECT& cell, const UserRecord& user, Gdiplus::Bitmap* avatar, const std::string& viewerUid);

    int Px(int value) const { return browse_layout::Scaled(value, m_dpi); }
    int CellSide() const { return Px(browse_layout::kUserCell); }

    int m_dpi = browse_layout::kLayoutDpi;
    int m_mode = kFeatured;
    std::string m_key;
    int m_width = 0;
    int m_cellsPerRow = 1;
    int m_hovered = -1;
    bool m_visible = false;
    bool m_created = false;
    bool m_hasFollows = false;
    bool m_hasFans = false;
    PageButtons m_pages;
    std::unique_ptr<Gdiplus::Bitmap> m_card, m_noFollows, m_noFans, m_loading;
    // The cells as last drawn over the backdrop, and what they showed.
    __ostrel_memory_dc m_cells;
    std::string m_cellsKey;
};
