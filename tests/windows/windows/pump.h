#pragma once
#include <chrono>
#include <functional>

#include <windows.h>

// Dispatches until `done` holds or five seconds passed; false on the deadline.
inline bool PumpUntil(const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

// Runs `work` on a thread of its own while this thread runs `modal` (which
// pumps its own messages); joins the thread afterwards.
template <class Modal> auto WhileOtherThread(const std::function<void()>& work, Modal modal)
{
    struct Task {
        const std::function<void()>* work;
    } task{&work};
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void* data) -> DWORD {
            (*static_cast<Task*>(data)->work)();
            return 0;
        },
        &task, 0, nullptr);
    auto result = modal();
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    return result;
}

// The first visible window of `className` on this desktop, polled for five seconds.
inline HWND WaitForWindow(const wchar_t* className)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    HWND found = nullptr;
    while (!((found = FindWindowW(className, nullptr)) && IsWindowVisible(found))
        && std::chrono::steady_clock::now() < deadline)
        Sleep(20);
    return found;
}

// Waits five seconds for a modal window to go; one still there is cancelled,
// so that a test fails instead of hanging.
inline void EndIfStillThere(HWND window)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (IsWindow(window) && std::chrono::steady_clock::now() < deadline)
        Sleep(20);
    if (IsWindow(window))
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
}
