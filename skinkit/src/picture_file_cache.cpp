#include "picture_file_cache.h"

#include "picture_codec.h"

#include "skinkit/file_stamp.h"
#include "skinkit/picture.h"
#include "skinkit/picture_scaling.h"
#include "skinkit/pixel_blend.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include <objbase.h>

#include "win32kit/scoped_win.h"

namespace skinkit {

namespace {

// Larger pictures are refused rather than allocated: no screen shows them and
// a 32-bit process cannot spare the memory.
constexpr UINT kMaxSide = 16384;
constexpr ULONGLONG kMaxPixels = 24ull * 1024 * 1024;

std::unique_ptr<Gdiplus::Bitmap> CopyPremultiplied(Gdiplus::Bitmap& source)
{
    if (source.GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    const UINT width = source.GetWidth();
    const UINT height = source.GetHeight();
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide)
        return nullptr;
    if (static_cast<ULONGLONG>(width) * height > kMaxPixels)
        return nullptr;
    return PremultipliedCopy(source);
}

// Whether no pixel of picture lets anything through.
bool IsOpaque(Gdiplus::Bitmap* picture)
{
    if (!picture)
        return false;
    const int w = static_cast<int>(picture->GetWidth());
    const int h = static_cast<int>(picture->GetHeight());
    Gdiplus::Rect all(0, 0, w, h);
    Gdiplus::BitmapData data{};
    if (picture->LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &data) != Gdiplus::Ok)
        return false;
    PixelRows rows;
    rows.top = static_cast<const UINT32*>(data.Scan0);
    rows.stride = data.Stride / 4;
    rows.width = w;
    rows.height = h;
    const bool opaque = data.Stride > 0 && AllOpaque(rows);
    picture->UnlockBits(&data);
    return opaque;
}

bool SameTime(const FILETIME& a, const FILETIME& b)
{
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

}  // namespace

namespace {

// No picture file a screen needs comes near this; a larger one is refused
// before its bytes are read.
constexpr LONGLONG kMaxFileBytes = 64ll * 1024 * 1024;

// Decodes the bytes in `global` (moveable memory) and frees it.
std::unique_ptr<Gdiplus::Bitmap> DecodeGlobal(HGLOBAL global)
{
    // The stream frees the memory when it is released.
    win32kit::ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(global, TRUE, stream.Out()))) {
        GlobalFree(global);
        return nullptr;
    }
    BYTE head[8] = {};
    size_t headSize = 0;
    if (const void* bytes = GlobalLock(global)) {
        headSize = std::min<size_t>(sizeof(head), GlobalSize(global));
        std::memcpy(head, bytes, headSize);
        GlobalUnlock(global);
    }
    if (auto picture = DecodeWithCodec(stream.Get(), head, headSize, kMaxSide, kMaxPixels))
        return picture;
    // Another format, or one the codec refused: GDI+ has its own go, from the start.
    const LARGE_INTEGER start{};
    if (FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr)))
        return nullptr;
    Gdiplus::Bitmap source(stream.Get());
    return CopyPremultiplied(source);
}

bool ReadWhole(HANDLE file, void* target, DWORD size)
{
    auto* bytes = static_cast<BYTE*>(target);
    while (size > 0) {
        DWORD read = 0;
        if (!ReadFile(file, bytes, size, &read, nullptr) || read == 0)
            return false;
        bytes += read;
        size -= read;
    }
    return true;
}

}  // namespace

// Read through a handle that shares everything: decoding from the path
// opens the file denying writers, so a cache touching the file's time or a
// scanner holding it made a good picture read as no picture, and the reader
// in turn kept a download from replacing the file.
std::unique_ptr<Gdiplus::Bitmap> DecodePictureFile(const std::wstring& path)
{
    if (path.empty())
        return nullptr;
    win32kit::ScopedHandle file(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.IsValid())
        return nullptr;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 || size.QuadPart > kMaxFileBytes)
        return nullptr;
    const DWORD bytes = static_cast<DWORD>(size.QuadPart);
    HGLOBAL global = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!global)
        return nullptr;
    void* target = GlobalLock(global);
    const bool read = target && ReadWhole(file.Get(), target, bytes);
    GlobalUnlock(global);
    if (!read) {
        GlobalFree(global);
        return nullptr;
    }
    return DecodeGlobal(global);
}

