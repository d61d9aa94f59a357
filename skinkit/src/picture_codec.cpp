#include "picture_codec.h"

#include <wincodec.h>

#include <cstring>

#include "win32kit/scoped_win.h"

namespace skinkit {

namespace {

struct Signature {
    const char* bytes;
    size_t size;
    const CLSID* decoder;
};

// The formats the program meets: skins, thumbnails, avatars, large pictures.
const Signature kSignatures[] = {
    {"\x89PNG\r\n\x1a\n", 8, &CLSID_WICPngDecoder},
    {"\xFF\xD8\xFF", 3, &CLSID_WICJpegDecoder},
    {"GIF8", 4, &CLSID_WICGifDecoder},
    {"BM", 2, &CLSID_WICBmpDecoder},
};

const CLSID* DecoderFor(const void* head, size_t size)
{
    for (const Signature& signature : kSignatures) {
        if (size >= signature.size && std::memcmp(head, signature.bytes, signature.size) == 0)
            return signature.decoder;
    }
    return nullptr;
}

using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);

// Straight from the codec library's class factory. Asked to find a decoder
// for the data, the imaging component reads every registered codec's and
// metadata reader's keys from the registry, for each picture: thousands of
// registry calls before the first paint. This also needs no COM on the
// calling thread, so workers decode the same way.
HRESULT CreateFromCodecLibrary(REFCLSID kind, REFIID iid, void** out)
{
    static const GetClassObject getClassObject = [] {
        HMODULE library = LoadLibraryW(L"windowscodecs.dll");
        return library
            ? reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")))
            : nullptr;
    }();
    if (!getClassObject)
        return E_NOINTERFACE;
    win32kit::ComPtr<IClassFactory> factory;
    const HRESULT got = getClassObject(kind, IID_IClassFactory, reinterpret_cast<void**>(factory.Out()));
    if (FAILED(got))
        return got;
    return factory->CreateInstance(nullptr, iid, out);
}

template <class T> win32kit::ComPtr<T> Create(REFCLSID kind, REFIID iid)
{
    win32kit::ComPtr<T> object;
    if (FAILED(CreateFromCodecLibrary(kind, iid, reinterpret_cast<void**>(object.Out()))))
        object.Reset();
    return object;
}

}  // namespace

std::unique_ptr<Gdiplus::Bitmap> DecodeWithCodec(
    IStream* stream, const void* head, size_t headSize, UINT maxSide, ULONGLONG maxPixels)
{
    const CLSID* kind = DecoderFor(head, headSize);
    if (!kind || !stream)
        return nullptr;
    const auto decoder = Create<IWICBitmapDecoder>(*kind, IID_IWICBitmapDecoder);
    if (!decoder || FAILED(decoder->Initialize(stream, WICDecodeMetadataCacheOnDemand)))
        return nullptr;
    win32kit::ComPtr<IWICBitmapFrameDecode> frame;
    UINT width = 0, height = 0;
    if (FAILED(decoder->GetFrame(0, frame.Out())) || FAILED(frame->GetSize(&width, &height)))
        return nullptr;
    if (width == 0 || height == 0 || width > maxSide || height > maxSide
        || static_cast<ULONGLONG>(width) * height > maxPixels)
        return nullptr;
    const auto imaging = Create<IWICImagingFactory>(CLSID_WICImagingFactory, IID_IWICImagingFactory);
    win32kit::ComPtr<IWICFormatConverter> converter;
    if (!imaging || FAILED(imaging->CreateFormatConverter(converter.Out()))
        || FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr,
            0.0, WICBitmapPaletteTypeCustom)))
        return nullptr;
    // GDI+'s premultiplied pixels are laid out as the imaging component's.
    auto picture = std::make_unique<Gdiplus::Bitmap>(INT(width), INT(height), PixelFormat32bppPARGB);
    if (picture->GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    Gdiplus::Rect all(0, 0, INT(width), INT(height));
    Gdiplus::BitmapData target{};
    if (picture->LockBits(&all, Gdiplus::ImageLockModeWrite, PixelFormat32bppPARGB, &target) != Gdiplus::Ok)
        return nullptr;
    const UINT stride = UINT(target.Stride);
    const bool copied = target.Stride > 0
        && SUCCEEDED(converter->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(target.Scan0)));
    picture->UnlockBits(&target);
    return copied ? std::move(picture) : nullptr;
}

}  // namespace skinkit
