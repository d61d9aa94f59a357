#include "message_box.h"

#include "skin_text.h"
#include "skinkit/dpi.h"
#include "skinkit/picture.h"

#include <windowsx.h>

namespace {

constexpr DWORD kStyle = WS_POPUP;
constexpr DWORD kExStyle = WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
constexpr int kDefaultWidth = 280;
constexpr int kDefaultHeight = 180;
constexpr POINT kButtonAt{55, 90};
constexpr Gdiplus::ARGB kTextColor = 0xFE2D4D64;
// One line between the caption band and the button.
constexpr int kTextTop = 52;
constexpr int kTextHeight = 32;
constexpr int kTextMargin = 10;
// A 14-pixel face.
constexpr float kTextPoints = 10.5f;

}  // namespace

CMessageBox::CMessageBox(HWND owner, std::wstring text, std::wstring resourceFolder)
    : m_owner(owner)
    , m_text(std::move(text))
    , m_resourceFolder(std::move(resourceFolder))
{
    HostControl(m_ok);
    ListFocusable(m_ok);
}

CMessageBox::~CMessageBox()
{
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
}

INT_PTR CMessageBox::DoModal(HWND parent)
{
    // The parent takes no input while the box is up, as under a system dialog.
    const bool parentWasEnabled = parent && IsWindowEnabled(parent);
    if (parentWasEnabled)
        EnableWindow(parent, FALSE);
    // The text is also the caption, for tools that read windows.
    if (!Create(m_owner ? m_owner : parent, m_text.c_str(), kStyle, kExStyle, 0, 0, m_width, m_height, nullptr)) {
        if (parentWasEnabled)
            EnableWindow(parent, TRUE);
        return 0;
    }
    ::ShowWindow(m_hWnd, SW_SHOW);
    SetForegroundWindow(m_hWnd);
    SetFocus(m_hWnd);
    MSG msg;
    while (!m_ended) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0)
                PostQuitMessage(int(msg.wParam));
            break;
        }
        if (OnKey(msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (parentWasEnabled)
        EnableWindow(parent, TRUE);
    DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
    if (parent && IsWindow(parent))
        SetForegroundWindow(parent);
    return m_result;
}

// Keys meant for the box never reach another window while it is up.
bool CMessageBox::OnKey(const MSG& msg)
{
    if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST)
        return false;
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN)
        End(IDOK);
    else if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE)
        End(IDCANCEL);
    else if (msg.message == WM_KEYDOWN)
        FocusCycle().OnKeyDown(m_hWnd, msg.wParam);
    return true;
}

void CMessageBox::End(INT_PTR result)
{
    if (m_ended)
        return;
    m_result = result;
    m_ended = true;
}

void CMessageBox::OnCreate()
{
    // A pop-up opens at its owner's DPI (the system's without one).
    m_dpi = skinkit::WindowDpi(m_hWnd);
    m_background = skinkit::LoadSkinPicture(m_resourceFolder + L"msgbox_bg.png", m_dpi);
    m_buttonImage = skinkit::LoadSkinPicture(m_resourceFolder + L"common_btn.png", m_dpi);
    m_width = Px(kDefaultWidth);
    m_height = Px(kDefaultHeight);
    if (m_background) {
        m_width = int(m_background->GetWidth());
        m_height = int(m_background->GetHeight());
    }
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, m_width, m_height, SWP_NOMOVE | SWP_NOACTIVATE);
    CenterWindow();
    const int buttonWidth = m_buttonImage ? int(m_buttonImage->GetWidth()) / 3 : Px(90);
    const int buttonHeight = m_buttonImage ? int(m_buttonImage->GetHeight()) : Px(28);
    m_ok.Create(m_hWnd, IDOK);
    m_ok.SetAttribute(m_buttonImage.get());
    m_ok.SetWindowRect_New(Px(kButtonAt.x), Px(kButtonAt.y), buttonWidth, buttonHeight);
    m_ok.SetWindowTextW(L"确定");
    m_ok.SetTextColor(RGB(255, 255, 255));
    FocusCycle().Focus(m_hWnd, &m_ok);
    Present();
}

BOOL CMessageBox::HandleMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (HandlePaintMessage(msg, result))
        return TRUE;
    switch (msg) {
    case WM_CREATE:
        OnCreate();
        return TRUE;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MOUSELEAVE:
    case WM_KEYDOWN:
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) == 0 && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
            End(LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

void CMessageBox::Compose(HDC dc)
{
    if (m_background) {
        Gdiplus::Graphics g(dc);
        g.DrawImage(m_background.get(), 0, 0, m_width, m_height);
    }
    SkinTextStyle style;
    style.points = kTextPoints;
    style.color = kTextColor;
    style.centred = true;
    style.singleLine = true;
    DrawSkinText(dc, m_text, style,
        Gdiplus::RectF(
            float(Px(kTextMargin)), float(Px(kTextTop)), float(m_width - 2 * Px(kTextMargin)), float(Px(kTextHeight))));
    m_ok.OnPaint(dc);
    FocusCycle().Paint(dc, m_hWnd);
}
