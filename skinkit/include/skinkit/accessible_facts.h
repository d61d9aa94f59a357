#pragma once

#include <functional>
#include <string>
#include <vector>

#include <windows.h>

#include "skinkit/skinkit_api.h"

class CButtonUI;
class Gosick_button;
class CCheckBoxUI;
class CHyperLinkUI;
class CRichEditUI;
class CStaticUI;
class CComboBoxUI;

// What a screen reader learns of one drawn control: the name users read on
// screen, its role and state (the oleacc ROLE_SYSTEM_* and STATE_SYSTEM_*
// values) and where it is, in its window's client coordinates. A drawn list
// carries its rows as children, described the same way; a long one gives
// the number of its rows and each row when asked, since a reader's every
// question describes the window afresh.
struct AccessibleFacts {
    std::wstring name;
    std::wstring value;
    std::wstring description;
    long role = 0;
    long state = 0;
    RECT rect{};
    std::vector<AccessibleFacts> children;
    size_t rowCount = 0;
    std::function<AccessibleFacts(size_t)> row;

    size_t ChildCount() const { return row ? rowCount : children.size(); }
    // The child at 0-based `index`; false past the last.
    bool ChildAt(size_t index, AccessibleFacts& child) const
    {
        if (index >= ChildCount())
            return false;
        child = row ? row(index) : children[index];
        return true;
    }
};

// Service text as a reader should hear it: invalid UTF-8 as U+FFFD, control
// characters and runs of white space as one space, trimmed, and cut after
// `limit` characters, where an ellipsis follows.
SKINKIT_API std::wstring ReadableText(const std::string& utf8, size_t limit = 200);

SKINKIT_API AccessibleFacts DescribeControl(const CButtonUI& control);
SKINKIT_API AccessibleFacts DescribeControl(const Gosick_button& control);
SKINKIT_API AccessibleFacts DescribeControl(const CCheckBoxUI& control);
SKINKIT_API AccessibleFacts DescribeControl(const CHyperLinkUI& control);
SKINKIT_API AccessibleFacts DescribeControl(const CRichEditUI& control);
SKINKIT_API AccessibleFacts DescribeControl(const CStaticUI& control);
SKINKIT_API AccessibleFacts DescribeControl(const CComboBoxUI& control);

// Tells a screen reader that a control of parent's window changed: event is
// EVENT_OBJECT_FOCUS, EVENT_OBJECT_STATECHANGE or EVENT_OBJECT_NAMECHANGE.
// Nothing happens for a control its window does not host.
SKINKIT_API void NotifyControlEvent(HWND parent, const void* control, DWORD event);
