#include "wizard_dlg.h"

#include "platform.h"
#include "skinkit/dpi.h"
#include "skinkit/picture.h"
#include "win32kit/scoped_win.h"

#include <algorithm>

namespace {

constexpr DWORD kStyle = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_NOACTIVATE | WS_EX_LAYERED | WS_EX_TOOLWINDOW;
constexpr POINT kNextPlace{1000, 560};
constexpr int kCloseRight = 980;
constexpr POINT kLogoLeft{280, 0};
constexpr int kLogoRest = 300;
constexpr POINT kTextPlace{500, 80};
constexpr int kFirstPageShiftX = -20;
constexpr int kFirstPageShiftY = -150;

int Scaled(HWND window, int value) { return skinkit::ScaleToDpi(value, skinkit::WindowDpi(window)); }

int ImageWidth(const std::unique_ptr<Gdiplus::Bitmap>& image) { return image ? int(image->GetWidth()) : 0; }
int ImageHeight(const std::unique_ptr<Gdiplus::Bitmap>& image) { return image ? int(image->GetHeight()) : 0; }

// Sleeps after a repaint request; false once the window is gone.
bool Step(const WizardMotion& motion, HWND hwnd, DWORD ms)
{
    if (motion.windowGone)
        return false;
    InvalidateRect(hwnd, nullptr, FALSE);
    Sleep(ms);
    return !motion.windowGone;
}

void RunIntro(const std::shared_ptr<WizardMotion>& motion, HWND hwnd, int height, int logoHeight, int logoRest)
{
    WizardMotion& m = *motion;
    while (m.progress < 100) {
        m.progress = std::min(100, m.progress + 4);
        if (!Step(m, hwnd, 10))
            return;
    }
    const int bottom = height - logoHeight;
    while (m.logoTop < bottom) {
        m.logoTop = std::min(bottom, m.logoTop + 10);
        if (!Step(m, hwnd, 5))
            return;
    }
    while (m.logoTop > logoRest) {
        m.logoTop = std::max(logoRest, m.logoTop - 10);
        if (!Step(m, hwnd, 5))
            return;
    }
    while (m.textAlpha < 255) {
        m.textAlpha = std::min(255, m.textAlpha + 5);
        if (!Step(m, hwnd, 5))
            return;
    }
    PostMessageW(hwnd, CQNWizardDlg::kIntroDone, 0, 0);
}

void RunClosing(const std::shared_ptr<WizardMotion>& motion, HWND hwnd)
{
    WizardMotion& m = *motion;
    PostMessageW(hwnd, CQNWizardDlg::kShowOwner, 0, 0);
    m.progress = 100;
    for (int alpha = 255; alpha >= 5; alpha -= 5) {
        m.progress -= 2;
        m.alpha = alpha;
        if (!Step(m, hwnd, 10))
            return;
    }
    PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
}

// AlphaBlend of a source part, clipped to the target: parts fly partly
// outside the window, and the system rejects rectangles beyond a surface.
void BlendPart(HDC target, SIZE targetSize, int x, int y, HDC source, RECT part, int alpha)
{
    if (x < 0) {
        part.left -= x;
        x = 0;
    }
    if (y < 0) {
        part.top -= y;
        y = 0;
    }
    part.right = std::min<LONG>(part.right, part.left + targetSize.cx - x);
    part.bottom = std::min<LONG>(part.bottom, part.top + targetSize.cy - y);
    const int w = part.right - part.left;
    const int h = part.bottom - part.top;
    if (w <= 0 || h <= 0 || alpha <= 0)
        return;
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, BYTE(std::min(alpha, 255)), AC_SRC_ALPHA};
    AlphaBlend(target, x, y, w, h, source, part.left, part.top, w, h, blend);
}

