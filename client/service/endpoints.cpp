#include "endpoints.h"

#include "config_store.h"
#include "signed_in_user.h"
#include "text_encoding.h"

#include <chrono>
#include <random>

ConfigSession ConfigSession::FromFile(const std::string& configPath)
{
    LoginCredentials credentials = ReadLoginCredentials(configPath);
    return {credentials.uid, credentials.token};
}

LiveSession LiveSession::From(const SignedInUser& user) { return {user.signedIn, user.uid, user.token}; }

namespace endpoints {

namespace {

template <typename Session> std::string UidToken(const Session& session)
{
    return "&uid=" + session.uid + "&token=" + session.token;
}

std::string PageParameter(int page) { return "&page=" + std::to_string(page); }
std::string RandParameter(int rand) { return "&rand=" + std::to_string(rand); }

}  // namespace

std::string Login(const std::string& base) { return base + "user.php?action=c_login"; }

std::string LoginBody(const std::string& userName, const std::string& passwordDigest)
{
    return "username=" + PercentEncodeText(userName) + "&password=" + PercentEncodeText(passwordDigest);
}

std::string Logout(const std::string& base, const LiveSession& session)
{
    return base + "user.php?action=c_logout&" + UidToken(session);
}

std::string OwnStatistics(const std::string& base, const ConfigSession& session)
{
    return base + "user.php?action=c_login&token=" + session.token;
}

std::string NoticeCounts(const std::string& base, const LiveSession& session)
{
    return base + "u.php?action=c_notice" + UidToken(session);
}

std::string CategoryList(const std::string& base, bool signedIn)
{
    return base + (signedIn ? "u.php?action=c_all" : "book.php?action=c_all_list");
}

std::string CategoryFeed(const std::string& base, const std::string& categoryCode)
{
    return base + "book.php?action=c_cate&cate=" + categoryCode;
}

std::string HomeFeed(const std::string& base, bool signedIn, const ConfigSession& session)
{
    std::string url = base + "book.php?action=c_all";
    return signedIn ? url + UidToken(session) : url;
}

std::string HotTags(const std::string& base) { return base + "book.php?action=c_hot_tag"; }

std::string TagFeed(const std::string& base, const std::string& tag)
{
    return base + "book.php?action=c_tag&tag=" + PercentEncodeText(tag);
}

std::string SearchPeople(const std::string& base, const std::string& text, const ConfigSession& session)
{
    return base + "daren.php?action=c_search&sear=" + PercentEncodeText(text) + UidToken(session);
}

std::string FeaturedUsers(const std::string& base, const ConfigSession& session)
{
    return base + "daren.php?action=c_daren" + UidToken(session);
}

std::string MyPublished(const std::string& base, const ConfigSession& session, int page)
{
    return base + "u.php?action=c_my_publish" + UidToken(session) + PageParameter(page);
}

std::string MyLiked(const std::string& base, const ConfigSession& session, int page)
{
    return base + "u.php?action=c_my_like" + UidToken(session) + PageParameter(page);
}

std::string MyFollows(const std::string& base, const ConfigSession& session, int page)
{
    return base + "u.php?action=c_follows" + UidToken(session) + PageParameter(page);
}

std::string FollowsOf(const std::string& base, const ConfigSession& session, const std::string& otherUid, int page)
{
    return base + "u.php?action=c_follows&uid=" + session.uid + "&uid2=" + otherUid + "&token=" + session.token
        + PageParameter(page);
}

std::string MyFans(const std::string& base, const ConfigSession& session, int page)
{
    return base + "u.php?action=c_fans" + UidToken(session) + PageParameter(page);
}

std::string UserPictures(const std::string& base, const std::string& otherUid, int page)
{
    return base + "u.php?action=c_photo&uid=" + otherUid + PageParameter(page);
}

std::string UserStatistics(const std::string& base, const std::string& otherUid)
{
    return base + "u.php?action=c_photo&uid=" + otherUid;
}

std::string CommentsInList(const std::string& base, const std::string& shareId, const LiveSession& session)
{
    std::string url = CurrentComments(base, shareId);
    return session.signedIn ? url + UidToken(session) : url;
}

std::string CurrentComments(const std::string& base, const std::string& shareId)
{
    return base + "book.php?action=c_comment_list&id=" + shareId;
}

std::string PictureDetails(const std::string& base, const std::string& shareId)
{
    return base + "book.php?action=getShareIdInfo&share_id=" + shareId;
}

std::string Follow(const std::string& base, const ConfigSession& session, const std::string& otherUid)
{
    return base + "u.php?action=c_follow" + UidToken(session) + "&buid=" + otherUid;
}

std::string Comment(const std::string& base, const ConfigSession& session, const std::string& shareId,
    const std::string& parentId, const std::string& text)
{
    return base + "u.php?action=c_comment" + UidToken(session) + "&share_id=" + shareId
        + "&parent_id=" + (parentId.empty() ? "0" : parentId) + "&content=" + PercentEncodeText(text);
}

std::string Like(const std::string& base, const LiveSession& session, const std::string& shareId)
{
    return base + "services/service.php?m=share&a=fav" + UidToken(session) + "&id=" + shareId;
}

std::string Forward(const std::string& base, const ConfigSession& session)
{
    return base + "u.php?action=c_reply" + UidToken(session);
}

std::string ForwardBody(const std::string& shareId) { return "share_id=" + shareId + "&content="; }

std::string RegisterPage(const std::string& base) { return base + "user.php?action=c_register"; }

std::string ForgottenPasswordPage(const std::string& base) { return base + "user.php?action=c_forgetpassword"; }

std::string PersonalSettingsPage(const std::string& base, const LiveSession& session, int rand)
{
    return base + "settings.php?action=c_personal" + UidToken(session) + RandParameter(rand);
}

std::string UploadPage(const std::string& base, const LiveSession& session)
{
    return base + "u.php?action=image" + UidToken(session);
}

std::string ActivityPage(const std::string& base, const LiveSession& session, int rand)
{
    return base + "u.php?action=trans_page" + UidToken(session) + RandParameter(rand);
}

std::string NoticesPage(const std::string& base, NoticePage page, const LiveSession& session, int rand)
{
    const char* action = page == NoticePage::Comments ? "comm_page"
        : page == NoticePage::Replies                 ? "reply_page"
                                                      : "atten_page";
    return base + "u.php?action=" + action + UidToken(session) + RandParameter(rand);
}

std::string FeedbackPage(const std::string& base, const LiveSession& session, const std::string& userName)
{
    std::string url = base + "suggestion/?nickname=";
    return session.signedIn ? url + EncodeFeedbackNickname(userName) : url;
}

namespace {
constexpr char kHomePage[] = "http://www.vorlane.example/";
constexpr char kFirstSiteShare[] = "https://share.weiyu.example/index.php";
constexpr char kFirstSiteKey[] = "5c1e0b7a93d24f68a0e7b31c9d52f4a6";
constexpr char kSecondSiteShare[] = "https://open.pengyou.example/share/share.php";
constexpr char kSecondSiteKey[] = "4718203956";
// The share pages decode the nickname's strict escaping.
std::string ShareText(const std::string& utf8) { return EncodeFeedbackNickname(utf8); }

}  // namespace

std::string HomePage() { return kHomePage; }

std::string FirstSiteShare(const std::string& textUtf8)
{
    return std::string(kFirstSiteShare) + "?c=share&a=index&appkey=" + kFirstSiteKey
        + "&url=vorlane&title=" + ShareText(textUtf8) + "&site=" + ShareText(kHomePage);
}

std::string SecondSiteShare(const std::string& textUtf8)
{
    return std::string(kSecondSiteShare) + "?appkey=" + kSecondSiteKey + "&url=" + kHomePage
        + "&title=" + ShareText(textUtf8);
}

int CacheBuster()
{
    thread_local std::minstd_rand generator(
        static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count()));
    return static_cast<int>(generator() & 0x7fff);
}

}  // namespace endpoints
