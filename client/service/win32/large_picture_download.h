#pragma once
#include <windows.h>

#include <memory>
#include <string>

class CacheLimiter;
class WorkTracker;

// Outcomes of DownloadWithProgress.
enum LargeDownloadResult : int {
    kLargeDownloadDone = 0,
    kLargeDownloadNoSession = 1,
    kLargeDownloadUrlNotOpened = 2,
    kLargeDownloadInProgress = 3,  // or the target already holds a valid picture
    kLargeDownloadNoFolder = 4,
    kLargeDownloadWrongLength = 5,
    kLargeDownloadNotPicture = 6,  // an error page, or without a length a picture cut short
    kLargeDownloadNotPlaced = 7,  // no temporary file, or it could not replace the target
    kLargeDownloadReadError = -1,
};

// Downloads a large picture through WinINet, honouring the system's proxy
// settings. Writes into "<folder>\cache\<name>" first and moves it over the
// target only when every announced byte arrived and the content is a picture
// (without a Content-Length: a whole one); sends UM_DOWNLOAD_PROGRESS per
// block and, once the picture is in place, UM_DOWNLOAD_DONE to `window`. A
// target that is no valid picture (an error page saved earlier) is replaced.
int DownloadWithProgress(const std::wstring& url, const std::wstring& targetPath, HWND window);

// Starts DownloadWithProgress on a worker of its own unless the target is
// already a valid picture; returns 0 at once. With a limiter the target is
// pinned while it downloads and counted against the cache bound when in
// place; the tracker, when given, counts the worker.
int FetchLargePicture(const std::string& url, const std::string& targetPath, HWND window,
    std::shared_ptr<CacheLimiter> limiter = nullptr, std::shared_ptr<WorkTracker> tracker = nullptr);
