#pragma once

#include <memory>
#include <string>

#include <windows.h>
#include <gdiplus.h>

#include "skinkit/skinkit_api.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

// Everything a skin names (INI rectangles, font sizes, a window's own layout
// numbers) is in units of a 96-DPI screen; a window scales them to its own
// DPI when it reads them. Pictures come in sets rendered at 1x, 1.5x and 2x
// ("name.png", "name@1.5x.png", "name@2x.png") and are loaded at the
// window's DPI, so a loaded picture's pixel size is already a layout size.
namespace skinkit {

constexpr int kBaseDpi = 96;
constexpr int kMinDpi = 48;
constexpr int kMaxDpi = 480;

// The DPI hwnd's top-level window is laid out for: what WM_DPICHANGED last
// told it (or, for an owned pop-up not yet told, its owner), else what the
// system reports for it, else the screen's.
SKINKIT_API int WindowDpi(HWND hwnd);
// Remembers dpi (bounded to kMinDpi..kMaxDpi) for hwnd's top-level window.
SKINKIT_API void SetWindowDpi(HWND hwnd, int dpi);

// The first half of a window's WM_DPICHANGED: remembers the new DPI and
// takes the rectangle the system suggests. The window then loads its
// pictures and lays itself out again.
SKINKIT_API void TakeDpiChange(HWND hwnd, WPARAM wParam, LPARAM lParam);

inline int ScaleToDpi(int value, int dpi) { return MulDiv(value, dpi, kBaseDpi); }
// Each edge scaled; an edge measured from the far side (negative) stays so.
SKINKIT_API RECT ScaleRectToDpi(const RECT& rect, int dpi);

// The DPI of the picture set drawn at dpi: the set at or next above it, so
// between sets a picture is only ever scaled down; above the largest, the
// largest.
SKINKIT_API int SkinSetDpi(int dpi);
// The file of path's picture in the set of setDpi.
SKINKIT_API std::wstring SkinSetFile(const std::wstring& path, int setDpi);
// path's picture sized for dpi: from the set SkinSetDpi names, else the
// nearest set present, resampled when that set is not dpi's own. Null when
// no set has the picture or it does not decode.
SKINKIT_API std::unique_ptr<Gdiplus::Bitmap> LoadSkinPicture(const std::wstring& path, int dpi);

}  // namespace skinkit

namespace skinkit {

inline Gdiplus::RectF ScaleRectFToDpi(const Gdiplus::RectF& r, int dpi)
{
    const float scale = float(dpi) / kBaseDpi;
    return Gdiplus::RectF(r.X * scale, r.Y * scale, r.Width * scale, r.Height * scale);
}

}  // namespace skinkit
