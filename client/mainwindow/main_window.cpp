#include "main_window.h"

#include "first_run.h"
#include "http_transport.h"
#include "program_folder.h"
#include "resource_ids.h"
#include "signed_in_user.h"
#include "skinkit/dpi.h"
#include "skinkit/memory_dc.h"
#include "web_address.h"
#include "win32/wide_text.h"
#include "win32kit/scoped_win.h"

#include <windowsx.h>

#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

// A changed area of more pieces than this is drawn as its bounding box.
constexpr DWORD kMostChangedParts = 8;

// The changed area as rectangles, each drawn under a clip of one rectangle:
// a clip of many would send the direct pixel blends back to GDI.
std::vector<RECT> ChangedParts(HRGN region, const RECT& bounds)
{
    const DWORD size = GetRegionData(region, 0, nullptr);
    if (size < sizeof(RGNDATAHEADER))
        return {bounds};
    std::vector<char> bytes(size);
    auto* data = reinterpret_cast<RGNDATA*>(bytes.data());
    if (!GetRegionData(region, size, data) || data->rdh.nCount == 0 || data->rdh.nCount > kMostChangedParts)
        return {bounds};
    const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
    return std::vector<RECT>(rects, rects + data->rdh.nCount);
}

constexpr DWORD kStyle = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr COLORREF kBackground = RGB(34, 38, 46);
constexpr COLORREF kUserNameColor = 0xA4AC6F;
constexpr WORD kAvatarPictureId = 1;
constexpr DWORD kSearchFieldStyle = 128;

// The service's address: the built-in one, or QUARN_SERVICE_BASE_URL when
// set to a web address ending in a slash (a test service, the TLS front).
std::string ServiceBaseUrl()
{
    wchar_t value[512];
    const DWORD length = GetEnvironmentVariableW(L"QUARN_SERVICE_BASE_URL", value, DWORD(std::size(value)));
    if (length == 0 || length >= std::size(value))
        return QUARN_SERVICE_BASE_URL;
    const std::string url = Narrow(std::wstring(value, length));
    if (!IsWebAddress(url) || url.back() != '/')
        return QUARN_SERVICE_BASE_URL;
    return url;
}

HICON ProgramIcon(int size)
{
    // Shared icons of the program's module: the system keeps them.
    return HICON(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(QUARN_ICON), IMAGE_ICON, size, size, LR_SHARED));
}

// What this window's handlers answer with the panels: input, timers,
// commands, display changes and the program's own messages. The rest, all
// the system sends while a start shows the window and paints it, does not
// need them.
bool NeedsPanels(UINT msg)
{
    if (msg >= WM_USER)
        return true;
    if ((msg >= WM_KEYFIRST && msg <= WM_KEYLAST) || (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST))
        return true;
    switch (msg) {
    case WM_MOUSELEAVE:
    case WM_MOUSEHOVER:
    case WM_TIMER:
    case WM_COMMAND:
    case WM_DPICHANGED:
    case WM_DISPLAYCHANGE:
        return true;
    default:
        return false;
    }
}

}  // namespace

Qaurn_Navigate_window::Qaurn_Navigate_window() { HostControls(); }

Qaurn_Navigate_window::~Qaurn_Navigate_window()
{
    m_tray.Remove();
    m_login.reset();
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
    m_viewer.set_messenger(nullptr);
}

void Qaurn_Navigate_window::PrepareServices() { PrepareTransportFor(ServiceBaseUrl()); }

bool Qaurn_Navigate_window::CreateFullScreen(Panels panels, StartUpFetches fetches)
{
    m_homeFeedAtCreation = fetches == StartUpFetches::homeFeedFirst;
    if (!Create(nullptr, L"Vorlane", kStyle, 0, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
            nullptr))
        return false;
    if (panels == Panels::now)
        CreatePanels();
    else
        m_panelsPending = true;
    return true;
}

