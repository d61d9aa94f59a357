#include "feed_keeper.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "service_harness.h"

namespace {

using std::chrono::seconds;

constexpr int kHotTags = 21;
const std::string kOld = R"({"tag_list":[{"name":"kept-tag"}]})";

// Everything in the folder besides the kept files: a write left aside.
int StrayFiles(const std::string& folder)
{
    std::error_code error;
    int stray = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("feed_", 0) != 0 || name.size() < 5 || name.substr(name.size() - 5) != ".json")
            ++stray;
    }
    return stray;
}

// The UM_FEED_OFFLINE marks posted for one kind; the tag feeds that hot tags
// start post their own.
std::vector<SinkEvent> MarksOf(const RecordingSink& sink, int kind)
{
    std::vector<SinkEvent> marks;
    for (const SinkEvent& event : sink.Of(UM_FEED_OFFLINE)) {
        if (event.b == kind)
            marks.push_back(event);
    }
    return marks;
}

struct KeepRow {
    const char* name;
    int kind;
    std::string answer;
    bool withOld;  // an answer is kept before
    bool folderBlocked;  // a file stands where the folder should be made
    bool kept;
};

TEST(FeedKeeperTest, KeepsOnlyUsableKindsAndNeverLosesTheOldAnswer)
{
    const KeepRow rows[] = {
        {"a tag feed is not kept", 20, kOld, true, false, false},
        {"an empty answer", kHotTags, "", true, false, false},
        {"an answer over the bound", kHotTags, std::string(FeedKeeper::kMaxAnswerBytes + 1, '{'), true, false, false},
        {"the folder cannot be made", kHotTags, kOld, false, true, false},
        {"a missing folder is made", kHotTags, R"({"tag_list":[]})", false, false, true},
        {"a usable answer replaces the old one", kHotTags, R"({"tag_list":[]})", true, false, true},
    };
    for (const KeepRow& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder temp;
        if (row.folderBlocked)
            temp.Write("data", "a file");
        const std::string folder = temp.Path("data") + platform::kPathSeparator + "feeds" + platform::kPathSeparator;
        const FeedKeeper keeper(folder);
        const bool hadOld = row.withOld && keeper.Keep({kHotTags, "", 0}, kOld);
        ASSERT_EQ(hadOld, row.withOld);
        EXPECT_EQ(keeper.Keep({row.kind, "", 0}, row.answer), row.kept);
        std::string loaded;
        const bool found = keeper.Load({kHotTags, "", 0}, loaded);
        EXPECT_EQ(found, row.kept || hadOld);
        if (found) {
            EXPECT_EQ(loaded, row.kept ? row.answer : kOld);
        }
        if (!row.folderBlocked) {
            EXPECT_EQ(StrayFiles(folder), 0) << "the write aside is moved over or removed";
        }
    }
}

struct LoadRow {
    const char* name;
    std::string onDisk;
    bool loads;
};

TEST(FeedKeeperTest, LoadsOnlyWhatFitsTheBound)
{
    const LoadRow rows[] = {
        {"a file over the bound", std::string(FeedKeeper::kMaxAnswerBytes + 1, 'x'), false},
        {"an empty file", "", false},
        {"a kept answer", kOld, true},
    };
    for (const LoadRow& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder temp;
        temp.Write("feed_21.json", row.onDisk);
        const FeedKeeper keeper(temp.Root() + platform::kPathSeparator);
        std::string loaded = "untouched";
        EXPECT_EQ(keeper.Load({kHotTags, "", 0}, loaded), row.loads);
        EXPECT_EQ(loaded, row.loads ? row.onDisk : "untouched");
    }
}

class FeedKeeperServiceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(LocalService::Reset()) << "local service not reachable"; }
    void TearDown() override { LocalService::Reset(); }
};

struct FetchRow {
    const char* name;
    const char* fault;
    bool offline;  // the kept answer is shown and stays
};

