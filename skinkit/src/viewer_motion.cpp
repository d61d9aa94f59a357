#include "viewer_motion.h"

#include <process.h>

#include <utility>

namespace skinkit {

namespace {
constexpr DWORD kStepMs = 10;
constexpr DWORD kLoadingStepMs = 40;
constexpr int kSpinnerStep = 20;
constexpr int kSpinnerEnd = 500;
constexpr int kSwapSteps = 10;
constexpr int kBarShownBottom = 129;
constexpr int kBarRestBottom = 30;
}  // namespace

ViewerMotion::ViewerMotion()
    : stop(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
}

bool ViewerMotion::Pause(DWORD ms) const
{
    // Without the event nothing could stop a thread: end every animation.
    if (!stop)
        return false;
    return WaitForSingleObject(stop.Get(), ms) == WAIT_TIMEOUT;
}

void ViewerMotion::Repaint(bool erase) const
{
    HWND hwnd = parent.load();
    if (hwnd && IsWindow(hwnd))
        InvalidateRect(hwnd, nullptr, erase ? TRUE : FALSE);
}

void ViewerMotion::RepaintArea(const RECT& area) const
{
    HWND hwnd = parent.load();
    if (hwnd && IsWindow(hwnd) && !IsRectEmpty(&area))
        InvalidateRect(hwnd, &area, FALSE);
}

void ViewerMotion::AdvanceSpinner()
{
    int phase = spinnerPhase.load();
    int next = 0;
    do {
        next = phase + kSpinnerStep >= kSpinnerEnd ? 0 : phase + kSpinnerStep;
    } while (!spinnerPhase.compare_exchange_weak(phase, next));
}

// Steps the bar bottom by delta while keepGoing(value) holds, repainting
// after each step; false when the viewer went away meanwhile.
template <class KeepGoing> static bool StepBar(ViewerMotion& m, int delta, KeepGoing keepGoing)
{
    for (int value = m.barBottom.load(); keepGoing(value); value = m.barBottom.load()) {
        m.barBottom.store(value + delta);
        m.Repaint(false);
        if (!m.Pause(kStepMs))
            return false;
    }
    return true;
}

// The bar's places and steps are 96-DPI numbers, scaled to the window's DPI.
static int Px(const ViewerMotion& m, int value) { return MulDiv(value, m.dpi.load(), 96); }

void SlideUp(ViewerMotion& m)
{
    const int step = Px(m, 10);
    m.barBottom.store(Px(m, 119));
    StepBar(m, -step, [step](int value) { return value - step > 0; });
    m.barBottom.store(0);
    m.barHidden.store(true);
    m.Repaint(false);
}

void SlideDown(ViewerMotion& m)
{
    const int step = Px(m, 10);
    const int shown = Px(m, kBarShownBottom);
    StepBar(m, step, [step, shown](int value) { return value + step <= shown - 1; });
    m.barBottom.store(shown);
    m.barHidden.store(false);
    m.Repaint(false);
}

void SlideUp2(ViewerMotion& m)
{
    const int step = Px(m, 10);
    StepBar(m, -step, [step](int value) { return value > step; });
    m.barBottom.store(Px(m, kBarRestBottom));
    m.slideRunning.store(false);
    m.Repaint(false);
}

void SlideDown2(ViewerMotion& m)
{
    const int step = Px(m, 10);
    const int shown = Px(m, kBarShownBottom);
    StepBar(m, step, [step, shown](int value) { return value + step <= shown - 1; });
    m.barBottom.store(shown);
    m.barHidden.store(false);
    m.slideRunning.store(false);
    m.Repaint(false);
}

void SlideDown3(ViewerMotion& m)
{
    const int step = Px(m, 5);
    const int rest = Px(m, kBarRestBottom);
    m.barBottom.store(step);
    StepBar(m, step, [step, rest](int value) { return value + step < rest; });
    m.barBottom.store(rest);
    m.Repaint(false);
}

namespace {

// The viewer's whole width between the band's top and bottom.
RECT SwapBand(const ViewerMotion& m) { return RECT{0, m.bandTop.load(), m.viewerRight.load(), m.bandBottom.load()}; }

RECT PreviousPlace(const ViewerMotion& m)
{
    const int x = m.previousX.load();
    const int top = m.previousTop.load();
    return RECT{x, top, x + m.previousWidth.load(), top + m.previousHeight.load()};
}

RECT CurrentPlace(const ViewerMotion& m)
{
    const int x = m.viewerRight.load() - m.currentOffset.load();
    const int top = m.currentTop.load();
    return RECT{x, top, x + m.currentWidth.load(), top + m.currentHeight.load()};
}

// Where a picture was and is now: the rest of the window did not change.
void RepaintMoved(const ViewerMotion& m, const RECT& was, const RECT& is)
{
    RECT both{};
    UnionRect(&both, &was, &is);
    RECT band = SwapBand(m);
    IntersectRect(&both, &both, &band);
    m.RepaintArea(both);
}

// Ten steps, each repainting only where the two pictures moved.
// A picture chosen while the swap runs makes the places unknown from then on.
template <class Step> void Swap(ViewerMotion& m, Step step)
{
    for (int i = 0; i < kSwapSteps; ++i) {
        const RECT previous = PreviousPlace(m);
        const RECT current = CurrentPlace(m);
        step();
        if (m.placesKnown.load()) {
            RepaintMoved(m, previous, PreviousPlace(m));
            RepaintMoved(m, current, CurrentPlace(m));
        } else {
            m.RepaintArea(SwapBand(m));
        }
        if (!m.Pause(kStepMs))
            break;
    }
    const RECT previous = PreviousPlace(m);
    const RECT current = CurrentPlace(m);
    m.swapRunning.store(false);
    if (!m.placesKnown.load()) {
        m.RepaintArea(SwapBand(m));
        return;
    }
    // The current picture settles where it is laid out, a few pixels from
    // where the last step left it; the previous one is gone.
    RepaintMoved(
        m, current, RECT{m.settledLeft.load(), m.settledTop.load(), m.settledRight.load(), m.settledBottom.load()});
    RepaintMoved(m, previous, previous);
}

}  // namespace

// The previous picture leaves to the left while the current one enters from
// the right edge (it is drawn at viewer right - offset).
void SwapToNext(ViewerMotion& m)
{
    const int right = m.viewerRight.load();
    const int previousStep = (m.previousWidth.load() + m.previousX.load()) / kSwapSteps;
    const int currentStep = (right - m.currentX.load()) / kSwapSteps;
    Swap(m, [&] {
        m.previousX.fetch_sub(previousStep);
        m.currentOffset.fetch_add(currentStep);
    });
}

// The mirror image: the previous picture leaves to the right, the current one
// enters from the left.
void SwapToPrevious(ViewerMotion& m)
{
    const int right = m.viewerRight.load();
    const int previousStep = (right - m.previousX.load()) / kSwapSteps;
    const int currentStep = (m.currentWidth.load() + m.currentX.load()) / kSwapSteps;
    Swap(m, [&] {
        m.previousX.fetch_add(previousStep);
        m.currentOffset.fetch_sub(currentStep);
    });
}

void SpinForever(ViewerMotion& m)
{
    while (m.Pause(kLoadingStepMs)) {
        m.AdvanceSpinner();
        m.Repaint(false);
    }
    m.loadingRunning.store(false);
}

void CAnimationThreads::CloseFinished()
{
    for (size_t i = 0; i < m_handles.size();) {
        if (WaitForSingleObject(m_handles[i].Get(), 0) == WAIT_OBJECT_0) {
            m_handles[i] = std::move(m_handles.back());
            m_handles.pop_back();
        } else {
            ++i;
        }
    }
}

bool CAnimationThreads::Start(unsigned(__stdcall* entry)(void*), void* argument)
{
    CloseFinished();
    const uintptr_t handle = _beginthreadex(nullptr, 0, entry, argument, 0, nullptr);
    if (!handle)
        return false;
    m_handles.emplace_back(reinterpret_cast<HANDLE>(handle));
    return true;
}

bool CAnimationThreads::WaitAll(DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    bool allEnded = true;
    for (const win32kit::ScopedHandle& handle : m_handles) {
        const DWORD spent = GetTickCount() - start;
        const DWORD left = spent < timeoutMs ? timeoutMs - spent : 0;
        if (WaitForSingleObject(handle.Get(), left) != WAIT_OBJECT_0)
            allEnded = false;
    }
    m_handles.clear();
    return allEnded;
}

}  // namespace skinkit
