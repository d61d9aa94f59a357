#include "login_dlg.h"

#include "endpoints.h"
#include "skin_text.h"
#include "skinkit/dpi.h"
#include "skinkit/memory_dc.h"
#include "win32/wide_text.h"
#include "win32kit/scoped_win.h"

#include <windowsx.h>

namespace {

constexpr DWORD kStyle = WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = WS_EX_LAYERED | WS_EX_TOOLWINDOW;
constexpr int kWidth = 425;
constexpr int kHeight = 290;
constexpr DWORD kFieldStyle = ES_AUTOHSCROLL;
constexpr int kNameLimit = 30;
constexpr int kPasswordLimit = 20;
constexpr wchar_t kPasswordMask[] = L"**********";

constexpr UINT_PTR kWatchdogTimer = 1007;
constexpr UINT kWatchdogPeriodMs = 1000;
constexpr UINT_PTR kErrorTimer = 1008;
constexpr UINT kErrorShownMs = 2000;

constexpr RECT kNameTip{130, 71, 294, 107};
constexpr RECT kPasswordTip{130, 111, 294, 147};
const Gdiplus::RectF kNameHintBox(135, 85, 140, 36);
const Gdiplus::RectF kPasswordHintBox(135, 125, 140, 36);
// Centred on (160, 30).
const Gdiplus::RectF kErrorBox(0, 0, 320, 60);

bool Inside(const RECT& rect, POINT point) { return PtInRect(&rect, point) != FALSE; }

int Scaled(HWND window, int value) { return skinkit::ScaleToDpi(value, skinkit::WindowDpi(window)); }
Gdiplus::RectF Scaled(HWND window, const Gdiplus::RectF& box)
{
    return skinkit::ScaleRectFToDpi(box, skinkit::WindowDpi(window));
}

}  // namespace

CLoginDlg::CLoginDlg(HWND mainWindow, std::wstring resourceFolder, LoginServices services)
    : m_mainWindow(mainWindow)
    , m_resourceFolder(std::move(resourceFolder))
    , m_baseUrl(services.baseUrl)
    , m_flow(std::move(services))
{
    HostNamedControl(m_name, L"用户名");
    HostNamedControl(m_password, L"密码");
    HostControl(m_login);
    HostControl(m_register);
    HostControl(m_forget);
    HostControl(m_close);
    HostControl(m_savePassword);
    HostControl(m_autoLogin);
    // The form's column first, then the links beside it, the close button last.
    ListFocusable(m_name);
    ListFocusable(m_password);
    ListFocusable(m_savePassword);
    ListFocusable(m_autoLogin);
    ListFocusable(m_login);
    ListFocusable(m_register);
    ListFocusable(m_forget);
    ListFocusable(m_close);
    FocusCycle().OnEscape([this] { OnCommand(kCloseButton, 0); });
}

CLoginDlg::~CLoginDlg()
{
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
}

bool CLoginDlg::CreateHidden()
{
    if (!Create(m_mainWindow, L"登录Quarn", kStyle, kExStyle, 0, 0, Scaled(m_mainWindow, kWidth),
            Scaled(m_mainWindow, kHeight), nullptr))
        return false;
    // A layered window has no picture, and takes no input, before its first update.
    win32kit::ScopedGetDC target(m_hWnd);
    Present(target);
    return true;
}

bool CLoginDlg::IsVisible() const { return m_hWnd && IsWindowVisible(m_hWnd); }

void CLoginDlg::ShowLogin(bool afresh)
{
    // The settings or a sign-in may have changed the file since the last
    // show; back after a failed login, the user's own choices stay.
    if (afresh && !m_flow.Busy())
        FillFromConfig();
    ShowWindow(SW_SHOW);
    SetForegroundWindow(m_hWnd);
    // Each show starts in the name field: typing goes straight there.
    FocusCycle().Focus(m_hWnd, &m_name);
    Repaint();
}

void CLoginDlg::HideLogin()
{
    ShowWindow(SW_HIDE);
    SetErrorState(kLoginErrorNone);
}

void CLoginDlg::SetErrorState(LoginError error)
{
    m_error = error;
    if (error != kLoginErrorNone)
        SetTimer(m_hWnd, kErrorTimer, kErrorShownMs, nullptr);
    else
        KillTimer(m_hWnd, kErrorTimer);
    Repaint();
}

void CLoginDlg::OnCreate()
{
    CenterWindow();
    m_background.Create(m_hWnd, true);
    m_tip.Create(m_hWnd, true);
    m_name.Create(m_hWnd, kNameField, kFieldStyle);
    m_password.Create(m_hWnd, kPasswordField, kFieldStyle);
    m_login.Create(m_hWnd, kLoginButton);
    m_register.Create(m_hWnd, kRegisterButton);
    m_forget.Create(m_hWnd, kForgetButton);
    m_close.Create(m_hWnd, kCloseButton);
    m_savePassword.Create(m_hWnd, kSavePasswordBox);
    m_autoLogin.Create(m_hWnd, kAutoLoginBox);

    ApplySkin();
    m_name.SetBkTransParent(false);
    m_name.SetLimitText(kNameLimit);
    m_password.SetPasswordChar(L'*');
    m_password.SetLimitText(kPasswordLimit);
    FillFromConfig();
}

