#include "browse_layout.h"
#include "decoded_pictures.h"
#include "feed_kinds.h"
#include "main_window.h"
#include "panel_context.h"
#include "program_folder.h"
#include "signed_in_user.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(BrowseLayout, CategoryButtonsShareTheWidth)
{
    struct Row {
        int width, index, left, right;
    } rows[] = {
        {800, 1, 130, 260},  // narrower than the bar: no negative gap
        {0, 0, 0, 130},
        {1040, 1, 130, 260},  // the buttons touch
        {1920, 0, 97, 227},
        {1920, 7, 1686, 1816},
    };
    for (const Row& row : rows) {
        const RECT rect = browse_layout::CategoryButton(row.width, row.index);
        EXPECT_EQ(rect.left, row.left) << row.width << " " << row.index;
        EXPECT_EQ(rect.right, row.right) << row.width << " " << row.index;
        EXPECT_EQ(rect.top, 47);
        EXPECT_EQ(rect.bottom, 113);
    }
}

TEST(BrowseLayout, SearchChoiceEntries)
{
    const RECT list = browse_layout::SearchChoiceList(RECT{100, 10, 200, 30});
    EXPECT_EQ(list.left, 95);
    EXPECT_EQ(list.top, 35);
    EXPECT_EQ(list.right, 233);
    EXPECT_EQ(list.bottom, 89);
    struct Point {
        POINT point;
        int entry;
    } points[] = {{{94, 50}, -1}, {{150, 89}, -1}, {{150, 35}, 0}, {{150, 61}, 0}, {{150, 62}, 1}};
    for (const Point& row : points)
        EXPECT_EQ(browse_layout::SearchChoiceAt(list, row.point), row.entry) << row.point.x << "," << row.point.y;
    struct Key {
        int entry;
        WPARAM key;
        int next;
    } keys[] = {{1, 'A', 1}, {1, VK_DOWN, 0}, {1, VK_RIGHT, 0}, {0, VK_UP, 1}, {0, VK_LEFT, 1}, {0, VK_DOWN, 1}};
    for (const Key& row : keys)
        EXPECT_EQ(browse_layout::SearchChoiceAfterKey(row.entry, row.key), row.next) << row.entry << " " << row.key;
}

TEST(BrowseLayout, TheMenuClosesBesideOrBelowIt)
{
    const RECT menu{100, 40, 260, 284};
    struct Row {
        POINT point;
        bool overAvatar;
        bool leaves;
    } rows[] = {
        {{0, 0}, true, false},  // the avatar keeps it, wherever it is
        {{99, 100}, false, true},
        {{260, 100}, false, true},
        {{150, 284}, false, true},
        {{150, 20}, false, false},  // above, on the way from the avatar
        {{150, 100}, false, false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(browse_layout::PointerLeavesMenu(row.point, menu, row.overAvatar), row.leaves)
            << row.point.x << "," << row.point.y;
}

TEST(BrowsePaging, OnlyTheCurrentPagesItemsShow)
{
    struct Row {
        const char* what;
        int total, pages, steps;
        std::size_t stored, shown;
    } rows[] = {
        {"more pages than items", 2, 5, 2, 10, 0},
        {"a page past a short total", 5, 3, 2, 10, 1},
        {"no pager", -1, 0, 0, 7, 7},
        {"a pager without totals", 0, 0, 0, 7, 7},
        {"first page", 28, 3, 0, 10, 10},
        {"short last page", 28, 3, 2, 10, 8},
    };
    for (const Row& row : rows) {
        FeedStore store;
        if (row.total >= 0)
            store.UpdatePager(feed_kind::kMyPublished, row.total, row.pages);
        for (int i = 0; i < row.steps; ++i)
            store.NextPage(feed_kind::kMyPublished);
        EXPECT_EQ(ItemsOnPage(store, feed_kind::kMyPublished, row.stored), row.shown) << row.what;
    }
}

TEST(DecodedPictures, DecodesOncePerFileState)
{
    wchar_t folder[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, folder), 0u);
    const std::wstring path
        = std::wstring(folder) + L"quarn-decoded-" + std::to_wstring(GetCurrentProcessId()) + L".png";
    const std::wstring small = ResourceFolder() + L"main\\page_prev.png";
    const std::wstring large = ResourceFolder() + L"main\\user_info_bk.png";
    DeleteFileW(path.c_str());
    DecodedPictures pictures(2);
    struct Row {
        const char* what;
        const wchar_t* copyFrom;  // null: leave the file as it is
        const std::wstring* look;
        bool found;
        std::size_t decodes;
    } rows[] = {
        {"empty path", nullptr, nullptr, false, 0},
        {"missing file", nullptr, &path, false, 0},
        {"the file arrives", small.c_str(), &path, true, 1},
        {"looked at again", nullptr, &path, true, 1},
        {"the file is replaced", large.c_str(), &path, true, 2},
        {"and looked at again", nullptr, &path, true, 2},
    };
    const std::wstring empty;
    for (const Row& row : rows) {
        if (row.copyFrom) {
            ASSERT_TRUE(CopyFileW(row.copyFrom, path.c_str(), FALSE)) << row.what;
        }
        Gdiplus::Bitmap* picture = pictures.Find(row.look ? *row.look : empty);
        EXPECT_EQ(picture != nullptr, row.found) << row.what;
        EXPECT_EQ(pictures.Decodes(), row.decodes) << row.what;
    }
    // Scaled once for a box, and kept for it.
    Gdiplus::Bitmap* fitted = pictures.Fitted(path, 40, 30);
    ASSERT_NE(fitted, nullptr);
    EXPECT_LE(fitted->GetWidth(), 40u);
    EXPECT_LE(fitted->GetHeight(), 30u);
    EXPECT_EQ(pictures.Fitted(path, 40, 30), fitted);
    EXPECT_EQ(pictures.Decodes(), 2u);
    DeleteFileW(path.c_str());
}

// The main window with a signed-in user; its requests go nowhere that matters.
class BrowsePanelsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SignedInUser user;
        user.signedIn = true;
        user.uid = "1001";
        user.token = "t";
        user.followCount = "0";
        StoreSignedInUser(user);
        ASSERT_TRUE(window.CreateFullScreen());
        hwnd = window.GetHWND();
    }
    void TearDown() override { SetSignedIn(false); }

    void ChooseTab(int item)
    {
        CTabNotify notify{};
        notify.item = item;
        SendMessageW(hwnd, UM_TAB_NOTIFY, kTabSelectionChanged, LPARAM(&notify));
    }

    Qaurn_Navigate_window window;
    HWND hwnd = nullptr;
};

