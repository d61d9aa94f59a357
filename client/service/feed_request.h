#pragma once
#include "feed_kinds.h"
#include "feed_store.h"

#include <cstddef>
#include <string>

// One feed request. Every worker gets its own copy, so a later request of
// the same kind can never change one still being served.
struct FeedRequest {
    int kind = 0;
    // The picture a comment list belongs to (kinds 11, 17, 25), or for kind
    // 29 the list kind of the picture on show.
    PictureListId list;
    std::size_t index = 0;
    std::string userId;  // kinds 8, 23, 24
    std::string text;  // the tag (20) or the search text (27)
    std::string shareId;  // kinds 11, 17, 25, 28, 29
    // The store's generation of the kind when the request was made: a list
    // forgotten since (its user signed out) takes nothing from the answer.
    unsigned generation = 0;
    // The start's home feed: the window opens its first picture large, so
    // that picture's download starts as soon as the page is stored.
    bool fetchFirstLarge = false;
};

// Where the raw answer of a request is kept: per user id for kinds 8 and 23,
// per tag or search text for kinds 20 and 27, otherwise per kind alone.
inline std::string AnswerKey(const FeedRequest& request)
{
    switch (request.kind) {
    case feed_kind::kUserPictures:
    case feed_kind::kUserStats:
        return request.userId;
    case feed_kind::kTagFeed:
    case feed_kind::kPeopleSearch:
        return request.text;
    default:
        return {};
    }
}

// The requests the parser itself starts. The fetcher implements it; the
// parser knows only this, so neither depends on the other.
class FeedStarter {
public:
    virtual ~FeedStarter() = default;
    // Kinds 0-7, after the category list was stored.
    virtual void LoadCategoryFeeds() = 0;
    // One of kinds 0-7, whose code a fresh list changed.
    virtual void LoadCategoryFeed(int kind) = 0;
    // Kind 20, one per hot tag.
    virtual void LoadTagFeed(const std::string& tag) = 0;
    // Kind 17: the comments of a picture of another user's list.
    virtual void LoadComments(const PictureListId& list, std::size_t index) = 0;
};
