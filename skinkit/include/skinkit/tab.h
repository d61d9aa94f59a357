#pragma once

#include <deque>
#include <string>

#include <windows.h>
#include <gdiplus.h>

#include "skinkit/paint_cache.h"
#include "skinkit/skinkit_api.h"

// Message the tab strip sends to its parent; wParam is one of the kinds
// below, lParam points at a CTabNotify valid during the call.
constexpr UINT kTabNotifyMessage = 0x0A00;
constexpr WPARAM kTabSelectionChanged = 1;
constexpr WPARAM kTabHotChanged = 2;

struct CTabNotify {
    WORD id;
    WORD unused;
    INT32 item;
    INT32 minusOne;
    INT32 zero;
};
static_assert(sizeof(CTabNotify) == 16, "the record is 16 bytes");

// A row or column of picture items with a hot and a selected item.
class SKINKIT_API CTabUI {
public:
    CTabUI() = default;

    bool Create(HWND parent, WORD id);
    bool Create(HWND parent, int x, int y, int w, int h, WORD id, DWORD style);
    bool Create(HWND parent, RECT* rect, WORD id, DWORD style);
    void SetAttribute(
        const std::wstring& section, const std::wstring& iniFile, const std::deque<Gdiplus::Bitmap*>& images);

    void SetItemDistance(int distance) { m_itemDistance = distance; }
    void SetItemSize(const SIZE& size);
    // The tab does not own item bitmaps it was handed; those it loads from a
    // file it frees itself.
    int AddItem(const std::wstring& imagePath);
    int AddItem(Gdiplus::Bitmap* image);
    int InsertItem(int index, const std::wstring& imagePath);
    int InsertItem(int index, Gdiplus::Bitmap* image);
    void DeleteItem(int index);
    int GetItemCount() const { return static_cast<int>(m_items.size()); }
    int SetCurSel(int index);
    int GetCurSel() const { return m_selected; }
    int GetHotItem() const { return m_hot; }
    bool GetItemRect(int index, RECT* rect) const;
    int ItemFromPoint(const POINT& point) const;

    bool IsWindowVisible() const { return m_visible; }
    void ShowWindow(bool visible);
    RECT GetWindowRect() const { return m_rect; }
    SIZE GetItemSize() const { return SIZE{m_itemWidth, m_itemHeight}; }

    void OnPaint(HDC hdc);
    LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    ~CTabUI();
    CTabUI(const CTabUI&) = delete;
    CTabUI& operator=(const CTabUI&) = delete;

private:
    void Notify(WPARAM kind, int item) const;
    void SetHot(int item);
    void Invalidate() const;
    Gdiplus::Bitmap* LoadOwned(const std::wstring& path);

    HWND m_parent = nullptr;
    RECT m_rawRect{};
    RECT m_rect{};
    WORD m_id = 0xFFFF;
    DWORD m_style = 0;
    int m_itemDistance = 2;
    bool m_visible = true;
    int m_itemWidth = 0;
    int m_itemHeight = 0;
    std::deque<Gdiplus::Bitmap*> m_items;
    int m_hot = -1;
    int m_selected = -1;
    Gdiplus::Bitmap* m_highlight = nullptr;
    std::deque<Gdiplus::Bitmap*> m_owned;
    CPaintCache m_cache;
};
