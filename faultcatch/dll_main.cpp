#include <windows.h>

#include "crash_dump_filter.h"

namespace {

// The filter ours replaced. The only process-wide state of the library: the
// entry point has no object to keep it in. "Installed" is tracked apart from
// the pointer because no filter at all (null) is a previous value that must
// be put back too, or the filter of an unloaded library would stay in place.
struct SavedFilter {
    bool installed = false;
    LPTOP_LEVEL_EXCEPTION_FILTER previous = nullptr;
};

SavedFilter g_saved;

void InstallFilter()
{
    if (g_saved.installed)
        return;
    g_saved.previous = SetUnhandledExceptionFilter(CrashDumpFilter);
    g_saved.installed = true;
}

void RestoreFilter()
{
    if (!g_saved.installed)
        return;
    SetUnhandledExceptionFilter(g_saved.previous);
    g_saved = SavedFilter{};
}

}  // namespace

// extern "C": otherwise the C runtime's empty default entry point is linked.
// Thread notifications stay on: every thread needs stack kept for the filter.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        ReserveFilterStack();
        PrepareCrashWriter();
        InstallFilter();
        break;
    case DLL_THREAD_ATTACH:
        ReserveFilterStack();
        break;
    case DLL_PROCESS_DETACH:
        RestoreFilter();
        // At process exit the writer is already gone with every other thread.
        if (reserved == nullptr)
            DiscardCrashWriter();
        break;
    default:
        break;
    }
    return TRUE;
}
