#include "answer_parser.h"
#include "feed_store.h"
#include "picture_cache.h"
#include "platform.h"

#include <gtest/gtest.h>

#include "json_text.h"

#include <regex>
#include <string>

#include "feed_doubles.h"
#include "local_service.h"
#include "temp_folder.h"

namespace {

const char kSep = platform::kPathSeparator;
const char kDemoUid[] = "1001";
const char kDemoToken[] = "4dc807a2a0973d59be2d231c5b4a9f59";

std::string Text(const Json::Value& value)
{
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    return Json::writeString(builder, value);
}

Json::Value Item(int n, const char* addressKey = "url", const char* authorKey = "uname")
{
    Json::Value item(Json::objectValue);
    std::string id = std::to_string(n);
    item[addressKey] = "http://pics.test/p/p" + id + ".jpg";
    item[authorKey] = "author" + id;
    item["avatar"] = "http://pics.test/a/u" + id + ".jpg";
    item["share_id"] = "50" + id;
    item["uid"] = "10" + id;
    item["content"] = "content " + id;
    item["comment_count"] = "1" + id;
    item["relay_count"] = "2" + id;
    item["like_count"] = "3" + id;
    item["city_name"] = "city" + id;
    item["create_time"] = "13700000" + id;
    item["follow_count"] = "4" + id;
    item["fans"] = "5" + id;
    item["fans_count"] = "6" + id;
    return item;
}

Json::Value Page(std::vector<Json::Value> items, int total = 30, int pageCount = 3)
{
    Json::Value root(Json::objectValue);
    root["page"]["total"] = total;
    root["page"]["page_count"] = pageCount;
    root["page"]["page"] = 1;
    root["image_list"] = Json::Value(Json::arrayValue);
    for (Json::Value& item : items)
        root["image_list"].append(item);
    return root;
}

class ParserTest : public ::testing::Test {
protected:
    ParseContext Context() { return {store_, sink_, cache_, downloads_, starter_}; }

    bool Parse(int kind, const std::string& text, FeedRequest request = {})
    {
        request.kind = kind;
        return ParseAnswerText(Context(), request, text);
    }
    bool Parse(int kind, const Json::Value& value, FeedRequest request = {})
    {
        return Parse(kind, Text(value), request);
    }
    std::vector<DownloadCall> DownloadsOf(DownloadCall::Kind kind) const
    {
        std::vector<DownloadCall> found;
        for (const DownloadCall& call : downloads_.Calls()) {
            if (call.kind == kind)
                found.push_back(call);
        }
        return found;
    }

    TempFolder folder_;
    FeedStore store_;
    RecordingSink sink_;
    PictureCache cache_{folder_.Path("image") + kSep, 1280};
    RecordingDownloader downloads_;
    RecordingStarter starter_;
};

class LocalAnswers : public ParserTest {
protected:
    void SetUp() override { ASSERT_TRUE(LocalService::Reset()) << "local service not reachable"; }
    static std::string Answer(const std::string& path)
    {
        std::string text = LocalService::Fetch(path);
        EXPECT_FALSE(text.empty()) << path;
        return text;
    }
    static std::string Session() { return std::string("&uid=") + kDemoUid + "&token=" + kDemoToken; }
};

}  // namespace

// ---- category list ---------------------------------------------------------------

TEST_F(LocalAnswers, CategoryListStoresEveryCodeAndStartsTheCategoryFeedsOnce)
{
    ASSERT_TRUE(Parse(22, Answer("book.php?action=c_all_list")));
    EXPECT_EQ(store_.CategoryCode("1"), "gal");
    EXPECT_EQ(store_.CategoryCode("8"), "sukini");
    EXPECT_EQ(starter_.Calls(), std::vector<std::string>{"categories"});
    EXPECT_TRUE(sink_.Of(UM_FEED_ERROR).empty());
}

TEST_F(ParserTest, CategoryListThatIsEmptyBrokenOrMistypedSendsFeedError)
{
    store_.StoreCategory("1", "kept");
    for (const char* text : {"[]", "[{\"cate_id\":\"1\",", "[{\"cate_id\":1,\"cate_code\":\"x\"}]", "{}",
             "[{\"cate_id\":\"1\",\"cate_code\":[]}]", "<html>"}) {
        sink_.Clear();
        Parse(22, std::string(text));
        auto errors = sink_.Of(UM_FEED_ERROR);
        ASSERT_EQ(errors.size(), 1u) << text;
        EXPECT_FALSE(errors[0].posted);
        EXPECT_EQ(errors[0].a, 0u);
        EXPECT_EQ(errors[0].b, 0);
    }
    EXPECT_TRUE(starter_.Calls().empty());
    EXPECT_EQ(store_.CategoryCode("1"), "kept");
}

struct EarlyFeedsRow {
    const char* name;
    bool early;  // feeds were started from a kept list
    std::vector<std::string> codes;  // the codes they were started with
    std::vector<std::string> calls;
};

