// The secondary windows by keyboard alone: which control Tab and Shift+Tab
// reach (as a screen reader hears it), what Space, Enter and Escape do.
#include "comment_edit.h"
#include "message_box.h"
#include "set_dlg.h"
#include "share_dlg.h"

#include "browser_recorder.h"
#include "focus_keys.h"
#include "pump.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::wstring ResourceFolder()
{
    wchar_t self[MAX_PATH];
    std::wstring folder(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    return folder.erase(folder.find_last_of(L'\\') + 1) + L"Qnv_resource\\";
}

void Drain()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// The owner's stand-in: keeps the commands it is sent.
std::vector<WORD> g_commands;

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_COMMAND)
        g_commands.push_back(LOWORD(wParam));
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND MakeOwner()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = OwnerProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QuarnFocusKeysOwner";
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, L"QuarnFocusKeysOwner", L"owner", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr,
        GetModuleHandleW(nullptr), nullptr);
}

struct TabRow {
    int tabs;
    bool shift;
    long child;
};

// Each row from the control focused when the window shows.
template <class Reset> void CheckTabOrder(HWND window, const std::vector<TabRow>& rows, Reset reset)
{
    for (const TabRow& row : rows) {
        reset();
        Drain();
        FocusEvents events(window);
        ASSERT_TRUE(events.Hooked());
        for (int i = 0; i < row.tabs; ++i)
            PressKey(window, VK_TAB, row.shift);
        EXPECT_EQ(events.TakeLast(), row.child) << row.tabs << (row.shift ? " back" : "");
    }
}

class FocusKeysTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_commands.clear();
        owner = MakeOwner();
        ASSERT_NE(owner, nullptr);
    }
    void TearDown() override { DestroyWindow(owner); }

    HWND owner = nullptr;
};

// Readers' ids: text 1, close 2, copy 3, first site 4, second site 5.
TEST_F(FocusKeysTest, ShareDialogTabOrder)
{
    CQNShareDlg dialog;
    ASSERT_TRUE(dialog.Create(owner, ResourceFolder()));
    // Shown again, it starts over at the first control (hiding costs Wine seconds).
    const auto reset = [&] { dialog.Show(true); };
    CheckTabOrder(dialog.GetHWND(),
        {{1, false, 4}, {2, false, 5}, {3, false, 3}, {4, false, 2}, {5, false, 1}, {1, true, 2}, {2, true, 3}}, reset);
}

TEST_F(FocusKeysTest, ShareDialogKeys)
{
    struct Row {
        const char* what;
        int tabs;
        WPARAM key;
        bool visible;
        bool opened;
    } const kRows[] = {
        {"enter in the text is a line break", 0, VK_RETURN, true, false},
        {"space on the first site opens its page", 1, VK_SPACE, true, true},
        {"enter on the second site opens its page", 2, VK_RETURN, true, true},
        {"space on close hides", 4, VK_SPACE, false, false},
        {"escape hides", 0, VK_ESCAPE, false, false},
    };
    CQNShareDlg dialog;
    ASSERT_TRUE(dialog.Create(owner, ResourceFolder()));
    for (const Row& row : kRows) {
        DefaultBrowserRecorder browser;
        dialog.Show(true);
        for (int i = 0; i < row.tabs; ++i)
            PressKey(dialog.GetHWND(), VK_TAB);
        PressKey(dialog.GetHWND(), row.key);
        if (row.opened) {
            EXPECT_TRUE(PumpUntil([&] { return !browser.Opened().empty(); })) << row.what;
        }
        Drain();
        EXPECT_EQ(IsWindowVisible(dialog.GetHWND()) != FALSE, row.visible) << row.what;
        EXPECT_EQ(browser.Opened().empty(), !row.opened) << row.what;
    }
}

