#include "main_window.h"

#include "browser_recorder.h"
#include "first_run.h"
#include "signed_in_user.h"
#include "win32/window_message_sink.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

namespace {

// Runs `send` on a thread of its own, as the workers do, and keeps this
// thread's messages moving until it returns; with postsToo false only what
// is sent, so posted messages stay queued.
void SendFromWorker(const std::function<void()>& send, bool postsToo = true)
{
    struct Task {
        const std::function<void()>* send;
    } task{&send};
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void* data) -> DWORD {
            (*static_cast<Task*>(data)->send)();
            return 0;
        },
        &task, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, postsToo ? QS_ALLINPUT : QS_SENDMESSAGE)
        != WAIT_OBJECT_0) {
        MSG msg;
        if (!postsToo) {
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            continue;
        }
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    CloseHandle(thread);
}

// Dispatches until `done` holds or five seconds passed; false on the deadline.
bool PumpUntil(const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                continue;  // this window's own quit; the tests look at the window
            DispatchMessageW(&msg);
        }
    }
    return true;
}

// Dispatches what this thread's queue holds now.
void Drain()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message != WM_QUIT)
            DispatchMessageW(&msg);
    }
}

// Leaves the first-run marker set before the window asks for it: on a first
// run the wizard would take the window's start.
void MarkNotFirstRun()
{
    wchar_t folder[MAX_PATH];
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)))
        CheckFirstRun(folder);
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        MarkNotFirstRun();
        SetSignedIn(false);
        ASSERT_TRUE(window.CreateFullScreen());
        hwnd = window.GetHWND();
    }

    // The worker's UTF-8 text, sent as the feed store sends it.
    void ShowFromWorker(const std::string& path)
    {
        SendFromWorker([&] { SendMessageW(hwnd, UM_SHOW_LARGE_PICTURE, 0, LPARAM(&path)); });
    }

    Qaurn_Navigate_window window;
    HWND hwnd = nullptr;
};

TEST_F(MainWindowTest, ProgressCountsOnlyForThePictureShown)
{
    ShowFromWorker("C:\\cache\\beauties_l\\shown.jpg");
    ASSERT_EQ(window.CurrentPicturePath(), L"C:\\cache\\beauties_l\\shown.jpg");
    const std::wstring shown = window.CurrentPicturePath();
    const std::wstring other = L"C:\\cache\\beauties_l\\other.jpg";
    struct Row {
        const char* what;
        bool fromWorker;
        const wchar_t* path;
        WPARAM percent;
        const wchar_t* expected;
    } rows[] = {
        {"posted pointer", false, shown.c_str(), 30, L"0"},
        {"no path", true, nullptr, 31, L"0"},
        {"another picture", true, other.c_str(), 32, L"0"},
        {"the picture shown", true, shown.c_str(), 42, L"42"},
    };
    for (const Row& row : rows) {
        if (row.fromWorker) {
            SendFromWorker([&] { SendMessageW(hwnd, UM_DOWNLOAD_PROGRESS, row.percent, LPARAM(row.path)); });
        } else {
            PostMessageW(hwnd, UM_DOWNLOAD_PROGRESS, row.percent, LPARAM(row.path));
            Drain();
        }
        EXPECT_EQ(window.ProgressText(), row.expected) << row.what;
    }
}

TEST_F(MainWindowTest, ALargePictureIsReadOnlyWhileItsSenderWaits)
{
    const std::string posted = "C:\\cache\\beauties_l\\posted.jpg";
    PostMessageW(hwnd, UM_SHOW_LARGE_PICTURE, 0, LPARAM(&posted));
    SendMessageW(hwnd, UM_SHOW_LARGE_PICTURE, 0, LPARAM(&posted));
    Drain();
    EXPECT_EQ(window.CurrentPicturePath(), L"");
    ShowFromWorker("C:\\cache\\beauties_l\\\xe5\x9b\xbe.jpg");
    EXPECT_EQ(window.CurrentPicturePath(), L"C:\\cache\\beauties_l\\\x56fe.jpg");
}

