#include "crash_dump_filter.h"
#include "win32kit/scoped_win.h"

#include <dbghelp.h>

#include <cwchar>
#include <iterator>

namespace {

using win32kit::ScopedHandle;

constexpr wchar_t kDumpName[] = L"\\Crash.dmp";
// A bare name: the system completes it from the current directory.
constexpr wchar_t kUploaderName[] = L"Reportling.exe";

// Everything stays on the stack: the heap of a crashed process may be broken.
// A path that does not fit is refused rather than cut, which would write
// the dump under some other name.
bool BuildDumpPath(wchar_t (&path)[MAX_PATH]) {
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    wchar_t* slash = std::wcsrchr(path, L'\\');
    if (slash == nullptr) return false;
    const size_t folderLength = static_cast<size_t>(slash - path);
    if (folderLength + std::size(kDumpName) > MAX_PATH) return false;
    std::wmemcpy(slash, kDumpName, std::size(kDumpName));
    return true;
}

void StartUploader() {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(kUploaderName, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return;
    }
    // The uploader is never waited for; drop our references to it at once.
    ScopedHandle thread(process.hThread);
    ScopedHandle child(process.hProcess);
}

}  // namespace

bool WriteCrashDump(const wchar_t* path, EXCEPTION_POINTERS* pointers) {
    ScopedHandle file(CreateFileW(path, GENERIC_ALL, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return false;

    MINIDUMP_EXCEPTION_INFORMATION info{};
    info.ThreadId = GetCurrentThreadId();
    info.ExceptionPointers = pointers;
    info.ClientPointers = TRUE;
    return MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file.Get(), MiniDumpNormal,
                             pointers != nullptr ? &info : nullptr, nullptr, nullptr) != FALSE;
}

LONG WINAPI CrashDumpFilter(EXCEPTION_POINTERS* pointers) {
    wchar_t path[MAX_PATH];
    if (BuildDumpPath(path)) WriteCrashDump(path, pointers);
    StartUploader();
    return EXCEPTION_EXECUTE_HANDLER;
}
