#include "browse_layout.h"

namespace browse_layout {

namespace {

constexpr int kPanelTop = 30;
constexpr int kPanelBottom = 130;
constexpr int kCategoryTop = 47;
constexpr int kCategoryBottom = 113;
constexpr int kUserTop = 37;
constexpr int kTagTop = 50;
constexpr int kChoiceCount = 2;

}  // namespace

RECT CategoryButton(int screenWidth, int index)
{
    const int spare = screenWidth - kCategoryCount * kCategoryWidth;
    const int gap = spare > 0 ? spare / (kCategoryCount + 1) : 0;
    const int left = gap * (index + 1) + kCategoryWidth * index;
    return RECT{left, kCategoryTop, left + kCategoryWidth, kCategoryBottom};
}

RECT RowSlot(int index) { return RECT{50 + 120 * index, kPanelTop, 170 + 120 * index, kPanelBottom}; }

RECT PreviousPageButton(int screenWidth) { return RECT{screenWidth - 50, 32, screenWidth - 26, 72}; }

RECT NextPageButton(int screenWidth) { return RECT{screenWidth - 50, 82, screenWidth - 26, 122}; }

int UserCellsPerRow(int screenWidth)
{
    const int cells = screenWidth / kUserCell - 2;
    return cells > 0 ? cells : 1;
}

RECT UserCell(int index)
{
    const int left = 20 + kUserCell * index;
    return RECT{left, kUserTop, left + kUserCell, kUserTop + kUserCell};
}

RECT FollowToggle(const RECT& cell) { return RECT{cell.right - 60, cell.bottom - 20, cell.right, cell.bottom}; }

int TagsPerRow(int screenWidth) { return screenWidth > 100 ? (screenWidth - 100) / kTagWidth : 0; }

int TagSlotCount(int screenWidth) { return TagsPerRow(screenWidth) + 20; }

RECT TagSlot(int index)
{
    const int left = kTagWidth * index + kTagRowStart;
    return RECT{left, kTagTop, left + kTagWidth, kTagTop + kTagHeight};
}

RECT SearchChoiceList(const RECT& field)
{
    return RECT{field.left - 5, field.bottom + 5, field.right + 33, field.bottom + 59};
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
