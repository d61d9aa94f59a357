#include "proxy_list.h"

#include <gtest/gtest.h>

TEST(ProxyList, PicksTheEntryForTheScheme)
{
    struct Case {
        const char* list;
        const char* scheme;
        const char* proxy;
    };
    const Case kCases[] = {
        // Several proxies (an automatic script's answer): the first.
        {"a:1;b:2", "http", "a:1"},
        {" a:1  b:2 ", "http", "a:1"},
        // The browser's default port, not libcurl's 1080.
        {"proxy.lan", "http", "proxy.lan:80"},
        {"http=proxy.lan", "http", "proxy.lan:80"},
        {"HTTP://Proxy.lan:3128/", "http", "Proxy.lan:3128"},
        {"[fd00::1]:3128", "https", "[fd00::1]:3128"},
        {"fd00::1", "http", "[fd00::1]:80"},
        {"a:99999", "http", ""},
        {"a:x", "http", ""},
        {"socks://s:1080", "http", ""},
        {"http=;https=b:2", "http", ""},
        // A scheme's own entry wins over a plain one.
        {"a:1;https=b:2", "https", "b:2"},
        {"a:1;https=b:2", "http", "a:1"},
        {"HTTPS=b:2", "https", "b:2"},
        {"proxy.lan:3128", "https", "proxy.lan:3128"},
        {"http=a:1;https=b:2", "http", "a:1"},
        {"https=b:2 ftp=c:3", "https", "b:2"},
        // A list that names other schemes only means a direct connection.
        {"ftp=c:3;socks=d:4", "http", ""},
        {";;", "http", ""},
        {"", "http", ""},
    };
    for (const Case& c : kCases)
        EXPECT_EQ(ProxyForScheme(c.list, c.scheme), c.proxy) << c.list << " / " << c.scheme;
}

TEST(ProxyList, BypassListDecidesPerUrl)
{
    struct Case {
        const char* bypass;
        const char* url;
        bool bypassed;
    };
    const Case kCases[] = {
        {"*.corp", "http://wiki.corp/x", true},
        {"*.corp", "http://a.b.CORP:8080/x", true},
        {"*.corp", "http://corp/x", false},
        {"*.corp", "http://corp.example/x", false},
        {"*.corp", "http://evil.corp.example/x", false},
        {".corp", "http://wiki.corp/", true},
        {"10.*", "http://10.1.2.3/", true},
        {"10.*", "http://110.1.2.3/", false},
        {"*10.0.0.*", "http://10.0.0.9/", true},
        // Every host name without a dot, and nothing else.
        {"<local>", "http://intranet/", true},
        {"<local>", "http://LOCALHOST:99/", true},
        {"<local>", "http://127.0.0.1/", false},
        {"<local>", "http://a.b/", false},
        {"<local>", "http://[::1]/", false},
        {"<LOCAL>", "http://intranet/", true},
        {"<-loopback>", "http://intranet/", false},
        // Ports: the URL's own or its scheme's default.
        {"*.corp:8080", "http://a.corp:8080/", true},
        {"*.corp:8080", "http://a.corp/", false},
        {"a.corp:80", "http://a.corp/", true},
        {"a.corp:443", "https://a.corp/", true},
        {"a.corp:*", "http://a.corp:81/", true},
        {"a.corp:99999", "http://a.corp/", false},
        {"https://*.corp", "https://a.corp/", true},
        {"https://*.corp", "http://a.corp/", false},
        // Separators, spaces, case and empty entries.
        {" ;; A.Corp ;;", "http://a.corp/", true},
        {"x.y, a.corp", "http://a.corp/", true},
        {"x.y\ta.corp", "http://a.corp/", true},
        {";;;", "http://a.corp/", false},
        {"", "http://a.corp/", false},
        {"*", "http://anything.example/", true},
        {"a.corp", "http://b.a.corp/", false},
        // IPv6, with and without brackets.
        {"[::1]", "http://[::1]:8080/", true},
        {"::1", "http://[::1]/", true},
        {"[fe80::1]:8080", "http://[FE80::1]:8080/", true},
        {"[fe80::1]:8080", "http://[fe80::1]/", false},
        {"fe80::*", "http://[fe80::2]/", true},
        {"[::1", "http://[::1]/", false},
        // User information is not the host.
        {"a.corp", "http://user:pw@a.corp/", true},
        {"a.corp", "http://a.corp@b.example/", false},
        {"a.corp", "http://b.example/?a.corp", false},
    };
    for (const Case& c : kCases) {
        ProxyTarget target;
        ASSERT_TRUE(ParseProxyTarget(c.url, target)) << c.url;
        EXPECT_EQ(IsBypassed(c.bypass, target), c.bypassed) << c.bypass << " / " << c.url;
    }
}

TEST(ProxyList, ManualSettingsAnswerPerUrl)
{
    struct Case {
        const char* url;
        const char* proxy;
    };
    const Case kCases[] = {
        {"", ""},
        {"no scheme", ""},
        {"://a.corp/", ""},
        {"http:///path", ""},
        {"http://a.example:0/", ""},
        {"http://a.example:65536/", ""},
        {"http://[::1/", ""},
        {"http://10.1.2.3:8080/x", ""},
        {"http://wiki.corp/", ""},
        {"http://intranet/", ""},
        {"http://pictures.example/a.jpg", "p:8080"},
        {"https://pictures.example/", "s:8443"},
    };
    for (const Case& c : kCases)
        EXPECT_EQ(ManualProxyFor(c.url, "http=p:8080;https=s:8443", "<local>;*.corp;10.*"), c.proxy) << c.url;
}
