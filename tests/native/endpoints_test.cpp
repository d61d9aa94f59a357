#include "endpoints.h"
#include "signed_in_user.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "temp_folder.h"

namespace {

const std::string kBase = "http://svc.test/api/";
const ConfigSession kConfig{"17", "tokC"};
const LiveSession kLive{true, "42", "tokL"};
const LiveSession kSignedOut{false, "42", "tokL"};

struct Case {
    const char* name;
    std::string built;
    std::string expected;
};

}  // namespace

TEST(Endpoints, EveryServiceRequestKeepsItsParameterOrder)
{
    const std::vector<Case> cases = {
        {"login", endpoints::Login(kBase), "user.php?action=c_login"},
        {"logout", endpoints::Logout(kBase, kLive), "user.php?action=c_logout&&uid=42&token=tokL"},
        {"own statistics", endpoints::OwnStatistics(kBase, kConfig), "user.php?action=c_login&token=tokC"},
        {"notice counts", endpoints::NoticeCounts(kBase, kLive), "u.php?action=c_notice&uid=42&token=tokL"},
        {"category list in", endpoints::CategoryList(kBase, true), "u.php?action=c_all"},
        {"category list out", endpoints::CategoryList(kBase, false), "book.php?action=c_all_list"},
        {"category feed", endpoints::CategoryFeed(kBase, "7"), "book.php?action=c_cate&cate=7"},
        {"home in", endpoints::HomeFeed(kBase, true, kConfig), "book.php?action=c_all&uid=17&token=tokC"},
        {"home out", endpoints::HomeFeed(kBase, false, kConfig), "book.php?action=c_all"},
        {"hot tags", endpoints::HotTags(kBase), "book.php?action=c_hot_tag"},
        {"tag feed", endpoints::TagFeed(kBase, "sky"), "book.php?action=c_tag&tag=sky"},
        {"search people", endpoints::SearchPeople(kBase, "li", kConfig),
            "daren.php?action=c_search&sear=li&uid=17&token=tokC"},
        {"featured", endpoints::FeaturedUsers(kBase, kConfig), "daren.php?action=c_daren&uid=17&token=tokC"},
        {"my published", endpoints::MyPublished(kBase, kConfig, 0),
            "u.php?action=c_my_publish&uid=17&token=tokC&page=0"},
        {"my liked", endpoints::MyLiked(kBase, kConfig, 3), "u.php?action=c_my_like&uid=17&token=tokC&page=3"},
        {"my follows", endpoints::MyFollows(kBase, kConfig, 1), "u.php?action=c_follows&uid=17&token=tokC&page=1"},
        {"follows of", endpoints::FollowsOf(kBase, kConfig, "99", 2),
            "u.php?action=c_follows&uid=17&uid2=99&token=tokC&page=2"},
        {"my fans", endpoints::MyFans(kBase, kConfig, 1), "u.php?action=c_fans&uid=17&token=tokC&page=1"},
        {"user pictures", endpoints::UserPictures(kBase, "99", 4), "u.php?action=c_photo&uid=99&page=4"},
        {"user statistics", endpoints::UserStatistics(kBase, "99"), "u.php?action=c_photo&uid=99"},
        {"comments in", endpoints::CommentsInList(kBase, "555", kLive),
            "book.php?action=c_comment_list&id=555&uid=42&token=tokL"},
        {"comments out", endpoints::CommentsInList(kBase, "555", kSignedOut), "book.php?action=c_comment_list&id=555"},
        {"current comments", endpoints::CurrentComments(kBase, "555"), "book.php?action=c_comment_list&id=555"},
        {"details", endpoints::PictureDetails(kBase, "555"), "book.php?action=getShareIdInfo&share_id=555"},
        {"follow", endpoints::Follow(kBase, kConfig, "99"), "u.php?action=c_follow&uid=17&token=tokC&buid=99"},
        {"comment", endpoints::Comment(kBase, kConfig, "555", "", "hi"),
            "u.php?action=c_comment&uid=17&token=tokC&share_id=555&parent_id=0&content=hi"},
        {"reply", endpoints::Comment(kBase, kConfig, "555", "8", "hi"),
            "u.php?action=c_comment&uid=17&token=tokC&share_id=555&parent_id=8&content=hi"},
        {"like", endpoints::Like(kBase, kLive, "555"), "services/service.php?m=share&a=fav&uid=42&token=tokL&id=555"},
        {"forward", endpoints::Forward(kBase, kConfig), "u.php?action=c_reply&uid=17&token=tokC"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.built, kBase + c.expected) << c.name;
}

TEST(Endpoints, BodiesOfTheTwoFormRequests)
{
    EXPECT_EQ(endpoints::ForwardBody("555"), "share_id=555&content=");
    EXPECT_EQ(endpoints::LoginBody("demo@quarn.test", "0cc175b9c0f1b6a831c399e269772661"),
        "username=demo%40quarn.test&password=0cc175b9c0f1b6a831c399e269772661");
}

TEST(Endpoints, WebPagesTakeTheLiveSession)
{
    const std::vector<Case> cases = {
        {"register", endpoints::RegisterPage(kBase), "user.php?action=c_register"},
        {"forgotten", endpoints::ForgottenPasswordPage(kBase), "user.php?action=c_forgetpassword"},
        {"settings", endpoints::PersonalSettingsPage(kBase, kLive, 123),
            "settings.php?action=c_personal&uid=42&token=tokL&rand=123"},
        {"upload", endpoints::UploadPage(kBase, kLive), "u.php?action=image&uid=42&token=tokL"},
        {"activity", endpoints::ActivityPage(kBase, kLive, 5), "u.php?action=trans_page&uid=42&token=tokL&rand=5"},
        {"notice comments", endpoints::NoticesPage(kBase, endpoints::NoticePage::Comments, kLive, 1),
            "u.php?action=comm_page&uid=42&token=tokL&rand=1"},
        {"notice replies", endpoints::NoticesPage(kBase, endpoints::NoticePage::Replies, kLive, 1),
            "u.php?action=reply_page&uid=42&token=tokL&rand=1"},
        {"notice follows", endpoints::NoticesPage(kBase, endpoints::NoticePage::Follows, kLive, 1),
            "u.php?action=atten_page&uid=42&token=tokL&rand=1"},
        {"feedback in", endpoints::FeedbackPage(kBase, kLive, "ab 1"), "suggestion/?nickname=ab%201"},
        {"feedback out", endpoints::FeedbackPage(kBase, kSignedOut, "ab 1"), "suggestion/?nickname="},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.built, kBase + c.expected) << c.name;
    int buster = endpoints::CacheBuster();
    EXPECT_GE(buster, 0);
    EXPECT_LE(buster, 0x7fff);
}

TEST(Endpoints, UserTextCannotInjectParameters)
{
    EXPECT_EQ(
        endpoints::TagFeed(kBase, "rock&roll#1 100%"), kBase + "book.php?action=c_tag&tag=rock%26roll%231%20100%25");
    EXPECT_EQ(endpoints::SearchPeople(kBase, "a&uid=1", kConfig),
        kBase + "daren.php?action=c_search&sear=a%26uid%3D1&uid=17&token=tokC");
    std::string comment = endpoints::Comment(kBase, kConfig, "555", "", "nice & =share_id=1");
    EXPECT_EQ(comment.substr(comment.find("&content=")), "&content=nice%20%26%20%3Dshare_id%3D1");
    // Chinese text the ANSI code page could hold goes as its UTF-8 bytes.
    EXPECT_EQ(
        endpoints::TagFeed(kBase, "\xe9\xa3\x8e\xe6\x99\xaf"), kBase + "book.php?action=c_tag&tag=%E9%A3%8E%E6%99%AF");
}

TEST(Endpoints, MissingSessionValuesLeaveEmptyParameters)
{
    EXPECT_EQ(endpoints::Follow(kBase, ConfigSession{}, "99"), kBase + "u.php?action=c_follow&uid=&token=&buid=99");
}

TEST(Endpoints, SessionsComeFromTheirOwnSources)
{
    TempFolder folder;
    std::string config = folder.Write("vlconfig.xml", "<cfg><login uid=\"17\" token=\"tokC\" username=\"me\"/></cfg>");
    ConfigSession fromFile = ConfigSession::FromFile(config);
    EXPECT_EQ(fromFile.uid, "17");
    EXPECT_EQ(fromFile.token, "tokC");
    EXPECT_EQ(ConfigSession::FromFile(folder.Path("missing.xml")).uid, "");

    SignedInUser user;
    user.signedIn = true;
    user.uid = "42";
    user.token = "tokL";
    LiveSession live = LiveSession::From(user);
    EXPECT_TRUE(live.signedIn);
    EXPECT_EQ(endpoints::Like(kBase, live, "1"), kBase + "services/service.php?m=share&a=fav&uid=42&token=tokL&id=1");
}
