#include "content_panels.h"

#include "browse_layout.h"
#include "cache_downloader.h"
#include "client_services.h"
#include "endpoints.h"
#include "feed_kinds.h"
#include "signed_in_user.h"
#include "skin_pictures.h"
#include "skinkit/dpi.h"
#include "social_actions.h"
#include "win32/wide_text.h"
#include "window_messages.h"

#include <utility>

namespace {

// Back to page 1; a kind never fetched gets its pager there, so its first
// request asks for page 1 and not 0.
void FirstPage(FeedStore& store, int kind)
{
    if (store.CurrentPage(kind) == 0)
        store.UpdatePager(kind, 0, 0);
    else
        store.ResetPage(kind);
}

constexpr int kBandTop = 30;
constexpr int kViewerTitleRight = 345;
constexpr int kBandBottom = 129;
constexpr int kStripTop = 129;
constexpr int kStripSlots = 4;
constexpr WORD kFieldFocused = 5;
constexpr WORD kFieldBlurred = 6;
constexpr const wchar_t* kTabTips[] = {L"   分类   ", L"   热点   ", L"   达人   "};

}  // namespace

void ContentPanels::Create(HWND window, ClientServices& services, const std::wstring& ini, ContentHost host)
{
    m_window = window;
    m_services = &services;
    m_host = std::move(host);
    m_width = GetSystemMetrics(SM_CXSCREEN);
    const auto made = [this] {
        if (m_host.panelMade)
            m_host.panelMade();
    };
    m_categories.Create(window, CMD_FIRST_CATEGORY, m_width);
    made();
    m_menu.Create(window, CMD_FIRST_USER_MENU, ini);
    made();
    m_users.Create(window, m_width);
    made();
    m_row.Create(window, m_width);
    made();
    m_hotTags.Create(window, CMD_OWN_PREVIOUS, m_width);
    made();
    m_noticeLabel.Create(window, CMD_NOTICE);
    m_noticeLabel.SetAttribute(L"new_message_label", ini);
    m_noticeLabel.ShowWindow(false);
    m_tip.Create(window);
    m_ini = ini;
    m_dpi = skinkit::WindowDpi(window);
    m_band = LoadPanelPicture(L"content_band.png", m_dpi);
}

int ContentPanels::StripSlots(int thumbnail) const
{
    return browse_layout::StripSlots(GetSystemMetrics(SM_CYSCREEN), Px(kStripTop), thumbnail, kStripSlots);
}

void ContentPanels::ApplyDpi(int dpi)
{
    m_dpi = dpi;
    m_categories.Layout(m_width, dpi);
    m_menu.Layout(dpi);
    m_users.Layout(m_width, dpi);
    m_row.Layout(m_width, dpi);
    m_hotTags.Layout(m_width, dpi);
    if (m_person.IsCreated())
        m_person.Layout(dpi);
    m_noticeLabel.SetAttribute(L"new_message_label", m_ini);
    m_noticeLabel.ShowWindow(m_noticeShown);
    // Made again at the new DPI when the search field next takes the focus.
    m_searchChoice.reset();
    m_band = LoadPanelPicture(L"content_band.png", dpi);
    m_bandReady = false;
    m_host.hideStrip();
    m_lastCategory = m_lastCellLeft = m_lastTagSlot = -1;
    InvalidateRect(m_window, nullptr, FALSE);
}

// ---- routing ---------------------------------------------------------------------

void ContentPanels::RouteCategories(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!m_menu.IsOpen())
        m_categories.WindowProc(hwnd, msg, wParam, lParam);
}

void ContentPanels::RouteUserMenu(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    m_menu.WindowProc(hwnd, msg, wParam, lParam);
}

void ContentPanels::RoutePanels(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    m_row.WindowProc(hwnd, msg, wParam, lParam);
    m_users.WindowProc(hwnd, msg, wParam, lParam);
    m_hotTags.WindowProc(hwnd, msg, wParam, lParam);
    if (m_person.IsCreated())
        m_person.WindowProc(hwnd, msg, wParam, lParam);
    m_noticeLabel.WindowProc(hwnd, msg, wParam, lParam);
}

