#pragma once

#include <string>

#include <windows.h>
// GDI+ needs the Windows types first.
#include <gdiplus.h>

#include "skinkit/skinkit_api.h"

// Sent to the parent after every position change: wParam MAKEWPARAM(id, 1),
// lParam the new position.
constexpr UINT kScrollBarNotify = 2201;
// Timers on the parent while the button is held in the channel.
constexpr UINT_PTR kScrollPageDownTimer = 33;
constexpr UINT_PTR kScrollPageUpTimer = 34;
// HitTest results.
constexpr int kScrollHitNone = -1;
constexpr int kScrollHitAbove = 3;
constexpr int kScrollHitBelow = 4;
constexpr int kScrollHitThumb = 5;

// A windowless vertical scroll bar: an image thumb over an undrawn channel.
// The position is the offset of what it scrolls: the thumb is the bar's
// height squared over the range tall, so a range of the content's height
// scrolls by pixels.
class SKINKIT_API CScrollBarUI {
public:
    CScrollBarUI() = default;
    ~CScrollBarUI();
    CScrollBarUI(const CScrollBarUI&) = delete;
    CScrollBarUI& operator=(const CScrollBarUI&) = delete;

    bool Create(HWND parent, const RECT& rect, WORD id, DWORD style);
    bool Create(HWND parent, int x, int y, int w, int h, WORD id, DWORD style);
    void MoveWindow(const RECT& rect);

    // Thumb pictures, not owned.
    void SetBitmap(Gdiplus::Bitmap* top, Gdiplus::Bitmap* middle, Gdiplus::Bitmap* bottom);
    // The channel picture, owned (never drawn).
    void LoadRes(std::wstring& path);
    void LoadRes(Gdiplus::Bitmap* image);

    void SetScrollRange(int min, int max, bool redraw);
    void GetScrollRange(int* min, int* max) const;
    // Returns the previous position, or 0 when the new one is the minimum.
    int SetScrollPos(int pos, bool redraw);
    int GetScrollPos() const { return m_pos; }
    bool GetScrollInfo(SCROLLINFO* info, UINT mask) const;
    // Wheel turns over this area (the bar's when never set) scroll.
    void SetWheelArea(const RECT& area) { m_wheelArea = area; }

    void ShowScrollBar(bool visible);
    bool IsWindowVisible() const { return m_visible; }
    RECT GetWindowRect() const { return m_rect; }
    void GetChannelRect(RECT* rect) const;
    void GetThumbRect(RECT* rect) const;
    int HitTest(POINT* point) const;
    bool IsDragging() const { return m_dragging; }

    void OnPaint(HDC hdc);
    LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

private:
    void OnButtonDown(POINT point);
    void OnTimer(UINT_PTR id);
    void OnWheel(short delta, POINT screen);
    void StopTimers();
    void Invalidate() const;

    HWND m_parent = nullptr;
    DWORD m_flags = 1;
    RECT m_rect{};
    int m_min = 0;
    int m_max = 100;
    int m_pos = 0;
    bool m_visible = true;
    bool m_dragging = false;
    int m_lastY = 0;
    WORD m_id = 0xFFFF;
    Gdiplus::Bitmap* m_channel = nullptr;
    Gdiplus::Bitmap* m_top = nullptr;
    Gdiplus::Bitmap* m_middle = nullptr;
    Gdiplus::Bitmap* m_bottom = nullptr;
    RECT m_wheelArea{};
};
