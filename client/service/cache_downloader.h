#pragma once
#include "downloader.h"
#include "http_transport.h"
#include "platform.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class CacheLimiter;
class MessageSink;
class WorkTracker;

// The number a landed download's UM_PICTURE_ARRIVED carries for its target:
// posted messages carry no text, so whoever waits for a file compares this.
std::uint32_t LandedPictureKey(const std::string& targetPath);

// Downloads into the picture cache on detached workers, at most
// `maxParallel` at a time (the rest wait in line), and never two for the
// same file at once: a fresh download asked for while that file is on its
// way runs once more after it (a refreshed avatar must not be lost), however
// often it was asked for meanwhile. A start-up lists a few hundred thumbnails: enough
// workers hide the latency of each, few enough to keep a 32-bit process's
// thread stacks small. Each target is pinned while it is written and counted
// against the cache bound when done. Every file a download puts in place is
// posted to `sink` (when there is one) as UM_PICTURE_ARRIVED. An address
// that is not http or https, the empty one too, downloads nothing. A worker
// that cannot start fails its downloads at once (their callbacks hear false)
// and leaves no trace, so later downloads run when threads start again.
// While the last download came as a stream of a shared connection (HTTP/2),
// up to kMultiplexedDownloads run at a time: the cap keeps an HTTP/1.1
// server's connections few, and those streams open none. 96 stays under the
// 100 streams at once servers commonly allow, beyond which another connection
// and its handshake would open, and takes a start-up's 192 thumbnails in two
// round trips rather than three.
inline constexpr int kMultiplexedDownloads = 96;

class CacheDownloader : public Downloader {
public:
    // Starts a worker; false when it did not start and dropped the work.
    using ThreadStarter = std::function<bool(std::function<void()>)>;

    CacheDownloader(std::shared_ptr<CacheLimiter> limiter, TransferLimits limits = {}, int maxParallel = 64,
        std::shared_ptr<MessageSink> sink = nullptr, ThreadStarter startThread = platform::StartDetachedThread);
    ~CacheDownloader() override;

    void FetchIfMissing(const std::string& url, const std::string& targetPath) override;
    void FetchAlways(const std::string& url, const std::string& targetPath) override;
    void FetchAlwaysThen(const std::string& url, const std::string& targetPath, DownloadDone done) override;
    // Natively the large picture is an ordinary download; the Windows client
    // overrides this to report progress to its window.
    void FetchLarge(const std::string& url, const std::string& targetPath) override;
    void FetchLargeAhead(const std::string& url, const std::string& targetPath, DownloadDone done) override;
    PictureHold HoldPicture(const std::string& path) override;

    // True when nothing is queued or running any more.
    bool WaitIdle(std::chrono::milliseconds timeout);

protected:
    // For downloads of a subclass that run outside the queue.
    const std::shared_ptr<CacheLimiter>& Limiter() const;
    const std::shared_ptr<WorkTracker>& Tracker() const;

private:
    struct Queue;
    std::shared_ptr<Queue> queue_;
};
