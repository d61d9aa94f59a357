#pragma once

#include <windows.h>

#include "skinkit/skinkit_api.h"

// Where the controls read the time and start their timers: the system's
// clock, unless a test puts in one it moves forward by hand.
class SKINKIT_API ControlClock {
public:
    virtual ~ControlClock() = default;
    virtual DWORD Now() = 0;
    // As SetTimer and KillTimer without a callback: WM_TIMER with `id` comes
    // to `window` every `elapseMs` until stopped.
    virtual void StartTimer(HWND window, UINT_PTR id, UINT elapseMs) = 0;
    virtual void StopTimer(HWND window, UINT_PTR id) = 0;

    // The clock the controls use now.
    static ControlClock& Current();
    // Not owned; nullptr puts the system's clock back.
    static void Use(ControlClock* clock);
};
