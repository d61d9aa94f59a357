#pragma once
#include <string>

#include <windows.h>

#include "login_flow.h"
#include "login_watchdog.h"
#include "skinkit/button.h"
#include "skinkit/check_box.h"
#include "skinkit/image_list.h"
#include "skinkit/picture.h"
#include "skinkit/rich_edit.h"
#include "skinkit/window_base.h"
#include "window_messages.h"

// The skinned login pop-up. The flow behind it (requests, answers, the
// configuration, the signed-in record) is the core's LoginFlow; this window
// gathers the input, shows hints and errors and runs the watchdog.
class CLoginDlg : public CWindowBase {
public:
    enum CommandId : WORD {
        kAutoLoginBox = 2015,
        kSavePasswordBox = 2016,
        kNameField = 2017,
        kPasswordField = 2018,
        kLoginButton = 2019,
        kRegisterButton = 2020,
        kForgetButton = 2021,
        kCloseButton = 2022,
    };

    // resourceFolder ends with a backslash and holds "image_resource.ini"
    // and "login_window.ini".
    CLoginDlg(HWND mainWindow, std::wstring resourceFolder, LoginServices services);
    ~CLoginDlg() override;
    CLoginDlg(const CLoginDlg&) = delete;
    CLoginDlg& operator=(const CLoginDlg&) = delete;

    BOOL HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    const wchar_t* GetWindowClassName() const override { return L"QNLoginWnd"; }

    // The window is created hidden, owned by the main window.
    bool CreateHidden();
    // afresh: filled from vlconfig.xml as it is now; otherwise as the user left it.
    void ShowLogin(bool afresh = true);
    bool IsVisible() const;
    bool IsBusy() const { return m_flow.Busy(); }
    // Shown for two seconds, and cleared when the window hides.
    void SetErrorState(LoginError error);

    // What the window shows now, for its tests.
    bool SavesPassword() const { return m_savePassword.GetCheck(); }
    bool LogsInAutomatically() const { return m_autoLogin.GetCheck(); }
    LoginError ShownError() const { return m_error; }
    bool NameFocused() const { return m_name.IsFocus(); }
    bool PasswordFocused() const { return m_password.IsFocus(); }
    bool NameHintShown() const { return m_hintVisible && m_hint == kHintName; }
    std::wstring TypedName() const { return m_name.GetWindowTextW(); }

protected:
    // A running login owns the window: input to the controls goes nowhere.
    bool ControlsTakeMessages() const override { return !m_flow.Busy(); }

private:
    enum HintMode { kHintNone = 0, kHintName = 1, kHintPassword = 2 };

    void OnCreate();
    void ApplySkin();
    void FillFromConfig();
    void OnCommand(WORD id, WORD code);
    void OnKeyDown(WPARAM key);
    void OnLButtonDown(POINT point);
    void OnTimer(UINT_PTR id);
    void StartManualLogin();
    void ShowHint(HintMode mode);
    void HideLogin();
    void Repaint();
    void Paint();
    void Present(HDC target);
    void Render(HDC hdc);
    bool OverControl(POINT point) const;

    HWND m_mainWindow;
    std::wstring m_resourceFolder;
    std::string m_baseUrl;
    LoginFlow m_flow;
    LoginWatchdog m_watchdog;
    LoginFill m_remembered;
    bool m_edited = false;
    HintMode m_hint = kHintNone;
    bool m_hintVisible = false;
    LoginError m_error = kLoginErrorNone;
    bool m_tracking = false;

    // Declared before the controls, so it goes after them: they point into it.
    CImageList m_images;
    CPictureUI m_background;
    CPictureUI m_tip;
    CRichEditUI m_name;
    CRichEditUI m_password;
    CButtonUI m_login;
    CButtonUI m_register;
    CButtonUI m_forget;
    CButtonUI m_close;
    CCheckBoxUI m_savePassword;
    CCheckBoxUI m_autoLogin;
};
