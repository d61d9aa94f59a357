#pragma once
#include <memory>
#include <string>

#include <windows.h>
// GDI+ needs the Windows types first.
#include <gdiplus.h>

#include "browser_view.h"
#include "layered_window.h"
#include "skinkit/button.h"
#include "skinkit/message_filter.h"

// The skinned window the service's own pages open in: registration, password
// recovery, settings, upload, the activity and notice pages. A title picture
// chosen by the address, "正在加载..." while a slow page loads, and the page in
// the embedded control once it is there. Where the system cannot show pages
// itself, the default browser opens the page and the window says so.
class CQNWebBrowser2 : public CLayeredWindow, public CMessageFilter {
public:
    static constexpr WORD kCloseCommand = 256;
    static constexpr UINT_PTR kLoadingTimer = 1;
    static constexpr UINT kLoadingDelayMs = 800;

    // embedded: whether pages go into the control (when it exists) or
    // straight to the default browser.
    CQNWebBrowser2(HWND owner, std::wstring resourceFolder, bool embedded);
    ~CQNWebBrowser2() override;
    CQNWebBrowser2(const CQNWebBrowser2&) = delete;
    CQNWebBrowser2& operator=(const CQNWebBrowser2&) = delete;

    BOOL HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    const wchar_t* GetWindowClassName() const override { return L"QNWebBrowser2"; }
    BOOL PreTranslateMessage(MSG* msg) override;

    // Hidden, owned by the owner given at construction.
    bool Create();
    // Ignored while a page is on its way.
    void Open(const std::wstring& address);
    void Show(bool visible);

    // The title picture's file for an address, or empty.
    static std::wstring TitlePictureFor(const std::wstring& address);
    // What the window shows of a page opened elsewhere: no query, which
    // carries the user's id and token.
    static std::wstring ShownAddress(const std::wstring& address);

    bool IsBusy() const { return m_busy; }
    bool IsVisible() const { return m_hWnd && IsWindowVisible(m_hWnd); }
    // Whether the last page went to the default browser.
    bool OpenedElsewhere() const { return m_elsewhere; }
    const std::wstring& Address() const { return m_address; }
    const std::wstring& TitlePicture() const { return m_titleFile; }
    CBrowserView& View() { return m_view; }

private:
    void OnCreate();
    void OnTimer();
    void OnPageLoaded();
    void Close();
    void ShowCentred();
    void OpenElsewhere();
    SIZE PictureSize() const override { return SIZE{m_width, m_height}; }
    void Compose(HDC dc) override;
    void DrawLoading(HDC dc) const;
    void DrawNotice(HDC dc) const;
    RECT PageArea() const;
    // A skin picture for the window's DPI.
    std::unique_ptr<Gdiplus::Bitmap> LoadPicture(const std::wstring& name) const;
    int Px(int value) const { return MulDiv(value, m_dpi, 96); }

    HWND m_owner;
    int m_dpi = 96;
    std::wstring m_resourceFolder;
    bool m_embedded;
    std::unique_ptr<Gdiplus::Bitmap> m_background;
    std::unique_ptr<Gdiplus::Bitmap> m_closeImage;
    std::unique_ptr<Gdiplus::Bitmap> m_title;
    std::wstring m_titleFile;
    CButtonUI m_close;
    CBrowserView m_view;
    std::wstring m_address;
    bool m_busy = false;
    bool m_elsewhere = false;
    int m_width = 700;
    int m_height = 460;
};
