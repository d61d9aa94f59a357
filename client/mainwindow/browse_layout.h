#pragma once
#include <windows.h>

// Where the browsing panels put their parts, from the screen width and the
// window's DPI. The numbers here are 96-DPI units; every place handed out
// is scaled to dpi.
namespace browse_layout {

constexpr int kLayoutDpi = 96;

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
RECT CategoryButton(int screenWidth, int index, int dpi = kLayoutDpi);

// Own-pictures slot i: 120 wide, 100 high, in one row.
RECT RowSlot(int index, int dpi = kLayoutDpi);
// The two page buttons of a row or list, at the right edge.
RECT PreviousPageButton(int screenWidth, int dpi = kLayoutDpi);
RECT NextPageButton(int screenWidth, int dpi = kLayoutDpi);

// User cells that fit in a row (at least one), and cell i's square.
int UserCellsPerRow(int screenWidth, int dpi = kLayoutDpi);
RECT UserCell(int index, int dpi = kLayoutDpi);
// The follow toggle of a hovered cell's card.
RECT FollowToggle(const RECT& cell, int dpi = kLayoutDpi);

int TagsPerRow(int screenWidth, int dpi = kLayoutDpi);
int TagSlotCount(int screenWidth, int dpi = kLayoutDpi);
RECT TagSlot(int index, int dpi = kLayoutDpi);

// Thumbnails of a strip dropped at top that fit above the screen's bottom:
// at least one, at most `most`.
int StripSlots(int screenHeight, int top, int thumbnail, int most);

// The search choice list below the search field, and its entry at y (0 the
// upper half, 1 the lower, -1 outside).
RECT SearchChoiceList(const RECT& field, int dpi = kLayoutDpi);
int SearchChoiceAt(const RECT& list, POINT point);
// The entry an arrow key selects from `entry`; other keys keep it.
int SearchChoiceAfterKey(int entry, WPARAM key);

// Whether the pointer has left the open user menu: beside its picture or
// below it. The avatar the menu hangs from keeps it open.
bool PointerLeavesMenu(POINT point, const RECT& menu, bool overAvatar);

// A 96-DPI length at dpi.
inline int Scaled(int value, int dpi) { return MulDiv(value, dpi, kLayoutDpi); }

}  // namespace browse_layout
