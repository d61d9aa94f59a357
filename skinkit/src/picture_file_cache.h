#pragma once

#include <initializer_list>
#include <memory>
#include <string>

#include <windows.h>

#include <gdiplus.h>

namespace skinkit {

// Decoded picture files by path, so a paint or a mouse move costs one
// file-attribute read instead of a decode. An entry remembers the file's size
// and write time as well: a file that appears, grows or is replaced later is
// decoded again on the next look. Holds the three most recent pictures: the
// viewer's current one and its neighbours, decoded ahead elsewhere and handed
// in. UI thread only.
class CPictureFileCache {
public:
    static constexpr int kEntries = 3;

    // The decoded picture at path, or null while no readable picture is there.
    // The pointer stays valid while path is one of the most recently found
    // and its file is unchanged.
    Gdiplus::Bitmap* Find(const std::wstring& path);
    // The picture's size, known without decoding it again once it has been.
    SIZE PictureSize(const std::wstring& path);
    // Frees path's decoded pixels while its ready copy is drawn instead; the
    // next Find decodes the unchanged file again under the same serial.
    void Unload(const std::wstring& path);
    // A number that changes whenever Find would return a different picture
    // for the same path (for paint-cache keys).
    unsigned Serial(const std::wstring& path) const;
    unsigned DecodeCount() const { return m_decodes; }
    // Lets every picture go but those of `paths` (empty ones ignored).
    void KeepOnly(std::initializer_list<const std::wstring*> paths);
    void KeepOnly(const std::wstring& path) { KeepOnly({&path}); }
    void Clear();
    // Takes a picture decoded elsewhere from path's file as it was (`size`
    // bytes, written at `written`) into a free entry; `natural` is the file's
    // picture size, which the one handed in may have been scaled from. False,
    // and the picture dropped, when no entry is free, path's pixels are held
    // already or the file is no longer that one.
    bool Adopt(const std::wstring& path, std::unique_ptr<Gdiplus::Bitmap> picture, SIZE natural, ULONGLONG size,
        const FILETIME& written);
    // Whether path's decoded pixels are held (not only its size).
    bool Holds(const std::wstring& path) const;
    // Whether path's held picture has no transparent pixel, looked at once
    // when it came in: such a picture is copied, not blended.
    bool Opaque(const std::wstring& path) const;
    int HeldCount() const;

private:
    struct Entry {
        std::wstring path;
        ULONGLONG size = 0;
        FILETIME written{};
        ULONGLONG identity = 0;
        unsigned serial = 0;
        std::unique_ptr<Gdiplus::Bitmap> picture;
        SIZE pictureSize{};
        bool unloaded = false;
        bool opaque = false;
        ULONGLONG failedAt = 0;  // tick of a decode that gave nothing
    };
    Entry* Lookup(const std::wstring& path);
    Entry* Fresh(const std::wstring& path);
    static bool RetryDue(const Entry& entry);
    Entry& ToFront(Entry& entry);
    Entry* FreeEntry();
    void Decode(Entry& entry);

    Entry m_entries[kEntries];  // most recently used first
    unsigned m_nextSerial = 1;
    unsigned m_decodes = 0;
};

// Decodes a picture file into a premultiplied 32-bit bitmap of its own, so
// the file is not held open afterwards. Null for a file that is missing, not
// a picture, or larger than any screen needs.
std::unique_ptr<Gdiplus::Bitmap> DecodePictureFile(const std::wstring& path);

// A picture held in memory (a PNG resource, say) decoded the same way.
std::unique_ptr<Gdiplus::Bitmap> DecodePictureBytes(const void* bytes, size_t size);

}  // namespace skinkit
