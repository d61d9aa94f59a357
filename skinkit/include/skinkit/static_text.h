#pragma once

#include <string>

#include <windows.h>

#include "skinkit/paint_cache.h"
#include "skinkit/skinkit_api.h"

// A one-line text label that sizes itself to its text.
class SKINKIT_API CStaticUI {
public:
    CStaticUI();

    bool Create(HWND parent, WORD id, bool visible);
    void SetAttribute(const std::wstring& section, const std::wstring& iniFile);
    void SetWindowTextW(const std::wstring& text);
    bool GetWindowTextW(std::wstring& text) const;
    void SetAutoSize();
    void SetWindowRect(int left, int top, int right, int bottom);
    void CenterWindow();
    void SetFont(UINT size) { m_fontSize = static_cast<int>(size); }
    int GetFontSize() const { return m_fontSize; }
    void SetTextColor(COLORREF color) { m_textColor = color; }
    COLORREF GetTextColor() const { return m_textColor; }

    bool IsWindowVisible() const { return m_visible; }
    void ShowWindow(bool visible);
    RECT GetWindowRect() const { return m_rect; }

    void OnPaint(HDC hdc);
    LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    // The list readers: comma-separated decimal parts (see the skin notes).
    static RECT GetPrivateProfileRect(const wchar_t* section, const wchar_t* key, const wchar_t* file);
    static COLORREF GetPrivateProfileColor(const wchar_t* section, const wchar_t* key, const wchar_t* file);

private:
    HWND m_parent = nullptr;
    int m_fontSize = 12;
    RECT m_rawRect{};
    RECT m_rect{};
    bool m_visible = true;
    std::wstring m_text;
    std::wstring m_fontFace;
    COLORREF m_textColor;
    WORD m_id = 0xFFFF;
    CPaintCache m_cache;
};
