#include "web_window.h"

#include "default_browser.h"
#include "skin_text.h"
#include "skinkit/dpi.h"
#include "skinkit/memory_dc.h"
#include "skinkit/picture.h"
#include "win32/window_message_sink.h"
#include "win32kit/scoped_win.h"
#include "window_messages.h"

#include <windowsx.h>

namespace {

constexpr DWORD kStyle = WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW;
constexpr int kDefaultWidth = 700;
constexpr int kDefaultHeight = 460;
constexpr POINT kTitleAt{42, 35};
const Gdiplus::PointF kLoadingAt(300.0f, 250.0f);
constexpr float kLoadingPoints = 20.0f;
constexpr Gdiplus::ARGB kInk = 0xFE3A434A;
constexpr Gdiplus::ARGB kSlate = 0xFE848484;
// The page area inside the card's margin and below the title band.
constexpr RECT kPageInset{20, 85, 20, 22};

struct TitleRule {
    const wchar_t* part;
    const wchar_t* picture;
};

// First match wins.
constexpr TitleRule kTitles[] = {
    {L"action=image", L"upload_title.png"},
    {L"action=c_register", L"reg_title.png"},
    {L"action=c_forgetpassword", L"findpsw_title.png"},
    {L"settings.php?action=c_personal", L"personalinfo.png"},
    {L"u.php?action=trans_page", L"dyn_title.png"},
};

bool Contains(const std::wstring& text, const wchar_t* part) { return text.find(part) != std::wstring::npos; }

void DrawLine(
    HDC dc, const std::wstring& text, float points, Gdiplus::ARGB color, const Gdiplus::RectF& box, bool centred)
{
    SkinTextStyle style;
    style.points = points;
    style.color = color;
    style.centred = centred;
    style.singleLine = true;
    DrawSkinText(dc, text, style, box);
}

}  // namespace

CQNWebBrowser2::CQNWebBrowser2(HWND owner, std::wstring resourceFolder, bool embedded)
    : CLayeredWindow(Surface::kOpaque)
    , m_owner(owner)
    , m_resourceFolder(std::move(resourceFolder))
    , m_embedded(embedded)
{
    HostNamedControl(m_close, L"关闭");
}

CQNWebBrowser2::~CQNWebBrowser2()
{
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
}

std::wstring CQNWebBrowser2::TitlePictureFor(const std::wstring& address)
{
    for (const TitleRule& rule : kTitles) {
        if (Contains(address, rule.part))
            return rule.picture;
    }
    return {};
}

bool CQNWebBrowser2::Create()
{
    // A pop-up opens at its owner's DPI.
    m_dpi = skinkit::WindowDpi(m_owner);
    m_background = LoadPicture(L"web_bk.png");
    m_closeImage = LoadPicture(L"close_btn.png");
    m_width = Px(kDefaultWidth);
    m_height = Px(kDefaultHeight);
    if (m_background) {
        m_width = int(m_background->GetWidth());
        m_height = int(m_background->GetHeight());
    }
    // Not the main window's caption: tools that find windows by name must tell them apart.
    if (!CWindowBase::Create(m_owner, L"网页", kStyle, kExStyle, 0, 0, m_width, m_height, nullptr))
        return false;
    HRGN region = CreateRoundRectRgn(Px(5), Px(5), m_width - Px(4), m_height - Px(6), 1, 1);
    if (region && !SetWindowRgn(m_hWnd, region, FALSE))
        DeleteObject(region);
    return true;
}

void CQNWebBrowser2::OnCreate()
{
    const int closeWidth = m_closeImage ? int(m_closeImage->GetWidth()) / 3 : Px(24);
    const int closeHeight = m_closeImage ? int(m_closeImage->GetHeight()) : Px(24);
    m_close.Create(m_hWnd, kCloseCommand);
    m_close.SetAttribute(m_closeImage.get());
    m_close.SetWindowRect(m_width - closeWidth - Px(20), Px(15), m_width - Px(20), Px(15) + closeHeight);
}

std::unique_ptr<Gdiplus::Bitmap> CQNWebBrowser2::LoadPicture(const std::wstring& name) const
{
    if (m_dpi == skinkit::kBaseDpi)
        return LoadPictureFile(m_resourceFolder + name);
    return skinkit::LoadSkinPicture(m_resourceFolder + name, m_dpi);
}

RECT CQNWebBrowser2::PageArea() const
{
    return RECT{
        Px(kPageInset.left), Px(kPageInset.top), m_width - Px(kPageInset.right), m_height - Px(kPageInset.bottom)};
}

