#include "answer_parser.h"

#include "downloader.h"
#include "feed_store.h"
#include "json_read.h"
#include "message_sink.h"
#include "picture_cache.h"
#include "platform.h"
#include "web_address.h"
#include "window_messages.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

using json_read::FieldReader;

namespace {

std::uintptr_t TextParameter(const std::string& text) { return reinterpret_cast<std::uintptr_t>(&text); }

// ---- category list (22) ---------------------------------------------------

bool ReadCategoryEntries(std::string_view text, std::vector<std::pair<std::string, std::string>>& entries)
{
    Json::Value root;
    bool usable = json_read::Parse(text, root) && root.isArray();
    for (Json::ArrayIndex i = 0; usable && i < root.size(); ++i) {
        FieldReader entry(root[i]);
        std::string id = entry.Text("cate_id");
        std::string code = entry.Text("cate_code");
        usable = entry.Ok();
        entries.emplace_back(std::move(id), std::move(code));
    }
    return usable;
}

// The feeds started early from the kept list stand unless this list gives
// their category another code.
void StartCategoryFeeds(const ParseContext& context)
{
    std::vector<std::string> early;
    if (!context.store.TakeEarlyCategoryFeeds(early)) {
        context.starter.LoadCategoryFeeds();
        return;
    }
    for (int kind = feed_kind::kFirstCategory; kind <= feed_kind::kLastCategory; ++kind) {
        const std::size_t slot = static_cast<std::size_t>(kind - feed_kind::kFirstCategory);
        const std::string code = context.store.CategoryCode(std::to_string(kind + 1));
        if (slot >= early.size() || early[slot] != code)
            context.starter.LoadCategoryFeed(kind);
    }
}

bool ParseCategoryList(const ParseContext& context, std::string_view text)
{
    std::vector<std::pair<std::string, std::string>> entries;
    const bool usable = ReadCategoryEntries(text, entries);
    if (!usable || entries.empty()) {
        context.sink.Send(UM_FEED_ERROR, 0, 0);
        return usable;
    }
    context.store.ReplaceCategories(entries);
    StartCategoryFeeds(context);
    return true;
}

// ---- picture pages (0-9, 16, 20, 26) ------------------------------------------

// The keys of a picture item, in the order they are read; an empty key is
// not part of the kind's layout.
enum PictureKey {
    kAddress,
    kAuthor,
    kAvatar,
    kShareId,
    kOwner,
    kContent,
    kComments,
    kForwards,
    kLikes,
    kCity,
    kCreateTime,
    kFollows,
    kFans,
    kPictureKeys
};

struct PictureLayout {
    std::string_view keys[kPictureKeys];
};

PictureLayout LayoutFor(int kind)
{
    switch (kind) {
    case feed_kind::kUserPictures:
        return {{"img", "user_name", "avatar", "share_id", "uid", "content", "comment_count", "relay_count",
            "like_count", "city_name", "", "", ""}};
    case feed_kind::kTagFeed:
        return {{"url", "uname", "avatar", "share_id", "uid", "content", "comment_count", "relay_count", "like_count",
            "city_name", "create_time", "", ""}};
    case feed_kind::kMyPublished:
        return {{"url", "uname", "avatar", "share_id", "uid", "content", "comment_count", "relay_count", "like_count",
            "city_name", "create_time", "follow_count", "fans_count"}};
    default:
        return {{"url", "uname", "avatar", "share_id", "uid", "content", "comment_count", "relay_count", "like_count",
            "city_name", "create_time", "follow_count", "fans"}};
    }
}

PictureListId PictureListFor(const FeedRequest& request)
{
    switch (request.kind) {
    case feed_kind::kUserPictures:
        return {request.kind, request.userId};
    case feed_kind::kTagFeed:
        return {request.kind, request.text};
    default:
        return {request.kind, {}};
    }
}

using PicturePtr = std::shared_ptr<PictureRecord>;

// A page's author names and their avatars' paths: an author shows up many
// times on a page, and a name that needs escaping costs far more than a look-up.
using AvatarPaths = std::unordered_map<std::string, std::string>;

// Reads one item. Null when it is skipped: its address is no http or https
// address or has no file name with a dot. Only the address of a skipped item is examined.
// `usable` turns false when a value has a refused type.
PicturePtr ReadPicture(const ParseContext& context, const PictureLayout& layout, const json_read::MemberFinder& finder,
    const Json::Value& item, AvatarPaths& avatarPaths, bool& usable)
{
    if (!item.isObject() && !item.isNull()) {
        usable = false;
        return nullptr;
    }
    const Json::Value* values[kPictureKeys];
    finder.Find(item, values);

    std::string_view address;
    if (!json_read::ToTextView(*values[kAddress], address)) {
        usable = false;
        return nullptr;
    }
    PictureNames names;
    if (!IsWebAddress(address) || !context.cache.Derive(address, names))
        return nullptr;
    auto record = std::make_shared<PictureRecord>();
    PictureRecord& r = *record;
    r.largeUrl = std::move(names.largeUrl);
    r.thumbnailUrl = std::move(names.thumbnailUrl);
    r.largePath = std::move(names.largePath);
    r.thumbnailPath = std::move(names.thumbnailPath);

    std::string* const fields[kPictureKeys]
        = {nullptr, &r.authorName, &r.avatarUrl, &r.shareId, &r.ownerId, &r.content, &r.commentCount, &r.forwardCount,
            &r.likeCount, &r.cityName, &r.createTime, &r.authorFollowCount, &r.authorFanCount};
    for (int key = kAuthor; key < kPictureKeys; ++key) {
        if (!layout.keys[key].empty() && !json_read::ToText(*values[key], *fields[key]))
            usable = false;
    }
    auto [known, fresh] = avatarPaths.try_emplace(r.authorName);
    if (fresh)
        known->second = context.cache.AuthorAvatarPath(r.authorName);
    r.avatarPath = known->second;
    return record;
}

// Kind 8 before the own-pictures row was ever paged: the first picture of
// the other user's list opens in the viewer.
void OpenFirstPicture(const ParseContext& context, const PictureListId& list, const PictureRecord& first)
{
    context.downloader.FetchLarge(first.largeUrl, first.largePath);
    context.downloader.FetchAlways(first.avatarUrl, first.avatarPath);
    context.starter.LoadComments(list, 0);
    context.sink.Send(UM_SHOW_LARGE_PICTURE, 0, static_cast<std::intptr_t>(TextParameter(first.largePath)));
    context.sink.Send(UM_SHOW_PICTURE_INFO, feed_kind::kUserPictures, 0);
}

// A list's "page" object: total and page count are kept, "page" is read for
// its type only.
struct PageInfo {
    bool present = false;
    int total = 0;
    int pageCount = 0;
};

bool ReadPageInfo(const Json::Value& pager, PageInfo& info)
{
    FieldReader fields(pager);
    info.present = pager.isObject();
    info.total = fields.Integer("total");
    info.pageCount = fields.Integer("page_count");
    fields.Integer("page");
    return fields.Ok();
}

// What a usable picture page holds, read out of its JSON.
struct PicturePage {
    PageInfo pager;
    std::size_t elements = 0;  // items sent, skipped ones included
    std::vector<PicturePtr> records;
};

// Reads the whole page before anything is stored: one refused value leaves
// the lists as they were. The JSON tree is gone when this returns, so it is
// never held while the window handles a message.
bool ReadPicturePage(const ParseContext& context, const FeedRequest& request, std::string_view text, PicturePage& page)
{
    Json::Value root;
    if (!json_read::Parse(text, root))
        return false;
    FieldReader top(root);
    const Json::Value& pager = top.Object("page");
    const Json::Value& items = top.Array("image_list");
    if (!ReadPageInfo(pager, page.pager) || !top.Ok())
        return false;

    const PictureLayout layout = LayoutFor(request.kind);
    const json_read::MemberFinder finder(layout.keys, kPictureKeys);
    page.elements = items.size();
    // Room for the page at once, before the records: lists grow by a page,
    // and their blocks stay apart from the records' many small pieces.
    context.store.ReservePictures(PictureListFor(request), items.size());
    page.records.reserve(items.size());
    AvatarPaths avatarPaths;
    for (const Json::Value& element : items) {
        bool usable = true;
        PicturePtr record = ReadPicture(context, layout, finder, element, avatarPaths, usable);
        if (!usable)
            return false;
        if (record)
            page.records.push_back(std::move(record));
    }
    return true;
}

bool ParsePicturePage(const ParseContext& context, const FeedRequest& request, std::string_view text)
{
    PicturePage page;
    if (!ReadPicturePage(context, request, text, page))
        return false;
    if (page.pager.present
        && !context.store.UpdatePager(request.kind, page.pager.total, page.pager.pageCount, request.generation))
        return false;
    if (!page.records.empty()) {
        platform::CreateDirectoryTree(context.cache.ThumbnailFolder());
        platform::CreateDirectoryTree(context.cache.LargePictureFolder());
    }
    const PictureListId list = PictureListFor(request);
    for (std::size_t i = 0; i < page.records.size(); ++i) {
        const PictureRecord& record = *page.records[i];
        if (!context.store.StorePicture(list, i, page.records[i], request.generation))
            return false;
        // The window opens the start's first home picture as soon as it can,
        // and at start it is still making its panels: the picture need not
        // wait for it, nor for the page's thumbnails.
        if (i == 0 && request.fetchFirstLarge && request.kind == feed_kind::kHome)
            context.downloader.FetchFirstLarge(record.largeUrl, record.largePath);
        context.downloader.FetchIfMissing(record.thumbnailUrl, record.thumbnailPath);
        context.sink.Invalidate();
    }

    // The window would notice the home picture only at its next paint, which
    // waits behind every message a start-up's answers and thumbnails queue.
    if (request.kind == feed_kind::kHome && !page.records.empty())
        context.sink.Post(UM_HOME_PAGE_STORED, 0, 0);
    if (request.kind == feed_kind::kMyPublished && page.elements > 0)
        context.sink.Send(UM_PUBLISH_PAGE_READY, 0, static_cast<std::intptr_t>(page.elements));
    if (request.kind == feed_kind::kUserPictures && !page.records.empty()
        && context.store.CurrentPage(feed_kind::kMyPublished) == 0)
        OpenFirstPicture(context, list, *page.records.front());
    return true;
}

// ---- another user's statistics (23) ---------------------------------------------

bool ParseUserStats(const ParseContext& context, const FeedRequest& request, std::string_view text)
{
    Json::Value root;
    if (!json_read::Parse(text, root))
        return false;
    FieldReader top(root);
    FieldReader info(top.Object("info_num"));
    UserStats stats;
    info.Text("follows", stats.follows);
    info.Text("fans", stats.fans);
    info.Text("favs", stats.likes);
    info.Text("photos", stats.pictures);
    if (!top.Ok() || !info.Ok())
        return false;
    context.store.StoreUserStats(request.userId, std::move(stats));
    context.sink.Send(UM_USER_STATS_READY, 0, 0);
    return true;
}

// ---- user lists (10, 14, 15, 24, 27) ----------------------------------------------

enum class UserLayout { Summary, Follows, Fans };

struct UserListKind {
    const char* arrayKey;
    UserLayout layout;
    const char* followKey;
    AvatarFolder folder;
    bool alwaysDownload;
    bool paged;
};

UserListKind UserListFor(int kind)
{
    switch (kind) {
    case feed_kind::kFeatured:
        return {"daren_list", UserLayout::Summary, "is_foolow", AvatarFolder::Featured, true, false};
    case feed_kind::kPeopleSearch:
        return {"user_list", UserLayout::Summary, "is_follow", AvatarFolder::Comments, false, false};
    case feed_kind::kMyFans:
        return {"fnas_list", UserLayout::Fans, "is_follow", AvatarFolder::Fans, true, true};
    default:  // 14, 24
        return {"follows_list", UserLayout::Follows, "is_follow", AvatarFolder::Follows, true, true};
    }
}

std::shared_ptr<UserRecord> ReadUser(const ParseContext& context, const UserListKind& kind, FieldReader& entry)
{
    auto record = std::make_shared<UserRecord>();
    UserRecord& r = *record;
    bool summary = kind.layout == UserLayout::Summary;
    entry.Text("uid", r.uid);
    entry.Text(summary ? "uname" : "user_name", r.name);
    entry.Text("avatar", r.avatarUrl);
    entry.Text("img", r.pictureUrl);
    r.isFollowed = entry.Flag(kind.followKey);
    if (summary) {
        entry.Text("foolows_count", r.followCount);
        entry.Text("fans_count", r.fanCount);
        entry.Text("favs_count", r.likeCount);
        entry.Text("photos_count", r.pictureCount);
    } else if (kind.layout == UserLayout::Follows) {
        // "share" is tested as a flag; when set it must hold the counts.
        const Json::Value& share = entry.Value("share");
        r.hasShare = json_read::ToFlag(share);
        if (r.hasShare) {
            FieldReader shareFields(share);
            entry.Require(share.isObject());
            FieldReader photos(shareFields.Object("photos"));
            photos.Text("follows", r.followCount);
            photos.Text("fans", r.fanCount);
            photos.Text("favs", r.likeCount);
            photos.Text("photos", r.pictureCount);
            entry.Require(shareFields.Ok() && photos.Ok());
        }
    }
    r.avatarPath = context.cache.ListAvatarPath(kind.folder, r.name);
    return record;
}

bool ParseUserList(const ParseContext& context, const FeedRequest& request, std::string_view text)
{
    Json::Value root;
    if (!json_read::Parse(text, root))
        return false;
    const UserListKind kind = UserListFor(request.kind);
    FieldReader top(root);
    const Json::Value& page = kind.paged ? top.Object("page") : Json::Value::nullSingleton();
    const Json::Value& entries = top.Array(kind.arrayKey);
    PageInfo pager;
    if (!ReadPageInfo(page, pager) || !top.Ok())
        return false;

    std::vector<std::shared_ptr<UserRecord>> records;
    records.reserve(entries.size());
    for (const Json::Value& element : entries) {
        FieldReader entry(element);
        records.push_back(ReadUser(context, kind, entry));
        if (!entry.Ok())
            return false;
    }

    if (pager.present && !context.store.UpdatePager(request.kind, pager.total, pager.pageCount, request.generation))
        return false;
    if (!records.empty())
        platform::CreateDirectoryTree(context.cache.AvatarFolderPath(kind.folder));
    for (std::size_t i = 0; i < records.size(); ++i) {
        const UserRecord& record = *records[i];
        if (kind.alwaysDownload)
            context.downloader.FetchAlways(record.avatarUrl, record.avatarPath);
        else
            context.downloader.FetchIfMissing(record.avatarUrl, record.avatarPath);
        if (!context.store.StoreUser(request.kind, i, records[i], request.generation))
            return false;
        context.sink.Invalidate();
    }
    // Lists keep their size, but people a longer earlier answer listed past
    // this one's end are listed no more.
    for (std::size_t i = records.size(); i < context.store.UserCount(request.kind); ++i)
        context.store.StoreUser(request.kind, i, nullptr, request.generation);
    return true;
}

// ---- comment lists (11, 17, 25, 29) --------------------------------------------------

void ReportComments(
    const ParseContext& context, const FeedRequest& request, std::shared_ptr<const PictureComments> comments)
{
    if (request.kind == feed_kind::kCurrentComments) {
        context.store.StoreCurrentComments(std::move(comments));
        context.sink.Post(UM_PICTURE_COMMENTS_READY, static_cast<std::uintptr_t>(request.list.kind), -2012);
        return;
    }
    if (!context.store.StoreComments(request.list, request.index, std::move(comments)))
        return;
    const auto index = static_cast<std::intptr_t>(request.index);
    switch (request.kind) {
    case feed_kind::kListComments:
        context.sink.Send(UM_COMMENT_LIST_READY, static_cast<std::uintptr_t>(request.list.kind), index);
        break;
    case feed_kind::kUserListComments:
        context.sink.Send(UM_SHOW_LIST_PICTURE, TextParameter(request.list.key), index);
        break;
    default:
        context.sink.Send(UM_SHOW_ROW_PICTURE, TextParameter(request.list.key), index);
        break;
    }
}

bool ParseComments(const ParseContext& context, const FeedRequest& request, std::string_view text)
{
    Json::Value root;
    if (!json_read::Parse(text, root))
        return false;
    auto comments = std::make_shared<PictureComments>();
    comments->shareId = request.shareId;
    FieldReader top(root);
    top.Text("is_follow", comments->isFollow);
    const Json::Value& entries = top.Array("comment_list");
    if (!top.Ok())
        return false;
    comments->comments.reserve(entries.size());
    for (const Json::Value& element : entries) {
        FieldReader entry(element);
        comments->comments.emplace_back();
        CommentRecord& c = comments->comments.back();
        entry.Text("comment_id", c.commentId);
        entry.Text("share_id", c.shareId);
        entry.Text("uid", c.authorId);
        entry.Text("uname", c.authorName);
        entry.Text("avatar", c.avatarUrl);
        entry.Text("content", c.content);
        entry.Text("parent_id", c.parentId);
        entry.Text("time", c.time);
        if (!entry.Ok())
            return false;
        c.avatarPath = context.cache.ListAvatarPath(AvatarFolder::Comments, c.authorName);
    }
    platform::CreateDirectoryTree(context.cache.AvatarFolderPath(AvatarFolder::Comments));
    for (const CommentRecord& c : comments->comments)
        context.downloader.FetchIfMissing(c.avatarUrl, c.avatarPath);
    ReportComments(context, request, std::move(comments));
    return true;
}

// ---- picture details (28) -----------------------------------------------------------

bool ParseDetails(const ParseContext& context, const FeedRequest& request, std::string_view text)
{
    Json::Value root;
    if (!json_read::Parse(text, root))
        return false;
    auto details = std::make_shared<PictureDetails>();
    details->shareId = request.shareId;
    FieldReader top(root);
    std::string seconds;
    top.Text("user_name", details->authorName);
    top.Text("content", details->content);
    top.Text("create_time", seconds);
    top.Text("uid", details->ownerId);
    top.Text("collect_count", details->likeCount);
    top.Text("comment_count", details->commentCount);
    top.Text("relay_count", details->forwardCount);
    if (!top.Ok())
        return false;
    details->createTime = DetailsTimeFrom(seconds);
    context.store.StoreDetails(std::move(details));
    context.sink.Post(UM_PICTURE_DETAILS_READY, 0, 0);
    return true;
}

// ---- hot tags (21) -------------------------------------------------------------------

bool ParseHotTags(const ParseContext& context, std::string_view text)
{
    Json::Value root;
    if (!json_read::Parse(text, root))
        return false;
    FieldReader top(root);
    const Json::Value& entries = top.Array("tag_list");
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (const Json::Value& element : entries) {
        FieldReader entry(element);
        names.push_back(entry.Text("name"));
        top.Require(entry.Ok());
    }
    if (!top.Ok())
        return false;
    for (std::size_t i = 0; i < names.size(); ++i) {
        context.store.StoreHotTag(i, names[i]);
        context.starter.LoadTagFeed(names[i]);
    }
    return true;
}

}  // namespace

