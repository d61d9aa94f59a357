#include "comment_wnd.h"

#include <algorithm>
#include <cstdlib>

#include "answer_parser.h"
#include "cache_downloader.h"
#include "skin_text.h"
#include "skinkit/dpi.h"
#include "skinkit/picture.h"
#include "skinkit/picture_scaling.h"
#include "win32/wide_text.h"
#include "window_messages.h"

namespace {

constexpr UINT kNoticeShownMs = 2000;
constexpr UINT kGrowStepMs = 5;
constexpr int kButtonGap = 80;
constexpr int kAuthorAvatarSize = 40;
constexpr Gdiplus::ARGB kWhite = 0xFEFFFFFF;
constexpr Gdiplus::ARGB kNoticeInk = 0xFE4F4F4F;
constexpr Gdiplus::ARGB kQuiet = 0xFEC2C2C2;
constexpr COLORREF kLabelColor = RGB(220, 225, 229);

// A count as the service sends it; anything else, or absurd, shows 0.
int CountFrom(const std::string& text)
{
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    return end != text.c_str() && value >= 0 && value < 1000000000L ? int(value) : 0;
}

Gdiplus::RectF Box(int x, int y, int w, int h) { return Gdiplus::RectF(float(x), float(y), float(w), float(h)); }

int ImageWidth(Gdiplus::Bitmap* image, int states) { return image ? int(image->GetWidth()) / states : 0; }
int ImageHeight(Gdiplus::Bitmap* image) { return image ? int(image->GetHeight()) : 0; }

}  // namespace

struct CCommentWnd::Images {
    std::unique_ptr<Gdiplus::Bitmap> background, wallpaper, like, forward, comment, follow, common, authorFrame,
        smallFrame, editFill, thumbTop, thumbMiddle, thumbBottom, select, fixed, editBorder, notice;
    // The background's lower part made once per panel height.
    std::unique_ptr<Gdiplus::Bitmap> lowerPart;
    int lowerPartHeight = 0;
};

CCommentWnd::CCommentWnd()
    : m_images(std::make_unique<Images>())
{
}

CCommentWnd::~CCommentWnd() = default;

int CCommentWnd::Scaled(int value) const { return skinkit::ScaleToDpi(value, skinkit::WindowDpi(m_main)); }

void CCommentWnd::LoadImages(const std::wstring& folder)
{
    const int dpi = skinkit::WindowDpi(m_main);
    auto load = [&](const wchar_t* name) { return skinkit::LoadSkinPicture(folder + name, dpi); };
    Images& i = *m_images;
    i.background = load(L"comment_bk.png");
    i.wallpaper = load(L"comment_setbk_btn.png");
    i.like = load(L"comment_love_btn.png");
    i.forward = load(L"comment_forward_btn.png");
    i.comment = load(L"comment_comment_btn.png");
    i.follow = load(L"comment_concern_btn.png");
    i.common = load(L"comment_common_btn.png");
    i.authorFrame = load(L"User_ava_bk.png");
    i.smallFrame = load(L"small_ava_bk.png");
    i.editFill = load(L"comment_edit_bk.png");
    i.thumbTop = load(L"vscrollbar_t.png");
    i.thumbMiddle = load(L"vscrollbar_m.png");
    i.thumbBottom = load(L"vscrollbar_b.png");
    i.select = load(L"select.png");
    i.fixed = load(L"comment_fixed.png");
    i.editBorder = load(L"comment_edit_border.png");
    i.notice = load(L"notify_bk.png");
}

