#pragma once
#include <string>

struct SignedInUser;

// Session values for a request. The two types name where they came from, so a
// request cannot be built from the wrong source: ConfigSession is read afresh
// from vlconfig.xml, LiveSession is copied from the signed-in user record.
struct ConfigSession {
    std::string uid;
    std::string token;
    static ConfigSession FromFile(const std::string& configPath);
};

struct LiveSession {
    bool signedIn = false;
    std::string uid;
    std::string token;
    static LiveSession From(const SignedInUser& user);
};

// Builders of full request URLs. `base` ends with "/". Identifiers, tokens and
// page numbers are appended as they are; user text is percent-encoded.
namespace endpoints {

std::string Login(const std::string& base);
std::string LoginBody(const std::string& userName, const std::string& passwordDigest);
std::string Logout(const std::string& base, const LiveSession& session);
std::string OwnStatistics(const std::string& base, const ConfigSession& session);
std::string NoticeCounts(const std::string& base, const LiveSession& session);

std::string CategoryList(const std::string& base, bool signedIn);
std::string CategoryFeed(const std::string& base, const std::string& categoryCode);
std::string HomeFeed(const std::string& base, bool signedIn, const ConfigSession& session);
std::string HotTags(const std::string& base);
std::string TagFeed(const std::string& base, const std::string& tag);
std::string SearchPeople(const std::string& base, const std::string& text, const ConfigSession& session);
std::string FeaturedUsers(const std::string& base, const ConfigSession& session);

std::string MyPublished(const std::string& base, const ConfigSession& session, int page);
std::string MyLiked(const std::string& base, const ConfigSession& session, int page);
std::string MyFollows(const std::string& base, const ConfigSession& session, int page);
std::string FollowsOf(const std::string& base, const ConfigSession& session, const std::string& otherUid, int page);
std::string MyFans(const std::string& base, const ConfigSession& session, int page);
std::string UserPictures(const std::string& base, const std::string& otherUid, int page);
std::string UserStatistics(const std::string& base, const std::string& otherUid);

std::string CommentsInList(const std::string& base, const std::string& shareId, const LiveSession& session);
std::string CurrentComments(const std::string& base, const std::string& shareId);
std::string PictureDetails(const std::string& base, const std::string& shareId);

std::string Follow(const std::string& base, const ConfigSession& session, const std::string& otherUid);
// `parentId` is the replied comment's id, or empty for a top-level comment.
std::string Comment(const std::string& base, const ConfigSession& session, const std::string& shareId,
    const std::string& parentId, const std::string& text);
std::string Like(const std::string& base, const LiveSession& session, const std::string& shareId);
std::string Forward(const std::string& base, const ConfigSession& session);
std::string ForwardBody(const std::string& shareId);

// Web pages. `rand` is the cache buster.
enum class NoticePage { Comments, Replies, Follows };
std::string RegisterPage(const std::string& base);
std::string ForgottenPasswordPage(const std::string& base);
std::string PersonalSettingsPage(const std::string& base, const LiveSession& session, int rand);
std::string UploadPage(const std::string& base, const LiveSession& session);
std::string ActivityPage(const std::string& base, const LiveSession& session, int rand);
std::string NoticesPage(const std::string& base, NoticePage page, const LiveSession& session, int rand);
std::string FeedbackPage(const std::string& base, const LiveSession& session, const std::string& userName);

// The product's home page, and the share pages of the two microblog sites
// for a text in UTF-8; the sites decode every byte that is not an ASCII
// letter or digit from %XX.
std::string HomePage();
std::string FirstSiteShare(const std::string& textUtf8);
std::string SecondSiteShare(const std::string& textUtf8);

// A fresh cache-buster value for the web pages.
int CacheBuster();

}  // namespace endpoints
