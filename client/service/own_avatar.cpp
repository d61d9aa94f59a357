#include "own_avatar.h"

#include "downloader.h"
#include "message_sink.h"
#include "picture_cache.h"
#include "signed_in_user.h"
#include "web_address.h"
#include "window_messages.h"
#include "work_tracker.h"

#include <future>

namespace {

void Refresh(const std::shared_ptr<const FeedServices>& services, const std::string& avatarUrl, AvatarTiming timing)
{
    if (!IsWebAddress(avatarUrl))
        return;
    StoreAvatarUrl(avatarUrl);
    const std::string path = services->cache->OwnAvatarPath();
    // The old avatar stays until the new one is whole: the download is
    // written aside and moved over it only after a complete transfer.
    // Waits for this download, not for the file: an earlier transfer of the
    // same file still on its way would put the old picture there first.
    auto replaced = std::make_shared<std::promise<bool>>();
    std::future<bool> outcome = replaced->get_future();
    services->downloader->FetchAlwaysThen(avatarUrl, path, [replaced](bool ok) { replaced->set_value(ok); });
    if (outcome.wait_for(timing.limit) != std::future_status::ready || !outcome.get())
        return;
    services->sink->Post(UM_AVATAR_CHANGED, 0, 1);
}

}  // namespace

void RefreshOwnAvatar(std::shared_ptr<const FeedServices> services, const std::string& avatarUrl, AvatarTiming timing)
{
    StartTrackedWorker(services->tracker, [services, avatarUrl, timing] { Refresh(services, avatarUrl, timing); });
}