bool CCommentWnd::Create(HWND mainWindow, const std::wstring& resourceFolder)
{
    m_main = mainWindow;
    m_folder = resourceFolder;
    LoadImages(resourceFolder);
    m_header.Create(mainWindow, CMD_COMMENT_HEADER);
    m_wallpaper.Create(mainWindow, CMD_WALLPAPER);
    m_wallpaper.SetTipText(L"设为壁纸");
    m_like.Create(mainWindow, CMD_LIKE);
    m_like.SetTipText(L"喜欢");
    m_forward.Create(mainWindow, CMD_FORWARD);
    m_forward.SetTipText(L"转发");
    m_comment.Create(mainWindow, CMD_COMMENT);
    m_comment.SetTipText(L"评论");
    m_follow.Create(mainWindow, CMD_FOLLOW);
    m_authorAvatar.Create(mainWindow, CMD_AUTHOR_AVATAR);
    m_confirm.Create(mainWindow, CMD_CONFIRM);
    m_confirm.SetWindowTextW(L"确定");
    m_confirm.SetTextColor(RGB(255, 255, 255));

    m_unfollow.Create(mainWindow, CMD_UNFOLLOW);
    m_cancel.Create(mainWindow, CMD_CANCEL_INPUT);

    m_alsoComment.Create(mainWindow, RECT{}, L"同时评论", CMD_ALSO_COMMENT, 0);
    m_alsoComment.SetTextColor(kLabelColor);
    m_alsoComment.ShowWindow(false);
    m_fold.Create(mainWindow, RECT{}, L"", CMD_PIN, 0);

    m_list.Create(mainWindow, CMD_COMMENT_SCROLL, this);
    BindImages();
    const Images& i = *m_images;
    return m_edit.Create(mainWindow, CMD_COMMENT_TEXT, i.editFill.get(), i.editBorder.get());
}

void CCommentWnd::BindImages()
{
    const Images& i = *m_images;
    m_wallpaper.SetAttribute(i.wallpaper.get());
    m_like.SetAttribute(i.like.get());
    m_forward.SetAttribute(i.forward.get());
    m_comment.SetAttribute(i.comment.get());
    m_follow.SetAttribute(i.follow.get());
    m_authorAvatar.SetAttribute(i.authorFrame.get());
    m_confirm.SetAttribute(i.common.get());
    const std::wstring ini = m_folder + L"comment_window.ini";
    // The skin's section sets the text too: the links' own come after it.
    m_unfollow.SetAttribute(L"unfollow_link", ini);
    m_unfollow.SetURL(L"取消关注", L"取消关注");
    m_cancel.SetAttribute(L"cancel_link", ini);
    m_cancel.SetURL(L"", L"取消");
    m_alsoComment.SetBitmap(i.select.get());
    m_fold.SetBitmap(i.fixed.get());
    m_list.SetImages(i.thumbTop.get(), i.thumbMiddle.get(), i.thumbBottom.get(), i.smallFrame.get());
}

void CCommentWnd::ApplyDpi()
{
    // The controls keep the old pictures until they are bound to the new.
    const std::unique_ptr<Images> previous = std::exchange(m_images, std::make_unique<Images>());
    LoadImages(m_folder);
    BindImages();
    m_edit.SetPictures(m_images->editFill.get(), m_images->editBorder.get());
    Layout();
    m_avatarsMayHaveChanged = true;
    Invalidate();
}

void CCommentWnd::SetPanelRect(const RECT& rect)
{
    m_full = rect;
    if (m_visible && m_height == m_target && m_height > HeaderHeight())
        m_height = m_target = rect.bottom - rect.top;
    Layout();
}

RECT CCommentWnd::PanelRect() const { return RECT{m_full.left, m_full.top, m_full.right, m_full.top + m_height}; }