void CQNWebBrowser2::Open(const std::wstring& address)
{
    if (m_busy || !m_hWnd)
        return;
    m_address = address;
    m_titleFile = TitlePictureFor(address);
    m_title = m_titleFile.empty() ? nullptr : LoadPicture(m_titleFile);
    if (!m_embedded || !m_view.Create(m_hWnd, PageArea()) || FAILED(m_view.Navigate(address))) {
        OpenElsewhere();
        return;
    }
    m_elsewhere = false;
    m_busy = true;
    SetTimer(m_hWnd, kLoadingTimer, kLoadingDelayMs, nullptr);
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

// No page in this window: the default browser shows it, and the window tells
// the user where it went.
void CQNWebBrowser2::OpenElsewhere()
{
    m_elsewhere = true;
    m_view.Show(false);
    OpenInDefaultBrowser(m_address);
    ShowCentred();
}

void CQNWebBrowser2::Show(bool visible)
{
    if (visible) {
        ShowCentred();
        return;
    }
    m_busy = false;
    m_view.Show(false);
    ::ShowWindow(m_hWnd, SW_HIDE);
}

void CQNWebBrowser2::ShowCentred()
{
    if (!IsVisible()) {
        CenterWindow();
        ::ShowWindow(m_hWnd, SW_SHOW);
    }
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CQNWebBrowser2::OnTimer()
{
    KillTimer(m_hWnd, kLoadingTimer);
    if (m_busy && !IsVisible())
        ShowCentred();
}

void CQNWebBrowser2::OnPageLoaded()
{
    if (!m_busy)
        return;
    m_busy = false;
    ShowCentred();
    m_view.Show(true);
}

void CQNWebBrowser2::Close()
{
    KillTimer(m_hWnd, kLoadingTimer);
    Show(false);
    if (Contains(m_address, L"action=c_register"))
        PostMessageW(m_owner, WM_COMMAND, MAKEWPARAM(CMD_LOGIN, 0), 0);
}

BOOL CQNWebBrowser2::HandleMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (HandlePaintMessage(msg, result))
        return TRUE;
    switch (msg) {
    case WM_CREATE:
        OnCreate();
        return TRUE;
    case WM_TIMER:
        if (wParam == kLoadingTimer)
            OnTimer();
        return TRUE;
    case kPageLoadedMessage:
        OnPageLoaded();
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == kCloseCommand && HIWORD(wParam) == 0)
            Close();
        return TRUE;
    case WM_LBUTTONDOWN: {
        const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        const RECT close = m_close.GetWindowRect();
        if (!PtInRect(&close, point))
            PostMessageW(m_hWnd, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
        return TRUE;
    }
    case UM_AVATAR_CHANGED:
    case UM_OPEN_PICTURE_COMMENTS:
    case UM_OPEN_NOTICE_REPLY:
        // Passed on only while the page's call waits for it.
        if (SenderWaits(msg))
            result = SendWithText(m_owner, msg, wParam, lParam);
        return TRUE;
    default:
        return FALSE;
    }
}

// Keys and the mouse over the page go to the control first, for its
// accelerators (copy, select all, tab between fields).
BOOL CQNWebBrowser2::PreTranslateMessage(MSG* msg)
{
    const bool key = msg->message >= WM_KEYFIRST && msg->message <= WM_KEYFIRST + 9;
    const bool mouse = msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSEFIRST + 13;
    HWND view = m_view.GetHWND();
    if ((!key && !mouse) || !view || !msg->hwnd || (msg->hwnd != view && !IsChild(view, msg->hwnd)))
        return FALSE;
    return SendMessageW(view, kForwardMessage, 0, LPARAM(msg)) ? TRUE : FALSE;
}

void CQNWebBrowser2::DrawLoading(HDC dc) const
{
    const float x = float(Px(int(kLoadingAt.X)));
    const Gdiplus::RectF box(x, float(Px(int(kLoadingAt.Y))), float(m_width) - x, float(Px(40)));
    DrawLine(dc, L"正在加载...", kLoadingPoints, 0xFE000000, box, false);
}

std::wstring CQNWebBrowser2::ShownAddress(const std::wstring& address)
{
    return address.substr(0, address.find_first_of(L"?#"));
}

void CQNWebBrowser2::DrawNotice(HDC dc) const
{
    const RECT page = PageArea();
    const float left = float(page.left + Px(20));
    const float width = float(page.right - page.left - Px(40));
    const float middle = float(page.top + page.bottom) / 2.0f;
    DrawLine(dc, L"此电脑无法在窗口中显示网页，已在默认浏览器中打开", 12.0f, kInk,
        Gdiplus::RectF(left, middle - float(Px(34)), width, float(Px(24))), true);
    DrawLine(dc, ShownAddress(m_address), 9.0f, kSlate,
        Gdiplus::RectF(left, middle + float(Px(4)), width, float(Px(20))), true);
}

void CQNWebBrowser2::Compose(HDC dc)
{
    {
        Gdiplus::Graphics g(dc);
        g.Clear(Gdiplus::Color(255, 255, 255, 255));
        if (m_background)
            g.DrawImage(m_background.get(), 0, 0, m_width, m_height);
        if (m_title)
            g.DrawImage(
                m_title.get(), Px(kTitleAt.x), Px(kTitleAt.y), int(m_title->GetWidth()), int(m_title->GetHeight()));
    }
    if (m_elsewhere)
        DrawNotice(dc);
    else
        DrawLoading(dc);
    m_close.OnPaint(dc);
}
