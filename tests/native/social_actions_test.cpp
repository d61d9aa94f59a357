#include "own_avatar.h"
#include "social_actions.h"

#include <gtest/gtest.h>

#include "json_text.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "request_log.h"
#include "service_harness.h"

namespace {

using std::chrono::seconds;

// Requests to the service scripts (not pictures), as "path?query".
std::vector<std::string> Requests()
{
    std::vector<std::string> found;
    for (const Json::Value& entry : LocalService::RequestLog()) {
        std::string path = entry["path"].asString();
        if (path.rfind("/pictures/", 0) != 0 && path.rfind("/avatars/", 0) != 0)
            found.push_back(path + "?" + entry["query"].asString());
    }
    return found;
}

Json::Value LastRequest()
{
    Json::Value log = LocalService::RequestLog();
    return log.empty() ? Json::Value() : log[log.size() - 1];
}

// A picture of another user that `uid` has not liked yet.
std::string UnlikedPictureOfAnother(const std::string& uid)
{
    for (int id = 5002; id < 5192; ++id) {
        Json::Value state = JsonOf(LocalService::Fetch("__control/state?share_id=" + std::to_string(id)));
        if (state["picture"]["owner"].asString() == uid)
            continue;
        bool liked = false;
        for (const Json::Value& liker : state["likers"])
            liked = liked || liker.asString() == uid;
        if (!liked)
            return std::to_string(id);
    }
    return {};
}

class ActionsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(LocalService::Reset()) << "local service not reachable"; }
    void TearDown() override { LocalService::Reset(); }

    // The action results posted so far, as (kind, outcome).
    std::vector<std::pair<int, int>> Results() const
    {
        std::vector<std::pair<int, int>> results;
        for (const SinkEvent& event : harness_.sink->Of(UM_ACTION_RESULT)) {
            EXPECT_TRUE(event.posted);
            results.emplace_back(int(event.a), int(event.b));
        }
        return results;
    }
    SocialActions Actions(NoticeTiming timing = {}) const { return SocialActions(harness_.Services(), timing); }
    bool Idle() { return harness_.WaitIdle(seconds(30)); }

    SignedInScope signedIn_{"1001"};
    ServiceHarness harness_;
};

using Outcomes = std::vector<std::pair<int, int>>;

}  // namespace

TEST(StatusMatch, TheValueIsMatchedWhole)
{
    EXPECT_TRUE(AnswerHasStatus("{\"status\":2,\"msg\":\"x\"}", 2));
    EXPECT_TRUE(AnswerHasStatus("{\"status\":0}", 0));
    EXPECT_TRUE(AnswerHasStatus("{\"a\":1,\"status\":4}", 4));
    EXPECT_TRUE(AnswerHasStatus("{\"status\": 4}", 4));
    EXPECT_TRUE(AnswerHasStatus("{\"x\":{\"status\":9},\"status\":2}", 2));
    EXPECT_FALSE(AnswerHasStatus("{\"status\":20}", 2));
    EXPECT_FALSE(AnswerHasStatus("{\"status\":20}", 0));
    EXPECT_FALSE(AnswerHasStatus("{\"status\":0.5}", 0));
    EXPECT_FALSE(AnswerHasStatus("{\"status\":4e1}", 4));
    EXPECT_FALSE(AnswerHasStatus("{\"status\":\"0\"}", 0)) << "a string is not the number";
    EXPECT_FALSE(AnswerHasStatus("{\"status\":-0}", 1));
    EXPECT_TRUE(AnswerHasStatus("{\"status\":-1}", -1));
    EXPECT_FALSE(AnswerHasStatus("{\"status\":-1}", 1));
    EXPECT_FALSE(AnswerHasStatus("{\"status\":12345678901}", 1234567890));
    EXPECT_FALSE(AnswerHasStatus("{\"msg\":\"x\\\"status\\\":0\"}", 0)) << "inside a string";
    EXPECT_FALSE(AnswerHasStatus("", 0));
    EXPECT_FALSE(AnswerHasStatus("\"status\":", 0));
}

