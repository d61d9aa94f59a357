#include "viewer_preview.h"

#include <gdiplus.h>

#include <cwchar>

#include "skinkit/memory_dc.h"

namespace {

constexpr CLSID kJpegEncoder = {0x557cf401, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
constexpr int kMessengerMargin = 40;

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::wstring TempPicture(const wchar_t* name)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + name;
}

Gdiplus::Color Argb(COLORREF c) { return Gdiplus::Color(255, GetRValue(c), GetGValue(c), GetBValue(c)); }

// A mock picture wall of Paper cards on Cloud, for the viewer to shade.
void DrawWall(Gdiplus::Graphics& g, SIZE size)
{
    g.Clear(Argb(RGB(243, 245, 247)));
    Gdiplus::SolidBrush card(Argb(RGB(255, 255, 255)));
    Gdiplus::SolidBrush photo(Argb(RGB(220, 225, 229)));
    for (int y = 16; y < size.cy; y += 176) {
        for (int x = 16; x < size.cx; x += 166) {
            g.FillRectangle(&card, x, y, 150, 160);
            g.FillRectangle(&photo, x + 8, y + 8, 134, 110);
        }
    }
}

}  // namespace

bool WriteDemoPicture(const std::wstring& path, int width, int height)
{
    Gdiplus::Bitmap picture(width, height, PixelFormat24bppRGB);
    Gdiplus::Graphics g(&picture);
    g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    const float w = static_cast<float>(width);
    const float h = static_cast<float>(height);
    Gdiplus::LinearGradientBrush sky(
        Gdiplus::PointF(0, 0), Gdiplus::PointF(0, h), Argb(RGB(0, 136, 188)), Argb(RGB(243, 245, 247)));
    g.FillRectangle(&sky, 0.0f, 0.0f, w, h);
    Gdiplus::SolidBrush sun(Argb(RGB(245, 166, 35)));
    g.FillEllipse(&sun, w * 0.68f, h * 0.14f, h * 0.2f, h * 0.2f);
    Gdiplus::SolidBrush farHill(Argb(RGB(14, 194, 210)));
    Gdiplus::SolidBrush nearHill(Argb(RGB(58, 67, 74)));
    g.FillEllipse(&farHill, -w * 0.2f, h * 0.55f, w * 0.9f, h * 0.9f);
    g.FillEllipse(&nearHill, w * 0.35f, h * 0.62f, w * 0.95f, h * 0.8f);
    wchar_t label[32];
    swprintf(label, 32, L"%d × %d", width, height);
    Gdiplus::FontFamily family(L"Arial");
    Gdiplus::Font font(
        family.IsAvailable() ? L"Arial" : L"Liberation Sans", h / 12, Gdiplus::FontStyleBold, Gdiplus::UnitPixel);
    Gdiplus::SolidBrush ink(Argb(RGB(255, 255, 255)));
    g.DrawString(label, -1, &font, Gdiplus::PointF(w * 0.05f, h * 0.06f), &ink);
    return picture.Save(path.c_str(), &kJpegEncoder, nullptr) == Gdiplus::Ok;
}

CViewerPreview::~CViewerPreview()
{
    m_stopDownload.store(true);
    if (m_download.joinable())
        m_download.join();
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
}

bool CViewerPreview::Create(ViewerScene scene)
{
    m_scene = scene;
    m_images.Load(ProgramFolder() + L"Qnv_resource\\");
    RECT r{0, 0, m_size.cx, m_size.cy};
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    AdjustWindowRectEx(&r, style, FALSE, 0);
    if (!CWindowBase::Create(
            nullptr, L"skinkit 大图浏览", style, 0, 40, 40, r.right - r.left, r.bottom - r.top, nullptr)) {
        return false;
    }
    CenterWindow();
    return true;
}

void CViewerPreview::Layout()
{
    m_viewer.Create(m_hWnd, true);
    m_viewer.SetAttribute(
        L"window_background", ProgramFolder() + L"Qnv_resource\\picture_viewer.ini", m_images.Images());
    m_viewer.set_window_rect(0, 0, m_size.cx, m_size.cy);
    m_messenger.set_ponit_val(m_size.cy - kMessengerMargin);
    m_viewer.set_messenger(&m_messenger);
    if (m_scene == ViewerScene::kDefault)
        return;

    struct Sizes {
        ViewerScene scene;
        SIZE first;
        SIZE second;
    };
    const Sizes kSizes[]
        = {{ViewerScene::kLarge, {1920, 1200}, {480, 320}}, {ViewerScene::kFit, {600, 640}, {1920, 1200}},
            {ViewerScene::kSmall, {480, 320}, {1920, 1200}}, {ViewerScene::kLoading, {0, 0}, {480, 320}}};
    for (const Sizes& s : kSizes) {
        if (s.scene != m_scene)
            continue;
        m_pictures[0] = TempPicture(L"skinkit-viewer-first.jpg");
        m_pictures[1] = TempPicture(L"skinkit-viewer-second.jpg");
        DeleteFileW(m_pictures[0].c_str());
        if (s.first.cx)
            WriteDemoPicture(m_pictures[0], s.first.cx, s.first.cy);
        WriteDemoPicture(m_pictures[1], s.second.cx, s.second.cy);
    }
    // As after the first click: the default picture gives way.
    m_viewer.OnLButtonUp(0, 0);
    if (m_scene == ViewerScene::kFit)
        m_viewer.slid_down_proc();
    m_viewer.set_bk_image_local_path(m_pictures[0]);
    if (m_scene == ViewerScene::kLoading)
        StartDownload();
}

// Stands in for the download thread: raises the percentage while the file
// stays missing.
void CViewerPreview::StartDownload()
{
    m_download = std::thread([this] {
        for (int percent = 0; !m_stopDownload.load(); percent = (percent + 1) % 100) {
            m_messenger.set_download_percent(std::to_wstring(percent));
            Sleep(60);
        }
    });
}

void CViewerPreview::Render(HDC hdc)
{
    {
        Gdiplus::Graphics g(hdc);
        DrawWall(g, m_size);
    }
    m_viewer.OnPaint(hdc);
}

void CViewerPreview::Paint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    __ostrel_memory_dc buffer;
    if (buffer.Create_compatible_dc(dc, m_size.cx, m_size.cy, 1)) {
        Render(buffer.get_ghost());
        BitBlt(dc, 0, 0, m_size.cx, m_size.cy, buffer.get_ghost(), 0, 0, SRCCOPY);
    }
    EndPaint(m_hWnd, &ps);
}

void CViewerPreview::OnCommand(WORD id)
{
    switch (id) {
    case kViewerPrevious:
    case kViewerNext:
        if (m_pictures[0].empty())
            return;
        m_shown = 1 - m_shown;
        m_viewer.set_bk_image_local_path(m_pictures[m_shown]);
        if (id == kViewerNext) {
            m_viewer.Summon_exchange_next_image();
        } else {
            m_viewer.Summon_exchange_previous_image();
        }
        break;
    case kViewerMinimizeButton:
        ShowWindow(SW_MINIMIZE);
        break;
    case kViewerCloseButton:
        DestroyWindow(m_hWnd);
        break;
    default:
        break;
    }
}

BOOL CViewerPreview::HandleMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    m_viewer.WindowProc(m_hWnd, msg, wParam, lParam);
    switch (msg) {
    case WM_CREATE:
        Layout();
        return TRUE;
    case WM_ERASEBKGND:
        result = 1;
        return TRUE;
    case WM_PAINT:
        Paint();
        result = 1;
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) == 0)
            OnCommand(LOWORD(wParam));
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return TRUE;
    default:
        return FALSE;
    }
}
