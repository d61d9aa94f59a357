// The scroll bar's geometry and mouse, and the combo box's list.
#include <gtest/gtest.h>

#include <climits>
#include <memory>

#include "skinkit/combo_box.h"
#include "skinkit/scroll_bar.h"
#include "test_window.h"

namespace {

struct ThumbCase {
    const char* name;
    RECT bar;
    int min, max, requested;
    int pos, thumbTop, thumbHeight;
};

TEST(ScrollBarTest, ThumbStaysInsideTheBarForEveryRange)
{
    const ThumbCase cases[] = {
        {"empty range", {0, 0, 10, 100}, 0, 0, 50, 0, 0, 100},
        {"inverted range", {0, 0, 10, 100}, 10, -10, 0, 10, 0, 100},
        {"whole int range", {0, 0, 10, 100}, INT_MIN, INT_MAX, 0, 0, 50, 12},
        {"bar of no height", {0, 0, 10, 0}, 0, 100, 50, 0, 0, 0},
        {"range shorter than the bar", {0, 0, 10, 100}, 0, 50, 30, 0, 0, 100},
        {"past the end", {0, 0, 10, 100}, 0, 400, 1000, 300, 75, 25},
        {"below the minimum", {0, 0, 10, 100}, 0, 400, -5, 0, 0, 25},
        {"middle", {0, 0, 10, 100}, 0, 400, 200, 200, 50, 25},
        {"offset bar and range", {0, 20, 10, 120}, 100, 500, 300, 300, 70, 25},
    };
    TestParent parent;
    ASSERT_TRUE(parent.Open(100, 100));
    for (const ThumbCase& c : cases) {
        SCOPED_TRACE(c.name);
        CScrollBarUI bar;
        ASSERT_TRUE(bar.Create(parent.GetHWND(), c.bar, 7, 0));
        bar.SetScrollRange(c.min, c.max, false);
        bar.SetScrollPos(c.requested, false);
        EXPECT_EQ(c.pos, bar.GetScrollPos());
        RECT thumb{};
        bar.GetThumbRect(&thumb);
        EXPECT_EQ(c.thumbTop, thumb.top);
        EXPECT_EQ(c.thumbHeight, thumb.bottom - thumb.top);
    }
}

enum class Act { WheelDown, WheelUp, WheelOutside, Drag, PressAt };

struct MouseCase {
    const char* name;
    int start;
    Act act;
    int fromY, toY;
    int pos;
};

TEST(ScrollBarTest, WheelThumbDragAndChannelPresses)
{
    const MouseCase cases[] = {
        {"drag far past the bottom", 0, Act::Drag, 10, 5000, 300},
        {"drag above the top", 200, Act::Drag, 60, -400, 0},
        {"wheel outside its area", 100, Act::WheelOutside, 0, 0, 100},
        {"wheel up at the top", 0, Act::WheelUp, 0, 0, 0},
        {"wheel down one notch", 0, Act::WheelDown, 0, 0, 40},
        {"drag the thumb 30 pixels", 0, Act::Drag, 10, 40, 120},
        {"press below the thumb", 0, Act::PressAt, 80, 0, 50},
        {"press above the thumb", 200, Act::PressAt, 10, 0, 150},
    };
    TestParent parent;
    ASSERT_TRUE(parent.Open(200, 200));
    HWND hwnd = parent.GetHWND();
    for (const MouseCase& c : cases) {
        SCOPED_TRACE(c.name);
        CScrollBarUI bar;
        ASSERT_TRUE(bar.Create(hwnd, RECT{90, 0, 100, 100}, 7, 0));
        bar.SetScrollRange(0, 400, false);
        bar.SetWheelArea(RECT{0, 0, 100, 100});
        bar.SetScrollPos(c.start, false);
        parent.router = [&](UINT msg, WPARAM w, LPARAM l) { bar.WindowProc(hwnd, msg, w, l); };
        auto wheel = [&](int x, int y, short delta) {
            POINT screen{x, y};
            ClientToScreen(hwnd, &screen);
            parent.Send(WM_MOUSEWHEEL, MAKEWPARAM(0, delta), MAKELPARAM(screen.x, screen.y));
        };
        switch (c.act) {
        case Act::WheelDown:
            wheel(50, 50, -WHEEL_DELTA);
            break;
        case Act::WheelUp:
            wheel(50, 50, WHEEL_DELTA);
            break;
        case Act::WheelOutside:
            wheel(150, 150, -WHEEL_DELTA);
            break;
        case Act::Drag:
            parent.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(95, c.fromY));
            EXPECT_TRUE(bar.IsDragging());
            parent.Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(95, c.toY));
            parent.Send(WM_LBUTTONUP, 0, MAKELPARAM(95, c.toY));
            EXPECT_FALSE(bar.IsDragging());
            break;
        case Act::PressAt:
            parent.MouseAt(95, c.fromY);
            parent.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(95, c.fromY));
            parent.Send(WM_LBUTTONUP, 0, MAKELPARAM(95, c.fromY));
            break;
        }
        EXPECT_EQ(c.pos, bar.GetScrollPos());
        parent.router = nullptr;
    }
}

