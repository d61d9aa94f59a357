#include "skinkit/picture_scaling.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
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
// a column's taps (rows[t] is the row of tap t).
void ScaleAcross(const uint32_t* line, const std::vector<Taps>& across, uint32_t* out)
{
    for (std::size_t x = 0; x < across.size(); ++x)
        out[x] = Blend(line, 1, across[x]);
}

void ScaleDown(const uint32_t* const* rows, int width, const Taps& taps, uint32_t* out)
{
    std::vector<uint32_t> column(taps.weights.size());
    const Taps atZero{0, taps.weights};
    for (int x = 0; x < width; ++x) {
        for (std::size_t t = 0; t < column.size(); ++t)
            column[t] = rows[t][x];
        out[x] = Blend(column.data(), 1, atZero);
    }
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
    const uint32_t* const* rows, int width, const Taps& taps, uint32_t* out, std::vector<uint32_t>& sums)
{
    std::fill(sums.begin(), sums.end(), 0u);
    __m128i* sum = reinterpret_cast<__m128i*>(sums.data());
    const std::size_t count = taps.weights.size();
    for (std::size_t t = 0; t < count; t += 2) {
        const uint32_t* upper = rows[t];
        const bool both = t + 1 < count;
        const uint32_t* lower = both ? rows[t + 1] : upper;
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

// The source's rows, premultiplied, a band at a time and in order: the
// whole picture converted at once cost an allocation of its size, and the
// first touch of its pages, for rows read once each.
class SourceBands {
public:
    SourceBands(Gdiplus::Bitmap& picture, int width, int height)
        : picture_(picture)
        , width_(width)
        , height_(height)
        , band_(std::size_t(width) * kRows)
    {
    }

    // Row y's pixels, valid until a row of a later band is asked for; null
    // when the picture cannot be read there.
    const uint32_t* Row(int y)
    {
        if (y < first_ || y >= first_ + count_) {
            if (y < 0 || y >= height_ || !Read(y))
                return nullptr;
        }
        return band_.data() + std::size_t(y - first_) * std::size_t(width_);
    }

private:
    static constexpr int kRows = 32;

    bool Read(int y)
    {
        const int rows = std::min(kRows, height_ - y);
        Gdiplus::BitmapData data{};
        data.Width = UINT(width_);
        data.Height = UINT(rows);
        data.Stride = width_ * 4;
        data.PixelFormat = PixelFormat32bppPARGB;
        data.Scan0 = band_.data();
        Gdiplus::Rect area(0, y, width_, rows);
        count_ = 0;
        if (picture_.LockBits(
                &area, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf, PixelFormat32bppPARGB, &data)
            != Gdiplus::Ok)
            return false;
        picture_.UnlockBits(&data);
        first_ = y;
        count_ = rows;
        return true;
    }

    Gdiplus::Bitmap& picture_;
    const int width_;
    const int height_;
    std::vector<uint32_t> band_;
    int first_ = 0;
    int count_ = 0;
};

// Target row y of `out` from the rows its taps cover, each source row scaled
// across once, into a ring as deep as the most taps down: the taps' first
// rows never go back, so a ring row is not needed again once overwritten.
// The whole-picture intermediate this replaces was as large as the result.
bool ScaleInto(
    SourceBands& source, const std::vector<Taps>& across, const std::vector<Taps>& down, const Gdiplus::BitmapData& out)
{
    const int width = int(across.size());
    std::size_t depth = 1;
    for (const Taps& taps : down)
        depth = std::max(depth, taps.weights.size());
    std::vector<uint32_t> ring(depth * std::size_t(width));
    std::vector<const uint32_t*> tapRows(depth);
#ifdef SKINKIT_SCALE_SSE2
    const bool sse2 = __builtin_cpu_supports("sse2");
    std::vector<uint32_t> sums(std::size_t(width) * 4);
#endif
    int scaled = 0;  // source rows scaled across so far
    for (std::size_t y = 0; y < down.size(); ++y) {
        const Taps& taps = down[y];
        const int end = taps.first + int(taps.weights.size());
        for (; scaled < end; ++scaled) {
            const uint32_t* line = source.Row(scaled);
            if (!line)
                return false;
            uint32_t* slot = ring.data() + std::size_t(scaled) % depth * std::size_t(width);
#ifdef SKINKIT_SCALE_SSE2
            if (sse2) {
                ScaleAcrossSse2(line, across, slot);
                continue;
            }
#endif
            ScaleAcross(line, across, slot);
        }
        for (std::size_t t = 0; t < taps.weights.size(); ++t)
            tapRows[t] = ring.data() + (std::size_t(taps.first) + t) % depth * std::size_t(width);
        auto* row = reinterpret_cast<uint32_t*>(static_cast<BYTE*>(out.Scan0) + std::ptrdiff_t(y) * out.Stride);
#ifdef SKINKIT_SCALE_SSE2
        if (sse2) {
            ScaleDownSse2(tapRows.data(), width, taps, row, sums);
            continue;
        }
#endif
        ScaleDown(tapRows.data(), width, taps, row);
    }
    return true;
}

}  // namespace

std::unique_ptr<Gdiplus::Bitmap> ScaledPicture(Gdiplus::Bitmap& picture, int width, int height)
{
    if (width <= 0 || height <= 0 || picture.GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    const int sourceWidth = int(picture.GetWidth());
    const int sourceHeight = int(picture.GetHeight());
    if (sourceWidth <= 0 || sourceHeight <= 0)
        return nullptr;
    auto result = std::make_unique<Gdiplus::Bitmap>(width, height, PixelFormat32bppPARGB);
    if (result->GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    Gdiplus::BitmapData out{};
    Gdiplus::Rect all(0, 0, width, height);
    if (result->LockBits(&all, Gdiplus::ImageLockModeWrite, PixelFormat32bppPARGB, &out) != Gdiplus::Ok)
        return nullptr;
    // Written straight into the result's own bits.
    SourceBands source(picture, sourceWidth, sourceHeight);
    const bool scaled = ScaleInto(source, AxisTaps(sourceWidth, width), AxisTaps(sourceHeight, height), out);
    result->UnlockBits(&out);
    return scaled ? std::move(result) : nullptr;
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
