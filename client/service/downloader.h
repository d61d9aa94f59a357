#pragma once
#include <functional>
#include <memory>
#include <string>

// Held by whoever shows a cached picture (the viewer its large picture):
// while a hold lives, the cache bound leaves that file alone.
using PictureHold = std::shared_ptr<const void>;

// Told, on the download's worker, whether this request's own transfer
// replaced the file.
using DownloadDone = std::function<void(bool replaced)>;

// Starts picture and avatar downloads into the cache; every call returns at
// once and the file appears, whole, when its download is done.
class Downloader {
public:
    virtual ~Downloader() = default;
    // Downloads unless the target already holds a valid picture.
    virtual void FetchIfMissing(const std::string& url, const std::string& targetPath) = 0;
    // Downloads anew (nothing when the URL is empty).
    virtual void FetchAlways(const std::string& url, const std::string& targetPath) = 0;
    // The same, saying when it is done: a transfer of that file already on
    // its way may put an older picture in place first.
    virtual void FetchAlwaysThen(const std::string& url, const std::string& targetPath, DownloadDone done) = 0;
    // The large picture of the viewer; on Windows it reports progress to the window.
    virtual void FetchLarge(const std::string& url, const std::string& targetPath) = 0;
    // The picture the viewer opens first, fetched before the window asks for
    // it: as FetchLarge, but never in place of a picture the user chose.
    virtual void FetchFirstLarge(const std::string& url, const std::string& targetPath) { FetchLarge(url, targetPath); }
    // A large picture next to the one on show, fetched beside it and without
    // progress unless the target already holds a valid picture; `done` is
    // called on the worker once the transfer ended (or at once when none
    // ran), the file then in place or not.
    virtual void FetchLargeAhead(const std::string& /*url*/, const std::string& /*targetPath*/, DownloadDone done)
    {
        if (done)
            done(false);
    }
    // Empty when these downloads keep no bound.
    virtual PictureHold HoldPicture(const std::string& /*path*/) { return nullptr; }
};
