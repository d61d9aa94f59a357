#pragma once
#include <string>

#include <windows.h>
// GDI+ needs the Windows types first.
#include <gdiplus.h>

// Text drawn with GDI+ in a face named the way the skin names it ("宋体").
// GDI+ finds only installed family names, while GDI also knows the system's
// substitutes, so the face is looked up through GDI when GDI+ lacks it.
struct SkinTextStyle {
    const wchar_t* face = L"宋体";
    float points = 12.0f;
    bool bold = false;
    Gdiplus::ARGB color = 0xFE3A434A;
    bool centred = false;  // horizontally and vertically in the box
    bool singleLine = false;  // no wrapping: an ellipsis ends what does not fit
};

void DrawSkinText(HDC hdc, const std::wstring& text, const SkinTextStyle& style, const Gdiplus::RectF& box);
