#include "skinkit/check_box.h"

#include "control_util.h"
#include "skinkit/accessible_facts.h"
#include "skinkit/image_list.h"
#include "skinkit/ini_file.h"

using namespace skinkit;

namespace {
constexpr COLORREF kDisabledTextColor = RGB(194, 194, 194);
constexpr int kSlices = 6;
}  // namespace

CCheckBoxUI::CCheckBoxUI()
    : m_textColor(kDefaultTextColor)
{
}

bool CCheckBoxUI::Create(HWND parent, WORD id)
{
    if (!IsUsableParent(parent))
        return false;
    m_parent = parent;
    m_id = id;
    return true;
}

bool CCheckBoxUI::Create(HWND parent, int x, int y, int w, int h, const std::wstring& label, WORD id, DWORD style)
{
    return Create(parent, RECT{x, y, x + w, y + h}, label, id, style);
}

bool CCheckBoxUI::Create(HWND parent, const RECT& rect, const std::wstring& label, WORD id, DWORD style)
{
    if (!Create(parent, id))
        return false;
    m_rawRect = rect;
    m_rect = ResolveRect(parent, rect);
    m_text = label;
    m_style = style;
    return true;
}

void CCheckBoxUI::SetAttribute(
    const std::wstring& section, const std::wstring& iniFile, const std::deque<Gdiplus::Bitmap*>& images)
{
    m_text = ReadProfileString(iniFile, section, L"Text");
    m_image = ImageByNumber(images, ReadProfileInt(iniFile, section, L"Image", 0));
    int style = static_cast<int>(m_style);
    if (CIniFile::GetIntValue(iniFile.c_str(), section.c_str(), const_cast<wchar_t*>(L"Style"), style)) {
        m_style = static_cast<DWORD>(style);
    }
    CIniFile::GetColorValue(iniFile.c_str(), section.c_str(), const_cast<wchar_t*>(L"TextColor"), m_textColor);
    if (CIniFile::GetRectValue(iniFile.c_str(), section.c_str(), const_cast<wchar_t*>(L"rect"), m_rawRect))
        ScaleToWindow(m_parent, m_rawRect);
    m_rect = ResolveRect(m_parent, m_rawRect);
    if (m_style & kStyleAutoSize)
        SetAutoSize();
}

void CCheckBoxUI::SetCheck(bool checked)
{
    const bool changed = m_checked != checked;
    m_checked = checked;
    Invalidate();
    if (changed)
        NotifyControlEvent(m_parent, this, EVENT_OBJECT_STATECHANGE);
}

void CCheckBoxUI::SetWindowTextW(const std::wstring& text)
{
    m_text = text;
    Invalidate();
}

bool CCheckBoxUI::GetWindowTextW(std::wstring& text) const
{
    text = m_text;
    return true;
}

COLORREF CCheckBoxUI::GetTextColor() const { return m_state == kDisabled ? kDisabledTextColor : m_textColor; }

bool CCheckBoxUI::ModifyStyle(DWORD remove, DWORD add, bool redraw)
{
    const DWORD style = (m_style & ~remove) | add;
    if (style == m_style)
        return false;
    m_style = style;
    if (redraw)
        Invalidate();
    return true;
}

void CCheckBoxUI::SetAutoSize()
{
    if (!m_image)
        return;
    m_style |= kStyleAutoSize;
    const int slice = static_cast<int>(m_image->GetWidth()) / kSlices;
    int width = slice + 6;
    int height = static_cast<int>(m_image->GetHeight());
    if (!m_text.empty()) {
        const SIZE label = MeasureText(m_parent, m_text, kDefaultFace, ScaleToWindow(m_parent, 12));
        width += label.cx;
        height = label.cy;
    }
    m_rect.right = m_rect.left + width;
    m_rect.bottom = m_rect.top + height;
}

BOOL CCheckBoxUI::EnableWindow(bool enable)
{
    m_state = enable ? kNormal : kDisabled;
    return InvalidateIfWindow(m_parent, &m_rect);
}

void CCheckBoxUI::SetFocus()
{
    m_focus = true;
    if (IsUsableParent(m_parent))
        ::SetFocus(m_parent);
    InvalidateIfWindow(m_parent, nullptr);
    NotifyControlEvent(m_parent, this, EVENT_OBJECT_FOCUS);
}

