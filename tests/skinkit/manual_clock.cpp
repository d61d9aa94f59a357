#include "manual_clock.h"

void ManualClock::StartTimer(HWND window, UINT_PTR id, UINT elapseMs)
{
    // As SetTimer: starting a running timer again restarts its period.
    const DWORD elapse = elapseMs == 0 ? 1 : elapseMs;
    if (Timer* timer = Find(window, id)) {
        timer->elapse = elapse;
        timer->due = m_now + elapse;
        return;
    }
    m_timers.push_back({window, id, elapse, m_now + elapse});
}

void ManualClock::StopTimer(HWND window, UINT_PTR id)
{
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
        if (it->window == window && it->id == id) {
            m_timers.erase(it);
            return;
        }
    }
}

bool ManualClock::Running(HWND window, UINT_PTR id) const
{
    for (const Timer& timer : m_timers) {
        if (timer.window == window && timer.id == id)
            return true;
    }
    return false;
}

ManualClock::Timer* ManualClock::Find(HWND window, UINT_PTR id)
{
    for (Timer& timer : m_timers) {
        if (timer.window == window && timer.id == id)
            return &timer;
    }
    return nullptr;
}

ManualClock::Timer* ManualClock::NextDue(DWORD until)
{
    Timer* next = nullptr;
    for (Timer& timer : m_timers) {
        if (timer.due - m_now <= until - m_now && (!next || timer.due - m_now < next->due - m_now))
            next = &timer;
    }
    return next;
}

void ManualClock::Advance(DWORD ms)
{
    const DWORD until = m_now + ms;
    while (Timer* timer = NextDue(until)) {
        m_now = timer->due;
        timer->due += timer->elapse;
        // The handler may stop or start timers: nothing of the list is held.
        const HWND window = timer->window;
        const UINT_PTR id = timer->id;
        SendMessageW(window, WM_TIMER, id, 0);
    }
    m_now = until;
}
