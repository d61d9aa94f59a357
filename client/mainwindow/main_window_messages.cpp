// The main window's private messages and commands.
#include "main_window.h"

#include "endpoints.h"
#include "feed_kinds.h"
#include "feed_store.h"
#include "picture_cache.h"
#include "program_folder.h"
#include "signed_in_user.h"
#include "text_encoding.h"
#include "win32/desktop_info.h"
#include "win32/wide_text.h"
#include "win32/window_message_sink.h"

#include <shellapi.h>

namespace {

void OpenInBrowser(const std::wstring& url)
{
    ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// Workers and the web window hand text by pointers that live only while
// they wait in SendMessage: read only then.
const std::string* SentText(UINT msg, LPARAM value)
{
    return SenderWaits(msg) ? reinterpret_cast<const std::string*>(value) : nullptr;
}

const wchar_t* SentWideText(UINT msg, LPARAM value)
{
    return SenderWaits(msg) ? reinterpret_cast<const wchar_t*>(value) : nullptr;
}

}  // namespace

bool Qaurn_Navigate_window::OnPrivateMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case UM_TRAY_NOTIFY:
        OnTrayNotify(lParam);
        return true;
    case UM_TAB_NOTIFY:
        OnTabNotify(wParam, lParam);
        return true;
    case UM_SHOW_LARGE_PICTURE:
        OnShowLargePicture(msg, wParam, lParam);
        return true;
    case UM_SHOW_PICTURE_INFO:
        OnShowPictureInfo(int(wParam), std::size_t(lParam));
        return true;
    case UM_FEED_OFFLINE:
        OnFeedOffline(wParam != 0);
        return true;
    case UM_DOWNLOAD_DONE:
        OnLargeDownloadDone();
        return true;
    case UM_PICTURE_AHEAD:
        OnPictureAhead();
        return true;
    case UM_PICTURE_ARRIVED:
        OnPictureArrived(std::uint32_t(wParam));
        return true;
    case UM_LEAVE_FULL_VIEW:
        LeaveFullView();
        return true;
    case UM_START_LOGIN:
        PostMessageW(LoginWindow().GetHWND(), UM_START_LOGIN, 0, 0);
        return true;
    case UM_ADD_TRAY_ICON:
        AddTrayIcon();
        return true;
    case UM_OPEN_WEB_PAGE:
        OnOpenWebPage(wParam);
        return true;
    case UM_SHOW_HOME_PICTURE:
        OnShowHomePicture();
        return true;
    case UM_HOME_PAGE_STORED:
        OpenHomePictureOnScreen();
        return true;
    case UM_FEED_ERROR:
        OnFeedError();
        return true;
    case UM_DOWNLOAD_PROGRESS:
        OnDownloadProgress(int(wParam), SentWideText(msg, lParam));
        return true;
    case UM_AVATAR_CHANGED:
        OnAvatarChanged(msg, wParam, lParam);
        return true;
    case UM_TRAY_COMMAND:
        OnTrayCommand(wParam, lParam);
        return true;
    case UM_OPEN_PICTURE_COMMENTS:
    case UM_OPEN_NOTICE_REPLY:
        HideWebWindow();
        return OnCommentMessage(msg, wParam, lParam);
    case UM_ACTION_RESULT:
        OnActionResult(int(wParam), int(lParam));
        return true;
    case UM_COMMENT_LIST_READY:
    case UM_COMMENT_POSTED:
    case UM_PICTURE_DETAILS_READY:
    case UM_PICTURE_COMMENTS_READY:
    case UM_UPDATE_COMMENT_VIEW:
        return OnCommentMessage(msg, wParam, lParam);
    case UM_SHOW_LIST_PICTURE:
        OnShowOtherUsersPicture(SentText(msg, LPARAM(wParam)), std::size_t(lParam));
        return true;
    case UM_USER_STATS_READY:
        m_content.OnUserStatsReady();
        return true;
    case UM_PUBLISH_PAGE_READY:
        if (wParam == 0)
            m_content.OnPublishPageReady(lParam);
        return true;
    case UM_SHOW_OWN_PICTURE:
        OnShowOwnPicture(std::size_t(wParam));
        return true;
    case UM_SHOW_ROW_PICTURE:
        OnShowRowPicture(SentText(msg, LPARAM(wParam)), std::size_t(lParam));
        return true;
    case UM_SHOW_FIRST_CATEGORY:
        if (!m_tabUsed)
            ShowListPicture(PictureListId{feed_kind::kFirstCategory, {}}, 0);
        return true;
    case UM_SHOW_AUTHOR_PICTURES:
        ShowAuthorPictures();
        return true;
    default:
        return false;
    }
}

