#pragma once
#include <memory>
#include <string>

#include <windows.h>
// GDI+ needs the Windows types first.
#include <gdiplus.h>

#include "layered_window.h"
#include "skinkit/button.h"
#include "skinkit/rich_edit.h"

// The share pop-up: an editable invitation, the two microblog sites' share
// pages opened in the default browser, and a copy to the clipboard.
class CQNShareDlg : public CLayeredWindow {
public:
    enum CommandId : WORD {
        kClose = 1,
        kCopy = 3,
        kFirstSite = 4,
        kSecondSite = 5,
        kTextField = 6,
    };

    CQNShareDlg();
    ~CQNShareDlg() override;
    CQNShareDlg(const CQNShareDlg&) = delete;
    CQNShareDlg& operator=(const CQNShareDlg&) = delete;

    BOOL HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    const wchar_t* GetWindowClassName() const override { return L"QNShareDlg"; }

    // Hidden, owned by `owner`; resourceFolder ends with a backslash.
    bool Create(HWND owner, const std::wstring& resourceFolder);
    // Showing puts the invitation back into the field.
    void Show(bool visible);

    std::wstring Text() const { return m_text.GetWindowTextW(); }
    void SetText(const std::wstring& text) { m_text.SetWindowTextW(text.c_str()); }
    // The share page of site kFirstSite or kSecondSite for the field's text.
    std::wstring ShareAddress(WORD site) const;

private:
    void OnCreate();
    void OnCommand(WORD id, WORD code);
    void OnLButtonDown(POINT point);
    void Copy();
    SIZE PictureSize() const override;
    void Compose(HDC dc) override;

    int Px(int value) const { return MulDiv(value, m_dpi, 96); }

    std::wstring m_resourceFolder;
    int m_dpi = 96;
    std::unique_ptr<Gdiplus::Bitmap> m_background;
    std::unique_ptr<Gdiplus::Bitmap> m_title;
    std::unique_ptr<Gdiplus::Bitmap> m_frame;
    std::unique_ptr<Gdiplus::Bitmap> m_caption;
    std::unique_ptr<Gdiplus::Bitmap> m_closeImage;
    std::unique_ptr<Gdiplus::Bitmap> m_copyImage;
    std::unique_ptr<Gdiplus::Bitmap> m_firstLogo;
    std::unique_ptr<Gdiplus::Bitmap> m_secondLogo;
    CRichEditUI m_text;
    CButtonUI m_close;
    CButtonUI m_copy;
    CButtonUI m_firstSite;
    CButtonUI m_secondSite;
};
