#pragma once
#include <memory>
#include <string>

#include <windows.h>
// GDI+ needs the Windows types first.
#include <gdiplus.h>

#include "layered_window.h"
#include "skinkit/button.h"

// The client's skinned message box: one line of text and "确定", modal over
// the window that was active. It runs a message loop of its own until the
// button, Enter or Escape ends it.
class CMessageBox : public CLayeredWindow {
public:
    // resourceFolder ends with a backslash and holds "msgbox_bg.png" and
    // "common_btn.png".
    CMessageBox(HWND owner, std::wstring text, std::wstring resourceFolder);
    ~CMessageBox() override;
    CMessageBox(const CMessageBox&) = delete;
    CMessageBox& operator=(const CMessageBox&) = delete;

    BOOL HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    const wchar_t* GetWindowClassName() const override { return L"QNMessageBox"; }

    // IDOK for the button or Enter, IDCANCEL for Escape; 0 when the window
    // could not be made or the loop saw WM_QUIT (it is posted again).
    INT_PTR DoModal(HWND parent);

private:
    void OnCreate();
    bool OnKey(const MSG& msg);
    void End(INT_PTR result);
    SIZE PictureSize() const override { return SIZE{m_width, m_height}; }
    void Compose(HDC dc) override;
    int Px(int value) const { return MulDiv(value, m_dpi, 96); }

    HWND m_owner;
    int m_dpi = 96;
    std::wstring m_text;
    std::wstring m_resourceFolder;
    std::unique_ptr<Gdiplus::Bitmap> m_background;
    std::unique_ptr<Gdiplus::Bitmap> m_buttonImage;
    CButtonUI m_ok;
    int m_width = 280;
    int m_height = 180;
    INT_PTR m_result = 0;
    bool m_ended = false;
};
