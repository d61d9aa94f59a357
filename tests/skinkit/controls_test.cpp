// Basic controls driven by synthesised mouse input.
#include <gtest/gtest.h>

#include <memory>
#include <type_traits>

#include "manual_clock.h"
#include "skinkit/button.h"
#include "skinkit/check_box.h"
#include "skinkit/hyperlink.h"
#include "skinkit/picture.h"
#include "skinkit/tab.h"
#include "skinkit/tooltip.h"
#include "test_window.h"

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kGrey = RGB(128, 128, 128);

class ButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(parent.Open(300, 200));
        ASSERT_TRUE(button.Create(parent.GetHWND(), 42));
        button.SetWindowRect(20, 20, 120, 50);
        parent.router = [this](UINT msg, WPARAM wParam, LPARAM lParam) {
            button.WindowProc(parent.GetHWND(), msg, wParam, lParam);
        };
        parent.TakeCommands();
    }
    int Clicks(const std::vector<RecordedCommand>& commands)
    {
        int clicks = 0;
        for (const RecordedCommand& c : commands) {
            if (c.id == 42 && c.code == 0) {
                EXPECT_EQ(reinterpret_cast<LPARAM>(parent.GetHWND()), c.lParam);
                ++clicks;
            }
        }
        return clicks;
    }
    TestParent parent;
    CButtonUI button;
};

TEST_F(ButtonTest, ClickPostsEnterThenCommandWithTheParentAsLParam)
{
    EXPECT_FALSE(CButtonUI().Create(nullptr, 1));
    parent.Click(60, 30);
    const auto commands = parent.TakeCommands();
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(kButtonMouseEnter, commands[0].code);
    EXPECT_EQ(1, Clicks(commands));
    EXPECT_EQ(kButtonHover, button.GetState());
    // Leaving posts the leave code and returns to normal.
    parent.MouseAt(250, 150);
    parent.Send(WM_MOUSEMOVE, 0, MAKELPARAM(250, 150));
    const auto leave = parent.TakeCommands();
    ASSERT_EQ(1u, leave.size());
    EXPECT_EQ(kButtonMouseLeave, leave[0].code);
    EXPECT_EQ(kButtonNormal, button.GetState());
}

// A move is judged by its own point, wherever the pointer has gone since.
TEST_F(ButtonTest, AMoveIsJudgedByItsOwnPoint)
{
    const struct Row {
        const char* what;
        POINT pointer;
        POINT move;
        int state;
    } rows[] = {
        {"the move inside, the pointer gone", {250, 150}, {60, 30}, kButtonHover},
        {"the move outside, the pointer back inside", {60, 30}, {250, 150}, kButtonNormal},
        {"both inside", {60, 30}, {61, 31}, kButtonHover},
    };
    for (const Row& row : rows) {
        parent.MouseAt(row.pointer.x, row.pointer.y);
        parent.Send(WM_MOUSEMOVE, 0, MAKELPARAM(row.move.x, row.move.y));
        EXPECT_EQ(row.state, button.GetState()) << row.what;
    }
}

TEST_F(ButtonTest, ClicksWithin300MsPostOnce)
{
    ManualClock clock;
    ScopedControlClock inUse(clock);
    const struct Row {
        DWORD gapMs;
        int clicks;
    } rows[] = {{0, 0}, {299, 0}, {300, 0}, {301, 1}, {5000, 1}};
    for (const Row& row : rows) {
        // Each row's first click comes well after the one before.
        clock.Advance(1000);
        parent.Click(60, 30);
        ASSERT_EQ(1, Clicks(parent.TakeCommands())) << row.gapMs;
        clock.Advance(row.gapMs);
        parent.Click(60, 30);
        EXPECT_EQ(row.clicks, Clicks(parent.TakeCommands())) << row.gapMs;
    }
}

TEST_F(ButtonTest, ReleasingOutsidePostsNoClick)
{
    parent.MouseAt(60, 30);
    parent.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 30));
    EXPECT_EQ(kButtonPressed, button.GetState());
    parent.MouseAt(200, 150);
    parent.Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, 150));
    parent.Send(WM_LBUTTONUP, 0, MAKELPARAM(200, 150));
    EXPECT_EQ(0, Clicks(parent.TakeCommands()));
    EXPECT_EQ(kButtonNormal, button.GetState());
}

