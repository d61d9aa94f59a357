#include "own_avatar.h"

#include "downloader.h"
#include "message_sink.h"
#include "picture_cache.h"
#include "platform.h"
#include "signed_in_user.h"
#include "window_messages.h"
#include "work_tracker.h"

#include <thread>

namespace {

void Refresh(const std::shared_ptr<const FeedServices>& services, const std::string& avatarUrl, AvatarTiming timing)
{
    StoreAvatarUrl(avatarUrl);
    const std::string path = services->cache->OwnAvatarPath();
    platform::RemoveFile(path);
    services->downloader->FetchAlways(avatarUrl, path);
    // The download puts the file in place whole, only once it has all of it.
    const auto deadline = std::chrono::steady_clock::now() + timing.limit;
    while (!platform::FileExists(path)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return;
        std::this_thread::sleep_for(timing.step);
    }
    services->sink->Post(UM_AVATAR_CHANGED, 0, 1);
}

} // namespace

void RefreshOwnAvatar(std::shared_ptr<const FeedServices> services, const std::string& avatarUrl,
                      AvatarTiming timing)
{
    StartTrackedWorker(services->tracker, [services, avatarUrl, timing] { Refresh(services, avatarUrl, timing); });
}
