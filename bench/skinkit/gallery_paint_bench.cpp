// Paint time of the gallery window holding fifty controls, against a bare
// BitBlt of a bitmap of the same size, measured in one run. The full repaint
// is also split into drawing the controls and handing the surface to the
// system (UpdateLayeredWindow), which the library does not control.
#include <windows.h>
#include <gdiplus.h>
#include <objbase.h>

#include <cstdio>

#include "gallery_window.h"
#include "paint_timing.h"
#include "skinkit/memory_dc.h"

namespace {

constexpr int kFrames = 60;
constexpr int kControls = 50;

}  // namespace

int wmain()
{
    OleInitialize(nullptr);
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
        return 1;
    int code = 0;
    {
        CGalleryWindow gallery;
        if (!gallery.Create(L"", false)) {
            std::printf("gallery_paint: the gallery window could not be created\n");
            code = 1;
        } else {
            gallery.AddFillerControls(kControls);
            gallery.ShowWindow(SW_SHOWNA);
            const SIZE size = gallery.GetSize();
            HWND hwnd = gallery.GetHWND();
            HDC screen = GetDC(hwnd);

            __ostrel_memory_dc source;
            __ostrel_memory_dc target;
            source.Create_compatible_dc(screen, size.cx, size.cy, 1);
            target.Create_compatible_dc(screen, size.cx, size.cy, 1);
            const double blit = MedianMs(kFrames,
                [&] { BitBlt(target.get_ghost(), 0, 0, size.cx, size.cy, source.get_ghost(), 0, 0, SRCCOPY); });
            // A full repaint: a fresh surface, every control, handed to the system.
            const double paint = MedianMs(kFrames, [&] {
                __ostrel_memory_dc surface;
                surface.Create_compatible_dc(screen, size.cx, size.cy, 1);
                gallery.Render(surface.get_ghost());
                PresentLayeredWindow(hwnd, screen, surface.get_ghost(), size.cx, size.cy);
            });
            const double controls = MedianMs(kFrames, [&] { gallery.Render(target.get_ghost()); });
            const double handOver
                = MedianMs(kFrames, [&] { PresentLayeredWindow(hwnd, screen, target.get_ghost(), size.cx, size.cy); });
            ReleaseDC(hwnd, screen);
            std::printf("gallery_paint: %d controls, %ldx%ld, median of %d frames\n", gallery.ControlCount(), size.cx,
                size.cy, kFrames);
            std::printf("gallery_paint: full repaint %.3f ms, bare BitBlt %.3f ms, ratio %.1f\n", paint, blit,
                blit > 0 ? paint / blit : 0.0);
            std::printf("gallery_paint: of which drawing the controls %.3f ms, UpdateLayeredWindow %.3f ms\n", controls,
                handOver);
            std::printf("gallery_paint: %s one 60 Hz frame (16.7 ms)\n", paint < 16.7 ? "within" : "over");
        }
    }
    Gdiplus::GdiplusShutdown(token);
    OleUninitialize();
    return code;
}
