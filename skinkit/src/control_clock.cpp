#include "skinkit/control_clock.h"

#include <atomic>

namespace {

class SystemClock final : public ControlClock {
public:
    DWORD Now() override { return GetTickCount(); }
    void StartTimer(HWND window, UINT_PTR id, UINT elapseMs) override { SetTimer(window, id, elapseMs, nullptr); }
    void StopTimer(HWND window, UINT_PTR id) override { KillTimer(window, id); }
};

SystemClock g_systemClock;
std::atomic<ControlClock*> g_clock{&g_systemClock};

}  // namespace

ControlClock& ControlClock::Current() { return *g_clock.load(); }

void ControlClock::Use(ControlClock* clock) { g_clock.store(clock != nullptr ? clock : &g_systemClock); }
