// The rich edit field over riched20's windowless text services.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "skinkit/rich_edit.h"
#include "test_window.h"

namespace {

constexpr WORD kId = 2017;

// Background parts are 10 pixels high.
std::unique_ptr<Gdiplus::Bitmap> Slices(int cellWidth, std::initializer_list<COLORREF> colors)
{
    return Strip(cellWidth, 10, colors);
}

class RichEditTest : public ::testing::Test {
protected:
    // One visible, active parent for the suite: focus moves as it would in a
    // real window, and Wine is spared re-mapping a window per test.
    static void SetUpTestSuite()
    {
        shared = new TestParent;
        shared->Open(300, 120);
        ShowWindow(shared->GetHWND(), SW_SHOW);
        SetForegroundWindow(shared->GetHWND());
        SetFocus(shared->GetHWND());
    }
    static void TearDownTestSuite()
    {
        delete shared;
        shared = nullptr;
    }
    void SetUp() override
    {
        ASSERT_NE(nullptr, shared->GetHWND());
        ASSERT_TRUE(edit.Create(parent.GetHWND(), kId, ES_AUTOHSCROLL));
        ASSERT_TRUE(edit.HasTextHost());
        edit.SetBkRect(10, 10, 210, 46);
        edit.SetEidtRect(20, 20, 200, 36);
        parent.router = [this](UINT msg, WPARAM wParam, LPARAM lParam) {
            edit.WindowProc(parent.GetHWND(), msg, wParam, lParam);
        };
        parent.MouseAt(280, 110);
        parent.TakeCommands();
    }
    void TearDown() override
    {
        SetKeyboardCtrl(false);
        parent.router = nullptr;
        KillTimer(parent.GetHWND(), kEditCaretTimer);
        parent.TakeCommands();
    }

    std::vector<WORD> Codes()
    {
        std::vector<WORD> codes;
        for (const RecordedCommand& c : parent.TakeCommands()) {
            if (c.id == kId)
                codes.push_back(c.code);
        }
        return codes;
    }
    static int Count(const std::vector<WORD>& codes, WORD code)
    {
        return static_cast<int>(std::count(codes.begin(), codes.end(), code));
    }
    void Type(const wchar_t* text)
    {
        for (const wchar_t* p = text; *p; ++p)
            parent.Send(WM_CHAR, *p, 1);
    }
    static void SetKeyboardCtrl(bool down)
    {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_CONTROL] = down ? 0x80 : 0;
        SetKeyboardState(keys);
    }
    void Focus()
    {
        edit.SetFocus();
        parent.TakeCommands();
    }

    static TestParent* shared;
    TestParent& parent = *shared;
    CRichEditUI edit;
};

TestParent* RichEditTest::shared = nullptr;

TEST_F(RichEditTest, SetAndGetTextWithTheChangeNotificationOnce)
{
    edit.SetWindowTextW(L"你好 Quarn");
    EXPECT_EQ(L"你好 Quarn", edit.GetWindowTextW());
    EXPECT_EQ(8, edit.GetTextLength());
    edit.SetWindowTextW(L"你好 Quarn");
    auto codes = Codes();
    EXPECT_EQ(1, Count(codes, kEditTextChanged));
    edit.SetWindowTextW(nullptr);
    EXPECT_EQ(L"你好 Quarn", edit.GetWindowTextW());
    edit.SetSel(0, 2);
    EXPECT_EQ(L"你好", edit.GetSelText());
    edit.AppendText(L"!", false);
    EXPECT_EQ(L"你好 Quarn!", edit.GetWindowTextW());
    EXPECT_EQ(L"Quarn", edit.GetTextRange(3, 8));
}

