#include "cache_downloader.h"
#include "cache_limiter.h"
#include "picture_cache.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "feed_doubles.h"
#include "local_service.h"
#include "request_log.h"
#include "temp_folder.h"

namespace fs = std::filesystem;

namespace {

const char kSep = platform::kPathSeparator;

// Where a test counts requests, a connect timed out on a busy machine would
// drop one: a long connect time-out keeps it out.
const TransferLimits kPatientLimits = {20000, 1, 20};

// Writes `bytes` bytes and dates the file `minutesAgo` back.
std::string Put(const TempFolder& folder, const std::string& name, std::size_t bytes, int minutesAgo)
{
    std::string path = folder.Write(name, std::string(bytes, 'x'));
    fs::last_write_time(fs::u8path(path), fs::file_time_type::clock::now() - std::chrono::minutes(minutesAgo));
    return path;
}

}  // namespace

TEST(CacheLimiter, LeavesACacheUnderItsBoundAlone)
{
    TempFolder folder;
    Put(folder, "a.jpg", 400, 10);
    Put(folder, "b.jpg", 400, 5);
    CacheLimiter limiter(folder.Root(), 1000);
    CacheLimiter::TrimReport report = limiter.Trim();
    EXPECT_TRUE(report.ran);
    EXPECT_EQ(report.before, 800u);
    EXPECT_EQ(report.removed, 0);
    EXPECT_TRUE(platform::FileExists(folder.Path("a.jpg")));
}

TEST(CacheLimiter, RemovesTheLeastRecentlyUsedFilesFirst)
{
    TempFolder folder;
    platform::CreateDirectoryTree(folder.Path("beauties"));
    std::string oldest = Put(folder, std::string("beauties") + kSep + "1.jpg", 300, 50);
    std::string older = Put(folder, std::string("beauties") + kSep + "2.jpg", 300, 40);
    std::string old = Put(folder, "3.jpg", 300, 30);
    std::string recent = Put(folder, "4.jpg", 300, 1);
    CacheLimiter limiter(folder.Root(), 1000);  // keeps at most 900 after a trim

    limiter.NoteUse(oldest);  // just used: now the most recent
    CacheLimiter::TrimReport report = limiter.Trim();
    EXPECT_EQ(report.before, 1200u);
    EXPECT_EQ(report.after, 900u);
    EXPECT_EQ(report.removed, 1);
    EXPECT_TRUE(platform::FileExists(oldest));
    EXPECT_FALSE(platform::FileExists(older));
    EXPECT_TRUE(platform::FileExists(old));
    EXPECT_TRUE(platform::FileExists(recent));
}

// A use renews an older file's time but leaves one used within the minute
// as it is: a worker decoding it ahead must not see it change under it.
TEST(CacheLimiter, AUseRenewsOnlyAFileNotUsedWithinTheMinute)
{
    struct Row {
        const char* name;
        int minutesAgo;
        bool renewed;
    };
    const Row rows[] = {
        {"just written", 0, false},
        {"an hour old", 60, true},
        {"dated in the future", -60, true},
    };
    TempFolder folder;
    CacheLimiter limiter(folder.Root(), 1000);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = Put(folder, std::string(row.name) + ".jpg", 10, row.minutesAgo);
        const auto before = fs::last_write_time(fs::u8path(path));
        limiter.NoteUse(path);
        const auto after = fs::last_write_time(fs::u8path(path));
        EXPECT_EQ(after != before, row.renewed);
        if (row.renewed) {
            EXPECT_LT(fs::file_time_type::clock::now() - after, std::chrono::minutes(1));
        }
    }
    limiter.NoteUse(folder.Path("missing.jpg"));  // a file gone meanwhile is no fault
}

