#include "feed_fetcher.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "feed_keeper.h"
#include "request_log.h"
#include "service_harness.h"

namespace {

using std::chrono::seconds;

// One logged service request, without the pictures and avatars.
struct Logged {
    int seq;
    std::string path;
    std::string query;
    std::string action;
    Json::Value params;

    std::string Param(const std::string& key) const
    {
        for (const Json::Value& pair : params) {
            if (pair[0].asString() == key)
                return pair[1].asString();
        }
        return {};
    }
};

std::vector<Logged> ServiceRequests()
{
    std::vector<Logged> found;
    for (const Json::Value& entry : LocalService::RequestLog()) {
        std::string path = entry["path"].asString();
        if (path.rfind("/pictures/", 0) == 0 || path.rfind("/avatars/", 0) == 0)
            continue;
        Logged logged{entry["seq"].asInt(), path, entry["query"].asString(), {}, entry["params"]};
        logged.action = logged.Param("action");
        found.push_back(logged);
    }
    return found;
}

std::vector<Logged> WithAction(const std::string& action)
{
    std::vector<Logged> found;
    for (const Logged& logged : ServiceRequests()) {
        if (logged.action == action)
            found.push_back(logged);
    }
    return found;
}

class FetcherTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(LocalService::Reset()) << "local service not reachable"; }
    void TearDown() override { LocalService::Reset(); }
};

FeedRequest OfKind(int kind)
{
    FeedRequest request;
    request.kind = kind;
    return request;
}

const std::set<std::string> kCategoryCodes = {"gal", "fashion", "fukei", "moe", "yummy", "creative", "crowd", "sukini"};

}  // namespace

TEST_F(FetcherTest, StartUpLoadsTheListThenTheEightCategoryFeeds)
{
    SignedInScope signedOut("1001", false);
    ServiceHarness harness;
    harness.Fetcher().LoadCategoryList();
    harness.Fetcher().LoadHomeFeed();
    ASSERT_TRUE(harness.WaitIdle(seconds(30)));

    auto lists = WithAction("c_all_list");
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(lists[0].path, "/book.php");
    auto home = WithAction("c_all");
    ASSERT_EQ(home.size(), 1u);
    EXPECT_EQ(home[0].path, "/book.php");
    EXPECT_EQ(home[0].query, "action=c_all") << "signed out: no session";

    auto feeds = WithAction("c_cate");
    ASSERT_EQ(feeds.size(), 8u);
    std::set<std::string> codes;
    for (const Logged& feed : feeds) {
        codes.insert(feed.Param("cate"));
        EXPECT_GT(feed.seq, lists[0].seq) << "category feeds only after the list";
    }
    EXPECT_EQ(codes, kCategoryCodes) << "each category once";
    EXPECT_EQ(ServiceRequests().size(), 10u);

    std::size_t thumbnails = 0;
    for (int kind = 0; kind <= 7; ++kind) {
        EXPECT_GT(harness.store->PictureCount({kind, ""}), 0u) << kind;
        thumbnails += harness.store->PictureCount({kind, ""});
    }
    thumbnails += harness.store->PictureCount({26, ""});
    EXPECT_GT(harness.store->PictureCount({26, ""}), 0u);
    EXPECT_EQ(harness.recorded->Calls().size(), thumbnails);
    EXPECT_TRUE(harness.sink->Of(UM_FEED_ERROR).empty());
    EXPECT_EQ(FeedUrl(*harness.Services(), OfKind(26)), LocalService::BaseUrl() + "book.php?action=c_all");
}

TEST_F(FetcherTest, SignedInTheListAndTheHomeFeedCarryTheConfigSession)
{
    SignedInScope signedIn("1002");  // the record's uid differs from the file's on purpose
    ServiceHarness harness;
    harness.Fetcher().LoadCategoryList();
    harness.Fetcher().LoadHomeFeed();
    ASSERT_TRUE(harness.WaitIdle(seconds(30)));
    auto lists = WithAction("c_all");
    ASSERT_EQ(lists.size(), 2u);
    std::set<std::string> seen;
    for (const Logged& logged : lists)
        seen.insert(logged.path + "?" + logged.query);
    EXPECT_TRUE(seen.count("/u.php?action=c_all")) << "signed-in category list";
    EXPECT_TRUE(seen.count("/book.php?action=c_all&uid=1001&token=" + TokenOf("1001")));
    EXPECT_EQ(WithAction("c_cate").size(), 8u);
}