TEST_F(ButtonTest, DisabledOrHiddenButtonIgnoresTheMouse)
{
    button.EnableWindow(false);
    EXPECT_FALSE(button.IsWindowEnabled());
    parent.Click(60, 30);
    EXPECT_TRUE(parent.TakeCommands().empty());
    button.EnableWindow(true);
    button.ShowWindow(false);
    parent.Click(60, 30);
    EXPECT_TRUE(parent.TakeCommands().empty());
}

TEST_F(ButtonTest, PaintsTheSliceOfItsState)
{
    auto strip = Strip(100, 30, {kRed, kGreen, kBlue, kGrey});
    button.SetAttribute(strip.get());
    Surface surface(300, 200);
    button.OnPaint(surface.Dc());
    EXPECT_TRUE(Near(surface.Pixel(70, 35), kRed));
    parent.MouseAt(60, 30);
    parent.Send(WM_MOUSEMOVE, 0, MAKELPARAM(60, 30));
    button.OnPaint(surface.Dc());
    EXPECT_TRUE(Near(surface.Pixel(70, 35), kGreen));
    parent.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 30));
    button.OnPaint(surface.Dc());
    EXPECT_TRUE(Near(surface.Pixel(70, 35), kBlue));
    parent.Send(WM_LBUTTONUP, 0, MAKELPARAM(60, 30));
    button.EnableWindow(false);
    button.OnPaint(surface.Dc());
    EXPECT_TRUE(Near(surface.Pixel(70, 35), kGrey));
    EXPECT_EQ(0, Alpha(surface.Pixel(10, 10)));

    // An image exactly as wide as the button has one state only.
    auto single = Strip(100, 30, {kRed});
    button.EnableWindow(true);
    button.SetAttribute(single.get());
    parent.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 30));
    EXPECT_EQ(kButtonPressed, button.GetState());
    surface.Clear(0);
    button.OnPaint(surface.Dc());
    EXPECT_TRUE(Near(surface.Pixel(70, 35), kRed));
    parent.Send(WM_LBUTTONUP, 0, MAKELPARAM(60, 30));
}

TEST(GosickButtonTest, AlphaZeroIsInvisibleAndOneStepMakesItOpaque)
{
    TestParent parent;
    ASSERT_TRUE(parent.Open(200, 100));
    Gosick_button button;
    ASSERT_TRUE(button.Create(parent.GetHWND(), 5));
    button.SetWindowRect(10, 10, 40, 40);
    auto strip = Strip(30, 30, {kRed, kGreen, kBlue});
    button.set_picture_ptr(strip.get());
    Surface surface(200, 100);
    surface.Clear(0);
    button.OnPaint(surface.Dc());
    EXPECT_EQ(0, Alpha(surface.Pixel(25, 25)));
    EXPECT_FALSE(button.Holy_judgment());
    button.InCreaseAlpha();
    EXPECT_TRUE(button.Holy_judgment());
    button.OnPaint(surface.Dc());
    EXPECT_TRUE(Near(surface.Pixel(25, 25), kRed));
    EXPECT_EQ(255, Alpha(surface.Pixel(25, 25)));
    // Enlarging stretches the picture about its top-left corner.
    button.Enlarge_window();
    EXPECT_EQ(60, button.GetWindowRect().right);
    button.adjust_horizon(5);
    EXPECT_EQ(15, button.get_left_vertical_val());
    button.Let_me_zoom_in();
    EXPECT_EQ(64, button.GetWindowRect().right);
    EXPECT_EQ(59, button.GetWindowRect().bottom);
}

