#include "http_transport.h"

#include "picture_format.h"
#include "platform.h"
#include "transfer_loop.h"

#include <curl/curl.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <thread>

namespace {

// Each download's receive buffer. Under Wine a block of half a megabyte or
// more is mapped for its own and unmapped again, on the transfer thread, for
// every thumbnail; this size is served from the heap and still reads a large
// picture in few calls.
const long kDownloadBufferBytes = 256 * 1024;

CURL* NewEasyHandle() { return transfer_loop::CurlReady() ? curl_easy_init() : nullptr; }

struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlHandle = std::unique_ptr<CURL, CurlDeleter>;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// What one transfer did, as curl and the server reported it.
struct TransferResult {
    CURLcode code = CURLE_FAILED_INIT;
    long httpStatus = 0;
    bool complete = false;  // ended without error, so nothing was cut off
};

bool IsCertificateFault(CURLcode code)
{
    return code == CURLE_PEER_FAILED_VERIFICATION || code == CURLE_SSL_CONNECT_ERROR || code == CURLE_SSL_CACERT_BADFILE
        || code == CURLE_SSL_CERTPROBLEM || code == CURLE_SSL_INVALIDCERTSTATUS;
}

TransferResult Perform(CURL* handle)
{
    TransferResult result;
    char errors[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errors);
    result.code = transfer_loop::Perform(handle);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, static_cast<char*>(nullptr));
    // A refused server is otherwise just a network error to the user.
    if (IsCertificateFault(result.code)) {
        const char* url = nullptr;
        curl_easy_getinfo(handle, CURLINFO_EFFECTIVE_URL, &url);
        platform::DebugNote(std::string("Quarn: TLS refused ") + (url ? url : "") + ": "
            + (errors[0] ? errors : curl_easy_strerror(result.code)));
    }
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &result.httpStatus);
    result.complete = result.code == CURLE_OK;
    return result;
}

// Called from inside curl, so nothing may be thrown through it. Consuming
// fewer bytes than offered ends the transfer with a write error.
std::size_t AppendToAnswer(char* data, std::size_t size, std::size_t count, void* target)
{
    auto& answer = *static_cast<std::string*>(target);
    std::size_t bytes = size * count;
    if (bytes > kMaxAnswerBytes - answer.size())
        return 0;
    try {
        answer.append(data, bytes);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return bytes;
}

// Answers and pictures come over http and https only: an address from an
// answer, or a redirect, must not make curl read a local file or speak
// another protocol to whatever host it names.
void AllowOnlyWebProtocols(CURL* handle)
{
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
#else
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS, long(CURLPROTO_HTTP | CURLPROTO_HTTPS));
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS, long(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
}

// The server's chain and name are checked by libcurl against the system's
// authorities, not left to the TLS library's automatic validation. A
// revocation list that cannot be reached does not fail the request; a
// certificate known to be revoked does.
void TrustSystemAuthorities(CURL* handle)
{
    const std::string& roots = platform::SystemRootCertificates();
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(handle, CURLOPT_SSL_OPTIONS, long(CURLSSLOPT_REVOKE_BEST_EFFORT));
    if (roots.empty())
        return;
    curl_blob blob{const_cast<char*>(roots.data()), roots.size(), CURL_BLOB_NOCOPY};
    curl_easy_setopt(handle, CURLOPT_CAINFO_BLOB, &blob);
}

bool IsHttps(const std::string& url)
{
    static const char kScheme[] = "https://";
    const std::size_t length = sizeof kScheme - 1;
    if (url.size() < length)
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        const char c = url[i];
        if ((c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c) != kScheme[i])
            return false;
    }
    return true;
}

void ApplyCommonOptions(CURL* handle, const std::string& url, const TransferLimits& limits)
{
    AllowOnlyWebProtocols(handle);
    transfer_loop::UseSharedCaches(handle);
    // No redirect is followed, so a plain address never reaches TLS; reading
    // the system's authorities cost the first request a fifth of a second
    // under Wine.
    if (IsHttps(url))
        TrustSystemAuthorities(handle);
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    // HTTP/2 where the server offers it over TLS: requests then share one
    // connection as streams. Over TLS the handshake tells whether they can,
    // so requests made meanwhile wait for it rather than each opening a
    // connection of its own; once the server picked HTTP/1.1 they take
    // connections up to the cap per host. Over plain HTTP only an answer
    // would tell, so nothing waits there.
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_2TLS));
    if (IsHttps(url))
        curl_easy_setopt(handle, CURLOPT_PIPEWAIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, limits.lowSpeedBytes);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, limits.lowSpeedSeconds);

    // Follow the system's proxy settings, as the large-picture download does.
    std::string noProxy;
    std::string proxy = platform::SystemProxyFor(url, noProxy);
    if (!proxy.empty()) {
        curl_easy_setopt(handle, CURLOPT_PROXY, proxy.c_str());
        curl_easy_setopt(handle, CURLOPT_NOPROXY, noProxy.c_str());
    }
}

