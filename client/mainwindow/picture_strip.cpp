#include "picture_strip.h"

#include "cache_downloader.h"
#include "downloader.h"
#include "http_transport.h"
#include "picture_cache.h"
#include "program_folder.h"
#include "resource_ids.h"
#include "skinkit/dpi.h"
#include "skinkit/paint_cache.h"
#include "skinkit/picture.h"
#include "skinkit/pixel_blend.h"
#include "win32/desktop_info.h"
#include "win32/wide_text.h"
#include "window_messages.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr int kSlotWidth = 155;
constexpr int kPaintedSlots = 6;
constexpr int kHoverSlots = 5;
constexpr int kZoomSteps = 10;
constexpr int kScrollSteps = 39;
// How far the pointer drift moves a placeholder (in feed mode; less in the
// others) and a zoom grows a thumbnail beyond its slot.
constexpr int kMostDrift = 50;
constexpr int kDrawnBeyondSlot = kMostDrift + kZoomSteps;
constexpr UINT kZoomMs = 20;
constexpr UINT kTrackMs = 50;
constexpr UINT kScrollMs = 20;
constexpr std::size_t kMaxThumbnails = 32;
const Gdiplus::Color kDim(0x64, 0, 0, 0);
const Gdiplus::Color kLoadingFill(0xB4, 0x64, 0x64, 0x64);
const Gdiplus::Color kLoadingText(0xFE, 0x78, 0x78, 0x78);

bool Same(const FILETIME& a, const FILETIME& b)
{
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// Where a picture lands in a box: tall ones fill its height, wide ones its
// width, centred the other way.
Gdiplus::Rect Fitted(int pictureWidth, int pictureHeight, const Gdiplus::Rect& box)
{
    if (pictureWidth <= 0 || pictureHeight <= 0)
        return box;
    if (pictureHeight >= pictureWidth) {
        const int w = std::max(1, MulDiv(pictureWidth, box.Height, pictureHeight));
        return {box.X + (box.Width - w) / 2, box.Y, w, box.Height};
    }
    const int h = std::max(1, MulDiv(pictureHeight, box.Width, pictureWidth));
    return {box.X, box.Y + (box.Height - h) / 2, box.Width, h};
}

std::unique_ptr<BlendPicture> ScaledInto(Gdiplus::Bitmap& picture, int width, int height)
{
    const Gdiplus::Rect fit = Fitted(int(picture.GetWidth()), int(picture.GetHeight()), {0, 0, width, height});
    auto scaled = std::make_unique<BlendPicture>();
    if (!scaled->Create(fit.Width, fit.Height))
        return nullptr;
    auto canvas = scaled->Canvas();
    if (!canvas)
        return nullptr;
    Gdiplus::Graphics g(canvas.get());
    g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
    g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    g.DrawImage(&picture, Gdiplus::Rect(0, 0, fit.Width, fit.Height));
    return scaled;
}

// A PNG of the program's own resources, copied out so no stream stays open.
std::unique_ptr<Gdiplus::Bitmap> ProgramPng(int id)
{
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    return bytes ? LoadPictureBytes(bytes, SizeofResource(module, found)) : nullptr;
}

void Move(RECT& rect, int dy)
{
    rect.top += dy;
    rect.bottom += dy;
}

}  // namespace

bool BlendPicture::Create(int width, int height)
{
    if (width <= 0 || height <= 0 || !m_surface.Create_compatible_dc(nullptr, width, height, 1))
        return false;
    std::memset(m_surface.Bits(), 0, std::size_t(width) * std::size_t(height) * 4);
    return true;
}

