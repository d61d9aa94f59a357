#include "message_loop.h"

#include "skinkit/message_filter.h"

#include <algorithm>

void MessageLoop::AddFilter(CMessageFilter* filter) { filters_.push_back(filter); }

void MessageLoop::RemoveFilter(CMessageFilter* filter)
{
    filters_.erase(std::remove(filters_.begin(), filters_.end(), filter), filters_.end());
}

bool MessageLoop::Filtered(MSG& message)
{
    for (CMessageFilter* filter : filters_) {
        if (filter->PreTranslateMessage(&message))
            return true;
    }
    return false;
}

int MessageLoop::Run()
{
    MSG message;
    for (;;) {
        BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0)
            return int(message.wParam);
        if (got == -1)
            return -1;
        if (Filtered(message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}