void Qaurn_Navigate_window::OnTabNotify(WPARAM code, LPARAM lParam)
{
    if (!lParam)
        return;
    const int item = reinterpret_cast<const CTabNotify*>(lParam)->item;
    if (code == kTabSelectionChanged) {
        m_tabUsed = true;
        m_viewerUp = false;
        m_viewer.show_slid_down();
        TellNeighbours();
        m_content.OnTab(item);
        return;
    }
    if (code != kTabHotChanged)
        return;
    RECT tab{};
    if (m_tab.GetItemRect(item, &tab)) {
        MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&tab), 2);
        m_content.OnTabHover(item, tab);
    }
}

void Qaurn_Navigate_window::OnShowLargePicture(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (wParam == kResetStripScroll)
        m_strip.ResetScroll();
    // The strip sends its clicks from this thread.
    if (m_strip.Sending())
        ShowLargePicture(Widen(*reinterpret_cast<const std::string*>(lParam)));
    else if (const std::string* path = SentText(msg, lParam))
        ShowLargePicture(Widen(*path));
}

void Qaurn_Navigate_window::OnShowPictureInfo(int kind, std::size_t index)
{
    m_currentKind = kind;
    m_currentIndex = index;
    m_currentKey = m_strip.Sending() ? m_strip.Key() : std::string();
    // The download's end preloads the strip's feed: the home picture's too.
    if (m_currentKind == feed_kind::kHome)
        m_strip.FollowFeed(feed_kind::kHome);
    ShowPictureInComments();
}

void Qaurn_Navigate_window::OnFeedOffline(bool offline)
{
    if (!m_offlineMark.Update(offline))
        return;
    const RECT mark = m_offlineMark.Area();
    InvalidateRect(m_hWnd, &mark, FALSE);
}

void Qaurn_Navigate_window::OnLargeDownloadDone()
{
    // The picture on show is there: it is decoded, its neighbours come next.
    DecodeShownPicture();
    SetTimer(m_hWnd, kPicturesAheadTimer, kPicturesAheadDelayMs, nullptr);
    if (m_currentKind == m_strip.FeedNumber() && m_currentKey == m_strip.Key())
        m_strip.Preload(int(m_currentIndex));
}

void Qaurn_Navigate_window::OnPictureArrived(std::uint32_t key)
{
    m_strip.OnPictureArrived(key);
    m_content.OnPictureArrived(key);
    m_comments.OnPictureArrived(key);
    PrepareNeighbourAvatars(key);
}

// Only the login window sends it, from this thread.
void Qaurn_Navigate_window::OnOpenWebPage(WPARAM address)
{
    if (address)
        OpenWebPage(reinterpret_cast<const wchar_t*>(address));
}

// The home feed's first picture opens once, when its page is stored and the
// window is on the screen: asked for by the page's arrival, by the panels
// made after it, or by a paint. A tab the user chose first stands.
void Qaurn_Navigate_window::OnShowHomePicture()
{
    if (!HomePictureDue())
        return;
    PostMessageW(m_hWnd, UM_UPDATE_COMMENT_VIEW, 0, 0);
    ShowHomePicture();
    // Decoded before the window asked, its record may have come while no
    // message was looked at.
    OnPictureAhead();
}

// As a paint would: a window not on the screen opens nothing yet.
void Qaurn_Navigate_window::OpenHomePictureOnScreen()
{
    if (OnScreen())
        OnShowHomePicture();
}

bool Qaurn_Navigate_window::HomePictureDue() const
{
    return !m_homeShown && !m_tabUsed && m_services
        && m_services->Store()->PictureCount(PictureListId{feed_kind::kHome, {}}) > 0;
}

bool Qaurn_Navigate_window::OnScreen() const { return IsWindowVisible(m_hWnd) && !IsIconic(m_hWnd); }

