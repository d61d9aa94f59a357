// Stand-in for the dump uploader: leaves a marker beside its own program
// file, so a test can see that it was started and which copy it was.
#include <cwchar>
#include <iterator>

#include "crash_probe_modes.h"
#include "win32kit/scoped_win.h"

using win32kit::ScopedHandle;

int main()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 1;
    wchar_t* name = std::wcsrchr(path, L'\\');
    if (name == nullptr)
        return 1;
    ++name;
    if (static_cast<size_t>(name - path) + std::size(kUploaderMarkerName) > MAX_PATH)
        return 1;
    std::wmemcpy(name, kUploaderMarkerName, std::size(kUploaderMarkerName));

    ScopedHandle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return 1;
    DWORD written = 0;
    return WriteFile(file.Get(), kUploaderMarkerText, sizeof(kUploaderMarkerText) - 1, &written, nullptr) ? 0 : 1;
}
