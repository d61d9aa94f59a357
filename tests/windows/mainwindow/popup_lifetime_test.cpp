// The pop-ups made with new delete themselves once their window is gone,
// whatever closed it, and never while a message still reaches them.
#include "taskbar_icon_menu.h"
#include "window_pump.h"
#include "wizard_dlg.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

int g_menusGone = 0;
int g_wizardsGone = 0;

struct CountedMenu : CTaskBarIconMenu {
    ~CountedMenu() override { ++g_menusGone; }
};

struct CountedWizard : CQNWizardDlg {
    explicit CountedWizard(HWND owner)
        : CQNWizardDlg(owner, L"")
    {
    }
    ~CountedWizard() override { ++g_wizardsGone; }
};

HWND MakeOwner()
{
    return CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

struct Closing {
    const char* what;
    std::function<void(HWND popup, HWND owner)> close;
};

// The last row only for a pop-up with an owner window: the tray menu has none.
const Closing kClosings[] = {
    {"closed", [](HWND popup, HWND) { SendMessageW(popup, WM_CLOSE, 0, 0); }},
    {"closed by a posted close", [](HWND popup, HWND) { PostMessageW(popup, WM_CLOSE, 0, 0); }},
    {"destroyed", [](HWND popup, HWND) { DestroyWindow(popup); }},
    {"its owner destroyed", [](HWND, HWND owner) { DestroyWindow(owner); }},
};
constexpr std::size_t kClosingsWithoutOwner = 3;

}  // namespace

TEST(PopupLifetime, TheTrayMenuDeletesItselfOnceWhateverClosesIt)
{
    for (std::size_t row = 0; row < kClosingsWithoutOwner; ++row) {
        const Closing& closing = kClosings[row];
        g_menusGone = 0;
        auto* menu = new CountedMenu;
        const RECT place{0, 0, 120, 90};
        ASSERT_TRUE(menu->Create(nullptr, &place)) << closing.what;
        menu->DeleteWhenGone();
        const HWND popup = menu->GetHWND();
        closing.close(popup, nullptr);
        EXPECT_TRUE(PumpFor(std::chrono::seconds(5), [&] { return !IsWindow(popup); })) << closing.what;
        EXPECT_EQ(g_menusGone, 1) << closing.what;
    }
}

TEST(PopupLifetime, TheTrayMenuClosesWhenItLosesTheFocus)
{
    g_menusGone = 0;
    auto* menu = new CountedMenu;
    const RECT place{0, 0, 120, 90};
    ASSERT_TRUE(menu->Create(nullptr, &place));
    menu->DeleteWhenGone();
    const HWND popup = menu->GetHWND();
    SendMessageW(popup, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_TRUE(PumpFor(std::chrono::seconds(5), [&] { return g_menusGone == 1; }));
    EXPECT_FALSE(IsWindow(popup));
}

TEST(PopupLifetime, TheGuideDeletesItselfOnceWhateverClosesIt)
{
    for (const Closing& closing : kClosings) {
        g_wizardsGone = 0;
        HWND owner = MakeOwner();
        auto* wizard = new CountedWizard(owner);
        const RECT place{0, 0, 200, 150};
        ASSERT_TRUE(wizard->Create(&place)) << closing.what;
        wizard->DeleteWhenGone();
        const HWND popup = wizard->GetHWND();
        closing.close(popup, owner);
        EXPECT_TRUE(PumpFor(std::chrono::seconds(5), [&] { return !IsWindow(popup); })) << closing.what;
        EXPECT_EQ(g_wizardsGone, 1) << closing.what;
        if (IsWindow(owner))
            DestroyWindow(owner);
    }
}

// A pop-up whose creation failed is the caller's to delete: the base must
// not have deleted it already.
TEST(PopupLifetime, OneNotYetHandedOverIsNotDeletedByItsWindow)
{
    g_menusGone = 0;
    auto* menu = new CountedMenu;
    const RECT place{0, 0, 120, 90};
    ASSERT_TRUE(menu->Create(nullptr, &place));
    DestroyWindow(menu->GetHWND());
    EXPECT_EQ(g_menusGone, 0);
    delete menu;
    EXPECT_EQ(g_menusGone, 1);
}
