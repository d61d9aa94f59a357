#include "win32/window_message_sink.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr UINT kProbe = WM_APP + 7;

struct Received {
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Received> g_received;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == kProbe) {
        g_received.push_back({wParam, lParam});
        return LRESULT(wParam + 1);
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Shown: a hidden window has nothing to repaint.
HWND MakeWindow()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = RecordingProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QuarnSinkProbe";
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, L"QuarnSinkProbe", L"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
        GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

TEST(WindowMessageSink, SendPostAndInvalidateReachTheWindow)
{
    HWND window = MakeWindow();
    ASSERT_NE(window, nullptr);
    WindowMessageSink sink(window);
    g_received.clear();

    // Sent: handled before Send returns, with the handler's result.
    EXPECT_EQ(sink.Send(kProbe, 41, -3), 42);
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(g_received[0].lParam, -3);

    // Posted: queued until the window's thread reads it.
    EXPECT_TRUE(sink.Post(kProbe, 7, 2012));
    EXPECT_EQ(g_received.size(), 1u);
    MSG message;
    while (PeekMessageW(&message, window, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
    ASSERT_EQ(g_received.size(), 2u);
    EXPECT_EQ(g_received[1].wParam, 7u);
    EXPECT_EQ(g_received[1].lParam, 2012);

    ValidateRect(window, nullptr);
    sink.Invalidate();
    RECT update{};
    EXPECT_TRUE(GetUpdateRect(window, &update, FALSE));

    DestroyWindow(window);
    EXPECT_FALSE(WindowMessageSink(window).Post(kProbe, 0, 0));
}
