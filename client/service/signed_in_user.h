#pragma once
#include <string>

// The signed-in user. One process-wide copy lives behind a lock; workers and
// the window take their own copy and never hold a reference into it.
struct SignedInUser {
    bool signedIn = false;
    std::string userName;  // the sign-in name as sent
    std::string passwordDigest;  // 32 hex digits
    std::string token;
    std::string uid;
    std::string imageCount = "0";
    std::string likeCount = "0";
    std::string followCount = "0";
    std::string fansCount = "0";
    std::string avatarUrl;
    std::string displayName;
};

SignedInUser CopySignedInUser();
void StoreSignedInUser(const SignedInUser& user);
bool IsSignedIn();
// Signing out clears only the flag; the rest stays until the next login.
void SetSignedIn(bool signedIn);
// A new avatar chosen on the settings page; the rest of the record stays.
void StoreAvatarUrl(const std::string& avatarUrl);
