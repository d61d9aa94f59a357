#include "client_services.h"

#include "cache_limiter.h"
#include "feed_keeper.h"
#include "feed_store.h"
#include "http_transport.h"
#include "picture_cache.h"
#include "platform.h"
#include "win32/desktop_info.h"
#include "win32/window_downloader.h"
#include "win32/window_message_sink.h"
#include "work_tracker.h"

namespace {

// Thumbnails come by the dozen at start; a few transfers at a time keep the
// first ones arriving early.
constexpr int kParallelDownloads = 4;

std::shared_ptr<FeedServices> MakeFeedServices(HWND mainWindow, std::string baseUrl, std::string configPath)
{
    const std::string imageFolder = PictureCache::ImageFolderUnder(AppDataFolder());
    platform::CreateDirectoryTree(imageFolder);
    auto services = std::make_shared<FeedServices>();
    services->baseUrl = std::move(baseUrl);
    services->configPath = std::move(configPath);
    services->store = std::make_shared<FeedStore>();
    services->sink = std::make_shared<WindowMessageSink>(mainWindow);
    services->cache = std::make_shared<const PictureCache>(imageFolder, PrimaryScreenWidth());
    services->tracker = std::make_shared<WorkTracker>();
    services->keeper = std::make_shared<const FeedKeeper>(FeedKeeper::FolderUnder(AppDataFolder()));
    return services;
}

}  // namespace

ClientServices::ClientServices(HWND mainWindow, std::string baseUrl, std::string configPath)
    : feeds_(MakeFeedServices(mainWindow, std::move(baseUrl), std::move(configPath)))
    , fetcher_(feeds_)
    , actions_(feeds_)
{
    cache_ = feeds_->cache;
    limiter_ = std::make_shared<CacheLimiter>(cache_->ImageFolder(), CacheLimiter::kDefaultBound);
    windowDownloader_
        = std::make_shared<WindowDownloader>(mainWindow, limiter_, feeds_->limits, kParallelDownloads, feeds_->sink);
    downloader_ = windowDownloader_;
    // The fetcher's workers read the services when they start; none has yet.
    feeds_->downloader = downloader_;
    // While the window is made, not when the first request asks.
    PrepareTransportFor(feeds_->baseUrl);

    login_.baseUrl = feeds_->baseUrl;
    login_.configPath = feeds_->configPath;
    login_.avatarPath = cache_->OwnAvatarPath();
    login_.sink = feeds_->sink;
    login_.downloader = downloader_;
    login_.tracker = feeds_->tracker;
}

void ClientServices::QueueStartUpFetches()
{
    fetcher_.LoadHomeFeed();
    fetcher_.LoadCategoryList();
}

void ClientServices::WhenFirstLargeThere(std::function<void(const std::string& path)> there)
{
    windowDownloader_->WhenFirstLargeThere(std::move(there));
}
