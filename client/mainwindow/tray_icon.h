#pragma once
#include <windows.h>

#include <shellapi.h>

#include <functional>

// The tray icon's retry timer on its window.
constexpr UINT_PTR kTrayRetryTimer = 1030;

// The window's notification-area icon: added by Add, removed by Remove and
// by the destructor, so an early exit cannot leave a dead icon behind.
// A program that lives in the tray for weeks sees the notification area go
// and come back (Explorer restarts), or start after it (a start with
// Windows): the icon is added again whenever the taskbar is created, and a
// failed add is tried again on a timer a few times. The window is the only
// way back to the program, so one still hidden when the tries run out shows.
class TrayIcon {
public:
    // Shell_NotifyIconA, or a stand-in for tests.
    using Notify = std::function<BOOL(DWORD message, NOTIFYICONDATAA* data)>;

    static constexpr int kAddAttempts = 15;  // the first add and the retries
    static constexpr UINT kRetryMilliseconds = 2000;
    // What a closing program gives the shell to take its icon away.
    static constexpr DWORD kWithdrawPatienceMs = 250;

    explicit TrayIcon(Notify notify = Shell_NotifyIconA);
    ~TrayIcon() { Remove(); }
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // The tip is the window's caption; the icon is shared, nothing to free.
    // False when the icon is not there yet: the retries have started.
    bool Add(HWND window, UINT callbackMessage, HICON icon);
    void Remove();
    // Removes the icon for good as the program ends. The shell is asked on a
    // thread of its own, waited for at most `patienceMs`: a shell slow to
    // answer must not hold the process, and a request once sent is carried
    // out after the process has gone.
    void Withdraw(DWORD patienceMs);
    bool IsAdded() const { return added_; }
    // True when every try failed: no icon comes until the taskbar is created.
    bool GaveUp() const { return wanted_ && !added_ && attemptsLeft_ == 0; }

    // True when `message` is the taskbar's "created" broadcast; the icon,
    // if the window wants one, is added again.
    bool OnTaskbarCreated(UINT message);
    // True when the tick is the retry timer's.
    bool OnTimer(UINT_PTR id);

private:
    void TryAdd();
    void Forget();
    NOTIFYICONDATAA Data() const;

    Notify notify_;
    const UINT taskbarCreated_;
    HWND window_ = nullptr;
    UINT callbackMessage_ = 0;
    HICON icon_ = nullptr;
    bool wanted_ = false;  // between Add and Remove
    bool added_ = false;
    int attemptsLeft_ = 0;
};
