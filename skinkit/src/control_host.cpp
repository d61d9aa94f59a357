#include "skinkit/control_host.h"

CControlHost::CControlHost() = default;
CControlHost::~CControlHost() = default;

void CControlHost::Add(Route route, Filter takes) {
    if (route) m_entries.push_back(Entry{std::move(route), std::move(takes)});
}

bool CControlHost::Dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) const {
    // By index: a route may host another control while it runs.
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const Entry& entry = m_entries[i];
        if (entry.takes && !entry.takes(msg, wParam, lParam)) continue;
        if (entry.route(hwnd, msg, wParam, lParam)) return true;
    }
    return false;
}
