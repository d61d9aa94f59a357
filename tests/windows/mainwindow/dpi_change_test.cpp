// A window told by WM_DPICHANGED takes the rectangle the system suggests and
// lays its controls out again for the new DPI.
#include "program_folder.h"
#include "set_dlg.h"
#include "skinkit/dpi.h"
#include "window_pump.h"

#include <gtest/gtest.h>

namespace {

// The settings dialog's close button at 96 DPI: its place and picture.
constexpr POINT kClosePlace{355, 8};
constexpr SIZE kDialogSize{425, 290};

TEST(DpiChange, TheSettingsDialogMovesItsCloseButtonWithTheDpi)
{
    for (const int dpi : {120, 144, 192}) {
        SCOPED_TRACE(dpi);
        HWND owner
            = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(owner);
        skinkit::SetWindowDpi(owner, 96);
        CQNSetDlg dialog(std::string("C:\\nowhere\\vlconfig.xml"));
        dialog.LoadImages(ResourceFolder(), 96);
        ASSERT_TRUE(dialog.Create(owner));
        dialog.Show(true);
        const HWND hwnd = dialog.GetHWND();

        const RECT suggested{
            40, 30, 40 + skinkit::ScaleToDpi(kDialogSize.cx, dpi), 30 + skinkit::ScaleToDpi(kDialogSize.cy, dpi)};
        SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        RECT window{};
        GetWindowRect(hwnd, &window);
        EXPECT_TRUE(EqualRect(&window, &suggested));
        EXPECT_EQ(dpi, skinkit::WindowDpi(hwnd));

        // Inside the close button where the new DPI puts it, and outside
        // where it was.
        const POINT inClient{skinkit::ScaleToDpi(kClosePlace.x + 5, dpi), skinkit::ScaleToDpi(kClosePlace.y + 5, dpi)};
        const POINT onScreen{window.left + inClient.x, window.top + inClient.y};
        SetCursorPos(onScreen.x, onScreen.y);
        const LPARAM at = MAKELPARAM(inClient.x, inClient.y);
        SendMessageW(hwnd, WM_MOUSEMOVE, 0, at);
        SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(hwnd, WM_LBUTTONUP, 0, at);
        EXPECT_TRUE(PumpFor(std::chrono::seconds(5), [&] { return !IsWindowVisible(hwnd); }));
        DestroyWindow(hwnd);
        DestroyWindow(owner);
    }
}

}  // namespace