TEST(CacheLimiter, NeverRemovesPinnedFilesOrDownloadsInProgress)
{
    TempFolder folder;
    platform::CreateDirectoryTree(folder.Path("beauties_l") + kSep + "cache");
    std::string shown = Put(folder, "shown.jpg", 500, 60);
    std::string writing = Put(folder, "t.jpg.part-1-1", 500, 50);
    std::string large = Put(folder, std::string("beauties_l") + kSep + "cache" + kSep + "big.jpg", 500, 45);
    std::string stale = Put(folder, "left.jpg.part-9-9", 500, 600);
    std::string plain = Put(folder, "plain.jpg", 500, 40);
    std::string fresh = Put(folder, "fresh.jpg", 500, 1);
    CacheLimiter limiter(folder.Root(), 1000);
    {
        CacheLimiter::Pin pin = limiter.PinFile(shown);
        CacheLimiter::TrimReport report = limiter.Trim();
        EXPECT_EQ(report.before, 3000u);
        EXPECT_TRUE(platform::FileExists(shown)) << "on show";
        EXPECT_TRUE(platform::FileExists(writing)) << "being written";
        EXPECT_TRUE(platform::FileExists(large)) << "large picture being written";
        EXPECT_FALSE(platform::FileExists(stale)) << "a leftover is removed";
        EXPECT_FALSE(platform::FileExists(plain));
        EXPECT_FALSE(platform::FileExists(fresh)) << "still over the bound";
    }
    limiter.Trim();
    EXPECT_FALSE(platform::FileExists(shown)) << "removable once unpinned";
}

TEST(CacheLimiter, WrittenBytesTriggerATrimOncePastTheBound)
{
    TempFolder folder;
    std::string first = Put(folder, "1.jpg", 600, 30);
    CacheLimiter limiter(folder.Root(), 1000);
    limiter.NoteWritten(0);  // the first note scans
    EXPECT_TRUE(platform::FileExists(first));
    Put(folder, "2.jpg", 600, 1);
    limiter.NoteWritten(600);
    EXPECT_FALSE(platform::FileExists(first));
    EXPECT_TRUE(platform::FileExists(folder.Path("2.jpg")));
}

class CacheDownloaderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(LocalService::Reset()) << "local service not reachable"; }
    void TearDown() override { LocalService::Reset(); }

    static int RequestsFor(const std::string& pathPart) { return CountRequests(pathPart); }
    static std::string Thumbnail(int shareId)
    {
        return LocalService::BaseUrl() + "pictures/gal/p" + std::to_string(shareId) + "_160x160.jpg";
    }

    TempFolder folder_;
};

TEST_F(CacheDownloaderTest, DownloadsOnceAndSkipsValidFiles)
{
    CacheDownloader downloader(nullptr, {2000, 1, 5});
    std::string target = folder_.Path("p5001_160x160.jpg");
    for (int i = 0; i < 5; ++i)
        downloader.FetchIfMissing(Thumbnail(5001), target);  // at once: one download
    ASSERT_TRUE(downloader.WaitIdle(std::chrono::seconds(20)));
    EXPECT_GT(platform::FileSize(target), 0);
    EXPECT_TRUE(IsValidCachedFile(target));
    EXPECT_EQ(RequestsFor("p5001_160x160"), 1);

    downloader.FetchIfMissing(Thumbnail(5001), target);
    ASSERT_TRUE(downloader.WaitIdle(std::chrono::seconds(20)));
    EXPECT_EQ(RequestsFor("p5001_160x160"), 1) << "a valid file is not fetched again";

    downloader.FetchAlways(Thumbnail(5001), target);
    ASSERT_TRUE(downloader.WaitIdle(std::chrono::seconds(20)));
    EXPECT_EQ(RequestsFor("p5001_160x160"), 2);

    downloader.FetchAlways("", folder_.Path("none.jpg"));
    ASSERT_TRUE(downloader.WaitIdle(std::chrono::seconds(20)));
    EXPECT_FALSE(platform::FileExists(folder_.Path("none.jpg")));
}

