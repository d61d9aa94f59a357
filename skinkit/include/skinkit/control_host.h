#pragma once

#include <deque>
#include <functional>
#include <utility>

#include <windows.h>

#include "skinkit/skinkit_api.h"

// The drawn controls of one window (or one group of them), in the order they
// were created. Every message of the window reaches each control in that
// order; a route that answers true ends it, and a filter keeps a message from
// a control that must not see it (a click over a control stacked above it).
class SKINKIT_API CControlHost {
public:
    using Route = std::function<bool(HWND, UINT, WPARAM, LPARAM)>;
    using Filter = std::function<bool(UINT, WPARAM, LPARAM)>;

    CControlHost();
    ~CControlHost();
    // Routes point into their owner: a copy would route to another object's controls.
    CControlHost(const CControlHost&) = delete;
    CControlHost& operator=(const CControlHost&) = delete;

    // Any object with WindowProc(HWND, UINT, WPARAM, LPARAM): a skinkit
    // control or a group of them. It only watches, so routing goes on.
    template <class Control>
    void Host(Control& control, Filter takes = nullptr) {
        Add(
            [&control](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
                control.WindowProc(hwnd, msg, wParam, lParam);
                return false;
            },
            std::move(takes));
    }
    void Add(Route route, Filter takes = nullptr);
    // True when a route ended the message.
    bool Dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) const;
    size_t Count() const { return m_entries.size(); }

private:
    struct Entry {
        Route route;
        Filter takes;
    };
    // A deque: a control made while a message is routed keeps the others in place.
    std::deque<Entry> m_entries;
};
