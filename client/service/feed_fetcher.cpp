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
FeedStore::TextPtr Parse(
    const std::shared_ptr<const FeedServices>& services, const FeedRequest& request, std::string answer)
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

// The keeper, when the kept answer of `kept` may be written or shown now:
// an own list's never once its user has signed out.
const FeedKeeper* KeeperFor(const FeedServices& services, const KeptAnswerId& kept)
{
    if (FeedKeeper::IsOwnList(kept.kind) && !IsSignedIn())
        return nullptr;
    return services.keeper.get();
}

// A usable answer is kept, and as the service answered, the lists are no
// longer offline, whatever kind asked.
bool TakeFresh(const std::shared_ptr<const FeedServices>& services, const FeedRequest& request,
    const KeptAnswerId& kept, std::string answer)
{
    FeedStore::TextPtr text = Parse(services, request, std::move(answer));
    if (!text)
        return false;
    if (const FeedKeeper* keeper = KeeperFor(*services, kept))
        keeper->Keep(kept, *text);
    services->sink->Post(UM_FEED_OFFLINE, 0, request.kind);
    return true;
}

// Unreachable, or an answer that cannot be used: the last usable one stands
// in for it.
bool ShowKept(const std::shared_ptr<const FeedServices>& services, const FeedRequest& request, const KeptAnswerId& kept)
{
    const FeedKeeper* keeper = KeeperFor(*services, kept);
    std::string last;
    if (!keeper || !keeper->Load(kept, last) || !Parse(services, request, std::move(last)))
        return false;
    services->sink->Post(UM_FEED_OFFLINE, 1, request.kind);
    return true;
}

// The category feeds need the list's codes. The kept list has them now, so
// the feeds go out with the list's request rather than a round trip after
// it; the fresh list then starts only those whose code it changes.
void StartFromKeptCategoryList(const std::shared_ptr<const FeedServices>& services, const KeptAnswerId& kept)
{
    const FeedKeeper* keeper = KeeperFor(*services, kept);
    std::string text;
    std::vector<std::pair<std::string, std::string>> entries;
    if (!keeper || !keeper->Load(kept, text) || !ReadCategoryList(text, entries))
        return;
    FeedStore& store = *services->store;
    store.ReplaceCategories(entries);
    std::vector<std::string> codes;
    for (int kind = feed_kind::kFirstCategory; kind <= feed_kind::kLastCategory; ++kind)
        codes.push_back(store.CategoryCode(std::to_string(kind + 1)));
    store.NoteEarlyCategoryFeeds(std::move(codes));
    FeedFetcher(services).LoadCategoryFeeds();
}

void RunFeed(const std::shared_ptr<const FeedServices>& services, const FeedRequest& request)
{
    const FeedTarget target = FeedTargetOf(*services, request);
    if (target.url.empty())
        return;
    if (request.kind == feed_kind::kCategoryList)
        StartFromKeptCategoryList(services, target.kept);
    std::string answer;
    PostFormWithTimeout(target.url, "", answer, services->limits);
    const bool reached = !answer.empty();
    if (reached && TakeFresh(services, request, target.kept, std::move(answer)))
        return;
    if (ShowKept(services, request, target.kept))
        return;
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

// The kinds whose requests carry the session of vlconfig.xml.
bool TakesConfigSession(int kind)
{
    switch (kind) {
    case feed_kind::kMyLiked:
    case feed_kind::kFeatured:
    case feed_kind::kMyFollows:
    case feed_kind::kMyFans:
    case feed_kind::kMyPublished:
    case feed_kind::kFollowsOf:
    case feed_kind::kHome:
    case feed_kind::kPeopleSearch:
        return true;
    default:
        return false;
    }
}

std::string SessionlessUrl(const FeedServices& services, const FeedRequest& request)
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
        return {};
    }
}

std::string SessionUrl(const FeedServices& services, const FeedRequest& request, const ConfigSession& session, int page)
{
    const std::string& base = services.baseUrl;
    switch (request.kind) {
    case feed_kind::kMyLiked:
        return endpoints::MyLiked(base, session, page);
    case feed_kind::kFeatured:
        return endpoints::FeaturedUsers(base, session);
    case feed_kind::kMyFollows:
        return endpoints::MyFollows(base, session, page);
    case feed_kind::kMyFans:
        return endpoints::MyFans(base, session, page);
    case feed_kind::kMyPublished:
        return endpoints::MyPublished(base, session, page);
    case feed_kind::kFollowsOf:
        return endpoints::FollowsOf(base, session, request.userId, page);
    case feed_kind::kHome:
        return endpoints::HomeFeed(base, IsSignedIn(), session);
    case feed_kind::kPeopleSearch:
        return endpoints::SearchPeople(base, request.text, session);
    default:
        return {};
    }
}

}  // namespace

FeedTarget FeedTargetOf(const FeedServices& services, const FeedRequest& request)
{
    const int kind = request.kind;
    if (!TakesConfigSession(kind))
        return {SessionlessUrl(services, request), {kind, {}, 0}};
    // Read once, now: the URL and the kept name take the same uid and page.
    const ConfigSession session = ConfigSession::FromFile(services.configPath);
    const int page = services.store->CurrentPage(kind);
    const KeptAnswerId kept
        = FeedKeeper::IsOwnList(kind) ? KeptAnswerId{kind, session.uid, page} : KeptAnswerId{kind, {}, 0};
    return {SessionUrl(services, request, session, page), kept};
}

std::string FeedUrl(const FeedServices& services, const FeedRequest& request)
{
    return FeedTargetOf(services, request).url;
}

FeedFetcher::FeedFetcher(std::shared_ptr<const FeedServices> services)
    : services_(std::move(services))
{
}

void FeedFetcher::FetchFeed(const FeedRequest& request) const
{
    if (request.kind < 0 || request.kind > feed_kind::kLast)
        return;
    FeedRequest made = request;
    made.generation = services_->store->Generation(request.kind);
    StartTrackedWorker(services_->tracker, [services = services_, made] { RunFeed(services, made); });
}

namespace {

FeedRequest Request(int kind)
{
    FeedRequest request;
    request.kind = kind;
    return request;
}

}  // namespace

void FeedFetcher::LoadCategoryList() const { FetchFeed(Request(feed_kind::kCategoryList)); }

void FeedFetcher::LoadHomeFeed() const { FetchFeed(Request(feed_kind::kHome)); }

void FeedFetcher::LoadStartHomeFeed() const
{
    FeedRequest request = Request(feed_kind::kHome);
    request.fetchFirstLarge = true;
    FetchFeed(request);
}

void FeedFetcher::LoadCategoryFeeds()
{
    for (int kind = feed_kind::kFirstCategory; kind <= feed_kind::kLastCategory; ++kind)
        FetchFeed(Request(kind));
}

void FeedFetcher::LoadCategoryFeed(int kind)
{
    if (feed_kind::IsCategory(kind))
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

void FeedFetcher::LoadCommentsAhead(const PictureListId& list, std::size_t index)
{
    if (CommentKindFor(list) == feed_kind::kListComments)
        LoadComments(list, index);
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
