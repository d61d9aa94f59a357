#pragma once
#include <string>
#include <vector>

// The records the answers fill. Text is UTF-8. A record is published whole
// and never changed afterwards; a later answer publishes a new one.

struct PictureRecord {
    std::string largeUrl;
    std::string thumbnailUrl;
    std::string largePath;
    std::string thumbnailPath;
    std::string authorName;
    std::string avatarUrl;
    std::string avatarPath;
    std::string shareId;
    std::string ownerId;
    std::string content;
    std::string commentCount;
    std::string forwardCount;
    std::string likeCount;
    std::string cityName;
    std::string createTime;
    std::string authorFollowCount;
    std::string authorFanCount;
};

struct CommentRecord {
    std::string commentId;
    std::string shareId;
    std::string authorId;
    std::string authorName;
    std::string avatarUrl;
    std::string avatarPath;
    std::string content;
    std::string parentId;
    std::string time;
};

// The comments stored with one picture.
struct PictureComments {
    std::string shareId;  // the picture they were requested for
    std::string isFollow;  // whether the viewer follows the picture's owner, as sent
    std::vector<CommentRecord> comments;
};

struct UserRecord {
    std::string uid;
    std::string name;
    std::string avatarUrl;
    std::string avatarPath;
    std::string pictureUrl;
    std::string followCount;
    std::string fanCount;
    std::string likeCount;
    std::string pictureCount;
    bool isFollowed = false;
    bool hasShare = false;
};

// Another user's statistics.
struct UserStats {
    std::string follows;
    std::string fans;
    std::string likes;
    std::string pictures;
};

// The picture on show in the viewer.
struct PictureDetails {
    std::string shareId;
    std::string authorName;
    std::string content;
    std::string createTime;  // formatted, local time
    std::string ownerId;
    std::string likeCount;
    std::string commentCount;
    std::string forwardCount;
};

struct Pager {
    int total = 0;
    int pageCount = 0;
    int currentPage = 1;
};

// The signed-in user's own counters, as the user panel shows them.
struct OwnStats {
    std::string published;
    std::string liked;
    std::string follows;
    std::string fans;
    std::string unreadNotices;
};

// Which notice page the user panel's label opens.
enum class NoticeChoice { None = 0, Comments = 1, Replies = 2, Follows = 3 };
