#include "answer_parser.h"
#include "browse_layout.h"
#include "browser_recorder.h"
#include "cache_downloader.h"
#include "decoded_pictures.h"
#include "feed_doubles.h"
#include "feed_kinds.h"
#include "gdi_objects.h"
#include "main_window.h"
#include "md5.h"
#include "panel_context.h"
#include "picture_cache.h"
#include "picture_strip.h"
#include "program_folder.h"
#include "pump.h"
#include "request_log.h"
#include "signed_in_user.h"
#include "win32/wide_text.h"
#include "win32kit/scoped_win.h"
#include "work_tracker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

TEST(BrowseLayout, CategoryButtonsShareTheWidth)
{
    struct Row {
        int width, index, left, right;
    } rows[] = {
        {800, 1, 130, 260},  // narrower than the bar: no negative gap
        {0, 0, 0, 130},
        {1040, 1, 130, 260},  // the buttons touch
        {1920, 0, 97, 227},
        {1920, 7, 1686, 1816},
    };
    for (const Row& row : rows) {
        const RECT rect = browse_layout::CategoryButton(row.width, row.index);
        EXPECT_EQ(rect.left, row.left) << row.width << " " << row.index;
        EXPECT_EQ(rect.right, row.right) << row.width << " " << row.index;
        EXPECT_EQ(rect.top, 47);
        EXPECT_EQ(rect.bottom, 113);
    }
}

TEST(BrowseLayout, SearchChoiceEntries)
{
    const RECT list = browse_layout::SearchChoiceList(RECT{100, 10, 200, 30});
    EXPECT_EQ(list.left, 95);
    EXPECT_EQ(list.top, 35);
    EXPECT_EQ(list.right, 233);
    EXPECT_EQ(list.bottom, 89);
    struct Point {
        POINT point;
        int entry;
    } points[] = {{{94, 50}, -1}, {{150, 89}, -1}, {{150, 35}, 0}, {{150, 61}, 0}, {{150, 62}, 1}};
    for (const Point& row : points)
        EXPECT_EQ(browse_layout::SearchChoiceAt(list, row.point), row.entry) << row.point.x << "," << row.point.y;
    struct Key {
        int entry;
        WPARAM key;
        int next;
    } keys[] = {{1, 'A', 1}, {1, VK_DOWN, 0}, {1, VK_RIGHT, 0}, {0, VK_UP, 1}, {0, VK_LEFT, 1}, {0, VK_DOWN, 1}};
    for (const Key& row : keys)
        EXPECT_EQ(browse_layout::SearchChoiceAfterKey(row.entry, row.key), row.next) << row.entry << " " << row.key;
}

