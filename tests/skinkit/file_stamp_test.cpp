#include <gtest/gtest.h>

#include "skinkit/file_stamp.h"
#include "test_window.h"

namespace {

// Sets the file's write time to `ticks` (100 ns units), as a cache that
// touches the files it uses does.
bool SetWriteTime(const std::wstring& path, ULONGLONG ticks)
{
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const FILETIME time{DWORD(ticks), DWORD(ticks >> 32)};
    const bool set = SetFileTime(file, nullptr, nullptr, &time) != FALSE;
    CloseHandle(file);
    return set;
}

TEST(FileStampTest, WhatHasAStamp)
{
    ScratchFolder folder;
    const std::wstring file = folder.Write(L"a.txt", L"abcd");
    struct Row {
        const char* what;
        std::wstring path;
        bool stamped;
    } rows[] = {
        {"a file", file, true},
        {"no path", L"", false},
        {"a missing file", folder.Path() + L"missing.txt", false},
        {"a folder", folder.Path(), false},
    };
    for (const Row& row : rows) {
        FileStamp stamp;
        EXPECT_EQ(ReadFileStamp(row.path, stamp), row.stamped) << row.what;
    }
    FileStamp stamp;
    ASSERT_TRUE(ReadFileStamp(file, stamp));
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(stamp.size, data.nFileSizeLow);
}

TEST(FileStampTest, ATouchedFileOfTheSameSizeIsStampedAnew)
{
    ScratchFolder folder;
    const std::wstring file = folder.Write(L"b.txt", L"same size");
    ASSERT_TRUE(SetWriteTime(file, 130000000000000000ULL));
    FileStamp before;
    ASSERT_TRUE(ReadFileStamp(file, before));
    ASSERT_TRUE(SetWriteTime(file, 130000000010000000ULL));
    FileStamp after;
    ASSERT_TRUE(ReadFileStamp(file, after));
    EXPECT_EQ(before.size, after.size);
    EXPECT_NE(before, after);
    FileStamp again;
    ASSERT_TRUE(ReadFileStamp(file, again));
    EXPECT_EQ(after, again);
}

}  // namespace
