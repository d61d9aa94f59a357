#pragma once

#include <deque>
#include <memory>
#include <string>

#include <windows.h>
#include <gdiplus.h>

#include "skinkit/skinkit_api.h"

class ButtonCore;
class CToolTipUI;

// Button states, also the slice index into a state strip.
enum ButtonState { kButtonNormal = 0, kButtonHover = 1, kButtonPressed = 2, kButtonDisabled = 3 };

// Notification codes in the high word of WM_COMMAND's wParam.
constexpr WORD kButtonMouseEnter = 0x100;
constexpr WORD kButtonMouseLeave = 0x101;
// Timer on the parent that shows a button's tooltip after a hover pause.
constexpr UINT_PTR kButtonTipTimer = 39;

// A push button drawn from a horizontal strip of four states (normal, hover,
// pressed, disabled) with an optional caption.
class SKINKIT_API CButtonUI {
public:
    CButtonUI();
    ~CButtonUI();
    CButtonUI(const CButtonUI&) = delete;
    CButtonUI& operator=(const CButtonUI&) = delete;

    bool Create(HWND parent, WORD id);
    bool Create(HWND parent, int x, int y, int w, int h, WORD id, const std::wstring& text);
    void SetAttribute(
        const std::wstring& section, const std::wstring& iniFile, const std::deque<Gdiplus::Bitmap*>& images);
    void SetAttribute(Gdiplus::Bitmap* image);
    // Takes ownership: for pictures the caller handed over, never list entries.
    void SetBkBitmap(Gdiplus::Bitmap* image);

    void SetWindowTextW(const std::wstring& text);
    bool GetWindowTextW(std::wstring& text) const;
    void SetTipText(const std::wstring& text);
    std::wstring GetTipText() const;
    void SetKeepText(const std::wstring& text);
    std::wstring GetKeepText() const;
    // What a screen reader calls the button when it has no caption.
    void SetAccessibleName(const std::wstring& name);
    std::wstring GetAccessibleName() const;
    void SetTextColor(COLORREF color);
    COLORREF GetTextColor() const;
    void SetAlignment(int alignment);
    void SetCursor(HICON cursor);

    void SetWindowRect(int left, int top, int right, int bottom);
    void SetWindowRect_New(int x, int y, int w, int h) { SetWindowRect(x, y, x + w, y + h); }
    bool MoveWindow(int x, int y, bool repaint);
    bool MoveWindow(int x, int y, int w, int h, bool repaint);
    bool MoveWindow(RECT* rect, bool repaint);
    BOOL EnableWindow(bool enable);
    bool IsWindowEnabled() const;

    bool IsWindowVisible() const;
    void ShowWindow(bool visible);
    RECT GetWindowRect() const;
    int GetState() const;

    // The keyboard's side: a key press clicks the focused button.
    void Click();
    void SetKeyFocus(bool focused);
    bool HasKeyFocus() const;

    void OnPaint(HDC hdc);
    LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    // Shared by the buttons of this class; made for the first tip, freed
    // with the last button.
    static CToolTipUI* m_pToolTip;

private:
    std::unique_ptr<ButtonCore> m_core;
};

// A button drawn from a three-state strip stretched into its rectangle, with
// a fade-in alpha and size/position steps for the caller's animations, which
// an animation thread may step while the UI thread paints.
class SKINKIT_API Gosick_button {
public:
    Gosick_button();
    ~Gosick_button();
    Gosick_button(const Gosick_button&) = delete;
    Gosick_button& operator=(const Gosick_button&) = delete;

    bool Create(HWND parent, WORD id);
    bool Create(HWND parent, int x, int y, int w, int h, WORD id, const std::wstring& text);
    void SetAttribute(
        const std::wstring& section, const std::wstring& iniFile, const std::deque<Gdiplus::Bitmap*>& images);
    void SetAttribute(Gdiplus::Bitmap* image);
    void set_picture_ptr(Gdiplus::Bitmap* image) { SetAttribute(image); }
    void SetBkBitmap(Gdiplus::Bitmap* image);

    void SetWindowTextW(const std::wstring& text);
    bool GetWindowTextW(std::wstring& text) const;
    void SetTipText(const std::wstring& text);
    std::wstring GetTipText() const;
    void SetKeepText(const std::wstring& text);
    std::wstring GetKeepText() const;
    // What a screen reader calls the button when it has no caption.
    void SetAccessibleName(const std::wstring& name);
    std::wstring GetAccessibleName() const;
    void SetTextColor(COLORREF color);
    void SetCursor(HICON cursor);

    void SetWindowRect(int left, int top, int right, int bottom);
    void SetWindowRect_New(int x, int y, int w, int h) { SetWindowRect(x, y, x + w, y + h); }
    bool MoveWindow(int x, int y, bool repaint);
    bool MoveWindow(int x, int y, int w, int h, bool repaint);
    bool MoveWindow(RECT* rect, bool repaint);
    BOOL EnableWindow(bool enable);
    bool IsWindowEnabled() const;

    bool IsWindowVisible() const;
    void ShowWindow(bool visible);
    RECT GetWindowRect() const;
    int GetState() const;

    void InCreaseAlpha();
    bool Holy_judgment() const { return GetAlpha() >= 1.0f; }
    float GetAlpha() const;
    void SetAlpha(float alpha);
    void Let_me_zoom_in();
    void Let_me_zoom_out();
    void Enlarge_window();
    void Narrow_window();
    void adjust_horizon(int dx);
    int get_left_vertical_val() const { return GetWindowRect().left; }
    bool Is_mouse_inrect() const;
    void Moe_shake_window() { }

    // The keyboard's side: a key press clicks the focused button.
    void Click();
    void SetKeyFocus(bool focused);
    bool HasKeyFocus() const;

    void OnPaint(HDC hdc);
    LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    // Shared by the buttons of this class; made for the first tip, freed
    // with the last button.
    static CToolTipUI* m_pToolTip;

private:
    std::unique_ptr<ButtonCore> m_core;
};
