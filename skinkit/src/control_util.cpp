#include "control_util.h"

#include <cwchar>
#include <map>
#include <mutex>
#include <vector>

#include "profile_cache.h"
#include "skinkit/dpi.h"

namespace skinkit {

RECT ResolveRect(HWND parent, const RECT& raw)
{
    RECT client{};
    if (parent && IsWindow(parent))
        GetClientRect(parent, &client);
    const int w = client.right - client.left;
    const int h = client.bottom - client.top;
    RECT r = raw;
    if (r.left < 0)
        r.left += w;
    if (r.right < 0)
        r.right += w;
    if (r.top < 0)
        r.top += h;
    if (r.bottom < 0)
        r.bottom += h;
    return r;
}

void ScaleToWindow(HWND parent, RECT& raw) { raw = ScaleRectToDpi(raw, WindowDpi(parent)); }

int ScaleToWindow(HWND parent, int raw) { return ScaleToDpi(raw, WindowDpi(parent)); }

void CenterHorizontally(HWND parent, RECT& rect)
{
    RECT client{};
    GetClientRect(parent, &client);
    const int width = Width(rect);
    rect.left = client.left + (client.right - client.left - width) / 2;
    rect.right = rect.left + width;
}

POINT CursorInClient(HWND hwnd)
{
    POINT p{};
    GetCursorPos(&p);
    if (hwnd)
        ScreenToClient(hwnd, &p);
    return p;
}

bool Contains(const RECT& rect, POINT point) { return PtInRect(&rect, point) != FALSE; }

BOOL InvalidateIfWindow(HWND hwnd, const RECT* rect)
{
    if (!hwnd || !IsWindow(hwnd))
        return FALSE;
    return InvalidateRect(hwnd, rect, FALSE);
}

bool IsUsableParent(HWND hwnd) { return hwnd && IsWindow(hwnd); }

std::wstring ReadProfileString(const std::wstring& file, const std::wstring& section, const wchar_t* key)
{
    constexpr DWORD kSize = 260;
    std::wstring value;
    if (key && CachedProfileString(file, section, key, kSize, value))
        return value;
    wchar_t buffer[kSize] = {};
    GetPrivateProfileStringW(section.c_str(), key, L"", buffer, kSize, file.c_str());
    return buffer;
}

int ReadProfileInt(const std::wstring& file, const std::wstring& section, const wchar_t* key, int fallback)
{
    return static_cast<int>(GetPrivateProfileIntW(section.c_str(), key, fallback, file.c_str()));
}

int ReadProfileCount(const std::wstring& file, const std::wstring& section, const wchar_t* key)
{
    const int count = ReadProfileInt(file, section, key, 0);
    if (count >= 0 && count <= kMaxSkinCount)
        return count;
    const std::wstring note = L"skin: " + std::wstring(key) + L"=" + std::to_wstring(count) + L" in [" + section
        + L"] of " + file + L" is out of range 0.." + std::to_wstring(kMaxSkinCount) + L"; ignored\n";
    OutputDebugStringW(note.c_str());
    return 0;
}

// Splits at commas; each part is a decimal number (leading blanks allowed,
// stops at the first non-digit).
static std::vector<long> ListParts(const std::wstring& value)
{
    std::vector<long> parts;
    size_t start = 0;
    for (;;) {
        const size_t comma = value.find(L',', start);
        const std::wstring part = value.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
        parts.push_back(wcstol(part.c_str(), nullptr, 10));
        if (comma == std::wstring::npos)
            break;
        start = comma + 1;
    }
    return parts;
}

RECT ParseListRect(const std::wstring& value)
{
    RECT r{};
    if (value.find(L',') == std::wstring::npos)
        return r;
    const std::vector<long> p = ListParts(value);
    LONG* fields[] = {&r.left, &r.top, &r.right, &r.bottom};
    for (size_t i = 0; i < 4 && i < p.size(); ++i)
        *fields[i] = p[i];
    return r;
}

COLORREF ParseListColor(const std::wstring& value)
{
    if (value.find(L',') == std::wstring::npos)
        return kDefaultTextColor;
    const std::vector<long> p = ListParts(value);
    const long red = p.size() > 0 ? p[0] : 58;
    const long green = p.size() > 1 ? p[1] : 67;
    const long blue = p.size() > 2 ? p[2] : 74;
    return RGB(red, green, blue);
}

RECT ReadListRect(const wchar_t* file, const wchar_t* section, const wchar_t* key)
{
    return ParseListRect(ReadProfileString(file, section, key));
}

COLORREF ReadListColor(const wchar_t* file, const wchar_t* section, const wchar_t* key)
{
    return ParseListColor(ReadProfileString(file, section, key));
}

ScopedFont::ScopedFont(const wchar_t* face, int size, bool underline, int weight, DWORD quality)
    : win32kit::ScopedGdiObject<HFONT>(CreateFontW(size, 0, 0, 0, weight, FALSE, underline, FALSE, DEFAULT_CHARSET,
        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, quality, DEFAULT_PITCH, face))
{
}

SIZE MeasureText(HWND hwnd, const std::wstring& text, const wchar_t* face, int size, bool underline)
{
    const win32kit::ScopedGetDC dc(hwnd);
    if (!dc)
        return SIZE{};
    ScopedFont font(face, size, underline);
    const win32kit::ScopedSelectObject selected(dc, font.Get());
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

// The face GDI+ should use for a requested face; GDI+ looks families up by
// name only, without the system's font replacements, so an unknown face falls
// back to the one GDI realises for it. Looking a family up enumerates the
// installed fonts, which do not change while the program runs, so each
// answer is remembered (behind a lock: any thread may paint).
static std::wstring ResolveFace(HDC hdc, HFONT font, const wchar_t* face)
{
    static std::mutex lock;
    static std::map<std::wstring, std::wstring> resolved;
    {
        std::lock_guard<std::mutex> guard(lock);
        const auto found = resolved.find(face);
        if (found != resolved.end())
            return found->second;
    }
    std::wstring answer = face;
    Gdiplus::FontFamily family(face);
    if (family.GetLastStatus() != Gdiplus::Ok || !family.IsAvailable()) {
        const win32kit::ScopedSelectObject selected(hdc, font);
        const UINT size = GetOutlineTextMetricsW(hdc, 0, nullptr);
        if (size > 0) {
            std::vector<char> buffer(size);
            auto* metrics = reinterpret_cast<OUTLINETEXTMETRICW*>(buffer.data());
            if (GetOutlineTextMetricsW(hdc, size, metrics)) {
                answer
                    = reinterpret_cast<const wchar_t*>(buffer.data() + reinterpret_cast<size_t>(metrics->otmpFaceName));
            }
        }
    }
    std::lock_guard<std::mutex> guard(lock);
    resolved[face] = answer;
    return answer;
}

LOGFONTW GdiplusLogFont(HDC hdc, HFONT font)
{
    LOGFONTW logFont{};
    GetObjectW(font, sizeof(logFont), &logFont);
    const std::wstring face = ResolveFace(hdc, font, logFont.lfFaceName);
    wcsncpy(logFont.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    logFont.lfFaceName[LF_FACESIZE - 1] = L'\0';
    return logFont;
}

SIZE MeasureTextGdiplus(const std::wstring& text, const wchar_t* face, int size)
{
    const win32kit::ScopedGetDC dc(nullptr);
    if (!dc)
        return SIZE{};
    ScopedFont gdiFont(face, size);
    const LOGFONTW logFont = GdiplusLogFont(dc, gdiFont.Get());
    Gdiplus::Font font(dc, &logFont);
    Gdiplus::Graphics g(dc);
    Gdiplus::RectF box;
    g.MeasureString(text.c_str(), static_cast<int>(text.size()), &font, Gdiplus::PointF(0, 0), &box);
    return SIZE{static_cast<LONG>(box.Width + 0.99f), static_cast<LONG>(box.Height + 0.99f)};
}

RECT TextArea(const std::wstring& text, const wchar_t* face, int size)
{
    if (text.empty())
        return RECT{};
    const SIZE extent = MeasureTextGdiplus(text, face, size);
    // Room for anti-aliasing and for the underline below the measured box.
    return RECT{-2, -2, extent.cx + 3, extent.cy + 3};
}

void DrawTextGdiplus(HDC hdc, const std::wstring& text, const wchar_t* face, int size, COLORREF color,
    const Gdiplus::RectF& layout, const Gdiplus::StringFormat* format, bool underline, int weight)
{
    if (text.empty())
        return;
    ScopedFont gdiFont(face, size, underline, weight);
    const LOGFONTW logFont = GdiplusLogFont(hdc, gdiFont.Get());
    Gdiplus::Font font(hdc, &logFont);
    Gdiplus::Graphics g(hdc);
    g.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
    Gdiplus::SolidBrush brush(TextArgb(color));
    const int length = static_cast<int>(text.size());
    if (format) {
        g.DrawString(text.c_str(), length, &font, layout, format, &brush);
        return;
    }
    g.DrawString(text.c_str(), length, &font, Gdiplus::PointF(layout.X, layout.Y), &brush);
}

void DrawImagePart(Gdiplus::Graphics& g, Gdiplus::Bitmap* image, int x, int y, int srcX, int srcY, int w, int h)
{
    if (!image || w <= 0 || h <= 0)
        return;
    // 1:1 copies: no filtering, so slice edges do not bleed into neighbours.
    const Gdiplus::InterpolationMode oldMode = g.GetInterpolationMode();
    const Gdiplus::PixelOffsetMode oldOffset = g.GetPixelOffsetMode();
    g.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
    g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    g.DrawImage(image, Gdiplus::Rect(x, y, w, h), srcX, srcY, w, h, Gdiplus::UnitPixel);
    g.SetInterpolationMode(oldMode);
    g.SetPixelOffsetMode(oldOffset);
}

void DrawImageStretched(Gdiplus::Graphics& g, Gdiplus::Bitmap* image, const Gdiplus::Rect& dest, int srcX, int srcY,
    int srcW, int srcH, const Gdiplus::ImageAttributes* extra)
{
    if (!image || dest.Width <= 0 || dest.Height <= 0 || srcW <= 0 || srcH <= 0)
        return;
    Gdiplus::ImageAttributes local;
    Gdiplus::ImageAttributes* attributes = extra ? const_cast<Gdiplus::ImageAttributes*>(extra) : &local;
    attributes->SetWrapMode(Gdiplus::WrapModeTileFlipXY);
    // A one-pixel column stretched sideways must stay one colour per row.
    const Gdiplus::InterpolationMode oldMode = g.GetInterpolationMode();
    const Gdiplus::PixelOffsetMode oldOffset = g.GetPixelOffsetMode();
    if (srcW == 1) {
        g.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
        g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    }
    // A hair outside the pixel grid: Wine's GDI+ otherwise drops the first
    // destination column of some scaled draws through float rounding.
    const Gdiplus::RectF target(dest.X - 0.01f, dest.Y - 0.01f, dest.Width + 0.01f, dest.Height + 0.01f);
    g.DrawImage(image, target, static_cast<float>(srcX), static_cast<float>(srcY), static_cast<float>(srcW),
        static_cast<float>(srcH), Gdiplus::UnitPixel, attributes);
    g.SetInterpolationMode(oldMode);
    g.SetPixelOffsetMode(oldOffset);
}

void PostCommand(HWND parent, WORD id, WORD code)
{
    PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(parent));
}

LRESULT SendCommand(HWND parent, WORD id, WORD code)
{
    return SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(parent));
}

namespace {

// GetObject gives a DIB's height without its sign, so which way the rows run
// is asked of GDI: a dark and a light marker go where the row would lie
// either way, and GetPixel reads which one is there.
bool RowsRunBottomUp(HDC hdc, const DIBSECTION& dib, const RECT& area)
{
    const int height = dib.dsBm.bmHeight;
    int y = area.top;
    if (height - 1 - y == y) {
        // The middle row is the same row either way.
        if (y + 1 >= area.bottom)
            return true;
        ++y;
    }
    const int stride = dib.dsBm.bmWidthBytes / 4;
    auto* bits = static_cast<UINT32*>(dib.dsBm.bmBits);
    UINT32& ifBottomUp = bits[static_cast<size_t>(height - 1 - y) * stride + area.left];
    UINT32& ifTopDown = bits[static_cast<size_t>(y) * stride + area.left];
    const UINT32 keptBottomUp = ifBottomUp;
    const UINT32 keptTopDown = ifTopDown;
    ifBottomUp = 0xFF000000;
    ifTopDown = 0xFFFFFFFF;
    const COLORREF seen = GetPixel(hdc, area.left, y);
    ifBottomUp = keptBottomUp;
    ifTopDown = keptTopDown;
    return seen == RGB(0, 0, 0);
}

}  // namespace

UINT32* DirectPixels(HDC hdc, RECT& area, std::ptrdiff_t& rowStep)
{
    DIBSECTION dib{};
    HGDIOBJ bitmap = GetCurrentObject(hdc, OBJ_BITMAP);
    if (!bitmap || GetObjectW(bitmap, sizeof(dib), &dib) != sizeof(dib))
        return nullptr;
    if (dib.dsBm.bmBitsPixel != 32 || !dib.dsBm.bmBits || dib.dsBm.bmHeight <= 0)
        return nullptr;
    POINT viewport{};
    POINT window{};
    GetViewportOrgEx(hdc, &viewport);
    GetWindowOrgEx(hdc, &window);
    if (viewport.x || viewport.y || window.x || window.y || GetMapMode(hdc) != MM_TEXT)
        return nullptr;
    RECT clip{};
    const int kind = GetClipBox(hdc, &clip);
    if (kind != SIMPLEREGION && kind != NULLREGION)
        return nullptr;
    const RECT surface{0, 0, dib.dsBm.bmWidth, dib.dsBm.bmHeight};
    IntersectRect(&area, &area, &surface);
    if (kind == SIMPLEREGION)
        IntersectRect(&area, &area, &clip);
    if (kind == NULLREGION)
        SetRectEmpty(&area);
    const std::ptrdiff_t stride = dib.dsBm.bmWidthBytes / 4;
    auto* bits = static_cast<UINT32*>(dib.dsBm.bmBits);
    GdiFlush();
    if (IsRectEmpty(&area) || !RowsRunBottomUp(hdc, dib, area)) {
        rowStep = stride;
        return bits;
    }
    rowStep = -stride;
    return bits + (dib.dsBm.bmHeight - 1) * stride;
}

}  // namespace skinkit