// The hot-tag list with a kept answer on disk, fetched from a service that
// is down, answers an error page, or answers properly.
TEST_F(FeedKeeperServiceTest, TheKeptAnswerStandsInUntilAFreshUsableOneReplacesIt)
{
    const FetchRow rows[] = {
        {"service down", "down", true},
        {"an error page", "html", true},
        {"a fresh answer", "normal", false},
    };
    for (const FetchRow& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(LocalService::SetFault(row.fault));
        ServiceHarness harness;
        auto services = std::make_shared<FeedServices>(*harness.Services());
        auto keeper = std::make_shared<FeedKeeper>(harness.folder.Path("feeds") + platform::kPathSeparator);
        ASSERT_TRUE(keeper->Keep({kHotTags, "", 0}, kOld));
        services->keeper = keeper;
        FeedFetcher(services).LoadHotTags();
        ASSERT_TRUE(harness.WaitIdle(seconds(30)));

        ASSERT_GT(harness.store->HotTagCount(), 0u);
        EXPECT_EQ(harness.store->HotTag(0) == "kept-tag", row.offline);
        const auto marks = MarksOf(*harness.sink, kHotTags);
        ASSERT_EQ(marks.size(), 1u);
        EXPECT_TRUE(marks[0].posted);
        EXPECT_EQ(marks[0].a, row.offline ? 1u : 0u);
        EXPECT_EQ(marks[0].b, kHotTags);
        std::string kept;
        ASSERT_TRUE(keeper->Load({kHotTags, "", 0}, kept));
        EXPECT_EQ(kept == kOld, row.offline) << "only a usable answer replaces the kept one";
        LocalService::Reset();
    }
}

// Every path under `root`, relative to it, with "/" between the parts.
std::set<std::string> EverythingUnder(const std::string& root)
{
    std::set<std::string> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root, error))
        found.insert(entry.path().lexically_relative(root).generic_string());
    return found;
}

struct NameRow {
    const char* name;
    KeptAnswerId id;
    std::string file;  // empty: never kept
};

TEST(FeedKeeperTest, OwnListsAreKeptOnlyUnderADigitUidAndPageAndNeverOutsideTheFolder)
{
    const NameRow rows[] = {
        {"an empty uid", {9, "", 1}, ""},
        {"a uid climbing out", {9, "../x", 1}, ""},
        {"a uid climbing out the Windows way", {16, "..\\x", 1}, ""},
        {"a uid naming a folder", {14, "1001/1002", 1}, ""},
        {"a uid with a NUL", {15, std::string("1001\0/x", 7), 1}, ""},
        {"a uid of a device", {9, "NUL", 1}, ""},
        {"a uid of wide digits", {9, "\xEF\xBC\x91\xEF\xBC\x90", 1}, ""},
        {"a uid with a space", {9, " 1001", 1}, ""},
        {"a uid one digit over the bound", {9, std::string(21, '1'), 1}, ""},
        {"a very long uid", {9, std::string(5000, '7'), 1}, ""},
        {"a very long hostile uid", {16, std::string(3000, '.') + "/x", 1}, ""},
        {"a negative page", {16, "1001", -1}, ""},
        {"a kind that is not kept", {20, "1001", 1}, ""},
        {"a kind out of range", {38, "1001", 0}, ""},
        {"the longest uid", {9, std::string(20, '9'), 3}, "feed_9_u99999999999999999999_p3.json"},
        {"liked, page 1", {9, "1001", 1}, "feed_9_u1001_p1.json"},
        {"published, page 2", {16, "1001", 2}, "feed_16_u1001_p2.json"},
        {"follows of another user", {14, "1002", 1}, "feed_14_u1002_p1.json"},
        {"fans before any answer", {15, "1001", 0}, "feed_15_u1001_p0.json"},
        {"hot tags keep their old name", {kHotTags, "", 0}, "feed_21.json"},
        {"home is the same for every user", {26, "1001", 2}, "feed_26.json"},
        {"featured users keep their old name", {10, "../x", 0}, "feed_10.json"},
        {"a category keeps its old name", {3, "", 0}, "feed_3.json"},
    };
    for (const NameRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(FeedKeeper::FileNameOf(row.id), row.file);
        TempFolder temp;
        const std::string folder = temp.Path("data") + platform::kPathSeparator + "feeds" + platform::kPathSeparator;
        const FeedKeeper keeper(folder);
        const bool kept = !row.file.empty();
        EXPECT_EQ(keeper.Keep(row.id, kOld), kept);
        const std::set<std::string> expected
            = kept ? std::set<std::string>{"data", "data/feeds", "data/feeds/" + row.file} : std::set<std::string>{};
        EXPECT_EQ(EverythingUnder(temp.Root()), expected) << "nothing written anywhere else";
        std::string loaded;
        EXPECT_EQ(keeper.Load(row.id, loaded), kept);
    }
}

struct OldFileRow {
    const char* name;
    const char* onDisk;  // the file in the folder
    KeptAnswerId id;
    bool loads;
};

