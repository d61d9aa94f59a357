// The large view of the main window at message level against the local
// service: choosing and stepping through pictures, the keys, full view, the
// notices at the ends of a list, one large transfer at a time, a display
// change.
#include "cache_downloader.h"
#include "feed_kinds.h"
#include "main_window.h"
#include "main_window_timers.h"
#include "picture_cache.h"
#include "program_folder.h"
#include "request_log.h"
#include "signed_in_user.h"
#include "win32/desktop_info.h"
#include "win32/wide_text.h"
#include "window_pump.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

namespace {

using std::chrono::seconds;

const PictureListId kHome{feed_kind::kHome, {}};

class LargeViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        MarkNotFirstRun();
        SetSignedIn(false);
        ASSERT_TRUE(LocalService::Reset());
        ASSERT_TRUE(window.CreateFullScreen());
        hwnd = window.GetHWND();
        window.QueueStartUpFetches();
        FeedStore& store = *window.Services().Store();
        ASSERT_TRUE(PumpFor(seconds(20), [&] { return store.PictureCount(kHome) >= 30; }));
    }
    void TearDown() override { LocalService::SetFault("normal"); }

    void Key(WPARAM key) { SendMessageW(hwnd, WM_KEYDOWN, key, 0); }

    // The home feed's picture at index: its cache file, and what the
    // service's request log shows of its address.
    std::wstring LargePath(std::size_t index)
    {
        return Widen(window.Services().Store()->Picture(kHome, index)->largePath);
    }
    std::string Asked(std::size_t index)
    {
        const std::string url
            = WithResolutionFor(window.Services().Store()->Picture(kHome, index)->largeUrl, PrimaryScreenWidth());
        const std::size_t host = url.find("//");
        return url.substr(url.find('/', host == std::string::npos ? 0 : host + 2));
    }
    // None of the first `count` large pictures is on disk from an earlier run.
    void ForgetLargePictures(std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i)
            DeleteFileW(LargePath(i).c_str());
    }
    // The home picture on show with its comment view grown and listing comments.
    bool HomeCommentsShown()
    {
        ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
        SendMessageW(hwnd, UM_SHOW_HOME_PICTURE, 0, 0);
        const CCommentWnd& comments = window.CommentView();
        return PumpFor(seconds(20), [&] {
            const PictureComments* shown = comments.Comments();
            return !comments.Animating() && shown && !shown->comments.empty();
        });
    }
    // Until the swap has run and the picture on show is drawn settled.
    bool SettleStep()
    {
        if (!PumpFor(seconds(5), [&] { return !window.Viewer().IsSwapRunning(); }))
            return false;
        RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        return true;
    }
    // A second for the downloads a step asks for, then as long as they take
    // on a busy machine, and their landing messages handled.
    void LetDownloadsLand()
    {
        PumpFor(seconds(1), [] { return false; });
        auto& downloads = static_cast<CacheDownloader&>(*window.Services().Downloads());
        PumpFor(seconds(10), [&] { return downloads.WaitIdle(std::chrono::milliseconds(0)); });
        int rounds = 0;
        PumpFor(seconds(1), [&] { return ++rounds > 3; });
    }

    Qaurn_Navigate_window window;
    HWND hwnd = nullptr;
};

