#pragma once
#include <string>

// The system's proxy settings in the browser's notation: a proxy list
// ("http=a:1;https=b:2", or "a:1" for every scheme) and a bypass list
// ("<local>;*.corp;10.*"). The choice is made here per URL, so libcurl is
// handed one proxy or none and never applies a list of its own.

// What the proxy choice for a URL depends on.
struct ProxyTarget {
    std::string scheme;  // lower case
    std::string host;  // lower case; an IPv6 address without its brackets
    int port = 0;  // the scheme's default when the URL names none
};
// False when `url` has no "scheme://host" or a port out of range.
bool ParseProxyTarget(const std::string& url, ProxyTarget& target);

// The proxy for `scheme` as "host:port", or empty. Of several, the first.
std::string ProxyForScheme(const std::string& list, const std::string& scheme);

// Whether the bypass list sends `target` past the proxy.
bool IsBypassed(const std::string& bypass, const ProxyTarget& target);

// The manual settings' answer for one URL: "host:port", or empty for a direct
// connection.
std::string ManualProxyFor(const std::string& url, const std::string& list, const std::string& bypass);
