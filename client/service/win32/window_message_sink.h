#pragma once
#include "../message_sink.h"

#include <windows.h>

// The core's reports to one window. Text parameters stay UTF-8 std::string
// pointers; the window converts them where it receives them.
class WindowMessageSink : public MessageSink {
public:
    explicit WindowMessageSink(HWND window)
        : window_(window)
    {
    }

    std::intptr_t Send(unsigned message, std::uintptr_t a, std::intptr_t b) override;
    bool Post(unsigned message, std::uintptr_t a, std::intptr_t b) override;
    void Invalidate() override;

private:
    HWND window_;
};

// Text handed by pointer in a window message lives only while its sender
// waits in SendMessage; a posted copy of the message may point at nothing.
// Another thread's send is told by InSendMessage; this thread's own sends
// are direct calls that no API tells from a posted message's dispatch, so
// they go through SendWithText, which marks them.
LRESULT SendWithText(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Whether the message being handled has a waiting sender: another thread,
// or this thread through SendWithText.
bool SenderWaits(UINT message);
