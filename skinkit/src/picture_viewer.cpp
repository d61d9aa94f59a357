#include "skinkit/picture_viewer.h"

#include <algorithm>

#include <windowsx.h>

#include "control_util.h"
#include "picture_file_cache.h"
#include "picture_made_aside.h"
#include "skinkit/dpi.h"
#include "skinkit/image_list.h"
#include "skinkit/ini_file.h"
#include "skinkit/picture.h"
#include "skinkit/picture_scaling.h"
#include "viewer_motion.h"
#include "win32kit/scoped_win.h"

using namespace skinkit;

namespace {

constexpr int kBarStartBottom = 30;
constexpr BYTE kShadeAlpha = 240;
constexpr int kPictureAreaTop = 129;  // below the slid-down bar
constexpr int kHandBelowY = 130;
constexpr int kBarRevealAboveY = 50;
constexpr int kOpeningTicks = 31;
constexpr UINT kSpinnerMs = 50;
constexpr int kSpinnerFrame = 20;
// A thread steps at most every 40 ms and checks the stop event while it
// waits, so it ends well within this once told.
constexpr DWORD kThreadStopWaitMs = 2000;
// The title piece: a left cap, one column stretched, a right part.
constexpr int kTitleCap = 50;
constexpr int kTitleStretch = 125;
constexpr int kTitleTail = 180;

std::wstring ResourceFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + L"Qnv_resource\\";
}

std::unique_ptr<Gdiplus::Bitmap> LoadPngResource(int id)
{
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    if (!found)
        return nullptr;
    HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    return DecodePictureBytes(bytes, SizeofResource(module, found));
}

// The picture scaled once to the screen width, so painting it is a copy.
std::unique_ptr<Gdiplus::Bitmap> ScaledToWidth(Gdiplus::Bitmap& picture, int width)
{
    const int w = static_cast<int>(picture.GetWidth());
    const int h = static_cast<int>(picture.GetHeight());
    if (w <= 0 || h <= 0 || width <= 0)
        return nullptr;
    const int height = static_cast<int>(static_cast<double>(h) / w * width);
    return ScaledPicture(picture, width, height);
}

// A 32-bit DIB of one pixel, whose bits come back in bits.
HBITMAP OnePixelDib(HDC hdc, void*& bits)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = 1;
    info.bmiHeader.biHeight = 1;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    return CreateDIBSection(hdc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
}

// Black at constant alpha over area. Writes the pixels itself when the DC
// is a plain 32-bit DIB: GDI's blend takes ten times as long for a screen
// under Wine (a dozen milliseconds, with the spinner repainting 20 times a
// second).
void ShadeRect(HDC hdc, RECT area, BYTE alpha)
{
    std::ptrdiff_t rowStep = 0;
    if (UINT32* top = DirectPixels(hdc, area, rowStep)) {
        // Premultiplied: black adds no colour, so every channel keeps
        // (255 - alpha) / 255 of itself and alpha is added to the alpha.
        UINT32 scaled[256];
        for (UINT32 c = 0; c < 256; ++c)
            scaled[c] = (c * (255u - alpha) + 127) / 255;
        for (int y = area.top; y < area.bottom; ++y) {
            UINT32* row = top + y * rowStep;
            for (int x = area.left; x < area.right; ++x) {
                const UINT32 p = row[x];
                row[x] = ((alpha + scaled[p >> 24]) << 24) | (scaled[(p >> 16) & 0xFF] << 16)
                    | (scaled[(p >> 8) & 0xFF] << 8) | scaled[p & 0xFF];
            }
        }
        return;
    }
    void* bits = nullptr;
    HBITMAP pixel = OnePixelDib(hdc, bits);
    win32kit::ScopedBitmapDC black(CreateCompatibleDC(hdc), pixel);
    if (!black.IsValid())
        return;
    *static_cast<UINT32*>(bits) = 0xFF000000;
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, 0};
    GdiAlphaBlend(hdc, area.left, area.top, Width(area), Height(area), black.Dc(), 0, 0, 1, 1, blend);
}

// What a fill of colour becomes under the shade, worked out by the same fill
// and shade on one pixel, so filling with it looks exactly like both passes.
UINT32 ShadedPixel(COLORREF colour, BYTE alpha)
{
    void* bits = nullptr;
    HBITMAP pixel = OnePixelDib(nullptr, bits);
    win32kit::ScopedBitmapDC dc(CreateCompatibleDC(nullptr), pixel);
    if (!dc.IsValid())
        return 0;
    win32kit::ScopedGdiObject<HBRUSH> brush(CreateSolidBrush(colour));
    RECT one{0, 0, 1, 1};
    FillRect(dc.Dc(), &one, brush.Get());
    ShadeRect(dc.Dc(), one, alpha);
    GdiFlush();
    return *static_cast<UINT32*>(bits);
}

// Writes pixel over row y from left to right but where the holes lie.
void FillAround(UINT32* row, int y, int left, int right, UINT32 pixel, const RECT (&holes)[2])
{
    int spans[2][2] = {};
    int count = 0;
    for (const RECT& hole : holes) {
        if (y < hole.top || y >= hole.bottom || hole.left >= hole.right)
            continue;
        spans[count][0] = std::clamp(int(hole.left), left, right);
        spans[count][1] = std::clamp(int(hole.right), left, right);
        ++count;
    }
    if (count == 2 && spans[1][0] < spans[0][0])
        std::swap(spans[0], spans[1]);
    int x = left;
    for (int i = 0; i < count; ++i) {
        if (spans[i][0] > x)
            std::fill(row + x, row + spans[i][0], pixel);
        x = std::max(x, spans[i][1]);
    }
    if (x < right)
        std::fill(row + x, row + right, pixel);
}