TEST_F(ParserTest, AListAfterFeedsStartedFromTheKeptOneStartsOnlyTheCategoriesItChanges)
{
    const std::vector<std::string> same = {"a", "b", "c", "d", "e", "f", "g", "h"};
    const std::string list = "[{\"cate_id\":\"1\",\"cate_code\":\"a\"},{\"cate_id\":\"2\",\"cate_code\":\"b\"},"
                             "{\"cate_id\":\"3\",\"cate_code\":\"c\"},{\"cate_id\":\"4\",\"cate_code\":\"d\"},"
                             "{\"cate_id\":\"5\",\"cate_code\":\"e\"},{\"cate_id\":\"6\",\"cate_code\":\"f\"},"
                             "{\"cate_id\":\"7\",\"cate_code\":\"g\"},{\"cate_id\":\"9\",\"cate_code\":\"i\"}]";
    const EarlyFeedsRow rows[] = {
        {"no early feeds", false, {}, {"categories"}},
        // Id 8 is no longer listed: its feed is asked for again, without a code.
        {"the same codes", true, same, {"category:7"}},
        {"two codes changed", true, {"a", "x", "c", "d", "e", "f", "y", "h"},
            {"category:1", "category:6", "category:7"}},
        {"fewer codes noted", true, {"a", "b"},
            {"category:2", "category:3", "category:4", "category:5", "category:6", "category:7"}},
    };
    for (const EarlyFeedsRow& row : rows) {
        SCOPED_TRACE(row.name);
        FeedStore store;
        RecordingStarter starter;
        store.StoreCategory("8", "h");
        if (row.early)
            store.NoteEarlyCategoryFeeds(row.codes);
        const ParseContext context{store, sink_, cache_, downloads_, starter};
        FeedRequest request;
        request.kind = 22;
        ASSERT_TRUE(ParseAnswerText(context, request, list));
        EXPECT_EQ(starter.Calls(), row.calls);
        EXPECT_EQ(store.CategoryCode("8"), "") << "the fresh list is the whole list";
        EXPECT_EQ(store.CategoryCode("9"), "i");
        std::vector<std::string> left;
        EXPECT_FALSE(store.TakeEarlyCategoryFeeds(left)) << "the early feeds are compared once";
    }
}

TEST(CategoryListTest, ReadsEntriesOnlyFromAUsableNonEmptyList)
{
    const struct {
        const char* text;
        std::size_t entries;  // 0: not usable
    } rows[] = {
        {"[{\"cate_id\":\"1\",\"cate_code\":\"gal\"},{\"cate_id\":\"2\",\"cate_code\":\"moe\"}]", 2},
        {"[]", 0},
        {"{}", 0},
        {"[{\"cate_id\":1,\"cate_code\":\"gal\"}]", 0},
        {"[{\"cate_id\":\"1\",", 0},
        {"", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        std::vector<std::pair<std::string, std::string>> entries = {{"stale", "stale"}};
        EXPECT_EQ(ReadCategoryList(row.text, entries), row.entries > 0);
        if (row.entries > 0) {
            ASSERT_EQ(entries.size(), row.entries);
            EXPECT_EQ(entries[0], std::make_pair(std::string("1"), std::string("gal")));
        }
    }
}

// ---- picture pages -----------------------------------------------------------------

TEST_F(LocalAnswers, CategoryPageFillsRecordsStartsThumbnailsAndRepaintsPerItem)
{
    std::string text = Answer("book.php?action=c_cate&cate=gal");
    Json::Value page = JsonOf(text);
    const Json::Value& items = page["image_list"];
    ASSERT_GT(items.size(), 2u);

    ASSERT_TRUE(Parse(0, text));
    const PictureListId list{0, ""};
    ASSERT_EQ(store_.PictureCount(list), items.size());
    EXPECT_EQ(store_.Total(0), page["page"]["total"].asInt());
    EXPECT_EQ(store_.PageCount(0), page["page"]["page_count"].asInt());
    EXPECT_EQ(store_.CurrentPage(0), 1);
    EXPECT_EQ(sink_.Invalidations(), int(items.size()));

    auto thumbnails = DownloadsOf(DownloadCall::IfMissing);
    ASSERT_EQ(thumbnails.size(), items.size());
    for (Json::ArrayIndex i = 0; i < items.size(); ++i) {
        auto record = store_.Picture(list, i);
        ASSERT_TRUE(record);
        const Json::Value& item = items[i];
        EXPECT_EQ(record->authorName, item["uname"].asString());
        EXPECT_EQ(record->avatarUrl, item["avatar"].asString());
        EXPECT_EQ(record->avatarPath, cache_.AuthorAvatarPath(item["uname"].asString()));
        EXPECT_EQ(record->shareId, item["share_id"].asString());
        EXPECT_EQ(record->ownerId, item["uid"].asString());
        EXPECT_EQ(record->content, item["content"].asString());
        EXPECT_EQ(record->commentCount, item["comment_count"].asString());
        EXPECT_EQ(record->forwardCount, item["relay_count"].asString());
        EXPECT_EQ(record->likeCount, item["like_count"].asString());
        EXPECT_EQ(record->cityName, item["city_name"].asString());
        EXPECT_EQ(record->createTime, item["create_time"].asString());
        EXPECT_EQ(record->authorFollowCount, item["follow_count"].asString());
        EXPECT_EQ(record->authorFanCount, item["fans"].asString());
        const std::string address = item["url"].asString();
        EXPECT_EQ(record->largeUrl, cache_.LargePictureUrl(address));
        EXPECT_EQ(record->thumbnailUrl, cache_.ThumbnailUrl(address));
        EXPECT_EQ(record->largePath, cache_.LargePicturePath(address));
        EXPECT_EQ(record->thumbnailPath, cache_.ThumbnailPath(address));
        EXPECT_EQ(thumbnails[i].url, record->thumbnailUrl);
        EXPECT_EQ(thumbnails[i].path, record->thumbnailPath);
    }
    EXPECT_TRUE(platform::IsDirectory(cache_.ThumbnailFolder()));
    EXPECT_TRUE(platform::IsDirectory(cache_.LargePictureFolder()));
}

TEST_F(ParserTest, EscapedTextIsDecodedWhole)
{
    Json::Value item = Item(1);
    std::string text = Text(Page({item}));
    std::string::size_type at = text.find("content 1");
    text.replace(at, 9, "\\u56FE \\u56fe\\ud83d\\ude00 plain");
    ASSERT_TRUE(Parse(0, text));
    EXPECT_EQ(store_.Picture({0, ""}, 0)->content, "\xE5\x9B\xBE \xE5\x9B\xBE\xF0\x9F\x98\x80 plain");
}

TEST_F(ParserTest, WrongTypedValueMakesTheAnswerUnusableAndKeepsTheList)
{
    ASSERT_TRUE(Parse(2, Page({Item(1), Item(2)}, 20, 2)));
    auto first = store_.Picture({2, ""}, 0);
    const int invalidations = sink_.Invalidations();
    const std::size_t downloads = downloads_.Calls().size();

    Json::Value numberCount = Item(3);
    numberCount["comment_count"] = 3;
    Json::Value objectAuthor = Item(4);
    objectAuthor["uname"] = Json::Value(Json::objectValue);
    Json::Value stringTotal = Page({Item(5)});
    stringTotal["page"]["total"] = "5";
    Json::Value listNotArray = Page({});
    listNotArray["image_list"] = Json::Value(Json::objectValue);
    Json::Value pageNotObject = Page({Item(6)});
    pageNotObject["page"] = "1";
    Json::Value itemNotObject = Page({Item(7)});
    itemNotObject["image_list"].append("p.jpg");

    for (const Json::Value& bad : {Page({Item(8), numberCount}), Page({objectAuthor}), stringTotal, listNotArray,
             pageNotObject, itemNotObject, Json::Value("text")})
        EXPECT_FALSE(Parse(2, bad)) << Text(bad);
    EXPECT_FALSE(Parse(2, std::string("{\"image_list\":[")));

    EXPECT_EQ(store_.Picture({2, ""}, 0), first) << "the list keeps its previous records";
    EXPECT_EQ(store_.PictureCount({2, ""}), 2u);
    EXPECT_EQ(store_.Total(2), 20);
    EXPECT_EQ(sink_.Invalidations(), invalidations);
    EXPECT_EQ(downloads_.Calls().size(), downloads);
}

TEST_F(ParserTest, MissingKeysReadAsEmptyAndTheRecordIsStored)
{
    Json::Value bare(Json::objectValue);
    bare["url"] = "http://pics.test/p/bare.png";
    Json::Value page(Json::objectValue);
    page["image_list"].append(bare);
    ASSERT_TRUE(Parse(1, page));
    auto record = store_.Picture({1, ""}, 0);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->shareId, "");
    EXPECT_EQ(record->authorName, "");
    EXPECT_EQ(record->avatarPath, cache_.AuthorAvatarPath(""));
    EXPECT_EQ(store_.CurrentPage(1), 0) << "no page object, no pager";

    Json::Value nulls = Item(2);
    nulls["content"] = Json::nullValue;
    nulls["city_name"] = true;
    ASSERT_TRUE(Parse(1, Page({nulls})));
    EXPECT_EQ(store_.Picture({1, ""}, 0)->content, "");
    EXPECT_EQ(store_.Picture({1, ""}, 0)->cityName, "true");
}

