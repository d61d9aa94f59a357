#include "skinkit/control_host.h"

CControlHost::CControlHost() = default;
CControlHost::~CControlHost() = default;

void CControlHost::Add(Route route, Filter takes, Describer describe, const void* source)
{
    if (route || describe)
        m_entries.push_back(Entry{std::move(route), std::move(takes), std::move(describe), source});
}

bool CControlHost::Dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) const
{
    // By index: a route may host another control while it runs.
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const Entry& entry = m_entries[i];
        if (!entry.route || (entry.takes && !entry.takes(msg, wParam, lParam)))
            continue;
        if (entry.route(hwnd, msg, wParam, lParam))
            return true;
    }
    return false;
}

std::vector<AccessibleFacts> CControlHost::Describe() const
{
    std::vector<AccessibleFacts> described;
    for (const Entry& entry : m_entries)
        if (entry.describe)
            described.push_back(entry.describe());
    return described;
}

bool CControlHost::HasDescribed() const
{
    for (const Entry& entry : m_entries)
        if (entry.describe)
            return true;
    return false;
}

long CControlHost::ChildIdOf(const void* control) const
{
    long id = 0;
    for (const Entry& entry : m_entries) {
        if (!entry.describe)
            continue;
        ++id;
        if (entry.source == control)
            return id;
    }
    return 0;
}
