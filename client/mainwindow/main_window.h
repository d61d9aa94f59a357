#pragma once
#include <memory>
#include <string>

#include <windows.h>
// GDI+ needs the Windows types first.
#include <gdiplus.h>

#include "client_services.h"
#include "login_dlg.h"
#include "login_flow.h"
#include "skinkit/button.h"
#include "skinkit/hyperlink.h"
#include "skinkit/picture.h"
#include "skinkit/window_base.h"

// The full-screen main window, for now only its signed-in part: the login
// and register links, the signed-in user's name and avatar, a sign-out link
// standing in for the user menu's entry and a close link for the viewer's
// close button. It starts the login at
// creation and turns the login workers' reports into what the user sees.
class Qaurn_Navigate_window : public CWindowBase {
public:
    enum CommandId : WORD {
        kUserNameButton = 41,
        kLoginLink = 2012,
        kRegisterLink = 2013,
        kSignOut = 2044,
        kClose = 2039,
    };

    Qaurn_Navigate_window();
    ~Qaurn_Navigate_window() override;
    Qaurn_Navigate_window(const Qaurn_Navigate_window&) = delete;
    Qaurn_Navigate_window& operator=(const Qaurn_Navigate_window&) = delete;

    BOOL HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
    const wchar_t* GetWindowClassName() const override { return L"Qaurn_Navigate_window"; }

    // Hidden, covering the primary screen.
    bool CreateFullScreen();
    // The home feed, then the category list; once, after creation.
    void QueueStartUpFetches();

private:
    void OnCreate();
    void Layout();
    void OnCommand(WORD id, WORD code, LPARAM lParam);
    void OnLoginState(LPARAM state);
    void ShowSignedIn();
    void ShowSignedOut();
    void OnSignOut();
    CLoginDlg& LoginWindow();
    bool OnSetCursor();
    void Paint();

    std::unique_ptr<ClientServices> m_services;
    // What to resume after a login; no action needs one yet.
    int m_pendingAction = 0;
    std::unique_ptr<Gdiplus::Bitmap> m_avatar;
    CHyperLinkUI m_loginLink;
    CHyperLinkUI m_registerLink;
    CHyperLinkUI m_signOutLink;
    CHyperLinkUI m_closeLink;
    CButtonUI m_userName;
    CPictureUI m_avatarPicture;
    std::unique_ptr<CLoginDlg> m_login;
};
