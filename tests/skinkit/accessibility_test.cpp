// Screen readers see the drawn controls a window hosts: names, roles,
// states and places, and the events that follow the user.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>
#include <oleacc.h>

#include "skinkit/button.h"
#include "skinkit/check_box.h"
#include "skinkit/hyperlink.h"
#include "skinkit/rich_edit.h"
#include "test_window.h"
#include "win32kit/scoped_win.h"

namespace {

VARIANT Child(long id)
{
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}

std::wstring Name(IAccessible* accessible, long id)
{
    BSTR name = nullptr;
    if (accessible->get_accName(Child(id), &name) != S_OK || !name)
        return L"";
    std::wstring text(name, SysStringLen(name));
    SysFreeString(name);
    return text;
}

long Number(HRESULT (STDMETHODCALLTYPE IAccessible::*getter)(VARIANT, VARIANT*), IAccessible* accessible, long id)
{
    VARIANT value;
    VariantInit(&value);
    if ((accessible->*getter)(Child(id), &value) != S_OK || value.vt != VT_I4)
        return -1;
    return value.lVal;
}

class AccessibilityTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.HostControl(caption);
        window.HostControl(imageOnly);
        window.HostControl(disabled);
        window.HostControl(autoLogin);
        window.HostControl(link);
        window.HostNamedControl(name, L"用户名");
        window.HostNamedControl(password, L"密码");
        ASSERT_TRUE(window.Open(400, 240));
        HWND hwnd = window.GetHWND();
        ASSERT_TRUE(caption.Create(hwnd, 10, 10, 80, 24, 1, L""));
        caption.SetWindowTextW(L"确定");
        ASSERT_TRUE(imageOnly.Create(hwnd, 100, 10, 24, 24, 2, L""));
        imageOnly.SetTipText(L"关闭");
        ASSERT_TRUE(disabled.Create(hwnd, 140, 10, 80, 24, 3, L""));
        disabled.SetWindowTextW(L"上传");
        disabled.EnableWindow(false);
        ASSERT_TRUE(autoLogin.Create(hwnd, 10, 50, 100, 20, L"自动登录", 4, 0));
        autoLogin.SetCheck(true);
        ASSERT_TRUE(link.Create(hwnd, 5));
        link.SetURL(L"http://127.0.0.1/register", L"注册");
        link.MoveWindow(120, 50, false);
        ASSERT_TRUE(name.Create(hwnd, 6, ES_AUTOHSCROLL));
        name.SetBkRect(10, 90, 210, 120);
        name.SetEidtRect(14, 94, 206, 116);
        name.SetWindowTextW(L"alice");
        ASSERT_TRUE(password.Create(hwnd, 7, ES_AUTOHSCROLL));
        password.SetPasswordChar(L'*');
        password.SetBkRect(10, 130, 210, 160);
        password.SetEidtRect(14, 134, 206, 156);
        password.SetWindowTextW(L"secret");
        ASSERT_EQ(S_OK,
            AccessibleObjectFromWindow(
                hwnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible), reinterpret_cast<void**>(&accessible)));
    }
    void TearDown() override
    {
        if (accessible)
            accessible->Release();
    }

    TestParent window;
    CButtonUI caption;
    CButtonUI imageOnly;
    Gosick_button disabled;
    CCheckBoxUI autoLogin;
    CHyperLinkUI link;
    CRichEditUI name;
    CRichEditUI password;
    IAccessible* accessible = nullptr;
};

TEST_F(AccessibilityTest, EveryHostedControlIsAChildWithItsNameRoleAndState)
{
    struct Row {
        long id;
        const wchar_t* name;
        long role;
        long mustHave;
        long mustNotHave;
    };
    const Row rows[] = {
        {1, L"确定", ROLE_SYSTEM_PUSHBUTTON, STATE_SYSTEM_FOCUSABLE, STATE_SYSTEM_UNAVAILABLE},
        // An image-only button is known by its tip.
        {2, L"关闭", ROLE_SYSTEM_PUSHBUTTON, STATE_SYSTEM_FOCUSABLE, STATE_SYSTEM_UNAVAILABLE},
        {3, L"上传", ROLE_SYSTEM_PUSHBUTTON, STATE_SYSTEM_UNAVAILABLE, 0},
        {4, L"自动登录", ROLE_SYSTEM_CHECKBUTTON, STATE_SYSTEM_CHECKED, STATE_SYSTEM_UNAVAILABLE},
        {5, L"注册", ROLE_SYSTEM_LINK, STATE_SYSTEM_LINKED, 0},
        {6, L"用户名", ROLE_SYSTEM_TEXT, STATE_SYSTEM_FOCUSABLE, STATE_SYSTEM_PROTECTED},
        {7, L"密码", ROLE_SYSTEM_TEXT, STATE_SYSTEM_PROTECTED, 0},
    };
    long count = 0;
    ASSERT_EQ(S_OK, accessible->get_accChildCount(&count));
    EXPECT_EQ(7, count);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        EXPECT_EQ(row.name, Name(accessible, row.id));
        EXPECT_EQ(row.role, Number(&IAccessible::get_accRole, accessible, row.id));
        const long state = Number(&IAccessible::get_accState, accessible, row.id);
        EXPECT_EQ(row.mustHave, state & row.mustHave);
        EXPECT_EQ(0, state & row.mustNotHave);
    }
    EXPECT_EQ(ROLE_SYSTEM_CLIENT, Number(&IAccessible::get_accRole, accessible, CHILDID_SELF));
}

