#include "page_buttons.h"

#include "browse_layout.h"
#include "skin_pictures.h"

namespace {

void Place(CButtonUI& button, HWND parent, WORD id, Gdiplus::Bitmap* picture, const RECT& rect)
{
    button.Create(parent, id);
    button.SetAttribute(picture);
    button.SetWindowRect(rect.left, rect.top, rect.right, rect.bottom);
}

}  // namespace

void PageButtons::Create(HWND parent, int width, WORD previousId, WORD nextId)
{
    m_previousPicture = LoadPanelPicture(L"page_prev.png");
    m_nextPicture = LoadPanelPicture(L"page_next.png");
    Place(m_previous, parent, previousId, m_previousPicture.get(), browse_layout::PreviousPageButton(width));
    Place(m_next, parent, nextId, m_nextPicture.get(), browse_layout::NextPageButton(width));
}

void PageButtons::Show(bool shown)
{
    m_previous.ShowWindow(shown);
    m_next.ShowWindow(shown);
}

void PageButtons::Paint(HDC hdc)
{
    m_previous.OnPaint(hdc);
    m_next.OnPaint(hdc);
}

void PageButtons::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    m_previous.WindowProc(hwnd, msg, wParam, lParam);
    m_next.WindowProc(hwnd, msg, wParam, lParam);
}
