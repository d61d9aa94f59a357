#include "skinkit/tab.h"

#include "control_util.h"
#include "skinkit/image_list.h"

using namespace skinkit;

CTabUI::~CTabUI()
{
    for (Gdiplus::Bitmap* image : m_owned)
        delete image;
}

bool CTabUI::Create(HWND parent, WORD id)
{
    if (!IsUsableParent(parent))
        return false;
    m_parent = parent;
    m_id = id;
    return true;
}

bool CTabUI::Create(HWND parent, int x, int y, int w, int h, WORD id, DWORD style)
{
    RECT r{x, y, x + w, y + h};
    return Create(parent, &r, id, style);
}

bool CTabUI::Create(HWND parent, RECT* rect, WORD id, DWORD style)
{
    if (!rect || !Create(parent, id))
        return false;
    m_rect = *rect;
    m_style = style;
    return true;
}

void CTabUI::SetAttribute(
    const std::wstring& section, const std::wstring& iniFile, const std::deque<Gdiplus::Bitmap*>& images)
{
    m_items.clear();
    m_cache.Invalidate();
    const int count = ReadProfileCount(iniFile, section, L"ItemCount");
    m_highlight = ImageByNumber(images, ReadProfileInt(iniFile, section, L"Image_Sel", 0));
    Gdiplus::Bitmap* last = nullptr;
    for (int i = 1; i <= count; ++i) {
        wchar_t key[32];
        swprintf(key, 32, L"Image_Item%d", i);
        const int number = ReadProfileInt(iniFile, section, key, 0);
        last = ImageByNumber(images, number);
        if (number >= 1 && static_cast<size_t>(number) <= images.size())
            m_items.push_back(last);
    }
    if (last) {
        m_itemHeight = static_cast<int>(last->GetHeight());
        const int width = static_cast<int>(last->GetWidth());
        m_itemWidth = m_highlight ? width : width / 3;
    }
    m_itemDistance = ScaleToWindow(m_parent, ReadProfileInt(iniFile, section, L"ItemDistance", 0));
    m_style = static_cast<DWORD>(ReadProfileInt(iniFile, section, L"Style", 0));
    m_rawRect = RECT{ReadProfileInt(iniFile, section, L"Left", 0), ReadProfileInt(iniFile, section, L"Top", 0),
        ReadProfileInt(iniFile, section, L"Right", 0), ReadProfileInt(iniFile, section, L"Bottom", 0)};
    ScaleToWindow(m_parent, m_rawRect);
    m_rect = ResolveRect(m_parent, m_rawRect);
}

void CTabUI::SetItemSize(const SIZE& size)
{
    m_itemWidth = size.cx;
    m_itemHeight = size.cy;
}

Gdiplus::Bitmap* CTabUI::LoadOwned(const std::wstring& path)
{
    auto* image = new Gdiplus::Bitmap(path.c_str());
    m_owned.push_back(image);
    return image;
}

int CTabUI::AddItem(const std::wstring& imagePath) { return AddItem(LoadOwned(imagePath)); }

int CTabUI::AddItem(Gdiplus::Bitmap* image)
{
    m_items.push_back(image);
    m_cache.Invalidate();
    return static_cast<int>(m_items.size()) - 1;
}

int CTabUI::InsertItem(int index, const std::wstring& imagePath)
{
    if (index < 0 || index > GetItemCount())
        return -1;
    return InsertItem(index, LoadOwned(imagePath));
}

int CTabUI::InsertItem(int index, Gdiplus::Bitmap* image)
{
    if (index < 0 || index > GetItemCount())
        return -1;
    m_items.insert(m_items.begin() + index, image);
    m_cache.Invalidate();
    return index;
}

void CTabUI::DeleteItem(int index)
{
    if (index < 0 || index >= GetItemCount())
        return;
    m_items.erase(m_items.begin() + index);
    m_cache.Invalidate();
}

int CTabUI::SetCurSel(int index)
{
    const int previous = m_selected;
    if (index >= GetItemCount() || index == m_selected)
        return previous;
    m_selected = index;
    if (index >= 0)
        Notify(kTabSelectionChanged, index);
    Invalidate();
    return previous;
}

