#pragma once

#include <windows.h>

#include "skinkit/control_host.h"
#include "skinkit/focus_cycle.h"
#include "skinkit/skinkit_api.h"

// Owns nothing but the binding between one top-level window and this object:
// messages reach the window's hosted controls, then the virtual handlers
// below. Destroying the object does not destroy the window, so the object
// must outlive its window.
class SKINKIT_API CWindowBase {
public:
    CWindowBase();
    CWindowBase(const CWindowBase& other);
    CWindowBase& operator=(const CWindowBase& other);
    virtual ~CWindowBase();

    // Leaving result nonzero suppresses DefWindowProcW; the BOOL is only
    // informative for callers that dispatch by hand.
    virtual BOOL HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    // Routes the message to the hosted controls; runs before HandleMessage.
    virtual LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    virtual const wchar_t* GetWindowClassName() const = 0;
    virtual UINT GetClassStyle() const;
    virtual HBRUSH GethBrushBackground();

    bool RegisterWindowClass();
    HWND Create(
        HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, int x, int y, int width, int height, HMENU menu);
    HWND Create(HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, RECT rect, HMENU menu);

    void CenterWindow();
    void CenterWindow2();

    BOOL MoveWindow(const RECT* rect, BOOL repaint);
    BOOL SetWindowPos(HWND insertAfter, const RECT* rect, UINT flags);
    BOOL GetWindowRect(RECT* rect) const;
    BOOL ClientToScreen(POINT* point) const;
    BOOL ClientToScreen(RECT* rect) const;
    BOOL ShowWindow(int cmdShow);

    void SetRoundSize(int width, int height);
    void ReSetWindowRgn();

    // A hook for subclasses; the base draws nothing.
    void OnPaint(HDC hdc);
    // The window's last message has gone by and nothing reaches this object
    // through it any more: where an object on the heap may delete itself.
    virtual void OnFinalMessage(HWND hwnd);

    // A control drawn on this window, routed after those hosted before it.
    template <class Control> void HostControl(Control& control, CControlHost::Filter takes = nullptr)
    {
        m_controls.Host(control, std::move(takes));
    }
    void HostRoute(CControlHost::Route route, CControlHost::Filter takes = nullptr);
    // A part drawn by the window or a hosted group, listed to screen readers
    // after what was hosted before it; source names it to NotifyControlEvent.
    void HostDescriber(CControlHost::Describer describe, const void* source);
    // A hosted control and the name a screen reader gives it.
    template <class Control> void HostNamedControl(Control& control, std::wstring name)
    {
        m_controls.Host(control, nullptr, std::move(name));
    }
    const CControlHost& Controls() const { return m_controls; }
    // The controls Tab steps through, listed in reading order; a window with
    // none listed has its keys to itself.
    template <class Control> void ListFocusable(Control& control) { m_focus.Add(control); }
    CFocusCycle& FocusCycle() { return m_focus; }
    const CFocusCycle& FocusCycle() const { return m_focus; }

    // The object bound to a window this base created; null for any other.
    static CWindowBase* FromHandle(HWND hwnd);

    HWND GetHWND() const { return m_hWnd; }
    HWND GetParentHWND() const { return m_hParent; }

    static LRESULT CALLBACK __WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

protected:
    // False while the window takes no input: its controls then see nothing.
    virtual bool ControlsTakeMessages() const;

    int m_roundWidth = 0;
    int m_roundHeight = 0;
    HWND m_hWnd = nullptr;
    HWND m_hParent = nullptr;
    int m_reserved = 0;

private:
    CControlHost m_controls;
    CFocusCycle m_focus;

    void CenterInside(const RECT& reference, const RECT& work);
};
