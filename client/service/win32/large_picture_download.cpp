#include "large_picture_download.h"

#include "../cache_limiter.h"
#include "../http_transport.h"
#include "../picture_format.h"
#include "../platform.h"
#include "../window_messages.h"
#include "../work_tracker.h"
#include "wide_text.h"
#include "win32kit/scoped_win.h"

#include <wininet.h>

#include <memory>
#include <mutex>
#include <set>
#include <thread>

namespace {

const wchar_t kRequestHeaders[] =
    L"Accept: */*\r\nAccept-Language: zh-cn\r\nAccept-Encoding: gzip, deflate\r\n"
    L"User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0; MyIE2; .NET CLR 1.1.4322)";
// Large reads: under Wine every read is a round trip to the server process,
// and a 16 KiB block made the download four times slower.
const DWORD kReadBlock = 256 * 1024;

struct InternetCloser {
    void operator()(void* handle) const { InternetCloseHandle(static_cast<HINTERNET>(handle)); }
};
using InternetHandle = std::unique_ptr<void, InternetCloser>;

// Targets being downloaded now. A temporary file whose target is not listed
// here was left by a download that ended short, and is simply replaced.
class DownloadsInProgress {
public:
    bool Claim(const std::wstring& target)
    {
        std::lock_guard<std::mutex> guard(lock_);
        return targets_.insert(target).second;
    }
    void Release(const std::wstring& target)
    {
        std::lock_guard<std::mutex> guard(lock_);
        targets_.erase(target);
    }

private:
    std::mutex lock_;
    std::set<std::wstring> targets_;
};

DownloadsInProgress& InProgress()
{
    // Never destroyed: a detached worker may still use it while the
    // program's statics are destroyed at exit.
    static DownloadsInProgress& downloads = *new DownloadsInProgress;
    return downloads;
}

class ClaimGuard {
public:
    explicit ClaimGuard(const std::wstring& target) : target_(target), claimed_(InProgress().Claim(target)) {}
    // A transfer of the same target that was just told to stop lets go of it
    // in a moment: waited for, boundedly, while `stillWanted` holds.
    template <typename StillWanted>
    ClaimGuard(const std::wstring& target, StillWanted stillWanted) : ClaimGuard(target)
    {
        for (int tries = 0; !claimed_ && tries < 50 && stillWanted(); ++tries) {
            Sleep(20);
            claimed_ = InProgress().Claim(target_);
        }
    }
    ~ClaimGuard()
    {
        if (claimed_)
            InProgress().Release(target_);
    }
    bool Claimed() const { return claimed_; }

private:
    std::wstring target_;
    bool claimed_;
};

// The proxy is the one service requests take for this URL, so both kinds of
// transfer go the same way whatever the settings (WinINet's own reading
// ignores discovery and scripts in this mode, and Wine's ignores the proxy).
HINTERNET OpenSession(const std::wstring& url)
{
    std::string noProxy;
    const std::wstring proxy = Widen(platform::SystemProxyFor(Narrow(url), noProxy));
    const DWORD access = proxy.empty() ? INTERNET_OPEN_TYPE_DIRECT : INTERNET_OPEN_TYPE_PROXY;
    // "<-loopback>": the decision above is final, loopback included.
    const wchar_t* bypass = proxy.empty() ? nullptr : L"<-loopback>";
    wchar_t agent[64];
    wsprintfW(agent, L"Agent%ld", long(GetTickCount()));
    HINTERNET session = InternetOpenW(agent, access, proxy.empty() ? nullptr : proxy.c_str(), bypass, 0);
    if (!session)
        return nullptr;
    // A server that connects and then stays silent must not hold the worker forever.
    DWORD connectTimeout = 10000;
    DWORD receiveTimeout = 30000;
    InternetSetOptionW(session, INTERNET_OPTION_CONNECT_TIMEOUT, &connectTimeout, sizeof connectTimeout);
    InternetSetOptionW(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &receiveTimeout, sizeof receiveTimeout);
    return session;
}

bool IsSuccessStatus(HINTERNET request)
{
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        return true;  // not HTTP (a file: URL, say): nothing to judge
    return status >= 200 && status < 300;
}

// 0 when the server does not say.
DWORD ContentLength(HINTERNET request)
{
    DWORD length = 0;
    DWORD size = sizeof length;
    if (!HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size, nullptr))
        return 0;
    return length;
}

