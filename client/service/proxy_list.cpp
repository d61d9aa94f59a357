#include "proxy_list.h"

#include <vector>

namespace {

std::vector<std::string> Split(const std::string& text, const char* separators)
{
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    while (start <= text.size()) {
        std::string::size_type end = text.find_first_of(separators, start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

} // namespace

std::string ProxyForScheme(const std::string& list, const std::string& scheme)
{
    if (list.find('=') == std::string::npos)
        return list;
    std::string prefix = scheme + "=";
    for (const std::string& entry : Split(list, "; ")) {
        if (entry.compare(0, prefix.size(), prefix) == 0)
            return entry.substr(prefix.size());
    }
    return {};
}

std::string NoProxyFromBypass(const std::string& bypass)
{
    std::string hosts;
    for (std::string entry : Split(bypass, "; ")) {
        if (entry == "<local>")
            entry = "localhost,127.0.0.1,::1";
        hosts += (hosts.empty() ? "" : ",") + entry;
    }
    return hosts;
}