TEST(BrowseLayout, TheMenuClosesBesideOrBelowIt)
{
    const RECT menu{100, 40, 260, 284};
    struct Row {
        POINT point;
        bool overAvatar;
        bool leaves;
    } rows[] = {
        {{0, 0}, true, false},  // the avatar keeps it, wherever it is
        {{99, 100}, false, true},
        {{260, 100}, false, true},
        {{150, 284}, false, true},
        {{150, 20}, false, false},  // above, on the way from the avatar
        {{150, 100}, false, false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(browse_layout::PointerLeavesMenu(row.point, menu, row.overAvatar), row.leaves)
            << row.point.x << "," << row.point.y;
}

TEST(BrowsePaging, OnlyTheCurrentPagesItemsShow)
{
    struct Row {
        const char* what;
        int total, pages, steps;
        std::size_t stored, shown;
    } rows[] = {
        {"more pages than items", 2, 5, 2, 10, 0},
        {"a page past a short total", 5, 3, 2, 10, 1},
        {"no pager", -1, 0, 0, 7, 7},
        {"a pager without totals", 0, 0, 0, 7, 7},
        {"first page", 28, 3, 0, 10, 10},
        {"short last page", 28, 3, 2, 10, 8},
    };
    for (const Row& row : rows) {
        FeedStore store;
        if (row.total >= 0)
            store.UpdatePager(feed_kind::kMyPublished, row.total, row.pages);
        for (int i = 0; i < row.steps; ++i)
            store.NextPage(feed_kind::kMyPublished);
        EXPECT_EQ(ItemsOnPage(store, feed_kind::kMyPublished, row.stored), row.shown) << row.what;
    }
}

// The file's time of last writing moved a minute on, as a download writing
// it again would.
bool TouchFile(const std::wstring& path)
{
    win32kit::ScopedHandle file(CreateFileW(
        path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER later{};
    later.LowPart = now.dwLowDateTime;
    later.HighPart = now.dwHighDateTime;
    later.QuadPart += 60ull * 10000000ull;
    now.dwLowDateTime = later.LowPart;
    now.dwHighDateTime = later.HighPart;
    return file && SetFileTime(file.Get(), nullptr, nullptr, &now);
}

bool FlipLastByte(const std::wstring& path)
{
    win32kit::ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || SetFilePointer(file.Get(), -1, nullptr, FILE_END) == INVALID_SET_FILE_POINTER)
        return false;
    unsigned char last = 0;
    DWORD done = 0;
    if (!ReadFile(file.Get(), &last, 1, &done, nullptr) || done != 1)
        return false;
    last ^= 0xFF;
    SetFilePointer(file.Get(), -1, nullptr, FILE_END);
    return WriteFile(file.Get(), &last, 1, &done, nullptr) && done == 1;
}

TEST(DecodedPictures, DecodesOncePerFileState)
{
    wchar_t folder[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, folder), 0u);
    const std::wstring path
        = std::wstring(folder) + L"quarn-decoded-" + std::to_wstring(GetCurrentProcessId()) + L".png";
    const std::wstring small = ResourceFolder() + L"main\\page_prev.png";
    const std::wstring large = ResourceFolder() + L"main\\user_info_bk.png";
    DeleteFileW(path.c_str());
    DecodedPictures pictures(2);
    struct Row {
        const char* what;
        const wchar_t* copyFrom;  // null: leave the file as it is
        const std::wstring* look;
        bool found;
        std::size_t decodes;
        bool touched = false;  // written at a new time after the copy
    } rows[] = {
        {"empty path", nullptr, nullptr, false, 0},
        {"missing file", nullptr, &path, false, 0},
        {"the file arrives", small.c_str(), &path, true, 1},
        {"looked at again", nullptr, &path, true, 1},
        {"the file is replaced", large.c_str(), &path, true, 2},
        {"and looked at again", nullptr, &path, true, 2},
        {"written again with the same bytes", large.c_str(), &path, true, 2, true},
    };
    const std::wstring empty;
    for (const Row& row : rows) {
        if (row.copyFrom) {
            ASSERT_TRUE(CopyFileW(row.copyFrom, path.c_str(), FALSE)) << row.what;
        }
        if (row.touched) {
            ASSERT_TRUE(TouchFile(path)) << row.what;
        }
        Gdiplus::Bitmap* picture = pictures.Find(row.look ? *row.look : empty);
        EXPECT_EQ(picture != nullptr, row.found) << row.what;
        EXPECT_EQ(pictures.Decodes(), row.decodes) << row.what;
    }
    // Scaled once for a box, and kept for it.
    Gdiplus::Bitmap* fitted = pictures.Fitted(path, 40, 30);
    ASSERT_NE(fitted, nullptr);
    EXPECT_LE(fitted->GetWidth(), 40u);
    EXPECT_LE(fitted->GetHeight(), 30u);
    EXPECT_EQ(pictures.Fitted(path, 40, 30), fitted);
    EXPECT_EQ(pictures.Decodes(), 2u);
    // The same size and other bytes: decoded again.
    ASSERT_TRUE(FlipLastByte(path));
    ASSERT_TRUE(TouchFile(path));
    pictures.Find(path);
    EXPECT_EQ(pictures.Decodes(), 3u);
    DeleteFileW(path.c_str());
}

// Another handle on the file (the cache keeping its time of use, a virus
// scanner) must not make a picture look unreadable: it would stay blank,
// since the same file state is never decoded twice.
TEST(DecodedPictures, AFileOpenElsewhereIsStillRead)
{
    wchar_t folder[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, folder), 0u);
    const std::wstring path
        = std::wstring(folder) + L"quarn-shared-" + std::to_wstring(GetCurrentProcessId()) + L".png";
    ASSERT_TRUE(CopyFileW((ResourceFolder() + L"main\\page_prev.png").c_str(), path.c_str(), FALSE));
    struct Row {
        const char* what;
        DWORD access;
        DWORD share;
    } rows[] = {
        {"read by another", GENERIC_READ, FILE_SHARE_READ},
        {"open to set its time", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE},
        {"open for anything, sharing all", GENERIC_READ | GENERIC_WRITE,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE},
    };
    for (const Row& row : rows) {
        win32kit::ScopedHandle other(
            CreateFileW(path.c_str(), row.access, row.share, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(other.IsValid()) << row.what;
        DecodedPictures pictures(2);
        EXPECT_NE(pictures.Find(path), nullptr) << row.what;
        EXPECT_NE(pictures.Fitted(path, 16, 16), nullptr) << row.what;
    }
    DeleteFileW(path.c_str());
}

// Pictures only ever drawn fitted (the comment list's avatars) keep no
// full-size copy, however large the file, and their number stays bounded.
TEST(DecodedPictures, OnlyFittedOnesKeepNoOriginal)
{
    wchar_t folder[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, folder), 0u);
    const std::wstring base = std::wstring(folder) + L"quarn-fitted-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring large = ResourceFolder() + L"main\\user_info_bk.png";
    std::vector<std::wstring> paths;
    for (int i = 0; i < 3; ++i) {
        paths.push_back(base + L"-" + std::to_wstring(i) + L".png");
        ASSERT_TRUE(CopyFileW(large.c_str(), paths.back().c_str(), FALSE));
    }
    DecodedPictures avatars(2, false);
    struct Row {
        const char* what;
        int file;
        bool fittedOnly;  // or the original asked for
        std::size_t decodes;
    } rows[] = {
        {"first fit", 0, true, 1},
        {"the same box again", 0, true, 1},
        {"the original after all", 0, false, 2},
        {"fitted once more", 0, true, 2},
        {"a second file", 1, true, 3},
        {"a third pushes the first out", 2, true, 4},
        {"the first again", 0, true, 5},
    };
    for (const Row& row : rows) {
        Gdiplus::Bitmap* picture
            = row.fittedOnly ? avatars.Fitted(paths[row.file], 32, 32) : avatars.Find(paths[row.file]);
        ASSERT_NE(picture, nullptr) << row.what;
        if (row.fittedOnly) {
            EXPECT_LE(picture->GetWidth(), 32u) << row.what;
            EXPECT_LE(picture->GetHeight(), 32u) << row.what;
        }
        EXPECT_EQ(avatars.Decodes(), row.decodes) << row.what;
        EXPECT_LE(avatars.Size(), 2u) << row.what;
    }
    for (const std::wstring& path : paths)
        DeleteFileW(path.c_str());
}

// A 32-bit top-down DIB filled with `fill`, and its bits.
struct Canvas {
    Canvas(int width, int height, UINT32 fill)
        : dc(CreateCompatibleDC(nullptr))
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* pixels = nullptr;
        bitmap.Reset(CreateDIBSection(dc.Get(), &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
        bits = static_cast<UINT32*>(pixels);
        if (bits)
            std::fill(bits, bits + std::size_t(width) * std::size_t(height), fill);
        old = SelectObject(dc.Get(), bitmap.Get());
    }
    ~Canvas() { SelectObject(dc.Get(), old); }
    win32kit::ScopedDC dc;
    win32kit::ScopedGdiObject<HBITMAP> bitmap;
    HGDIOBJ old = nullptr;
    UINT32* bits = nullptr;
};

// A picture with every alpha from opaque to clear and colours up to it.
std::unique_ptr<Gdiplus::Bitmap> GradedPicture(int width, int height)
{
    auto picture = std::make_unique<Gdiplus::Bitmap>(width, height, PixelFormat32bppPARGB);
    Gdiplus::Rect all(0, 0, width, height);
    Gdiplus::BitmapData data{};
    if (picture->LockBits(&all, Gdiplus::ImageLockModeWrite, PixelFormat32bppPARGB, &data) != Gdiplus::Ok)
        return nullptr;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<UINT32*>(static_cast<BYTE*>(data.Scan0) + std::ptrdiff_t(y) * data.Stride);
        for (int x = 0; x < width; ++x) {
            const UINT32 alpha = (x * 255) / (width - 1);
            const UINT32 red = alpha * ((y * 7) % 256) / 255;
            row[x] = alpha << 24 | red << 16 | (alpha / 2) << 8 | (alpha / 3);
        }
    }
    picture->UnlockBits(&data);
    return picture;
}

// A picture at its box's size is blended straight into the target: it must
// look as GDI+ draws it, on a plain DIB and through a clip; a box of another
// size is still scaled to the box.
TEST(DecodedPictures, DrawnInABoxAsGdiPlusDrawsIt)
{
    struct Row {
        const char* what;
        int width, height;  // the picture's
        int x, y, boxWidth, boxHeight;
        bool clipped;  // to the target's left half
    } rows[] = {
        {"at its own size", 40, 40, 8, 6, 40, 40, false},
        {"at its own size, half clipped away", 40, 40, 8, 6, 40, 40, true},
        {"at its own size, over the target's edge", 40, 40, 50, 30, 40, 40, false},
        {"scaled up to a larger box", 20, 20, 8, 6, 40, 40, false},
        {"squeezed into a narrower box", 40, 40, 8, 6, 30, 40, false},
    };
    constexpr int kSide = 64;
    constexpr UINT32 kBackground = 0xFF204060;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const auto picture = GradedPicture(row.width, row.height);
        ASSERT_TRUE(picture);
        Canvas drawn(kSide, kSide, kBackground);
        Canvas expected(kSide, kSide, kBackground);
        ASSERT_TRUE(drawn.bits && expected.bits);
        for (Canvas* canvas : {&drawn, &expected}) {
            if (row.clipped)
                IntersectClipRect(canvas->dc.Get(), 0, 0, kSide / 2, kSide);
        }
        {
            Gdiplus::Graphics graphics(drawn.dc.Get());
            DrawPictureBox(drawn.dc.Get(), graphics, picture.get(), row.x, row.y, row.boxWidth, row.boxHeight);
        }
        {
            Gdiplus::Graphics graphics(expected.dc.Get());
            graphics.DrawImage(picture.get(), row.x, row.y, row.boxWidth, row.boxHeight);
        }
        GdiFlush();
        int worst = 0;
        int differing = 0;
        for (int i = 0; i < kSide * kSide; ++i) {
            for (int shift = 0; shift < 24; shift += 8) {
                const int a = int(drawn.bits[i] >> shift & 0xFF);
                const int b = int(expected.bits[i] >> shift & 0xFF);
                worst = std::max(worst, std::abs(a - b));
                differing += a != b;
            }
        }
        EXPECT_LE(worst, 1) << differing << " channels differ";
        // Both drew at all, and nothing outside the clip.
        int covered = 0;
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) {
                const bool changed = drawn.bits[y * kSide + x] != kBackground;
                covered += changed;
                if (row.clipped && x >= kSide / 2) {
                    EXPECT_FALSE(changed) << "drawn outside the clip at " << x << "," << y;
                }
            }
        }
        EXPECT_GT(covered, 0);
    }
}

