#pragma once
// What the main window's flow tests share: a pump with a deadline, and the
// first-run marker set so the window starts as on any later day.
#include <chrono>
#include <functional>

#include <windows.h>
// The shell folder API needs the Windows types first.
#include <shlobj.h>

#include "first_run.h"

// Dispatches until `done` holds or `limit` passed; false on the deadline.
// The window's own quit is left alone: the tests look at the window.
inline bool PumpFor(std::chrono::seconds limit, const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message != WM_QUIT)
                DispatchMessageW(&msg);
        }
    }
    return true;
}

// On a first run the wizard would take the window's start.
inline void MarkNotFirstRun()
{
    wchar_t folder[MAX_PATH];
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)))
        CheckFirstRun(folder);
}
