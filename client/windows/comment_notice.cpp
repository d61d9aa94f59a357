#include "comment_notice.h"

#include "social_actions.h"

const wchar_t* NoticeText(int code)
{
    static const wchar_t* const kTexts[]
        = {L"", L"评论成功", L"评论失败", L"转发成功", L"转发失败", L"已喜欢", L"这是你自己", L"喜欢成功", L"喜欢失败",
            L"已成为壁纸", L"设置失败", L"关注成功", L"关注失败", L"内容为空", L"取消成功"};
    if (code < 0 || code >= int(sizeof(kTexts) / sizeof(kTexts[0])))
        return L"";
    return kTexts[code];
}

int NoticeForAction(int kind, int outcome, bool nowFollowing)
{
    switch (kind) {
    case kActionComment:
        return outcome != kOutcomeFailure ? kNoticeCommented : kNoticeCommentFailed;
    case kActionForward:
        return outcome != kOutcomeFailure ? kNoticeForwarded : kNoticeForwardFailed;
    case kActionLike:
        if (outcome == kOutcomeFailure)
            return kNoticeLikeFailed;
        if (outcome == kOutcomeSelf)
            return kNoticeSelf;
        return outcome == kOutcomeAlreadyLiked ? kNoticeAlreadyLiked : kNoticeLiked;
    case kActionFollow:
    case kActionFollowElsewhere:
        if (outcome == kOutcomeFailure)
            return kNoticeFollowFailed;
        return nowFollowing ? kNoticeFollowDone : kNoticeUnfollowed;
    default:
        return kNoticeNone;
    }
}
