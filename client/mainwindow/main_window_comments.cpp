// The main window's side of the comment view: its commands, the workers'
// answers about comments and actions, and the notices they turn into.
#include "main_window.h"

#include "program_folder.h"
#include "signed_in_user.h"
#include "skinkit/dpi.h"
#include "social_actions.h"
#include "win32/wallpaper.h"
#include "win32/wide_text.h"
#include "win32/window_message_sink.h"

namespace {

constexpr int kCommentViewWidth = 480;
constexpr int kCommentViewMargin = 24;
// Below the browsing band (the viewer's bar slides down to 129), whose
// category buttons, page buttons and strips it would otherwise cover.
constexpr int kCommentViewTop = 138;
// The panels' band the viewer leaves open when it slides down.
constexpr int kPanelBandBottom = 129;

}  // namespace

void Qaurn_Navigate_window::CreateCommentView()
{
    m_comments.Create(m_hWnd, ResourceFolder());
    PlaceCommentView();
}

// Along the screen's right edge, as tall as the screen allows.
void Qaurn_Navigate_window::PlaceCommentView()
{
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    const int dpi = skinkit::WindowDpi(m_hWnd);
    const int margin = skinkit::ScaleToDpi(kCommentViewMargin, dpi);
    m_comments.SetPanelRect(RECT{width - skinkit::ScaleToDpi(kCommentViewWidth, dpi) - margin,
        skinkit::ScaleToDpi(kCommentViewTop, dpi), width - margin, height - margin});
}

FeedStore::PicturePtr Qaurn_Navigate_window::CurrentPicture() const
{
    if (m_pagePicture)
        return m_pagePicture;
    return m_services->Store()->Picture(PictureListId{m_currentKind, m_currentKey}, m_currentIndex);
}

// The picture on show with what is stored of its comments; unless they
// have just come, they are asked for again, so a list stored while signed
// out gets the user's follow state.
void Qaurn_Navigate_window::ShowPictureInComments(bool fetchComments)
{
    m_pagePicture.reset();
    const PictureListId list{m_currentKind, m_currentKey};
    const FeedStore::PicturePtr picture = CurrentPicture();
    if (!picture)
        return;
    // Afresh each time: an author who changed their avatar shows the new one
    // once it lands; until then the one on disk stands.
    m_services->Downloads()->FetchAlways(picture->avatarUrl, picture->avatarPath);
    m_comments.SetPicture(*picture);
    m_comments.SetComments(m_services->Store()->Comments(list, m_currentIndex, picture->shareId));
    // A list stored while signed in says whom that user follows.
    if (!IsSignedIn())
        m_comments.SetFollowing(false);
    if (fetchComments)
        m_services->Fetcher().LoadComments(list, m_currentIndex);
    m_comments.Show(true);
    AnnouncePicture();
}

bool Qaurn_Navigate_window::OnCommentCommand(WORD id, WORD code, LPARAM lParam)
{
    if (id == CMD_COMMENT_HEADER) {
        if (code == kButtonMouseEnter)
            m_comments.Fold(false);
        return true;
    }
    if (code != 0)
        return false;
    switch (id) {
    case CMD_WALLPAPER:
        m_comments.CloseInput();
        m_comments.ShowResult(SetWallpaper(Narrow(m_currentPath)) ? kNoticeWallpaperSet : kNoticeWallpaperFailed);
        return true;
    case CMD_LIKE:
        m_comments.CloseInput();
        if (NeedsSignedIn(kPendingLike, lParam))
            LikeCurrent();
        return true;
    case CMD_FOLLOW:
    case CMD_UNFOLLOW:
        m_comments.NoteFollowAsked();
        if (NeedsSignedIn(kPendingFollow, lParam))
            FollowCurrent();
        return true;
    case CMD_CONFIRM:
        if (NeedsSignedIn(m_comments.Mode() == CCommentWnd::kInputForward ? kPendingForward : kPendingComment, lParam))
            ConfirmInput();
        return true;
    case CMD_FORWARD:
        m_inputMode = CCommentWnd::kInputForward;
        m_comments.ToggleInput(CCommentWnd::kInputForward);
        return true;
    case CMD_COMMENT:
        m_inputMode = CCommentWnd::kInputComment;
        m_comments.ClearReply();
        m_comments.ToggleInput(CCommentWnd::kInputComment);
        return true;
    case CMD_CANCEL_INPUT:
        m_comments.CancelInput();
        return true;
    case CMD_PIN:
        m_comments.Fold(true);
        return true;
    default:
        return false;
    }
}

// C opens the input for a comment on the picture on show, as the comment
// button does, with the keyboard's focus in it; the key is the search
// field's while that has the focus.
bool Qaurn_Navigate_window::OnCommentKey(WPARAM key)
{
    if (key != 'C' || m_searchField.IsFocus() || !m_comments.IsShown() || m_comments.Folded())
        return false;
    if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0)
        return false;
    if (!m_comments.InputOpen())
        OnCommentCommand(CMD_COMMENT, 0, 0);
    return true;
}

