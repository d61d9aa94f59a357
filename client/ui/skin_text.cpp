#include "skin_text.h"

#include "win32kit/scoped_win.h"

#include <map>
#include <vector>

namespace {

// The installed family GDI would draw `face` with. Painting happens on the
// user-interface thread only, so the remembered answers need no lock.
std::wstring InstalledFace(HDC hdc, const wchar_t* face)
{
    static std::map<std::wstring, std::wstring> known;
    auto found = known.find(face);
    if (found != known.end())
        return found->second;
    std::wstring answer = face;
    Gdiplus::FontFamily family(face);
    if (family.GetLastStatus() != Gdiplus::Ok || !family.IsAvailable()) {
        win32kit::ScopedGdiObject<HFONT> font(CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face));
        win32kit::ScopedSelectObject selected(hdc, font.Get());
        const UINT size = GetOutlineTextMetricsW(hdc, 0, nullptr);
        if (size > 0) {
            std::vector<char> buffer(size);
            auto* metrics = reinterpret_cast<OUTLINETEXTMETRICW*>(buffer.data());
            if (GetOutlineTextMetricsW(hdc, size, metrics))
                answer = reinterpret_cast<const wchar_t*>(
                    buffer.data() + reinterpret_cast<size_t>(metrics->otmpFamilyName));
        }
    }
    known.emplace(face, answer);
    return answer;
}

}  // namespace

void DrawSkinText(HDC hdc, const std::wstring& text, const SkinTextStyle& style, const Gdiplus::RectF& box)
{
    if (text.empty())
        return;
    const std::wstring face = InstalledFace(hdc, style.face);
    Gdiplus::Font font(face.c_str(), style.points, style.bold ? Gdiplus::FontStyleBold : Gdiplus::FontStyleRegular,
        Gdiplus::UnitPoint);
    Gdiplus::StringFormat format(style.singleLine ? Gdiplus::StringFormatFlagsNoWrap : 0);
    if (style.singleLine)
        format.SetTrimming(Gdiplus::StringTrimmingEllipsisCharacter);
    if (style.centred) {
        format.SetAlignment(Gdiplus::StringAlignmentCenter);
        format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
    }
    Gdiplus::Graphics graphics(hdc);
    graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
    Gdiplus::SolidBrush brush{Gdiplus::Color(style.color)};
    graphics.DrawString(text.c_str(), int(text.size()), &font, box, &format, &brush);
}