TEST_F(ParserTest, ItemsWithoutHttpAreSkippedWithoutUsingAnIndex)
{
    Json::Value emptyUrl = Item(2);
    emptyUrl["url"] = "";
    Json::Value notHttp = Item(3);
    notHttp["url"] = "ftp://pics.test/p3.jpg";
    notHttp["comment_count"] = 7;  // a skipped item is not read further
    Json::Value noDot = Item(4);
    noDot["url"] = "http://pics.test/p/picture";
    Json::Value noUrl = Item(5);
    noUrl.removeMember("url");
    ASSERT_TRUE(Parse(3, Page({Item(1), emptyUrl, Item(6), notHttp, noDot, noUrl, Item(7)})));
    EXPECT_EQ(store_.PictureCount({3, ""}), 3u);
    EXPECT_EQ(store_.Picture({3, ""}, 0)->shareId, "501");
    EXPECT_EQ(store_.Picture({3, ""}, 1)->shareId, "506") << "the third element lands at index 1";
    EXPECT_EQ(store_.Picture({3, ""}, 2)->shareId, "507");
    EXPECT_EQ(sink_.Invalidations(), 3);
    EXPECT_EQ(downloads_.Calls().size(), 3u);
}

// A picture address is used only when it is an http or https address with
// a host; merely holding "http" somewhere is not enough.
TEST(PictureAddress, OnlyWebAddressesMakeAPicture)
{
    struct Row {
        const char* address;
        bool used;
    };
    const Row kRows[] = {
        {"file:///http/p1.jpg", false},
        {"ftp://http.test/p1.jpg", false},
        {"javascript:alert('http://pics.test/p1.jpg')", false},
        {" http://pics.test/p1.jpg", false},
        {"http:///p1.jpg", false},
        {"http://pics.test/p 1.jpg", false},
        {"http://pics.test/p1.jpg\n", false},
        {"http://pics.test\\p1.jpg", false},
        {"xhttp://pics.test/p1.jpg", false},
        {"HTTPS://pics.test/p1.jpg", true},
        {"http://pics.test/p1.jpg", true},
    };
    for (const Row& row : kRows) {
        TempFolder folder;
        FeedStore store;
        RecordingSink sink;
        PictureCache cache{folder.Path("image") + kSep, 1280};
        RecordingDownloader downloads;
        RecordingStarter starter;
        Json::Value item = Item(1);
        item["url"] = row.address;
        FeedRequest request;
        request.kind = 3;
        ASSERT_TRUE(ParseAnswerText({store, sink, cache, downloads, starter}, request, Text(Page({item}))))
            << row.address;
        EXPECT_EQ(store.PictureCount({3, ""}), row.used ? 1u : 0u) << row.address;
        EXPECT_EQ(downloads.Calls().size(), row.used ? 1u : 0u) << row.address;
    }
}

