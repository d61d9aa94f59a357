#include "decoded_pictures.h"

#include "skinkit/picture.h"

#include <algorithm>

namespace {

bool FileStamp(const std::wstring& path, ULONGLONG& size, FILETIME& written)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (path.empty() || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return false;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return false;
    size = (ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    written = data.ftLastWriteTime;
    return size > 0;
}

}  // namespace

Gdiplus::Bitmap* DecodedPictures::Find(const std::wstring& path)
{
    ULONGLONG size = 0;
    FILETIME written{};
    if (!FileStamp(path, size, written))
        return nullptr;
    auto found = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& e) { return e.path == path; });
    if (found != m_entries.end()) {
        if (found->size == size && CompareFileTime(&found->written, &written) == 0) {
            m_entries.splice(m_entries.begin(), m_entries, found);
            return m_entries.front().picture.get();
        }
        m_entries.erase(found);
    }
    // A file still being written decodes to nothing: it is tried again once
    // its size or time changes, never twice for the same state.
    Entry entry{path, size, written, LoadPictureFile(path)};
    ++m_decodes;
    m_entries.push_front(std::move(entry));
    while (m_entries.size() > m_capacity)
        m_entries.pop_back();
    return m_entries.front().picture.get();
}

void DrawFitted(Gdiplus::Graphics& graphics, Gdiplus::Bitmap* picture, const RECT& box)
{
    if (!picture)
        return;
    const int boxWidth = box.right - box.left;
    const int boxHeight = box.bottom - box.top;
    int width = int(picture->GetWidth());
    int height = int(picture->GetHeight());
    if (width <= 0 || height <= 0 || boxWidth <= 0 || boxHeight <= 0)
        return;
    if (width > boxWidth || height > boxHeight) {
        const double scale = std::min(double(boxWidth) / width, double(boxHeight) / height);
        width = std::max(1, int(width * scale));
        height = std::max(1, int(height * scale));
    }
    graphics.DrawImage(picture, box.left + (boxWidth - width) / 2, box.top + (boxHeight - height) / 2, width, height);
}