// The DIB runs bottom-up: the canvas starts at its last row and steps back.
std::unique_ptr<Gdiplus::Bitmap> BlendPicture::Canvas()
{
    const int stride = Width() * 4;
    if (!m_surface.Bits() || stride <= 0)
        return nullptr;
    BYTE* top = static_cast<BYTE*>(m_surface.Bits()) + std::size_t(Height() - 1) * std::size_t(stride);
    auto canvas = std::make_unique<Gdiplus::Bitmap>(Width(), Height(), -stride, PixelFormat32bppPARGB, top);
    if (canvas->GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    return canvas;
}

void BlendPicture::Blend(HDC dc, int x, int y) const
{
    if (!m_surface.Bits())
        return;
    // Drawn through a premultiplied canvas: every pixel is premultiplied.
    skinkit::PixelRows pixels;
    pixels.width = Width();
    pixels.height = Height();
    pixels.stride = -pixels.width;
    pixels.top = static_cast<const UINT32*>(m_surface.Bits()) + std::size_t(Height() - 1) * std::size_t(Width());
    pixels.premultiplied = true;
    if (skinkit::BlendStraight(dc, x, y, pixels, RECT{0, 0, Width(), Height()}))
        return;
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    GdiAlphaBlend(dc, x, y, Width(), Height(), m_surface.get_ghost(), 0, 0, Width(), Height(), blend);
}

ThumbnailCache::Entry* ThumbnailCache::Lookup(const std::wstring& path)
{
    auto found = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& e) { return e.path == path; });
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)
        || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (found != m_entries.end())
            m_entries.erase(found);
        return nullptr;
    }
    const ULONGLONG size = (ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (found != m_entries.end()) {
        m_entries.splice(m_entries.begin(), m_entries, found);
        Entry& entry = m_entries.front();
        if (entry.size == size && Same(entry.written, data.ftLastWriteTime))
            return &entry;
        m_entries.pop_front();
    }
    // An empty or broken file is remembered too, so it is not decoded per paint.
    Entry entry;
    entry.path = path;
    entry.size = size;
    entry.written = data.ftLastWriteTime;
    m_original = Decode(path);
    m_originalPath = path;
    entry.readable = m_original != nullptr;
    m_entries.push_front(std::move(entry));
    if (m_entries.size() > kMaxThumbnails)
        m_entries.pop_back();
    return &m_entries.front();
}

std::unique_ptr<Gdiplus::Bitmap> ThumbnailCache::Decode(const std::wstring& path)
{
    ++m_decodes;
    return LoadPictureFile(path);
}

Gdiplus::Bitmap* ThumbnailCache::Original(const std::wstring& path)
{
    Entry* entry = Lookup(path);
    if (!entry || !entry->readable)
        return nullptr;
    if (path != m_originalPath || !m_original) {
        m_original = Decode(path);
        m_originalPath = path;
    }
    return m_original.get();
}

const BlendPicture* ThumbnailCache::Find(const std::wstring& path, int width, int height)
{
    Entry* entry = Lookup(path);
    if (!entry || !entry->readable)
        return nullptr;
    if (entry->scaled && entry->width == width && entry->height == height)
        return entry->scaled.get();
    Gdiplus::Bitmap* original = Original(path);
    if (!original)
        return nullptr;
    entry->scaled = ScaledInto(*original, width, height);
    entry->width = width;
    entry->height = height;
    return entry->scaled.get();
}

PictureStrip::PictureStrip() = default;

PictureStrip::~PictureStrip()
{
    if (m_window && IsWindow(m_window)) {
        for (UINT_PTR id : {kStripZoomTimer, kStripTrackTimer, kStripScrollTimer})
            KillTimer(m_window, id);
    }
}

bool PictureStrip::Create(
    HWND window, bool visible, std::shared_ptr<FeedStore> store, std::shared_ptr<Downloader> downloads)
{
    if (!window || !IsWindow(window) || !store || !downloads)
        return false;
    m_window = window;
    m_visible = visible;
    m_store = std::move(store);
    m_downloads = std::move(downloads);
    m_next.Create(window, CMD_STRIP_NEXT);
    m_before.Create(window, CMD_STRIP_BEFORE);
    m_next.ShowWindow(false);
    m_before.ShowWindow(false);
    m_spinner = ProgramPng(QUARN_SPINNER_PNG);
    m_loading = ProgramPng(QUARN_LOADING_PNG);
    SetDpi(skinkit::WindowDpi(window));
    return true;
}

