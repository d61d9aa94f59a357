#pragma once
#include "feed_keeper.h"
#include "feed_request.h"
#include "feed_services.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

// Loads every list of the main window: builds the request of a feed kind,
// sends it on a worker thread of its own, stores the raw answer and parses
// it. A handle: copies share the same services.
class FeedFetcher : public FeedStarter {
public:
    explicit FeedFetcher(std::shared_ptr<const FeedServices> services);

    // Starts one detached worker with its own copy of `request`; kinds
    // outside 0-37 are ignored.
    void FetchFeed(const FeedRequest& request) const;

    void LoadCategoryList() const;  // 22
    void LoadHomeFeed() const;  // 26
    // The same at start, fetching its first picture large once it is stored.
    void LoadStartHomeFeed() const;
    void LoadCategoryFeeds() override;  // 0-7, in order
    void LoadCategoryFeed(int kind) override;  // one of 0-7
    void LoadFeed(int kind) const;  // 9, 10, 14, 15, 16
    void LoadHotTags() const;  // 21
    void LoadTagFeed(const std::string& tag) override;  // 20
    void SearchPeople(const std::string& text) const;  // 27
    void LoadUserPictures(const std::string& userId) const;  // 8, paged with kind 16's page
    void LoadUserStats(const std::string& userId) const;  // 23
    void LoadUserFollows(const std::string& userId) const;  // 24
    // 17 for another user's list, 25 for a tag list, 11 otherwise; nothing
    // when the list has no picture at `index`.
    void LoadComments(const PictureListId& list, std::size_t index) override;
    // The same for a picture about to be stepped to, for lists whose answer
    // is only stored (11); the others' answers show their picture.
    void LoadCommentsAhead(const PictureListId& list, std::size_t index);
    void LoadPictureDetails(const std::string& shareId) const;  // 28
    void LoadCurrentComments(const std::string& shareId, int listKind) const;  // 29

    // True when every worker of these services finished within `timeout`.
    bool WaitIdle(std::chrono::milliseconds timeout) const;

private:
    std::shared_ptr<const FeedServices> services_;
};

// Where a request goes and where its usable answer is kept, both from one
// reading of the session and the page, so they always name the same user and
// page. Whether an own list's may be kept or shown is judged when it is used.
struct FeedTarget {
    std::string url;  // empty for kinds the service has no request for
    KeptAnswerId kept;
};
FeedTarget FeedTargetOf(const FeedServices& services, const FeedRequest& request);

// The full URL of a request; empty for kinds the service has no request for.
std::string FeedUrl(const FeedServices& services, const FeedRequest& request);
