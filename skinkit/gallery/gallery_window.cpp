#include "gallery_window.h"

namespace {

constexpr const wchar_t* kPictureSections[]
    = {L"picture_natural", L"picture_stretch", L"picture_tile", L"picture_centre", L"picture_three_part"};
constexpr UINT_PTR kFadeTimer = 1;
constexpr DWORD kEditStyle = ES_AUTOHSCROLL;

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

}  // namespace

CGalleryWindow::~CGalleryWindow()
{
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
}

bool CGalleryWindow::Create(const std::wstring& folder, bool quitOnDestroy)
{
    m_folder = folder.empty() ? ProgramFolder() + L"Qnv_resource\\gallery\\" : folder;
    m_ini = m_folder + L"gallery.ini";
    m_quitOnDestroy = quitOnDestroy;
    m_images.Load(m_folder);
    // The background picture sets the window's size.
    const int number = static_cast<int>(GetPrivateProfileIntW(L"window_background", L"Image", 0, m_ini.c_str()));
    if (Gdiplus::Bitmap* background = ImageByNumber(m_images.Images(), number)) {
        m_size = SIZE{static_cast<LONG>(background->GetWidth()), static_cast<LONG>(background->GetHeight())};
    }
    return CreateLayered(L"skinkit 控件一览", 40, 40);
}

void CGalleryWindow::CreateControls()
{
    m_background.Create(m_hWnd, true);
    m_close.Create(m_hWnd, kGalleryClose);
    m_primary.Create(m_hWnd, kGalleryPrimary);
    m_secondary.Create(m_hWnd, kGallerySecondary);
    m_like.Create(m_hWnd, kGalleryLike);
    m_help.Create(m_hWnd, kGalleryHelp);
    m_remember.Create(m_hWnd, kGalleryRemember);
    m_autoLogin.Create(m_hWnd, kGalleryAutoLogin);
    m_disabledCheck.Create(m_hWnd, kGalleryDisabledCheck);
    m_static.Create(m_hWnd, kGalleryStatic, true);
    m_tipText.Create(m_hWnd, kGalleryStatic, true);
    m_status.Create(m_hWnd, kGalleryStatus, true);
    m_link.Create(m_hWnd, kGalleryLink);
    m_tab.Create(m_hWnd, kGalleryTab);
    for (CPictureUI& picture : m_pictures)
        picture.Create(m_hWnd, true);
    m_name.Create(m_hWnd, kGalleryName, kEditStyle);
    m_password.Create(m_hWnd, kGalleryPassword, kEditStyle);
}

void CGalleryWindow::ApplyAttributes()
{
    const auto& images = m_images.Images();
    m_background.SetAttribute(L"window_background", m_ini, images);
    m_close.SetAttribute(L"close_button", m_ini, images);
    m_primary.SetAttribute(L"primary_button", m_ini, images);
    m_secondary.SetAttribute(L"secondary_button", m_ini, images);
    m_like.SetAttribute(L"like_button", m_ini, images);
    m_help.SetAttribute(L"help_button", m_ini, images);
    m_remember.SetAttribute(L"check_remember", m_ini, images);
    m_autoLogin.SetAttribute(L"check_auto", m_ini, images);
    m_disabledCheck.SetAttribute(L"check_disabled", m_ini, images);
    m_static.SetAttribute(L"static_text", m_ini);
    m_tipText.SetAttribute(L"tip_text", m_ini);
    m_status.SetAttribute(L"status_text", m_ini);
    m_link.SetAttribute(L"home_link", m_ini);
    m_tab.SetAttribute(L"feed_tab", m_ini, images);
    for (size_t i = 0; i < m_pictures.size(); ++i)
        m_pictures[i].SetAttribute(kPictureSections[i], m_ini, images);
    m_name.SetAttribute(L"name_edit", m_ini, images);
    m_password.SetAttribute(L"password_edit", m_ini, images);

    m_remember.SetCheck(true);
    m_disabledCheck.EnableWindow(false);
    m_tab.SetCurSel(0);
    m_name.SetLimitText(30);
    m_password.SetLimitText(20);
    m_password.SetPasswordChar(L'*');
    m_name.SetWindowTextW(L"quarn@example.com");
    m_password.SetWindowTextW(L"secret");
}

