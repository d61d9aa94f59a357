#include "cache_limiter.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A temporary file this young may still be written; older ones are leftovers.
const auto kTemporaryGrace = std::chrono::hours(1);

std::string Normalised(const std::string& path) { return fs::u8path(path).lexically_normal().u8string(); }

bool IsTemporary(const fs::path& path)
{
    return path.filename().u8string().find(".part-") != std::string::npos
        || path.parent_path().filename().u8string() == "cache";
}

}  // namespace

struct CacheLimiter::Entry {
    std::string path;
    std::uint64_t size;
    fs::file_time_type used;
};

CacheLimiter::CacheLimiter(std::string root, std::uint64_t boundBytes)
    : root_(std::move(root))
    , bound_(boundBytes)
{
}

CacheLimiter::Pin::Pin(CacheLimiter* limiter, std::string path)
    : limiter_(limiter)
    , path_(std::move(path))
{
    if (limiter_)
        limiter_->AddPin(path_);
}

CacheLimiter::Pin::Pin(Pin&& other) noexcept
    : limiter_(other.limiter_)
    , path_(std::move(other.path_))
{
    other.limiter_ = nullptr;
}

CacheLimiter::Pin& CacheLimiter::Pin::operator=(Pin&& other) noexcept
{
    if (this != &other) {
        Release();
        limiter_ = other.limiter_;
        path_ = std::move(other.path_);
        other.limiter_ = nullptr;
    }
    return *this;
}

CacheLimiter::Pin::~Pin() { Release(); }

void CacheLimiter::Pin::Release()
{
    if (limiter_)
        limiter_->RemovePin(path_);
    limiter_ = nullptr;
}

CacheLimiter::Pin CacheLimiter::PinFile(const std::string& path) { return Pin(this, Normalised(path)); }

void CacheLimiter::AddPin(const std::string& path)
{
    std::lock_guard<std::mutex> guard(lock_);
    ++pinned_[path];
}

void CacheLimiter::RemovePin(const std::string& path)
{
    std::lock_guard<std::mutex> guard(lock_);
    auto found = pinned_.find(path);
    if (found != pinned_.end() && --found->second == 0)
        pinned_.erase(found);
}

// A use within the last minute is counted already. Touching the file again
// would only change it under a worker decoding it ahead, which then sees a
// file replaced while it read and throws its picture away.
void CacheLimiter::NoteUse(const std::string& path)
{
    constexpr auto kUseGranularity = std::chrono::minutes(1);
    const fs::path file = fs::u8path(path);
    const auto now = fs::file_time_type::clock::now();
    std::error_code error;
    const fs::file_time_type used = fs::last_write_time(file, error);
    if (!error && used <= now && now - used < kUseGranularity)
        return;
    fs::last_write_time(file, now, error);
}

void CacheLimiter::NoteWritten(std::uint64_t bytes)
{
    bool due;
    {
        std::lock_guard<std::mutex> guard(lock_);
        estimate_ += bytes;
        writtenSinceScan_ += bytes;
        due = !scanned_ || estimate_ > bound_;
    }
    if (due)
        Trim();
}

void CacheLimiter::NoteReplaced(const std::string& path, std::int64_t bytesBefore)
{
    std::error_code error;
    std::uintmax_t size = fs::file_size(fs::u8path(path), error);
    if (error)
        return;
    std::uint64_t before = bytesBefore > 0 ? static_cast<std::uint64_t>(bytesBefore) : 0;
    NoteWritten(size > before ? size - before : 0);
}

std::uint64_t CacheLimiter::Estimate() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return estimate_;
}

bool CacheLimiter::RemoveUnlessPinned(const std::string& path)
{
    // Checked and removed under the lock, so a pin taken now waits for us.
    std::lock_guard<std::mutex> guard(lock_);
    if (pinned_.count(path))
        return false;
    std::error_code error;
    return fs::remove(fs::u8path(path), error);
}

CacheLimiter::TrimReport CacheLimiter::Trim()
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (trimming_) {
            again_ = true;
            return {};
        }
        trimming_ = true;
    }
    for (;;) {
        TrimReport report = ScanAndTrim();
        std::lock_guard<std::mutex> guard(lock_);
        // Files written during the scan may not have been seen: count them on.
        estimate_ = report.after + writtenSinceScan_;
        scanned_ = true;
        // Again only for what arrived meanwhile: pinned files alone can keep
        // the cache over its bound, and scanning would not change that.
        bool grewMeanwhile = writtenSinceScan_ > 0 && estimate_ > bound_;
        if (!again_ && !grewMeanwhile) {
            trimming_ = false;
            return report;
        }
        again_ = false;
    }
}

CacheLimiter::TrimReport CacheLimiter::ScanAndTrim()
{
    TrimReport report;
    report.ran = true;
    {
        std::lock_guard<std::mutex> guard(lock_);
        writtenSinceScan_ = 0;
    }

    std::vector<Entry> entries;
    std::error_code error;
    const auto now = fs::file_time_type::clock::now();
    fs::recursive_directory_iterator it(fs::u8path(root_), fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        std::error_code entryError;
        if (!it->is_regular_file(entryError))
            continue;
        std::uint64_t size = it->file_size(entryError);
        fs::file_time_type used = it->last_write_time(entryError);
        if (entryError)
            continue;
        report.before += size;
        if (IsTemporary(it->path()) && now - used < kTemporaryGrace)
            continue;  // a download still writing it
        entries.push_back({it->path().lexically_normal().u8string(), size, used});
    }

    report.after = report.before;
    if (report.before <= bound_)
        return report;
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.used < b.used; });
    const std::uint64_t target = bound_ / 10 * 9;
    for (const Entry& entry : entries) {
        if (report.after <= target)
            break;
        if (!RemoveUnlessPinned(entry.path))
            continue;
        report.after -= entry.size;
        ++report.removed;
    }
    return report;
}
