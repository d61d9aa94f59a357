#include "login_answer.h"

#include <json/json.h>

#include <memory>

namespace {

// Strings may also come as null (empty) or a boolean; anything else makes the
// answer unusable rather than throwing inside jsoncpp.
bool ReadText(const Json::Value& object, const char* key, std::string& out)
{
    const Json::Value& value = object[key];
    if (value.isNull()) {
        out.clear();
        return true;
    }
    if (value.isString()) {
        out = value.asString();
        return true;
    }
    if (value.isBool()) {
        out = value.asBool() ? "true" : "false";
        return true;
    }
    return false;
}

} // namespace

bool ParseLoginAnswer(const std::string& text, LoginAnswer& answer)
{
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors) || !root.isObject())
        return false;
    const Json::Value& status = root["status"];
    // A status that is not a number is a refusal, never a sign-in.
    if (!status.isNumeric())
        return false;
    double number = status.asDouble();
    if (!(number > -2147483649.0 && number < 2147483648.0))
        return false;
    answer.status = int(number);
    const Json::Value& data = root["data"];
    if (data.isNull())
        return true;
    if (!data.isObject())
        return false;
    return ReadText(data, "uid", answer.uid) && ReadText(data, "token", answer.token) &&
           ReadText(data, "uname", answer.displayName) && ReadText(data, "avatar", answer.avatarUrl) &&
           ReadText(data, "image_count", answer.imageCount) && ReadText(data, "like_count", answer.likeCount) &&
           ReadText(data, "follow_count", answer.followCount) && ReadText(data, "fans_count", answer.fansCount);
}
