#include "skinkit/picture_scaling.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace skinkit {

namespace {

// Weights of the source pixels behind each target pixel along one axis, in
// 1/65536ths summing to 65536.
struct Taps {
    int first = 0;
    std::vector<int> weights;
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
            const int w = sum > 0 ? int(weight / sum * 65536.0) : 0;
            taps.weights.push_back(w);
            given += w;
        }
        // Rounding leftovers go to the heaviest tap, so flat areas stay flat.
        if (!taps.weights.empty()) {
            auto heaviest = std::max_element(taps.weights.begin(), taps.weights.end());
            *heaviest += 65536 - given;
        }
    }
    return axis;
}

uint32_t Blend(const uint32_t* pixels, std::ptrdiff_t step, const Taps& taps)
{
    // 255 × 65536 fits 32 bits, so each channel sums without widening.
    uint32_t b = 32768, g = 32768, r = 32768, a = 32768;
    const uint32_t* p = pixels + taps.first * step;
    for (const int weight : taps.weights) {
        const uint32_t value = *p;
        const uint32_t w = uint32_t(weight);
        b += (value & 0xFF) * w;
        g += ((value >> 8) & 0xFF) * w;
        r += ((value >> 16) & 0xFF) * w;
        a += (value >> 24) * w;
        p += step;
    }
    return std::min<uint32_t>(255, b >> 16) | std::min<uint32_t>(255, g >> 16) << 8
        | std::min<uint32_t>(255, r >> 16) << 16 | std::min<uint32_t>(255, a >> 16) << 24;
}

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
    for (int y = 0; y < sourceHeight; ++y) {
        const uint32_t* line = source.data() + std::size_t(y) * std::size_t(sourceWidth);
        for (int x = 0; x < width; ++x)
            rows[std::size_t(y) * std::size_t(width) + std::size_t(x)] = Blend(line, 1, across[std::size_t(x)]);
    }
    std::vector<uint32_t> target(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            target[std::size_t(y) * std::size_t(width) + std::size_t(x)]
                = Blend(rows.data() + x, width, down[std::size_t(y)]);
    }
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