void Qaurn_Navigate_window::ConfirmInput()
{
    const std::wstring text = m_comments.InputText();
    if (text.empty()) {
        m_comments.ShowResult(kNoticeEmpty);
        return;
    }
    const FeedStore::PicturePtr picture = CurrentPicture();
    const bool forward = m_comments.Mode() == CCommentWnd::kInputForward;
    if (!picture) {
        m_comments.ShowResult(forward ? kNoticeForwardFailed : kNoticeCommentFailed);
        return;
    }
    const SocialActions& actions = m_services->Actions();
    if (!forward) {
        actions.ReplyToComment(picture->shareId, Narrow(text), m_comments.ReplyTarget());
        return;
    }
    // The forward itself carries no text; with the box ticked it goes as a comment.
    actions.ForwardPicture(picture->shareId);
    if (m_comments.AlsoComment())
        actions.ReplyToComment(picture->shareId, Narrow(text), std::nullopt);
}

// Known by its identifier alone until the service's details come.
void Qaurn_Navigate_window::OpenPagePicture(const std::string& shareId)
{
    if (shareId.empty())
        return;
    auto picture = std::make_shared<PictureRecord>();
    picture->shareId = shareId;
    m_pagePicture = picture;
    m_comments.SetPicture(*picture);
    m_comments.SetComments(nullptr);
    m_services->Fetcher().LoadCurrentComments(shareId, m_currentKind);
    m_services->Fetcher().LoadPictureDetails(shareId);
    AnnouncePicture();
}

void Qaurn_Navigate_window::ShowPageDetails()
{
    const auto details = m_services->Store()->Details();
    if (!m_pagePicture || !details || details->shareId != m_pagePicture->shareId)
        return;
    auto picture = std::make_shared<PictureRecord>(*m_pagePicture);
    picture->authorName = details->authorName;
    picture->content = details->content;
    picture->ownerId = details->ownerId;
    picture->likeCount = details->likeCount;
    picture->commentCount = details->commentCount;
    picture->forwardCount = details->forwardCount;
    m_pagePicture = picture;
    m_comments.SetDetails(*details);
    AnnouncePicture();
}

// A follow toggles: the notice says what it did, by the state of the view
// or the card it was asked from.
void Qaurn_Navigate_window::OnActionResult(int kind, int outcome)
{
    if (kind != kActionFollow) {
        m_comments.ShowResult(NoticeForAction(kind, outcome));
        return;
    }
    const std::optional<bool> cardLeaves = m_content.OnFollowResult();
    bool nowFollowing = true;
    if (m_comments.TakeFollowAsked()) {
        if (outcome != kOutcomeFailure)
            m_comments.SetFollowing(!m_comments.Following());
        nowFollowing = m_comments.Following();
    } else if (cardLeaves) {
        nowFollowing = *cardLeaves;
    }
    m_comments.ShowResult(NoticeForAction(kind, outcome, nowFollowing));
}

// After the viewer stepped: the view is about the current list's picture.
// A list forgotten under it (a sign-out in full view) leaves it nothing to
// show. With the viewer down for a panel and the pointer on the panels'
// band the user is on the panel: the view stays as it was.
void Qaurn_Navigate_window::UpdateCommentView()
{
    if (!CurrentPicture()) {
        m_comments.Show(false);
        return;
    }
    POINT pointer{};
    GetCursorPos(&pointer);
    ScreenToClient(m_hWnd, &pointer);
    if (!m_viewerUp && !m_fullView && pointer.y < skinkit::ScaleToDpi(kPanelBandBottom, skinkit::WindowDpi(m_hWnd)))
        return;
    m_comments.Show(true);
}

bool Qaurn_Navigate_window::OnCommentMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    const PictureListId list{m_currentKind, m_currentKey};
    switch (msg) {
    case UM_COMMENT_LIST_READY:
        if (m_pagePicture || !m_currentKey.empty() || int(wParam) != m_currentKind)
            return true;
        if (std::size_t(lParam) == m_currentIndex) {
            if (const FeedStore::PicturePtr picture = CurrentPicture())
                m_comments.SetComments(m_services->Store()->Comments(list, m_currentIndex, picture->shareId));
        } else if (std::size_t(lParam) + 1 == m_currentIndex || std::size_t(lParam) == m_currentIndex + 1) {
            PrepareNeighbourComments(std::size_t(lParam));
        }
        return true;
    case UM_COMMENT_POSTED:
        if (m_pagePicture)
            m_services->Fetcher().LoadCurrentComments(m_pagePicture->shareId, m_currentKind);
        else
            m_services->Fetcher().LoadComments(list, m_currentIndex);
        return true;
    case UM_PICTURE_DETAILS_READY:
        ShowPageDetails();
        return true;
    case UM_PICTURE_COMMENTS_READY:
        if (lParam == -2012 && !m_fullView) {
            m_comments.SetComments(m_services->Store()->CurrentComments());
            m_comments.Show(true);
        }
        return true;
    case UM_UPDATE_COMMENT_VIEW:
        UpdateCommentView();
        return true;
    case UM_OPEN_PICTURE_COMMENTS:
    case UM_OPEN_NOTICE_REPLY:
        // The identifier is the sender's, valid while it waits: a page
        // calls from this thread, a test or a tool from another.
        if (SenderWaits(msg) && wParam)
            OpenPagePicture(Narrow(reinterpret_cast<const wchar_t*>(wParam)));
        return true;
    default:
        return false;
    }
}
