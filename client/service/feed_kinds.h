#pragma once

// Feed kinds: the numbers that name every list and request of the service.
namespace feed_kind {

enum : int {
    kFirstCategory = 0,  // kinds 0-7: the eight category feeds, ids "1"-"8"
    kLastCategory = 7,
    kUserPictures = 8,  // another user's pictures, paged with kind 16's page
    kMyLiked = 9,
    kFeatured = 10,
    kListComments = 11,  // comments of a picture of a feed-kind list
    kMyFollows = 14,
    kMyFans = 15,
    kMyPublished = 16,
    kUserListComments = 17,  // comments of a picture of another user's list
    kTagFeed = 20,
    kHotTags = 21,
    kCategoryList = 22,
    kUserStats = 23,
    kFollowsOf = 24,
    kTagComments = 25,  // comments of a picture of a tag feed
    kHome = 26,
    kPeopleSearch = 27,
    kDetails = 28,
    kCurrentComments = 29,
    kLast = 37,
};

inline bool IsCategory(int kind) { return kind >= kFirstCategory && kind <= kLastCategory; }

// The signed-in user's own lists: kept per user, and gone with the user.
constexpr int kOwnLists[] = {kMyLiked, kMyFollows, kMyFans, kMyPublished};

inline bool IsOwnList(int kind)
{
    for (const int own : kOwnLists) {
        if (kind == own)
            return true;
    }
    return false;
}

}  // namespace feed_kind
