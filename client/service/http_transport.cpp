#include "http_transport.h"

#include "platform.h"

#include <curl/curl.h>

#include <cstring>
#include <memory>
#include <thread>

namespace {

const long kDownloadBufferBytes = 1024 * 1024;

struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlHandle = std::unique_ptr<CURL, CurlDeleter>;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

std::size_t AppendToAnswer(char* data, std::size_t size, std::size_t count, void* answer)
{
    std::size_t bytes = size * count;
    static_cast<std::string*>(answer)->append(data, bytes);
    return bytes;
}

void ApplyCommonOptions(CURL* handle, const std::string& url, const TransferLimits& limits)
{
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
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

int Post(const std::string& url, const std::string& body, std::string& answer, const TransferLimits& limits,
         bool withConnectTimeout)
{
    CurlHandle handle(curl_easy_init());
    if (!handle)
        return -1;
    ApplyCommonOptions(handle.get(), url, limits);
    curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, &answer);
    curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, AppendToAnswer);
    if (withConnectTimeout)
        curl_easy_setopt(handle.get(), CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
    // Always set, so the request is a POST even with an empty body.
    curl_easy_setopt(handle.get(), CURLOPT_POSTFIELDSIZE, long(body.size()));
    curl_easy_setopt(handle.get(), CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_perform(handle.get());
    return 0;
}

// A short write returns a count curl treats as an error, ending the transfer.
std::size_t WriteToFile(char* data, std::size_t size, std::size_t count, void* file)
{
    return std::fwrite(data, size, count, static_cast<std::FILE*>(file)) * size;
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

} // namespace

int PostForm(const std::string& url, const std::string& body, std::string& answer, const TransferLimits& limits)
{
    return Post(url, body, answer, limits, false);
}

int PostFormWithTimeout(const std::string& url, const std::string& body, std::string& answer,
                        const TransferLimits& limits)
{
    return Post(url, body, answer, limits, true);
}

int DownloadToFile(const std::string& url, const std::string& targetPath, const TransferLimits& limits)
{
    CurlHandle handle(curl_easy_init());
    if (!handle)
        return -1;
    ApplyCommonOptions(handle.get(), url, limits);
    curl_easy_setopt(handle.get(), CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
    curl_easy_setopt(handle.get(), CURLOPT_FAILONERROR, 1L);
    // Fewer, larger reads: each one costs a system call, and far more than
    // that under Wine.
    curl_easy_setopt(handle.get(), CURLOPT_BUFFERSIZE, kDownloadBufferBytes);

    // Written aside and moved into place only when complete, so a failed
    // transfer leaves nothing and a reader never sees half a file.
    std::string temporary = targetPath + ".part-" + platform::UniqueSuffix();
    FileHandle file(platform::OpenFile(temporary, "wb"));
    if (!file)
        return 0;
    curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, file.get());
    curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, WriteToFile);
    bool complete = curl_easy_perform(handle.get()) == CURLE_OK;
    curl_off_t received = 0;
    curl_easy_getinfo(handle.get(), CURLINFO_SIZE_DOWNLOAD_T, &received);
    bool closed = std::fclose(file.release()) == 0;
    // An error page sent with a success status is no picture either.
    bool usable = complete && closed && received > 0 && IsValidCachedFile(temporary);
    if (!usable || !platform::MoveIntoPlace(temporary, targetPath))
        platform::RemoveFile(temporary);
    return 0;
}

bool IsValidCachedFile(const std::string& path, bool checkBadRequest)
{
    if (platform::FileSize(path) <= 0)
        return false;
    std::string text;
    if (!ReadTextPrefix(path, text))
        return false;
    if (text.find("html") != std::string::npos || text.find("HTML") != std::string::npos)
        return false;
    return !checkBadRequest || text.find("<h1>Bad Request (Invalid Hostname)</h1>") == std::string::npos;
}

int FetchFileIfMissing(const std::string& url, const std::string& targetPath)
{
    if (IsValidCachedFile(targetPath))
        return 0;
    std::thread([url, targetPath] { DownloadToFile(url, targetPath); }).detach();
    return 0;
}

int FetchFileAlways(const std::string& url, const std::string& targetPath)
{
    if (url.empty())
        return 0;
    std::thread([url, targetPath] { DownloadToFile(url, targetPath); }).detach();
    return 0;
}
