#include "skinkit/static_text.h"

#include "control_util.h"

using namespace skinkit;

CStaticUI::CStaticUI()
    : m_fontFace(kDefaultFace)
    , m_textColor(kDefaultTextColor)
{
}

bool CStaticUI::Create(HWND parent, WORD id, bool visible)
{
    if (!IsUsableParent(parent))
        return false;
    m_parent = parent;
    m_id = id;
    m_visible = visible;
    return true;
}

void CStaticUI::SetAttribute(const std::wstring& section, const std::wstring& iniFile)
{
    m_text = ReadProfileString(iniFile, section, L"Text");
    m_textColor = ReadListColor(iniFile.c_str(), section.c_str(), L"TextColor");
    m_fontSize = ScaleToWindow(m_parent, ReadProfileInt(iniFile, section, L"FontSize", 12));
    m_rawRect = ReadListRect(iniFile.c_str(), section.c_str(), L"rect");
    ScaleToWindow(m_parent, m_rawRect);
    m_rect = ResolveRect(m_parent, m_rawRect);
    if (!m_text.empty())
        SetAutoSize();
}

void CStaticUI::SetWindowTextW(const std::wstring& text)
{
    m_text = text;
    if (!m_text.empty())
        SetAutoSize();
    InvalidateIfWindow(m_parent, nullptr);
}

bool CStaticUI::GetWindowTextW(std::wstring& text) const
{
    text = m_text;
    return true;
}

void CStaticUI::SetAutoSize()
{
    const SIZE extent = MeasureText(m_parent, m_text, m_fontFace.c_str(), m_fontSize);
    m_rect.right = m_rect.left + extent.cx;
    m_rect.bottom = m_rect.top + extent.cy;
}

void CStaticUI::SetWindowRect(int left, int top, int right, int bottom)
{
    m_rawRect = RECT{left, top, right, bottom};
    m_rect = ResolveRect(m_parent, m_rawRect);
    if (!m_text.empty())
        SetAutoSize();
}

void CStaticUI::CenterWindow() { CenterHorizontally(m_parent, m_rect); }

void CStaticUI::ShowWindow(bool visible)
{
    if (m_visible == visible)
        return;
    m_visible = visible;
    if (!visible)
        m_cache.Release();  // a hidden control holds no surface
    InvalidateIfWindow(m_parent, nullptr);
}

void CStaticUI::OnPaint(HDC hdc)
{
    if (!m_visible)
        return;
    CPaintKey key;
    key << m_text << m_fontFace << m_fontSize << m_textColor;
    const auto area = [&] { return TextArea(m_text, m_fontFace.c_str(), m_fontSize); };
    PaintCached(m_cache, hdc, m_rect.left, m_rect.top, key, area, [&](HDC dc, int x, int y) {
        DrawTextGdiplus(dc, m_text, m_fontFace.c_str(), m_fontSize, m_textColor,
            Gdiplus::RectF(static_cast<float>(x), static_cast<float>(y), 0, 0), nullptr);
    });
}

LRESULT CStaticUI::WindowProc(HWND, UINT msg, WPARAM wParam, LPARAM)
{
    if (msg != WM_SIZE || wParam == SIZE_MINIMIZED)
        return 0;
    m_rect = ResolveRect(m_parent, m_rawRect);
    if (!m_text.empty())
        SetAutoSize();
    return 0;
}

RECT CStaticUI::GetPrivateProfileRect(const wchar_t* section, const wchar_t* key, const wchar_t* file)
{
    return ReadListRect(file, section, key);
}

COLORREF CStaticUI::GetPrivateProfileColor(const wchar_t* section, const wchar_t* key, const wchar_t* file)
{
    return ReadListColor(file, section, key);
}
