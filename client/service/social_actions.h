#pragma once
#include "feed_records.h"
#include "feed_services.h"
#include "feed_store.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// wParam of UM_ACTION_RESULT.
enum ActionKind : int { kActionComment = 1, kActionForward = 2, kActionLike = 3, kActionFollow = 4 };
// lParam of UM_ACTION_RESULT.
enum ActionOutcome : int { kOutcomeFailure = 0, kOutcomeSuccess = 1, kOutcomeSelf = 2, kOutcomeAlreadyLiked = -1 };

// Whether the answer carries "status": with exactly this value: 20 is not 2.
bool AnswerHasStatus(std::string_view answer, int status);

// The notice page with the most news; ties go to comments, then replies.
NoticeChoice ChooseNotice(int comments, int replies, int follows);

// The rhythm of the notice poll: a poll every `ticksPerPoll` waits of
// `tick`; the label hides on the first wait after a poll.
struct NoticeTiming {
    std::chrono::milliseconds tick{5000};
    int ticksPerPoll = 60;
    // How the poll waits one tick; tests step it by hand.
    std::function<void(std::chrono::milliseconds)> wait;
};

// The lists a follow can start from; each reloads after it.
enum class FollowList { MyFollows = 14, MyFans = 15, FollowsOf = 24 };

// The signed-in user's actions. Each starts one detached worker with its
// own copy of what it needs, and reports by posting UM_ACTION_RESULT to the
// main window (a comment that went through first sends UM_COMMENT_POSTED).
class SocialActions {
public:
    explicit SocialActions(std::shared_ptr<const FeedServices> services, NoticeTiming timing = {});

    void FollowUser(const std::string& targetUid) const;
    // `comments` are the picture's stored comments; `parentSelector` is the
    // index of the comment replied to, or -1 for a top-level comment. A reply
    // whose comment is gone fails at once rather than posting at the top.
    void CommentOnPicture(
        const std::string& shareId, const std::string& text, const PictureComments* comments, int parentSelector) const;
    // A reply to the comment with `parentId`, or, without one, a top-level
    // comment. An empty id fails at once.
    void ReplyToComment(const std::string& shareId, const std::string& text, std::optional<std::string> parentId) const;
    void LikePicture(const std::string& shareId, const std::string& ownerUid) const;
    // The like of a picture of a list; fails at once when it is no longer stored.
    void LikePictureAt(const PictureListId& list, std::size_t index) const;
    void ForwardPicture(const std::string& shareId) const;
    // `listOwnerUid`: whose follows are listed, for FollowList::FollowsOf.
    void FollowFromList(const std::string& targetUid, FollowList list, const std::string& listOwnerUid = {}) const;
    // The user panel's counters, into the store; the window repaints.
    void RefreshOwnStats() const;
    // Runs until the user signs out or a newer poll starts (checked after
    // every tick).
    void PollNotices() const;

private:
    std::shared_ptr<const FeedServices> services_;
    NoticeTiming timing_;
    std::shared_ptr<std::atomic<unsigned>> pollRound_ = std::make_shared<std::atomic<unsigned>>(0);
};
