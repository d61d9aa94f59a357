#pragma once
#include "browse_layout.h"
#include "category_bar.h"
#include "decoded_pictures.h"
#include "endpoints.h"
#include "feed_store.h"
#include "hot_tag_panel.h"
#include "my_pictures_row.h"
#include "person_bar.h"
#include "search_list_box.h"
#include "skinkit/hyperlink.h"
#include "skinkit/memory_dc.h"
#include "skinkit/tooltip.h"
#include "user_list_panel.h"
#include "user_menu.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <windows.h>

class ClientServices;

// What the content panels need of the main window around them.
struct ContentHost {
    // The large view leaves for a panel (the viewer slides down).
    std::function<void()> slideViewerDown;
    // Shows a list's picture large; false when the list has none there.
    std::function<bool(const PictureListId&, std::size_t)> showPicture;
    // Drops the picture strip under an item: thumbnail size, column top,
    // slots, the item's left edge, source mode, feed number and key.
    std::function<void(int w, int h, int top, int slots, int anchor, int mode, int feed, const std::string& key)>
        dropStrip;
    std::function<void()> hideStrip;
    // No tab stays selected while a panel the tabs do not choose is shown.
    std::function<void()> clearTab;
    // Folds the comment view to its header (true) or unfolds it.
    std::function<void(bool)> foldComments;
    // One panel of the start's is made: a picture decoded meanwhile goes on
    // the screen now rather than after the rest.
    std::function<void()> panelMade;
};

// Which panel fills the content area under the top controls.
enum ContentMode : int {
    kContentCategories = 0,
    kContentHotTags = 1,
    kContentFeatured = 2,
    kContentUserList = 3,
    kContentPictureRow = 4,
};

// The main window's browsing panels and what ties them together: the user
// menu, the own-pictures row, the user list, the category bar, the hot tags,
// the search choice and the person bar, the notice label and the counts.
// The main window hands them its messages; they paint into its surface.
class ContentPanels {
public:
    ContentPanels() = default;
    ContentPanels(const ContentPanels&) = delete;
    ContentPanels& operator=(const ContentPanels&) = delete;

    void Create(HWND window, ClientServices& services, const std::wstring& ini, ContentHost host);
    // The window was told a new DPI: every panel lays itself out and loads
    // its pictures for it.
    void ApplyDpi(int dpi);
    int Dpi() const { return m_dpi; }

