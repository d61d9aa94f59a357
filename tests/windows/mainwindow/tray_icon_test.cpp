// The tray icon's tries while the notification area is missing, against a
// stand-in for the shell that refuses the first adds.
#include "tray_icon.h"

#include "win32kit/scoped_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Refuses the first `refusals` adds; counts the adds asked for.
struct ShellStandIn {
    int refusals = 0;
    int adds = 0;
    bool iconThere = false;
};

TrayIcon::Notify NotifyOf(const std::shared_ptr<ShellStandIn>& shell)
{
    return [shell](DWORD message, NOTIFYICONDATAA*) -> BOOL {
        if (message == NIM_DELETE) {
            const bool was = shell->iconThere;
            shell->iconThere = false;
            return was;
        }
        if (message != NIM_ADD)
            return shell->iconThere;
        ++shell->adds;
        if (shell->iconThere || shell->adds <= shell->refusals)
            return FALSE;
        shell->iconThere = true;
        return TRUE;
    };
}

win32kit::ScopedWindow HiddenWindow()
{
    return win32kit::ScopedWindow(
        CreateWindowExW(0, L"STATIC", L"tray test", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
}

TEST(TrayIconTest, AFailedAddIsTriedAgainOnTheTimerAFewTimes)
{
    constexpr int kAttempts = TrayIcon::kAddAttempts;
    struct Row {
        const char* name;
        int refusals;
        bool added;  // after more ticks than there are tries
        int adds;
        bool windowShows;  // nothing else brings the program back
    };
    const Row kRows[] = {
        {"the notification area never comes", 1000, false, kAttempts, true},
        {"it comes at the last try", kAttempts - 1, true, kAttempts, false},
        {"it comes at the second try", 1, true, 2, false},
        {"it is there at once", 0, true, 1, false},
    };
    for (const Row& row : kRows) {
        win32kit::ScopedWindow window = HiddenWindow();
        ASSERT_TRUE(window) << row.name;
        auto shell = std::make_shared<ShellStandIn>();
        shell->refusals = row.refusals;
        TrayIcon tray(NotifyOf(shell));
        EXPECT_EQ(tray.Add(window.Get(), WM_APP, nullptr), row.refusals == 0) << row.name;
        EXPECT_FALSE(IsWindowVisible(window.Get())) << row.name << ": still trying";
        for (int tick = 0; tick < kAttempts + 3; ++tick)
            EXPECT_TRUE(tray.OnTimer(kTrayRetryTimer)) << row.name;
        EXPECT_EQ(tray.IsAdded(), row.added) << row.name;
        EXPECT_EQ(shell->iconThere, row.added) << row.name;
        EXPECT_EQ(shell->adds, row.adds) << row.name;
        EXPECT_EQ(tray.GaveUp(), !row.added) << row.name;
        EXPECT_EQ(IsWindowVisible(window.Get()) != FALSE, row.windowShows) << row.name;
        EXPECT_FALSE(tray.OnTimer(kTrayRetryTimer + 1)) << row.name << ": another owner's tick";
    }
}

TEST(TrayIconTest, ANewTaskbarGetsTheIconAgainWithFreshTries)
{
    const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    win32kit::ScopedWindow window = HiddenWindow();
    ASSERT_TRUE(window);
    auto shell = std::make_shared<ShellStandIn>();
    shell->refusals = 1000;
    TrayIcon tray(NotifyOf(shell));
    tray.Add(window.Get(), WM_APP, nullptr);
    for (int tick = 0; tick < TrayIcon::kAddAttempts; ++tick)
        tray.OnTimer(kTrayRetryTimer);
    ASSERT_TRUE(tray.GaveUp());

    shell->refusals = shell->adds + 1;  // the new taskbar refuses once, then takes it
    EXPECT_FALSE(tray.OnTaskbarCreated(WM_APP)) << "not the taskbar's message";
    EXPECT_TRUE(tray.OnTaskbarCreated(taskbarCreated));
    EXPECT_FALSE(tray.IsAdded());
    EXPECT_FALSE(tray.GaveUp()) << "the tries start again";
    tray.OnTimer(kTrayRetryTimer);
    EXPECT_TRUE(tray.IsAdded());
    EXPECT_TRUE(shell->iconThere);

    // A taskbar that only changed its scale still shows the icon: an add of
    // it as it stands would be refused.
    EXPECT_TRUE(tray.OnTaskbarCreated(taskbarCreated));
    EXPECT_TRUE(tray.IsAdded()) << "no tries needed";
    EXPECT_TRUE(shell->iconThere);

    tray.Remove();
    EXPECT_FALSE(shell->iconThere);
    EXPECT_TRUE(tray.OnTaskbarCreated(taskbarCreated));
    EXPECT_FALSE(shell->iconThere) << "a removed icon stays away";
}

}  // namespace