TEST(FeedKeeperTest, OldOwnListFilesAndOtherUsersOrPagesAreNeverLoaded)
{
    const OldFileRow rows[] = {
        {"the old liked file, for a user", "feed_9.json", {9, "1001", 0}, false},
        {"the old liked file, without a uid", "feed_9.json", {9, "", 0}, false},
        {"the old published file", "feed_16.json", {16, "1001", 1}, false},
        {"the old follows file", "feed_14.json", {14, "1001", 1}, false},
        {"the old fans file", "feed_15.json", {15, "1001", 0}, false},
        {"another user's list", "feed_9_u1002_p1.json", {9, "1001", 1}, false},
        {"a user whose uid starts the same", "feed_9_u10011_p1.json", {9, "1001", 1}, false},
        {"another page of the list", "feed_9_u1001_p1.json", {9, "1001", 2}, false},
        {"another own list", "feed_14_u1001_p1.json", {15, "1001", 1}, false},
        {"the old shared file", "feed_21.json", {kHotTags, "", 0}, true},
        {"the user's own page", "feed_9_u1001_p1.json", {9, "1001", 1}, true},
    };
    for (const OldFileRow& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder temp;
        temp.Write(row.onDisk, kOld);
        const FeedKeeper keeper(temp.Root() + platform::kPathSeparator);
        std::string loaded = "untouched";
        EXPECT_EQ(keeper.Load(row.id, loaded), row.loads);
        EXPECT_EQ(loaded, row.loads ? kOld : "untouched");
    }
}

// Runs one request through services that keep their answers in `keeper`.
void LoadThrough(const ServiceHarness& harness, std::shared_ptr<const FeedKeeper> keeper, const FeedRequest& request)
{
    auto services = std::make_shared<FeedServices>(*harness.Services());
    services->keeper = std::move(keeper);
    FeedFetcher(services).FetchFeed(request);
    ASSERT_TRUE(harness.WaitIdle(seconds(30)));
}

FeedRequest OfKind(int kind)
{
    FeedRequest request;
    request.kind = kind;
    return request;
}

// A fresh store asks for page 0; any other page is reached the way the
// window pages: a pager, then "next".
void GoToPage(FeedStore& store, int kind, int page)
{
    if (page == 0)
        return;
    store.UpdatePager(kind, 100, 10);
    for (int at = 1; at < page; ++at)
        ASSERT_TRUE(store.NextPage(kind));
}

// What a kept answer left on screen: its text in the store, and the mark.
struct Outcome {
    bool stored = false;
    std::size_t offlineMarks = 0;  // wParam 1
    std::size_t freshMarks = 0;  // wParam 0
};

Outcome OutcomeOf(const ServiceHarness& harness, int kind)
{
    Outcome outcome;
    outcome.stored = harness.store->Answer(kind, "") != nullptr;
    for (const SinkEvent& mark : MarksOf(*harness.sink, kind))
        ++(mark.a == 1 ? outcome.offlineMarks : outcome.freshMarks);
    return outcome;
}

struct Session {
    const char* uid;  // in vlconfig.xml, and in the signed-in record
    bool signedIn;
};

// With the service answering: `kind` at `page` for `session`, kept in `keeper`.
void KeepFresh(const std::shared_ptr<const FeedKeeper>& keeper, int kind, Session session, int page = 0)
{
    SignedInScope user(session.uid, session.signedIn);
    ServiceHarness harness;
    harness.WriteConfig(session.uid, TokenOf(session.uid));
    harness.store->StoreCategory("1", "gal");
    GoToPage(*harness.store, kind, page);
    LoadThrough(harness, keeper, OfKind(kind));
    const Outcome outcome = OutcomeOf(harness, kind);
    ASSERT_TRUE(outcome.stored) << "the service answered";
    ASSERT_EQ(outcome.freshMarks, 1u);
}

// With the service down: what `kind` at `page` shows for `session`.
Outcome LoadOffline(const std::shared_ptr<const FeedKeeper>& keeper, int kind, Session session, int page = 0)
{
    SignedInScope user(session.uid, session.signedIn);
    ServiceHarness harness;
    harness.WriteConfig(session.uid, TokenOf(session.uid));
    harness.store->StoreCategory("1", "gal");
    GoToPage(*harness.store, kind, page);
    LoadThrough(harness, keeper, OfKind(kind));
    return OutcomeOf(harness, kind);
}

