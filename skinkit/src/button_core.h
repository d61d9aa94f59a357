#pragma once

#include <atomic>
#include <deque>
#include <memory>
#include <string>

#include <windows.h>
#include <gdiplus.h>

#include "skinkit/button.h"
#include "skinkit/paint_cache.h"

class CToolTipUI;

// What both skinned button classes are: the mouse state machine, the
// rectangle, the pictures, the text and the tip. They differ only in how
// they draw. The rectangle and alpha are atomic: an animation thread may
// step them while the UI thread paints.
class ButtonCore {
public:
    // sharedTip and alive belong to the owning class: one tip per class,
    // freed with the class's last button.
    // owner is the exported button: screen readers know the control by it.
    ButtonCore(const void* owner, CToolTipUI*& sharedTip, int& alive);
    ~ButtonCore();
    ButtonCore(const ButtonCore&) = delete;
    ButtonCore& operator=(const ButtonCore&) = delete;

    bool Create(HWND parent, WORD id, const RECT& rect);
    void SetAttribute(
        const std::wstring& section, const std::wstring& iniFile, const std::deque<Gdiplus::Bitmap*>& images);
    void SetImage(Gdiplus::Bitmap* image);
    void SetOwnedImage(Gdiplus::Bitmap* image);
    void SetText(const std::wstring& text);
    void SetWindowRect(const RECT& raw);
    bool MoveWindow(int x, int y, int w, int h, bool repaint);
    BOOL Enable(bool enable);
    void Show(bool visible);
    RECT Rect() const;
    void GrowBy(int delta);
    void Shift(int dx);
    void IncreaseAlpha();
    bool PointerInside() const;
    // lParam carries a mouse message's point, in the parent's client area.
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // What a click does, for a key press on the focused button.
    void Click();
    void SetKeyFocus(bool focused);

    // A horizontal strip of four states cut to the button's size.
    void PaintStrip(HDC hdc);
    // A strip of three states stretched into the rectangle, faded by alpha.
    void PaintStretched(HDC hdc);

    HWND parent = nullptr;
    HICON cursor = nullptr;
    std::wstring text;
    std::wstring tipText;
    std::wstring keepText;
    // What a screen reader calls an image-only button: the skin's "Name".
    std::wstring accessibleName;
    COLORREF textColor;
    int alignment = 0;
    int state = kButtonNormal;
    bool visible = true;
    bool keyFocus = false;
    std::atomic<float> alpha{0.0f};

private:
    void StoreRect(const RECT& rect);
    void SetState(int next);
    void Invalidate() const;
    void HideTip() const;
    void OnMouseMove(WPARAM keys, POINT point);
    void OnButtonDown();
    void OnButtonUp();
    void OnTipTimer();
    void DrawCaption(HDC dc, const RECT& box, int shift, bool centred, bool trimmed) const;

    const void* m_owner;
    CToolTipUI*& m_sharedTip;
    int& m_alive;
    Gdiplus::Bitmap* m_image = nullptr;
    std::unique_ptr<Gdiplus::Bitmap> m_ownedImage;
    RECT m_rawRect{};
    std::atomic<int> m_left{0};
    std::atomic<int> m_top{0};
    std::atomic<int> m_right{0};
    std::atomic<int> m_bottom{0};
    WORD m_id = 0xFFFF;
    bool m_pressed = false;
    std::wstring m_fontFace;
    int m_fontSize = 12;
    DWORD m_lastClickTick = 0;
    CPaintCache m_cache;
    // The stretched look's other state: a hover goes back and forth between
    // two, each kept ready (a faded stretch costs a GDI+ draw).
    CPaintCache m_otherCache;
    bool m_otherLook = false;
};