TEST_F(AccessibilityTest, ValuesAreReadButAPasswordNever)
{
    BSTR value = nullptr;
    ASSERT_EQ(S_OK, accessible->get_accValue(Child(6), &value));
    EXPECT_STREQ(L"alice", value);
    SysFreeString(value);
    value = nullptr;
    EXPECT_EQ(S_FALSE, accessible->get_accValue(Child(7), &value));
    EXPECT_EQ(nullptr, value);
}

TEST_F(AccessibilityTest, PlacesAreOnTheScreenAndAHitFindsTheControl)
{
    POINT origin{0, 0};
    ClientToScreen(window.GetHWND(), &origin);
    long x = 0, y = 0, w = 0, h = 0;
    ASSERT_EQ(S_OK, accessible->accLocation(&x, &y, &w, &h, Child(4)));
    EXPECT_EQ(origin.x + 10, x);
    EXPECT_EQ(origin.y + 50, y);
    EXPECT_EQ(100, w);
    EXPECT_EQ(20, h);

    VARIANT hit;
    VariantInit(&hit);
    ASSERT_EQ(S_OK, accessible->accHitTest(origin.x + 110, origin.y + 20, &hit));
    EXPECT_EQ(VT_I4, hit.vt);
    EXPECT_EQ(2, hit.lVal);
    ASSERT_EQ(S_OK, accessible->accHitTest(origin.x + 390, origin.y + 230, &hit));
    EXPECT_EQ(CHILDID_SELF, hit.lVal);
    // Children in the order they were hosted.
    VARIANT next;
    ASSERT_EQ(S_OK, accessible->accNavigate(NAVDIR_NEXT, Child(6), &next));
    EXPECT_EQ(7, next.lVal);
    EXPECT_EQ(S_FALSE, accessible->accNavigate(NAVDIR_NEXT, Child(7), &next));
    // A child past the last is refused, not read out of bounds.
    EXPECT_EQ(E_INVALIDARG, accessible->get_accRole(Child(8), &next));
}

TEST_F(AccessibilityTest, AReaderThatOutlivesTheWindowIsToldItIsGone)
{
    DestroyWindow(window.GetHWND());
    long count = 0;
    EXPECT_EQ(RPC_E_DISCONNECTED, accessible->get_accChildCount(&count));
    BSTR name = nullptr;
    EXPECT_EQ(E_INVALIDARG, accessible->get_accName(Child(1), &name));
}

std::vector<std::pair<DWORD, long>>* g_events = nullptr;
HWND g_watched = nullptr;

void CALLBACK RecordEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD)
{
    if (g_events && hwnd == g_watched && object == OBJID_CLIENT)
        g_events->push_back({event, child});
}

TEST_F(AccessibilityTest, FocusAndStateChangesRaiseEventsForTheirChild)
{
    std::vector<std::pair<DWORD, long>> events;
    g_events = &events;
    g_watched = window.GetHWND();
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_NAMECHANGE, nullptr, RecordEvent,
        GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(nullptr, hook);
    name.SetFocus();
    autoLogin.SetCheck(false);
    caption.SetWindowTextW(L"好的");
    disabled.EnableWindow(true);
    const std::vector<std::pair<DWORD, long>> expected = {
        {EVENT_OBJECT_FOCUS, 6},
        {EVENT_OBJECT_STATECHANGE, 4},
        {EVENT_OBJECT_NAMECHANGE, 1},
        {EVENT_OBJECT_STATECHANGE, 3},
    };
    PumpUntil([&] { return events.size() >= expected.size(); }, 5000);
    UnhookWinEvent(hook);
    g_events = nullptr;
    EXPECT_EQ(expected, events);
    EXPECT_EQ(L"好的", Name(accessible, 1));
}

}  // namespace
