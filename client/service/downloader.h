#pragma once
#include <string>

// Starts picture and avatar downloads into the cache; every call returns at
// once and the file appears, whole, when its download is done.
class Downloader {
public:
    virtual ~Downloader() = default;
    // Downloads unless the target already holds a valid picture.
    virtual void FetchIfMissing(const std::string& url, const std::string& targetPath) = 0;
    // Downloads anew (nothing when the URL is empty).
    virtual void FetchAlways(const std::string& url, const std::string& targetPath) = 0;
    // The large picture of the viewer; on Windows it reports progress to the window.
    virtual void FetchLarge(const std::string& url, const std::string& targetPath) = 0;
};
