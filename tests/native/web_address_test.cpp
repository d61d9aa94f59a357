#include "web_address.h"

#include <gtest/gtest.h>

#include <string>

// Addresses from answers are fetched only when they are plainly http or
// https with a host; anything a reader could take another way is refused.
TEST(WebAddress, OnlyAbsoluteHttpAndHttpsWithAHost)
{
    struct Row {
        std::string address;
        bool accepted;
    };
    const Row kRows[] = {
        {"file:///etc/passwd", false},
        {"file://http/x.jpg", false},
        {"ftp://http.example/x.jpg", false},
        {"javascript:alert('http://x/a.jpg')", false},
        {"data:image/jpeg;base64,http", false},
        {" http://x/a.jpg", false},
        {"\thttp://x/a.jpg", false},
        {"http://x/a b.jpg", false},
        {"http://x/a.jpg\r\nHost: y", false},
        {std::string("http://x/a\0.jpg", 15), false},
        {"http://x/a\x7F.jpg", false},
        {"http://x\\@y/a.jpg", false},
        {"http://", false},
        {"http:///a.jpg", false},
        {"http://:80/a.jpg", false},
        {"http://user@/a.jpg", false},
        {"http://x:/a.jpg", false},
        {"http://x:65536/a.jpg", false},
        {"http://x:123456/a.jpg", false},
        {"http://x:8o/a.jpg", false},
        {"http://[::1/a.jpg", false},
        {"http://[zz]/a.jpg", false},
        {"http://x\xE6/a.jpg", false},
        {"http:/x/a.jpg", false},
        {"http:x/a.jpg", false},
        {"//x/a.jpg", false},
        {"/pictures/a.jpg", false},
        {"httpx://x/a.jpg", false},
        {"htt://x/a.jpg", false},
        {"", false},
        {"http://x", true},
        {"http://127.0.0.1:8710/pictures/fukei/p5049.jpg", true},
        {"https://pics.example.com/a/u1.jpg?v=2#top", true},
        {"HTTP://PICS.EXAMPLE.COM/A.JPG", true},
        {"hTTpS://x:443/", true},
        {"http://x:65535/a.jpg", true},
        {"http://[::1]:8710/a.jpg", true},
        {"http://user@x/a.jpg", true},
        {"http://x?q=1", true},
    };
    for (const Row& row : kRows)
        EXPECT_EQ(IsWebAddress(row.address), row.accepted) << row.address;
}