int CGalleryWindow::ControlCount() const
{
    // Background, five buttons, three boxes, three texts, link, tab, five
    // pictures, two fields.
    return 22 + static_cast<int>(m_fillers.size());
}

void CGalleryWindow::AddFillerControls(int count)
{
    const auto& images = m_images.Images();
    int column = 0;
    int row = 0;
    while (ControlCount() < count) {
        auto button = std::make_unique<CButtonUI>();
        button->Create(m_hWnd, static_cast<WORD>(kGalleryFiller + m_fillers.size()));
        button->SetAttribute(L"secondary_button", m_ini, images);
        const RECT r = button->GetWindowRect();
        const int w = r.right - r.left;
        const int h = r.bottom - r.top;
        button->SetWindowRect_New(24 + column * (w + 6), 60 + row * (h + 6), w, h);
        button->SetWindowTextW(L"按钮");
        if (++column == 5) {
            column = 0;
            ++row;
        }
        m_fillers.push_back(std::move(button));
    }
}

void CGalleryWindow::Render(HDC hdc)
{
    m_background.OnPaint(hdc);
    m_close.OnPaint(hdc);
    m_primary.OnPaint(hdc);
    m_secondary.OnPaint(hdc);
    m_like.OnPaint(hdc);
    m_help.OnPaint(hdc);
    m_remember.OnPaint(hdc);
    m_autoLogin.OnPaint(hdc);
    m_disabledCheck.OnPaint(hdc);
    m_static.OnPaint(hdc);
    m_tipText.OnPaint(hdc);
    m_status.OnPaint(hdc);
    m_link.OnPaint(hdc);
    m_tab.OnPaint(hdc);
    for (CPictureUI& picture : m_pictures)
        picture.OnPaint(hdc);
    m_name.OnPaint2(hdc, nullptr);
    m_password.OnPaint2(hdc, nullptr);
    for (auto& filler : m_fillers)
        filler->OnPaint(hdc);
}

void CGalleryWindow::Route(UINT msg, WPARAM wParam, LPARAM lParam)
{
    m_background.WindowProc(m_hWnd, msg, wParam, lParam);
    m_close.WindowProc(m_hWnd, msg, wParam, lParam);
    m_primary.WindowProc(m_hWnd, msg, wParam, lParam);
    m_secondary.WindowProc(m_hWnd, msg, wParam, lParam);
    m_like.WindowProc(m_hWnd, msg, wParam, lParam);
    m_help.WindowProc(m_hWnd, msg, wParam, lParam);
    m_remember.WindowProc(m_hWnd, msg, wParam, lParam);
    m_autoLogin.WindowProc(m_hWnd, msg, wParam, lParam);
    m_disabledCheck.WindowProc(m_hWnd, msg, wParam, lParam);
    m_static.WindowProc(m_hWnd, msg, wParam, lParam);
    m_tipText.WindowProc(m_hWnd, msg, wParam, lParam);
    m_status.WindowProc(m_hWnd, msg, wParam, lParam);
    m_link.WindowProc(m_hWnd, msg, wParam, lParam);
    m_tab.WindowProc(m_hWnd, msg, wParam, lParam);
    for (CPictureUI& picture : m_pictures)
        picture.WindowProc(m_hWnd, msg, wParam, lParam);
    m_name.WindowProc(m_hWnd, msg, wParam, lParam);
    m_password.WindowProc(m_hWnd, msg, wParam, lParam);
    for (auto& filler : m_fillers)
        filler->WindowProc(m_hWnd, msg, wParam, lParam);
}

void CGalleryWindow::SetStatus(const std::wstring& text)
{
    m_statusText = text;
    m_status.SetWindowTextW(text);
}

