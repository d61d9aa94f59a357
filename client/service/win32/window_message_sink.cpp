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
