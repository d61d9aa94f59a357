#include "crash_dump_filter.h"
#include "win32kit/scoped_win.h"

#include <dbghelp.h>

#include <cwchar>

namespace {

using win32kit::ScopedHandle;

constexpr wchar_t kDumpName[] = L"Crash.dmp";
constexpr wchar_t kUploaderName[] = L"Reportling.exe";

// Enough for the system's dispatch down to the filter, which only wakes the
// writer; the dump itself is written on the writer's own stack.
constexpr ULONG kFilterStackBytes = 32 * 1024;
// A dump of a large process under an emulator takes a while; a hung writer
// must still not keep the crashed process alive for ever.
constexpr DWORD kWriterWaitMs = 60000;
// Room for the dump writer's own calls; only reserved until it runs.
constexpr SIZE_T kWriterStackBytes = 256 * 1024;

struct PendingCrash {
    EXCEPTION_POINTERS* pointers = nullptr;
    DWORD threadId = 0;
};

// Process-wide because the filter is a plain function: the writer thread and
// the crash it is to record. The first filter call claims the writer and
// fills the crash before it resumes the thread, which reads it only then.
HANDLE g_writer = nullptr;
PVOID g_overflowHandler = nullptr;
LONG g_claimed = 0;
PendingCrash g_pending;

// Everything stays on the stack: the heap of a crashed process may be broken.
// A path that does not fit is refused rather than cut, which would name
// some other file.
template <size_t N> bool BuildProgramFolderPath(const wchar_t (&name)[N], wchar_t (&path)[MAX_PATH])
{
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    wchar_t* slash = std::wcsrchr(path, L'\\');
    if (slash == nullptr)
        return false;
    const size_t folderLength = static_cast<size_t>(slash + 1 - path);
    if (folderLength + N > MAX_PATH)
        return false;
    std::wmemcpy(slash + 1, name, N);
    return true;
}

// By full path: a bare name would run whatever program of that name lies in
// the current directory.
void StartUploader()
{
    wchar_t path[MAX_PATH];
    if (!BuildProgramFolderPath(kUploaderName, path))
        return;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(path, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return;
    // The uploader is never waited for; drop our references to it at once.
    ScopedHandle thread(process.hThread);
    ScopedHandle child(process.hProcess);
}

void RecordCrash(const PendingCrash& crash)
{
    wchar_t path[MAX_PATH];
    if (BuildProgramFolderPath(kDumpName, path))
        WriteCrashDump(path, crash.pointers, crash.threadId);
    StartUploader();
}

DWORD WINAPI WriterMain(void*)
{
    RecordCrash(g_pending);
    return 0;
}

void RecordCrashOnWriter(EXCEPTION_POINTERS* pointers)
{
    const PendingCrash crash{pointers, GetCurrentThreadId()};
    if (g_writer == nullptr) {
        RecordCrash(crash);
        return;
    }
    // A crash on another thread meanwhile only waits for the first one's dump.
    if (InterlockedExchange(&g_claimed, 1) == 0) {
        g_pending = crash;
        ResumeThread(g_writer);
    }
    WaitForSingleObject(g_writer, kWriterWaitMs);
}

// Some loaders leave an overflowing thread too little stack to dispatch the
// exception as far as the top-level filter, and end the process with some
// code of their own. So an overflow is recorded from the first handler the
// dispatch calls, and the process ends here as the filter would end it.
LONG WINAPI StackOverflowHandler(EXCEPTION_POINTERS* pointers)
{
    const DWORD code = pointers->ExceptionRecord->ExceptionCode;
    if (code != EXCEPTION_STACK_OVERFLOW)
        return EXCEPTION_CONTINUE_SEARCH;
    RecordCrashOnWriter(pointers);
    TerminateProcess(GetCurrentProcess(), code);
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

bool WriteCrashDump(const wchar_t* path, EXCEPTION_POINTERS* pointers, DWORD threadId)
{
    ScopedHandle file(
        CreateFileW(path, GENERIC_ALL, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return false;

    MINIDUMP_EXCEPTION_INFORMATION info{};
    info.ThreadId = threadId;
    info.ExceptionPointers = pointers;
    info.ClientPointers = TRUE;
    return MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file.Get(), MiniDumpNormal,
               pointers != nullptr ? &info : nullptr, nullptr, nullptr)
        != FALSE;
}

LONG WINAPI CrashDumpFilter(EXCEPTION_POINTERS* pointers)
{
    RecordCrashOnWriter(pointers);
    return EXCEPTION_EXECUTE_HANDLER;
}

// Suspended until a crash: it costs nothing before, and its exit never has
// to be waited for under the loader's lock, which that exit needs.
void PrepareCrashWriter()
{
    if (g_writer != nullptr)
        return;
    g_writer = CreateThread(
        nullptr, kWriterStackBytes, WriterMain, nullptr, CREATE_SUSPENDED | STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (g_writer != nullptr)
        g_overflowHandler = AddVectoredExceptionHandler(1, StackOverflowHandler);
}

// A writer that never ran is left suspended: it never runs the unloaded code,
// whereas ending it brings the whole process down under an emulated loader.
// Only its reserved stack stays behind, and the client never unloads us.
void DiscardCrashWriter()
{
    if (g_writer == nullptr)
        return;
    if (g_overflowHandler != nullptr)
        RemoveVectoredExceptionHandler(g_overflowHandler);
    g_overflowHandler = nullptr;
    CloseHandle(g_writer);
    g_writer = nullptr;
    g_claimed = 0;
    g_pending = PendingCrash{};
}

void ReserveFilterStack()
{
    ULONG bytes = kFilterStackBytes;
    SetThreadStackGuarantee(&bytes);
}
