// What a screen reader finds in the main window, fed by the local service:
// the large picture by its title and author, the comment rows and the
// strip's thumbnails as list items, and the event a new picture raises.
// The service's text may be empty, far too long, full of control
// characters or not UTF-8 at all; a reader still hears something sensible.
#include "accessible_reading.h"
#include "comment_list_box.h"
#include "feed_kinds.h"
#include "local_service.h"
#include "main_window.h"
#include "signed_in_user.h"
#include "win32/wide_text.h"
#include "win32kit/scoped_win.h"
#include "window_pump.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <oleacc.h>

namespace {

using std::chrono::seconds;
using win32kit::ComPtr;

const PictureListId kHome{feed_kind::kHome, {}};

// One element as a reader reads it; its place on the screen.
struct Seen {
    std::wstring name;
    std::wstring description;
    long role = -1;
    long state = -1;
    RECT rect{};
};

Seen Read(IAccessible* object, long id)
{
    Seen seen;
    seen.name = AccessibleText(&IAccessible::get_accName, object, id);
    seen.description = AccessibleText(&IAccessible::get_accDescription, object, id);
    seen.role = AccessibleNumber(&IAccessible::get_accRole, object, id);
    seen.state = AccessibleNumber(&IAccessible::get_accState, object, id);
    long x = 0, y = 0, w = 0, h = 0;
    if (object->accLocation(&x, &y, &w, &h, AccessibleChild(id)) == S_OK)
        seen.rect = RECT{x, y, x + w, y + h};
    return seen;
}

bool Inside(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.right <= outer.right && inner.top >= outer.top
        && inner.bottom <= outer.bottom && inner.right > inner.left && inner.bottom > inner.top;
}

// The first child with `role` (and `name`, when given); 0 for none.
long FindChild(IAccessible* object, long role, const std::wstring& name = {})
{
    long count = 0;
    if (object->get_accChildCount(&count) != S_OK)
        return 0;
    for (long id = 1; id <= count; ++id) {
        if (AccessibleNumber(&IAccessible::get_accRole, object, id) != role)
            continue;
        if (name.empty() || AccessibleText(&IAccessible::get_accName, object, id) == name)
            return id;
    }
    return 0;
}

ComPtr<IAccessible> ChildObject(IAccessible* object, long id)
{
    ComPtr<IDispatch> dispatch;
    ComPtr<IAccessible> child;
    if (object->get_accChild(AccessibleChild(id), dispatch.Out()) == S_OK && dispatch)
        dispatch->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(child.Out()));
    return child;
}

// What the service answers at `path`, read outside the code under test.
Json::Value ServiceJson(const std::string& path)
{
    const std::string body = LocalService::Fetch(path);
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    reader->parse(body.data(), body.data() + body.size(), &root, nullptr);
    return root;
}

std::vector<std::pair<long, long>>* g_events = nullptr;
HWND g_watched = nullptr;

void CALLBACK RecordEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD)
{
    if (g_events && hwnd == g_watched && object == OBJID_CLIENT && event == EVENT_OBJECT_NAMECHANGE)
        g_events->push_back({event, child});
}

class ScreenReaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        MarkNotFirstRun();
        SetSignedIn(false);
        ASSERT_TRUE(LocalService::Reset());
    }
    void TearDown() override { LocalService::SetFault("normal"); }

    // The window over the service's home feed, answered in `fault` mode.
    void Open(const std::string& fault = "normal")
    {
        ASSERT_TRUE(LocalService::SetFault(fault));
        ASSERT_TRUE(window.CreateFullScreen());
        hwnd = window.GetHWND();
        window.QueueStartUpFetches();
        FeedStore& store = *window.Services().Store();
        ASSERT_TRUE(PumpFor(seconds(20), [&] { return store.PictureCount(kHome) >= 30; }));
        ASSERT_EQ(S_OK,
            AccessibleObjectFromWindow(
                hwnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible), reinterpret_cast<void**>(client.Out())));
        viewer = FindChild(client.Get(), ROLE_SYSTEM_GRAPHIC);
        ASSERT_GT(viewer, 0) << "no picture among the window's children";
    }
    void Key(WPARAM key) { SendMessageW(hwnd, WM_KEYDOWN, key, 0); }
    // The home feed's picture at `index`, its comments come and its panel grown.
    void ShowWithComments(std::size_t index, std::size_t comments)
    {
        SendMessageW(hwnd, UM_SHOW_HOME_PICTURE, 0, 0);
        for (std::size_t i = 0; i < index; ++i)
            Key(VK_RIGHT);
        ASSERT_EQ(window.CurrentIndex(), index);
        CCommentWnd& view = window.CommentView();
        ASSERT_TRUE(PumpFor(seconds(20),
            [&] { return view.Comments() && view.Comments()->comments.size() == comments && !view.Animating(); }));
    }
    ComPtr<IAccessible> List(const std::wstring& name, long* id = nullptr)
    {
        const long found = FindChild(client.Get(), ROLE_SYSTEM_LIST, name);
        if (id)
            *id = found;
        return found ? ChildObject(client.Get(), found) : ComPtr<IAccessible>();
    }
    // The strip dropped at the home feed's start, as a category's hover does.
    void DropStrip()
    {
        PictureStrip& strip = window.Strip();
        strip.SetGeometry(128, 128, 129, 4);
        strip.Anchor(100);
        strip.SetSource(PictureStrip::kFeedSource, feed_kind::kHome, {}, 0);
        strip.SetVisible(true);
    }
    void PointAt(const RECT& screenRect)
    {
        POINT middle{(screenRect.left + screenRect.right) / 2, (screenRect.top + screenRect.bottom) / 2};
        SetCursorPos(middle.x, middle.y);
        ScreenToClient(hwnd, &middle);
        SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(middle.x, middle.y));
    }

    Qaurn_Navigate_window window;
    HWND hwnd = nullptr;
    ComPtr<IAccessible> client;
    long viewer = 0;
};

TEST_F(ScreenReaderTest, TheLargePictureIsAGraphicNamedByItsTitleWithItsAuthor)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    const Json::Value home = ServiceJson("book.php?action=c_all")["image_list"];
    ASSERT_GE(home.size(), 3u);
    EXPECT_EQ(L"", Read(client.Get(), viewer).name) << "the start picture has no title";
    RECT screen{};
    GetWindowRect(hwnd, &screen);
    SendMessageW(hwnd, UM_SHOW_HOME_PICTURE, 0, 0);
    for (Json::ArrayIndex i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        if (i > 0)
            Key(VK_RIGHT);
        const Seen seen = Read(client.Get(), viewer);
        EXPECT_EQ(Widen(home[i]["content"].asString()), seen.name);
        EXPECT_EQ(L"作者：" + Widen(home[i]["uname"].asString()), seen.description);
        EXPECT_EQ(ROLE_SYSTEM_GRAPHIC, seen.role);
        EXPECT_EQ(0, seen.state & STATE_SYSTEM_INVISIBLE);
        EXPECT_TRUE(Inside(seen.rect, screen));
    }
}

TEST_F(ScreenReaderTest, EachNewPictureRaisesANameChangeForTheLargePicture)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    std::vector<std::pair<long, long>> events;
    g_events = &events;
    g_watched = hwnd;
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr, RecordEvent,
        GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(nullptr, hook);
    SendMessageW(hwnd, UM_SHOW_HOME_PICTURE, 0, 0);
    Key(VK_RIGHT);
    Key(VK_LEFT);
    // The same picture again is no change; the next one is.
    SendMessageW(hwnd, UM_SHOW_PICTURE_INFO, feed_kind::kHome, 0);
    Key(VK_RIGHT);
    const auto forViewer = [&] {
        std::size_t count = 0;
        for (const auto& event : events)
            count += event.second == viewer ? 1 : 0;
        return count;
    };
    PumpFor(seconds(5), [&] { return forViewer() >= 4; });
    UnhookWinEvent(hook);
    g_events = nullptr;
    EXPECT_EQ(4u, forViewer());
    EXPECT_EQ(Widen(window.CurrentPicture()->content), Read(client.Get(), viewer).name);
}

