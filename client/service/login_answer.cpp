#include "login_answer.h"

#include "json_read.h"

bool ParseLoginAnswer(const std::string& text, LoginAnswer& answer)
{
    Json::Value root;
    if (!json_read::Parse(text, root) || !root.isObject())
        return false;
    // A status that is not a number is a refusal, never a sign-in.
    const Json::Value& status = json_read::Member(root, "status");
    if (!status.isNumeric() || !json_read::ToInteger(status, answer.status))
        return false;

    json_read::FieldReader data(json_read::Member(root, "data"));
    data.Text("uid", answer.uid);
    data.Text("token", answer.token);
    data.Text("uname", answer.displayName);
    data.Text("avatar", answer.avatarUrl);
    data.Text("image_count", answer.imageCount);
    data.Text("like_count", answer.likeCount);
    data.Text("follow_count", answer.followCount);
    data.Text("fans_count", answer.fansCount);
    return data.Ok();
}
