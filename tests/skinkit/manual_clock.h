#pragma once

// A control clock the test moves forward by hand: time passes only in
// Advance, and the timers that come due on the way fire there, in order.

#include <vector>

#include <windows.h>

#include "skinkit/control_clock.h"

class ManualClock : public ControlClock {
public:
    // Far from zero, as the system's clock is once a machine has run a while.
    static constexpr DWORD kStart = 1000000;

    DWORD Now() override { return m_now; }
    void StartTimer(HWND window, UINT_PTR id, UINT elapseMs) override;
    void StopTimer(HWND window, UINT_PTR id) override;

    // Sends WM_TIMER for every timer due within the next `ms`, at its time.
    void Advance(DWORD ms);
    bool Running(HWND window, UINT_PTR id) const;

private:
    struct Timer {
        HWND window;
        UINT_PTR id;
        DWORD elapse;
        DWORD due;
    };
    Timer* Find(HWND window, UINT_PTR id);
    // The timer that comes due first at or before `until`, or none.
    Timer* NextDue(DWORD until);

    DWORD m_now = kStart;
    std::vector<Timer> m_timers;
};

// Puts a clock in for the controls while it lives, the system's back after.
class ScopedControlClock {
public:
    explicit ScopedControlClock(ControlClock& clock) { ControlClock::Use(&clock); }
    ~ScopedControlClock() { ControlClock::Use(nullptr); }
    ScopedControlClock(const ScopedControlClock&) = delete;
    ScopedControlClock& operator=(const ScopedControlClock&) = delete;
};
