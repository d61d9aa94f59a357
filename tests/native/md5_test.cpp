#include "md5.h"

#include <gtest/gtest.h>

#include <string>

TEST(Md5Hex, MatchesTheRfcTestSuite)
{
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(
        Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"), "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(Md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
        "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5Hex, HandlesPaddingBoundariesAndBinaryBytes)
{
    // 55, 56 and 64 bytes put the length field in the first or a second block.
    EXPECT_EQ(Md5Hex(std::string(55, 'a')), "ef1772b6dff9a122358552954ad0df65");
    EXPECT_EQ(Md5Hex(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
    EXPECT_EQ(Md5Hex(std::string(64, 'a')), "014842d480b571495a4a0363793f7367");
    EXPECT_EQ(Md5Hex(std::string("\0\xff", 2)), "d07d34efac6328007ad67c7e0a985e00");
    EXPECT_EQ(Md5Hex("\xe7\x99\xbb\xe5\xbd\x95"), "402d19e50fff44c827a4f3b608bd5812");
    EXPECT_EQ(Md5Hex(std::string(1000000, 'a')), "7707d6ae4e027c70eea2a935c2296f21");
}