TEST_F(FetcherTest, AnUnreachableServiceGivesOneFeedErrorAndNoCategoryFeed)
{
    {
        ServiceHarness harness("http://127.0.0.1:1/");
        harness.Fetcher().LoadCategoryList();
        harness.Fetcher().LoadHomeFeed();
        ASSERT_TRUE(harness.WaitIdle(seconds(30)));
        auto errors = harness.sink->Of(UM_FEED_ERROR);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_FALSE(errors[0].posted);
        EXPECT_EQ(harness.sink->Events().size(), 1u);
    }
    ASSERT_TRUE(LocalService::SetFault("down"));
    ServiceHarness harness;
    harness.Fetcher().LoadCategoryList();
    ASSERT_TRUE(harness.WaitIdle(seconds(30)));
    EXPECT_EQ(harness.sink->Of(UM_FEED_ERROR).size(), 1u);
    EXPECT_EQ(ServiceRequests().size(), 1u) << "the list only, no category feed";
}

TEST_F(FetcherTest, PagedKindsSendTheirStorePageAndUserPicturesThatOfKind16)
{
    ServiceHarness harness;
    const std::string session = "uid=1001&token=" + TokenOf("1001");
    harness.Fetcher().LoadFeed(16);
    ASSERT_TRUE(harness.WaitIdle(seconds(30)));
    auto published = WithAction("c_my_publish");
    ASSERT_EQ(published.size(), 1u);
    EXPECT_EQ(published[0].query, "action=c_my_publish&" + session + "&page=0") << "before any answer";
    ASSERT_EQ(harness.store->CurrentPage(16), 1);
    ASSERT_GT(harness.store->PageCount(16), 1);
    ASSERT_EQ(harness.sink->Of(UM_PUBLISH_PAGE_READY).size(), 1u);

    ASSERT_TRUE(harness.store->NextPage(16));
    harness.Fetcher().LoadFeed(16);
    harness.Fetcher().LoadUserPictures("1002");
    ASSERT_TRUE(harness.WaitIdle(seconds(30)));
    published = WithAction("c_my_publish");
    ASSERT_EQ(published.size(), 2u);
    EXPECT_EQ(published[1].query, "action=c_my_publish&" + session + "&page=2");
    auto photos = WithAction("c_photo");
    ASSERT_EQ(photos.size(), 1u);
    EXPECT_EQ(photos[0].query, "action=c_photo&uid=1002&page=2") << "kind 8 uses kind 16's page";
    EXPECT_EQ(harness.store->CurrentPage(8), 1);
    EXPECT_TRUE(harness.sink->Of(UM_SHOW_LARGE_PICTURE).empty()) << "own pictures were paged";
}

TEST_F(FetcherTest, UserPicturesBeforeOwnPicturesOpenTheFirstOneAndItsComments)
{
    ServiceHarness harness;
    harness.Fetcher().LoadUserPictures("1002");
    ASSERT_TRUE(harness.WaitIdle(seconds(30)));
    auto photos = WithAction("c_photo");
    ASSERT_EQ(photos.size(), 1u);
    EXPECT_EQ(photos[0].query, "action=c_photo&uid=1002&page=0");
    auto first = harness.store->Picture({8, "1002"}, 0);
    ASSERT_TRUE(first);
    auto comments = WithAction("c_comment_list");
    ASSERT_EQ(comments.size(), 1u);
    EXPECT_EQ(comments[0].Param("id"), first->shareId);
    EXPECT_TRUE(harness.store->Comments({8, "1002"}, 0));
    auto shown = harness.sink->Of(UM_SHOW_LIST_PICTURE);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "1002");
    ASSERT_EQ(harness.sink->Of(UM_SHOW_LARGE_PICTURE).size(), 1u);
    EXPECT_EQ(harness.sink->Of(UM_SHOW_LARGE_PICTURE)[0].text, first->largePath);
}

