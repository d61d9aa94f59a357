#include "window_downloader.h"

#include "large_picture_download.h"

void WindowDownloader::FetchLarge(const std::string& url, const std::string& targetPath)
{
    FetchLargePicture(url, targetPath, window_, Limiter(), Tracker());
}
