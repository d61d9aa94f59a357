#pragma once
#include <string>

// The service's answer to a login: status 0 signs in, 1 refuses, anything
// else (or an unreadable answer) leaves the user signed out.
struct LoginAnswer {
    int status = -1;
    std::string uid;
    std::string token;
    std::string displayName;
    std::string avatarUrl;
    std::string imageCount;
    std::string likeCount;
    std::string followCount;
    std::string fansCount;
};

// False when the text is not JSON or a value has the wrong type.
bool ParseLoginAnswer(const std::string& text, LoginAnswer& answer);
