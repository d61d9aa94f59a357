#pragma once
#include <memory>
#include <string>

#include <windows.h>
// GDI+ needs the Windows types first.
#include <gdiplus.h>

#include "layered_window.h"

// The tray icon's pop-up menu: four rows drawn from one picture, a highlight
// picture over the hot row. A click reports the row to the owner as
// UM_TRAY_COMMAND and closes the menu; losing activation closes it without a
// command. Made with new on every right click: it deletes itself when its
// window is destroyed.
class CTaskBarIconMenu : public CLayeredWindow {
public:
    static constexpr int kRowHeight = 33;

    CTaskBarIconMenu() = default;
    ~CTaskBarIconMenu() override = default;
    CTaskBarIconMenu(const CTaskBarIconMenu&) = delete;
    CTaskBarIconMenu& operator=(const CTaskBarIconMenu&) = delete;

    BOOL HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    const wchar_t* GetWindowClassName() const override { return L"TaskBarIconMenu"; }

    // rect null: the menu picture's 100 x 137 at 96 DPI, scaled to the DPI
    // the pictures were loaded for.
    bool Create(HWND owner, const RECT* rect = nullptr);
    // resourceFolder ends with a backslash; the pictures are drawn for dpi.
    void LoadImages(const std::wstring& resourceFolder, int dpi = 96);
    // At the pointer, turned to the left or upwards where the screen ends.
    void Open(int x, int y);

    // The top-left corner for a pointer at `pointer` on a screen of `screen`.
    static POINT Placement(POINT pointer, SIZE menu, SIZE screen);
    // The row under client y, counted from the menu's top, with rows of
    // rowHeight pixels.
    static int RowAt(int y, const RECT& menu, int rowHeight = kRowHeight) { return (y - menu.top) / rowHeight; }

private:
    void OnMouseMove(POINT point);
    void OnLButtonUp(POINT point);
    SIZE PictureSize() const override;
    void Compose(HDC dc) override;

    int RowHeight() const { return MulDiv(kRowHeight, m_dpi, 96); }

    HWND m_owner = nullptr;
    int m_dpi = 96;
    RECT m_menu{0, 0, 100, 137};
    int m_hot = -1;
    bool m_tracking = false;
    std::unique_ptr<Gdiplus::Bitmap> m_menuImage;
    std::unique_ptr<Gdiplus::Bitmap> m_selImage;
};
