#include "main_window.h"

#include "cache_downloader.h"
#include "endpoints.h"
#include "picture_cache.h"
#include "platform.h"
#include "program_folder.h"
#include "resource_ids.h"
#include "signed_in_user.h"
#include "skinkit/memory_dc.h"
#include "win32/desktop_info.h"
#include "win32/wide_text.h"
#include "win32/window_message_sink.h"
#include "win32kit/scoped_win.h"
#include "work_tracker.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <cstdio>
#include <vector>

namespace {

constexpr DWORD kStyle = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr COLORREF kBackground = RGB(34, 38, 46);
constexpr COLORREF kUserNameColor = 0xA4AC6F;
constexpr WORD kAvatarPictureId = 1;

// Read whole into memory: a bitmap made from the file itself would keep the
// file open, and the next login replaces it.
std::unique_ptr<Gdiplus::Bitmap> LoadPicture(const std::string& path)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(platform::OpenFile(path, "rb"), std::fclose);
    if (!file)
        return nullptr;
    std::vector<BYTE> bytes;
    BYTE block[16384];
    std::size_t got;
    while ((got = std::fread(block, 1, sizeof block, file.get())) > 0)
        bytes.insert(bytes.end(), block, block + got);
    if (bytes.empty())
        return nullptr;
    auto stream = win32kit::ComPtr<IStream>::Adopt(SHCreateMemStream(bytes.data(), UINT(bytes.size())));
    if (!stream)
        return nullptr;
    std::unique_ptr<Gdiplus::Bitmap> picture(Gdiplus::Bitmap::FromStream(stream.Get()));
    if (picture && picture->GetLastStatus() != Gdiplus::Ok)
        picture.reset();
    return picture;
}

void OpenInBrowser(const wchar_t* url) { ShellExecuteW(nullptr, L"open", url, nullptr, nullptr, SW_SHOWNORMAL); }

}  // namespace

Qaurn_Navigate_window::Qaurn_Navigate_window() = default;

Qaurn_Navigate_window::~Qaurn_Navigate_window()
{
    m_login.reset();
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
}

bool Qaurn_Navigate_window::CreateFullScreen()
{
    return Create(nullptr, L"Vorlane", kStyle, 0, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
               nullptr)
        != nullptr;
}

void Qaurn_Navigate_window::QueueStartUpFetches()
{
    if (m_services)
        m_services->QueueStartUpFetches();
}

void Qaurn_Navigate_window::OnCreate()
{
    m_services
        = std::make_unique<ClientServices>(m_hWnd, QUARN_SERVICE_BASE_URL, Narrow(ProgramFolder()) + "vlconfig.xml");

    m_loginLink.Create(m_hWnd, kLoginLink);
    m_loginLink.SetURL(L"", L"登录");
    m_registerLink.Create(m_hWnd, kRegisterLink);
    m_registerLink.SetURL(L"", L"注册");
    m_signOutLink.Create(m_hWnd, kSignOut);
    m_signOutLink.SetURL(L"", L"退出");
    m_closeLink.Create(m_hWnd, kClose);
    m_closeLink.SetURL(L"", L"关闭");
    m_userName.Create(m_hWnd, kUserNameButton);
    m_userName.SetTextColor(kUserNameColor);
    m_avatarPicture.Create(m_hWnd, false);
    m_avatarPicture.SetStyle(1);
    Layout();
    ShowSignedOut();

    // Shared icons of the program's module: the system keeps them, nothing to free.
    HINSTANCE module = GetModuleHandleW(nullptr);
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL,
        LPARAM(LoadImageW(module, MAKEINTRESOURCEW(QUARN_ICON), IMAGE_ICON, 16, 16, LR_SHARED)));
    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG,
        LPARAM(LoadImageW(module, MAKEINTRESOURCEW(QUARN_ICON), IMAGE_ICON, 32, 32, LR_SHARED)));

    // The login starts once the message loop runs.
    PostMessageW(m_hWnd, UM_START_LOGIN, 0, 0);
}

// Until the window's skin file exists, the places are set here, measured
// from the right edge; links have no raw position of their own, so a
// routed WM_SIZE would put them back at the origin.
void Qaurn_Navigate_window::Layout()
{
    RECT client{};
    GetClientRect(m_hWnd, &client);
    m_loginLink.MoveWindow(client.right - 250, 14, false);
    m_registerLink.MoveWindow(client.right - 205, 14, false);
    m_signOutLink.MoveWindow(client.right - 62, 14, false);
    m_closeLink.MoveWindow(client.right - 32, 14, false);
    m_userName.SetWindowRect(-145, 10, -68, 25);
    m_avatarPicture.SetWindowRect(-185, 3, -155, 33);
}

CLoginDlg& Qaurn_Navigate_window::LoginWindow()
{
    if (!m_login) {
        m_login = std::make_unique<CLoginDlg>(m_hWnd, ResourceFolder(), m_services->Login());
        m_login->CreateHidden();
    }
    return *m_login;
}

LRESULT Qaurn_Navigate_window::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (IsSignedIn()) {
        m_userName.WindowProc(hwnd, msg, wParam, lParam);
        m_signOutLink.WindowProc(hwnd, msg, wParam, lParam);
    } else {
        m_loginLink.WindowProc(hwnd, msg, wParam, lParam);
        m_registerLink.WindowProc(hwnd, msg, wParam, lParam);
    }
    m_avatarPicture.WindowProc(hwnd, msg, wParam, lParam);
    m_closeLink.WindowProc(hwnd, msg, wParam, lParam);
    return 0;
}

