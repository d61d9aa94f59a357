// Keyboard focus among a window's drawn controls: the order Tab and
// Shift+Tab take, what Space, Enter and Escape do to the focused control,
// the events a screen reader follows and the mark drawn around it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "focus_keys.h"
#include "skinkit/button.h"
#include "skinkit/check_box.h"
#include "skinkit/focus_cycle.h"
#include "skinkit/rich_edit.h"
#include "test_window.h"

namespace {

constexpr WORD kFieldId = 1, kBoxId = 2, kOkId = 3, kHiddenId = 4, kCancelId = 5;

class FocusCycleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.HostNamedControl(field, L"名字");
        window.HostControl(box);
        window.HostControl(ok);
        window.HostControl(hidden);
        window.HostControl(cancel);
        window.ListFocusable(field);
        window.ListFocusable(box);
        window.ListFocusable(ok);
        window.ListFocusable(hidden);
        window.ListFocusable(cancel);
        window.FocusCycle().OnEscape([this] { ++escapes; });
        ASSERT_TRUE(window.Open(320, 200));
        HWND hwnd = window.GetHWND();
        ASSERT_TRUE(field.Create(hwnd, kFieldId, ES_AUTOHSCROLL));
        field.SetBkRect(20, 20, 220, 50);
        field.SetEidtRect(24, 24, 216, 46);
        ASSERT_TRUE(box.Create(hwnd, 20, 70, 100, 20, L"记住", kBoxId, 0));
        ASSERT_TRUE(ok.Create(hwnd, 20, 120, 80, 30, kOkId, L""));
        ok.SetWindowTextW(L"确定");
        ASSERT_TRUE(hidden.Create(hwnd, 110, 120, 80, 30, kHiddenId, L""));
        hidden.ShowWindow(false);
        ASSERT_TRUE(cancel.Create(hwnd, 200, 120, 80, 30, kCancelId, L""));
        cancel.SetWindowTextW(L"取消");
    }

    const void* Focused() const { return window.FocusCycle().Focused(); }

    TestParent window;
    CRichEditUI field;
    CCheckBoxUI box;
    CButtonUI ok;
    CButtonUI hidden;
    CButtonUI cancel;
    int escapes = 0;
};

TEST_F(FocusCycleTest, TabAndShiftTabStepThroughTheShownControlsInListedOrder)
{
    struct Row {
        int tabs;
        bool shift;
        const void* focused;
        long child;  // the screen reader's id of it
    } const kRows[] = {
        {1, false, &field, 1},
        {2, false, &box, 2},
        {3, false, &ok, 3},
        {4, false, &cancel, 5},  // the hidden button is passed over
        {5, false, &field, 1},  // and round again
        {1, true, &cancel, 5},
        {2, true, &ok, 3},
        {4, true, &field, 1},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(::testing::Message() << row.tabs << (row.shift ? " shift+tabs" : " tabs"));
        // Nothing focused to start with.
        window.FocusCycle().OnClick(window.GetHWND());
        field.KillFocus();
        ASSERT_EQ(Focused(), nullptr);
        FocusEvents events(window.GetHWND());
        ASSERT_TRUE(events.Hooked());
        for (int i = 0; i < row.tabs; ++i)
            PressKey(window.GetHWND(), VK_TAB, row.shift);
        EXPECT_EQ(Focused(), row.focused);
        EXPECT_EQ(events.TakeLast(), row.child);
        // One focused control at a time.
        EXPECT_EQ(field.IsFocus(), row.focused == &field);
        EXPECT_EQ(box.IsFocus(), row.focused == &box);
        EXPECT_EQ(ok.HasKeyFocus(), row.focused == &ok);
        EXPECT_EQ(cancel.HasKeyFocus(), row.focused == &cancel);
    }
}

