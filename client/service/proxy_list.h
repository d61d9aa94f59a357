#pragma once
#include <string>

// The system's proxy settings come as lists in the browser's notation; libcurl
// wants one proxy and a comma-separated list of hosts to reach directly.

// "http=a:1;https=b:2" or a plain "a:1": the proxy for `scheme`, or empty.
std::string ProxyForScheme(const std::string& list, const std::string& scheme);
// "<local>;*.corp;10.*" becomes "localhost,127.0.0.1,::1,*.corp,10.*".
std::string NoProxyFromBypass(const std::string& bypass);
