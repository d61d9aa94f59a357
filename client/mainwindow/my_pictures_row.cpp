#include "my_pictures_row.h"

#include "browse_layout.h"
#include "cache_downloader.h"
#include "feed_kinds.h"
#include "skin_pictures.h"
#include "skin_text.h"
#include "skinkit/dpi.h"
#include "win32/wide_text.h"
#include "window_messages.h"

#include <string>

namespace {

constexpr int kBandTop = 40;
constexpr int kBandBottom = 120;
constexpr int kThumbnail = 100;

RECT Box(int left, int top, int width, int height) { return RECT{left, top, left + width, top + height}; }

}  // namespace

void MyPicturesRow::Create(HWND parent, int width)
{
    m_pages.Create(parent, width, CMD_OWN_PREVIOUS, CMD_OWN_NEXT);
    Layout(width, skinkit::WindowDpi(parent));
    m_created = true;
    Hide();
}

void MyPicturesRow::Layout(int width, int dpi)
{
    m_dpi = dpi;
    // Ten slots, fewer on a screen where they would reach the page buttons.
    const int fitting
        = (browse_layout::PreviousPageButton(width, dpi).left - browse_layout::RowSlot(0, dpi).left) / Px(120);
    m_slotCount = fitting < 1 ? 1 : fitting < browse_layout::kRowSlots ? fitting : browse_layout::kRowSlots;
    m_frame = LoadPanelPicture(L"user_info_picture.png", dpi);
    m_lastOne = LoadPanelPicture(L"the_last_one.png", dpi);
    m_firstOne = LoadPanelPicture(L"this_is_first.png", dpi);
    m_noPublish = LoadPanelPicture(L"user_info_no_publish.png", dpi);
    m_noLike = LoadPanelPicture(L"user_info_no_like.png", dpi);
    m_loading = LoadPanelPicture(L"loading_picture.png", dpi);
    m_pages.Layout(width, dpi);
}

void MyPicturesRow::Show(int mode, std::string key)
{
    m_mode = mode;
    m_key = std::move(key);
    m_firstIndex = 0;
    m_visible = true;
    m_pages.Show(mode != kPerson && mode != kLastOne && mode != kFirstOne && mode != kSearch);
}

void MyPicturesRow::Hide()
{
    m_visible = false;
    m_pages.Show(false);
}

PictureListId MyPicturesRow::List() const
{
    switch (m_mode) {
    case kLiked:
        return PictureListId{feed_kind::kMyLiked, {}};
    case kSearch:
        return PictureListId{feed_kind::kTagFeed, m_key};
    case kPerson:
        return PictureListId{feed_kind::kUserPictures, m_key};
    default:
        return PictureListId{feed_kind::kMyPublished, {}};
    }
}

bool MyPicturesRow::TurnSearchPage(const FeedStore& store, bool forward)
{
    if (!m_visible || m_mode != kSearch)
        return false;
    const std::size_t step = std::size_t(m_slotCount);
    if (forward && m_firstIndex + step < ShownCount(store)) {
        m_firstIndex += step;
        return true;
    }
    if (!forward && m_firstIndex >= step) {
        m_firstIndex -= step;
        return true;
    }
    return false;
}

int MyPicturesRow::PagedKind() const { return m_mode == kLiked ? feed_kind::kMyLiked : feed_kind::kMyPublished; }

std::size_t MyPicturesRow::ShownCount(const FeedStore& store) const
{
    const std::size_t stored = store.PictureCount(List());
    // A tag search comes in one page.
    return m_mode == kSearch ? stored : ItemsOnPage(store, PagedKind(), stored);
}

int MyPicturesRow::IndexAt(const FeedStore& store, POINT point) const
{
    if (!m_visible || m_mode == kLastOne || m_mode == kFirstOne)
        return -1;
    const std::size_t count = ShownCount(store);
    for (int slot = 0; slot < m_slotCount; ++slot) {
        const RECT rect = browse_layout::RowSlot(slot, m_dpi);
        const RECT picture = Box(rect.left, rect.top, Px(kThumbnail), Px(kThumbnail));
        const std::size_t index = m_firstIndex + std::size_t(slot);
        if (index < count && PtInRect(&picture, point))
            return int(index);
    }
    return -1;
}

bool MyPicturesRow::ShowsPicture(const FeedStore& store, std::uint32_t key) const
{
    const bool empty = (m_mode == kPublished && !m_hasPublished) || (m_mode == kLiked && !m_hasLiked);
    if (!m_visible || empty || m_mode == kLastOne || m_mode == kFirstOne)
        return false;
    const std::size_t count = ShownCount(store);
    const PictureListId list = List();
    for (int slot = 0; slot < m_slotCount && m_firstIndex + slot < count; ++slot) {
        const auto picture = store.Picture(list, m_firstIndex + slot);
        if (picture && LandedPictureKey(picture->thumbnailPath) == key)
            return true;
    }
    return false;
}

