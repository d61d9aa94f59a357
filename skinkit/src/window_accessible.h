#pragma once

#include <windows.h>
#include <oleacc.h>

// The client area of a skinkit window to a screen reader: one child per
// described control; a control with rows of its own (a drawn list) is a child
// object whose rows are its simple children. It holds only the window handle
// and its place in the list and asks the window afresh on every call, so a
// reader that keeps it past the window gets "disconnected" instead of freed
// memory.
IAccessible* NewWindowAccessible(HWND hwnd);
