#include "skinkit/memory_dc.h"

#include "win32kit/scoped_win.h"

__ostrel_memory_dc::__ostrel_memory_dc(const __ostrel_memory_dc& other)
    : m_dc(other.m_dc), m_width(other.m_width), m_height(other.m_height), m_bitmap(other.m_bitmap),
      m_bits(other.m_bits), m_original(other.m_original), m_owner(false)
{
}

__ostrel_memory_dc& __ostrel_memory_dc::operator=(const __ostrel_memory_dc& other)
{
    if (this == &other)
        return *this;
    if (m_owner)
        DeleteDC();
    m_dc = other.m_dc;
    m_width = other.m_width;
    m_height = other.m_height;
    m_bitmap = other.m_bitmap;
    m_bits = other.m_bits;
    m_original = other.m_original;
    m_owner = false;
    return *this;
}

__ostrel_memory_dc::~__ostrel_memory_dc()
{
    if (m_owner)
        DeleteDC();
}

// The DC goes with the DIB's selection undone; the DIB itself only when
// deleteBitmap says so (a caller may have taken it with GetBitmap).
int __ostrel_memory_dc::Release(bool deleteBitmap)
{
    const BOOL result = win32kit::DeleteBitmapDC(m_dc, m_original, deleteBitmap ? m_bitmap : nullptr);
    m_dc = nullptr;
    m_original = nullptr;
    m_bitmap = nullptr;
    m_bits = nullptr;
    return result;
}

int __ostrel_memory_dc::Create_compatible_dc(HDC hdc, int width, int height, int deleteOld) {
    win32kit::ScopedDC display;
    HDC reference = hdc;
    if (!reference) {
        display.Reset(CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
        reference = display.Get();
    }
    if (m_owner)
        Release(deleteOld != 0);
    m_owner = true;  // what it makes now is its own
    m_dc = CreateCompatibleDC(reference);
    if (!m_dc)
        return 0;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    m_bitmap = CreateDIBSection(reference, &info, DIB_RGB_COLORS, &m_bits, nullptr, 0);
    if (!m_bitmap) return 0;
    m_original = SelectObject(m_dc, m_bitmap);
    m_width = width;
    m_height = height;
    return 1;
}

int __ostrel_memory_dc::DeleteDC() { return Release(true); }

BOOL PresentLayeredWindow(HWND hwnd, HDC target, HDC source, int width, int height) {
    RECT window{};
    GetWindowRect(hwnd, &window);
    POINT position{window.left, window.top};
    SIZE size{width, height};
    POINT origin{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    return UpdateLayeredWindow(hwnd, target, &position, &size, source, &origin, 0, &blend, ULW_ALPHA);
}
