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
    if (std::strcmp(mode, kProbeModeRaise) == 0) {
        RaiseException(kProbeExceptionCode, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    } else if (std::strcmp(mode, kProbeModeStackOverflow) == 0) {
        Recurse(0);
    } else {
        WriteToForbiddenPage();
    }
    return kProbeSurvived;
}