TEST_F(FocusCycleTest, KeysActOnTheFocusedControlOnly)
{
    struct Row {
        const char* what;
        const void* focused;
        WPARAM key;
        std::vector<WORD> commands;
        bool taken;  // the window sees nothing of the key
        bool checkedAfter;
        int escapes;
    } const kRows[] = {
        {"space on a button clicks it", &ok, VK_SPACE, {kOkId}, true, false, 0},
        {"enter on a button clicks it", &cancel, VK_RETURN, {kCancelId}, true, false, 0},
        {"space ticks a box", &box, VK_SPACE, {kBoxId}, true, true, 0},
        {"enter on a box is the window's", &box, VK_RETURN, {}, false, false, 0},
        {"space in a field is typing", &field, VK_SPACE, {}, false, false, 0},
        {"escape closes from anywhere", &field, VK_ESCAPE, {}, true, false, 1},
        {"escape closes from a button", &ok, VK_ESCAPE, {}, true, false, 1},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.what);
        box.SetCheck(false);
        escapes = 0;
        ASSERT_TRUE(window.FocusCycle().Focus(window.GetHWND(), row.focused));
        window.TakeCommands();
        window.watchMessage = WM_KEYDOWN;
        window.resultToLeave = 7;
        const LRESULT result = SendMessageW(window.GetHWND(), WM_KEYDOWN, row.key, 1);
        window.watchMessage = 0;
        std::vector<WORD> ids;
        for (const RecordedCommand& command : window.TakeCommands())
            ids.push_back(command.id);
        EXPECT_EQ(ids, row.commands);
        EXPECT_EQ(result != 7, row.taken);
        EXPECT_EQ(box.GetCheck(), row.checkedAfter);
        EXPECT_EQ(escapes, row.escapes);
        EXPECT_EQ(Focused(), row.focused);
    }
}

TEST_F(FocusCycleTest, AClickTakesTheFocusFromAButton)
{
    ASSERT_TRUE(window.FocusCycle().Focus(window.GetHWND(), &ok));
    window.Click(300, 190);
    EXPECT_EQ(Focused(), nullptr);
    EXPECT_FALSE(ok.HasKeyFocus());
}

// A field lets the focus go when its window goes to the back; whichever
// message says the window is in front again brings it back there.
TEST_F(FocusCycleTest, TheFocusComesBackWithTheWindow)
{
    struct Row {
        const char* what;
        UINT msg;
        WPARAM wParam;
    } const kRows[] = {
        {"activated", WM_ACTIVATE, WA_ACTIVE},
        {"caption active", WM_NCACTIVATE, TRUE},
        {"keyboard focus", WM_SETFOCUS, 0},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(window.FocusCycle().Focus(window.GetHWND(), &field));
        window.Send(WM_NCACTIVATE, FALSE);
        ASSERT_FALSE(field.IsFocus());
        // Told twice, it still knows where the focus was.
        window.Send(WM_NCACTIVATE, FALSE);
        window.Send(row.msg, row.wParam);
        EXPECT_TRUE(field.IsFocus());
    }
}

// The mark is the accent, just outside the focused control; it follows the
// focus and leaves nothing behind.
TEST_F(FocusCycleTest, TheMarkSurroundsTheFocusedControlInTheAccent)
{
    const auto render = [&](Surface& surface) {
        surface.Clear(0xFFFFFFFF);
        ok.OnPaint(surface.Dc());
        cancel.OnPaint(surface.Dc());
        window.FocusCycle().Paint(surface.Dc(), window.GetHWND());
    };
    // Just above each button's top edge, in its middle.
    const auto marked = [](const Surface& s, const CButtonUI& button) {
        const RECT r = button.GetWindowRect();
        const int x = (r.left + r.right) / 2;
        for (int y = r.top - 4; y < r.top; ++y) {
            if (Near(s.Pixel(x, y), kFocusMarkColor, 48))
                return true;
        }
        return false;
    };
    struct Row {
        const void* focused;
        bool okMarked, cancelMarked;
    } const kRows[] = {
        {&ok, true, false},
        {&cancel, false, true},
        {&field, false, false},
    };
    Surface unfocused(320, 200);
    window.FocusCycle().OnClick(window.GetHWND());
    render(unfocused);
    for (const Row& row : kRows) {
        ASSERT_TRUE(window.FocusCycle().Focus(window.GetHWND(), row.focused));
        Surface surface(320, 200);
        render(surface);
        EXPECT_EQ(marked(surface, ok), row.okMarked);
        EXPECT_EQ(marked(surface, cancel), row.cancelMarked);
    }
    // Back to nothing focused: the picture is the unfocused one again.
    window.FocusCycle().OnClick(window.GetHWND());
    field.KillFocus();
    Surface after(320, 200);
    render(after);
    EXPECT_EQ(CountDifferences(after, unfocused), 0);
    EXPECT_FALSE(marked(unfocused, ok));
}

}  // namespace
