#pragma once

// Private window messages the service core sends to the user interface.
enum : unsigned {
    UM_DOWNLOAD_DONE = 3060,      // large picture in place; wParam 0, lParam 0
    UM_DOWNLOAD_PROGRESS = 3062,  // wParam percent, lParam wide target path (valid during the call)
};

// Sent or posted by the feed store, the fetcher and the social actions. Text
// parameters are pointers to UTF-8 std::string objects (the window converts
// them), valid only during a sent message; posted messages carry numbers only.
enum : unsigned {
    UM_SHOW_LARGE_PICTURE = 3037,      // sent; wParam 0, lParam const std::string* large-picture path
    UM_COMMENT_LIST_READY = 3038,      // sent; wParam list kind, lParam index
    UM_COMMENT_POSTED = 3039,          // sent before the comment's UM_ACTION_RESULT; 0, 0
    UM_PICTURE_COMMENTS_READY = 3040,  // posted; wParam list kind of the current picture, lParam -2012
    UM_SHOW_LIST_PICTURE = 3043,       // sent; wParam const std::string* user id, lParam index
    UM_ACTION_RESULT = 3044,           // posted; wParam action kind, lParam outcome
    UM_SHOW_PICTURE_INFO = 3046,       // sent right after UM_SHOW_LARGE_PICTURE; wParam feed kind, lParam index
    UM_FEED_ERROR = 3050,              // sent; 0, 0
    UM_USER_STATS_READY = 3051,        // sent; 0, 0
    UM_PUBLISH_PAGE_READY = 3053,      // sent; wParam 0, lParam number of items sent
    UM_SHOW_ROW_PICTURE = 3054,        // sent; wParam const std::string* tag, lParam index
    UM_AVATAR_CHANGED = 3056,          // posted by the avatar refresh with wParam 0, lParam 1
};
