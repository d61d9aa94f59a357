#include "user_list_panel.h"

#include "browse_layout.h"
#include "cache_downloader.h"
#include "feed_kinds.h"
#include "skin_pictures.h"
#include "skin_text.h"
#include "skinkit/dpi.h"
#include "skinkit/paint_cache.h"
#include "win32/wide_text.h"
#include "window_messages.h"

#include <vector>

namespace {

constexpr Gdiplus::ARGB kShade = 0x64000000;
constexpr Gdiplus::ARGB kFrame = 0xFE000000;

Gdiplus::RectF TextBox(int left, int top, int width, int height)
{
    return Gdiplus::RectF(Gdiplus::REAL(left), Gdiplus::REAL(top), Gdiplus::REAL(width), Gdiplus::REAL(height));
}

}  // namespace

void UserListPanel::Create(HWND parent, int width)
{
    m_pages.Create(parent, width, CMD_USER_LIST_PREVIOUS, CMD_USER_LIST_NEXT);
    Layout(width, skinkit::WindowDpi(parent));
    m_created = true;
    Hide();
}

void UserListPanel::Layout(int width, int dpi)
{
    m_width = width;
    m_dpi = dpi;
    m_cellsPerRow = browse_layout::UserCellsPerRow(width, dpi);
    m_card = LoadPanelPicture(L"guide_image.png", dpi);
    m_noFollows = LoadPanelPicture(L"user_info_no_concern.png", dpi);
    m_noFans = LoadPanelPicture(L"user_info_no_funs.png", dpi);
    m_loading = LoadPanelPicture(L"loading_picture.png", dpi);
    m_pages.Layout(width, dpi);
    m_cellsKey.clear();
}

void UserListPanel::Show(int mode, std::string key)
{
    m_mode = mode;
    m_key = std::move(key);
    m_hovered = -1;
    m_visible = true;
    m_pages.Show(mode == kFollows || mode == kFans || mode == kFollowsOf);
}

void UserListPanel::Hide()
{
    m_visible = false;
    m_hovered = -1;
    m_pages.Show(false);
}

int UserListPanel::Kind() const
{
    switch (m_mode) {
    case kFollows:
        return feed_kind::kMyFollows;
    case kFans:
        return feed_kind::kMyFans;
    case kFollowsOf:
        return feed_kind::kFollowsOf;
    case kSearch:
        return feed_kind::kPeopleSearch;
    default:
        return feed_kind::kFeatured;
    }
}

bool UserListPanel::ShowsEmptyState() const
{
    return (m_mode == kFollows && !m_hasFollows) || (m_mode == kFans && !m_hasFans);
}

std::size_t UserListPanel::ShownCount(const FeedStore& store) const
{
    if (ShowsEmptyState())
        return 0;
    std::size_t stored = store.UserCount(Kind());
    // Slots past the latest answer are emptied.
    while (stored > 0 && !store.User(Kind(), stored - 1))
        --stored;
    const bool paged = m_mode == kFollows || m_mode == kFans || m_mode == kFollowsOf;
    const std::size_t count = paged ? ItemsOnPage(store, Kind(), stored) : stored;
    const std::size_t fitting = std::size_t(m_cellsPerRow);
    return count < fitting ? count : fitting;
}

int UserListPanel::IndexAt(const FeedStore& store, POINT point) const
{
    if (!m_visible)
        return -1;
    const std::size_t count = ShownCount(store);
    for (std::size_t i = 0; i < count; ++i) {
        const RECT cell = CellRect(int(i));
        if (PtInRect(&cell, point))
            return int(i);
    }
    return -1;
}

bool UserListPanel::ShowsAvatar(const FeedStore& store, std::uint32_t key) const
{
    if (!m_visible)
        return false;
    const std::size_t count = ShownCount(store);
    for (std::size_t i = 0; i < count; ++i) {
        const auto user = store.User(Kind(), i);
        if (user && LandedPictureKey(user->avatarPath) == key)
            return true;
    }
    return false;
}

bool UserListPanel::SetHovered(int index)
{
    if (index == m_hovered)
        return false;
    m_hovered = index;
    return true;
}

