#pragma once
#include "browse_layout.h"
#include "skinkit/button.h"

#include <array>
#include <memory>

#include <windows.h>

// The eight category buttons; they fade in each time the bar is shown.
class CategoryBar {
public:
    static constexpr UINT_PTR kFadeTimer = 27001;

    CategoryBar() = default;
    CategoryBar(const CategoryBar&) = delete;
    CategoryBar& operator=(const CategoryBar&) = delete;

    void Create(HWND parent, WORD firstCommand, int width);
    // Places the buttons and loads their pictures for the window's DPI.
    void Layout(int width, int dpi);
    void Show();
    void Hide();
    bool IsVisible() const { return m_visible; }
    // The button under the point, or -1.
    int ButtonAt(POINT point) const;
    RECT ButtonRect(int index) const { return m_buttons[index].GetWindowRect(); }
    // What the buttons cover together; the fade draws nothing else.
    RECT BarArea() const;

    void Paint(HDC hdc);
    void WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // True when the timer was the bar's.
    bool OnTimer(UINT_PTR id);

private:
    HWND m_parent = nullptr;
    std::array<Gosick_button, browse_layout::kCategoryCount> m_buttons;
    std::array<std::unique_ptr<Gdiplus::Bitmap>, browse_layout::kCategoryCount> m_pictures;
    bool m_visible = false;
};
