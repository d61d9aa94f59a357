#include "skinkit/focus_cycle.h"

#include <algorithm>

#include <gdiplus.h>

#include "skinkit/button.h"
#include "skinkit/check_box.h"
#include "skinkit/dpi.h"
#include "skinkit/rich_edit.h"

namespace {

// In 96-DPI pixels: the gap between control and outline, the outline's
// width and its corners' radius (the skin's control radius).
constexpr float kGap = 2.0f;
constexpr float kWidth = 1.5f;
constexpr float kRadius = 4.0f;

// A control that fills its window (a pop-up field) keeps its mark inside.
Gdiplus::RectF MarkBox(HWND hwnd, const RECT& rect, float scale)
{
    const float gap = kGap * scale;
    const float half = kWidth * scale / 2;
    float left = float(rect.left) - gap;
    float top = float(rect.top) - gap;
    float right = float(rect.right) + gap;
    float bottom = float(rect.bottom) + gap;
    RECT client{};
    if (GetClientRect(hwnd, &client)) {
        left = std::max(left, float(client.left) + half);
        top = std::max(top, float(client.top) + half);
        right = std::min(right, float(client.right) - half);
        bottom = std::min(bottom, float(client.bottom) - half);
    }
    return Gdiplus::RectF(left, top, right - left, bottom - top);
}

}  // namespace

void DrawFocusMark(HDC hdc, HWND hwnd, const RECT& rect)
{
    const float scale = static_cast<float>(skinkit::WindowDpi(hwnd)) / 96.0f;
    const Gdiplus::RectF box = MarkBox(hwnd, rect, scale);
    if (box.Width <= 0 || box.Height <= 0)
        return;
    const float d = std::min(2 * kRadius * scale, std::min(box.Width, box.Height));
    Gdiplus::GraphicsPath path;
    path.AddArc(box.X, box.Y, d, d, 180, 90);
    path.AddArc(box.X + box.Width - d, box.Y, d, d, 270, 90);
    path.AddArc(box.X + box.Width - d, box.Y + box.Height - d, d, d, 0, 90);
    path.AddArc(box.X, box.Y + box.Height - d, d, d, 90, 90);
    path.CloseFigure();
    Gdiplus::Graphics g(hdc);
    g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    Gdiplus::Pen pen(
        Gdiplus::Color(255, GetRValue(kFocusMarkColor), GetGValue(kFocusMarkColor), GetBValue(kFocusMarkColor)),
        kWidth * scale);
    g.DrawPath(&pen, &path);
}

void CFocusCycle::Add(CRichEditUI& field) { m_stops.push_back(Stop{Kind::kField, &field}); }
void CFocusCycle::Add(CButtonUI& button) { m_stops.push_back(Stop{Kind::kButton, &button}); }
void CFocusCycle::Add(CCheckBoxUI& box) { m_stops.push_back(Stop{Kind::kBox, &box}); }

bool CFocusCycle::OnKeyDown(HWND hwnd, WPARAM key)
{
    if (m_stops.empty())
        return false;
    if (key == VK_TAB)
        return Step(hwnd, GetKeyState(VK_SHIFT) < 0 ? -1 : 1);
    if (key == VK_ESCAPE && m_escape) {
        m_escape();
        return true;
    }
    const int current = Current();
    if (current < 0 || (key != VK_SPACE && key != VK_RETURN))
        return false;
    const Stop& stop = m_stops[current];
    if (stop.kind == Kind::kButton) {
        static_cast<CButtonUI*>(stop.control)->Click();
        return true;
    }
    // Enter on a box is the window's (its default action); Space ticks it.
    if (stop.kind == Kind::kBox && key == VK_SPACE) {
        static_cast<CCheckBoxUI*>(stop.control)->Click();
        return true;
    }
    return false;
}

void CFocusCycle::OnClick(HWND hwnd)
{
    const int current = Current();
    if (current < 0 || m_stops[current].kind == Kind::kField)
        return;
    SetFocus(m_stops[current], false, false);
    InvalidateRect(hwnd, nullptr, FALSE);
}

void CFocusCycle::OnActivate(HWND hwnd, bool active)
{
    // Told twice of going to the back, the second time finds nothing focused.
    if (!active) {
        if (Current() >= 0)
            m_resume = Current();
        return;
    }
    if (Current() < 0 && m_resume >= 0 && Usable(m_stops[m_resume]))
        MoveTo(hwnd, m_resume, false);
}