void ContentPanels::RouteSearchChoice(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (m_searchChoice)
        m_searchChoice->WindowProc(hwnd, msg, wParam, lParam);
}

// ---- commands --------------------------------------------------------------------

bool ContentPanels::OnCommand(WORD id, WORD code, LPARAM, const RECT& searchField, const std::wstring& searchText)
{
    if (id == CMD_AVATAR)
        return OnAvatarNotice(code);
    if (id == CMD_SEARCH_FIELD)
        return OnSearchFieldNotice(code, searchField);
    if (code != 0)
        return false;
    if (id >= CMD_FIRST_CATEGORY && id <= CMD_LAST_CATEGORY) {
        ShowCategory(id - CMD_FIRST_CATEGORY);
        return true;
    }
    switch (id) {
    case CMD_SEARCH:
        RunSearch(searchText);
        return true;
    case CMD_SEARCH_CHOICE:
        return OnSearchChosen(searchText);
    case CMD_FIRST_USER_MENU:
        ShowOwnPictures(MyPicturesRow::kPublished);
        return true;
    case CMD_FIRST_USER_MENU + 1:
        ShowOwnPictures(MyPicturesRow::kLiked);
        return true;
    case CMD_FIRST_USER_MENU + 2:
        ShowOwnUsers(UserListPanel::kFollows);
        return true;
    case CMD_FIRST_USER_MENU + 3:
        ShowOwnUsers(UserListPanel::kFans);
        return true;
    case CMD_LAST_USER_MENU:
        return OpenOwnPage(endpoints::ActivityPage);
    case CMD_USER_MENU_LAST:
        return OpenOwnPage(endpoints::PersonalSettingsPage);
    case CMD_SIGN_OUT:
        CloseMenu();
        return false;  // the window signs out
    case CMD_NOTICE:
        return OpenNoticePage();
    case CMD_OWN_PREVIOUS:
        return OnOwnPrevious();
    case CMD_OWN_NEXT:
        TurnPage(true, false);
        return true;
    case CMD_USER_LIST_PREVIOUS:
    case CMD_USER_LIST_NEXT:
        TurnPage(id == CMD_USER_LIST_NEXT, true);
        return true;
    case CMD_PERSON_PUBLISHED:
        return ShowPersonPictures();
    case CMD_PERSON_FOLLOWS:
        return ShowPersonFollows();
    default:
        return false;
    }
}

bool ContentPanels::OnAvatarNotice(WORD code)
{
    if (code == kButtonMouseEnter && IsSignedIn())
        OpenMenu();
    return true;
}

bool ContentPanels::OnSearchFieldNotice(WORD code, const RECT& searchField)
{
    if (code == kFieldFocused) {
        if (!m_searchChoice) {
            m_searchChoice = std::make_unique<CSearchListBox>();
            m_searchChoice->Create(m_window, CMD_SEARCH_CHOICE, browse_layout::SearchChoiceList(searchField, m_dpi));
        }
        m_searchChoice->Show();
    } else if (code == kFieldBlurred && m_searchChoice) {
        // A press on the list takes the focus from the field first: the
        // list stays for that press to choose.
        POINT cursor{};
        GetCursorPos(&cursor);
        ScreenToClient(m_window, &cursor);
        const RECT list = m_searchChoice->Rect();
        if (!PtInRect(&list, cursor))
            m_searchChoice->Hide();
    }
    InvalidateRect(m_window, nullptr, FALSE);
    return true;
}

bool ContentPanels::OnSearchChosen(const std::wstring& searchText)
{
    if (m_searchChoice)
        m_searchChoice->Hide();
    RunSearch(searchText);
    return true;
}

// One of the user's own pages from the menu, which closes.
bool ContentPanels::OpenOwnPage(OwnPageAddress address)
{
    CloseMenu();
    OpenPage(address(m_services->BaseUrl(), LiveSession::From(CopySignedInUser()), endpoints::CacheBuster()));
    return true;
}