int Percent(unsigned long long received, DWORD announced)
{
    if (announced == 0)
        return 0;
    double percent = double(received) / double(announced) * 100.0;
    return percent > 100.0 ? 100 : int(percent);
}

// A transfer the viewer moved away from ends where it is; its temporary file
// goes with it.
class WishGuard {
public:
    WishGuard(LargePictureWish* wish, const std::wstring& target) : wish_(wish), target_(target) {}
    ~WishGuard()
    {
        if (wish_ && !left_)
            wish_->Ended(target_);
    }
    bool KeepGoing()
    {
        if (!wish_ || left_)
            return !left_;
        left_ = !wish_->KeepGoing(target_);
        return !left_;
    }
    bool AwaitSettled()
    {
        if (!wish_)
            return true;
        left_ = !wish_->AwaitSettled(target_);
        return !left_;
    }

private:
    LargePictureWish* wish_;
    std::wstring target_;
    bool left_ = false;
};

} // namespace

namespace {
// Wants closer together than this are a user stepping through pictures.
constexpr auto kSteppingGap = std::chrono::milliseconds(300);
// How long a picture must stay wanted then before it is asked for.
constexpr auto kSettleTime = std::chrono::milliseconds(120);
constexpr auto kSettleStep = std::chrono::milliseconds(20);
}  // namespace

bool LargePictureWish::Want(const std::wstring& target)
{
    std::lock_guard<std::mutex> guard(lock_);
    const Clock::time_point now = Clock::now();
    const bool stepping = now - lastWant_ < kSteppingGap;
    lastWant_ = now;
    settledAt_ = stepping ? now + kSettleTime : now;
    wanted_ = target;
    return running_.insert(target).second;
}

bool LargePictureWish::AwaitSettled(const std::wstring& target)
{
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (wanted_ != target) {
                running_.erase(target);
                return false;
            }
            if (Clock::now() >= settledAt_)
                return true;
        }
        std::this_thread::sleep_for(kSettleStep);
    }
}

bool LargePictureWish::KeepGoing(const std::wstring& target)
{
    std::lock_guard<std::mutex> guard(lock_);
    if (wanted_ == target)
        return true;
    running_.erase(target);
    return false;
}

void LargePictureWish::Ended(const std::wstring& target)
{
    std::lock_guard<std::mutex> guard(lock_);
    running_.erase(target);
}