void CCommentWnd::Layout()
{
    const int l = m_full.left;
    const int t = m_full.top;
    const int r = m_full.right;
    const Images& i = *m_images;
    const auto S = [this](int value) { return Scaled(value); };
    m_header.SetWindowRect(l, t + S(7), r, t + S(37));
    const int fixedW = ImageWidth(i.fixed.get(), 6);
    m_fold.SetWindowRect(r - fixedW - S(2), t + S(2), r - S(2), t + S(2) + ImageHeight(i.fixed.get()));

    const int followW = ImageWidth(i.follow.get(), 3);
    m_follow.SetWindowRect(l + S(263), t + S(45), l + S(263) + followW, t + S(45) + ImageHeight(i.follow.get()));
    m_unfollow.MoveWindow(l + S(263), t + S(50), false);
    const int frameW = ImageWidth(i.authorFrame.get(), 1);
    m_authorAvatar.SetWindowRect(
        l + S(14), t + S(42), l + S(14) + frameW, t + S(42) + ImageHeight(i.authorFrame.get()));

    // The action row: from the right, 80 pixels apart, higher while the input is open.
    const int y = t + S(m_inputOpen ? 30 : 80);
    const int gap = S(kButtonGap);
    int right = r - gap;
    const std::pair<CButtonUI*, int> row[]
        = {{&m_wallpaper, ImageWidth(i.wallpaper.get(), 3)}, {&m_like, ImageWidth(i.like.get(), 3)},
            {&m_forward, ImageWidth(i.forward.get(), 1)}, {&m_comment, ImageWidth(i.comment.get(), 3)}};
    for (const auto& [button, width] : row) {
        button->SetWindowRect(right - width, y, right, y + ImageHeight(i.like.get()));
        right = right - width - gap;
    }

    const int middle = (l + r) / 2 - S(50);
    const int confirmW = ImageWidth(i.common.get(), 3);
    m_confirm.SetWindowRect(middle - confirmW, t + S(138), middle, t + S(138) + ImageHeight(i.common.get()));
    m_cancel.MoveWindow(middle - confirmW / 2 - S(12), t + S(173), false);
    const int selectW = ImageWidth(i.select.get(), 6);
    m_alsoComment.SetWindowRect(
        l + S(16), t + S(142), l + S(16) + selectW + S(60), t + S(142) + ImageHeight(i.select.get()));

    const int listTop = t + S(m_inputOpen ? 210 : 150);
    m_list.SetRect(RECT{l + S(8), listTop, r - S(8), std::max(listTop, int(m_full.top + m_height - S(12)))});
    PlaceInput();
}

void CCommentWnd::PlaceInput()
{
    POINT at{m_full.left + Scaled(16), m_full.top + Scaled(70)};
    ClientToScreen(m_main, &at);
    m_edit.Place(RECT{at.x, at.y, at.x, at.y});
    const bool shown = m_visible && m_inputOpen && m_height > HeaderHeight();
    const bool focus = shown && m_focusInput;
    m_edit.Show(shown, focus);
    if (focus) {
        m_focusInput = false;
        m_edit.Focus();
    }
}

void CCommentWnd::Invalidate() const
{
    const RECT r = PanelRect();
    InvalidateRect(m_main, &r, FALSE);
}

void CCommentWnd::SetHeight(int height)
{
    RECT before = PanelRect();
    m_height = height;
    Layout();
    RECT after = PanelRect();
    UnionRect(&before, &before, &after);
    InvalidateRect(m_main, &before, FALSE);
}

void CCommentWnd::AnimateTo(int height)
{
    m_target = height;
    SetTimer(m_main, kCommentGrowTimer, kGrowStepMs, nullptr);
}

void CCommentWnd::Show(bool visible)
{
    if (visible == m_visible)
        return;
    m_visible = visible;
    if (!visible) {
        KillTimer(m_main, kCommentGrowTimer);
        m_edit.Show(false);
        Invalidate();
        m_height = m_target = 0;
        return;
    }
    m_height = 0;
    AnimateTo(m_full.bottom - m_full.top);
}

void CCommentWnd::Fold(bool fold)
{
    if (!m_fold.GetCheck()) {
        if (fold)
            CloseInput();
        return;
    }
    if (fold && m_height > HeaderHeight()) {
        if (m_unfoldedHeight == 0)
            m_unfoldedHeight = m_height;
        CloseInput();
        AnimateTo(HeaderHeight());
    } else if (!fold && m_height == HeaderHeight()) {
        AnimateTo(m_unfoldedHeight > 0 ? m_unfoldedHeight : m_full.bottom - m_full.top);
    }
}