// The cache's folders may be cleared while the lists that name their files
// stay in memory: a download makes the folder again.
TEST_F(CacheDownloaderTest, AFolderThatWentIsMadeAgain)
{
    CacheDownloader downloader(nullptr, {2000, 1, 5});
    const std::string sep(1, platform::kPathSeparator);
    struct Row {
        const char* what;
        std::string target;
    } rows[] = {
        {"one folder gone", folder_.Path("beauties" + sep + "p5002_160x160.jpg")},
        {"two levels gone", folder_.Path("image" + sep + "beauties" + sep + "p5002_160x160.jpg")},
    };
    for (const Row& row : rows) {
        downloader.FetchIfMissing(Thumbnail(5002), row.target);
        ASSERT_TRUE(downloader.WaitIdle(std::chrono::seconds(20))) << row.what;
        EXPECT_TRUE(IsValidCachedFile(row.target)) << row.what;
    }
}

TEST_F(CacheDownloaderTest, AFreshDownloadAskedForMeanwhileRunsOnceAfterTheCurrentOne)
{
    // One download at a time. p5001 is slow and runs; the rows' pictures are
    // asked for while it, or their own first download, is on its way.
    struct Case {
        const char* name;
        int picture;
        bool validCopyThere;
        const char* calls;  // M: if missing, A: always; the first one starts at once
        int requests;
    };
    const Case kCases[] = {
        {"fresh while running", 5001, false, "AAAA", 2},
        {"if missing while running", 5001, false, "AMM", 1},
        {"fresh while waiting", 5002, true, "MAA", 1},
        {"if missing while waiting", 5003, true, "MM", 0},
    };
    for (const Case& c : kCases) {
        ASSERT_TRUE(LocalService::Reset());
        ASSERT_TRUE(LocalService::SetFault("slow&match=p5001_&count=1&delay_ms=500"));
        CacheDownloader downloader(nullptr, kPatientLimits, 1);
        std::string target = folder_.Path(std::string("t") + std::to_string(c.picture) + ".jpg");
        platform::RemoveFile(target);
        if (c.validCopyThere)
            folder_.Write(
                "t" + std::to_string(c.picture) + ".jpg", LocalService::Fetch("pictures/gal/p5009_160x160.jpg"));
        if (c.picture != 5001)
            downloader.FetchAlways(Thumbnail(5001), folder_.Path("slow.jpg"));
        for (const char* call = c.calls; *call; ++call) {
            if (*call == 'A')
                downloader.FetchAlways(Thumbnail(c.picture), target);
            else
                downloader.FetchIfMissing(Thumbnail(c.picture), target);
        }
        ASSERT_TRUE(downloader.WaitIdle(std::chrono::seconds(20))) << c.name;
        EXPECT_EQ(RequestsFor("p" + std::to_string(c.picture) + "_160x160"), c.requests) << c.name;
        EXPECT_TRUE(IsValidCachedFile(target)) << c.name;
    }
}

TEST_F(CacheDownloaderTest, TheBoundCountsOnlyWhatADownloadReallyWrote)
{
    const std::string picture = LocalService::Fetch("pictures/gal/p5004_160x160.jpg");
    ASSERT_FALSE(picture.empty());
    struct Case {
        const char* name;
        const char* fault;
        const char* file;  // below pictures/gal/
        bool fresh;  // FetchAlways, else FetchIfMissing
        bool copyThere;
        std::uint64_t counted;
    };
    const Case kCases[] = {
        {"error page instead of the picture", "html&scope=pictures", "p5004_160x160.jpg", true, true, 0},
        {"picture gone", "normal", "p9999_160x160.jpg", true, true, 0},
        {"cut transfer", "short&scope=pictures", "p5004_160x160.jpg", true, true, 0},
        {"the same picture again", "normal", "p5004_160x160.jpg", true, true, 0},
        {"a new picture", "normal", "p5004_160x160.jpg", false, false, picture.size()},
    };
    for (const Case& c : kCases) {
        TempFolder folder;
        std::string target = folder.Path("t.jpg");
        if (c.copyThere)
            folder.Write("t.jpg", picture);
        ASSERT_TRUE(LocalService::SetFault(std::string(c.fault)));
        auto limiter = std::make_shared<CacheLimiter>(folder.Root());
        limiter->Trim();
        const std::uint64_t before = limiter->Estimate();
        CacheDownloader downloader(limiter, kPatientLimits);
        const std::string url = LocalService::BaseUrl() + "pictures/gal/" + c.file;
        if (c.fresh)
            downloader.FetchAlways(url, target);
        else
            downloader.FetchIfMissing(url, target);
        ASSERT_TRUE(downloader.WaitIdle(std::chrono::seconds(20))) << c.name;
        EXPECT_EQ(limiter->Estimate() - before, c.counted) << c.name;
        EXPECT_EQ(TempFolder::Read(target), picture) << c.name;
    }
}

