// The tray icon's tries while the notification area is missing, against a
// stand-in for the shell that refuses the first adds.
#include "tray_icon.h"

#include "win32kit/scoped_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
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

// A shell that takes every delete but answers it only once `answer` is set:
// a notification area that is slow to let an icon go, or hangs.
struct SlowShell {
    win32kit::ScopedHandle asked{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    win32kit::ScopedHandle answer{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    win32kit::ScopedHandle answered{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<int> deletes{0};
    std::atomic<bool> iconThere{false};
};

TrayIcon::Notify NotifyOf(const std::shared_ptr<SlowShell>& shell)
{
    return [shell](DWORD message, NOTIFYICONDATAA*) -> BOOL {
        if (message == NIM_ADD) {
            shell->iconThere = true;
            return TRUE;
        }
        if (message != NIM_DELETE)
            return FALSE;
        ++shell->deletes;
        SetEvent(shell->asked.Get());
        WaitForSingleObject(shell->answer.Get(), INFINITE);
        shell->iconThere = false;
        SetEvent(shell->answered.Get());
        return TRUE;
    };
}

// The shell answers when the test lets it, or after a generous while, so a
// withdrawal that waits for it returns and fails rather than hangs.
DWORD WINAPI AnswerLate(LPVOID shell)
{
    HANDLE answer = static_cast<SlowShell*>(shell)->answer.Get();
    WaitForSingleObject(answer, 30000);
    SetEvent(answer);
    return 0;
}

TEST(TrayIconTest, AClosingProgramDoesNotWaitForASlowShell)
{
    win32kit::ScopedWindow window = HiddenWindow();
    ASSERT_TRUE(window);
    auto shell = std::make_shared<SlowShell>();
    ASSERT_TRUE(shell->asked && shell->answer && shell->answered);
    win32kit::ScopedHandle late(CreateThread(nullptr, 0, AnswerLate, shell.get(), 0, nullptr));
    ASSERT_TRUE(late);
    {
        TrayIcon tray(NotifyOf(shell));
        ASSERT_TRUE(tray.Add(window.Get(), WM_APP, nullptr));
        tray.Withdraw(TrayIcon::kWithdrawPatienceMs);
        EXPECT_EQ(WaitForSingleObject(shell->answer.Get(), 0), WAIT_TIMEOUT) << "the withdrawal waited for the shell";
        EXPECT_FALSE(tray.IsAdded());
        // Asked all the same, once: the destructor asks no more.
        EXPECT_EQ(WaitForSingleObject(shell->asked.Get(), 30000), WAIT_OBJECT_0) << "the shell was never asked";
    }
    SetEvent(shell->answer.Get());
    ASSERT_EQ(WaitForSingleObject(late.Get(), 30000), WAIT_OBJECT_0);
    ASSERT_EQ(WaitForSingleObject(shell->answered.Get(), 30000), WAIT_OBJECT_0);
    EXPECT_FALSE(shell->iconThere) << "the shell's answer, given late, still removed the icon";
    EXPECT_EQ(shell->deletes, 1);
}

TEST(TrayIconTest, AWithdrawnIconIsGoneFromAShellThatAnswers)
{
    win32kit::ScopedWindow window = HiddenWindow();
    ASSERT_TRUE(window);
    auto shell = std::make_shared<SlowShell>();
    SetEvent(shell->answer.Get());  // answers at once
    TrayIcon tray(NotifyOf(shell));
    ASSERT_TRUE(tray.Add(window.Get(), WM_APP, nullptr));
    tray.Withdraw(TrayIcon::kWithdrawPatienceMs);
    ASSERT_EQ(WaitForSingleObject(shell->answered.Get(), 30000), WAIT_OBJECT_0);
    EXPECT_FALSE(shell->iconThere);
    tray.Withdraw(TrayIcon::kWithdrawPatienceMs);
    tray.Remove();
    EXPECT_EQ(shell->deletes, 1) << "a withdrawn icon is not removed twice";
}

}  // namespace
