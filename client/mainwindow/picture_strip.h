#pragma once
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>
// GDI+ needs the Windows types first.
#include <gdiplus.h>

#include "feed_store.h"
#include "skinkit/accessible_facts.h"
#include "skinkit/button.h"
#include "skinkit/memory_dc.h"

class Downloader;

// Timers the strip runs on the main window (the window hands them over).
constexpr UINT_PTR kStripZoomTimer = 1020;
constexpr UINT_PTR kStripTrackTimer = 1021;
constexpr UINT_PTR kStripScrollTimer = 1022;

// A premultiplied 32-bit picture in a memory DC: drawing it is one blend of
// its pixels, far cheaper than a GDI+ image draw.
class BlendPicture {
public:
    // Transparent, width x height; false when no surface could be made.
    bool Create(int width, int height);
    // A GDI+ bitmap over the pixels, for drawing into the picture once.
    std::unique_ptr<Gdiplus::Bitmap> Canvas();
    void Blend(HDC dc, int x, int y) const;
    int Width() const { return m_surface.Width(); }
    int Height() const { return m_surface.Height(); }

private:
    mutable __ostrel_memory_dc m_surface;
};

// Thumbnails decoded once and kept scaled to the size they are drawn at, by
// path; a file that appears or is replaced later is decoded again on the next
// look. Only the hovered thumbnail keeps its decoded original (for the zoom).
// Bounded: the least recently drawn go first. UI thread only.
class ThumbnailCache {
public:
    // The picture at `path` scaled into a `width` x `height` slot by the
    // aspect rule (tall pictures fill the height, wide ones the width), or
    // null while no readable picture is there. Valid until the next Find.
    const BlendPicture* Find(const std::wstring& path, int width, int height);
    // The decoded picture at its own size, for the hover zoom; valid until
    // Original is asked for another path.
    Gdiplus::Bitmap* Original(const std::wstring& path);
    std::size_t Size() const { return m_entries.size(); }
    unsigned DecodeCount() const { return m_decodes; }

private:
    struct Entry {
        std::wstring path;
        ULONGLONG size = 0;
        FILETIME written{};
        bool readable = false;
        std::unique_ptr<BlendPicture> scaled;
        int width = 0;
        int height = 0;
    };
    Entry* Lookup(const std::wstring& path);

    std::unique_ptr<Gdiplus::Bitmap> Decode(const std::wstring& path);

    std::list<Entry> m_entries;  // most recently used first
    std::wstring m_originalPath;
    std::unique_ptr<Gdiplus::Bitmap> m_original;
    unsigned m_decodes = 0;
};

// The drop-down column of thumbnails under a category button, a user cell or
// a hot tag. A plain object of the main window: it paints into the window's
// device context and takes the window's mouse messages. Its animations run
// on the window's timers, so every field is touched on the UI thread only.
class PictureStrip {
public:
    enum SourceMode : int { kFeedSource = 0, kTagSource = 1, kPersonSource = 2 };

    PictureStrip();
    ~PictureStrip();
    PictureStrip(const PictureStrip&) = delete;
    PictureStrip& operator=(const PictureStrip&) = delete;

    // False when `window` is not a window. Creates the arrow buttons (2031,
    // 2033) on it, hidden until the strip is anchored.
    bool Create(HWND window, bool visible, std::shared_ptr<FeedStore> store, std::shared_ptr<Downloader> downloads);
    // Loads the arrows for dpi and lays the column out for it; the window
    // anchors it again.
    void SetDpi(int dpi);
    int Dpi() const { return m_dpi; }
    // Thumbnail width and height, top of the first slot, visible count.
    void SetGeometry(int w, int h, int t, int n);
    // Moves the column under an item whose left edge is x.
    void Anchor(int x);
    // Mode 0: feed number = a feed kind, key empty; mode 1: 20 and the tag;
    // mode 2: 8 and the person's id.
    void SetSource(int mode, int feedNumber, const std::string& key, int first);
    // A scroll under way stops and the slots stand in their column again.
    void ResetScroll();
    // The home feed's pictures, shown large from elsewhere, are what the
    // strip preloads from now on.
    void FollowFeed(int feedNumber);
    void SetVisible(bool visible);
    bool IsVisible() const { return m_visible; }

