#pragma once
#include <windows.h>
// GDI+ needs the Windows types first.
#include <gdiplus.h>

#include <memory>
#include <string>

// The browsing panels' pictures live in the resource folder's "main\";
// loaded from the set for dpi and sized for it.
std::unique_ptr<Gdiplus::Bitmap> LoadPanelPicture(const wchar_t* name, int dpi = 96);

// Draws a whole picture with its top-left corner at (x, y); nothing for null.
void DrawPicture(Gdiplus::Graphics& graphics, Gdiplus::Bitmap* picture, int x, int y);

// The line a panel shows in its pictures' place when a list came back
// empty, with its left end at x and its top at y (its box sized for dpi).
void DrawPanelNote(HDC hdc, const wchar_t* text, int x, int y, int dpi = 96);
