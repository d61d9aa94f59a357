// The window base routes every message to the controls it hosts, in the
// order they were hosted, before the window's own handler.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "skinkit/button.h"
#include "test_window.h"

namespace {

// Stands for a control: notes each message it sees in a shared log.
struct LoggingControl {
    std::string name;
    std::vector<std::string>* log;
    LRESULT WindowProc(HWND, UINT msg, WPARAM, LPARAM)
    {
        log->push_back(name + ":" + std::to_string(msg));
        return 0;
    }
};

class RoutedWindow : public TestParent {
public:
    bool takesInput = true;
    std::vector<std::string> log;

    BOOL HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (msg == WM_USER)
            log.push_back("window:" + std::to_string(msg));
        return TestParent::HandleMessage(hwnd, msg, wParam, lParam, result);
    }

protected:
    bool ControlsTakeMessages() const override { return takesInput; }
};

std::string Seen(const std::string& name, UINT msg) { return name + ":" + std::to_string(msg); }

TEST(ControlHostTest, RoutesInHostingOrderHonouringFiltersAndEnds)
{
    const auto clicksOnly = [](UINT msg, WPARAM, LPARAM) { return msg == WM_LBUTTONDOWN; };
    const auto notClicks = [](UINT msg, WPARAM, LPARAM) { return msg != WM_LBUTTONDOWN; };
    struct Case {
        const char* what;
        UINT msg;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"a move reaches every unfiltered control in order", WM_MOUSEMOVE,
            {Seen("a", WM_MOUSEMOVE), Seen("c", WM_MOUSEMOVE), Seen("end", WM_MOUSEMOVE), Seen("d", WM_MOUSEMOVE)}},
        {"a click skips the filtered control and reaches the one that takes it", WM_LBUTTONDOWN,
            {Seen("a", WM_LBUTTONDOWN), Seen("b", WM_LBUTTONDOWN), Seen("end", WM_LBUTTONDOWN),
                Seen("d", WM_LBUTTONDOWN)}},
        {"a route that claims the message ends it", WM_KEYDOWN,
            {Seen("a", WM_KEYDOWN), Seen("c", WM_KEYDOWN), Seen("end", WM_KEYDOWN)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> log;
        LoggingControl a{"a", &log}, b{"b", &log}, cc{"c", &log}, d{"d", &log};
        CControlHost host;
        host.Host(a);
        host.Host(b, clicksOnly);
        host.Host(cc, notClicks);
        host.Add([&log](HWND, UINT msg, WPARAM, LPARAM) {
            log.push_back(Seen("end", msg));
            return msg == WM_KEYDOWN;
        });
        host.Host(d);
        EXPECT_EQ(c.msg == WM_KEYDOWN, host.Dispatch(nullptr, c.msg, 0, 0));
        EXPECT_EQ(c.expected, log);
    }
}

TEST(ControlHostTest, AControlHostedWhileAMessageIsRoutedSeesTheNextOne)
{
    std::vector<std::string> log;
    CControlHost host;
    LoggingControl late{"late", &log};
    host.Add([&](HWND, UINT msg, WPARAM, LPARAM) {
        // Enough hosting to move every entry of a vector that grew.
        if (host.Count() == 1)
            for (int i = 0; i < 64; ++i)
                host.Host(late, [](UINT, WPARAM, LPARAM) { return false; });
        log.push_back(Seen("first", msg));
        return false;
    });
    host.Dispatch(nullptr, WM_TIMER, 0, 0);
    EXPECT_EQ(65u, host.Count());
    EXPECT_EQ(std::vector<std::string>{Seen("first", WM_TIMER)}, log);
}

TEST(ControlHostTest, TheWindowRoutesToItsControlsBeforeItsOwnHandler)
{
    RoutedWindow window;
    LoggingControl a{"a", &window.log}, b{"b", &window.log};
    window.HostControl(a);
    window.HostControl(b);
    ASSERT_TRUE(window.Open(120, 80));
    window.log.clear();
    window.Send(WM_USER);
    EXPECT_EQ((std::vector<std::string>{Seen("a", WM_USER), Seen("b", WM_USER), Seen("window", WM_USER)}), window.log);

    // A window that takes no input keeps its controls out of it; its own handler still runs.
    window.takesInput = false;
    window.log.clear();
    window.Send(WM_USER);
    EXPECT_EQ(std::vector<std::string>{Seen("window", WM_USER)}, window.log);
}

TEST(ControlHostTest, AHostedButtonIsClickedWithoutAnyForwardingByHand)
{
    TestParent window;
    CButtonUI button;
    window.HostControl(button);
    ASSERT_TRUE(window.Open(120, 80));
    ASSERT_TRUE(button.Create(window.GetHWND(), 10, 10, 40, 20, 321, L"OK"));
    window.Click(20, 15);
    bool clicked = false;
    for (const RecordedCommand& command : window.TakeCommands())
        clicked = clicked || (command.id == 321 && command.code == 0);
    EXPECT_TRUE(clicked);
}

TEST(ControlHostTest, ACopyOfAWindowRoutesToNoControls)
{
    std::vector<std::string> log;
    LoggingControl a{"a", &log};
    RoutedWindow window;
    window.HostControl(a);
    CWindowBase& base = window;
    struct Copy : CWindowBase {
        explicit Copy(const CWindowBase& from)
            : CWindowBase(from)
        {
        }
        BOOL HandleMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&) override { return FALSE; }
        const wchar_t* GetWindowClassName() const override { return L"SkinkitCopy"; }
    } copy(base);
    EXPECT_EQ(1u, window.Controls().Count());
    EXPECT_EQ(0u, copy.Controls().Count());
}

}  // namespace
