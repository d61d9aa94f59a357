#include "desktop_info.h"

#include "wide_text.h"

#include <windows.h>

// The display mode is in device pixels whatever the process's DPI awareness;
// the system metric is scaled down for a process the system stretches.
int PrimaryScreenWidth()
{
    DEVMODEW mode{};
    mode.dmSize = sizeof(mode);
    if (EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode) && mode.dmPelsWidth > 0 && mode.dmPelsWidth < 65536)
        return int(mode.dmPelsWidth);
    return GetSystemMetrics(SM_CXSCREEN);
}

std::string AppDataFolder()
{
    wchar_t folder[512];
    DWORD length = GetEnvironmentVariableW(L"APPDATA", folder, 512);
    if (length == 0 || length >= 512)
        return {};
    std::wstring path(folder, length);
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/'))
        path.pop_back();
    return Narrow(path);
}