void CCommentWnd::OnTimer(UINT_PTR id)
{
    if (id == kCommentNoticeTimer) {
        KillTimer(m_main, kCommentNoticeTimer);
        m_notice = kNoticeNone;
        Invalidate();
        return;
    }
    if (id != kCommentGrowTimer)
        return;
    // A third of the way each step, exactly there at the end.
    const int step = (m_target - m_height) / 3;
    if (step == 0) {
        KillTimer(m_main, kCommentGrowTimer);
        SetHeight(m_target);
        return;
    }
    SetHeight(m_height + step);
}

void CCommentWnd::SetPicture(const PictureRecord& picture)
{
    // Decoded when first drawn, or ahead: the key has its serial.
    m_avatarPath = Widen(picture.avatarPath);
    m_avatarsMayHaveChanged = true;
    const std::string time = DetailsTimeFrom(picture.createTime);
    const std::wstring city = picture.cityName.empty() ? L"未知" : Widen(picture.cityName);
    m_timeLine = (time.empty() ? std::wstring(L"时间：未知") : Widen(time)) + L"    TA的位置:" + city;
    m_name = picture.authorName.empty() ? L"未知用户" : Widen(picture.authorName);
    m_fans = CountFrom(picture.authorFanCount);
    m_commentCount = CountFrom(picture.commentCount);
    m_forwardCount = CountFrom(picture.forwardCount);
    m_likeCount = CountFrom(picture.likeCount);
    m_following = false;
    m_replyTo.reset();
    m_edit.SetText(L"");
    Invalidate();
}

void CCommentWnd::OnPictureArrived(std::uint32_t key)
{
    // The next paint finds the file changed and decodes it again.
    const bool author = !m_avatarPath.empty() && LandedPictureKey(Narrow(m_avatarPath)) == key;
    if (author || m_list.ShowsAvatar(key)) {
        m_avatarsMayHaveChanged = true;
        Invalidate();
    }
}

void CCommentWnd::SetDetails(const PictureDetails& details)
{
    const std::wstring time = details.createTime.empty() ? std::wstring(L"时间：未知") : Widen(details.createTime);
    m_timeLine = time + L"    TA的位置:" + L"未知";
    m_name = details.authorName.empty() ? L"未知用户" : Widen(details.authorName);
    m_commentCount = CountFrom(details.commentCount);
    m_forwardCount = CountFrom(details.forwardCount);
    m_likeCount = CountFrom(details.likeCount);
    Invalidate();
}

void CCommentWnd::SetComments(std::shared_ptr<const PictureComments> comments)
{
    if (comments)
        SetFollowing(comments->isFollow == "1");
    m_comments = comments;
    m_list.SetComments(std::move(comments));
    m_avatarsMayHaveChanged = true;
    Invalidate();
}

void CCommentWnd::SetFollowing(bool following)
{
    m_following = following;
    Invalidate();
}

void CCommentWnd::ShowResult(int code)
{
    m_notice = code;
    if (code == kNoticeCommented || code == kNoticeForwarded) {
        m_edit.SetText(L"");
        m_replyTo.reset();
    }
    // The reloaded list shows the new comment; the count goes with it.
    if (code == kNoticeCommented)
        ++m_commentCount;
    if (code == kNoticeForwarded)
        ++m_forwardCount;
    if (code == kNoticeLiked)
        ++m_likeCount;
    Invalidate();
    // Every notice stands two seconds; a newer one starts the time again.
    SetTimer(m_main, kCommentNoticeTimer, kNoticeShownMs, nullptr);
}