TEST_F(BrowsePanelsTest, TabsAndMenuEntriesShowOnePanelAtATime)
{
    const ContentPanels& content = window.Content();
    struct Row {
        int tab;  // -1: the command instead
        WORD command;
        ContentMode mode;
        bool categories, hotTags, users, row;
        int panelMode;  // of the user list or the row, whichever shows
    } rows[] = {
        {0, 0, kContentCategories, true, false, false, false, -1},
        {-1, CMD_FIRST_USER_MENU + 2, kContentUserList, false, false, true, false, UserListPanel::kFollows},
        {-1, CMD_FIRST_USER_MENU, kContentPictureRow, false, false, false, true, MyPicturesRow::kPublished},
        {-1, CMD_FIRST_USER_MENU + 1, kContentPictureRow, false, false, false, true, MyPicturesRow::kLiked},
        {-1, CMD_FIRST_USER_MENU + 3, kContentUserList, false, false, true, false, UserListPanel::kFans},
        {1, 0, kContentHotTags, false, true, false, false, -1},
        {2, 0, kContentFeatured, false, false, true, false, UserListPanel::kFeatured},
    };
    for (const Row& row : rows) {
        if (row.tab >= 0) {
            ChooseTab(row.tab);
        } else {
            SendMessageW(hwnd, WM_COMMAND, row.command, 0);
        }
        const int what = row.tab >= 0 ? row.tab : row.command;
        EXPECT_EQ(content.Mode(), row.mode) << what;
        EXPECT_EQ(content.Categories().IsVisible(), row.categories) << what;
        EXPECT_EQ(content.HotTags().IsVisible(), row.hotTags) << what;
        EXPECT_EQ(content.Users().IsVisible(), row.users) << what;
        EXPECT_EQ(content.Row().IsVisible(), row.row) << what;
        const int panelMode = row.users ? content.Users().Mode() : row.row ? content.Row().Mode() : -1;
        EXPECT_EQ(panelMode, row.panelMode) << what;
    }
}

TEST_F(BrowsePanelsTest, TheMenuOpensFromTheAvatarForASignedInUserOnly)
{
    const ContentPanels& content = window.Content();
    struct Row {
        const char* what;
        bool signedIn;
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
        bool open;
    } rows[] = {
        {"signed out", false, WM_COMMAND, MAKEWPARAM(CMD_AVATAR, kButtonMouseEnter), 0, false},
        {"a click is no hover", true, WM_COMMAND, MAKEWPARAM(CMD_AVATAR, 0), 0, false},
        {"the pointer enters the avatar", true, WM_COMMAND, MAKEWPARAM(CMD_AVATAR, kButtonMouseEnter), 0, true},
        {"the pointer leaves below", true, WM_MOUSEMOVE, 0, MAKELPARAM(GetSystemMetrics(SM_CXSCREEN) - 100, 600),
            false},
    };
    for (const Row& row : rows) {
        SetSignedIn(row.signedIn);
        SendMessageW(hwnd, row.msg, row.wParam, row.lParam);
        EXPECT_EQ(content.Menu().IsOpen(), row.open) << row.what;
    }
}

}  // namespace
