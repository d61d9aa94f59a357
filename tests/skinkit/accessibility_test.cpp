// Screen readers see the drawn controls a window hosts: names, roles,
// states and places, and the events that follow the user.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>
#include <oleacc.h>

#include "accessible_reading.h"
#include "skinkit/accessible_facts.h"
#include "skinkit/button.h"
#include "skinkit/check_box.h"
#include "skinkit/hyperlink.h"
#include "skinkit/rich_edit.h"
#include "test_window.h"
#include "win32kit/scoped_win.h"

namespace {

std::wstring Name(IAccessible* accessible, long id)
{
    return AccessibleText(&IAccessible::get_accName, accessible, id);
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
        EXPECT_EQ(row.role, AccessibleNumber(&IAccessible::get_accRole, accessible, row.id));
        const long state = AccessibleNumber(&IAccessible::get_accState, accessible, row.id);
        EXPECT_EQ(row.mustHave, state & row.mustHave);
        EXPECT_EQ(0, state & row.mustNotHave);
    }
    EXPECT_EQ(ROLE_SYSTEM_CLIENT, AccessibleNumber(&IAccessible::get_accRole, accessible, CHILDID_SELF));
}

TEST_F(AccessibilityTest, ValuesAreReadButAPasswordNever)
{
    BSTR value = nullptr;
    ASSERT_EQ(S_OK, accessible->get_accValue(AccessibleChild(6), &value));
    EXPECT_STREQ(L"alice", value);
    SysFreeString(value);
    value = nullptr;
    EXPECT_EQ(S_FALSE, accessible->get_accValue(AccessibleChild(7), &value));
    EXPECT_EQ(nullptr, value);
}

TEST_F(AccessibilityTest, PlacesAreOnTheScreenAndAHitFindsTheControl)
{
    POINT origin{0, 0};
    ClientToScreen(window.GetHWND(), &origin);
    long x = 0, y = 0, w = 0, h = 0;
    ASSERT_EQ(S_OK, accessible->accLocation(&x, &y, &w, &h, AccessibleChild(4)));
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
    ASSERT_EQ(S_OK, accessible->accNavigate(NAVDIR_NEXT, AccessibleChild(6), &next));
    EXPECT_EQ(7, next.lVal);
    EXPECT_EQ(S_FALSE, accessible->accNavigate(NAVDIR_NEXT, AccessibleChild(7), &next));
    // A child past the last is refused, not read out of bounds.
    EXPECT_EQ(E_INVALIDARG, accessible->get_accRole(AccessibleChild(8), &next));
}

TEST_F(AccessibilityTest, AReaderThatOutlivesTheWindowIsToldItIsGone)
{
    DestroyWindow(window.GetHWND());
    long count = 0;
    EXPECT_EQ(RPC_E_DISCONNECTED, accessible->get_accChildCount(&count));
    BSTR name = nullptr;
    EXPECT_EQ(E_INVALIDARG, accessible->get_accName(AccessibleChild(1), &name));
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

// A drawn list hosted as a describer alone: its rows are its children.
class DrawnListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.HostControl(button);
        window.HostDescriber(
            [this] {
                ++described;
                return list;
            },
            &list);
        ASSERT_TRUE(window.Open(400, 240));
        ASSERT_TRUE(button.Create(window.GetHWND(), 10, 10, 80, 24, 1, L""));
        button.SetWindowTextW(L"确定");
        list.name = L"评论";
        list.role = ROLE_SYSTEM_LIST;
        list.rect = RECT{20, 50, 220, 200};
        const wchar_t* names[] = {L"阿木：好看", L"小林：", L"末行"};
        const long states[] = {STATE_SYSTEM_HOTTRACKED, STATE_SYSTEM_SELECTED, STATE_SYSTEM_OFFSCREEN};
        for (int i = 0; i < 3; ++i) {
            AccessibleFacts row;
            row.name = names[i];
            row.description = L"第" + std::to_wstring(i + 1) + L"行";
            row.role = ROLE_SYSTEM_LISTITEM;
            row.state = STATE_SYSTEM_READONLY | states[i];
            row.rect = RECT{20, 50 + 72 * i, 220, 122 + 72 * i};
            list.children.push_back(row);
        }
        ASSERT_EQ(S_OK,
            AccessibleObjectFromWindow(window.GetHWND(), static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                reinterpret_cast<void**>(client.Out())));
    }

    win32kit::ComPtr<IAccessible> ListObject()
    {
        win32kit::ComPtr<IDispatch> dispatch;
        win32kit::ComPtr<IAccessible> object;
        if (client->get_accChild(AccessibleChild(2), dispatch.Out()) != S_OK || !dispatch)
            return object;
        dispatch->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(object.Out()));
        return object;
    }

    TestParent window;
    CButtonUI button;
    AccessibleFacts list;
    int described = 0;
    win32kit::ComPtr<IAccessible> client;
};

