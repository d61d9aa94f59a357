#pragma once

// Private window messages the service core sends to the user interface.
enum : unsigned {
    UM_DOWNLOAD_DONE = 3060,  // large picture in place; wParam 0, lParam 0
    UM_DOWNLOAD_PROGRESS = 3062,  // wParam percent, lParam wide target path (valid during the call)
    UM_PICTURE_ARRIVED = 3063,  // posted: a download put a file in place; wParam LandedPictureKey(path), 0
};

// Sent or posted by the feed store, the fetcher and the social actions. Text
// parameters are pointers to UTF-8 std::string objects (the window converts
// them), valid only during a sent message; posted messages carry numbers only.
enum : unsigned {
    UM_SHOW_LARGE_PICTURE = 3037,  // sent; wParam 0, lParam const std::string* large-picture path
    UM_COMMENT_LIST_READY = 3038,  // sent; wParam list kind, lParam index
    UM_COMMENT_POSTED = 3039,  // sent before the comment's UM_ACTION_RESULT; 0, 0
    UM_PICTURE_COMMENTS_READY = 3040,  // posted; wParam list kind of the current picture, lParam -2012
    UM_SHOW_LIST_PICTURE = 3043,  // sent; wParam const std::string* user id, lParam index
    UM_ACTION_RESULT = 3044,  // posted; wParam action kind, lParam outcome
    UM_SHOW_PICTURE_INFO = 3046,  // sent right after UM_SHOW_LARGE_PICTURE; wParam feed kind, lParam index
    UM_FEED_ERROR = 3050,  // sent; 0, 0
    UM_USER_STATS_READY = 3051,  // sent; 0, 0
    UM_PUBLISH_PAGE_READY = 3053,  // sent; wParam 0, lParam number of items sent
    UM_SHOW_ROW_PICTURE = 3054,  // sent; wParam const std::string* tag, lParam index
    UM_AVATAR_CHANGED = 3056,  // posted by the avatar refresh with wParam 0, lParam 1
    UM_FEED_OFFLINE = 3070,  // posted; wParam 1 a kept answer is shown, 0 any usable answer came; lParam kind
    UM_PICTURE_DETAILS_READY = 3071,  // posted once a picture's details are stored; 0, 0
    UM_HOME_PAGE_STORED = 3073,  // posted once a home page with pictures is stored; 0, 0
};

// UM_SHOW_LARGE_PICTURE's wParam that first puts the strip's scrolling to rest.
constexpr unsigned kResetStripScroll = 2012;

// The main window's own traffic: the shell, its controls, the login and web
// windows and the tray menu. Wide text pointers, valid during the call.
// UM_LOGIN_STATE (19033) is declared with the login flow.
enum : unsigned {
    UM_TRAY_NOTIFY = 2545,  // tray icon callback; lParam the mouse message
    UM_TAB_NOTIFY = 2560,  // sent by the tab; wParam kind, lParam its notification record
    UM_UPDATE_COMMENT_VIEW = 3042,  // sent by the viewer, posted by UM_SHOW_HOME_PICTURE; 0, 0
    UM_LEAVE_FULL_VIEW = 3045,  // sent; 0, 0
    UM_START_LOGIN = 3047,  // posted at start-up; 0, 0
    UM_OPEN_WEB_PAGE = 3048,  // sent; wParam const wchar_t* URL
    UM_SHOW_HOME_PICTURE = 3049,  // the home feed's first picture; 0, 0
    UM_SHOW_OWN_PICTURE = 3052,  // wParam index in the own list
    UM_SHOW_FIRST_CATEGORY = 3055,  // category feed 0's first picture; 0, 0
    UM_SHOW_AUTHOR_PICTURES = 3057,  // sent by the strip; 0, 0
    UM_OPEN_PICTURE_COMMENTS = 3058,  // sent; wParam, lParam const wchar_t*
    UM_OPEN_NOTICE_REPLY = 3059,  // as UM_OPEN_PICTURE_COMMENTS
    UM_ADD_TRAY_ICON = 3072,  // posted at creation, taken after the first paint; 0, 0
    UM_TRAY_COMMAND = 35879,  // posted by the tray menu; wParam 0, lParam the item
};

// Command identifiers of the main window's controls (WM_COMMAND).
enum : unsigned short {
    CMD_USER_NAME = 41,
    CMD_NOTICE = 48,
    CMD_INVITE = 49,
    CMD_SEARCH_CHOICE = 50,
    CMD_WALLPAPER = 1844,
    CMD_COMMENT_HEADER = 1845,
    CMD_LIKE = 1847,
    CMD_FORWARD = 1848,
    CMD_COMMENT = 1849,
    CMD_FOLLOW = 1856,
    CMD_AUTHOR_AVATAR = 1858,
    CMD_CONFIRM = 1859,
    CMD_CANCEL_INPUT = 1860,
    CMD_ALSO_COMMENT = 1861,
    CMD_UNFOLLOW = 1862,
    CMD_PIN = 1863,
    CMD_COMMENT_SCROLL = 1864,  // the comment list's scroll bar
    CMD_COMMENT_TEXT = 1865,  // the comment input's field, in its own pop-up
    CMD_FIRST_CATEGORY = 2001,  // to 2008
    CMD_LAST_CATEGORY = 2008,
    CMD_LOGIN = 2012,
    CMD_REGISTER = 2013,
    CMD_SEARCH_FIELD = 2014,
    CMD_UPLOAD = 2023,
    CMD_SEARCH = 2024,
    CMD_AVATAR = 2025,
    CMD_FIRST_USER_MENU = 2026,  // to 2030, and 2049
    CMD_LAST_USER_MENU = 2030,
    CMD_STRIP_NEXT = 2031,
    CMD_VIEWER_MINIMIZE = 2032,
    CMD_STRIP_BEFORE = 2033,
    CMD_FULL_VIEW = 2034,
    CMD_VIEWER_PREVIOUS = 2035,
    CMD_VIEWER_NEXT = 2036,
    CMD_OWN_PREVIOUS = 2037,
    CMD_OWN_NEXT = 2038,
    CMD_VIEWER_CLOSE = 2039,
    CMD_PERSON_PUBLISHED = 2042,
    CMD_PERSON_FOLLOWS = 2043,
    CMD_SIGN_OUT = 2044,
    CMD_USER_LIST_PREVIOUS = 2045,
    CMD_USER_LIST_NEXT = 2046,
    CMD_USER_MENU_LAST = 2049,
};
