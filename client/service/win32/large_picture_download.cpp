#include "large_picture_download.h"

#include "../cache_limiter.h"
#include "../http_transport.h"
#include "../picture_format.h"
#include "../platform.h"
#include "../window_messages.h"
#include "../work_tracker.h"
#include "wide_text.h"
#include "win32kit/scoped_win.h"

#include <wincrypt.h>
#include <wininet.h>

#include <iterator>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace {

const wchar_t kRequestHeaders[]
    = L"Accept: */*\r\nAccept-Language: zh-cn\r\nAccept-Encoding: gzip, deflate\r\n"
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
    explicit ClaimGuard(const std::wstring& target)
        : target_(target)
        , claimed_(InProgress().Claim(target))
    {
    }
    // A transfer of the same target that was just told to stop lets go of it
    // in a moment: waited for, boundedly, while `stillWanted` holds.
    template <typename StillWanted>
    ClaimGuard(const std::wstring& target, StillWanted stillWanted)
        : ClaimGuard(target)
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

// Why the system's chain engine refuses a server certificate, or empty when
// it accepts it (a revocation list that cannot be reached is no refusal;
// a revoked certificate is).
std::string JudgeCertificate(PCCERT_CONTEXT certificate, const std::wstring& host)
{
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof para;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    if (!CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &para,
            CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT, nullptr, &chain))
        return "no certificate chain could be built";
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = const_cast<wchar_t*>(host.c_str());
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    const BOOL judged = CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status);
    const DWORD trust = chain->TrustStatus.dwErrorStatus;
    CertFreeCertificateChain(chain);
    if (!judged)
        return "the certificate chain could not be judged";
    if (trust & CERT_TRUST_IS_REVOKED)
        return "the certificate is revoked";
    switch (status.dwError) {
    case 0:
        return {};
    case DWORD(CERT_E_UNTRUSTEDROOT):
    case DWORD(CERT_E_CHAINING):
        return "the certificate's authority is not trusted";
    case DWORD(CERT_E_EXPIRED):
        return "the certificate has expired or is not valid yet";
    case DWORD(CERT_E_CN_NO_MATCH):
        return "the certificate is for another host name";
    case DWORD(CRYPT_E_REVOKED):
        return "the certificate is revoked";
    default:
        return "the certificate is refused (policy error " + std::to_string(status.dwError) + ")";
    }
}

// What WinINet's own refusal means, where the chain itself cannot be had.
std::string WinInetFault(DWORD error)
{
    switch (error) {
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
        return "the certificate has expired or is not valid yet";
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
        return "the certificate is for another host name";
    case ERROR_INTERNET_INVALID_CA:
        return "the certificate's authority is not trusted";
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
        return "the certificate's revocation could not be checked";
    case ERROR_INTERNET_SEC_CERT_REVOKED:
        return "the certificate is revoked";
    default:
        return "the certificate is refused";
    }
}

// The server certificate of a request whose send failed with `error` in the
// handshake, judged by JudgeCertificate. Where the chain cannot be had
// (Wine keeps none of a refused server), WinINet's refusal stands.
std::string JudgeServer(HINTERNET request, const std::wstring& host, DWORD error)
{
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    DWORD size = sizeof chain;
    if (!InternetQueryOptionW(request, INTERNET_OPTION_SERVER_CERT_CHAIN_CONTEXT, &chain, &size) || !chain)
        return WinInetFault(error);
    std::string fault = "the server sent no certificate";
    if (chain->cChain > 0 && chain->rgpChain[0]->cElement > 0)
        fault = JudgeCertificate(chain->rgpChain[0]->rgpElement[0]->pCertContext, host);
    CertFreeCertificateChain(chain);
    return fault;
}

bool IsCertificateError(DWORD error)
{
    switch (error) {
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
    case ERROR_INTERNET_SEC_CERT_REVOKED:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_INVALID_CERT:
        return true;
    default:
        return false;
    }
}

// An https request, opened and sent. WinINet checks the server's chain
// with the system's engine; where it refuses only because revocation could
// not be checked (Wine does so for every authority it cannot reach a list
// of), the chain is judged here and, when good, sent again ignoring that
// alone. Nothing is sent to a server whose certificate is refused.
struct SecureRequest {
    InternetHandle connection;
    InternetHandle request;
};

bool SendSecure(HINTERNET session, const std::wstring& url, SecureRequest& opened)
{
    wchar_t host[256] = L"";
    wchar_t path[4096] = L"";
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = DWORD(std::size(host));
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = DWORD(std::size(path));
    if (!InternetCrackUrlW(url.c_str(), 0, 0, &parts))
        return false;
    // The query stays part of the path here.
    opened.connection.reset(
        InternetConnectW(session, host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!opened.connection)
        return false;
    const DWORD flags
        = INTERNET_FLAG_SECURE | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
    opened.request.reset(HttpOpenRequestW(
        static_cast<HINTERNET>(opened.connection.get()), L"GET", path, nullptr, nullptr, nullptr, flags, 0));
    HINTERNET request = static_cast<HINTERNET>(opened.request.get());
    if (!request)
        return false;
    if (HttpSendRequestW(request, kRequestHeaders, DWORD(-1), nullptr, 0))
        return true;
    const DWORD error = GetLastError();
    if (!IsCertificateError(error))
        return false;
    std::string fault = JudgeServer(request, host, error);
    if (fault.empty() && error == ERROR_INTERNET_SEC_CERT_REV_FAILED) {
        DWORD security = 0;
        DWORD size = sizeof security;
        InternetQueryOptionW(request, INTERNET_OPTION_SECURITY_FLAGS, &security, &size);
        security |= SECURITY_FLAG_IGNORE_REVOCATION;
        InternetSetOptionW(request, INTERNET_OPTION_SECURITY_FLAGS, &security, sizeof security);
        if (HttpSendRequestW(request, kRequestHeaders, DWORD(-1), nullptr, 0))
            return true;
    }
    if (fault.empty())
        fault = WinInetFault(error);
    platform::DebugNote(
        "Quarn: TLS refused " + Narrow(url) + ": " + fault + " (WinINet error " + std::to_string(error) + ")");
    return false;
}

bool IsSecure(const std::wstring& url)
{
    return url.size() > 8 && CompareStringOrdinal(url.c_str(), 8, L"https://", 8, TRUE) == CSTR_EQUAL;
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
    WishGuard(LargePictureWish* wish, const std::wstring& target)
        : wish_(wish)
        , target_(target)
    {
    }
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
    bool Reports() { return !wish_ || wish_->Reports(target_); }
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

}  // namespace

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
    wantedFirstOnly_ = false;
    return running_.insert(target).second;
}