void CCheckBoxUI::KillFocus()
{
    m_focus = false;
    InvalidateIfWindow(m_parent, nullptr);
}

void CCheckBoxUI::Click()
{
    if (!m_visible || m_state == kDisabled)
        return;
    m_checked = !m_checked;
    Invalidate();
    NotifyControlEvent(m_parent, this, EVENT_OBJECT_STATECHANGE);
    PostCommand(m_parent, m_id, 0);
}

void CCheckBoxUI::SetWindowRect(int left, int top, int right, int bottom)
{
    m_rawRect = RECT{left, top, right, bottom};
    m_rect = ResolveRect(m_parent, m_rawRect);
}

bool CCheckBoxUI::MoveWindow(int x, int y, int w, int h, bool repaint)
{
    m_rect = RECT{x, y, x + w, y + h};
    if (repaint)
        InvalidateIfWindow(m_parent, nullptr);
    return true;
}

bool CCheckBoxUI::MoveWindow(RECT* rect, bool repaint)
{
    if (!rect)
        return false;
    return MoveWindow(rect->left, rect->top, Width(*rect), Height(*rect), repaint);
}

void CCheckBoxUI::OnSize()
{
    m_rect = ResolveRect(m_parent, m_rawRect);
    if (m_style & kStyleAutoSize)
        SetAutoSize();
}

void CCheckBoxUI::ShowWindow(bool visible)
{
    m_visible = visible;
    if (!visible)
        m_cache.Release();  // a hidden control holds no surface
    Invalidate();
}

void CCheckBoxUI::SetState(int state)
{
    if (m_state == state)
        return;
    m_state = state;
    Invalidate();
}

void CCheckBoxUI::Invalidate() const { InvalidateIfWindow(m_parent, &m_rect); }

LRESULT CCheckBoxUI::WindowProc(HWND, UINT msg, WPARAM wParam, LPARAM)
{
    if (!m_visible || m_state == kDisabled)
        return 0;
    // Read only for the mouse: under Wine each read asks the X server.
    const auto inside = [&] { return Contains(m_rect, CursorInClient(m_parent)); };
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (inside())
            m_pressed = true;
        break;
    case WM_MOUSEMOVE:
        if (!inside()) {
            SetState(kNormal);
        } else if (wParam & MK_LBUTTON) {
            SetState(m_pressed ? kHover : kNormal);
        } else {
            SetState(kHover);
        }
        break;
    case WM_LBUTTONUP:
        if (inside()) {
            m_state = kHover;
            if (m_pressed)
                Click();
            Invalidate();
        }
        m_pressed = false;
        break;
    default:
        break;
    }
    return 0;
}

void CCheckBoxUI::OnPaint(HDC hdc)
{
    if (!m_visible || !m_image)
        return;
    const int slice = static_cast<int>(m_image->GetWidth()) / kSlices;
    const int imageHeight = static_cast<int>(m_image->GetHeight());
    const int index = m_state + (m_checked ? 3 : 0);
    const int shift = (m_style & kStyleHoverShift) && m_state == kHover && !m_checked ? 1 : 0;
    const COLORREF color = GetTextColor();
    CPaintKey key;
    key << m_image << slice << imageHeight << index << shift << m_text << color;
    const auto area = [&] {
        RECT extent{1, 0, 1 + slice, imageHeight};
        if (!m_text.empty()) {
            const SIZE label = MeasureTextGdiplus(m_text, kDefaultFace, ScaleToWindow(m_parent, 12));
            const RECT box{slice + 4, 1, slice + 5 + label.cx, 2 + label.cy};
            UnionRect(&extent, &extent, &box);
        }
        InflateRect(&extent, 2, 2);
        return extent;
    };
    PaintCached(m_cache, hdc, m_rect.left, m_rect.top, key, area, [&](HDC dc, int x, int y) {
        {
            Gdiplus::Graphics g(dc);
            DrawImagePart(g, m_image, x + 1, y, index * slice, 0, slice, imageHeight);
        }
        const Gdiplus::RectF at(static_cast<float>(x + slice + 4 + shift), static_cast<float>(y + 1 + shift), 0, 0);
        DrawTextGdiplus(dc, m_text, kDefaultFace, ScaleToWindow(m_parent, 12), color, at, nullptr);
    });
    // The focus mark is the window's focus cycle's, drawn over all controls.
}