void PictureStrip::SetDpi(int dpi)
{
    m_dpi = dpi;
    auto next = skinkit::LoadSkinPicture(ResourceFolder() + L"navigate_next.png", dpi);
    auto before = skinkit::LoadSkinPicture(ResourceFolder() + L"navigate_before.png", dpi);
    m_next.SetAttribute(next.get());
    m_before.SetAttribute(before.get());
    m_nextImage = std::move(next);
    m_beforeImage = std::move(before);
    m_placeholderKey.clear();
    SetGeometry(Px(128), Px(128), Px(149), 4);
}

void PictureStrip::SetGeometry(int w, int h, int t, int n)
{
    m_w = w;
    m_h = h;
    m_t = t;
    m_n = n;
    m_b = t + w * n;
    for (int i = 0; i < 8; ++i)
        m_slots[i] = RECT{100, t + h * i, 100 + w, t + h * (i + 1)};
}

void PictureStrip::Anchor(int x)
{
    for (RECT& slot : m_slots) {
        slot.left = x;
        slot.right = x + Px(kSlotWidth);
    }
    m_next.SetWindowRect(x + m_w + Px(15), m_b - Px(29), x + m_w + Px(32), m_b);
    m_before.SetWindowRect(x + m_w + Px(15), m_b - Px(58), x + m_w + Px(32), m_b - Px(29));
    m_area = RECT{x, m_t, x + m_w, m_b};
    m_next.ShowWindow(true);
    m_before.ShowWindow(true);
    m_dx = m_dy = 0;
    m_origin = POINT{};
    m_hovered = -1;
}

void PictureStrip::SetSource(int mode, int feedNumber, const std::string& key, int first)
{
    // A scroll of the previous source must not move the new one.
    KillTimer(m_window, kStripScrollTimer);
    m_scrollBusy = false;
    m_mode = mode;
    m_feedNumber = feedNumber;
    m_key = mode == kFeedSource ? std::string() : key;
    m_first = std::max(0, first);
}

void PictureStrip::ResetScroll()
{
    KillTimer(m_window, kStripScrollTimer);
    m_scrollBusy = false;
    m_scrollDirection = 0;
    m_scrollSteps = 0;
    const int left = m_slots[0].left;
    SetGeometry(m_w, m_h, m_t, m_n);
    for (RECT& slot : m_slots) {
        slot.left = left;
        slot.right = left + Px(kSlotWidth);
    }
    Repaint();
}

void PictureStrip::FollowFeed(int feedNumber)
{
    if (m_mode == kFeedSource && m_feedNumber == feedNumber)
        return;
    SetSource(kFeedSource, feedNumber, {}, 0);
}

void PictureStrip::SetVisible(bool visible)
{
    m_visible = visible;
    if (!visible)
        m_hovered = -1;
    Repaint();
}

bool PictureStrip::Covers(POINT point) const
{
    if (!m_visible)
        return false;
    const RECT column{m_slots[0].left, m_t, m_slots[0].right, m_b};
    return PtInRect(&column, point) || OverArrow(point);
}

PictureListId PictureStrip::List() const { return PictureListId{m_feedNumber, m_key}; }

FeedStore::PicturePtr PictureStrip::Picture(int index) const
{
    if (!m_store || index < 0)
        return nullptr;
    return m_store->Picture(List(), std::size_t(index));
}

int PictureStrip::Count() const { return m_store ? int(m_store->PictureCount(List())) : 0; }

bool PictureStrip::Scrolls() const { return !Answered() || Count() > m_n; }

bool PictureStrip::Answered() const { return m_store && m_store->Answer(m_feedNumber, m_key) != nullptr; }

std::string PictureStrip::ThumbnailPath(int index) const
{
    const FeedStore::PicturePtr picture = Picture(index);
    return picture ? picture->thumbnailPath : std::string();
}