void CGalleryWindow::OnCommand(WORD id, WORD code)
{
    if (code != 0)
        return;
    switch (id) {
    case kGalleryClose:
        DestroyWindow(m_hWnd);
        break;
    case kGalleryPrimary:
        SetStatus(L"点击了：确定");
        break;
    case kGallerySecondary:
        SetStatus(L"点击了：取消");
        break;
    case kGalleryLike:
        SetStatus(L"点击了：喜欢");
        break;
    case kGalleryRemember:
    case kGalleryAutoLogin:
        SetStatus(m_remember.GetCheck() ? L"记住密码：是" : L"记住密码：否");
        break;
    case kGalleryLink:
        SetStatus(L"点击了链接：" + m_link.GetURL());
        break;
    default:
        break;
    }
}

bool CGalleryWindow::CursorOver(const RECT& rect) const
{
    POINT p{};
    GetCursorPos(&p);
    ScreenToClient(m_hWnd, &p);
    return PtInRect(&rect, p) != FALSE;
}

bool CGalleryWindow::OverControl(POINT p) const
{
    for (const RECT& r : {m_close.GetWindowRect(), m_primary.GetWindowRect(), m_secondary.GetWindowRect(),
             m_like.GetWindowRect(), m_help.GetWindowRect(), m_remember.GetWindowRect(), m_autoLogin.GetWindowRect(),
             m_disabledCheck.GetWindowRect(), m_link.GetWindowRect(), m_tab.GetWindowRect(), m_name.GetEditBkRect(),
             m_password.GetEditBkRect()}) {
        if (PtInRect(&r, p))
            return true;
    }
    return false;
}

BOOL CGalleryWindow::HandleMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case WM_CREATE:
        CreateControls();
        ApplyAttributes();
        m_like.InCreaseAlpha();
        m_ready = true;
        return TRUE;
    case WM_PAINT:
        Paint();
        result = 1;
        return TRUE;
    case WM_ERASEBKGND:
        result = 1;
        return TRUE;
    case WM_DESTROY:
        if (m_quitOnDestroy)
            PostQuitMessage(0);
        return TRUE;
    case WM_SETCURSOR:
        if (m_name.OnSetCursor() || m_password.OnSetCursor()) {
            result = 1;
            return TRUE;
        }
        if (CursorOver(m_link.GetWindowRect())) {
            m_link.OnSetCursor();
            result = 1;
            return TRUE;
        }
        return FALSE;
    case WM_COMMAND:
        Route(msg, wParam, lParam);
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_KEYDOWN:
        if (wParam == VK_TAB) {
            if (m_name.IsFocus()) {
                m_name.KillFocus();
                m_password.SetFocus();
                m_password.SetSelAll();
            } else {
                m_password.KillFocus();
                m_name.SetFocus();
            }
            InvalidateRect(m_hWnd, nullptr, FALSE);
        }
        Route(msg, wParam, lParam);
        return TRUE;
    case WM_MOUSEMOVE:
        if (!m_tracking) {
            TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, m_hWnd, 0};
            m_tracking = TrackMouseEvent(&track) != FALSE;
        }
        Route(msg, wParam, lParam);
        return TRUE;
    case WM_MOUSELEAVE:
        m_tracking = false;
        Route(msg, wParam, lParam);
        return TRUE;
    case WM_LBUTTONDOWN: {
        Route(msg, wParam, lParam);
        const POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        // A press on the bare background drags the window.
        if (!OverControl(p) && (GetAsyncKeyState(VK_LBUTTON) & 0x8000)) {
            ReleaseCapture();
            SendMessageW(m_hWnd, WM_NCLBUTTONDOWN, HTCAPTION, 0);
        }
        return TRUE;
    }
    case kTabNotifyMessage:
        if (wParam == kTabSelectionChanged && m_ready) {
            const auto* record = reinterpret_cast<const CTabNotify*>(lParam);
            SetStatus(L"标签页：" + std::to_wstring(record->item + 1));
        }
        return TRUE;
    default:
        Route(msg, wParam, lParam);
        return FALSE;
    }
}
