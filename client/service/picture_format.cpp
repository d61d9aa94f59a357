#include "picture_format.h"

#include "platform.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// Reads a file forward through one buffer, or bytes already in memory.
class Reader {
public:
    explicit Reader(std::FILE* file)
        : file_(file)
        , buffer_(64 * 1024)
    {
    }
    explicit Reader(const std::string& bytes)
        : view_(reinterpret_cast<const unsigned char*>(bytes.data()))
        , size_(bytes.size())
    {
    }

    bool Byte(unsigned char& c)
    {
        if (at_ == size_ && !Fill())
            return false;
        c = view_[at_++];
        return true;
    }
    bool Bytes(unsigned char* out, std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i) {
            if (!Byte(out[i]))
                return false;
        }
        return true;
    }
    // False when the file ends first.
    bool Skip(std::uint64_t count)
    {
        while (count > 0) {
            if (at_ == size_ && !Fill())
                return false;
            std::size_t step = static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ - at_));
            at_ += step;
            count -= step;
        }
        return true;
    }
    // Reads up to and including the next `value`.
    bool SkipPast(unsigned char value)
    {
        for (;;) {
            if (at_ == size_ && !Fill())
                return false;
            const void* found = std::memchr(view_ + at_, value, size_ - at_);
            if (found) {
                at_ = static_cast<std::size_t>(static_cast<const unsigned char*>(found) - view_) + 1;
                return true;
            }
            at_ = size_;
        }
    }

private:
    bool Fill()
    {
        if (!file_)
            return false;  // bytes in memory end where they end
        size_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
        view_ = buffer_.data();
        at_ = 0;
        return size_ > 0;
    }

    std::FILE* file_ = nullptr;
    std::vector<unsigned char> buffer_;
    const unsigned char* view_ = nullptr;
    std::size_t at_ = 0;
    std::size_t size_ = 0;
};

bool IsRestart(unsigned char marker) { return marker >= 0xD0 && marker <= 0xD7; }

bool Fits(std::uint64_t width, std::uint64_t height)
{
    return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide
        && width * height <= kMaxPicturePixels;
}

