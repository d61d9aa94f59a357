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