bool ContentPanels::OpenNoticePage()
{
    const NoticeChoice choice = m_services->Store()->LastNotice();
    if (choice == NoticeChoice::None || !IsSignedIn())
        return true;
    const endpoints::NoticePage page = choice == NoticeChoice::Comments ? endpoints::NoticePage::Comments
        : choice == NoticeChoice::Replies                               ? endpoints::NoticePage::Replies
                                                                        : endpoints::NoticePage::Follows;
    OpenPage(endpoints::NoticesPage(
        m_services->BaseUrl(), page, LiveSession::From(CopySignedInUser()), endpoints::CacheBuster()));
    return true;
}

// The own row's left arrow turns the hot tags back while they show alone.
bool ContentPanels::OnOwnPrevious()
{
    if (m_hotTags.IsVisible() && !m_row.IsVisible())
        m_hotTags.MoreTags(*m_services->Store());
    else
        TurnPage(false, false);
    return true;
}

bool ContentPanels::ShowPersonPictures()
{
    if (m_person.Uid().empty())
        return true;
    m_host.slideViewerDown();
    FirstPage(*m_services->Store(), feed_kind::kMyPublished);
    m_services->Fetcher().LoadUserPictures(m_person.Uid());
    ShowOnly(kContentPictureRow, true);
    m_row.Show(MyPicturesRow::kPerson, m_person.Uid());
    return true;
}

bool ContentPanels::ShowPersonFollows()
{
    if (m_person.Uid().empty())
        return true;
    m_host.slideViewerDown();
    FirstPage(*m_services->Store(), feed_kind::kFollowsOf);
    m_services->Fetcher().LoadUserFollows(m_person.Uid());
    ShowOnly(kContentUserList, true);
    m_users.Show(UserListPanel::kFollowsOf, m_person.Uid());
    return true;
}

void ContentPanels::OpenPage(const std::string& url)
{
    const std::wstring wide = Widen(url);
    SendMessageW(m_window, UM_OPEN_WEB_PAGE, WPARAM(wide.c_str()), 0);
}

void ContentPanels::ShowOnly(ContentMode mode, bool forPerson)
{
    m_mode = mode;
    CloseMenu();
    m_host.hideStrip();
    if (!forPerson && m_person.IsCreated())
        m_person.Hide();
    if (mode == kContentCategories)
        m_categories.Show();
    else
        m_categories.Hide();
    if (mode == kContentHotTags)
        m_hotTags.Show();
    else
        m_hotTags.Hide();
    if (mode != kContentFeatured && mode != kContentUserList)
        m_users.Hide();
    if (mode != kContentPictureRow)
        m_row.Hide();
    m_lastCategory = m_lastCellLeft = m_lastTagSlot = -1;
    if (mode == kContentUserList || mode == kContentPictureRow)
        m_host.clearTab();
    InvalidateRect(m_window, nullptr, FALSE);
}

void ContentPanels::ShowOwnPictures(int rowMode)
{
    const int kind = rowMode == MyPicturesRow::kLiked ? feed_kind::kMyLiked : feed_kind::kMyPublished;
    m_host.slideViewerDown();
    FirstPage(*m_services->Store(), kind);
    m_services->Fetcher().LoadFeed(kind);
    ShowOnly(kContentPictureRow);
    m_row.Show(rowMode);
}

void ContentPanels::ShowOwnUsers(int listMode)
{
    const int kind = listMode == UserListPanel::kFans ? feed_kind::kMyFans : feed_kind::kMyFollows;
    m_host.slideViewerDown();
    // The people's pictures open large beside the whole view.
    m_host.foldComments(false);
    FirstPage(*m_services->Store(), kind);
    m_services->Fetcher().LoadFeed(kind);
    ShowOnly(kContentUserList);
    m_users.Show(listMode);
}

// The first picture of the category opens large, its comments asked for
// with it; a category not yet stored is asked for and shows nothing new.
void ContentPanels::ShowCategory(int index)
{
    const PictureListId list{feed_kind::kFirstCategory + index, {}};
    if (m_services->Store()->PictureCount(list) == 0) {
        m_services->Fetcher().LoadFeed(list.kind);
        return;
    }
    m_host.showPicture(list, 0);
}