std::wstring Description(IAccessible* accessible, long id)
{
    return AccessibleText(&IAccessible::get_accDescription, accessible, id);
}

TEST_F(DrawnListTest, TheListIsAnObjectWhoseRowsAreItsChildren)
{
    long count = 0;
    ASSERT_EQ(S_OK, client->get_accChildCount(&count));
    EXPECT_EQ(2, count);
    EXPECT_EQ(L"评论", Name(client.Get(), 2));
    EXPECT_EQ(ROLE_SYSTEM_LIST, AccessibleNumber(&IAccessible::get_accRole, client.Get(), 2));
    // A plain control stays a simple element.
    win32kit::ComPtr<IDispatch> simple;
    EXPECT_EQ(S_FALSE, client->get_accChild(AccessibleChild(1), simple.Out()));
    EXPECT_FALSE(simple);

    win32kit::ComPtr<IAccessible> rows = ListObject();
    ASSERT_TRUE(rows);
    EXPECT_EQ(L"评论", Name(rows.Get(), CHILDID_SELF));
    EXPECT_EQ(ROLE_SYSTEM_LIST, AccessibleNumber(&IAccessible::get_accRole, rows.Get(), CHILDID_SELF));
    ASSERT_EQ(S_OK, rows->get_accChildCount(&count));
    ASSERT_EQ(3, count);
    POINT origin{0, 0};
    ClientToScreen(window.GetHWND(), &origin);
    for (long id = 1; id <= 3; ++id) {
        SCOPED_TRACE(id);
        const AccessibleFacts& row = list.children[static_cast<size_t>(id) - 1];
        EXPECT_EQ(row.name, Name(rows.Get(), id));
        EXPECT_EQ(row.description, Description(rows.Get(), id));
        EXPECT_EQ(ROLE_SYSTEM_LISTITEM, AccessibleNumber(&IAccessible::get_accRole, rows.Get(), id));
        EXPECT_EQ(row.state, AccessibleNumber(&IAccessible::get_accState, rows.Get(), id));
        long x = 0, y = 0, w = 0, h = 0;
        ASSERT_EQ(S_OK, rows->accLocation(&x, &y, &w, &h, AccessibleChild(id)));
        EXPECT_EQ(origin.x + row.rect.left, x);
        EXPECT_EQ(origin.y + row.rect.top, y);
        EXPECT_EQ(200, w);
        EXPECT_EQ(72, h);
    }
    BSTR past = nullptr;
    EXPECT_EQ(E_INVALIDARG, rows->get_accName(AccessibleChild(4), &past));
    VARIANT selected;
    ASSERT_EQ(S_OK, rows->get_accSelection(&selected));
    EXPECT_EQ(VT_I4, selected.vt);
    EXPECT_EQ(2, selected.lVal);

    // Up again: the list's parent is the client area.
    win32kit::ComPtr<IDispatch> parent;
    ASSERT_EQ(S_OK, rows->get_accParent(parent.Out()));
    win32kit::ComPtr<IAccessible> up;
    ASSERT_EQ(S_OK, parent->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(up.Out())));
    EXPECT_EQ(ROLE_SYSTEM_CLIENT, AccessibleNumber(&IAccessible::get_accRole, up.Get(), CHILDID_SELF));
    ASSERT_EQ(S_OK, up->get_accChildCount(&count));
    EXPECT_EQ(2, count);
}

TEST_F(DrawnListTest, AHitOnTheListGivesItsObjectAndThenTheRow)
{
    POINT origin{0, 0};
    ClientToScreen(window.GetHWND(), &origin);
    VARIANT hit;
    VariantInit(&hit);
    ASSERT_EQ(S_OK, client->accHitTest(origin.x + 100, origin.y + 140, &hit));
    ASSERT_EQ(VT_DISPATCH, hit.vt);
    win32kit::ComPtr<IDispatch> dispatch = win32kit::ComPtr<IDispatch>::Adopt(hit.pdispVal);
    win32kit::ComPtr<IAccessible> rows;
    ASSERT_EQ(S_OK, dispatch->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(rows.Out())));
    VARIANT row;
    VariantInit(&row);
    ASSERT_EQ(S_OK, rows->accHitTest(origin.x + 100, origin.y + 140, &row));
    EXPECT_EQ(VT_I4, row.vt);
    EXPECT_EQ(2, row.lVal);
    // The row scrolled out of view is not what lies under the pointer there.
    ASSERT_EQ(S_OK, rows->accHitTest(origin.x + 100, origin.y + 195, &row));
    EXPECT_EQ(CHILDID_SELF, row.lVal);
}