TEST(NoticeChoiceRule, LargestCountWinsAndTiesGoInOrder)
{
    EXPECT_EQ(ChooseNotice(0, 0, 0), NoticeChoice::None);
    EXPECT_EQ(ChooseNotice(2, 1, 3), NoticeChoice::Follows);
    EXPECT_EQ(ChooseNotice(1, 5, 3), NoticeChoice::Replies);
    EXPECT_EQ(ChooseNotice(4, 1, 3), NoticeChoice::Comments);
    EXPECT_EQ(ChooseNotice(2, 2, 2), NoticeChoice::Comments);
    EXPECT_EQ(ChooseNotice(2, 2, 0), NoticeChoice::Comments);
    EXPECT_EQ(ChooseNotice(1, 2, 2), NoticeChoice::Replies);
    EXPECT_EQ(ChooseNotice(3, 0, 3), NoticeChoice::Comments);
    EXPECT_EQ(ChooseNotice(0, 0, 1), NoticeChoice::Follows);
}

TEST_F(ActionsTest, FollowReportsTheOutcomeAndFollowingOneselfSendsNothing)
{
    Actions().FollowUser("1005");
    ASSERT_TRUE(Idle());
    Actions().FollowUser("1001");
    ASSERT_TRUE(Idle());
    EXPECT_EQ(Results(), (Outcomes{{4, 1}, {3, 2}}));
    EXPECT_EQ(Requests(),
        std::vector<std::string>{"/u.php?action=c_follow&uid=1001&token=" + TokenOf("1001") + "&buid=1005"});

    harness_.WriteConfig("1001", "wrong-token");
    Actions().FollowUser("1005");
    ASSERT_TRUE(Idle());
    EXPECT_EQ(Results().back(), std::make_pair(4, 0)) << "refused by the service";
}

TEST_F(ActionsTest, UnreachableServiceFailsEveryAction)
{
    ServiceHarness away("http://127.0.0.1:1/");
    SocialActions actions(away.Services());
    actions.FollowUser("1005");
    actions.CommentOnPicture("5001", "hi", nullptr, -1);
    actions.LikePicture("5001", "1002");
    actions.ForwardPicture("5001");
    ASSERT_TRUE(away.WaitIdle(seconds(30)));
    std::vector<std::pair<int, int>> results;
    for (const SinkEvent& event : away.sink->Of(UM_ACTION_RESULT))
        results.emplace_back(int(event.a), int(event.b));
    std::sort(results.begin(), results.end());
    EXPECT_EQ(results, (Outcomes{{1, 0}, {2, 0}, {3, 0}, {4, 0}}));
    EXPECT_TRUE(away.sink->Of(UM_COMMENT_POSTED).empty());
}

TEST_F(ActionsTest, CommentsAndRepliesPostTheirParentAndTellTheWindowFirst)
{
    Actions().CommentOnPicture("5005", "hi & you", nullptr, -1);
    ASSERT_TRUE(Idle());
    Json::Value sent = LastRequest();
    EXPECT_EQ(sent["query"].asString(),
        "action=c_comment&uid=1001&token=" + TokenOf("1001") + "&share_id=5005&parent_id=0&content=hi%20%26%20you");
    auto events = harness_.sink->Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].message, UM_COMMENT_POSTED);
    EXPECT_FALSE(events[0].posted);
    EXPECT_EQ(events[1].message, UM_ACTION_RESULT);
    EXPECT_EQ(events[1].a, 1u);
    EXPECT_EQ(events[1].b, 1);

    PictureComments comments;
    comments.comments.push_back({"90087", "5005", "", "", "", "", "", "0", ""});
    comments.comments.push_back({"", "5005", "", "", "", "", "", "0", ""});
    Actions().CommentOnPicture("5005", "re", &comments, 0);
    ASSERT_TRUE(Idle());
    EXPECT_NE(LastRequest()["query"].asString().find("&parent_id=90087&content=re"), std::string::npos);
    EXPECT_EQ(Results().back(), std::make_pair(1, 1));

    const std::size_t sent_before = Requests().size();
    Actions().CommentOnPicture("5005", "re", &comments, 1);  // no id stored there
    Actions().CommentOnPicture("5005", "re", &comments, 7);  // past the end
    Actions().CommentOnPicture("5005", "re", nullptr, 0);
    ASSERT_TRUE(Idle());
    EXPECT_EQ(Requests().size(), sent_before) << "a reply to nothing is not sent";
    EXPECT_EQ(Results().size(), 5u);
    EXPECT_EQ(Results().back(), std::make_pair(1, 0));

    harness_.sink->Clear();
    Actions().CommentOnPicture("999999", "lost", nullptr, -1);
    ASSERT_TRUE(Idle());
    EXPECT_EQ(Results(), (Outcomes{{1, 0}}));
    EXPECT_TRUE(harness_.sink->Of(UM_COMMENT_POSTED).empty());
}

