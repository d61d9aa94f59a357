// Loads the crash handler the way the client does, then crashes (or, in one
// mode, hands a made-up exception to the handler's filter).
#include <cstring>

#include "crash_probe_modes.h"

namespace {

void WriteToForbiddenPage()
{
    // Not address 0: Wine running as root may have the first page mapped.
    // A reserved, never committed page faults everywhere.
    void* page = VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_NOACCESS);
    int* volatile target = static_cast<int*>(page);
    *target = 1;
}

// The buffer and the addition after the call keep every frame alive: no
// tail call, no loop.
int Recurse(int depth)
{
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    if (depth < 0)
        return 0;
    return Recurse(depth + 1) + frame[0];
}

// Where the thread's stack was before the recursion; the catcher resumes
// there, as a handler that unwinds to its own frame would.
char* g_stackBeforeRecursion = nullptr;

[[noreturn]] void EndCaught() { ExitProcess(kProbeCaught); }

// Takes whatever the recursion raises, as a catch-all handler would: an
// emulated 32-bit loader reports the overflow's first fault as an illegal
// instruction rather than as an overflow.
LONG WINAPI CatchOverflow(EXCEPTION_POINTERS* pointers)
{
    // Aligned as at a call: 16 bytes below the frame, less the return address.
    const auto top = (reinterpret_cast<ULONG_PTR>(g_stackBeforeRecursion) & ~ULONG_PTR{15}) - 256 - sizeof(void*);
    CONTEXT* context = pointers->ContextRecord;
#ifdef _WIN64
    context->Rsp = top;
    context->Rip = reinterpret_cast<ULONG_PTR>(&EndCaught);
#else
    context->Esp = top;
    context->Eip = reinterpret_cast<ULONG_PTR>(&EndCaught);
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

int OverflowAndCatch()
{
    volatile char frame[16];
    g_stackBeforeRecursion = const_cast<char*>(frame);
    if (AddVectoredExceptionHandler(0, CatchOverflow) == nullptr)
        return kProbeLoadFailed;
    Recurse(0);
    return kProbeSurvived;
}

using LockLoaderLock = LONG(NTAPI*)(ULONG flags, ULONG* disposition, ULONG_PTR* cookie);

int RaiseUnderLoaderLock()
{
    const auto lock = reinterpret_cast<LockLoaderLock>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "LdrLockLoaderLock")));
    ULONG_PTR cookie = 0;
    if (lock == nullptr || lock(0, nullptr, &cookie) != 0)
        return kProbeNoLoaderLock;
    RaiseException(kProbeExceptionCode, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    return kProbeSurvived;
}

int CallInstalledFilter()
{
    const LPTOP_LEVEL_EXCEPTION_FILTER installed = SetUnhandledExceptionFilter(nullptr);
    SetUnhandledExceptionFilter(installed);
    if (installed == nullptr)
        return kProbeNoFilter;
    EXCEPTION_RECORD record{};
    record.ExceptionCode = kProbeExceptionCode;
    CONTEXT context{};
    RtlCaptureContext(&context);
    EXCEPTION_POINTERS pointers{&record, &context};
    return static_cast<int>(installed(&pointers));
}

}  // namespace

int main(int argc, char** argv)
{
    if (LoadLibraryW(L"faultcatch.dll") == nullptr)
        return kProbeLoadFailed;
    const char* mode = argc > 1 ? argv[1] : kProbeModeAccess;
    if (std::strcmp(mode, kProbeModeCallFilter) == 0)
        return CallInstalledFilter();
    if (std::strcmp(mode, kProbeModeCaughtOverflow) == 0)
        return OverflowAndCatch();
    if (std::strcmp(mode, kProbeModeLoaderLock) == 0)
        return RaiseUnderLoaderLock();
    if (std::strcmp(mode, kProbeModeRaise) == 0) {
        RaiseException(kProbeExceptionCode, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    } else if (std::strcmp(mode, kProbeModeStackOverflow) == 0) {
        Recurse(0);
    } else {
        WriteToForbiddenPage();
    }
    return kProbeSurvived;
}
