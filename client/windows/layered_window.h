#pragma once
#include <windows.h>

#include "skinkit/window_base.h"

// A pop-up drawn whole off screen and handed to the system with per-pixel
// alpha. The system keeps the last picture it was given, so every change
// calls Present(); a paint request only presents again.
class CLayeredWindow : public CWindowBase {
protected:
    // The picture's size and what it shows, drawn onto a cleared surface.
    virtual SIZE PictureSize() const = 0;
    virtual void Compose(HDC dc) = 0;

    void Present();
    // Takes WM_PAINT and WM_ERASEBKGND; false for any other message.
    bool HandlePaintMessage(UINT msg, LRESULT& result);
};
