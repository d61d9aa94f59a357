#pragma once

#include <windows.h>

#include "skinkit/window_base.h"

// A layered popup whose whole picture comes from Render: it is drawn into a
// 32-bit surface of the window's size and handed to UpdateLayeredWindow on
// creation and on every WM_PAINT. Subclasses destroy the window in their own
// destructor, while their message handler still exists.
class CLayeredPreview : public CWindowBase {
public:
    // Renders the whole window into a 32-bit surface of the window's size.
    virtual void Render(HDC hdc) = 0;
    SIZE GetSize() const { return m_size; }

protected:
    explicit CLayeredPreview(SIZE size)
        : m_size(size)
    {
    }
    // Creates the window at m_size, centres it and gives it its first picture.
    bool CreateLayered(const wchar_t* title, int x, int y);
    // Answers WM_PAINT.
    void Paint();

    SIZE m_size;

private:
    void Present(HDC target);
};
