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

bool IsUidForName(const std::string& uid)
{
    if (uid.empty() || uid.size() > FeedKeeper::kMaxUidDigits)
        return false;
    for (const char c : uid) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
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
    case feed_kind::kFeatured:
    case feed_kind::kHotTags:
    case feed_kind::kCategoryList:
    case feed_kind::kHome:
        return true;
    default:
        return feed_kind::IsCategory(kind) || IsOwnList(kind);
    }
}

bool FeedKeeper::IsOwnList(int kind) { return feed_kind::IsOwnList(kind); }

std::string FeedKeeper::FileNameOf(const KeptAnswerId& id)
{
    if (!Keeps(id.kind))
        return {};
    const std::string kind = "feed_" + std::to_string(id.kind);
    if (!IsOwnList(id.kind))
        return kind + ".json";
    // The uid goes into the name as it is, so only digits may: nothing else
    // can climb out of the folder or name a device.
    if (!IsUidForName(id.uid) || id.page < 0)
        return {};
    return kind + "_u" + id.uid + "_p" + std::to_string(id.page) + ".json";
}

bool FeedKeeper::Keep(const KeptAnswerId& id, const std::string& answer) const
{
    const std::string name = FileNameOf(id);
    if (name.empty() || answer.empty() || answer.size() > kMaxAnswerBytes)
        return false;
    if (!platform::IsDirectory(folder_) && !platform::CreateDirectoryTree(folder_))
        return false;
    const std::string target = folder_ + name;
    const std::string aside = target + "." + platform::UniqueSuffix() + ".tmp";
    if (!WriteWhole(aside, answer) || !platform::MoveIntoPlace(aside, target)) {
        platform::RemoveFile(aside);
        return false;
    }
    return true;
}

bool FeedKeeper::Load(const KeptAnswerId& id, std::string& answer) const
{
    const std::string name = FileNameOf(id);
    if (name.empty())
        return false;
    const std::string path = folder_ + name;
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