bool CFocusCycle::Focus(HWND hwnd, const void* control)
{
    for (size_t i = 0; i < m_stops.size(); ++i) {
        if (m_stops[i].control == control) {
            MoveTo(hwnd, static_cast<int>(i), false);
            return true;
        }
    }
    return false;
}

const void* CFocusCycle::Focused() const
{
    const int current = Current();
    return current < 0 ? nullptr : m_stops[current].control;
}

void CFocusCycle::Paint(HDC hdc, HWND hwnd) const
{
    const int current = Current();
    if (current >= 0 && Usable(m_stops[current]))
        DrawFocusMark(hdc, hwnd, RectOf(m_stops[current]));
}

int CFocusCycle::Current() const
{
    for (size_t i = 0; i < m_stops.size(); ++i) {
        if (HasFocus(m_stops[i]))
            return static_cast<int>(i);
    }
    return -1;
}

bool CFocusCycle::Usable(const Stop& stop) const
{
    switch (stop.kind) {
    case Kind::kField: {
        const auto* field = static_cast<const CRichEditUI*>(stop.control);
        return field->IsWindowVisible() && !field->IsReadOnly();
    }
    case Kind::kButton: {
        const auto* button = static_cast<const CButtonUI*>(stop.control);
        return button->IsWindowVisible() && button->IsWindowEnabled();
    }
    case Kind::kBox: {
        const auto* box = static_cast<const CCheckBoxUI*>(stop.control);
        return box->IsWindowVisible() && box->IsWindowEnabled();
    }
    }
    return false;
}

bool CFocusCycle::HasFocus(const Stop& stop) const
{
    switch (stop.kind) {
    case Kind::kField:
        return static_cast<const CRichEditUI*>(stop.control)->IsFocus();
    case Kind::kButton:
        return static_cast<const CButtonUI*>(stop.control)->HasKeyFocus();
    case Kind::kBox:
        return static_cast<const CCheckBoxUI*>(stop.control)->IsFocus();
    }
    return false;
}

// A password entered by Tab is all selected, so typing replaces what cannot
// be read anyway; other text keeps its caret, so typing goes on. Tab leaves
// no selection behind.
void CFocusCycle::SetFocus(const Stop& stop, bool focused, bool byTab) const
{
    switch (stop.kind) {
    case Kind::kField: {
        auto* field = static_cast<CRichEditUI*>(stop.control);
        if (focused) {
            field->SetFocus();
            if (byTab && field->IsPassword())
                field->SetSelAll();
        } else {
            if (byTab)
                field->SetSelEmpty();
            field->KillFocus();
        }
        break;
    }
    case Kind::kButton:
        static_cast<CButtonUI*>(stop.control)->SetKeyFocus(focused);
        break;
    case Kind::kBox: {
        auto* box = static_cast<CCheckBoxUI*>(stop.control);
        if (focused)
            box->SetFocus();
        else
            box->KillFocus();
        break;
    }
    }
}

RECT CFocusCycle::RectOf(const Stop& stop) const
{
    switch (stop.kind) {
    case Kind::kField: {
        const auto* field = static_cast<const CRichEditUI*>(stop.control);
        const RECT back = field->GetEditBkRect();
        return IsRectEmpty(&back) ? field->GetWindowRect() : back;
    }
    case Kind::kButton:
        return static_cast<const CButtonUI*>(stop.control)->GetWindowRect();
    case Kind::kBox:
        return static_cast<const CCheckBoxUI*>(stop.control)->GetWindowRect();
    }
    return RECT{};
}

bool CFocusCycle::Step(HWND hwnd, int direction)
{
    const int count = static_cast<int>(m_stops.size());
    const int current = Current();
    const int start = current >= 0 ? current : (direction > 0 ? -1 : count);
    for (int k = 1; k <= count; ++k) {
        const int i = ((start + direction * k) % count + count) % count;
        if (Usable(m_stops[i])) {
            MoveTo(hwnd, i, true);
            return true;
        }
    }
    return false;
}

void CFocusCycle::MoveTo(HWND hwnd, int next, bool byTab)
{
    const int current = Current();
    if (current == next)
        return;
    if (current >= 0)
        SetFocus(m_stops[current], false, byTab);
    SetFocus(m_stops[next], true, byTab);
    InvalidateRect(hwnd, nullptr, FALSE);
}