TEST_F(ActionsTest, LikeOutcomesFollowTheStatus)
{
    const std::string shareId = UnlikedPictureOfAnother("1001");
    ASSERT_FALSE(shareId.empty());
    Actions().LikePicture(shareId, "1002");
    ASSERT_TRUE(Idle());
    Actions().LikePicture(shareId, "1002");
    ASSERT_TRUE(Idle());
    Actions().LikePicture(shareId, "1001");  // the session's own picture
    ASSERT_TRUE(Idle());
    EXPECT_EQ(Results(), (Outcomes{{3, 1}, {3, -1}, {3, 2}})) << "status 4, then status 2, then oneself";
    EXPECT_EQ(CountRequests("a=fav"), 2);
    EXPECT_EQ(LastRequest()["query"].asString(), "m=share&a=fav&uid=1001&token=" + TokenOf("1001") + "&id=" + shareId);

    {
        SignedInScope restore("1001");
        SignedInUser expired = CopySignedInUser();
        expired.token = "expired";
        StoreSignedInUser(expired);
        Actions().LikePicture(shareId, "1002");
        ASSERT_TRUE(Idle());
    }
    EXPECT_EQ(Results().back(), std::make_pair(3, 0)) << "status 0 is a failure";

    harness_.sink->Clear();
    Actions().LikePictureAt({3, ""}, 4);  // nothing stored there
    EXPECT_EQ(Results(), (Outcomes{{3, 0}}));
    auto record = std::make_shared<PictureRecord>();
    record->shareId = shareId;
    record->ownerId = "1001";
    harness_.store->StorePicture({3, ""}, 0, record);
    Actions().LikePictureAt({3, ""}, 0);
    ASSERT_TRUE(Idle());
    EXPECT_EQ(Results().back(), std::make_pair(3, 2));
}

TEST_F(ActionsTest, ForwardSendsTheBodyWithAnEmptyContent)
{
    Actions().ForwardPicture("5005");
    ASSERT_TRUE(Idle());
    Json::Value sent = LastRequest();
    EXPECT_EQ(sent["method"].asString(), "POST");
    EXPECT_EQ(sent["query"].asString(), "action=c_reply&uid=1001&token=" + TokenOf("1001"));
    EXPECT_EQ(sent["body"].asString(), "share_id=5005&content=");
    Actions().ForwardPicture("999999");
    ASSERT_TRUE(Idle());
    EXPECT_EQ(Results(), (Outcomes{{2, 1}, {2, 0}}));
}

TEST_F(ActionsTest, FollowFromAListAlwaysReloadsThatList)
{
    Actions().FollowFromList("1001", FollowList::MyFans);
    ASSERT_TRUE(Idle());
    EXPECT_EQ(
        Requests(), std::vector<std::string>{"/u.php?action=c_fans&uid=1001&token=" + TokenOf("1001") + "&page=0"})
        << "oneself: no follow, still a reload";

    ASSERT_TRUE(LocalService::Reset());
    Actions().FollowFromList("1005", FollowList::MyFollows);
    ASSERT_TRUE(Idle());
    auto requests = Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[0].find("action=c_follow&"), std::string::npos);
    EXPECT_NE(requests[1].find("action=c_follows&uid=1001&token="), std::string::npos);

    ASSERT_TRUE(LocalService::Reset());
    harness_.store->UpdatePager(24, 30, 3);
    harness_.store->NextPage(24);
    Actions().FollowFromList("1005", FollowList::FollowsOf, "1002");
    ASSERT_TRUE(Idle());
    requests = Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1], "/u.php?action=c_follows&uid=1001&uid2=1002&token=" + TokenOf("1001") + "&page=1")
        << "the page goes back to 1";
    EXPECT_TRUE(Results().empty());
}

TEST_F(ActionsTest, OwnStatisticsFillTheUserPanel)
{
    Actions().RefreshOwnStats();
    ASSERT_TRUE(Idle());
    EXPECT_EQ(Requests(), std::vector<std::string>{"/user.php?action=c_login&token=" + TokenOf("1001")});
    Json::Value data = JsonOf(LocalService::Fetch("user.php?action=c_login&token=" + TokenOf("1001")))["data"];
    OwnStats stats = harness_.store->OwnStatistics();
    EXPECT_EQ(stats.published, data["image_count"].asString());
    EXPECT_EQ(stats.liked, data["like_count"].asString());
    EXPECT_EQ(stats.follows, data["follow_count"].asString());
    EXPECT_EQ(stats.fans, data["fans_count"].asString());
    EXPECT_EQ(stats.unreadNotices, std::to_string(data["is_num"].asInt()));
    EXPECT_NE(stats.published, "");
    EXPECT_EQ(harness_.sink->Invalidations(), 1);

    ASSERT_TRUE(LocalService::SetFault("wrongtypes"));
    Actions().RefreshOwnStats();
    ASSERT_TRUE(Idle());
    EXPECT_EQ(harness_.store->OwnStatistics().published, stats.published) << "wrong types leave it";
    EXPECT_EQ(harness_.sink->Invalidations(), 1);
}

