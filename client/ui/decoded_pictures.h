#pragma once
#include <windows.h>
// GDI+ needs the Windows types first.
#include <gdiplus.h>

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <string>

// Thumbnails and avatars decoded once and kept by path, so painting a panel
// costs a file-attribute read per picture instead of a decode. A file that
// appears, or is replaced, after a first look is decoded on the next one.
// Keeps the most recently used `capacity` pictures: more than a row, a
// user list and a person bar show at once. UI thread only. Used by the
// panels and the comment list. A file written again with the same bytes (an
// avatar fetched afresh each time it shows) is not decoded again.
class DecodedPictures {
public:
    // keepOriginals false: a picture asked for only fitted keeps only its
    // fitted copy (a huge avatar costs a few KB, not its full size).
    explicit DecodedPictures(std::size_t capacity = 64, bool keepOriginals = true)
        : m_capacity(capacity)
        , m_keepOriginals(keepOriginals)
    {
    }
    DecodedPictures(const DecodedPictures&) = delete;
    DecodedPictures& operator=(const DecodedPictures&) = delete;

    // The picture at path; null while no readable picture is there.
    Gdiplus::Bitmap* Find(const std::wstring& path);
    // The same, scaled down once to fit a width x height box (a smaller
    // picture keeps its size): painting then draws it unscaled. `serial`,
    // when given, gets a number that changes whenever the returned picture
    // does (0 for none), for drawings kept of it.
    Gdiplus::Bitmap* Fitted(const std::wstring& path, int width, int height, std::size_t* serial = nullptr);
    std::size_t Decodes() const { return m_decodes; }
    std::size_t Size() const { return m_entries.size(); }

private:
    struct Entry {
        std::wstring path;
        ULONGLONG size = 0;
        FILETIME written{};
        std::uint64_t content = 0;  // a hash of the bytes decoded; 0 for none
        std::unique_ptr<Gdiplus::Bitmap> picture;
        std::unique_ptr<Gdiplus::Bitmap> fitted;
        int boxWidth = 0;
        int boxHeight = 0;
        std::size_t fittedSerial = 0;
        bool originalLetGo = false;
    };
    // The entry of a readable file at path, first in the list; decoded when
    // it is new or changed. Null when no file is there.
    Entry* Stamped(const std::wstring& path);
    Gdiplus::Bitmap* Original(Entry& entry);

    std::size_t m_capacity;
    bool m_keepOriginals;
    std::size_t m_decodes = 0;
    std::size_t m_fittedCount = 0;
    std::list<Entry> m_entries;  // most recently used first
};

// Draws `picture` centred in `box`, scaled down to fit it when larger.
void DrawFitted(Gdiplus::Graphics& graphics, Gdiplus::Bitmap* picture, const RECT& box);

// Draws `picture` over the width x height box at (x, y) on hdc, whose GDI+
// `graphics` it shares. A picture already at the box's size has its
// premultiplied rows blended straight into a 32-bit target, several times
// cheaper than GDI+ under Wine (a comment view's avatars, drawn anew for
// every picture stepped to); anything else goes through GDI+.
void DrawPictureBox(
    HDC hdc, Gdiplus::Graphics& graphics, Gdiplus::Bitmap* picture, int x, int y, int width, int height);
