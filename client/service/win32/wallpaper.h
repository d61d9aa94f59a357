#pragma once
#include <windows.h>
// MinGW's <shlobj.h> declares IActiveDesktop only after <wininet.h>.
#include <wininet.h>

#include <shlobj.h>

#include <functional>
#include <string>

// The parts of the system SetWallpaper uses; tests stand in for them.
struct WallpaperSystem {
    // The Windows folder; "\WEB\Wallpaper" below it receives the copy.
    std::wstring windowsFolder;
    // Makes the shell's Active Desktop object (reference owned by the caller).
    std::function<HRESULT(IActiveDesktop**)> createDesktop;
    // Sets the wallpaper the plain way, stretched.
    std::function<bool(const std::wstring& path)> setByParameters;
};

// The real system: CoCreateInstance and SystemParametersInfoW.
WallpaperSystem SystemWallpaper();

// Copies the picture (UTF-8 path) to "<Windows>\WEB\Wallpaper\MyWallPaper.jpg"
// and makes it the stretched wallpaper through Active Desktop. Where the shell
// has no working Active Desktop (the object cannot be made, or its calls
// answer E_NOTIMPL) it falls back to SystemParametersInfoW. 1 on success, 0
// on failure; runs on the UI thread, whose COM is initialised.
int SetWallpaper(const std::string& picturePath);
int SetWallpaper(const std::string& picturePath, const WallpaperSystem& system);
