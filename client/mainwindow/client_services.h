#pragma once
#include "feed_fetcher.h"
#include "feed_services.h"
#include "login_flow.h"
#include "social_actions.h"

#include <functional>
#include <memory>
#include <string>

#include <windows.h>

class CacheLimiter;
class PictureCache;
class WindowDownloader;

// The program's service objects, built once for the main window: the
// picture cache under the user's data folder, its bound, the downloads, the
// feed store and fetcher, and the login's share of them. Workers hold the
// shared pieces, so they outlive this object when one still runs.
class ClientServices {
public:
    ClientServices(HWND mainWindow, std::string baseUrl, std::string configPath);
    ClientServices(const ClientServices&) = delete;
    ClientServices& operator=(const ClientServices&) = delete;

    const std::shared_ptr<const PictureCache>& Cache() const { return cache_; }
    const std::shared_ptr<Downloader>& Downloads() const { return downloader_; }
    const std::shared_ptr<FeedStore>& Store() const { return feeds_->store; }
    FeedFetcher& Fetcher() { return fetcher_; }
    const SocialActions& Actions() const { return actions_; }
    const std::string& BaseUrl() const { return feeds_->baseUrl; }
    const std::shared_ptr<FeedServices>& Feeds() const { return feeds_; }
    LoginServices& Login() { return login_; }

    // The category list and the home feed, in the order the window wants them.
    void QueueStartUpFetches();
    // Told, on a worker, once the start's first large picture is there.
    // Before the start's fetches.
    void WhenFirstLargeThere(std::function<void(const std::string& path)> there);

private:
    std::shared_ptr<const PictureCache> cache_;
    std::shared_ptr<CacheLimiter> limiter_;
    std::shared_ptr<WindowDownloader> windowDownloader_;
    std::shared_ptr<Downloader> downloader_;
    std::shared_ptr<FeedServices> feeds_;
    FeedFetcher fetcher_;
    SocialActions actions_;
    LoginServices login_;
};
