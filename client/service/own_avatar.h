#pragma once
#include "feed_services.h"

#include <chrono>
#include <memory>
#include <string>

struct AvatarTiming {
    std::chrono::milliseconds step{100};
    // A download that never arrives ends the wait here; nothing is posted.
    std::chrono::milliseconds limit{std::chrono::seconds(60)};
};

// A new avatar for the signed-in user: stores its URL, replaces
// "user_avatar.jpg" in the image folder and, once the file is there, posts
// UM_AVATAR_CHANGED (wParam 0, lParam 1). Runs on a worker of its own.
void RefreshOwnAvatar(std::shared_ptr<const FeedServices> services, const std::string& avatarUrl,
                      AvatarTiming timing = {});