TEST_F(FetcherTest, TagsAndSearchTextAreSentEncoded)
{
    ServiceHarness harness;
    harness.Fetcher().LoadTagFeed("\xE9\xA3\x8E\xE6\x99\xAF");  // scenery
    harness.Fetcher().LoadTagFeed("a&b");
    harness.Fetcher().SearchPeople("\xE9\x98\xBF");
    ASSERT_TRUE(harness.WaitIdle(seconds(30)));
    std::set<std::string> queries;
    for (const Logged& logged : WithAction("c_tag"))
        queries.insert(logged.query);
    EXPECT_TRUE(queries.count("action=c_tag&tag=%E9%A3%8E%E6%99%AF"));
    EXPECT_TRUE(queries.count("action=c_tag&tag=a%26b")) << "an & inside a tag stays in the tag";
    EXPECT_GT(harness.store->PictureCount({20, "\xE9\xA3\x8E\xE6\x99\xAF"}), 0u);
    auto search = WithAction("c_search");
    ASSERT_EQ(search.size(), 1u);
    EXPECT_EQ(search[0].Param("sear"), "\xE9\x98\xBF");
    EXPECT_GT(harness.store->UserCount(27), 0u);
}

TEST_F(FetcherTest, HotTagsStartOneTagFeedPerTag)
{
    ServiceHarness harness;
    harness.Fetcher().LoadHotTags();
    ASSERT_TRUE(harness.WaitIdle(seconds(60)));
    const std::size_t tags = harness.store->HotTagCount();
    ASSERT_GT(tags, 1u);
    auto feeds = WithAction("c_tag");
    ASSERT_EQ(feeds.size(), tags);
    std::set<std::string> asked;
    for (const Logged& feed : feeds)
        asked.insert(feed.Param("tag"));
    for (std::size_t i = 0; i < tags; ++i) {
        EXPECT_TRUE(asked.count(harness.store->HotTag(i))) << i;
        EXPECT_GT(harness.store->PictureCount({20, harness.store->HotTag(i)}), 0u) << i;
    }
}

TEST_F(FetcherTest, EachWorkerServesItsOwnRequestWhileTheLaterAnswerIsKept)
{
    ServiceHarness harness;
    for (const char* shareId : {"5005", "5010"}) {
        auto record = std::make_shared<PictureRecord>();
        record->shareId = shareId;
        harness.store->StorePicture({4, ""}, harness.store->PictureCount({4, ""}), record);
    }
    // The first request is answered after the second.
    ASSERT_TRUE(LocalService::SetFault("slow&match=id%3D5005&count=1&delay_ms=500"));
    harness.Fetcher().LoadComments({4, ""}, 0);
    harness.Fetcher().LoadComments({4, ""}, 1);
    ASSERT_TRUE(harness.WaitIdle(seconds(30)));

    for (std::size_t index = 0; index < 2; ++index) {
        auto comments = harness.store->Comments({4, ""}, index);
        ASSERT_TRUE(comments) << index;
        const std::string expected = index == 0 ? "5005" : "5010";
        EXPECT_EQ(comments->shareId, expected);
        ASSERT_FALSE(comments->comments.empty());
        for (const CommentRecord& comment : comments->comments)
            EXPECT_EQ(comment.shareId, expected);
    }
    auto ready = harness.sink->Of(UM_COMMENT_LIST_READY);
    ASSERT_EQ(ready.size(), 2u);
    EXPECT_EQ(ready[0].b, 1) << "the quick answer first";
    EXPECT_EQ(ready[1].b, 0);
    auto stored = harness.store->Answer(11, "");
    ASSERT_TRUE(stored);
    EXPECT_NE(stored->find("\"share_id\":\"5005\""), std::string::npos) << "the later answer replaced the earlier";
}

