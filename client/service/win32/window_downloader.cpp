#include "window_downloader.h"

#include "large_picture_download.h"
#include "web_address.h"

void WindowDownloader::FetchLarge(const std::string& url, const std::string& targetPath)
{
    // WinINet would open ftp:// and file:// addresses as readily.
    if (!IsWebAddress(url))
        return;
    FetchLargePicture(url, targetPath, window_, Limiter(), Tracker(), wish_);
}

void WindowDownloader::FetchFirstLarge(const std::string& url, const std::string& targetPath)
{
    if (!IsWebAddress(url))
        return;
    std::function<void()> there;
    if (firstThere_)
        there = [told = firstThere_, targetPath] { told(targetPath); };
    FetchLargePicture(url, targetPath, window_, Limiter(), Tracker(), wish_, LargeWant::first, std::move(there));
}

void WindowDownloader::FetchLargeAhead(const std::string& url, const std::string& targetPath, DownloadDone done)
{
    if (!IsWebAddress(url)) {
        if (done)
            done(false);
        return;
    }
    FetchLargePictureAhead(url, targetPath, Limiter(), Tracker(), std::move(done));
}