int DownloadWithProgress(const std::wstring& url, const std::wstring& targetPath, HWND window, LargePictureWish* wish)
{
    WishGuard wanted(wish, targetPath);
    // Stepped past before it asked: nothing is sent at all.
    if (!wanted.AwaitSettled())
        return kLargeDownloadLeft;
    InternetHandle session(OpenSession(url));
    if (!session)
        return kLargeDownloadNoSession;
    InternetHandle request(InternetOpenUrlW(static_cast<HINTERNET>(session.get()), url.c_str(), kRequestHeaders,
                                            DWORD(-1),
                                            INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                                INTERNET_FLAG_PRAGMA_NOCACHE,
                                            0));
    if (!request || !IsSuccessStatus(static_cast<HINTERNET>(request.get())))
        return kLargeDownloadUrlNotOpened;

    std::wstring::size_type cut = targetPath.find_last_of(L'\\');
    if (cut == std::wstring::npos)
        return kLargeDownloadNoFolder;
    std::wstring cacheFolder = targetPath.substr(0, cut) + L"\\cache\\";
    std::wstring temporary = cacheFolder + targetPath.substr(cut + 1);
    platform::CreateDirectoryTree(Narrow(cacheFolder.substr(0, cacheFolder.size() - 1)));

    // Only a valid picture counts as there: an error page saved earlier is replaced.
    ClaimGuard claim(targetPath, [&] { return wish && wanted.KeepGoing(); });
    if (!claim.Claimed() || IsValidCachedFile(Narrow(targetPath)))
        return kLargeDownloadInProgress;
    if (!wanted.KeepGoing())
        return kLargeDownloadLeft;

    win32kit::ScopedHandle file(
        CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return kLargeDownloadNotPlaced;

    DWORD announced = ContentLength(static_cast<HINTERNET>(request.get()));
    unsigned long long received = 0;
    std::unique_ptr<char[]> block(new char[kReadBlock]);
    for (;;) {
        DWORD got = 0;
        if (!InternetReadFile(static_cast<HINTERNET>(request.get()), block.get(), kReadBlock, &got)) {
            file.Reset();
            DeleteFileW(temporary.c_str());
            return kLargeDownloadReadError;
        }
        if (got == 0)
            break;
        if (!wanted.KeepGoing()) {
            file.Reset();
            DeleteFileW(temporary.c_str());
            return kLargeDownloadLeft;
        }
        received += got;
        SendMessageW(window, UM_DOWNLOAD_PROGRESS, WPARAM(Percent(received, announced)),
                     LPARAM(targetPath.c_str()));
        DWORD written = 0;
        if (!WriteFile(file.Get(), block.get(), got, &written, nullptr) || written != got) {
            // A full disk must not leave a cut picture that counts as whole.
            file.Reset();
            DeleteFileW(temporary.c_str());
            return kLargeDownloadReadError;
        }
    }
    file.Reset();

    bool complete = received > 0 && (announced == 0 || received == announced);
    if (!complete) {
        DeleteFileW(temporary.c_str());
        return kLargeDownloadWrongLength;
    }
    // Only a picture that runs to its end marker counts: without a
    // Content-Length a cut transfer ends like a whole one, and a sender can
    // announce a cut picture at its cut length. One whose header claims more
    // than a decoder holds would stop the window that decodes it.
    const std::string written = Narrow(temporary);
    if (!IsValidCachedFile(written) || !IsWholePicture(written)) {
        DeleteFileW(temporary.c_str());
        return kLargeDownloadNotPicture;
    }
    // Moved, not copied: the target is the old file or the new one, never half.
    if (!platform::MoveIntoPlace(written, Narrow(targetPath))) {
        DeleteFileW(temporary.c_str());
        return kLargeDownloadNotPlaced;
    }
    SendMessageW(window, UM_DOWNLOAD_DONE, 0, 0);
    return kLargeDownloadDone;
}

int FetchLargePicture(const std::string& url, const std::string& targetPath, HWND window,
    std::shared_ptr<CacheLimiter> limiter, std::shared_ptr<WorkTracker> tracker, std::shared_ptr<LargePictureWish> wish)
{
    const std::wstring target = Widen(targetPath);
    // Wanted even when it is there: a transfer of the picture before stops.
    const bool start = !wish || wish->Want(target);
    if (IsValidCachedFile(targetPath)) {
        if (wish && start)
            wish->Ended(target);
        if (limiter)
            limiter->NoteUse(targetPath);
        return 0;
    }
    if (!start)
        return 0;
    StartTrackedWorker(tracker, [url, targetPath, target, window, limiter, wish] {
        CacheLimiter::Pin pin;
        if (limiter)
            pin = limiter->PinFile(targetPath);
        const std::int64_t before = platform::FileSize(targetPath);
        if (DownloadWithProgress(Widen(url), target, window, wish.get()) == kLargeDownloadDone && limiter)
            limiter->NoteReplaced(targetPath, before);
    });
    return 0;
}