void ExpectShown(const Outcome& outcome, bool shown)
{
    EXPECT_EQ(outcome.stored, shown);
    EXPECT_EQ(outcome.offlineMarks, shown ? 1u : 0u) << "the mark only with a kept answer on show";
    EXPECT_EQ(outcome.freshMarks, 0u);
}

std::shared_ptr<const FeedKeeper> KeeperIn(const TempFolder& folder)
{
    return std::make_shared<const FeedKeeper>(folder.Path("feeds") + platform::kPathSeparator);
}

const Session kUserA{"1001", true};

struct AccountRow {
    const char* name;
    int kind;
    Session keptFor;  // while the service answered
    Session offline;  // while it is down
    bool shown;
};

TEST_F(FeedKeeperServiceTest, AnOwnListKeptForOneAccountNeverShowsForAnother)
{
    const AccountRow rows[] = {
        {"A's liked list while B is signed in", 9, kUserA, {"1002", true}, false},
        {"A's published list while B is signed in", 16, kUserA, {"1002", true}, false},
        {"A's follows while B is signed in", 14, kUserA, {"1002", true}, false},
        {"A's fans while B is signed in", 15, kUserA, {"1002", true}, false},
        {"A's liked list once A signed out", 9, kUserA, {"1001", false}, false},
        {"A's fans once A signed out", 15, kUserA, {"1001", false}, false},
        {"a list answered while signed out is not kept", 16, {"1001", false}, kUserA, false},
        {"A's liked list for A again", 9, kUserA, kUserA, true},
        {"A's follows for A again", 14, kUserA, kUserA, true},
    };
    for (const AccountRow& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder kept;
        const auto keeper = KeeperIn(kept);
        ASSERT_NO_FATAL_FAILURE(KeepFresh(keeper, row.kind, row.keptFor));
        ASSERT_TRUE(LocalService::SetFault("down"));
        ExpectShown(LoadOffline(keeper, row.kind, row.offline), row.shown);
        ASSERT_TRUE(LocalService::Reset());
    }
}

struct PageRow {
    const char* name;
    int kind;
    int keptPage;
    int offlinePage;
    bool shown;
};

TEST_F(FeedKeeperServiceTest, AnOwnListPageNeverShowsAnotherPagesAnswer)
{
    const PageRow rows[] = {
        {"page 2 while page 1 is kept", 16, 1, 2, false},
        {"page 1 while page 2 is kept", 16, 2, 1, false},
        {"the first request while page 2 is kept", 16, 2, 0, false},
        {"liked page 3 while page 1 is kept", 9, 1, 3, false},
        {"page 2 while page 2 is kept", 16, 2, 2, true},
        {"the first request again", 16, 0, 0, true},
    };
    for (const PageRow& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder kept;
        const auto keeper = KeeperIn(kept);
        ASSERT_NO_FATAL_FAILURE(KeepFresh(keeper, row.kind, kUserA, row.keptPage));
        ASSERT_TRUE(LocalService::SetFault("down"));
        ExpectShown(LoadOffline(keeper, row.kind, kUserA, row.offlinePage), row.shown);
        ASSERT_TRUE(LocalService::Reset());
    }
}

struct SignedOutRow {
    const char* name;
    int kind;
    bool shown;
};

// Kept while A was signed in; A signed out since, which leaves vlconfig.xml
// as it was.
TEST_F(FeedKeeperServiceTest, SignedOutOnlyTheSharedFeedsComeFromWhatWasKept)
{
    const SignedOutRow rows[] = {
        {"liked", 9, false},
        {"published", 16, false},
        {"follows", 14, false},
        {"fans", 15, false},
        {"home", 26, true},
        {"a category", 0, true},
        {"the category list", 22, true},
        {"hot tags", kHotTags, true},
        {"featured users", 10, true},
    };
    for (const SignedOutRow& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder kept;
        const auto keeper = KeeperIn(kept);
        ASSERT_NO_FATAL_FAILURE(KeepFresh(keeper, row.kind, kUserA));
        const std::set<std::string> before = EverythingUnder(kept.Root());
        ASSERT_TRUE(LocalService::SetFault("down"));
        ExpectShown(LoadOffline(keeper, row.kind, {"1001", false}), row.shown);
        EXPECT_EQ(EverythingUnder(kept.Root()), before) << "signing out deletes nothing";
        ASSERT_TRUE(LocalService::Reset());
    }
}

struct TargetRow {
    const char* name;
    int kind;
    std::string uid;  // in vlconfig.xml
    int page;
    std::string file;  // the kept name; empty: never kept
};