// Where the four quarters of a w x h picture go at progress p (0..100) in a
// client of `client` size: at 100 they make the whole picture, below it they
// lie apart towards the corners.
struct Quarter {
    RECT source;
    POINT at;
};
void Quarters(int w, int h, SIZE client, int p, Quarter out[4])
{
    const int b = p * w / 200;
    const int a = p * h / 200;
    out[0] = {RECT{0, 0, w / 2, h / 2}, POINT{b - w / 2, a - h / 2}};
    out[1] = {RECT{w / 2, 0, w, h / 2}, POINT{client.cx - b, a - h / 2}};
    out[2] = {RECT{0, h / 2, w / 2, h}, POINT{b - w / 2, client.cy - a}};
    out[3] = {RECT{w / 2, h / 2, w, h}, POINT{client.cx - b, client.cy - a}};
}

}  // namespace

CQNWizardDlg::CQNWizardDlg(HWND owner, std::wstring pictureFolder)
    : m_owner(owner)
    , m_folder(std::move(pictureFolder))
{
    HostNamedControl(m_next, L"下一步");
    HostNamedControl(m_close, L"跳过");
}

bool CQNWizardDlg::Create(const RECT* rect)
{
    const RECT place
        = rect ? *rect : skinkit::ScaleRectToDpi(RECT{0, 0, m_size.cx, m_size.cy}, skinkit::WindowDpi(m_owner));
    m_size = SIZE{place.right - place.left, place.bottom - place.top};
    return CWindowBase::Create(m_owner, L"Vorlane向导", kStyle, kExStyle, place, nullptr) != nullptr;
}

void CQNWizardDlg::Show(bool show)
{
    if (!show) {
        ShowWindow(SW_HIDE);
        return;
    }
    ShowWindow(SW_SHOW);
    // Keys and the wheel turn the pages: it takes the keyboard from the start.
    SetForegroundWindow(m_hWnd);
    SetFocus(m_hWnd);
    Present();
}

BOOL CQNWizardDlg::HandleMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (HandlePaintMessage(msg, result)) {
        // The animations keep a repaint pending, so the message loop never
        // waits; Wine reads the display's input only in a wait, and keys
        // pressed during the intro would otherwise arrive after it.
        if (msg == WM_PAINT)
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT);
        return TRUE;
    }
    switch (msg) {
    case WM_CREATE:
        OnCreate();
        return TRUE;
    case WM_DESTROY:
        OnDestroy();
        return TRUE;
    case WM_DPICHANGED:
        OnDpiChanged(wParam, lParam);
        return TRUE;
    case WM_KEYDOWN:
        OnKeyDown(wParam);
        return TRUE;
    case WM_MOUSEWHEEL:
        if (GET_WHEEL_DELTA_WPARAM(wParam) < 0 && m_next.IsWindowVisible())
            NextPage();
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) != 0)
            return TRUE;
        if (LOWORD(wParam) == kNextButton)
            NextPage();
        else if (LOWORD(wParam) == kCloseButton)
            Close();
        return TRUE;
    case kIntroDone:
        m_next.ShowWindow(true);
        m_close.ShowWindow(true);
        Present();
        return TRUE;
    case kShowOwner:
        ShowOwner();
        return TRUE;
    default:
        return FALSE;
    }
}

void CQNWizardDlg::OnCreate()
{
    CenterWindow();
    LoadPictures();
    m_motion->logoTop = -ImageHeight(m_logo);
    m_next.Create(m_hWnd, kNextButton);
    m_next.ShowWindow(false);
    m_close.Create(m_hWnd, kCloseButton);
    m_close.ShowWindow(false);
    PlaceButtons();
    platform::StartDetachedThread(
        [motion = m_motion, hwnd = m_hWnd, height = int(m_size.cy), logo = ImageHeight(m_logo),
            rest = Scaled(m_hWnd, kLogoRest)] { RunIntro(motion, hwnd, height, logo, rest); });
}

