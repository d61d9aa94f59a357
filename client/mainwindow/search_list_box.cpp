#include "search_list_box.h"

#include "browse_layout.h"
#include "skin_pictures.h"
#include "skin_text.h"
#include "skinkit/dpi.h"

#include <windowsx.h>

namespace {

constexpr const wchar_t* kEntries[] = {L"搜人", L"搜图"};

}  // namespace

void CSearchListBox::Create(HWND owner, WORD command, const RECT& rect)
{
    m_owner = owner;
    m_command = command;
    m_rect = rect;
    m_dpi = skinkit::WindowDpi(owner);
    m_background = LoadPanelPicture(L"search_lb_bg.png", m_dpi);
    m_selection = LoadPanelPicture(L"search_lb_sel.png", m_dpi);
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
    // GDI text in the 32-bit surface loses its smoothing under Wine; the
    // skin's text drawing keeps the entries as crisp as the other labels.
    SkinTextStyle style;
    style.points = 9.0f;
    style.color = 0xFE3A434A;
    for (int entry = 0; entry < 2; ++entry) {
        const int inset = skinkit::ScaleToDpi(12, m_dpi);
        const Gdiplus::RectF box(Gdiplus::REAL(m_rect.left + inset),
            Gdiplus::REAL(m_rect.top + entry * half + inset / 2), Gdiplus::REAL(m_rect.right - m_rect.left - 2 * inset),
            Gdiplus::REAL(half - inset));
        DrawSkinText(hdc, kEntries[entry], style, box);
    }
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
