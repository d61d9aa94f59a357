#pragma once
#include <vector>

#include <windows.h>

class CMessageFilter;

// The one message loop of the user-interface thread. Filters see every
// message before it is translated and dispatched.
class MessageLoop {
public:
    void AddFilter(CMessageFilter* filter);
    void RemoveFilter(CMessageFilter* filter);
    // Runs until WM_QUIT and returns its exit code.
    int Run();

private:
    bool Filtered(MSG& message);

    std::vector<CMessageFilter*> filters_;
};