void Qaurn_Navigate_window::QueueStartUpFetches()
{
    if (!m_services)
        return;
    if (!m_homeFeedAtCreation) {
        m_services->QueueStartUpFetches();
        return;
    }
    AfterStartPicture([this] { m_services->Fetcher().LoadCategoryList(); });
}

void Qaurn_Navigate_window::AfterStartPicture(std::function<void()> then)
{
    if (m_startPictureSettled) {
        then();
        return;
    }
    m_afterStartPicture.push_back(std::move(then));
    if (m_afterStartPicture.size() == 1)
        SetTimer(m_hWnd, kStartPictureTimer, kStartPictureWaitMs, nullptr);
}

void Qaurn_Navigate_window::SettleStartPicture()
{
    if (m_startPictureSettled)
        return;
    m_startPictureSettled = true;
    KillTimer(m_hWnd, kStartPictureTimer);
    std::vector<std::function<void()>> waiting;
    waiting.swap(m_afterStartPicture);
    for (const auto& then : waiting)
        then();
}

std::wstring Qaurn_Navigate_window::ProgressText() const
{
    return m_progress ? m_progress->get_download_percent() : std::wstring();
}

void Qaurn_Navigate_window::OnCreate()
{
    m_services = std::make_unique<ClientServices>(m_hWnd, ServiceBaseUrl(), Narrow(ProgramFolder()) + "vlconfig.xml");
    m_ahead = std::make_unique<PicturesAhead>(m_hWnd, UM_PICTURE_AHEAD);
    // Sent before the controls and the skin, which take longer than a round
    // trip; the answer waits in the queue for the loop. The category list,
    // whose feeds and thumbnails would share the processor with the first
    // paint, goes after it. The first picture is decoded as soon as its
    // file is there, beside the window's making.
    if (m_homeFeedAtCreation) {
        m_services->WhenFirstLargeThere(m_ahead->FirstPictureDecoder());
        m_services->Fetcher().LoadStartHomeFeed();
    }

    m_viewer.Create(m_hWnd, true);
    m_tab.Create(m_hWnd, 0);
    m_loginLink.Create(m_hWnd, CMD_LOGIN);
    m_registerLink.Create(m_hWnd, CMD_REGISTER);
    m_searchField.Create(m_hWnd, CMD_SEARCH_FIELD, kSearchFieldStyle);
    m_avatarButton.Create(m_hWnd, CMD_AVATAR);
    m_avatarPicture.Create(m_hWnd, false);
    m_uploadButton.Create(m_hWnd, CMD_UPLOAD);
    m_searchButton.Create(m_hWnd, CMD_SEARCH);
    m_userName.Create(m_hWnd, CMD_USER_NAME);
    m_userName.SetTextColor(kUserNameColor);
    m_inviteLink.Create(m_hWnd, CMD_INVITE);
    m_inviteLink.ShowWindow(false);
    m_noticeButton.Create(m_hWnd, CMD_NOTICE);
    m_noticeButton.ShowWindow(false);
    m_fullViewButton.Create(m_hWnd, CMD_FULL_VIEW);
    m_strip.Create(m_hWnd, false, m_services->Store(), m_services->Downloads());

    LoadSkin();
    // The viewer is laid out for the screen now.
    m_ahead->SetFirstFit(LargePictureFit());
    m_tab.SetCurSel(-1);

    // The system's icon sizes: 16 and 32 at 96 DPI, larger at a larger scale.
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, LPARAM(ProgramIcon(GetSystemMetrics(SM_CXSMICON))));
    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, LPARAM(ProgramIcon(GetSystemMetrics(SM_CXICON))));
    // The shell may keep the caller waiting: the window paints first.
    PostMessageW(m_hWnd, UM_ADD_TRAY_ICON, 0, 0);
    ShowSignedOut();
    m_controlsMade = true;
}

