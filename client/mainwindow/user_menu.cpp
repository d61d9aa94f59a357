#include "user_menu.h"

#include "skin_pictures.h"
#include "skin_text.h"
#include "skinkit/dpi.h"
#include "skinkit/hyperlink.h"
#include "window_messages.h"

#include <utility>

namespace {

constexpr const wchar_t* kItemPictures[UserMenu::kItems] = {L"publish_item.png", L"like_item.png",
    L"attention_item.png", L"funs_item.png", L"msg_item.png", L"user_custom.png", L"logout_qn.png"};
constexpr int kItemLeft = 10;
constexpr int kItemTop = 10;
constexpr int kItemWidth = 120;
constexpr int kItemHeight = 32;
constexpr int kCountWidth = 30;
constexpr int kCountHeight = 15;

}  // namespace

void UserMenu::Create(HWND parent, WORD baseCommand, const std::wstring& ini)
{
    m_ini = ini;
    m_background.Create(parent, false);
    for (int i = 0; i < kItems; ++i) {
        const WORD command = i < kCounts ? WORD(baseCommand + i)
            : i == 5                     ? WORD(CMD_USER_MENU_LAST)
                                         : WORD(CMD_SIGN_OUT);
        m_items[i].Create(parent, command);
        m_items[i].ShowWindow(false);
    }
    Layout(skinkit::WindowDpi(parent));
    m_created = true;
}

void UserMenu::Layout(int dpi)
{
    m_dpi = dpi;
    auto background = LoadPanelPicture(L"user_info_bk.png", dpi);
    m_background.set_picture_ptr(background.get());
    m_backgroundPicture = std::move(background);
    const RECT placed
        = skinkit::ScaleRectToDpi(CHyperLinkUI::GetPrivateProfileRect(L"user_info_menu", L"rect", m_ini.c_str()), dpi);
    m_background.SetWindowRect(placed.left, placed.top, placed.right, placed.bottom);
    for (int i = 0; i < kItems; ++i) {
        auto picture = LoadPanelPicture(kItemPictures[i], dpi);
        m_items[i].SetAttribute(picture.get());
        m_itemPictures[i] = std::move(picture);
    }
    PlaceItems();
}

void UserMenu::PlaceItems()
{
    const RECT menu = Rect();
    const auto px = [this](int value) { return skinkit::ScaleToDpi(value, m_dpi); };
    for (int i = 0; i < kItems; ++i) {
        const int left = menu.left + px(kItemLeft);
        const int top = menu.top + px(kItemTop) + px(kItemHeight) * i;
        m_items[i].SetWindowRect(left, top, left + px(kItemWidth), top + px(kItemHeight));
    }
}

RECT UserMenu::ItemRect(int item) const { return m_items[item].GetWindowRect(); }

void UserMenu::Open()
{
    m_open = true;
    m_background.ShowWindow(true);
    for (auto& item : m_items)
        item.ShowWindow(true);
}

bool UserMenu::Close()
{
    const bool was = m_open;
    m_open = false;
    m_background.ShowWindow(false);
    for (auto& item : m_items)
        item.ShowWindow(false);
    return was;
}

void UserMenu::Paint(HDC hdc)
{
    if (!m_open || !m_created)
        return;
    m_background.OnPaint(hdc);
    for (auto& item : m_items)
        item.OnPaint(hdc);
    const RECT first = ItemRect(0);
    SkinTextStyle style;
    style.face = L"Arial";
    style.points = 9.0f;
    style.bold = true;
    style.color = 0xFEFFFFFF;
    style.centred = true;
    for (int i = 0; i < kCounts; ++i) {
        const Gdiplus::RectF box(Gdiplus::REAL(first.right - skinkit::ScaleToDpi(10, m_dpi)),
            Gdiplus::REAL(ItemRect(i).top), Gdiplus::REAL(skinkit::ScaleToDpi(kCountWidth, m_dpi)),
            Gdiplus::REAL(skinkit::ScaleToDpi(kCountHeight, m_dpi)));
        DrawSkinText(hdc, m_counts[i], style, box);
    }
}

void UserMenu::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!m_open)
        return;
    for (auto& item : m_items)
        item.WindowProc(hwnd, msg, wParam, lParam);
}
