// Stand-in for the dump uploader: leaves a marker in its current directory
// so a test can see that, and where, it was started.
#include "crash_probe_modes.h"
#include "win32kit/scoped_win.h"

using win32kit::ScopedHandle;

int main() {
    ScopedHandle file(CreateFileW(kUploaderMarkerName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return 1;
    DWORD written = 0;
    return WriteFile(file.Get(), kUploaderMarkerText, sizeof(kUploaderMarkerText) - 1, &written,
                     nullptr)
               ? 0
               : 1;
}
