#pragma once

#include <functional>
#include <memory>

#include <windows.h>
// GDI+ needs the Windows types first.
#include <gdiplus.h>

#include "win32kit/scoped_win.h"

namespace skinkit {

// A picture made (decoded, scaled) on a thread of its own while the caller
// goes on building its window; Take waits for it. The thread writes only
// its shared slot, and Take reads the slot once the thread has ended.
class CPictureMadeAside {
public:
    using Make = std::function<std::unique_ptr<Gdiplus::Bitmap>()>;

    CPictureMadeAside() = default;
    CPictureMadeAside(const CPictureMadeAside&) = delete;
    CPictureMadeAside& operator=(const CPictureMadeAside&) = delete;
    // Waits for a thread still making: its picture needs GDI+ to be up.
    ~CPictureMadeAside();

    // Made on this thread when no thread starts. A picture still pending
    // from an earlier Start is dropped.
    void Start(Make make);
    bool Pending() const { return m_slot != nullptr; }
    // The picture, once; null when make gave none or nothing is pending.
    std::unique_ptr<Gdiplus::Bitmap> Take();
    // Not wanted after all: the thread ends on its own time, waited for
    // only by the destructor.
    void Drop();

private:
    struct Slot {
        Make make;
        std::unique_ptr<Gdiplus::Bitmap> picture;
    };
    static unsigned __stdcall Run(void* slot);

    std::shared_ptr<Slot> m_slot;
    win32kit::ScopedHandle m_thread;
};

}  // namespace skinkit