// The request and its kept name come from one reading of vlconfig.xml and the
// pager, so they always name the same user and page.
TEST(FeedTargetTest, TheKeptNameTakesTheUidAndPageTheUrlWasBuiltWith)
{
    const TargetRow rows[] = {
        {"a uid climbing out", 9, "../x", 1, ""},
        {"no uid at all", 16, "", 1, ""},
        {"a very long uid", 15, std::string(300, '9'), 0, ""},
        {"liked, page 2", 9, "1001", 2, "feed_9_u1001_p2.json"},
        {"published before any answer", 16, "1002", 0, "feed_16_u1002_p0.json"},
        {"follows, page 3", 14, "1003", 3, "feed_14_u1003_p3.json"},
        {"fans, page 1", 15, "1001", 1, "feed_15_u1001_p1.json"},
        {"home is the same for everyone", 26, "1001", 0, "feed_26.json"},
        {"featured users are the same for everyone", 10, "1002", 0, "feed_10.json"},
    };
    SignedInScope user("1001");
    for (const TargetRow& row : rows) {
        SCOPED_TRACE(row.name);
        ServiceHarness harness;
        harness.WriteConfig(row.uid, TokenOf(row.uid));
        GoToPage(*harness.store, row.kind, row.page);
        const FeedTarget target = FeedTargetOf(*harness.Services(), OfKind(row.kind));
        EXPECT_EQ(FeedKeeper::FileNameOf(target.kept), row.file);
        EXPECT_EQ(target.url, FeedUrl(*harness.Services(), OfKind(row.kind)));
        EXPECT_NE(target.url.find("&uid=" + row.uid + "&token="), std::string::npos) << target.url;
        if (FeedKeeper::IsOwnList(row.kind)) {
            const std::string page = "&page=" + std::to_string(row.page);
            EXPECT_EQ(target.url.substr(target.url.size() - page.size()), page);
        }
    }
}

struct HostileUidRow {
    const char* name;
    std::string uid;  // in vlconfig.xml
};

// A kept file of the old name, and one where a uid naming a path would lead,
// with the service down: neither is shown, whatever the uid.
TEST_F(FeedKeeperServiceTest, AHostileOrMissingUidShowsNothingKept)
{
    const HostileUidRow rows[] = {
        {"an empty uid", ""},
        {"a uid climbing out", "../x"},
        {"a uid climbing out the Windows way", "..\\x"},
        {"a very long uid", std::string(5000, '1')},
        {"a uid with letters", "1001abc"},
    };
    const std::string answer
        = LocalService::Fetch("u.php?action=c_my_publish&uid=1001&token=" + TokenOf("1001") + "&page=1");
    ASSERT_NE(answer.find("image_list"), std::string::npos);
    ASSERT_TRUE(LocalService::SetFault("down"));
    for (const HostileUidRow& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder kept;
        kept.Write("feeds" + std::string(1, platform::kPathSeparator) + "feed_16.json", answer);
        kept.Write("x" + std::string(1, platform::kPathSeparator) + "feed_16.json", answer);
        kept.Write("x_p0.json", answer);
        const auto keeper = std::make_shared<const FeedKeeper>(kept.Path("feeds") + platform::kPathSeparator);
        const std::set<std::string> before = EverythingUnder(kept.Root());
        SignedInScope user("1001");
        ServiceHarness harness;
        harness.WriteConfig(row.uid, TokenOf(row.uid));
        LoadThrough(harness, keeper, OfKind(16));
        ExpectShown(OutcomeOf(harness, 16), false);
        EXPECT_EQ(EverythingUnder(kept.Root()), before);
    }
}

