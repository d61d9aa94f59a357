#include "skinkit/image_list.h"

#include <cwchar>

#include "control_util.h"
#include "skinkit/dpi.h"
#include "skinkit/picture.h"

CImageList::~CImageList() { Clear(); }

void CImageList::Swap(CImageList& other) { m_images.swap(other.m_images); }

void CImageList::Clear()
{
    for (Gdiplus::Bitmap* image : m_images)
        delete image;
    m_images.clear();
}

void CImageList::Load(const std::wstring& folder, int dpi)
{
    Clear();
    const std::wstring ini = folder + L"image_resource.ini";
    const int count = skinkit::ReadProfileCount(ini, L"ImageRes", L"ImageNumber");
    for (int i = 1; i <= count; ++i) {
        wchar_t key[32];
        swprintf(key, 32, L"ImageID_%d", i);
        const std::wstring name = skinkit::ReadProfileString(ini, L"ImageRes", key);
        const std::wstring path = folder + name;
        if (dpi != skinkit::kBaseDpi && !name.empty()) {
            m_images.push_back(skinkit::LoadSkinPicture(path, dpi).release());
            continue;
        }
        // A missing file, or one that does not decode, is null: controls only test for null.
        m_images.push_back(name.empty() ? nullptr : LoadPictureFile(path).release());
    }
}

Gdiplus::Bitmap* ImageByNumber(const std::deque<Gdiplus::Bitmap*>& images, int number)
{
    if (number < 1 || static_cast<size_t>(number) > images.size())
        return nullptr;
    return images[static_cast<size_t>(number) - 1];
}
