#include "skinkit/picture.h"

#include "control_util.h"
#include "skinkit/image_list.h"
#include "skinkit/ini_file.h"
#include "skinkit/pixel_blend.h"

using namespace skinkit;

bool CPictureUI::Create(HWND parent, bool visible)
{
    if (!IsUsableParent(parent))
        return false;
    m_parent = parent;
    m_visible = visible;
    return true;
}

void CPictureUI::SetAttribute(
    const std::wstring& section, const std::wstring& iniFile, const std::deque<Gdiplus::Bitmap*>& images)
{
    int number = 0;
    CIniFile::GetIntValue(iniFile.c_str(), section.c_str(), const_cast<wchar_t*>(L"Image"), number);
    m_picture = ImageByNumber(images, number);
    m_cache.Invalidate();
    CIniFile::GetIntValue(iniFile.c_str(), section.c_str(), const_cast<wchar_t*>(L"Style"), m_style);
    if (CIniFile::GetRectValue(iniFile.c_str(), section.c_str(), const_cast<wchar_t*>(L"rect"), m_rawRect))
        ScaleToWindow(m_parent, m_rawRect);
    m_rect = ResolveRect(m_parent, m_rawRect);
}

void CPictureUI::set_window_rect(UINT left, UINT top, UINT right, UINT bottom)
{
    m_rect = RECT{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right), static_cast<LONG>(bottom)};
    InvalidateIfWindow(m_parent, nullptr);
}

void CPictureUI::SetWindowRect(int left, int top, int right, int bottom)
{
    m_rawRect = RECT{left, top, right, bottom};
    m_rect = ResolveRect(m_parent, m_rawRect);
    InvalidateIfWindow(m_parent, nullptr);
}

void CPictureUI::set_picture_ptr(Gdiplus::Bitmap* picture)
{
    m_picture = picture;
    m_cache.Invalidate();
}

void CPictureUI::DestroyPicture()
{
    delete m_picture;
    m_picture = nullptr;
    m_cache.Invalidate();
}

void CPictureUI::ShowWindow(bool visible)
{
    m_visible = visible;
    if (!visible)
        m_cache.Release();  // a hidden control holds no surface
    InvalidateIfWindow(m_parent, &m_rect);
}

void CPictureUI::OnPaint(HDC hdc)
{
    if (m_visible)
        DrawPicture(hdc);
}

namespace {

void DrawTiled(Gdiplus::Graphics& g, Gdiplus::Bitmap* image, const RECT& r)
{
    // One textured fill instead of a draw per tile: the tiles start at the
    // rectangle's top-left and the clip ends them at its edges.
    Gdiplus::TextureBrush brush(image, Gdiplus::WrapModeTile);
    brush.TranslateTransform(static_cast<float>(r.left), static_cast<float>(r.top));
    g.FillRectangle(&brush, r.left, r.top, Width(r), Height(r));
}

// Caps of (width - 1) / 2 columns at natural size, the middle column
// stretched between them.
void DrawThreePart(Gdiplus::Graphics& g, Gdiplus::Bitmap* image, const RECT& r)
{
    const int iw = static_cast<int>(image->GetWidth());
    const int ih = static_cast<int>(image->GetHeight());
    const int cap = (iw - 1) / 2;
    DrawImagePart(g, image, r.left, r.top, 0, 0, cap, ih);
    DrawImageStretched(g, image, Gdiplus::Rect(r.left + cap, r.top, Width(r) - 2 * cap, Height(r)), cap, 0, 1, ih);
    DrawImagePart(g, image, r.right - cap, r.top, cap + 1, 0, cap, ih);
}

}  // namespace

// The part of the picture's rectangle that a style paints, relative to its
// top-left corner.
RECT CPictureUI::PaintedArea() const
{
    const int w = Width(m_rect);
    const int h = Height(m_rect);
    const int iw = static_cast<int>(m_picture->GetWidth());
    const int ih = static_cast<int>(m_picture->GetHeight());
    RECT area{0, 0, w, h};
    RECT image{};
    switch (m_style) {
    case 0:
        image = RECT{0, 0, iw, ih};
        break;
    case 3:
        image = RECT{(w - iw) / 2, (h - ih) / 2, (w - iw) / 2 + iw, (h - ih) / 2 + ih};
        break;
    case 1:
    case 2:
    case 5:
        return area;
    default:
        return RECT{};
    }
    IntersectRect(&area, &area, &image);
    return area;
}

void CPictureUI::DrawPicture(HDC hdc)
{
    if (!m_picture)
        return;
    const int w = Width(m_rect);
    const int h = Height(m_rect);
    CPaintKey key;
    key << m_picture << m_style << w << h;
    PaintCached(
        m_cache, hdc, m_rect.left, m_rect.top, key, [&] { return PaintedArea(); },
        [&](HDC dc, int x, int y) {
            const RECT r{x, y, x + w, y + h};
            const int iw = static_cast<int>(m_picture->GetWidth());
            const int ih = static_cast<int>(m_picture->GetHeight());
            Gdiplus::Graphics g(dc);
            g.SetClip(Gdiplus::Rect(r.left, r.top, w, h));
            switch (m_style) {
            case 0:
                g.DrawImage(m_picture, r.left, r.top, iw, ih);
                break;
            case 1:
                DrawImageStretched(g, m_picture, Gdiplus::Rect(r.left, r.top, w, h), 0, 0, iw, ih);
                break;
            case 2:
                DrawTiled(g, m_picture, r);
                break;
            case 3:
                g.DrawImage(m_picture, r.left + (w - iw) / 2, r.top + (h - ih) / 2, iw, ih);
                break;
            case 5:
                DrawThreePart(g, m_picture, r);
                break;
            default:
                break;
            }
        });
}

LRESULT CPictureUI::WindowProc(HWND, UINT msg, WPARAM wParam, LPARAM)
{
    if (msg == WM_SIZE && wParam != SIZE_MINIMIZED)
        m_rect = ResolveRect(m_parent, m_rawRect);
    return 0;
}

bool BlendPictureStraight(HDC target, int x, int y, Gdiplus::Bitmap& picture, bool opaque)
{
    const int w = static_cast<int>(picture.GetWidth());
    const int h = static_cast<int>(picture.GetHeight());
    Gdiplus::Rect all(0, 0, w, h);
    Gdiplus::BitmapData data{};
    if (picture.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &data) != Gdiplus::Ok)
        return false;
    skinkit::PixelRows rows;
    rows.top = static_cast<const UINT32*>(data.Scan0);
    rows.stride = data.Stride / 4;
    rows.width = w;
    rows.height = h;
    rows.premultiplied = true;
    rows.opaque = opaque;
    const bool blended = data.Stride > 0 && skinkit::BlendStraight(target, x, y, rows, RECT{0, 0, w, h});
    picture.UnlockBits(&data);
    return blended;
}
