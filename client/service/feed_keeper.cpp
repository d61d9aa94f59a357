#include "feed_keeper.h"

#include "feed_kinds.h"
#include "platform.h"

#include <cstdio>
#include <memory>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool WriteWhole(const std::string& path, const std::string& text)
{
    std::FILE* raw = platform::OpenFile(path, "wb");
    if (!raw)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), raw) == text.size();
    // A failed flush on close means the disk did not take it all.
    return std::fclose(raw) == 0 && written;
}

}  // namespace

FeedKeeper::FeedKeeper(std::string folder)
    : folder_(std::move(folder))
{
}

std::string FeedKeeper::FolderUnder(const std::string& appDataFolder)
{
    const char sep = platform::kPathSeparator;
    return appDataFolder + sep + "ostrel_quarn" + sep + "feeds" + sep;
}

bool FeedKeeper::Keeps(int kind)
{
    switch (kind) {
    case feed_kind::kMyLiked:
    case feed_kind::kFeatured:
    case feed_kind::kMyFollows:
    case feed_kind::kMyFans:
    case feed_kind::kMyPublished:
    case feed_kind::kHotTags:
    case feed_kind::kCategoryList:
    case feed_kind::kHome:
        return true;
    default:
        return feed_kind::IsCategory(kind);
    }
}

std::string FeedKeeper::PathOf(int kind) const { return folder_ + "feed_" + std::to_string(kind) + ".json"; }

bool FeedKeeper::Keep(int kind, const std::string& answer) const
{
    if (!Keeps(kind) || answer.empty() || answer.size() > kMaxAnswerBytes)
        return false;
    if (!platform::IsDirectory(folder_) && !platform::CreateDirectoryTree(folder_))
        return false;
    const std::string target = PathOf(kind);
    const std::string aside = target + "." + platform::UniqueSuffix() + ".tmp";
    if (!WriteWhole(aside, answer) || !platform::MoveIntoPlace(aside, target)) {
        platform::RemoveFile(aside);
        return false;
    }
    return true;
}

bool FeedKeeper::Load(int kind, std::string& answer) const
{
    if (!Keeps(kind))
        return false;
    const std::string path = PathOf(kind);
    const std::int64_t size = platform::FileSize(path);
    if (size <= 0 || std::uint64_t(size) > kMaxAnswerBytes)
        return false;
    File file(platform::OpenFile(path, "rb"));
    if (!file)
        return false;
    std::string text(std::size_t(size), '\0');
    if (std::fread(text.data(), 1, text.size(), file.get()) != text.size())
        return false;
    answer = std::move(text);
    return true;
}
