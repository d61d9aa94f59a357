#include "set_dlg.h"

#include "skinkit/dpi.h"
#include "skinkit/picture.h"

#include <windowsx.h>

namespace {

constexpr DWORD kStyle = WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
constexpr RECT kAutoRunRect{110, 48, 130, 68};
constexpr RECT kAutoLoginRect{110, 83, 130, 103};
constexpr POINT kClosePlace{355, 8};

bool FileExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

CQNSetDlg::CQNSetDlg(std::string configPath, RunKeyRoots roots)
    : m_configPath(std::move(configPath))
    , m_roots(roots)
{
    HostNamedControl(m_autoRun, L"开机时自动启动");
    HostNamedControl(m_autoLogin, L"启动后自动登录");
    HostNamedControl(m_close, L"关闭");
    ListFocusable(m_autoRun);
    ListFocusable(m_autoLogin);
    ListFocusable(m_close);
    FocusCycle().OnEscape([this] { OnCommand(kCloseButton, 0); });
}

CQNSetDlg::~CQNSetDlg()
{
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
}

bool CQNSetDlg::Create(HWND parent, const RECT* rect)
{
    const RECT place
        = rect ? *rect : skinkit::ScaleRectToDpi(RECT{0, 0, m_size.cx, m_size.cy}, skinkit::WindowDpi(parent));
    m_size = SIZE{place.right - place.left, place.bottom - place.top};
    return CWindowBase::Create(parent, L"Vorl设置", kStyle, kExStyle, place, nullptr) != nullptr;
}

void CQNSetDlg::LoadImages(const std::wstring& resourceFolder, int dpi)
{
    m_resourceFolder = resourceFolder;
    m_background = skinkit::LoadSkinPicture(resourceFolder + L"setting_window.png", dpi);
    m_boxImage = skinkit::LoadSkinPicture(resourceFolder + L"select.png", dpi);
    m_closeImage = skinkit::LoadSkinPicture(resourceFolder + L"close_pic.png", dpi);
    BindImages();
}

void CQNSetDlg::BindImages()
{
    m_autoRun.SetBitmap(m_boxImage.get());
    m_autoLogin.SetBitmap(m_boxImage.get());
    m_close.SetAttribute(m_closeImage.get());
    if (!m_closeImage)
        return;
    // The close picture holds three states side by side.
    const int width = int(m_closeImage->GetWidth()) / 3;
    const int dpi = skinkit::WindowDpi(m_hWnd);
    m_close.SetWindowRect_New(skinkit::ScaleToDpi(kClosePlace.x, dpi), skinkit::ScaleToDpi(kClosePlace.y, dpi), width,
        int(m_closeImage->GetHeight()));
}

void CQNSetDlg::Show(bool show)
{
    if (!show) {
        ShowWindow(SW_HIDE);
        return;
    }
    // Either may have changed outside the client since the last show.
    m_config = std::make_unique<ConfigDocument>();
    m_autoLogin.SetCheck(FileExists(m_configPath) && m_config->Load(m_configPath) && m_config->ReadAutoLogin());
    m_autoRun.SetCheck(IsAutoRunRegistered(m_roots));
    CenterWindow();
    ShowWindow(SW_SHOW);
    SetForegroundWindow(m_hWnd);
    // Each show starts at the first control, as a dialog does.
    FocusCycle().Focus(m_hWnd, &m_autoRun);
    Present();
}

BOOL CQNSetDlg::HandleMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (HandlePaintMessage(msg, result))
        return TRUE;
    switch (msg) {
    case WM_CREATE:
        OnCreate();
        return TRUE;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_DPICHANGED:
        skinkit::TakeDpiChange(m_hWnd, wParam, lParam);
        OnDpiChanged();
        return TRUE;
    case WM_LBUTTONDOWN:
        OnLButtonDown(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return TRUE;
    case WM_DESTROY:
        m_autoRun.SetBitmap(nullptr);
        m_autoLogin.SetBitmap(nullptr);
        m_close.SetAttribute(nullptr);
        m_background.reset();
        m_boxImage.reset();
        m_closeImage.reset();
        return TRUE;
    default:
        return FALSE;
    }
}

void CQNSetDlg::OnCreate()
{
    const int dpi = skinkit::WindowDpi(m_hWnd);
    m_autoRun.Create(m_hWnd, skinkit::ScaleRectToDpi(kAutoRunRect, dpi), L"", kAutoRunBox, 0);
    m_autoLogin.Create(m_hWnd, skinkit::ScaleRectToDpi(kAutoLoginRect, dpi), L"", kAutoLoginBox, 0);
    m_close.Create(m_hWnd, kCloseButton);
    BindImages();
    Present();
}

void CQNSetDlg::OnDpiChanged()
{
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    m_size = SIZE{window.right - window.left, window.bottom - window.top};
    const int dpi = skinkit::WindowDpi(m_hWnd);
    const RECT autoRun = skinkit::ScaleRectToDpi(kAutoRunRect, dpi);
    const RECT autoLogin = skinkit::ScaleRectToDpi(kAutoLoginRect, dpi);
    m_autoRun.SetWindowRect(autoRun.left, autoRun.top, autoRun.right, autoRun.bottom);
    m_autoLogin.SetWindowRect(autoLogin.left, autoLogin.top, autoLogin.right, autoLogin.bottom);
    if (!m_resourceFolder.empty())
        LoadImages(m_resourceFolder, dpi);
    Present();
}

void CQNSetDlg::OnCommand(WORD id, WORD code)
{
    if (code != 0)
        return;
    switch (id) {
    case kAutoRunBox:
        SetAutoRun(m_autoRun.GetCheck(), RunningProgramPath(), m_roots);
        break;
    case kAutoLoginBox:
        // Without vlconfig.xml there is nothing to save into.
        if (m_config->Loaded())
            m_config->WriteAutoLogin(m_autoLogin.GetCheck());
        break;
    case kCloseButton:
        PostMessageW(m_hWnd, WM_MOUSELEAVE, 0, 0);
        Show(false);
        return;
    default:
        return;
    }
    Present();
}

void CQNSetDlg::OnLButtonDown(POINT point)
{
    const RECT controls[] = {m_autoRun.GetWindowRect(), m_autoLogin.GetWindowRect(), m_close.GetWindowRect()};
    for (const RECT& rect : controls) {
        if (PtInRect(&rect, point))
            return;
    }
    // The background drags the window, as a caption would.
    ReleaseCapture();
    PostMessageW(m_hWnd, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
}

void CQNSetDlg::Compose(HDC hdc)
{
    if (m_background) {
        Gdiplus::Graphics g(hdc);
        g.DrawImage(m_background.get(), 0, 0, m_background->GetWidth(), m_background->GetHeight());
    }
    m_autoRun.OnPaint(hdc);
    m_autoLogin.OnPaint(hdc);
    m_close.OnPaint(hdc);
    FocusCycle().Paint(hdc, m_hWnd);
}
