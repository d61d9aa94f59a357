#include "login_preview.h"

namespace {
constexpr DWORD kFieldStyle = ES_AUTOHSCROLL;
}

CLoginPreview::~CLoginPreview()
{
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
}

bool CLoginPreview::Create(const std::wstring& folder)
{
    m_ini = folder + L"login_window.ini";
    m_images.Load(folder);
    return CreateLayered(L"登录Quarn", 0, 0);
}

void CLoginPreview::Layout()
{
    const auto& images = m_images.Images();
    m_background.Create(m_hWnd, true);
    m_tip.Create(m_hWnd, true);
    m_name.Create(m_hWnd, 2017, kFieldStyle);
    m_password.Create(m_hWnd, 2018, kFieldStyle);
    m_login.Create(m_hWnd, 2019);
    m_register.Create(m_hWnd, 2020);
    m_forget.Create(m_hWnd, 2021);
    m_close.Create(m_hWnd, 2022);
    m_savePassword.Create(m_hWnd, 2016);
    m_autoLogin.Create(m_hWnd, 2015);

    m_background.SetAttribute(L"window_background_1", m_ini, images);
    m_tip.SetAttribute(L"window_edit_tip", m_ini, images);
    m_name.SetAttribute(L"user_name_edit", m_ini, images);
    m_password.SetAttribute(L"user_pwd_edit", m_ini, images);
    m_login.SetAttribute(L"login_qarn_button", m_ini, images);
    m_register.SetAttribute(L"register_qarn_button", m_ini, images);
    m_forget.SetAttribute(L"forget_button", m_ini, images);
    m_close.SetAttribute(L"close_button", m_ini, images);
    m_savePassword.SetAttribute(L"CheckSavePassWord", m_ini, images);
    m_autoLogin.SetAttribute(L"CheckAutoLogin", m_ini, images);

    m_name.SetLimitText(30);
    m_password.SetLimitText(20);
    m_password.SetPasswordChar(L'*');
    m_password.SetWindowTextW(L"**********");
    m_savePassword.SetCheck(true);
    // The hint for a missing name, as the login window shows it.
    m_tip.set_window_rect(130, 71, 294, 107);
}

void CLoginPreview::Render(HDC hdc)
{
    m_background.OnPaint(hdc);
    m_login.OnPaint(hdc);
    m_register.OnPaint(hdc);
    m_autoLogin.OnPaint(hdc);
    m_savePassword.OnPaint(hdc);
    m_forget.OnPaint(hdc);
    m_close.OnPaint(hdc);
    m_name.OnPaint2(hdc, nullptr);
    m_password.OnPaint2(hdc, nullptr);
    if (!m_showTip)
        return;
    m_tip.OnPaint(hdc);
    Gdiplus::Graphics g(hdc);
    Gdiplus::Font font(L"WenQuanYi Zen Hei", 10, Gdiplus::FontStyleRegular, Gdiplus::UnitPoint);
    Gdiplus::SolidBrush brush(Gdiplus::Color(0xFE3A434A));
    g.DrawString(L"请输入注册邮箱", -1, &font, Gdiplus::RectF(135, 85, 140, 36), nullptr, &brush);
}

void CLoginPreview::Route(UINT msg, WPARAM wParam, LPARAM lParam)
{
    m_login.WindowProc(m_hWnd, msg, wParam, lParam);
    m_register.WindowProc(m_hWnd, msg, wParam, lParam);
    m_forget.WindowProc(m_hWnd, msg, wParam, lParam);
    m_close.WindowProc(m_hWnd, msg, wParam, lParam);
    m_savePassword.WindowProc(m_hWnd, msg, wParam, lParam);
    m_autoLogin.WindowProc(m_hWnd, msg, wParam, lParam);
    m_name.WindowProc(m_hWnd, msg, wParam, lParam);
    m_password.WindowProc(m_hWnd, msg, wParam, lParam);
}

BOOL CLoginPreview::HandleMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case WM_CREATE:
        Layout();
        return TRUE;
    case WM_PAINT:
        Paint();
        result = 1;
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return TRUE;
    case WM_COMMAND:
        Route(msg, wParam, lParam);
        if (LOWORD(wParam) == 2022 && HIWORD(wParam) == 0)
            DestroyWindow(m_hWnd);
        if (LOWORD(wParam) == 2017 && HIWORD(wParam) == kEditCharTyped)
            m_showTip = false;
        return TRUE;
    default:
        Route(msg, wParam, lParam);
        return FALSE;
    }
}
