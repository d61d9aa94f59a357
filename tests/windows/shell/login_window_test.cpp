// The login window driven by its messages: clicks at the skin's control
// places, keys and characters, with logins against the local service.
#include "cache_downloader.h"
#include "focus_keys.h"
#include "local_service.h"
#include "login_dlg.h"
#include "program_folder.h"
#include "service_harness.h"
#include "temp_folder.h"
#include "win32/window_message_sink.h"
#include "window_messages.h"
#include "work_tracker.h"

#include <gtest/gtest.h>

#include <oleacc.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

const char kDemoName[] = "demo@quarn.test";
const char kDemoPassword[] = "quarn123";

std::vector<UINT> g_mainMessages;

// The main window's stand-in: keeps the private messages it is sent.
LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg >= WM_USER)
        g_mainMessages.push_back(msg);
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

int MainGot(UINT msg)
{
    int count = 0;
    for (UINT got : g_mainMessages)
        count += got == msg;
    return count;
}

HWND MakeMainWindow()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = MainProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QuarnLoginTestMain";
    RegisterClassW(&windowClass);
    return CreateWindowExW(
        0, L"QuarnLoginTestMain", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

void Drain()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message != WM_QUIT)
            DispatchMessageW(&msg);
    }
}

// Dispatches until `done` holds; false on the deadline.
bool PumpUntil(const std::function<bool()>& done, std::chrono::seconds limit = std::chrono::seconds(20))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        Drain();
    }
    return true;
}

// The middle of a control as the skin places it.
POINT SkinPlace(const wchar_t* section)
{
    const std::wstring ini = ResourceFolder() + L"login_window.ini";
    wchar_t text[64] = {};
    GetPrivateProfileStringW(section, L"rect", L"", text, 64, ini.c_str());
    long left = 0, top = 0, right = 0, bottom = 0;
    if (swscanf(text, L"%ld,%ld,%ld,%ld", &left, &top, &right, &bottom) != 4)
        ADD_FAILURE() << "no place for this control in the skin";
    return POINT{(left + right) / 2, (top + bottom) / 2};
}

// The skin's controls read where the pointer really is.
void Click(HWND window, POINT at)
{
    POINT screen = at;
    ::ClientToScreen(window, &screen);
    SetCursorPos(screen.x, screen.y);
    const LPARAM where = MAKELPARAM(at.x, at.y);
    SendMessageW(window, WM_MOUSEMOVE, 0, where);
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, where);
    SendMessageW(window, WM_LBUTTONUP, 0, where);
    Drain();
}

void Type(HWND window, const std::string& text)
{
    for (char c : text)
        SendMessageW(window, WM_CHAR, WPARAM(c), 1);
    Drain();
}

void Key(HWND window, WPARAM key)
{
    SendMessageW(window, WM_KEYDOWN, key, 1);
    Drain();
}

int LoginRequests()
{
    int count = 0;
    for (const Json::Value& entry : LocalService::RequestLog())
        count += entry["query"].asString().find("action=c_login") != std::string::npos;
    return count;
}

class LoginWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(LocalService::Reset());
        g_mainMessages.clear();
        main_ = MakeMainWindow();
        ASSERT_NE(main_, nullptr);
        services_.baseUrl = LocalService::BaseUrl();
        services_.configPath = folder_.Path("vlconfig.xml");
        services_.avatarPath = folder_.Path("user_avatar.jpg");
        services_.sink = std::make_shared<WindowMessageSink>(main_);
        services_.tracker = std::make_shared<WorkTracker>();
        services_.timing.limits = {2000, 1, 10};
        services_.downloader = std::make_shared<CacheDownloader>(nullptr, services_.timing.limits);
        WriteLogin("");
    }
    void TearDown() override
    {
        EXPECT_TRUE(services_.tracker->WaitIdle(std::chrono::seconds(30)));
        LocalService::Reset();
        DestroyWindow(main_);
        Drain();
    }

    void WriteLogin(const std::string& attributes) const
    {
        folder_.Write("vlconfig.xml", "<config><login " + attributes + "/></config>");
    }
    std::unique_ptr<CLoginDlg> Open()
    {
        auto login = std::make_unique<CLoginDlg>(main_, ResourceFolder(), services_);
        EXPECT_TRUE(login->CreateHidden());
        login->ShowLogin();
        Drain();
        return login;
    }
    void Fill(CLoginDlg& login, const std::string& name, const std::string& password)
    {
        Click(login.GetHWND(), SkinPlace(L"user_name_edit"));
        Type(login.GetHWND(), name);
        Click(login.GetHWND(), SkinPlace(L"user_pwd_edit"));
        Type(login.GetHWND(), password);
    }

    TempFolder folder_;
    SignedInScope signedOut_{"", false};
    HWND main_ = nullptr;
    LoginServices services_;
};

}  // namespace