void MyPicturesRow::PaintNotice(Gdiplus::Graphics& graphics, int width)
{
    const RECT slot = browse_layout::RowSlot(2, m_dpi);
    if (m_mode == kLastOne && m_lastOne) {
        DrawPicture(graphics, m_lastOne.get(), (width - int(m_lastOne->GetWidth())) / 2, slot.top + Px(30));
        return;
    }
    if (m_mode == kFirstOne && m_firstOne) {
        // The picture is loaded for the DPI: its part is cut at that scale too.
        const int partWidth = Px(153), partHeight = Px(24);
        graphics.DrawImage(m_firstOne.get(),
            Gdiplus::Rect((width - partWidth) / 2, slot.top + Px(20), partWidth, partHeight), Px(90), Px(20), partWidth,
            partHeight, Gdiplus::UnitPixel);
    }
}

// The empty and waiting states take the slots' place; true when one did.
bool MyPicturesRow::PaintEmptyState(HDC hdc, Gdiplus::Graphics& graphics, const PanelContext& context)
{
    const RECT first = browse_layout::RowSlot(0, m_dpi);
    if (m_mode == kPublished && !m_hasPublished) {
        DrawPicture(graphics, m_noPublish.get(), context.width - Px(855), first.top + Px(10));
        return true;
    }
    if (m_mode == kLiked && !m_hasLiked) {
        DrawPicture(graphics, m_noLike.get(), Px(70), first.top + Px(10));
        return true;
    }
    const PictureListId list = List();
    if (context.store->PictureCount(list) > 0)
        return false;
    // An answer with no pictures is an outcome, not a wait.
    if (!context.store->Answer(list.kind, list.key)) {
        DrawPicture(graphics, m_loading.get(), Px(70), first.top + Px(30));
        return true;
    }
    DrawPanelNote(hdc, m_mode == kSearch ? L"没有找到相关的图片" : L"还没有图片", Px(70), first.top + Px(30), m_dpi);
    return true;
}

void MyPicturesRow::Paint(HDC hdc, const PanelContext& context)
{
    if (!m_visible || !m_created)
        return;
    // A search's page buttons come with its answer, when it fills more than
    // a row; shown or hidden, a button repaints, so only a change counts.
    const bool pages = ShownCount(*context.store) > std::size_t(m_slotCount);
    if (m_mode == kSearch && pages != m_pages.IsShown())
        m_pages.Show(pages);
    Gdiplus::Graphics graphics(hdc);
    if (m_mode == kLastOne || m_mode == kFirstOne) {
        PaintNotice(graphics, context.width);
        return;
    }
    const RECT first = browse_layout::RowSlot(0, m_dpi);
    const RECT last = browse_layout::RowSlot(m_slotCount - 1, m_dpi);
    graphics.SetClip(
        Gdiplus::Rect(first.left - Px(3), Px(kBandTop), last.right - first.left + Px(3), Px(kBandBottom - kBandTop)));
    if (!PaintEmptyState(hdc, graphics, context)) {
        const std::size_t count = ShownCount(*context.store);
        const PictureListId list = List();
        for (int slot = 0; slot < m_slotCount && m_firstIndex + slot < count; ++slot) {
            const RECT rect = browse_layout::RowSlot(slot, m_dpi);
            DrawPicture(graphics, m_frame.get(), rect.left - Px(3), rect.top - Px(3));
            const auto picture = context.store->Picture(list, m_firstIndex + slot);
            const int side = Px(kThumbnail);
            if (picture)
                DrawFitted(graphics, context.pictures->Fitted(Widen(picture->thumbnailPath), side, side),
                    Box(rect.left, rect.top, side, side));
        }
    }
    graphics.ResetClip();
    if (m_mode == kPublished || m_mode == kLiked) {
        const int kind = PagedKind();
        const std::wstring label = std::to_wstring(context.store->CurrentPage(kind)) + L"/"
            + std::to_wstring(context.store->PageCount(kind));
        SkinTextStyle style;
        style.points = 9.0f;
        style.color = 0xFE000000;
        DrawSkinText(hdc, label, style,
            Gdiplus::RectF(Gdiplus::REAL(context.width - Px(50)), Gdiplus::REAL(Px(70)), Gdiplus::REAL(Px(100)),
                Gdiplus::REAL(Px(20))));
    }
    if (m_mode != kPerson)
        m_pages.Paint(hdc);
}

void MyPicturesRow::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!m_visible)
        return;
    m_pages.WindowProc(hwnd, msg, wParam, lParam);
}
