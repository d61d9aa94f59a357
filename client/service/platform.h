#pragma once
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>

// The few operating-system services the core needs. Paths and text are UTF-8;
// the Windows implementation converts to UTF-16 at this boundary.
namespace platform {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

std::FILE* OpenFile(const std::string& path, const char* mode);
bool FileExists(const std::string& path);
bool IsDirectory(const std::string& path);
// Size in bytes, or -1 when the file cannot be examined.
std::int64_t FileSize(const std::string& path);
bool RemoveFile(const std::string& path);
// Moves `from` over `to` in one step, so a reader sees the old or the new file,
// never a half-written one.
bool MoveIntoPlace(const std::string& from, const std::string& to);
// Writes `data` to a new file at `temporary` and moves it over `target` as
// MoveIntoPlace does, through the file as it was opened to be written: on
// Windows a second open (one more scan by a virus checker, one more server
// call under Wine) would only move it. Whatever fails, nothing is left at
// `temporary` and the target stays as it was.
enum class Placed { yes, notOpened, notMoved };
Placed WriteIntoPlace(const std::string& temporary, const std::string& target, const std::string& data);
// Creates the folder and every missing parent. New folders inherit the rights
// of their parent (the user profile's); nothing is granted beyond that.
bool CreateDirectoryTree(const std::string& path);
// A name unique in this process and machine, for temporary files.
std::string UniqueSuffix();

// Runs `work` on a thread of its own that nobody joins. False when no thread
// could start: `work` is then dropped unrun, and whoever counted on it must
// undo that. MinGW's detached std::thread fails (or loses its arguments)
// when the thread ends before the detach, so Windows starts threads itself.
bool StartDetachedThread(std::function<void()> work);

// Seconds since 1970 as local time; false when the system cannot convert them.
bool LocalTime(std::time_t time, std::tm& out);

// Configuration files hold text in the system ANSI code page.
std::string AnsiFromUtf8(const std::string& utf8);
std::string Utf8FromAnsi(const std::string& ansi);

// The proxy the system is set to use for this URL ("host:port"), or empty for
// a direct connection. `noProxy` receives the hosts to reach directly.
std::string SystemProxyFor(const std::string& url, std::string& noProxy);

// The certificate authorities the system trusts, as PEM text, for libcurl to
// check a server's chain and name against them itself (Schannel left to the
// system's automatic validation accepted servers whose authority no store
// held). Empty where libcurl's own store is the system's. Read once.
const std::string& SystemRootCertificates();

// A line for the debugger (the system's debug output; stderr elsewhere).
void DebugNote(const std::string& text);

}  // namespace platform