// Only a whole answer reaches `answer`: a cut or over-size one would be
// judged as if it were what the service meant.
TransferResult Post(const std::string& url, const std::string& body, std::string& answer, const TransferLimits& limits,
    bool withConnectTimeout)
{
    answer.clear();
    CurlHandle handle(NewEasyHandle());
    if (!handle)
        return {};
    std::string received;
    ApplyCommonOptions(handle.get(), url, limits);
    curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, &received);
    curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, AppendToAnswer);
    // Answers are text and shrink several times; pictures do not, so
    // downloads leave it out. Only a libcurl with zlib can unpack them.
    if (curl_version_info(CURLVERSION_NOW)->features & CURL_VERSION_LIBZ)
        curl_easy_setopt(handle.get(), CURLOPT_ACCEPT_ENCODING, "gzip");
    // Refuses an announced over-size answer before its first byte.
    curl_easy_setopt(handle.get(), CURLOPT_MAXFILESIZE_LARGE, curl_off_t(kMaxAnswerBytes));
    if (withConnectTimeout)
        curl_easy_setopt(handle.get(), CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
    // Always set, so the request is a POST even with an empty body.
    curl_easy_setopt(handle.get(), CURLOPT_POSTFIELDSIZE, long(body.size()));
    curl_easy_setopt(handle.get(), CURLOPT_POSTFIELDS, body.c_str());
    TransferResult result = Perform(handle.get());
    if (result.complete)
        answer.swap(received);
    return result;
}

// Where a download goes. A picture up to kHeldDownloadBytes is held in
// memory and written once it is known to be whole: under Wine every file
// opened, read back or looked up for a name not yet there costs a call to
// the server and a scan of the folder, and a start-up lands hundreds of
// thumbnails. A larger one goes to its file from the byte that outgrows it.
struct DownloadSink {
    std::string path;
    std::string held;
    FileHandle file;
    bool openFailed = false;
};

constexpr std::size_t kHeldDownloadBytes = 1024 * 1024;

bool Spill(DownloadSink& sink)
{
    sink.file.reset(platform::OpenFile(sink.path, "wb"));
    if (!sink.file) {
        sink.openFailed = true;
        return false;
    }
    const bool written = std::fwrite(sink.held.data(), 1, sink.held.size(), sink.file.get()) == sink.held.size();
    std::string().swap(sink.held);
    return written;
}

// A short write returns a count curl treats as an error, ending the transfer.
std::size_t WriteToSink(char* data, std::size_t size, std::size_t count, void* target)
{
    auto& sink = *static_cast<DownloadSink*>(target);
    const std::size_t bytes = size * count;
    if (!sink.file && sink.held.size() + bytes <= kHeldDownloadBytes) {
        sink.held.append(data, bytes);
        return bytes;
    }
    if (!sink.file && !Spill(sink))
        return 0;
    return std::fwrite(data, size, count, sink.file.get()) * size;
}

// An error page saved in a picture's place reads as text before its first
// NUL byte; a picture has one within its first bytes.
bool IsUsableText(const std::string& text, bool checkBadRequest)
{
    if (text.find("html") != std::string::npos || text.find("HTML") != std::string::npos)
        return false;
    return !checkBadRequest || text.find("<h1>Bad Request (Invalid Hostname)</h1>") == std::string::npos;
}

bool IsUsableHeldPicture(const std::string& held)
{
    return !held.empty() && IsUsableText(held.substr(0, held.find('\0')), false) && IsWholePictureData(held);
}

// Reads until the first NUL byte: a picture has one within its first bytes,
// so only an error page saved in its place is read whole.
bool ReadTextPrefix(const std::string& path, std::string& text)
{
    FileHandle file(platform::OpenFile(path, "rb"));
    if (!file)
        return false;
    char block[4096];
    std::size_t got;
    while ((got = std::fread(block, 1, sizeof block, file.get())) > 0) {
        const void* nul = std::memchr(block, '\0', got);
        if (nul) {
            text.append(block, static_cast<const char*>(nul) - block);
            return true;
        }
        text.append(block, got);
    }
    return !std::ferror(file.get());
}

