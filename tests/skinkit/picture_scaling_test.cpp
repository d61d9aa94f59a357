// The scaler must average what it drops, keep flat areas exactly flat and
// refuse sizes it cannot make.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "skinkit/picture_scaling.h"

namespace {

using Fill = std::function<uint32_t(int x, int y)>;

std::unique_ptr<Gdiplus::Bitmap> Picture(int width, int height, const Fill& fill)
{
    auto picture = std::make_unique<Gdiplus::Bitmap>(width, height, PixelFormat32bppPARGB);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture->SetPixel(x, y, Gdiplus::Color(fill(x, y)));
    return picture;
}

uint32_t At(Gdiplus::Bitmap& picture, int x, int y)
{
    Gdiplus::Color color;
    picture.GetPixel(x, y, &color);
    return color.GetValue();
}

TEST(PictureScaling, SizesAndValues)
{
    const Fill white = [](int, int) { return 0xFFFFFFFFu; };
    const Fill checker = [](int x, int y) { return (x + y) % 2 ? 0xFFFFFFFFu : 0xFF000000u; };
    const Fill stripes = [](int x, int) { return x % 2 ? 0xFF0000FFu : 0xFFFF0000u; };
    const Fill halfRed = [](int, int) { return 0x80FF0000u; };
    struct Row {
        const char* name;
        int fromW, fromH;
        Fill fill;
        int toW, toH;
        bool made;
        uint32_t expected;  // every inner pixel, within one step per channel
    };
    const Row rows[] = {
        {"zero width", 4, 4, white, 0, 4, false, 0},
        {"negative height", 4, 4, white, 4, -1, false, 0},
        {"a checkerboard halves to grey, not to one of its squares", 8, 8, checker, 4, 4, true, 0xFF808080u},
        {"stripes reduced by 4 mix both colours", 16, 2, stripes, 4, 1, true, 0xFF800080u},
        {"a flat picture stays exactly flat at an odd scale", 1600, 50, white, 1280, 40, true, 0xFFFFFFFFu},
        {"one pixel grows flat", 1, 1, white, 3, 3, true, 0xFFFFFFFFu},
        {"half-transparent red keeps its alpha", 10, 10, halfRed, 3, 7, true, 0x80FF0000u},
    };
    for (const Row& row : rows) {
        auto source = Picture(row.fromW, row.fromH, row.fill);
        auto scaled = skinkit::ScaledPicture(*source, row.toW, row.toH);
        ASSERT_EQ(scaled != nullptr, row.made) << row.name;
        if (!scaled)
            continue;
        ASSERT_EQ(int(scaled->GetWidth()), row.toW) << row.name;
        ASSERT_EQ(int(scaled->GetHeight()), row.toH) << row.name;
        // The outer ring sees fewer source pixels; the inside must be exact.
        const int insetX = row.toW > 2 ? 1 : 0;
        const int insetY = row.toH > 2 ? 1 : 0;
        for (int y = insetY; y < row.toH - insetY; ++y) {
            for (int x = insetX; x < row.toW - insetX; ++x) {
                const uint32_t got = At(*scaled, x, y);
                for (int shift = 0; shift < 32; shift += 8) {
                    const int a = int((got >> shift) & 0xFF);
                    const int b = int((row.expected >> shift) & 0xFF);
                    ASSERT_LE(std::abs(a - b), 1) << row.name << " at " << x << "," << y << std::hex << " got " << got;
                }
            }
        }
    }
}

// A tent filter keeps a straight ramp straight: every inner target pixel
// takes the ramp's value at its own centre. A tap read from the wrong place,
// or one left out at the end of an odd count, bends it.
TEST(PictureScaling, RampsKeepTheirValueAtEachCentre)
{
    struct Row {
        const char* name;
        bool across;  // the ramp runs along x, else along y
        int from, to;
    };
    const Row rows[] = {
        {"across, 0.9 as a large picture is fitted", true, 250, 225},
        {"across, 1.28 with an odd count of taps", true, 128, 100},
        {"across, a third", true, 120, 40},
        {"down, 0.9", false, 250, 225},
        {"down, 2.5", false, 250, 100},
        {"across, grown", true, 60, 100},
        // Rows come a band at a time and go through a ring: many bands, ring turns.
        {"down, grown", false, 60, 100},
        {"down, a third across many bands", false, 240, 80},
    };
    for (const Row& row : rows) {
        // 1 per source pixel, from 3 up, in the green channel.
        const Fill ramp = [&row](int x, int y) { return 0xFF000000u | uint32_t(3 + (row.across ? x : y)) << 8; };
        auto source = row.across ? Picture(row.from, 2, ramp) : Picture(2, row.from, ramp);
        auto scaled
            = row.across ? skinkit::ScaledPicture(*source, row.to, 1) : skinkit::ScaledPicture(*source, 1, row.to);
        ASSERT_TRUE(scaled) << row.name;
        const double scale = double(row.from) / row.to;
        const int margin = int(scale) + 2;  // where the filter is cut by the edge
        for (int i = margin; i < row.to - margin; ++i) {
            const uint32_t got = row.across ? At(*scaled, i, 0) : At(*scaled, 0, i);
            const double expected = 3 + (i + 0.5) * scale - 0.5;
            ASSERT_NEAR(double((got >> 8) & 0xFF), expected, 1.0) << row.name << " at " << i;
            ASSERT_EQ(got & 0xFF00FFu, 0u) << row.name << " at " << i;
            ASSERT_EQ(got >> 24, 0xFFu) << row.name << " at " << i;
        }
    }
}

TEST(PictureScaling, CopyIsPremultipliedAndWhole)
{
    auto source = Picture(3, 2, [](int x, int y) { return 0x80000000u | uint32_t(x * 80) << 8 | uint32_t(y * 200); });
    auto copy = skinkit::PremultipliedCopy(*source);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->GetPixelFormat(), PixelFormat32bppPARGB);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(At(*copy, x, y), At(*source, x, y)) << x << "," << y;
}

}  // namespace
