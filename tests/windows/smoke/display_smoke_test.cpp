// Windows reach the X display: a painted window can be read back from the
// screen. Skipped without DISPLAY (tools/test-all.sh always starts Xvfb).
#include <windows.h>

#include <cstdlib>

#include <gtest/gtest.h>

namespace {

const wchar_t kClassName[] = L"QuarnDisplaySmoke";
constexpr COLORREF kFill = RGB(12, 200, 34);

LRESULT CALLBACK FillProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message != WM_PAINT) {
        return DefWindowProcW(window, message, wparam, lparam);
    }
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    HBRUSH brush = CreateSolidBrush(kFill);
    FillRect(dc, &paint.rcPaint, brush);
    DeleteObject(brush);
    EndPaint(window, &paint);
    return 0;
}

class PopupWindow {
public:
    PopupWindow(HINSTANCE instance, const RECT& place)
        : instance_(instance)
    {
        WNDCLASSW window_class{};
        window_class.lpfnWndProc = FillProc;
        window_class.hInstance = instance;
        window_class.lpszClassName = kClassName;
        RegisterClassW(&window_class);
        window_ = CreateWindowExW(WS_EX_TOPMOST, kClassName, L"display smoke", WS_POPUP | WS_VISIBLE, place.left,
            place.top, place.right - place.left, place.bottom - place.top, nullptr, nullptr, instance, nullptr);
    }
    ~PopupWindow()
    {
        if (window_) {
            DestroyWindow(window_);
        }
        UnregisterClassW(kClassName, instance_);
    }
    PopupWindow(const PopupWindow&) = delete;
    PopupWindow& operator=(const PopupWindow&) = delete;

    HWND get() const { return window_; }

private:
    HINSTANCE instance_;
    HWND window_ = nullptr;
};

void PumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

COLORREF ScreenPixel(int x, int y)
{
    HDC screen = GetDC(nullptr);
    const COLORREF pixel = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return pixel;
}

TEST(DisplaySmoke, PaintedWindowShowsOnTheScreen)
{
    if (!std::getenv("DISPLAY")) {
        GTEST_SKIP() << "no DISPLAY";
    }
    const RECT place{30, 40, 230, 140};
    PopupWindow window(GetModuleHandleW(nullptr), place);
    ASSERT_NE(window.get(), nullptr);
    UpdateWindow(window.get());

    // The X server receives the window's pixels asynchronously; wait a bounded time.
    COLORREF seen = CLR_INVALID;
    for (int attempt = 0; attempt < 100 && seen != kFill; ++attempt) {
        PumpMessages();
        Sleep(50);
        seen = ScreenPixel(130, 90);
    }
    EXPECT_EQ(seen, kFill);
    // Outside the window the screen is not painted by it.
    EXPECT_NE(ScreenPixel(place.right + 20, place.bottom + 20), kFill);
}

}  // namespace