// An address from an answer that is not plainly http or https is never
// fetched, and what the target held stays.
TEST_F(CacheDownloaderTest, AddressesOfOtherKindsLeaveTheTargetAsItWas)
{
    static const char kLocalPicture[] = "\xff\xd8\xff\xe0\0\x10JFIF a local picture";
    const std::string picture(kLocalPicture, sizeof kLocalPicture - 1);
    const std::string source = TempFolder::FileUrl(folder_.Write("source.jpg", picture));
    const std::string avatar = LocalService::BaseUrl() + "avatars/u1001.jpg";
    struct Row {
        const char* name;
        std::string url;
        int requests;  // that reach the service
    };
    const Row kRows[] = {
        {"local file", source, 0},
        {"local file, scheme in capitals", "FILE" + source.substr(4), 0},
        {"redirect to a local file", LocalService::BaseUrl() + "redirect?to=" + source, 2},
        {"leading space", " " + avatar, 0},
        {"no host", "http:///avatars/u1001.jpg", 0},
    };
    for (const Row& row : kRows) {
        LocalService::Reset();
        const std::string target = folder_.Write("target.jpg", "old");
        auto sink = std::make_shared<RecordingSink>();
        CacheDownloader downloader(nullptr, kPatientLimits, 2, sink);
        std::atomic<int> replaced{-1};
        downloader.FetchAlwaysThen(row.url, target, [&replaced](bool done) { replaced = done ? 1 : 0; });
        downloader.FetchIfMissing(row.url, folder_.Path("missing.jpg"));
        ASSERT_TRUE(downloader.WaitIdle(std::chrono::seconds(20))) << row.name;
        EXPECT_EQ(replaced, 0) << row.name;
        EXPECT_EQ(TempFolder::Read(target), "old") << row.name;
        EXPECT_FALSE(platform::FileExists(folder_.Path("missing.jpg"))) << row.name;
        EXPECT_TRUE(sink->Of(UM_PICTURE_ARRIVED).empty()) << row.name;
        EXPECT_EQ(int(LocalService::RequestLog().size()), row.requests) << row.name;
    }
}

TEST_F(CacheDownloaderTest, OnlyAPicturePutInPlaceIsPostedWithItsTargetsKey)
{
    const std::string picture = LocalService::Fetch("pictures/gal/p5004_160x160.jpg");
    ASSERT_FALSE(picture.empty());
    struct Case {
        const char* name;
        const char* fault;
        const char* file;  // below pictures/gal/
        bool fresh;  // FetchAlways, else FetchIfMissing
        bool copyThere;
        bool posted;
    };
    const Case kCases[] = {
        {"picture gone", "normal", "p9999_160x160.jpg", true, false, false},
        {"error page instead of the picture", "html&scope=pictures", "p5004_160x160.jpg", true, false, false},
        {"cut transfer", "short&scope=pictures", "p5004_160x160.jpg", true, false, false},
        {"a valid copy there", "normal", "p5004_160x160.jpg", false, true, false},
        {"a new picture", "normal", "p5004_160x160.jpg", false, false, true},
        {"a fresh copy over the old one", "normal", "p5004_160x160.jpg", true, true, true},
    };
    for (const Case& c : kCases) {
        TempFolder folder;
        const std::string target = folder.Path("t.jpg");
        if (c.copyThere)
            folder.Write("t.jpg", picture);
        ASSERT_TRUE(LocalService::SetFault(std::string(c.fault)));
        auto sink = std::make_shared<RecordingSink>();
        CacheDownloader downloader(nullptr, kPatientLimits, 2, sink);
        const std::string url = LocalService::BaseUrl() + "pictures/gal/" + c.file;
        if (c.fresh)
            downloader.FetchAlways(url, target);
        else
            downloader.FetchIfMissing(url, target);
        ASSERT_TRUE(downloader.WaitIdle(std::chrono::seconds(20))) << c.name;
        const std::vector<SinkEvent> posts = sink->Of(UM_PICTURE_ARRIVED);
        ASSERT_EQ(posts.size(), c.posted ? 1u : 0u) << c.name;
        if (c.posted) {
            EXPECT_TRUE(posts[0].posted) << c.name;
            EXPECT_EQ(posts[0].a, LandedPictureKey(target)) << c.name;
            EXPECT_NE(posts[0].a, LandedPictureKey(folder.Path("u.jpg"))) << c.name;
        }
    }
}

