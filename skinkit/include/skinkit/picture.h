#pragma once

#include <deque>
#include <memory>
#include <string>

#include <windows.h>
#include <gdiplus.h>

#include "skinkit/paint_cache.h"
#include "skinkit/skinkit_api.h"

// A picture drawn into its parent. Drawing styles: 0 natural size at the
// top-left, 1 stretched, 2 tiled, 3 centred, 4 nothing, 5 three-part
// horizontal stretch around the picture's middle column.
// Drawing keeps a ready copy: a caller that changes a picture's pixels in
// place hands it over again with set_picture_ptr.
class SKINKIT_API CPictureUI {
public:
    CPictureUI() = default;

    bool Create(HWND parent, bool visible);
    void SetAttribute(
        const std::wstring& section, const std::wstring& iniFile, const std::deque<Gdiplus::Bitmap*>& images);

    void set_window_rect(UINT left, UINT top, UINT right, UINT bottom);
    void SetWindowRect(int left, int top, int right, int bottom);
    void set_picture_ptr(Gdiplus::Bitmap* picture);
    Gdiplus::Bitmap* GetPicture() const { return m_picture; }
    // Only for pictures the caller handed over, never for image-list entries.
    void DestroyPicture();
    void SetStyle(int style) { m_style = style; }
    int GetStyle() const { return m_style; }

    void DrawPicture(HDC hdc);
    void OnPaint(HDC hdc);
    LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    bool IsWindowVisible() const { return m_visible; }
    void ShowWindow(bool visible);
    RECT GetWindowRect() const { return m_rect; }

private:
    RECT PaintedArea() const;

    HWND m_parent = nullptr;
    RECT m_rect{};
    Gdiplus::Bitmap* m_picture = nullptr;
    int m_style = 0;
    RECT m_rawRect{};
    bool m_visible = true;
    CPaintCache m_cache;
};

// Decodes a picture file into a bitmap of its own, so the file is not held
// open afterwards (a download may replace it). Null when it is missing or not
// a picture.
SKINKIT_API std::unique_ptr<Gdiplus::Bitmap> LoadPictureFile(const std::wstring& path);

// A picture held in memory (a resource, say) decoded the same way.
SKINKIT_API std::unique_ptr<Gdiplus::Bitmap> LoadPictureBytes(const void* bytes, size_t size);

// Blends `picture` at its own size, its corner at (x, y), straight into a
// 32-bit target's bits (see skinkit::BlendStraight), copying the rows when
// `opaque` (every alpha 0xFF). False when the picture's pixels cannot be read
// or the target is no plain DIB: the caller then draws through GDI+.
SKINKIT_API bool BlendPictureStraight(HDC target, int x, int y, Gdiplus::Bitmap& picture, bool opaque = false);
