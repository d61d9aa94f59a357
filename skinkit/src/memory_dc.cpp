#include "skinkit/memory_dc.h"

#include "surface_ledger.h"
#include "win32kit/scoped_win.h"

__ostrel_memory_dc::__ostrel_memory_dc(const __ostrel_memory_dc& other)
    : m_dc(other.m_dc)
    , m_bitmap(other.m_bitmap)
    , m_width(other.m_width)
    , m_height(other.m_height)
    , m_bits(other.m_bits)
    , m_owner(false)
{
}

__ostrel_memory_dc& __ostrel_memory_dc::operator=(const __ostrel_memory_dc& other)
{
    if (this == &other)
        return *this;
    if (m_owner)
        DeleteDC();
    m_dc = other.m_dc;
    m_bitmap = other.m_bitmap;
    m_width = other.m_width;
    m_height = other.m_height;
    m_bits = other.m_bits;
    m_owner = false;
    return *this;
}

__ostrel_memory_dc::~__ostrel_memory_dc()
{
    if (m_surface.Dc())
        skinkit::ledger::Gone(this);
}

// The DC goes with the DIB's selection undone; the DIB itself only when
// deleteBitmap says so (a caller may have taken it with GetBitmap). A copy
// only forgets the original's handles.
int __ostrel_memory_dc::Release(bool deleteBitmap)
{
    if (m_surface.Dc())
        skinkit::ledger::Gone(this);
    if (deleteBitmap)
        m_surface.Reset();
    else
        m_surface.ReleaseBitmap();
    m_dc = nullptr;
    m_bitmap = nullptr;
    m_bits = nullptr;
    return TRUE;
}

int __ostrel_memory_dc::Create_compatible_dc(HDC hdc, int width, int height, int deleteOld)
{
    win32kit::ScopedDC display;
    HDC reference = hdc;
    if (!reference) {
        display.Reset(CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
        reference = display.Get();
    }
    if (m_owner)
        Release(deleteOld != 0);
    m_owner = true;  // what it makes now is its own
    win32kit::ScopedDC dc(CreateCompatibleDC(reference));
    if (!dc)
        return 0;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(reference, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap)
        return 0;
    m_surface.Reset(dc.Release(), bitmap);
    m_dc = m_surface.Dc();
    m_bitmap = bitmap;
    m_bits = bits;
    m_width = width;
    m_height = height;
    skinkit::ledger::Made(this, width, height);
    return 1;
}

int __ostrel_memory_dc::DeleteDC() { return Release(true); }

BOOL PresentLayeredWindow(HWND hwnd, HDC target, HDC source, int width, int height)
{
    RECT window{};
    GetWindowRect(hwnd, &window);
    POINT position{window.left, window.top};
    SIZE size{width, height};
    POINT origin{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    return UpdateLayeredWindow(hwnd, target, &position, &size, source, &origin, 0, &blend, ULW_ALPHA);
}