// A solid red 8 x 8 picture.
void WriteRedBmp(const std::wstring& path)
{
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    std::vector<BYTE> pixels(8 * 8 * 3, 0);
    for (std::size_t i = 2; i < pixels.size(); i += 3)
        pixels[i] = 0xFF;
    info.biSize = sizeof(info);
    info.biWidth = info.biHeight = 8;
    info.biPlanes = 1;
    info.biBitCount = 24;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = DWORD(file.bfOffBits + pixels.size());
    std::ofstream out(path.c_str(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof(file));
    out.write(reinterpret_cast<const char*>(&info), sizeof(info));
    out.write(reinterpret_cast<const char*>(pixels.data()), std::streamsize(pixels.size()));
}

// The strip on a window of its own over a list of pictures whose thumbnails
// lie, or will lie, in a folder of the test's own. The column stands at x 100
// from y 129, four slots high.
class StripTest : public ::testing::Test {
protected:
    static constexpr int kLeft = 100;
    static constexpr int kTop = 129;

    void SetUp() override
    {
        wchar_t temp[MAX_PATH] = {};
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        folder = std::wstring(temp) + L"quarn-strip-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(folder.c_str(), nullptr);
        host = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 800, 800, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(host, nullptr);
        // A hidden window keeps no update region.
        ShowWindow(host, SW_SHOWNOACTIVATE);
    }
    void TearDown() override
    {
        strip.reset();
        DestroyWindow(host);
        DeleteFileW(Thumbnail(0).c_str());
        RemoveDirectoryW(folder.c_str());
    }

    std::wstring Thumbnail(int index) const { return folder + L"t" + std::to_wstring(index) + L".bmp"; }
    static std::string Url(int index) { return "http://127.0.0.1:9/p" + std::to_string(index) + ".jpg"; }
    // A fresh strip over `count` pictures of a list of `mode`, shown from `first`.
    void Open(int mode, int count, int first, int size = 128)
    {
        strip.reset();
        store = std::make_shared<FeedStore>();
        downloads = std::make_shared<RecordingDownloader>();
        strip = std::make_unique<PictureStrip>();
        ASSERT_TRUE(strip->Create(host, false, store, downloads));
        const int feed = mode == PictureStrip::kFeedSource ? feed_kind::kFirstCategory
            : mode == PictureStrip::kTagSource             ? feed_kind::kTagFeed
                                                           : feed_kind::kUserPictures;
        const std::string key = mode == PictureStrip::kFeedSource ? "" : "k";
        for (int i = 0; i < count; ++i) {
            auto picture = std::make_shared<PictureRecord>();
            picture->thumbnailUrl = picture->largeUrl = Url(i);
            picture->thumbnailPath = Narrow(Thumbnail(i));
            picture->largePath = picture->thumbnailPath + ".large";
            store->StorePicture(PictureListId{feed, key}, std::size_t(i), picture);
        }
        strip->SetGeometry(size, size, kTop, 4);
        strip->Anchor(kLeft);
        strip->SetSource(mode, feed, key, first);
        strip->SetVisible(true);
    }
    static POINT InSlot(int k) { return POINT{kLeft + 30, kTop + 128 * k + 100}; }
    void Send(UINT msg, WPARAM wParam, POINT point)
    {
        strip->WindowProc(host, msg, wParam, MAKELPARAM(point.x, point.y));
    }
    std::vector<std::string> Asked(DownloadCall::Kind kind) const
    {
        std::vector<std::string> urls;
        for (const DownloadCall& call : downloads->Calls()) {
            if (call.kind == kind)
                urls.push_back(call.url);
        }
        return urls;
    }
    bool Invalidated() const
    {
        RECT dirty{};
        return GetUpdateRect(host, &dirty, FALSE) != FALSE;
    }
    // The strip painted over white: the colour at `point`.
    COLORREF PaintedAt(POINT point)
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = 800;
        info.bmiHeader.biHeight = -800;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP surface = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!surface) {
            DeleteDC(dc);
            return CLR_INVALID;
        }
        HGDIOBJ old = SelectObject(dc, surface);
        std::fill_n(static_cast<DWORD*>(bits), 800 * 800, 0xFFFFFFFFu);
        strip->Paint(dc);
        GdiFlush();
        const DWORD pixel = static_cast<DWORD*>(bits)[point.y * 800 + point.x];
        SelectObject(dc, old);
        DeleteObject(surface);
        DeleteDC(dc);
        return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    }
    // The 加载中 box.
    static bool Grey(COLORREF c)
    {
        const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
        return r < 200 && std::abs(r - g) < 16 && std::abs(g - b) < 16;
    }
    static bool Red(COLORREF c) { return GetRValue(c) > GetGValue(c) + 80 && GetGValue(c) < 60; }

    std::wstring folder;
    HWND host = nullptr;
    std::shared_ptr<FeedStore> store;
    std::shared_ptr<RecordingDownloader> downloads;
    std::unique_ptr<PictureStrip> strip;
};

