// Chinese text at the Win32 boundary: UTF-8 to UTF-16, and fonts that draw
// it. The program asks for "宋体" and "Arial", which the Wine prefix maps onto
// Debian fonts; without that mapping Chinese draws as empty boxes.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct DcDelete {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
struct GdiDelete {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using MemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDelete>;
using GdiObject = std::unique_ptr<std::remove_pointer_t<HGDIOBJ>, GdiDelete>;

// Puts an object into a DC for the life of the scope.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object)
        : dc_(dc)
        , old_(SelectObject(dc, object))
    {
    }
    ~Selection() { SelectObject(dc_, old_); }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

const char kLoadingUtf8[] = "\xe5\x8a\xa0\xe8\xbd\xbd\xe4\xb8\xad";  // 加载中
const wchar_t kLoading[] = L"\u52a0\u8f7d\u4e2d";

GdiObject MakeFont(const wchar_t* face, int height)
{
    LOGFONTW font{};
    font.lfHeight = -height;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = NONANTIALIASED_QUALITY;
    wcsncpy(font.lfFaceName, face, LF_FACESIZE - 1);
    return GdiObject(CreateFontIndirectW(&font));
}

// Black text on white in a 48 x 48 bitmap; the pixels, top row first.
std::vector<std::uint32_t> Render(const wchar_t* face, const std::wstring& text)
{
    constexpr int kSide = 48;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = kSide;
    info.bmiHeader.biHeight = -kSide;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    MemoryDc dc(CreateCompatibleDC(nullptr));
    GdiObject bitmap(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dc || !bitmap || !bits) {
        return {};
    }
    GdiObject font = MakeFont(face, 32);
    Selection use_bitmap(dc.get(), bitmap.get());
    Selection use_font(dc.get(), font.get());
    RECT all{0, 0, kSide, kSide};
    FillRect(dc.get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetTextColor(dc.get(), RGB(0, 0, 0));
    SetBkMode(dc.get(), TRANSPARENT);
    TextOutW(dc.get(), 4, 4, text.c_str(), static_cast<int>(text.size()));
    GdiFlush();
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    return std::vector<std::uint32_t>(pixels, pixels + kSide * kSide);
}

int InkedPixels(const std::vector<std::uint32_t>& pixels)
{
    int inked = 0;
    for (std::uint32_t pixel : pixels) {
        inked += (pixel & 0xFFFFFF) != 0xFFFFFF;
    }
    return inked;
}

TEST(TextSmoke, Utf8RoundTripsThroughUtf16)
{
    const int wide_length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, kLoadingUtf8, -1, nullptr, 0);
    ASSERT_EQ(wide_length, 4);
    std::wstring wide(wide_length, L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, kLoadingUtf8, -1, wide.data(), wide_length);
    wide.resize(wide_length - 1);
    EXPECT_EQ(wide, kLoading);

    const int narrow_length = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(narrow_length, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, narrow.data(), narrow_length, nullptr, nullptr);
    narrow.resize(narrow_length - 1);
    EXPECT_EQ(narrow, kLoadingUtf8);
}

TEST(TextSmoke, ProgramFontsDrawAsTheInstalledFonts)
{
    // Wine reports a replaced font under the name asked for, so compare ink.
    const std::wstring chinese = kLoading;
    EXPECT_EQ(Render(L"\u5b8b\u4f53", chinese), Render(L"WenQuanYi Zen Hei", chinese));  // 宋体
    EXPECT_EQ(Render(L"SimSun", chinese), Render(L"WenQuanYi Zen Hei", chinese));
    EXPECT_EQ(Render(L"Arial", L"Qa9"), Render(L"Liberation Sans", L"Qa9"));
    EXPECT_NE(Render(L"Arial", L"Qa9"), Render(L"WenQuanYi Zen Hei", L"Qa9"));
}

// A missing glyph draws as the same box whatever the character, so two
// different characters drawing the same pixels means the font lacks them.
void ExpectDistinctChineseGlyphs(const wchar_t* face)
{
    const auto first = Render(face, L"\u52a0");  // 加
    const auto second = Render(face, L"\u8f7d");  // 载
    ASSERT_FALSE(first.empty());
    EXPECT_GT(InkedPixels(first), 40);
    EXPECT_GT(InkedPixels(second), 40);
    EXPECT_NE(first, second);
}

TEST(TextSmoke, SongtiDrawsChinese) { ExpectDistinctChineseGlyphs(L"\u5b8b\u4f53"); }

TEST(TextSmoke, DialogFontsFallBackToAChineseFont)
{
    ExpectDistinctChineseGlyphs(L"Tahoma");
    ExpectDistinctChineseGlyphs(L"MS Shell Dlg");
}

}  // namespace