BOOL Qaurn_Navigate_window::HandleMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case WM_CREATE:
        OnCreate();
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return TRUE;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED)
            Layout();
        return FALSE;
    case WM_ERASEBKGND:
        result = 1;
        return TRUE;
    case WM_PAINT:
        Paint();
        result = 1;
        return TRUE;
    case WM_SETCURSOR:
        if (OnSetCursor()) {
            result = TRUE;
            return TRUE;
        }
        return FALSE;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE)
            PostMessageW(m_hWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        return TRUE;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam), lParam);
        return TRUE;
    case UM_START_LOGIN:
        PostMessageW(LoginWindow().GetHWND(), UM_START_LOGIN, 0, 0);
        return TRUE;
    case UM_OPEN_WEB_PAGE:
        // Until the embedded web window exists, the default browser shows it.
        if (wParam)
            OpenInBrowser(reinterpret_cast<const wchar_t*>(wParam));
        return TRUE;
    case UM_LOGIN_STATE:
        if (wParam == 0)
            OnLoginState(lParam);
        return TRUE;
    default:
        return FALSE;
    }
}

void Qaurn_Navigate_window::OnCommand(WORD id, WORD code, LPARAM lParam)
{
    if (code != 0)
        return;
    switch (id) {
    case kLoginLink: {
        if (reinterpret_cast<HWND>(lParam) == m_hWnd)
            m_pendingAction = 0;
        if (IsSignedIn())
            return;
        CLoginDlg& login = LoginWindow();
        if (!login.IsVisible() && !login.IsBusy())
            login.ShowLogin();
        return;
    }
    case kRegisterLink:
        OpenInBrowser(Widen(endpoints::RegisterPage(m_services->Login().baseUrl)).c_str());
        return;
    case kSignOut:
        OnSignOut();
        return;
    case kClose:
        PostMessageW(m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
    default:
        return;
    }
}

void Qaurn_Navigate_window::OnLoginState(LPARAM state)
{
    if (state == kLoginStarted) {
        m_loginLink.ShowWindow(false);
        m_registerLink.ShowWindow(false);
        InvalidateRect(m_hWnd, nullptr, FALSE);
        return;
    }
    if (state == kLoginEnded && IsSignedIn()) {
        ShowSignedIn();
        m_pendingAction = 0;
        return;
    }
    const LoginError error = LoginErrorFor(int(state), IsSignedIn());
    if (error == kLoginErrorNone || !m_login)
        return;
    ShowSignedOut();
    m_login->SetErrorState(error);
    m_login->ShowLogin();
}

void Qaurn_Navigate_window::ShowSignedIn()
{
    const SignedInUser user = CopySignedInUser();
    const std::wstring name = Widen(user.displayName);
    m_userName.SetWindowTextW(name);
    m_userName.SetTipText(name);
    m_userName.ShowWindow(true);
    m_avatarPicture.set_picture_ptr(nullptr);
    m_avatar = LoadPicture(m_services->Login().avatarPath);
    m_avatarPicture.set_picture_ptr(m_avatar.get());
    m_avatarPicture.ShowWindow(m_avatar != nullptr);
    m_loginLink.ShowWindow(false);
    m_registerLink.ShowWindow(false);
    m_signOutLink.ShowWindow(true);
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void Qaurn_Navigate_window::ShowSignedOut()
{
    m_avatarPicture.ShowWindow(false);
    m_avatarPicture.set_picture_ptr(nullptr);
    m_avatar.reset();
    m_userName.ShowWindow(false);
    m_signOutLink.ShowWindow(false);
    m_loginLink.ShowWindow(true);
    m_registerLink.ShowWindow(true);
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void Qaurn_Navigate_window::OnSignOut()
{
    if (!IsSignedIn() || !m_login)
        return;
    SignOut(m_services->Login());
    ShowSignedOut();
}

bool Qaurn_Navigate_window::OnSetCursor()
{
    POINT point{};
    GetCursorPos(&point);
    ScreenToClient(m_hWnd, &point);
    for (const CHyperLinkUI* link : {&m_loginLink, &m_registerLink, &m_signOutLink, &m_closeLink}) {
        const RECT rect = link->GetWindowRect();
        if (link->IsWindowVisible() && PtInRect(&rect, point)) {
            link->OnSetCursor();
            return true;
        }
    }
    return false;
}

void Qaurn_Navigate_window::Paint()
{
    PAINTSTRUCT ps;
    HDC target = BeginPaint(m_hWnd, &ps);
    RECT client{};
    GetClientRect(m_hWnd, &client);
    __ostrel_memory_dc surface;
    if (surface.Create_compatible_dc(target, client.right, client.bottom, 1)) {
        HDC dc = surface.get_ghost();
        win32kit::ScopedGdiObject<HBRUSH> brush(CreateSolidBrush(kBackground));
        FillRect(dc, &client, brush.Get());
        m_loginLink.OnPaint(dc);
        m_registerLink.OnPaint(dc);
        m_signOutLink.OnPaint(dc);
        m_closeLink.OnPaint(dc);
        m_userName.OnPaint(dc);
        m_avatarPicture.OnPaint(dc);
        BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    }
    EndPaint(m_hWnd, &ps);
}