// Writes pixel over area but the holes when hdc is a plain 32-bit DIB;
// false otherwise.
bool FillPixels(HDC hdc, RECT area, UINT32 pixel, const RECT (&holes)[2])
{
    std::ptrdiff_t rowStep = 0;
    UINT32* top = DirectPixels(hdc, area, rowStep);
    if (!top)
        return false;
    for (int y = area.top; y < area.bottom; ++y)
        FillAround(top + y * rowStep, y, area.left, area.right, pixel, holes);
    return true;
}

int ImageWidth(Gdiplus::Bitmap* image) { return image ? static_cast<int>(image->GetWidth()) : 0; }
int ImageHeight(Gdiplus::Bitmap* image) { return image ? static_cast<int>(image->GetHeight()) : 0; }

// Takes back the motion handed to a thread and runs body on it.
template <void (*Body)(ViewerMotion&)> unsigned RunTask(void* task)
{
    std::unique_ptr<std::shared_ptr<ViewerMotion>> motion(static_cast<std::shared_ptr<ViewerMotion>*>(task));
    Body(**motion);
    return 0;
}

// A picture already at the size it is shown at goes onto the ready copy as
// it is: its rows are copied, not drawn through GDI+.
bool CopyRows(HDC dc, int x, int y, Gdiplus::Bitmap& picture)
{
    const int w = static_cast<int>(picture.GetWidth());
    const int h = static_cast<int>(picture.GetHeight());
    Gdiplus::Rect all(0, 0, w, h);
    Gdiplus::BitmapData data{};
    if (picture.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &data) != Gdiplus::Ok)
        return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = data.Stride / 4;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const bool copied = data.Stride > 0
        && SetDIBitsToDevice(dc, x, y, UINT(w), UINT(h), 0, 0, 0, UINT(h), data.Scan0, &info, DIB_RGB_COLORS) > 0;
    picture.UnlockBits(&data);
    return copied;
}

// A decoded picture at its own size: its premultiplied rows blended straight
// into the target's bits, or copied when it is opaque (a photograph always
// is), ten frames a swap; else drawn by GDI+.
void DrawAsIs(HDC hdc, Gdiplus::Bitmap& picture, int x, int y, bool opaque)
{
    if (::BlendPictureStraight(hdc, x, y, picture, opaque))
        return;
    Gdiplus::Graphics g(hdc);
    DrawImagePart(g, &picture, x, y, 0, 0, ImageWidth(&picture), ImageHeight(&picture));
}

}  // namespace

struct Rir_picture_ui::SwapFrame {
    // The previous picture from its ready copy when fromReady, else from its
    // decoded pixels; each picture's corner and where it is opaque.
    bool fromReady = false;
    Gdiplus::Bitmap* previous = nullptr;
    POINT previousAt{};
    RECT previousCovers{};
    Gdiplus::Bitmap* current = nullptr;
    POINT currentAt{};
    RECT currentCovers{};
    bool currentOpaque = false;
    bool previousOpaque = false;
};

Rir_picture_ui::Rir_picture_ui()
    : m_defaultMaking(std::make_unique<CPictureMadeAside>())
    , m_motion(std::make_shared<ViewerMotion>())
    , m_threads(std::make_unique<CAnimationThreads>())
    , m_pictures(std::make_unique<CPictureFileCache>())
{
}

Rir_picture_ui::~Rir_picture_ui()
{
    if (m_motion->stop)
        SetEvent(m_motion->stop.Get());
    m_threads->WaitAll(kThreadStopWaitMs);
    if (m_parent && IsWindow(m_parent))
        KillTimer(m_parent, kViewerSpinnerTimer);
}

bool Rir_picture_ui::Create(HWND parent, bool visible)
{
    if (!IsUsableParent(parent))
        return false;
    m_parent = parent;
    m_motion->parent.store(parent);
    m_visible = visible;
    m_dpi = skinkit::WindowDpi(parent);
    m_motion->dpi.store(m_dpi);
    m_motion->barBottom.store(Px(kBarStartBottom));
    m_screenWidth = GetSystemMetrics(SM_CXSCREEN);
    LoadOwnImages();
    SetTimer(m_parent, kViewerSpinnerTimer, kSpinnerMs, nullptr);
    return true;
}

void Rir_picture_ui::LoadButton(CButtonUI& button, const std::wstring& file, int x, const wchar_t* tip)
{
    button.SetTipText(tip);
    std::unique_ptr<Gdiplus::Bitmap> image = m_dpi == skinkit::kBaseDpi
        ? DecodePictureFile(ResourceFolder() + file)
        : skinkit::LoadSkinPicture(ResourceFolder() + file, m_dpi);
    if (!image)
        return;  // no picture: the button keeps its empty rectangle
    const int w = ImageWidth(image.get()) / 3;
    const int h = ImageHeight(image.get());
    const int left = Px(x);
    const int top = Px(3);
    button.SetWindowRect(left, top, left + w, top + h);
    button.SetBkBitmap(image.release());
}

