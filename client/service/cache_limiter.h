#pragma once
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

// Keeps the picture cache under a size bound by removing the least recently
// used files first. A file's modification time is its last use: downloads
// set it, NoteUse renews it. Files pinned (being written or on show) and
// temporary files of downloads still running are never removed.
class CacheLimiter {
public:
    static constexpr std::uint64_t kDefaultBound = 1024ull * 1024 * 1024;

    explicit CacheLimiter(std::string root, std::uint64_t boundBytes = kDefaultBound);

    // Holds a file in the cache while it exists.
    class Pin {
    public:
        Pin() = default;
        Pin(CacheLimiter* limiter, std::string path);
        Pin(Pin&& other) noexcept;
        Pin& operator=(Pin&& other) noexcept;
        Pin(const Pin&) = delete;
        Pin& operator=(const Pin&) = delete;
        ~Pin();

    private:
        void Release();
        CacheLimiter* limiter_ = nullptr;
        std::string path_;
    };
    // The limiter must outlive the pin.
    Pin PinFile(const std::string& path);

    // Renews the file's time unless it was used within the last minute.
    void NoteUse(const std::string& path);
    // Counts bytes added since the last scan and trims once the bound may be passed.
    void NoteWritten(std::uint64_t bytes);
    // Counts a file a download has just put in place. `bytesBefore` is what
    // the file held before (-1 when it was not there): a replaced file counts
    // only what it grew by.
    void NoteReplaced(const std::string& path, std::int64_t bytesBefore);
    // What the cache is counted at: the last scan plus what was noted since.
    std::uint64_t Estimate() const;

    struct TrimReport {
        std::uint64_t before = 0;
        std::uint64_t after = 0;
        int removed = 0;
        bool ran = false;  // false when another trim was running (it runs once more)
    };
    // Scans the cache; when it holds more than the bound, removes the oldest
    // files until it holds at most nine tenths of it.
    TrimReport Trim();

    const std::string& Root() const { return root_; }
    std::uint64_t Bound() const { return bound_; }

private:
    struct Entry;
    void AddPin(const std::string& path);
    void RemovePin(const std::string& path);
    bool RemoveUnlessPinned(const std::string& path);
    TrimReport ScanAndTrim();

    std::string root_;
    std::uint64_t bound_;
    mutable std::mutex lock_;
    std::map<std::string, int> pinned_;  // normalised path -> count
    std::uint64_t estimate_ = 0;  // bytes at the last scan plus those written since
    std::uint64_t writtenSinceScan_ = 0;  // noted while a scan ran, added to its result
    bool scanned_ = false;
    bool trimming_ = false;
    bool again_ = false;  // a trim was asked for while one ran
};
