#include "proxy_list.h"

#include <gtest/gtest.h>

TEST(ProxyList, PicksTheEntryForTheScheme)
{
    EXPECT_EQ(ProxyForScheme("proxy.lan:3128", "http"), "proxy.lan:3128");
    EXPECT_EQ(ProxyForScheme("proxy.lan:3128", "https"), "proxy.lan:3128");
    EXPECT_EQ(ProxyForScheme("http=a:1;https=b:2", "http"), "a:1");
    EXPECT_EQ(ProxyForScheme("http=a:1;https=b:2", "https"), "b:2");
    EXPECT_EQ(ProxyForScheme("https=b:2 ftp=c:3", "https"), "b:2");
    // A list that names other schemes only means a direct connection.
    EXPECT_EQ(ProxyForScheme("ftp=c:3;socks=d:4", "http"), "");
    EXPECT_EQ(ProxyForScheme("", "http"), "");
}

TEST(ProxyList, BypassBecomesCurlsNoProxyList)
{
    EXPECT_EQ(NoProxyFromBypass("<local>"), "localhost,127.0.0.1,::1");
    EXPECT_EQ(NoProxyFromBypass("*.corp;10.*;<local>"), "*.corp,10.*,localhost,127.0.0.1,::1");
    EXPECT_EQ(NoProxyFromBypass(";;a.b;"), "a.b");
    EXPECT_EQ(NoProxyFromBypass(""), "");
}