TEST(ThumbnailCacheTest, OnlyTheZoomedThumbnailKeepsItsOriginal)
{
    wchar_t temp[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring stem = std::wstring(temp) + L"quarn-thumb-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring paths[] = {stem + L"-a.bmp", stem + L"-b.bmp", stem + L"-missing.bmp"};
    WriteRedBmp(paths[0]);
    WriteRedBmp(paths[1]);
    ThumbnailCache cache;
    struct Row {
        const char* what;
        int file;
        int size;  // 0: the original, for the zoom
        bool found;
        unsigned decodes;
    } rows[] = {
        {"missing file", 2, 64, false, 0},
        {"missing file's original", 2, 0, false, 0},
        {"first look", 0, 64, true, 1},
        {"again at the same size", 0, 64, true, 1},
        {"its original, still held", 0, 0, true, 1},
        {"another thumbnail", 1, 64, true, 2},
        {"the first one's original again", 0, 0, true, 3},
        {"the next zoom frame", 0, 0, true, 3},
        {"a new size, from the held original", 0, 32, true, 3},
    };
    for (const Row& row : rows) {
        const std::wstring& path = paths[row.file];
        const bool found = row.size ? cache.Find(path, row.size, row.size) != nullptr : cache.Original(path) != nullptr;
        EXPECT_EQ(found, row.found) << row.what;
        EXPECT_EQ(cache.DecodeCount(), row.decodes) << row.what;
    }
    DeleteFileW(paths[0].c_str());
    DeleteFileW(paths[1].c_str());
}

TEST_F(StripTest, AThumbnailIsPaintedOnceItsDownloadSaysItLanded)
{
    DeleteFileW(Thumbnail(0).c_str());
    Open(PictureStrip::kFeedSource, 6, 0);
    struct Row {
        const char* what;
        bool arrives;  // the file is put in place first
        int told;  // the picture whose landing is told; -1 none
        bool visible;
        bool repaints;
    } rows[] = {
        {"nothing landed", false, -1, true, false},
        {"another file landed", false, 9, true, false},
        {"landed while the strip is hidden", true, 0, false, false},
        {"the thumbnail landed", true, 0, true, true},
        {"it landed once more", true, 0, true, false},
    };
    for (const Row& row : rows) {
        strip->SetVisible(row.visible);
        if (row.arrives)
            WriteRedBmp(Thumbnail(0));
        ValidateRect(host, nullptr);
        if (row.told >= 0)
            strip->OnPictureArrived(LandedPictureKey(Narrow(Thumbnail(row.told))));
        EXPECT_EQ(Invalidated(), row.repaints) << row.what;
        if (row.visible) {
            const COLORREF slot = PaintedAt(InSlot(0));
            EXPECT_EQ(Red(slot), row.arrives) << row.what;
            EXPECT_EQ(Grey(slot), !row.arrives) << row.what;
        }
    }
}

TEST_F(StripTest, OnlyAListStillOnItsWayShowsLoadingPastItsEnd)
{
    struct Row {
        const char* what;
        int count;
        bool answered;
        const char* slots;  // per slot: g grey box, w nothing painted
    } rows[] = {
        {"an empty list on its way", 0, false, "gggg"},
        {"an empty answer", 0, true, "gwww"},
        {"a short answer", 2, true, "ggww"},
        {"a short list on its way", 2, false, "gggg"},
        {"an answer longer than the column", 6, true, "gggg"},
    };
    for (const Row& row : rows) {
        Open(PictureStrip::kFeedSource, row.count, 0);
        if (row.answered)
            store->StoreAnswer(feed_kind::kFirstCategory, "", "{}");
        for (int k = 0; k < 4; ++k) {
            const COLORREF painted = PaintedAt(InSlot(k));
            const bool grey = row.slots[k] == 'g';
            EXPECT_EQ(Grey(painted), grey) << row.what << ", slot " << k;
            EXPECT_EQ(painted == RGB(255, 255, 255), !grey) << row.what << ", slot " << k;
        }
    }
}

TEST_F(StripTest, OnlyAShownPictureIsHoveredAndOpened)
{
    const POINT belowColumn{kLeft + 30, kTop + 4 * 128 + 20};
    const POINT onArrow{kLeft + 128 + 20, kTop + 4 * 128 - 10};
    struct Row {
        const char* what;
        int count, first;
        POINT point;
        int hovered;
        bool opens;
    } rows[] = {
        {"empty feed", 0, 0, InSlot(0), 0, false},
        {"beyond the end of a short feed", 2, 0, InSlot(3), 3, false},
        {"first index past the end", 10, 12, InSlot(0), 0, false},
        {"below the last shown thumbnail", 10, 0, belowColumn, -1, false},
        {"on an arrow", 10, 0, onArrow, 3, false},
        {"a shown thumbnail", 10, 0, InSlot(1), 1, true},
    };
    for (const Row& row : rows) {
        Open(PictureStrip::kFeedSource, row.count, row.first);
        Send(WM_MOUSEMOVE, 0, row.point);
        EXPECT_EQ(strip->HoveredSlot(), row.hovered) << row.what;
        Send(WM_LBUTTONUP, 0, row.point);
        const std::vector<std::string> opened = Asked(DownloadCall::Large);
        EXPECT_EQ(opened, row.opens ? std::vector<std::string>{Url(1)} : std::vector<std::string>{}) << row.what;
    }
}

TEST_F(StripTest, TheWheelStaysWithinTheList)
{
    const POINT outside{kLeft - 20, kTop + 100};
    struct Row {
        const char* what;
        int count, first;
        POINT point;
        int delta, after;
    } rows[] = {
        {"onward on an empty strip", 0, 0, InSlot(0), -WHEEL_DELTA, 0},
        {"back on an empty strip", 0, 0, InSlot(0), WHEEL_DELTA, 0},
        {"onward with the last four shown", 10, 6, InSlot(1), -WHEEL_DELTA, 6},
        {"back at the start", 10, 0, InSlot(1), WHEEL_DELTA, 0},
        {"beside the column", 10, 0, outside, -WHEEL_DELTA, 0},
        {"onward", 10, 0, InSlot(3), -WHEEL_DELTA, 1},
        {"back", 10, 3, InSlot(0), WHEEL_DELTA, 2},
    };
    for (const Row& row : rows) {
        Open(PictureStrip::kFeedSource, row.count, row.first);
        Send(WM_MOUSEWHEEL, MAKEWPARAM(0, row.delta), row.point);
        EXPECT_EQ(strip->FirstIndex(), row.after) << row.what;
    }
    struct Column {
        int size, bottom;
    } columns[] = {{130, 649}, {80, 449}, {128, 641}};
    for (const Column& column : columns) {
        Open(PictureStrip::kTagSource, 1, 0, column.size);
        EXPECT_EQ(strip->Area().bottom, column.bottom) << column.size;
    }
}

TEST_F(StripTest, TheArrowsScrollNoFurtherThanTheList)
{
    struct Row {
        const char* what;
        int mode, count, first, size;
        WORD arrow;
        int after;
    } rows[] = {
        {"onward on an empty feed", PictureStrip::kFeedSource, 0, 0, 128, CMD_STRIP_NEXT, 0},
        {"onward on a feed shorter than the column", PictureStrip::kFeedSource, 3, 0, 128, CMD_STRIP_NEXT, 0},
        {"onward from past the end", PictureStrip::kFeedSource, 6, 9, 128, CMD_STRIP_NEXT, 9},
        {"back at the start", PictureStrip::kFeedSource, 10, 0, 128, CMD_STRIP_BEFORE, 0},
        {"a category to its end", PictureStrip::kFeedSource, 6, 0, 128, CMD_STRIP_NEXT, 1},
        {"a person's pictures to their end", PictureStrip::kPersonSource, 4, 0, 80, CMD_STRIP_NEXT, 1},
        {"a tag to its end", PictureStrip::kTagSource, 5, 0, 130, CMD_STRIP_NEXT, 1},
        {"back to the start", PictureStrip::kFeedSource, 10, 2, 128, CMD_STRIP_BEFORE, 0},
    };
    for (const Row& row : rows) {
        Open(row.mode, row.count, row.first, row.size);
        strip->OnCommand(row.arrow);
        // At most 39 steps; the rest find the animation over.
        for (int step = 0; step < 45; ++step)
            strip->OnTimer(kStripScrollTimer);
        EXPECT_EQ(strip->FirstIndex(), row.after) << row.what;
        EXPECT_EQ(strip->HoveredSlot(), -1) << row.what << ": nothing was hovered";
    }
}

TEST_F(StripTest, PreloadAsksForTheListsOwnPicturesOnly)
{
    struct Row {
        const char* what;
        int count, first;
        std::vector<int> asked;
    } rows[] = {
        {"empty feed", 0, 0, {}},
        {"past the end", 5, 7, {}},
        {"before the start", 10, -3, {0, 1, 2}},
        {"three from the end: the last one is left", 10, 7, {7, 8}},
        {"the middle", 10, 2, {2, 3, 4, 5, 6, 7}},
    };
    for (const Row& row : rows) {
        Open(PictureStrip::kFeedSource, row.count, 0);
        strip->Preload(row.first);
        std::vector<std::string> expected;
        for (int index : row.asked)
            expected.push_back(Url(index));
        EXPECT_EQ(Asked(DownloadCall::IfMissing), expected) << row.what;
    }
}

// The row and the user list repaint for a landed file only when they show it.
TEST(PanelArrivals, OnlyAShownThumbnailOrAvatarCounts)
{
    const HWND host = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 800, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(host, nullptr);
    FeedStore store;
    for (int i = 0; i < 12; ++i) {
        auto picture = std::make_shared<PictureRecord>();
        picture->thumbnailPath = "t" + std::to_string(i) + ".jpg";
        store.StorePicture(PictureListId{feed_kind::kMyPublished, {}}, std::size_t(i), picture);
        auto user = std::make_shared<UserRecord>();
        user->avatarPath = "a" + std::to_string(i) + ".jpg";
        store.StoreUser(feed_kind::kFeatured, std::size_t(i), user);
        store.StoreUser(feed_kind::kMyFollows, std::size_t(i), user);
    }
    MyPicturesRow row;
    row.Create(host, 1600);  // ten slots
    UserListPanel users;
    users.Create(host, 800);  // seven cells
    struct Row {
        const char* what;
        bool userList;
        int mode;  // -1: hidden
        const char* file;
        bool shown;
    } rows[] = {
        {"own pictures the user has none of", false, MyPicturesRow::kPublished, "t0.jpg", false},
        {"a hidden row", false, -1, "t0.jpg", false},
        {"a hidden list", true, -1, "a0.jpg", false},
        {"a file the row does not list", false, MyPicturesRow::kPublished, "t99.jpg", false},
        {"a thumbnail past the row's ten slots", false, MyPicturesRow::kPublished, "t11.jpg", false},
        {"the row at its end notice", false, MyPicturesRow::kLastOne, "t0.jpg", false},
        {"an avatar past the list's cells", true, UserListPanel::kFeatured, "a9.jpg", false},
        {"follows the user has none of", true, UserListPanel::kFollows, "a0.jpg", false},
        {"a thumbnail in the row", false, MyPicturesRow::kPublished, "t9.jpg", true},
        {"an avatar in the list", true, UserListPanel::kFeatured, "a6.jpg", true},
    };
    for (const Row& r : rows) {
        row.SetHasPublished(&r != &rows[0]);
        row.Hide();
        users.Hide();
        if (r.mode >= 0 && r.userList)
            users.Show(r.mode);
        else if (r.mode >= 0)
            row.Show(r.mode);
        const std::uint32_t key = LandedPictureKey(r.file);
        EXPECT_EQ(r.userList ? users.ShowsAvatar(store, key) : row.ShowsPicture(store, key), r.shown) << r.what;
    }
    DestroyWindow(host);
}

// A list answer shorter than the one before it: the people it no longer
// lists get no cell.
TEST(UserListCells, OnlyThePeopleOfTheLatestAnswer)
{
    const HWND host = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 800, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(host, nullptr);
    const auto answer = [](const char* key, int people) {
        std::string text = std::string("{\"") + key + "\":[";
        for (int i = 0; i < people; ++i)
            text += std::string(i ? "," : "") + "{\"uid\":\"" + std::to_string(100 + i) + "\",\"uname\":\"u"
                + std::to_string(i) + "\"}";
        return text + "]}";
    };
    struct Row {
        const char* what;
        int mode;
        int before, after;
    } rows[] = {
        {"no one found after three", UserListPanel::kSearch, 3, 0},
        {"one found after three", UserListPanel::kSearch, 3, 1},
        {"two featured users fewer", UserListPanel::kFeatured, 14, 12},
        {"more found than before", UserListPanel::kSearch, 1, 3},
    };
    wchar_t temp[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    for (const Row& row : rows) {
        FeedStore store;
        RecordingSink sink;
        RecordingDownloader downloads;
        RecordingStarter starter;
        const PictureCache cache(Narrow(temp) + "quarn-cells\\", 1600);
        const ParseContext context{store, sink, cache, downloads, starter};
        UserListPanel users;
        users.Create(host, 1600);  // seventeen cells
        users.Show(row.mode);
        FeedRequest request;
        request.kind = users.Kind();
        const char* key = row.mode == UserListPanel::kFeatured ? "daren_list" : "user_list";
        ASSERT_TRUE(ParseAnswerText(context, request, answer(key, row.before))) << row.what;
        ASSERT_TRUE(ParseAnswerText(context, request, answer(key, row.after))) << row.what;
        int cells = 0;
        for (int i = 0; i < users.CellsPerRow(); ++i) {
            const RECT cell = browse_layout::UserCell(i);
            cells += users.IndexAt(store, POINT{cell.left + 40, cell.top + 40}) == i;
        }
        EXPECT_EQ(cells, row.after) << row.what;
    }
    DestroyWindow(host);
}

TEST(UserListCard, ShowsOnlyTheCountsTheAnswerGave)
{
    const auto user = [](const char* pictures, const char* likes, const char* follows, const char* fans) {
        UserRecord record;
        record.pictureCount = pictures;
        record.likeCount = likes;
        record.followCount = follows;
        record.fanCount = fans;
        return record;
    };
    struct Row {
        const char* what;
        UserRecord user;
        std::vector<std::wstring> texts;
    } rows[] = {
        {"a fan (the fans list gives no counts)", user("", "", "", ""), {}},
        {"only some counts", user("", "7", "", "0"), {L"喜欢 7", L"粉丝 0"}},
        {"all four", user("3", "12", "5", "9"), {L"发布 3", L"喜欢 12", L"关注 5", L"粉丝 9"}},
    };
    for (const Row& row : rows) {
        std::vector<std::wstring> texts;
        for (const CardCount& count : CardCounts(row.user))
            texts.push_back(count.text);
        EXPECT_EQ(texts, row.texts) << row.what;
    }
    const auto all = CardCounts(user("1", "2", "3", "4"));
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[1].dx - all[0].dx, 60) << "likes beside the published count";
    EXPECT_EQ(all[2].dy - all[0].dy, 20) << "follows under the published count";
}

// The main window with a signed-in user; its requests go nowhere that matters.
class BrowsePanelsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SignedInUser user;
        user.signedIn = true;
        user.uid = "1001";
        user.token = "t";
        user.followCount = "0";
        StoreSignedInUser(user);
        ASSERT_TRUE(window.CreateFullScreen());
        hwnd = window.GetHWND();
    }
    void TearDown() override { SetSignedIn(false); }

    void ChooseTab(int item)
    {
        CTabNotify notify{};
        notify.item = item;
        SendMessageW(hwnd, UM_TAB_NOTIFY, kTabSelectionChanged, LPARAM(&notify));
    }
    // A table row's choice: the tab, or with tab -1 the command.
    void Choose(int tab, WORD command)
    {
        if (tab >= 0)
            ChooseTab(tab);
        else
            SendMessageW(hwnd, WM_COMMAND, command, 0);
    }

    // A home picture in the comment view, grown to its full height.
    void ShowAPicture()
    {
        auto picture = std::make_shared<PictureRecord>();
        picture->shareId = "5001";
        window.Services().Store()->StorePicture(PictureListId{feed_kind::kHome, {}}, 0, picture);
        SendMessageW(hwnd, UM_SHOW_PICTURE_INFO, feed_kind::kHome, 0);
        ASSERT_TRUE(PumpUntil([&] { return !window.CommentView().Animating(); }));
    }
    // The skin's controls read where the pointer really is.
    void MovePointer(POINT point)
    {
        SetCursorPos(point.x, point.y);
        SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(point.x, point.y));
    }
    void ClickAt(POINT point)
    {
        MovePointer(point);
        const LPARAM at = MAKELPARAM(point.x, point.y);
        SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(hwnd, WM_LBUTTONUP, 0, at);
    }
    // Until the feed workers started so far have ended.
    bool SettleFeeds()
    {
        return PumpUntil([&] { return window.Services().Feeds()->tracker->Running() == 0; });
    }

    Qaurn_Navigate_window window;
    HWND hwnd = nullptr;
};