// While a login runs, clicks and typing reach none of the controls; the same
// input does reach them when no login runs.
TEST_F(LoginWindowTest, InputGoesNowhereWhileALoginRuns)
{
    struct Row {
        const char* what;
        std::function<void(HWND)> act;
        std::function<std::wstring(const CLoginDlg&)> look;
    } const kRows[] = {
        {"save password box", [](HWND w) { Click(w, SkinPlace(L"CheckSavePassWord")); },
            [](const CLoginDlg& l) { return std::to_wstring(l.SavesPassword()); }},
        {"typing in the name field",
            [](HWND w) {
                Click(w, SkinPlace(L"user_name_edit"));
                Type(w, "x");
            },
            [](const CLoginDlg& l) { return l.TypedName(); }},
        {"register button", [](HWND w) { Click(w, SkinPlace(L"register_qarn_button")); },
            [](const CLoginDlg&) { return std::to_wstring(MainGot(UM_OPEN_WEB_PAGE)); }},
    };
    for (const Row& row : kRows) {
        std::unique_ptr<CLoginDlg> idle = Open();
        const std::wstring before = row.look(*idle);
        row.act(idle->GetHWND());
        EXPECT_NE(row.look(*idle), before) << row.what << " does nothing even without a login";
    }

    std::unique_ptr<CLoginDlg> login = Open();
    Fill(*login, kDemoName, kDemoPassword);
    ASSERT_TRUE(LocalService::SetFault("slow&delay_ms=6000"));
    Click(login->GetHWND(), SkinPlace(L"login_qarn_button"));
    ASSERT_TRUE(login->IsBusy());
    login->ShowLogin(false);
    Drain();
    for (const Row& row : kRows) {
        const std::wstring before = row.look(*login);
        row.act(login->GetHWND());
        EXPECT_EQ(row.look(*login), before) << row.what << " took input during a login";
    }
    // Otherwise the rows above proved nothing.
    EXPECT_TRUE(login->IsBusy());
    EXPECT_TRUE(PumpUntil([&] { return !login->IsBusy(); }, std::chrono::seconds(40)));
    EXPECT_EQ(LoginRequests(), 1);
}

TEST_F(LoginWindowTest, AnErrorShowsUntilItsTimerOrTheWindowHides)
{
    struct Row {
        const char* what;
        LoginError error;
        std::function<void(CLoginDlg&)> then;
        bool cleared;
    } const kRows[] = {
        {"its own timer", kLoginErrorRefused,
            [](CLoginDlg& l) { EXPECT_TRUE(PumpUntil([&] { return l.ShownError() == kLoginErrorNone; })); }, true},
        {"another timer", kLoginErrorNetwork, [](CLoginDlg& l) { SendMessageW(l.GetHWND(), WM_TIMER, 1, 0); }, false},
        {"the close button", kLoginErrorRefused, [](CLoginDlg& l) { Click(l.GetHWND(), SkinPlace(L"close_button")); },
            true},
    };
    for (const Row& row : kRows) {
        std::unique_ptr<CLoginDlg> login = Open();
        login->SetErrorState(row.error);
        EXPECT_EQ(login->ShownError(), row.error) << row.what;
        row.then(*login);
        EXPECT_EQ(login->ShownError(), row.cleared ? kLoginErrorNone : row.error) << row.what;
    }
}

// The name field has the focus when the window shows; Tab goes down the
// form's column (fields, boxes, login button), then the links beside it and
// the close button, and round; Shift+Tab goes back. A screen reader hears
// of every step by the control's child id.
TEST_F(LoginWindowTest, TabStepsThroughTheControlsInReadingOrder)
{
    // Child ids are the order the window lists its controls to readers.
    enum Child : long { kName = 1, kPassword, kLogin, kRegister, kForget, kClose, kSave, kAuto };
    struct Row {
        int tabs;
        bool shift;
        long child;
    } const kRows[] = {
        {1, false, kPassword},
        {2, false, kSave},
        {3, false, kAuto},
        {4, false, kLogin},
        {5, false, kRegister},
        {6, false, kForget},
        {7, false, kClose},
        {8, false, kName},
        {1, true, kClose},
        {2, true, kForget},
        {8, true, kName},
    };
    std::unique_ptr<CLoginDlg> login = Open();
    for (const Row& row : kRows) {
        login->ShowLogin();
        ASSERT_TRUE(login->NameFocused());
        FocusEvents events(login->GetHWND());
        ASSERT_TRUE(events.Hooked());
        for (int i = 0; i < row.tabs; ++i)
            PressKey(login->GetHWND(), VK_TAB, row.shift);
        Drain();
        EXPECT_EQ(events.TakeLast(), row.child) << row.tabs << (row.shift ? " back" : "");
        EXPECT_EQ(login->NameFocused(), row.child == kName) << row.tabs;
        EXPECT_EQ(login->PasswordFocused(), row.child == kPassword) << row.tabs;
    }
}

