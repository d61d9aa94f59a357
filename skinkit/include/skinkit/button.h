#pragma once

#include <atomic>
#include <deque>
#include <memory>
#include <string>

#include <windows.h>
#include <gdiplus.h>

#include "skinkit/paint_cache.h"
#include "skinkit/skinkit_api.h"

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
    void SetAttribute(const std::wstring& section, const std::wstring& iniFile,
                      const std::deque<Gdiplus::Bitmap*>& images);
    void SetAttribute(Gdiplus::Bitmap* image) {
        m_image = image;
        m_cache.Invalidate();
    }
    // Takes ownership: for pictures the caller handed over, never list entries.
    void SetBkBitmap(Gdiplus::Bitmap* image);

    void SetWindowTextW(const std::wstring& text);
    bool GetWindowTextW(std::wstring& text) const;
    void SetTipText(const std::wstring& text) { m_tipText = text; }
    std::wstring GetTipText() const { return m_tipText; }
    void SetKeepText(const std::wstring& text) { m_keepText = text; }
    std::wstring GetKeepText() const { return m_keepText; }
    void SetTextColor(COLORREF color) { m_textColor = color; }
    COLORREF GetTextColor() const { return m_textColor; }
    void SetAlignment(int alignment) { m_alignment = alignment; }
    void SetCursor(HICON cursor) { m_cursor = cursor; }

    void SetWindowRect(int left, int top, int right, int bottom);
    void SetWindowRect_New(int x, int y, int w, int h) { SetWindowRect(x, y, x + w, y + h); }
    bool MoveWindow(int x, int y, bool repaint);
    bool MoveWindow(int x, int y, int w, int h, bool repaint);
    bool MoveWindow(RECT* rect, bool repaint);
    BOOL EnableWindow(bool enable);
    bool IsWindowEnabled() const { return m_state != kButtonDisabled; }

    bool IsWindowVisible() const { return m_visible; }
    void ShowWindow(bool visible);
    RECT GetWindowRect() const { return m_rect; }
    int GetState() const { return m_state; }

    void OnPaint(HDC hdc);
    LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    // Shared by the buttons of this class; made for the first tip, freed
    // with the last button.
    static CToolTipUI* m_pToolTip;

private:
    friend struct ButtonLogic;
    void Invalidate() const;

    HWND m_parent = nullptr;
    Gdiplus::Bitmap* m_image = nullptr;
    RECT m_rawRect{};
    RECT m_rect{};
    WORD m_id = 0xFFFF;
    HICON m_cursor = nullptr;
    std::wstring m_text;
    std::wstring m_tipText;
    std::wstring m_keepText;
    int m_state = kButtonNormal;
    bool m_visible = true;
    bool m_pressed = false;
    std::wstring m_fontFace;
    int m_fontSize = 12;
    COLORREF m_textColor;
    DWORD m_lastClickTick = 0;
    int m_alignment = 0;
    std::unique_ptr<Gdiplus::Bitmap> m_ownedImage;
    CPaintCache m_cache;
};

// A button drawn from a three-state strip stretched into its rectangle, with
// a fade-in alpha and size/position steps for the caller's animations. The
// animated values are atomic: an animation thread may step them while the UI
// thread paints.
class SKINKIT_API Gosick_button {
public:
    Gosick_button();
    ~Gosick_button();
    Gosick_button(const Gosick_button&) = delete;
    Gosick_button& operator=(const Gosick_button&) = delete;

    bool Create(HWND parent, WORD id);
    bool Create(HWND parent, int x, int y, int w, int h, WORD id, const std::wstring& text);
    void SetAttribute(const std::wstring& section, const std::wstring& iniFile,
                      const std::deque<Gdiplus::Bitmap*>& images);
    void SetAttribute(Gdiplus::Bitmap* image) {
        m_image = image;
        m_cache.Invalidate();
    }
    void set_picture_ptr(Gdiplus::Bitmap* image) { SetAttribute(image); }
    void SetBkBitmap(Gdiplus::Bitmap* image);

    void SetWindowTextW(const std::wstring& text);
    bool GetWindowTextW(std::wstring& text) const;
    void SetTipText(const std::wstring& text) { m_tipText = text; }
    std::wstring GetTipText() const { return m_tipText; }
    void SetKeepText(const std::wstring& text) { m_keepText = text; }
    std::wstring GetKeepText() const { return m_keepText; }
    void SetTextColor(COLORREF color) { m_textColor = color; }
    void SetCursor(HICON cursor) { m_cursor = cursor; }

    void SetWindowRect(int left, int top, int right, int bottom);
    void SetWindowRect_New(int x, int y, int w, int h) { SetWindowRect(x, y, x + w, y + h); }
    bool MoveWindow(int x, int y, bool repaint);
    bool MoveWindow(int x, int y, int w, int h, bool repaint);
    bool MoveWindow(RECT* rect, bool repaint);
    BOOL EnableWindow(bool enable);
    bool IsWindowEnabled() const { return m_state != kButtonDisabled; }

    bool IsWindowVisible() const { return m_visible; }
    void ShowWindow(bool visible);
    RECT GetWindowRect() const;
    int GetState() const { return m_state; }

    void InCreaseAlpha();
    bool Holy_judgment() const { return m_alpha.load() >= 1.0f; }
    float GetAlpha() const { return m_alpha.load(); }
    void SetAlpha(float alpha) { m_alpha.store(alpha); }
    void Let_me_zoom_in();
    void Let_me_zoom_out();
    void Enlarge_window();
    void Narrow_window();
    void adjust_horizon(int dx);
    int get_left_vertical_val() const { return m_left.load(); }
    bool Is_mouse_inrect() const;
    void Moe_shake_window() {}

    void OnPaint(HDC hdc);
    LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    // Shared by the buttons of this class; made for the first tip, freed
    // with the last button.
    static CToolTipUI* m_pToolTip;

private:
    friend struct ButtonLogic;
    void StoreRect(const RECT& rect);
    void GrowBy(int delta);
    void Invalidate() const;
    void InvalidateParent() const;

    HWND m_parent = nullptr;
    Gdiplus::Bitmap* m_image = nullptr;
    RECT m_rawRect{};
    std::atomic<int> m_left{0};
    std::atomic<int> m_top{0};
    std::atomic<int> m_right{0};
    std::atomic<int> m_bottom{0};
    WORD m_id = 0xFFFF;
    HICON m_cursor = nullptr;
    std::wstring m_text;
    std::wstring m_tipText;
    std::wstring m_keepText;
    int m_state = kButtonNormal;
    bool m_visible = true;
    bool m_pressed = false;
    std::wstring m_fontFace;
    int m_fontSize = 12;
    COLORREF m_textColor;
    std::atomic<float> m_alpha{0.0f};
    DWORD m_lastClickTick = 0;
    std::unique_ptr<Gdiplus::Bitmap> m_ownedImage;
    CPaintCache m_cache;
};