TEST_F(BrowsePanelsTest, TheCategoriesFoldTheCommentViewAndOnesPeopleUnfoldIt)
{
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    CCommentWnd& view = window.CommentView();
    bool pinned = false;
    struct Row {
        const char* what;
        bool pinned, foldedBefore, inputBefore;
        int tab;  // -1: the command instead
        WORD command;
        bool folded, inputOpen;
    } rows[] = {
        {"the categories close an open input", false, false, true, 0, 0, false, false},
        {"the categories fold the pinned view", true, false, false, 0, 0, true, false},
        {"own follows unfold the pinned view", true, true, false, -1, CMD_FIRST_USER_MENU + 2, false, false},
        {"own fans unfold the pinned view", true, true, false, -1, CMD_FIRST_USER_MENU + 3, false, false},
    };
    for (const Row& row : rows) {
        ShowAPicture();
        if (pinned != row.pinned) {
            const RECT panel = view.PanelRect();
            ClickAt(POINT{panel.right - 12, panel.top + 12});
            pinned = row.pinned;
        }
        ASSERT_TRUE(PumpUntil([&] { return !view.Animating(); })) << row.what;
        view.Fold(row.foldedBefore);
        ASSERT_TRUE(PumpUntil([&] { return !view.Animating(); })) << row.what;
        if (!row.inputBefore)
            view.CancelInput();
        else if (!view.InputOpen())
            SendMessageW(hwnd, WM_COMMAND, CMD_COMMENT, 0);
        ASSERT_EQ(view.Folded(), row.foldedBefore) << row.what;
        ASSERT_EQ(view.InputOpen(), row.inputBefore) << row.what;
        Choose(row.tab, row.command);
        EXPECT_EQ(view.Folded(), row.folded) << row.what;
        EXPECT_EQ(view.InputOpen(), row.inputOpen) << row.what;
    }
}

