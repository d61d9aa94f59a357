// The Windows side of the platform seam.
#include "../platform.h"
#include "wide_text.h"
#include "win32kit/scoped_win.h"

#include <windows.h>
// The C runtime thread start needs the Windows types first.
#include <process.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

namespace platform {

std::FILE* OpenFile(const std::string& path, const char* mode)
{
    if (mode[0] != 'r')
        return _wfopen(Widen(path).c_str(), Widen(mode).c_str());
    // Readers share delete access, so a writer can move a new copy over the
    // file while it is being read.
    HANDLE handle = CreateFileW(Widen(path).c_str(), GENERIC_READ,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    int descriptor = _open_osfhandle(intptr_t(handle), _O_RDONLY | _O_BINARY);
    if (descriptor == -1) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(descriptor, "rb");
    if (!file)
        _close(descriptor);
    return file;
}

bool FileExists(const std::string& path) { return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsDirectory(const std::string& path)
{
    DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::int64_t FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data))
        return -1;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return -1;
    return (std::int64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool RemoveFile(const std::string& path) { return DeleteFileW(Widen(path).c_str()) != 0; }

namespace {

// Another program (a virus scanner, an image viewer) may hold the target open
// for a moment without sharing delete access: a move is tried again briefly.
constexpr int kMoveAttempts = 20;
constexpr DWORD kMoveRetryMs = 10;

bool HeldByAnother(DWORD error) { return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION; }

bool WriteAll(HANDLE file, const std::string& data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const DWORD chunk = DWORD(std::min<std::size_t>(data.size() - done, 1u << 30));
        DWORD wrote = 0;
        if (!WriteFile(file, data.data() + done, chunk, &wrote, nullptr) || wrote == 0)
            return false;
        done += wrote;
    }
    return true;
}

// ERROR_SUCCESS, or why the open file could not be moved over `target`.
DWORD MoveOpenFile(HANDLE file, const std::wstring& target)
{
    const std::size_t nameBytes = (target.size() + 1) * sizeof(wchar_t);
    const std::size_t bytes = offsetof(FILE_RENAME_INFO, FileName) + nameBytes;
    std::vector<std::uint64_t> storage((bytes + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(storage.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = DWORD(target.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, target.c_str(), nameBytes);
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < kMoveAttempts; ++attempt) {
        if (SetFileInformationByHandle(file, FileRenameInfo, info, DWORD(bytes)))
            return ERROR_SUCCESS;
        error = GetLastError();
        if (!HeldByAnother(error))
            break;
        Sleep(kMoveRetryMs);
    }
    return error;
}

// Gone once its handle closes.
void DeleteOnClose(HANDLE file)
{
    FILE_DISPOSITION_INFO gone{};
    gone.DeleteFile = TRUE;
    SetFileInformationByHandle(file, FileDispositionInfo, &gone, sizeof gone);
}

}  // namespace

bool MoveIntoPlace(const std::string& from, const std::string& to)
{
    std::wstring source = Widen(from);
    std::wstring target = Widen(to);
    for (int attempt = 0; attempt < kMoveAttempts; ++attempt) {
        if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        if (!HeldByAnother(GetLastError()))
            return false;
        Sleep(kMoveRetryMs);
    }
    return false;
}

Placed WriteIntoPlace(const std::string& temporary, const std::string& target, const std::string& data)
{
    const std::wstring temporaryName = Widen(temporary);
    win32kit::ScopedHandle file(CreateFileW(
        temporaryName.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return Placed::notOpened;
    if (!WriteAll(file.Get(), data)) {
        DeleteOnClose(file.Get());
        return Placed::notMoved;
    }
    const DWORD moved = MoveOpenFile(file.Get(), Widen(target));
    if (moved == ERROR_SUCCESS)
        return Placed::yes;
    if (HeldByAnother(moved)) {
        DeleteOnClose(file.Get());
        return Placed::notMoved;
    }
    // A system that cannot move a file through its handle moves it by name.
    file.Reset();
    if (MoveIntoPlace(temporary, target))
        return Placed::yes;
    DeleteFileW(temporaryName.c_str());
    return Placed::notMoved;
}

bool CreateDirectoryTree(const std::string& path)
{
    if (path.empty())
        return false;
    if (IsDirectory(path))
        return true;
    std::string::size_type cut = path.find_last_of("\\/");
    if (cut != std::string::npos && cut > 0 && path[cut - 1] != ':')
        CreateDirectoryTree(path.substr(0, cut));
    // No security descriptor: the folder inherits its parent's rights.
    if (CreateDirectoryW(Widen(path).c_str(), nullptr))
        return true;
    return IsDirectory(path);
}

std::string UniqueSuffix()
{
    static std::atomic<unsigned> counter{0};
    return std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetCurrentThreadId()) + "-"
        + std::to_string(++counter);
}

bool LocalTime(std::time_t time, std::tm& out) { return localtime_s(&out, &time) == 0; }

std::string AnsiFromUtf8(const std::string& utf8) { return AnsiFromWide(Widen(utf8)); }
std::string Utf8FromAnsi(const std::string& ansi) { return Narrow(WideFromAnsi(ansi)); }

namespace {

// The thread owns its work and frees it when done. A named function: the
// 32-bit thread start wants __stdcall, which a lambda does not convert to.
unsigned __stdcall RunDetached(void* argument)
{
    std::unique_ptr<std::function<void()>> run(static_cast<std::function<void()>*>(argument));
    (*run)();
    return 0;
}

}  // namespace

bool StartDetachedThread(std::function<void()> work)
{
    auto owned = std::make_unique<std::function<void()>>(std::move(work));
    const uintptr_t thread = _beginthreadex(nullptr, 0, RunDetached, owned.get(), 0, nullptr);
    if (thread == 0)
        return false;
    owned.release();  // the thread frees it
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    return true;
}

}  // namespace platform
