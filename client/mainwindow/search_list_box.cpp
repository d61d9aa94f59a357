#include "search_list_box.h"

#include "browse_layout.h"
#include "skin_pictures.h"
#include "win32kit/scoped_win.h"

#include <windowsx.h>

namespace {

constexpr const wchar_t* kEntries[] = {L"搜人", L"搜图"};

}  // namespace

void CSearchListBox::Create(HWND owner, WORD command, const RECT& rect)
{
    m_owner = owner;
    m_command = command;
    m_rect = rect;
    m_background = LoadPanelPicture(L"search_lb_bg.png");
    m_selection = LoadPanelPicture(L"search_lb_sel.png");
}

void CSearchListBox::Show()
{
    m_visible = true;
    m_selected = 0;
    InvalidateRect(m_owner, &m_rect, FALSE);
}

void CSearchListBox::Paint(HDC hdc)
{
    if (!m_visible)
        return;
    const int half = (m_rect.bottom - m_rect.top) / 2;
    {
        Gdiplus::Graphics graphics(hdc);
        DrawPicture(graphics, m_background.get(), m_rect.left, m_rect.top);
        DrawPicture(graphics, m_selection.get(), m_rect.left, m_rect.top + m_selected * half);
    }
    win32kit::ScopedGdiObject<HFONT> font(CreateFontW(12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"宋体"));
    win32kit::ScopedSelectObject selected(hdc, font.Get());
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, RGB(0, 0, 0));
    for (int entry = 0; entry < 2; ++entry)
        TextOutW(hdc, m_rect.left + 2, m_rect.top + entry * half + 10, kEntries[entry], 2);
}

bool CSearchListBox::WindowProc(HWND, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!m_visible)
        return false;
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    int entry = m_selected;
    switch (msg) {
    case WM_MOUSEMOVE:
        entry = browse_layout::SearchChoiceAt(m_rect, point);
        if (entry < 0)
            return false;
        break;
    case WM_LBUTTONDOWN:
        entry = browse_layout::SearchChoiceAt(m_rect, point);
        if (entry < 0)
            return false;
        m_selected = entry;
        PostMessageW(m_owner, WM_COMMAND, MAKEWPARAM(m_command, 0), entry);
        return true;
    case WM_KEYDOWN:
        entry = browse_layout::SearchChoiceAfterKey(m_selected, wParam);
        break;
    default:
        return false;
    }
    if (entry == m_selected)
        return false;
    m_selected = entry;
    InvalidateRect(m_owner, &m_rect, FALSE);
    return true;
}