void ContentPanels::TurnPage(bool forward, bool userList)
{
    FeedStore& store = *m_services->Store();
    FeedFetcher& fetcher = m_services->Fetcher();
    if (userList) {
        const int mode = m_users.Mode();
        if (!m_users.IsVisible()
            || (mode != UserListPanel::kFollows && mode != UserListPanel::kFans && mode != UserListPanel::kFollowsOf))
            return;
        const int kind = m_users.Kind();
        if (!(forward ? store.NextPage(kind) : store.PreviousPage(kind)))
            return;
        if (mode == UserListPanel::kFollowsOf)
            fetcher.LoadUserFollows(m_users.Key());
        else
            fetcher.LoadFeed(kind);
        m_users.SetHovered(-1);
    } else if (m_row.Mode() == MyPicturesRow::kSearch) {
        if (!m_row.TurnSearchPage(store, forward))
            return;
    } else {
        const int mode = m_row.Mode();
        if (!m_row.IsVisible()
            || (mode != MyPicturesRow::kPublished && mode != MyPicturesRow::kLiked && mode != MyPicturesRow::kPerson))
            return;
        const int kind = m_row.PagedKind();
        if (!(forward ? store.NextPage(kind) : store.PreviousPage(kind)))
            return;
        if (mode == MyPicturesRow::kPerson)
            fetcher.LoadUserPictures(m_row.Key());
        else
            fetcher.LoadFeed(kind);
    }
    InvalidateRect(m_window, nullptr, FALSE);
}

void ContentPanels::RunSearch(const std::wstring& text)
{
    if (text.empty())
        return;
    const std::string utf8 = Narrow(text);
    const int choice = m_searchChoice ? m_searchChoice->Selected() : 0;
    m_host.slideViewerDown();
    if (choice == 1) {
        m_services->Fetcher().LoadTagFeed(utf8);
        ShowOnly(kContentPictureRow);
        m_row.Show(MyPicturesRow::kSearch, utf8);
        return;
    }
    m_services->Fetcher().SearchPeople(utf8);
    ShowOnly(kContentUserList);
    m_users.Show(UserListPanel::kSearch, utf8);
}

// ---- tabs --------------------------------------------------------------------------

void ContentPanels::OnTab(int item)
{
    switch (item) {
    case 0:
        // A list that never came (the service was down at start) is asked
        // for again, so the bar fills once the service is back.
        if (m_services->Store()->CategoryCode("1").empty())
            m_services->Fetcher().LoadCategoryList();
        // The categories keep the band; the view gives way to its header.
        m_host.foldComments(true);
        ShowOnly(kContentCategories);
        return;
    case 1:
        m_services->Fetcher().LoadHotTags();
        ShowOnly(kContentHotTags);
        return;
    case 2:
        m_services->Fetcher().LoadFeed(feed_kind::kFeatured);
        ShowOnly(kContentFeatured);
        m_users.Show(UserListPanel::kFeatured);
        return;
    default:
        return;
    }
}

void ContentPanels::OnTabHover(int item, const RECT& tab)
{
    if (item < 0 || item > 2)
        return;
    m_tip.HideToolTip();
    m_tip.ShowToolTip(kTabTips[item], tab);
}

// ---- the user menu and its counts -------------------------------------------------------

void ContentPanels::OpenMenu()
{
    if (m_menu.IsOpen())
        RefreshCounts();
    m_menu.Open();
    m_host.hideStrip();
    InvalidateRect(m_window, nullptr, FALSE);
}

void ContentPanels::CloseMenu()
{
    if (m_menu.Close()) {
        RefreshCounts();
        InvalidateRect(m_window, nullptr, FALSE);
    }
}

void ContentPanels::RefreshCounts()
{
    if (IsSignedIn())
        m_services->Actions().RefreshOwnStats();
}

