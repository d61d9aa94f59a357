#pragma once

#include <deque>
#include <memory>
#include <string>

#include <windows.h>
// GDI+ needs the Windows types first.
#include <gdiplus.h>

#include "skinkit/rich_edit.h"
#include "skinkit/skinkit_api.h"

// Sent to the parent: wParam one of the codes below, lParam a
// CComboNotify*. The open list posts the same message with lParam 0 (row
// chosen, list deactivated, close button released); the parent routes it
// back to the combo's WindowProc.
constexpr UINT kComboNotify = 2200;
enum ComboCode : WPARAM {
    kComboOpening = 1,
    kComboSelChanged = 2,
    kComboClosed = 3,
    kComboItemClosed = 4,
};

struct CComboNotify {
    WORD id;
    int item;
    int zero;
};

// Style bits.
enum : DWORD {
    kComboUnlimited = 0x1,  // the list is never limited in height
    kComboExpandHot = 0x2,  // rows grow around the hot row
    kComboMarker = 0x4,  // a marker square at the left of every row
    kComboNoClose = 0x8,  // rows carry no close button
    kComboReadOnly = 0x10,  // the whole control opens the list
};

class CComboList;

// A drop-down list box: an embedded rich edit shows the current text, an
// image button opens the rows in a pop-up of their own, each row with an
// optional close button and the list with its own scroll bar.
class SKINKIT_API CComboBoxUI {
public:
    CComboBoxUI();
    ~CComboBoxUI();
    CComboBoxUI(const CComboBoxUI&) = delete;
    CComboBoxUI& operator=(const CComboBoxUI&) = delete;

    bool Create(HWND parent, WORD id);
    bool Create(HWND parent, int x, int y, int w, int h, WORD id, DWORD style);
    bool Create(HWND parent, const RECT& rect, WORD id, DWORD style);
    void SetAttribute(
        const std::wstring& section, const std::wstring& iniFile, const std::deque<Gdiplus::Bitmap*>& images);
    // Pictures not owned: the drop button (three states), a row's close
    // button (three states) and the list's scroll-bar thumb parts.
    void SetImages(Gdiplus::Bitmap* arrow, Gdiplus::Bitmap* close, Gdiplus::Bitmap* thumbTop,
        Gdiplus::Bitmap* thumbMiddle, Gdiplus::Bitmap* thumbBottom);

    bool AddString(const wchar_t* text);
    int InsertString(int index, const wchar_t* text);
    int DeleteString(UINT index);
    void ResetContent();
    int GetCount() const { return int(m_items.size()); }
    bool GetLBText(int index, std::wstring& text) const;
    int GetLBTextLen(int index) const;
    DWORD GetItemData(int index) const;
    bool SetItemData(int index, DWORD data);
    int SetCurSel(int index);
    int GetCurSel() const { return m_curSel; }

    void ShowDropDown(bool show);
    bool IsDroppedDown() const { return m_list != nullptr; }
    // The open list's window, for tests and owners; null when closed.
    HWND GetListHWND() const;

    void GetWindowTextW(std::wstring& text) const;
    void SetWindowTextW(const wchar_t* text);
    void SetLimitText(int limit) { m_edit.SetLimitText(limit); }
    void LimitText(int limit) { m_edit.SetLimitText(limit); }
    void SetEditSel(int start, int end) { m_edit.SetSel(start, end); }
    void SetReadOnly() { m_edit.SetReadOnly(true); }

    void SetTextColor(COLORREF color);
    void SetSelBkColor(COLORREF color) { m_selColor = color; }
    void SetLBorderColor(COLORREF color) { m_borderColor = color; }
    int GetItemHeight(int) const { return m_itemHeight; }
    void SetMaxListHeight(int height) { m_maxListHeight = height; }

    DWORD GetWindowStyle() const { return m_style; }
    void SetWindowStyle(DWORD style);
    void ModifyStyle(DWORD remove, DWORD add) { SetWindowStyle((m_style & ~remove) | add); }

    void SetFocus() { m_edit.SetFocus(); }
    void KillFocus() { m_edit.KillFocus(); }
    bool IsFocus() const { return m_edit.IsFocus(); }
    void ShowWindow(bool visible);
    bool IsWindowVisible() const { return m_visible; }
    RECT GetWindowRect() const { return m_rect; }
    RECT GetEditRect() const { return m_editRect; }
    RECT GetDropButtonRect() const { return m_buttonRect; }
    int GetButtonState() const { return m_buttonState; }

    void OnPaint(HDC hdc);
    void ReDrawControl() const;
    bool OnSetCursor() const { return m_edit.OnSetCursor(); }
    LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

private:
    friend class CComboList;
    struct Item {
        std::wstring text;
        DWORD data = 0;
    };

    void SetRects(const RECT& raw, const RECT& rawEdit);
    void OnListCode(WPARAM code);
    void OnButtonDown(POINT point);
    void UpdateButtonState(POINT point, bool down);
    void Notify(ComboCode code, int item) const;
    RECT ListRectOnScreen() const;

    Gdiplus::Bitmap* m_arrow = nullptr;
    Gdiplus::Bitmap* m_close = nullptr;
    Gdiplus::Bitmap* m_thumb[3] = {};
    HWND m_parent = nullptr;
    CRichEditUI m_edit;
    std::unique_ptr<CComboList> m_list;
    RECT m_rawRect{};
    RECT m_rawEditRect{};
    RECT m_rect{};
    RECT m_editRect{};
    RECT m_buttonRect{};
    std::deque<Item> m_items;
    int m_maxListHeight = 200;
    int m_itemHeight = 20;
    DWORD m_style = 2;
    int m_curSel = -1;
    COLORREF m_textColor = 0;
    COLORREF m_selColor = RGB(179, 217, 254);
    COLORREF m_borderColor = RGB(195, 205, 231);
    int m_savedScroll = 0;
    WORD m_id = 0xFFFF;
    int m_buttonState = 0;
    bool m_visible = true;
    // The chosen row while the list closes; its window is gone by then.
    int m_chosen = -1;
};
