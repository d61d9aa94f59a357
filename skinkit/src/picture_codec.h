#pragma once

#include <windows.h>
// GDI+ needs the Windows types first.
#include <gdiplus.h>
#include <objidl.h>

#include <cstddef>
#include <memory>

namespace skinkit {

// Decodes a PNG, JPEG, GIF or BMP picture in stream (read from its start)
// into a premultiplied 32-bit bitmap; head is the stream's first bytes, which
// name the format. Null for another format, a picture larger than the
// bounds, or data the codec refuses: the caller may then try GDI+ itself.
std::unique_ptr<Gdiplus::Bitmap> DecodeWithCodec(
    IStream* stream, const void* head, size_t headSize, UINT maxSide, ULONGLONG maxPixels);

}  // namespace skinkit
