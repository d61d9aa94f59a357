#include "decoded_pictures.h"

#include "skinkit/file_stamp.h"
#include "skinkit/picture.h"

#include <algorithm>
#include <vector>

#include "win32kit/scoped_win.h"

namespace {

// Files larger than this are not compared by content: avatars and thumbnails
// are a few kilobytes.
constexpr ULONGLONG kMostComparedBytes = 1 << 20;

// FNV-1a of the file's bytes; 0 when it cannot be read whole or is too large.
std::uint64_t ContentHash(const std::wstring& path, ULONGLONG size)
{
    if (size == 0 || size > kMostComparedBytes)
        return 0;
    win32kit::ScopedHandle file(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return 0;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(size));
    DWORD read = 0;
    if (!ReadFile(file.Get(), bytes.data(), DWORD(bytes.size()), &read, nullptr) || read != bytes.size())
        return 0;
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char b : bytes)
        hash = (hash ^ b) * 1099511628211ull;
    return hash ? hash : 1;
}

}  // namespace

DecodedPictures::Entry* DecodedPictures::Stamped(const std::wstring& path)
{
    FileStamp stamp;
    // An empty file is one whose writing has not begun.
    if (!ReadFileStamp(path, stamp) || stamp.size == 0)
        return nullptr;
    const ULONGLONG size = stamp.size;
    const FILETIME written = stamp.written;
    auto found = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& e) { return e.path == path; });
    if (found != m_entries.end()) {
        const bool same = found->size == size
            && (CompareFileTime(&found->written, &written) == 0
                || (found->content && ContentHash(path, size) == found->content));
        if (same) {
            found->written = written;
            m_entries.splice(m_entries.begin(), m_entries, found);
            return &m_entries.front();
        }
        m_entries.erase(found);
    }
    // A file still being written decodes to nothing: it is tried again once
    // its size or time changes, never twice for the same state.
    Entry entry;
    entry.path = path;
    entry.size = size;
    entry.written = written;
    entry.content = ContentHash(path, size);
    entry.picture = LoadPictureFile(path);
    ++m_decodes;
    m_entries.push_front(std::move(entry));
    while (m_entries.size() > m_capacity)
        m_entries.pop_back();
    return &m_entries.front();
}

Gdiplus::Bitmap* DecodedPictures::Original(Entry& entry)
{
    if (entry.originalLetGo) {
        entry.picture = LoadPictureFile(entry.path);
        entry.originalLetGo = false;
        ++m_decodes;
    }
    return entry.picture.get();
}

Gdiplus::Bitmap* DecodedPictures::Find(const std::wstring& path)
{
    Entry* entry = Stamped(path);
    return entry ? Original(*entry) : nullptr;
}

namespace {

// The size `width` x `height` takes inside a box, kept in proportion; never larger.
SIZE FittedSize(int width, int height, int boxWidth, int boxHeight)
{
    if (width <= boxWidth && height <= boxHeight)
        return SIZE{width, height};
    const double scale = std::min(double(boxWidth) / width, double(boxHeight) / height);
    return SIZE{std::max(1, int(width * scale)), std::max(1, int(height * scale))};
}

}  // namespace

Gdiplus::Bitmap* DecodedPictures::Fitted(const std::wstring& path, int width, int height, std::size_t* serial)
{
    if (serial)
        *serial = 0;
    if (width <= 0 || height <= 0)
        return nullptr;
    Entry* found = Stamped(path);
    if (!found)
        return nullptr;
    Entry& entry = *found;
    if (entry.fitted && entry.boxWidth == width && entry.boxHeight == height) {
        if (serial)
            *serial = entry.fittedSerial;
        return entry.fitted.get();
    }
    Gdiplus::Bitmap* original = Original(entry);
    if (!original)
        return nullptr;
    const int originalWidth = int(original->GetWidth());
    const int originalHeight = int(original->GetHeight());
    if (originalWidth <= 0 || originalHeight <= 0)
        return nullptr;
    const SIZE size = FittedSize(originalWidth, originalHeight, width, height);
    auto fitted = std::make_unique<Gdiplus::Bitmap>(size.cx, size.cy, PixelFormat32bppPARGB);
    if (fitted->GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    {
        Gdiplus::Graphics graphics(fitted.get());
        graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
        graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
        graphics.DrawImage(original, 0, 0, int(size.cx), int(size.cy));
    }
    entry.fitted = std::move(fitted);
    entry.boxWidth = width;
    entry.boxHeight = height;
    if (!m_keepOriginals) {
        entry.picture.reset();
        entry.originalLetGo = true;
    }
    entry.fittedSerial = ++m_fittedCount;
    if (serial)
        *serial = entry.fittedSerial;
    return entry.fitted.get();
}

void DrawFitted(Gdiplus::Graphics& graphics, Gdiplus::Bitmap* picture, const RECT& box)
{
    if (!picture)
        return;
    const int boxWidth = box.right - box.left;
    const int boxHeight = box.bottom - box.top;
    const int width = int(picture->GetWidth());
    const int height = int(picture->GetHeight());
    if (width <= 0 || height <= 0 || boxWidth <= 0 || boxHeight <= 0)
        return;
    const SIZE size = FittedSize(width, height, boxWidth, boxHeight);
    graphics.DrawImage(picture, int(box.left + (boxWidth - size.cx) / 2), int(box.top + (boxHeight - size.cy) / 2),
        int(size.cx), int(size.cy));
}

void DrawPictureBox(HDC hdc, Gdiplus::Graphics& graphics, Gdiplus::Bitmap* picture, int x, int y, int width, int height)
{
    if (!picture || width <= 0 || height <= 0)
        return;
    if (int(picture->GetWidth()) == width && int(picture->GetHeight()) == height) {
        // What GDI+ drew before must be on the target before its bits are written.
        graphics.Flush(Gdiplus::FlushIntentionSync);
        if (BlendPictureStraight(hdc, x, y, *picture))
            return;
    }
    graphics.DrawImage(picture, x, y, width, height);
}