TEST_F(ScreenReaderTest, CommentRowsAreListItemsNamedByAuthorAndText)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    const std::string share = window.Services().Store()->Picture(kHome, 1)->shareId;
    const Json::Value comments = ServiceJson("book.php?action=c_comment_list&id=" + share)["comment_list"];
    ASSERT_GE(comments.size(), 2u);
    ASSERT_NO_FATAL_FAILURE(ShowWithComments(1, comments.size()));

    long listId = 0;
    ComPtr<IAccessible> rows = List(L"评论", &listId);
    ASSERT_TRUE(rows);
    const Seen list = Read(client.Get(), listId);
    EXPECT_EQ(0, list.state & STATE_SYSTEM_INVISIBLE);
    long count = 0;
    ASSERT_EQ(S_OK, rows->get_accChildCount(&count));
    ASSERT_EQ(long(comments.size()), count);
    int inView = 0;
    for (long id = 1; id <= count; ++id) {
        SCOPED_TRACE(id);
        const Json::Value& c = comments[Json::ArrayIndex(id - 1)];
        const Seen row = Read(rows.Get(), id);
        EXPECT_EQ(Widen(c["uname"].asString()) + L"：" + Widen(c["content"].asString()), row.name);
        EXPECT_EQ(ROLE_SYSTEM_LISTITEM, row.role);
        EXPECT_EQ(0, row.state & (STATE_SYSTEM_HOTTRACKED | STATE_SYSTEM_SELECTED));
        EXPECT_TRUE(row.rect.left >= list.rect.left && row.rect.right <= list.rect.right);
        const bool shown = row.rect.top < list.rect.bottom;
        EXPECT_EQ(shown, (row.state & STATE_SYSTEM_OFFSCREEN) == 0) << row.rect.top << " " << list.rect.bottom;
        inView += shown ? 1 : 0;
        if (id > 1) {
            EXPECT_EQ(Read(rows.Get(), id - 1).rect.bottom, row.rect.top);
        }
    }
    EXPECT_GT(inView, 0);

    // The row under the pointer is hot; the one replied to is selected.
    PointAt(Read(rows.Get(), 1).rect);
    EXPECT_NE(0, Read(rows.Get(), 1).state & STATE_SYSTEM_HOTTRACKED);
    EXPECT_EQ(0, Read(rows.Get(), 2).state & STATE_SYSTEM_HOTTRACKED);
    window.CommentView().OnCommentListMessage(kCommentReplyClicked, 1);
    EXPECT_NE(0, Read(rows.Get(), 2).state & STATE_SYSTEM_SELECTED);
    VARIANT selected;
    ASSERT_EQ(S_OK, rows->get_accSelection(&selected));
    EXPECT_EQ(2, selected.lVal);
    window.CommentView().CancelInput();
    EXPECT_EQ(0, Read(rows.Get(), 2).state & STATE_SYSTEM_SELECTED);
}

