#include "window_message_sink.h"

std::intptr_t WindowMessageSink::Send(unsigned message, std::uintptr_t a, std::intptr_t b)
{
    return SendMessageW(window_, message, WPARAM(a), LPARAM(b));
}

bool WindowMessageSink::Post(unsigned message, std::uintptr_t a, std::intptr_t b)
{
    return PostMessageW(window_, message, WPARAM(a), LPARAM(b)) != FALSE;
}

void WindowMessageSink::Invalidate() { InvalidateRect(window_, nullptr, FALSE); }

namespace {
thread_local UINT t_sendingWithText = 0;
}  // namespace

LRESULT SendWithText(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const UINT outer = t_sendingWithText;
    t_sendingWithText = message;
    const LRESULT result = SendMessageW(window, message, wParam, lParam);
    t_sendingWithText = outer;
    return result;
}

bool SenderWaits(UINT message) { return InSendMessage() || (message != 0 && t_sendingWithText == message); }
