// The main window's large view: the keys picture viewers answer to, full
// view, and the layout after a display change.
#include "main_window.h"

#include "cache_downloader.h"
#include "feed_store.h"
#include "picture_cache.h"
#include "win32/desktop_info.h"
#include "win32/wide_text.h"

namespace {

bool IsStepKey(WPARAM key)
{
    switch (key) {
    case VK_LEFT:
    case VK_RIGHT:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_HOME:
    case VK_END:
        return true;
    default:
        return false;
    }
}

// A picture taller than the space under the bar fits between the bar and the
// screen's bottom.
int MessengerPoint() { return GetSystemMetrics(SM_CYSCREEN); }

}  // namespace

// Left/Right and Page Up/Down step, Home/End jump, F11 toggles full view and
// Escape leaves it; the keys are the search field's while it has the focus.
bool Qaurn_Navigate_window::OnPictureKey(WPARAM key)
{
    if (m_searchField.IsFocus())
        return false;
    if (key == VK_F11) {
        ToggleFullView();
        return true;
    }
    if (key == VK_ESCAPE && m_fullView) {
        LeaveFullView();
        return true;
    }
    if (!IsStepKey(key) || m_viewer.IsShowingDefaultPicture() || !CurrentPicture())
        return false;
    if (key == VK_HOME || key == VK_END)
        JumpToEnd(key == VK_END);
    else
        StepPicture(key == VK_LEFT || key == VK_PRIOR ? -1 : 1);
    return true;
}

void Qaurn_Navigate_window::JumpToEnd(bool last)
{
    if (m_pagePicture)
        return;
    const PictureListId list{m_currentKind, m_currentKey};
    const std::size_t count = m_services->Store()->PictureCount(list);
    if (count == 0)
        return;
    const std::size_t index = last ? count - 1 : 0;
    if (index == m_currentIndex || !ShowListPicture(list, index, true))
        return;
    if (last)
        m_viewer.Summon_exchange_next_image();
    else
        m_viewer.Summon_exchange_previous_image();
}

// A double click on the large picture toggles full view.
void Qaurn_Navigate_window::OnDoubleClick(POINT point)
{
    const RECT picture = m_viewer.GetPictureRect();
    if (m_viewer.IsShowingDefaultPicture() || !PtInRect(&picture, point) || m_comments.Covers(point)
        || OverTopControl(point))
        return;
    m_doubleClicked = true;
    ToggleFullView();
}

void Qaurn_Navigate_window::ToggleFullView()
{
    if (m_fullView)
        LeaveFullView();
    else
        EnterFullView();
}

