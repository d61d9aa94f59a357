#include "comment_list_box.h"

#include <algorithm>

#include "cache_downloader.h"
#include "skin_text.h"
#include "skinkit/dpi.h"
#include "skinkit/picture.h"
#include "win32/wide_text.h"

#include <windowsx.h>

namespace {

constexpr int kBarWidth = 8;
constexpr int kBarRoom = 14;
constexpr Gdiplus::ARGB kWhite = 0xFEFFFFFF;
constexpr Gdiplus::ARGB kDivider = 0x30FFFFFF;

Gdiplus::RectF Box(const RECT& r)
{
    return Gdiplus::RectF(float(r.left), float(r.top), float(r.right - r.left), float(r.bottom - r.top));
}

}  // namespace

int CCommentListBox::Scaled(int value) const { return skinkit::ScaleToDpi(value, skinkit::WindowDpi(m_parent)); }

bool CCommentListBox::Create(HWND parent, WORD scrollBarId, ICommentListBoxMessage* sink)
{
    m_parent = parent;
    m_sink = sink;
    return m_bar.Create(parent, RECT{}, scrollBarId, 0);
}

void CCommentListBox::SetImages(
    Gdiplus::Bitmap* thumbTop, Gdiplus::Bitmap* thumbMiddle, Gdiplus::Bitmap* thumbBottom, Gdiplus::Bitmap* avatarFrame)
{
    m_bar.SetBitmap(thumbTop, thumbMiddle, thumbBottom);
    m_frame = avatarFrame;
}

void CCommentListBox::SetRect(const RECT& rect)
{
    m_rect = rect;
    m_bar.MoveWindow(RECT{rect.right - Scaled(kBarWidth + 2), rect.top, rect.right - Scaled(2), rect.bottom});
    m_bar.SetWheelArea(rect);
    const int content = Count() * Scaled(kRowHeight);
    const int height = std::max(0, int(rect.bottom - rect.top));
    m_bar.SetScrollRange(0, std::max(content, height), false);
    m_bar.ShowScrollBar(content > height);
    m_bar.SetScrollPos(m_bar.GetScrollPos(), false);
}

namespace {

bool SameRows(const CommentRecord& a, const CommentRecord& b)
{
    return a.commentId == b.commentId && a.authorId == b.authorId && a.authorName == b.authorName
        && a.avatarPath == b.avatarPath && a.content == b.content && a.parentId == b.parentId && a.time == b.time;
}

bool SameComments(const PictureComments* a, const PictureComments* b)
{
    if (!a || !b)
        return a == b;
    return a->shareId == b->shareId
        && std::equal(a->comments.begin(), a->comments.end(), b->comments.begin(), b->comments.end(), SameRows);
}

}  // namespace

// The same rows again (the list asked for afresh on a step, when it was
// fetched ahead) leave the list as it is drawn and scrolled.
void CCommentListBox::SetComments(std::shared_ptr<const PictureComments> comments)
{
    if (SameComments(m_comments.get(), comments.get())) {
        m_comments = std::move(comments);
        return;
    }
    m_comments = std::move(comments);
    ++m_generation;
    m_hot = -1;
    m_bar.SetScrollPos(0, false);
    SetRect(m_rect);
    InvalidateRect(m_parent, &m_rect, FALSE);
}

int CCommentListBox::Count() const { return m_comments ? int(m_comments->comments.size()) : 0; }

std::string CCommentListBox::Name(int row) const
{
    return row >= 0 && row < Count() ? m_comments->comments[row].authorName : std::string();
}

RECT CCommentListBox::ThumbRect() const
{
    RECT thumb{};
    if (m_bar.IsWindowVisible())
        m_bar.GetThumbRect(&thumb);
    return thumb;
}

RECT CCommentListBox::RowRect(int row) const
{
    const int top = m_rect.top + row * Scaled(kRowHeight) - m_bar.GetScrollPos();
    const int right = m_rect.right - (m_bar.IsWindowVisible() ? Scaled(kBarRoom) : 0);
    return RECT{m_rect.left, top, right, top + Scaled(kRowHeight)};
}

RECT CCommentListBox::LinkRect(int row) const
{
    const RECT r = RowRect(row);
    return RECT{r.right - Scaled(79), r.bottom - Scaled(27), r.right - Scaled(50), r.bottom - Scaled(15)};
}

int CCommentListBox::RowAt(POINT point) const
{
    if (!PtInRect(&m_rect, point))
        return -1;
    const int row = (point.y - m_rect.top + m_bar.GetScrollPos()) / Scaled(kRowHeight);
    return row < Count() ? row : -1;
}

bool CCommentListBox::OverLink(POINT point) const
{
    const int row = RowAt(point);
    if (row < 0)
        return false;
    const RECT link = LinkRect(row);
    return PtInRect(&link, point) != FALSE;
}

void CCommentListBox::InvalidateRow(int row) const
{
    if (row < 0)
        return;
    RECT r = RowRect(row);
    IntersectRect(&r, &r, &m_rect);
    InvalidateRect(m_parent, &r, FALSE);
}

void CCommentListBox::OnMouseMove(POINT point)
{
    const int row = RowAt(point);
    if (row == m_hot)
        return;
    // Only the rows that change, and the one below each: its frame shares the edge.
    for (int changed : {m_hot, row}) {
        InvalidateRow(changed);
        InvalidateRow(changed + 1);
    }
    m_hot = row;
}