void Rir_picture_ui::LoadButtons()
{
    LoadButton(m_minimize, L"close_window.png", 303, L"最小化");
    LoadButton(m_close, L"exit_process.png", 325, L"关闭");
}

void Rir_picture_ui::SetDpi(int dpi)
{
    const int old = m_dpi;
    m_dpi = dpi;
    m_motion->dpi.store(dpi);
    // A bar at rest or slid down keeps its place in the new units.
    if (!m_motion->slideRunning.load())
        m_motion->barBottom.store(MulDiv(m_motion->barBottom.load(), dpi, old));
    LoadButtons();
    m_barCache.Release();
    m_titleCache.Release();
    InvalidateIfWindow(m_parent, nullptr);
}

void Rir_picture_ui::LoadOwnImages()
{
    m_minimize.Create(m_parent, kViewerMinimizeButton);
    m_close.Create(m_parent, kViewerCloseButton);
    LoadButtons();
    // A screen-wide decode and scale: on the window's thread it held the
    // first paint back by a few dozen milliseconds that the bar, the buttons
    // and the skin can use.
    m_defaultMaking->Start([path = ResourceFolder() + L"default_picture.jpg", width = m_screenWidth] {
        std::unique_ptr<Gdiplus::Bitmap> picture = DecodePictureFile(path);
        return picture ? ScaledToWidth(*picture, width) : nullptr;
    });
}

void Rir_picture_ui::SetAttribute(
    const std::wstring& section, const std::wstring& iniFile, const std::deque<Gdiplus::Bitmap*>& images)
{
    struct ImageKey {
        const wchar_t* key;
        Gdiplus::Bitmap** image;
    };
    const ImageKey keys[] = {{L"Image_l", &m_imageL}, {L"Image_m", &m_imageM}, {L"Image_r", &m_imageR},
        {L"Image_show_l", &m_imageShowL}, {L"Image_show_m", &m_imageShowM}, {L"Image_show_r", &m_imageShowR}};
    for (const ImageKey& k : keys) {
        int number = 0;
        if (CIniFile::GetIntValue(iniFile.c_str(), section.c_str(), const_cast<wchar_t*>(k.key), number)) {
            *k.image = ImageByNumber(images, number);
        }
    }
    CIniFile::GetIntValue(iniFile.c_str(), section.c_str(), const_cast<wchar_t*>(L"Style"), m_style);
    if (CIniFile::GetRectValue(iniFile.c_str(), section.c_str(), const_cast<wchar_t*>(L"rect"), m_rawRect))
        ScaleToWindow(m_parent, m_rawRect);
    m_rect = ResolveRect(m_parent, m_rawRect);
    m_motion->viewerRight.store(m_rect.right);
}

void Rir_picture_ui::ResetOpeningBand()
{
    const int middle = Width(m_rect) / 2;
    const int top = 2 * ImageHeight(m_imageL);
    m_openingBand = RECT{middle, top, middle, top};
}

void Rir_picture_ui::set_window_rect(UINT left, UINT top, UINT right, UINT bottom)
{
    m_rawRect
        = RECT{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right), static_cast<LONG>(bottom)};
    m_rect = m_rawRect;
    m_motion->viewerRight.store(m_rect.right);
    ResetOpeningBand();
    InvalidateIfWindow(m_parent, nullptr);
}

void Rir_picture_ui::set_window_rc_type3()
{
    ResetOpeningBand();
    m_openingAlpha = 0.0f;
    m_openingDone = false;
}

void Rir_picture_ui::set_bk_image_local_path(std::wstring path, PictureDecode decode)
{
    if (m_messenger)
        m_messenger->set_download_percent(L"0");
    m_previousPath.swap(m_currentPath);
    m_currentPath = std::move(path);
    m_awaited.clear();
    // Before anything below asks its size: that would decode a file already there.
    if (decode == PictureDecode::awaited)
        AwaitDecoded(m_currentPath);
    m_hasPicture = true;
    // Until the places below are known a swap repaints the whole viewer.
    m_motion->placesKnown.store(false);
    m_motion->bandTop.store(m_rect.top);
    m_motion->bandBottom.store(m_rect.bottom);
    // Behind the start picture nothing is drawn or swapped yet: the pictures
    // are decoded when they first show, not held from the start.
    if (m_defaultPicture)
        return;
    const int right = m_rect.right;
    // The previous picture leaves as it was on screen when its ready copy is
    // there (its decoded pixels are gone by then).
    const RECT previousPlace = ReadyPlace(m_previousPath);
    Gdiplus::Bitmap* previous = IsRectEmpty(&previousPlace) ? m_pictures->Find(m_previousPath) : nullptr;
    Gdiplus::Bitmap* current = Awaits(m_currentPath) ? nullptr : m_pictures->Find(m_currentPath);
    const int previousWidth = IsRectEmpty(&previousPlace) ? ImageWidth(previous) : Width(previousPlace);
    const int currentWidth = ImageWidth(current);
    ViewerMotion& m = *m_motion;
    m.previousWidth.store(previousWidth);
    m.previousX.store(IsRectEmpty(&previousPlace) ? (right - previousWidth) / 2 : previousPlace.left);
    m.currentWidth.store(currentWidth);
    m.currentX.store((right - currentWidth) / 2);
    m.currentOffset.store(0);
    // Up and down, each picture slides where DrawSwap draws it.
    const int previousHeight = IsRectEmpty(&previousPlace) ? ImageHeight(previous) : Height(previousPlace);
    const int previousTop = IsRectEmpty(&previousPlace) ? PictureTop(previousHeight) : previousPlace.top;
    const int currentHeight = ImageHeight(current);
    const int currentTop = PictureTop(currentHeight);
    m.previousTop.store(previousTop);
    m.previousHeight.store(previousHeight);
    m.currentTop.store(currentTop);
    m.currentHeight.store(currentHeight);
    const RECT settled = GetPictureRect();
    m.settledLeft.store(settled.left);
    m.settledTop.store(settled.top);
    m.settledRight.store(settled.right);
    m.settledBottom.store(settled.bottom);
    // What was on show before may have been the spinner, what comes may not
    // be there yet, and a swap under way leaves a picture mid-way that is
    // no longer drawn: then the swap repaints the viewer's whole height.
    const bool known = previousWidth > 0 && previousHeight > 0 && currentWidth > 0 && currentHeight > 0
        && !IsRectEmpty(&settled) && !m.swapRunning.load();
    if (!known)
        return;
    m.bandTop.store(std::min({previousTop, currentTop, int(settled.top)}));
    m.bandBottom.store(std::max({previousTop + previousHeight, currentTop + currentHeight, int(settled.bottom)}));
    m.placesKnown.store(true);
}

