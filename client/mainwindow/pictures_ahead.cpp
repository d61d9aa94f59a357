#include "pictures_ahead.h"

#include "downloader.h"
#include "platform.h"
#include "skinkit/file_stamp.h"
#include "skinkit/picture.h"
#include "skinkit/picture_scaling.h"
#include "win32/wide_text.h"

namespace {

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

// Decodes path's file as it is now and leaves the record in the inbox; a
// file replaced while it was read gives no picture, so none of another file
// is taken.
void DecodeAndPost(const std::shared_ptr<PicturesAhead::Inbox>& inbox, HWND window, UINT message,
    const std::wstring& path, const PictureFit& fit)
{
    auto record = std::make_unique<PicturesAhead::Decoded>();
    record->path = path;
    FileStamp before;
    if (ReadFileStamp(path, before)) {
        std::unique_ptr<Gdiplus::Bitmap> picture = LoadPictureFile(path);
        FileStamp after;
        if (picture && ReadFileStamp(path, after) && after == before) {
            record->natural = SIZE{LONG(picture->GetWidth()), LONG(picture->GetHeight())};
            record->picture = FittedToShow(std::move(picture), fit);
            record->size = before.size;
            record->written = before.written;
        }
    }
    {
        std::lock_guard<std::mutex> hold(inbox->lock);
        if (inbox->closed)
            return;
        inbox->records.push_back(std::move(record));
    }
    // Ahead of the posted messages: at start the thumbnails' arrivals queue
    // by the hundred, and the picture on show waited behind them.
    SendNotifyMessageW(window, message, 0, 0);
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
    std::shared_ptr<Inbox> inbox = m_inbox;
    // Decoded on a worker of its own: a picture already there is told at once, on this thread.
    downloads.FetchLargeAhead(url, path, [inbox, window, message, wide, fit](bool) {
        auto decode = [inbox, window, message, wide, fit] { DecodeAndPost(inbox, window, message, wide, fit); };
        if (!platform::StartDetachedThread(decode))
            decode();
    });
}

// The pictures go while the program's drawing library is still up; a worker
// ending later finds the inbox closed.
PicturesAhead::~PicturesAhead()
{
    std::vector<std::unique_ptr<Decoded>> left;
    std::lock_guard<std::mutex> hold(m_inbox->lock);
    m_inbox->closed = true;
    left.swap(m_inbox->records);
}

std::vector<std::unique_ptr<PicturesAhead::Decoded>> PicturesAhead::TakeReady()
{
    std::vector<std::unique_ptr<Decoded>> ready;
    {
        std::lock_guard<std::mutex> hold(m_inbox->lock);
        ready.swap(m_inbox->records);
    }
    for (const auto& decoded : ready)
        m_running.erase(decoded->path);
    return ready;
}