TEST_F(ParserTest, FeedListsReuseTheirSlotsAndNeverShrink)
{
    ASSERT_TRUE(Parse(26, Page({Item(1), Item(2), Item(3)})));
    auto third = store_.Picture({26, ""}, 2);
    ASSERT_TRUE(Parse(26, Page({Item(9)})));
    EXPECT_EQ(store_.PictureCount({26, ""}), 3u);
    EXPECT_EQ(store_.Picture({26, ""}, 0)->shareId, "509");
    EXPECT_EQ(store_.Picture({26, ""}, 1)->shareId, "502");
    EXPECT_EQ(store_.Picture({26, ""}, 2), third);
}

TEST_F(ParserTest, EachKindReadsItsOwnFanKey)
{
    ASSERT_TRUE(Parse(9, Page({Item(1)})));
    EXPECT_EQ(store_.Picture({9, ""}, 0)->authorFanCount, "51");
    ASSERT_TRUE(Parse(16, Page({Item(1)})));
    EXPECT_EQ(store_.Picture({16, ""}, 0)->authorFanCount, "61");
    EXPECT_EQ(store_.Picture({16, ""}, 0)->authorFollowCount, "41");

    FeedRequest tag;
    tag.text = "sky";
    Json::Value tagged(Json::objectValue);
    tagged["image_list"].append(Item(2));
    ASSERT_TRUE(Parse(20, tagged, tag));
    auto record = store_.Picture({20, "sky"}, 0);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->authorFanCount, "");
    EXPECT_EQ(record->authorFollowCount, "");
    EXPECT_EQ(record->createTime, "137000002");
    EXPECT_EQ(store_.CurrentPage(20), 0);
}

TEST_F(ParserTest, OwnPicturesReportTheirElementCountAfterStoring)
{
    sink_.OnSend([this](const SinkEvent& event) {
        if (event.message == UM_PUBLISH_PAGE_READY) {
            EXPECT_EQ(store_.PictureCount({16, ""}), 3u) << "stored before the window is told";
        }
    });
    ASSERT_TRUE(Parse(16, Page({Item(1), Item(2), Item(3)})));
    auto ready = sink_.Of(UM_PUBLISH_PAGE_READY);
    ASSERT_EQ(ready.size(), 1u);
    EXPECT_FALSE(ready[0].posted);
    EXPECT_EQ(ready[0].a, 0u);
    EXPECT_EQ(ready[0].b, 3);

    Json::Value skipped = Item(4);
    skipped["url"] = "";
    sink_.Clear();
    ASSERT_TRUE(Parse(16, Page({skipped, Item(5)})));
    ASSERT_EQ(sink_.Of(UM_PUBLISH_PAGE_READY).size(), 1u);
    EXPECT_EQ(sink_.Of(UM_PUBLISH_PAGE_READY)[0].b, 2) << "counts the elements sent";

    sink_.Clear();
    ASSERT_TRUE(Parse(16, Page({})));
    EXPECT_TRUE(sink_.Of(UM_PUBLISH_PAGE_READY).empty());
    ASSERT_TRUE(Parse(9, Page({Item(1)})));
    EXPECT_TRUE(sink_.Of(UM_PUBLISH_PAGE_READY).empty());
}

