#pragma once

#include <string>
#include <vector>

#include <windows.h>
// GDI+ needs the Windows types first.
#include <gdiplus.h>

#include "skinkit/scroll_bar.h"
#include "skinkit/window_base.h"

class CComboBoxUI;

// One row's place in the list, in list client coordinates before scrolling.
struct ComboRow {
    int top;
    int height;
};

// Rows of `height` from the top; with `expand` the hot row is two heights
// tall and its neighbours one and a half.
std::vector<ComboRow> ComboRowLayout(int count, int height, int hot, bool expand);

// The open list of a combo box: a pop-up that never takes activation and
// tells its combo what happened by posting to the combo's parent.
class CComboList : public CWindowBase {
public:
    explicit CComboList(CComboBoxUI& combo);
    ~CComboList() override;
    CComboList(const CComboList&) = delete;
    CComboList& operator=(const CComboList&) = delete;

    BOOL HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    const wchar_t* GetWindowClassName() const override { return L"FeyraComboBox"; }
    UINT GetClassStyle() const override { return CS_DBLCLKS; }

    bool Open(const RECT& screenRect, int scrollPos);
    int ScrollPos() const { return m_scrollBar.GetScrollPos(); }
    void OnWheel(WPARAM wParam, LPARAM lParam);

private:
    int RowAt(POINT point) const;
    RECT RowRect(int row) const;
    RECT CloseRect(int row) const;
    bool HasCloseButtons() const;
    void OnMouseMove(POINT point);
    void OnButtonDown(POINT point);
    void OnButtonUp(POINT point);
    void Post(WPARAM code, int row);
    void Paint();
    void DrawRow(HDC dc, Gdiplus::Graphics& g, int row);

    CComboBoxUI& m_combo;
    std::vector<std::wstring> m_texts;
    std::vector<ComboRow> m_rows;
    CScrollBarUI m_scrollBar;
    int m_hot = 0;
    int m_pressed = -1;
    bool m_tracking = false;
    int m_width = 0;
    int m_height = 0;
};
