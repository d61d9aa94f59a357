#include "win32/large_picture_download.h"

#include "cache_limiter.h"
#include "platform.h"
#include "win32/wide_text.h"
#include "win32/window_downloader.h"
#include "window_messages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "local_service.h"
#include "temp_folder.h"

namespace {

// A hidden window that records the download messages it receives, pumped on
// the test thread while the download runs on a worker.
class MessageRecorder {
public:
    MessageRecorder()
    {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"QuarnTestRecorder";
        RegisterClassW(&windowClass);
        window_ = CreateWindowW(
            L"QuarnTestRecorder", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
        SetWindowLongPtrW(window_, GWLP_USERDATA, LONG_PTR(this));
    }
    ~MessageRecorder() { Destroy(); }

    HWND Window() const { return window_; }
    void Destroy()
    {
        if (window_)
            DestroyWindow(window_);
        window_ = nullptr;
    }

    // Runs the download on a worker and pumps messages until it ends.
    int Download(const std::string& url, const std::string& target)
    {
        int result = -100;
        HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::thread worker([&] {
            result = DownloadWithProgress(Widen(url), Widen(target), window_);
            SetEvent(finished);
        });
        Pump(finished);
        worker.join();
        CloseHandle(finished);
        return result;
    }

    static void Pump(HANDLE until)
    {
        while (MsgWaitForMultipleObjects(1, &until, FALSE, 60000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
            PumpPending();
    }
    static void PumpPending()
    {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }

    std::vector<int> percents;
    std::vector<std::wstring> paths;
    int doneCount = 0;
    std::function<void()> onProgress;  // runs while the download waits for the window

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<MessageRecorder*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && message == UM_DOWNLOAD_PROGRESS) {
            self->percents.push_back(int(wParam));
            self->paths.push_back(reinterpret_cast<const wchar_t*>(lParam));
            if (self->onProgress)
                self->onProgress();
            return 0;
        }
        if (self && message == UM_DOWNLOAD_DONE) {
            ++self->doneCount;
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HWND window_ = nullptr;
};

const char kBigPicture[] = "pictures/big20mb.jpg";

class LargePictureDownloadTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(LocalService::Reset()) << "local service not reachable"; }
    void TearDown() override { LocalService::Reset(); }

    std::string Target(const char* name) const { return folder_.Path("beauties_l") + "\\" + name; }
    std::string Temporary(const char* name) const { return folder_.Path("beauties_l") + "\\cache\\" + name; }

    TempFolder folder_;
    MessageRecorder recorder_;
};

}  // namespace

TEST_F(LargePictureDownloadTest, ReportsProgressAndMovesTheWholePictureIntoPlace)
{
    platform::CreateDirectoryTree(folder_.Path("beauties_l"));
    std::string target = Target("big.jpg");
    ASSERT_EQ(recorder_.Download(LocalService::BaseUrl() + kBigPicture, target), kLargeDownloadDone);

    ASSERT_FALSE(recorder_.percents.empty());
    for (std::size_t i = 1; i < recorder_.percents.size(); ++i)
        EXPECT_LE(recorder_.percents[i - 1], recorder_.percents[i]);
    EXPECT_EQ(recorder_.percents.back(), 100);
    EXPECT_EQ(recorder_.paths.front(), Widen(target));
    EXPECT_EQ(recorder_.doneCount, 1);
    EXPECT_EQ(platform::FileSize(target), std::int64_t(LocalService::Fetch(kBigPicture).size()));
    EXPECT_FALSE(platform::FileExists(Temporary("big.jpg")));

    // The target is there now: a second download leaves it alone.
    EXPECT_EQ(recorder_.Download(LocalService::BaseUrl() + kBigPicture, target), kLargeDownloadInProgress);
}

TEST_F(LargePictureDownloadTest, RefusesTargetsWithoutAFolder)
{
    EXPECT_EQ(recorder_.Download(LocalService::BaseUrl() + kBigPicture, "big.jpg"), kLargeDownloadNoFolder);
    EXPECT_TRUE(recorder_.percents.empty());
}

TEST_F(LargePictureDownloadTest, UnreachableOrFailingServerOpensNoUrl)
{
    EXPECT_EQ(recorder_.Download("http://127.0.0.1:1/pictures/x.jpg", Target("x.jpg")), kLargeDownloadUrlNotOpened);
    EXPECT_EQ(recorder_.Download(LocalService::BaseUrl() + "pictures/no-such.jpg", Target("none.jpg")),
        kLargeDownloadUrlNotOpened);
    EXPECT_FALSE(platform::FileExists(Target("none.jpg")));
    EXPECT_EQ(recorder_.doneCount, 0);
}

TEST_F(LargePictureDownloadTest, ShortDownloadLeavesNothingThatBlocksTheNextTry)
{
    ASSERT_TRUE(LocalService::SetFault("short"));
    std::string target = Target("short.jpg");
    EXPECT_EQ(recorder_.Download(LocalService::BaseUrl() + kBigPicture, target), kLargeDownloadWrongLength);
    EXPECT_FALSE(platform::FileExists(target));
    EXPECT_EQ(recorder_.doneCount, 0);

    // A temporary file left by an earlier run is stale, not a download in progress.
    LocalService::SetFault("normal");
    TempFolder::WriteAt(Temporary("short.jpg"), "partial");
    EXPECT_EQ(recorder_.Download(LocalService::BaseUrl() + kBigPicture, target), kLargeDownloadDone);
    EXPECT_EQ(platform::FileSize(target), std::int64_t(LocalService::Fetch(kBigPicture).size()));
}

TEST_F(LargePictureDownloadTest, WithoutContentLengthTheEndOfDataCounts)
{
    ASSERT_TRUE(LocalService::SetFault("nolength"));
    std::string target = Target("nolength.jpg");
    EXPECT_EQ(recorder_.Download(LocalService::BaseUrl() + kBigPicture, target), kLargeDownloadDone);
    for (int percent : recorder_.percents)
        EXPECT_EQ(percent, 0);
    EXPECT_EQ(recorder_.doneCount, 1);
    EXPECT_EQ(platform::FileSize(target), std::int64_t(LocalService::Fetch(kBigPicture).size()));
}

TEST_F(LargePictureDownloadTest, SecondRequestForTheSamePictureWaitsForTheFirst)
{
    ASSERT_TRUE(LocalService::SetFault("slow"));
    std::string target = Target("twice.jpg");
    std::string url = LocalService::BaseUrl() + kBigPicture;
    int first = -100;
    HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread worker([&] {
        first = DownloadWithProgress(Widen(url), Widen(target), nullptr);
        SetEvent(finished);
    });
    // Wait until the first download has made its temporary file.
    for (int i = 0; i < 400 && !platform::FileExists(Temporary("twice.jpg")); ++i)
        Sleep(25);
    EXPECT_EQ(DownloadWithProgress(Widen(url), Widen(target), nullptr), kLargeDownloadInProgress);
    LocalService::SetFault("normal");
    MessageRecorder::Pump(finished);
    worker.join();
    CloseHandle(finished);
    EXPECT_EQ(first, kLargeDownloadDone);
}

// The window a download reports to goes while the transfer runs (the
// program ends, say): its destruction does not wait for the worker, and the
// worker's reports to the gone window (one may be queued already) return
// at once without this thread pumping, so the worker ends with its transfer.
TEST_F(LargePictureDownloadTest, AWindowDestroyedMidDownloadNeitherWaitsNorHoldsTheWorker)
{
    ASSERT_TRUE(LocalService::SetFault("slow&delay_ms=0&rate_kbps=4096"));
    platform::CreateDirectoryTree(folder_.Path("beauties_l"));
    const std::string target = Target("gone.jpg");
    const std::string url = LocalService::BaseUrl() + kBigPicture;
    std::atomic<int> result{-100};
    HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread worker([&] {
        result = DownloadWithProgress(Widen(url), Widen(target), recorder_.Window());
        SetEvent(finished);
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (recorder_.percents.size() < 2 && std::chrono::steady_clock::now() < deadline) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MessageRecorder::PumpPending();
    }
    ASSERT_GE(recorder_.percents.size(), 2u) << "no progress reported";
    ASSERT_LT(recorder_.percents.back(), 100) << "the transfer ended before the window went";

    const auto destroying = std::chrono::steady_clock::now();
    recorder_.Destroy();
    const auto destroyMs
        = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - destroying).count();
    EXPECT_LT(destroyMs, 1000);
    const std::size_t reports = recorder_.percents.size();

    const bool ended = WaitForSingleObject(finished, 60000) == WAIT_OBJECT_0;
    EXPECT_TRUE(ended) << "the worker waits for the gone window";
    if (!ended)
        MessageRecorder::Pump(finished);
    worker.join();
    CloseHandle(finished);
    EXPECT_EQ(result.load(), kLargeDownloadDone);
    EXPECT_EQ(recorder_.percents.size(), reports);
    EXPECT_EQ(recorder_.doneCount, 0);
}

TEST_F(LargePictureDownloadTest, OnlyAPictureThatArrivedWholeIsPutInPlace)
{
    const char kPicture[] = "pictures/gal/p5001.jpg";
    const std::string picture = LocalService::Fetch(kPicture);
    ASSERT_GT(picture.size(), 1000u);
    const std::string errorPage = "<html><body><h1>Bad Request (Invalid Hostname)</h1></body></html>";
    struct Case {
        const char* name;
        const char* fault;
        const char* there;  // the target before, or null
        int result;
    };
    const Case kCases[] = {
        {"error page with status 200", "html&scope=pictures", nullptr, kLargeDownloadNotPicture},
        {"error page without a length", "html&scope=pictures&length=0", nullptr, kLargeDownloadNotPicture},
        {"cut transfer without a length", "short&scope=pictures&length=0", nullptr, kLargeDownloadNotPicture},
        {"cut picture sent whole", "truncjpeg&scope=pictures", nullptr, kLargeDownloadNotPicture},
        {"header claiming 20000 x 20000", "bomb&scope=pictures", nullptr, kLargeDownloadNotPicture},
        {"error page saved earlier", "normal", errorPage.c_str(), kLargeDownloadDone},
        {"empty file saved earlier", "normal", "", kLargeDownloadDone},
        {"whole picture without a length", "nolength", nullptr, kLargeDownloadDone},
    };
    for (const Case& c : kCases) {
        MessageRecorder recorder;
        const std::string target = Target("p.jpg");
        platform::RemoveFile(target);
        if (c.there)
            TempFolder::WriteAt(target, c.there);
        ASSERT_TRUE(LocalService::SetFault(c.fault)) << c.name;
        EXPECT_EQ(recorder.Download(LocalService::BaseUrl() + kPicture, target), c.result) << c.name;
        const bool placed = c.result == kLargeDownloadDone;
        EXPECT_EQ(TempFolder::Read(target), placed ? picture : std::string(c.there ? c.there : "")) << c.name;
        EXPECT_EQ(recorder.doneCount, placed ? 1 : 0) << c.name;
        EXPECT_FALSE(platform::FileExists(Temporary("p.jpg"))) << c.name;
    }
}

TEST_F(LargePictureDownloadTest, APictureThatCannotBeMovedIntoPlaceIsAFailure)
{
    // Something takes the target's name while the picture downloads.
    const std::string target = Target("taken.jpg");
    recorder_.onProgress = [&] { CreateDirectoryW(Widen(target).c_str(), nullptr); };
    EXPECT_EQ(recorder_.Download(LocalService::BaseUrl() + "pictures/gal/p5002.jpg", target), kLargeDownloadNotPlaced);
    EXPECT_EQ(recorder_.doneCount, 0) << "the window is not told it is there";
    EXPECT_TRUE(platform::IsDirectory(target));
    EXPECT_FALSE(platform::FileExists(Temporary("taken.jpg")));
}

TEST_F(LargePictureDownloadTest, TheWindowsLargeDownloadCountsAgainstTheCacheBound)
{
    const char kPicture[] = "pictures/gal/p5003.jpg";
    const std::string target = Target("p5003.jpg");
    platform::CreateDirectoryTree(folder_.Path("beauties_l"));
    auto limiter = std::make_shared<CacheLimiter>(folder_.Root());
    limiter->Trim();
    const std::uint64_t before = limiter->Estimate();
    WindowDownloader downloader(recorder_.Window(), limiter);
    downloader.FetchLarge(LocalService::BaseUrl() + kPicture, target);
    // The download waits for the window on every block: pump until it ends.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!downloader.WaitIdle(std::chrono::milliseconds(20)) && std::chrono::steady_clock::now() < deadline)
        MessageRecorder::PumpPending();
    ASSERT_TRUE(downloader.WaitIdle(std::chrono::milliseconds(0)));
    EXPECT_EQ(recorder_.doneCount, 1);
    EXPECT_EQ(limiter->Estimate() - before, LocalService::Fetch(kPicture).size());
}

namespace {

// The start's picture is wanted first only while the user wanted none: it
// never stops the transfer of a picture they chose. Until the window asks
// for it, its transfer tells the window nothing: the window is still being
// made, and a worker waiting on it would stall.
TEST(LargePictureWishTest, APictureWantedFirstNeverDisplacesAnotherNorWaitsOnTheWindow)
{
    struct Row {
        const char* name;
        const wchar_t* wantedBefore;  // null: nothing yet
        std::optional<bool> answer;  // WantFirst(L"home")
        const wchar_t* wantedAfter;
        bool reportsBeforeAsked;  // the wanted picture's transfer
    };
    const Row rows[] = {
        {"nothing wanted yet", nullptr, true, L"home", false},
        {"the same picture already asked for", L"home", false, L"home", true},
        {"another picture chosen", L"chosen", std::nullopt, L"chosen", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LargePictureWish wish;
        if (row.wantedBefore) {
            ASSERT_TRUE(wish.Want(row.wantedBefore));
        }
        EXPECT_EQ(wish.WantFirst(L"home"), row.answer);
        EXPECT_EQ(wish.Reports(row.wantedAfter), row.reportsBeforeAsked);
        EXPECT_TRUE(wish.KeepGoing(row.wantedAfter)) << "the wanted picture's transfer goes on";
        if (row.wantedAfter != std::wstring(L"home")) {
            EXPECT_FALSE(wish.KeepGoing(L"home"));
        }
        EXPECT_FALSE(wish.Want(row.wantedAfter)) << "the window's ask joins the transfer on its way";
        EXPECT_TRUE(wish.Reports(row.wantedAfter)) << "and hears its progress from then on";
    }
}

}  // namespace
