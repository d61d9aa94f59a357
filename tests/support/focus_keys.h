#pragma once
// Keys as a window's procedure gets them, and the focus events a screen
// reader would hear meanwhile.
#include <vector>

#include <windows.h>

// WM_KEYDOWN for key, with Shift held for it when shift is set.
inline void PressKey(HWND hwnd, WPARAM key, bool shift = false)
{
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    const BYTE before = keys[VK_SHIFT];
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    SendMessageW(hwnd, WM_KEYDOWN, key, 1);
    keys[VK_SHIFT] = before;
    SetKeyboardState(keys);
}

// The child ids of EVENT_OBJECT_FOCUS raised for one window's client area
// while it lives; they arrive through this thread's message loop.
class FocusEvents {
public:
    explicit FocusEvents(HWND watched)
    {
        s_watched = watched;
        s_children = &m_children;
        m_hook = SetWinEventHook(
            EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr, Record, GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    }
    ~FocusEvents()
    {
        if (m_hook)
            UnhookWinEvent(m_hook);
        s_children = nullptr;
    }
    FocusEvents(const FocusEvents&) = delete;
    FocusEvents& operator=(const FocusEvents&) = delete;

    bool Hooked() const { return m_hook != nullptr; }
    // The last child heard of, 0 for none; the list is emptied.
    long TakeLast()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        const long last = m_children.empty() ? 0 : m_children.back();
        m_children.clear();
        return last;
    }

private:
    static void CALLBACK Record(HWINEVENTHOOK, DWORD, HWND hwnd, LONG object, LONG child, DWORD, DWORD)
    {
        if (s_children && hwnd == s_watched && object == OBJID_CLIENT)
            s_children->push_back(child);
    }

    static inline HWND s_watched = nullptr;
    static inline std::vector<long>* s_children = nullptr;
    HWINEVENTHOOK m_hook = nullptr;
    std::vector<long> m_children;
};
