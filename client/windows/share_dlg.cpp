#include "share_dlg.h"

#include "default_browser.h"
#include "endpoints.h"
#include "message_box.h"
#include "skinkit/dpi.h"
#include "skinkit/memory_dc.h"
#include "skinkit/picture.h"
#include "win32/wide_text.h"
#include "win32kit/scoped_win.h"

#include <windowsx.h>

namespace {

constexpr DWORD kStyle = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW;
constexpr int kDefaultWidth = 425;
constexpr int kDefaultHeight = 290;
constexpr DWORD kTextStyle = ES_MULTILINE | ES_AUTOVSCROLL;
constexpr int kTextLimit = 100;
constexpr int kDragBand = 70;
constexpr POINT kTitleAt{42, 35};
constexpr POINT kFrameAt{120, 155};
constexpr POINT kCaptionAt{120, 255};
constexpr POINT kFirstSiteAt{320, 250};
constexpr POINT kSecondSiteAt{375, 250};
constexpr int kCopyRight = 650;
constexpr int kCopyTop = 305;

constexpr wchar_t kInvitation[] = L"我在Vorlane发布了高清大图，快过来看看我怎么臭屁吧！\r\nPS:要下载才能看喔！";

int Width(const std::unique_ptr<Gdiplus::Bitmap>& picture, int fallback)
{
    return picture ? int(picture->GetWidth()) : fallback;
}

int Height(const std::unique_ptr<Gdiplus::Bitmap>& picture, int fallback)
{
    return picture ? int(picture->GetHeight()) : fallback;
}

void Draw(Gdiplus::Graphics& g, const std::unique_ptr<Gdiplus::Bitmap>& picture, POINT at, int dpi)
{
    if (picture)
        g.DrawImage(picture.get(), skinkit::ScaleToDpi(int(at.x), dpi), skinkit::ScaleToDpi(int(at.y), dpi),
            int(picture->GetWidth()), int(picture->GetHeight()));
}

// The clipboard takes UTF-16; the system makes the ANSI form for readers
// that ask for it.
bool PutOnClipboard(HWND owner, const std::wstring& text)
{
    if (!OpenClipboard(owner))
        return false;
    EmptyClipboard();
    const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    bool placed = false;
    if (memory) {
        if (void* target = GlobalLock(memory)) {
            memcpy(target, text.c_str(), bytes);
            GlobalUnlock(memory);
            placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        }
        if (!placed)
            GlobalFree(memory);
    }
    CloseClipboard();
    return placed;
}

}  // namespace

CQNShareDlg::CQNShareDlg()
    : CLayeredWindow(Surface::kOpaque)
{
    HostNamedControl(m_text, L"分享给好友");
    HostNamedControl(m_close, L"关闭");
    HostControl(m_copy);
    HostControl(m_firstSite);
    HostControl(m_secondSite);
    ListFocusable(m_text);
    ListFocusable(m_firstSite);
    ListFocusable(m_secondSite);
    ListFocusable(m_copy);
    ListFocusable(m_close);
    FocusCycle().OnEscape([this] { OnCommand(kClose, 0); });
}

CQNShareDlg::~CQNShareDlg()
{
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
}

bool CQNShareDlg::Create(HWND owner, const std::wstring& resourceFolder)
{
    m_resourceFolder = resourceFolder;
    // A pop-up opens at its owner's DPI.
    m_dpi = skinkit::WindowDpi(owner);
    const auto load = [&](const wchar_t* name) {
        return m_dpi == skinkit::kBaseDpi ? LoadPictureFile(resourceFolder + name)
                                          : skinkit::LoadSkinPicture(resourceFolder + name, m_dpi);
    };
    m_background = load(L"web_bk.png");
    m_title = load(L"share_title.png");
    m_frame = load(L"share_edit.png");
    m_caption = load(L"share_text.png");
    m_closeImage = load(L"close_btn.png");
    m_copyImage = load(L"common_btn.png");
    m_firstLogo = load(L"share_site_one.png");
    m_secondLogo = load(L"share_site_two.png");
    const int width = Width(m_background, Px(kDefaultWidth));
    const int height = Height(m_background, Px(kDefaultHeight));
    if (!CWindowBase::Create(owner, L"分享", kStyle, kExStyle, 0, 0, width, height, nullptr))
        return false;
    HRGN region = CreateRoundRectRgn(Px(5), Px(5), width - Px(4), height - Px(6), 1, 1);
    if (region && !SetWindowRgn(m_hWnd, region, FALSE))
        DeleteObject(region);
    return true;
}

