#pragma once

#include <memory>

#include <windows.h>

#include <gdiplus.h>

#include "skinkit/skinkit_api.h"

namespace skinkit {

// A copy of picture at width × height, premultiplied 32-bit, filtered with a
// triangle as wide as the scale step so a reduction averages every source
// pixel. GDI+'s own filtered stretch costs a function call per pixel under
// some GDI+ builds; this is plain loops over the locked bits. Null when a
// size is not positive or the picture cannot be read.
SKINKIT_API std::unique_ptr<Gdiplus::Bitmap> ScaledPicture(Gdiplus::Bitmap& picture, int width, int height);

// A premultiplied 32-bit copy of source, converted by GDI+ while locking its
// bits rather than drawn; null when source cannot be read.
SKINKIT_API std::unique_ptr<Gdiplus::Bitmap> PremultipliedCopy(Gdiplus::Bitmap& source);

}  // namespace skinkit