    void Paint(HDC dc);
    void WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // True when the timer was one of the strip's.
    bool OnTimer(UINT_PTR id);
    // The arrow buttons' WM_COMMAND (2031 next, 2033 before).
    void OnCommand(WORD id);
    // A download put the file of `key` (its LandedPictureKey) in place: the
    // strip repaints when that thumbnail was drawn as 加载中.
    void OnPictureArrived(std::uint32_t key);

    // Fetches the thumbnails of first to first + 5 (within the list, the
    // last item excepted) when they are missing or not valid pictures.
    void Preload(int first);
    int Count() const;
    // Whether the service has answered for the list (it may have been empty).
    bool Answered() const;
    // False once an answered list fits the column: its arrows would do nothing.
    bool Scrolls() const;
    // UTF-8 cache paths; empty when the list has no picture at `index`.
    std::string ThumbnailPath(int index) const;
    // Also starts the large picture's download.
    std::string LargePath(int index) const;

    int Mode() const { return m_mode; }
    int FeedNumber() const { return m_feedNumber; }
    const std::string& Key() const { return m_key; }
    int FirstIndex() const { return m_first; }
    int HoveredSlot() const { return m_hovered; }
    RECT Area() const { return m_area; }
    // What the strip draws into, its pop-outs and arrows included.
    RECT PaintArea() const;
    // True when the strip is shown and `point` lies in its column or on an
    // arrow: a click there is the strip's alone.
    bool Covers(POINT point) const;
    // True while the strip's click is being told to the window: the path of
    // that UM_SHOW_LARGE_PICTURE comes from this thread, not from a worker.
    bool Sending() const { return m_sending; }
    const ThumbnailCache& Thumbnails() const { return m_thumbnails; }
    // The column and the thumbnails in it to a screen reader, each by its
    // picture's title; the one under the pointer is the selected one.
    AccessibleFacts Describe() const;

private:
    PictureListId List() const;
    FeedStore::PicturePtr Picture(int index) const;
    void FetchThumbnail(int index) const;
    void OnMouseMove(POINT point);
    void OnClick(POINT point);
    void OnWheel(POINT screenPoint, int delta);
    int SlotAt(POINT point, int slots) const;
    bool OverArrow(POINT point) const;
    void StartZoom();
    void TrackStep();
    void ZoomStep();
    void ScrollStep();
    void EndTracking();
    void Restack(int pitch);
    void Repaint() const;
    void PaintSlot(HDC dc, int k);
    void PaintHovered(HDC dc);
    // The grey box of a slot still waiting, or with `none` the one that says
    // the answered list has no pictures.
    const BlendPicture* Placeholder(bool none = false);
    const BlendPicture* Dim(int width, int height);

    int Px(int value) const { return MulDiv(value, m_dpi, 96); }

    HWND m_window = nullptr;
    int m_dpi = 96;
    std::shared_ptr<FeedStore> m_store;
    std::shared_ptr<Downloader> m_downloads;
    bool m_visible = false;
    RECT m_slots[8]{};
    int m_w = 128;
    int m_h = 128;
    int m_t = 149;
    int m_n = 4;
    int m_b = 661;
    RECT m_area{};
    int m_mode = kFeedSource;
    int m_feedNumber = 0;
    std::string m_key;
    int m_first = 0;
    int m_hovered = -1;
    int m_oldHovered = -2;
    bool m_zooming = false;
    int m_zoomStep = 0;
    bool m_tracking = false;
    int m_dx = 0;
    int m_dy = 0;
    POINT m_origin{};
    int m_trackedFeed = 0;
    bool m_scrollBusy = false;
    int m_scrollDirection = 0;  // +1 forward, -1 backward
    int m_scrollSteps = 0;
    bool m_sending = false;
    // The keys of the thumbnails drawn as 加载中 in the last paint.
    std::vector<std::uint32_t> m_waiting;
    CButtonUI m_next;
    CButtonUI m_before;
    std::unique_ptr<Gdiplus::Bitmap> m_nextImage;
    std::unique_ptr<Gdiplus::Bitmap> m_beforeImage;
    std::unique_ptr<Gdiplus::Bitmap> m_spinner;
    std::unique_ptr<Gdiplus::Bitmap> m_loading;
    // The grey "加载中" box, drawn once per slot size and mode, and the
    // black veil over the thumbnails not under the pointer.
    BlendPicture m_placeholder;
    std::string m_placeholderKey;  // what m_placeholder shows (a CPaintKey)
    BlendPicture m_dim;
    ThumbnailCache m_thumbnails;
};
