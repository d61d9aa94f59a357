#include "feed_kinds.h"
#include "feed_store.h"

#include <gtest/gtest.h>

namespace {

std::shared_ptr<const PictureRecord> Picture(const std::string& shareId)
{
    auto record = std::make_shared<PictureRecord>();
    record->shareId = shareId;
    return record;
}

std::shared_ptr<const PictureComments> CommentsFor(const std::string& shareId)
{
    auto comments = std::make_shared<PictureComments>();
    comments->shareId = shareId;
    comments->comments.push_back({"c1", shareId, "7", "name", "", "", "text", "0", "t"});
    return comments;
}

}  // namespace

TEST(FeedStore, PagerStartsOnPageOneAndMovesWithinItsCount)
{
    FeedStore store;
    EXPECT_EQ(store.CurrentPage(9), 0) << "no pager before the first answer";
    EXPECT_FALSE(store.NextPage(9));
    EXPECT_FALSE(store.PreviousPage(9));
    store.ResetPage(9);
    EXPECT_EQ(store.CurrentPage(9), 0);

    store.UpdatePager(9, 30, 3);
    EXPECT_EQ(store.CurrentPage(9), 1);
    EXPECT_EQ(store.PageCount(9), 3);
    EXPECT_EQ(store.Total(9), 30);
    EXPECT_FALSE(store.PreviousPage(9)) << "never below 1";
    EXPECT_TRUE(store.NextPage(9));
    EXPECT_TRUE(store.NextPage(9));
    EXPECT_EQ(store.CurrentPage(9), 3);
    EXPECT_FALSE(store.NextPage(9)) << "never past the page count";
    EXPECT_EQ(store.CurrentPage(9), 3);

    store.UpdatePager(9, 12, 2);  // a later answer: counts only
    EXPECT_EQ(store.CurrentPage(9), 3);
    EXPECT_EQ(store.PageCount(9), 2);
    EXPECT_TRUE(store.PreviousPage(9));
    EXPECT_EQ(store.CurrentPage(9), 2);
    store.ResetPage(9);
    EXPECT_EQ(store.CurrentPage(9), 1);
    EXPECT_EQ(store.CurrentPage(14), 0) << "pagers are per kind";
}

TEST(FeedStore, FeedListsNeverShrinkAndKeepTheirComments)
{
    FeedStore store;
    const PictureListId list{3, ""};
    for (std::size_t i = 0; i < 3; ++i)
        store.StorePicture(list, i, Picture("a" + std::to_string(i)));
    ASSERT_TRUE(store.StoreComments(list, 1, CommentsFor("a1")));
    auto held = store.Picture(list, 1);

    store.StorePicture(list, 0, Picture("b0"));
    store.StorePicture(list, 1, Picture("b1"));
    EXPECT_EQ(store.PictureCount(list), 3u);
    EXPECT_EQ(store.Picture(list, 0)->shareId, "b0");
    EXPECT_EQ(store.Picture(list, 2)->shareId, "a2") << "the older page's record stays";
    ASSERT_TRUE(store.Comments(list, 1));
    EXPECT_EQ(store.Comments(list, 1)->shareId, "a1") << "a feed list reuses its slot";
    EXPECT_EQ(held->shareId, "a1") << "a held record stays as it was";

    EXPECT_FALSE(store.StoreComments(list, 7, CommentsFor("x")));
    EXPECT_FALSE(store.Picture(list, 7));
    EXPECT_FALSE(store.Picture({4, ""}, 0));
}

TEST(FeedStore, CommentsReachOnlyThePictureTheyWereAskedFor)
{
    // Picture "x" had its comments asked for; a reload put "y" in its slot.
    for (const PictureListId& list : {PictureListId{3, ""}, PictureListId{feed_kind::kUserPictures, "1001"},
             PictureListId{feed_kind::kTagFeed, "sky"}}) {
        FeedStore store;
        store.StorePicture(list, 0, Picture("x"));
        ASSERT_TRUE(store.StoreComments(list, 0, CommentsFor("x")));
        store.StorePicture(list, 0, Picture("y"));
        EXPECT_FALSE(store.Comments(list, 0, "y")) << list.kind << ": x's comments are not y's";
        ASSERT_TRUE(store.StoreComments(list, 0, CommentsFor("y")));
        EXPECT_FALSE(store.StoreComments(list, 0, CommentsFor("x"))) << list.kind << ": a late answer for x";
        ASSERT_TRUE(store.Comments(list, 0, "y"));
        EXPECT_EQ(store.Comments(list, 0, "y")->shareId, "y");
        EXPECT_FALSE(store.Comments(list, 0, "x"));
    }

    FeedStore store;
    store.AwaitCurrentComments("x");
    store.AwaitCurrentComments("y");  // the viewer moved on before x's came
    ASSERT_TRUE(store.StoreCurrentComments(CommentsFor("y")));
    EXPECT_FALSE(store.StoreCurrentComments(CommentsFor("x")));
    ASSERT_TRUE(store.CurrentComments("y"));
    EXPECT_FALSE(store.CurrentComments("x"));
}

