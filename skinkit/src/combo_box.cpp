#include "skinkit/combo_box.h"

#include <algorithm>

#include <windowsx.h>

#include "combo_list.h"
#include "control_util.h"
#include "skinkit/image_list.h"

using namespace skinkit;

namespace {

constexpr int kEditFontSize = 13;

bool Valid(int index, std::size_t count) { return index >= 0 && std::size_t(index) < count; }

}  // namespace

CComboBoxUI::CComboBoxUI() = default;

CComboBoxUI::~CComboBoxUI() { m_list.reset(); }

bool CComboBoxUI::Create(HWND parent, WORD id)
{
    if (!IsUsableParent(parent))
        return true;
    m_parent = parent;
    m_id = id;
    if (!m_edit.Create(parent, id, ES_AUTOHSCROLL))
        return false;
    m_edit.SetFont(kDefaultFace, kEditFontSize, false, false, false);
    m_edit.SetRich(false);
    m_edit.SetReadOnly((m_style & kComboReadOnly) != 0);
    return true;
}

bool CComboBoxUI::Create(HWND parent, const RECT& rect, WORD id, DWORD style)
{
    if (!IsUsableParent(parent))
        return false;
    m_style = style;
    if (!Create(parent, id))
        return false;
    const int h = rect.bottom - rect.top;
    SetRects(rect, RECT{rect.left + 4, rect.top + 3, rect.right - h, rect.bottom - 3});
    return true;
}

bool CComboBoxUI::Create(HWND parent, int x, int y, int w, int h, WORD id, DWORD style)
{
    return Create(parent, RECT{x, y, x + w, y + h}, id, style);
}

void CComboBoxUI::SetAttribute(
    const std::wstring& section, const std::wstring& iniFile, const std::deque<Gdiplus::Bitmap*>& images)
{
    auto image = [&](const wchar_t* key) { return ImageByNumber(images, ReadProfileInt(iniFile, section, key, 0)); };
    m_edit.SetBkImages(image(L"Image_LeftBk"), image(L"Image_MiddleBk"), image(L"Image_RightBk"));
    m_arrow = image(L"Image_ArrowBtn");
    m_close = image(L"Image_CloseBtn");
    if (Gdiplus::Bitmap* bar = image(L"Image_ScrollBar"))
        m_thumb[0] = m_thumb[1] = m_thumb[2] = bar;
    SetWindowStyle(DWORD(ReadProfileInt(iniFile, section, L"Style", 0)));
    m_borderColor = ReadListColor(iniFile.c_str(), section.c_str(), L"BorderColor");
    m_selColor = ReadListColor(iniFile.c_str(), section.c_str(), L"CurSelColor");
    SetTextColor(ReadListColor(iniFile.c_str(), section.c_str(), L"TextColor"));
    RECT rect = ReadListRect(iniFile.c_str(), section.c_str(), L"rect");
    RECT edit = ReadListRect(iniFile.c_str(), section.c_str(), L"rectEdit");
    ScaleToWindow(m_parent, rect);
    ScaleToWindow(m_parent, edit);
    SetRects(rect, edit);
}

void CComboBoxUI::SetImages(Gdiplus::Bitmap* arrow, Gdiplus::Bitmap* close, Gdiplus::Bitmap* thumbTop,
    Gdiplus::Bitmap* thumbMiddle, Gdiplus::Bitmap* thumbBottom)
{
    m_arrow = arrow;
    m_close = close;
    m_thumb[0] = thumbTop;
    m_thumb[1] = thumbMiddle;
    m_thumb[2] = thumbBottom;
}

void CComboBoxUI::SetRects(const RECT& raw, const RECT& rawEdit)
{
    m_rawRect = raw;
    m_rawEditRect = rawEdit;
    m_rect = ResolveRect(m_parent, raw);
    m_editRect = ResolveRect(m_parent, rawEdit);
    m_edit.SetBkRect(raw.left, raw.top, raw.right, raw.bottom);
    m_edit.SetEidtRect(rawEdit.left, rawEdit.top, rawEdit.right, rawEdit.bottom);
    m_buttonRect = RECT{m_editRect.right + 3, m_rect.top, m_rect.right - 1, m_rect.bottom};
}

bool CComboBoxUI::AddString(const wchar_t* text)
{
    if (!text || !*text)
        return false;
    m_items.push_back({text, 0});
    return true;
}

int CComboBoxUI::InsertString(int index, const wchar_t* text)
{
    if (!text)
        return -1;
    if (!Valid(index, m_items.size() + 1))
        index = int(m_items.size());
    m_items.insert(m_items.begin() + index, Item{text, 0});
    if (m_curSel >= index)
        ++m_curSel;
    return index;
}

int CComboBoxUI::DeleteString(UINT index)
{
    if (index >= m_items.size())
        return -1;
    m_items.erase(m_items.begin() + index);
    if (m_curSel == int(index))
        m_curSel = -1;
    else if (m_curSel > int(index))
        --m_curSel;
    return int(m_items.size());
}

void CComboBoxUI::ResetContent()
{
    m_items.clear();
    m_curSel = -1;
}

bool CComboBoxUI::GetLBText(int index, std::wstring& text) const
{
    if (!Valid(index, m_items.size()))
        return false;
    text = m_items[index].text;
    return true;
}

int CComboBoxUI::GetLBTextLen(int index) const
{
    return Valid(index, m_items.size()) ? int(m_items[index].text.size()) : -1;
}

DWORD CComboBoxUI::GetItemData(int index) const { return Valid(index, m_items.size()) ? m_items[index].data : 0; }

bool CComboBoxUI::SetItemData(int index, DWORD data)
{
    if (!Valid(index, m_items.size()))
        return false;
    m_items[index].data = data;
    return true;
}