void CCommentWnd::ToggleInput(InputMode mode)
{
    const bool open = !(m_inputOpen && m_mode == mode);
    m_mode = mode;
    m_inputOpen = open;
    m_focusInput = open;
    m_alsoComment.ShowWindow(open && mode == kInputForward);
    Layout();
    Invalidate();
}

void CCommentWnd::CloseInput()
{
    if (!m_inputOpen)
        return;
    m_inputOpen = false;
    m_focusInput = false;
    m_alsoComment.ShowWindow(false);
    Layout();
    Invalidate();
}

void CCommentWnd::CancelInput()
{
    m_edit.SetText(L"");
    m_replyTo.reset();
    CloseInput();
}

void CCommentWnd::OnCommentListMessage(int kind, int row)
{
    if (kind != kCommentReplyClicked)
        return;
    const CommentRecord* comment = m_comments && row >= 0 && std::size_t(row) < m_comments->comments.size()
        ? &m_comments->comments[std::size_t(row)]
        : nullptr;
    m_replyTo = comment ? comment->commentId : std::string();
    m_edit.SetText(L"//@" + Widen(m_list.Name(row)) + L":");
    m_mode = kInputComment;
    m_inputOpen = false;
    ToggleInput(kInputComment);
}

void CCommentWnd::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!m_visible)
        return;
    m_fold.WindowProc(hwnd, msg, wParam, lParam);
    if (m_height <= HeaderHeight()) {
        m_header.WindowProc(hwnd, msg, wParam, lParam);
        return;
    }
    for (CButtonUI* button : {&m_header, &m_wallpaper, &m_like, &m_forward, &m_comment})
        button->WindowProc(hwnd, msg, wParam, lParam);
    if (m_inputOpen) {
        m_confirm.WindowProc(hwnd, msg, wParam, lParam);
        m_cancel.WindowProc(hwnd, msg, wParam, lParam);
        m_alsoComment.WindowProc(hwnd, msg, wParam, lParam);
    } else {
        m_authorAvatar.WindowProc(hwnd, msg, wParam, lParam);
        if (m_following)
            m_unfollow.WindowProc(hwnd, msg, wParam, lParam);
        else
            m_follow.WindowProc(hwnd, msg, wParam, lParam);
    }
    m_list.WindowProc(hwnd, msg, wParam, lParam);
}

bool CCommentWnd::OnSetCursor(POINT point) const
{
    if (!m_visible || m_height <= HeaderHeight())
        return false;
    const RECT unfollow = m_unfollow.GetWindowRect();
    if (m_following && !m_inputOpen && PtInRect(&unfollow, point)) {
        m_unfollow.OnSetCursor();
        return true;
    }
    if (!m_list.OverLink(point))
        return false;
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return true;
}

bool CCommentWnd::Covers(POINT point) const
{
    const RECT panel = PanelRect();
    return m_visible && (m_list.IsDragging() || PtInRect(&panel, point));
}

RECT CCommentWnd::NoticeRect() const
{
    const int w = ImageWidth(m_images->notice.get(), 1);
    const int h = ImageHeight(m_images->notice.get());
    // Open input: right of the confirm button; closed: over the time line.
    const int centre = (m_full.left + m_full.right) / 2 + Scaled(m_inputOpen ? 70 : 0);
    const int top = m_full.top + Scaled(m_inputOpen ? 140 : 112);
    return RECT{centre - w / 2, top, centre - w / 2 + w, top + h};
}