bool Rir_picture_ui::StartTask(unsigned(__stdcall* entry)(void*))
{
    auto* task = new std::shared_ptr<ViewerMotion>(m_motion);
    if (m_threads->Start(entry, task))
        return true;
    delete task;
    return false;
}

void Rir_picture_ui::Summon_exchange_next_image()
{
    // One swap at a time: two would step the same positions.
    if (m_motion->swapRunning.exchange(true))
        return;
    m_motion->viewerRight.store(m_rect.right);
    if (!StartTask(&Invoke_exchange_next_proc))
        m_motion->swapRunning.store(false);
}

void Rir_picture_ui::Summon_exchange_previous_image()
{
    if (m_motion->swapRunning.exchange(true))
        return;
    ViewerMotion& m = *m_motion;
    m.viewerRight.store(m_rect.right);
    m.currentOffset.store(m_rect.right + m.currentWidth.load());
    if (!StartTask(&Invoke_exchange_previous_proc))
        m.swapRunning.store(false);
}

void Rir_picture_ui::show_slid_down() { StartTask(&Invoke_slid_down_proc); }
void Rir_picture_ui::show_slid_up() { StartTask(&Invoke_slid_up_proc); }
void Rir_picture_ui::show_slid_down_3() { StartTask(&Invoke_slid_down_proc_3); }

bool Rir_picture_ui::show_slid_down_2()
{
    if (m_motion->slideRunning.exchange(true))
        return false;
    if (StartTask(&Invoke_slid_down_proc_2))
        return true;
    m_motion->slideRunning.store(false);
    return false;
}

bool Rir_picture_ui::show_slid_up_2()
{
    if (m_motion->slideRunning.exchange(true))
        return false;
    if (StartTask(&Invoke_slid_up_proc_2))
        return true;
    m_motion->slideRunning.store(false);
    return false;
}

void Rir_picture_ui::slid_up_proc() { SlideUp(*m_motion); }
void Rir_picture_ui::slid_down_proc() { SlideDown(*m_motion); }
void Rir_picture_ui::slid_up_proc_2() { SlideUp2(*m_motion); }
void Rir_picture_ui::slid_down_proc_2() { SlideDown2(*m_motion); }
void Rir_picture_ui::slid_down_proc_3() { SlideDown3(*m_motion); }

unsigned __stdcall Rir_picture_ui::Invoke_slid_up_proc(void* task) { return RunTask<SlideUp>(task); }
unsigned __stdcall Rir_picture_ui::Invoke_slid_down_proc(void* task) { return RunTask<SlideDown>(task); }
unsigned __stdcall Rir_picture_ui::Invoke_slid_up_proc_2(void* task) { return RunTask<SlideUp2>(task); }
unsigned __stdcall Rir_picture_ui::Invoke_slid_down_proc_2(void* task) { return RunTask<SlideDown2>(task); }
unsigned __stdcall Rir_picture_ui::Invoke_slid_down_proc_3(void* task) { return RunTask<SlideDown3>(task); }
unsigned __stdcall Rir_picture_ui::Invoke_exchange_next_proc(void* task) { return RunTask<SwapToNext>(task); }
unsigned __stdcall Rir_picture_ui::Invoke_exchange_previous_proc(void* task) { return RunTask<SwapToPrevious>(task); }
unsigned __stdcall Rir_picture_ui::Invoke_show_loading_proc(void* task) { return RunTask<SpinForever>(task); }

void Rir_picture_ui::always_show_loading()
{
    if (m_motion->loadingRunning.exchange(true))
        return;
    if (!StartTask(&Invoke_show_loading_proc))
        m_motion->loadingRunning.store(false);
}