TEST_F(CacheDownloaderTest, APictureOnShowStaysWhileItsHoldLives)
{
    auto limiter = std::make_shared<CacheLimiter>(folder_.Root(), 500);
    auto downloader = std::make_shared<CacheDownloader>(limiter);
    std::string shown = Put(folder_, "shown.jpg", 600, 60);
    std::string other = Put(folder_, "other.jpg", 300, 1);
    PictureHold hold = downloader->HoldPicture(shown);
    ASSERT_TRUE(hold);
    limiter->Trim();
    EXPECT_TRUE(platform::FileExists(shown)) << "on show, though the bound is passed";
    EXPECT_FALSE(platform::FileExists(other));

    downloader.reset();
    limiter.reset();
    hold.reset();  // the hold kept the limiter alive
    EXPECT_FALSE(CacheDownloader(nullptr).HoldPicture(shown)) << "no bound, nothing to hold";
}

TEST_F(CacheDownloaderTest, QueuedDownloadsAllFinishAndKeepTheCacheBounded)
{
    std::string probe = LocalService::Fetch("pictures/gal/p5001_160x160.jpg");
    ASSERT_FALSE(probe.empty());
    const int before = RequestsFor("_160x160");
    // Room for about three thumbnails.
    auto limiter = std::make_shared<CacheLimiter>(folder_.Root(), probe.size() * 3 + probe.size() / 2);
    CacheDownloader downloader(limiter, {2000, 1, 5}, 2);
    for (int id = 5001; id <= 5010; ++id)
        downloader.FetchIfMissing(Thumbnail(id), folder_.Path("t" + std::to_string(id) + ".jpg"));
    ASSERT_TRUE(downloader.WaitIdle(std::chrono::seconds(30)));
    EXPECT_EQ(RequestsFor("_160x160") - before, 10);
    CacheLimiter::TrimReport report = limiter->Trim();
    EXPECT_LE(report.before, limiter->Bound());
    EXPECT_GE(report.before, probe.size());
}

// A queue allowed more downloads at once than the transfer thread keeps
// connections to one host gets them all on their way together.
TEST_F(CacheDownloaderTest, AQueueOfManyAtATimeIsNotHeldToFewerConnections)
{
    const int parallel = 12;
    ASSERT_TRUE(LocalService::SetFault("slow&scope=pictures&delay_ms=800"));
    CacheDownloader downloader(nullptr, kPatientLimits, parallel);
    for (int id = 5001; id < 5001 + parallel; ++id)
        downloader.FetchAlways(Thumbnail(id), folder_.Path("w" + std::to_string(id) + ".jpg"));
    ASSERT_TRUE(downloader.WaitIdle(std::chrono::seconds(30)));
    EXPECT_EQ(RequestsFor("_160x160"), parallel);
    EXPECT_EQ(LocalService::ConnectionsServed(), parallel) << "each held answer on a connection of its own";
}

