// Loaded by name at run time, as the client loads its crash handler.
#include <windows.h>

namespace {
LONG attach_count = 0;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        InterlockedIncrement(&attach_count);
    }
    return TRUE;
}

extern "C" __declspec(dllexport) LONG quarn_smoke_attach_count() { return attach_count; }

// Size of a pointer in this module, to compare with the loading program's.
extern "C" __declspec(dllexport) int quarn_smoke_pointer_size() { return static_cast<int>(sizeof(void*)); }