// Start-of-frame markers: C0-CF but for the tables (C4, C8, CC).
bool IsFrame(unsigned char marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// The marker after fill bytes; `reader` stands on its 0xFF.
bool MarkerAt(Reader& reader, unsigned char& marker)
{
    unsigned char c;
    if (!reader.Byte(c) || c != 0xFF)
        return false;
    do {
        if (!reader.Byte(marker))
            return false;
    } while (marker == 0xFF);
    return true;
}

// Entropy-coded data ends at the first marker that is neither a stuffed
// 0xFF (0xFF 0x00) nor a restart marker.
bool MarkerAfterScan(Reader& reader, unsigned char& marker)
{
    for (;;) {
        if (!reader.SkipPast(0xFF))
            return false;
        do {
            if (!reader.Byte(marker))
                return false;
        } while (marker == 0xFF);
        if (marker != 0x00 && !IsRestart(marker))
            return true;
    }
}

// After the start-of-image marker: segments, each scan's data, up to the
// end-of-image marker.
bool WholeJpeg(Reader& reader)
{
    unsigned char marker;
    if (!MarkerAt(reader, marker))
        return false;
    for (;;) {
        if (marker == 0xD9)
            return true;
        if (marker == 0x01 || IsRestart(marker)) {
            if (!MarkerAt(reader, marker))
                return false;
            continue;
        }
        unsigned char length[2];
        if (!reader.Bytes(length, 2))
            return false;
        unsigned size = unsigned(length[0]) << 8 | length[1];
        if (size < 2)
            return false;
        if (IsFrame(marker)) {
            // Precision, height, width: a frame no decoder can hold is no picture.
            unsigned char frame[5];
            if (size < 2 + sizeof frame || !reader.Bytes(frame, sizeof frame))
                return false;
            if (!Fits(unsigned(frame[3]) << 8 | frame[4], unsigned(frame[1]) << 8 | frame[2]))
                return false;
            size -= sizeof frame;
        }
        if (!reader.Skip(size - 2))
            return false;
        bool next = marker == 0xDA ? MarkerAfterScan(reader, marker) : MarkerAt(reader, marker);
        if (!next)
            return false;
    }
}

std::uint32_t BigEndian32(const unsigned char* bytes)
{
    return std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 | std::uint32_t(bytes[2]) << 8 | bytes[3];
}

// After the signature: chunks (length, type, data, checksum) up to IEND.
bool WholePng(Reader& reader)
{
    for (;;) {
        unsigned char head[8];
        if (!reader.Bytes(head, sizeof head))
            return false;
        std::uint32_t length = BigEndian32(head);
        if (length > 0x7FFFFFFFu)
            return false;
        if (std::memcmp(head + 4, "IHDR", 4) == 0 && length >= 8) {
            unsigned char size[8];
            if (length < sizeof size || !reader.Bytes(size, sizeof size)
                || !Fits(BigEndian32(size), BigEndian32(size + 4)))
                return false;
            length -= sizeof size;
        }
        if (!reader.Skip(std::uint64_t(length) + 4))
            return false;
        if (std::memcmp(head + 4, "IEND", 4) == 0)
            return true;
    }
}

bool SkipSubBlocks(Reader& reader)
{
    for (;;) {
        unsigned char size;
        if (!reader.Byte(size))
            return false;
        if (size == 0)
            return true;
        if (!reader.Skip(size))
            return false;
    }
}

bool SkipColourTable(Reader& reader, unsigned char flags)
{
    return !(flags & 0x80) || reader.Skip(3u << ((flags & 7) + 1));
}

// After the signature: the screen descriptor, then images and extensions up
// to the trailer.
bool WholeGif(Reader& reader)
{
    unsigned char screen[7];
    if (!reader.Bytes(screen, sizeof screen) || !SkipColourTable(reader, screen[4]))
        return false;
    if (!Fits(unsigned(screen[1]) << 8 | screen[0], unsigned(screen[3]) << 8 | screen[2]))
        return false;
    for (;;) {
        unsigned char block;
        if (!reader.Byte(block))
            return false;
        if (block == 0x3B)
            return true;
        if (block == 0x21) {
            if (!reader.Skip(1) || !SkipSubBlocks(reader))
                return false;
            continue;
        }
        unsigned char image[9];
        if (block != 0x2C || !reader.Bytes(image, sizeof image) || !SkipColourTable(reader, image[8]))
            return false;
        if (!reader.Skip(1) || !SkipSubBlocks(reader))  // the LZW code size, then the data
            return false;
    }
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

namespace {

bool IsWhole(Reader& reader)
{
    unsigned char start[2];
    if (!reader.Bytes(start, 2))
        return false;
    if (start[0] == 0xFF && start[1] == 0xD8)
        return WholeJpeg(reader);
    unsigned char rest[4];
    if (!reader.Bytes(rest, 4))
        return false;
    std::string signature(reinterpret_cast<const char*>(start), 2);
    signature.append(reinterpret_cast<const char*>(rest), 4);
    if (signature == "GIF87a" || signature == "GIF89a")
        return WholeGif(reader);
    unsigned char tail[2];
    if (signature == std::string("\x89PNG\r\n", 6) && reader.Bytes(tail, 2) && tail[0] == 0x1A && tail[1] == 0x0A)
        return WholePng(reader);
    return false;
}

}  // namespace

bool IsWholePicture(const std::string& path)
{
    std::unique_ptr<std::FILE, FileCloser> file(platform::OpenFile(path, "rb"));
    if (!file)
        return false;
    Reader reader(file.get());
    return IsWhole(reader);
}

bool IsWholePictureData(const std::string& bytes)
{
    Reader reader(bytes);
    return IsWhole(reader);
}
