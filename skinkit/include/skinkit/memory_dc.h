#pragma once

#include <windows.h>

#include "skinkit/skinkit_api.h"
#include "win32kit/scoped_win.h"

// An off-screen 32-bit drawing surface (bottom-up DIB section in a memory DC).
// Copies share the handles without owning them: only the original releases
// them when it goes, so a copy outliving it must not be drawn on.
class SKINKIT_API __ostrel_memory_dc {
public:
    __ostrel_memory_dc() = default;
    __ostrel_memory_dc(const __ostrel_memory_dc& other);
    __ostrel_memory_dc& operator=(const __ostrel_memory_dc& other);
    ~__ostrel_memory_dc();

    int Create_compatible_dc(HDC hdc, int width, int height, int deleteOld);
    HBITMAP GetBitmap() const { return m_bitmap; }
    HDC& get_ghost() { return m_dc; }
    int DeleteDC();
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Pixel rows of the DIB, bottom-up, 0xAARRGGBB premultiplied.
    void* Bits() const { return m_bits; }

private:
    int Release(bool deleteBitmap);

    // The DC and its DIB, held by the original only.
    win32kit::ScopedBitmapDC m_surface;
    // The surface's DC and DIB: the original's own, or in a copy the
    // original's, not owned.
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    int m_width = 0;
    int m_height = 0;
    void* m_bits = nullptr;
    bool m_owner = true;
};

// Hands a 32-bit surface to the system as the per-pixel-alpha image of a
// layered window at the window's current screen position.
SKINKIT_API BOOL PresentLayeredWindow(HWND hwnd, HDC target, HDC source, int width, int height);
