#include "page_buttons.h"

#include "browse_layout.h"
#include "skin_pictures.h"
#include "skinkit/dpi.h"

#include <utility>

namespace {

void Place(CButtonUI& button, Gdiplus::Bitmap* picture, const RECT& rect)
{
    button.SetAttribute(picture);
    button.SetWindowRect(rect.left, rect.top, rect.right, rect.bottom);
}

}  // namespace

void PageButtons::Create(HWND parent, int width, WORD previousId, WORD nextId)
{
    m_previous.Create(parent, previousId);
    m_next.Create(parent, nextId);
    Layout(width, skinkit::WindowDpi(parent));
}

void PageButtons::Layout(int width, int dpi)
{
    auto previous = LoadPanelPicture(L"page_prev.png", dpi);
    auto next = LoadPanelPicture(L"page_next.png", dpi);
    Place(m_previous, previous.get(), browse_layout::PreviousPageButton(width, dpi));
    Place(m_next, next.get(), browse_layout::NextPageButton(width, dpi));
    m_previousPicture = std::move(previous);
    m_nextPicture = std::move(next);
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
