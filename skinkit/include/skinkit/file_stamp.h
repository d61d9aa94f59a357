#pragma once

#include <string>

#include <windows.h>

#include "skinkit/skinkit_api.h"

// A file's size and last write time: what tells a decoded picture from the
// file it came from once that file was replaced.
struct FileStamp {
    ULONGLONG size = 0;
    FILETIME written{};

    bool operator==(const FileStamp& other) const
    {
        return size == other.size && written.dwLowDateTime == other.written.dwLowDateTime
            && written.dwHighDateTime == other.written.dwHighDateTime;
    }
    bool operator!=(const FileStamp& other) const { return !(*this == other); }
};

// The stamp of the file at path; false for no path, a missing file or a folder.
SKINKIT_API bool ReadFileStamp(const std::wstring& path, FileStamp& stamp);