// Every large picture of the cache: a start must fetch the home picture.
void EmptyLargePictures()
{
    const PictureCache cache(PictureCache::ImageFolderUnder(AppDataFolder()), PrimaryScreenWidth());
    const std::wstring folder = Widen(cache.LargePictureFolder()) + L"\\";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            DeleteFileW((folder + found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// Made as the program's start makes it: the home feed sent first, the panels
// left for later.
bool CreateAsAtStart(Qaurn_Navigate_window& window)
{
    return window.CreateFullScreen(
        Qaurn_Navigate_window::Panels::later, Qaurn_Navigate_window::StartUpFetches::homeFeedFirst);
}

void ShowAsAtStart(HWND hwnd)
{
    ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    UpdateWindow(hwnd);
}

// Drawn again now: whether the viewer shows a picture.
bool PictureDrawn(Qaurn_Navigate_window& window)
{
    RedrawWindow(window.GetHWND(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const RECT place = window.Viewer().GetPictureRect();
    return !IsRectEmpty(&place);
}

// A start as the program makes it, with no large picture in the cache: the
// window made with its home feed sent first, the panels left for later.
class StartUpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        MarkNotFirstRun();
        SetSignedIn(false);
        ASSERT_TRUE(LocalService::Reset());
        EmptyLargePictures();
        ASSERT_TRUE(CreateAsAtStart(window));
        hwnd = window.GetHWND();
    }
    void Show() { ShowAsAtStart(hwnd); }
    bool HomePictureShows()
    {
        return PumpFor(seconds(20), [&] { return PictureDrawn(window); });
    }

    Qaurn_Navigate_window window;
    HWND hwnd = nullptr;
};

// The home feed leaves while the window is made, the category list only
// after its first paint, and the home picture, fetched as soon as its page
// is stored, is asked for once (the window's own request joins that
// transfer) and shown.
TEST_F(StartUpTest, TheHomePictureFetchedBeforeTheWindowAsksComesOnceAndShows)
{
    ASSERT_TRUE(PumpFor(seconds(20), [&] { return window.Services().Store()->PictureCount(kHome) > 0; }));
    EXPECT_EQ(CountRequests("action=c_all_list"), 0) << "the category list went before the first paint";
    Show();
    window.QueueStartUpFetches();
    window.CreatePanels();
    ASSERT_TRUE(HomePictureShows());
    const FeedStore::PicturePtr first = window.Services().Store()->Picture(kHome, 0);
    ASSERT_TRUE(first);
    EXPECT_EQ(window.CurrentPicturePath(), Widen(first->largePath));
    const std::string url = WithResolutionFor(first->largeUrl, PrimaryScreenWidth());
    EXPECT_EQ(CountRequests(url.substr(url.find('/', url.find("//") + 2))), 1) << "asked for twice";
    EXPECT_TRUE(PumpFor(seconds(20), [&] { return CountRequests("action=c_all_list") == 1; }));
}

// The start's category list, whose feeds and thumbnails would share the
// processor with the home picture's decode and fit, leaves once that picture
// is drawn; a picture that is slow to come holds it no longer than the wait.
TEST(StartUpCategoryListTest, WaitsForTheHomePictureOnlySoLong)
{
    MarkNotFirstRun();
    SetSignedIn(false);
    struct Case {
        const char* name;
        const char* fault;
    };
    // The first comes well within the wait, yet later than a list sent at once would.
    const Case kCases[] = {
        {"the picture comes within the wait", "slow&scope=pictures&delay_ms=150"},
        {"the picture comes after the wait", "slow&scope=pictures&delay_ms=3000"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(LocalService::Reset());
        EmptyLargePictures();
        ASSERT_TRUE(LocalService::SetFault(c.fault));
        Qaurn_Navigate_window start;
        ASSERT_TRUE(CreateAsAtStart(start));
        ShowAsAtStart(start.GetHWND());
        start.QueueStartUpFetches();
        start.CreatePanels();
        bool drawn = false;
        bool listWentFirst = false;
        ASSERT_TRUE(PumpFor(seconds(20), [&] {
            drawn = PictureDrawn(start);
            const bool listSent = CountRequests("action=c_all_list") > 0;
            // The list heard of by the service while the picture is not drawn.
            listWentFirst = listWentFirst || (listSent && !drawn);
            return listSent && (drawn || listWentFirst);
        }));
        if (&c == &kCases[0])
            EXPECT_FALSE(listWentFirst) << "the list left before the home picture was drawn";
        else
            EXPECT_FALSE(drawn) << "the list waited for the slow picture";
    }
    ASSERT_TRUE(LocalService::Reset());
}

// What waits for the start's first picture (the category list, the updater's
// start) runs once: neither the draw nor the end of the wait runs it again,
// and what asks once the picture is drawn runs at once.
TEST(StartUpCategoryListTest, WhatWaitsForTheStartPictureRunsOnce)
{
    MarkNotFirstRun();
    SetSignedIn(false);
    ASSERT_TRUE(LocalService::Reset());
    EmptyLargePictures();
    Qaurn_Navigate_window start;
    ASSERT_TRUE(CreateAsAtStart(start));
    ShowAsAtStart(start.GetHWND());
    int waited = 0;
    start.AfterStartPicture([&waited] { ++waited; });
    start.QueueStartUpFetches();
    start.CreatePanels();
    ASSERT_TRUE(PumpFor(seconds(20), [&] { return PictureDrawn(start) && waited > 0; }));
    int late = 0;
    start.AfterStartPicture([&late] { ++late; });
    EXPECT_EQ(late, 1) << "asked after the picture was drawn, and not run at once";
    // Past the wait: a timer left running would run it again.
    static_assert(Qaurn_Navigate_window::kStartPictureWaitMs < 1000, "the pump below outlasts the wait");
    PumpFor(seconds(1), [] { return false; });
    EXPECT_EQ(waited, 1);
    EXPECT_EQ(late, 1);
    EXPECT_EQ(CountRequests("action=c_all_list"), 1) << "the category list asked for other than once";
}

// Home page and picture in place before the panels are made (a window
// slower than the network): the picture is decoded on a worker, once,
// opened once they are there and shown from that decode.
TEST_F(StartUpTest, AHomePictureInPlaceBeforeThePanelsIsDecodedBesideThem)
{
    Show();
    // Nothing pumped meanwhile: the window's messages wait, as behind a start's work.
    FeedStore::PicturePtr first;
    for (int i = 0; i < 400; ++i) {
        first = window.Services().Store()->Picture(kHome, 0);
        if (first && GetFileAttributesW(Widen(first->largePath).c_str()) != INVALID_FILE_ATTRIBUTES)
            break;
        Sleep(25);
    }
    ASSERT_TRUE(first);
    ASSERT_NE(GetFileAttributesW(Widen(first->largePath).c_str()), INVALID_FILE_ATTRIBUTES);
    window.CreatePanels();
    // Counted before any message is pumped: the neighbours' decodes follow a moment later.
    EXPECT_EQ(window.PicturesAheadDecodes(), 1) << "decoded on no worker, or twice";
    EXPECT_EQ(window.CurrentPicturePath(), Widen(first->largePath)) << "not opened once the panels were made";
    const unsigned decodes = window.Viewer().GetDecodeCount();
    window.QueueStartUpFetches();
    ASSERT_TRUE(HomePictureShows());
    EXPECT_EQ(window.CurrentPicturePath(), Widen(first->largePath));
    EXPECT_EQ(window.Viewer().GetDecodeCount(), decodes) << "decoded on the window's thread";
}

// The start's first picture is decoded as soon as its file is there, fetched
// or found in place, while the window looks at no message yet; the window's
// own ask joins that decode, and the picture shows from it.
TEST(StartUpDecodeTest, TheHomePictureIsDecodedBeforeTheWindowAsksAndOnlyOnce)
{
    MarkNotFirstRun();
    SetSignedIn(false);
    ASSERT_TRUE(LocalService::Reset());
    EmptyLargePictures();
    const char* const kStarts[] = {"its picture fetched at start", "its picture kept from the start before"};
    for (const char* start : kStarts) {
        SCOPED_TRACE(start);
        Qaurn_Navigate_window window;
        ASSERT_TRUE(CreateAsAtStart(window));
        // Nothing pumped: the window is as busy as a start's making.
        bool ready = false;
        for (int i = 0; i < 800 && !ready; ++i) {
            ready = window.PicturesAheadReady() == 1;
            if (!ready)
                Sleep(25);
        }
        ASSERT_TRUE(ready) << "not decoded before the window asked";
        ShowAsAtStart(window.GetHWND());
        window.QueueStartUpFetches();
        window.CreatePanels();
        // Before any message is pumped: the neighbours' decodes follow a moment later.
        EXPECT_EQ(window.PicturesAheadDecodes(), 1) << "decoded again when the window asked";
        const unsigned decodes = window.Viewer().GetDecodeCount();
        ASSERT_TRUE(PumpFor(seconds(20), [&] { return PictureDrawn(window); }));
        const FeedStore::PicturePtr first = window.Services().Store()->Picture(kHome, 0);
        ASSERT_TRUE(first);
        EXPECT_EQ(window.CurrentPicturePath(), Widen(first->largePath));
        EXPECT_EQ(window.Viewer().GetDecodeCount(), decodes) << "decoded on the window's thread";
    }
}

TEST_F(LargeViewTest, EachTimerTicksItsOwnerOnce)
{
    static_assert(main_window_timers::AllDistinct(), "two owners share a timer id on the main window");
    const int before = window.Viewer().GetSpinnerPhase();
    SendMessageW(hwnd, WM_TIMER, kViewerSpinnerTimer, 0);
    EXPECT_EQ((window.Viewer().GetSpinnerPhase() - before + 500) % 500, 20) << "one spinner step a tick";
}

TEST_F(LargeViewTest, APictureChosenShowsAtOnceWithItsProgressFromZero)
{
    ASSERT_TRUE(window.Viewer().IsShowingDefaultPicture());
    // The home feed's first picture, as the start shows it.
    SendMessageW(hwnd, UM_SHOW_HOME_PICTURE, 0, 0);
    EXPECT_FALSE(window.Viewer().IsShowingDefaultPicture()) << "the start picture stayed";
    const auto picture = window.Services().Store()->Picture(kHome, 0);
    ASSERT_TRUE(picture);
    EXPECT_EQ(window.CurrentPicturePath(), std::wstring(picture->largePath.begin(), picture->largePath.end()));
    EXPECT_FALSE(window.ProgressText().empty()) << "no count while it downloads";
}

// A stored home page opens its first picture at once, as the window's next
// paint would, but only in a window on the screen: a hidden or minimised one
// keeps its start picture until it shows.
TEST_F(LargeViewTest, AStoredHomePageOpensItsPictureOnlyInAWindowOnTheScreen)
{
    struct Row {
        const char* name;
        int show;
        bool opens;
    };
    const Row rows[] = {
        {"hidden", SW_HIDE, false},
        {"minimised", SW_SHOWMINNOACTIVE, false},
        {"on the screen", SW_SHOWNOACTIVATE, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ::ShowWindow(hwnd, row.show);
        SendMessageW(hwnd, UM_HOME_PAGE_STORED, 0, 0);
        EXPECT_EQ(window.Viewer().IsShowingDefaultPicture(), !row.opens);
        EXPECT_EQ(window.CurrentPicturePath().empty(), !row.opens);
    }
    EXPECT_EQ(window.CurrentPicturePath(), LargePath(0));
}

TEST_F(LargeViewTest, KeysStepAndJumpUnlessTheSearchFieldHasTheFocus)
{
    SendMessageW(hwnd, UM_SHOW_HOME_PICTURE, 0, 0);
    ASSERT_EQ(window.CurrentIndex(), 0u);
    const std::size_t last = window.Services().Store()->PictureCount(kHome) - 1;
    struct Row {
        const char* what;
        WPARAM key;
        std::size_t index;  // after the key
    } rows[] = {
        {"Left at the first", VK_LEFT, 0},
        {"a letter", 'A', 0},
        {"Right", VK_RIGHT, 1},
        {"Page Down", VK_NEXT, 2},
        {"Page Up", VK_PRIOR, 1},
        {"End", VK_END, last},
        {"Right at the last", VK_RIGHT, last},
        {"Home", VK_HOME, 0},
    };
    for (const Row& row : rows) {
        Key(row.key);
        EXPECT_EQ(window.CurrentIndex(), row.index) << row.what;
    }
    // Typing in the search field moves its caret, not the pictures.
    ::ShowWindow(hwnd, SW_SHOW);
    SetForegroundWindow(hwnd);
    const RECT field = window.SearchFieldRect();
    POINT middle{(field.left + field.right) / 2, (field.top + field.bottom) / 2};
    const LPARAM inField = MAKELPARAM(middle.x, middle.y);
    // The field reads where the pointer is.
    ClientToScreen(hwnd, &middle);
    SetCursorPos(middle.x, middle.y);
    SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, inField);
    SendMessageW(hwnd, WM_LBUTTONUP, 0, inField);
    ASSERT_TRUE(window.SearchFieldFocused());
    for (const WPARAM key : {WPARAM(VK_RIGHT), WPARAM(VK_END), WPARAM(VK_F11)}) {
        Key(key);
        EXPECT_EQ(window.CurrentIndex(), 0u) << key;
        EXPECT_FALSE(window.InFullView()) << key;
    }
}

TEST_F(LargeViewTest, FullViewComesAndGoesByKeyButtonAndEscape)
{
    SendMessageW(hwnd, UM_SHOW_HOME_PICTURE, 0, 0);
    struct Row {
        const char* what;
        UINT msg;
        WPARAM wParam;
        bool fullAfter;
        bool minimisedAfter;
    } rows[] = {
        {"F11", WM_KEYDOWN, VK_F11, true, false},
        {"Escape leaves full view first", WM_KEYDOWN, VK_ESCAPE, false, false},
        {"the bar's button", WM_COMMAND, CMD_FULL_VIEW, true, false},
        {"the button again", WM_COMMAND, CMD_FULL_VIEW, false, false},
        {"F11 once more", WM_KEYDOWN, VK_F11, true, false},
        {"F11 back", WM_KEYDOWN, VK_F11, false, false},
        {"then Escape minimises", WM_KEYDOWN, VK_ESCAPE, false, true},
    };
    ::ShowWindow(hwnd, SW_SHOW);
    for (const Row& row : rows) {
        SendMessageW(hwnd, row.msg, row.wParam, 0);
        EXPECT_EQ(window.InFullView(), row.fullAfter) << row.what;
        const bool minimised = PumpFor(seconds(row.minimisedAfter ? 5 : 0), [&] { return IsIconic(hwnd) != FALSE; });
        EXPECT_EQ(minimised, row.minimisedAfter) << row.what;
    }
}

TEST_F(LargeViewTest, SteppingPastAnEndShowsItsNotice)
{
    const std::size_t last = window.Services().Store()->PictureCount(kHome) - 1;
    struct Row {
        const char* what;
        std::size_t from;
        WORD command;
        int rowMode;  // the own-pictures row's notice, or 0: none
        std::size_t index;
    } rows[] = {
        {"back from the first", 0, CMD_VIEWER_PREVIOUS, MyPicturesRow::kFirstOne, 0},
        {"on from the last", last, CMD_VIEWER_NEXT, MyPicturesRow::kLastOne, last},
        {"on in the middle", 3, CMD_VIEWER_NEXT, 0, 4},
        {"back in the middle", 3, CMD_VIEWER_PREVIOUS, 0, 2},
    };
    for (const Row& row : rows) {
        CTabNotify categories{};
        SendMessageW(hwnd, UM_TAB_NOTIFY, kTabSelectionChanged, LPARAM(&categories));
        SendMessageW(hwnd, UM_SHOW_PICTURE_INFO, feed_kind::kHome, LPARAM(row.from));
        SendMessageW(hwnd, WM_COMMAND, row.command, 0);
        EXPECT_EQ(window.CurrentIndex(), row.index) << row.what;
        const bool notice = window.Content().Mode() == kContentPictureRow && window.Content().Row().IsVisible();
        EXPECT_EQ(notice, row.rowMode != 0) << row.what;
        if (row.rowMode != 0) {
            EXPECT_EQ(window.Content().Row().Mode(), row.rowMode) << row.what;
        }
    }
}

TEST_F(LargeViewTest, SteppingSwapsThePictures)
{
    SendMessageW(hwnd, UM_SHOW_HOME_PICTURE, 0, 0);
    for (const WORD command : {WORD(CMD_VIEWER_NEXT), WORD(CMD_VIEWER_PREVIOUS)}) {
        ASSERT_TRUE(PumpFor(seconds(5), [&] { return !window.Viewer().IsSwapRunning(); }));
        SendMessageW(hwnd, WM_COMMAND, command, 0);
        EXPECT_TRUE(window.Viewer().IsSwapRunning()) << command;
    }
}

// Clicking through a list runs one or two large transfers, never one per
// picture, and the last picture arrives.
TEST_F(LargeViewTest, OnlyThePictureOnShowIsDownloadedLarge)
{
    const std::string suffix = ResolutionSuffixFor(GetSystemMetrics(SM_CXSCREEN));
    ASSERT_TRUE(LocalService::SetFault("slow&delay_ms=400&match=" + suffix));
    const std::size_t count = window.Services().Store()->PictureCount(kHome);
    // None of them on disk from an earlier run: each would have to come.
    for (std::size_t i = 0; i < count; ++i) {
        const std::string path = window.Services().Store()->Picture(kHome, i)->largePath;
        DeleteFileW(std::wstring(path.begin(), path.end()).c_str());
    }
    SendMessageW(hwnd, UM_SHOW_PICTURE_INFO, feed_kind::kHome, 0);
    for (std::size_t i = 1; i < count; ++i)
        SendMessageW(hwnd, WM_COMMAND, CMD_VIEWER_NEXT, 0);
    ASSERT_EQ(window.CurrentIndex(), count - 1);
    const std::wstring shown = window.CurrentPicturePath();
    ASSERT_TRUE(PumpFor(seconds(30), [&] { return GetFileAttributesW(shown.c_str()) != INVALID_FILE_ATTRIBUTES; }))
        << "the picture on show never arrived";
    EXPECT_LE(CountRequests(suffix), 3) << "transfers of pictures stepped past";
}

// Looked at a moment, the next picture is fetched and decoded ahead: the
// step to it asks the service for nothing and decodes nothing more.
TEST_F(LargeViewTest, AStepDrawsTheNextPictureDecodedAheadWithoutAskingAgain)
{
    ForgetLargePictures(3);
    ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    SendMessageW(hwnd, UM_SHOW_HOME_PICTURE, 0, 0);
    const std::wstring next = LargePath(1);
    ASSERT_TRUE(PumpFor(seconds(20), [&] { return window.Viewer().HoldsDecoded(next); }))
        << "the next picture was not decoded ahead";
    ASSERT_EQ(CountRequests(Asked(1)), 1) << "fetched ahead once";
    const unsigned decodes = window.Viewer().GetDecodeCount();

    Key(VK_RIGHT);
    ASSERT_EQ(window.CurrentIndex(), 1u);
    ASSERT_TRUE(SettleStep());
    RECT shown = window.Viewer().GetPictureRect();
    EXPECT_FALSE(IsRectEmpty(&shown)) << "the next picture is not on show";
    EXPECT_EQ(window.Viewer().GetDecodeCount(), decodes) << "the step decoded the picture again";
    EXPECT_EQ(CountRequests(Asked(1)), 1) << "the step asked for the picture again";
}

// The picture on show that has to come is decoded and fitted on a worker,
// as its neighbours are: the window's thread shows the spinner meanwhile and
// then only draws it.
TEST_F(LargeViewTest, APictureThatHadToComeIsDecodedOnAWorkerNotTheWindowsThread)
{
    ForgetLargePictures(1);
    ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    const unsigned decodes = window.Viewer().GetDecodeCount();
    SendMessageW(hwnd, UM_SHOW_HOME_PICTURE, 0, 0);
    ASSERT_TRUE(PumpFor(seconds(20), [&] {
        RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        const RECT place = window.Viewer().GetPictureRect();
        return !IsRectEmpty(&place);
    })) << "the picture never showed";
    EXPECT_EQ(window.Viewer().GetDecodeCount(), decodes) << "the window's thread decoded it";
    EXPECT_TRUE(window.Viewer().HoldsDecoded(LargePath(0)));
}

// Looked at a moment, the next picture's comments come ahead as well, with
// their authors' avatars decoded: the step shows them at once, not once they
// are asked for and come, and its paint decodes no avatar of theirs.
TEST_F(LargeViewTest, AStepShowsTheNextPicturesCommentsFetchedAhead)
{
    ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    SendMessageW(hwnd, UM_SHOW_HOME_PICTURE, 0, 0);
    const FeedStore& store = *window.Services().Store();
    const std::string next = store.Picture(kHome, 1)->shareId;
    ASSERT_TRUE(PumpFor(seconds(20), [&] { return store.Comments(kHome, 1, next) != nullptr; }))
        << "the next picture's comments were not fetched ahead";
    const auto ahead = store.Comments(kHome, 1, next);
    ASSERT_FALSE(ahead->comments.empty());
    PumpFor(seconds(1), [] { return false; });  // the commenters' avatars land
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const CCommentWnd& comments = window.CommentView();
    const std::size_t decodes = comments.ListAvatarDecodes();

    Key(VK_RIGHT);
    ASSERT_EQ(window.CurrentIndex(), 1u);
    const PictureComments* shown = comments.Comments();
    ASSERT_NE(shown, nullptr) << "the step showed no comments";
    EXPECT_EQ(shown->shareId, next);
    EXPECT_EQ(shown->comments.size(), ahead->comments.size());
    RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW);
    EXPECT_EQ(comments.ListAvatarDecodes(), decodes) << "the step's paint decoded commenters' avatars";
    ASSERT_TRUE(SettleStep());
}

// The comment view's background is kept, not drawn again for each picture,
// and the author of the next picture is decoded ahead: a step and the paint
// after it decode no avatar.
TEST_F(LargeViewTest, StepsDrawTheCommentViewFromWhatWasKeptAndPreparedAhead)
{
    ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    SendMessageW(hwnd, UM_SHOW_HOME_PICTURE, 0, 0);
    const CCommentWnd& comments = window.CommentView();
    ASSERT_TRUE(
        PumpFor(seconds(20), [&] { return !comments.Animating() && window.Viewer().HoldsDecoded(LargePath(1)); }));
    LetDownloadsLand();  // the avatars fetched ahead
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const unsigned backgrounds = comments.BackgroundDraws();

    for (const WPARAM key : {VK_RIGHT, VK_LEFT, VK_RIGHT}) {
        const std::size_t decodes = comments.AuthorAvatarDecodes();
        Key(key);
        RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW);
        EXPECT_EQ(comments.AuthorAvatarDecodes(), decodes) << "the author's avatar was decoded on the step " << key;
        ASSERT_TRUE(SettleStep());
        // The avatar fetched afresh and the next ones fetched ahead land.
        LetDownloadsLand();
        RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
    ASSERT_EQ(window.CurrentIndex(), 1u);
    EXPECT_EQ(comments.BackgroundDraws(), backgrounds) << "the background was drawn again";
}

// A commenter's avatar that lands while its row is on show repaints the
// comment view: nothing else repaints a view left alone.
TEST_F(LargeViewTest, ACommentersAvatarThatLandsRepaintsTheCommentView)
{
    ASSERT_TRUE(HomeCommentsShown());
    const CCommentWnd& comments = window.CommentView();
    PumpFor(seconds(1), [] { return false; });
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const std::string landed = comments.Comments()->comments[0].avatarPath;
    const std::uint32_t keys[] = {LandedPictureKey(landed), LandedPictureKey(landed + ".other")};
    RECT pending[2]{};
    for (int i = 0; i < 2; ++i) {
        ValidateRect(hwnd, nullptr);
        SendMessageW(hwnd, UM_PICTURE_ARRIVED, keys[i], 0);
        GetUpdateRect(hwnd, &pending[i], FALSE);
    }
    EXPECT_FALSE(IsRectEmpty(&pending[0])) << "the row's avatar landed";
    EXPECT_TRUE(IsRectEmpty(&pending[1])) << "a picture no row shows landed";
}

// A repaint without news leaves the avatars' files alone (a swap paints
// eleven frames); an avatar that landed is read and drawn anew.
TEST_F(LargeViewTest, ACommentersAvatarIsReadAgainOnlyOnceItLanded)
{
    ASSERT_TRUE(HomeCommentsShown());
    const CCommentWnd& comments = window.CommentView();
    LetDownloadsLand();
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const std::string path = comments.Comments()->comments[0].avatarPath;
    const std::wstring avatar = Widen(path);
    const std::wstring kept = avatar + L".kept";
    const bool existed = CopyFileW(avatar.c_str(), kept.c_str(), FALSE) != FALSE;
    const std::size_t before = comments.ListAvatarDecodes();

    ASSERT_TRUE(CopyFileW((ResourceFolder() + L"main\\page_prev.png").c_str(), avatar.c_str(), FALSE));
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(comments.ListAvatarDecodes(), before) << "the files were looked at without news";
    SendMessageW(hwnd, UM_PICTURE_ARRIVED, LandedPictureKey(path), 0);
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(comments.ListAvatarDecodes(), before + 1) << "the avatar that landed was not read again";

    if (existed)
        MoveFileExW(kept.c_str(), avatar.c_str(), MOVEFILE_REPLACE_EXISTING);
    else
        DeleteFileW(avatar.c_str());
}

// Stepping on at reading pace holds the shown picture and its neighbours
// at most, and lets go of the one stepped away from.
TEST_F(LargeViewTest, SteppingHoldsAtMostThreeDecodedAndLetsTheLeftOneGo)
{
    ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    SendMessageW(hwnd, UM_SHOW_HOME_PICTURE, 0, 0);
    for (std::size_t index = 1; index <= 4; ++index) {
        const std::wstring next = LargePath(index);
        ASSERT_TRUE(PumpFor(seconds(20), [&] { return window.Viewer().HoldsDecoded(next); })) << index;
        EXPECT_LE(window.Viewer().DecodedHeld(), 3) << index;
        Key(VK_RIGHT);
        ASSERT_TRUE(SettleStep()) << index;
        EXPECT_LE(window.Viewer().DecodedHeld(), 3) << index;
        if (index >= 2) {
            EXPECT_FALSE(window.Viewer().HoldsDecoded(LargePath(index - 2))) << "kept after stepping on to " << index;
        }
    }
    // Back again: the one before is decoded ahead as well.
    const std::wstring before = LargePath(3);
    EXPECT_TRUE(PumpFor(seconds(20), [&] { return window.Viewer().HoldsDecoded(before); }));
}

// Slid down under the panels, the viewer lets its neighbours go: the user
// browses the panels, and steps only once a picture is looked at again.
TEST_F(LargeViewTest, ATabChosenLetsThePicturesDecodedAheadGo)
{
    ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    SendMessageW(hwnd, UM_SHOW_HOME_PICTURE, 0, 0);
    const std::wstring next = LargePath(1);
    ASSERT_TRUE(PumpFor(seconds(20), [&] { return window.Viewer().HoldsDecoded(next); }));
    CTabNotify categories{};
    SendMessageW(hwnd, UM_TAB_NOTIFY, kTabSelectionChanged, LPARAM(&categories));
    EXPECT_FALSE(window.Viewer().HoldsDecoded(next));
    EXPECT_LE(window.Viewer().DecodedHeld(), 1);
    // Nor does the next look ask for them again.
    PumpFor(seconds(1), [] { return false; });
    EXPECT_FALSE(window.Viewer().HoldsDecoded(next));
}

// A picture fetched ahead that does not come leaves nothing in its place;
// stepping to it then fetches and shows it as any picture.
TEST_F(LargeViewTest, AFailedFetchAheadLeavesNoPicture)
{
    ForgetLargePictures(3);
    ASSERT_TRUE(LocalService::SetFault("notfound&match=" + Asked(1)));
    ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    SendMessageW(hwnd, UM_SHOW_HOME_PICTURE, 0, 0);
    ASSERT_TRUE(PumpFor(seconds(20), [&] {
        return CountRequests(Asked(1)) >= 1 && window.PicturesAheadRunning() == 0;
    })) << "the next picture was not asked for ahead";
    const std::wstring next = LargePath(1);
    EXPECT_EQ(GetFileAttributesW(next.c_str()), INVALID_FILE_ATTRIBUTES) << "an error page kept as the picture";
    EXPECT_FALSE(window.Viewer().HoldsDecoded(next));

    ASSERT_TRUE(LocalService::SetFault("normal"));
    Key(VK_RIGHT);
    ASSERT_EQ(window.CurrentPicturePath(), next);
    ASSERT_TRUE(PumpFor(seconds(20), [&] {
        RECT shown = window.Viewer().GetPictureRect();
        return !IsRectEmpty(&shown);
    })) << "the picture never showed";
    const auto fromFile = LoadPictureFile(next);
    ASSERT_TRUE(fromFile);
    const RECT shown = window.Viewer().GetPictureRect();
    EXPECT_TRUE(
        shown.right - shown.left <= int(fromFile->GetWidth()) && shown.bottom - shown.top <= int(fromFile->GetHeight()))
        << "a picture other than the file's";
}

TEST_F(LargeViewTest, ADisplayChangeLaysTheWindowOutForTheNewScreen)
{
    RECT before{};
    GetWindowRect(hwnd, &before);
    // Wine's screen cannot be resized here: the window is put out of place
    // first, as a new resolution leaves it, and must come back to cover it.
    SetWindowPos(hwnd, nullptr, 0, 0, 640, 480, SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(hwnd, WM_DISPLAYCHANGE, 32, MAKELPARAM(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)));
    RECT after{};
    GetWindowRect(hwnd, &after);
    EXPECT_EQ(after.right - after.left, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(after.bottom - after.top, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(window.Viewer().GetWindowRect().right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(window.CommentView().PanelRect().bottom <= GetSystemMetrics(SM_CYSCREEN), true);

    struct Row {
        const char* url;
        int width;
        const char* asked;
    } rows[] = {
        {"http://h/p/p1.jpg", 1280, "http://h/p/p1.jpg"},
        {"http://h/p.x/p1", 1280, "http://h/p.x/p1"},
        {"http://h/p/p1_1920x1200.jpg", 1280, "http://h/p/p1_1400x1050.jpg"},
        {"http://h/p/p1_1024x768.jpg", 1920, "http://h/p/p1_1920x1200.jpg"},
        {"http://h/p/p1_1400x1050.jpg", 800, "http://h/p/p1_1024x768.jpg"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(WithResolutionFor(row.url, row.width), row.asked) << row.url;
}

}  // namespace