bool UserListPanel::OnFollowToggle(POINT point) const
{
    if (!m_visible || m_hovered < 0)
        return false;
    const RECT toggle = browse_layout::FollowToggle(CellRect(m_hovered), m_dpi);
    return PtInRect(&toggle, point) != FALSE;
}

// Every cell but the hovered one. Over a backdrop that stays, they are drawn
// once onto a copy of it and copied back while the avatars stay: twelve GDI+
// cells cost several milliseconds a paint under Wine.
void UserListPanel::PaintCells(HDC hdc, const PanelContext& context, std::size_t count)
{
    std::vector<Gdiplus::Bitmap*> avatars(count);
    CPaintKey key;
    key << context.backdrop << count << m_hovered;
    for (std::size_t i = 0; i < count; ++i) {
        const auto user = context.store->User(Kind(), i);
        std::size_t serial = 0;
        if (user && int(i) != m_hovered)
            avatars[i] = context.pictures->Fitted(Widen(user->avatarPath), CellSide(), CellSide(), &serial);
        key << bool(user) << serial;
    }
    const RECT first = CellRect(0);
    const int width = CellSide() * int(count);
    const int height = first.bottom - first.top;
    const auto draw = [&](HDC dc, int dx, int dy) {
        Gdiplus::Graphics graphics(dc);
        for (std::size_t i = 0; i < count; ++i) {
            if (!context.store->User(Kind(), i) || int(i) == m_hovered)
                continue;
            RECT cell = CellRect(int(i));
            OffsetRect(&cell, dx, dy);
            PaintCell(graphics, cell, avatars[i]);
        }
    };
    const bool sized = m_cells.Width() == width && m_cells.Height() == height;
    if (context.backdrop == 0 || width <= 0 || (!sized && !m_cells.Create_compatible_dc(hdc, width, height, 1))) {
        m_cellsKey.clear();
        draw(hdc, 0, 0);
        return;
    }
    if (!sized || key.Bytes() != m_cellsKey) {
        BitBlt(m_cells.get_ghost(), 0, 0, width, height, hdc, first.left, first.top, SRCCOPY);
        draw(m_cells.get_ghost(), -first.left, -first.top);
        GdiFlush();
        m_cellsKey = key.Bytes();
    }
    BitBlt(hdc, first.left, first.top, width, height, m_cells.get_ghost(), 0, 0, SRCCOPY);
}

void UserListPanel::PaintCell(Gdiplus::Graphics& graphics, const RECT& cell, Gdiplus::Bitmap* avatar)
{
    const int side = cell.right - cell.left;
    Gdiplus::SolidBrush shade{Gdiplus::Color(kShade)};
    graphics.FillRectangle(&shade, int(cell.left), int(cell.top), side, side);
    DrawFitted(graphics, avatar, cell);
    Gdiplus::Pen frame{Gdiplus::Color(kFrame), 1.0f};
    graphics.DrawRectangle(&frame, int(cell.left), int(cell.top), side - 1, side - 1);
}

std::vector<CardCount> CardCounts(const UserRecord& user)
{
    const struct {
        const wchar_t* label;
        const std::string& count;
        int dx, dy;
    } lines[] = {
        {L"发布 ", user.pictureCount, 20, 40},
        {L"喜欢 ", user.likeCount, 80, 40},
        {L"关注 ", user.followCount, 20, 60},
        {L"粉丝 ", user.fanCount, 80, 60},
    };
    std::vector<CardCount> shown;
    for (const auto& line : lines) {
        if (!line.count.empty())
            shown.push_back({line.label + Widen(line.count), line.dx, line.dy});
    }
    return shown;
}