TEST_F(RichEditTest, TypingReachesTheEngineOnlyWhileFocused)
{
    Type(L"ab");
    EXPECT_EQ(L"", edit.GetWindowTextW());
    EXPECT_TRUE(Codes().empty());
    edit.SetFocus();
    EXPECT_EQ(1, Count(Codes(), kEditFocusGained));
    EXPECT_TRUE(edit.IsFocus());
    Type(L"abc");
    EXPECT_EQ(L"abc", edit.GetWindowTextW());
    EXPECT_EQ(3, Count(Codes(), kEditCharTyped));
    parent.Send(WM_KEYDOWN, VK_BACK, 1);
    EXPECT_EQ(L"ab", edit.GetWindowTextW());
    edit.KillFocus();
    EXPECT_EQ(1, Count(Codes(), kEditFocusLost));
    EXPECT_FALSE(edit.IsFocus());
}

TEST_F(RichEditTest, TabIsNeverInsertedAndEnterLeavesASingleLine)
{
    Focus();
    Type(L"ab");
    Codes();
    parent.Send(WM_KEYDOWN, VK_TAB, 1);
    parent.Send(WM_CHAR, L'\t', 1);
    EXPECT_EQ(L"ab", edit.GetWindowTextW());
    EXPECT_EQ(0, Count(Codes(), kEditCharTyped));
    parent.Send(WM_KEYDOWN, VK_RETURN, 1);
    parent.Send(WM_CHAR, L'\r', 1);
    EXPECT_EQ(L"ab", edit.GetWindowTextW());
    EXPECT_EQ(1, edit.GetLineCount());
}

TEST_F(RichEditTest, CtrlChordsNotifyOnlyForPasteAndCut)
{
    Focus();
    SetKeyboardCtrl(true);
    parent.Send(WM_CHAR, 3, 1);  // Ctrl+C
    EXPECT_EQ(0, Count(Codes(), kEditCharTyped));
    parent.Send(WM_CHAR, 22, 1);  // Ctrl+V
    EXPECT_EQ(1, Count(Codes(), kEditCharTyped));
    parent.Send(WM_CHAR, 24, 1);  // Ctrl+X
    EXPECT_EQ(1, Count(Codes(), kEditCharTyped));
    SetKeyboardCtrl(false);
    EXPECT_EQ(L"", edit.GetWindowTextW());
}

TEST_F(RichEditTest, PasswordFieldKeepsTheTextAndShowsAsterisks)
{
    EXPECT_EQ(0, edit.SetPasswordChar(L'*'));
    EXPECT_TRUE(edit.IsPassword());
    Focus();
    Type(L"abc");
    EXPECT_EQ(L"abc", edit.GetWindowTextW());
    wchar_t buffer[16] = {};
    LRESULT copied = 0;
    edit.TxSendMessage(WM_GETTEXT, 16, reinterpret_cast<LPARAM>(buffer), &copied);
    EXPECT_STREQ(L"abc", buffer);

    // Caret after the third asterisk at left + 2 + 6 x 3, in the blink phase.
    edit.SetSel(3, 3);
    if (!edit.IsCaretPhaseVisible())
        edit.OnTimer(kEditCaretTimer);
    ASSERT_TRUE(edit.IsCaretPhaseVisible());
    Surface surface(300, 120);
    surface.Clear(0);
    edit.OnPaint2(surface.Dc(), nullptr);
    EXPECT_TRUE(Near(surface.Pixel(40, 28), RGB(58, 67, 74), 12));
    EXPECT_GT(Alpha(surface.Pixel(40, 28)), 200);
    EXPECT_EQ(0, Alpha(surface.Pixel(52, 28)));
    EXPECT_GT(CountIf(surface, RECT{22, 20, 40, 36}, [](UINT32 p) { return Alpha(p) > 0; }), 6);
    // Blink phase off: no caret.
    edit.OnTimer(kEditCaretTimer);
    surface.Clear(0);
    edit.OnPaint2(surface.Dc(), nullptr);
    EXPECT_EQ(0, Alpha(surface.Pixel(40, 34)));
}

