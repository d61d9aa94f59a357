#include "skinkit/paint_cache.h"

#include "control_util.h"

#include <cstring>

CPaintCache::~CPaintCache() { Release(); }

CPaintCache& CPaintCache::operator=(const CPaintCache& other) {
    if (this != &other) Invalidate();
    return *this;
}

void CPaintCache::Release() {
    m_valid = false;
    m_surface.Reset();
    m_bits = nullptr;
}

bool CPaintCache::Allocate(int width, int height) {
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
    return true;
}

HDC CPaintCache::Begin(const RECT& area, const std::string& key) {
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
    m_coreKnown = false;
    return m_surface.Dc();
}

namespace {
// Pictures with a smaller opaque core are blended whole: splitting them costs
// more calls than it saves pixels.
constexpr long kMinCorePixels = 128 * 128;
}  // namespace

// Grows a rectangle from the centre: the opaque run of the middle row, then
// every row above and below that is opaque across the whole run.
void CPaintCache::FindOpaqueCore() {
    m_coreKnown = true;
    m_opaqueCore = RECT{};
    const int width = m_area.right - m_area.left;
    const int height = m_area.bottom - m_area.top;
    if (!m_bits || static_cast<long>(width) * height < kMinCorePixels) return;
    GdiFlush();
    const auto* pixels = static_cast<const UINT32*>(m_bits);
    const auto opaque = [&](int x, int y) { return (pixels[static_cast<size_t>(y) * width + x] >> 24) == 0xFF; };
    const int middle = height / 2;
    int left = width / 2;
    int right = left;
    while (left > 0 && opaque(left - 1, middle)) --left;
    while (right < width && opaque(right, middle)) ++right;
    if (right - left <= 0) return;
    const auto rowOpaque = [&](int y) {
        for (int x = left; x < right; ++x) {
            if (!opaque(x, y)) return false;
        }
        return true;
    };
    if (!rowOpaque(middle)) return;
    int top = middle;
    int bottom = middle + 1;
    while (top > 0 && rowOpaque(top - 1)) --top;
    while (bottom < height && rowOpaque(bottom)) ++bottom;
    if (static_cast<long>(right - left) * (bottom - top) < kMinCorePixels) return;
    m_opaqueCore = RECT{left, top, right, bottom};
}

namespace {

// Premultiplied source over destination, two channels at a time; the
// division by 255 rounds as GDI's does.
inline UINT32 Over(UINT32 destination, UINT32 source) {
    const UINT32 alpha = source >> 24;
    if (alpha == 0xFF) return source;
    const UINT32 keep = 0xFF - alpha;
    UINT32 rb = (destination & 0x00FF00FF) * keep + 0x00800080;
    rb = ((rb + ((rb >> 8) & 0x00FF00FF)) >> 8) & 0x00FF00FF;
    UINT32 ag = ((destination >> 8) & 0x00FF00FF) * keep + 0x00800080;
    ag = (ag + ((ag >> 8) & 0x00FF00FF)) & 0xFF00FF00;
    return source + (rb | ag);
}

// A colour above its alpha (GDI text leaves such pixels) would carry into
// the next channel: those go channel by channel, capped.
inline bool Premultiplied(UINT32 pixel) {
    const UINT32 alpha = pixel >> 24;
    return (pixel & 0xFF) <= alpha && ((pixel >> 8) & 0xFF) <= alpha && ((pixel >> 16) & 0xFF) <= alpha;
}

inline UINT32 OverCapped(UINT32 destination, UINT32 source) {
    const UINT32 keep = 0xFF - (source >> 24);
    UINT32 result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const UINT32 channel = ((source >> shift) & 0xFF) + (((destination >> shift) & 0xFF) * keep + 127) / 255;
        result |= (channel > 0xFF ? 0xFF : channel) << shift;
    }
    return result;
}

}  // namespace

// Straight into a 32-bit DIB target: GDI's blend costs several times as much
// per pixel under Wine, where the main window blends whole panels each paint.
bool CPaintCache::BlendDirect(HDC target, int x, int y, const RECT& part) const {
    RECT area{x + part.left, y + part.top, x + part.right, y + part.bottom};
    const POINT corner{area.left, area.top};
    int stride = 0;
    UINT32* top = skinkit::DirectPixels(target, area, stride);
    if (!top || !m_bits) return false;
    const int sourceWidth = m_area.right - m_area.left;
    const auto* source = static_cast<const UINT32*>(m_bits);
    for (int row = area.top; row < area.bottom; ++row) {
        UINT32* out = top - static_cast<ptrdiff_t>(row) * stride;
        const UINT32* in = source + static_cast<size_t>(part.top + row - corner.y) * sourceWidth
            + (part.left + area.left - corner.x);
        for (int column = area.left; column < area.right; ++column, ++in) {
            const UINT32 pixel = *in;
            if (pixel == 0) continue;
            out[column] = Premultiplied(pixel) ? Over(out[column], pixel) : OverCapped(out[column], pixel);
        }
    }
    return true;
}

void CPaintCache::Blend(HDC target, int x, int y, const RECT& part) const {
    const int width = part.right - part.left;
    const int height = part.bottom - part.top;
    if (width <= 0 || height <= 0) return;
    if (BlendDirect(target, x, y, part)) return;
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    GdiAlphaBlend(
        target, x + part.left, y + part.top, width, height, m_surface.Dc(), part.left, part.top, width, height, blend);
}

RECT CPaintCache::OpaqueArea(int anchorX, int anchorY) const
{
    if (!m_valid || !m_coreKnown || IsRectEmpty(&m_opaqueCore))
        return RECT{};
    RECT area = m_opaqueCore;
    OffsetRect(&area, anchorX + m_area.left, anchorY + m_area.top);
    return area;
}

void CPaintCache::Draw(HDC target, int anchorX, int anchorY) {
    if (!m_valid || !m_surface.Dc())
        return;
    if (!m_coreKnown) FindOpaqueCore();
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