TEST_F(MainWindowTest, FeedErrorShowsTheNetworkErrorPicture)
{
    SendFromWorker([&] { SendMessageW(hwnd, UM_FEED_ERROR, 0, 0); });
    const std::wstring& path = window.CurrentPicturePath();
    const std::wstring tail = L"\\Qnv_resource\\net_work_error.png";
    ASSERT_GE(path.size(), tail.size());
    EXPECT_EQ(path.substr(path.size() - tail.size()), tail);
    EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(MainWindowTest, SignedOutActionsWaitForTheLogin)
{
    struct Row {
        WORD command;
        PendingAction pending;
    } rows[] = {
        {CMD_UPLOAD, kPendingUpload},
        {CMD_CONFIRM, kPendingComment},
        {CMD_FOLLOW, kPendingFollow},
        {CMD_UNFOLLOW, kPendingFollow},
        {CMD_LIKE, kPendingLike},
    };
    for (const Row& row : rows) {
        SendMessageW(hwnd, WM_COMMAND, row.command, 0);
        EXPECT_EQ(window.Pending(), row.pending) << row.command;
    }
    // The login window opens for them, keeping the last one.
    ASSERT_TRUE(PumpUntil([] {
        HWND login = FindWindowW(nullptr, L"登录Quarn");
        return login && IsWindowVisible(login);
    }));
    EXPECT_EQ(window.Pending(), kPendingLike);

    SignedInUser user;
    user.signedIn = true;
    user.uid = "1001";
    user.token = "t";
    StoreSignedInUser(user);
    PostMessageW(hwnd, UM_LOGIN_STATE, 0, kLoginEnded);
    EXPECT_TRUE(PumpUntil([&] { return window.Pending() == kPendingNone; }));
    SetSignedIn(false);
}

TEST_F(MainWindowTest, APagesPictureTakesTheCommentViewAndItsActions)
{
    SignedInUser user;
    user.signedIn = true;
    user.uid = "1002";  // owns the local service's picture 5999
    user.token = "t";
    StoreSignedInUser(user);
    const auto shown = [&] { return window.CurrentPicture() ? window.CurrentPicture()->shareId : std::string(); };
    const std::string before = shown();
    SendFromWorker([&] { SendMessageW(hwnd, UM_OPEN_PICTURE_COMMENTS, WPARAM(L""), LPARAM(L"")); });
    EXPECT_EQ(shown(), before) << "an empty identifier";

    SendFromWorker([&] { SendMessageW(hwnd, UM_OPEN_PICTURE_COMMENTS, WPARAM(L"5999"), LPARAM(L"")); });
    ASSERT_TRUE(PumpUntil([&] { return window.CurrentPicture() && window.CurrentPicture()->ownerId == "1002"; }));
    EXPECT_EQ(shown(), "5999");
    // Liking one's own picture is caught before anything is sent.
    SendMessageW(hwnd, WM_COMMAND, CMD_LIKE, 0);
    EXPECT_TRUE(PumpUntil([&] { return window.CommentView().Notice() == kNoticeSelf; }));

    SendMessageW(hwnd, UM_SHOW_PICTURE_INFO, 0, 0);
    EXPECT_NE(shown(), "5999") << "a list's picture takes the view back";
    SetSignedIn(false);
}

TEST_F(MainWindowTest, AnAcceptedActionCountsOnTheView)
{
    CCommentWnd& view = window.CommentView();
    PictureRecord picture;
    picture.commentCount = "3";
    picture.forwardCount = "2";
    picture.likeCount = "7";
    struct Row {
        int notice;
        int comments, forwards, likes;
    } rows[] = {
        {kNoticeCommentFailed, 3, 2, 7},
        {kNoticeForwardFailed, 3, 2, 7},
        {kNoticeAlreadyLiked, 3, 2, 7},
        {kNoticeSelf, 3, 2, 7},
        {kNoticeCommented, 4, 2, 7},
        {kNoticeForwarded, 3, 3, 7},
        {kNoticeLiked, 3, 2, 8},
    };
    for (const Row& row : rows) {
        view.SetPicture(picture);
        view.ShowResult(row.notice);
        const CCommentWnd::Counts counts = view.ShownCounts();
        EXPECT_EQ(counts.comments, row.comments) << row.notice;
        EXPECT_EQ(counts.forwards, row.forwards) << row.notice;
        EXPECT_EQ(counts.likes, row.likes) << row.notice;
    }
}

TEST_F(MainWindowTest, EscapeAndTheViewerButtonMinimise)
{
    for (const UINT msg : {UINT(WM_KEYDOWN), UINT(WM_COMMAND)}) {
        ::ShowWindow(hwnd, SW_RESTORE);
        ASSERT_FALSE(IsIconic(hwnd));
        SendMessageW(hwnd, msg, msg == WM_KEYDOWN ? VK_ESCAPE : CMD_VIEWER_MINIMIZE, 0);
        EXPECT_TRUE(PumpUntil([&] { return IsIconic(hwnd) != FALSE; })) << msg;
    }
}

TEST_F(MainWindowTest, ADoubleClickOnTheTrayIconBringsTheWindowBack)
{
    struct Row {
        const char* name;
        int hideWith;
        LPARAM mouse;
        bool shownAfter;
    };
    const Row rows[] = {
        {"a right click leaves it hidden", SW_HIDE, WM_RBUTTONDOWN, false},
        {"hidden", SW_HIDE, WM_LBUTTONDBLCLK, true},
        {"minimised", SW_MINIMIZE, WM_LBUTTONDBLCLK, true},
    };
    for (const Row& row : rows) {
        ::ShowWindow(hwnd, row.hideWith);
        SendMessageW(hwnd, UM_TRAY_NOTIFY, 0, row.mouse);
        Drain();
        const bool shown = IsWindowVisible(hwnd) && !IsIconic(hwnd);
        EXPECT_EQ(shown, row.shownAfter) << row.name;
    }
}

TEST_F(MainWindowTest, TheViewerCloseButtonQuitsWithZero)
{
    NOTIFYICONDATAA icon{};
    icon.cbSize = NOTIFYICONDATAA_V3_SIZE;
    icon.hWnd = hwnd;
    icon.uFlags = NIF_TIP;
    // The icon comes once the window's first messages run, after its first paint.
    ASSERT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &icon)) << "the tray icon held up the window's creation";
    Drain();
    ASSERT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &icon)) << "no tray icon once the window runs";
    PostMessageW(hwnd, WM_COMMAND, CMD_VIEWER_CLOSE, 0);
    int exitCode = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    MSG msg;
    while (exitCode < 0 && std::chrono::steady_clock::now() < deadline) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                exitCode = int(msg.wParam);
            else
                DispatchMessageW(&msg);
        }
    }
    EXPECT_EQ(exitCode, 0);
    EXPECT_FALSE(IsWindow(hwnd));
}