TEST_F(RichEditTest, ClicksTakeAndDropFocusByRectangle)
{
    parent.Click(50, 28);  // inside the edit rectangle
    auto codes = Codes();
    EXPECT_EQ(1, Count(codes, kEditFocusGained));
    EXPECT_EQ(1, Count(codes, kEditClicked));
    EXPECT_TRUE(edit.IsFocus());
    parent.Click(12, 12);  // background only
    EXPECT_TRUE(Codes().empty());
    EXPECT_TRUE(edit.IsFocus());
    parent.Click(250, 100);  // outside the background
    EXPECT_EQ(1, Count(Codes(), kEditFocusLost));
    EXPECT_FALSE(edit.IsFocus());
    parent.Click(12, 12);
    EXPECT_FALSE(edit.IsFocus());

    parent.MouseAt(50, 28);
    parent.Send(WM_RBUTTONUP, 0, MAKELPARAM(50, 28));
    EXPECT_EQ(1, Count(Codes(), kEditContextMenu));
    parent.MouseAt(250, 100);
    parent.Send(WM_RBUTTONUP, 0, MAKELPARAM(250, 100));
    EXPECT_TRUE(Codes().empty());
}

TEST_F(RichEditTest, LimitAndReadOnly)
{
    edit.SetLimitText(5);
    EXPECT_EQ(5, edit.GetLimitText());
    Focus();
    Type(L"1234567");
    EXPECT_EQ(L"12345", edit.GetWindowTextW());
    edit.SetLimitText(0);
    EXPECT_EQ(0x7FFF, edit.GetLimitText());
    edit.KillFocus();
    edit.SetReadOnly(true);
    parent.Click(50, 28);
    EXPECT_FALSE(edit.IsFocus());
}

TEST_F(RichEditTest, BackgroundShowsTheFocusedSliceUnlessSingleState)
{
    auto left = Slices(10, {RGB(255, 0, 0), RGB(0, 255, 0)});
    auto middle = Slices(1, {RGB(9, 9, 9), RGB(9, 9, 9)});
    auto single = Slices(1, {RGB(9, 9, 9)});
    std::deque<Gdiplus::Bitmap*> images{left.get(), middle.get(), single.get()};
    ScratchFolder folder;
    const std::wstring ini = folder.Write(L"e.ini",
        L"[two]\r\nImageBkLeft=1\r\nImageBkMiddle=2\r\nImageBkRight=1\r\n"
        L"rectbk=10,10,210,46\r\nrect=20,20,200,36\r\n"
        L"[one]\r\nImageBkLeft=1\r\nImageBkMiddle=3\r\nImageBkRight=1\r\n"
        L"rectbk=10,10,210,46\r\nrect=20,20,200,36\r\n");
    edit.SetAttribute(L"two", ini, images);
    EXPECT_EQ(RGB(58, 67, 74), edit.GetTextColor());
    Surface surface(300, 120);
    edit.OnPaint2(surface.Dc(), nullptr);
    EXPECT_TRUE(Near(surface.Pixel(100, 40), RGB(255, 0, 0)));
    Focus();
    edit.OnPaint2(surface.Dc(), nullptr);
    EXPECT_TRUE(Near(surface.Pixel(100, 40), RGB(0, 255, 0)));
    EXPECT_EQ(1, edit.GetBkState());

    edit.SetAttribute(L"one", ini, images);
    edit.OnPaint2(surface.Dc(), nullptr);
    EXPECT_EQ(0, edit.GetBkState());
    EXPECT_TRUE(Near(surface.Pixel(30, 40), RGB(255, 0, 0)));
    KillTimer(parent.GetHWND(), kEditCaretTimer);
}

