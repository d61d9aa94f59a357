#pragma once

// What the comment view's notice band says after an action.
enum CommentNotice : int {
    kNoticeNone = 0,
    kNoticeCommented = 1,
    kNoticeCommentFailed = 2,
    kNoticeForwarded = 3,
    kNoticeForwardFailed = 4,
    kNoticeAlreadyLiked = 5,
    kNoticeSelf = 6,
    kNoticeLiked = 7,
    kNoticeLikeFailed = 8,
    kNoticeWallpaperSet = 9,
    kNoticeWallpaperFailed = 10,
    kNoticeFollowDone = 11,
    kNoticeFollowFailed = 12,
    kNoticeEmpty = 13,
    kNoticeUnfollowed = 14,
};

// Kind 5: a follow result that leaves the view's follow state alone.
constexpr int kActionFollowElsewhere = 5;

const wchar_t* NoticeText(int code);

// The notice for an action result (kind and outcome as the workers post
// them). A follow toggles, so only its caller knows whether it followed:
// `nowFollowing` is the state the follow left.
int NoticeForAction(int kind, int outcome, bool nowFollowing = true);
