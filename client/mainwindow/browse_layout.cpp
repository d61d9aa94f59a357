#include "browse_layout.h"

#include <algorithm>

namespace browse_layout {

namespace {

constexpr int kPanelTop = 30;
constexpr int kPanelBottom = 130;
constexpr int kCategoryTop = 47;
constexpr int kCategoryBottom = 113;
constexpr int kUserTop = 37;
constexpr int kTagTop = 50;
constexpr int kChoiceCount = 2;

RECT Scaled(const RECT& rect, int dpi)
{
    return RECT{browse_layout::Scaled(rect.left, dpi), browse_layout::Scaled(rect.top, dpi),
        browse_layout::Scaled(rect.right, dpi), browse_layout::Scaled(rect.bottom, dpi)};
}

}  // namespace

// At a DPI whose buttons would not fit the screen they shrink to fit, but
// never below their 96-DPI size.
RECT CategoryButton(int screenWidth, int index, int dpi)
{
    const int fitting = screenWidth / kCategoryCount;
    const int width = std::max(kCategoryWidth, std::min(Scaled(kCategoryWidth, dpi), fitting));
    const int height = MulDiv(width, kCategoryBottom - kCategoryTop, kCategoryWidth);
    const int middle = Scaled((kCategoryTop + kCategoryBottom) / 2, dpi);
    const int spare = screenWidth - kCategoryCount * width;
    const int gap = spare > 0 ? spare / (kCategoryCount + 1) : 0;
    const int left = gap * (index + 1) + width * index;
    const int top = middle - height / 2;
    return RECT{left, top, left + width, top + height};
}

RECT RowSlot(int index, int dpi)
{
    return Scaled(RECT{50 + 120 * index, kPanelTop, 170 + 120 * index, kPanelBottom}, dpi);
}

// The buttons keep their distance from the right edge.
RECT PreviousPageButton(int screenWidth, int dpi)
{
    const RECT r = Scaled(RECT{-50, 32, -26, 72}, dpi);
    return RECT{screenWidth + r.left, r.top, screenWidth + r.right, r.bottom};
}

RECT NextPageButton(int screenWidth, int dpi)
{
    const RECT r = Scaled(RECT{-50, 82, -26, 122}, dpi);
    return RECT{screenWidth + r.left, r.top, screenWidth + r.right, r.bottom};
}

int UserCellsPerRow(int screenWidth, int dpi)
{
    const int cells = screenWidth / Scaled(kUserCell, dpi) - 2;
    return cells > 0 ? cells : 1;
}

RECT UserCell(int index, int dpi)
{
    const int cell = Scaled(kUserCell, dpi);
    const int left = Scaled(20, dpi) + cell * index;
    const int top = Scaled(kUserTop, dpi);
    return RECT{left, top, left + cell, top + cell};
}

RECT FollowToggle(const RECT& cell, int dpi)
{
    return RECT{cell.right - Scaled(60, dpi), cell.bottom - Scaled(20, dpi), cell.right, cell.bottom};
}

int TagsPerRow(int screenWidth, int dpi)
{
    const int margin = Scaled(100, dpi);
    return screenWidth > margin ? (screenWidth - margin) / Scaled(kTagWidth, dpi) : 0;
}

int TagSlotCount(int screenWidth, int dpi) { return TagsPerRow(screenWidth, dpi) + 20; }

RECT TagSlot(int index, int dpi)
{
    const int width = Scaled(kTagWidth, dpi);
    const int left = width * index + Scaled(kTagRowStart, dpi);
    const int top = Scaled(kTagTop, dpi);
    return RECT{left, top, left + width, top + Scaled(kTagHeight, dpi)};
}

int StripSlots(int screenHeight, int top, int thumbnail, int most)
{
    const int fitting = thumbnail > 0 ? (screenHeight - top) / thumbnail : most;
    return std::max(1, std::min(most, fitting));
}

RECT SearchChoiceList(const RECT& field, int dpi)
{
    return RECT{field.left - Scaled(5, dpi), field.bottom + Scaled(5, dpi), field.right + Scaled(33, dpi),
        field.bottom + Scaled(59, dpi)};
}
int SearchChoiceAt(const RECT& list, POINT point)
{
    if (!PtInRect(&list, point))
        return -1;
    const int half = (list.bottom - list.top) / kChoiceCount;
    return point.y < list.top + half ? 0 : 1;
}

int SearchChoiceAfterKey(int entry, WPARAM key)
{
    switch (key) {
    case VK_RIGHT:
    case VK_DOWN:
    case VK_LEFT:
    case VK_UP:
        // Two entries: either direction lands on the other one.
        return entry == 0 ? 1 : 0;
    default:
        return entry;
    }
}

bool PointerLeavesMenu(POINT point, const RECT& menu, bool overAvatar)
{
    if (overAvatar)
        return false;
    return point.x < menu.left || point.x >= menu.right || point.y >= menu.bottom;
}

}  // namespace browse_layout