TEST_F(DrawnListTest, ARowsObjectThatOutlivesItsRowOrWindowIsToldItIsGone)
{
    win32kit::ComPtr<IAccessible> rows = ListObject();
    ASSERT_TRUE(rows);
    long count = 0;
    // The list went empty: its object is still the list.
    list.children.clear();
    ASSERT_EQ(S_OK, rows->get_accChildCount(&count));
    EXPECT_EQ(0, count);
    DestroyWindow(window.GetHWND());
    EXPECT_EQ(RPC_E_DISCONNECTED, rows->get_accChildCount(&count));
    BSTR name = nullptr;
    EXPECT_EQ(RPC_E_DISCONNECTED, rows->get_accName(AccessibleChild(CHILDID_SELF), &name));
    EXPECT_EQ(nullptr, name);
}

TEST_F(DrawnListTest, AReadersQuestionDoesNotListTheControls)
{
    described = 0;
    const LRESULT answer = SendMessageW(window.GetHWND(), WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT));
    EXPECT_GT(answer, 0);
    EXPECT_EQ(0, described) << "the whole list was built to learn that it is not empty";
    // The answer is an object; take it so that it is released.
    win32kit::ComPtr<IAccessible> taken;
    EXPECT_EQ(S_OK, ObjectFromLresult(answer, __uuidof(IAccessible), 0, reinterpret_cast<void**>(taken.Out())));
}

TEST_F(DrawnListTest, ALongListsRowsAreMadeOnlyWhenAskedFor)
{
    // The same rows, given one at a time.
    const std::vector<AccessibleFacts> rows = std::move(list.children);
    std::vector<size_t> made;
    list.children.clear();
    list.rowCount = rows.size();
    list.row = [&rows, &made](size_t index) {
        made.push_back(index);
        return rows[index];
    };
    win32kit::ComPtr<IAccessible> object = ListObject();
    ASSERT_TRUE(object);
    long count = 0;
    ASSERT_EQ(S_OK, object->get_accChildCount(&count));
    EXPECT_EQ(3, count);
    made.clear();
    EXPECT_EQ(L"小林：", Name(object.Get(), 2));
    EXPECT_EQ(std::vector<size_t>{1}, made) << "more rows were made than the one asked for";
    EXPECT_EQ(rows[2].state, AccessibleNumber(&IAccessible::get_accState, object.Get(), 3));
    VARIANT selected;
    ASSERT_EQ(S_OK, object->get_accSelection(&selected));
    EXPECT_EQ(2, selected.lVal);
    POINT origin{0, 0};
    ClientToScreen(window.GetHWND(), &origin);
    VARIANT hit;
    VariantInit(&hit);
    ASSERT_EQ(S_OK, object->accHitTest(origin.x + 100, origin.y + 60, &hit));
    EXPECT_EQ(1, hit.lVal);
    BSTR past = nullptr;
    EXPECT_EQ(E_INVALIDARG, object->get_accName(AccessibleChild(4), &past));
}

TEST(ReadableTextTest, ServiceTextIsMadeSafeToSpeak)
{
    struct Row {
        const char* what;
        std::string utf8;
        size_t limit;
        std::wstring expected;
    };
    const Row rows[] = {
        {"empty", "", 200, L""},
        {"plain", "\xe5\xa5\xbd\xe7\x9c\x8b", 200, L"好看"},
        {"blanks only", " \t\r\n ", 200, L""},
        {"control characters", "\x07line\r\none\x1b[31m\x7f\xc2\x85", 200, L"line one [31m"},
        {"runs of blanks", "  a \t\t b  ", 200, L"a b"},
        {"a byte that is no UTF-8",
            "a\xff"
            "b",
            200,
            L"a\uFFFD"
            L"b"},
        {"a sequence cut short", "a\xe6\x9c", 200, L"a\uFFFD\uFFFD"},
        {"a lead without its follower", "\xc3(", 200, L"\uFFFD("},
        {"an overlong slash", "\xc0\xaf", 200, L"\uFFFD\uFFFD"},
        {"an encoded surrogate", "\xed\xa0\x80", 200, L"\uFFFD\uFFFD\uFFFD"},
        {"past the last code point", "\xf4\x90\x80\x80", 200, L"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"four bytes", "\xf0\x9f\x98\x80", 200, L"\U0001F600"},
        {"at the limit", "abc", 3, L"abc"},
        {"past the limit", "abcd", 3, L"abc\u2026"},
        {"a blank at the cut", "abc def", 3, L"abc\u2026"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.expected, ReadableText(row.utf8, row.limit)) << row.what;
    const std::wstring cut = ReadableText(std::string(3'000'000, 'x'));
    EXPECT_EQ(201u, cut.size());
    EXPECT_EQ(L'\u2026', cut.back());
}

}  // namespace