void CCommentWnd::PaintBase(HDC hdc)
{
    // The author's avatar may still be on its way when the picture is set.
    if (std::exchange(m_avatarsMayHaveChanged, false)) {
        AuthorAvatar(&m_authorAvatarSerial);
        m_list.LoadLandedAvatars();
    }
    CPaintKey key;
    key << m_images->background.get() << m_full.right - m_full.left << m_height << m_inputOpen << m_authorAvatarSerial
        << m_name << m_timeLine << m_fans << m_likeCount << m_forwardCount << m_commentCount;
    m_list.AppendPaintKey(key);
    if (!m_basePaint.IsCurrent(key.Bytes())) {
        HDC dc = m_basePaint.Begin(RECT{0, 0, m_full.right - m_full.left, m_height}, key.Bytes());
        if (!dc) {
            DrawBase(hdc, m_full.left, m_full.top);
            return;
        }
        DrawBase(dc, 0, 0);
    }
    m_basePaint.Draw(hdc, m_full.left, m_full.top);
}

void CCommentWnd::DrawBase(HDC hdc, int l, int t)
{
    PaintBackground(hdc, l, t);
    {
        Gdiplus::Graphics g(hdc);
        if (!m_inputOpen)
            DrawAuthor(hdc, g, l, t);
        DrawCounts(hdc, l, t);
        // The list's top edge moves with the input, so its rule is drawn here.
        Gdiplus::SolidBrush rule{Gdiplus::Color(0x1AFFFFFF)};
        const int listTop = int(m_list.GetRect().top) - int(m_full.top) + t;
        g.FillRectangle(
            &rule, l + Scaled(16), listTop - Scaled(6), int(m_full.right - m_full.left) - Scaled(32), Scaled(1));
    }
    m_list.DrawRows(hdc, POINT{m_full.left - l, m_full.top - t});
}

Gdiplus::Bitmap* CCommentWnd::AuthorAvatar(std::size_t* serial)
{
    if (serial)
        *serial = 0;
    if (m_avatarPath.empty())
        return nullptr;
    return m_authorAvatars.Fitted(m_avatarPath, Scaled(kAuthorAvatarSize), Scaled(kAuthorAvatarSize), serial);
}

void CCommentWnd::PrepareAuthorAvatar(const std::string& path)
{
    if (!path.empty())
        m_authorAvatars.Fitted(Widen(path), Scaled(kAuthorAvatarSize), Scaled(kAuthorAvatarSize));
}

// The background from its kept copy, drawn anew only for a new size or skin.
void CCommentWnd::PaintBackground(HDC hdc, int l, int t)
{
    const int w = m_full.right - m_full.left;
    CPaintKey key;
    key << m_images->background.get() << w << m_height;
    if (!m_backgroundPaint.IsCurrent(key.Bytes())) {
        ++m_backgroundDraws;
        HDC dc = m_backgroundPaint.Begin(RECT{0, 0, w, m_height}, key.Bytes());
        if (!dc) {
            Gdiplus::Graphics g(hdc);
            DrawBackground(g, l, t);
            return;
        }
        Gdiplus::Graphics g(dc);
        DrawBackground(g, 0, 0);
    }
    m_backgroundPaint.Draw(hdc, l, t);
}

// The background with its top left corner at (l, t).
void CCommentWnd::DrawBackground(Gdiplus::Graphics& g, int l, int t) const
{
    Gdiplus::Bitmap* bk = m_images->background.get();
    if (!bk)
        return;
    const int w = m_full.right - m_full.left;
    const int bkH = ImageHeight(bk);
    const int bkW = int(bk->GetWidth());
    if (m_height <= bkH) {
        g.DrawImage(bk, Gdiplus::Rect(l, t, w, m_height), 0, 0, bkW, m_height, Gdiplus::UnitPixel);
        return;
    }
    // Taller than the picture: its lower part stretches over the rest. The
    // stretch is made beforehand, so both parts are drawn 1:1 and meet
    // without the seam a stretched draw leaves at its edge.
    const int top = bkH * 2 / 3;
    Images& images = *m_images;
    if (images.lowerPartHeight != m_height) {
        images.lowerPart.reset();
        images.lowerPartHeight = m_height;
        std::unique_ptr<Gdiplus::Bitmap> lower(bk->Clone(0, top, bkW, bkH - top, PixelFormat32bppPARGB));
        if (lower && lower->GetLastStatus() == Gdiplus::Ok)
            images.lowerPart = skinkit::ScaledPicture(*lower, w, m_height - top);
    }
    g.DrawImage(bk, Gdiplus::Rect(l, t, w, top), 0, 0, bkW, top, Gdiplus::UnitPixel);
    if (images.lowerPart)
        g.DrawImage(images.lowerPart.get(), l, t + top, w, m_height - top);
}