void ContentPanels::OnSignedIn()
{
    const SignedInUser user = CopySignedInUser();
    m_services->Store()->StoreOwnStats(
        OwnStats{user.imageCount, user.likeCount, user.followCount, user.fansCount, "0"});
    m_row.SetHasPublished(user.imageCount != "0");
    m_row.SetHasLiked(user.likeCount != "0");
    m_users.SetHasFollows(user.followCount != "0");
    m_users.SetHasFans(user.fansCount != "0");
    m_services->Store()->HideNotice();
    m_services->Actions().PollNotices();
    // The login's counts may be old by now; the menu shows the service's.
    m_services->Actions().RefreshOwnStats();
}

void ContentPanels::OnSignedOut()
{
    m_menu.Close();
    m_noticeLabel.ShowWindow(false);
    m_noticeShown = false;
    // The user's own lists leave with the user, from the screen and from memory.
    if (m_row.ShowsOwnList() || m_users.ShowsOwnList())
        ShowOnly(kContentCategories);
    for (const int kind : feed_kind::kOwnLists)
        m_services->Store()->ForgetKind(kind);
    m_services->Store()->StoreOwnStats(OwnStats{"0", "0", "0", "0", "0"});
    InvalidateRect(m_window, nullptr, FALSE);
}

// ---- pointer -------------------------------------------------------------------------------

void ContentPanels::OnMouseMove(POINT point, bool overAvatar)
{
    if (m_menu.IsOpen() && (!IsSignedIn() || browse_layout::PointerLeavesMenu(point, m_menu.Rect(), overAvatar)))
        CloseMenu();
    if (m_hotTags.OnMouseMove(point))
        InvalidateRect(m_window, nullptr, FALSE);
    if (m_users.IsVisible() && !m_menu.IsOpen()) {
        const int index = m_users.IndexAt(*m_services->Store(), point);
        // The card of the hovered person stays while the pointer is on it.
        const bool onCard = m_users.Hovered() >= 0 && index < 0 && point.y >= m_users.CellRect(0).top
            && point.y < m_users.CellRect(0).bottom && point.x < m_users.CellRect(m_users.Hovered()).right + Px(170);
        if (!onCard && m_users.SetHovered(index))
            InvalidateRect(m_window, nullptr, FALSE);
    }
    DriveStrip(point);
}

void ContentPanels::OnPointerLeft()
{
    m_tip.HideToolTip();
    m_host.hideStrip();
    m_lastCategory = m_lastCellLeft = m_lastTagSlot = -1;
    if (m_users.SetHovered(-1))
        InvalidateRect(m_window, nullptr, FALSE);
}

void ContentPanels::DriveStrip(POINT point)
{
    if (point.y < Px(kBandTop) || m_menu.IsOpen()) {
        m_host.hideStrip();
        m_lastCategory = m_lastCellLeft = m_lastTagSlot = -1;
        return;
    }
    if (m_categories.IsVisible()) {
        const int button = m_categories.ButtonAt(point);
        if (button >= 0 && button != m_lastCategory) {
            const RECT rect = m_categories.ButtonRect(button);
            m_host.dropStrip(Px(128), Px(128), Px(kStripTop), StripSlots(Px(128)), rect.left, 0,
                feed_kind::kFirstCategory + button, {});
        }
        m_lastCategory = button;
    }
    if (m_users.IsVisible()) {
        const FeedStore& store = *m_services->Store();
        const int index = m_users.IndexAt(store, point);
        const auto user = index >= 0 ? store.User(m_users.Kind(), std::size_t(index)) : nullptr;
        const RECT cell = m_users.CellRect(index < 0 ? 0 : index);
        if (user && cell.left != m_lastCellLeft) {
            m_lastCellLeft = cell.left;
            m_droppedUid = user->uid;
            m_droppedName = user->name;
            m_droppedAvatarPath = user->avatarPath;
            // Another user's pictures open the first one large unless the
            // own-pictures pager exists: a hover must not move the viewer.
            if (m_services->Store()->CurrentPage(feed_kind::kMyPublished) == 0)
                FirstPage(*m_services->Store(), feed_kind::kMyPublished);
            if (m_services->Store()->PictureCount(PictureListId{feed_kind::kUserPictures, user->uid}) == 0)
                m_services->Fetcher().LoadUserPictures(user->uid);
            m_host.dropStrip(
                Px(80), Px(80), Px(kStripTop), StripSlots(Px(80)), cell.left, 2, feed_kind::kUserPictures, user->uid);
        }
        const int lastRight = m_users.CellsPerRow() * Px(browse_layout::kUserCell) + Px(20);
        if (point.x < Px(20) || point.x > lastRight) {
            m_host.hideStrip();
            m_lastCellLeft = -1;
        }
    }
    if (m_hotTags.IsVisible()) {
        const int slot = m_hotTags.SlotAt(point);
        if (slot >= 0 && slot != m_lastTagSlot) {
            const std::string tag = m_hotTags.TagOf(*m_services->Store(), slot);
            if (!tag.empty())
                m_host.dropStrip(Px(130), Px(130), Px(kStripTop), StripSlots(Px(130)), m_hotTags.SlotRect(slot).left, 1,
                    feed_kind::kTagFeed, tag);
        }
        m_lastTagSlot = slot;
    }
}