    // The window's messages, in the window's distribution order.
    void RouteCategories(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void RouteUserMenu(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void RoutePanels(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void RouteSearchChoice(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    // True when the command was the panels'. `searchText` is the field's.
    bool OnCommand(WORD id, WORD code, LPARAM lParam, const RECT& searchField, const std::wstring& searchText);
    void OnTab(int item);
    // tab: the item's place on the screen; the tip goes when the pointer leaves it.
    void OnTabHover(int item, const RECT& tab);
    void OnMouseMove(POINT point, bool overAvatar);
    // The pointer left the window: hovers and tips end.
    void OnPointerLeft();
    // A click on a panel's picture, person or tag; true when it was one.
    bool OnClick(POINT point);
    bool OnTimer(UINT_PTR id);
    bool OnSetCursor(POINT point) const;
    // True when the point is on a panel (a click there is not the viewer's).
    bool Covers(POINT point) const;
    void RunSearch(const std::wstring& text);
    // The notice at an end of the list the large view steps through.
    void ShowListEnd(bool last);
    // The band the viewer slides down to is never left empty: the category
    // buttons hold it unless another panel does.
    void FillBand();
    void ShowPerson(const std::string& uid, const std::string& name, const std::string& avatarPath);
    // The person last dropped from the user list.
    void ShowLastPerson();
    void OnUserStatsReady();
    void OnPublishPageReady(LPARAM items);
    // A download put the file of `key` in place: the panels repaint when
    // they show it (a thumbnail, an avatar, the person's avatar).
    void OnPictureArrived(std::uint32_t key);
    // A follow from the list is done: lists with no reload of their own reload.
    // After a follow's answer: reloads the list a card follow came from and
    // says whether that follow left the person followed; nothing when the
    // follow was not a card's.
    std::optional<bool> OnFollowResult();
    void OnSignedIn();
    void OnSignedOut();

    // Whether the notice label and button show; from the notice poll's store.
    bool UpdateNotice();
    // The panels under the top controls, then what lies over everything.
    // titleShown: the viewer's title keeps the bar's left end.
    void Paint(HDC hdc, bool signedIn, bool titleShown);
    void PaintOnTop(HDC hdc);

    ContentMode Mode() const { return m_mode; }
    const UserMenu& Menu() const { return m_menu; }
    const MyPicturesRow& Row() const { return m_row; }
    const UserListPanel& Users() const { return m_users; }
    const CategoryBar& Categories() const { return m_categories; }
    const HotTagPanel& HotTags() const { return m_hotTags; }
    const PersonBar& Person() const { return m_person; }
    const CSearchListBox* SearchChoice() const { return m_searchChoice.get(); }
    bool NoticeShown() const { return m_noticeShown; }
    std::wstring NoticeText() const { return m_noticeShown ? L"你有新信息" : L""; }

private:
    // The person bar stays only for the person's own pages.
    void ShowOnly(ContentMode mode, bool forPerson = false);
    // The commands, one each.
    bool OnAvatarNotice(WORD code);
    bool OnSearchFieldNotice(WORD code, const RECT& searchField);
    bool OnSearchChosen(const std::wstring& searchText);
    using OwnPageAddress = std::string (*)(const std::string& base, const LiveSession& session, int rand);
    bool OpenOwnPage(OwnPageAddress address);
    bool OpenNoticePage();
    bool OnOwnPrevious();
    bool ShowPersonPictures();
    bool ShowPersonFollows();
    void ShowOwnPictures(int rowMode);
    void ShowOwnUsers(int listMode);
    void ShowCategory(int index);
    void OpenPage(const std::string& url);
    void TurnPage(bool forward, bool userList);
    void FollowFromList(int index);
    // Whether the list's person at index is the signed-in user.
    bool IsViewer(int index) const;
    void OpenMenu();
    void CloseMenu();
    void RefreshCounts();
    void DriveStrip(POINT point);
    void PaintBand(HDC hdc, bool titleShown);

    int Px(int value) const { return browse_layout::Scaled(value, m_dpi); }
    // How many thumbnails a strip of this size shows on the screen.
    int StripSlots(int thumbnail) const;

    HWND m_window = nullptr;
    ClientServices* m_services = nullptr;
    std::wstring m_ini;
    int m_dpi = browse_layout::kLayoutDpi;
    ContentHost m_host;
    int m_width = 0;
    ContentMode m_mode = kContentCategories;
    UserMenu m_menu;
    MyPicturesRow m_row;
    UserListPanel m_users;
    CategoryBar m_categories;
    HotTagPanel m_hotTags;
    PersonBar m_person;
    std::unique_ptr<CSearchListBox> m_searchChoice;
    CHyperLinkUI m_noticeLabel;
    CToolTipUI m_tip;
    DecodedPictures m_pictures;
    std::unique_ptr<Gdiplus::Bitmap> m_band;
    // The band stretched across the screen once, copied on every paint.
    __ostrel_memory_dc m_bandSurface;
    bool m_bandReady = false;
    bool m_noticeShown = false;
    // A follow from a featured or found person's card, waiting for its
    // answer: the state it will leave.
    std::optional<bool> m_cardFollowLeaves;
    int m_lastCategory = -1;
    int m_lastCellLeft = -1;
    int m_lastTagSlot = -1;
    std::string m_droppedUid;
    std::string m_droppedName;
    std::string m_droppedAvatarPath;
    std::string m_personAvatarPath;
};