bool ParseAnswerText(const ParseContext& context, const FeedRequest& request, std::string_view text)
{
    switch (request.kind) {
    case feed_kind::kCategoryList:
        return ParseCategoryList(context, text);
    case feed_kind::kUserStats:
        return ParseUserStats(context, request, text);
    case feed_kind::kFeatured:
    case feed_kind::kPeopleSearch:
    case feed_kind::kMyFollows:
    case feed_kind::kFollowsOf:
    case feed_kind::kMyFans:
        return ParseUserList(context, request, text);
    case feed_kind::kListComments:
    case feed_kind::kUserListComments:
    case feed_kind::kTagComments:
    case feed_kind::kCurrentComments:
        return ParseComments(context, request, text);
    case feed_kind::kDetails:
        return ParseDetails(context, request, text);
    case feed_kind::kHotTags:
        return ParseHotTags(context, text);
    case feed_kind::kUserPictures:
    case feed_kind::kMyLiked:
    case feed_kind::kMyPublished:
    case feed_kind::kTagFeed:
    case feed_kind::kHome:
        return ParsePicturePage(context, request, text);
    default:
        if (feed_kind::IsCategory(request.kind))
            return ParsePicturePage(context, request, text);
        return false;
    }
}

bool ReadCategoryList(std::string_view text, std::vector<std::pair<std::string, std::string>>& entries)
{
    entries.clear();
    return ReadCategoryEntries(text, entries) && !entries.empty();
}

bool ParseAnswer(const ParseContext& context, const FeedRequest& request)
{
    FeedStore::TextPtr text = context.store.Answer(request.kind, AnswerKey(request));
    return text && ParseAnswerText(context, request, *text);
}

std::string FormatDetailsTime(const std::tm& time)
{
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %d:%d:%d", time.tm_year + 1900, time.tm_mon + 1, time.tm_mday,
        time.tm_hour, time.tm_min, time.tm_sec);
    return text;
}

std::string DetailsTimeFrom(const std::string& seconds)
{
    const char* start = seconds.c_str();
    char* end = nullptr;
    errno = 0;
    long long value = std::strtoll(start, &end, 10);
    if (end == start || errno == ERANGE)
        return {};
    std::time_t time = static_cast<std::time_t>(value);
    if (static_cast<long long>(time) != value)
        return {};
    std::tm local{};
    if (!platform::LocalTime(time, local))
        return {};
    return FormatDetailsTime(local);
}