// The picture fills the screen: the controls on the bar go, the bar slides
// away, the comment view stays.
void Qaurn_Navigate_window::EnterFullView()
{
    if (m_fullView)
        return;
    m_fullView = true;
    m_strip.SetVisible(false);
    ShowTopControls(false);
    m_viewerUp = true;
    m_viewer.show_slid_up();
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void Qaurn_Navigate_window::LeaveFullView()
{
    if (!m_fullView)
        return;
    m_fullView = false;
    ShowTopControls(true);
    m_viewerUp = false;
    m_viewer.show_slid_down();
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void Qaurn_Navigate_window::ShowTopControls(bool shown)
{
    const bool signedIn = IsSignedIn();
    m_tab.ShowWindow(shown);
    m_searchField.ShowWindow(shown);
    m_searchButton.ShowWindow(shown);
    m_uploadButton.ShowWindow(shown);
    m_loginLink.ShowWindow(shown && !signedIn);
    m_registerLink.ShowWindow(shown && !signedIn);
    m_inviteLink.ShowWindow(shown && signedIn);
}

// The pictures before and after the one on show in its list; none for a
// page's picture, which belongs to no list, nor while the viewer is slid
// down under the panels: then no one is about to step.
void Qaurn_Navigate_window::TellNeighbours()
{
    const PictureListId list{m_currentKind, m_currentKey};
    const FeedStore& store = *m_services->Store();
    const bool looking = !m_pagePicture && (m_viewerUp || m_fullView);
    const auto before = !looking || m_currentIndex == 0 ? nullptr : store.Picture(list, m_currentIndex - 1);
    const auto after = !looking ? nullptr : store.Picture(list, m_currentIndex + 1);
    m_viewer.SetNeighbours(
        before ? Widen(before->largePath) : std::wstring(), after ? Widen(after->largePath) : std::wstring());
}

// Once the picture on show is there and has been looked at a moment, its
// neighbours are fetched and decoded ahead, and their comments fetched.
void Qaurn_Navigate_window::PrepareNeighbours()
{
    TellNeighbours();
    if (m_pagePicture || (!m_viewerUp && !m_fullView) || m_currentPath.empty()
        || GetFileAttributesW(m_currentPath.c_str()) == INVALID_FILE_ATTRIBUTES)
        return;
    const PictureListId list{m_currentKind, m_currentKey};
    const FeedStore& store = *m_services->Store();
    PrepareNeighbourAvatars(0);
    for (const int step : {1, -1}) {
        if (step < 0 && m_currentIndex == 0)
            continue;
        const auto picture = store.Picture(list, m_currentIndex + step);
        if (!picture)
            continue;
        // With its comments there, the step draws the comment view once.
        if (!store.Comments(list, m_currentIndex + step, picture->shareId))
            m_services->Fetcher().LoadCommentsAhead(list, m_currentIndex + step);
        else
            PrepareNeighbourComments(m_currentIndex + step);
        if (m_viewer.HoldsDecoded(Widen(picture->largePath)))
            continue;
        DecodeAhead(*picture);
    }
}

// The authors' avatars of the pictures before and after the one on show,
// fetched afresh as showing them would and decoded for the comment view
// once they land (`landed` names the file that did; 0 starts the fetches).
void Qaurn_Navigate_window::PrepareNeighbourAvatars(std::uint32_t landed)
{
    if (m_pagePicture || (!m_viewerUp && !m_fullView))
        return;
    const PictureListId list{m_currentKind, m_currentKey};
    const FeedStore& store = *m_services->Store();
    for (const int step : {1, -1}) {
        if (step < 0 && m_currentIndex == 0)
            continue;
        const auto picture = store.Picture(list, m_currentIndex + step);
        // A commenter's avatar that came after its list did.
        if (picture && landed != 0)
            PrepareNeighbourComments(m_currentIndex + step);
        if (!picture || picture->avatarPath.empty())
            continue;
        if (landed == 0)
            m_services->Downloads()->FetchAlways(picture->avatarUrl, picture->avatarPath);
        else if (LandedPictureKey(picture->avatarPath) == landed)
            m_comments.PrepareAuthorAvatar(picture->avatarPath);
    }
}

// The avatars of the first comments of the picture at index, next to the
// one on show, decoded while the user looks.
void Qaurn_Navigate_window::PrepareNeighbourComments(std::size_t index)
{
    const PictureListId list{m_currentKind, m_currentKey};
    const FeedStore& store = *m_services->Store();
    const auto picture = store.Picture(list, index);
    const auto comments = picture ? store.Comments(list, index, picture->shareId) : nullptr;
    if (comments)
        m_comments.PrepareListAvatars(*comments);
}

void Qaurn_Navigate_window::OnPictureAhead()
{
    bool shownCame = false;
    for (auto& decoded : m_ahead->TakeReady()) {
        if (!decoded->picture) {
            // None came: the window's thread reads the file itself if it is there.
            m_viewer.StopAwaiting(decoded->path);
            shownCame = shownCame || decoded->path == m_currentPath;
            continue;
        }
        const bool shown = decoded->path == m_currentPath;
        if (m_viewer.TakeDecoded(
                decoded->path, std::move(decoded->picture), decoded->natural, decoded->size, decoded->written)
            && shown)
            shownCame = true;
    }
    // The picture the user waits for is drawn now: a paint comes only once
    // every posted message is handled, and a start queues hundreds.
    if (!shownCame)
        return;
    UpdateWindow(m_hWnd);
    // What waited for the start's first picture goes once it is drawn.
    SettleStartPicture();
}

// Resolution, rotation or docking: the window covers the new screen and what
// is laid out by the screen's size is laid out again.
void Qaurn_Navigate_window::OnDisplayChange()
{
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    m_viewer.set_window_rect(0, 0, width, height);
    PlaceCommentView();
    LayOutForScreen();
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void Qaurn_Navigate_window::LayOutForScreen()
{
    if (m_progress)
        m_progress->set_ponit_val(MessengerPoint());
}

// How a large picture will be fitted: before the first one showed, the
// viewer has no messenger yet, and the first large picture gives it one laid
// out for the screen.
PictureFit Qaurn_Navigate_window::LargePictureFit() const
{
    PictureFit fit = m_viewer.CurrentFit();
    if (!m_progress && !m_fullView)
        fit.point = MessengerPoint();
    return fit;
}

// At start the home picture is often stored and in place before the panels
// are made: decoded and fitted beside them, it is ready when the window
// opens it after them. The window's own ask finds it on its way.
void Qaurn_Navigate_window::PrepareStoredHomePicture()
{
    if (!HomePictureDue() || !OnScreen())
        return;
    const FeedStore::PicturePtr first = m_services->Store()->Picture(PictureListId{feed_kind::kHome, {}}, 0);
    if (!first || GetFileAttributesW(Widen(first->largePath).c_str()) == INVALID_FILE_ATTRIBUTES)
        return;
    DecodeAhead(*first);
}

// Fetched when missing, then decoded and fitted on a worker at the size of
// the screen as it is now, as a large picture will be shown.
void Qaurn_Navigate_window::DecodeAhead(const PictureRecord& picture)
{
    m_ahead->Prepare(WithResolutionFor(picture.largeUrl, PrimaryScreenWidth()), picture.largePath, LargePictureFit(),
        *m_services->Downloads());
}