// False when no transfer handle could be made, or the answer had nowhere to
// go (no temporary file).
bool Download(
    const std::string& url, const std::string& targetPath, const TransferLimits& limits, DownloadResult& result)
{
    CurlHandle handle(NewEasyHandle());
    if (!handle) {
        result.curlCode = CURLE_FAILED_INIT;
        return false;
    }
    ApplyCommonOptions(handle.get(), url, limits);
    curl_easy_setopt(handle.get(), CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
    curl_easy_setopt(handle.get(), CURLOPT_FAILONERROR, 1L);
    // Fewer, larger reads: each one costs a system call, and far more than
    // that under Wine.
    curl_easy_setopt(handle.get(), CURLOPT_BUFFERSIZE, kDownloadBufferBytes);

    // Written aside and moved into place only when complete, so a failed
    // transfer leaves nothing and a reader never sees half a file.
    DownloadSink sink;
    sink.path = targetPath + ".part-" + platform::UniqueSuffix();
    const std::string& temporary = sink.path;
    curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, WriteToSink);
    const TransferResult transfer = Perform(handle.get());
    result.curlCode = transfer.code;
    result.httpStatus = transfer.httpStatus;
    long version = 0;
    curl_easy_getinfo(handle.get(), CURLINFO_HTTP_VERSION, &version);
    result.multiplexed = version >= CURL_HTTP_VERSION_2_0;
    if (sink.openFailed)
        return false;
    curl_off_t received = 0;
    curl_easy_getinfo(handle.get(), CURLINFO_SIZE_DOWNLOAD_T, &received);
    // A redirect's own body is no picture, nor is an error page sent with a
    // success status, nor a picture cut short by its sender (whole transfer,
    // half a picture): the cache would keep it for good.
    const bool success = transfer.httpStatus >= 200 && transfer.httpStatus <= 299;
    const bool arrived = transfer.complete && success && received > 0;
    if (!sink.file) {
        if (!arrived || !IsUsableHeldPicture(sink.held))
            return true;
        const platform::Placed placed = platform::WriteIntoPlace(temporary, targetPath, sink.held);
        result.written = placed == platform::Placed::yes;
        return placed != platform::Placed::notOpened;
    }
    const bool closed = std::fclose(sink.file.release()) == 0;
    const bool usable = arrived && closed && IsValidCachedFile(temporary) && IsWholePicture(temporary);
    result.written = usable && platform::MoveIntoPlace(temporary, targetPath);
    if (!result.written)
        platform::RemoveFile(temporary);
    return true;
}

}  // namespace

int PostForm(const std::string& url, const std::string& body, std::string& answer, const TransferLimits& limits)
{
    return Post(url, body, answer, limits, false).code == CURLE_FAILED_INIT ? -1 : 0;
}

int PostFormWithTimeout(
    const std::string& url, const std::string& body, std::string& answer, const TransferLimits& limits)
{
    return Post(url, body, answer, limits, true).code == CURLE_FAILED_INIT ? -1 : 0;
}

DownloadResult DownloadFile(const std::string& url, const std::string& targetPath, const TransferLimits& limits)
{
    DownloadResult result;
    Download(url, targetPath, limits, result);
    return result;
}

int DownloadToFile(const std::string& url, const std::string& targetPath, const TransferLimits& limits)
{
    DownloadResult result;
    return Download(url, targetPath, limits, result) ? 0 : -1;
}

bool IsValidCachedFile(const std::string& path, bool checkBadRequest)
{
    if (platform::FileSize(path) <= 0)
        return false;
    std::string text;
    return ReadTextPrefix(path, text) && IsUsableText(text, checkBadRequest);
}

int FetchFileIfMissing(const std::string& url, const std::string& targetPath)
{
    if (IsValidCachedFile(targetPath))
        return 0;
    platform::StartDetachedThread([url, targetPath] { DownloadToFile(url, targetPath); });
    return 0;
}

int FetchFileAlways(const std::string& url, const std::string& targetPath)
{
    if (url.empty())
        return 0;
    platform::StartDetachedThread([url, targetPath] { DownloadToFile(url, targetPath); });
    return 0;
}

void PrepareTransportFor(const std::string& url)
{
    static std::atomic<bool> prepared{false};
    if (prepared.exchange(true))
        return;
    // The authorities take longest: read beside the rest.
    if (IsHttps(url))
        platform::StartDetachedThread([] { platform::SystemRootCertificates(); });
    platform::StartDetachedThread([url] {
        transfer_loop::Prepare();
        std::string noProxy;
        platform::SystemProxyFor(url, noProxy);
    });
}