void CCommentListBox::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (msg) {
    case kScrollBarNotify:
        InvalidateRect(m_parent, &m_rect, FALSE);
        return;
    case WM_MOUSEMOVE:
        m_bar.WindowProc(hwnd, msg, wParam, lParam);
        if (!m_bar.IsDragging())
            OnMouseMove(point);
        return;
    case WM_LBUTTONDOWN: {
        const RECT bar = m_bar.GetWindowRect();
        if (m_bar.IsWindowVisible() && PtInRect(&bar, point)) {
            m_bar.WindowProc(hwnd, msg, wParam, lParam);
            return;
        }
        if (m_sink && OverLink(point))
            m_sink->OnCommentListMessage(kCommentReplyClicked, RowAt(point));
        return;
    }
    case WM_LBUTTONUP:
    case WM_TIMER:
    case WM_MOUSEWHEEL:
        m_bar.WindowProc(hwnd, msg, wParam, lParam);
        return;
    default:
        return;
    }
}

// Downloads land while the list shows: a missing or replaced file is read
// again on the next paint.
Gdiplus::Bitmap* CCommentListBox::Avatar(const std::string& path)
{
    return m_avatars.Fitted(Widen(path), Scaled(kAvatarSize), Scaled(kAvatarSize));
}

void CCommentListBox::DrawRow(Gdiplus::Graphics& g, HDC hdc, int row, POINT origin)
{
    const CommentRecord& c = m_comments->comments[row];
    RECT r = RowRect(row);
    OffsetRect(&r, -origin.x, -origin.y);
    DrawPictureBox(hdc, g, Avatar(c.avatarPath), int(r.left) + Scaled(10), int(r.top) + Scaled(10), Scaled(kAvatarSize),
        Scaled(kAvatarSize));
    DrawPictureBox(hdc, g, m_frame, int(r.left) + Scaled(8), int(r.top) + Scaled(8), Scaled(kAvatarSize + 4),
        Scaled(kAvatarSize + 4));
    Gdiplus::SolidBrush divider{Gdiplus::Color(kDivider)};
    g.FillRectangle(
        &divider, int(r.left) + Scaled(10), int(r.bottom) - Scaled(1), int(r.right - r.left) - Scaled(20), Scaled(1));

    SkinTextStyle text;
    text.points = 10.0f;
    text.color = kWhite;
    const std::wstring line = Widen(c.authorName) + L"  回复：" + Widen(c.content);
    DrawSkinText(hdc, line, text,
        Box(RECT{r.left + Scaled(50), r.top + Scaled(10), r.right - Scaled(20), r.bottom - Scaled(10)}));

    SkinTextStyle link = text;
    link.points = 9.0f;
    RECT place = LinkRect(row);
    OffsetRect(&place, -origin.x, -origin.y);
    DrawSkinText(hdc, L"回复", link, Box(place));
    if (row == m_hot) {
        Gdiplus::SolidBrush underline{Gdiplus::Color(kWhite)};
        g.FillRectangle(&underline, int(place.left), int(place.bottom) - Scaled(1),
            int(place.right - place.left) - Scaled(4), Scaled(1));
    }
}

void CCommentListBox::DrawRows(HDC hdc, POINT origin)
{
    if (IsRectEmpty(&m_rect))
        return;
    // Rows scrolled half out must not reach over the input or the author.
    RECT clip = m_rect;
    OffsetRect(&clip, -origin.x, -origin.y);
    const int saved = SaveDC(hdc);
    IntersectClipRect(hdc, clip.left, clip.top, clip.right, clip.bottom);
    {
        Gdiplus::Graphics g(hdc);
        g.SetClip(Box(clip));
        const int first = std::max(0, int(m_bar.GetScrollPos() / Scaled(kRowHeight)));
        for (int row = first; row < Count(); ++row) {
            if (RowRect(row).top >= m_rect.bottom)
                break;
            DrawRow(g, hdc, row, origin);
        }
    }
    RestoreDC(hdc, saved);
}

void CCommentListBox::PrepareAvatars(const PictureComments& comments)
{
    const int rowHeight = Scaled(kRowHeight);
    const int shown = (int(m_rect.bottom - m_rect.top) + rowHeight - 1) / rowHeight;
    const int count = std::min(shown, int(comments.comments.size()));
    for (int row = 0; row < count; ++row)
        Avatar(comments.comments[std::size_t(row)].avatarPath);
}

void CCommentListBox::LoadLandedAvatars()
{
    const int first = std::max(0, int(m_bar.GetScrollPos() / Scaled(kRowHeight)));
    for (int row = first; row < Count() && RowRect(row).top < m_rect.bottom; ++row)
        Avatar(m_comments->comments[row].avatarPath);
}

bool CCommentListBox::ShowsAvatar(std::uint32_t key) const
{
    const int first = std::max(0, int(m_bar.GetScrollPos() / Scaled(kRowHeight)));
    for (int row = first; row < Count() && RowRect(row).top < m_rect.bottom; ++row) {
        const std::string& path = m_comments->comments[row].avatarPath;
        if (!path.empty() && LandedPictureKey(path) == key)
            return true;
    }
    return false;
}

void CCommentListBox::AppendPaintKey(CPaintKey& key) const
{
    key << m_generation << m_bar.GetScrollPos() << m_hot << m_rect << m_avatars.Decodes() << m_frame;
}
