#pragma once
#include <windows.h>

#include "skinkit/window_base.h"

// A pop-up drawn whole off screen, then shown in one step. A layered one is
// handed to the system with per-pixel alpha: the system keeps the last
// picture it was given, so every change calls Present() and a paint request
// only presents again. An opaque one (it holds a caret or a page, which a
// layered window would not show) is copied to the screen when it paints.
class CLayeredWindow : public CWindowBase {
public:
    // For a pop-up made with new and created: it deletes itself once its
    // window is gone, whatever closed it.
    void DeleteWhenGone() { m_deleteWhenGone = true; }
    void OnFinalMessage(HWND hwnd) override;

protected:
    enum class Surface { kLayered, kOpaque };
    explicit CLayeredWindow(Surface surface = Surface::kLayered)
        : m_surface(surface)
    {
    }

    // The picture's size and what it shows, drawn onto a cleared surface.
    virtual SIZE PictureSize() const = 0;
    virtual void Compose(HDC dc) = 0;

    void Present();
    // Takes WM_PAINT and WM_ERASEBKGND; false for any other message.
    bool HandlePaintMessage(UINT msg, LRESULT& result);

private:
    void PaintOpaque();

    Surface m_surface;
    bool m_deleteWhenGone = false;
};
