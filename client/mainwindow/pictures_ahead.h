#pragma once
#include <windows.h>
// GDI+ needs the Windows types first.
#include <gdiplus.h>

#include "skinkit/picture_viewer.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

class Downloader;

// Posted by a worker of PicturesAhead once its record is ready; no payload.
constexpr UINT UM_PICTURE_AHEAD = 3065;
// The look a picture gets before its neighbours are asked for: a user
// stepping quickly asks for none.
constexpr UINT_PTR kPicturesAheadTimer = 1040;
constexpr UINT kPicturesAheadDelayMs = 300;

// The large pictures next to the one on show, fetched and decoded on workers
// while the user looks at it, so that a step to either only draws. Each
// request is one worker that leaves its record in the inbox and tells the
// window `message` once it ended, whatever came of it (sent without waiting,
// so it goes ahead of the posted messages); the UI thread
// takes the records with TakeReady. Records left in the inbox at exit go
// with the last owner of the inbox, never with a lost message.
class PicturesAhead {
public:
    // What a worker hands over: the picture (null when none came), already
    // at the size it will be shown at, its own size, and the file it was
    // decoded from as it was then.
    struct Decoded {
        std::wstring path;
        std::unique_ptr<Gdiplus::Bitmap> picture;
        SIZE natural{};
        ULONGLONG size = 0;
        FILETIME written{};
    };

    PicturesAhead(HWND window, UINT message)
        : m_window(window)
        , m_message(message)
        , m_inbox(std::make_shared<Inbox>())
    {
    }
    ~PicturesAhead();
    PicturesAhead(const PicturesAhead&) = delete;
    PicturesAhead& operator=(const PicturesAhead&) = delete;

    // Fetches (when missing) and decodes the picture at path, scaled to
    // where `fit` places it, unless a request for it is still on its way.
    // UI thread.
    void Prepare(const std::string& url, const std::string& path, const PictureFit& fit, Downloader& downloads);
    // The records the workers left, taken over; their paths are free to be
    // asked for again. UI thread.
    std::vector<std::unique_ptr<Decoded>> TakeReady();
    // Requests on their way.
    std::size_t Running() const { return m_running.size(); }
    // Records left by workers and not taken yet.
    std::size_t Ready() const;
    // Decodes started, early ones included.
    int Decodes() const { return m_inbox->decodes.load(); }

    // The start's first large picture, decoded on a worker as soon as its
    // file is there, while the window is still being made: the function
    // returned is the downloader's word that it is (any thread). The
    // picture is fitted by SetFirstFit's fit, waited for after the decode.
    // A later Prepare of that path joins it. UI thread.
    std::function<void(const std::string& path)> FirstPictureDecoder() const;
    void SetFirstFit(const PictureFit& fit);

    // Shared by the UI thread and the workers, which outlive the window.
    struct Inbox {
        std::mutex lock;
        std::vector<std::unique_ptr<Decoded>> records;
        bool closed = false;  // the window's side is gone: records are dropped at once
        std::set<std::wstring> early;  // decoded before the window asked, until taken
        std::optional<PictureFit> firstFit;
        std::condition_variable firstFitSet;
        std::atomic<int> decodes{0};
    };

private:
    HWND m_window;
    UINT m_message;
    std::shared_ptr<Inbox> m_inbox;
    std::set<std::wstring> m_running;
};
