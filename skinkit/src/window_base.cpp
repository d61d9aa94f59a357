#include "skinkit/window_base.h"

#include <oleacc.h>

#include "window_accessible.h"

namespace {
constexpr const wchar_t* kObjectProperty = L"VorlaneWnd";
}

CWindowBase::CWindowBase() = default;
// A copy binds to the same window but hosts no controls: the routes point
// into the other object.
CWindowBase::CWindowBase(const CWindowBase& other)
    : m_roundWidth(other.m_roundWidth)
    , m_roundHeight(other.m_roundHeight)
    , m_hWnd(other.m_hWnd)
    , m_hParent(other.m_hParent)
    , m_reserved(other.m_reserved)
{
}

CWindowBase& CWindowBase::operator=(const CWindowBase& other)
{
    m_roundWidth = other.m_roundWidth;
    m_roundHeight = other.m_roundHeight;
    m_hWnd = other.m_hWnd;
    m_hParent = other.m_hParent;
    m_reserved = other.m_reserved;
    return *this;
}

CWindowBase::~CWindowBase() = default;

LRESULT CWindowBase::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (ControlsTakeMessages())
        m_controls.Dispatch(hwnd, msg, wParam, lParam);
    return 0;
}

bool CWindowBase::ControlsTakeMessages() const { return true; }

CWindowBase* CWindowBase::FromHandle(HWND hwnd)
{
    return hwnd ? static_cast<CWindowBase*>(GetPropW(hwnd, kObjectProperty)) : nullptr;
}

namespace {
// A window with described controls answers screen readers itself; any
// other leaves the question to the system.
bool AnswerAccessibility(HWND hwnd, const CControlHost& controls, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (static_cast<DWORD>(lParam) != static_cast<DWORD>(OBJID_CLIENT) || !controls.HasDescribed())
        return false;
    IAccessible* accessible = NewWindowAccessible(hwnd);
    // __uuidof: MinGW's oleacc import library gives IID_IAccessible as a code thunk.
    result = LresultFromObject(__uuidof(IAccessible), wParam, accessible);
    accessible->Release();
    // A negative result is the failure's HRESULT.
    return result > 0;
}
}  // namespace

void CWindowBase::HostRoute(CControlHost::Route route, CControlHost::Filter takes)
{
    m_controls.Add(std::move(route), std::move(takes));
}

void CWindowBase::HostDescriber(CControlHost::Describer describe, const void* source)
{
    m_controls.Add(nullptr, nullptr, std::move(describe), source);
}

UINT CWindowBase::GetClassStyle() const { return CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS; }

HBRUSH CWindowBase::GethBrushBackground() { return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)); }

bool CWindowBase::RegisterWindowClass()
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = GetClassStyle();
    wc.lpfnWndProc = &CWindowBase::__WndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = GethBrushBackground();
    wc.lpszClassName = GetWindowClassName();
    if (RegisterClassExW(&wc))
        return true;
    return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CWindowBase::Create(
    HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, int x, int y, int width, int height, HMENU menu)
{
    if (!RegisterWindowClass())
        return nullptr;
    m_hParent = parent;
    m_hWnd = CreateWindowExW(exStyle, GetWindowClassName(), title, style, x, y, width, height, parent, menu,
        GetModuleHandleW(nullptr), this);
    return m_hWnd;
}

HWND CWindowBase::Create(HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, RECT rect, HMENU menu)
{
    return Create(
        parent, title, style, exStyle, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, menu);
}