TEST(FeedStore, UserAndTagListsStartEachItemAfresh)
{
    FeedStore store;
    for (const PictureListId& list :
        {PictureListId{feed_kind::kUserPictures, "1001"}, PictureListId{feed_kind::kTagFeed, "sky"}}) {
        store.StorePicture(list, 0, Picture("a"));
        store.StorePicture(list, 1, Picture("b"));
        ASSERT_TRUE(store.StoreComments(list, 0, CommentsFor("a")));
        store.StorePicture(list, 0, Picture("c"));
        EXPECT_FALSE(store.Comments(list, 0)) << list.kind;
        EXPECT_EQ(store.PictureCount(list), 2u);
    }
    EXPECT_EQ(store.PictureCount({feed_kind::kTagFeed, "sea"}), 0u) << "tag lists are per tag";
}

TEST(FeedStore, AnswersCategoriesTagsAndUsersAreKeyed)
{
    FeedStore store;
    store.StoreAnswer(8, "1001", "first");
    store.StoreAnswer(8, "1002", "second");
    store.StoreAnswer(8, "1001", "third");
    EXPECT_EQ(*store.Answer(8, "1001"), "third");
    EXPECT_EQ(*store.Answer(8, "1002"), "second");
    EXPECT_FALSE(store.Answer(8, ""));

    store.StoreCategory("1", "gal");
    store.StoreCategory("1", "girls");
    EXPECT_EQ(store.CategoryCode("1"), "girls");
    EXPECT_EQ(store.CategoryCode("2"), "");

    store.StoreHotTag(2, "c");
    EXPECT_EQ(store.HotTagCount(), 3u);
    EXPECT_EQ(store.HotTag(2), "c");
    EXPECT_EQ(store.HotTag(0), "");
    EXPECT_EQ(store.HotTag(5), "");

    auto user = std::make_shared<UserRecord>();
    user->uid = "9";
    store.StoreUser(10, 1, user);
    EXPECT_EQ(store.UserCount(10), 2u);
    EXPECT_FALSE(store.User(10, 0));
    EXPECT_EQ(store.User(10, 1)->uid, "9");
    EXPECT_EQ(store.UserCount(27), 0u);

    UserStats stats;
    EXPECT_FALSE(store.FindUserStats("9", stats));
    store.StoreUserStats("9", {"1", "2", "3", "4"});
    ASSERT_TRUE(store.FindUserStats("9", stats));
    EXPECT_EQ(stats.pictures, "4");
}

TEST(FeedStore, AForgottenKindLeavesTheOthers)
{
    FeedStore store;
    for (const int kind : {feed_kind::kMyLiked, feed_kind::kHome}) {
        store.StorePicture({kind, ""}, 0, Picture("a"));
        store.StoreUser(kind, 0, std::make_shared<UserRecord>());
        store.StoreAnswer(kind, "", "answer");
        store.UpdatePager(kind, 40, 4);
        store.NextPage(kind);
    }
    store.StorePicture({feed_kind::kUserPictures, "1001"}, 0, Picture("b"));
    store.ForgetKind(feed_kind::kMyLiked);
    store.ForgetKind(feed_kind::kMyFans);  // never stored
    EXPECT_EQ(store.PictureCount({feed_kind::kMyLiked, ""}), 0u);
    EXPECT_EQ(store.UserCount(feed_kind::kMyLiked), 0u);
    EXPECT_FALSE(store.Answer(feed_kind::kMyLiked, ""));
    EXPECT_EQ(store.CurrentPage(feed_kind::kMyLiked), 0) << "no pager left";
    EXPECT_EQ(store.PictureCount({feed_kind::kHome, ""}), 1u);
    EXPECT_EQ(store.UserCount(feed_kind::kHome), 1u);
    EXPECT_EQ(store.CurrentPage(feed_kind::kHome), 2);
    EXPECT_EQ(store.PictureCount({feed_kind::kUserPictures, "1001"}), 1u);

    // What a request of the forgotten generation brings is turned away.
    const unsigned old = 0;
    const unsigned now = store.Generation(feed_kind::kMyLiked);
    EXPECT_NE(now, old);
    EXPECT_FALSE(store.StorePicture({feed_kind::kMyLiked, ""}, 0, Picture("late"), old));
    EXPECT_FALSE(store.StoreUser(feed_kind::kMyLiked, 0, std::make_shared<UserRecord>(), old));
    EXPECT_FALSE(store.UpdatePager(feed_kind::kMyLiked, 10, 1, old));
    EXPECT_EQ(store.PictureCount({feed_kind::kMyLiked, ""}), 0u);
    EXPECT_EQ(store.UserCount(feed_kind::kMyLiked), 0u);
    EXPECT_EQ(store.PageCount(feed_kind::kMyLiked), 0);
    EXPECT_TRUE(store.StorePicture({feed_kind::kMyLiked, ""}, 0, Picture("new"), now));
    EXPECT_TRUE(store.StorePicture({feed_kind::kHome, ""}, 1, Picture("home"), old)) << "other kinds keep theirs";
}

TEST(FeedStore, NoticeLabelShowsTheLastChoiceUntilHidden)
{
    FeedStore store;
    EXPECT_EQ(store.VisibleNotice(), NoticeChoice::None);
    store.ShowNotice(NoticeChoice::Replies);
    EXPECT_EQ(store.VisibleNotice(), NoticeChoice::Replies);
    store.HideNotice();
    EXPECT_EQ(store.VisibleNotice(), NoticeChoice::None);
    EXPECT_EQ(store.LastNotice(), NoticeChoice::Replies);
}