namespace {

// Stands in for the poll's wait: each Step lets exactly one wait pass and
// returns once the poll is waiting again (or has ended).
class Stepper {
public:
    NoticeTiming Timing(int ticksPerPoll)
    {
        NoticeTiming timing;
        timing.tick = std::chrono::milliseconds(1);
        timing.ticksPerPoll = ticksPerPoll;
        timing.wait = [this](std::chrono::milliseconds) {
            std::unique_lock<std::mutex> guard(lock_);
            ++entered_;
            changed_.notify_all();
            changed_.wait(guard, [this] { return allowed_ > 0; });
            --allowed_;
        };
        return timing;
    }
    // Waits until the poll sits in its `count`th wait.
    bool AwaitWait(int count)
    {
        std::unique_lock<std::mutex> guard(lock_);
        return changed_.wait_for(guard, seconds(20), [&] { return entered_ >= count; });
    }
    bool Step()
    {
        int next;
        {
            std::lock_guard<std::mutex> guard(lock_);
            ++allowed_;
            next = entered_ + 1;
            changed_.notify_all();
        }
        return AwaitWait(next);
    }
    void Release()
    {
        std::lock_guard<std::mutex> guard(lock_);
        allowed_ += 1000;
        changed_.notify_all();
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    int entered_ = 0;
    int allowed_ = 0;
};

}  // namespace

TEST_F(ActionsTest, NoticePollKeepsItsRhythmAndEndsAtSignOut)
{
    Stepper stepper;
    Actions(stepper.Timing(3)).PollNotices();
    ASSERT_TRUE(stepper.AwaitWait(1));
    EXPECT_EQ(CountRequests("c_notice"), 1);
    EXPECT_EQ(Requests()[0], "/u.php?action=c_notice&uid=1001&token=" + TokenOf("1001"));
    EXPECT_EQ(harness_.store->VisibleNotice(), NoticeChoice::Follows) << "comm 2, reply 1, atten 3";

    ASSERT_TRUE(stepper.Step());
    EXPECT_EQ(harness_.store->VisibleNotice(), NoticeChoice::None) << "hidden on the first wait";
    ASSERT_TRUE(stepper.Step());
    EXPECT_EQ(CountRequests("c_notice"), 1);
    ASSERT_TRUE(stepper.Step());
    EXPECT_EQ(CountRequests("c_notice"), 2) << "a poll after every third wait";
    EXPECT_EQ(harness_.store->VisibleNotice(), NoticeChoice::Follows);

    SetSignedIn(false);
    stepper.Release();
    ASSERT_TRUE(Idle()) << "the poll ends once nobody is signed in";
    EXPECT_EQ(CountRequests("c_notice"), 2);
}

TEST_F(ActionsTest, ANewPollEndsTheOneBefore)
{
    NoticeTiming timing;
    timing.tick = std::chrono::milliseconds(2);
    timing.ticksPerPoll = 1000000;
    const SocialActions actions = Actions(timing);
    actions.PollNotices();
    actions.PollNotices();  // signed out and in again within one tick
    const auto& tracker = harness_.Services()->tracker;
    const auto deadline = std::chrono::steady_clock::now() + seconds(10);
    while (tracker->Running() > 1 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(tracker->Running(), 1) << "one poll runs on";

    SetSignedIn(false);
    ASSERT_TRUE(Idle());
    EXPECT_EQ(CountRequests("c_notice"), 2);
}

TEST_F(ActionsTest, ARepliesGoToTheCommentByItsId)
{
    struct Row {
        const char* name;
        std::optional<std::string> parent;
        const char* sent;  // the query's tail, or null: nothing sent, a failure
    } rows[] = {
        {"a row the service gave no id", std::string(), nullptr},
        {"a top-level comment", std::nullopt, "&parent_id=0&content=re"},
        {"the chosen comment", std::string("90087"), "&parent_id=90087&content=re"},
    };
    for (const Row& row : rows) {
        harness_.sink->Clear();
        const std::size_t before = Requests().size();
        Actions().ReplyToComment("5005", "re", row.parent);
        ASSERT_TRUE(Idle()) << row.name;
        if (!row.sent) {
            EXPECT_EQ(Requests().size(), before) << row.name;
            EXPECT_EQ(Results(), (Outcomes{{1, 0}})) << row.name;
            continue;
        }
        const std::string query = LastRequest()["query"].asString();
        EXPECT_EQ(query.substr(query.size() - std::strlen(row.sent)), row.sent) << row.name;
        EXPECT_EQ(Results(), (Outcomes{{1, 1}})) << row.name;
    }
}

TEST_F(ActionsTest, NoticePollShowsNothingWithoutNewsAndBreaksTiesTowardsComments)
{
    SignedInScope quiet("1003");
    Stepper stepper;
    Actions(stepper.Timing(1)).PollNotices();
    ASSERT_TRUE(stepper.AwaitWait(1));
    EXPECT_EQ(harness_.store->VisibleNotice(), NoticeChoice::None);
    EXPECT_EQ(harness_.store->LastNotice(), NoticeChoice::None);

    ASSERT_FALSE(LocalService::Fetch("__control/notice?uid=1003&comm=0&reply=2&atten=2").empty());
    ASSERT_TRUE(stepper.Step());
    EXPECT_EQ(harness_.store->VisibleNotice(), NoticeChoice::Replies);
    ASSERT_FALSE(LocalService::Fetch("__control/notice?uid=1003&comm=2&reply=0&atten=0").empty());
    ASSERT_TRUE(stepper.Step());
    EXPECT_EQ(harness_.store->VisibleNotice(), NoticeChoice::Comments) << "2, 2, 2: comments first";

    SetSignedIn(false);
    stepper.Release();
    ASSERT_TRUE(Idle());
}

TEST_F(ActionsTest, OwnAvatarIsReplacedAndAMissingOneEndsTheWait)
{
    ServiceHarness real(LocalService::BaseUrl(), ServiceHarness::Real);
    const std::string path = real.Services()->cache->OwnAvatarPath();
    platform::CreateDirectoryTree(real.Services()->cache->ImageFolder());
    real.folder.Write("image" + std::string(1, platform::kPathSeparator) + "user_avatar.jpg", "old");
    const std::string url = LocalService::BaseUrl() + "avatars/u1002.jpg";

    RefreshOwnAvatar(real.Services(), url, {seconds(20)});
    ASSERT_TRUE(real.WaitIdle(seconds(30)));
    auto changed = real.sink->Of(UM_AVATAR_CHANGED);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_TRUE(changed[0].posted);
    EXPECT_EQ(changed[0].a, 0u);
    EXPECT_EQ(changed[0].b, 1);
    EXPECT_EQ(CopySignedInUser().avatarUrl, url);
    EXPECT_EQ(real.folder.Read(path), LocalService::Fetch("avatars/u1002.jpg"));

    // An avatar that never comes: the wait ends at its bound, nothing is posted.
    real.sink->Clear();
    const auto start = std::chrono::steady_clock::now();
    RefreshOwnAvatar(real.Services(), LocalService::BaseUrl() + "avatars/none.jpg", {std::chrono::milliseconds(300)});
    ASSERT_TRUE(real.WaitIdle(seconds(30)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, seconds(20));
    EXPECT_TRUE(real.sink->Of(UM_AVATAR_CHANGED).empty());
    EXPECT_EQ(real.folder.Read(path), LocalService::Fetch("avatars/u1002.jpg")) << "the old avatar stays";

    // An older download of the same file still on its way lands first; the
    // change is announced only once the new picture is in place.
    real.sink->Clear();
    std::string seenAtPost;
    real.sink->OnPost([&](const SinkEvent& e) {
        if (e.message == UM_AVATAR_CHANGED)
            seenAtPost = real.folder.Read(path);
    });
    ASSERT_TRUE(LocalService::SetFault("slow&match=avatars/u100&count=2&delay_ms=800"));
    real.Services()->downloader->FetchAlways(LocalService::BaseUrl() + "avatars/u1001.jpg", path);
    RefreshOwnAvatar(real.Services(), url, {seconds(20)});
    ASSERT_TRUE(real.WaitIdle(seconds(30)));
    ASSERT_EQ(real.sink->Of(UM_AVATAR_CHANGED).size(), 1u);
    EXPECT_EQ(seenAtPost, LocalService::Fetch("avatars/u1002.jpg"));
}

// Whatever goes wrong with the new avatar's address or transfer, the old
// avatar file stays as it was and nothing is announced.
TEST_F(ActionsTest, OwnAvatarStaysUntilANewOneArrivesWhole)
{
    const std::string fresh = LocalService::Fetch("avatars/u1002.jpg");
    ASSERT_FALSE(fresh.empty());
    const std::string avatar = LocalService::BaseUrl() + "avatars/u1002.jpg";
    struct Row {
        const char* name;
        std::string url;
        const char* fault;
        bool replaced;
    };
    const Row kRows[] = {
        {"not an http address", "file:///etc/hostname", "normal", false},
        {"an http address nowhere", "http://127.0.0.1:1/avatars/u1002.jpg", "normal", false},
        {"avatar missing", LocalService::BaseUrl() + "avatars/none.jpg", "normal", false},
        {"cut transfer", avatar, "short&match=avatars", false},
        {"error page sent as success", avatar, "html&scope=pictures", false},
        {"a new avatar", avatar, "normal", true},
    };
    for (const Row& row : kRows) {
        ServiceHarness real(LocalService::BaseUrl(), ServiceHarness::Real);
        const std::string path = real.Services()->cache->OwnAvatarPath();
        real.folder.Write("image" + std::string(1, platform::kPathSeparator) + "user_avatar.jpg", "old avatar");
        ASSERT_TRUE(LocalService::SetFault(row.fault)) << row.name;
        RefreshOwnAvatar(real.Services(), row.url, {seconds(20)});
        ASSERT_TRUE(real.WaitIdle(seconds(30))) << row.name;
        EXPECT_EQ(real.folder.Read(path), row.replaced ? fresh : "old avatar") << row.name;
        EXPECT_EQ(real.sink->Of(UM_AVATAR_CHANGED).size(), row.replaced ? 1u : 0u) << row.name;
        LocalService::SetFault("normal");
    }
}

TEST_F(ActionsTest, ManyFetchesAndActionsRunAtOnceWhileTheWindowReads)
{
    const FeedFetcher fetcher = harness_.Fetcher();
    const SocialActions actions = Actions();
    fetcher.LoadCategoryList();
    fetcher.LoadHomeFeed();
    fetcher.LoadHotTags();
    for (int round = 0; round < 4; ++round) {
        fetcher.LoadFeed(16);
        fetcher.LoadFeed(14);
        fetcher.LoadUserPictures("1002");
        fetcher.LoadUserStats("1002");
        fetcher.LoadPictureDetails("5001");
        fetcher.LoadCurrentComments("5005", 26);
        actions.FollowUser("1005");
        actions.LikePicture("5010", "1002");
        actions.CommentOnPicture("5005", "x", nullptr, -1);
        actions.RefreshOwnStats();
    }
    // The window paints from the store meanwhile.
    auto readLikeTheWindow = [&] {
        std::size_t seen = 0;
        for (int kind : {0, 3, 7, 16, 26}) {
            for (std::size_t i = 0; i < harness_.store->PictureCount({kind, ""}); ++i) {
                if (auto picture = harness_.store->Picture({kind, ""}, i))
                    seen += picture->shareId.size();
            }
        }
        if (auto details = harness_.store->Details())
            seen += details->authorName.size();
        harness_.store->NextPage(14);
        seen += harness_.store->OwnStatistics().published.size();
        seen += CopySignedInUser().uid.size();
        return seen;
    };
    const auto deadline = std::chrono::steady_clock::now() + seconds(60);
    do {
        readLikeTheWindow();
    } while (!harness_.WaitIdle(std::chrono::milliseconds(5)) && std::chrono::steady_clock::now() < deadline);
    ASSERT_TRUE(harness_.WaitIdle(seconds(1)));
    EXPECT_GT(readLikeTheWindow(), 0u);
    for (int kind = 0; kind <= 7; ++kind)
        EXPECT_GT(harness_.store->PictureCount({kind, ""}), 0u) << kind;
    EXPECT_EQ(harness_.store->PictureCount({20, harness_.store->HotTag(0)}) > 0, true);
    EXPECT_EQ(Results().size(), 12u);
    EXPECT_EQ(harness_.sink->Of(UM_COMMENT_POSTED).size(), 4u);
    EXPECT_EQ(harness_.sink->Of(UM_USER_STATS_READY).size(), 4u);
}
