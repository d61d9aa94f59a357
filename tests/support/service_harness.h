#pragma once
// A complete set of feed services for tests: the local service's address, a
// recording window, downloads recorded or real, a vlconfig.xml of its own
// and a picture cache in a temporary folder.
#include <chrono>
#include <memory>
#include <string>

#include "cache_downloader.h"
#include "feed_doubles.h"
#include "feed_fetcher.h"
#include "feed_services.h"
#include "feed_store.h"
#include "local_service.h"
#include "md5.h"
#include "picture_cache.h"
#include "platform.h"
#include "signed_in_user.h"
#include "temp_folder.h"
#include "work_tracker.h"

// The sample service's token of a user.
inline std::string TokenOf(const std::string& uid) { return Md5Hex("quarn-token:" + uid); }

class ServiceHarness {
public:
    enum Downloads { Recorded, Real };

    explicit ServiceHarness(std::string baseUrl = LocalService::BaseUrl(), Downloads downloads = Recorded)
    {
        services_ = std::make_shared<FeedServices>();
        services_->baseUrl = std::move(baseUrl);
        services_->configPath = folder.Path("vlconfig.xml");
        services_->store = store;
        services_->sink = sink;
        services_->cache = std::make_shared<PictureCache>(folder.Path("image") + platform::kPathSeparator, 1280);
        services_->limits = {2000, 1, 3};
        services_->tracker = std::make_shared<WorkTracker>();
        if (downloads == Real) {
            realDownloads = std::make_shared<CacheDownloader>(nullptr, services_->limits);
            services_->downloader = realDownloads;
        } else {
            services_->downloader = recorded;
        }
        WriteConfig("1001", TokenOf("1001"));
    }
    ~ServiceHarness() { WaitIdle(std::chrono::seconds(30)); }

    void WriteConfig(const std::string& uid, const std::string& token) const
    {
        folder.Write("vlconfig.xml", "<config><login uid=\"" + uid + "\" token=\"" + token + "\"/></config>");
    }
    std::shared_ptr<const FeedServices> Services() const { return services_; }
    FeedFetcher Fetcher() const { return FeedFetcher(services_); }
    // Every feed worker and, with real downloads, every download done.
    bool WaitIdle(std::chrono::milliseconds timeout) const
    {
        bool idle = services_->tracker->WaitIdle(timeout);
        if (realDownloads)
            idle = realDownloads->WaitIdle(timeout) && idle;
        return idle;
    }

    TempFolder folder;
    std::shared_ptr<FeedStore> store = std::make_shared<FeedStore>();
    std::shared_ptr<RecordingSink> sink = std::make_shared<RecordingSink>();
    std::shared_ptr<RecordingDownloader> recorded = std::make_shared<RecordingDownloader>();
    std::shared_ptr<CacheDownloader> realDownloads;

private:
    std::shared_ptr<FeedServices> services_;
};

// Puts a user into the process-wide signed-in record for one test.
class SignedInScope {
public:
    SignedInScope(const std::string& uid, bool signedIn = true)
        : saved_(CopySignedInUser())
    {
        SignedInUser user;
        user.signedIn = signedIn;
        user.uid = uid;
        user.token = TokenOf(uid);
        StoreSignedInUser(user);
    }
    ~SignedInScope() { StoreSignedInUser(saved_); }
    SignedInScope(const SignedInScope&) = delete;
    SignedInScope& operator=(const SignedInScope&) = delete;

private:
    SignedInUser saved_;
};
