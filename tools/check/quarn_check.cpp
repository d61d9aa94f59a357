// Console check of the service core against a running service: signs in,
// stores the login in vlconfig.xml the way the login window does, and prints
// the first page of the home feed. Used by the README's run command until the
// windows exist, and by the smoke test of the shipped 32-bit build.
#include "config_store.h"
#include "endpoints.h"
#include "http_transport.h"
#include "login_answer.h"
#include "md5.h"
#include "platform.h"
#include "signed_in_user.h"

#include <curl/curl.h>
#include <json/json.h>

#include <cstdio>
#ifdef _WIN32
#include <windows.h>
#endif
#include <memory>
#include <string>

namespace {

struct Options {
    std::string base = QUARN_SERVICE_BASE_URL;
    std::string user = "demo@quarn.test";
    std::string password = "quarn123";
    std::string config;  // vlconfig.xml to update, if any
};

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (i + 1 >= argc)
            return false;
        std::string value = argv[++i];
        if (arg == "--base")
            options.base = value;
        else if (arg == "--user")
            options.user = value;
        else if (arg == "--password")
            options.password = value;
        else if (arg == "--config")
            options.config = value;
        else
            return false;
    }
    return true;
}

bool SignIn(const Options& options, SignedInUser& user)
{
    std::string digest = Md5Hex(options.password);
    std::string text;
    PostFormWithTimeout(endpoints::Login(options.base), endpoints::LoginBody(options.user, digest), text);
    if (text.empty()) {
        std::printf("网络错误！\n");
        return false;
    }
    LoginAnswer answer;
    if (!ParseLoginAnswer(text, answer) || answer.status != 0) {
        std::printf("用户名或密码错误！\n");
        return false;
    }
    user.signedIn = true;
    user.userName = options.user;
    user.passwordDigest = digest;
    user.uid = answer.uid;
    user.token = answer.token;
    user.displayName = answer.displayName;
    user.avatarUrl = answer.avatarUrl;
    user.imageCount = answer.imageCount;
    user.likeCount = answer.likeCount;
    user.followCount = answer.followCount;
    user.fansCount = answer.fansCount;
    StoreSignedInUser(user);

    if (!options.config.empty()) {
        ConfigDocument document;
        if (document.Load(options.config)) {
            LoginResult result{options.user, digest, true, false, answer.uid, answer.token, answer.imageCount,
                answer.likeCount, answer.followCount, answer.fansCount, answer.avatarUrl};
            document.SaveLoginResult(result);
        }
    }
    return true;
}

std::string Text(const Json::Value& item, const char* key)
{
    const Json::Value& value = item[key];
    return value.isString() ? value.asString() : std::string();
}

int PrintHomeFeed(const Options& options, const SignedInUser& user)
{
    ConfigSession session{user.uid, user.token};
    if (!options.config.empty())
        session = ConfigSession::FromFile(options.config);
    std::string text;
    PostFormWithTimeout(endpoints::HomeFeed(options.base, true, session), "", text);
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors) || !root.isObject()
        || !root["image_list"].isArray()) {
        std::printf("首页加载失败\n");
        return 1;
    }
    const Json::Value& items = root["image_list"];
    std::printf("首页 %u 张图片\n", items.size());
    for (const Json::Value& item : items) {
        std::printf("  %-8s %-12s %s  [%s 评论, %s 喜欢]\n", Text(item, "share_id").c_str(),
            Text(item, "uname").c_str(), Text(item, "content").c_str(), Text(item, "comment_count").c_str(),
            Text(item, "like_count").c_str());
    }
    return items.empty() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(
            stderr, "usage: quarn_check [--base URL] [--user NAME] [--password TEXT] [--config vlconfig.xml]\n");
        return 2;
    }
#ifdef _WIN32
    SetConsoleOutputCP(CP_UTF8);
#endif
    curl_global_init(CURL_GLOBAL_ALL);
    SignedInUser user;
    int result = SignIn(options, user) ? 0 : 1;
    if (result == 0) {
        std::printf("已登录: %s (uid %s), %s 张图片, %s 关注, %s 粉丝\n", user.displayName.c_str(), user.uid.c_str(),
            user.imageCount.c_str(), user.followCount.c_str(), user.fansCount.c_str());
        result = PrintHomeFeed(options, user);
    }
    curl_global_cleanup();
    return result;
}