TEST_F(FetcherTest, ALateCommentAnswerNeverLandsOnThePictureThatReplacedItsOwn)
{
    // Comments of 5005 are asked for, a reload puts 5010 in the slot and its
    // comments are asked for too; 5005's answer comes last.
    const PictureListId kLists[] = {{4, ""}, {8, "1002"}, {20, "sky"}, {26, ""}};
    for (const PictureListId& list : kLists) {
        const bool viewer = list.kind == 26;
        ServiceHarness harness;
        ASSERT_TRUE(LocalService::SetFault("slow&match=id%3D5005&count=1&delay_ms=500"));
        for (const char* shareId : {"5005", "5010"}) {
            auto record = std::make_shared<PictureRecord>();
            record->shareId = shareId;
            harness.store->StorePicture(list, 0, record);
            if (viewer)
                harness.Fetcher().LoadCurrentComments(shareId, list.kind);
            else
                harness.Fetcher().LoadComments(list, 0);
        }
        ASSERT_TRUE(harness.WaitIdle(seconds(30)));
        auto held = viewer ? harness.store->CurrentComments() : harness.store->Comments(list, 0);
        ASSERT_TRUE(held) << list.kind;
        EXPECT_EQ(held->shareId, "5010") << list.kind;
        EXPECT_FALSE(viewer ? harness.store->CurrentComments("5005") : harness.store->Comments(list, 0, "5005"));
    }
}

TEST_F(FetcherTest, CommentsTakeTheLiveSessionOnlyWhenSignedIn)
{
    ServiceHarness harness;
    auto record = std::make_shared<PictureRecord>();
    record->shareId = "5005";
    harness.store->StorePicture({20, "sky"}, 0, record);
    {
        SignedInScope signedIn("1002");
        harness.Fetcher().LoadComments({20, "sky"}, 0);
        ASSERT_TRUE(harness.WaitIdle(seconds(30)));
    }
    {
        SignedInScope signedOut("1002", false);
        harness.Fetcher().LoadComments({20, "sky"}, 0);
        harness.Fetcher().LoadComments({20, "sky"}, 5);  // no picture there: nothing sent
        ASSERT_TRUE(harness.WaitIdle(seconds(30)));
    }
    auto comments = WithAction("c_comment_list");
    ASSERT_EQ(comments.size(), 2u);
    EXPECT_EQ(comments[0].query, "action=c_comment_list&id=5005&uid=1002&token=" + TokenOf("1002"));
    EXPECT_EQ(comments[1].query, "action=c_comment_list&id=5005");
    EXPECT_EQ(harness.sink->Of(UM_SHOW_ROW_PICTURE).size(), 2u);
}

TEST_F(FetcherTest, ViewerRequestsAndOtherUsersPages)
{
    ServiceHarness harness;
    harness.Fetcher().LoadPictureDetails("5001");
    harness.Fetcher().LoadCurrentComments("5005", 26);
    harness.Fetcher().LoadUserStats("1002");
    harness.Fetcher().LoadUserFollows("1002");
    for (int kind : {9, 10, 14, 15})
        harness.Fetcher().LoadFeed(kind);
    ASSERT_TRUE(harness.WaitIdle(seconds(30)));

    ASSERT_TRUE(harness.store->Details());
    EXPECT_EQ(harness.store->Details()->shareId, "5001");
    ASSERT_TRUE(harness.store->CurrentComments());
    EXPECT_EQ(harness.store->CurrentComments()->shareId, "5005");
    auto posted = harness.sink->Of(UM_PICTURE_COMMENTS_READY);
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_TRUE(posted[0].posted);
    EXPECT_EQ(posted[0].a, 26u);
    EXPECT_EQ(posted[0].b, -2012);
    EXPECT_EQ(harness.sink->Of(UM_USER_STATS_READY).size(), 1u);
    auto follows = WithAction("c_follows");
    ASSERT_EQ(follows.size(), 2u);
    std::set<std::string> queries = {follows[0].query, follows[1].query};
    const std::string token = TokenOf("1001");
    EXPECT_TRUE(queries.count("action=c_follows&uid=1001&uid2=1002&token=" + token + "&page=0"));
    EXPECT_TRUE(queries.count("action=c_follows&uid=1001&token=" + token + "&page=0"));
    for (int kind : {10, 14, 15, 24})
        EXPECT_GT(harness.store->UserCount(kind), 0u) << kind;
    EXPECT_GT(harness.store->PictureCount({9, ""}), 0u);
}