// A stored home page tells the window at once that its first picture is
// there; a page with nothing stored, or any other list, does not. Only the
// start's home feed also fetches that picture large at once, without
// displacing a picture the user chose.
TEST_F(ParserTest, AStoredHomePageTellsTheWindowAndTheStartsFetchesItsFirstPictureLarge)
{
    Json::Value skipped = Item(9);
    skipped["url"] = "ftp://pics.test/p9.jpg";
    struct Row {
        const char* name;
        int kind;
        bool atStart;
        std::vector<Json::Value> items;
        bool posts;
        bool fetches;
    };
    const Row rows[] = {
        {"the start's home page", feed_kind::kHome, true, {Item(1), Item(2)}, true, true},
        {"a later home page", feed_kind::kHome, false, {Item(1), Item(2)}, true, false},
        {"the start's empty home page", feed_kind::kHome, true, {}, false, false},
        {"the start's home page of skipped items", feed_kind::kHome, true, {skipped}, false, false},
        {"a category page asked as the start's", 0, true, {Item(1)}, false, false},
        {"own pictures", feed_kind::kMyPublished, false, {Item(1)}, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sink_.Clear();
        std::size_t storedWhenPosted = 0;
        sink_.OnPost([&](const SinkEvent& event) {
            if (event.message == UM_HOME_PAGE_STORED)
                storedWhenPosted = store_.PictureCount({feed_kind::kHome, ""});
        });
        const std::size_t fetchedBefore = DownloadsOf(DownloadCall::FirstLarge).size();
        FeedRequest request;
        request.fetchFirstLarge = row.atStart;
        ASSERT_TRUE(Parse(row.kind, Page(row.items), request));
        const auto posted = sink_.Of(UM_HOME_PAGE_STORED);
        ASSERT_EQ(posted.size(), row.posts ? 1u : 0u);
        if (row.posts) {
            EXPECT_TRUE(posted[0].posted) << "a worker must not wait on the window";
            EXPECT_EQ(storedWhenPosted, row.items.size()) << "stored before the window is told";
        }
        const auto fetched = DownloadsOf(DownloadCall::FirstLarge);
        ASSERT_EQ(fetched.size() - fetchedBefore, row.fetches ? 1u : 0u);
        EXPECT_TRUE(DownloadsOf(DownloadCall::Large).empty()) << "it must not displace a picture the user chose";
        if (!row.fetches)
            continue;
        const auto first = store_.Picture({row.kind, ""}, 0);
        ASSERT_TRUE(first);
        EXPECT_EQ(fetched.back().url, first->largeUrl);
        EXPECT_EQ(fetched.back().path, first->largePath);
    }
}

// A stale answer (its list forgotten since: the user signed out) stores
// nothing and fetches nothing.
TEST_F(ParserTest, AForgottenHomeListFetchesNoPictureLarge)
{
    FeedRequest request;
    request.fetchFirstLarge = true;
    request.generation = store_.Generation(feed_kind::kHome);
    store_.ForgetKind(feed_kind::kHome);
    Parse(feed_kind::kHome, Page({Item(1)}), request);
    EXPECT_TRUE(DownloadsOf(DownloadCall::FirstLarge).empty());
}

TEST_F(ParserTest, AnotherUsersPicturesOpenTheFirstOneWhileOwnPicturesWereNeverPaged)
{
    FeedRequest request;
    request.userId = "1002";
    Json::Value first = Item(1, "img", "user_name");
    first["url"] = "http://pics.test/ignored.jpg";
    Json::Value page = Page({first, Item(2, "img", "user_name")}, 13, 2);
    ASSERT_EQ(store_.CurrentPage(16), 0);
    ASSERT_TRUE(Parse(8, page, request));

    const PictureListId list{8, "1002"};
    auto record = store_.Picture(list, 0);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->thumbnailUrl, "http://pics.test/p/p1_160x160.jpg") << "kind 8 reads \"img\"";
    EXPECT_EQ(record->authorName, "author1") << "and \"user_name\"";
    EXPECT_EQ(record->createTime, "");
    EXPECT_EQ(record->authorFanCount, "");
    EXPECT_EQ(store_.PageCount(8), 2) << "kind 8 keeps its own pager";

    auto large = DownloadsOf(DownloadCall::Large);
    ASSERT_EQ(large.size(), 1u);
    EXPECT_EQ(large[0].url, record->largeUrl);
    EXPECT_EQ(large[0].path, record->largePath);
    auto avatar = DownloadsOf(DownloadCall::Always);
    ASSERT_EQ(avatar.size(), 1u);
    EXPECT_EQ(avatar[0].path, record->avatarPath);
    EXPECT_EQ(starter_.Calls(), std::vector<std::string>{"comments:8:1002:0"});

    auto events = sink_.Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].message, UM_SHOW_LARGE_PICTURE);
    EXPECT_EQ(events[0].text, record->largePath);
    EXPECT_EQ(events[1].message, UM_SHOW_PICTURE_INFO);
    EXPECT_EQ(events[1].a, 8u);
    EXPECT_EQ(events[1].b, 0);

    // Once the own pictures have a page, the list only fills.
    store_.UpdatePager(16, 3, 1);
    sink_.Clear();
    ASSERT_TRUE(Parse(8, page, request));
    EXPECT_TRUE(sink_.Events().empty());
    EXPECT_EQ(DownloadsOf(DownloadCall::Large).size(), 1u);
}

// ---- statistics, users, comments, details, hot tags -----------------------------------

TEST_F(ParserTest, AnotherUsersStatisticsAreStoredThenReported)
{
    FeedRequest request;
    request.userId = "1005";
    sink_.OnSend([this](const SinkEvent&) {
        UserStats stats;
        EXPECT_TRUE(store_.FindUserStats("1005", stats));
    });
    ASSERT_TRUE(Parse(23, std::string(R"({"info_num":{"follows":"1","fans":"2","favs":"3","photos":"4"}})"), request));
    UserStats stats;
    ASSERT_TRUE(store_.FindUserStats("1005", stats));
    EXPECT_EQ(stats.follows, "1");
    EXPECT_EQ(stats.fans, "2");
    EXPECT_EQ(stats.likes, "3");
    EXPECT_EQ(stats.pictures, "4");
    ASSERT_EQ(sink_.Of(UM_USER_STATS_READY).size(), 1u);

    EXPECT_FALSE(Parse(23, std::string(R"({"info_num":{"follows":1}})"), request));
    EXPECT_FALSE(Parse(23, std::string(R"({"info_num":[]})"), request));
    EXPECT_EQ(sink_.Of(UM_USER_STATS_READY).size(), 1u);
}