// A message that needs the panels before the start made them (a worker's
// answer sent while the window was being shown, say) makes them first.
LRESULT Qaurn_Navigate_window::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    // A worker's message sent while the window is still being made finds no
    // controls to tell; what it says is looked at again once they exist (a
    // picture shown checks whether its file is there).
    if (!m_controlsMade && msg >= WM_USER && InSendMessage())
        return 0;
    if (m_panelsPending && NeedsPanels(msg))
        CreatePanels();
    return CWindowBase::WindowProc(hwnd, msg, wParam, lParam);
}

void Qaurn_Navigate_window::CreatePanels()
{
    if (m_panelsMade)
        return;
    m_panelsPending = false;
    PrepareStoredHomePicture();
    CreateCommentView();
    // A home page stored meanwhile opens its picture now: before the content
    // panels, which take a few dozen milliseconds, and not behind the
    // messages the start's other answers queued before the page's own. One
    // decoded already goes on the screen at once.
    OpenHomePictureOnScreen();
    ContentHost host;
    host.slideViewerDown = [this] { SlideViewerDown(); };
    host.showPicture = [this](const PictureListId& list, std::size_t index) { return ShowListPicture(list, index); };
    // Only the column the strip leaves and the one it drops into are drawn again.
    host.dropStrip = [this](int w, int h, int top, int slots, int anchor, int mode, int feed, const std::string& key) {
        if (m_strip.IsVisible()) {
            const RECT left = m_strip.PaintArea();
            InvalidateRect(m_hWnd, &left, FALSE);
        }
        m_strip.SetGeometry(w, h, top, slots);
        m_strip.Anchor(anchor);
        m_strip.SetSource(mode, feed, key, 0);
        // Thumbnails the cache let go of come back, whether or not the list is asked for again.
        m_strip.Preload(0);
        m_strip.SetVisible(true);
    };
    host.hideStrip = [this] {
        if (m_strip.IsVisible())
            m_strip.SetVisible(false);
    };
    host.clearTab = [this] { m_tab.SetCurSel(-1); };
    host.foldComments = [this](bool fold) { m_comments.Fold(fold); };
    host.panelMade = [this] { OnPictureAhead(); };
    m_content.Create(m_hWnd, *m_services, ResourceFolder() + L"Qaurn_Navigate_window.ini", std::move(host));

    m_content.OnSignedOut();
    // A decode that came while the panels were made goes on the screen now,
    // not behind what the start does before its loop runs.
    OnPictureAhead();
    m_panelsMade = true;
    InvalidateRect(m_hWnd, nullptr, FALSE);

    // The first run belongs to the wizard; any other start signs in once the
    // message loop runs.
    if (IsFirstRun() == 1)
        OpenWizard();
    else
        PostMessageW(m_hWnd, UM_START_LOGIN, 0, 0);
}

void Qaurn_Navigate_window::AddTrayIcon()
{
    m_tray.Add(m_hWnd, UM_TRAY_NOTIFY, ProgramIcon(GetSystemMetrics(SM_CXSMICON)));
}

