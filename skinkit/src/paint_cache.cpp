#include "skinkit/paint_cache.h"

#include "skinkit/pixel_blend.h"
#include "surface_ledger.h"

#include <cstring>

CPaintCache::~CPaintCache() { Release(); }

CPaintCache& CPaintCache::operator=(const CPaintCache& other)
{
    if (this != &other)
        Invalidate();
    return *this;
}

void CPaintCache::Release()
{
    if (m_surface.Dc())
        skinkit::ledger::Gone(this);
    m_valid = false;
    m_surface.Reset();
    m_bits = nullptr;
}

bool CPaintCache::Allocate(int width, int height)
{
    Release();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &m_bits, nullptr, 0);
    m_surface.Reset(CreateCompatibleDC(nullptr), bitmap);
    if (!m_surface.IsValid()) {
        Release();
        return false;
    }
    skinkit::ledger::Made(this, width, height);
    return true;
}

HDC CPaintCache::Begin(const RECT& area, const std::string& key)
{
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    m_valid = false;
    if (width <= 0 || height <= 0) {
        // Nothing to draw: remember that, so an empty control stays cheap.
        Release();
        m_area = area;
        m_key = key;
        m_valid = true;
        return nullptr;
    }
    const bool sameSize = m_surface.Dc() && width == m_area.right - m_area.left && height == m_area.bottom - m_area.top;
    if (sameSize) {
        GdiFlush();  // earlier drawing may still be queued for these bits
        std::memset(m_bits, 0, static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    } else if (!Allocate(width, height)) {
        return nullptr;
    }
    m_area = area;
    m_key = key;
    m_valid = true;
    m_surveyed = false;
    return m_surface.Dc();
}

namespace {

// Pictures with a smaller opaque core are blended whole: splitting them costs
// more calls than it saves pixels.
constexpr long kMinCorePixels = 128 * 128;

}  // namespace

// Looks over the finished picture once, before its first draw.
void CPaintCache::Survey()
{
    m_surveyed = true;
    GdiFlush();
    m_plainRows = m_bits ? skinkit::FindPlainRows(Pixels()) : std::vector<unsigned char>{};
    FindOpaqueCore();
}

// Grows a rectangle from the centre: the opaque run of the middle row, then
// every row above and below that is opaque across the whole run.
void CPaintCache::FindOpaqueCore()
{
    m_opaqueCore = RECT{};
    const int width = m_area.right - m_area.left;
    const int height = m_area.bottom - m_area.top;
    if (!m_bits || static_cast<long>(width) * height < kMinCorePixels)
        return;
    const auto* pixels = static_cast<const UINT32*>(m_bits);
    const auto opaque = [&](int x, int y) { return (pixels[static_cast<size_t>(y) * width + x] >> 24) == 0xFF; };
    const int middle = height / 2;
    int left = width / 2;
    int right = left;
    while (left > 0 && opaque(left - 1, middle))
        --left;
    while (right < width && opaque(right, middle))
        ++right;
    if (right - left <= 0)
        return;
    const auto rowOpaque = [&](int y) {
        for (int x = left; x < right; ++x) {
            if (!opaque(x, y))
                return false;
        }
        return true;
    };
    if (!rowOpaque(middle))
        return;
    int top = middle;
    int bottom = middle + 1;
    while (top > 0 && rowOpaque(top - 1))
        --top;
    while (bottom < height && rowOpaque(bottom))
        ++bottom;
    if (static_cast<long>(right - left) * (bottom - top) < kMinCorePixels)
        return;
    m_opaqueCore = RECT{left, top, right, bottom};
}

// Straight into a 32-bit DIB target where it can: the main window blends
// whole panels each paint.
bool CPaintCache::BlendDirect(HDC target, int x, int y, const RECT& part) const
{
    return m_bits && skinkit::BlendStraight(target, x, y, Pixels(), part);
}

skinkit::PixelRows CPaintCache::Pixels() const
{
    skinkit::PixelRows pixels;
    pixels.top = static_cast<const UINT32*>(m_bits);
    pixels.width = m_area.right - m_area.left;
    pixels.height = m_area.bottom - m_area.top;
    pixels.stride = pixels.width;
    pixels.plainRows = m_plainRows.data();
    return pixels;
}

void CPaintCache::Blend(HDC target, int x, int y, const RECT& part) const
{
    const int width = part.right - part.left;
    const int height = part.bottom - part.top;
    if (width <= 0 || height <= 0)
        return;
    if (BlendDirect(target, x, y, part))
        return;
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    GdiAlphaBlend(
        target, x + part.left, y + part.top, width, height, m_surface.Dc(), part.left, part.top, width, height, blend);
}

RECT CPaintCache::OpaqueArea(int anchorX, int anchorY) const
{
    if (!m_valid || !m_surveyed || IsRectEmpty(&m_opaqueCore))
        return RECT{};
    RECT area = m_opaqueCore;
    OffsetRect(&area, anchorX + m_area.left, anchorY + m_area.top);
    return area;
}

void CPaintCache::Draw(HDC target, int anchorX, int anchorY)
{
    if (!m_valid || !m_surface.Dc())
        return;
    if (!m_surveyed)
        Survey();
    const int width = m_area.right - m_area.left;
    const int height = m_area.bottom - m_area.top;
    const int x = anchorX + m_area.left;
    const int y = anchorY + m_area.top;
    const RECT& core = m_opaqueCore;
    if (IsRectEmpty(&core)) {
        Blend(target, x, y, RECT{0, 0, width, height});
        return;
    }
    // Opaque pixels cover whatever is below them: a copy is exact there.
    BitBlt(target, x + core.left, y + core.top, core.right - core.left, core.bottom - core.top, m_surface.Dc(),
        core.left, core.top, SRCCOPY);
    Blend(target, x, y, RECT{0, 0, width, core.top});
    Blend(target, x, y, RECT{0, core.bottom, width, height});
    Blend(target, x, y, RECT{0, core.top, core.left, core.bottom});
    Blend(target, x, y, RECT{core.right, core.top, width, core.bottom});
}