TEST_F(ScreenReaderTest, TheStripsThumbnailsAreListItemsByTitle)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    const Json::Value home = ServiceJson("book.php?action=c_all")["image_list"];
    const long listId = FindChild(client.Get(), ROLE_SYSTEM_LIST, L"图片");
    ASSERT_GT(listId, 0);
    EXPECT_NE(0, Read(client.Get(), listId).state & STATE_SYSTEM_INVISIBLE) << "a strip not dropped is not there";
    DropStrip();
    ComPtr<IAccessible> rows = ChildObject(client.Get(), listId);
    ASSERT_TRUE(rows);
    const Seen list = Read(client.Get(), listId);
    EXPECT_EQ(0, list.state & STATE_SYSTEM_INVISIBLE);
    long count = 0;
    ASSERT_EQ(S_OK, rows->get_accChildCount(&count));
    ASSERT_EQ(4, count) << "the four slots of the column";
    for (long id = 1; id <= count; ++id) {
        SCOPED_TRACE(id);
        const Json::Value& picture = home[Json::ArrayIndex(id - 1)];
        const Seen thumb = Read(rows.Get(), id);
        EXPECT_EQ(Widen(picture["content"].asString()), thumb.name);
        EXPECT_EQ(L"作者：" + Widen(picture["uname"].asString()), thumb.description);
        EXPECT_EQ(ROLE_SYSTEM_LISTITEM, thumb.role);
        EXPECT_EQ(0, thumb.state & (STATE_SYSTEM_SELECTED | STATE_SYSTEM_INVISIBLE));
        EXPECT_TRUE(Inside(thumb.rect, list.rect));
    }
    PointAt(Read(rows.Get(), 2).rect);
    const long hovered = Read(rows.Get(), 2).state;
    EXPECT_EQ(
        STATE_SYSTEM_SELECTED | STATE_SYSTEM_HOTTRACKED, hovered & (STATE_SYSTEM_SELECTED | STATE_SYSTEM_HOTTRACKED));
    EXPECT_EQ(0, Read(rows.Get(), 1).state & STATE_SYSTEM_SELECTED);
    VARIANT selected;
    ASSERT_EQ(S_OK, rows->get_accSelection(&selected));
    EXPECT_EQ(2, selected.lVal);
}

// The service's hostile text by position in a list (mode "hostiletext"):
// empty, 5000 characters, control characters, bytes that are not UTF-8,
// blanks only.
const std::wstring kLong = std::wstring(200, L'长') + L"…";
const std::wstring kControls = L"第一行 第二行 响铃 [31m红";
const std::wstring kBroken = L"\uFFFD\uFFFD\uFFFD(\uFFFD\uFFFD坏";
const std::wstring kTitles[] = {L"无标题图片", kLong, kControls, kBroken, L"无标题图片"};
const std::wstring kAuthors[] = {L"未知用户", std::wstring(40, L'长') + L"…", kControls, kBroken, L"未知用户"};

TEST_F(ScreenReaderTest, HostileTextFromTheServiceIsReadSafely)
{
    ASSERT_NO_FATAL_FAILURE(Open("hostiletext"));
    SendMessageW(hwnd, UM_SHOW_HOME_PICTURE, 0, 0);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        if (i > 0)
            Key(VK_RIGHT);
        ASSERT_EQ(window.CurrentIndex(), std::size_t(i));
        const Seen seen = Read(client.Get(), viewer);
        EXPECT_EQ(kTitles[i], seen.name);
        EXPECT_EQ(L"作者：" + kAuthors[i], seen.description);
    }

    DropStrip();
    ComPtr<IAccessible> thumbs = List(L"图片");
    ASSERT_TRUE(thumbs);
    for (long id = 1; id <= 4; ++id)
        EXPECT_EQ(kTitles[id - 1], Read(thumbs.Get(), id).name) << id;
    window.Strip().SetVisible(false);

    // Six comments on the second picture: each position's text once, the first again.
    Key(VK_HOME);
    ASSERT_NO_FATAL_FAILURE(ShowWithComments(1, 6));
    ComPtr<IAccessible> rows = List(L"评论");
    ASSERT_TRUE(rows);
    const std::wstring expected[] = {
        L"未知用户",
        kAuthors[1] + L"：" + kLong,
        kControls + L"：" + kControls,
        kBroken + L"：" + kBroken,
        L"未知用户",
        L"未知用户",
    };
    for (long id = 1; id <= 6; ++id)
        EXPECT_EQ(expected[id - 1], Read(rows.Get(), id).name) << id;
}

}  // namespace