TEST_F(FetcherTest, HomeFeedWithoutImageListIsNotKeptAndOddKindsSendNothing)
{
    ServiceHarness harness;
    ASSERT_TRUE(LocalService::SetFault("html&scope=json"));
    harness.Fetcher().LoadHomeFeed();
    ASSERT_TRUE(harness.WaitIdle(seconds(30)));
    EXPECT_FALSE(harness.store->Answer(26, ""));
    EXPECT_EQ(ServiceRequests().size(), 1u);

    ASSERT_TRUE(LocalService::Reset());
    for (int kind : {-1, 12, 13, 18, 19, 30, 37, 38, 1000})
        harness.Fetcher().FetchFeed(OfKind(kind));
    ASSERT_TRUE(harness.WaitIdle(seconds(30)));
    EXPECT_TRUE(ServiceRequests().empty());
    EXPECT_TRUE(harness.sink->Events().empty());
}

// A user signs out while their own lists are on the way: the store forgets
// the kinds, and the late answers put nothing back.
TEST_F(FetcherTest, AnAnswerForAForgottenListStoresNothing)
{
    struct Row {
        int kind;
        const char* action;
        bool pictures;  // or users
    } rows[] = {
        {feed_kind::kMyLiked, "c_my_like", true},
        {feed_kind::kMyPublished, "c_my_publish", true},
        {feed_kind::kMyFollows, "c_follows", false},
        {feed_kind::kMyFans, "c_fans", false},
    };
    for (const Row& row : rows) {
        SignedInScope signedIn("1001");
        ServiceHarness harness;
        ASSERT_TRUE(LocalService::SetFault(std::string("slow&delay_ms=300&match=") + row.action));
        harness.Fetcher().LoadFeed(row.kind);
        harness.store->ForgetKind(row.kind);  // signed out before the answer
        ASSERT_TRUE(harness.WaitIdle(seconds(30)));
        const std::size_t stored
            = row.pictures ? harness.store->PictureCount({row.kind, {}}) : harness.store->UserCount(row.kind);
        EXPECT_EQ(stored, 0u) << row.action;
        EXPECT_EQ(harness.store->PageCount(row.kind), 0) << row.action;

        // The next user's request, made after, is stored as ever.
        ASSERT_TRUE(LocalService::SetFault("normal"));
        harness.Fetcher().LoadFeed(row.kind);
        ASSERT_TRUE(harness.WaitIdle(seconds(30)));
        const std::size_t next
            = row.pictures ? harness.store->PictureCount({row.kind, {}}) : harness.store->UserCount(row.kind);
        EXPECT_GT(next, 0u) << row.action;
    }
}

// ---- the kept category list at start ------------------------------------------------