void CCommentWnd::DrawAuthor(HDC hdc, Gdiplus::Graphics& g, int l, int t)
{
    const auto S = [this](int value) { return Scaled(value); };
    if (Gdiplus::Bitmap* avatar = AuthorAvatar(nullptr))
        DrawPictureBox(hdc, g, avatar, l + S(16), t + S(44), S(kAuthorAvatarSize), S(kAuthorAvatarSize));
    SkinTextStyle name;
    name.points = 10.0f;
    name.bold = true;
    name.color = kWhite;
    DrawSkinText(hdc, m_name, name, Box(l + S(66), t + S(46), S(100), S(15)));
    SkinTextStyle small;
    small.points = 10.0f;
    small.color = kQuiet;
    DrawSkinText(hdc, L"粉丝  " + std::to_wstring(m_fans), small, Box(l + S(66), t + S(66), S(160), S(15)));
    small.points = 9.0f;
    DrawSkinText(hdc, m_timeLine, small, Box(l + S(16), t + S(122), m_full.right - m_full.left - S(32), S(14)));
}

void CCommentWnd::DrawCounts(HDC hdc, int l, int t) const
{
    SkinTextStyle count;
    count.points = 10.0f;
    count.color = kWhite;
    const std::pair<const CButtonUI*, int> counted[]
        = {{&m_like, m_likeCount}, {&m_forward, m_forwardCount}, {&m_comment, m_commentCount}};
    for (const auto& [button, value] : counted) {
        RECT r = button->GetWindowRect();
        OffsetRect(&r, l - m_full.left, t - m_full.top);
        DrawSkinText(hdc, std::to_wstring(value), count,
            Box(r.right + Scaled(8), (r.top + r.bottom) / 2 - Scaled(8), Scaled(64), Scaled(16)));
    }
}

void CCommentWnd::PaintNotice(HDC hdc, Gdiplus::Graphics& g) const
{
    if (m_notice == kNoticeNone)
        return;
    const RECT r = NoticeRect();
    if (m_images->notice)
        g.DrawImage(m_images->notice.get(), int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top));
    SkinTextStyle text;
    text.points = 10.0f;
    text.bold = true;
    text.color = kNoticeInk;
    text.centred = true;
    DrawSkinText(hdc, NoticeText(m_notice), text, Box(r.left, r.top, r.right - r.left, r.bottom - r.top));
}

void CCommentWnd::Paint(HDC hdc)
{
    if (!m_visible || m_height <= HeaderHeight())
        return;
    const RECT panel = PanelRect();
    const int saved = SaveDC(hdc);
    IntersectClipRect(hdc, panel.left, panel.top, panel.right, panel.bottom);
    PaintBase(hdc);
    m_fold.OnPaint(hdc);
    if (m_inputOpen) {
        m_confirm.OnPaint(hdc);
        m_cancel.OnPaint(hdc);
        m_alsoComment.OnPaint(hdc);
    } else {
        m_authorAvatar.OnPaint(hdc);
        if (m_following)
            m_unfollow.OnPaint(hdc);
        else
            m_follow.OnPaint(hdc);
    }
    m_list.PaintScrollBar(hdc);
    {
        Gdiplus::Graphics g(hdc);
        PaintNotice(hdc, g);
    }
    for (CButtonUI* button : {&m_wallpaper, &m_like, &m_forward, &m_comment})
        button->OnPaint(hdc);
    RestoreDC(hdc, saved);
}
