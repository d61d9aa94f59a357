// The three cross-built libraries linked statically into a program: libcurl
// talking HTTP over loopback, jsoncpp parsing, TinyXML reading and writing.
#include <curl/curl.h>
#include <json/json.h>
#include <tinyxml.h>

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "loopback_server.h"

namespace {

struct CurlCleanup {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlHandle = std::unique_ptr<CURL, CurlCleanup>;

size_t Collect(char* data, size_t size, size_t count, void* user)
{
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

TEST(LibrariesSmoke, CurlUsesTheSystemTls)
{
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    ASSERT_NE(info, nullptr);
    ASSERT_NE(info->ssl_version, nullptr);
    EXPECT_NE(std::string(info->ssl_version).find("Schannel"), std::string::npos) << info->ssl_version;
    EXPECT_TRUE(info->features & CURL_VERSION_SSL);
}

TEST(LibrariesSmoke, CurlPostsOverLoopback)
{
    ASSERT_EQ(curl_global_init(CURL_GLOBAL_ALL), CURLE_OK);
    LoopbackServer server("{\"status\":1}");
    ASSERT_TRUE(server.Start());

    std::string answer;
    {
        CurlHandle curl(curl_easy_init());
        ASSERT_NE(curl, nullptr);
        const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/user/login?name=a%20b";
        curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDS, "x=1");
        curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT_MS, 10000L);
        curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, 30000L);
        curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, Collect);
        curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &answer);
        EXPECT_EQ(curl_easy_perform(curl.get()), CURLE_OK);
    }
    server.Finish();
    curl_global_cleanup();

    EXPECT_EQ(answer, "{\"status\":1}");
    EXPECT_EQ(server.Request().rfind("POST /user/login?name=a%20b HTTP/1.1\r\n", 0), 0u) << server.Request();
    EXPECT_EQ(server.Request().substr(server.Request().size() - 3), "x=1");
}

TEST(LibrariesSmoke, JsonCppReadsAnAnswer)
{
    Json::Reader reader(Json::Features::all());
    Json::Value root;
    ASSERT_TRUE(reader.parse("// comment\n{\"status\": 1, \"data\": [{\"title\": \"\\u52a0\"}]}", root));
    ASSERT_TRUE(root["status"].isNumeric());
    EXPECT_EQ(root["status"].asInt(), 1);
    ASSERT_TRUE(root["data"].isArray());
    ASSERT_EQ(root["data"].size(), 1u);
    EXPECT_EQ(root["data"][0]["title"].asString(), "\xe5\x8a\xa0");
    EXPECT_FALSE(reader.parse("{\"status\": ", root));
}

TEST(LibrariesSmoke, TinyXmlReadsAndWrites)
{
    TiXmlDocument document;
    document.Parse("<config><user name=\"quarn\" auto_login=\"true\"/></config>");
    ASSERT_FALSE(document.Error()) << document.ErrorDesc();
    TiXmlElement* user = document.FirstChildElement("config")->FirstChildElement("user");
    ASSERT_NE(user, nullptr);
    bool auto_login = false;
    EXPECT_EQ(user->QueryBoolAttribute("auto_login", &auto_login), TIXML_SUCCESS);
    EXPECT_TRUE(auto_login);

    user->SetAttribute("name", "other");
    std::string text;
    text << document;
    EXPECT_NE(text.find("name=\"other\""), std::string::npos) << text;
}

}  // namespace
