#pragma once
#include <cstddef>
#include <string>

// The last usable answer of each browsed feed, kept on disk beside the
// picture cache, so the wall still has something to show when the service
// cannot be reached. A file is replaced in one step (written aside, then
// moved over), so a reader or a crash never leaves half an answer behind.
class FeedKeeper {
public:
    // Anything larger is not an answer of these feeds.
    static constexpr std::size_t kMaxAnswerBytes = 4 * 1024 * 1024;

    // `folder` ends with the path separator; it is made on the first Keep.
    explicit FeedKeeper(std::string folder);

    // "<application data>/ostrel_quarn/feeds/".
    static std::string FolderUnder(const std::string& appDataFolder);

    // Home, categories and their list, hot tags, featured users, own lists.
    static bool Keeps(int kind);

    // Stores `answer` as the kind's kept one; the caller has found it usable.
    bool Keep(int kind, const std::string& answer) const;
    // False when nothing (or nothing readable within the bound) is kept.
    bool Load(int kind, std::string& answer) const;

    const std::string& Folder() const { return folder_; }

private:
    std::string PathOf(int kind) const;

    std::string folder_;
};