void CQNShareDlg::Show(bool visible)
{
    if (!visible) {
        ::ShowWindow(m_hWnd, SW_HIDE);
        return;
    }
    SetText(kInvitation);
    CenterWindow();
    ::ShowWindow(m_hWnd, SW_SHOW);
    SetForegroundWindow(m_hWnd);
    // Each show starts at the first control, as a dialog does.
    FocusCycle().Focus(m_hWnd, &m_text);
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

std::wstring CQNShareDlg::ShareAddress(WORD site) const
{
    // Straight to UTF-8: a detour through the ANSI code page would turn what
    // it cannot hold into question marks.
    const std::string text = Narrow(Text());
    return Widen(site == kFirstSite ? endpoints::FirstSiteShare(text) : endpoints::SecondSiteShare(text));
}

void CQNShareDlg::OnCreate()
{
    CenterWindow();
    RECT client{};
    GetClientRect(m_hWnd, &client);
    const int w = client.right;
    const int closeWidth = Width(m_closeImage, Px(72)) / 3;
    const int closeTop = Px(15);
    m_close.Create(m_hWnd, kClose);
    m_close.SetAttribute(m_closeImage.get());
    m_close.SetWindowRect(w - closeWidth - Px(20), closeTop, w - Px(20), closeTop + Height(m_closeImage, Px(24)));

    m_firstSite.Create(m_hWnd, kFirstSite);
    m_firstSite.SetAttribute(m_firstLogo.get());
    m_firstSite.SetWindowRect_New(
        Px(kFirstSiteAt.x), Px(kFirstSiteAt.y), Width(m_firstLogo, Px(144)) / 3, Height(m_firstLogo, Px(48)));
    m_secondSite.Create(m_hWnd, kSecondSite);
    m_secondSite.SetAttribute(m_secondLogo.get());
    m_secondSite.SetWindowRect_New(
        Px(kSecondSiteAt.x), Px(kSecondSiteAt.y), Width(m_secondLogo, Px(144)) / 3, Height(m_secondLogo, Px(48)));

    const int copyWidth = Width(m_copyImage, Px(270)) / 3;
    const int copyRight = Px(kCopyRight);
    const int copyTop = Px(kCopyTop);
    m_copy.Create(m_hWnd, kCopy);
    m_copy.SetAttribute(m_copyImage.get());
    m_copy.SetWindowRect(copyRight - copyWidth, copyTop, copyRight, copyTop + Height(m_copyImage, Px(32)));
    m_copy.SetWindowTextW(L"复制");
    m_copy.SetTextColor(RGB(255, 255, 255));

    const int frameWidth = Width(m_frame, Px(530));
    const int frameHeight = Height(m_frame, Px(90));
    const POINT frame{Px(kFrameAt.x), Px(kFrameAt.y)};
    m_text.Create(m_hWnd, kTextField, kTextStyle);
    m_text.SetBkRect(frame.x, frame.y, frame.x + frameWidth, frame.y + frameHeight);
    m_text.SetEidtRect(frame.x + Px(5), frame.y + Px(5), frame.x + frameWidth, frame.y + frameHeight - Px(5));
    m_text.SetLimitText(kTextLimit);
    m_text.SetTextColor(RGB(0, 0, 0));
}

BOOL CQNShareDlg::HandleMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (HandlePaintMessage(msg, result))
        return TRUE;
    switch (msg) {
    case WM_CREATE:
        OnCreate();
        return TRUE;
    case WM_SETCURSOR:
        if (m_text.OnSetCursor()) {
            result = TRUE;
            return TRUE;
        }
        return FALSE;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_LBUTTONDOWN:
        OnLButtonDown(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return TRUE;
    case WM_DESTROY:
        m_background.reset();
        m_title.reset();
        m_frame.reset();
        m_caption.reset();
        return TRUE;
    default:
        return FALSE;
    }
}

void CQNShareDlg::OnCommand(WORD id, WORD code)
{
    if (code != 0)
        return;
    switch (id) {
    case kClose:
        Show(false);
        return;
    case kCopy:
        Copy();
        return;
    case kFirstSite:
    case kSecondSite:
        // What the browser does with it is its own affair.
        OpenInDefaultBrowser(ShareAddress(id));
        return;
    default:
        return;
    }
}

void CQNShareDlg::OnLButtonDown(POINT point)
{
    const RECT close = m_close.GetWindowRect();
    if (point.y >= Px(kDragBand) || PtInRect(&close, point))
        return;
    ReleaseCapture();
    PostMessageW(m_hWnd, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
}

void CQNShareDlg::Copy()
{
    if (!PutOnClipboard(m_hWnd, Text() + Widen(endpoints::HomePage())))
        return;
    CMessageBox box(m_hWnd, L"复制成功", m_resourceFolder);
    box.DoModal(GetActiveWindow());
    Show(false);
}

SIZE CQNShareDlg::PictureSize() const
{
    RECT client{};
    GetClientRect(m_hWnd, &client);
    return SIZE{client.right, client.bottom};
}

void CQNShareDlg::Compose(HDC dc)
{
    {
        Gdiplus::Graphics g(dc);
        g.Clear(Gdiplus::Color(255, 255, 255, 255));
        Draw(g, m_background, POINT{0, 0}, m_dpi);
        Draw(g, m_title, kTitleAt, m_dpi);
        Draw(g, m_frame, kFrameAt, m_dpi);
        Draw(g, m_caption, kCaptionAt, m_dpi);
    }
    m_close.OnPaint(dc);
    m_copy.OnPaint(dc);
    m_firstSite.OnPaint(dc);
    m_secondSite.OnPaint(dc);
    m_text.OnPaint(dc);
    FocusCycle().Paint(dc, m_hWnd);
}