LRESULT Rir_picture_ui::OnTimer(UINT, WPARAM id, LPARAM)
{
    if (id == kViewerSpinnerTimer) {
        m_motion->AdvanceSpinner();
        // A picture on show stays as drawn: repainting the window twenty
        // times a second would redraw it all, and through a swap's steps.
        if (SpinnerOnShow())
            InvalidateIfWindow(m_parent, &m_rect);
        return 0;
    }
    if (id != kViewerOpeningTimer)
        return 0;
    if (++m_openingTicks < kOpeningTicks)
        return 0;
    KillTimer(m_parent, kViewerOpeningTimer);
    m_openingTicks = 0;
    m_openingAlpha = 1.0f;
    m_openingDone = true;
    return kViewerOpeningDone;
}

LRESULT Rir_picture_ui::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (m_visible) {
        switch (msg) {
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED) {
                m_rect = ResolveRect(m_parent, m_rawRect);
                m_motion->viewerRight.store(m_rect.right);
            }
            break;
        case WM_TIMER:
            OnTimer(msg, wParam, lParam);
            break;
        case WM_MOUSEMOVE:
            OnMouseMove(wParam, lParam);
            break;
        case WM_LBUTTONUP:
            OnLButtonUp(wParam, lParam);
            break;
        default:
            break;
        }
    }
    m_minimize.WindowProc(hwnd, msg, wParam, lParam);
    m_close.WindowProc(hwnd, msg, wParam, lParam);
    return 0;
}

void Rir_picture_ui::OnMouseMove(WPARAM, LPARAM lParam)
{
    if (!m_hasPicture)
        return;
    const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (!m_defaultPicture && p.y > Px(kHandBelowY) && Contains(GetPictureRect(), p))
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
    if (p.y < Px(kBarRevealAboveY) && m_motion->barHidden.exchange(false)) {
        SendMessageW(m_parent, kViewerLeaveFullView, 0, 0);
    }
}

void Rir_picture_ui::LeaveDefaultPicture()
{
    m_defaultPicture = false;
    // The start picture does not come back.
    m_defaultMaking->Drop();
    m_defaultImage.reset();
    m_defaultCache.Release();
}

void Rir_picture_ui::OnLButtonUp(WPARAM, LPARAM lParam)
{
    LeaveDefaultPicture();
    if (!m_hasPicture)
        return;
    const int middle = m_rect.left + Width(m_rect) / 2;
    const WORD id = GET_X_LPARAM(lParam) < middle ? kViewerPrevious : kViewerNext;
    SendMessageW(m_parent, WM_COMMAND, id, 0);
    SendMessageW(m_parent, kViewerUpdateCommentView, 0, 0);
}

void Rir_picture_ui::ShowWindow(bool visible)
{
    m_visible = visible;
    InvalidateIfWindow(m_parent, nullptr);
}

int Rir_picture_ui::GetSpinnerPhase() const { return m_motion->spinnerPhase.load(); }
int Rir_picture_ui::GetBarBottom() const { return m_motion->barBottom.load(); }
bool Rir_picture_ui::IsBarHidden() const { return m_motion->barHidden.load(); }
bool Rir_picture_ui::IsSlideRunning() const { return m_motion->slideRunning.load(); }
bool Rir_picture_ui::IsSwapRunning() const { return m_motion->swapRunning.load(); }
unsigned Rir_picture_ui::GetDecodeCount() const { return m_pictures->DecodeCount(); }

void Rir_picture_ui::SetNeighbours(const std::wstring& before, const std::wstring& after)
{
    m_before = before;
    m_after = after;
    KeepWanted();
}

// The current picture, its neighbours and, while it slides away, the one before.
void Rir_picture_ui::KeepWanted()
{
    const bool swapping = m_motion->swapRunning.load();
    m_pictures->KeepOnly({&m_currentPath, &m_before, &m_after, swapping ? &m_previousPath : nullptr});
}

bool Rir_picture_ui::TakeDecoded(const std::wstring& path, std::unique_ptr<Gdiplus::Bitmap> picture, SIZE natural,
    ULONGLONG size, const FILETIME& written)
{
    if (path.empty() || (path != m_currentPath && path != m_before && path != m_after))
        return false;
    KeepWanted();
    StopAwaiting(path);
    if (!m_pictures->Adopt(path, std::move(picture), natural, size, written))
        return false;
    if (path == m_currentPath)
        InvalidateIfWindow(m_parent, &m_rect);
    return true;
}

bool Rir_picture_ui::HoldsDecoded(const std::wstring& path) const { return m_pictures->Holds(path); }

void Rir_picture_ui::AwaitDecoded(const std::wstring& path)
{
    if (path == m_currentPath && !m_pictures->Holds(path))
        m_awaited = path;
}

void Rir_picture_ui::StopAwaiting(const std::wstring& path)
{
    if (path != m_awaited)
        return;
    m_awaited.clear();
    InvalidateIfWindow(m_parent, &m_rect);
}

int Rir_picture_ui::DecodedHeld() const { return m_pictures->HeldCount(); }

int Rir_picture_ui::PictureTop(int height) const { return CurrentFit().Top(height); }

PictureFit Rir_picture_ui::CurrentFit() const
{
    PictureFit fit;
    fit.right = m_rect.right;
    fit.bottom = m_rect.bottom;
    fit.barBottom = m_motion->barBottom.load();
    fit.point = m_messenger && !m_motion->barHidden.load() ? m_messenger->get_point_y() : -1;
    fit.areaTop = Px(kPictureAreaTop);
    return fit;
}

