#pragma once

#include <deque>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include <windows.h>

#include "skinkit/accessible_facts.h"
#include "skinkit/skinkit_api.h"

// The drawn controls of one window (or one group of them), in the order they
// were created. Every message of the window reaches each control in that
// order; a route that answers true ends it, and a filter keeps a message from
// a control that must not see it (a click over a control stacked above it).
// Controls skinkit can describe are also listed to screen readers.
class SKINKIT_API CControlHost {
public:
    using Route = std::function<bool(HWND, UINT, WPARAM, LPARAM)>;
    using Filter = std::function<bool(UINT, WPARAM, LPARAM)>;
    using Describer = std::function<AccessibleFacts()>;

    CControlHost();
    ~CControlHost();
    // Routes point into their owner: a copy would route to another object's controls.
    CControlHost(const CControlHost&) = delete;
    CControlHost& operator=(const CControlHost&) = delete;

    // Any object with WindowProc(HWND, UINT, WPARAM, LPARAM): a skinkit
    // control or a group of them. It only watches, so routing goes on.
    // name, when given, is what a screen reader calls the control (a field
    // whose label is part of the background picture).
    template <class Control> void Host(Control& control, Filter takes = nullptr, std::wstring name = {})
    {
        Add(
            [&control](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
                control.WindowProc(hwnd, msg, wParam, lParam);
                return false;
            },
            std::move(takes), DescriberOf(control, std::move(name)), &control);
    }
    // source names the control to events; describe lists it to screen
    // readers. A describer alone, without a route, lists a drawn part.
    void Add(Route route, Filter takes = nullptr, Describer describe = nullptr, const void* source = nullptr);
    // True when a route ended the message.
    bool Dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) const;
    size_t Count() const { return m_entries.size(); }

    // The described controls, in hosting order.
    std::vector<AccessibleFacts> Describe() const;
    // Whether Describe() would list anything, without building the list.
    bool HasDescribed() const;
    // 1-based position in Describe()'s list, 0 when not there.
    long ChildIdOf(const void* control) const;

private:
    template <class Control, class = void> struct Describable : std::false_type {
    };
    template <class Control>
    struct Describable<Control, std::void_t<decltype(DescribeControl(std::declval<const Control&>()))>>
        : std::true_type {
    };

    template <class Control> static Describer DescriberOf(const Control& control, std::wstring name)
    {
        if constexpr (Describable<Control>::value) {
            return [&control, name = std::move(name)] {
                AccessibleFacts facts = DescribeControl(control);
                if (!name.empty())
                    facts.name = name;
                return facts;
            };
        } else {
            return nullptr;
        }
    }

    struct Entry {
        Route route;
        Filter takes;
        Describer describe;
        const void* source;
    };
    // A deque: a control made while a message is routed keeps the others in place.
    std::deque<Entry> m_entries;
};
