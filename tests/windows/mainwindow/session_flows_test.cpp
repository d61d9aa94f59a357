// Flows that cross the login, the main window, its panels and the comment
// view, driven by messages against the local service: each asserts what the
// service saw and what the window shows.
#include "browse_layout.h"
#include "comment_notice.h"
#include "feed_kinds.h"
#include "login_flow.h"
#include "main_window.h"
#include "md5.h"
#include "program_folder.h"
#include "request_log.h"
#include "signed_in_user.h"
#include "win32/wide_text.h"
#include "win32/window_message_sink.h"
#include "window_pump.h"
#include "work_tracker.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>

namespace {

using std::chrono::seconds;

struct Account {
    const char* name;
    const char* password;
    const char* uid;
};
const Account kDemo{"demo@quarn.test", "quarn123", "1001"};
const Account kTest{"test@quarn.test", "quarn456", "1002"};

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// The share ids of a feed kind's list as the store holds it.
std::set<std::string> StoredShareIds(FeedStore& store, int kind)
{
    std::set<std::string> ids;
    const PictureListId list{kind, {}};
    for (std::size_t i = 0; i < store.PictureCount(list); ++i) {
        if (const auto picture = store.Picture(list, i))
            ids.insert(picture->shareId);
    }
    return ids;
}

// The share ids of a user's liked list as the service answers it.
std::set<std::string> LikedByService(const std::string& uid)
{
    const std::string answer
        = LocalService::Fetch("u.php?action=c_my_like&uid=" + uid + "&token=" + Md5Hex("quarn-token:" + uid));
    Json::Value root;
    std::set<std::string> ids;
    if (!Json::Reader().parse(answer, root) || !root["image_list"].isArray())
        return ids;
    for (const Json::Value& item : root["image_list"])
        ids.insert(item["share_id"].asString());
    return ids;
}

class SessionFlowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        MarkNotFirstRun();
        SetSignedIn(false);
        ASSERT_TRUE(LocalService::Reset());
        configPath = Narrow(ProgramFolder()) + "vlconfig.xml";
        savedConfig = ReadFile(configPath);
        WriteFile(configPath, "<quarn>\n    <login />\n</quarn>\n");
        ASSERT_TRUE(window.CreateFullScreen());
        hwnd = window.GetHWND();
        // Signing out needs the login window, made at the start.
        ASSERT_TRUE(PumpFor(seconds(10), [] { return FindWindowW(L"QNLoginWnd", nullptr) != nullptr; }));
    }
    void TearDown() override
    {
        SetSignedIn(false);
        LocalService::SetFault("normal");
        WriteFile(configPath, savedConfig);
    }

    // A manual login through the login flow the login window runs; done
    // once the window has taken it (it asks for the user's home feed).
    void SignIn(const Account& account)
    {
        const std::string home = "action=c_all&uid=" + std::string(account.uid);
        const int homes = CountRequests(home);
        LoginFlow flow(window.Services().Login());
        ASSERT_TRUE(flow.StartManual({account.name, PasswordDigest(account.password), true, false}));
        ASSERT_TRUE(PumpFor(seconds(30), [&] { return CountRequests(home) > homes; })) << account.name;
        EXPECT_EQ(CopySignedInUser().uid, account.uid);
        // Asked for is not yet stored: a picture opened before its answer
        // is parsed finds no list to show (the window starts with none).
        const FeedStore& store = *window.Services().Store();
        ASSERT_TRUE(PumpFor(seconds(10), [&] { return store.PictureCount({feed_kind::kHome, {}}) > 0; }));
    }
    void SignOut()
    {
        SendMessageW(hwnd, WM_COMMAND, CMD_SIGN_OUT, 0);
        EXPECT_FALSE(IsSignedIn());
    }
    // "我的喜欢" from the user menu; waits for its request.
    void OpenLiked(const Account& account)
    {
        const std::string liked = "c_my_like&uid=" + std::string(account.uid);
        const int before = CountRequests(liked);
        SendMessageW(hwnd, WM_COMMAND, CMD_FIRST_USER_MENU + 1, 0);
        ASSERT_TRUE(PumpFor(seconds(10), [&] { return CountRequests(liked) > before; })) << account.name;
    }
    std::set<std::string> Liked() { return StoredShareIds(*window.Services().Store(), feed_kind::kMyLiked); }
    // Until the feed workers started before now have ended (the notice
    // poll, which runs on, is among the baseline).
    bool SettleFeeds(int baseline)
    {
        const auto& tracker = window.Services().Feeds()->tracker;
        return PumpFor(seconds(20), [&] { return tracker->Running() <= baseline; });
    }
    int RunningFeeds() { return window.Services().Feeds()->tracker->Running(); }

    std::string configPath;
    std::string savedConfig;
    Qaurn_Navigate_window window;
    HWND hwnd = nullptr;
};