bool ContentPanels::OnClick(POINT point)
{
    FeedStore& store = *m_services->Store();
    if (m_menu.IsOpen()) {
        const RECT menu = m_menu.Rect();
        return PtInRect(&menu, point) != FALSE;
    }
    if (m_users.OnFollowToggle(point) && !IsViewer(m_users.Hovered())) {
        FollowFromList(m_users.Hovered());
        return true;
    }
    const int picture = m_row.IndexAt(store, point);
    if (picture >= 0) {
        m_host.showPicture(m_row.List(), std::size_t(picture));
        return true;
    }
    const int person = m_users.IndexAt(store, point);
    if (person >= 0) {
        // A click on a person shows them in the person bar.
        if (const auto user = store.User(m_users.Kind(), std::size_t(person)))
            ShowPerson(user->uid, user->name, user->avatarPath);
        return true;
    }
    const int slot = m_hotTags.SlotAt(point);
    if (slot >= 0) {
        const std::string tag = m_hotTags.TagOf(store, slot);
        if (tag.empty())
            return true;
        m_hotTags.SetCurrentTag(tag);
        if (store.PictureCount(PictureListId{feed_kind::kTagFeed, tag}) == 0)
            m_services->Fetcher().LoadTagFeed(tag);
        m_host.dropStrip(Px(130), Px(130), Px(kStripTop), StripSlots(Px(130)), m_hotTags.SlotRect(slot).left, 1,
            feed_kind::kTagFeed, tag);
        m_host.showPicture(PictureListId{feed_kind::kTagFeed, tag}, 0);
        return true;
    }
    return false;
}

bool ContentPanels::IsViewer(int index) const
{
    const auto user = m_services->Store()->User(m_users.Kind(), std::size_t(index));
    return user && IsSignedIn() && user->uid == CopySignedInUser().uid;
}

void ContentPanels::FollowFromList(int index)
{
    if (!IsSignedIn()) {
        PostMessageW(m_window, WM_COMMAND, MAKEWPARAM(CMD_LOGIN, 0), 0);
        return;
    }
    const auto user = m_services->Store()->User(m_users.Kind(), std::size_t(index));
    if (!user)
        return;
    switch (m_users.Mode()) {
    case UserListPanel::kFollows:
        m_services->Actions().FollowFromList(user->uid, FollowList::MyFollows);
        return;
    case UserListPanel::kFans:
        m_services->Actions().FollowFromList(user->uid, FollowList::MyFans);
        return;
    case UserListPanel::kFollowsOf:
        m_services->Actions().FollowFromList(user->uid, FollowList::FollowsOf, m_users.Key());
        return;
    default:
        // Featured users and search results reload once the follow is answered.
        m_cardFollowLeaves = !user->isFollowed;
        m_services->Actions().FollowUser(user->uid);
        return;
    }
}