TEST_F(LoginWindowTest, TabFromTheNameSelectsThePasswordAndTabOnClearsIt)
{
    WriteLogin("isRememberPwd=\"true\" username=\"demo@quarn.test\" password=\"0123\"");
    std::unique_ptr<CLoginDlg> login = Open();
    Key(login->GetHWND(), VK_TAB);
    ASSERT_TRUE(login->PasswordFocused());
    // Typing over a selected password replaces all of it.
    Type(login->GetHWND(), "x");
    Key(login->GetHWND(), VK_TAB);
    EXPECT_FALSE(login->PasswordFocused());
    Click(login->GetHWND(), SkinPlace(L"user_name_edit"));
    Key(login->GetHWND(), VK_RETURN);
    EXPECT_TRUE(PumpUntil([&] { return LoginRequests() == 1 && !login->IsBusy(); }));
    bool sentTyped = false;
    for (const Json::Value& entry : LocalService::RequestLog()) {
        if (entry["query"].asString().find("action=c_login") != std::string::npos)
            // md5("x"): the typed password, not the remembered digest.
            sentTyped = entry["body"].asString().find("9dd4e461268c8034f5c8564e155c67a6") != std::string::npos;
    }
    EXPECT_TRUE(sentTyped);
}

// Space or Enter on a focused button does what its click does, Space ticks
// a focused box, and Escape hides the window as the close button does.
TEST_F(LoginWindowTest, KeysPressTheFocusedControl)
{
    struct Row {
        const char* what;
        int tabs;
        WPARAM key;
        bool visible;
        int pagesOpened;
        bool saves;
        bool nameHint;
    } const kRows[] = {
        {"space on the save box ticks it", 2, VK_SPACE, true, 0, true, false},
        {"space on the auto box ticks both", 3, VK_SPACE, true, 0, true, false},
        {"space on the register button", 5, VK_SPACE, false, 1, false, false},
        {"enter on the forgotten password button", 6, VK_RETURN, true, 1, false, false},
        {"space on the close button", 7, VK_SPACE, false, 0, false, false},
        {"escape in the name field", 0, VK_ESCAPE, false, 0, false, false},
        {"escape on a button", 5, VK_ESCAPE, false, 0, false, false},
        // Last: the hint it shows stays.
        {"enter on the login button without a name", 4, VK_RETURN, true, 0, false, true},
    };
    std::unique_ptr<CLoginDlg> login = Open();
    for (const Row& row : kRows) {
        login->ShowLogin();
        Drain();
        g_mainMessages.clear();
        ASSERT_TRUE(login->IsVisible()) << row.what;
        for (int i = 0; i < row.tabs; ++i)
            Key(login->GetHWND(), VK_TAB);
        Key(login->GetHWND(), row.key);
        EXPECT_EQ(login->IsVisible(), row.visible) << row.what;
        EXPECT_EQ(MainGot(UM_OPEN_WEB_PAGE), row.pagesOpened) << row.what;
        EXPECT_EQ(login->SavesPassword(), row.saves) << row.what;
        EXPECT_EQ(login->NameHintShown(), row.nameHint) << row.what;
        EXPECT_FALSE(login->IsBusy()) << row.what;
    }
    EXPECT_EQ(LoginRequests(), 0);
}

// Enter is the login button: without a name it points at the name field
// and asks the service nothing.
TEST_F(LoginWindowTest, EnterStartsTheLoginOnlyWithAName)
{
    struct Row {
        const char* name;
        const char* password;
        bool starts;
    } const kRows[] = {
        {"", "", false},
        {"", kDemoPassword, false},
        {kDemoName, kDemoPassword, true},
    };
    for (const Row& row : kRows) {
        ASSERT_TRUE(LocalService::Reset());
        std::unique_ptr<CLoginDlg> login = Open();
        Fill(*login, row.name, row.password);
        Key(login->GetHWND(), VK_RETURN);
        EXPECT_EQ(login->IsBusy(), row.starts) << row.name << "/" << row.password;
        EXPECT_EQ(login->NameHintShown(), !row.starts) << row.name << "/" << row.password;
        EXPECT_EQ(login->IsVisible(), !row.starts) << row.name << "/" << row.password;
        EXPECT_TRUE(PumpUntil([&] { return !login->IsBusy(); }));
        EXPECT_EQ(LoginRequests(), row.starts ? 1 : 0) << row.name << "/" << row.password;
    }
}

