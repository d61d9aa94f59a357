#include "social_actions.h"

#include "endpoints.h"
#include "feed_fetcher.h"
#include "json_read.h"
#include "message_sink.h"
#include "signed_in_user.h"
#include "window_messages.h"
#include "work_tracker.h"

#include <thread>
#include <utility>

namespace {

using Services = std::shared_ptr<const FeedServices>;

// Runs `work` on a detached worker that holds the services and its own
// copies of everything it captured.
template <typename Work> void Start(const Services& services, Work work)
{
    StartTrackedWorker(services->tracker, [services, work = std::move(work)]() mutable { work(*services); });
}

void PostResult(const FeedServices& services, int kind, int outcome)
{
    services.sink->Post(UM_ACTION_RESULT, static_cast<std::uintptr_t>(kind), outcome);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int JudgeLike(const std::string& answer)
{
    if (answer.empty())
        return kOutcomeFailure;
    if (AnswerHasStatus(answer, 2))
        return kOutcomeAlreadyLiked;
    return AnswerHasStatus(answer, 4) ? kOutcomeSuccess : kOutcomeFailure;
}

bool ReadOwnStats(const std::string& answer, OwnStats& stats)
{
    Json::Value root;
    if (!json_read::Parse(answer, root))
        return false;
    json_read::FieldReader top(root);
    json_read::FieldReader data(top.Object("data"));
    data.Text("image_count", stats.published);
    data.Text("like_count", stats.liked);
    data.Text("follow_count", stats.follows);
    data.Text("fans_count", stats.fans);
    stats.unreadNotices = std::to_string(data.Integer("is_num"));
    return top.Ok() && data.Ok();
}

void PollOnce(const FeedServices& services)
{
    const LiveSession session = LiveSession::From(CopySignedInUser());
    std::string answer;
    PostFormWithTimeout(endpoints::NoticeCounts(services.baseUrl, session), "", answer, services.limits);
    Json::Value root;
    if (answer.empty() || !json_read::Parse(answer, root))
        return;
    json_read::FieldReader counts(root);
    const NoticeChoice choice = ChooseNotice(counts.Integer("comm"), counts.Integer("reply"), counts.Integer("atten"));
    if (!counts.Ok() || choice == NoticeChoice::None)
        return;
    services.store->ShowNotice(choice);
    services.sink->Invalidate();
}

}  // namespace

bool AnswerHasStatus(std::string_view answer, int status)
{
    static const std::string_view kKey = "\"status\":";
    for (std::size_t at = answer.find(kKey); at != std::string_view::npos; at = answer.find(kKey, at + 1)) {
        std::size_t p = at + kKey.size();
        while (p < answer.size() && (answer[p] == ' ' || answer[p] == '\t' || answer[p] == '\r' || answer[p] == '\n'))
            ++p;
        bool negative = p < answer.size() && answer[p] == '-';
        p += negative;
        const std::size_t digits = p;
        long long value = 0;
        while (p < answer.size() && IsDigit(answer[p]) && p - digits < 10)
            value = value * 10 + (answer[p++] - '0');
        // The whole number: no further digit, fraction or exponent.
        bool whole = p > digits
            && (p == answer.size()
                || (!IsDigit(answer[p]) && answer[p] != '.' && answer[p] != 'e' && answer[p] != 'E'));
        if (whole && (negative ? -value : value) == status)
            return true;
    }
    return false;
}

NoticeChoice ChooseNotice(int comments, int replies, int follows)
{
    if (comments == 0 && replies == 0 && follows == 0)
        return NoticeChoice::None;
    if (comments >= replies && comments >= follows)
        return NoticeChoice::Comments;
    return replies >= follows ? NoticeChoice::Replies : NoticeChoice::Follows;
}

SocialActions::SocialActions(std::shared_ptr<const FeedServices> services, NoticeTiming timing)
    : services_(std::move(services))
    , timing_(std::move(timing))
{
    if (!timing_.wait)
        timing_.wait = [](std::chrono::milliseconds tick) { std::this_thread::sleep_for(tick); };
}

void SocialActions::FollowUser(const std::string& targetUid) const
{
    Start(services_, [targetUid](const FeedServices& s) {
        const ConfigSession session = ConfigSession::FromFile(s.configPath);
        // Reported with the like's kind: the window shows its "yourself" notice.
        if (session.uid == targetUid) {
            PostResult(s, kActionLike, kOutcomeSelf);
            return;
        }
        std::string answer;
        PostFormWithTimeout(endpoints::Follow(s.baseUrl, session, targetUid), "", answer, s.limits);
        PostResult(s, kActionFollow, AnswerHasStatus(answer, 0) ? kOutcomeSuccess : kOutcomeFailure);
    });
}

void SocialActions::CommentOnPicture(
    const std::string& shareId, const std::string& text, const PictureComments* comments, int parentSelector) const
{
    if (parentSelector == -1) {
        ReplyToComment(shareId, text, {});
        return;
    }
    const bool known
        = comments && parentSelector >= 0 && static_cast<std::size_t>(parentSelector) < comments->comments.size();
    ReplyToComment(shareId, text, known ? comments->comments[parentSelector].commentId : std::string());
}

void SocialActions::ReplyToComment(
    const std::string& shareId, const std::string& text, std::optional<std::string> parentId) const
{
    // A reply whose comment is not known fails rather than posting at the top.
    if (parentId && parentId->empty()) {
        PostResult(*services_, kActionComment, kOutcomeFailure);
        return;
    }
    Start(services_, [shareId, text, parentId = parentId.value_or(std::string())](const FeedServices& s) {
        const ConfigSession session = ConfigSession::FromFile(s.configPath);
        std::string answer;
        PostFormWithTimeout(endpoints::Comment(s.baseUrl, session, shareId, parentId, text), "", answer, s.limits);
        if (!AnswerHasStatus(answer, 0)) {
            PostResult(s, kActionComment, kOutcomeFailure);
            return;
        }
        // Sent first, so the comment list is fetched again before the notice shows.
        s.sink->Send(UM_COMMENT_POSTED, 0, 0);
        PostResult(s, kActionComment, kOutcomeSuccess);
    });
}

void SocialActions::LikePicture(const std::string& shareId, const std::string& ownerUid) const
{
    Start(services_, [shareId, ownerUid](const FeedServices& s) {
        const LiveSession session = LiveSession::From(CopySignedInUser());
        if (session.uid == ownerUid) {
            PostResult(s, kActionLike, kOutcomeSelf);
            return;
        }
        std::string answer;
        PostFormWithTimeout(endpoints::Like(s.baseUrl, session, shareId), "", answer, s.limits);
        PostResult(s, kActionLike, JudgeLike(answer));
    });
}

void SocialActions::LikePictureAt(const PictureListId& list, std::size_t index) const
{
    FeedStore::PicturePtr picture = services_->store->Picture(list, index);
    if (!picture) {
        PostResult(*services_, kActionLike, kOutcomeFailure);
        return;
    }
    LikePicture(picture->shareId, picture->ownerId);
}

void SocialActions::ForwardPicture(const std::string& shareId) const
{
    Start(services_, [shareId](const FeedServices& s) {
        const ConfigSession session = ConfigSession::FromFile(s.configPath);
        std::string answer;
        // The forward alone goes without the connect time-out.
        PostForm(endpoints::Forward(s.baseUrl, session), endpoints::ForwardBody(shareId), answer, s.limits);
        PostResult(s, kActionForward, AnswerHasStatus(answer, 0) ? kOutcomeSuccess : kOutcomeFailure);
    });
}

void SocialActions::FollowFromList(const std::string& targetUid, FollowList list, const std::string& listOwnerUid) const
{
    Start(services_, [services = services_, targetUid, list, listOwnerUid](const FeedServices& s) {
        const ConfigSession session = ConfigSession::FromFile(s.configPath);
        if (session.uid != targetUid) {
            std::string answer;  // not judged: the reloaded list shows the outcome
            PostFormWithTimeout(endpoints::Follow(s.baseUrl, session, targetUid), "", answer, s.limits);
        }
        const FeedFetcher fetcher(services);
        if (list == FollowList::FollowsOf) {
            s.store->ResetPage(static_cast<int>(list));
            fetcher.LoadUserFollows(listOwnerUid);
            return;
        }
        fetcher.LoadFeed(static_cast<int>(list));
    });
}

void SocialActions::RefreshOwnStats() const
{
    Start(services_, [](const FeedServices& s) {
        const ConfigSession session = ConfigSession::FromFile(s.configPath);
        std::string answer;
        PostFormWithTimeout(endpoints::OwnStatistics(s.baseUrl, session), "", answer, s.limits);
        OwnStats stats;
        if (answer.empty() || !ReadOwnStats(answer, stats))
            return;
        s.store->StoreOwnStats(std::move(stats));
        s.sink->Invalidate();
    });
}

void SocialActions::PollNotices() const
{
    // A newer poll ends the older one at its next tick, so signing out and in
    // again within a tick leaves one poll, not two.
    const unsigned round = ++*pollRound_;
    Start(services_, [timing = timing_, rounds = pollRound_, round](const FeedServices& s) {
        PollOnce(s);
        for (int waits = 0;;) {
            timing.wait(timing.tick);
            if (!IsSignedIn() || rounds->load() != round)
                return;
            if (++waits == 1 && s.store->VisibleNotice() != NoticeChoice::None) {
                s.store->HideNotice();
                s.sink->Invalidate();
            }
            if (waits >= timing.ticksPerPoll) {
                PollOnce(s);
                waits = 0;
            }
        }
    });
}
