// The native (Linux) side of the platform seam, used by unit tests and tools.
#include "../platform.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace platform {

std::FILE* OpenFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

bool FileExists(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

bool IsDirectory(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::int64_t FileSize(const std::string& path)
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return -1;
    return info.st_size;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool MoveIntoPlace(const std::string& from, const std::string& to) { return ::rename(from.c_str(), to.c_str()) == 0; }

Placed WriteIntoPlace(const std::string& temporary, const std::string& target, const std::string& data)
{
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file)
        return Placed::notOpened;
    const bool written = std::fwrite(data.data(), 1, data.size(), file) == data.size();
    if (std::fclose(file) == 0 && written && MoveIntoPlace(temporary, target))
        return Placed::yes;
    ::unlink(temporary.c_str());
    return Placed::notMoved;
}

bool CreateDirectoryTree(const std::string& path)
{
    if (path.empty())
        return false;
    if (IsDirectory(path))
        return true;
    std::string::size_type cut = path.find_last_of('/');
    if (cut != std::string::npos && cut > 0)
        CreateDirectoryTree(path.substr(0, cut));
    return ::mkdir(path.c_str(), 0755) == 0 || (errno == EEXIST && IsDirectory(path));
}

std::string UniqueSuffix()
{
    static std::atomic<unsigned> counter{0};
    return std::to_string(::getpid()) + "-" + std::to_string(++counter);
}

bool LocalTime(std::time_t time, std::tm& out) { return ::localtime_r(&time, &out) != nullptr; }

// On Linux the "ANSI code page" is UTF-8, so no conversion is needed.
std::string AnsiFromUtf8(const std::string& utf8) { return utf8; }
std::string Utf8FromAnsi(const std::string& ansi) { return ansi; }

// libcurl reads the proxy environment variables itself.
std::string SystemProxyFor(const std::string&, std::string& noProxy)
{
    noProxy.clear();
    return {};
}

bool StartDetachedThread(std::function<void()> work)
{
    try {
        std::thread(std::move(work)).detach();
        return true;
    } catch (const std::system_error&) {
        return false;  // no thread: the work is dropped
    }
}

// OpenSSL reads the system's authorities itself.
const std::string& SystemRootCertificates()
{
    static const std::string none;
    return none;
}

void DebugNote(const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); }

}  // namespace platform
