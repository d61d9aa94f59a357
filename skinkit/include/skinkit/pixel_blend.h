#pragma once

#include <cstddef>
#include <vector>

#include <windows.h>

#include "skinkit/skinkit_api.h"

namespace skinkit {

// Premultiplied 32-bit pixels in memory: `top` is the picture's first row
// and `stride` the step in pixels to the next (negative for a bottom-up DIB).
struct PixelRows {
    const UINT32* top = nullptr;
    std::ptrdiff_t stride = 0;
    int width = 0;
    int height = 0;
    // Known true of every pixel: no colour above its alpha (GDI text can
    // leave such pixels, which are blended channel by channel, capped).
    bool premultiplied = false;
    // Known true of every pixel: alpha 0xFF, so each row is copied as it is.
    bool opaque = false;
    // Else per row, 1 where it holds; null: each pixel is checked.
    const unsigned char* plainRows = nullptr;
};

// Blends `part` of the pixels (in their coordinates) with their corner at
// (x, y) straight into target's bits, as GDI's AlphaBlend would, several
// times faster under Wine. False when target is not a 32-bit DIB (rows
// either way up) drawn on 1:1 with a rectangular clip: the caller blends
// through GDI then.
SKINKIT_API bool BlendStraight(HDC target, int x, int y, const PixelRows& source, const RECT& part);

// Whether every pixel of the picture has alpha 0xFF.
SKINKIT_API bool AllOpaque(const PixelRows& source);

// The plainRows of a picture.
SKINKIT_API std::vector<unsigned char> FindPlainRows(const PixelRows& source);

}  // namespace skinkit
