#include "skinkit/ostrel_window.h"

#include <commctrl.h>

#include "skinkit/dpi.h"
#include "skinkit/memory_dc.h"
#include "win32kit/scoped_win.h"

namespace {
constexpr const wchar_t* kResourceFolder = L"\\Ziv_resource\\";
constexpr const wchar_t* kWindowIni = L"__ostrel_window.ini";
}  // namespace

__ostrel_window::__ostrel_window() = default;

__ostrel_window::~__ostrel_window() = default;

bool __ostrel_window::Create(HWND parent, RECT* rect)
{
    RECT r = rect ? *rect : RECT{0, 0, 425, 290};
    if (!RegisterWindowClass())
        return false;
    m_hParent = parent;
    HWND hwnd = CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST, GetWindowClassName(),
        L"__ostrel_window", WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, r.left, r.top, r.right - r.left, r.bottom - r.top,
        parent, nullptr, GetModuleHandleW(nullptr), this);
    return hwnd != nullptr;
}

BOOL __ostrel_window::HandleMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    int handled = 1;
    switch (msg) {
    case WM_CREATE:
        OnCreate(msg, wParam, lParam, handled);
        break;
    case WM_PAINT:
        OnPaint(msg, wParam, lParam, handled);
        break;
    case WM_DESTROY:
        OnDestroy(msg, wParam, lParam, handled);
        result = 1;
        return TRUE;
    case WM_MOUSEMOVE:
        OnMouseMove(msg, wParam, lParam, handled);
        break;
    case WM_MOUSELEAVE:
        OnMouseLeave(msg, wParam, lParam, handled);
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_TIMER:
        break;
    default:
        return FALSE;
    }
    result = 0;
    return TRUE;
}

std::wstring __ostrel_window::ResourceFolder() const { return GetAppPath() + kResourceFolder; }

LRESULT __ostrel_window::OnCreate(UINT, WPARAM, LPARAM, int&)
{
    Init_common_controls();
    LoadImageRes();
    SetControlAttribute();
    Draw_window(win32kit::ScopedGetDC(m_hWnd));
    return 0;
}

LRESULT __ostrel_window::OnPaint(UINT, WPARAM, LPARAM, int&)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    Draw_window(dc);
    EndPaint(m_hWnd, &ps);
    return 0;
}

LRESULT __ostrel_window::OnDestroy(UINT, WPARAM, LPARAM, int&)
{
    PostQuitMessage(0);
    return 1;
}

LRESULT __ostrel_window::OnMouseMove(UINT, WPARAM, LPARAM, int&)
{
    if (m_tracking)
        return 0;
    m_tracking = true;
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, m_hWnd, 0};
    TrackMouseEvent(&track);
    return 0;
}

LRESULT __ostrel_window::OnMouseLeave(UINT, WPARAM, LPARAM, int&)
{
    m_tracking = false;
    return 0;
}

LRESULT __ostrel_window::OnLButtonDown(UINT, WPARAM, LPARAM, int&) { return 0; }
LRESULT __ostrel_window::OnLButtonUp(UINT, WPARAM, LPARAM, int&) { return 0; }
LRESULT __ostrel_window::OnTimer(UINT, WPARAM, LPARAM, int&) { return 0; }
LRESULT __ostrel_window::OnMove(UINT, WPARAM, LPARAM, int&) { return 0; }
LRESULT __ostrel_window::OnNcHittest(UINT, WPARAM, LPARAM, int&) { return HTCAPTION; }

void __ostrel_window::Draw_window(HDC hdc)
{
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    __ostrel_memory_dc surface;
    if (!surface.Create_compatible_dc(hdc, width, height, 1))
        return;
    DrawControl(surface.get_ghost());
    PresentLayeredWindow(m_hWnd, hdc, surface.get_ghost(), width, height);
}

void __ostrel_window::DrawControl(HDC hdc)
{
    if (m_background.IsWindowVisible() && m_background.GetPicture())
        m_background.DrawPicture(hdc);
}

// The background points into the list: a reload points it at the new
// pictures before the old ones are freed.
void __ostrel_window::LoadImageRes()
{
    CImageList previous;
    previous.Swap(m_images);
    m_images.Load(ResourceFolder(), skinkit::WindowDpi(m_hWnd));
    if (previous.Size() != 0)
        SetControlAttribute();
}

void __ostrel_window::SetControlAttribute()
{
    m_background.SetAttribute(L"window_background", ResourceFolder() + kWindowIni, m_images.Images());
}

void __ostrel_window::Init_common_controls() { m_background.Create(m_hWnd, true); }

std::wstring __ostrel_window::GetAppPath() const
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    const size_t slash = folder.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash + 1);
}

void __ostrel_window::GetConfigIniFile(std::wstring& path) const { path = GetAppPath() + L"\\feyra.ini"; }

void __ostrel_window::GetSkinDirectory(std::wstring& path) const { path = GetAppPath() + L"\\Skin"; }

std::wstring __ostrel_window::GetSkinConfig(const std::wstring& iniFile) const
{
    wchar_t value[260] = {};
    GetPrivateProfileStringW(L"SkinConfig", L"Skin", L"Chrome", value, 260, iniFile.c_str());
    return value;
}