// The parent's edit menu as a window shows it: on notification 4 it tracks a
// pop-up menu and routes the chosen command back with lParam 0. The keys a
// user would press are queued before the menu's loop starts reading.
class EditMenu {
public:
    EditMenu(TestParent& parent, CRichEditUI& edit)
        : m_parent(parent)
        , m_edit(edit)
    {
    }
    void Choose(int position) { m_position = position; }
    UINT LastCommand() const { return m_command; }

    void Route(UINT msg, WPARAM wParam, LPARAM lParam)
    {
        m_edit.WindowProc(m_parent.GetHWND(), msg, wParam, lParam);
        if (msg == WM_COMMAND && LOWORD(wParam) == kId && HIWORD(wParam) == kEditContextMenu)
            Show();
    }

private:
    void Show()
    {
        HWND hwnd = m_parent.GetHWND();
        HMENU menu = CreatePopupMenu();
        AppendMenuW(menu, MF_STRING, kEditMenuCopy, L"复制");
        AppendMenuW(menu, MF_STRING, kEditMenuPaste, L"粘贴");
        AppendMenuW(menu, MF_STRING, kEditMenuCut, L"剪切");
        for (int i = 0; i <= m_position; ++i)
            PostMessageW(hwnd, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(hwnd, WM_KEYDOWN, VK_RETURN, 0);
        POINT at{};
        GetCursorPos(&at);
        m_command = static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, 0, hwnd, nullptr));
        DestroyMenu(menu);
        if (m_command)
            SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(m_command, 0), 0);
    }

    TestParent& m_parent;
    CRichEditUI& m_edit;
    int m_position = 0;
    UINT m_command = 0;
};

