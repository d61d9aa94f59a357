#pragma once

#include <atomic>
#include <vector>

#include <windows.h>

#include "win32kit/scoped_win.h"

namespace skinkit {

// The values the picture viewer's animation threads step while the UI thread
// paints them. They live apart from the viewer, shared with every thread, so
// a thread that outlasts the viewer's bounded wait still writes to live
// memory and only to this.
struct ViewerMotion {
    ViewerMotion();
    ViewerMotion(const ViewerMotion&) = delete;
    ViewerMotion& operator=(const ViewerMotion&) = delete;

    // Waits ms unless the viewer is going away; false when it is.
    bool Pause(DWORD ms) const;
    void Repaint(bool erase) const;
    // Only area of the parent, nothing erased.
    void RepaintArea(const RECT& area) const;
    // One spinner step: += 20, wrapping to 0 at 500.
    void AdvanceSpinner();

    win32kit::ScopedHandle stop;  // manual-reset event, set when the viewer is destroyed
    std::atomic<HWND> parent{nullptr};
    std::atomic<int> dpi{96};  // the window's, for the bar's places
    std::atomic<int> barBottom{0};
    std::atomic<bool> barHidden{false};
    std::atomic<bool> slideRunning{false};  // a _2 slide is under way
    std::atomic<int> spinnerPhase{0};
    std::atomic<bool> loadingRunning{false};
    std::atomic<bool> swapRunning{false};
    std::atomic<int> viewerRight{0};
    std::atomic<int> previousWidth{0};
    std::atomic<int> previousX{0};
    std::atomic<int> currentWidth{0};
    std::atomic<int> currentX{0};
    std::atomic<int> currentOffset{0};
    // Where the two pictures lie up and down while they slide, where the
    // current one settles, and the band they all lie in. Without known
    // places (a picture not there yet) each step repaints the band, then
    // the viewer's whole height.
    std::atomic<bool> placesKnown{false};
    std::atomic<int> settledLeft{0};
    std::atomic<int> settledTop{0};
    std::atomic<int> settledRight{0};
    std::atomic<int> settledBottom{0};
    std::atomic<int> previousTop{0};
    std::atomic<int> previousHeight{0};
    std::atomic<int> currentTop{0};
    std::atomic<int> currentHeight{0};
    std::atomic<int> bandTop{0};
    std::atomic<int> bandBottom{0};
};

// Bar slides and swaps; each is one animation from start to end.
void SlideUp(ViewerMotion& m);
void SlideDown(ViewerMotion& m);
void SlideUp2(ViewerMotion& m);
void SlideDown2(ViewerMotion& m);
void SlideDown3(ViewerMotion& m);
void SwapToNext(ViewerMotion& m);
void SwapToPrevious(ViewerMotion& m);
// Steps the spinner every 40 ms until the viewer goes.
void SpinForever(ViewerMotion& m);

// The threads one viewer started, so its destructor can wait for them.
class CAnimationThreads {
public:
    CAnimationThreads() = default;
    CAnimationThreads(const CAnimationThreads&) = delete;
    CAnimationThreads& operator=(const CAnimationThreads&) = delete;
    ~CAnimationThreads() { WaitAll(0); }

    bool Start(unsigned(__stdcall* entry)(void*), void* argument);
    // Waits up to timeoutMs in all for every thread to end; true when all did.
    // Handles are closed either way.
    bool WaitAll(DWORD timeoutMs);

private:
    void CloseFinished();
    std::vector<win32kit::ScopedHandle> m_handles;
};

}  // namespace skinkit