std::optional<bool> ContentPanels::OnFollowResult()
{
    const std::optional<bool> leaves = std::exchange(m_cardFollowLeaves, std::nullopt);
    if (!leaves || !m_users.IsVisible())
        return leaves;
    if (m_users.Mode() == UserListPanel::kSearch)
        m_services->Fetcher().SearchPeople(m_users.Key());
    else if (m_users.Mode() == UserListPanel::kFeatured)
        m_services->Fetcher().LoadFeed(feed_kind::kFeatured);
    return leaves;
}

bool ContentPanels::OnTimer(UINT_PTR id) { return m_categories.OnTimer(id); }

bool ContentPanels::OnSetCursor(POINT point) const
{
    if (m_person.IsCreated() && m_person.OnSetCursor(point))
        return true;
    const RECT label = m_noticeLabel.GetWindowRect();
    if (m_noticeLabel.IsWindowVisible() && PtInRect(&label, point)) {
        m_noticeLabel.OnSetCursor();
        return true;
    }
    return false;
}

bool ContentPanels::Covers(POINT point) const
{
    if (m_searchChoice && m_searchChoice->IsVisible()) {
        const RECT list = m_searchChoice->Rect();
        if (PtInRect(&list, point))
            return true;
    }
    if (m_menu.IsOpen()) {
        const RECT menu = m_menu.Rect();
        if (PtInRect(&menu, point))
            return true;
    }
    if (m_person.IsCreated() && m_person.IsVisible()) {
        const RECT card = m_person.Rect();
        if (PtInRect(&card, point))
            return true;
    }
    const bool panelShown
        = m_categories.IsVisible() || m_hotTags.IsVisible() || m_users.IsVisible() || m_row.IsVisible();
    return panelShown && point.y >= Px(kBandTop) && point.y < Px(kBandBottom);
}

// ---- the person bar ------------------------------------------------------------------------

void ContentPanels::ShowPerson(const std::string& uid, const std::string& name, const std::string& avatarPath)
{
    if (uid.empty())
        return;
    if (!m_person.IsCreated())
        m_person.Create(m_window);
    m_personAvatarPath = avatarPath;
    m_person.Show(uid, name, m_pictures.Find(Widen(avatarPath)));
    UserStats stats;
    if (m_services->Store()->FindUserStats(uid, stats))
        m_person.SetStats(stats);
    m_services->Fetcher().LoadUserStats(uid);
    if (m_services->Store()->CurrentPage(feed_kind::kMyPublished) == 0)
        FirstPage(*m_services->Store(), feed_kind::kMyPublished);
    m_services->Fetcher().LoadUserPictures(uid);
    m_host.dropStrip(Px(80), Px(80), Px(kStripTop), StripSlots(Px(80)), m_lastCellLeft < 0 ? Px(20) : m_lastCellLeft, 2,
        feed_kind::kUserPictures, uid);
    InvalidateRect(m_window, nullptr, FALSE);
}

void ContentPanels::ShowLastPerson() { ShowPerson(m_droppedUid, m_droppedName, m_droppedAvatarPath); }

void ContentPanels::OnUserStatsReady()
{
    UserStats stats;
    if (m_person.IsCreated() && m_services->Store()->FindUserStats(m_person.Uid(), stats))
        m_person.SetStats(stats);
    InvalidateRect(m_window, nullptr, FALSE);
}

void ContentPanels::OnPictureArrived(std::uint32_t key)
{
    const FeedStore& store = *m_services->Store();
    const bool person = m_person.IsCreated() && m_person.IsVisible() && LandedPictureKey(m_personAvatarPath) == key;
    if (!person && !m_row.ShowsPicture(store, key) && !m_users.ShowsAvatar(store, key))
        return;
    // The person bar and the panels' band.
    const RECT area{0, 0, m_width, Px(kBandBottom)};
    InvalidateRect(m_window, &area, FALSE);
}

void ContentPanels::OnPublishPageReady(LPARAM items)
{
    if (items > 0)
        m_row.SetHasPublished(true);
    InvalidateRect(m_window, nullptr, FALSE);
}