std::unique_ptr<Gdiplus::Bitmap> DecodePictureBytes(const void* bytes, size_t size)
{
    if (!bytes || size == 0)
        return nullptr;
    HGLOBAL global = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!global)
        return nullptr;
    void* target = GlobalLock(global);
    if (!target) {
        GlobalFree(global);
        return nullptr;
    }
    std::memcpy(target, bytes, size);
    GlobalUnlock(global);
    return DecodeGlobal(global);
}

CPictureFileCache::Entry* CPictureFileCache::Lookup(const std::wstring& path)
{
    for (Entry& entry : m_entries) {
        if (entry.serial && entry.path == path)
            return &entry;
    }
    return nullptr;
}

namespace {

// Which file the path names now: a file moved into place over it is
// another one, a file whose time was only touched the same. 0 when unknown.
ULONGLONG FileIdentity(const std::wstring& path)
{
    win32kit::ScopedHandle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file.IsValid() || !GetFileInformationByHandle(file.Get(), &info))
        return 0;
    const ULONGLONG index = (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return index ^ (static_cast<ULONGLONG>(info.dwVolumeSerialNumber) << 40);
}

}  // namespace

// Moves entry to the front, the others keeping their order behind it.
CPictureFileCache::Entry& CPictureFileCache::ToFront(Entry& entry)
{
    for (Entry* at = &entry; at != &m_entries[0]; --at)
        std::swap(*at, *(at - 1));
    return m_entries[0];
}

CPictureFileCache::Entry* CPictureFileCache::FreeEntry()
{
    for (Entry& entry : m_entries) {
        if (!entry.serial)
            return &entry;
    }
    return nullptr;
}

// The entry for path, decoded first when the file is new or has changed.
CPictureFileCache::Entry* CPictureFileCache::Fresh(const std::wstring& path)
{
    FileStamp stamp;
    if (!ReadFileStamp(path, stamp))
        return nullptr;
    const ULONGLONG size = stamp.size;
    const FILETIME written = stamp.written;
    Entry* entry = Lookup(path);
    const bool retry = entry && RetryDue(*entry);
    // Most recent first, so the oldest picture is the one replaced.
    if (entry && !retry && entry->size == size && SameTime(entry->written, written))
        return &ToFront(*entry);
    // The cache notes each use of a file in its time: the same file, touched.
    if (entry && !retry && entry->size == size && entry->identity && FileIdentity(path) == entry->identity) {
        entry->written = written;
        return &ToFront(*entry);
    }
    if (!entry)
        entry = FreeEntry() ? FreeEntry() : &m_entries[kEntries - 1];
    entry->path = path;
    entry->size = size;
    entry->written = written;
    entry->serial = m_nextSerial++;
    // An unreadable file is remembered as such too: it is decoded again once
    // it changes, or after a pause (RetryDue).
    Decode(*entry);
    return &ToFront(*entry);
}

bool CPictureFileCache::Adopt(const std::wstring& path, std::unique_ptr<Gdiplus::Bitmap> picture, SIZE natural,
    ULONGLONG size, const FILETIME& written)
{
    FileStamp now;
    if (!picture || natural.cx <= 0 || natural.cy <= 0 || !ReadFileStamp(path, now) || now != FileStamp{size, written})
        return false;
    Entry* entry = Lookup(path);
    if (entry && entry->picture)
        return false;
    // The same file whose pixels were let go keeps its serial: its ready copy still holds.
    const bool same = entry && entry->size == size && SameTime(entry->written, written);
    if (!entry)
        entry = FreeEntry();
    if (!entry)
        return false;
    entry->path = path;
    entry->size = size;
    entry->written = written;
    if (!same)
        entry->serial = m_nextSerial++;
    entry->identity = FileIdentity(path);
    entry->pictureSize = natural;
    entry->picture = std::move(picture);
    entry->unloaded = false;
    entry->opaque = IsOpaque(entry->picture.get());
    return true;
}

