#include "skin_pictures.h"

#include "program_folder.h"
#include "skin_text.h"
#include "skinkit/dpi.h"
#include "skinkit/picture.h"

std::unique_ptr<Gdiplus::Bitmap> LoadPanelPicture(const wchar_t* name, int dpi)
{
    const std::wstring path = ResourceFolder() + L"main\\" + name;
    if (dpi != skinkit::kBaseDpi)
        return skinkit::LoadSkinPicture(path, dpi);
    return LoadPictureFile(path);
}

void DrawPicture(Gdiplus::Graphics& graphics, Gdiplus::Bitmap* picture, int x, int y)
{
    if (picture)
        graphics.DrawImage(picture, x, y, int(picture->GetWidth()), int(picture->GetHeight()));
}

void DrawPanelNote(HDC hdc, const wchar_t* text, int x, int y, int dpi)
{
    SkinTextStyle style;
    style.color = 0xFE848484;
    DrawSkinText(hdc, text, style,
        Gdiplus::RectF(Gdiplus::REAL(x), Gdiplus::REAL(y), Gdiplus::REAL(skinkit::ScaleToDpi(300, dpi)),
            Gdiplus::REAL(skinkit::ScaleToDpi(24, dpi))));
}
