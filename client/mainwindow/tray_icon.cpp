#include "tray_icon.h"

#include "win32kit/scoped_win.h"

#include <memory>
#include <utility>

namespace {

constexpr UINT kIconId = 0;
constexpr UINT kBalloonTimeout = 5;

// One removal handed to a thread, which owns it.
struct Removal {
    TrayIcon::Notify notify;
    NOTIFYICONDATAA data;
};

DWORD WINAPI RemoveOnThread(LPVOID parameter)
{
    std::unique_ptr<Removal> removal(static_cast<Removal*>(parameter));
    removal->notify(NIM_DELETE, &removal->data);
    return 0;
}

}  // namespace

TrayIcon::TrayIcon(Notify notify)
    : notify_(std::move(notify))
    , taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated"))
{
}

NOTIFYICONDATAA TrayIcon::Data() const
{
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V3_SIZE;
    data.hWnd = window_;
    data.uID = kIconId;
    return data;
}

bool TrayIcon::Add(HWND window, UINT callbackMessage, HICON icon)
{
    Remove();
    window_ = window;
    callbackMessage_ = callbackMessage;
    icon_ = icon;
    wanted_ = true;
    attemptsLeft_ = kAddAttempts;
    // An elevated copy would not hear a taskbar that runs unelevated.
    ChangeWindowMessageFilterEx(window, taskbarCreated_, MSGFLT_ALLOW, nullptr);
    TryAdd();
    return added_;
}

void TrayIcon::TryAdd()
{
    NOTIFYICONDATAA data = Data();
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;
    data.uCallbackMessage = callbackMessage_;
    data.hIcon = icon_;
    GetWindowTextA(window_, data.szTip, int(sizeof data.szTip));
    data.uTimeout = kBalloonTimeout;
    --attemptsLeft_;
    added_ = notify_(NIM_ADD, &data) != FALSE;
    if (added_ || attemptsLeft_ == 0) {
        KillTimer(window_, kTrayRetryTimer);
        attemptsLeft_ = 0;
    } else {
        SetTimer(window_, kTrayRetryTimer, kRetryMilliseconds, nullptr);
    }
    if (GaveUp() && !IsWindowVisible(window_))
        ShowWindow(window_, SW_SHOWNORMAL);
}

void TrayIcon::Remove()
{
    if (!wanted_)
        return;
    KillTimer(window_, kTrayRetryTimer);
    if (added_) {
        NOTIFYICONDATAA data = Data();
        notify_(NIM_DELETE, &data);
    }
    Forget();
}

void TrayIcon::Withdraw(DWORD patienceMs)
{
    if (!wanted_)
        return;
    KillTimer(window_, kTrayRetryTimer);
    if (added_) {
        auto removal = std::make_unique<Removal>(Removal{notify_, Data()});
        win32kit::ScopedHandle thread(CreateThread(nullptr, 0, RemoveOnThread, removal.get(), 0, nullptr));
        if (thread) {
            removal.release();  // the thread's now
            WaitForSingleObject(thread.Get(), patienceMs);
        } else {
            notify_(NIM_DELETE, &removal->data);
        }
    }
    Forget();
}

void TrayIcon::Forget()
{
    window_ = nullptr;
    wanted_ = false;
    added_ = false;
    attemptsLeft_ = 0;
}

bool TrayIcon::OnTaskbarCreated(UINT message)
{
    if (message != taskbarCreated_ || taskbarCreated_ == 0)
        return false;
    if (!wanted_)
        return true;
    // A new taskbar knows no icons; one that only changed its scale still
    // shows ours, and an add of an icon already there fails: delete first.
    NOTIFYICONDATAA data = Data();
    notify_(NIM_DELETE, &data);
    added_ = false;
    attemptsLeft_ = kAddAttempts;
    TryAdd();
    return true;
}

bool TrayIcon::OnTimer(UINT_PTR id)
{
    if (id != kTrayRetryTimer)
        return false;
    if (wanted_ && !added_ && attemptsLeft_ > 0)
        TryAdd();
    else
        KillTimer(window_, kTrayRetryTimer);
    return true;
}
