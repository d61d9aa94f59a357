#pragma once
#include "feed_records.h"

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// A picture list: a feed kind's own list (empty key), another user's
// pictures (kind 8, keyed by user id) or a tag feed (kind 20, keyed by tag).
struct PictureListId {
    int kind = 0;
    std::string key;

    bool operator<(const PictureListId& other) const
    {
        return kind != other.kind ? kind < other.kind : key < other.key;
    }
};

// The in-memory model of every list. Workers write it while the window
// paints from it, so every operation takes the one lock, and records go in
// and out as shared pointers to records that never change: a record the
// window holds stays valid and whole while it holds it, whatever a worker
// stores meanwhile. A slot not yet filled reads as null.
class FeedStore {
public:
    using PicturePtr = std::shared_ptr<const PictureRecord>;
    using CommentsPtr = std::shared_ptr<const PictureComments>;
    using UserPtr = std::shared_ptr<const UserRecord>;
    using TextPtr = std::shared_ptr<const std::string>;

    // Raw answers: the latest per kind; per user id for kinds 8 and 23, per
    // tag for kind 20 (`key`); the category list in kind 22's slot.
    // Returns the stored text, for the worker that got it to parse.
    TextPtr StoreAnswer(int kind, const std::string& key, std::string text);
    TextPtr Answer(int kind, const std::string& key) const;

    // Lists never shrink. In a feed kind's own list a later answer keeps the
    // comments stored with the slot; in another user's list and in a tag
    // list every stored item starts afresh.
    void StorePicture(const PictureListId& list, std::size_t index, PicturePtr picture);
    // Makes room for `count` pictures at once, so storing a page item by item
    // does not grow the list step by step. Changes nothing a reader sees.
    void ReservePictures(const PictureListId& list, std::size_t count);
    PicturePtr Picture(const PictureListId& list, std::size_t index) const;
    std::size_t PictureCount(const PictureListId& list) const;
    // Comments are stored by position, but a reload may put another picture
    // in that slot while they are on their way: each comment list carries the
    // share id it was asked for. False when the list has no slot at `index`,
    // or when the slot already holds the comments of its present picture and
    // these belong to another (a late answer is not let over a current one).
    bool StoreComments(const PictureListId& list, std::size_t index, CommentsPtr comments);
    // The comments of picture `shareId`; null when the slot holds another's.
    CommentsPtr Comments(const PictureListId& list, std::size_t index, const std::string& shareId) const;
    // Whatever the slot holds, for whichever picture.
    CommentsPtr Comments(const PictureListId& list, std::size_t index) const;
    // The comments of the picture on show in the viewer. The fetcher notes
    // which picture it asks for, so a late answer for the one shown before
    // is refused (false).
    void AwaitCurrentComments(const std::string& shareId);
    bool StoreCurrentComments(CommentsPtr comments);
    CommentsPtr CurrentComments(const std::string& shareId) const;
    CommentsPtr CurrentComments() const;

    // Featured users, search results, follows and fans, by kind.
    void StoreUser(int kind, std::size_t index, UserPtr user);
    UserPtr User(int kind, std::size_t index) const;
    std::size_t UserCount(int kind) const;

    void StoreUserStats(const std::string& uid, UserStats stats);
    bool FindUserStats(const std::string& uid, UserStats& stats) const;

    // The first answer of a kind creates its pager on page 1; later ones
    // update the total and the page count only.
    void UpdatePager(int kind, int total, int pageCount);
    // Current page; 0 while the kind has no pager.
    int CurrentPage(int kind) const;
    int PageCount(int kind) const;
    int Total(int kind) const;
    bool NextPage(int kind);  // +1 while below the page count
    bool PreviousPage(int kind);  // -1 while above 1
    void ResetPage(int kind);  // back to 1

    void StoreCategory(const std::string& id, const std::string& code);
    // A whole list: ids it does not name have no entry any more.
    void ReplaceCategories(const std::vector<std::pair<std::string, std::string>>& entries);
    // Empty when the id has no entry.
    std::string CategoryCode(const std::string& id) const;
    // The codes the category feeds (kinds 0-7, in order) were started with
    // ahead of the list's answer, from the kept list. The next list parsed
    // takes them, to start only the feeds whose code it changes.
    void NoteEarlyCategoryFeeds(std::vector<std::string> codes);
    bool TakeEarlyCategoryFeeds(std::vector<std::string>& codes);

    void StoreHotTag(std::size_t index, std::string name);
    std::string HotTag(std::size_t index) const;
    std::size_t HotTagCount() const;

    void StoreDetails(std::shared_ptr<const PictureDetails> details);
    std::shared_ptr<const PictureDetails> Details() const;

    // Drops a feed kind's own list, users, raw answer and pager: a signed-out
    // user's lists must not show for whoever signs in next. It also starts the
    // kind's next generation: a request made before (a signed-out user's
    // answer that lands late) stores nothing of that kind any more.
    void ForgetKind(int kind);
    unsigned Generation(int kind) const;
    // As the forms above, for a request of `generation`; false, storing
    // nothing, once the kind has moved past it.
    bool StorePicture(const PictureListId& list, std::size_t index, PicturePtr picture, unsigned generation);
    bool StoreUser(int kind, std::size_t index, UserPtr user, unsigned generation);
    bool UpdatePager(int kind, int total, int pageCount, unsigned generation);

    void StoreOwnStats(OwnStats stats);
    OwnStats OwnStatistics() const;
    void ShowNotice(NoticeChoice choice);
    void HideNotice();
    // The shown choice, or None while the notice label is hidden.
    NoticeChoice VisibleNotice() const;
    // The choice of the latest poll that found news, shown or not.
    NoticeChoice LastNotice() const;

private:
    struct PictureSlot {
        PicturePtr picture;
        CommentsPtr comments;
    };
    const Pager* FindPager(int kind) const;
    // These expect the lock held.
    bool Stale(int kind, unsigned generation) const;
    void StorePictureLocked(const PictureListId& list, std::size_t index, PicturePtr picture);

    mutable std::mutex lock_;
    std::map<std::pair<int, std::string>, TextPtr> answers_;
    std::map<PictureListId, std::vector<PictureSlot>> pictures_;
    CommentsPtr currentComments_;
    std::string awaitedShareId_;
    bool awaiting_ = false;
    std::map<int, std::vector<UserPtr>> users_;
    std::map<std::string, UserStats> userStats_;
    std::map<int, Pager> pagers_;
    std::map<int, unsigned> generations_;
    std::map<std::string, std::string> categories_;
    std::vector<std::string> earlyCategoryCodes_;
    bool earlyCategoryFeeds_ = false;
    std::vector<std::string> hotTags_;
    std::shared_ptr<const PictureDetails> details_;
    OwnStats ownStats_;
    NoticeChoice lastNotice_ = NoticeChoice::None;
    bool noticeVisible_ = false;
};
