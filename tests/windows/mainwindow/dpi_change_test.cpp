// A window told by WM_DPICHANGED takes the rectangle the system suggests and
// lays its controls out again for the new DPI.
#include "main_window.h"
#include "program_folder.h"
#include "set_dlg.h"
#include "signed_in_user.h"
#include "skinkit/dpi.h"
#include "skinkit/tab.h"
#include "window_messages.h"
#include "window_pump.h"
#include "wizard_dlg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

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

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

bool Inside(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right
        && inner.bottom <= outer.bottom;
}

bool Apart(const RECT& a, const RECT& b)
{
    RECT both{};
    return !IntersectRect(&both, &a, &b);
}

// A length at dpi is its 96-DPI length scaled, give or take the rounding.
void ExpectScaled(int measured, int at96, int dpi, const char* what)
{
    EXPECT_NEAR(measured, skinkit::ScaleToDpi(at96, dpi), 1) << what << " at " << dpi << " DPI";
}

// What the table compares between DPIs.
struct MainLayout {
    RECT screen{};
    RECT window{};
    std::vector<RECT> categories;
    RECT strip{};
    RECT search{};
    RECT comments{};
};

// The main window told dpi, its categories shown and the first one's strip
// dropped by the pointer.
MainLayout LayOutMainWindowAt(int dpi)
{
    MainLayout layout;
    Qaurn_Navigate_window window;
    EXPECT_TRUE(window.CreateFullScreen());
    const HWND hwnd = window.GetHWND();
    layout.screen = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&layout.screen));
    EXPECT_EQ(skinkit::WindowDpi(hwnd), dpi);
    GetWindowRect(hwnd, &layout.window);
    CTabNotify notify{};
    notify.item = 0;
    SendMessageW(hwnd, UM_TAB_NOTIFY, kTabSelectionChanged, LPARAM(&notify));
    const CategoryBar& categories = window.Content().Categories();
    EXPECT_TRUE(categories.IsVisible());
    for (int i = 0; i < browse_layout::kCategoryCount; ++i)
        layout.categories.push_back(categories.ButtonRect(i));
    const RECT first = layout.categories[0];
    const POINT over{(first.left + first.right) / 2, (first.top + first.bottom) / 2};
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(over.x, over.y));
    EXPECT_TRUE(window.Strip().IsVisible());
    layout.strip = window.Strip().Area();
    layout.search = window.SearchFieldRect();
    window.CommentView().Show(true);
    layout.comments = window.CommentView().PanelRect();
    DestroyWindow(hwnd);
    return layout;
}

// The main window with a category's strip dropped, at each DPI: its parts
// at their 96-DPI sizes scaled, inside the screen and apart. On a screen too
// narrow for the scaled category bar its buttons shrink to fit.
TEST(DpiLayout, TheMainWindowWithAStripOpenIsLaidOutForItsDpi)
{
    MarkNotFirstRun();
    SetSignedIn(false);
    const MainLayout base = LayOutMainWindowAt(96);
    for (const int dpi : {96, 120, 144, 192}) {
        SCOPED_TRACE(dpi);
        const MainLayout at = LayOutMainWindowAt(dpi);
        EXPECT_TRUE(EqualRect(&at.window, &at.screen)) << "the suggested rectangle is taken";

        const int fitting = Width(at.screen) / browse_layout::kCategoryCount;
        for (std::size_t i = 0; i < at.categories.size(); ++i) {
            const RECT& button = at.categories[i];
            EXPECT_TRUE(Inside(button, at.screen)) << "category " << i;
            EXPECT_GE(Width(button), Width(base.categories[i])) << "category " << i;
            EXPECT_LE(Width(button), std::max(Width(base.categories[i]), fitting)) << "category " << i;
            EXPECT_NEAR(Height(button) * 130, Width(button) * 66, 130) << "category " << i << " keeps its shape";
            if (i > 0) {
                EXPECT_TRUE(Apart(button, at.categories[i - 1])) << "category " << i;
            }
        }
        if (skinkit::ScaleToDpi(browse_layout::kCategoryWidth, dpi) <= fitting)
            ExpectScaled(Width(at.categories[0]), Width(base.categories[0]), dpi, "a category");

        ExpectScaled(Width(at.strip), Width(base.strip), dpi, "the strip's thumbnails");
        ExpectScaled(at.strip.top, base.strip.top, dpi, "the strip's top");
        EXPECT_EQ(at.strip.left, at.categories[0].left) << "the strip hangs from its button";
        EXPECT_TRUE(Inside(at.strip, at.screen)) << "the strip ends on the screen";
        EXPECT_GE(Height(at.strip), Width(at.strip)) << "at least one thumbnail";
        EXPECT_GE(at.strip.top, at.categories[0].bottom) << "the strip drops below the bar";

        ExpectScaled(Width(at.search), Width(base.search), dpi, "the search field's width");
        ExpectScaled(Height(at.search), Height(base.search), dpi, "the search field's height");
        ExpectScaled(Width(at.comments), Width(base.comments), dpi, "the comment view's width");
        ExpectScaled(at.comments.top, base.comments.top, dpi, "the comment view's top");
        EXPECT_TRUE(Inside(at.comments, at.screen)) << "the comment view";
    }
}