int CComboBoxUI::SetCurSel(int index)
{
    if (!Valid(index, m_items.size()))
        return index;
    m_edit.SetWindowTextW(m_items[index].text.c_str());
    m_curSel = index;
    Notify(kComboSelChanged, index);
    ReDrawControl();
    return index;
}

HWND CComboBoxUI::GetListHWND() const { return m_list ? m_list->GetHWND() : nullptr; }

void CComboBoxUI::GetWindowTextW(std::wstring& text) const { text = m_edit.GetWindowTextW(); }

void CComboBoxUI::SetWindowTextW(const wchar_t* text) { m_edit.SetWindowTextW(text ? text : L""); }

void CComboBoxUI::SetTextColor(COLORREF color)
{
    m_textColor = color;
    m_edit.SetTextColor(color);
}

void CComboBoxUI::SetWindowStyle(DWORD style)
{
    m_style = style;
    m_edit.SetReadOnly((style & kComboReadOnly) != 0);
}

void CComboBoxUI::ShowWindow(bool visible)
{
    m_visible = visible;
    m_edit.ShowWindow(visible);
    if (!visible)
        ShowDropDown(false);
    ReDrawControl();
}

void CComboBoxUI::Notify(ComboCode code, int item) const
{
    if (!IsUsableParent(m_parent))
        return;
    CComboNotify record{m_id, item, 0};
    SendMessageW(m_parent, kComboNotify, code, reinterpret_cast<LPARAM>(&record));
}

// Below the control, or above it when the screen ends first.
RECT CComboBoxUI::ListRectOnScreen() const
{
    const int count = int(m_items.size());
    int height = m_itemHeight * (count + ((m_style & kComboExpandHot) ? 2 : 0)) + 4;
    if (count == 0 || (!(m_style & kComboUnlimited) && height > m_maxListHeight))
        height = m_maxListHeight;
    POINT topLeft{m_rect.left, m_rect.bottom + 1};
    POINT above{m_rect.left, m_rect.top - 1 - height};
    ClientToScreen(m_parent, &topLeft);
    ClientToScreen(m_parent, &above);
    const int width = m_rect.right - m_rect.left;
    if (topLeft.y + height > GetSystemMetrics(SM_CYSCREEN))
        topLeft = above;
    return RECT{topLeft.x, topLeft.y, topLeft.x + width, topLeft.y + height};
}

void CComboBoxUI::ShowDropDown(bool show)
{
    if (show == (m_list != nullptr) || !IsUsableParent(m_parent))
        return;
    if (!show) {
        m_savedScroll = m_list->ScrollPos();
        m_list.reset();
        m_buttonState = 0;
        Notify(kComboClosed, m_curSel);
        ReDrawControl();
        return;
    }
    Notify(kComboOpening, m_curSel);
    auto list = std::make_unique<CComboList>(*this);
    if (!list->Open(ListRectOnScreen(), m_savedScroll))
        return;
    m_list = std::move(list);
    m_buttonState = 2;
    ReDrawControl();
}

void CComboBoxUI::OnListCode(WPARAM code)
{
    if (!m_list)
        return;
    const int row = m_chosen;
    switch (code) {
    case kComboSelChanged:
        ShowDropDown(false);
        if (row != m_curSel)
            SetCurSel(row);
        break;
    case kComboClosed:
        ShowDropDown(false);
        break;
    case kComboItemClosed:
        if (!Valid(row, m_items.size()))
            break;
        Notify(kComboItemClosed, row);
        ShowDropDown(false);
        DeleteString(UINT(row));
        break;
    default:
        break;
    }
}

void CComboBoxUI::OnPaint(HDC hdc)
{
    if (!m_visible)
        return;
    m_edit.OnPaint(hdc);
    if (!m_arrow)
        return;
    const int state = m_list ? 2 : m_buttonState;
    const int w = int(m_arrow->GetWidth()) / 3;
    Gdiplus::Graphics g(hdc);
    DrawImageStretched(g, m_arrow,
        Gdiplus::Rect(m_buttonRect.left, m_buttonRect.top, Width(m_buttonRect), Height(m_buttonRect)), state * w, 0, w,
        int(m_arrow->GetHeight()));
}

void CComboBoxUI::ReDrawControl() const { InvalidateIfWindow(m_parent, &m_rect); }

void CComboBoxUI::UpdateButtonState(POINT point, bool down)
{
    int state = PtInRect(&m_buttonRect, point) ? (down ? 2 : 1) : 0;
    if (m_list)
        state = 2;
    if (state == m_buttonState)
        return;
    m_buttonState = state;
    ReDrawControl();
}

void CComboBoxUI::OnButtonDown(POINT point)
{
    const bool opener = (m_style & kComboReadOnly) ? PtInRect(&m_rect, point) : PtInRect(&m_buttonRect, point);
    if (opener) {
        ShowDropDown(!m_list);
        return;
    }
    ShowDropDown(false);
}

LRESULT CComboBoxUI::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!m_visible)
        return 0;
    if (msg == kComboNotify) {
        if (lParam == 0)
            OnListCode(wParam);
        return 0;
    }
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (msg) {
    case WM_MOUSEMOVE:
        UpdateButtonState(point, (wParam & MK_LBUTTON) != 0);
        break;
    case WM_LBUTTONDOWN:
        UpdateButtonState(point, true);
        OnButtonDown(point);
        break;
    case WM_NCLBUTTONDOWN:
        ShowDropDown(false);
        break;
    case WM_MOUSEWHEEL:
        if (m_list) {
            m_list->OnWheel(wParam, lParam);
            return 0;
        }
        break;
    default:
        break;
    }
    m_edit.WindowProc(hwnd, msg, wParam, lParam);
    return 0;
}
