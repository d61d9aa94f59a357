#include "skinkit/image_list.h"

#include <cwchar>

#include "control_util.h"
#include "skinkit/dpi.h"

CImageList::~CImageList() { Clear(); }

void CImageList::Swap(CImageList& other) { m_images.swap(other.m_images); }

void CImageList::Clear()
{
    for (Gdiplus::Bitmap* image : m_images)
        delete image;
    m_images.clear();
}

static bool FileExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void CImageList::Load(const std::wstring& folder, int dpi)
{
    Clear();
    const std::wstring ini = folder + L"image_resource.ini";
    const int count = skinkit::ReadProfileCount(ini, L"ImageRes", L"ImageNumber");
    for (int i = 1; i <= count; ++i) {
        wchar_t key[32];
        swprintf(key, 32, L"ImageID_%d", i);
        wchar_t name[260] = {};
        GetPrivateProfileStringW(L"ImageRes", key, L"", name, 260, ini.c_str());
        const std::wstring path = folder + name;
        if (dpi != skinkit::kBaseDpi && name[0] != L'\0') {
            m_images.push_back(skinkit::LoadSkinPicture(path, dpi).release());
            continue;
        }
        if (name[0] == L'\0' || !FileExists(path)) {
            m_images.push_back(nullptr);
            continue;
        }
        auto* image = new Gdiplus::Bitmap(path.c_str());
        // A file GDI+ cannot decode counts as missing: controls only test for null.
        if (image && image->GetLastStatus() != Gdiplus::Ok) {
            delete image;
            image = nullptr;
        }
        m_images.push_back(image);
    }
}

Gdiplus::Bitmap* ImageByNumber(const std::deque<Gdiplus::Bitmap*>& images, int number)
{
    if (number < 1 || static_cast<size_t>(number) > images.size())
        return nullptr;
    return images[static_cast<size_t>(number) - 1];
}
