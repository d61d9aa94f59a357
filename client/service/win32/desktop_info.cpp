#include "desktop_info.h"

#include "wide_text.h"

#include <windows.h>

int PrimaryScreenWidth() { return GetSystemMetrics(SM_CXSCREEN); }

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
