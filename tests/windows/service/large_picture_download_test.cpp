#include "win32/large_picture_download.h"

#include "platform.h"
#include "win32/wide_text.h"
#include "window_messages.h"

#include <gtest/gtest.h>

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
        window_ = CreateWindowW(L"QuarnTestRecorder", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                windowClass.hInstance, nullptr);
        SetWindowLongPtrW(window_, GWLP_USERDATA, LONG_PTR(this));
    }
    ~MessageRecorder() { DestroyWindow(window_); }

    HWND Window() const { return window_; }

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
        while (MsgWaitForMultipleObjects(1, &until, FALSE, 60000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);
        }
    }

    std::vector<int> percents;
    std::vector<std::wstring> paths;
    int doneCount = 0;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<MessageRecorder*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && message == UM_DOWNLOAD_PROGRESS) {
            self->percents.push_back(int(wParam));
            self->paths.push_back(reinterpret_cast<const wchar_t*>(lParam));
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

} // namespace

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
