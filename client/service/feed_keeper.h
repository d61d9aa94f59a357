#pragma once
#include <cstddef>
#include <string>

// Names one kept answer. A shared feed is the same for everyone and is kept
// by its kind alone; an own list belongs to one user and is paged, so it is
// kept per user and per page, or not at all.
struct KeptAnswerId {
    int kind = 0;
    std::string uid;  // own lists: the uid the request was sent with
    int page = 0;  // own lists: the page the request asked for
};

// The last usable answer of each browsed feed, kept on disk beside the
// picture cache, so the wall still has something to show when the service
// cannot be reached. A file is replaced in one step (written aside, then
// moved over), so a reader or a crash never leaves half an answer behind.
class FeedKeeper {
public:
    // Anything larger is not an answer of these feeds.
    static constexpr std::size_t kMaxAnswerBytes = 4 * 1024 * 1024;
    // A uid is a number; more digits than a 64-bit one has is not a uid.
    static constexpr std::size_t kMaxUidDigits = 20;

    // `folder` ends with the path separator; it is made on the first Keep.
    explicit FeedKeeper(std::string folder);

    // "<application data>/ostrel_quarn/feeds/".
    static std::string FolderUnder(const std::string& appDataFolder);

    // Home, categories and their list, hot tags, featured users, own lists.
    static bool Keeps(int kind);
    // Liked, published, follows and fans of the signed-in user.
    static bool IsOwnList(int kind);
    // The kept file's name within the folder; empty when `id` cannot be kept:
    // a kind that is not kept, or an own list without a uid of digits only or
    // with a negative page. Shared feeds keep the names they always had.
    static std::string FileNameOf(const KeptAnswerId& id);

    // Stores `answer` as the kept one of `id`; the caller has found it usable.
    bool Keep(const KeptAnswerId& id, const std::string& answer) const;
    // False when nothing (or nothing readable within the bound) is kept.
    bool Load(const KeptAnswerId& id, std::string& answer) const;

    const std::string& Folder() const { return folder_; }

private:
    std::string folder_;
};