// Explorer restarted: the new taskbar knows no icons and says so to every
// top-level window. One that only changed its scale still shows ours.
TEST_F(MainWindowTest, TheTrayIconComesBackWhenTheTaskbarIsCreated)
{
    struct Row {
        const char* name;
        bool iconGone;
    };
    const Row kRows[] = {
        {"the icon is gone with the old taskbar", true},
        {"the icon is still there", false},
    };
    const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    ASSERT_NE(taskbarCreated, 0u);
    Drain();  // the icon comes once the window runs
    for (const Row& row : kRows) {
        NOTIFYICONDATAA icon{};
        icon.cbSize = NOTIFYICONDATAA_V3_SIZE;
        icon.hWnd = hwnd;
        icon.uFlags = NIF_TIP;
        if (row.iconGone) {
            ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &icon)) << row.name;
            ASSERT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &icon)) << row.name;
        }
        SendMessageW(hwnd, taskbarCreated, 0, 0);
        EXPECT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &icon)) << row.name << ": no tray icon";
        EXPECT_FALSE(IsWindowVisible(hwnd)) << row.name << ": the icon is there, the window stays in the tray";
    }
}

TEST_F(MainWindowTest, APageHandsOverTheNewAvatar)
{
    StoreAvatarUrl("http://127.0.0.1:9/old.jpg");
    const std::wstring address = L"http://127.0.0.1:9/new.jpg";
    // Posted, the address may be gone when it is read: only a waiting sender's counts.
    PostMessageW(hwnd, UM_AVATAR_CHANGED, WPARAM(address.c_str()), 0);
    Drain();
    EXPECT_EQ(CopySignedInUser().avatarUrl, "http://127.0.0.1:9/old.jpg");
    // The web window passes a page's call on from this thread.
    SendWithText(hwnd, UM_AVATAR_CHANGED, WPARAM(address.c_str()), 0);
    EXPECT_TRUE(PumpUntil([] { return CopySignedInUser().avatarUrl == "http://127.0.0.1:9/new.jpg"; }));
}

// No HTML engine under Wine: the page goes to the default browser, and
// closing the window that says so opens the login window.
TEST_F(MainWindowTest, TheRegisterLinkOpensThePageAndClosingItTheLogin)
{
    DefaultBrowserRecorder browser;
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(CMD_REGISTER, 0), 0);
    const CQNWebBrowser2* web = window.WebWindowIfMade();
    ASSERT_NE(web, nullptr);
    EXPECT_TRUE(web->IsVisible());
    EXPECT_TRUE(PumpUntil([&] { return !browser.Opened().empty(); }));
    EXPECT_NE(browser.Opened().find("user.php?action=c_register\n"), std::string::npos) << browser.Opened();
    SendMessageW(web->GetHWND(), WM_COMMAND, MAKEWPARAM(CQNWebBrowser2::kCloseCommand, 0), 0);
    EXPECT_FALSE(web->IsVisible());
    EXPECT_TRUE(PumpUntil([] {
        HWND login = FindWindowW(nullptr, L"登录Quarn");
        return login && IsWindowVisible(login);
    }));
}

