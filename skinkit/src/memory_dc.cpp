#include "skinkit/memory_dc.h"

__ostrel_memory_dc::~__ostrel_memory_dc() { DeleteDC(); }

int __ostrel_memory_dc::Create_compatible_dc(HDC hdc, int width, int height, int deleteOld) {
    HDC display = nullptr;
    HDC reference = hdc;
    if (!reference) {
        display = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
        reference = display;
    }
    if (m_dc) {
        ::DeleteDC(m_dc);
        m_dc = nullptr;
    }
    m_dc = CreateCompatibleDC(reference);
    if (!m_dc) {
        if (display) ::DeleteDC(display);
        return 0;
    }
    if (m_bitmap && deleteOld) DeleteObject(m_bitmap);
    m_bitmap = nullptr;
    m_bits = nullptr;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    m_bitmap = CreateDIBSection(reference, &info, DIB_RGB_COLORS, &m_bits, nullptr, 0);
    if (display) ::DeleteDC(display);
    if (!m_bitmap) return 0;
    SelectObject(m_dc, m_bitmap);
    m_width = width;
    m_height = height;
    return 1;
}

int __ostrel_memory_dc::DeleteDC() {
    if (m_bitmap) {
        DeleteObject(m_bitmap);
        m_bitmap = nullptr;
        m_bits = nullptr;
    }
    if (!m_dc) return 1;
    const int result = ::DeleteDC(m_dc);
    m_dc = nullptr;
    return result;
}

BOOL PresentLayeredWindow(HWND hwnd, HDC target, HDC source, int width, int height) {
    RECT window{};
    GetWindowRect(hwnd, &window);
    POINT position{window.left, window.top};
    SIZE size{width, height};
    POINT origin{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    return UpdateLayeredWindow(hwnd, target, &position, &size, source, &origin, 0, &blend, ULW_ALPHA);
}
