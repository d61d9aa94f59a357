#include "skinkit/hyperlink.h"

#include <shellapi.h>

#include "control_util.h"

using namespace skinkit;

HCURSOR CHyperLinkUI::g_hLinkCursor = nullptr;

CHyperLinkUI::CHyperLinkUI() = default;

bool CHyperLinkUI::Create(HWND parent, WORD id)
{
    if (!IsUsableParent(parent))
        return false;
    m_parent = parent;
    m_id = id;
    SetDefaultCursor();
    return true;
}

void CHyperLinkUI::SetDefaultCursor() { g_hLinkCursor = LoadCursorW(nullptr, IDC_HAND); }

void CHyperLinkUI::SetAttribute(const std::wstring& section, const std::wstring& iniFile)
{
    m_text = ReadProfileString(iniFile, section, L"Text");
    m_url = ReadProfileString(iniFile, section, L"URL");
    m_linkColor = ReadListColor(iniFile.c_str(), section.c_str(), L"LinkColor");
    // The key name carries one trailing blank in every skin file.
    m_activeColor = ReadListColor(iniFile.c_str(), section.c_str(), L"ActiveLinkColor ");
    m_style = static_cast<DWORD>(ReadProfileInt(iniFile, section, L"Style", 1));
    m_center = ReadProfileInt(iniFile, section, L"Center", 0) != 0;
    m_fontSize = ScaleToWindow(m_parent, ReadProfileInt(iniFile, section, L"FontSize", 12));
    m_rawRect = ReadListRect(iniFile.c_str(), section.c_str(), L"rect");
    ScaleToWindow(m_parent, m_rawRect);
    m_rect = ResolveRect(m_parent, m_rawRect);
    SetAutoSize();
    if (m_center)
        CenterInParent();
}

void CHyperLinkUI::SetURL(const std::wstring& url, const std::wstring& text)
{
    m_url = url;
    m_text = text;
    SetAutoSize();
}

void CHyperLinkUI::GoToURL() const
{
    if (m_url.empty())
        return;
    ShellExecuteW(nullptr, L"open", m_url.c_str(), nullptr, nullptr, SW_SHOW);
}

void CHyperLinkUI::SetAutoSize()
{
    m_style |= kStyleAutoSize;
    const std::wstring shown = GetShownText();
    const SIZE extent = MeasureText(m_parent, shown, kDefaultFace, m_fontSize);
    m_rect.right = m_rect.left + extent.cx;
    m_rect.bottom = m_rect.top + extent.cy;
}

void CHyperLinkUI::CenterInParent() { CenterHorizontally(m_parent, m_rect); }

void CHyperLinkUI::MoveWindow(int x, int y, bool repaint)
{
    m_rect.left = x;
    m_rect.top = y;
    SetAutoSize();
    if (repaint)
        InvalidateIfWindow(m_parent, nullptr);
}

bool CHyperLinkUI::ModifyStyle(DWORD remove, DWORD add, bool redraw)
{
    const DWORD style = (m_style & ~remove) | add;
    if (style == m_style)
        return false;
    m_style = style;
    if (redraw)
        Invalidate();
    return true;
}

void CHyperLinkUI::OnSetCursor() const
{
    if (g_hLinkCursor)
        SetCursor(g_hLinkCursor);
}

COLORREF CHyperLinkUI::GetCurrentColor() const
{
    if (m_hover && !(m_style & kStyleNoHoverColor))
        return m_activeColor;
    return m_linkColor;
}

void CHyperLinkUI::ShowWindow(bool visible)
{
    m_visible = visible;
    if (!visible)
        m_cache.Release();  // a hidden control holds no surface
    Invalidate();
}

void CHyperLinkUI::SetHover(int hover)
{
    if (m_hover == hover)
        return;
    m_hover = hover;
    Invalidate();
}

void CHyperLinkUI::Invalidate() const { InvalidateIfWindow(m_parent, &m_rect); }

LRESULT CHyperLinkUI::WindowProc(HWND, UINT msg, WPARAM wParam, LPARAM)
{
    if (!m_visible)
        return 0;
    // Read only for the mouse: under Wine each read asks the X server, and
    // every message of the window (paints, timers) passes through here.
    const auto inside = [&] { return Contains(m_rect, CursorInClient(m_parent)); };
    switch (msg) {
    case WM_SIZE:
        if (wParam == SIZE_MINIMIZED)
            break;
        m_rect = ResolveRect(m_parent, m_rawRect);
        SetAutoSize();
        if (m_center)
            CenterInParent();
        break;
    case WM_MOUSEMOVE:
        if (!inside()) {
            SetHover(0);
        } else if (!(wParam & MK_LBUTTON) || m_pressed) {
            SetHover(1);
        }
        break;
    case WM_LBUTTONDOWN:
        if (inside()) {
            m_pressed = true;
            Invalidate();
        }
        break;
    case WM_LBUTTONUP:
        if (inside()) {
            m_hover = 1;
            Invalidate();
            if (m_pressed)
                PostCommand(m_parent, m_id, 0);
        }
        m_pressed = false;
        break;
    case WM_MOUSELEAVE:
        SetHover(0);
        break;
    default:
        break;
    }
    return 0;
}

void CHyperLinkUI::OnPaint(HDC hdc)
{
    if (!m_visible)
        return;
    const std::wstring shown = GetShownText();
    const bool underline = m_hover || (m_style & kStyleUnderline);
    const COLORREF color = GetCurrentColor();
    CPaintKey key;
    key << shown << m_fontSize << underline << color;
    const auto area = [&] { return TextArea(shown, kDefaultFace, m_fontSize); };
    PaintCached(m_cache, hdc, m_rect.left, m_rect.top, key, area, [&](HDC dc, int x, int y) {
        DrawTextGdiplus(dc, shown, kDefaultFace, m_fontSize, color,
            Gdiplus::RectF(static_cast<float>(x), static_cast<float>(y), 0, 0), nullptr, underline);
    });
}

RECT CHyperLinkUI::GetPrivateProfileRect(const wchar_t* section, const wchar_t* key, const wchar_t* file)
{
    return ReadListRect(file, section, key);
}

COLORREF CHyperLinkUI::GetPrivateProfileColor(const wchar_t* section, const wchar_t* key, const wchar_t* file)
{
    return ReadListColor(file, section, key);
}