// Readers' ids: start with Windows 1, sign in automatically 2, close 3.
TEST_F(FocusKeysTest, SettingsDialogTabOrderAndKeys)
{
    CQNSetDlg dialog(std::string("C:\\nowhere\\vlconfig.xml"));
    ASSERT_TRUE(dialog.Create(owner));
    dialog.LoadImages(ResourceFolder());
    const auto reset = [&] { dialog.Show(true); };
    CheckTabOrder(dialog.GetHWND(), {{1, false, 2}, {2, false, 3}, {3, false, 1}, {1, true, 3}, {2, true, 2}}, reset);

    struct Row {
        const char* what;
        int tabs;
        WPARAM key;
        bool visible;
        bool autoLogin;
    } const kRows[] = {
        {"space ticks the focused box", 1, VK_SPACE, true, true},
        {"enter leaves a box alone", 1, VK_RETURN, true, false},
        {"space on close hides", 2, VK_SPACE, false, false},
        {"enter on close hides", 2, VK_RETURN, false, false},
        {"escape hides", 0, VK_ESCAPE, false, false},
    };
    for (const Row& row : kRows) {
        reset();
        for (int i = 0; i < row.tabs; ++i)
            PressKey(dialog.GetHWND(), VK_TAB);
        PressKey(dialog.GetHWND(), row.key);
        Drain();
        EXPECT_EQ(IsWindowVisible(dialog.GetHWND()) != FALSE, row.visible) << row.what;
        if (row.visible) {
            EXPECT_EQ(dialog.AutoLoginChecked(), row.autoLogin) << row.what;
        }
    }
    DestroyWindow(dialog.GetHWND());
}

// One field: Tab keeps it; Enter sends, Shift+Enter breaks the line and
// Escape cancels, each as the view's buttons would.
TEST_F(FocusKeysTest, CommentInputKeys)
{
    struct Row {
        const char* what;
        WPARAM key;
        bool shift;
        std::vector<WORD> commands;
        bool textKept;
    } const kRows[] = {
        {"tab stays in the field", VK_TAB, false, {}, true},
        {"enter confirms", VK_RETURN, false, {CMD_CONFIRM}, true},
        {"shift+enter breaks the line", VK_RETURN, true, {}, false},
        {"escape cancels", VK_ESCAPE, false, {CMD_CANCEL_INPUT}, true},
    };
    CCommentEdit input;
    ASSERT_TRUE(input.Create(owner, 1857, nullptr, nullptr));
    input.Show(true);
    for (const Row& row : kRows) {
        input.SetText(L"好");
        FocusEvents events(input.GetHWND());
        input.Focus();
        EXPECT_EQ(events.TakeLast(), 1) << row.what;
        Drain();
        g_commands.clear();
        // The key and the character the system makes of it.
        PressKey(input.GetHWND(), row.key, row.shift);
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_SHIFT] = row.shift ? 0x80 : 0;
        SetKeyboardState(keys);
        if (row.key == VK_RETURN)
            SendMessageW(input.GetHWND(), WM_CHAR, L'\r', 1);
        keys[VK_SHIFT] = 0;
        SetKeyboardState(keys);
        Drain();
        EXPECT_EQ(g_commands, row.commands) << row.what;
        EXPECT_EQ(input.Text() == L"好", row.textKept) << row.what;
    }
    input.Show(false);
}

TEST_F(FocusKeysTest, MessageBoxSpaceOnItsFocusedButton)
{
    struct Row {
        const char* what;
        std::vector<WPARAM> keys;
        INT_PTR result;
    } const kRows[] = {
        {"space", {VK_SPACE}, IDOK},
        {"tab keeps the one button, then space", {VK_TAB, VK_TAB, VK_SPACE}, IDOK},
    };
    for (const Row& row : kRows) {
        CMessageBox box(owner, L"复制成功", ResourceFolder());
        const INT_PTR result = WhileOtherThread(
            [&] {
                HWND shown = WaitForWindow(L"QNMessageBox");
                for (WPARAM key : row.keys)
                    PostMessageW(shown, WM_KEYDOWN, key, 0);
                EndIfStillThere(shown);
            },
            [&] { return box.DoModal(owner); });
        EXPECT_EQ(result, row.result) << row.what;
    }
}

}  // namespace
