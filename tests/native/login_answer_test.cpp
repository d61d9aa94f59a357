#include "login_answer.h"

#include <gtest/gtest.h>

#include <string>

TEST(LoginAnswer, ReadsTheSignedInRecord)
{
    LoginAnswer answer;
    ASSERT_TRUE(ParseLoginAnswer(R"({"status":0,"data":{"uid":"1001","token":"t","uname":"\u5c0f\u660e",)"
                                 R"("avatar":"http://a/u.jpg","image_count":"28","like_count":"30",)"
                                 R"("follow_count":"15","fans_count":"26"}})",
        answer));
    EXPECT_EQ(answer.status, 0);
    EXPECT_EQ(answer.uid, "1001");
    EXPECT_EQ(answer.displayName, "\xe5\xb0\x8f\xe6\x98\x8e");  // 小明, decoded straight to UTF-8
    EXPECT_EQ(answer.fansCount, "26");
}

TEST(LoginAnswer, RefusalAndUnusableAnswers)
{
    LoginAnswer answer;
    ASSERT_TRUE(ParseLoginAnswer(R"({"status":1,"msg":"x"})", answer));
    EXPECT_EQ(answer.status, 1);

    // None of these may count as a sign-in.
    using namespace std::string_literals;
    const std::string deep = R"({"status":0,"data":)" + std::string(5000, '[') + std::string(5000, ']') + "}";
    for (const std::string& text : {deep, ""s, "<html>error</html>"s, "[]"s, R"({"data":{"uid":"1"}})"s,
             R"({"status":"0"})"s, R"({"status":0,"data":{"uid":1001}})"s, R"({"status":0,"data":[]})"s,
             R"({"status":1e300})"s, R"({"status":0,"data":{"uid":"1")"s}) {
        LoginAnswer unusable;
        EXPECT_FALSE(ParseLoginAnswer(text, unusable)) << text;
    }
}