TEST(CheckBoxTest, ClickTogglesAndPostsSetCheckDoesNot)
{
    TestParent parent;
    ASSERT_TRUE(parent.Open(200, 100));
    CCheckBoxUI box;
    ASSERT_TRUE(box.Create(parent.GetHWND(), RECT{10, 10, 100, 26}, L"记住密码", 2016, 0));
    parent.router
        = [&](UINT msg, WPARAM wParam, LPARAM lParam) { box.WindowProc(parent.GetHWND(), msg, wParam, lParam); };
    parent.Click(20, 18);
    auto commands = parent.TakeCommands();
    ASSERT_EQ(1u, commands.size());
    EXPECT_EQ(2016, commands[0].id);
    EXPECT_TRUE(box.GetCheck());
    EXPECT_EQ(CCheckBoxUI::kHover, box.GetState());
    parent.Click(20, 18);
    EXPECT_FALSE(box.GetCheck());
    parent.TakeCommands();
    box.SetCheck(true);
    EXPECT_TRUE(parent.TakeCommands().empty());
    // A release without a press on the box changes nothing.
    parent.MouseAt(20, 18);
    parent.Send(WM_LBUTTONUP, 0, MAKELPARAM(20, 18));
    EXPECT_TRUE(box.GetCheck());
    EXPECT_TRUE(parent.TakeCommands().empty());
    box.EnableWindow(false);
    EXPECT_EQ(RGB(194, 194, 194), box.GetTextColor());
    parent.Click(20, 18);
    EXPECT_TRUE(box.GetCheck());
    EXPECT_TRUE(parent.TakeCommands().empty());
}

TEST(CheckBoxTest, DrawsTheCheckedSliceAndAutoSizes)
{
    TestParent parent;
    ASSERT_TRUE(parent.Open(200, 100));
    CCheckBoxUI box;
    ASSERT_TRUE(box.Create(parent.GetHWND(), RECT{10, 10, 20, 20}, L"", 1, 0));
    auto strip = Strip(16, 16, {kRed, kGreen, kGrey, kBlue, RGB(0, 255, 255), RGB(255, 0, 255)});
    box.SetBitmap(strip.get());
    box.SetAutoSize();
    EXPECT_EQ(16 + 6, box.GetWindowRect().right - box.GetWindowRect().left);
    EXPECT_EQ(16, box.GetWindowRect().bottom - box.GetWindowRect().top);
    Surface surface(200, 100);
    box.OnPaint(surface.Dc());
    EXPECT_TRUE(Near(surface.Pixel(18, 18), kRed));
    box.SetCheck(true);
    box.OnPaint(surface.Dc());
    EXPECT_TRUE(Near(surface.Pixel(18, 18), kBlue));
    box.EnableWindow(false);
    box.OnPaint(surface.Dc());
    EXPECT_TRUE(Near(surface.Pixel(18, 18), RGB(255, 0, 255)));
}

class TabTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(parent.Open(400, 100));
        ASSERT_TRUE(tab.Create(parent.GetHWND(), 10, 10, 300, 30, 77, 0));
        tab.SetItemSize(SIZE{80, 30});
        tab.SetItemDistance(20);
        for (int i = 0; i < 3; ++i)
            tab.AddItem(strip.get());
        parent.router
            = [this](UINT msg, WPARAM wParam, LPARAM lParam) { tab.WindowProc(parent.GetHWND(), msg, wParam, lParam); };
    }
    void MoveTo(int x, int y)
    {
        parent.MouseAt(x, y);
        parent.Send(WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    }
    std::unique_ptr<Gdiplus::Bitmap> strip = Strip(80, 30, {kRed, kGreen, kBlue});
    TestParent parent;
    CTabUI tab;
};