TEST_F(ParserTest, UserListsReadTheirSpellingsAndDownloadAvatars)
{
    const char* featured = R"({"daren_list":[{"uid":"7","uname":"lina","avatar":"http://a/7.jpg","img":"http://p/7.jpg",
        "foolows_count":"1","fans_count":"2","favs_count":"3","photos_count":"4","is_foolow":1,
        "follows_count":"wrong","is_follow":0}]})";
    ASSERT_TRUE(Parse(10, std::string(featured)));
    auto user = store_.User(10, 0);
    ASSERT_TRUE(user);
    EXPECT_EQ(user->name, "lina");
    EXPECT_EQ(user->pictureUrl, "http://p/7.jpg");
    EXPECT_EQ(user->followCount, "1") << "read from \"foolows_count\"";
    EXPECT_EQ(user->fanCount, "2");
    EXPECT_EQ(user->likeCount, "3");
    EXPECT_EQ(user->pictureCount, "4");
    EXPECT_TRUE(user->isFollowed) << "read from \"is_foolow\"";
    EXPECT_EQ(user->avatarPath, cache_.ListAvatarPath(AvatarFolder::Featured, "lina"));

    const char* search = R"({"user_list":[{"uid":"8","uname":"mo","avatar":"http://a/8.jpg","foolows_count":"5",
        "is_follow":1,"is_foolow":0}]})";
    ASSERT_TRUE(Parse(27, std::string(search)));
    EXPECT_TRUE(store_.User(27, 0)->isFollowed) << "search results read \"is_follow\"";
    EXPECT_EQ(store_.User(27, 0)->avatarPath, cache_.ListAvatarPath(AvatarFolder::Comments, "mo"));

    const char* follows = R"({"page":{"total":2,"page_count":1,"page":1},"follows_list":[
        {"uid":"9","user_name":"ke","avatar":"http://a/9.jpg","img":"","is_follow":1,
         "share":{"photos":{"follows":"1","fans":"2","favs":"3","photos":"4"}}},
        {"uid":"10","user_name":"yu","avatar":"","is_follow":0,"share":null}]})";
    ASSERT_TRUE(Parse(14, std::string(follows)));
    EXPECT_TRUE(store_.User(14, 0)->hasShare);
    EXPECT_EQ(store_.User(14, 0)->pictureCount, "4");
    EXPECT_FALSE(store_.User(14, 1)->hasShare);
    EXPECT_EQ(store_.User(14, 1)->pictureCount, "");
    EXPECT_EQ(store_.PageCount(14), 1);
    ASSERT_TRUE(Parse(24, std::string(follows)));
    EXPECT_EQ(store_.User(24, 0)->avatarPath, cache_.ListAvatarPath(AvatarFolder::Follows, "ke"));

    const char* fans = R"({"page":{"total":1,"page_count":1,"page":1},"fnas_list":[{"uid":"11","user_name":"an",
        "avatar":"http://a/11.jpg","is_follow":0}],"fans_list":[{"uid":"x"},{"uid":"y"}]})";
    ASSERT_TRUE(Parse(15, std::string(fans)));
    EXPECT_EQ(store_.UserCount(15), 1u) << "only \"fnas_list\" is read";
    EXPECT_EQ(store_.User(15, 0)->avatarPath, cache_.ListAvatarPath(AvatarFolder::Fans, "an"));

    // Featured users, follows and fans download anew; search results only when missing.
    auto always = DownloadsOf(DownloadCall::Always);
    auto ifMissing = DownloadsOf(DownloadCall::IfMissing);
    EXPECT_EQ(always.size(), 1u + 2u + 2u + 1u);
    ASSERT_EQ(ifMissing.size(), 1u);
    EXPECT_EQ(ifMissing[0].url, "http://a/8.jpg");
    EXPECT_EQ(sink_.Invalidations(), 1 + 1 + 2 + 2 + 1);
    EXPECT_TRUE(platform::IsDirectory(cache_.AvatarFolderPath(AvatarFolder::Fans)));
}

TEST_F(ParserTest, UserListsRefuseWrongTypes)
{
    ASSERT_TRUE(Parse(10, std::string(R"({"daren_list":[{"uid":"1","uname":"a"}]})")));
    for (const char* bad :
        {R"({"daren_list":[{"uid":1}]})", R"({"daren_list":{}})", R"({"daren_list":[{"uid":"2","photos_count":4}]})"})
        EXPECT_FALSE(Parse(10, std::string(bad))) << bad;
    EXPECT_FALSE(Parse(14, std::string(R"({"follows_list":[{"uid":"1","share":"yes"}]})")));
    EXPECT_FALSE(Parse(14, std::string(R"({"follows_list":[{"uid":"1","share":{"photos":[1]}}]})")));
    EXPECT_FALSE(Parse(15, std::string(R"({"page":{"total":"1"},"fnas_list":[]})")));
    EXPECT_EQ(store_.User(10, 0)->uid, "1");
    EXPECT_EQ(store_.UserCount(14), 0u);
}

