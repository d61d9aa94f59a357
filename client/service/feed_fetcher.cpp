#include "feed_fetcher.h"

#include "answer_parser.h"
#include "endpoints.h"
#include "feed_keeper.h"
#include "feed_store.h"
#include "message_sink.h"
#include "signed_in_user.h"
#include "window_messages.h"
#include "work_tracker.h"

#include <thread>

namespace {

// The parsed text when the answer was usable, null otherwise.
FeedStore::TextPtr Parse(const std::shared_ptr<const FeedServices>& services, const FeedRequest& request,
    std::string answer)
{
    // An error page in place of the home feed is not taken.
    if (request.kind == feed_kind::kHome && answer.find("image_list") == std::string::npos)
        return nullptr;
    // The store keeps the latest answer of the kind; this worker parses its
    // own, so a later request of the same kind cannot swap it underneath.
    FeedStore::TextPtr text = services->store->StoreAnswer(request.kind, AnswerKey(request), std::move(answer));
    FeedFetcher starter(services);
    const ParseContext context{*services->store, *services->sink, *services->cache, *services->downloader, starter};
    return ParseAnswerText(context, request, *text) ? text : nullptr;
}

void RunFeed(const std::shared_ptr<const FeedServices>& services, const FeedRequest& request)
{
    const std::string url = FeedUrl(*services, request);
    if (url.empty())
        return;
    std::string answer;
    PostFormWithTimeout(url, "", answer, services->limits);
    const FeedKeeper* keeper = services->keeper.get();
    const bool kept = keeper && FeedKeeper::Keeps(request.kind);
    const bool reached = !answer.empty();
    if (reached) {
        if (FeedStore::TextPtr text = Parse(services, request, std::move(answer))) {
            if (kept && keeper->Keep(request.kind, *text))
                services->sink->Post(UM_FEED_OFFLINE, 0, request.kind);
            return;
        }
    }
    // Unreachable, or an answer that cannot be used: the last usable one
    // stands in for it.
    std::string last;
    if (kept && keeper->Load(request.kind, last) && Parse(services, request, std::move(last))) {
        services->sink->Post(UM_FEED_OFFLINE, 1, request.kind);
        return;
    }
    if (!reached && request.kind == feed_kind::kCategoryList)
        services->sink->Send(UM_FEED_ERROR, 0, 0);
}

int CommentKindFor(const PictureListId& list)
{
    switch (list.kind) {
    case feed_kind::kUserPictures:
        return feed_kind::kUserListComments;
    case feed_kind::kTagFeed:
        return feed_kind::kTagComments;
    default:
        return feed_kind::kListComments;
    }
}

} // namespace

std::string FeedUrl(const FeedServices& services, const FeedRequest& request)
{
    const std::string& base = services.baseUrl;
    const FeedStore& store = *services.store;
    const int kind = request.kind;
    if (feed_kind::IsCategory(kind))
        return endpoints::CategoryFeed(base, store.CategoryCode(std::to_string(kind + 1)));
    switch (kind) {
    case feed_kind::kUserPictures:
        return endpoints::UserPictures(base, request.userId, store.CurrentPage(feed_kind::kMyPublished));
    case feed_kind::kUserStats:
        return endpoints::UserStatistics(base, request.userId);
    case feed_kind::kTagFeed:
        return endpoints::TagFeed(base, request.text);
    case feed_kind::kHotTags:
        return endpoints::HotTags(base);
    case feed_kind::kCategoryList:
        return endpoints::CategoryList(base, IsSignedIn());
    case feed_kind::kListComments:
    case feed_kind::kUserListComments:
    case feed_kind::kTagComments:
        return endpoints::CommentsInList(base, request.shareId, LiveSession::From(CopySignedInUser()));
    case feed_kind::kDetails:
        return endpoints::PictureDetails(base, request.shareId);
    case feed_kind::kCurrentComments:
        return endpoints::CurrentComments(base, request.shareId);
    default:
        break;
    }

    // The rest take their session from vlconfig.xml, read now.
    const ConfigSession session = ConfigSession::FromFile(services.configPath);
    switch (kind) {
    case feed_kind::kMyLiked:
        return endpoints::MyLiked(base, session, store.CurrentPage(kind));
    case feed_kind::kFeatured:
        return endpoints::FeaturedUsers(base, session);
    case feed_kind::kMyFollows:
        return endpoints::MyFollows(base, session, store.CurrentPage(kind));
    case feed_kind::kMyFans:
        return endpoints::MyFans(base, session, store.CurrentPage(kind));
    case feed_kind::kMyPublished:
        return endpoints::MyPublished(base, session, store.CurrentPage(kind));
    case feed_kind::kFollowsOf:
        return endpoints::FollowsOf(base, session, request.userId, store.CurrentPage(kind));
    case feed_kind::kHome:
        return endpoints::HomeFeed(base, IsSignedIn(), session);
    case feed_kind::kPeopleSearch:
        return endpoints::SearchPeople(base, request.text, session);
    default:
        return {};
    }
}