TEST_F(TabTest, HotAndSelectedItemsNotifyWithTheRecord)
{
    MoveTo(20, 20);
    auto notices = parent.TakeTabNotices();
    ASSERT_EQ(1u, notices.size());
    EXPECT_EQ(kTabHotChanged, notices[0].kind);
    EXPECT_EQ(77, notices[0].id);
    EXPECT_EQ(0, notices[0].item);
    EXPECT_EQ(-1, notices[0].minusOne);
    EXPECT_EQ(0, notices[0].zero);
    MoveTo(130, 20);  // second item starts at 110
    notices = parent.TakeTabNotices();
    ASSERT_EQ(1u, notices.size());
    EXPECT_EQ(1, notices[0].item);
    EXPECT_EQ(1, tab.GetHotItem());

    parent.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(130, 20));
    notices = parent.TakeTabNotices();
    ASSERT_EQ(1u, notices.size());
    EXPECT_EQ(kTabSelectionChanged, notices[0].kind);
    EXPECT_EQ(1, notices[0].item);
    EXPECT_EQ(1, tab.GetCurSel());

    Surface surface(400, 100);
    tab.OnPaint(surface.Dc());
    EXPECT_TRUE(Near(surface.Pixel(15, 20), kRed));  // item 0 normal
    EXPECT_TRUE(Near(surface.Pixel(125, 20), kBlue));  // item 1 selected
    MoveTo(230, 20);
    tab.OnPaint(surface.Dc());
    EXPECT_TRUE(Near(surface.Pixel(235, 20), kGreen));  // item 2 hot
}

TEST_F(TabTest, GapBetweenItemsSelectsNothingAndReportsNoHotItem)
{
    MoveTo(20, 20);
    parent.TakeTabNotices();
    MoveTo(100, 20);  // gap between item 0 (10..90) and item 1 (110..190)
    auto notices = parent.TakeTabNotices();
    ASSERT_EQ(1u, notices.size());
    EXPECT_EQ(kTabHotChanged, notices[0].kind);
    EXPECT_EQ(-1, notices[0].item);
    parent.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 20));
    EXPECT_TRUE(parent.TakeTabNotices().empty());
    EXPECT_EQ(-1, tab.GetCurSel());
    EXPECT_EQ(-1, tab.SetCurSel(5));
    EXPECT_EQ(-1, tab.InsertItem(9, strip.get()));
    tab.DeleteItem(7);
    EXPECT_EQ(3, tab.GetItemCount());
}

TEST(HyperLinkTest, HoverColourUnderlineStyleAndClick)
{
    TestParent parent;
    ASSERT_TRUE(parent.Open(300, 100));
    CHyperLinkUI link;
    ASSERT_TRUE(link.Create(parent.GetHWND(), 2012));
    link.MoveWindow(10, 10, false);
    link.SetURL(L"http://127.0.0.1:8710/", L"");
    const RECT r = link.GetWindowRect();
    ASSERT_GT(r.right, r.left + 50);  // sized to the URL it shows
    parent.router
        = [&](UINT msg, WPARAM wParam, LPARAM lParam) { link.WindowProc(parent.GetHWND(), msg, wParam, lParam); };
    EXPECT_EQ(RGB(132, 132, 132), link.GetCurrentColor());
    parent.Click(r.left + 5, r.top + 5);
    EXPECT_TRUE(link.IsHover());
    EXPECT_EQ(RGB(14, 194, 210), link.GetCurrentColor());
    const auto commands = parent.TakeCommands();
    ASSERT_EQ(1u, commands.size());
    EXPECT_EQ(2012, commands[0].id);
    link.ModifyStyle(0, CHyperLinkUI::kStyleNoHoverColor, false);
    EXPECT_EQ(RGB(132, 132, 132), link.GetCurrentColor());
    parent.Send(WM_MOUSELEAVE);
    EXPECT_FALSE(link.IsHover());

    Surface surface(300, 100);
    surface.Clear(0);
    link.OnPaint(surface.Dc());
    EXPECT_GT(CountIf(surface, r, [](UINT32 p) { return Alpha(p) > 0; }), 20);
}

TEST(ToolTipTest, NearTheBottomRightCornerTheTipGoesLeftAndAbove)
{
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    CToolTipUI tip;
    ASSERT_TRUE(tip.Create(nullptr));
    const POINT cursor{work.right - 5, work.bottom - 5};
    SetCursorPos(cursor.x, cursor.y);
    tip.ShowToolTip(L"提示文字");
    EXPECT_TRUE(tip.IsVisible());
    const RECT r = tip.GetTipRect();
    EXPECT_EQ(work.right, r.right);
    EXPECT_LT(r.left, cursor.x);
    EXPECT_EQ(cursor.y - 10, r.bottom);
    EXPECT_LT(r.top, r.bottom);
    tip.HideToolTip();
    EXPECT_FALSE(tip.IsVisible());
    tip.ShowToolTip(L"");
    EXPECT_FALSE(tip.IsVisible());
    DestroyWindow(tip.GetHWND());
}

