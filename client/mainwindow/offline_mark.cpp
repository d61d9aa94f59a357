#include "offline_mark.h"

#include "skinkit/dpi.h"
#include "skinkit/picture.h"

namespace {

// On the viewer's bar, right of its title and buttons.
constexpr int kLeft = 362;
constexpr int kTop = 7;

}  // namespace

void OfflineMark::Load(const std::wstring& resourceFolder, int dpi)
{
    m_dpi = dpi;
    m_picture = dpi == skinkit::kBaseDpi ? LoadPictureFile(resourceFolder + L"offline_mark.png")
                                         : skinkit::LoadSkinPicture(resourceFolder + L"offline_mark.png", dpi);
}

bool OfflineMark::Update(bool offline)
{
    if (offline == m_shown)
        return false;
    m_shown = offline;
    return true;
}

RECT OfflineMark::Area() const
{
    const int w = m_picture ? int(m_picture->GetWidth()) : 0;
    const int h = m_picture ? int(m_picture->GetHeight()) : 0;
    const int left = skinkit::ScaleToDpi(kLeft, m_dpi);
    const int top = skinkit::ScaleToDpi(kTop, m_dpi);
    return RECT{left, top, left + w, top + h};
}

void OfflineMark::Paint(HDC dc) const
{
    if (!m_shown || !m_picture)
        return;
    Gdiplus::Graphics g(dc);
    const RECT area = Area();
    g.DrawImage(
        m_picture.get(), int(area.left), int(area.top), int(area.right - area.left), int(area.bottom - area.top));
}
