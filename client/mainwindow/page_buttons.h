#pragma once
#include <memory>

#include <windows.h>
// GDI+ needs the Windows types first.
#include <gdiplus.h>

#include "skinkit/button.h"

// The previous / next page pair at the panels' right end, with the pictures
// they point into.
class PageButtons {
public:
    void Create(HWND parent, int width, WORD previousId, WORD nextId);
    void Layout(int width, int dpi);
    void Show(bool shown);
    bool IsShown() const { return m_next.IsWindowVisible(); }
    void Paint(HDC hdc);
    void WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

private:
    CButtonUI m_previous;
    CButtonUI m_next;
    std::unique_ptr<Gdiplus::Bitmap> m_previousPicture;
    std::unique_ptr<Gdiplus::Bitmap> m_nextPicture;
};