TEST(ToolTipTest, AKeptTipGoesOnceThePointerLeavesItsArea)
{
    ManualClock clock;
    ScopedControlClock inUse(clock);
    CToolTipUI tip;
    ASSERT_TRUE(tip.Create(nullptr));
    const RECT area{200, 200, 300, 240};
    struct Row {
        const char* what;
        POINT shownAt, then;
        bool stays;
    } rows[] = {
        {"shown with the pointer already outside", {150, 150}, {150, 150}, false},
        {"the pointer leaves", {250, 220}, {400, 400}, false},
        {"the pointer stays", {250, 220}, {260, 230}, true},
    };
    for (const Row& row : rows) {
        tip.HideToolTip();
        SetCursorPos(row.shownAt.x, row.shownAt.y);
        tip.ShowToolTip(L"热点", area);
        ASSERT_TRUE(tip.IsVisible()) << row.what;
        SetCursorPos(row.then.x, row.then.y);
        // Well under the two seconds after which any tip goes.
        clock.Advance(500);
        EXPECT_EQ(tip.IsVisible(), row.stays) << row.what;
    }
    DestroyWindow(tip.GetHWND());
}

TEST(ToolTipTest, ATipGoesAfterTwoSeconds)
{
    ManualClock clock;
    ScopedControlClock inUse(clock);
    CToolTipUI tip;
    ASSERT_TRUE(tip.Create(nullptr));
    tip.ShowToolTip(L"提示");
    ASSERT_TRUE(tip.IsVisible());
    clock.Advance(1999);
    EXPECT_TRUE(tip.IsVisible());
    clock.Advance(1);
    EXPECT_FALSE(tip.IsVisible());
    // Shown again, it has its full two seconds again.
    clock.Advance(5000);
    tip.ShowToolTip(L"提示");
    clock.Advance(1999);
    EXPECT_TRUE(tip.IsVisible());
    clock.Advance(1);
    EXPECT_FALSE(tip.IsVisible());
    DestroyWindow(tip.GetHWND());
}

// The buttons' shared tip is theirs: it goes, window and all, with the last
// button of its class, and a later button makes a fresh one.
TEST(ButtonTipTest, TheSharedTipGoesWithTheLastButton)
{
    ManualClock clock;
    ScopedControlClock inUse(clock);
    TestParent parent;
    ASSERT_TRUE(parent.Open(300, 200));
    HWND tipWindow = nullptr;
    {
        auto first = std::make_unique<CButtonUI>();
        auto second = std::make_unique<CButtonUI>();
        ASSERT_TRUE(first->Create(parent.GetHWND(), 42));
        ASSERT_TRUE(second->Create(parent.GetHWND(), 43));
        first->SetWindowRect(20, 20, 120, 50);
        first->SetTipText(L"提示");
        parent.router
            = [&](UINT msg, WPARAM wParam, LPARAM lParam) { first->WindowProc(parent.GetHWND(), msg, wParam, lParam); };
        parent.MouseAt(60, 30);
        parent.Send(WM_MOUSEMOVE, 0, MAKELPARAM(60, 30));
        clock.Advance(600);
        ASSERT_NE(nullptr, CButtonUI::m_pToolTip);
        tipWindow = CButtonUI::m_pToolTip->GetHWND();
        ASSERT_TRUE(IsWindow(tipWindow));
        parent.router = nullptr;
        first.reset();
        EXPECT_NE(nullptr, CButtonUI::m_pToolTip) << "freed while a button still shares it";
        EXPECT_TRUE(IsWindow(tipWindow));
    }
    EXPECT_EQ(nullptr, CButtonUI::m_pToolTip);
    EXPECT_FALSE(IsWindow(tipWindow));
}