bool CTabUI::GetItemRect(int index, RECT* rect) const
{
    if (!rect || index < 0 || index >= GetItemCount())
        return false;
    int left = m_rect.left;
    int top = m_rect.top;
    if (m_style == 0) {
        left += index * (m_itemWidth + m_itemDistance);
    } else {
        top += index * (m_itemHeight + m_itemDistance);
    }
    *rect = RECT{left, top, left + m_itemWidth, top + m_itemHeight};
    return true;
}

int CTabUI::ItemFromPoint(const POINT& point) const
{
    if (!Contains(m_rect, point))
        return -1;
    for (int i = 0; i < GetItemCount(); ++i) {
        RECT r{};
        if (GetItemRect(i, &r) && Contains(r, point))
            return i;
    }
    return -1;
}

void CTabUI::ShowWindow(bool visible)
{
    m_visible = visible;
    if (!visible)
        m_cache.Release();  // a hidden control holds no surface
    Invalidate();
}

void CTabUI::Invalidate() const { InvalidateIfWindow(m_parent, &m_rect); }

void CTabUI::Notify(WPARAM kind, int item) const
{
    CTabNotify record{};
    record.id = m_id;
    record.item = item;
    record.minusOne = -1;
    record.zero = 0;
    SendMessageW(m_parent, kTabNotifyMessage, kind, reinterpret_cast<LPARAM>(&record));
}

void CTabUI::SetHot(int item)
{
    if (item == m_hot)
        return;
    m_hot = item;
    Invalidate();
    Notify(kTabHotChanged, item);
}

LRESULT CTabUI::WindowProc(HWND, UINT msg, WPARAM, LPARAM)
{
    if (!m_visible)
        return 0;
    // The pointer is read only for the mouse: under Wine each read asks the X
    // server, and every message of the window passes through here.
    switch (msg) {
    case WM_LBUTTONDOWN: {
        const POINT cursor = CursorInClient(m_parent);
        if (Contains(m_rect, cursor))
            SetCurSel(ItemFromPoint(cursor));
        break;
    }
    case WM_MOUSEMOVE:
        SetHot(ItemFromPoint(CursorInClient(m_parent)));
        break;
    case WM_MOUSELEAVE:
        if (m_hot != -1) {
            m_hot = -1;
            Invalidate();
        }
        break;
    default:
        break;
    }
    return 0;
}

void CTabUI::OnPaint(HDC hdc)
{
    if (!m_visible)
        return;
    const int w = Width(m_rect);
    const int h = Height(m_rect);
    CPaintKey key;
    key << w << h << m_style << m_itemDistance << m_itemWidth << m_itemHeight << m_highlight << m_hot << m_selected
        << m_items.size();
    for (Gdiplus::Bitmap* item : m_items)
        key << item;
    PaintCached(
        m_cache, hdc, m_rect.left, m_rect.top, key,
        [&] {
            return RECT{0, 0, w, h};
        },
        [&](HDC dc, int x, int y) {
            Gdiplus::Graphics g(dc);
            g.SetClip(Gdiplus::Rect(x, y, w, h));
            const int dx = x - m_rect.left;
            const int dy = y - m_rect.top;
            for (int i = 0; i < GetItemCount(); ++i) {
                RECT r{};
                GetItemRect(i, &r);
                OffsetRect(&r, dx, dy);
                if (m_highlight) {
                    if (i == m_hot || i == m_selected) {
                        DrawImagePart(g, m_highlight, r.left, r.top, 0, 0, m_itemWidth, m_itemHeight);
                    }
                    DrawImagePart(g, m_items[i], r.left, r.top, 0, 0, m_itemWidth, m_itemHeight);
                    continue;
                }
                const int srcX = i == m_selected ? 2 * m_itemWidth : (i == m_hot ? m_itemWidth : 0);
                DrawImagePart(g, m_items[i], r.left, r.top, srcX, 0, m_itemWidth, m_itemHeight);
            }
        });
}
