#include "text_encoding.h"

#include <gtest/gtest.h>

TEST(PercentEncodeText, KeepsUnreservedAndEscapesEverythingElse)
{
    EXPECT_EQ(PercentEncodeText("abcXYZ019-._~"), "abcXYZ019-._~");
    EXPECT_EQ(PercentEncodeText("a b&c=d#e%f+g/h?"), "a%20b%26c%3Dd%23e%25f%2Bg%2Fh%3F");
    EXPECT_EQ(PercentEncodeText(""), "");
}

TEST(PercentEncodeText, SendsUtf8BytesOfTextNoCodePageCouldHold)
{
    // 图 (U+56FE), é and an emoji outside the basic plane, all as UTF-8.
    EXPECT_EQ(PercentEncodeText("\xe5\x9b\xbe"), "%E5%9B%BE");
    EXPECT_EQ(PercentEncodeText("caf\xc3\xa9"), "caf%C3%A9");
    EXPECT_EQ(PercentEncodeText("\xf0\x9f\x98\x80"), "%F0%9F%98%80");
}

TEST(EncodeFeedbackNickname, EscapesAllButLettersAndDigits)
{
    EXPECT_EQ(EncodeFeedbackNickname("ab 1"), "ab%201");
    EXPECT_EQ(EncodeFeedbackNickname("a_b.c"), "a%5Fb%2Ec");
    EXPECT_EQ(EncodeFeedbackNickname("\xe5\x9b\xbe"), "%E5%9B%BE");
}
