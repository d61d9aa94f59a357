#include "wallpaper.h"

#include "wide_text.h"

#include "win32kit/scoped_win.h"

namespace {

const CLSID kActiveDesktopClass = {0x75048700, 0xef1f, 0x11d0, {0x98, 0x88, 0x00, 0x60, 0x97, 0xde, 0xac, 0xf9}};
const IID kActiveDesktopInterface = {0xf490eb00, 0x1240, 0x11d1, {0x98, 0x88, 0x00, 0x60, 0x97, 0xde, 0xac, 0xf9}};

enum class DesktopOutcome { Done, Failed, NotImplemented };

DesktopOutcome Judge(HRESULT result)
{
    if (result == E_NOTIMPL)
        return DesktopOutcome::NotImplemented;
    return SUCCEEDED(result) ? DesktopOutcome::Done : DesktopOutcome::Failed;
}

DesktopOutcome ThroughActiveDesktop(const std::wstring& target, const WallpaperSystem& system)
{
    win32kit::ComPtr<IActiveDesktop> desktop;
    if (!system.createDesktop || FAILED(system.createDesktop(desktop.Out())) || !desktop)
        return DesktopOutcome::NotImplemented;

    COMPONENTSOPT components = {};
    components.dwSize = sizeof components;
    components.fEnableComponents = TRUE;
    components.fActiveDesktop = TRUE;
    // Shells without desktop components answer E_NOTIMPL here and still take a wallpaper.
    HRESULT result = desktop->SetDesktopItemOptions(&components, 0);
    if (FAILED(result) && result != E_NOTIMPL)
        return DesktopOutcome::Failed;

    DesktopOutcome outcome = Judge(desktop->SetWallpaper(target.c_str(), 0));
    if (outcome != DesktopOutcome::Done)
        return outcome;
    WALLPAPEROPT options = {};
    options.dwSize = sizeof options;
    options.dwStyle = WPSTYLE_STRETCH;
    outcome = Judge(desktop->SetWallpaperOptions(&options, 0));
    if (outcome != DesktopOutcome::Done)
        return outcome;
    return Judge(desktop->ApplyChanges(AD_APPLY_ALL));
}

bool SetStretchedByParameters(const std::wstring& path)
{
    // Stretched, not tiled, as the Active Desktop path asks.
    win32kit::ScopedRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_SET_VALUE, key.Out()) == ERROR_SUCCESS) {
        RegSetValueExW(
            key.Get(), L"WallpaperStyle", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"2"), 2 * sizeof(wchar_t));
        RegSetValueExW(
            key.Get(), L"TileWallpaper", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"0"), 2 * sizeof(wchar_t));
    }
    return SystemParametersInfoW(
               SPI_SETDESKWALLPAPER, 0, const_cast<wchar_t*>(path.c_str()), SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE)
        != FALSE;
}

std::wstring WindowsFolder()
{
    wchar_t folder[MAX_PATH];
    UINT length = GetWindowsDirectoryW(folder, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(folder, length) : std::wstring(L"C:\\Windows");
}

}  // namespace

WallpaperSystem SystemWallpaper()
{
    WallpaperSystem system;
    system.windowsFolder = WindowsFolder();
    system.createDesktop = [](IActiveDesktop** desktop) {
        return CoCreateInstance(kActiveDesktopClass, nullptr, CLSCTX_INPROC_SERVER, kActiveDesktopInterface,
            reinterpret_cast<void**>(desktop));
    };
    system.setByParameters = SetStretchedByParameters;
    return system;
}

int SetWallpaper(const std::string& picturePath) { return SetWallpaper(picturePath, SystemWallpaper()); }

int SetWallpaper(const std::string& picturePath, const WallpaperSystem& system)
{
    const std::wstring folder = system.windowsFolder + L"\\WEB\\Wallpaper";
    SHCreateDirectory(nullptr, folder.c_str());
    const std::wstring target = folder + L"\\MyWallPaper.jpg";
    if (!CopyFileW(Widen(picturePath).c_str(), target.c_str(), FALSE))
        return 0;

    switch (ThroughActiveDesktop(target, system)) {
    case DesktopOutcome::Done:
        return 1;
    case DesktopOutcome::Failed:
        return 0;
    case DesktopOutcome::NotImplemented:
        break;
    }
    return system.setByParameters && system.setByParameters(target) ? 1 : 0;
}