// Not a step of the user's: it neither delays the next one nor waits itself.
std::optional<bool> LargePictureWish::WantFirst(const std::wstring& target)
{
    std::lock_guard<std::mutex> guard(lock_);
    if (!wanted_.empty() && wanted_ != target)
        return std::nullopt;
    if (wanted_.empty()) {
        wanted_ = target;
        wantedFirstOnly_ = true;
        settledAt_ = Clock::now();
    }
    return running_.insert(target).second;
}

bool LargePictureWish::Reports(const std::wstring& target)
{
    std::lock_guard<std::mutex> guard(lock_);
    return !(wantedFirstOnly_ && wanted_ == target);
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

int DownloadWithProgress(const std::wstring& url, const std::wstring& targetPath, HWND window, LargePictureWish* wish,
    const std::function<void()>& placed)
{
    WishGuard wanted(wish, targetPath);
    // Stepped past before it asked: nothing is sent at all.
    if (!wanted.AwaitSettled())
        return kLargeDownloadLeft;
    InternetHandle session(OpenSession(url));
    if (!session)
        return kLargeDownloadNoSession;
    SecureRequest secure;
    InternetHandle plain;
    if (IsSecure(url)) {
        if (!SendSecure(static_cast<HINTERNET>(session.get()), url, secure))
            return kLargeDownloadUrlNotOpened;
    } else {
        plain.reset(InternetOpenUrlW(static_cast<HINTERNET>(session.get()), url.c_str(), kRequestHeaders, DWORD(-1),
            INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE, 0));
    }
    const InternetHandle& request = secure.request ? secure.request : plain;
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
        if (wanted.Reports())
            SendMessageW(
                window, UM_DOWNLOAD_PROGRESS, WPARAM(Percent(received, announced)), LPARAM(targetPath.c_str()));
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
    if (placed)
        placed();
    SendMessageW(window, UM_DOWNLOAD_DONE, 0, 0);
    return kLargeDownloadDone;
}

namespace {

// Whether a fetch starts a transfer, as the wish decides; nothing at all when
// a picture wanted first finds another wanted.
std::optional<bool> WishDecides(LargePictureWish* wish, const std::wstring& target, LargeWant how)
{
    if (!wish)
        return true;
    if (how == LargeWant::first)
        return wish->WantFirst(target);
    return wish->Want(target);
}

}  // namespace

int FetchLargePicture(const std::string& url, const std::string& targetPath, HWND window,
    std::shared_ptr<CacheLimiter> limiter, std::shared_ptr<WorkTracker> tracker, std::shared_ptr<LargePictureWish> wish,
    LargeWant how, std::function<void()> there)
{
    const std::wstring target = Widen(targetPath);
    // Wanted even when it is there: a transfer of the picture before stops.
    const std::optional<bool> start = WishDecides(wish.get(), target, how);
    if (!start)
        return 0;
    if (IsValidCachedFile(targetPath)) {
        if (wish && *start)
            wish->Ended(target);
        if (limiter)
            limiter->NoteUse(targetPath);
        if (there)
            there();
        return 0;
    }
    if (!*start)
        return 0;
    StartTrackedWorker(tracker, [url, targetPath, target, window, limiter, wish, there] {
        CacheLimiter::Pin pin;
        if (limiter)
            pin = limiter->PinFile(targetPath);
        const std::int64_t before = platform::FileSize(targetPath);
        if (DownloadWithProgress(Widen(url), target, window, wish.get(), there) == kLargeDownloadDone && limiter)
            limiter->NoteReplaced(targetPath, before);
    });
    return 0;
}

void FetchLargePictureAhead(const std::string& url, const std::string& targetPath,
    std::shared_ptr<CacheLimiter> limiter, std::shared_ptr<WorkTracker> tracker, std::function<void(bool placed)> done)
{
    if (IsValidCachedFile(targetPath)) {
        // Noted as used before it is read, so the reader sees its time as it stays.
        if (limiter)
            limiter->NoteUse(targetPath);
        if (done)
            done(false);
        return;
    }
    StartTrackedWorker(tracker, [url, targetPath, limiter, done] {
        CacheLimiter::Pin pin;
        if (limiter)
            pin = limiter->PinFile(targetPath);
        const std::int64_t before = platform::FileSize(targetPath);
        const bool placed = DownloadWithProgress(Widen(url), Widen(targetPath), nullptr) == kLargeDownloadDone;
        if (placed && limiter)
            limiter->NoteReplaced(targetPath, before);
        if (done)
            done(placed);
    });
}
