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