std::string PictureStrip::LargePath(int index) const
{
    const FeedStore::PicturePtr picture = Picture(index);
    if (!picture)
        return {};
    m_downloads->FetchLarge(WithResolutionFor(picture->largeUrl, PrimaryScreenWidth()), picture->largePath);
    return picture->largePath;
}

// The downloader fetches only when the file is missing or not a picture.
void PictureStrip::FetchThumbnail(int index) const
{
    const FeedStore::PicturePtr picture = Picture(index);
    if (!picture || picture->thumbnailUrl.empty())
        return;
    // Looked at here first: a worker started only to find the file there
    // costs more than the look, on every hover that drops the strip. The
    // file is noted as used all the same, as that worker would.
    if (IsValidCachedFile(picture->thumbnailPath))
        m_downloads->HoldPicture(picture->thumbnailPath);
    else
        m_downloads->FetchIfMissing(picture->thumbnailUrl, picture->thumbnailPath);
}

void PictureStrip::Preload(int first)
{
    const int count = Count();
    for (int index = std::max(0, first); index < first + 6 && index < count - 1; ++index)
        FetchThumbnail(index);
}

void PictureStrip::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!m_visible)
        return;
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (msg) {
    case WM_MOUSEMOVE:
        OnMouseMove(point);
        break;
    case WM_LBUTTONUP:
        OnClick(point);
        break;
    case WM_MOUSEWHEEL:
        OnWheel(point, GET_WHEEL_DELTA_WPARAM(wParam));
        break;
    default:
        break;
    }
    if (!Scrolls())
        return;
    m_next.WindowProc(hwnd, msg, wParam, lParam);
    m_before.WindowProc(hwnd, msg, wParam, lParam);
}

// Only within the column: the slots below it wait there for a scroll, unseen.
int PictureStrip::SlotAt(POINT point, int slots) const
{
    if (point.y < m_t || point.y >= m_b)
        return -1;
    for (int i = 0; i < slots; ++i) {
        if (PtInRect(&m_slots[i], point))
            return i;
    }
    return -1;
}

bool PictureStrip::OverArrow(POINT point) const
{
    const RECT next = m_next.GetWindowRect();
    const RECT before = m_before.GetWindowRect();
    return Scrolls()
        && ((m_next.IsWindowVisible() && PtInRect(&next, point))
            || (m_before.IsWindowVisible() && PtInRect(&before, point)));
}

void PictureStrip::OnMouseMove(POINT point)
{
    if (point.y < m_slots[0].top)
        return;
    const int slot = SlotAt(point, kHoverSlots);
    if (slot >= 0) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        if (!m_tracking) {
            m_dx = m_dy = 0;
            m_tracking = true;
            m_trackedFeed = m_feedNumber;
            SetTimer(m_window, kStripTrackTimer, kTrackMs, nullptr);
        }
        if (slot != m_hovered) {
            m_dx = m_dy = 0;
            m_oldHovered = m_hovered;
            m_hovered = slot;
            StartZoom();
        }
        return;
    }
    if (point.x < m_slots[0].left || point.x > m_slots[5].right + Px(30)) {
        Repaint();
        m_visible = false;
    }
}

void PictureStrip::OnClick(POINT point)
{
    if (OverArrow(point))
        return;
    const int slot = SlotAt(point, kPaintedSlots);
    if (slot < 0)
        return;
    const int index = slot + m_first;
    if (index >= Count())
        return;
    const std::string large = LargePath(index);
    if (large.empty())
        return;
    m_sending = true;
    SendMessageW(m_window, UM_SHOW_LARGE_PICTURE, 0, reinterpret_cast<LPARAM>(&large));
    SendMessageW(m_window, UM_SHOW_PICTURE_INFO, WPARAM(m_feedNumber), LPARAM(index));
    m_sending = false;
}