// The buttons for the page on show: below the text at first, moved up and
// left from the first page on, the last page's next button running the program.
void CQNWizardDlg::PlaceButtons()
{
    Gdiplus::Bitmap* next = m_page == kPageCount - 1 && m_runImage ? m_runImage.get() : m_nextImage.get();
    const int nextWidth = next ? int(next->GetWidth()) / 3 : 0;
    const int nextHeight = next ? int(next->GetHeight()) : 0;
    const int shiftX = m_page >= 0 ? Scaled(m_hWnd, kFirstPageShiftX) : 0;
    const int shiftY = m_page >= 0 ? Scaled(m_hWnd, kFirstPageShiftY) : 0;
    const int top = Scaled(m_hWnd, kNextPlace.y) + shiftY;
    m_next.SetAttribute(next);
    m_next.SetWindowRect_New(Scaled(m_hWnd, kNextPlace.x) + shiftX, top, nextWidth, nextHeight);
    const int closeWidth = ImageWidth(m_closeImage) / 3;
    m_close.SetAttribute(m_closeImage.get());
    m_close.SetWindowRect_New(
        Scaled(m_hWnd, kCloseRight) + shiftX - closeWidth, top, closeWidth, ImageHeight(m_nextImage));
}

// Moved to a screen of another DPI: the suggested rectangle, the pictures
// for the new DPI and the buttons placed for them.
void CQNWizardDlg::OnDpiChanged(WPARAM wParam, LPARAM lParam)
{
    const int old = skinkit::WindowDpi(m_hWnd);
    skinkit::TakeDpiChange(m_hWnd, wParam, lParam);
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    m_size = SIZE{window.right - window.left, window.bottom - window.top};
    // The buttons draw the old pictures until they are placed again.
    const auto next = std::move(m_nextImage);
    const auto run = std::move(m_runImage);
    const auto close = std::move(m_closeImage);
    LoadPictures();
    PlaceButtons();
    m_motion->logoTop = MulDiv(m_motion->logoTop.load(), skinkit::WindowDpi(m_hWnd), old);
    Present();
}

void CQNWizardDlg::LoadPictures()
{
    const int dpi = skinkit::WindowDpi(m_hWnd);
    const auto load = [&](const std::wstring& name) { return skinkit::LoadSkinPicture(m_folder + name, dpi); };
    m_background = load(L"wizard_bg.jpg");
    m_logo = load(L"vl.png");
    m_nextImage = load(L"next.png");
    m_runImage = load(L"runapp.png");
    m_closeImage = load(L"close.png");
    m_pages.clear();
    for (int i = 1; i <= kPageCount; ++i)
        m_pages.push_back(load(L"page" + std::to_wstring(i) + L".jpg"));
    // The text fades on every frame of the intro: one decoded layer, blended.
    m_text.DeleteDC();
    if (auto text = load(L"vl_text.png")) {
        win32kit::ScopedGetDC screen(nullptr);
        if (m_text.Create_compatible_dc(screen, int(text->GetWidth()), int(text->GetHeight()), 1)) {
            Gdiplus::Graphics g(m_text.get_ghost());
            g.DrawImage(text.get(), 0, 0, text->GetWidth(), text->GetHeight());
        }
    }
}

void CQNWizardDlg::OnDestroy()
{
    m_motion->windowGone = true;
    ShowOwner();
    m_next.SetAttribute(nullptr);
    m_close.SetAttribute(nullptr);
    m_background.reset();
    m_logo.reset();
    m_nextImage.reset();
    m_runImage.reset();
    m_closeImage.reset();
    m_pages.clear();
}

void CQNWizardDlg::ShowOwner()
{
    if (!m_owner || !IsWindow(m_owner))
        return;
    ::ShowWindow(m_owner, SW_SHOW);
    SetForegroundWindow(m_owner);
}

void CQNWizardDlg::OnKeyDown(WPARAM key)
{
    if ((key == VK_RETURN || key == VK_RIGHT || key == VK_DOWN) && m_next.IsWindowVisible())
        NextPage();
    else if (key == VK_ESCAPE && m_close.IsWindowVisible())
        Close();
}

