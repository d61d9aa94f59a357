#pragma once
#include "../cache_downloader.h"
#include "large_picture_download.h"

#include <windows.h>

// The cache downloads of the Windows client: the large picture goes through
// the WinINet download, which reports its progress to `window`; it is pinned
// while it downloads, counted against the bound, and waited for by WaitIdle.
class WindowDownloader : public CacheDownloader {
public:
    WindowDownloader(HWND window, std::shared_ptr<CacheLimiter> limiter, TransferLimits limits = {},
        int maxParallel = 64, std::shared_ptr<MessageSink> sink = nullptr)
        : CacheDownloader(std::move(limiter), limits, maxParallel, std::move(sink))
        , window_(window)
    {
    }
    void FetchLarge(const std::string& url, const std::string& targetPath) override;
    // Only while the viewer has wanted no picture yet.
    void FetchFirstLarge(const std::string& url, const std::string& targetPath) override;
    // Told, on a worker, once the first large picture is in place (or found
    // there), so the window can decode it before it gets to ask. Set before
    // the start's fetches: the workers read it unguarded.
    void WhenFirstLargeThere(std::function<void(const std::string& path)> there) { firstThere_ = std::move(there); }
    // Through WinINet as well, but outside the wish for the picture on show:
    // it neither stops that transfer nor is stopped by a step.
    void FetchLargeAhead(const std::string& url, const std::string& targetPath, DownloadDone done) override;

private:
    HWND window_;
    std::shared_ptr<LargePictureWish> wish_ = std::make_shared<LargePictureWish>();
    std::function<void(const std::string& path)> firstThere_;
};