namespace {

// The service's own list, and the same with the third category's code
// changed since it was kept.
const char kKeptList[] = "[{\"cate_id\":\"1\",\"cate_code\":\"gal\"},{\"cate_id\":\"2\",\"cate_code\":\"fashion\"},"
                         "{\"cate_id\":\"3\",\"cate_code\":\"fukei\"},{\"cate_id\":\"4\",\"cate_code\":\"moe\"},"
                         "{\"cate_id\":\"5\",\"cate_code\":\"yummy\"},{\"cate_id\":\"6\",\"cate_code\":\"creative\"},"
                         "{\"cate_id\":\"7\",\"cate_code\":\"crowd\"},{\"cate_id\":\"8\",\"cate_code\":\"sukini\"}]";
const char kChangedList[]
    = "[{\"cate_id\":\"1\",\"cate_code\":\"gal\"},{\"cate_id\":\"2\",\"cate_code\":\"fashion\"},"
      "{\"cate_id\":\"3\",\"cate_code\":\"oldscenery\"},{\"cate_id\":\"4\",\"cate_code\":\"moe\"},"
      "{\"cate_id\":\"5\",\"cate_code\":\"yummy\"},{\"cate_id\":\"6\",\"cate_code\":\"creative\"},"
      "{\"cate_id\":\"7\",\"cate_code\":\"crowd\"},{\"cate_id\":\"8\",\"cate_code\":\"sukini\"}]";

// How long the service holds the list's answer: a category feed logged
// sooner after the list's request was sent without waiting for it.
const int kListHoldMs = 3000;

struct KeptListRow {
    const char* name;
    const char* kept;  // null: nothing kept
    // Category codes requested while the list's answer was held, and after it.
    std::multiset<std::string> before;
    std::multiset<std::string> after;
};

// Category feed codes by when they reached the service: before the list's
// answer could have left it, or after.
void SplitByListAnswer(std::multiset<std::string>& before, std::multiset<std::string>& after)
{
    double listTime = -1;
    for (const Json::Value& entry : LocalService::RequestLog()) {
        if (entry["query"].asString() == "action=c_all_list")
            listTime = entry["time"].asDouble();
    }
    ASSERT_GE(listTime, 0) << "the list was asked for";
    for (const Json::Value& entry : LocalService::RequestLog()) {
        const std::string query = entry["query"].asString();
        const std::string prefix = "action=c_cate&cate=";
        if (query.rfind(prefix, 0) != 0)
            continue;
        const bool early = entry["time"].asDouble() < listTime + kListHoldMs / 1000.0;
        (early ? before : after).insert(query.substr(prefix.size()));
    }
}

}  // namespace

TEST_F(FetcherTest, AKeptCategoryListStartsTheFeedsWithoutWaitingAndTheFreshOneOnlyThoseItChanges)
{
    const std::multiset<std::string> all(kCategoryCodes.begin(), kCategoryCodes.end());
    std::multiset<std::string> changed(all);
    changed.erase("fukei");
    changed.insert("oldscenery");
    const KeptListRow rows[] = {
        {"kept as the service has it", kKeptList, all, {}},
        {"a code changed since", kChangedList, changed, {"fukei"}},
        {"nothing kept", nullptr, {}, all},
        {"a corrupt kept list", "[{\"cate_id\":\"1\",\"cate_co", {}, all},
        {"a kept list of the wrong types", "[{\"cate_id\":1,\"cate_code\":\"gal\"}]", {}, all},
    };
    for (const KeptListRow& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(LocalService::Reset());
        ASSERT_TRUE(LocalService::SetFault("slow&delay_ms=" + std::to_string(kListHoldMs) + "&match=c_all_list"));
        SignedInScope signedOut("1001", false);
        ServiceHarness harness;
        auto services = std::make_shared<FeedServices>(*harness.Services());
        services->limits.lowSpeedSeconds = 30;  // the held answer is waited for
        auto keeper = std::make_shared<FeedKeeper>(harness.folder.Path("feeds") + platform::kPathSeparator);
        if (row.kept) {
            ASSERT_TRUE(keeper->Keep({feed_kind::kCategoryList, "", 0}, row.kept));
        }
        services->keeper = keeper;
        FeedFetcher(services).LoadCategoryList();
        ASSERT_TRUE(harness.WaitIdle(seconds(30)));

        std::multiset<std::string> before, after;
        SplitByListAnswer(before, after);
        EXPECT_EQ(before, row.before);
        EXPECT_EQ(after, row.after);
        for (int kind = 0; kind <= 7; ++kind)
            EXPECT_GT(harness.store->PictureCount({kind, ""}), 0u) << "category " << kind;
        EXPECT_EQ(harness.store->CategoryCode("3"), "fukei") << "the fresh list's codes stand";
        std::string kept;
        ASSERT_TRUE(keeper->Load({feed_kind::kCategoryList, "", 0}, kept));
        EXPECT_NE(kept.find("\"fukei\""), std::string::npos) << "the fresh list is kept for the next start";
        EXPECT_TRUE(harness.sink->Of(UM_FEED_ERROR).empty());
    }
}
