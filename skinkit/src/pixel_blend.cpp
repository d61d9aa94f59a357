#include "skinkit/pixel_blend.h"

#include "control_util.h"

#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace {

// Premultiplied source over destination, two channels at a time; the
// division by 255 rounds as GDI's does.
inline UINT32 Over(UINT32 destination, UINT32 source)
{
    const UINT32 alpha = source >> 24;
    if (alpha == 0xFF)
        return source;
    const UINT32 keep = 0xFF - alpha;
    UINT32 rb = (destination & 0x00FF00FF) * keep + 0x00800080;
    rb = ((rb + ((rb >> 8) & 0x00FF00FF)) >> 8) & 0x00FF00FF;
    UINT32 ag = ((destination >> 8) & 0x00FF00FF) * keep + 0x00800080;
    ag = (ag + ((ag >> 8) & 0x00FF00FF)) & 0xFF00FF00;
    return source + (rb | ag);
}

// A colour above its alpha (GDI text leaves such pixels) would carry into
// the next channel: those go channel by channel, capped.
inline bool Premultiplied(UINT32 pixel)
{
    const UINT32 alpha = pixel >> 24;
    return (pixel & 0xFF) <= alpha && ((pixel >> 8) & 0xFF) <= alpha && ((pixel >> 16) & 0xFF) <= alpha;
}

inline UINT32 OverCapped(UINT32 destination, UINT32 source)
{
    const UINT32 keep = 0xFF - (source >> 24);
    UINT32 result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const UINT32 channel = ((source >> shift) & 0xFF) + (((destination >> shift) & 0xFF) * keep + 127) / 255;
        result |= (channel > 0xFF ? 0xFF : channel) << shift;
    }
    return result;
}

// One row of premultiplied pixels over the target.
void OverRow(UINT32* out, const UINT32* in, int count)
{
    for (int i = 0; i < count; ++i)
        out[i] = Over(out[i], in[i]);
}

#if defined(__i386__) || defined(__x86_64__)
#define SKINKIT_BLEND_SSE2 1

// Each channel widened to 16 bits times the source's remaining transparency,
// rounded as Over does.
__attribute__((target("sse2"))) inline __m128i KeepTimes(__m128i target, __m128i source)
{
    const __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(source, 0xFF), 0xFF);
    const __m128i keep = _mm_sub_epi16(_mm_set1_epi16(0xFF), alpha);
    const __m128i product = _mm_add_epi16(_mm_mullo_epi16(target, keep), _mm_set1_epi16(0x80));
    return _mm_srli_epi16(_mm_add_epi16(product, _mm_srli_epi16(product, 8)), 8);
}

__attribute__((target("sse2"))) void OverRowSse2(UINT32* out, const UINT32* in, int count)
{
    const __m128i zero = _mm_setzero_si128();
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i source = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i target = _mm_loadu_si128(reinterpret_cast<const __m128i*>(out + i));
        const __m128i low = KeepTimes(_mm_unpacklo_epi8(target, zero), _mm_unpacklo_epi8(source, zero));
        const __m128i high = KeepTimes(_mm_unpackhi_epi8(target, zero), _mm_unpackhi_epi8(source, zero));
        // Premultiplied: no channel's sum passes 255, so bytes add alone.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_add_epi8(source, _mm_packus_epi16(low, high)));
    }
    OverRow(out + i, in + i, count - i);
}
#endif

// Which of the two row blends this processor runs, decided once.
using RowBlend = void (*)(UINT32*, const UINT32*, int);
RowBlend ChooseRowBlend()
{
#ifdef SKINKIT_BLEND_SSE2
    if (__builtin_cpu_supports("sse2"))
        return OverRowSse2;
#endif
    return OverRow;
}

}  // namespace

namespace skinkit {

bool BlendStraight(HDC target, int x, int y, const PixelRows& source, const RECT& part)
{
    RECT area{x + part.left, y + part.top, x + part.right, y + part.bottom};
    const POINT corner{area.left, area.top};
    std::ptrdiff_t rowStep = 0;
    UINT32* top = DirectPixels(target, area, rowStep);
    if (!top || !source.top)
        return false;
    static const RowBlend overRow = ChooseRowBlend();
    for (int row = area.top; row < area.bottom; ++row) {
        UINT32* out = top + row * rowStep;
        const int sourceRow = part.top + row - corner.y;
        const UINT32* in = source.top + sourceRow * source.stride + (part.left + area.left - corner.x);
        if (source.opaque) {
            std::memcpy(out + area.left, in, static_cast<size_t>(area.right - area.left) * sizeof(UINT32));
            continue;
        }
        if (source.premultiplied || (source.plainRows && source.plainRows[sourceRow])) {
            overRow(out + area.left, in, area.right - area.left);
            continue;
        }
        for (int column = area.left; column < area.right; ++column, ++in) {
            const UINT32 pixel = *in;
            if (pixel == 0)
                continue;
            out[column] = Premultiplied(pixel) ? Over(out[column], pixel) : OverCapped(out[column], pixel);
        }
    }
    return true;
}

bool AllOpaque(const PixelRows& source)
{
    if (!source.top)
        return false;
    for (int row = 0; row < source.height; ++row) {
        const UINT32* in = source.top + row * source.stride;
        UINT32 all = 0xFF000000;
        for (int x = 0; x < source.width; ++x)
            all &= in[x];
        if ((all >> 24) != 0xFF)
            return false;
    }
    return true;
}

std::vector<unsigned char> FindPlainRows(const PixelRows& source)
{
    std::vector<unsigned char> plain(source.top ? static_cast<std::size_t>(source.height) : 0, 1);
    for (int row = 0; row < static_cast<int>(plain.size()); ++row) {
        const UINT32* in = source.top + row * source.stride;
        for (int x = 0; x < source.width; ++x) {
            if (!Premultiplied(in[x])) {
                plain[row] = 0;
                break;
            }
        }
    }
    return plain;
}

}  // namespace skinkit
