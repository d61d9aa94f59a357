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
// A new thread's start takes the loader's lock. When the crash happened with
// that lock held, the writer never starts and the crashing thread must start
// the uploader itself rather than wait for the writer.
constexpr DWORD kWriterStartMs = 5000;
// Room for the dump writer's own calls; only reserved until it runs.
constexpr SIZE_T kWriterStackBytes = 256 * 1024;
// A 64-bit dispatch unwinds frame by frame on the overflowing stack, whole
// contexts as locals; with less than this left it dies before any frame
// handler or the filter runs. A loader that keeps the reserve above leaves
// far more; one that ignores it leaves a few pages. The 32-bit dispatch
// walks a plain chain and reaches the filter even then.
#ifdef _WIN64
constexpr SIZE_T kFrameDispatchBytes = 16 * 1024;
#else
constexpr SIZE_T kFrameDispatchBytes = 0;
#endif

struct PendingCrash {
    EXCEPTION_POINTERS* pointers = nullptr;
    DWORD threadId = 0;
};

// Process-wide because the filter is a plain function: the writer thread and
// the crash it is to record. The first filter call claims the writer and
// fills the crash before it resumes the thread, which reads it only then.
// Whichever of the writer and the crashing thread takes `g_recording` first
// records the crash.
HANDLE g_writer = nullptr;
HANDLE g_writerStarted = nullptr;
LONG g_claimed = 0;
LONG g_recording = 0;
PendingCrash g_pending;
// The overflow handlers: the first of all vectored handlers, which puts the
// last one back at the end of the list, behind every handler added since.
SRWLOCK g_overflowLock = SRWLOCK_INIT;
PVOID g_overflowFirst = nullptr;
PVOID g_overflowLast = nullptr;

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

bool IsOverflow(const EXCEPTION_POINTERS* pointers)
{
    return pointers != nullptr && pointers->ExceptionRecord != nullptr
        && pointers->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW;
}

void RecordCrash(const PendingCrash& crash)
{
    wchar_t path[MAX_PATH];
    if (BuildProgramFolderPath(kDumpName, path))
        WriteCrashDump(path, crash.pointers, crash.threadId);
    StartUploader();
}

// On the crashing thread itself: an overflowed one has no stack for a dump.
void RecordCrashHere(const PendingCrash& crash)
{
    if (IsOverflow(crash.pointers)) {
        StartUploader();
        return;
    }
    RecordCrash(crash);
}

bool TakeRecording() { return InterlockedExchange(&g_recording, 1) == 0; }

DWORD WINAPI WriterMain(void*)
{
    SetEvent(g_writerStarted);
    if (TakeRecording())
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
    if (InterlockedExchange(&g_claimed, 1) != 0) {
        WaitForSingleObject(g_writer, kWriterWaitMs);
        return;
    }
    g_pending = crash;
    ResumeThread(g_writer);
    const bool started = WaitForSingleObject(g_writerStarted, kWriterStartMs) == WAIT_OBJECT_0;
    if (!started && TakeRecording()) {
        RecordCrashHere(crash);
        return;
    }
    WaitForSingleObject(g_writer, kWriterWaitMs);
}

SIZE_T StackLeft()
{
    volatile char here = 0;
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(const_cast<char*>(&here), &region, sizeof(region)) == 0)
        return 0;
    return static_cast<SIZE_T>(const_cast<char*>(&here) - static_cast<char*>(region.AllocationBase));
}

// Reached only when no vectored handler added before or after us took the
// overflow. With room for the dispatch the frame handlers and the filter
// still get their turn; without it the loader would end the process before
// them with some code of its own, so this is the last chance to record.
LONG WINAPI LastOverflowHandler(EXCEPTION_POINTERS* pointers)
{
    if (!IsOverflow(pointers) || StackLeft() >= kFrameDispatchBytes)
        return EXCEPTION_CONTINUE_SEARCH;
    RecordCrashOnWriter(pointers);
    TerminateProcess(GetCurrentProcess(), EXCEPTION_STACK_OVERFLOW);
    return EXCEPTION_CONTINUE_SEARCH;
}

LONG WINAPI FirstOverflowHandler(EXCEPTION_POINTERS* pointers)
{
    if (!IsOverflow(pointers))
        return EXCEPTION_CONTINUE_SEARCH;
    AcquireSRWLockExclusive(&g_overflowLock);
    if (g_overflowLast != nullptr)
        RemoveVectoredExceptionHandler(g_overflowLast);
    g_overflowLast = AddVectoredExceptionHandler(0, LastOverflowHandler);
    ReleaseSRWLockExclusive(&g_overflowLock);
    return EXCEPTION_CONTINUE_SEARCH;
}

void AddOverflowHandlers()
{
    if (kFrameDispatchBytes == 0)
        return;
    g_overflowFirst = AddVectoredExceptionHandler(1, FirstOverflowHandler);
}

void RemoveOverflowHandlers()
{
    AcquireSRWLockExclusive(&g_overflowLock);
    if (g_overflowFirst != nullptr)
        RemoveVectoredExceptionHandler(g_overflowFirst);
    if (g_overflowLast != nullptr)
        RemoveVectoredExceptionHandler(g_overflowLast);
    g_overflowFirst = nullptr;
    g_overflowLast = nullptr;
    ReleaseSRWLockExclusive(&g_overflowLock);
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
    g_writerStarted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (g_writerStarted == nullptr)
        return;
    g_writer = CreateThread(
        nullptr, kWriterStackBytes, WriterMain, nullptr, CREATE_SUSPENDED | STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (g_writer == nullptr) {
        CloseHandle(g_writerStarted);
        g_writerStarted = nullptr;
        return;
    }
    AddOverflowHandlers();
}

// A writer that never ran is left suspended: it never runs the unloaded code,
// whereas ending it brings the whole process down under an emulated loader.
// Only its reserved stack stays behind, and the client never unloads us.
void DiscardCrashWriter()
{
    if (g_writer == nullptr)
        return;
    RemoveOverflowHandlers();
    CloseHandle(g_writer);
    g_writer = nullptr;
    CloseHandle(g_writerStarted);
    g_writerStarted = nullptr;
    g_claimed = 0;
    g_recording = 0;
    g_pending = PendingCrash{};
}

void ReserveFilterStack()
{
    ULONG bytes = kFilterStackBytes;
    SetThreadStackGuarantee(&bytes);
}
