// Pictures come from the codec by their first bytes, or from GDI+ when no
// codec claims them; either way premultiplied, and bad data gives nothing.
#include <gtest/gtest.h>

#include <windows.h>
// GDI+ needs the Windows types first.
#include <gdiplus.h>
#include <objidl.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "skinkit/picture.h"

namespace {

using Bytes = std::vector<unsigned char>;

bool EncoderFor(const wchar_t* mime, CLSID& found)
{
    UINT count = 0, size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0)
        return false;
    std::vector<unsigned char> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok)
        return false;
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(codecs[i].MimeType) == mime) {
            found = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

// A flat picture of colour (straight ARGB) in the format mime names.
Bytes Encoded(const wchar_t* mime, uint32_t colour, int width = 8, int height = 6)
{
    CLSID encoder{};
    if (!EncoderFor(mime, encoder))
        return {};
    Gdiplus::Bitmap picture(width, height, PixelFormat32bppARGB);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.SetPixel(x, y, Gdiplus::Color(colour));
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)))
        return {};
    Bytes bytes;
    if (picture.Save(stream, &encoder, nullptr) == Gdiplus::Ok) {
        HGLOBAL global = nullptr;
        STATSTG stat{};
        if (SUCCEEDED(GetHGlobalFromStream(stream, &global)) && SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME))) {
            const auto* start = static_cast<const unsigned char*>(GlobalLock(global));
            bytes.assign(start, start + stat.cbSize.QuadPart);
            GlobalUnlock(global);
        }
    }
    stream->Release();
    return bytes;
}

// The pixel as stored: premultiplied.
uint32_t StoredPixel(Gdiplus::Bitmap& picture, int x, int y)
{
    Gdiplus::Rect one(x, y, 1, 1);
    Gdiplus::BitmapData data{};
    if (picture.LockBits(&one, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &data) != Gdiplus::Ok)
        return 0;
    const uint32_t value = *static_cast<const uint32_t*>(data.Scan0);
    picture.UnlockBits(&data);
    return value;
}

int LargestChannelGap(uint32_t a, uint32_t b)
{
    int gap = 0;
    for (int shift = 0; shift < 32; shift += 8)
        gap = std::max(gap, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
    return gap;
}

uint32_t Crc32(const unsigned char* data, size_t size)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutBigEndian(Bytes& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>(value >> shift));
}

// A PNG whose header claims width x height; no pixel data follows.
Bytes PngHeaderOnly(uint32_t width, uint32_t height)
{
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes chunk = {'I', 'H', 'D', 'R'};
    PutBigEndian(chunk, width);
    PutBigEndian(chunk, height);
    chunk.insert(chunk.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA
    PutBigEndian(png, 13);
    png.insert(png.end(), chunk.begin(), chunk.end());
    PutBigEndian(png, Crc32(chunk.data(), chunk.size()));
    return png;
}

// One red pixel (colour 0 of a two-colour table): the GDI+ here writes GIFs
// with no picture data in them.
const Bytes kRedGif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0x2C, 0, 0, 0, 0, 1,
    0, 1, 0, 0, 2, 2, 0x44, 1, 0, 0x3B};

TEST(PictureDecodeTest, EachFormatDecodesToItsPremultipliedPixels)
{
    struct Row {
        const char* name;
        Bytes bytes;
        UINT width, height;
        uint32_t expected;  // premultiplied, as stored
        int tolerance;
    } rows[] = {
        {"PNG, half-transparent red", Encoded(L"image/png", 0x80FF0000u), 8, 6, 0x80800000u, 1},
        {"PNG, opaque", Encoded(L"image/png", 0xFF2040C0u), 8, 6, 0xFF2040C0u, 0},
        {"BMP", Encoded(L"image/bmp", 0xFF20C040u), 8, 6, 0xFF20C040u, 0},
        {"GIF", kRedGif, 1, 1, 0xFFFF0000u, 0},
        {"JPEG", Encoded(L"image/jpeg", 0xFF808080u), 8, 6, 0xFF808080u, 6},
        {"TIFF, which GDI+ reads itself", Encoded(L"image/tiff", 0xFF4080C0u), 8, 6, 0xFF4080C0u, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_FALSE(row.bytes.empty());
        auto picture = LoadPictureBytes(row.bytes.data(), row.bytes.size());
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->GetWidth(), row.width);
        EXPECT_EQ(picture->GetHeight(), row.height);
        EXPECT_EQ(picture->GetPixelFormat(), PixelFormat32bppPARGB);
        EXPECT_LE(LargestChannelGap(StoredPixel(*picture, row.width / 2, row.height / 2), row.expected), row.tolerance);
    }
}

TEST(PictureDecodeTest, BadDataGivesNoPicture)
{
    const Bytes png = Encoded(L"image/png", 0xFF102030u, 64, 64);
    ASSERT_GT(png.size(), 60u);
    const Bytes jpeg = Encoded(L"image/jpeg", 0xFF102030u, 64, 64);
    ASSERT_GT(jpeg.size(), 20u);
    const std::string text = "not a picture at all, only words";
    struct Row {
        const char* name;
        Bytes bytes;
    } rows[] = {
        {"text", Bytes(text.begin(), text.end())},
        {"a PNG signature and nothing else", Bytes(png.begin(), png.begin() + 8)},
        {"a PNG cut inside its header", Bytes(png.begin(), png.begin() + 20)},
        {"a PNG header with no pixel data", PngHeaderOnly(64, 64)},
        {"a PNG larger than any screen", PngHeaderOnly(20000, 20000)},
        {"a PNG within the side limit but of too many pixels", PngHeaderOnly(16000, 16000)},
        {"a JPEG cut after its start", Bytes(jpeg.begin(), jpeg.begin() + 20)},
        {"a GIF signature and garbage", Bytes{'G', 'I', 'F', '8', '9', 'a', 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x13}},
        {"a BMP signature and garbage", Bytes{'B', 'M', 0x01, 0x02, 0x03, 0x04, 0x05}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_FALSE(LoadPictureBytes(row.bytes.data(), row.bytes.size()));
    }
    EXPECT_FALSE(LoadPictureBytes(nullptr, 0));
    EXPECT_FALSE(LoadPictureBytes(png.data(), 0));
}

TEST(PictureDecodeTest, AFileDecodesAsItsBytesDo)
{
    wchar_t folder[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, folder), 0u);
    const std::wstring path = std::wstring(folder) + L"quarn_picture_decode_test.png";
    const Bytes png = Encoded(L"image/png", 0x80FF0000u);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, png.data(), DWORD(png.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, png.size());
    auto picture = LoadPictureFile(path);
    DeleteFileW(path.c_str());
    ASSERT_TRUE(picture);
    EXPECT_LE(LargestChannelGap(StoredPixel(*picture, 0, 0), 0x80800000u), 1);
    EXPECT_FALSE(LoadPictureFile(path));  // gone
}

}  // namespace