// C opens the comment input for the picture on show, as the comment button
// does; not with Ctrl or Alt held, and an open input stays open.
TEST_F(BrowsePanelsTest, CTheKeyOpensTheCommentInput)
{
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    CCommentWnd& view = window.CommentView();
    struct Row {
        const char* what;
        bool inputBefore;
        WPARAM key;
        BYTE held;  // a modifier held with it, or 0
        bool inputOpen;
    } const kRows[] = {
        {"c opens it", false, 'C', 0, true},
        {"c leaves it open", true, 'C', 0, true},
        {"ctrl+c is not c", false, 'C', VK_CONTROL, false},
        {"alt+c is not c", false, 'C', VK_MENU, false},
        {"another letter", false, 'X', 0, false},
    };
    ShowAPicture();
    ASSERT_TRUE(PumpUntil([&] { return view.IsShown() && !view.Animating(); }));
    for (const Row& row : kRows) {
        view.CancelInput();
        if (row.inputBefore)
            SendMessageW(hwnd, WM_COMMAND, CMD_COMMENT, 0);
        ASSERT_EQ(view.InputOpen(), row.inputBefore) << row.what;
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        if (row.held)
            keys[row.held] = 0x80;
        SetKeyboardState(keys);
        SendMessageW(hwnd, WM_KEYDOWN, row.key, 1);
        if (row.held)
            keys[row.held] = 0;
        SetKeyboardState(keys);
        EXPECT_EQ(view.InputOpen(), row.inputOpen) << row.what;
        EXPECT_EQ(view.Mode(), CCommentWnd::kInputComment) << row.what;
    }
    view.CancelInput();
}

// A move from one category button to the next leaves to be drawn only the
// two buttons and the strip's column, where it was and where it drops to.
TEST_F(BrowsePanelsTest, AMoveToTheNextCategoryInvalidatesOnlyWhatChanged)
{
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    ChooseTab(0);
    const CategoryBar& bar = window.Content().Categories();
    ASSERT_TRUE(bar.IsVisible());
    PumpUntil([] { return false; });  // the fade ends
    const auto middle = [](const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; };
    const auto rectRegion = [](const RECT& r) { return CreateRectRgn(r.left, r.top, r.right, r.bottom); };
    MovePointer(middle(bar.ButtonRect(2)));
    ASSERT_TRUE(window.Strip().IsVisible());
    const RECT before = window.Strip().PaintArea();
    ValidateRect(hwnd, nullptr);

    MovePointer(middle(bar.ButtonRect(3)));
    win32kit::ScopedGdiObject<HRGN> changed(CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(GetUpdateRgn(hwnd, changed.Get(), FALSE), NULLREGION);
    win32kit::ScopedGdiObject<HRGN> expected(rectRegion(bar.ButtonRect(2)));
    for (const RECT& part : {bar.ButtonRect(3), before, window.Strip().PaintArea()}) {
        win32kit::ScopedGdiObject<HRGN> piece(rectRegion(part));
        CombineRgn(expected.Get(), expected.Get(), piece.Get(), RGN_OR);
    }
    RECT client{};
    GetClientRect(hwnd, &client);
    win32kit::ScopedGdiObject<HRGN> inside(rectRegion(client));
    CombineRgn(expected.Get(), expected.Get(), inside.Get(), RGN_AND);
    RECT box{};
    GetRgnBox(changed.Get(), &box);
    EXPECT_TRUE(EqualRgn(changed.Get(), expected.Get()))
        << "to be drawn: " << box.left << "," << box.top << " - " << box.right << "," << box.bottom;
}

// C pressed while the view still grows opens the input before the view is
// tall enough to show it; the keyboard goes to the input once it shows.
TEST_F(BrowsePanelsTest, CWhileTheViewGrowsGivesTheInputTheKeyboard)
{
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    CCommentWnd& view = window.CommentView();
    ShowAPicture();
    ASSERT_TRUE(PumpUntil([&] { return view.IsShown() && !view.Animating(); }));
    view.CancelInput();
    view.Show(false);
    view.Show(true);  // grows again from nothing
    SendMessageW(hwnd, WM_KEYDOWN, 'C', 1);
    ASSERT_TRUE(view.InputOpen());
    const auto inputHasFocus = [] {
        wchar_t name[32] = {};
        GetClassNameW(GetFocus(), name, 32);
        return std::wstring(name) == L"CommentEdit";
    };
    EXPECT_TRUE(PumpUntil([&] { return inputHasFocus() || !view.Animating(); }));
    EXPECT_TRUE(inputHasFocus());
    view.CancelInput();
}

// The local service finds no one for "zzzz", seven pictures for "风景" and
// fourteen for "a"; the row holds ten at 1920 pixels, fewer on a narrower
// screen, and a page is what it holds.
TEST_F(BrowsePanelsTest, SearchesSayWhatTheyFoundAndPageThroughIt)
{
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    const ContentPanels& content = window.Content();
    const FeedStore& store = *window.Services().Store();
    const RECT slot = browse_layout::RowSlot(0);
    const POINT firstSlot{slot.left + 20, slot.top + 20};
    constexpr int kPage = -2;
    struct Row {
        const char* what;
        int choice;  // 0 people, 1 pictures
        const wchar_t* text;
        bool noOneFound;
        bool pagesShown;
        int firstAfterNext;  // -1: no picture row; kPage: the second page's first
    } rows[] = {
        {"people not found", 0, L"zzzz", true, false, -1},
        {"pictures on one page", 1, L"风景", false, false, 0},
        {"pictures over two pages", 1, L"a", false, true, kPage},
    };
    for (const Row& row : rows) {
        SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(CMD_SEARCH_FIELD, 5), 0);
        if (row.choice == 1)
            SendMessageW(hwnd, WM_KEYDOWN, VK_DOWN, 0);
        window.Content().RunSearch(row.text);
        ASSERT_TRUE(SettleFeeds()) << row.what;
        UpdateWindow(hwnd);
        if (row.choice == 0) {
            EXPECT_EQ(content.Users().AnsweredNoOne(store), row.noOneFound) << row.what;
            continue;
        }
        EXPECT_EQ(content.Row().PagesShown(), row.pagesShown) << row.what;
        SendMessageW(hwnd, WM_COMMAND, CMD_OWN_NEXT, 0);
        const int expected = row.firstAfterNext == kPage ? content.Row().SlotCount() : row.firstAfterNext;
        ASSERT_GT(content.Row().SlotCount(), 7) << "seven found pictures would not fit one page";
        EXPECT_EQ(content.Row().IndexAt(store, firstSlot), expected) << row.what;
    }
}

TEST_F(BrowsePanelsTest, ACategoryClickAsksForItsCommentsOnceAndNotForItsPicturesAgain)
{
    struct Row {
        const char* what;
        int category;
    } rows[] = {
        {"the first category", 0},
        {"the last category", 7},
        {"the first again", 0},
    };
    for (const Row& row : rows) {
        const PictureListId list{feed_kind::kFirstCategory + row.category, {}};
        FeedStore& store = *window.Services().Store();
        // The list names the categories, then their feeds are fetched.
        if (store.PictureCount(list) == 0)
            window.Services().Fetcher().LoadCategoryList();
        ASSERT_TRUE(PumpUntil([&] { return store.PictureCount(list) > 0; })) << row.what;
        ASSERT_TRUE(SettleFeeds()) << row.what;
        const std::string shareId = store.Picture(list, 0)->shareId;
        const std::string feed = "action=c_cate&cate=";
        const std::string comments = "c_comment_list&id=" + shareId;
        const int feeds = CountRequests(feed);
        const int asked = CountRequests(comments);
        SendMessageW(hwnd, WM_COMMAND, CMD_FIRST_CATEGORY + row.category, 0);
        ASSERT_TRUE(SettleFeeds()) << row.what;
        EXPECT_EQ(CountRequests(feed) - feeds, 0) << row.what;
        EXPECT_EQ(CountRequests(comments) - asked, 1) << row.what;
    }
}

// A service that was down at start leaves the bar without categories; once
// it is back, the categories tab asks for the list again, and only then.
TEST_F(BrowsePanelsTest, TheCategoriesTabAsksForAListThatNeverCame)
{
    // Signed in, the list is asked for at u.php.
    const std::string listed = "/u.php?action=c_all";
    FeedStore& store = *window.Services().Store();
    ASSERT_TRUE(store.CategoryCode("1").empty());
    struct Row {
        const char* what;
        int asked;  // list requests the tab makes
    } rows[] = {
        {"no list yet", 1},
        {"the list came", 0},
    };
    for (const Row& row : rows) {
        const int before = CountRequests(listed);
        ChooseTab(0);
        ASSERT_TRUE(SettleFeeds()) << row.what;
        EXPECT_EQ(CountRequests(listed) - before, row.asked) << row.what;
    }
    EXPECT_FALSE(store.CategoryCode("1").empty());
}

