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

namespace {

// The code point at text[at], advancing at past it; an invalid or cut
// sequence gives U+FFFD and skips one byte.
char32_t NextCodePoint(const std::string& text, size_t& at)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        ++at;
        return lead;
    }
    int extra = 0;
    char32_t point = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1, point = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2, point = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3, point = lead & 0x07, least = 0x10000;
    } else {
        ++at;
        return 0xFFFD;
    }
    if (at + extra >= text.size()) {
        ++at;
        return 0xFFFD;
    }
    for (int i = 1; i <= extra; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            ++at;
            return 0xFFFD;
        }
        point = (point << 6) | (byte(at + i) & 0x3F);
    }
    if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
        ++at;
        return 0xFFFD;
    }
    at += extra + 1;
    return point;
}

bool IsBlank(char32_t point)
{
    return point <= 0x20 || (point >= 0x7F && point <= 0x9F) || point == 0x2028 || point == 0x2029;
}

void Append(std::wstring& out, char32_t point)
{
    if (point < 0x10000) {
        out.push_back(static_cast<wchar_t>(point));
        return;
    }
    point -= 0x10000;
    out.push_back(static_cast<wchar_t>(0xD800 + (point >> 10)));
    out.push_back(static_cast<wchar_t>(0xDC00 + (point & 0x3FF)));
}

}  // namespace

std::wstring ReadableText(const std::string& utf8, size_t limit)
{
    std::wstring out;
    size_t characters = 0;
    bool blank = false;
    size_t at = 0;
    // A very long text is read only as far as the cut.
    while (at < utf8.size()) {
        const char32_t point = NextCodePoint(utf8, at);
        if (IsBlank(point)) {
            blank = !out.empty();
            continue;
        }
        if (characters + (blank ? 1 : 0) >= limit) {
            out.push_back(L'\u2026');
            return out;
        }
        if (blank) {
            out.push_back(L' ');
            ++characters;
            blank = false;
        }
        Append(out, point);
        ++characters;
    }
    return out;
}
