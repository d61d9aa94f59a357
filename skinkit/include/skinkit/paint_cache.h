#pragma once

#include <string>
#include <type_traits>
#include <vector>

#include <windows.h>

#include "skinkit/pixel_blend.h"
#include "skinkit/skinkit_api.h"
#include "win32kit/scoped_win.h"

// A control's last drawing kept as a ready premultiplied 32-bit picture,
// together with a key of every value that drawing depended on. While the key
// stays the same a paint costs one AlphaBlend instead of GDI+ image and text
// drawing, which is slow under some GDI+ implementations (tenths of a
// millisecond per string). The picture covers an area given relative to an
// anchor, so moving a control needs no redraw.
//
// The key decides staleness; a setter whose value cannot be seen in the key
// (a new bitmap that may sit at a freed bitmap's address) calls Invalidate.
// A copy starts empty and draws its own picture on first use. A control or
// panel that is hidden releases its picture, so what is out of sight holds no
// GDI objects; the first paint after showing it again draws anew.
class SKINKIT_API CPaintCache {
public:
    CPaintCache() = default;
    ~CPaintCache();
    CPaintCache(const CPaintCache&) { }
    CPaintCache& operator=(const CPaintCache& other);

    bool IsCurrent(const std::string& key) const { return m_valid && key == m_key; }
    // Empties the picture to area (relative to the anchor) and takes key.
    // Returns the DC to draw on, in which the anchor lies at (-area.left,
    // -area.top); null when no surface could be made (draw directly then).
    HDC Begin(const RECT& area, const std::string& key);
    // Blends the picture onto target with the anchor at (anchorX, anchorY).
    void Draw(HDC target, int anchorX, int anchorY);
    // Where the picture drawn with the anchor at (anchorX, anchorY) is
    // opaque, so what lies under that rectangle gets covered; empty until a
    // draw has looked.
    RECT OpaqueArea(int anchorX, int anchorY) const;
    void Invalidate() { m_valid = false; }
    // Frees the surface (also invalidates).
    void Release();

private:
    bool Allocate(int width, int height);
    void Survey();
    void FindOpaqueCore();
    void Blend(HDC target, int x, int y, const RECT& part) const;
    bool BlendDirect(HDC target, int x, int y, const RECT& part) const;
    skinkit::PixelRows Pixels() const;

    win32kit::ScopedBitmapDC m_surface;
    void* m_bits = nullptr;
    RECT m_area{};
    // A fully opaque rectangle of a large picture (picture coordinates):
    // copied instead of blended, since blending costs per pixel.
    RECT m_opaqueCore{};
    // Per row of the picture: 1 where every pixel is premultiplied.
    std::vector<unsigned char> m_plainRows;
    bool m_surveyed = false;
    std::string m_key;
    bool m_valid = false;
};

// Builds a CPaintCache key from plain values and strings.
class CPaintKey {
public:
    template <class T> CPaintKey& operator<<(const T& value)
    {
        static_assert(std::is_arithmetic<T>::value || std::is_pointer<T>::value || std::is_enum<T>::value,
            "keys hold plain values; add strings with their own overload");
        m_bytes.append(reinterpret_cast<const char*>(&value), sizeof(value));
        return *this;
    }
    CPaintKey& operator<<(const std::wstring& text)
    {
        *this << text.size();
        m_bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
        return *this;
    }
    CPaintKey& operator<<(const RECT& rect) { return *this << rect.left << rect.top << rect.right << rect.bottom; }
    const std::string& Bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};