TEST_F(ButtonTest, TipAppearsAfterTheHoverPauseAndIsSharedByTheButtons)
{
    ManualClock clock;
    ScopedControlClock inUse(clock);
    CButtonUI second;
    ASSERT_TRUE(second.Create(parent.GetHWND(), 43));
    second.SetWindowRect(150, 20, 250, 50);
    button.SetTipText(L"第一个提示");
    second.SetTipText(L"第二个提示");
    int tipTimerRuns = 0;
    parent.router = [&](UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_TIMER && wParam == kButtonTipTimer)
            ++tipTimerRuns;
        button.WindowProc(parent.GetHWND(), msg, wParam, lParam);
        second.WindowProc(parent.GetHWND(), msg, wParam, lParam);
    };
    const auto tipShown = [] { return CButtonUI::m_pToolTip && CButtonUI::m_pToolTip->IsVisible(); };
    ASSERT_FALSE(tipShown());

    parent.MouseAt(60, 30);
    parent.Send(WM_MOUSEMOVE, 0, MAKELPARAM(60, 30));
    clock.Advance(599);
    EXPECT_FALSE(tipShown());  // the pause is not over yet
    clock.Advance(1);
    ASSERT_TRUE(tipShown());
    EXPECT_EQ(1, tipTimerRuns);
    EXPECT_EQ(L"第一个提示", CButtonUI::m_pToolTip->GetText());
    POINT cursor{};
    GetCursorPos(&cursor);
    EXPECT_EQ(cursor.x, CButtonUI::m_pToolTip->GetTipRect().left);
    EXPECT_EQ(cursor.y + 20, CButtonUI::m_pToolTip->GetTipRect().top);
    EXPECT_FALSE(clock.Running(parent.GetHWND(), kButtonTipTimer));  // stopped once it ran

    // Leaving hides the tip; the next button shows its own text in the same tip.
    parent.MouseAt(120, 150);
    parent.Send(WM_MOUSEMOVE, 0, MAKELPARAM(120, 150));
    EXPECT_FALSE(tipShown());
    CToolTipUI* shared = CButtonUI::m_pToolTip;
    parent.MouseAt(200, 30);
    parent.Send(WM_MOUSEMOVE, 0, MAKELPARAM(200, 30));
    clock.Advance(600);
    ASSERT_TRUE(tipShown());
    EXPECT_EQ(shared, CButtonUI::m_pToolTip);
    EXPECT_EQ(L"第二个提示", CButtonUI::m_pToolTip->GetText());
    // The tip goes away by itself after two seconds.
    clock.Advance(1999);
    EXPECT_TRUE(tipShown());
    clock.Advance(1);
    EXPECT_FALSE(tipShown());

    // Without tip text the timer runs and shows nothing.
    parent.MouseAt(120, 150);
    parent.Send(WM_MOUSEMOVE, 0, MAKELPARAM(120, 150));
    second.SetTipText(L"");
    tipTimerRuns = 0;
    parent.MouseAt(200, 30);
    parent.Send(WM_MOUSEMOVE, 0, MAKELPARAM(200, 30));
    clock.Advance(600);
    EXPECT_EQ(1, tipTimerRuns);
    EXPECT_FALSE(tipShown());
    EXPECT_FALSE(clock.Running(parent.GetHWND(), kButtonTipTimer));
    parent.router = nullptr;
}