std::wstring ClipboardText(HWND owner)
{
    std::wstring text;
    if (!OpenClipboard(owner))
        return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

// A multi-line field: Wine's engine pastes over the whole text of a
// single-line plain-text field instead of at the selection.
TEST_F(RichEditTest, RightButtonMenuCopiesCutsAndPastesThroughTheClipboard)
{
    CRichEditUI field;
    ASSERT_TRUE(field.Create(parent.GetHWND(), kId, ES_MULTILINE));
    field.SetBkRect(10, 10, 210, 46);
    field.SetEidtRect(20, 20, 200, 36);
    EditMenu menu(parent, field);
    parent.router = [&menu](UINT msg, WPARAM wParam, LPARAM lParam) { menu.Route(msg, wParam, lParam); };
    const auto rightClick = [&](int position) {
        menu.Choose(position);
        parent.MouseAt(60, 28);
        parent.Send(WM_RBUTTONUP, 0, MAKELPARAM(60, 28));
    };
    field.SetWindowTextW(L"复制粘贴 test");
    field.SetFocus();
    Codes();

    field.SetSel(0, 2);
    rightClick(0);
    ASSERT_EQ(kEditMenuCopy, menu.LastCommand());
    EXPECT_EQ(L"复制", ClipboardText(parent.GetHWND()));
    EXPECT_EQ(L"复制粘贴 test", field.GetWindowTextW());
    auto codes = Codes();
    EXPECT_EQ(1, Count(codes, kEditContextMenu));
    EXPECT_EQ(0, Count(codes, kEditTextChanged));

    field.SetSel(5, 9);
    rightClick(2);
    ASSERT_EQ(kEditMenuCut, menu.LastCommand());
    EXPECT_EQ(L"test", ClipboardText(parent.GetHWND()));
    EXPECT_EQ(L"复制粘贴 ", field.GetWindowTextW());
    EXPECT_EQ(1, Count(Codes(), kEditTextChanged));

    field.SetSel(2, 2);
    rightClick(1);
    ASSERT_EQ(kEditMenuPaste, menu.LastCommand());
    EXPECT_EQ(L"复制test粘贴 ", field.GetWindowTextW());
    EXPECT_EQ(1, Count(Codes(), kEditTextChanged));

    // Commands reach the engine only while the field has focus.
    field.KillFocus();
    parent.Send(WM_COMMAND, MAKEWPARAM(kEditMenuPaste, 0), 0);
    EXPECT_EQ(L"复制test粘贴 ", field.GetWindowTextW());
    EXPECT_EQ(0, Count(Codes(), kEditTextChanged));
    parent.router = nullptr;
}

// The variant for ordinary windows: the three-part background and the text
// the engine draws itself, inside the edit rectangle.
TEST_F(RichEditTest, EngineDrawnVariantPaintsThreePartsAndTheEngineText)
{
    constexpr COLORREF kLeft = RGB(230, 230, 230);
    constexpr COLORREF kLeftFocused = RGB(220, 240, 220);
    constexpr COLORREF kFill = RGB(250, 250, 250);
    constexpr COLORREF kFillFocused = RGB(240, 250, 240);
    constexpr COLORREF kRight = RGB(200, 220, 240);
    constexpr COLORREF kRightFocused = RGB(200, 240, 200);
    auto left = Slices(8, {kLeft, kLeftFocused});
    auto middle = Slices(3, {kFill, kFill});
    // The middle part repeats the right image's first column.
    auto right = Slices(8, {kRight, kRightFocused});
    for (int y = 0; y < 10; ++y) {
        right->SetPixel(0, y, Gdiplus::Color(255, GetRValue(kFill), GetGValue(kFill), GetBValue(kFill)));
        right->SetPixel(
            8, y, Gdiplus::Color(255, GetRValue(kFillFocused), GetGValue(kFillFocused), GetBValue(kFillFocused)));
    }
    std::deque<Gdiplus::Bitmap*> images{left.get(), middle.get(), right.get()};
    ScratchFolder folder;
    const std::wstring ini = folder.Write(L"e.ini",
        L"[field]\r\nImageBkLeft=1\r\nImageBkMiddle=2\r\n"
        L"ImageBkRight=3\r\nTextColor=0,0,0\r\n"
        L"rectbk=10,10,210,46\r\nrect=20,20,200,36\r\n");
    edit.SetAttribute(L"field", ini, images);
    edit.SetWindowTextW(L"Quarn 图片");
    // The engine takes the colour and the face as its default format.
    CHARFORMAT2W format{};
    edit.GetDefaultCharFormat(format);
    EXPECT_EQ(RGB(0, 0, 0), format.crTextColor);
    EXPECT_STREQ(L"宋体", format.szFaceName);

    Surface surface(300, 120);
    surface.Clear(0xFFFFFFFF);
    edit.OnPaint(surface.Dc());
    EXPECT_TRUE(Near(surface.Pixel(13, 40), kLeft, 2));
    EXPECT_TRUE(Near(surface.Pixel(205, 40), kRight, 2));
    EXPECT_TRUE(Near(surface.Pixel(100, 42), kFill, 2));  // below the text
    EXPECT_TRUE(Near(surface.Pixel(5, 40), RGB(255, 255, 255), 0));  // outside the background
    // Dark text only inside the edit rectangle.
    int inside = 0;
    int outside = 0;
    for (int y = 10; y < 46; ++y) {
        for (int x = 10; x < 210; ++x) {
            const bool dark = Red(surface.Pixel(x, y)) < 128;
            const bool inEdit = x >= 20 && x < 200 && y >= 20 && y < 36;
            (inEdit ? inside : outside) += dark ? 1 : 0;
        }
    }
    EXPECT_GT(inside, 20);
    EXPECT_EQ(0, outside);

    Focus();
    surface.Clear(0xFFFFFFFF);
    edit.OnPaint(surface.Dc());
    EXPECT_TRUE(Near(surface.Pixel(13, 40), kLeftFocused, 2));
    EXPECT_TRUE(Near(surface.Pixel(205, 40), kRightFocused, 2));
    EXPECT_TRUE(Near(surface.Pixel(100, 42), kFillFocused, 2));
    KillTimer(parent.GetHWND(), kEditCaretTimer);
}

}  // namespace