FeedFetcher::FeedFetcher(std::shared_ptr<const FeedServices> services) : services_(std::move(services)) {}

void FeedFetcher::FetchFeed(const FeedRequest& request) const
{
    if (request.kind < 0 || request.kind > feed_kind::kLast)
        return;
    StartTrackedWorker(services_->tracker, [services = services_, request] { RunFeed(services, request); });
}

namespace {

FeedRequest Request(int kind)
{
    FeedRequest request;
    request.kind = kind;
    return request;
}

} // namespace

void FeedFetcher::LoadCategoryList() const { FetchFeed(Request(feed_kind::kCategoryList)); }

void FeedFetcher::LoadHomeFeed() const { FetchFeed(Request(feed_kind::kHome)); }

void FeedFetcher::LoadCategoryFeeds()
{
    for (int kind = feed_kind::kFirstCategory; kind <= feed_kind::kLastCategory; ++kind)
        FetchFeed(Request(kind));
}

void FeedFetcher::LoadFeed(int kind) const { FetchFeed(Request(kind)); }

void FeedFetcher::LoadHotTags() const { FetchFeed(Request(feed_kind::kHotTags)); }

void FeedFetcher::LoadTagFeed(const std::string& tag)
{
    FeedRequest request = Request(feed_kind::kTagFeed);
    request.text = tag;
    FetchFeed(request);
}

void FeedFetcher::SearchPeople(const std::string& text) const
{
    FeedRequest request = Request(feed_kind::kPeopleSearch);
    request.text = text;
    FetchFeed(request);
}

void FeedFetcher::LoadUserPictures(const std::string& userId) const
{
    FeedRequest request = Request(feed_kind::kUserPictures);
    request.userId = userId;
    FetchFeed(request);
}

void FeedFetcher::LoadUserStats(const std::string& userId) const
{
    FeedRequest request = Request(feed_kind::kUserStats);
    request.userId = userId;
    FetchFeed(request);
}

void FeedFetcher::LoadUserFollows(const std::string& userId) const
{
    FeedRequest request = Request(feed_kind::kFollowsOf);
    request.userId = userId;
    FetchFeed(request);
}

void FeedFetcher::LoadComments(const PictureListId& list, std::size_t index)
{
    FeedStore::PicturePtr picture = services_->store->Picture(list, index);
    if (!picture)
        return;
    FeedRequest request = Request(CommentKindFor(list));
    request.list = list;
    request.index = index;
    request.shareId = picture->shareId;
    FetchFeed(request);
}

void FeedFetcher::LoadPictureDetails(const std::string& shareId) const
{
    FeedRequest request = Request(feed_kind::kDetails);
    request.shareId = shareId;
    FetchFeed(request);
}

void FeedFetcher::LoadCurrentComments(const std::string& shareId, int listKind) const
{
    FeedRequest request = Request(feed_kind::kCurrentComments);
    request.shareId = shareId;
    request.list = {listKind, {}};
    services_->store->AwaitCurrentComments(shareId);
    FetchFeed(request);
}

bool FeedFetcher::WaitIdle(std::chrono::milliseconds timeout) const
{
    return !services_->tracker || services_->tracker->WaitIdle(timeout);
}
