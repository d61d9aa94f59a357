#pragma once

#include <windows.h>
#include <oleacc.h>

// The client area of a skinkit window to a screen reader: one simple child
// per described control. It holds only the window handle and asks the window
// afresh on every call, so a reader that keeps it past the window gets
// "disconnected" instead of freed memory.
IAccessible* NewWindowAccessible(HWND hwnd);