void CQNWizardDlg::NextPage()
{
    if (m_closing)
        return;
    ++m_page;
    if (m_page >= kPageCount) {
        Close();
        return;
    }
    if (m_page == 0) {
        for (CButtonUI* button : {&m_next, &m_close}) {
            const RECT r = button->GetWindowRect();
            button->MoveWindow(
                r.left + Scaled(m_hWnd, kFirstPageShiftX), r.top + Scaled(m_hWnd, kFirstPageShiftY), false);
        }
    }
    if (m_page == kPageCount - 1 && m_runImage) {
        const RECT r = m_next.GetWindowRect();
        m_next.SetAttribute(m_runImage.get());
        m_next.SetWindowRect_New(r.left, r.top, ImageWidth(m_runImage) / 3, ImageHeight(m_runImage));
    }
    Present();
}

void CQNWizardDlg::Close()
{
    if (m_closing)
        return;
    win32kit::ScopedGetDC screen(nullptr);
    if (m_snapshot.Create_compatible_dc(screen, m_size.cx, m_size.cy, 1))
        Render(m_snapshot.get_ghost());
    m_closing = true;
    m_motion->textAlpha = 255;
    platform::StartDetachedThread([motion = m_motion, hwnd = m_hWnd] { RunClosing(motion, hwnd); });
}

void CQNWizardDlg::Compose(HDC hdc)
{
    if (!m_closing) {
        Render(hdc);
    } else if (m_snapshot.get_ghost()) {
        const int p = m_motion->progress;
        const int alpha = m_motion->alpha;
        if (p >= 100) {
            BlendPart(hdc, m_size, 0, 0, m_snapshot.get_ghost(), RECT{0, 0, m_size.cx, m_size.cy}, alpha);
        } else {
            Quarter quarters[4];
            Quarters(m_size.cx, m_size.cy, m_size, p, quarters);
            for (const Quarter& q : quarters)
                BlendPart(hdc, m_size, q.at.x, q.at.y, m_snapshot.get_ghost(), q.source, alpha);
        }
    }
}

void CQNWizardDlg::Render(HDC hdc)
{
    if (m_page >= 0) {
        RenderPage(hdc);
        return;
    }
    {
        Gdiplus::Graphics g(hdc);
        RenderIntro(g);
    }
    if (m_text.get_ghost()) {
        BlendPart(hdc, m_size, Scaled(m_hWnd, kTextPlace.x), Scaled(m_hWnd, kTextPlace.y), m_text.get_ghost(),
            RECT{0, 0, m_text.Width(), m_text.Height()}, m_motion->textAlpha);
    }
    m_close.OnPaint(hdc);
    m_next.OnPaint(hdc);
}

void CQNWizardDlg::RenderIntro(Gdiplus::Graphics& g)
{
    if (m_background) {
        const int w = ImageWidth(m_background);
        const int h = ImageHeight(m_background);
        const int p = m_motion->progress;
        if (p >= 100) {
            g.DrawImage(m_background.get(), 0, 0, w, h);
        } else {
            Quarter quarters[4];
            Quarters(w, h, m_size, p, quarters);
            for (const Quarter& q : quarters) {
                const RECT& s = q.source;
                g.DrawImage(m_background.get(), Gdiplus::Rect(q.at.x, q.at.y, s.right - s.left, s.bottom - s.top),
                    s.left, s.top, s.right - s.left, s.bottom - s.top, Gdiplus::UnitPixel);
            }
        }
    }
    if (m_logo)
        g.DrawImage(
            m_logo.get(), Scaled(m_hWnd, kLogoLeft.x), int(m_motion->logoTop), ImageWidth(m_logo), ImageHeight(m_logo));
}

void CQNWizardDlg::RenderPage(HDC hdc)
{
    const std::size_t index = std::min<std::size_t>(std::size_t(m_page), m_pages.size() - 1);
    if (index < m_pages.size() && m_pages[index]) {
        Gdiplus::Graphics g(hdc);
        const auto& page = m_pages[index];
        g.DrawImage(page.get(), 0, 0, ImageWidth(page), ImageHeight(page));
    }
    m_close.OnPaint(hdc);
    m_next.OnPaint(hdc);
}
