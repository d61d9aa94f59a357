#pragma once
#include <windows.h>

// The window's notification-area icon: added by Add, removed by Remove and
// by the destructor, so an early exit cannot leave a dead icon behind.
class TrayIcon {
public:
    TrayIcon() = default;
    ~TrayIcon() { Remove(); }
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // The tip is the window's caption; the icon is shared, nothing to free.
    bool Add(HWND window, UINT callbackMessage, HICON icon);
    void Remove();
    bool IsAdded() const { return window_ != nullptr; }

private:
    HWND window_ = nullptr;
};