RECT Rir_picture_ui::LayoutPicture(int width, int height) const { return CurrentFit().Place(width, height); }

int PictureFit::Top(int height) const { return height < bottom ? (bottom - height) / 2 : barBottom; }

// Where a picture of width x height is drawn: with the messenger and the bar
// shown, a picture that would reach below the messenger's point is scaled to
// fit between the bar and that point; otherwise pictures smaller than the
// viewer in either direction keep their size and larger ones are scaled to
// the viewer's height. Always centred horizontally.
RECT PictureFit::Place(int width, int height) const
{
    if (width <= 0 || height <= 0)
        return RECT{};
    const double aspect = static_cast<double>(width) / height;
    int w = width;
    int h = height;
    int top = Top(height);
    if (point >= 0 && height < bottom) {
        const int available = point - areaTop;
        // A point above the bar leaves no room to scale into.
        if (available > 0 && height >= available) {
            h = available;
            w = static_cast<int>(aspect * available);
            top = areaTop;
        }
    } else if (height >= bottom && width >= right) {
        h = bottom;
        w = static_cast<int>(bottom * aspect);
    }
    const int left = (right - w) / 2;
    return RECT{left, top, left + w, top + h};
}

// The file of the picture chosen is not there yet, so the spinner turns.
bool Rir_picture_ui::SpinnerOnShow()
{
    if (!m_hasPicture || m_defaultPicture || m_motion->swapRunning.load())
        return false;
    const RECT place = GetPictureRect();
    return IsRectEmpty(&place) != FALSE;
}

RECT Rir_picture_ui::GetPictureRect()
{
    if (Awaits(m_currentPath))
        return RECT{};
    const SIZE size = m_pictures->PictureSize(m_currentPath);
    if (size.cx <= 0 || size.cy <= 0)
        return RECT{};
    return LayoutPicture(size.cx, size.cy);
}

void Rir_picture_ui::OnPaint(HDC hdc)
{
    if (m_visible)
        DrawPicture(hdc);
}

void Rir_picture_ui::DrawPicture(HDC hdc)
{
    if (!m_imageL)
        return;
    const int saved = SaveDC(hdc);
    IntersectClipRect(hdc, m_rect.left, m_rect.top, m_rect.right, m_rect.bottom);
    // One look at what the threads move, so the shade and the picture agree.
    const bool shown = m_hasPicture && !m_defaultPicture;
    const bool swapping = shown && m_motion->swapRunning.load();
    const RECT place = shown && !swapping ? GetPictureRect() : RECT{};
    const bool current = !IsRectEmpty(&place);
    if (current)
        KeepWanted();
    if (swapping) {
        const SwapFrame frame = CurrentSwapFrame();
        Darken(hdc, frame.previousCovers, frame.currentCovers);
        DrawSwap(hdc, frame);
    } else {
        Darken(hdc, CoveredArea(current, place));
    }
    if (m_defaultPicture)
        DrawDefaultPicture(hdc);
    else if (shown && !swapping)
        DrawCurrent(hdc, current, place);
    DrawBar(hdc);
    if (!m_motion->barHidden.load()) {
        DrawTitle(hdc);
        m_minimize.OnPaint(hdc);
        m_close.OnPaint(hdc);
    }
    RestoreDC(hdc, saved);
}

void Rir_picture_ui::SetBackdrop(COLORREF colour)
{
    if (m_hasBackdrop && colour == m_backdrop)
        return;
    m_hasBackdrop = true;
    m_backdrop = colour;
    m_shadedBackdrop = ShadedPixel(colour, kShadeAlpha);
}

RECT Rir_picture_ui::ShadedArea() const
{
    RECT area{};
    const RECT screen{0, 0, m_rect.right, m_rect.bottom};
    IntersectRect(&area, &screen, &m_rect);
    return area;
}

bool Rir_picture_ui::CoversWithBackdrop(const RECT& area) const
{
    if (!m_visible || !m_imageL || !m_hasBackdrop)
        return false;
    const RECT shaded = ShadedArea();
    RECT both{};
    UnionRect(&both, &shaded, &area);
    return EqualRect(&both, &shaded) != FALSE;
}

// Black at kShadeAlpha over what lies there or, with a backdrop, the same
// look written straight: shading costs a read and four look-ups per pixel.
// What the picture covers is left out of the writing.
void Rir_picture_ui::Darken(HDC hdc, const RECT& covered, const RECT& alsoCovered) const
{
    const RECT area = ShadedArea();
    if (!m_hasBackdrop) {
        ShadeRect(hdc, area, kShadeAlpha);
        return;
    }
    if (FillPixels(hdc, area, m_shadedBackdrop, {covered, alsoCovered}))
        return;
    win32kit::ScopedGdiObject<HBRUSH> brush(CreateSolidBrush(m_backdrop));
    FillRect(hdc, &area, brush.Get());
    ShadeRect(hdc, area, kShadeAlpha);
}

int Rir_picture_ui::DefaultTop() const { return static_cast<int>((m_rect.bottom - m_defaultSize.cy) * 0.5); }

CPaintKey Rir_picture_ui::DefaultKey() const
{
    CPaintKey key;
    key << m_defaultSize.cx << m_defaultSize.cy;
    return key;
}

