#pragma once

#include <deque>
#include <string>

#include <windows.h>
#include <gdiplus.h>

#include "skinkit/paint_cache.h"
#include "skinkit/skinkit_api.h"

// Check box drawn from a six-slice strip: normal, hover, disabled, then the
// same three checked.
class SKINKIT_API CCheckBoxUI {
public:
    enum State { kNormal = 0, kHover = 1, kDisabled = 2 };
    enum : DWORD { kStyleAutoSize = 0x1, kStyleHoverShift = 0x2 };

    CCheckBoxUI();

    bool Create(HWND parent, WORD id);
    bool Create(HWND parent, int x, int y, int w, int h, const std::wstring& label, WORD id, DWORD style);
    bool Create(HWND parent, const RECT& rect, const std::wstring& label, WORD id, DWORD style);
    void SetAttribute(
        const std::wstring& section, const std::wstring& iniFile, const std::deque<Gdiplus::Bitmap*>& images);

    bool GetCheck() const { return m_checked; }
    void SetCheck(bool checked);
    void SetBitmap(Gdiplus::Bitmap* image)
    {
        m_image = image;
        m_cache.Invalidate();
    }
    void SetWindowTextW(const std::wstring& text);
    bool GetWindowTextW(std::wstring& text) const;
    void SetTextColor(COLORREF color) { m_textColor = color; }
    COLORREF GetTextColor() const;
    DWORD GetWindowStyle() const { return m_style; }
    void SetWindowStyle(DWORD style) { m_style = style; }
    bool ModifyStyle(DWORD remove, DWORD add, bool redraw);
    void SetAutoSize();
    BOOL EnableWindow(bool enable);
    bool IsWindowEnabled() const { return m_state != kDisabled; }
    void SetFocus();
    void KillFocus();
    bool IsFocus() const { return m_focus; }
    // What a click does, for Space on the focused box.
    void Click();
    void SetWindowRect(int left, int top, int right, int bottom);
    bool MoveWindow(int x, int y, int w, int h, bool repaint);
    bool MoveWindow(RECT* rect, bool repaint);
    void OnSize();

    bool IsWindowVisible() const { return m_visible; }
    void ShowWindow(bool visible);
    RECT GetWindowRect() const { return m_rect; }
    int GetState() const { return m_state; }

    void OnPaint(HDC hdc);
    LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

private:
    void SetState(int state);
    void Invalidate() const;

    Gdiplus::Bitmap* m_image = nullptr;
    HWND m_parent = nullptr;
    RECT m_rawRect{};
    RECT m_rect{};
    std::wstring m_text;
    int m_state = kNormal;
    bool m_checked = false;
    COLORREF m_textColor;
    bool m_pressed = false;
    bool m_visible = true;
    DWORD m_style = 0;
    WORD m_id = 0xFFFF;
    bool m_focus = false;
    CPaintCache m_cache;
};