TEST_F(BrowsePanelsTest, TheSearchFieldShowsTheTextCursorAndHoversEndWhenThePointerLeaves)
{
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    UpdateWindow(hwnd);
    const ContentPanels& content = window.Content();
    const RECT cell = browse_layout::UserCell(0);
    const POINT overCell{cell.left + 20, cell.top + 20};
    window.Content().RunSearch(L"1001");
    ASSERT_TRUE(PumpUntil([&] {
        MovePointer(overCell);
        return content.Users().Hovered() == 0;
    }));
    TRACKMOUSEEVENT tracked{};
    tracked.cbSize = sizeof(tracked);
    tracked.dwFlags = TME_QUERY;
    ASSERT_TRUE(TrackMouseEvent(&tracked));
    EXPECT_TRUE(tracked.dwFlags & TME_LEAVE) << "a move asks to hear of the pointer leaving";
    EXPECT_EQ(tracked.hwndTrack, hwnd);
    SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(content.Users().Hovered(), -1) << "the card ends when the pointer leaves";

    const RECT field = window.SearchFieldRect();
    SetCursorPos((field.left + field.right) / 2, (field.top + field.bottom) / 2);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_TRUE(SendMessageW(hwnd, WM_SETCURSOR, WPARAM(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_IBEAM));
}

// The viewer sends it after each step; the view follows the picture.
TEST_F(BrowsePanelsTest, AfterAStepTheCommentViewFollowsThePicture)
{
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    CCommentWnd& view = window.CommentView();
    FeedStore& store = *window.Services().Store();
    struct Row {
        const char* what;
        bool forgotten;  // the list under the view is forgotten first
        int tab;  // -1: the viewer stays as it is
        POINT pointer;
        bool shownBefore, shown;
    } rows[] = {
        {"a list forgotten under the view", true, -1, {900, 600}, true, false},
        {"the pointer on a panel's band", false, 0, {900, 80}, false, false},
    };
    for (const Row& row : rows) {
        ShowAPicture();
        if (row.tab >= 0)
            ChooseTab(row.tab);
        if (!row.shownBefore)
            view.Show(false);
        if (row.forgotten)
            store.ForgetKind(feed_kind::kHome);
        SetCursorPos(row.pointer.x, row.pointer.y);
        SendMessageW(hwnd, UM_UPDATE_COMMENT_VIEW, 0, 0);
        EXPECT_EQ(view.IsShown(), row.shown) << row.what;
    }
}

// The strip's scrolling rests for a picture shown with the reset; the home
// feed's picture makes the home feed the one preloaded.
TEST_F(BrowsePanelsTest, TheStripFollowsTheLargePicturesMessages)
{
    PictureStrip& strip = window.Strip();
    for (int i = 0; i < 10; ++i)
        window.Services().Store()->StorePicture(
            PictureListId{feed_kind::kFirstCategory, {}}, std::size_t(i), std::make_shared<PictureRecord>());
    const std::string path = "C:\\cache\\shown.jpg";
    struct Row {
        const char* what;
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
        int first, feed;
    } rows[] = {
        {"a large picture with the reset", UM_SHOW_LARGE_PICTURE, kResetStripScroll, LPARAM(&path), 0, 0},
        {"the home feed's picture", UM_SHOW_PICTURE_INFO, feed_kind::kHome, 0, 0, feed_kind::kHome},
    };
    for (const Row& row : rows) {
        strip.SetGeometry(128, 128, 129, 4);
        strip.Anchor(100);
        strip.SetSource(PictureStrip::kFeedSource, feed_kind::kFirstCategory, {}, 0);
        strip.SetVisible(true);
        strip.OnCommand(CMD_STRIP_NEXT);
        SendMessageW(hwnd, row.msg, row.wParam, row.lParam);
        for (int step = 0; step < 45; ++step)
            strip.OnTimer(kStripScrollTimer);
        EXPECT_EQ(strip.FirstIndex(), row.first) << row.what;
        EXPECT_EQ(strip.FeedNumber(), row.feed) << row.what;
    }
}

// The home feed's first picture opens by a message the window posts to
// itself from a paint; a tab chosen before that message is handled (in the
// same click, or by the click the paint came before) must stay chosen.
TEST_F(BrowsePanelsTest, ATabChosenWhileTheHomePictureIsAskedForStaysChosen)
{
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    auto picture = std::make_shared<PictureRecord>();
    picture->shareId = "5001";
    picture->largePath = "C:\\cache\\beauties_l\\home.jpg";
    window.Services().Store()->StorePicture(PictureListId{feed_kind::kHome, {}}, 0, picture);
    // Two paints before the first of their messages is handled: two asks.
    for (int paint = 0; paint < 2; ++paint) {
        InvalidateRect(hwnd, nullptr, FALSE);
        UpdateWindow(hwnd);
    }
    ChooseTab(0);
    ASSERT_FALSE(window.ViewerUp());
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message != WM_QUIT)
            DispatchMessageW(&msg);
    }
    EXPECT_FALSE(window.ViewerUp());
    EXPECT_EQ(window.CurrentPicturePath(), L"");
    EXPECT_EQ(window.Content().Mode(), kContentCategories);
}

TEST_F(BrowsePanelsTest, TabsAndMenuEntriesShowOnePanelAtATime)
{
    const ContentPanels& content = window.Content();
    struct Row {
        int tab;  // -1: the command instead
        WORD command;
        ContentMode mode;
        bool categories, hotTags, users, row;
        int panelMode;  // of the user list or the row, whichever shows
    } rows[] = {
        {0, 0, kContentCategories, true, false, false, false, -1},
        {-1, CMD_FIRST_USER_MENU + 2, kContentUserList, false, false, true, false, UserListPanel::kFollows},
        {-1, CMD_FIRST_USER_MENU, kContentPictureRow, false, false, false, true, MyPicturesRow::kPublished},
        {-1, CMD_FIRST_USER_MENU + 1, kContentPictureRow, false, false, false, true, MyPicturesRow::kLiked},
        {-1, CMD_FIRST_USER_MENU + 3, kContentUserList, false, false, true, false, UserListPanel::kFans},
        {1, 0, kContentHotTags, false, true, false, false, -1},
        {2, 0, kContentFeatured, false, false, true, false, UserListPanel::kFeatured},
    };
    for (const Row& row : rows) {
        Choose(row.tab, row.command);
        const int what = row.tab >= 0 ? row.tab : row.command;
        EXPECT_EQ(content.Mode(), row.mode) << what;
        EXPECT_EQ(content.Categories().IsVisible(), row.categories) << what;
        EXPECT_EQ(content.HotTags().IsVisible(), row.hotTags) << what;
        EXPECT_EQ(content.Users().IsVisible(), row.users) << what;
        EXPECT_EQ(content.Row().IsVisible(), row.row) << what;
        const int panelMode = row.users ? content.Users().Mode() : row.row ? content.Row().Mode() : -1;
        EXPECT_EQ(panelMode, row.panelMode) << what;
    }
}

