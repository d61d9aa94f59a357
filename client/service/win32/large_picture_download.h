#pragma once
#include <windows.h>

#include <string>

// Outcomes of DownloadWithProgress.
enum LargeDownloadResult : int {
    kLargeDownloadDone = 0,  // also: the temporary file could not be made
    kLargeDownloadNoSession = 1,
    kLargeDownloadUrlNotOpened = 2,
    kLargeDownloadInProgress = 3,
    kLargeDownloadNoFolder = 4,
    kLargeDownloadWrongLength = 5,
    kLargeDownloadReadError = -1,
};

// Downloads a large picture through WinINet, honouring the system's proxy
// settings. Writes into "<folder>\cache\<name>" first and copies over the
// target only when every announced byte arrived; sends UM_DOWNLOAD_PROGRESS
// per block and UM_DOWNLOAD_DONE at the end to `window`.
int DownloadWithProgress(const std::wstring& url, const std::wstring& targetPath, HWND window);

// Starts DownloadWithProgress on a worker of its own unless the target is
// already a valid picture; returns 0 at once.
int FetchLargePicture(const std::string& url, const std::string& targetPath, HWND window);