// The controls point into the picture list: a reload binds them to the new
// pictures before the old ones go.
void CLoginDlg::ApplySkin()
{
    CImageList previous;
    previous.Swap(m_images);
    m_images.Load(m_resourceFolder, skinkit::WindowDpi(m_hWnd));
    const std::wstring ini = m_resourceFolder + L"login_window.ini";
    const auto& images = m_images.Images();
    m_background.SetAttribute(L"window_background_1", ini, images);
    m_tip.SetAttribute(L"window_edit_tip", ini, images);
    m_name.SetAttribute(L"user_name_edit", ini, images);
    m_password.SetAttribute(L"user_pwd_edit", ini, images);
    m_login.SetAttribute(L"login_qarn_button", ini, images);
    m_register.SetAttribute(L"register_qarn_button", ini, images);
    m_forget.SetAttribute(L"forget_button", ini, images);
    m_close.SetAttribute(L"close_button", ini, images);
    m_savePassword.SetAttribute(L"CheckSavePassWord", ini, images);
    m_autoLogin.SetAttribute(L"CheckAutoLogin", ini, images);
    if (m_hint != kHintNone) {
        const bool shown = m_hintVisible;
        ShowHint(m_hint);
        m_hintVisible = shown;
    }
}

void CLoginDlg::FillFromConfig()
{
    m_remembered = m_flow.Fill();
    m_savePassword.SetCheck(m_remembered.rememberPassword);
    m_autoLogin.SetCheck(m_remembered.autoLogin);
    // What the user typed stays; untouched fields show what is remembered now.
    if (m_edited)
        return;
    const bool remembered = m_remembered.rememberPassword;
    m_name.SetWindowTextW(remembered ? Widen(m_remembered.userName).c_str() : L"");
    m_password.SetWindowTextW(remembered ? kPasswordMask : L"");
    // Filling the fields reports a text change; only the user's edits count.
    m_edited = false;
}

BOOL CLoginDlg::HandleMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case WM_CREATE:
        OnCreate();
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return TRUE;
    case WM_PAINT:
        Paint();
        result = 1;
        return TRUE;
    case WM_DPICHANGED:
        skinkit::TakeDpiChange(m_hWnd, wParam, lParam);
        ApplySkin();
        Repaint();
        return TRUE;
    case WM_SETCURSOR:
        if (m_name.OnSetCursor() || m_password.OnSetCursor()) {
            result = TRUE;
            return TRUE;
        }
        return FALSE;
    case WM_KEYDOWN:
        OnKeyDown(wParam);
        return TRUE;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_TIMER:
        OnTimer(wParam);
        return TRUE;
    case WM_MOUSEMOVE:
        if (!m_tracking) {
            TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, m_hWnd, 0};
            m_tracking = TrackMouseEvent(&track) != FALSE;
        }
        return TRUE;
    case WM_MOUSELEAVE:
        m_tracking = false;
        return TRUE;
    case WM_LBUTTONDOWN:
        OnLButtonDown(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return TRUE;
    case UM_START_LOGIN:
        if (m_flow.AutoLoginWanted())
            m_flow.StartAutomatic();
        return TRUE;
    default:
        return FALSE;
    }
}

void CLoginDlg::OnCommand(WORD id, WORD code)
{
    if ((id == kNameField || id == kPasswordField) && (code == kEditCharTyped || code == kEditTextChanged)) {
        m_edited = true;
        return;
    }
    if (code != 0)
        return;
    switch (id) {
    case kAutoLoginBox:
        if (m_autoLogin.GetCheck())
            m_savePassword.SetCheck(true);
        break;
    case kSavePasswordBox:
        if (!m_savePassword.GetCheck())
            m_autoLogin.SetCheck(false);
        break;
    case kLoginButton:
        StartManualLogin();
        break;
    case kRegisterButton: {
        HideLogin();
        const std::wstring url = Widen(endpoints::RegisterPage(m_baseUrl));
        SendMessageW(m_mainWindow, UM_OPEN_WEB_PAGE, WPARAM(url.c_str()), 0);
        break;
    }
    case kForgetButton: {
        const std::wstring url = Widen(endpoints::ForgottenPasswordPage(m_baseUrl));
        SendMessageW(m_mainWindow, UM_OPEN_WEB_PAGE, WPARAM(url.c_str()), 0);
        break;
    }
    case kCloseButton:
        HideLogin();
        break;
    default:
        break;
    }
    Repaint();
}

void CLoginDlg::OnKeyDown(WPARAM key)
{
    // Tab, Escape and the keys of a focused button or box are the focus cycle's.
    if (key == VK_RETURN) {
        SendMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(kLoginButton, 0), LPARAM(m_hWnd));
    } else if (!m_name.GetWindowTextW().empty()) {
        m_hintVisible = false;
    }
    Repaint();
}