TEST_F(SessionFlowTest, SigningInReloadsTheHomeFeedAsTheUserAndSlidesTheViewerDown)
{
    SignIn(kDemo);
    // The counts come from the service again, and one notice poll starts.
    EXPECT_TRUE(PumpFor(seconds(10), [] { return CountRequests("action=c_login&token=") >= 1; }));
    EXPECT_TRUE(PumpFor(seconds(10), [] { return CountRequests("c_notice&uid=1001") >= 1; }));
    EXPECT_FALSE(window.ViewerUp());
}

TEST_F(SessionFlowTest, SigningOutLeavesNothingOfTheUserShown)
{
    SignIn(kDemo);
    SendMessageW(hwnd, UM_SHOW_PICTURE_INFO, feed_kind::kHome, 0);
    ASSERT_TRUE(window.CommentView().IsShown());
    OpenLiked(kDemo);
    ASSERT_TRUE(PumpFor(seconds(10), [&] { return !Liked().empty(); }));

    SignOut();
    EXPECT_TRUE(PumpFor(seconds(10), [] { return CountRequests("c_logout&&uid=1001") == 1; }));
    EXPECT_FALSE(window.CommentView().IsShown());
    EXPECT_TRUE(window.ViewerUp());
    EXPECT_EQ(window.TabSelection(), -1);
    EXPECT_NE(window.Content().Mode(), kContentPictureRow);
    EXPECT_TRUE(Liked().empty()) << "the list is gone from memory too";
}

TEST_F(SessionFlowTest, AnotherAccountSeesOnlyItsOwnLists)
{
    SignIn(kDemo);
    OpenLiked(kDemo);
    ASSERT_TRUE(PumpFor(seconds(10), [&] { return !Liked().empty(); }));
    const std::set<std::string> demoLiked = Liked();
    SignOut();

    SignIn(kTest);
    EXPECT_TRUE(Liked().empty());
    OpenLiked(kTest);
    // The parser stores an answer item by item: until it is whole, then exactly it.
    const std::set<std::string> testLiked = LikedByService(kTest.uid);
    ASSERT_NE(testLiked, demoLiked);
    EXPECT_TRUE(PumpFor(seconds(10), [&] { return Liked() == testLiked; }));
    EXPECT_EQ(Liked(), testLiked);
}

// Offline, a user sees at most what was kept of their own list.
TEST_F(SessionFlowTest, OfflineAnotherAccountSeesNoneOfTheFirstOnesLists)
{
    const std::set<std::string> testLiked = LikedByService(kTest.uid);
    SignIn(kDemo);
    OpenLiked(kDemo);
    ASSERT_TRUE(PumpFor(seconds(10), [&] { return !Liked().empty(); }));
    ASSERT_NE(Liked(), testLiked);
    SignOut();
    EXPECT_TRUE(Liked().empty()) << "after sign-out";

    SignIn(kTest);
    EXPECT_TRUE(Liked().empty()) << "after sign-in";
    ASSERT_TRUE(LocalService::SetFault("down&match=c_my_like"));
    const int baseline = RunningFeeds();
    OpenLiked(kTest);
    ASSERT_TRUE(SettleFeeds(baseline));
    for (const std::string& id : Liked())
        EXPECT_EQ(testLiked.count(id), 1u) << "picture " << id << " is not one 1002 liked; shown " << Liked().size();
}