void Qaurn_Navigate_window::LoadSkin()
{
    m_images.Load(ResourceFolder(), skinkit::WindowDpi(m_hWnd));
    m_offlineMark.Load(ResourceFolder(), skinkit::WindowDpi(m_hWnd));
    const auto& images = m_images.Images();
    const std::wstring ini = ResourceFolder() + L"Qaurn_Navigate_window.ini";
    m_viewer.SetAttribute(L"window_background", ini, images);
    m_viewer.set_window_rect(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    m_tab.SetAttribute(L"Navigate_table", ini, images);
    m_loginLink.SetAttribute(L"link_login_qn", ini);
    m_registerLink.SetAttribute(L"link_register_qn", ini);
    m_inviteLink.SetAttribute(L"InvitefriendsLink", ini);
    m_searchField.SetAttribute(L"qarn_main_search_edit", ini, images);
    m_avatarButton.SetAttribute(L"user_avatar_btn", ini, images);
    m_avatarPicture.SetAttribute(L"quarn_user_avatar", ini, images);
    m_noticeButton.SetAttribute(L"newMsgBtn", ini, images);
    m_uploadButton.SetAttribute(L"upload_picture_button", ini, images);
    m_searchButton.SetAttribute(L"search_picture_button", ini, images);
    m_fullViewButton.SetAttribute(L"full_view_button", ini, images);
    const RECT name = skinkit::ScaleRectToDpi(RECT{-145, 10, -68, 25}, skinkit::WindowDpi(m_hWnd));
    m_userName.SetWindowRect(name.left, name.top, name.right, name.bottom);
    m_avatarPicture.SetStyle(1);
}

// Moved to a screen of another DPI: the window takes the rectangle the
// system suggests, and every part loads its pictures and lays itself out
// for the new DPI.
void Qaurn_Navigate_window::OnDpiChanged(WPARAM wParam, LPARAM lParam)
{
    skinkit::TakeDpiChange(m_hWnd, wParam, lParam);
    const int dpi = skinkit::WindowDpi(m_hWnd);
    // The controls point into the picture list until LoadSkin binds them
    // to the new one.
    CImageList previous;
    previous.Swap(m_images);
    LoadSkin();
    RECT client{};
    GetClientRect(m_hWnd, &client);
    m_viewer.set_window_rect(0, 0, client.right, client.bottom);
    m_viewer.SetDpi(dpi);
    m_strip.SetDpi(dpi);
    m_content.ApplyDpi(dpi);
    m_comments.ApplyDpi();
    PlaceCommentView();
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void Qaurn_Navigate_window::OnDestroy()
{
    // Wine's stand-in notification area can take seconds to let an icon go.
    m_tray.Withdraw(TrayIcon::kWithdrawPatienceMs);
    PostQuitMessage(0);
}

CLoginDlg& Qaurn_Navigate_window::LoginWindow()
{
    if (!m_login) {
        m_login = std::make_unique<CLoginDlg>(m_hWnd, ResourceFolder(), m_services->Login());
        m_login->CreateHidden();
    }
    return *m_login;
}

// Every message reaches the controls first, in the order their areas stack.
void Qaurn_Navigate_window::HostControls()
{
    const auto signedIn = [this](UINT, WPARAM, LPARAM) { return IsSignedIn(); };
    const auto signedOut = [this](UINT, WPARAM, LPARAM) { return !IsSignedIn(); };
    const auto panelsMade = [this](UINT, WPARAM, LPARAM) { return m_panelsMade; };
    HostControl(m_uploadButton);
    HostControl(m_fullViewButton);
    HostControl(m_viewer, [this](UINT msg, WPARAM, LPARAM lParam) { return ViewerTakes(msg, lParam); });
    HostDescriber([this] { return DescribeViewer(); }, &m_viewer);
    HostControl(m_strip);
    HostDescriber([this] { return m_strip.Describe(); }, &m_strip);
    HostControl(m_tab);
    HostControl(m_searchField);
    HostControl(m_searchButton);
    HostPanelRoute(&ContentPanels::RouteCategories);
    HostControl(m_avatarButton, signedIn);
    HostControl(m_userName, signedIn);
    HostPanelRoute(&ContentPanels::RouteUserMenu, signedIn);
    HostControl(m_inviteLink, signedIn);
    HostControl(m_loginLink, signedOut);
    HostControl(m_registerLink, signedOut);
    HostControl(m_avatarPicture);
    HostPanelRoute(&ContentPanels::RoutePanels);
    HostControl(m_noticeButton);
    HostControl(m_comments, panelsMade);
    HostDescriber([this] { return m_panelsMade ? m_comments.DescribeComments() : AccessibleFacts{}; }, &m_comments);
    HostPanelRoute(&ContentPanels::RouteSearchChoice, [this](UINT, WPARAM, LPARAM) { return !m_fullView; });
}

void Qaurn_Navigate_window::HostPanelRoute(PanelRoute route, CControlHost::Filter takes)
{
    HostRoute(
        [this, route](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
            (m_content.*route)(hwnd, msg, wParam, lParam);
            return false;
        },
        // Nothing reaches the panels before they are made.
        [this, takes = std::move(takes)](
            UINT msg, WPARAM wParam, LPARAM lParam) { return m_panelsMade && (!takes || takes(msg, wParam, lParam)); });
}

// A click on a control above the viewer is that control's alone: the viewer
// would take it for a step to another picture. The wheel's point is on the
// screen, which this window covers from its corner.
bool Qaurn_Navigate_window::ViewerTakes(UINT msg, LPARAM lParam)
{
    // The release that ends a double click toggled full view; it is no step.
    if (msg == WM_LBUTTONUP && std::exchange(m_doubleClicked, false))
        return false;
    if (msg != WM_LBUTTONDOWN && msg != WM_LBUTTONUP && msg != WM_MOUSEWHEEL)
        return true;
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    return !OverTopControl(point) && !m_strip.Covers(point) && !(m_panelsMade && m_comments.Covers(point));
}

bool Qaurn_Navigate_window::OverTopControl(POINT point) const
{
    const std::pair<bool, RECT> areas[] = {
        {m_tab.IsWindowVisible(), m_tab.GetWindowRect()},
        {m_loginLink.IsWindowVisible(), m_loginLink.GetWindowRect()},
        {m_registerLink.IsWindowVisible(), m_registerLink.GetWindowRect()},
        {m_inviteLink.IsWindowVisible(), m_inviteLink.GetWindowRect()},
        {m_searchField.IsWindowVisible(), m_searchField.GetWindowRect()},
        {m_uploadButton.IsWindowVisible(), m_uploadButton.GetWindowRect()},
        {m_searchButton.IsWindowVisible(), m_searchButton.GetWindowRect()},
        {m_fullViewButton.IsWindowVisible(), m_fullViewButton.GetWindowRect()},
        {m_avatarButton.IsWindowVisible(), m_avatarButton.GetWindowRect()},
        {m_userName.IsWindowVisible(), m_userName.GetWindowRect()},
        {m_noticeButton.IsWindowVisible(), m_noticeButton.GetWindowRect()},
    };
    for (const auto& [visible, rect] : areas) {
        if (visible && PtInRect(&rect, point))
            return true;
    }
    return m_panelsMade && m_content.Covers(point);
}

BOOL Qaurn_Navigate_window::HandleMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    // Registered at run time: no case label can name it.
    if (m_tray.OnTaskbarCreated(msg))
        return TRUE;
    switch (msg) {
    case WM_CREATE:
        OnCreate();
        return TRUE;
    case WM_DESTROY:
        OnDestroy();
        return TRUE;
    case WM_ERASEBKGND:
        result = 1;
        return TRUE;
    case WM_PAINT:
        Paint();
        result = 1;
        return TRUE;
    case WM_SETCURSOR:
        if (!OnSetCursor())
            return FALSE;
        result = TRUE;
        return TRUE;
    case WM_KEYDOWN:
        OnKeyDown(wParam);
        return TRUE;
    case WM_TIMER:
        if (m_tray.OnTimer(wParam))
            return TRUE;
        if (wParam == kStartPictureTimer) {
            SettleStartPicture();
            return TRUE;
        }
        if (wParam == kPicturesAheadTimer) {
            KillTimer(m_hWnd, kPicturesAheadTimer);
            PrepareNeighbours();
            return TRUE;
        }
        // The viewer has its ticks from WindowProc with the other controls.
        m_comments.OnTimer(wParam);
        if (!m_strip.OnTimer(wParam))
            m_content.OnTimer(wParam);
        return TRUE;
    case WM_DISPLAYCHANGE:
        OnDisplayChange();
        return TRUE;
    case WM_DPICHANGED:
        OnDpiChanged(wParam, lParam);
        return TRUE;
    case WM_LBUTTONDBLCLK:
        OnDoubleClick(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return TRUE;
    case WM_MOUSEMOVE:
        OnMouseMove(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return FALSE;
    case WM_MOUSELEAVE:
        OnMouseLeave();
        return TRUE;
    case WM_LBUTTONUP:
        m_content.OnClick(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return FALSE;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam), lParam);
        return TRUE;
    case UM_LOGIN_STATE:
        if (wParam == 0)
            OnLoginState(lParam);
        return TRUE;
    default:
        return OnPrivateMessage(msg, wParam, lParam) ? TRUE : FALSE;
    }
}

void Qaurn_Navigate_window::OnKeyDown(WPARAM key)
{
    if (OnPictureKey(key) || OnCommentKey(key))
        return;
    if (key == VK_ESCAPE)
        PostMessageW(m_hWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    if (key == VK_RETURN && m_searchField.IsFocus()) {
        m_searchField.KillFocus();
        m_content.RunSearch(m_searchField.GetWindowTextW());
    }
}

void Qaurn_Navigate_window::OnMouseMove(POINT point)
{
    TrackPointerLeaving();
    const RECT avatar = m_avatarButton.GetWindowRect();
    m_content.OnMouseMove(point, IsSignedIn() && PtInRect(&avatar, point));
    // The menu is drawn in this window, under the input's own window.
    if (m_content.Menu().IsOpen())
        m_comments.CloseInput();
}

// The controls end their hover states on WM_MOUSELEAVE, which comes only
// once asked for after each move into the window.
void Qaurn_Navigate_window::TrackPointerLeaving()
{
    if (m_trackingLeave)
        return;
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof(track);
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = m_hWnd;
    m_trackingLeave = TrackMouseEvent(&track) != FALSE;
}

// The controls had the message first; the panels' hovers and tips end here.
void Qaurn_Navigate_window::OnMouseLeave()
{
    m_trackingLeave = false;
    m_content.OnPointerLeft();
}

void Qaurn_Navigate_window::SlideViewerDown()
{
    if (m_fullView)
        SendMessageW(m_hWnd, UM_LEAVE_FULL_VIEW, 0, 0);
    m_content.FillBand();
    if (!m_viewerUp)
        return;
    m_viewerUp = false;
    m_viewer.show_slid_down();
    TellNeighbours();
}

void Qaurn_Navigate_window::ShowSignedIn()
{
    const SignedInUser user = CopySignedInUser();
    const std::wstring name = Widen(user.displayName);
    m_userName.SetWindowTextW(name);
    m_userName.SetTipText(name);
    m_userName.ShowWindow(true);
    m_avatarPicture.set_picture_ptr(nullptr);
    m_avatar = LoadPictureFile(Widen(m_services->Login().avatarPath));
    m_avatarPicture.set_picture_ptr(m_avatar.get());
    m_avatarPicture.ShowWindow(m_avatar != nullptr);
    m_avatarButton.ShowWindow(true);
    m_loginLink.ShowWindow(false);
    m_registerLink.ShowWindow(false);
    m_inviteLink.ShowWindow(!m_fullView);
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void Qaurn_Navigate_window::ShowSignedOut()
{
    m_avatarPicture.ShowWindow(false);
    m_avatarPicture.set_picture_ptr(nullptr);
    m_avatar.reset();
    m_avatarButton.ShowWindow(false);
    m_userName.ShowWindow(false);
    m_inviteLink.ShowWindow(false);
    if (m_panelsMade)
        m_content.OnSignedOut();
    m_loginLink.ShowWindow(true);
    m_registerLink.ShowWindow(true);
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

bool Qaurn_Navigate_window::OnSetCursor()
{
    POINT point{};
    GetCursorPos(&point);
    ScreenToClient(m_hWnd, &point);
    if (m_panelsMade && m_comments.OnSetCursor(point))
        return true;
    if (m_content.OnSetCursor(point))
        return true;
    for (const CHyperLinkUI* link : {&m_inviteLink, &m_loginLink, &m_registerLink}) {
        const RECT rect = link->GetWindowRect();
        if (link->IsWindowVisible() && PtInRect(&rect, point)) {
            link->OnSetCursor();
            return true;
        }
    }
    // The text cursor over the search field; it reads the pointer itself.
    return m_searchField.OnSetCursor();
}

void Qaurn_Navigate_window::Paint()
{
    // A window shown after its home page was stored opens the picture now.
    if (HomePictureDue())
        PostMessageW(m_hWnd, UM_SHOW_HOME_PICTURE, 0, 0);

    const bool notice = m_panelsMade && m_content.UpdateNotice();
    if (notice != m_noticeButton.IsWindowVisible())
        m_noticeButton.ShowWindow(notice);
    // Read before BeginPaint validates it: what changed since the last paint.
    win32kit::ScopedGdiObject<HRGN> changed(CreateRectRgn(0, 0, 0, 0));
    const bool known = changed && GetUpdateRgn(m_hWnd, changed.Get(), FALSE) > NULLREGION;
    PAINTSTRUCT ps;
    HDC target = BeginPaint(m_hWnd, &ps);
    RECT client{};
    GetClientRect(m_hWnd, &client);
    const bool sized = m_surface.Width() == client.right && m_surface.Height() == client.bottom;
    if (sized || m_surface.Create_compatible_dc(target, client.right, client.bottom, 1)) {
        HDC dc = m_surface.get_ghost();
        // The back buffer keeps the rest from the last paint; a new one is
        // drawn whole.
        const std::vector<RECT> parts = sized && known ? ChangedParts(changed.Get(), ps.rcPaint) : std::vector{client};
        for (const RECT& part : parts) {
            const int saved = SaveDC(dc);
            IntersectClipRect(dc, part.left, part.top, part.right, part.bottom);
            PaintLayers(dc, client);
            RestoreDC(dc, saved);
            BitBlt(target, part.left, part.top, part.right - part.left, part.bottom - part.top, dc, part.left, part.top,
                SRCCOPY);
        }
    }
    EndPaint(m_hWnd, &ps);
}

// Everything the window shows, bottom to top, into the back buffer.
void Qaurn_Navigate_window::PaintLayers(HDC dc, const RECT& client)
{
    // The viewer fills what it covers with the background shaded.
    m_viewer.SetBackdrop(kBackground);
    if (!m_viewer.CoversWithBackdrop(client)) {
        win32kit::ScopedGdiObject<HBRUSH> brush(CreateSolidBrush(kBackground));
        FillRect(dc, &client, brush.Get());
    }
    m_viewer.OnPaint(dc);
    if (m_panelsMade)
        m_content.Paint(dc, IsSignedIn(), !m_viewer.IsBarHidden());
    m_tab.OnPaint(dc);
    m_loginLink.OnPaint(dc);
    m_registerLink.OnPaint(dc);
    m_searchField.OnPaint(dc);
    m_uploadButton.OnPaint(dc);
    m_searchButton.OnPaint(dc);
    m_avatarButton.OnPaint(dc);
    m_avatarPicture.OnPaint(dc);
    m_userName.OnPaint(dc);
    m_inviteLink.OnPaint(dc);
    m_noticeButton.OnPaint(dc);
    if (!m_viewer.IsBarHidden())
        m_fullViewButton.OnPaint(dc);
    // Layers wholly outside the part being drawn are left out: the comment
    // view, say, may make its ready drawing again on any paint.
    const auto reaches = [dc](const RECT& area) { return RectVisible(dc, &area) != FALSE; };
    if (m_panelsMade && reaches(m_comments.PanelRect()))
        m_comments.Paint(dc);
    if (reaches(m_strip.PaintArea()))
        m_strip.Paint(dc);
    m_offlineMark.Paint(dc);
    if (m_panelsMade)
        m_content.PaintOnTop(dc);
}