// The wheel's position comes in screen coordinates.
void PictureStrip::OnWheel(POINT screenPoint, int delta)
{
    POINT point = screenPoint;
    ScreenToClient(m_window, &point);
    if (!PtInRect(&m_area, point))
        return;
    if (delta < 0 && m_first < Count() - 4)
        ++m_first;
    else if (delta > 0 && m_first > 0)
        --m_first;
    Repaint();
}

void PictureStrip::StartZoom()
{
    m_zooming = true;
    m_dx = m_dy = 0;
    m_zoomStep = 1;
    Repaint();
    SetTimer(m_window, kStripZoomTimer, kZoomMs, nullptr);
}

void PictureStrip::ZoomStep()
{
    if (m_zoomStep < kZoomSteps) {
        ++m_zoomStep;
        Repaint();
        return;
    }
    KillTimer(m_window, kStripZoomTimer);
    m_zoomStep = 0;
    m_dx = m_dy = 0;
    m_zooming = false;
    GetCursorPos(&m_origin);
    ScreenToClient(m_window, &m_origin);
    Repaint();
}

void PictureStrip::TrackStep()
{
    POINT point{};
    GetCursorPos(&point);
    ScreenToClient(m_window, &point);
    if (point.x < m_slots[0].left || point.x > m_slots[0].right || m_feedNumber != m_trackedFeed) {
        EndTracking();
        return;
    }
    if (OverArrow(point)) {
        m_dx = m_dy = 0;
    } else if (!m_zooming && m_mode != kTagSource) {
        const int bound = Px(m_mode == kFeedSource ? kMostDrift : 10);
        m_dx = std::clamp(int(point.x - m_origin.x) / 2, -bound, bound);
        m_dy = std::clamp(int(point.y - m_origin.y), -bound, bound);
    }
    Repaint();
}

// The column stacks again at the row height: a fixed pitch shorter than the
// thumbnails would lay each over the one above.
void PictureStrip::EndTracking()
{
    KillTimer(m_window, kStripTrackTimer);
    m_tracking = false;
    Restack(m_h);
    Repaint();
}

void PictureStrip::Restack(int pitch)
{
    for (int i = 0; i < kPaintedSlots; ++i) {
        m_slots[i].top = m_t + pitch * i;
        m_slots[i].bottom = m_slots[i].top + m_h;
    }
}

void PictureStrip::OnCommand(WORD id)
{
    if (!m_visible || m_scrollBusy)
        return;
    if (id == CMD_STRIP_NEXT) {
        const int count = Count();
        for (int index = m_first + 4; index <= m_first + 7 && index < count; ++index)
            FetchThumbnail(index);
        m_scrollDirection = 1;
    } else if (id == CMD_STRIP_BEFORE) {
        m_scrollDirection = -1;
    } else {
        return;
    }
    m_scrollBusy = true;
    m_scrollSteps = 0;
    SetTimer(m_window, kStripScrollTimer, kScrollMs, nullptr);
}

void PictureStrip::ScrollStep()
{
    const int count = Count();
    // A tag list stops where the wheel does rather than scrolling past its end.
    const int last = m_mode == kPersonSource ? count - 3 : m_mode == kTagSource ? count - 4 : count - 5;
    const bool done = m_scrollSteps >= kScrollSteps || (m_scrollDirection > 0 ? m_first >= last : m_first <= 0);
    if (done) {
        KillTimer(m_window, kStripScrollTimer);
        m_scrollBusy = false;
        return;
    }
    ++m_scrollSteps;
    if (m_scrollDirection > 0) {
        for (int i = 0; i < kHoverSlots; ++i)
            Move(m_slots[i], -Px(10));
        if (m_slots[0].bottom <= m_t) {
            for (int i = 0; i < 4; ++i)
                m_slots[i] = m_slots[i + 1];
            m_slots[4] = RECT{m_slots[3].left, m_slots[3].bottom, m_slots[3].right, m_slots[3].bottom + m_h};
            ++m_first;
            if (m_hovered >= 0)
                --m_hovered;
        }
    } else {
        for (int i = 0; i < kHoverSlots; ++i)
            Move(m_slots[i], Px(10));
        if (m_slots[0].top > m_t && m_first > 0) {
            for (int i = 4; i > 0; --i)
                m_slots[i] = m_slots[i - 1];
            m_slots[0] = RECT{m_slots[1].left, m_slots[1].top - m_h, m_slots[1].right, m_slots[1].top};
            --m_first;
            // Nothing hovered stays so; the hovered picture moves down a slot.
            if (m_hovered >= 0)
                ++m_hovered;
        }
    }
    Repaint();
}

