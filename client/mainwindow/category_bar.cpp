#include "category_bar.h"

#include "skin_pictures.h"
#include "skinkit/dpi.h"

#include <utility>

namespace {

constexpr const wchar_t* kPictures[browse_layout::kCategoryCount]
    = {L"ctgr_1_gal.png", L"ctgr_2_fashion.png", L"ctgr_3_fukei.png", L"ctgr_4_moe.png", L"ctgr_5_yummy.png",
        L"ctgr_6_creative.png", L"ctgr_7_crowd.png", L"ctgr_8_sukini.png"};
constexpr UINT kFadeStepMs = 30;
constexpr float kFadeStep = 0.2f;

}  // namespace

void CategoryBar::Create(HWND parent, WORD firstCommand, int width)
{
    m_parent = parent;
    for (int i = 0; i < browse_layout::kCategoryCount; ++i)
        m_buttons[i].Create(parent, WORD(firstCommand + i));
    Layout(width, skinkit::WindowDpi(parent));
    Hide();
}

void CategoryBar::Layout(int width, int dpi)
{
    for (int i = 0; i < browse_layout::kCategoryCount; ++i) {
        auto picture = LoadPanelPicture(kPictures[i], dpi);
        m_buttons[i].SetAttribute(picture.get());
        m_pictures[i] = std::move(picture);
        const RECT rect = browse_layout::CategoryButton(width, i, dpi);
        m_buttons[i].SetWindowRect(rect.left, rect.top, rect.right, rect.bottom);
    }
}

void CategoryBar::Show()
{
    if (m_visible)
        return;
    m_visible = true;
    for (auto& button : m_buttons) {
        button.SetAlpha(0.0f);
        button.ShowWindow(true);
    }
    SetTimer(m_parent, kFadeTimer, kFadeStepMs, nullptr);
}

void CategoryBar::Hide()
{
    m_visible = false;
    for (auto& button : m_buttons)
        button.ShowWindow(false);
    if (m_parent)
        KillTimer(m_parent, kFadeTimer);
}

int CategoryBar::ButtonAt(POINT point) const
{
    if (!m_visible)
        return -1;
    for (int i = 0; i < browse_layout::kCategoryCount; ++i) {
        const RECT rect = m_buttons[i].GetWindowRect();
        if (PtInRect(&rect, point))
            return i;
    }
    return -1;
}

bool CategoryBar::OnTimer(UINT_PTR id)
{
    if (id != kFadeTimer)
        return false;
    bool done = true;
    for (auto& button : m_buttons) {
        const float alpha = button.GetAlpha() + kFadeStep;
        button.SetAlpha(alpha > 1.0f ? 1.0f : alpha);
        done = done && alpha >= 1.0f;
    }
    const RECT bar = BarArea();
    InvalidateRect(m_parent, &bar, FALSE);
    if (done)
        KillTimer(m_parent, kFadeTimer);
    return true;
}

RECT CategoryBar::BarArea() const
{
    RECT bar{};
    for (const auto& button : m_buttons) {
        const RECT rect = button.GetWindowRect();
        UnionRect(&bar, &bar, &rect);
    }
    return bar;
}

void CategoryBar::Paint(HDC hdc)
{
    if (!m_visible)
        return;
    for (auto& button : m_buttons)
        button.OnPaint(hdc);
}

void CategoryBar::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!m_visible)
        return;
    for (auto& button : m_buttons)
        button.WindowProc(hwnd, msg, wParam, lParam);
}
