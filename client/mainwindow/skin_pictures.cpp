#include "skin_pictures.h"

#include "program_folder.h"
#include "skinkit/picture.h"

std::unique_ptr<Gdiplus::Bitmap> LoadPanelPicture(const wchar_t* name)
{
    return LoadPictureFile(ResourceFolder() + L"main\\" + name);
}

void DrawPicture(Gdiplus::Graphics& graphics, Gdiplus::Bitmap* picture, int x, int y)
{
    if (picture)
        graphics.DrawImage(picture, x, y, int(picture->GetWidth()), int(picture->GetHeight()));
}