// ---- painting ----------------------------------------------------------------------------------

bool ContentPanels::UpdateNotice()
{
    m_noticeShown = IsSignedIn() && m_services->Store()->VisibleNotice() != NoticeChoice::None;
    // Asked on every paint: the label is drawn again only when it comes or goes.
    if (m_noticeLabel.IsWindowVisible() != m_noticeShown)
        m_noticeLabel.ShowWindow(m_noticeShown);
    return m_noticeShown;
}

void ContentPanels::Paint(HDC hdc, bool signedIn, bool titleShown)
{
    const OwnStats counts = m_services->Store()->OwnStatistics();
    // A refreshed count tells whether an own list is empty as well as the login's did.
    if (!counts.follows.empty()) {
        m_users.SetHasFollows(counts.follows != "0");
        m_users.SetHasFans(counts.fans != "0");
        m_row.SetHasLiked(counts.liked != "0");
    }
    m_menu.SetCounts({Widen(counts.published), Widen(counts.liked), Widen(counts.follows), Widen(counts.fans),
        Widen(counts.unreadNotices.empty() ? std::string("0") : counts.unreadNotices)});
    PanelContext context{m_services->Store().get(), &m_pictures, m_width};
    const bool panelShown
        = m_categories.IsVisible() || m_hotTags.IsVisible() || m_users.IsVisible() || m_row.IsVisible();
    if (panelShown)
        PaintBand(hdc, titleShown);
    // Below the band's top bar the band is the same picture on every paint.
    context.backdrop = panelShown && m_bandReady ? 1 : 0;
    m_categories.Paint(hdc);
    m_hotTags.Paint(hdc, context);
    m_users.Paint(hdc, context, signedIn ? CopySignedInUser().uid : std::string());
    m_row.Paint(hdc, context);
    if (m_person.IsCreated()) {
        if (m_person.IsVisible())
            m_person.SetAvatar(m_pictures.Find(Widen(m_personAvatarPath)));
        m_person.Paint(hdc);
    }
    m_noticeLabel.OnPaint(hdc);
}

void ContentPanels::PaintBand(HDC hdc, bool titleShown)
{
    if (!m_band)
        return;
    const int height = int(m_band->GetHeight());
    if (!m_bandReady) {
        if (!m_bandSurface.Create_compatible_dc(hdc, m_width, height, 1))
            return;
        // Flipped tiles: a stretched edge would fade into the transparent
        // outside of the picture.
        Gdiplus::ImageAttributes edges;
        edges.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
        Gdiplus::Graphics graphics(m_bandSurface.get_ghost());
        graphics.DrawImage(m_band.get(), Gdiplus::Rect(0, 0, m_width, height), 0, 0, int(m_band->GetWidth()), height,
            Gdiplus::UnitPixel, &edges);
        m_bandReady = true;
    }
    // The viewer's own title and buttons keep the bar's left end while they
    // show; with the viewer's bar slid away the band's bar runs to the edge.
    const int barLeft = titleShown ? Px(kViewerTitleRight) : 0;
    const int bandTop = Px(kBandTop);
    BitBlt(hdc, barLeft, 0, m_width - barLeft, bandTop, m_bandSurface.get_ghost(), barLeft, 0, SRCCOPY);
    BitBlt(hdc, 0, bandTop, m_width, height - bandTop, m_bandSurface.get_ghost(), 0, bandTop, SRCCOPY);
}

void ContentPanels::PaintOnTop(HDC hdc)
{
    m_menu.Paint(hdc);
    if (m_searchChoice)
        m_searchChoice->Paint(hdc);
}

void ContentPanels::ShowListEnd(bool last)
{
    ShowOnly(kContentPictureRow);
    m_row.Show(last ? MyPicturesRow::kLastOne : MyPicturesRow::kFirstOne);
    InvalidateRect(m_window, nullptr, FALSE);
}

void ContentPanels::FillBand()
{
    if (m_mode == kContentCategories && !m_categories.IsVisible())
        ShowOnly(kContentCategories);
}