class ComboTest : public ::testing::Test {
protected:
    void Open(int parentY, int rows)
    {
        ASSERT_TRUE(parent.Open(300, 300, 100, parentY));
        close = Strip(16, 16, {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)});
        arrow = Strip(10, 24, {RGB(90, 90, 90), RGB(120, 120, 120), RGB(150, 150, 150)});
        ASSERT_TRUE(combo.Create(parent.GetHWND(), 20, 20, 200, 24, 61, 0));
        combo.SetImages(arrow.get(), close.get(), nullptr, nullptr, nullptr);
        for (int i = 0; i < rows; ++i)
            combo.AddString((L"item " + std::to_wstring(i)).c_str());
        parent.router = [this](UINT msg, WPARAM w, LPARAM l) {
            if (msg == kComboNotify && l)
                notices.push_back({w, reinterpret_cast<const CComboNotify*>(l)->item});
            combo.WindowProc(parent.GetHWND(), msg, w, l);
        };
        const RECT button = combo.GetDropButtonRect();
        parent.Click((button.left + button.right) / 2, (button.top + button.bottom) / 2);
        ASSERT_TRUE(combo.IsDroppedDown());
    }
    void ListClick(int x, int y)
    {
        HWND list = combo.GetListHWND();
        SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
        PumpUntil([this] { return !combo.IsDroppedDown(); }, 2000);
    }
    bool Noticed(WPARAM code, int item) const
    {
        for (const auto& [c, i] : notices) {
            if (c == code && i == item)
                return true;
        }
        return false;
    }
    TestParent parent;
    CComboBoxUI combo;
    std::unique_ptr<Gdiplus::Bitmap> close;
    std::unique_ptr<Gdiplus::Bitmap> arrow;
    std::vector<std::pair<WPARAM, int>> notices;
};

TEST_F(ComboTest, CloseButtonRemovesItsRowOnly)
{
    Open(100, 15);
    // Row 1 of a list with a scroll bar: its close button ends 26 pixels from the right.
    ListClick(200 - 22 - 4 - 8, 2 + 20 + 10);
    EXPECT_FALSE(combo.IsDroppedDown());
    ASSERT_EQ(14, combo.GetCount());
    std::wstring text;
    combo.GetLBText(1, text);
    EXPECT_EQ(L"item 2", text);
    EXPECT_TRUE(Noticed(kComboItemClosed, 1));
    EXPECT_EQ(-1, combo.GetCurSel());
}

TEST_F(ComboTest, WheelScrollsTheListBeforeARowIsChosen)
{
    Open(100, 15);
    POINT over{50, 80};
    ClientToScreen(combo.GetListHWND(), &over);
    parent.Send(WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(over.x, over.y));
    // 40 pixels down, the row under y 72 is row 5.
    ListClick(50, 72);
    EXPECT_EQ(5, combo.GetCurSel());
    std::wstring text;
    combo.GetWindowTextW(text);
    EXPECT_EQ(L"item 5", text);
    EXPECT_TRUE(Noticed(kComboSelChanged, 5));
    EXPECT_EQ(15, combo.GetCount());
}

struct PlaceCase {
    const char* name;
    int rowsCount;
    bool nearBottom;
    int height;
};

TEST(ComboPlaceTest, ListHeightAndSide)
{
    const PlaceCase cases[] = {
        {"no rows", 0, false, 200},
        {"near the screen's bottom", 3, true, 64},
        {"more rows than fit", 15, false, 200},
        {"few rows", 3, false, 64},
    };
    for (const PlaceCase& c : cases) {
        SCOPED_TRACE(c.name);
        TestParent parent;
        const int y = c.nearBottom ? GetSystemMetrics(SM_CYSCREEN) - 90 : 100;
        ASSERT_TRUE(parent.Open(300, 80, 100, y));
        CComboBoxUI combo;
        ASSERT_TRUE(combo.Create(parent.GetHWND(), 20, 20, 200, 24, 61, kComboNoClose));
        for (int i = 0; i < c.rowsCount; ++i)
            combo.AddString(L"row");
        combo.ShowDropDown(true);
        ASSERT_TRUE(combo.IsDroppedDown());
        RECT list{};
        GetWindowRect(combo.GetListHWND(), &list);
        POINT comboTop{20, 20};
        ClientToScreen(parent.GetHWND(), &comboTop);
        EXPECT_EQ(c.height, list.bottom - list.top);
        EXPECT_EQ(c.nearBottom, list.bottom <= comboTop.y);
        combo.ShowDropDown(false);
    }
}

}  // namespace