// A panel shown and left again holds nothing of its own drawing: in the
// tray for weeks, every panel once shown would otherwise keep its surfaces.
TEST_F(BrowsePanelsTest, APanelLeftAgainKeepsNoSurfaces)
{
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    struct Row {
        const char* what;
        int tab;  // -1: the command instead
        WORD command;
    } rows[] = {
        {"hot tags", 1, 0},
        {"own published pictures", -1, CMD_FIRST_USER_MENU},
        {"own liked pictures", -1, CMD_FIRST_USER_MENU + 1},
    };
    const auto paintAfter = [&](int tab, WORD command) {
        Choose(tab, command);
        const bool settled = SettleFeeds();
        UpdateWindow(hwnd);
        return settled;
    };
    ASSERT_TRUE(paintAfter(0, 0));
    if (LiveGdiObjects() < 0)
        GTEST_SKIP() << "this Wine keeps no GDI handle table to count (32-bit)";
    for (const Row& row : rows) {
        const long before = LiveGdiObjects();
        ASSERT_GE(before, 0) << "no count of GDI objects";
        ASSERT_TRUE(paintAfter(row.tab, row.command)) << row.what;
        ASSERT_NE(window.Content().Mode(), kContentCategories) << row.what;
        ASSERT_TRUE(paintAfter(0, 0)) << row.what;
        EXPECT_EQ(LiveGdiObjects(), before) << row.what << ": left, it still holds GDI objects";
    }
}

TEST_F(BrowsePanelsTest, ThePersonBarStaysForThePersonsOwnPagesOnly)
{
    const ContentPanels& content = window.Content();
    const RECT cell = browse_layout::UserCell(0);
    const LPARAM overCell = MAKELPARAM(cell.left + 20, cell.top + 20);
    struct Row {
        const char* what;
        int tab;  // -1: the command instead
        WORD command;
        bool personShown;
    } rows[] = {
        {"the categories tab", 0, 0, false},
        {"the hot-tag tab", 1, 0, false},
        {"own fans", -1, CMD_FIRST_USER_MENU + 3, false},
        {"own published pictures", -1, CMD_FIRST_USER_MENU, false},
        {"the person's follows", -1, CMD_PERSON_FOLLOWS, true},
        {"the person's pictures", -1, CMD_PERSON_PUBLISHED, true},
    };
    for (const Row& row : rows) {
        // A featured person, hovered, then shown.
        ChooseTab(2);
        ASSERT_TRUE(PumpUntil([&] {
            SendMessageW(hwnd, WM_MOUSEMOVE, 0, overCell);
            SendMessageW(hwnd, WM_COMMAND, CMD_AUTHOR_AVATAR, 0);
            return content.Person().IsVisible();
        })) << row.what;
        Choose(row.tab, row.command);
        EXPECT_EQ(content.Person().IsVisible(), row.personShown) << row.what;
    }
}

TEST_F(BrowsePanelsTest, TheUsersOwnCardHasNoFollowToggle)
{
    // The local service finds the signed-in user, 1001, by number.
    window.Content().RunSearch(L"1001");
    const ContentPanels& content = window.Content();
    const RECT cell = browse_layout::UserCell(0);
    ASSERT_TRUE(PumpUntil([&] {
        SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(cell.left + 20, cell.top + 20));
        return content.Users().Hovered() == 0;
    }));
    // A click where a toggle would be is a click on the person.
    const RECT toggle = browse_layout::FollowToggle(cell);
    const LPARAM onToggle = MAKELPARAM(toggle.left + 5, toggle.top + 5);
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, onToggle);
    SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, onToggle);
    SendMessageW(hwnd, WM_LBUTTONUP, 0, onToggle);
    EXPECT_TRUE(content.Person().IsVisible());
    EXPECT_EQ(content.Person().Uid(), "1001");
}

TEST_F(BrowsePanelsTest, SigningOutLeavesNoListOfTheUsersOwnOnScreen)
{
    // Signing out needs the login window: made while no one is signed in.
    SetSignedIn(false);
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(CMD_LOGIN, 0), 0);
    const ContentPanels& content = window.Content();
    struct Row {
        const char* what;
        int tab;  // -1: the command instead
        WORD command;
        ContentMode after;
    } rows[] = {
        {"own published pictures", -1, CMD_FIRST_USER_MENU, kContentCategories},
        {"own liked pictures", -1, CMD_FIRST_USER_MENU + 1, kContentCategories},
        {"own follows", -1, CMD_FIRST_USER_MENU + 2, kContentCategories},
        {"own fans", -1, CMD_FIRST_USER_MENU + 3, kContentCategories},
        {"featured users", 2, 0, kContentFeatured},
        {"hot tags", 1, 0, kContentHotTags},
    };
    for (const Row& row : rows) {
        SetSignedIn(true);
        Choose(row.tab, row.command);
        SendMessageW(hwnd, WM_COMMAND, CMD_SIGN_OUT, 0);
        ASSERT_FALSE(IsSignedIn()) << row.what;
        EXPECT_EQ(content.Mode(), row.after) << row.what;
        EXPECT_EQ(content.Categories().IsVisible(), row.after == kContentCategories) << row.what;
        EXPECT_EQ(content.Row().IsVisible(), false) << row.what;
        EXPECT_EQ(content.Users().IsVisible(), row.after == kContentFeatured) << row.what;
    }
}

TEST_F(BrowsePanelsTest, TheMenuOpensFromTheAvatarForASignedInUserOnly)
{
    const ContentPanels& content = window.Content();
    struct Row {
        const char* what;
        bool signedIn;
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
        bool open;
    } rows[] = {
        {"signed out", false, WM_COMMAND, MAKEWPARAM(CMD_AVATAR, kButtonMouseEnter), 0, false},
        {"a click is no hover", true, WM_COMMAND, MAKEWPARAM(CMD_AVATAR, 0), 0, false},
        {"the pointer enters the avatar", true, WM_COMMAND, MAKEWPARAM(CMD_AVATAR, kButtonMouseEnter), 0, true},
        {"the pointer leaves below", true, WM_MOUSEMOVE, 0, MAKELPARAM(GetSystemMetrics(SM_CXSCREEN) - 100, 600),
            false},
    };
    for (const Row& row : rows) {
        SetSignedIn(row.signedIn);
        SendMessageW(hwnd, row.msg, row.wParam, row.lParam);
        EXPECT_EQ(content.Menu().IsOpen(), row.open) << row.what;
    }
}

// The local service's unread notices: user 1001 has most new followers,
// 1002 only replies. One window for all rows: closing a web window costs
// seconds under Wine.
TEST(NoticeButton, OpensThePageOfTheKindWithMostNews)
{
    DefaultBrowserRecorder browser;
    Qaurn_Navigate_window window;
    ASSERT_TRUE(window.CreateFullScreen());
    const HWND hwnd = window.GetHWND();
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    struct Row {
        const char* what;
        const char* uid;
        bool signedInAtClick;
        const char* page;  // null: none opens
    } rows[] = {
        {"signed out since the check", "1001", false, nullptr},
        {"new followers the most", "1001", true, "atten_page"},
        {"new replies only", "1002", true, "reply_page"},
    };
    for (const Row& row : rows) {
        SignedInUser user;
        user.signedIn = true;
        user.uid = row.uid;
        user.token = Md5Hex(std::string("quarn-token:") + row.uid);
        StoreSignedInUser(user);
        // The login hides the last user's notice; the check shows this one's.
        SendMessageW(hwnd, UM_LOGIN_STATE, 0, kLoginEnded);
        UpdateWindow(hwnd);
        ASSERT_TRUE(PumpUntil([&] { return window.Content().NoticeShown(); })) << row.what;
        SetSignedIn(row.signedInAtClick);
        browser.Clear();
        SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(CMD_NOTICE, 0), 0);
        const CQNWebBrowser2* web = window.WebWindowIfMade();
        if (!row.page) {
            EXPECT_EQ(web, nullptr) << row.what;
            continue;
        }
        ASSERT_NE(web, nullptr) << row.what;
        const std::string expected = std::string(QUARN_SERVICE_BASE_URL) + "u.php?action=" + row.page
            + "&uid=" + row.uid + "&token=" + user.token + "&rand=";
        EXPECT_EQ(Narrow(web->Address()).rfind(expected, 0), 0u) << row.what << ": " << Narrow(web->Address());
        EXPECT_TRUE(PumpUntil([&] { return browser.Opened().find(expected) != std::string::npos; }))
            << row.what << ": " << browser.Opened();
    }
    SetSignedIn(false);
}

}  // namespace