// True once the service logged a request whose query holds `part`.
bool RequestArrives(const std::string& part)
{
    for (int tries = 0; tries < 500; ++tries) {
        for (const Json::Value& entry : LocalService::RequestLog()) {
            if (entry["query"].asString().find(part) != std::string::npos)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

struct SignOutRow {
    const char* name;
    const char* fault;  // holds the answer back until after the sign-out
    bool keptBefore;
    bool answered;  // the service's own answer reaches the store
};

// The user signs out while an own list is on its way: whatever comes back is
// neither kept nor answered from what was kept.
TEST_F(FeedKeeperServiceTest, SigningOutMidRequestKeepsAndShowsNothingOfTheOwnList)
{
    const SignOutRow rows[] = {
        {"the service goes quiet, a list was kept", "silent&hold_s=1", true, false},
        {"a usable answer arrives late", "slow&delay_ms=1000", false, true},
    };
    for (const SignOutRow& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder kept;
        const auto keeper = KeeperIn(kept);
        if (row.keptBefore) {
            ASSERT_NO_FATAL_FAILURE(KeepFresh(keeper, 16, kUserA));
        }
        const std::set<std::string> before = EverythingUnder(kept.Root());
        ASSERT_TRUE(LocalService::SetFault(row.fault));
        SignedInScope user(kUserA.uid);
        ServiceHarness harness;
        auto services = std::make_shared<FeedServices>(*harness.Services());
        services->keeper = keeper;
        FeedFetcher(services).LoadFeed(16);
        ASSERT_TRUE(RequestArrives("action=c_my_publish")) << "the request went out before the sign-out";
        SetSignedIn(false);
        ASSERT_TRUE(harness.WaitIdle(seconds(30)));
        const Outcome outcome = OutcomeOf(harness, 16);
        EXPECT_EQ(outcome.stored, row.answered) << "nothing kept on show";
        EXPECT_EQ(outcome.offlineMarks, 0u);
        EXPECT_EQ(EverythingUnder(kept.Root()), before) << "nothing kept for a signed-out user";
        ASSERT_TRUE(LocalService::Reset());
    }
}

void LoadDetails(FeedFetcher& fetcher) { fetcher.LoadPictureDetails("5001"); }
void LoadCommentsOnShow(FeedFetcher& fetcher) { fetcher.LoadCurrentComments("5005", 26); }
void LoadListComments(FeedFetcher& fetcher) { fetcher.LoadComments({26, ""}, 0); }
void LoadSceneryTag(FeedFetcher& fetcher) { fetcher.LoadTagFeed("\xE9\xA3\x8E\xE6\x99\xAF"); }
void LoadOthersPictures(FeedFetcher& fetcher) { fetcher.LoadUserPictures("1002"); }
void LoadOthersStats(FeedFetcher& fetcher) { fetcher.LoadUserStats("1002"); }
void LoadOthersFollows(FeedFetcher& fetcher) { fetcher.LoadUserFollows("1002"); }
void SearchSomeone(FeedFetcher& fetcher) { fetcher.SearchPeople("\xE9\x98\xBF"); }
void LoadLiked(FeedFetcher& fetcher) { fetcher.LoadFeed(9); }

struct ClearRow {
    const char* name;
    const char* fault;
    int kind;
    void (*load)(FeedFetcher& fetcher);
    bool cleared;
};

// The "离线" mark goes with the first usable answer of any kind, kept or not.
TEST_F(FeedKeeperServiceTest, AnyUsableAnswerTakesTheOfflineMarkAway)
{
    const ClearRow rows[] = {
        {"details, service down", "down", 28, LoadDetails, false},
        {"details, an error page", "html", 28, LoadDetails, false},
        {"comments, an error page", "html", 11, LoadListComments, false},
        {"details", "normal", 28, LoadDetails, true},
        {"the comments on show", "normal", 29, LoadCommentsOnShow, true},
        {"comments of a list picture", "normal", 11, LoadListComments, true},
        {"a tag feed", "normal", 20, LoadSceneryTag, true},
        {"another user's pictures", "normal", 8, LoadOthersPictures, true},
        {"another user's statistics", "normal", 23, LoadOthersStats, true},
        {"another user's follows", "normal", 24, LoadOthersFollows, true},
        {"a people search", "normal", 27, SearchSomeone, true},
        {"an own list", "normal", 9, LoadLiked, true},
    };
    for (const ClearRow& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(LocalService::SetFault(row.fault));
        TempFolder kept;
        SignedInScope user("1001");
        ServiceHarness harness;
        auto picture = std::make_shared<PictureRecord>();
        picture->shareId = "5005";
        harness.store->StorePicture({26, ""}, 0, picture);
        auto services = std::make_shared<FeedServices>(*harness.Services());
        services->keeper = KeeperIn(kept);
        FeedFetcher fetcher(services);
        row.load(fetcher);
        ASSERT_TRUE(harness.WaitIdle(seconds(30)));
        const Outcome outcome = OutcomeOf(harness, row.kind);
        EXPECT_EQ(outcome.freshMarks, row.cleared ? 1u : 0u);
        EXPECT_EQ(outcome.offlineMarks, 0u);
        for (const SinkEvent& mark : harness.sink->Of(UM_FEED_OFFLINE))
            EXPECT_TRUE(mark.posted);
        ASSERT_TRUE(LocalService::Reset());
    }
}

}  // namespace