// The main window told a new DPI takes the suggested rectangle and moves its
// controls: the search field goes where the new DPI puts it.
TEST(DpiChange, TheMainWindowTakesTheRectangleAndMovesItsControls)
{
    MarkNotFirstRun();
    SetSignedIn(false);
    Qaurn_Navigate_window window;
    ASSERT_TRUE(window.CreateFullScreen());
    const HWND hwnd = window.GetHWND();
    const RECT before = window.SearchFieldRect();
    const RECT suggested{16, 12, 16 + 1200, 12 + 760};
    SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    RECT taken{};
    GetWindowRect(hwnd, &taken);
    EXPECT_TRUE(EqualRect(&taken, &suggested));
    const RECT after = window.SearchFieldRect();
    ExpectScaled(Height(after), Height(before), 144, "the search field's height");
    ExpectScaled(after.top, before.top, 144, "the search field's top");
    DestroyWindow(hwnd);
}

// The guide told a new DPI takes the suggested rectangle and places its
// close button for it: a click where the new DPI puts the button closes it.
TEST(DpiChange, TheGuideMovesItsCloseButtonWithTheDpi)
{
    constexpr SIZE kGuide{1366, 800};
    constexpr POINT kCloseRightTop{980, 560};
    for (const int dpi : {120, 192}) {
        SCOPED_TRACE(dpi);
        HWND owner
            = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(owner);
        skinkit::SetWindowDpi(owner, 96);
        auto* guide = new CQNWizardDlg(owner, ResourceFolder() + L"wizard\\");
        ASSERT_TRUE(guide->Create());
        guide->DeleteWhenGone();
        guide->Show(true);
        const HWND hwnd = guide->GetHWND();
        // Inside the button's right end where the new DPI puts it, once the
        // intro has shown it; at 96 DPI that point is off the button. The
        // window is placed so that the point is on the screen.
        const POINT at{skinkit::ScaleToDpi(kCloseRightTop.x - 5, dpi), skinkit::ScaleToDpi(kCloseRightTop.y + 5, dpi)};
        const POINT corner{400 - at.x, 300 - at.y};
        const RECT suggested{corner.x, corner.y, corner.x + skinkit::ScaleToDpi(kGuide.cx, dpi),
            corner.y + skinkit::ScaleToDpi(kGuide.cy, dpi)};
        SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        RECT taken{};
        GetWindowRect(hwnd, &taken);
        EXPECT_TRUE(EqualRect(&taken, &suggested));
        EXPECT_EQ(skinkit::WindowDpi(hwnd), dpi);

        const LPARAM where = MAKELPARAM(at.x, at.y);
        const bool closed = PumpFor(std::chrono::seconds(20), [&] {
            if (!IsWindow(hwnd))
                return true;
            SetCursorPos(taken.left + at.x, taken.top + at.y);
            SendMessageW(hwnd, WM_MOUSEMOVE, 0, where);
            SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, where);
            SendMessageW(hwnd, WM_LBUTTONUP, 0, where);
            return false;
        });
        EXPECT_TRUE(closed);
        if (IsWindow(hwnd))
            DestroyWindow(hwnd);
        DestroyWindow(owner);
    }
}

}  // namespace