TEST_F(SessionFlowTest, AReplyGoesToTheChosenCommentWhileTheListReloads)
{
    SignIn(kDemo);
    FeedStore& store = *window.Services().Store();
    SendMessageW(hwnd, UM_SHOW_PICTURE_INFO, feed_kind::kHome, 0);
    const PictureListId home{feed_kind::kHome, {}};
    ASSERT_TRUE(PumpFor(seconds(10), [&] {
        const auto comments = store.Comments(home, 0);
        return comments && !comments->comments.empty();
    }));
    CCommentWnd& view = window.CommentView();
    const auto before = store.Comments(home, 0);
    view.SetComments(before);
    view.OnCommentListMessage(kCommentReplyClicked, 0);
    const std::string chosen = before->comments[0].commentId;
    ASSERT_FALSE(chosen.empty());

    // Someone comments while the user types: the list reloads with it on top.
    auto reloaded = std::make_shared<PictureComments>(*before);
    CommentRecord newer = before->comments[0];
    newer.commentId = "77777777";
    reloaded->comments.insert(reloaded->comments.begin(), newer);
    view.SetComments(reloaded);

    SendMessageW(hwnd, WM_COMMAND, CMD_CONFIRM, 0);
    ASSERT_TRUE(PumpFor(seconds(10), [&] { return view.Notice() == kNoticeCommented; }));
    EXPECT_EQ(CountRequests("&parent_id=" + chosen + "&"), 1);
    EXPECT_EQ(CountRequests("&parent_id=77777777&"), 0);
    EXPECT_FALSE(view.ReplyTarget()) << "the next comment is not a reply";
}

TEST_F(SessionFlowTest, ACardsFollowSaysWhatItDid)
{
    SignIn(kDemo);
    const ContentPanels& content = window.Content();
    const RECT cell = browse_layout::UserCell(0);
    const RECT toggle = browse_layout::FollowToggle(cell);
    const LPARAM onToggle = MAKELPARAM(toggle.left + 5, toggle.top + 5);
    // The comment view's own state says nothing about the card's person.
    window.CommentView().SetFollowing(true);
    for (int round = 0; round < 2; ++round) {
        window.Content().RunSearch(L"1005");
        ASSERT_TRUE(PumpFor(seconds(10), [&] {
            SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(cell.left + 20, cell.top + 20));
            return content.Users().Hovered() == 0;
        }));
        const auto person = window.Services().Store()->User(feed_kind::kPeopleSearch, 0);
        ASSERT_TRUE(person && person->uid == "1005");
        const bool wasFollowed = person->isFollowed;
        SendMessageW(hwnd, WM_MOUSEMOVE, 0, onToggle);
        SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, onToggle);
        SendMessageW(hwnd, WM_LBUTTONUP, 0, onToggle);
        window.CommentView().ShowResult(kNoticeNone);
        ASSERT_TRUE(PumpFor(seconds(10), [&] { return window.CommentView().Notice() != kNoticeNone; }));
        EXPECT_STREQ(NoticeText(window.CommentView().Notice()), wasFollowed ? L"取消成功" : L"关注成功");
        // The search again shows the new state.
        ASSERT_TRUE(PumpFor(seconds(10), [&] {
            const auto again = window.Services().Store()->User(feed_kind::kPeopleSearch, 0);
            return again && again->isFollowed != wasFollowed;
        }));
    }
}

TEST_F(SessionFlowTest, APagesCommentCallFromThisThreadOpensThePicture)
{
    SignIn(kDemo);
    const auto shown = [&] { return window.CurrentPicture() ? window.CurrentPicture()->shareId : std::string(); };
    const std::string before = shown();
    ASSERT_NE(before, "5007");
    struct Row {
        const char* what;
        bool sentWithText;
        const wchar_t* shareId;
        bool opens;
    } rows[] = {
        {"posted, its pointer gone by the time it is read", false, L"5007", false},
        {"an empty identifier", true, L"", false},
        {"a page's call on this thread", true, L"5007", true},
    };
    for (const Row& row : rows) {
        if (row.sentWithText) {
            SendWithText(hwnd, UM_OPEN_PICTURE_COMMENTS, WPARAM(row.shareId), LPARAM(L""));
        } else {
            PostMessageW(hwnd, UM_OPEN_PICTURE_COMMENTS, WPARAM(row.shareId), LPARAM(L""));
            MSG msg;
            while (PeekMessageW(&msg, hwnd, UM_OPEN_PICTURE_COMMENTS, UM_OPEN_PICTURE_COMMENTS, PM_REMOVE))
                DispatchMessageW(&msg);
        }
        EXPECT_EQ(shown(), row.opens ? "5007" : before) << row.what;
    }
}

}  // namespace