bool PictureStrip::OnTimer(UINT_PTR id)
{
    switch (id) {
    case kStripZoomTimer:
        ZoomStep();
        return true;
    case kStripTrackTimer:
        TrackStep();
        return true;
    case kStripScrollTimer:
        ScrollStep();
        return true;
    default:
        return false;
    }
}

void PictureStrip::OnPictureArrived(std::uint32_t key)
{
    if (m_visible && std::find(m_waiting.begin(), m_waiting.end(), key) != m_waiting.end())
        Repaint();
}

RECT PictureStrip::PaintArea() const
{
    return RECT{m_slots[0].left - Px(kDrawnBeyondSlot), m_t, m_slots[0].right + Px(kDrawnBeyondSlot), m_b};
}

void PictureStrip::Repaint() const
{
    if (!m_window)
        return;
    const RECT area = PaintArea();
    InvalidateRect(m_window, &area, FALSE);
}

const BlendPicture* PictureStrip::Placeholder(bool none)
{
    const int w = m_slots[0].right - m_slots[0].left;
    const int h = m_slots[0].bottom - m_slots[0].top;
    CPaintKey shape;
    shape << w << h << m_mode << none;
    const std::string key = shape.Bytes();
    if (m_placeholderKey == key)
        return &m_placeholder;
    m_placeholderKey.clear();
    if (!m_placeholder.Create(w, h))
        return nullptr;
    auto canvas = m_placeholder.Canvas();
    if (!canvas)
        return nullptr;
    Gdiplus::Graphics g(canvas.get());
    Gdiplus::SolidBrush fill(kLoadingFill);
    g.FillRectangle(&fill, 0, 0, w, h);
    const int textX = Px(m_mode == kPersonSource ? 25 : 45);
    const int spinner = Px(20);
    const int textY = (h - spinner) / 2;
    if (m_spinner && textX >= Px(22) && !none)
        g.DrawImage(
            m_spinner.get(), Gdiplus::Rect(textX - Px(22), textY, spinner, spinner), 0, 0, 20, 20, Gdiplus::UnitPixel);
    Gdiplus::FontFamily family(L"宋体");
    // A bitmap's points are 96-DPI ones: 9 points in the window's pixels.
    Gdiplus::Font font(&family, 9.0f * float(m_dpi) / 72.0f, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
    Gdiplus::SolidBrush text(kLoadingText);
    g.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
    const Gdiplus::RectF box(Gdiplus::REAL(textX), Gdiplus::REAL(textY + Px(3)), Gdiplus::REAL(w), Gdiplus::REAL(h));
    if (none) {
        // Centred: the person strip's narrow slots leave no room beside a spinner's place.
        Gdiplus::StringFormat centred;
        centred.SetAlignment(Gdiplus::StringAlignmentCenter);
        const Gdiplus::RectF whole(0.0f, Gdiplus::REAL(textY + Px(3)), Gdiplus::REAL(w), Gdiplus::REAL(h));
        g.DrawString(L"还没有图片", -1, &font, whole, &centred, &text);
    } else {
        g.DrawString(L"加载中", -1, &font, box, nullptr, &text);
    }
    m_placeholderKey = key;
    return &m_placeholder;
}

// Black at alpha 100, premultiplied: every pixel is 0x64000000.
const BlendPicture* PictureStrip::Dim(int width, int height)
{
    if (m_dim.Width() == width && m_dim.Height() == height)
        return &m_dim;
    if (!m_dim.Create(width, height))
        return nullptr;
    auto canvas = m_dim.Canvas();
    if (!canvas)
        return nullptr;
    Gdiplus::Graphics g(canvas.get());
    g.Clear(kDim);
    return &m_dim;
}

void PictureStrip::PaintSlot(HDC dc, int k)
{
    const RECT& slot = m_slots[k];
    const int w = slot.right - slot.left;
    const int h = slot.bottom - slot.top;
    // Past the end of an answered list nothing is on its way: a short list
    // leaves those slots empty, an empty one says so in its first.
    if (m_first + k >= Count() && Answered()) {
        const BlendPicture* none = m_first + k == 0 ? Placeholder(true) : nullptr;
        if (none)
            none->Blend(dc, slot.left, slot.top);
        return;
    }
    const std::string path = ThumbnailPath(m_first + k);
    const std::wstring wide = Widen(path);
    const BlendPicture* thumb = path.empty() ? nullptr : m_thumbnails.Find(wide, w, h);
    if (!thumb && !path.empty())
        m_waiting.push_back(LandedPictureKey(path));
    if (thumb && k != m_hovered)
        thumb->Blend(dc, slot.left + (w - thumb->Width()) / 2, slot.top + (h - thumb->Height()) / 2);
    if (k != m_hovered && k != m_oldHovered) {
        if (const BlendPicture* dim = Dim(w, h))
            dim->Blend(dc, slot.left, slot.top);
    }
    if (thumb)
        return;
    // The placeholders drift with the pointer, the hovered one against it.
    const int dx = k == m_hovered ? -m_dx : m_dx;
    const int dy = k == m_hovered ? -m_dy : m_dy;
    if (const BlendPicture* box = Placeholder())
        box->Blend(dc, slot.left + dx, slot.top + dy);
}

void PictureStrip::PaintHovered(HDC dc)
{
    if (m_hovered < 0 || m_hovered >= kPaintedSlots)
        return;
    const RECT& slot = m_slots[m_hovered];
    const std::string path = ThumbnailPath(m_first + m_hovered);
    if (path.empty())
        return;
    const std::wstring wide = Widen(path);
    const Gdiplus::Rect box{slot.left, slot.top, slot.right - slot.left, slot.bottom - slot.top};
    if (m_zooming && m_zoomStep >= 1 && m_zoomStep < kZoomSteps) {
        // Only while the zoom runs: ten frames of a scaled GDI+ draw.
        Gdiplus::Bitmap* original = m_thumbnails.Original(wide);
        if (!original)
            return;
        const int grow = Px(kZoomSteps - m_zoomStep);
        const Gdiplus::Rect big{box.X - grow, box.Y - grow, box.Width + 2 * grow, box.Height + 2 * grow};
        Gdiplus::Graphics g(dc);
        Gdiplus::SolidBrush backing(kDim);
        g.FillRectangle(&backing, big);
        g.SetInterpolationMode(Gdiplus::InterpolationModeBilinear);
        g.DrawImage(original, Fitted(int(original->GetWidth()), int(original->GetHeight()), big));
        return;
    }
    if (const BlendPicture* thumb = m_thumbnails.Find(wide, box.Width, box.Height))
        thumb->Blend(dc, box.X + (box.Width - thumb->Width()) / 2, box.Y + (box.Height - thumb->Height()) / 2);
}

void PictureStrip::Paint(HDC dc)
{
    if (!m_visible)
        return;
    const int saved = SaveDC(dc);
    const RECT area = PaintArea();
    IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
    m_waiting.clear();
    for (int k = 0; k < kPaintedSlots; ++k)
        PaintSlot(dc, k);
    PaintHovered(dc);
    RestoreDC(dc, saved);
    if (!Scrolls())
        return;
    m_next.OnPaint(dc);
    m_before.OnPaint(dc);
}
