#pragma once
#include <windows.h>

// Where the browsing panels put their parts, from the screen width alone.
namespace browse_layout {

constexpr int kCategoryCount = 8;
constexpr int kCategoryWidth = 130;
constexpr int kRowSlots = 10;
constexpr int kUserCell = 83;
constexpr int kTagWidth = 130;
constexpr int kTagHeight = 66;
// The hot-tag row starts this far left of the window; the pointer moves it.
constexpr int kTagRowStart = -500;

// Category button i (0-7); on a screen narrower than the eight buttons they
// touch from the left edge on.
RECT CategoryButton(int screenWidth, int index);

// Own-pictures slot i: 120 wide, 100 high, in one row.
RECT RowSlot(int index);
// The two page buttons of a row or list, at the right edge.
RECT PreviousPageButton(int screenWidth);
RECT NextPageButton(int screenWidth);

// User cells that fit in a row (at least one), and cell i's square.
int UserCellsPerRow(int screenWidth);
RECT UserCell(int index);
// The follow toggle of a hovered cell's card.
RECT FollowToggle(const RECT& cell);

int TagsPerRow(int screenWidth);
int TagSlotCount(int screenWidth);
RECT TagSlot(int index);

// The search choice list below the search field, and its entry at y (0 the
// upper half, 1 the lower, -1 outside).
RECT SearchChoiceList(const RECT& field);
int SearchChoiceAt(const RECT& list, POINT point);
// The entry an arrow key selects from `entry`; other keys keep it.
int SearchChoiceAfterKey(int entry, WPARAM key);

// Whether the pointer has left the open user menu: beside its picture or
// below it. The avatar the menu hangs from keeps it open.
bool PointerLeavesMenu(POINT point, const RECT& menu, bool overAvatar);

}  // namespace browse_layout
