#include "proxy_list.h"

#include <vector>

namespace {

const char kSeparators[] = "; \t\r\n";
// Bypass lists typed by hand also use commas.
const char kBypassSeparators[] = ";, \t\r\n";

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

std::string Lower(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return text;
}

bool ParsePort(const std::string& text, int& port)
{
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    port = std::stoi(text);
    return port > 0 && port <= 65535;
}

// "host", "host:port", "[v6]", "[v6]:port", or a bare IPv6 address (more than
// one colon, so no port).
bool SplitHostPort(const std::string& text, std::string& host, std::string& port)
{
    host.clear();
    port.clear();
    if (!text.empty() && text[0] == '[') {
        std::string::size_type close = text.find(']');
        if (close == std::string::npos)
            return false;
        host = text.substr(1, close - 1);
        std::string rest = text.substr(close + 1);
        if (!rest.empty() && rest[0] != ':')
            return false;
        port = rest.empty() ? rest : rest.substr(1);
        return !host.empty();
    }
    std::string::size_type colon = text.find(':');
    if (colon == std::string::npos || text.find(':', colon + 1) != std::string::npos) {
        host = text;
    } else {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    return !host.empty();
}

int DefaultPort(const std::string& scheme)
{
    if (scheme == "https")
        return 443;
    if (scheme == "ftp")
        return 21;
    return scheme == "http" ? 80 : 0;
}

// '*' stands for any run of characters, as in the browser's bypass list.
bool WildcardMatch(const std::string& pattern, const std::string& text)
{
    std::string::size_type p = 0, t = 0, star = std::string::npos, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && pattern[p] == text[t]) {
            ++p;
            ++t;
        } else if (star != std::string::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

// An entry of a proxy list as "host:port": a proxy without a port listens on
// 80 for the browser, where libcurl would assume 1080.
std::string ProxyAddress(std::string entry)
{
    if (Lower(entry.substr(0, 7)) == "http://")
        entry.erase(0, 7);
    if (entry.find("://") != std::string::npos)
        return {};
    if (!entry.empty() && entry.back() == '/')
        entry.pop_back();
    std::string host, portText;
    int port = 80;
    if (!SplitHostPort(entry, host, portText) || (!portText.empty() && !ParsePort(portText, port)))
        return {};
    if (host.find(':') != std::string::npos)
        host = "[" + host + "]";
    return host + ":" + std::to_string(port);
}

bool BypassEntryMatches(std::string entry, const ProxyTarget& target)
{
    // Every host name without a dot; an IPv6 address is no name.
    if (entry == "<local>")
        return target.host.find_first_of(".:") == std::string::npos;
    if (entry[0] == '<')
        return false;
    std::string::size_type schemeEnd = entry.find("://");
    if (schemeEnd != std::string::npos) {
        if (entry.compare(0, schemeEnd, target.scheme) != 0)
            return false;
        entry.erase(0, schemeEnd + 3);
    }
    std::string host, portText;
    if (!SplitHostPort(entry, host, portText))
        return false;
    int port = 0;
    if (!portText.empty() && portText != "*" && (!ParsePort(portText, port) || port != target.port))
        return false;
    if (host[0] == '.')
        host.insert(0, "*");
    return WildcardMatch(host, target.host);
}

}  // namespace

bool ParseProxyTarget(const std::string& url, ProxyTarget& target)
{
    std::string::size_type schemeEnd = url.find("://");
    if (schemeEnd == std::string::npos || schemeEnd == 0)
        return false;
    target.scheme = Lower(url.substr(0, schemeEnd));
    std::string authority = url.substr(schemeEnd + 3);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    std::string::size_type at = authority.rfind('@');
    if (at != std::string::npos)
        authority.erase(0, at + 1);
    std::string portText;
    if (!SplitHostPort(authority, target.host, portText))
        return false;
    target.host = Lower(target.host);
    target.port = DefaultPort(target.scheme);
    return portText.empty() || ParsePort(portText, target.port);
}

std::string ProxyForScheme(const std::string& list, const std::string& scheme)
{
    // A scheme's own entry wins over a plain one, which serves every scheme.
    std::string prefix = Lower(scheme) + "=";
    std::string plain;
    for (const std::string& entry : Split(list, kSeparators)) {
        std::string::size_type equals = entry.find('=');
        if (equals == std::string::npos) {
            if (plain.empty())
                plain = ProxyAddress(entry);
        } else if (Lower(entry.substr(0, equals + 1)) == prefix) {
            std::string address = ProxyAddress(entry.substr(equals + 1));
            if (!address.empty())
                return address;
        }
    }
    return plain;
}

bool IsBypassed(const std::string& bypass, const ProxyTarget& target)
{
    for (const std::string& entry : Split(bypass, kBypassSeparators)) {
        if (BypassEntryMatches(Lower(entry), target))
            return true;
    }
    return false;
}

std::string ManualProxyFor(const std::string& url, const std::string& list, const std::string& bypass)
{
    ProxyTarget target;
    if (!ParseProxyTarget(url, target) || IsBypassed(bypass, target))
        return {};
    return ProxyForScheme(list, target.scheme);
}
