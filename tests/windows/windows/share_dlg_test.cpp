#include "message_box.h"
#include "share_dlg.h"

#include "browser_recorder.h"
#include "pump.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::wstring ResourceFolder()
{
    wchar_t self[MAX_PATH];
    std::wstring folder(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    return folder.erase(folder.find_last_of(L'\\') + 1) + L"Qnv_resource\\";
}

std::wstring ClipboardText()
{
    std::wstring text;
    if (!OpenClipboard(nullptr))
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

class ShareDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        owner = CreateWindowExW(
            0, L"STATIC", L"owner", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(dialog.Create(owner, ResourceFolder()));
    }
    void TearDown() override { DestroyWindow(owner); }

    HWND owner = nullptr;
    CQNShareDlg dialog;
};

TEST_F(ShareDialogTest, AddressesEncodeTheTextFromUtf8)
{
    const std::string first = "https://share.weiyu.example/index.php?c=share&a=index&appkey="
                              "5c1e0b7a93d24f68a0e7b31c9d52f4a6&url=vorlane&title=";
    const std::string site = "&site=http%3A%2F%2Fwww%2Evorlane%2Eexample%2F";
    const std::string second = "https://open.pengyou.example/share/share.php?appkey=4718203956"
                               "&url=http://www.vorlane.example/&title=";
    struct Row {
        const wchar_t* text;
        const char* encoded;
    } rows[] = {
        {L"a&b#c%d e", "a%26b%23c%25d%20e"},
        {L"\xD83D\xDE00", "%F0%9F%98%80"},
        {L"高清大图", "%E9%AB%98%E6%B8%85%E5%A4%A7%E5%9B%BE"},
        {L"", ""},
    };
    for (const Row& row : rows) {
        dialog.SetText(row.text);
        const std::string encoded = row.encoded;
        EXPECT_EQ(dialog.ShareAddress(CQNShareDlg::kFirstSite), Wide(first + encoded + site)) << encoded;
        EXPECT_EQ(dialog.ShareAddress(CQNShareDlg::kSecondSite), Wide(second + encoded)) << encoded;
    }
}

TEST_F(ShareDialogTest, ASiteButtonOpensItsPageInTheDefaultBrowser)
{
    DefaultBrowserRecorder browser;
    dialog.Show(true);
    dialog.SetText(L"看");
    SendMessageW(dialog.GetHWND(), WM_COMMAND, MAKEWPARAM(CQNShareDlg::kSecondSite, 0), 0);
    EXPECT_TRUE(PumpUntil([&] { return !browser.Opened().empty(); }));
    EXPECT_EQ(browser.Opened(),
        "https://open.pengyou.example/share/share.php?appkey=4718203956&url=http://www.vorlane.example/"
        "&title=%E7%9C%8B\n");
}

TEST_F(ShareDialogTest, CopyPutsTheTextOnTheClipboardAndSaysSo)
{
    dialog.Show(true);
    ASSERT_TRUE(IsWindowVisible(dialog.GetHWND()));
    // The field keeps a line break as "\r" alone.
    EXPECT_EQ(dialog.Text(), L"我在Vorlane发布了高清大图，快过来看看我怎么臭屁吧！\rPS:要下载才能看喔！");
    dialog.SetText(L"看这张 ✓");
    std::wstring said;
    WhileOtherThread(
        [&] {
            HWND box = WaitForWindow(L"QNMessageBox");
            wchar_t caption[64] = {};
            GetWindowTextW(box, caption, 64);
            said = caption;
            PostMessageW(box, WM_KEYDOWN, VK_RETURN, 0);
            EndIfStillThere(box);
        },
        [&] { return SendMessageW(dialog.GetHWND(), WM_COMMAND, MAKEWPARAM(CQNShareDlg::kCopy, 0), 0); });
    EXPECT_EQ(said, L"复制成功");
    EXPECT_EQ(ClipboardText(), L"看这张 ✓http://www.vorlane.example/");
    EXPECT_FALSE(IsWindowVisible(dialog.GetHWND()));
}

TEST(MessageBoxTest, ModalUntilTheButtonOrAKey)
{
    HWND parent = CreateWindowExW(
        0, L"STATIC", L"parent", WS_POPUP, 0, 0, 300, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    enum Action { kEscape, kEnter, kButton };
    struct Row {
        const char* what;
        Action action;
        INT_PTR result;
    } rows[] = {
        {"escape", kEscape, IDCANCEL},
        {"enter", kEnter, IDOK},
        {"the button", kButton, IDOK},
    };
    for (const Row& row : rows) {
        bool parentDisabled = false;
        CMessageBox box(parent, L"复制成功", ResourceFolder());
        const INT_PTR result = WhileOtherThread(
            [&] {
                HWND shown = WaitForWindow(L"QNMessageBox");
                parentDisabled = !IsWindowEnabled(parent);
                // Another key first: swallowed, the box stays.
                PostMessageW(shown, WM_KEYDOWN, 'A', 0);
                if (row.action == kButton) {
                    RECT area{};
                    GetWindowRect(shown, &area);
                    SetCursorPos(area.left + 110, area.top + 106);
                    PostMessageW(shown, WM_MOUSEMOVE, 0, MAKELPARAM(110, 106));
                    PostMessageW(shown, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(110, 106));
                    PostMessageW(shown, WM_LBUTTONUP, 0, MAKELPARAM(110, 106));
                } else {
                    PostMessageW(shown, WM_KEYDOWN, row.action == kEnter ? VK_RETURN : VK_ESCAPE, 0);
                }
                EndIfStillThere(shown);
            },
            [&] { return box.DoModal(parent); });
        EXPECT_EQ(result, row.result) << row.what;
        EXPECT_TRUE(parentDisabled) << row.what;
        EXPECT_TRUE(IsWindowEnabled(parent)) << row.what;
        EXPECT_EQ(FindWindowW(L"QNMessageBox", nullptr), nullptr) << row.what;
    }
    DestroyWindow(parent);
}

}  // namespace
