#include "first_run.h"

#include <windows.h>
// The shell needs the Windows types first.
#include <shlobj.h>

namespace {

constexpr wchar_t kSection[] = L"vorlane";
constexpr wchar_t kKey[] = L"runonce";

std::wstring ShellAppDataFolder()
{
    wchar_t folder[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return {};
    return folder;
}

}  // namespace

int CheckFirstRun(const std::wstring& appDataFolder)
{
    if (appDataFolder.empty())
        return 1;
    const std::wstring folder = appDataFolder + L"\\ostrel_quarn";
    const std::wstring marker = folder + L"\\vorlane.db";
    if (GetPrivateProfileIntW(kSection, kKey, 0, marker.c_str()) != 0)
        return 0;
    // The marker is written at once, so an interrupted first run still counts.
    SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    WritePrivateProfileStringW(kSection, kKey, L"1", marker.c_str());
    return 1;
}

int IsFirstRun()
{
    static const int firstRun = CheckFirstRun(ShellAppDataFolder());
    return firstRun;
}
