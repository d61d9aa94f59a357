// The window base: binding, the result rule, centring and the region.
#include <gtest/gtest.h>

#include "skinkit/memory_dc.h"
#include "skinkit/ostrel_window.h"
#include "test_window.h"

namespace {

TEST(WindowBaseTest, WindowAndObjectAreBoundThroughTheProperty)
{
    TestParent window;
    ASSERT_TRUE(window.Open(200, 100));
    HWND hwnd = window.GetHWND();
    EXPECT_EQ(static_cast<CWindowBase*>(&window), GetPropW(hwnd, L"VorlaneWnd"));
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(static_cast<CWindowBase*>(&window)), GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(200, client.right);
    EXPECT_EQ(100, client.bottom);
    // The base's window class answers with the arrow cursor and the double-click style.
    EXPECT_EQ(static_cast<UINT>(CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS), window.GetClassStyle());
}

TEST(WindowBaseTest, NonzeroResultSuppressesDefaultProcessingAndZeroLetsItRun)
{
    TestParent window;
    ASSERT_TRUE(window.Open(200, 100));
    HWND hwnd = window.GetHWND();
    // WM_GETTEXT claimed with result 0: the default still copies the title.
    window.watchMessage = WM_GETTEXT;
    window.resultToLeave = 0;
    wchar_t title[32] = {};
    EXPECT_EQ(12, SendMessageW(hwnd, WM_GETTEXT, 32, reinterpret_cast<LPARAM>(title)));
    EXPECT_STREQ(L"skinkit test", title);
    // A nonzero result is returned as is and the default never runs.
    window.resultToLeave = 77;
    title[0] = L'\0';
    EXPECT_EQ(77, SendMessageW(hwnd, WM_GETTEXT, 32, reinterpret_cast<LPARAM>(title)));
    EXPECT_STREQ(L"", title);
}

TEST(WindowBaseTest, CenterWindowKeepsAWideWindowInsideTheWorkArea)
{
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    TestParent window;
    ASSERT_TRUE(window.Open(work.right - work.left + 200, 100, 300, 300));
    window.CenterWindow();
    RECT r{};
    window.GetWindowRect(&r);
    EXPECT_EQ(work.left, r.left);

    TestParent small;
    ASSERT_TRUE(small.Open(200, 100, 0, 0));
    small.CenterWindow2();
    small.GetWindowRect(&r);
    EXPECT_EQ((work.left + work.right) / 2 - 100, r.left);
    EXPECT_EQ((work.top + work.bottom) / 2 - 50, r.top);
}

TEST(WindowBaseTest, ClientToScreenConvertsBothCorners)
{
    TestParent window;
    ASSERT_TRUE(window.Open(200, 100, 150, 120));
    RECT r{10, 20, 30, 40};
    EXPECT_TRUE(window.ClientToScreen(&r));
    EXPECT_EQ(160, r.left);
    EXPECT_EQ(140, r.top);
    EXPECT_EQ(180, r.right);
    EXPECT_EQ(160, r.bottom);
}

TEST(WindowBaseTest, RoundRegionCoversTheWindowButNotItsCorners)
{
    TestParent window;
    ASSERT_TRUE(window.Open(120, 80));
    window.SetRoundSize(30, 30);
    window.ReSetWindowRgn();
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(ERROR, GetWindowRgn(window.GetHWND(), region));
    EXPECT_TRUE(PtInRegion(region, 60, 40));
    EXPECT_TRUE(PtInRegion(region, 10, 1));
    EXPECT_FALSE(PtInRegion(region, 0, 0));
    DeleteObject(region);
}

TEST(MemoryDcTest, CreatesA32BitSurfaceAndReleasesIt)
{
    __ostrel_memory_dc surface;
    ASSERT_EQ(1, surface.Create_compatible_dc(nullptr, 40, 30, 1));
    ASSERT_NE(nullptr, surface.get_ghost());
    BITMAP info{};
    ASSERT_NE(0, GetObjectW(surface.GetBitmap(), sizeof(info), &info));
    EXPECT_EQ(40, info.bmWidth);
    EXPECT_EQ(30, info.bmHeight);
    EXPECT_EQ(32, info.bmBitsPixel);
    // A second call replaces the surface.
    ASSERT_EQ(1, surface.Create_compatible_dc(nullptr, 10, 10, 1));
    GetObjectW(surface.GetBitmap(), sizeof(info), &info);
    EXPECT_EQ(10, info.bmWidth);
    EXPECT_NE(0, surface.DeleteDC());
    EXPECT_EQ(nullptr, surface.get_ghost());
    EXPECT_EQ(nullptr, surface.GetBitmap());
}

TEST(OstrelWindowTest, LoadsItsBackgroundAndSizesItself)
{
    __ostrel_window window;
    ASSERT_TRUE(window.Create(nullptr, nullptr));
    RECT r{};
    window.GetWindowRect(&r);
    EXPECT_EQ(425, r.right - r.left);
    EXPECT_EQ(290, r.bottom - r.top);
    EXPECT_EQ(1u, window.Images().Size());
    EXPECT_NE(nullptr, window.Background().GetPicture());
    EXPECT_EQ(L"Chrome", window.GetSkinConfig(L"C:\\no-such-folder\\feyra.ini"));
    std::wstring config;
    window.GetConfigIniFile(config);
    EXPECT_EQ(window.GetAppPath() + L"\\feyra.ini", config);
    LONG_PTR ex = GetWindowLongPtrW(window.GetHWND(), GWL_EXSTYLE);
    EXPECT_TRUE(ex & WS_EX_LAYERED);
    DestroyWindow(window.GetHWND());
    MSG msg;
    // Its WM_DESTROY posts the quit message; take it off the queue.
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

}  // namespace
