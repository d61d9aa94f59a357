#pragma once

#include <functional>
#include <vector>

#include <windows.h>

#include "skinkit/skinkit_api.h"

class CButtonUI;
class CCheckBoxUI;
class CRichEditUI;

// The accent around the focused control: a thin rounded outline just
// outside rect, scaled to hwnd's DPI.
constexpr COLORREF kFocusMarkColor = RGB(0, 163, 223);
SKINKIT_API void DrawFocusMark(HDC hdc, HWND hwnd, const RECT& rect);

// Keyboard focus among one window's drawn controls, listed in reading
// order: Tab and Shift+Tab step through the shown and enabled ones,
// wrapping; Space or Enter click the focused button, Space ticks the
// focused box; Escape runs what the window's close button does. Each
// control tells screen readers itself when it takes the focus.
class SKINKIT_API CFocusCycle {
public:
    void Add(CRichEditUI& field);
    void Add(CButtonUI& button);
    void Add(CCheckBoxUI& box);
    void OnEscape(std::function<void()> close) { m_escape = std::move(close); }
    bool Empty() const { return m_stops.empty(); }

    // True when the key was the cycle's; the window then sees nothing of it.
    bool OnKeyDown(HWND hwnd, WPARAM key);
    // A click puts the focus where the pointer is: a button loses it.
    void OnClick(HWND hwnd);
    // Fields drop the focus when their window goes to the back; it comes
    // back to the same control when the window is in front again.
    void OnActivate(HWND hwnd, bool active);
    // Moves the focus to the listed control; false when it is not listed.
    bool Focus(HWND hwnd, const void* control);
    // The focused control, null for none.
    const void* Focused() const;
    // The mark around the focused control, drawn last over the window's picture.
    void Paint(HDC hdc, HWND hwnd) const;

private:
    enum class Kind { kField, kButton, kBox };
    struct Stop {
        Kind kind;
        void* control;
    };

    int Current() const;
    bool Usable(const Stop& stop) const;
    bool HasFocus(const Stop& stop) const;
    void SetFocus(const Stop& stop, bool focused, bool byTab) const;
    RECT RectOf(const Stop& stop) const;
    bool Step(HWND hwnd, int direction);
    void MoveTo(HWND hwnd, int next, bool byTab);

    std::vector<Stop> m_stops;
    std::function<void()> m_escape;
    int m_resume = -1;
};