void Qaurn_Navigate_window::OnFeedError()
{
    // No home picture is coming: what waits for it goes now.
    SettleStartPicture();
    m_currentPath = ResourceFolder() + L"net_work_error.png";
    m_hold.reset();
    m_viewer.set_bk_image_local_path(m_currentPath);
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

// A large picture reports every block; the screen changes only with the number.
void Qaurn_Navigate_window::OnDownloadProgress(int percent, const wchar_t* path)
{
    if (!path || !m_progress || m_currentPath != path)
        return;
    std::wstring shown = std::to_wstring(percent);
    if (shown == m_progress->get_download_percent())
        return;
    m_progress->set_download_percent(std::move(shown));
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

// lParam 0: a page's new avatar, sent on by the web window.
void Qaurn_Navigate_window::OnAvatarChanged(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (lParam == 0) {
        if (const wchar_t* address = SentWideText(msg, LPARAM(wParam)))
            OnNewAvatar(address);
    } else if (IsSignedIn()) {
        ShowSignedIn();
    }
}

void Qaurn_Navigate_window::OnTrayCommand(WPARAM wParam, LPARAM item)
{
    if (wParam != 0)
        return;
    switch (item) {
    case 0:
        OpenInBrowser(Widen(m_services->BaseUrl() + "article/"));
        return;
    case 1:
        OpenInBrowser(Widen(endpoints::FeedbackPage(
            m_services->BaseUrl(), LiveSession::From(CopySignedInUser()), CopySignedInUser().displayName)));
        return;
    case 2:
        ShowSettings();
        return;
    case 3:
        PostMessageW(m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
    default:
        return;
    }
}

// Another user's picture whose comments are stored; the user id is the
// sender's, read inside its send.
void Qaurn_Navigate_window::OnShowOtherUsersPicture(const std::string* uid, std::size_t index)
{
    if (!uid)
        return;
    m_currentKind = feed_kind::kUserPictures;
    m_currentKey = *uid;
    m_currentIndex = index;
    ShowPictureInComments(false);
}

void Qaurn_Navigate_window::OnShowOwnPicture(std::size_t index)
{
    const PictureListId list = m_content.Row().List();
    m_currentKind = list.kind;
    m_currentKey = list.key;
    m_currentIndex = index;
    ShowPictureInComments();
}

// The key is read only inside the worker's send; the comments are stored
// already, so the picture shows without asking again.
void Qaurn_Navigate_window::OnShowRowPicture(const std::string* key, std::size_t index)
{
    if (!key)
        return;
    m_currentKind = m_content.Mode() == kContentPictureRow ? m_content.Row().List().kind : feed_kind::kTagFeed;
    m_currentKey = *key;
    m_currentIndex = index;
    ShowPictureInComments(false);
}

void Qaurn_Navigate_window::OnTrayNotify(LPARAM mouse)
{
    if (mouse == WM_RBUTTONUP) {
        OpenTrayMenu();
        return;
    }
    if (mouse != WM_LBUTTONDBLCLK)
        return;
    if (!IsWindowVisible(m_hWnd))
        ::ShowWindow(m_hWnd, SW_SHOW);
    if (IsIconic(m_hWnd))
        ::ShowWindow(m_hWnd, SW_RESTORE);
    SetForegroundWindow(m_hWnd);
    BringWindowToTop(m_hWnd);
}

// A chosen picture shows at once, the start picture gone; until its file is
// there the spinner turns over "0%", then the download's own count. A
// picture that slides in is repainted by the viewer where it moves.
void Qaurn_Navigate_window::ShowLargePicture(std::wstring path, bool slides, Rir_picture_ui::PictureDecode decode)
{
    m_hold = m_services->Downloads()->HoldPicture(Narrow(path));
    if (!m_progress) {
        m_progress = std::make_unique<__ostrel_messenger>();
        m_viewer.set_messenger(m_progress.get());
        LayOutForScreen();
    }
    m_viewer.LeaveDefaultPicture();
    m_viewer.set_bk_image_local_path(path, decode);
    m_currentPath = std::move(path);
    SetTimer(m_hWnd, kPicturesAheadTimer, kPicturesAheadDelayMs, nullptr);
    if (!slides)
        InvalidateRect(m_hWnd, nullptr, FALSE);
    if (m_viewerUp || m_fullView)
        return;
    m_viewerUp = true;
    m_viewer.show_slid_up();
    m_tab.SetCurSel(-1);
}

void Qaurn_Navigate_window::ShowHomePicture()
{
    if (ShowListPicture(PictureListId{feed_kind::kHome, {}}, 0))
        m_homeShown = true;
}

bool Qaurn_Navigate_window::ShowListPicture(const PictureListId& list, std::size_t index, bool slides)
{
    const FeedStore::PicturePtr picture = m_services->Store()->Picture(list, index);
    if (!picture)
        return false;
    // At the size of the screen as it is now, which may have changed since the list came.
    m_services->Downloads()->FetchLarge(WithResolutionFor(picture->largeUrl, PrimaryScreenWidth()), picture->largePath);
    const std::wstring path = Widen(picture->largePath);
    // Decoded on a worker, below, even when its file is there already.
    ShowLargePicture(path, slides, Rir_picture_ui::PictureDecode::awaited);
    m_currentKind = list.kind;
    m_currentKey = list.key;
    m_currentIndex = index;
    // The picture stepped away from is let go at once.
    TellNeighbours();
    // Decoded and fitted on a worker once its file is there, as its
    // neighbours are: on this thread a screen-sized picture's decode and
    // scaling held the window a quarter of a second before it showed.
    if (!m_viewer.HoldsDecoded(path)) {
        m_viewer.AwaitDecoded(path);
        if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            DecodeShownPicture();
    }
    ShowPictureInComments();
    return true;
}

// Only once the file is in place: asked for before, the decode would fetch
// it a second time beside the download of the picture on show.
void Qaurn_Navigate_window::DecodeShownPicture()
{
    const FeedStore::PicturePtr picture = CurrentPicture();
    if (!picture || !m_viewer.Awaits(Widen(picture->largePath)))
        return;
    DecodeAhead(*picture);
}

// The picture before or after the current one slides in; past either end of
// the list the picture stays and the band says which end it is (a step back
// at the first picture also leaves full view).
void Qaurn_Navigate_window::StepPicture(int step)
{
    if (m_pagePicture)
        return;  // a page's picture belongs to no list
    if (step < 0 && m_currentIndex == 0) {
        SendMessageW(m_hWnd, UM_LEAVE_FULL_VIEW, 0, 0);
        m_content.ShowListEnd(false);
        SlideViewerDown();
        return;
    }
    const PictureListId list{m_currentKind, m_currentKey};
    const std::size_t index = step < 0 ? m_currentIndex - 1 : m_currentIndex + 1;
    if (index >= m_services->Store()->PictureCount(list)) {
        m_content.ShowListEnd(true);
        SlideViewerDown();
        return;
    }
    if (!ShowListPicture(list, index, true))
        return;
    if (step < 0)
        m_viewer.Summon_exchange_previous_image();
    else
        m_viewer.Summon_exchange_next_image();
}

void Qaurn_Navigate_window::OnCommand(WORD id, WORD code, LPARAM lParam)
{
    if (OnCommentCommand(id, code, lParam))
        return;
    if (m_content.OnCommand(id, code, lParam, m_searchField.GetWindowRect(), m_searchField.GetWindowTextW()))
        return;
    if (code != 0)
        return;
    switch (id) {
    case CMD_LOGIN:
        OpenLogin(reinterpret_cast<HWND>(lParam) != m_hWnd);
        return;
    case CMD_INVITE:
        ShowShareDialog();
        return;
    case CMD_REGISTER:
        OpenWebPage(Widen(endpoints::RegisterPage(m_services->BaseUrl())));
        return;
    case CMD_SIGN_OUT:
        OnSignOut();
        return;
    case CMD_UPLOAD:
        if (NeedsSignedIn(kPendingUpload, lParam))
            OpenUploadPage();
        return;
    case CMD_VIEWER_PREVIOUS:
    case CMD_VIEWER_NEXT:
        StepPicture(id == CMD_VIEWER_NEXT ? 1 : -1);
        return;
    case CMD_STRIP_NEXT:
    case CMD_STRIP_BEFORE:
        m_strip.OnCommand(id);
        return;
    case CMD_AUTHOR_AVATAR:
        ShowAuthorPictures();
        return;
    case CMD_FULL_VIEW:
        ToggleFullView();
        return;
    case CMD_VIEWER_MINIMIZE:
        PostMessageW(m_hWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        return;
    case CMD_VIEWER_CLOSE:
        PostMessageW(m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
    default:
        return;
    }
}

// The self-posted login command (lParam 0) keeps the pending action; a
// click on the link starts afresh.
void Qaurn_Navigate_window::OpenLogin(bool fromSelf)
{
    if (!fromSelf)
        m_pending = kPendingNone;
    if (IsSignedIn())
        return;
    CLoginDlg& login = LoginWindow();
    if (!login.IsVisible() && !login.IsBusy())
        login.ShowLogin();
}

bool Qaurn_Navigate_window::NeedsSignedIn(PendingAction action, LPARAM argument)
{
    if (IsSignedIn())
        return true;
    m_pending = action;
    m_pendingArgument = argument;
    PostMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(CMD_LOGIN, 0), 0);
    return false;
}

void Qaurn_Navigate_window::RunPending()
{
    const PendingAction action = m_pending;
    m_pending = kPendingNone;
    m_pendingArgument = 0;
    switch (action) {
    case kPendingUpload:
        OpenUploadPage();
        return;
    case kPendingLike:
        LikeCurrent();
        return;
    case kPendingFollow:
        FollowCurrent();
        return;
    case kPendingComment:
    case kPendingForward:
        ConfirmInput();
        return;
    case kPendingNone:
        return;
    }
}

void Qaurn_Navigate_window::LikeCurrent()
{
    if (m_pagePicture)
        m_services->Actions().LikePicture(m_pagePicture->shareId, m_pagePicture->ownerId);
    else
        m_services->Actions().LikePictureAt(PictureListId{m_currentKind, m_currentKey}, m_currentIndex);
}

// A page's picture whose details have not come has no author to follow yet.
void Qaurn_Navigate_window::FollowCurrent()
{
    const auto picture = CurrentPicture();
    if (picture && !picture->ownerId.empty()) {
        m_services->Actions().FollowUser(picture->ownerId);
        return;
    }
    m_comments.TakeFollowAsked();
    m_comments.ShowResult(kNoticeFollowFailed);
}

// The person last dropped from the user list, or else the current picture's author.
void Qaurn_Navigate_window::ShowAuthorPictures()
{
    if (m_content.Users().IsVisible()) {
        m_content.ShowLastPerson();
        return;
    }
    const auto picture = CurrentPicture();
    if (picture && !picture->ownerId.empty())
        m_content.ShowPerson(picture->ownerId, picture->authorName, picture->avatarPath);
}

void Qaurn_Navigate_window::OpenUploadPage()
{
    OpenWebPage(Widen(endpoints::UploadPage(m_services->BaseUrl(), LiveSession::From(CopySignedInUser()))));
}

void Qaurn_Navigate_window::OnLoginState(LPARAM state)
{
    if (state == kLoginStarted) {
        m_loginLink.ShowWindow(false);
        m_registerLink.ShowWindow(false);
        InvalidateRect(m_hWnd, nullptr, FALSE);
        return;
    }
    if (state == kLoginEnded && IsSignedIn()) {
        // The home feed again, as the user's own, unless a resumed action
        // is what the user is waiting for.
        if (m_pending == kPendingNone)
            m_services->Fetcher().LoadHomeFeed();
        ShowSignedIn();
        SlideViewerDown();
        m_content.OnSignedIn();
        RunPending();
        // The comments again, with the user's follow state.
        if (CurrentPicture())
            m_services->Fetcher().LoadComments(PictureListId{m_currentKind, m_currentKey}, m_currentIndex);
        return;
    }
    const LoginError error = LoginErrorFor(int(state), IsSignedIn());
    if (error == kLoginErrorNone || !m_login)
        return;
    ShowSignedOut();
    m_login->SetErrorState(error);
    m_login->ShowLogin(false);
}

void Qaurn_Navigate_window::OnSignOut()
{
    if (!IsSignedIn() || !m_login)
        return;
    SignOut(m_services->Login());
    ShowSignedOut();
    // Nothing the user was shown stays: the picture goes back up, alone.
    if (!m_fullView) {
        m_strip.SetVisible(false);
        if (!m_viewerUp)
            m_viewer.show_slid_up();
        m_tab.SetCurSel(-1);
        m_comments.Show(false);
    }
    m_viewerUp = true;
}
