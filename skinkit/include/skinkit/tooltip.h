#pragma once

#include <string>

#include <windows.h>

#include "skinkit/skinkit_api.h"
#include "win32kit/scoped_win.h"

// A small pop-up that shows one line of text near the cursor for two seconds.
class SKINKIT_API CToolTipUI {
public:
    CToolTipUI() = default;
    CToolTipUI(const CToolTipUI&) = delete;
    CToolTipUI& operator=(const CToolTipUI&) = delete;
    ~CToolTipUI();

    bool Create(HWND parent);
    static bool RegisterWindowClass();
    int SetParent(HWND parent);
    void SetBkColor(COLORREF color);
    void SetBorderColor(COLORREF color);
    void ShowToolTip(std::wstring text);
    // Also hides the tip as soon as the cursor leaves keepInside (screen
    // coordinates).
    void ShowToolTip(const std::wstring& text, const RECT& keepInside);
    void HideToolTip();

    HWND GetHWND() const { return m_window.Get(); }
    bool IsVisible() const { return m_window && ::IsWindowVisible(m_window.Get()); }
    RECT GetTipRect() const { return m_tipRect; }
    const std::wstring& GetText() const { return m_text; }

    static LRESULT CALLBACK __WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

private:
    void OnPaint();
    void OnTimer(UINT_PTR id);
    void Place(const std::wstring& text);

    // Destroyed with the object: the window's property points at it.
    win32kit::ScopedWindow m_window;
    HWND m_parent = nullptr;
    RECT m_tipRect{};
    std::wstring m_text;
    COLORREF m_borderColor = RGB(0, 0, 0);
    COLORREF m_bkColor = RGB(255, 255, 225);
    RECT m_keepInside{};
};
