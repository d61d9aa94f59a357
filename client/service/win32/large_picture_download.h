#pragma once
#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

class CacheLimiter;
class WorkTracker;

// Outcomes of DownloadWithProgress.
enum LargeDownloadResult : int {
    kLargeDownloadDone = 0,
    kLargeDownloadNoSession = 1,
    kLargeDownloadUrlNotOpened = 2,
    kLargeDownloadInProgress = 3,  // or the target already holds a valid picture
    kLargeDownloadNoFolder = 4,
    kLargeDownloadWrongLength = 5,
    kLargeDownloadNotPicture = 6,  // an error page, or without a length a picture cut short
    kLargeDownloadNotPlaced = 7,  // no temporary file, or it could not replace the target
    kLargeDownloadLeft = 8,  // the viewer moved on to another picture
    kLargeDownloadReadError = -1,
};

// The one large picture the viewer wants now. A transfer of any other stops
// at its next block (or before it asks at all), so stepping through thirty
// pictures runs one or two transfers, and the picture on screen never waits
// behind the ones the user left. Shared by the UI thread and the transfers.
class LargePictureWish {
public:
    // Makes `target` the wanted picture. True when its transfer is to start;
    // false when one of it runs already (it simply goes on).
    bool Want(const std::wstring& target);
    // The same, but only while no picture has been wanted yet: the start's
    // picture, asked for before the viewer does, never displaces one the
    // user chose. Empty when another picture came first.
    std::optional<bool> WantFirst(const std::wstring& target);
    // Whether the transfer of `target` tells the window its progress: not
    // while it was only wanted first, for the window then is still being
    // made and a worker waiting on it would stall the transfer.
    bool Reports(const std::wstring& target);
    // Between blocks of the transfer of `target`: false once another picture
    // is wanted, and the transfer then counts as ended.
    bool KeepGoing(const std::wstring& target);
    // Before the transfer asks: while the user steps quickly, a picture is
    // asked for only once it has stayed wanted a moment. False when another
    // came meanwhile.
    bool AwaitSettled(const std::wstring& target);
    void Ended(const std::wstring& target);

private:
    using Clock = std::chrono::steady_clock;
    std::mutex lock_;
    std::wstring wanted_;
    bool wantedFirstOnly_ = false;  // by WantFirst, and the window has not asked since
    std::set<std::wstring> running_;
    Clock::time_point lastWant_{};
    Clock::time_point settledAt_{};
};

// Downloads a large picture through WinINet, honouring the system's proxy
// settings. Writes into "<folder>\cache\<name>" first and moves it over the
// target only when every announced byte arrived and the content is a picture
// (without a Content-Length: a whole one); sends UM_DOWNLOAD_PROGRESS per
// block and, once the picture is in place, UM_DOWNLOAD_DONE to `window`. A
// target that is no valid picture (an error page saved earlier) is replaced.
// With a wish, it stops as soon as another picture is wanted. `placed`, when
// given, runs once the picture is in place, before the window is told: that
// waits for the window's thread.
int DownloadWithProgress(const std::wstring& url, const std::wstring& targetPath, HWND window,
    LargePictureWish* wish = nullptr, const std::function<void()>& placed = nullptr);

// How a large picture becomes the wanted one: in place of any other, or only
// when none was wanted yet.
enum class LargeWant { displacing, first };

// Starts DownloadWithProgress on a worker of its own unless the target is
// already a valid picture (or, wanted first only, another picture is wanted);
// returns 0 at once. With a limiter the target is
// pinned while it downloads and counted against the cache bound when in
// place; the tracker, when given, counts the worker. `there`, when given,
// runs once the target is a valid picture: at once when it already was,
// else on the worker as soon as this transfer placed it.
int FetchLargePicture(const std::string& url, const std::string& targetPath, HWND window,
    std::shared_ptr<CacheLimiter> limiter = nullptr, std::shared_ptr<WorkTracker> tracker = nullptr,
    std::shared_ptr<LargePictureWish> wish = nullptr, LargeWant how = LargeWant::displacing,
    std::function<void()> there = nullptr);

// The same for a picture wanted next: no window is told of its progress and
// no wish stops it. `done` runs on the worker once it ended (at once when the
// target is already a valid picture), told whether this transfer placed it.
void FetchLargePictureAhead(const std::string& url, const std::string& targetPath,
    std::shared_ptr<CacheLimiter> limiter, std::shared_ptr<WorkTracker> tracker, std::function<void(bool placed)> done);
