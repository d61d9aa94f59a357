#include "pictures_ahead.h"

#include "downloader.h"
#include "platform.h"
#include "skinkit/file_stamp.h"
#include "skinkit/picture.h"
#include "skinkit/picture_scaling.h"
#include "win32/wide_text.h"

#include <chrono>

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

// The start's window gives the first picture's fit while it is made; one
// that never does leaves the picture at its own size.
constexpr auto kFirstFitWait = std::chrono::seconds(5);

PictureFit FirstFit(PicturesAhead::Inbox& inbox)
{
    std::unique_lock<std::mutex> hold(inbox.lock);
    inbox.firstFitSet.wait_for(hold, kFirstFitWait, [&] { return inbox.firstFit.has_value() || inbox.closed; });
    return inbox.firstFit.value_or(PictureFit{});
}

// Decodes path's file as it is now, fitted as fitNow says once its pixels
// are there, and leaves the record in the inbox; a file replaced while it
// was read gives no picture, so none of another file is taken.
void DecodeAndPost(const std::shared_ptr<PicturesAhead::Inbox>& inbox, HWND window, UINT message,
    const std::wstring& path, const std::function<PictureFit()>& fitNow)
{
    ++inbox->decodes;
    auto record = std::make_unique<PicturesAhead::Decoded>();
    record->path = path;
    FileStamp before;
    if (ReadFileStamp(path, before)) {
        std::unique_ptr<Gdiplus::Bitmap> picture = LoadPictureFile(path);
        FileStamp after;
        if (picture && ReadFileStamp(path, after) && after == before) {
            record->natural = SIZE{LONG(picture->GetWidth()), LONG(picture->GetHeight())};
            record->picture = FittedToShow(std::move(picture), fitNow());
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
    {
        // Decoded early: its record comes as any other's.
        std::lock_guard<std::mutex> hold(m_inbox->lock);
        if (m_inbox->early.count(wide) != 0)
            return;
    }
    const HWND window = m_window;
    const UINT message = m_message;
    std::shared_ptr<Inbox> inbox = m_inbox;
    // Decoded on a worker of its own: a picture already there is told at once, on this thread.
    downloads.FetchLargeAhead(url, path, [inbox, window, message, wide, fit](bool) {
        auto decode = [inbox, window, message, wide, fit] {
            DecodeAndPost(inbox, window, message, wide, [&fit] { return fit; });
        };
        if (!platform::StartDetachedThread(decode))
            decode();
    });
}

std::function<void(const std::string& path)> PicturesAhead::FirstPictureDecoder() const
{
    const HWND window = m_window;
    const UINT message = m_message;
    std::shared_ptr<Inbox> inbox = m_inbox;
    return [inbox, window, message](const std::string& path) {
        const std::wstring wide = Widen(path);
        {
            std::lock_guard<std::mutex> hold(inbox->lock);
            if (wide.empty() || inbox->closed || !inbox->early.insert(wide).second)
                return;
        }
        // Not on the caller's worker: it stores the page or moves a transfer on.
        auto decode = [inbox, window, message, wide] {
            DecodeAndPost(inbox, window, message, wide, [&inbox] { return FirstFit(*inbox); });
        };
        if (!platform::StartDetachedThread(decode))
            decode();
    };
}

void PicturesAhead::SetFirstFit(const PictureFit& fit)
{
    {
        std::lock_guard<std::mutex> hold(m_inbox->lock);
        m_inbox->firstFit = fit;
    }
    m_inbox->firstFitSet.notify_all();
}

std::size_t PicturesAhead::Ready() const
{
    std::lock_guard<std::mutex> hold(m_inbox->lock);
    return m_inbox->records.size();
}

// The pictures go while the program's drawing library is still up; a worker
// ending later finds the inbox closed.
PicturesAhead::~PicturesAhead()
{
    std::vector<std::unique_ptr<Decoded>> left;
    {
        std::lock_guard<std::mutex> hold(m_inbox->lock);
        m_inbox->closed = true;
        left.swap(m_inbox->records);
    }
    m_inbox->firstFitSet.notify_all();
}

std::vector<std::unique_ptr<PicturesAhead::Decoded>> PicturesAhead::TakeReady()
{
    std::vector<std::unique_ptr<Decoded>> ready;
    {
        std::lock_guard<std::mutex> hold(m_inbox->lock);
        ready.swap(m_inbox->records);
        for (const auto& decoded : ready)
            m_inbox->early.erase(decoded->path);
    }
    for (const auto& decoded : ready)
        m_running.erase(decoded->path);
    return ready;
}
