#pragma once
#include "feed_records.h"
#include "skinkit/button.h"
#include "skinkit/hyperlink.h"
#include "skinkit/picture.h"

#include <memory>
#include <string>

#include <windows.h>

// Another person, shown on a card under the content panels: avatar, name,
// and links to their published pictures and follows with the counts beside
// them.
class PersonBar {
public:
    PersonBar() = default;
    PersonBar(const PersonBar&) = delete;
    PersonBar& operator=(const PersonBar&) = delete;

    bool IsCreated() const { return m_created; }
    void Create(HWND parent);
    // The card's parts and pictures for the window's DPI.
    void Layout(int dpi);
    void Show(const std::string& uid, const std::string& name, Gdiplus::Bitmap* avatar);
    void Hide();
    bool IsVisible() const { return m_visible; }
    RECT Rect() const { return m_card.GetWindowRect(); }
    const std::string& Uid() const { return m_uid; }
    void SetAvatar(Gdiplus::Bitmap* avatar)
    {
        // A new pointer redraws the picture's kept copy: only on a change.
        if (m_avatar.GetPicture() != avatar)
            m_avatar.set_picture_ptr(avatar);
    }
    void SetStats(const UserStats& stats);
    std::wstring PublishedCount() const;
    std::wstring FollowCount() const;
    // The link under the point sets its cursor; false elsewhere.
    bool OnSetCursor(POINT point) const;

    void Paint(HDC hdc);
    void WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

private:
    bool m_created = false;
    bool m_visible = false;
    std::string m_uid;
    template <typename Control> static void Place(Control& control, const RECT& rect);

    CPictureUI m_card;
    std::unique_ptr<Gdiplus::Bitmap> m_cardPicture;
    CButtonUI m_frame;
    CPictureUI m_avatar;
    CButtonUI m_name;
    CHyperLinkUI m_publishedLink;
    CHyperLinkUI m_followsLink;
    CButtonUI m_published;
    CButtonUI m_follows;
    std::unique_ptr<Gdiplus::Bitmap> m_framePicture;
};
