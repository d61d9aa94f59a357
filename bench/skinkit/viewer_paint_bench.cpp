// Paint time of the picture viewer showing a 1920 x 1200 JPEG in a
// 1280 x 800 viewer, in one run: with the decoded picture kept while the file
// is unchanged, against decoding it on every paint (the file's write time is
// moved before each paint, so the viewer must read it again, as it would if
// it kept nothing).
#include <windows.h>

#include <gdiplus.h>
#include <objbase.h>

#include <cstdio>

#include "paint_timing.h"
#include "skinkit/image_list.h"
#include "skinkit/memory_dc.h"
#include "skinkit/picture_viewer.h"
#include "viewer_preview.h"

namespace {

constexpr int kFrames = 30;
constexpr int kWidth = 1280;
constexpr int kHeight = 800;

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

// Moves the file's write time one second on, as a new download would.
void Touch(const std::wstring& path)
{
    static ULONGLONG seconds = 0;
    HANDLE file = CreateFileW(
        path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t{};
    t.LowPart = now.dwLowDateTime;
    t.HighPart = now.dwHighDateTime;
    t.QuadPart += ++seconds * 10000000ull;
    const FILETIME moved{t.LowPart, t.HighPart};
    SetFileTime(file, nullptr, nullptr, &moved);
    CloseHandle(file);
}

int Run()
{
    HWND parent = CreateWindowExW(0, L"STATIC", L"viewer bench", WS_POPUP, 0, 0, kWidth, kHeight, nullptr, nullptr,
        GetModuleHandleW(nullptr), nullptr);
    if (!parent) {
        std::printf("viewer_paint: no window for the viewer\n");
        return 1;
    }
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring path = std::wstring(temp) + L"skinkit-viewer-bench.jpg";
    if (!WriteDemoPicture(path, 1920, 1200)) {
        std::printf("viewer_paint: the picture could not be written\n");
        DestroyWindow(parent);
        return 1;
    }
    int code = 0;
    {
        const std::wstring folder = ProgramFolder() + L"Qnv_resource\\";
        CImageList images;
        images.Load(folder);
        Rir_picture_ui viewer;
        viewer.Create(parent, true);
        viewer.SetAttribute(L"window_background", folder + L"picture_viewer.ini", images.Images());
        viewer.set_window_rect(0, 0, kWidth, kHeight);
        viewer.OnLButtonUp(0, 0);  // past the default picture
        viewer.set_bk_image_local_path(path);

        __ostrel_memory_dc surface;
        surface.Create_compatible_dc(nullptr, kWidth, kHeight, 1);
        const unsigned startDecodes = viewer.GetDecodeCount();
        const double cached = MedianMs(kFrames, [&] { viewer.OnPaint(surface.get_ghost()); });
        const unsigned cachedDecodes = viewer.GetDecodeCount() - startDecodes;
        const double uncached = MedianMs(kFrames, [&] {
            Touch(path);
            viewer.OnPaint(surface.get_ghost());
        });
        const unsigned uncachedDecodes = viewer.GetDecodeCount() - startDecodes - cachedDecodes;
        const RECT r = viewer.GetPictureRect();
        std::printf("viewer_paint: 1920x1200 JPEG drawn at %ldx%ld in a %dx%d viewer, median of %d paints\n",
            r.right - r.left, r.bottom - r.top, kWidth, kHeight, kFrames);
        std::printf(
            "viewer_paint: decoded picture kept %.3f ms (%u decodes), decoded every paint %.3f ms (%u decodes)\n",
            cached, cachedDecodes, uncached, uncachedDecodes);
        std::printf("viewer_paint: ratio %.1f\n", cached > 0 ? uncached / cached : 0.0);
        if (cachedDecodes > 1)
            code = 1;
    }
    DeleteFileW(path.c_str());
    DestroyWindow(parent);
    return code;
}

}  // namespace

int wmain()
{
    OleInitialize(nullptr);
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
        return 1;
    const int code = Run();
    Gdiplus::GdiplusShutdown(token);
    OleUninitialize();
    return code;
}
