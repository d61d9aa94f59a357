#pragma once
#include "feed_services.h"

#include <chrono>
#include <memory>
#include <string>

struct AvatarTiming {
    // A download that never ends is given up here; nothing is posted.
    std::chrono::milliseconds limit{std::chrono::seconds(60)};
};

// A new avatar for the signed-in user: stores its URL, replaces
// "user_avatar.jpg" in the image folder and, once this download has put the
// new picture in place, posts UM_AVATAR_CHANGED (wParam 0, lParam 1). A
// failed download posts nothing and leaves the old file as it was; an
// address that is not http or https is not even stored. Runs on a worker of
// its own.
void RefreshOwnAvatar(
    std::shared_ptr<const FeedServices> services, const std::string& avatarUrl, AvatarTiming timing = {});
