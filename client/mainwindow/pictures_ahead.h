#pragma once
#include <windows.h>
// GDI+ needs the Windows types first.
#include <gdiplus.h>

#include "skinkit/picture_viewer.h"

#include <memory>
#include <set>
#include <string>

class Downloader;

// Posted by a worker of PicturesAhead; wParam 0, lParam its record.
constexpr UINT UM_PICTURE_AHEAD = 3065;
// The look a picture gets before its neighbours are asked for: a user
// stepping quickly asks for none.
constexpr UINT_PTR kPicturesAheadTimer = 1040;
constexpr UINT kPicturesAheadDelayMs = 300;

// The large pictures next to the one on show, fetched and decoded on workers
// while the user looks at it, so that a step to either only draws. Each
// request is one worker that posts `message` to the window once it ended,
// whatever came of it; the UI thread takes the record with Take.
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
    {
    }
    PicturesAhead(const PicturesAhead&) = delete;
    PicturesAhead& operator=(const PicturesAhead&) = delete;

    // Fetches (when missing) and decodes the picture at path, scaled to
    // where `fit` places it, unless a request for it is still on its way.
    // UI thread.
    void Prepare(const std::string& url, const std::string& path, const PictureFit& fit, Downloader& downloads);
    // The record of a posted message, taken over; its path is free to be
    // asked for again. UI thread.
    std::unique_ptr<Decoded> Take(LPARAM record);
    // Requests on their way.
    std::size_t Running() const { return m_running.size(); }

private:
    HWND m_window;
    UINT m_message;
    std::set<std::wstring> m_running;
};
