#pragma once

// Small helpers shared by the controls: rectangle anchoring, cursor position,
// profile reading and GDI+ text drawing from a GDI font.

#include <cstddef>
#include <string>

#include <windows.h>
#include <gdiplus.h>

#include "skinkit/paint_cache.h"
#include "win32kit/scoped_win.h"

namespace skinkit {

constexpr COLORREF kDefaultTextColor = RGB(58, 67, 74);
constexpr const wchar_t* kDefaultFace = L"宋体";

// Negative raw coordinates are measured from the parent's right or bottom
// client edge.
RECT ResolveRect(HWND parent, const RECT& raw);

// A rectangle or size read from a skin file, in 96-DPI units, scaled to
// the DPI of parent's window.
void ScaleToWindow(HWND parent, RECT& raw);
int ScaleToWindow(HWND parent, int raw);

// Moves rect sideways to the middle of parent's client area.
void CenterHorizontally(HWND parent, RECT& rect);

// Cursor position in the client coordinates of hwnd.
POINT CursorInClient(HWND hwnd);
bool Contains(const RECT& rect, POINT point);
inline int Width(const RECT& r) { return r.right - r.left; }
inline int Height(const RECT& r) { return r.bottom - r.top; }

// Invalidates rect (null: the whole client area) when hwnd is a window.
BOOL InvalidateIfWindow(HWND hwnd, const RECT* rect);
bool IsUsableParent(HWND hwnd);

std::wstring ReadProfileString(const std::wstring& file, const std::wstring& section, const wchar_t* key);
int ReadProfileInt(const std::wstring& file, const std::wstring& section, const wchar_t* key, int fallback);

// The most pictures or items one skin list may have; a malformed file must
// not mean billions of reads or entries.
constexpr int kMaxSkinCount = 4096;
// A count read from a skin file (absent: 0). One out of 0..kMaxSkinCount,
// negative too, counts as 0 and is reported to the debugger output.
int ReadProfileCount(const std::wstring& file, const std::wstring& section, const wchar_t* key);
RECT ReadListRect(const wchar_t* file, const wchar_t* section, const wchar_t* key);
COLORREF ReadListColor(const wchar_t* file, const wchar_t* section, const wchar_t* key);
RECT ParseListRect(const std::wstring& value);
COLORREF ParseListColor(const std::wstring& value);

// The library's GDI font of a face and size, owned for the scope.
class ScopedFont : public win32kit::ScopedGdiObject<HFONT> {
public:
    ScopedFont(
        const wchar_t* face, int size, bool underline = false, int weight = FW_NORMAL, DWORD quality = DEFAULT_QUALITY);
};

// Text extent from DrawTextW(DT_CALCRECT) on hwnd's DC (the screen when hwnd
// is null).
SIZE MeasureText(HWND hwnd, const std::wstring& text, const wchar_t* face, int size, bool underline = false);

// The extent GDI+ draws text in (its layout adds a little padding to GDI's).
SIZE MeasureTextGdiplus(const std::wstring& text, const wchar_t* face, int size);

inline Gdiplus::Color TextArgb(COLORREF color, BYTE alpha = 254)
{
    return Gdiplus::Color(alpha, GetRValue(color), GetGValue(color), GetBValue(color));
}

// The LOGFONT of font with a face GDI+ can find.
LOGFONTW GdiplusLogFont(HDC hdc, HFONT font);

// Draws text with GDI+ from a GDI font of the given face and size; a null
// format means a point layout at the rectangle's top-left.
void DrawTextGdiplus(HDC hdc, const std::wstring& text, const wchar_t* face, int size, COLORREF color,
    const Gdiplus::RectF& layout, const Gdiplus::StringFormat* format, bool underline = false, int weight = FW_NORMAL);

// Draws a w x h block of image taken at (srcX, srcY) 1:1 at (x, y).
void DrawImagePart(Gdiplus::Graphics& g, Gdiplus::Bitmap* image, int x, int y, int srcX, int srcY, int w, int h);
// Draws a block of image stretched into dest, edges repeated instead of faded.
void DrawImageStretched(Gdiplus::Graphics& g, Gdiplus::Bitmap* image, const Gdiplus::Rect& dest, int srcX, int srcY,
    int srcW, int srcH, const Gdiplus::ImageAttributes* extra = nullptr);

// Paints through cache. When key differs from the cached picture's, the
// picture is redrawn: area() gives its extent relative to the anchor and
// paint(dc, x, y) draws with the anchor at (x, y) of dc. Then the picture is
// blended onto hdc with the anchor at (anchorX, anchorY). Without a surface,
// paint draws straight onto hdc.
template <class Area, class Paint>
void PaintCached(CPaintCache& cache, HDC hdc, int anchorX, int anchorY, const CPaintKey& key, Area area, Paint paint)
{
    if (!cache.IsCurrent(key.Bytes())) {
        const RECT extent = area();
        HDC dc = cache.Begin(extent, key.Bytes());
        if (!dc) {
            if (!IsRectEmpty(&extent))
                paint(hdc, anchorX, anchorY);
            return;
        }
        paint(dc, -extent.left, -extent.top);
    }
    cache.Draw(hdc, anchorX, anchorY);
}

// Extent of a caption laid out in a w x h box at the anchor, with room for
// glyph overhang and the pressed shift.
inline RECT BoxArea(int w, int h) { return RECT{-2, -2, w + 3, h + 3}; }

// Extent of text drawn as a point layout at the anchor (empty for no text).
RECT TextArea(const std::wstring& text, const wchar_t* face, int size);

// The top row of the 32-bit DIB selected into hdc, when drawing on hdc lands
// 1:1 on its pixels (no origin shift, a rectangular clip); row y lies at
// top + y * rowStep. Area is cut to the clip and the bitmap. Null when
// drawing must go through GDI.
UINT32* DirectPixels(HDC hdc, RECT& area, std::ptrdiff_t& rowStep);

// Posts or sends WM_COMMAND(id, code) to parent with the parent as lParam.
void PostCommand(HWND parent, WORD id, WORD code);
LRESULT SendCommand(HWND parent, WORD id, WORD code);

}  // namespace skinkit