void CWindowBase::CenterInside(const RECT& reference, const RECT& work)
{
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    const int w = window.right - window.left;
    const int h = window.bottom - window.top;
    int x = (reference.left + reference.right) / 2 - w / 2;
    int y = (reference.top + reference.bottom) / 2 - h / 2;
    if (x < work.left) {
        x = work.left;
    } else if (x + w > work.right) {
        x = work.right - w;
    }
    if (y < work.top) {
        y = work.top;
    } else if (y + h > work.bottom) {
        y = work.bottom - h;
    }
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowBase::CenterWindow()
{
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT reference = work;
    if (HWND owner = GetWindow(m_hWnd, GW_OWNER))
        ::GetWindowRect(owner, &reference);
    CenterInside(reference, work);
}

void CWindowBase::CenterWindow2()
{
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    CenterInside(work, work);
}

BOOL CWindowBase::MoveWindow(const RECT* rect, BOOL repaint)
{
    return ::MoveWindow(m_hWnd, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, repaint);
}

BOOL CWindowBase::SetWindowPos(HWND insertAfter, const RECT* rect, UINT flags)
{
    return ::SetWindowPos(
        m_hWnd, insertAfter, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, flags);
}

BOOL CWindowBase::GetWindowRect(RECT* rect) const { return ::GetWindowRect(m_hWnd, rect); }

BOOL CWindowBase::ClientToScreen(POINT* point) const { return ::ClientToScreen(m_hWnd, point); }

BOOL CWindowBase::ClientToScreen(RECT* rect) const
{
    POINT topLeft{rect->left, rect->top};
    if (!::ClientToScreen(m_hWnd, &topLeft))
        return FALSE;
    POINT bottomRight{rect->right, rect->bottom};
    const BOOL ok = ::ClientToScreen(m_hWnd, &bottomRight);
    rect->left = topLeft.x;
    rect->top = topLeft.y;
    if (ok) {
        rect->right = bottomRight.x;
        rect->bottom = bottomRight.y;
    }
    return ok;
}

BOOL CWindowBase::ShowWindow(int cmdShow) { return ::ShowWindow(m_hWnd, cmdShow); }

void CWindowBase::SetRoundSize(int width, int height)
{
    m_roundWidth = width;
    m_roundHeight = height;
}

void CWindowBase::ReSetWindowRgn()
{
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    HRGN region = CreateRoundRectRgn(0, 0, window.right - window.left, window.bottom - window.top, 5, 5);
    // The system owns the region once SetWindowRgn succeeds.
    if (region && !SetWindowRgn(m_hWnd, region, TRUE))
        DeleteObject(region);
}

void CWindowBase::OnPaint(HDC) { }

void CWindowBase::OnFinalMessage(HWND) { }

LRESULT CALLBACK CWindowBase::__WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<CWindowBase*>(create->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        SetPropW(hwnd, kObjectProperty, self);
        if (self)
            self->m_hWnd = hwnd;
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    if (msg == WM_NCDESTROY) {
        auto* self = static_cast<CWindowBase*>(RemovePropW(hwnd, kObjectProperty));
        const LRESULT result = DefWindowProcW(hwnd, msg, wParam, lParam);
        if (self)
            self->OnFinalMessage(hwnd);
        return result;
    }
    auto* self = static_cast<CWindowBase*>(GetPropW(hwnd, kObjectProperty));
    if (!self)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg == WM_GETOBJECT) {
        LRESULT answer = 0;
        if (AnswerAccessibility(hwnd, self->m_controls, wParam, lParam, answer))
            return answer;
    }
    if (self->ControlsTakeMessages()) {
        if (msg == WM_KEYDOWN && self->m_focus.OnKeyDown(hwnd, wParam))
            return 0;
        if (msg == WM_LBUTTONDOWN)
            self->m_focus.OnClick(hwnd);
        // Before the controls: a field lets the focus go on this one.
        if (msg == WM_NCACTIVATE && !wParam)
            self->m_focus.OnActivate(hwnd, false);
    }
    self->WindowProc(hwnd, msg, wParam, lParam);
    // Whichever of these says the window is in front again and has the keys.
    const bool back = (msg == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE) || (msg == WM_NCACTIVATE && wParam)
        || msg == WM_SETFOCUS;
    if (back && self->ControlsTakeMessages())
        self->m_focus.OnActivate(hwnd, true);
    LRESULT result = 0;
    self->HandleMessage(hwnd, msg, wParam, lParam, result);
    if (result != 0)
        return result;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