// Drops what this thread's queue holds: a window made later may have the
// handle of one gone before it, and with it that one's messages.
void DiscardQueued()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) { }
}

// Takes this thread's queued sign-in starts for the window; how many there were.
int TakeSignInStarts(HWND hwnd)
{
    int count = 0;
    MSG msg;
    while (PeekMessageW(&msg, hwnd, UM_START_LOGIN, UM_START_LOGIN, PM_REMOVE))
        ++count;
    return count;
}

// A start paints the bar and the viewer before the panels exist. What the
// system sends while it shows the window leaves them for later; anything
// else that comes first makes them before it is handled, and the start's
// sign-in is asked for once, after them.
class PanelsLaterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        MarkNotFirstRun();
        SetSignedIn(false);
        DiscardQueued();
        ASSERT_TRUE(window.CreateFullScreen(Qaurn_Navigate_window::Panels::later));
        hwnd = window.GetHWND();
        window.ShowWindow(SW_SHOWNORMAL);
        UpdateWindow(hwnd);
    }

    Qaurn_Navigate_window window;
    HWND hwnd = nullptr;
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    const LPARAM barPoint = MAKELPARAM(width / 2, 40);
    const LPARAM centre = MAKELPARAM(width / 2, height / 2);
};

TEST_F(PanelsLaterTest, TheFirstShowLeavesThemForLater)
{
    const struct Row {
        const char* what;
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
    } rows[] = {
        {"paint", WM_PAINT, 0, 0},
        {"cursor asked over the bar", WM_SETCURSOR, WPARAM(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)},
        {"screen reader", WM_GETOBJECT, 0, LPARAM(OBJID_CLIENT)},
        {"activated", WM_ACTIVATE, WA_ACTIVE, 0},
        {"focus", WM_SETFOCUS, 0, 0},
        {"sized", WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height)},
    };
    SetCursorPos(width / 2, 40);
    for (const Row& row : rows) {
        SendMessageW(hwnd, row.msg, row.wParam, row.lParam);
        RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        EXPECT_FALSE(window.PanelsMade()) << row.what;
        EXPECT_EQ(TakeSignInStarts(hwnd), 0) << row.what;
    }
    window.CreatePanels();
    window.CreatePanels();
    EXPECT_TRUE(window.PanelsMade());
    EXPECT_EQ(TakeSignInStarts(hwnd), 1);
}

TEST_F(PanelsLaterTest, AnythingElseMakesThemFirst)
{
    const std::string path = "C:\\cache\\beauties_l\\early.jpg";
    const struct Row {
        const char* what;
        std::function<void()> send;
    } rows[] = {
        {"pointer over the bar", [&] { SendMessageW(hwnd, WM_MOUSEMOVE, 0, barPoint); }},
        {"release over the viewer", [&] { SendMessageW(hwnd, WM_LBUTTONUP, 0, centre); }},
        {"a timer", [&] { SendMessageW(hwnd, WM_TIMER, 1, 0); }},
        {"pointer left", [&] { SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0); }},
        {"a worker's picture",
            [&] { SendFromWorker([&] { SendMessageW(hwnd, UM_SHOW_LARGE_PICTURE, 0, LPARAM(&path)); }, false); }},
        {"a feed error", [&] { SendFromWorker([&] { SendMessageW(hwnd, UM_FEED_ERROR, 0, 0); }, false); }},
    };
    for (const Row& row : rows) {
        DiscardQueued();
        Qaurn_Navigate_window fresh;
        ASSERT_TRUE(fresh.CreateFullScreen(Qaurn_Navigate_window::Panels::later)) << row.what;
        hwnd = fresh.GetHWND();
        row.send();
        EXPECT_TRUE(fresh.PanelsMade()) << row.what;
        RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        fresh.CreatePanels();
        EXPECT_EQ(TakeSignInStarts(hwnd), 1) << row.what;
    }
}

TEST(PanelsNowTest, AWindowMadeWholeHasThemAndSignsInOnce)
{
    MarkNotFirstRun();
    SetSignedIn(false);
    DiscardQueued();
    Qaurn_Navigate_window whole;
    ASSERT_TRUE(whole.CreateFullScreen());
    EXPECT_TRUE(whole.PanelsMade());
    whole.CreatePanels();
    EXPECT_EQ(TakeSignInStarts(whole.GetHWND()), 1);
}

}  // namespace
