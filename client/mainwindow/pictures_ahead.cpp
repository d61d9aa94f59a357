#include "pictures_ahead.h"

#include "downloader.h"
#include "platform.h"
#include "skinkit/picture.h"
#include "skinkit/picture_scaling.h"
#include "win32/wide_text.h"

namespace {

bool Stamp(const std::wstring& path, ULONGLONG& size, FILETIME& written)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return false;
    size = (ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    written = data.ftLastWriteTime;
    return true;
}

// The picture at the size fit shows it at: a step then only copies it.
std::unique_ptr<Gdiplus::Bitmap> FittedToShow(std::unique_ptr<Gdiplus::Bitmap> picture, const PictureFit& fit)
{
    const int width = int(picture->GetWidth());
    const int height = int(picture->GetHeight());
    const RECT place = fit.Place(width, height);
    const int w = place.right - place.left;
    const int h = place.bottom - place.top;
    if (w <= 0 || h <= 0 || (w == width && h == height))
        return picture;
    std::unique_ptr<Gdiplus::Bitmap> scaled = skinkit::ScaledPicture(*picture, w, h);
    return scaled ? std::move(scaled) : std::move(picture);
}

// Decodes path's file as it is now and posts the record; a file replaced
// while it was read gives no picture, so none of another file is taken.
void DecodeAndPost(HWND window, UINT message, const std::wstring& path, const PictureFit& fit)
{
    auto record = std::make_unique<PicturesAhead::Decoded>();
    record->path = path;
    ULONGLONG size = 0;
    FILETIME written{};
    if (Stamp(path, size, written)) {
        std::unique_ptr<Gdiplus::Bitmap> picture = LoadPictureFile(path);
        ULONGLONG sizeAfter = 0;
        FILETIME writtenAfter{};
        if (picture && Stamp(path, sizeAfter, writtenAfter) && sizeAfter == size
            && CompareFileTime(&written, &writtenAfter) == 0) {
            record->natural = SIZE{LONG(picture->GetWidth()), LONG(picture->GetHeight())};
            record->picture = FittedToShow(std::move(picture), fit);
            record->size = size;
            record->written = written;
        }
    }
    if (PostMessageW(window, message, 0, reinterpret_cast<LPARAM>(record.get())))
        record.release();
}

}  // namespace

void PicturesAhead::Prepare(
    const std::string& url, const std::string& path, const PictureFit& fit, Downloader& downloads)
{
    const std::wstring wide = Widen(path);
    if (wide.empty() || !m_running.insert(wide).second)
        return;
    const HWND window = m_window;
    const UINT message = m_message;
    // Decoded on a worker of its own: a picture already there is told at once, on this thread.
    downloads.FetchLargeAhead(url, path, [window, message, wide, fit](bool) {
        if (!platform::StartDetachedThread([window, message, wide, fit] { DecodeAndPost(window, message, wide, fit); }))
            DecodeAndPost(window, message, wide, fit);
    });
}

std::unique_ptr<PicturesAhead::Decoded> PicturesAhead::Take(LPARAM record)
{
    std::unique_ptr<Decoded> decoded(reinterpret_cast<Decoded*>(record));
    if (decoded)
        m_running.erase(decoded->path);
    return decoded;
}
