#pragma once

#include <deque>
#include <string>

#include <windows.h>
#include <gdiplus.h>

#include "skinkit/skinkit_api.h"

// The numbered pictures of one window, read from "image_resource.ini".
// Entry k holds picture number k + 1; a missing file leaves a null entry so
// later numbers keep their place. The list owns its bitmaps: the window that
// loads it frees them, after its controls (which only point into it) are gone.
class SKINKIT_API CImageList {
public:
    CImageList() = default;
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;
    ~CImageList();

    // folder ends with a path separator. Frees the pictures loaded before:
    // controls still pointing at them must be given the new ones first
    // (Swap the old list out, load, rebind, then let the old list go).
    // Pictures are sized for dpi (see skinkit/dpi.h).
    void Load(const std::wstring& folder, int dpi = 96);
    void Clear();
    void Swap(CImageList& other);

    const std::deque<Gdiplus::Bitmap*>& Images() const { return m_images; }
    size_t Size() const { return m_images.size(); }

private:
    std::deque<Gdiplus::Bitmap*> m_images;
};

// Picture number n of a list, or null when n does not name an entry.
SKINKIT_API Gdiplus::Bitmap* ImageByNumber(const std::deque<Gdiplus::Bitmap*>& images, int number);