TEST(PictureTest, DrawingModesPlaceThePicture)
{
    TestParent parent;
    ASSERT_TRUE(parent.Open(200, 100));
    auto square = Strip(10, 10, {kRed});
    CPictureUI picture;
    ASSERT_TRUE(picture.Create(parent.GetHWND(), true));
    picture.set_picture_ptr(square.get());
    Surface surface(200, 100);
    const struct {
        int style;
        POINT inked;
        POINT empty;
    } cases[] = {
        {0, {12, 12}, {25, 25}},  // natural size at the top-left
        {1, {45, 45}, {55, 55}},  // stretched to the rectangle
        {2, {45, 45}, {55, 55}},  // tiled over the rectangle
        {3, {30, 30}, {12, 12}},  // centred
        {4, {-1, -1}, {30, 30}},  // draws nothing
    };
    for (const auto& c : cases) {
        surface.Clear(0);
        picture.SetStyle(c.style);
        picture.set_window_rect(10, 10, 50, 50);
        picture.OnPaint(surface.Dc());
        if (c.inked.x >= 0) {
            EXPECT_TRUE(Near(surface.Pixel(c.inked.x, c.inked.y), kRed)) << "style " << c.style;
        }
        EXPECT_EQ(0, Alpha(surface.Pixel(c.empty.x, c.empty.y))) << "style " << c.style;
    }
    // Three-part stretch: the caps stay, the middle column fills the gap.
    auto pill = Strip(1, 10, {kRed, kRed, kGreen, kBlue, kBlue});
    picture.set_picture_ptr(pill.get());
    picture.SetStyle(5);
    picture.set_window_rect(10, 10, 110, 20);
    surface.Clear(0);
    picture.OnPaint(surface.Dc());
    EXPECT_TRUE(Near(surface.Pixel(11, 15), kRed));
    for (int x = 12; x < 108; x += 7)
        EXPECT_TRUE(Near(surface.Pixel(x, 15), kGreen)) << "x " << x;
    EXPECT_TRUE(Near(surface.Pixel(108, 15), kBlue));
    picture.ShowWindow(false);
    surface.Clear(0);
    picture.OnPaint(surface.Dc());
    EXPECT_EQ(0, Alpha(surface.Pixel(50, 15)));
}

}  // namespace

namespace {

// Both button classes are one button: the same input gives the same
// commands and states, and each class keeps a tip of its own.
template <class Button> class EitherButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(parent.Open(300, 200));
        parent.HostControl(button);
        ASSERT_TRUE(button.Create(parent.GetHWND(), 7));
        button.SetWindowRect(20, 20, 120, 50);
        parent.TakeCommands();
    }
    std::vector<WORD> Codes()
    {
        std::vector<WORD> codes;
        for (const RecordedCommand& c : parent.TakeCommands())
            if (c.id == 7)
                codes.push_back(c.code);
        return codes;
    }
    TestParent parent;
    Button button;
};

using ButtonKinds = ::testing::Types<CButtonUI, Gosick_button>;
TYPED_TEST_SUITE(EitherButtonTest, ButtonKinds);

TYPED_TEST(EitherButtonTest, EnterClickLeaveAndADisabledButton)
{
    ManualClock clock;
    ScopedControlClock inUse(clock);
    clock.Advance(1000);
    this->parent.Click(60, 30);
    EXPECT_EQ((std::vector<WORD>{kButtonMouseEnter, 0}), this->Codes());
    EXPECT_EQ(kButtonHover, this->button.GetState());
    this->parent.MouseAt(250, 150);
    this->parent.Send(WM_MOUSEMOVE, 0, MAKELPARAM(250, 150));
    EXPECT_EQ(std::vector<WORD>{kButtonMouseLeave}, this->Codes());
    EXPECT_EQ(kButtonNormal, this->button.GetState());

    this->button.EnableWindow(false);
    clock.Advance(1000);
    this->parent.Click(60, 30);
    EXPECT_TRUE(this->Codes().empty());
    EXPECT_EQ(kButtonDisabled, this->button.GetState());
}

TYPED_TEST(EitherButtonTest, TheTipIsTheClassOwn)
{
    ManualClock clock;
    ScopedControlClock inUse(clock);
    this->button.SetTipText(L"提示");
    this->parent.MouseAt(60, 30);
    this->parent.Send(WM_MOUSEMOVE, 0, MAKELPARAM(60, 30));
    this->parent.Send(WM_TIMER, kButtonTipTimer, 0);
    ASSERT_NE(nullptr, TypeParam::m_pToolTip);
    EXPECT_EQ(L"提示", TypeParam::m_pToolTip->GetText());
    const bool plain = std::is_same_v<TypeParam, CButtonUI>;
    EXPECT_EQ(nullptr, plain ? Gosick_button::m_pToolTip : CButtonUI::m_pToolTip);
}

}  // namespace