bool CPictureFileCache::Holds(const std::wstring& path) const
{
    for (const Entry& entry : m_entries) {
        if (entry.serial && entry.path == path && entry.picture)
            return true;
    }
    return false;
}

bool CPictureFileCache::Opaque(const std::wstring& path) const
{
    for (const Entry& entry : m_entries) {
        if (entry.serial && entry.path == path && entry.picture)
            return entry.opaque;
    }
    return false;
}

int CPictureFileCache::HeldCount() const
{
    int held = 0;
    for (const Entry& entry : m_entries)
        held += entry.picture ? 1 : 0;
    return held;
}

// A whole file that once gave no picture is tried again after a pause: a
// decode can fail for a moment (the decoder busy on another thread, the file
// opened while a scanner held it), and remembering that failure for as long as
// the file stays the same left the viewer's spinner turning at 100% for good.
bool CPictureFileCache::RetryDue(const Entry& entry)
{
    constexpr ULONGLONG kRetryFailedDecodeMs = 500;
    return entry.failedAt && !entry.picture && !entry.unloaded
        && GetTickCount64() - entry.failedAt >= kRetryFailedDecodeMs;
}

void CPictureFileCache::Decode(Entry& entry)
{
    entry.identity = FileIdentity(entry.path);
    entry.picture = DecodePictureFile(entry.path);
    entry.failedAt = entry.picture ? 0 : std::max<ULONGLONG>(GetTickCount64(), 1);
    entry.unloaded = false;
    entry.opaque = IsOpaque(entry.picture.get());
    entry.pictureSize = entry.picture
        ? SIZE{static_cast<LONG>(entry.picture->GetWidth()), static_cast<LONG>(entry.picture->GetHeight())}
        : SIZE{};
    ++m_decodes;
}

Gdiplus::Bitmap* CPictureFileCache::Find(const std::wstring& path)
{
    Entry* entry = Fresh(path);
    if (!entry)
        return nullptr;
    if (entry->unloaded)
        Decode(*entry);
    return entry->picture.get();
}

SIZE CPictureFileCache::PictureSize(const std::wstring& path)
{
    const Entry* entry = Fresh(path);
    return entry ? entry->pictureSize : SIZE{};
}

void CPictureFileCache::Unload(const std::wstring& path)
{
    Entry* entry = Lookup(path);
    if (!entry || !entry->picture)
        return;
    entry->picture.reset();
    entry->unloaded = true;
}

unsigned CPictureFileCache::Serial(const std::wstring& path) const
{
    for (const Entry& entry : m_entries) {
        if (entry.serial && entry.path == path)
            return entry.serial;
    }
    return 0;
}

void CPictureFileCache::KeepOnly(std::initializer_list<const std::wstring*> paths)
{
    for (Entry& entry : m_entries) {
        if (!entry.serial)
            continue;
        bool kept = false;
        for (const std::wstring* path : paths)
            kept = kept || (path && !path->empty() && *path == entry.path);
        if (!kept)
            entry = Entry{};
    }
}

void CPictureFileCache::Clear()
{
    for (Entry& entry : m_entries)
        entry = Entry{};
}

}  // namespace skinkit

std::unique_ptr<Gdiplus::Bitmap> LoadPictureFile(const std::wstring& path) { return skinkit::DecodePictureFile(path); }

std::unique_ptr<Gdiplus::Bitmap> LoadPictureBytes(const void* bytes, size_t size)
{
    return skinkit::DecodePictureBytes(bytes, size);
}