void CLoginDlg::OnLButtonDown(POINT point)
{
    if (Inside(m_password.GetEditBkRect(), point))
        m_password.SetSelAll();
    else
        m_password.SetSelEmpty();
    Repaint();
    // The background drags the window, as a caption would.
    if (!OverControl(point)) {
        POINT screen = point;
        ::ClientToScreen(m_hWnd, &screen);
        ReleaseCapture();
        SendMessageW(m_hWnd, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(screen.x, screen.y));
    }
}

bool CLoginDlg::OverControl(POINT point) const
{
    const RECT rects[] = {m_name.GetEditBkRect(), m_password.GetEditBkRect(), m_login.GetWindowRect(),
        m_register.GetWindowRect(), m_forget.GetWindowRect(), m_close.GetWindowRect(), m_savePassword.GetWindowRect(),
        m_autoLogin.GetWindowRect()};
    for (const RECT& rect : rects) {
        if (Inside(rect, point))
            return true;
    }
    return false;
}

void CLoginDlg::OnTimer(UINT_PTR id)
{
    if (id == kErrorTimer) {
        KillTimer(m_hWnd, kErrorTimer);
        m_error = kLoginErrorNone;
        Repaint();
        return;
    }
    if (id != kWatchdogTimer)
        return;
    switch (m_watchdog.Tick(m_flow.Busy())) {
    case LoginWatchdog::Step::Stop:
        KillTimer(m_hWnd, kWatchdogTimer);
        break;
    case LoginWatchdog::Step::GiveUp:
        // A worker that is already storing its result finishes instead.
        if (m_flow.GiveUp())
            KillTimer(m_hWnd, kWatchdogTimer);
        break;
    case LoginWatchdog::Step::Wait:
        break;
    }
}

void CLoginDlg::StartManualLogin()
{
    SetTimer(m_hWnd, kWatchdogTimer, kWatchdogPeriodMs, nullptr);
    if (m_flow.Busy())
        return;
    const std::wstring name = m_name.GetWindowTextW();
    const std::wstring password = m_password.GetWindowTextW();
    if (name.empty()) {
        ShowHint(kHintName);
        return;
    }
    if (password.empty()) {
        ShowHint(kHintPassword);
        return;
    }
    ManualLogin login = ChooseCredentials(m_edited, Narrow(name), Narrow(password), m_remembered);
    login.rememberPassword = m_savePassword.GetCheck();
    login.autoLogin = m_autoLogin.GetCheck();
    HideLogin();
    m_flow.StartManual(login);
}

void CLoginDlg::ShowHint(HintMode mode)
{
    const RECT place = skinkit::ScaleRectToDpi(mode == kHintName ? kNameTip : kPasswordTip, skinkit::WindowDpi(m_hWnd));
    m_tip.set_window_rect(place.left, place.top, place.right, place.bottom);
    m_hint = mode;
    m_hintVisible = true;
    Repaint();
}

void CLoginDlg::Repaint()
{
    if (m_hWnd)
        InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CLoginDlg::Paint()
{
    PAINTSTRUCT ps;
    HDC target = BeginPaint(m_hWnd, &ps);
    Present(target);
    EndPaint(m_hWnd, &ps);
}

void CLoginDlg::Present(HDC target)
{
    __ostrel_memory_dc surface;
    const int width = Scaled(m_hWnd, kWidth);
    const int height = Scaled(m_hWnd, kHeight);
    if (!surface.Create_compatible_dc(target, width, height, 1))
        return;
    Render(surface.get_ghost());
    PresentLayeredWindow(m_hWnd, target, surface.get_ghost(), width, height);
}

void CLoginDlg::Render(HDC hdc)
{
    m_background.OnPaint(hdc);
    m_login.OnPaint(hdc);
    m_register.OnPaint(hdc);
    m_autoLogin.OnPaint(hdc);
    m_savePassword.OnPaint(hdc);
    m_forget.OnPaint(hdc);
    m_close.OnPaint(hdc);
    if (m_error != kLoginErrorNone) {
        SkinTextStyle style;
        style.bold = true;
        style.color = 0xFEFF0000;
        style.centred = true;
        DrawSkinText(hdc, m_error == kLoginErrorNetwork ? L"网络错误！" : L"用户名或密码错误！", style,
            Scaled(m_hWnd, kErrorBox));
    }
    m_name.OnPaint2(hdc, nullptr);
    m_password.OnPaint2(hdc, nullptr);
    if (m_hintVisible) {
        m_tip.OnPaint(hdc);
        SkinTextStyle style;
        style.points = 10.0f;
        DrawSkinText(hdc, m_hint == kHintName ? L"请输入注册邮箱" : L"请输入密码", style,
            Scaled(m_hWnd, m_hint == kHintName ? kNameHintBox : kPasswordHintBox));
    }
    FocusCycle().Paint(hdc, m_hWnd);
}