CPaintKey Rir_picture_ui::PictureKey(const std::wstring& path, const RECT& place) const
{
    CPaintKey key;
    key << m_pictures->Serial(path) << Width(place) << Height(place);
    return key;
}

// Where path's picture lies on screen when the ready copy is of it; empty
// otherwise.
RECT Rir_picture_ui::ReadyPlace(const std::wstring& path)
{
    const SIZE size = m_pictures->PictureSize(path);
    if (size.cx <= 0 || size.cy <= 0)
        return RECT{};
    const RECT place = LayoutPicture(size.cx, size.cy);
    return m_pictureCache.IsCurrent(PictureKey(path, place).Bytes()) ? place : RECT{};
}

// Where the picture about to be drawn is opaque: all of it when drawn
// straight, else as its ready copy knows it; empty when that copy is about
// to be made again.
RECT Rir_picture_ui::CoveredArea(bool current, const RECT& place)
{
    if (m_defaultPicture) {
        if (m_defaultImage || !m_defaultCache.IsCurrent(DefaultKey().Bytes()))
            return RECT{};
        return m_defaultCache.OpaqueArea(0, DefaultTop());
    }
    if (current && DrawnStraight(place))
        return place;
    if (!current || !m_pictureCache.IsCurrent(PictureKey(m_currentPath, place).Bytes()))
        return RECT{};
    return m_pictureCache.OpaqueArea(place.left, place.top);
}

// Kept as a ready picture: a GDI+ draw of a screen-wide picture costs tens of
// milliseconds per paint under some GDI+ builds, a copy about one. Once the
// copy exists the decoded picture is let go.
void Rir_picture_ui::DrawDefaultPicture(HDC hdc)
{
    if (m_defaultMaking->Pending())
        m_defaultImage = m_defaultMaking->Take();
    if (m_defaultImage) {
        m_defaultSize = SIZE{ImageWidth(m_defaultImage.get()), ImageHeight(m_defaultImage.get())};
    }
    const int w = m_defaultSize.cx;
    const int h = m_defaultSize.cy;
    if (w <= 0 || h <= 0)
        return;
    const CPaintKey key = DefaultKey();
    Gdiplus::Bitmap* image = m_defaultImage.get();
    PaintCached(
        m_defaultCache, hdc, 0, DefaultTop(), key,
        [&] {
            return RECT{0, 0, w, h};
        },
        [&](HDC dc, int x, int y) {
            // Scaled to the screen's width when made: its rows go over as they are.
            if (!image || CopyRows(dc, x, y, *image))
                return;
            Gdiplus::Graphics g(dc);
            DrawImagePart(g, image, x, y, 0, 0, w, h);
        });
    if (m_defaultCache.IsCurrent(key.Bytes()))
        m_defaultImage.reset();
}

// The current picture when it is held decoded at the size it is shown at
// and opaque (decoded ahead, it is): its rows are copied as they are, so
// no ready copy is needed.
Gdiplus::Bitmap* Rir_picture_ui::DrawnStraight(const RECT& place)
{
    if (!m_pictures->Holds(m_currentPath) || !m_pictures->Opaque(m_currentPath))
        return nullptr;
    Gdiplus::Bitmap* picture = m_pictures->Find(m_currentPath);
    if (!picture || ImageWidth(picture) != Width(place) || ImageHeight(picture) != Height(place))
        return nullptr;
    return picture;
}

// Once the ready copy is made the decoded pixels are let go (a screen-sized
// picture is ten megabytes); a change of size decodes the file again. An
// opaque picture held at its size is drawn straight instead, which costs a
// copy of the rows shown, as much as drawing the ready copy would.
void Rir_picture_ui::DrawCurrent(HDC hdc, bool known, const RECT& place)
{
    if (!known) {
        DrawSpinner(hdc);
        return;
    }
    if (Gdiplus::Bitmap* picture = DrawnStraight(place)) {
        m_pictureCache.Release();
        DrawAsIs(hdc, *picture, place.left, place.top, true);
        return;
    }
    const int w = Width(place);
    const int h = Height(place);
    const CPaintKey key = PictureKey(m_currentPath, place);
    PaintCached(
        m_pictureCache, hdc, place.left, place.top, key,
        [&] {
            return RECT{0, 0, w, h};
        },
        [&](HDC dc, int x, int y) {
            Gdiplus::Bitmap* picture = m_pictures->Find(m_currentPath);
            if (!picture || (ImageWidth(picture) == w && ImageHeight(picture) == h && CopyRows(dc, x, y, *picture)))
                return;
            Gdiplus::Graphics g(dc);
            g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBilinear);
            g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
            DrawImageStretched(g, picture, Gdiplus::Rect(x, y, w, h), 0, 0, ImageWidth(picture), ImageHeight(picture));
        });
    if (m_pictureCache.IsCurrent(key.Bytes()))
        m_pictures->Unload(m_currentPath);
}

