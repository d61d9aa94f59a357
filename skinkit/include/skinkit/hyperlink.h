#pragma once

#include <string>

#include <windows.h>

#include "skinkit/paint_cache.h"
#include "skinkit/skinkit_api.h"

// A text link. It reports clicks to its parent; the parent decides whether
// to open the URL (GoToURL).
class SKINKIT_API CHyperLinkUI {
public:
    // Style bits (enumerators, so a DLL client needs no exported data).
    enum : DWORD { kStyleAutoSize = 0x1, kStyleUnderline = 0x2, kStyleNoHoverColor = 0x4 };

    CHyperLinkUI();

    bool Create(HWND parent, WORD id);
    void SetAttribute(const std::wstring& section, const std::wstring& iniFile);
    void SetURL(const std::wstring& url, const std::wstring& text);
    std::wstring GetURL() const { return m_url; }
    std::wstring GetShownText() const { return m_text.empty() ? m_url : m_text; }
    void GoToURL() const;
    void SetAutoSize();
    void MoveWindow(int x, int y, bool repaint);
    void SetWindowStyle(DWORD style) { m_style = style; }
    DWORD GetWindowStyle() const { return m_style; }
    bool ModifyStyle(DWORD remove, DWORD add, bool redraw);
    void OnSetCursor() const;
    static void SetDefaultCursor();

    COLORREF GetLinkColor() const { return m_linkColor; }
    COLORREF GetActiveLinkColor() const { return m_activeColor; }
    // The colour the link is drawn in right now.
    COLORREF GetCurrentColor() const;
    bool IsHover() const { return m_hover != 0; }

    bool IsWindowVisible() const { return m_visible; }
    void ShowWindow(bool visible);
    RECT GetWindowRect() const { return m_rect; }

    void OnPaint(HDC hdc);
    LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    static RECT GetPrivateProfileRect(const wchar_t* section, const wchar_t* key, const wchar_t* file);
    static COLORREF GetPrivateProfileColor(const wchar_t* section, const wchar_t* key, const wchar_t* file);

    static HCURSOR g_hLinkCursor;

private:
    void SetHover(int hover);
    void Invalidate() const;
    void CenterInParent();

    HWND m_parent = nullptr;
    RECT m_rawRect{};
    RECT m_rect{};
    COLORREF m_linkColor = RGB(132, 132, 132);
    COLORREF m_activeColor = RGB(14, 194, 210);
    std::wstring m_url;
    std::wstring m_text;
    DWORD m_style = 0;
    int m_hover = 0;
    WORD m_id = 0xFFFF;
    bool m_visible = true;
    bool m_center = false;
    bool m_pressed = false;
    int m_fontSize = 12;
    CPaintCache m_cache;
};
