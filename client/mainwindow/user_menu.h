#pragma once
#include "skinkit/button.h"
#include "skinkit/picture.h"

#include <array>
#include <memory>
#include <string>

#include <windows.h>

// The drop-down under the avatar: the user's own pages, each with its count,
// settings and sign-out. Painted into the main window; its items are buttons
// that report to it with WM_COMMAND.
class UserMenu {
public:
    static constexpr int kItems = 7;
    static constexpr int kCounts = 5;  // published, liked, follows, fans, new notices

    UserMenu() = default;
    UserMenu(const UserMenu&) = delete;
    UserMenu& operator=(const UserMenu&) = delete;

    // Items 0-4 take baseCommand onwards; settings and sign-out their own.
    void Create(HWND parent, WORD baseCommand, const std::wstring& ini);
    // The menu's place, items and pictures for the window's DPI.
    void Layout(int dpi);

    bool IsOpen() const { return m_open; }
    void Open();
    // True when it was open.
    bool Close();
    RECT Rect() const { return m_background.GetWindowRect(); }
    RECT ItemRect(int item) const;

    void SetCounts(const std::array<std::wstring, kCounts>& counts) { m_counts = counts; }
    const std::wstring& Count(int index) const { return m_counts[index]; }

    void Paint(HDC hdc);
    void WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

private:
    void PlaceItems();

    std::wstring m_ini;
    int m_dpi = 96;
    CPictureUI m_background;
    std::unique_ptr<Gdiplus::Bitmap> m_backgroundPicture;
    std::array<CButtonUI, kItems> m_items;
    std::array<std::unique_ptr<Gdiplus::Bitmap>, kItems> m_itemPictures;
    std::array<std::wstring, kCounts> m_counts;
    bool m_open = false;
    bool m_created = false;
};