void Rir_picture_ui::DrawSpinner(HDC hdc)
{
    // Decoded when first wanted: a start paints the default picture, and
    // the spinner's sheet would hold its first paint back.
    if (!m_spinnerLoaded) {
        m_spinner = LoadPngResource(kViewerSpinnerResource);
        m_spinnerLoaded = true;
    }
    const int x = m_rect.right / 2;
    const int y = m_rect.bottom / 2;
    if (m_spinner) {
        Gdiplus::Graphics g(hdc);
        DrawImagePart(g, m_spinner.get(), x, y, m_motion->spinnerPhase.load(), 0, kSpinnerFrame, kSpinnerFrame);
    }
    if (!m_messenger)
        return;
    const std::wstring percent = m_messenger->get_download_percent();
    if (percent.empty())
        return;
    Gdiplus::StringFormat format;
    format.SetAlignment(Gdiplus::StringAlignmentNear);
    // Arial 12 pt: 16 pixels at 96 dots per inch.
    DrawTextGdiplus(hdc, percent + L"%", L"Arial", -Px(16), RGB(255, 255, 255),
        Gdiplus::RectF(static_cast<float>(x - Px(5)), static_cast<float>(y + Px(30)), static_cast<float>(Px(100)),
            static_cast<float>(Px(20))),
        &format, false, FW_BOLD);
}

// The threads move the pictures meanwhile: one look, so the shade behind
// and the pictures agree.
Rir_picture_ui::SwapFrame Rir_picture_ui::CurrentSwapFrame()
{
    const ViewerMotion& m = *m_motion;
    SwapFrame frame;
    const RECT previousPlace = ReadyPlace(m_previousPath);
    frame.fromReady = !IsRectEmpty(&previousPlace);
    frame.previousAt = POINT{m.previousX.load(), previousPlace.top};
    if (frame.fromReady) {
        frame.previousCovers = m_pictureCache.OpaqueArea(frame.previousAt.x, frame.previousAt.y);
    } else if ((frame.previous = m_pictures->Find(m_previousPath)) != nullptr) {
        // Both stay in the file cache while the swap runs.
        const int h = ImageHeight(frame.previous);
        frame.previousAt.y = PictureTop(h);
        frame.previousOpaque = m_pictures->Opaque(m_previousPath);
        if (frame.previousOpaque)
            frame.previousCovers = RECT{frame.previousAt.x, frame.previousAt.y,
                frame.previousAt.x + ImageWidth(frame.previous), frame.previousAt.y + h};
    }
    if ((frame.current = m_pictures->Find(m_currentPath)) != nullptr) {
        const int h = ImageHeight(frame.current);
        frame.currentAt = POINT{m_rect.right - m.currentOffset.load(), PictureTop(h)};
        frame.currentOpaque = m_pictures->Opaque(m_currentPath);
        if (frame.currentOpaque)
            frame.currentCovers = RECT{frame.currentAt.x, frame.currentAt.y,
                frame.currentAt.x + ImageWidth(frame.current), frame.currentAt.y + h};
    }
    return frame;
}

void Rir_picture_ui::DrawSwap(HDC hdc, const SwapFrame& frame)
{
    if (frame.fromReady)
        m_pictureCache.Draw(hdc, frame.previousAt.x, frame.previousAt.y);
    if (frame.previous)
        DrawAsIs(hdc, *frame.previous, frame.previousAt.x, frame.previousAt.y, frame.previousOpaque);
    if (frame.current)
        DrawAsIs(hdc, *frame.current, frame.currentAt.x, frame.currentAt.y, frame.currentOpaque);
}

void Rir_picture_ui::DrawBar(HDC hdc)
{
    const int bar = m_motion->barBottom.load();
    if (bar <= 0)
        return;
    const int leftWidth = ImageWidth(m_imageShowL);
    const int rightWidth = ImageWidth(m_imageShowR);
    const int rightX = m_screenWidth - rightWidth;
    CPaintKey key;
    key << bar << m_screenWidth << m_imageShowL << m_imageShowM << m_imageShowR;
    PaintCached(
        m_barCache, hdc, 0, 0, key,
        [&] {
            return RECT{0, 0, m_screenWidth, bar};
        },
        [&](HDC dc, int x, int y) {
            Gdiplus::Graphics g(dc);
            const auto stretch = [&](Gdiplus::Bitmap* image, int left, int width) {
                if (!image)
                    return;
                DrawImageStretched(
                    g, image, Gdiplus::Rect(x + left, y, width, bar), 0, 0, ImageWidth(image), ImageHeight(image));
            };
            stretch(m_imageShowL, 0, leftWidth);
            stretch(m_imageShowM, leftWidth, rightX - leftWidth);
            stretch(m_imageShowR, rightX, rightWidth);
        });
}

void Rir_picture_ui::DrawTitle(HDC hdc)
{
    const int w = ImageWidth(m_imageL);
    const int h = ImageHeight(m_imageL);
    const int cap = Px(kTitleCap);
    const int stretch = Px(kTitleStretch);
    const int tail = std::min(Px(kTitleTail), w);
    CPaintKey key;
    key << m_imageL << m_dpi;
    PaintCached(
        m_titleCache, hdc, m_rect.left, m_rect.top, key,
        [&] {
            return RECT{0, 0, cap + stretch + tail, h};
        },
        [&](HDC dc, int x, int y) {
            Gdiplus::Graphics g(dc);
            DrawImagePart(g, m_imageL, x, y, 0, 0, std::min(cap, w), h);
            if (w > cap) {
                DrawImageStretched(g, m_imageL, Gdiplus::Rect(x + cap, y, stretch, h), cap, 0, 1, h);
            }
            DrawImagePart(g, m_imageL, x + cap + stretch, y, w - tail, 0, tail, h);
        });
}
