#pragma once

#include <windows.h>

#include "skinkit/skinkit_api.h"

// A window that wants a look at messages before the loop dispatches them.
// The message loop owner calls PreTranslateMessage for every registered
// filter; a TRUE return means the message was consumed.
class SKINKIT_API CMessageFilter {
public:
    virtual BOOL PreTranslateMessage(MSG* msg) = 0;

protected:
    ~CMessageFilter() = default;
};
