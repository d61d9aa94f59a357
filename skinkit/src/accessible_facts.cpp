#include "skinkit/accessible_facts.h"

#include <oleacc.h>

#include "skinkit/button.h"
#include "skinkit/check_box.h"
#include "skinkit/combo_box.h"
#include "skinkit/hyperlink.h"
#include "skinkit/rich_edit.h"
#include "skinkit/static_text.h"
#include "skinkit/window_base.h"

namespace {

long Shown(bool visible) { return visible ? 0 : STATE_SYSTEM_INVISIBLE; }

// An image-only button has no caption: the skin's name for it, its tip or
// the text it keeps for its other state is what a user knows it by.
template <class Button> AccessibleFacts DescribeButton(const Button& button)
{
    AccessibleFacts facts;
    button.GetWindowTextW(facts.name);
    if (facts.name.empty())
        facts.name = button.GetAccessibleName();
    if (facts.name.empty())
        facts.name = button.GetTipText();
    if (facts.name.empty())
        facts.name = button.GetKeepText();
    facts.role = ROLE_SYSTEM_PUSHBUTTON;
    facts.state = STATE_SYSTEM_FOCUSABLE | Shown(button.IsWindowVisible());
    if (!button.IsWindowEnabled())
        facts.state |= STATE_SYSTEM_UNAVAILABLE;
    if (button.GetState() == kButtonHover)
        facts.state |= STATE_SYSTEM_HOTTRACKED;
    if (button.GetState() == kButtonPressed)
        facts.state |= STATE_SYSTEM_PRESSED;
    if (button.HasKeyFocus())
        facts.state |= STATE_SYSTEM_FOCUSED;
    facts.rect = button.GetWindowRect();
    return facts;
}

}  // namespace

AccessibleFacts DescribeControl(const CButtonUI& control) { return DescribeButton(control); }

AccessibleFacts DescribeControl(const Gosick_button& control) { return DescribeButton(control); }

AccessibleFacts DescribeControl(const CCheckBoxUI& control)
{
    AccessibleFacts facts;
    control.GetWindowTextW(facts.name);
    facts.role = ROLE_SYSTEM_CHECKBUTTON;
    facts.state = STATE_SYSTEM_FOCUSABLE | Shown(control.IsWindowVisible());
    if (control.GetCheck())
        facts.state |= STATE_SYSTEM_CHECKED;
    if (control.IsFocus())
        facts.state |= STATE_SYSTEM_FOCUSED;
    if (!control.IsWindowEnabled())
        facts.state |= STATE_SYSTEM_UNAVAILABLE;
    facts.rect = control.GetWindowRect();
    return facts;
}

AccessibleFacts DescribeControl(const CHyperLinkUI& control)
{
    AccessibleFacts facts;
    facts.name = control.GetShownText();
    facts.value = control.GetURL();
    facts.role = ROLE_SYSTEM_LINK;
    facts.state = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_LINKED | Shown(control.IsWindowVisible());
    if (control.IsHover())
        facts.state |= STATE_SYSTEM_HOTTRACKED;
    facts.rect = control.GetWindowRect();
    return facts;
}

AccessibleFacts DescribeControl(const CRichEditUI& control)
{
    AccessibleFacts facts;
    facts.role = ROLE_SYSTEM_TEXT;
    facts.state = STATE_SYSTEM_FOCUSABLE | Shown(control.IsWindowVisible());
    if (control.IsFocus())
        facts.state |= STATE_SYSTEM_FOCUSED;
    if (control.IsReadOnly())
        facts.state |= STATE_SYSTEM_READONLY;
    // A password's characters are never read out.
    if (control.IsPassword())
        facts.state |= STATE_SYSTEM_PROTECTED;
    else
        facts.value = control.GetWindowTextW();
    facts.rect = control.GetEditBkRect();
    if (IsRectEmpty(&facts.rect))
        facts.rect = control.GetWindowRect();
    return facts;
}

AccessibleFacts DescribeControl(const CStaticUI& control)
{
    AccessibleFacts facts;
    control.GetWindowTextW(facts.name);
    facts.role = ROLE_SYSTEM_STATICTEXT;
    facts.state = STATE_SYSTEM_READONLY | Shown(control.IsWindowVisible());
    facts.rect = control.GetWindowRect();
    return facts;
}

AccessibleFacts DescribeControl(const CComboBoxUI& control)
{
    AccessibleFacts facts;
    control.GetWindowTextW(facts.value);
    facts.role = ROLE_SYSTEM_COMBOBOX;
    facts.state = STATE_SYSTEM_FOCUSABLE | Shown(control.IsWindowVisible());
    if (control.IsFocus())
        facts.state |= STATE_SYSTEM_FOCUSED;
    if (control.IsDroppedDown())
        facts.state |= STATE_SYSTEM_EXPANDED;
    facts.rect = control.GetWindowRect();
    return facts;
}

void NotifyControlEvent(HWND parent, const void* control, DWORD event)
{
    const CWindowBase* window = CWindowBase::FromHandle(parent);
    if (!window)
        return;
    const long child = window->Controls().ChildIdOf(control);
    if (child != 0)
        NotifyWinEvent(event, parent, OBJID_CLIENT, child);
}