void UserListPanel::PaintCard(
    HDC hdc, const RECT& cell, const UserRecord& user, Gdiplus::Bitmap* avatar, const std::string& viewerUid)
{
    // No one follows themselves: the user's own card has no toggle.
    const bool toggleShown = viewerUid.empty() || user.uid != viewerUid;
    {
        Gdiplus::Graphics graphics(hdc);
        DrawPicture(graphics, m_card.get(), cell.left, cell.top + 1);
        DrawFitted(graphics, avatar, cell);
        Gdiplus::Pen frame{Gdiplus::Color(kFrame), 1.0f};
        graphics.DrawRectangle(
            &frame, int(cell.left), int(cell.top), int(cell.right - cell.left - 1), int(cell.bottom - cell.top - 1));
        if (toggleShown) {
            const RECT toggle = browse_layout::FollowToggle(cell, m_dpi);
            Gdiplus::SolidBrush shade{Gdiplus::Color(kShade)};
            graphics.FillRectangle(&shade, int(toggle.left), int(toggle.top), int(toggle.right - toggle.left),
                int(toggle.bottom - toggle.top));
        }
    }
    SkinTextStyle name;
    name.points = 10.0f;
    name.color = 0xFE6FACA4;
    DrawSkinText(hdc, Widen(user.name), name, TextBox(cell.right + Px(20), cell.top + Px(20), Px(100), Px(20)));
    SkinTextStyle counts;
    counts.points = 9.0f;
    counts.color = 0xFE979797;
    for (const CardCount& count : CardCounts(user))
        DrawSkinText(
            hdc, count.text, counts, TextBox(cell.right + Px(count.dx), cell.top + Px(count.dy), Px(100), Px(20)));
    if (!toggleShown)
        return;
    SkinTextStyle toggle;
    toggle.points = 9.0f;
    toggle.color = 0xFEFFFFFF;
    toggle.centred = true;
    const wchar_t* label = !viewerUid.empty() && user.isFollowed ? L"取消关注" : L"加关注";
    DrawSkinText(hdc, label, toggle, TextBox(cell.right - Px(60), cell.bottom - Px(15), Px(60), Px(15)));
}

// An answer with no one in it is an outcome, not a wait.
bool UserListPanel::AnsweredNoOne(const FeedStore& store) const
{
    return ShownCount(store) == 0 && store.Answer(Kind(), m_mode == kSearch ? m_key : std::string());
}

// A search says it found no one; another list shows nothing.
void UserListPanel::PaintNoOne(HDC hdc, const PanelContext& context)
{
    const RECT first = CellRect(0);
    if (AnsweredNoOne(*context.store)) {
        if (m_mode == kSearch)
            DrawPanelNote(hdc, L"没有找到相关的用户", Px(70), first.top + Px(23), m_dpi);
        return;
    }
    Gdiplus::Graphics graphics(hdc);
    if (m_loading)
        DrawPicture(graphics, m_loading.get(), (context.width - int(m_loading->GetWidth())) / 2, first.top + Px(30));
}

void UserListPanel::Paint(HDC hdc, const PanelContext& context, const std::string& viewerUid)
{
    if (!m_visible || !m_created)
        return;
    const RECT first = CellRect(0);
    if (ShowsEmptyState()) {
        Gdiplus::Graphics graphics(hdc);
        if (m_mode == kFollows)
            DrawPicture(graphics, m_noFollows.get(), context.width - Px(900), first.top);
        else
            DrawPicture(graphics, m_noFans.get(), context.width - Px(930), first.top);
    } else if (ShownCount(*context.store) == 0) {
        PaintNoOne(hdc, context);
    } else {
        const std::size_t count = ShownCount(*context.store);
        PaintCells(hdc, context, count);
        const FeedStore::UserPtr hovered = m_hovered >= 0 && std::size_t(m_hovered) < count
            ? context.store->User(Kind(), std::size_t(m_hovered))
            : nullptr;
        // The card lies over the cells right of it.
        if (hovered)
            PaintCard(hdc, CellRect(m_hovered), *hovered,
                context.pictures->Fitted(Widen(hovered->avatarPath), CellSide(), CellSide()), viewerUid);
    }
    if (m_mode == kFollows || m_mode == kFans || m_mode == kFollowsOf) {
        const std::wstring label = std::to_wstring(context.store->CurrentPage(Kind())) + L"/"
            + std::to_wstring(context.store->PageCount(Kind()));
        SkinTextStyle style;
        style.points = 9.0f;
        style.color = 0xFE000000;
        DrawSkinText(hdc, label, style, TextBox(context.width - Px(50), Px(70), Px(100), Px(20)));
        m_pages.Paint(hdc);
    }
}

void UserListPanel::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!m_visible)
        return;
    m_pages.WindowProc(hwnd, msg, wParam, lParam);
}
