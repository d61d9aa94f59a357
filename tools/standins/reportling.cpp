// Stand-in for the dump uploader the crash handler starts: sends the
// "Crash.dmp" beside its own program file to the service, if there is one.
// curl first: it brings in winsock2.h, which must precede windows.h.
#include <curl/curl.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

constexpr char kUploadPath[] = "crash.php?action=upload";
// A minidump of the client is a few megabytes; anything far larger is not one.
constexpr std::streamoff kMaxDumpBytes = 64 * 1024 * 1024;
constexpr long kConnectTimeoutMs = 5000;
constexpr long kTransferTimeoutMs = 60000;

std::filesystem::path DumpPath()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return std::filesystem::path(path).parent_path() / L"Crash.dmp";
}

bool ReadDump(const std::filesystem::path& path, std::string& bytes)
{
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file)
        return false;
    const std::streamoff size = file.tellg();
    if (size <= 0 || size > kMaxDumpBytes)
        return false;
    bytes.resize(static_cast<size_t>(size));
    file.seekg(0);
    return static_cast<bool>(file.read(bytes.data(), size));
}

size_t IgnoreAnswer(char*, size_t size, size_t count, void*) { return size * count; }

bool Upload(const std::string& bytes)
{
    CURL* handle = curl_easy_init();
    if (handle == nullptr)
        return false;
    const std::string url = std::string(QUARN_SERVICE_BASE_URL) + kUploadPath;
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/octet-stream");
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, bytes.data());
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(bytes.size()));
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, kTransferTimeoutMs);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, IgnoreAnswer);
    long status = 0;
    const bool sent = curl_easy_perform(handle) == CURLE_OK
        && curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status == 200;
    curl_slist_free_all(headers);
    curl_easy_cleanup(handle);
    return sent;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    std::string bytes;
    if (!ReadDump(DumpPath(), bytes))
        return 0;  // nothing to send
    if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK)
        return 1;
    const bool sent = Upload(bytes);
    curl_global_cleanup();
    return sent ? 0 : 1;
}