// Worker threads that cannot start (a 32-bit process out of address space,
// say) fail their downloads at once and leave no mark behind: once threads
// start again, every download runs and every caller hears back.
TEST_F(CacheDownloaderTest, AWorkerThatCannotStartFailsItsDownloadAndLeavesNoMark)
{
    enum class AskMeanwhile { nothing, sameAgain, otherPicture };
    struct Row {
        const char* name;
        const char* starts;  // one per thread start, '-' fails, '+' starts; then all start
        int maxParallel;
        AskMeanwhile meanwhile;  // asked for from inside each failing start
    };
    const Row kRows[] = {
        {"every start fails for a while, one worker", "----", 1, AskMeanwhile::nothing},
        {"a fresh copy asked for while its start fails", "--", 1, AskMeanwhile::sameAgain},
        {"another picture waits behind the failing start", "---", 1, AskMeanwhile::otherPicture},
        {"as many failures as workers", "--", 2, AskMeanwhile::nothing},
        {"failures between starts", "+-+-", 2, AskMeanwhile::otherPicture},
        {"threads start", "+", 2, AskMeanwhile::nothing},
    };
    for (const Row& row : kRows) {
        struct Starts {
            std::string outcomes;
            std::atomic<std::size_t> calls{0};
            std::atomic<int> failures{0};
            std::function<void()> onFailure;
        };
        auto starts = std::make_shared<Starts>();
        starts->outcomes = row.starts;
        auto starter = [starts](std::function<void()> work) {
            const std::size_t call = starts->calls++;
            if (call < starts->outcomes.size() && starts->outcomes[call] == '-') {
                ++starts->failures;
                if (starts->onFailure)
                    starts->onFailure();
                return false;
            }
            return platform::StartDetachedThread(std::move(work));
        };
        TempFolder folder;
        CacheDownloader downloader(nullptr, kPatientLimits, row.maxParallel, nullptr, starter);
        std::atomic<int> heardTrue{0};
        std::atomic<int> heardFalse{0};
        auto hear = [&heardTrue, &heardFalse](bool replaced) { ++(replaced ? heardTrue : heardFalse); };
        int asked = 0;
        std::string current;
        auto ask = [&](const std::string& target) {
            ++asked;
            downloader.FetchAlwaysThen(Thumbnail(5001 + asked % 10), target, hear);
        };
        starts->onFailure = [&] {
            if (row.meanwhile == AskMeanwhile::sameAgain)
                ask(current);
            if (row.meanwhile == AskMeanwhile::otherPicture)
                ask(folder.Path("other" + std::to_string(asked) + ".jpg"));
        };
        // Each ask meets an idle downloader, so each one starts a thread.
        for (std::size_t i = 0; i < std::strlen(row.starts); ++i) {
            current = folder.Path("first" + std::to_string(i) + ".jpg");
            ask(current);
            ASSERT_TRUE(downloader.WaitIdle(std::chrono::seconds(20))) << row.name;
        }
        starts->onFailure = nullptr;
        const int failedStarts = starts->failures;
        EXPECT_EQ(failedStarts, int(std::count(row.starts, row.starts + std::strlen(row.starts), '-'))) << row.name;
        const int failedDownloads = failedStarts * (row.meanwhile == AskMeanwhile::sameAgain ? 2 : 1);
        EXPECT_EQ(heardFalse, failedDownloads) << row.name;
        EXPECT_EQ(heardTrue, asked - failedDownloads) << row.name;

        // Threads start again: more downloads than workers, all at once.
        heardTrue = 0;
        heardFalse = 0;
        std::vector<std::string> later;
        for (int i = 0; i < 2 * row.maxParallel + 1; ++i) {
            later.push_back(folder.Path("later" + std::to_string(i) + ".jpg"));
            ask(later.back());
        }
        ASSERT_TRUE(downloader.WaitIdle(std::chrono::seconds(20))) << row.name;
        EXPECT_EQ(heardTrue, int(later.size())) << row.name;
        EXPECT_EQ(heardFalse, 0) << row.name;
        for (const std::string& target : later)
            EXPECT_TRUE(IsValidCachedFile(target)) << row.name << ": " << target;
    }
}
