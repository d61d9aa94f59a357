#include "tray_icon.h"

#include <shellapi.h>

namespace {

constexpr UINT kIconId = 0;
constexpr UINT kBalloonTimeout = 5;

}  // namespace

bool TrayIcon::Add(HWND window, UINT callbackMessage, HICON icon)
{
    Remove();
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V3_SIZE;
    data.hWnd = window;
    data.uID = kIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;
    data.uCallbackMessage = callbackMessage;
    data.hIcon = icon;
    GetWindowTextA(window, data.szTip, int(sizeof data.szTip));
    data.uTimeout = kBalloonTimeout;
    if (!Shell_NotifyIconA(NIM_ADD, &data))
        return false;
    window_ = window;
    return true;
}

void TrayIcon::Remove()
{
    if (!window_)
        return;
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V3_SIZE;
    data.hWnd = window_;
    data.uID = kIconId;
    Shell_NotifyIconA(NIM_DELETE, &data);
    window_ = nullptr;
}