// Auto-login needs the saved password: checking it checks that one, and
// unchecking the saved password unchecks it.
TEST_F(LoginWindowTest, TheTwoCheckBoxesStayCoupled)
{
    struct Row {
        bool save, autoLogin;
        const wchar_t* clicked;
        bool saveAfter, autoAfter;
    } const kRows[] = {
        {false, false, L"CheckAutoLogin", true, true},
        {false, false, L"CheckSavePassWord", true, false},
        {true, false, L"CheckAutoLogin", true, true},
        {true, false, L"CheckSavePassWord", false, false},
        {true, true, L"CheckSavePassWord", false, false},
        {true, true, L"CheckAutoLogin", true, false},
    };
    std::unique_ptr<CLoginDlg> login = Open();
    for (const Row& row : kRows) {
        WriteLogin(std::string("isRememberPwd=\"") + (row.save ? "true" : "false") + "\" isAutoLogin=\""
            + (row.autoLogin ? "true" : "false") + "\"");
        login->ShowLogin(true);
        ASSERT_EQ(login->SavesPassword(), row.save);
        ASSERT_EQ(login->LogsInAutomatically(), row.autoLogin);
        Click(login->GetHWND(), SkinPlace(row.clicked));
        EXPECT_EQ(login->SavesPassword(), row.saveAfter) << row.save << row.autoLogin << " " << row.clicked;
        EXPECT_EQ(login->LogsInAutomatically(), row.autoAfter) << row.save << row.autoLogin << " " << row.clicked;
    }
}

// A screen reader finds every control of the login window by the name users
// read on screen, with its role and state.
TEST_F(LoginWindowTest, AScreenReaderListsEveryControlByName)
{
    WriteLogin("isRememberPwd=\"true\" isAutoLogin=\"false\"");
    std::unique_ptr<CLoginDlg> login = Open();
    IAccessible* accessible = nullptr;
    ASSERT_EQ(S_OK,
        AccessibleObjectFromWindow(login->GetHWND(), static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
            reinterpret_cast<void**>(&accessible)));
    struct Row {
        const wchar_t* name;
        long role;
        long state;  // must be set
    } const kRows[] = {
        {L"用户名", ROLE_SYSTEM_TEXT, STATE_SYSTEM_FOCUSABLE},
        {L"密码", ROLE_SYSTEM_TEXT, STATE_SYSTEM_PROTECTED},
        {L"登录", ROLE_SYSTEM_PUSHBUTTON, STATE_SYSTEM_FOCUSABLE},
        {L"注册", ROLE_SYSTEM_PUSHBUTTON, STATE_SYSTEM_FOCUSABLE},
        {L"忘记密码", ROLE_SYSTEM_PUSHBUTTON, STATE_SYSTEM_FOCUSABLE},
        {L"关闭", ROLE_SYSTEM_PUSHBUTTON, STATE_SYSTEM_FOCUSABLE},
        {L"记住密码", ROLE_SYSTEM_CHECKBUTTON, STATE_SYSTEM_CHECKED},
        {L"自动登录", ROLE_SYSTEM_CHECKBUTTON, 0},
    };
    long count = 0;
    ASSERT_EQ(S_OK, accessible->get_accChildCount(&count));
    ASSERT_EQ(long(std::size(kRows)), count);
    for (long id = 1; id <= count; ++id) {
        const Row& row = kRows[id - 1];
        VARIANT child;
        VariantInit(&child);
        child.vt = VT_I4;
        child.lVal = id;
        BSTR name = nullptr;
        ASSERT_EQ(S_OK, accessible->get_accName(child, &name)) << id;
        EXPECT_STREQ(row.name, name);
        SysFreeString(name);
        VARIANT value;
        ASSERT_EQ(S_OK, accessible->get_accRole(child, &value));
        EXPECT_EQ(row.role, value.lVal) << id;
        ASSERT_EQ(S_OK, accessible->get_accState(child, &value));
        EXPECT_EQ(row.state, value.lVal & row.state) << id;
        EXPECT_EQ(0, value.lVal & STATE_SYSTEM_INVISIBLE) << id;
        // Unchecked means unchecked.
        if (row.role == ROLE_SYSTEM_CHECKBUTTON && row.state == 0) {
            EXPECT_EQ(0, value.lVal & STATE_SYSTEM_CHECKED) << id;
        }
    }
    accessible->Release();
}
