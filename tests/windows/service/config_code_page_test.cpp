// vlconfig.xml holds the ANSI code page; on Chinese Windows that is GBK.
#include "config_store.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "temp_folder.h"

TEST(ConfigCodePage, ChineseNamesRoundTripThroughGbk)
{
    // The test command runs Wine in a Chinese locale.
    ASSERT_EQ(GetACP(), 936u);
    struct Case {
        const char* gbk;
        const char* utf8;
    };
    const Case kCases[] = {
        {"\xCD\xF5\xE6\xC3", "\xE7\x8E\x8B\xE5\xA9\xB7"},  // a lead byte before the closing quote
        {"\xC0\xEE", "\xE6\x9D\x8E"},  // a trail byte that is a UTF-8 lead byte
        {"\x81\x5C", "\xE4\xB9\x97"},  // a backslash as trail byte
    };
    for (const Case& c : kCases) {
        TempFolder folder;
        std::string path
            = folder.Write("vlconfig.xml", std::string("<c><login username=\"") + c.gbk + "\" token=\"t\"/></c>");
        EXPECT_EQ(ReadLoginCredentials(path).userName, c.utf8) << c.utf8;

        ConfigDocument document;
        ASSERT_TRUE(document.Load(path)) << c.utf8;
        LoginResult login;
        login.userName = c.utf8;
        ASSERT_TRUE(document.SaveLoginResult(login)) << c.utf8;
        EXPECT_NE(folder.Read(path).find(std::string("username=\"") + c.gbk + "\""), std::string::npos) << c.utf8;
        EXPECT_EQ(ReadLoginCredentials(path).userName, c.utf8) << c.utf8;
    }
}