TEST_F(ParserTest, CommentListsGoWhereTheRequestSaysAndTellTheWindow)
{
    const char* answer = R"({"is_follow":"1","comment_list":[
        {"comment_id":"90001","share_id":"5001","uid":"1002","uname":"lina","avatar":"http://a/2.jpg",
         "content":"nice","parent_id":"0","time":"2013-06-01 10:00"},
        {"comment_id":"90002","share_id":"5001","uid":"1003","uname":"../x","avatar":"http://a/3.jpg",
         "content":"//@lina: yes","parent_id":"90001","time":"2013-06-01 11:00"}]})";
    for (std::size_t i = 0; i < 3; ++i) {
        store_.StorePicture({4, ""}, i, std::make_shared<PictureRecord>());
        store_.StorePicture({8, "1002"}, i, std::make_shared<PictureRecord>());
        store_.StorePicture({20, "sky"}, i, std::make_shared<PictureRecord>());
    }

    FeedRequest wall;
    wall.list = {4, ""};
    wall.index = 2;
    wall.shareId = "5001";
    ASSERT_TRUE(Parse(11, std::string(answer), wall));
    auto stored = store_.Comments({4, ""}, 2);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->isFollow, "1");
    EXPECT_EQ(stored->shareId, "5001");
    ASSERT_EQ(stored->comments.size(), 2u);
    const CommentRecord& reply = stored->comments[1];
    EXPECT_EQ(reply.commentId, "90002");
    EXPECT_EQ(reply.shareId, "5001");
    EXPECT_EQ(reply.authorId, "1003");
    EXPECT_EQ(reply.authorName, "../x");
    EXPECT_EQ(reply.avatarUrl, "http://a/3.jpg");
    EXPECT_EQ(reply.content, "//@lina: yes");
    EXPECT_EQ(reply.parentId, "90001");
    EXPECT_EQ(reply.time, "2013-06-01 11:00");
    EXPECT_EQ(reply.avatarPath, cache_.ListAvatarPath(AvatarFolder::Comments, "../x"));

    FeedRequest userList;
    userList.list = {8, "1002"};
    userList.index = 1;
    ASSERT_TRUE(Parse(17, std::string(answer), userList));
    EXPECT_TRUE(store_.Comments({8, "1002"}, 1));

    FeedRequest tagList;
    tagList.list = {20, "sky"};
    tagList.index = 0;
    ASSERT_TRUE(Parse(25, std::string(answer), tagList));
    EXPECT_TRUE(store_.Comments({20, "sky"}, 0));

    FeedRequest current;
    current.list = {26, ""};
    current.shareId = "5001";
    ASSERT_TRUE(Parse(29, std::string(answer), current));
    ASSERT_TRUE(store_.CurrentComments());
    EXPECT_EQ(store_.CurrentComments()->comments.size(), 2u);

    auto events = sink_.Events();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].message, UM_COMMENT_LIST_READY);
    EXPECT_FALSE(events[0].posted);
    EXPECT_EQ(events[0].a, 4u);
    EXPECT_EQ(events[0].b, 2);
    EXPECT_EQ(events[1].message, UM_SHOW_LIST_PICTURE);
    EXPECT_EQ(events[1].text, "1002");
    EXPECT_EQ(events[1].b, 1);
    EXPECT_EQ(events[2].message, UM_SHOW_ROW_PICTURE);
    EXPECT_EQ(events[2].text, "sky");
    EXPECT_EQ(events[2].b, 0);
    EXPECT_EQ(events[3].message, UM_PICTURE_COMMENTS_READY);
    EXPECT_TRUE(events[3].posted);
    EXPECT_EQ(events[3].a, 26u);
    EXPECT_EQ(events[3].b, -2012);

    auto avatars = DownloadsOf(DownloadCall::IfMissing);
    EXPECT_EQ(avatars.size(), 8u);
    EXPECT_TRUE(platform::IsDirectory(cache_.AvatarFolderPath(AvatarFolder::Comments)));

    EXPECT_FALSE(Parse(11, std::string(R"({"is_follow":1,"comment_list":[]})"), wall));
    EXPECT_FALSE(Parse(11, std::string(R"({"comment_list":[{"time":20130601}]})"), wall));
    EXPECT_EQ(store_.Comments({4, ""}, 2)->comments.size(), 2u);

    // A picture that is not in its list gets nothing and the window no message.
    FeedRequest missing = wall;
    missing.index = 40;
    sink_.Clear();
    ASSERT_TRUE(Parse(11, std::string(answer), missing));
    EXPECT_TRUE(sink_.Events().empty());
}

TEST(DetailsTime, FormatsWithoutLeadingZerosOnTheTime)
{
    std::tm time{};
    time.tm_year = 2013 - 1900;
    time.tm_mon = 5;
    time.tm_mday = 1;
    time.tm_hour = 8;
    time.tm_min = 5;
    time.tm_sec = 9;
    EXPECT_EQ(FormatDetailsTime(time), "2013-06-01 8:5:9");
    time.tm_hour = 23;
    time.tm_min = 45;
    time.tm_sec = 10;
    EXPECT_EQ(FormatDetailsTime(time), "2013-06-01 23:45:10");

    const std::regex shape(R"(\d{4}-\d{2}-\d{2} \d{1,2}:\d{1,2}:\d{1,2})");
    EXPECT_TRUE(std::regex_match(DetailsTimeFrom("1370044800"), shape)) << DetailsTimeFrom("1370044800");
    EXPECT_EQ(DetailsTimeFrom("1370044800"), DetailsTimeFrom("1370044800xyz")) << "read like atoi";
    EXPECT_EQ(DetailsTimeFrom(""), "");
    EXPECT_EQ(DetailsTimeFrom("soon"), "");
    EXPECT_EQ(DetailsTimeFrom("99999999999999999999999"), "");
}

TEST_F(ParserTest, PictureDetailsAreStoredForTheViewer)
{
    FeedRequest request;
    request.shareId = "5001";
    ASSERT_TRUE(Parse(28, std::string(R"({"user_name":"lina","content":"c","create_time":"1370044800","uid":"7",
        "collect_count":"3","comment_count":"4","relay_count":"5"})"),
        request));
    auto details = store_.Details();
    ASSERT_TRUE(details);
    EXPECT_EQ(details->shareId, "5001");
    EXPECT_EQ(details->authorName, "lina");
    EXPECT_EQ(details->createTime, DetailsTimeFrom("1370044800"));
    EXPECT_EQ(details->ownerId, "7");
    EXPECT_EQ(details->likeCount, "3");
    EXPECT_EQ(details->commentCount, "4");
    EXPECT_EQ(details->forwardCount, "5");

    EXPECT_FALSE(Parse(28, std::string(R"({"user_name":"x","create_time":1370044800})"), request));
    EXPECT_EQ(store_.Details(), details);
    ASSERT_TRUE(Parse(28, std::string(R"({"create_time":"later"})"), request));
    EXPECT_EQ(store_.Details()->createTime, "");
}

