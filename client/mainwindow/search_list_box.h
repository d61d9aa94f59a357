#pragma once
#include <memory>

#include <windows.h>
// GDI+ needs the Windows types first.
#include <gdiplus.h>

// The two-entry choice under the search field: search people (0) or
// pictures (1). A click posts its owner command with the entry in lParam.
class CSearchListBox {
public:
    CSearchListBox() = default;
    CSearchListBox(const CSearchListBox&) = delete;
    CSearchListBox& operator=(const CSearchListBox&) = delete;

    void Create(HWND owner, WORD command, const RECT& rect);
    void Show();
    void Hide() { m_visible = false; }
    bool IsVisible() const { return m_visible; }
    int Selected() const { return m_selected; }
    RECT Rect() const { return m_rect; }

    void Paint(HDC hdc);
    // True when the message was the list's and changed what it shows.
    bool WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

private:
    HWND m_owner = nullptr;
    WORD m_command = 0;
    int m_dpi = 96;
    RECT m_rect{};
    bool m_visible = false;
    int m_selected = 0;
    std::unique_ptr<Gdiplus::Bitmap> m_background, m_selection;
};
