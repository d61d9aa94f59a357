#include "feed_keeper.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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
        const bool hadOld = row.withOld && keeper.Keep(kHotTags, kOld);
        ASSERT_EQ(hadOld, row.withOld);
        EXPECT_EQ(keeper.Keep(row.kind, row.answer), row.kept);
        std::string loaded;
        const bool found = keeper.Load(kHotTags, loaded);
        EXPECT_EQ(found, row.kept || hadOld);
        if (found)
            EXPECT_EQ(loaded, row.kept ? row.answer : kOld);
        if (!row.folderBlocked)
            EXPECT_EQ(StrayFiles(folder), 0) << "the write aside is moved over or removed";
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
        EXPECT_EQ(keeper.Load(kHotTags, loaded), row.loads);
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
        ASSERT_TRUE(keeper->Keep(kHotTags, kOld));
        services->keeper = keeper;
        FeedFetcher(services).LoadHotTags();
        ASSERT_TRUE(harness.WaitIdle(seconds(30)));

        ASSERT_GT(harness.store->HotTagCount(), 0u);
        EXPECT_EQ(harness.store->HotTag(0) == "kept-tag", row.offline);
        const auto marks = harness.sink->Of(UM_FEED_OFFLINE);
        ASSERT_EQ(marks.size(), 1u);
        EXPECT_TRUE(marks[0].posted);
        EXPECT_EQ(marks[0].a, row.offline ? 1u : 0u);
        EXPECT_EQ(marks[0].b, kHotTags);
        std::string kept;
        ASSERT_TRUE(keeper->Load(kHotTags, kept));
        EXPECT_EQ(kept == kOld, row.offline) << "only a usable answer replaces the kept one";
        LocalService::Reset();
    }
}

}  // namespace