TEST_F(LocalAnswers, HotTagsAreStoredAndEachStartsItsTagFeed)
{
    std::string text = Answer("book.php?action=c_hot_tag");
    const Json::Value tags = JsonOf(text)["tag_list"];
    ASSERT_GT(tags.size(), 1u);
    ASSERT_TRUE(Parse(21, text));
    ASSERT_EQ(store_.HotTagCount(), tags.size());
    std::vector<std::string> expected;
    for (Json::ArrayIndex i = 0; i < tags.size(); ++i) {
        EXPECT_EQ(store_.HotTag(i), tags[i]["name"].asString());
        expected.push_back("tag:" + tags[i]["name"].asString());
    }
    EXPECT_EQ(starter_.Calls(), expected);
}

TEST_F(ParserTest, HotTagsWithAWrongTypeStartNothing)
{
    EXPECT_FALSE(Parse(21, std::string(R"({"tag_list":[{"name":"a"},{"name":2}]})")));
    EXPECT_EQ(store_.HotTagCount(), 0u);
    EXPECT_TRUE(starter_.Calls().empty());
}

TEST_F(LocalAnswers, EveryAnswerOfTheServiceIsUsable)
{
    const std::string session = Session();
    struct Case {
        int kind;
        std::string path;
    };
    const std::vector<Case> cases = {
        {26, "book.php?action=c_all" + session},
        {9, "u.php?action=c_my_like" + session + "&page=1"},
        {16, "u.php?action=c_my_publish" + session + "&page=0"},
        {8, "u.php?action=c_photo&uid=1002&page=1"},
        {20, "book.php?action=c_tag&tag=HDR"},
        {23, "u.php?action=c_photo&uid=1002"},
        {10, "daren.php?action=c_daren" + session},
        {27, "daren.php?action=c_search&sear=%E9%98%BF" + session},
        {14, "u.php?action=c_follows" + session + "&page=1"},
        {24, "u.php?action=c_follows&uid=1001&uid2=1002&token=" + std::string(kDemoToken) + "&page=1"},
        {15, "u.php?action=c_fans" + session + "&page=1"},
        {29, "book.php?action=c_comment_list&id=5001"},
        {28, "book.php?action=getShareIdInfo&share_id=5001"},
    };
    for (const Case& c : cases) {
        FeedRequest request;
        request.userId = "1002";
        request.text = "HDR";
        request.shareId = "5001";
        EXPECT_TRUE(Parse(c.kind, Answer(c.path), request)) << c.kind << " " << c.path;
    }
    EXPECT_GT(store_.PictureCount({26, ""}), 0u);
    EXPECT_GT(store_.PictureCount({9, ""}), 0u);
    EXPECT_GT(store_.PictureCount({16, ""}), 0u);
    EXPECT_GT(store_.PictureCount({8, "1002"}), 0u);
    EXPECT_GT(store_.PictureCount({20, "HDR"}), 0u);
    EXPECT_GT(store_.UserCount(10), 0u);
    EXPECT_GT(store_.UserCount(27), 0u);
    EXPECT_GT(store_.UserCount(14), 0u);
    EXPECT_GT(store_.UserCount(24), 0u);
    EXPECT_GT(store_.UserCount(15), 0u);
    EXPECT_TRUE(store_.CurrentComments());
    ASSERT_TRUE(store_.Details());
    EXPECT_FALSE(store_.Details()->createTime.empty());
    UserStats stats;
    EXPECT_TRUE(store_.FindUserStats("1002", stats));
    EXPECT_NE(stats.pictures, "");
}

TEST_F(LocalAnswers, WrongTypesFromTheServiceAreRefused)
{
    ASSERT_TRUE(LocalService::SetFault("wrongtypes"));
    EXPECT_FALSE(Parse(0, Answer("book.php?action=c_cate&cate=gal")));
    EXPECT_EQ(store_.PictureCount({0, ""}), 0u);
    ASSERT_TRUE(LocalService::SetFault("badjson"));
    EXPECT_FALSE(Parse(26, Answer("book.php?action=c_all")));
    Parse(22, Answer("book.php?action=c_all_list"));
    EXPECT_EQ(sink_.Of(UM_FEED_ERROR).size(), 1u);
    LocalService::Reset();
}

TEST_F(ParserTest, ParseAnswerReadsTheStoredAnswerBack)
{
    FeedRequest request;
    request.kind = 20;
    request.text = "sea";
    EXPECT_FALSE(ParseAnswer(Context(), request)) << "nothing stored yet";
    Json::Value tagged(Json::objectValue);
    tagged["image_list"].append(Item(1));
    store_.StoreAnswer(20, "sky", Text(Json::Value(Json::objectValue)));
    store_.StoreAnswer(20, "sea", Text(tagged));
    ASSERT_TRUE(ParseAnswer(Context(), request));
    EXPECT_EQ(store_.PictureCount({20, "sea"}), 1u);
    EXPECT_EQ(store_.PictureCount({20, "sky"}), 0u);

    request.kind = 40;
    store_.StoreAnswer(40, "", "{}");
    EXPECT_FALSE(ParseAnswer(Context(), request)) << "unknown kinds are not parsed";
}
