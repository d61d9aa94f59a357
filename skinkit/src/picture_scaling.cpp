#include "skinkit/picture_scaling.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace skinkit {

namespace {

// Weights of the source pixels behind each target pixel along one axis, in
// 1/16384ths summing to 16384: small enough that a weight and a channel
// multiply in 16-bit lanes.
constexpr int kOne = 16384;
constexpr int kShift = 14;

struct Taps {
    int first = 0;
    std::vector<int16_t> weights;
};

std::vector<Taps> AxisTaps(int from, int to)
{
    const double scale = double(from) / to;
    const double support = std::max(1.0, scale);
    std::vector<Taps> axis(static_cast<std::size_t>(to));
    for (int i = 0; i < to; ++i) {
        const double centre = (i + 0.5) * scale;
        const int first = std::max(0, int(std::floor(centre - support)));
        const int last = std::min(from - 1, int(std::ceil(centre + support)));
        std::vector<double> raw;
        double sum = 0;
        for (int s = first; s <= last; ++s) {
            const double weight = std::max(0.0, 1.0 - std::fabs((s + 0.5 - centre) / support));
            raw.push_back(weight);
            sum += weight;
        }
        Taps& taps = axis[std::size_t(i)];
        taps.first = first;
        int given = 0;
        for (double weight : raw) {
            const int w = sum > 0 ? int(weight / sum * kOne) : 0;
            taps.weights.push_back(int16_t(w));
            given += w;
        }
        // Rounding leftovers go to the heaviest tap, so flat areas stay flat.
        if (!taps.weights.empty()) {
            auto heaviest = std::max_element(taps.weights.begin(), taps.weights.end());
            *heaviest = int16_t(*heaviest + kOne - given);
        }
    }
    return axis;
}

uint32_t Blend(const uint32_t* pixels, std::ptrdiff_t step, const Taps& taps)
{
    // 255 × 16384 fits 32 bits, so each channel sums without widening.
    uint32_t b = kOne / 2, g = kOne / 2, r = kOne / 2, a = kOne / 2;
    const uint32_t* p = pixels + taps.first * step;
    for (const int16_t weight : taps.weights) {
        const uint32_t value = *p;
        const uint32_t w = uint32_t(weight);
        b += (value & 0xFF) * w;
        g += ((value >> 8) & 0xFF) * w;
        r += ((value >> 16) & 0xFF) * w;
        a += (value >> 24) * w;
        p += step;
    }
    return std::min<uint32_t>(255, b >> kShift) | std::min<uint32_t>(255, g >> kShift) << 8
        | std::min<uint32_t>(255, r >> kShift) << 16 | std::min<uint32_t>(255, a >> kShift) << 24;
}

// One target row from one source row, and one target row from the rows of
// a column's taps.
void ScaleAcross(const uint32_t* line, const std::vector<Taps>& across, uint32_t* out)
{
    for (std::size_t x = 0; x < across.size(); ++x)
        out[x] = Blend(line, 1, across[x]);
}

void ScaleDown(const uint32_t* rows, int width, const Taps& taps, uint32_t* out)
{
    for (int x = 0; x < width; ++x)
        out[x] = Blend(rows + x, width, taps);
}

#if defined(__i386__) || defined(__x86_64__)
#define SKINKIT_SCALE_SSE2 1

// Two pixels' channels paired for _mm_madd_epi16: b0 b1 g0 g1 r0 r1 a0 a1.
__attribute__((target("sse2"))) inline __m128i Paired(__m128i first, __m128i second)
{
    const __m128i zero = _mm_setzero_si128();
    return _mm_unpacklo_epi16(_mm_unpacklo_epi8(first, zero), _mm_unpacklo_epi8(second, zero));
}

__attribute__((target("sse2"))) inline __m128i WeightPair(int16_t first, int16_t second)
{
    return _mm_set_epi16(second, first, second, first, second, first, second, first);
}

// Four 32-bit channel sums, rounded, back to one pixel.
__attribute__((target("sse2"))) inline uint32_t PackSums(__m128i sums)
{
    const __m128i shifted = _mm_srli_epi32(_mm_add_epi32(sums, _mm_set1_epi32(kOne / 2)), kShift);
    const __m128i words = _mm_packs_epi32(shifted, shifted);
    return uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
}

// ScaleDown's sums, down the columns a row at a time: each pair of taps adds
// two whole source rows into the sums, reading memory in order rather than
// a pixel from each row.
__attribute__((target("sse2"))) void ScaleDownSse2(
    const uint32_t* rows, int width, const Taps& taps, uint32_t* out, std::vector<uint32_t>& sums)
{
    std::fill(sums.begin(), sums.end(), 0u);
    __m128i* sum = reinterpret_cast<__m128i*>(sums.data());
    const std::size_t count = taps.weights.size();
    for (std::size_t t = 0; t < count; t += 2) {
        const uint32_t* upper = rows + (std::size_t(taps.first) + t) * std::size_t(width);
        const bool both = t + 1 < count;
        const uint32_t* lower = both ? upper + width : upper;
        const __m128i weights = WeightPair(taps.weights[t], both ? taps.weights[t + 1] : int16_t(0));
        for (int x = 0; x < width; ++x) {
            const __m128i pair = Paired(_mm_cvtsi32_si128(int(upper[x])), _mm_cvtsi32_si128(int(lower[x])));
            _mm_storeu_si128(sum + x, _mm_add_epi32(_mm_loadu_si128(sum + x), _mm_madd_epi16(pair, weights)));
        }
    }
    for (int x = 0; x < width; ++x)
        out[x] = PackSums(_mm_loadu_si128(sum + x));
}

// ScaleAcross with two neighbouring taps in one multiply-add: the wide
// pass, over every source row, is the larger half of a fit.
__attribute__((target("sse2"))) void ScaleAcrossSse2(
    const uint32_t* line, const std::vector<Taps>& across, uint32_t* out)
{
    for (std::size_t x = 0; x < across.size(); ++x) {
        const Taps& taps = across[x];
        const uint32_t* p = line + taps.first;
        const std::size_t count = taps.weights.size();
        __m128i sums = _mm_setzero_si128();
        std::size_t t = 0;
        for (; t + 1 < count; t += 2) {
            const __m128i pair = Paired(_mm_cvtsi32_si128(int(p[t])), _mm_cvtsi32_si128(int(p[t + 1])));
            sums = _mm_add_epi32(sums, _mm_madd_epi16(pair, WeightPair(taps.weights[t], taps.weights[t + 1])));
        }
        if (t < count) {
            const __m128i pair = Paired(_mm_cvtsi32_si128(int(p[t])), _mm_setzero_si128());
            sums = _mm_add_epi32(sums, _mm_madd_epi16(pair, WeightPair(taps.weights[t], 0)));
        }
        out[x] = PackSums(sums);
    }
}
#endif

// The picture's pixels, premultiplied, top row first.
bool ReadPixels(Gdiplus::Bitmap& picture, std::vector<uint32_t>& pixels, int& width, int& height)
{
    if (picture.GetLastStatus() != Gdiplus::Ok)
        return false;
    width = int(picture.GetWidth());
    height = int(picture.GetHeight());
    if (width <= 0 || height <= 0)
        return false;
    pixels.resize(std::size_t(width) * std::size_t(height));
    Gdiplus::BitmapData data{};
    data.Width = UINT(width);
    data.Height = UINT(height);
    data.Stride = width * 4;
    data.PixelFormat = PixelFormat32bppPARGB;
    data.Scan0 = pixels.data();
    Gdiplus::Rect all(0, 0, width, height);
    if (picture.LockBits(
            &all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf, PixelFormat32bppPARGB, &data)
        != Gdiplus::Ok)
        return false;
    picture.UnlockBits(&data);
    return true;
}

std::unique_ptr<Gdiplus::Bitmap> FromPixels(const std::vector<uint32_t>& pixels, int width, int height)
{
    auto result = std::make_unique<Gdiplus::Bitmap>(width, height, PixelFormat32bppPARGB);
    if (result->GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    Gdiplus::BitmapData data{};
    Gdiplus::Rect all(0, 0, width, height);
    if (result->LockBits(&all, Gdiplus::ImageLockModeWrite, PixelFormat32bppPARGB, &data) != Gdiplus::Ok)
        return nullptr;
    for (int y = 0; y < height; ++y)
        std::memcpy(static_cast<BYTE*>(data.Scan0) + std::ptrdiff_t(y) * data.Stride,
            pixels.data() + std::size_t(y) * std::size_t(width), std::size_t(width) * 4);
    result->UnlockBits(&data);
    return result;
}

}  // namespace

std::unique_ptr<Gdiplus::Bitmap> ScaledPicture(Gdiplus::Bitmap& picture, int width, int height)
{
    std::vector<uint32_t> source;
    int sourceWidth = 0;
    int sourceHeight = 0;
    if (width <= 0 || height <= 0 || !ReadPixels(picture, source, sourceWidth, sourceHeight))
        return nullptr;
    const std::vector<Taps> across = AxisTaps(sourceWidth, width);
    const std::vector<Taps> down = AxisTaps(sourceHeight, height);
    std::vector<uint32_t> rows(std::size_t(width) * std::size_t(sourceHeight));
    std::vector<uint32_t> target(std::size_t(width) * std::size_t(height));
#ifdef SKINKIT_SCALE_SSE2
    if (__builtin_cpu_supports("sse2")) {
        for (int y = 0; y < sourceHeight; ++y)
            ScaleAcrossSse2(source.data() + std::size_t(y) * std::size_t(sourceWidth), across,
                rows.data() + std::size_t(y) * std::size_t(width));
        std::vector<uint32_t> sums(std::size_t(width) * 4);
        for (int y = 0; y < height; ++y)
            ScaleDownSse2(
                rows.data(), width, down[std::size_t(y)], target.data() + std::size_t(y) * std::size_t(width), sums);
        return FromPixels(target, width, height);
    }
#endif
    for (int y = 0; y < sourceHeight; ++y)
        ScaleAcross(source.data() + std::size_t(y) * std::size_t(sourceWidth), across,
            rows.data() + std::size_t(y) * std::size_t(width));
    for (int y = 0; y < height; ++y)
        ScaleDown(rows.data(), width, down[std::size_t(y)], target.data() + std::size_t(y) * std::size_t(width));
    return FromPixels(target, width, height);
}

std::unique_ptr<Gdiplus::Bitmap> PremultipliedCopy(Gdiplus::Bitmap& source)
{
    if (source.GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    const int width = int(source.GetWidth());
    const int height = int(source.GetHeight());
    if (width <= 0 || height <= 0)
        return nullptr;
    auto copy = std::make_unique<Gdiplus::Bitmap>(width, height, PixelFormat32bppPARGB);
    if (copy->GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    Gdiplus::Rect all(0, 0, width, height);
    Gdiplus::BitmapData target{};
    if (copy->LockBits(&all, Gdiplus::ImageLockModeWrite, PixelFormat32bppPARGB, &target) != Gdiplus::Ok)
        return nullptr;
    // The source converts straight into the copy's own bits.
    Gdiplus::BitmapData converted = target;
    const bool read = source.LockBits(&all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                          PixelFormat32bppPARGB, &converted)
        == Gdiplus::Ok;
    if (read)
        source.UnlockBits(&converted);
    copy->UnlockBits(&target);
    return read ? std::move(copy) : nullptr;
}

}  // namespace skinkit
