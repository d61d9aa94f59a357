#include "person_bar.h"

#include "skin_pictures.h"
#include "skinkit/dpi.h"
#include "win32/wide_text.h"
#include "window_messages.h"

#include <utility>

namespace {

constexpr WORD kAvatarCommand = 2040;
constexpr WORD kNameCommand = 2041;
constexpr COLORREF kNameColor = 0xA4AC6F;
constexpr COLORREF kCountColor = RGB(58, 67, 74);
// The bar hangs under the panels' band at the left, on a card of its own:
// the viewer's bar above holds the tabs and the search.
constexpr int kLeft = 20;
constexpr int kTop = 133;

RECT At(int left, int top, int right, int bottom, int dpi)
{
    return skinkit::ScaleRectToDpi(RECT{left - 400 + kLeft, top + kTop, right - 400 + kLeft, bottom + kTop}, dpi);
}

}  // namespace

template <typename Control> void PersonBar::Place(Control& control, const RECT& rect)
{
    control.SetWindowRect(rect.left, rect.top, rect.right, rect.bottom);
}

void PersonBar::Create(HWND parent)
{
    m_card.Create(parent, false);
    m_frame.Create(parent, kAvatarCommand);
    m_avatar.Create(parent, false);
    m_avatar.SetStyle(1);
    m_name.Create(parent, kNameCommand);
    m_name.SetTextColor(kNameColor);
    m_publishedLink.Create(parent, CMD_PERSON_PUBLISHED);
    m_publishedLink.SetURL(L"", L"发布");
    m_followsLink.Create(parent, CMD_PERSON_FOLLOWS);
    m_followsLink.SetURL(L"", L"关注");
    m_published.Create(parent, CMD_PERSON_PUBLISHED);
    m_published.SetTextColor(kCountColor);
    m_follows.Create(parent, CMD_PERSON_FOLLOWS);
    m_follows.SetTextColor(kCountColor);
    Layout(skinkit::WindowDpi(parent));
    m_created = true;
    Hide();
}

void PersonBar::Layout(int dpi)
{
    auto frame = LoadPanelPicture(L"user_avatar_bk.png", dpi);
    auto card = LoadPanelPicture(L"person_bar_bk.png", dpi);
    m_card.set_picture_ptr(card.get());
    m_frame.SetAttribute(frame.get());
    m_cardPicture = std::move(card);
    m_framePicture = std::move(frame);
    Place(m_card, At(392, -6, 620, 38, dpi));
    Place(m_frame, At(400, 3, 426, 29, dpi));
    Place(m_avatar, At(400, 4, 424, 28, dpi));
    Place(m_name, At(427, 10, 490, 25, dpi));
    const RECT published = At(490, 12, 0, 0, dpi);
    m_publishedLink.MoveWindow(published.left, published.top, false);
    const RECT follows = At(545, 12, 0, 0, dpi);
    m_followsLink.MoveWindow(follows.left, follows.top, false);
    Place(m_published, At(515, 11, 545, 26, dpi));
    Place(m_follows, At(575, 11, 605, 26, dpi));
}

void PersonBar::Show(const std::string& uid, const std::string& name, Gdiplus::Bitmap* avatar)
{
    if (uid != m_uid)
        SetStats(UserStats{});
    m_uid = uid;
    const std::wstring shown = Widen(name);
    m_name.SetWindowTextW(shown);
    m_name.SetTipText(shown);
    m_avatar.set_picture_ptr(avatar);
    m_visible = true;
    for (CButtonUI* button : {&m_frame, &m_name, &m_published, &m_follows})
        button->ShowWindow(true);
    m_avatar.ShowWindow(true);
    m_card.ShowWindow(true);
    m_publishedLink.ShowWindow(true);
    m_followsLink.ShowWindow(true);
}

void PersonBar::Hide()
{
    m_visible = false;
    for (CButtonUI* button : {&m_frame, &m_name, &m_published, &m_follows})
        button->ShowWindow(false);
    m_avatar.ShowWindow(false);
    m_card.ShowWindow(false);
    m_publishedLink.ShowWindow(false);
    m_followsLink.ShowWindow(false);
}

void PersonBar::SetStats(const UserStats& stats)
{
    m_published.SetWindowTextW(Widen(stats.pictures));
    m_follows.SetWindowTextW(Widen(stats.follows));
}

std::wstring PersonBar::PublishedCount() const
{
    std::wstring text;
    m_published.GetWindowTextW(text);
    return text;
}

std::wstring PersonBar::FollowCount() const
{
    std::wstring text;
    m_follows.GetWindowTextW(text);
    return text;
}

bool PersonBar::OnSetCursor(POINT point) const
{
    if (!m_visible)
        return false;
    for (const CHyperLinkUI* link : {&m_publishedLink, &m_followsLink}) {
        const RECT rect = link->GetWindowRect();
        if (PtInRect(&rect, point)) {
            link->OnSetCursor();
            return true;
        }
    }
    return false;
}

void PersonBar::Paint(HDC hdc)
{
    if (!m_visible)
        return;
    m_card.OnPaint(hdc);
    m_avatar.OnPaint(hdc);
    m_frame.OnPaint(hdc);
    m_name.OnPaint(hdc);
    m_publishedLink.OnPaint(hdc);
    m_followsLink.OnPaint(hdc);
    m_published.OnPaint(hdc);
    m_follows.OnPaint(hdc);
}

void PersonBar::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!m_visible)
        return;
    m_frame.WindowProc(hwnd, msg, wParam, lParam);
    m_name.WindowProc(hwnd, msg, wParam, lParam);
    m_publishedLink.WindowProc(hwnd, msg, wParam, lParam);
    m_followsLink.WindowProc(hwnd, msg, wParam, lParam);
    m_published.WindowProc(hwnd, msg, wParam, lParam);
    m_follows.WindowProc(hwnd, msg, wParam, lParam);
}
