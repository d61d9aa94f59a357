#include "picture_cache.h"

#include "platform.h"
#include "safe_file_name.h"

namespace {

const char kThumbnailSuffix[] = "_160x160";

const char* AvatarFolderName(AvatarFolder folder)
{
    switch (folder) {
    case AvatarFolder::Featured:
        return "daren_avatar";
    case AvatarFolder::Follows:
        return "concern_avtar";
    case AvatarFolder::Fans:
        return "funs_avatar";
    case AvatarFolder::Comments:
        break;
    }
    return "comment_list";
}

std::string AfterLastSlash(const std::string& text)
{
    std::string::size_type slash = text.rfind('/');
    return slash == std::string::npos ? text : text.substr(slash + 1);
}

}  // namespace

const char* ResolutionSuffixFor(int screenWidth)
{
    if (screenWidth < 1024)
        return "_1024x768";
    if (screenWidth < 1500)
        return "_1400x1050";
    return "_1920x1200";
}

std::string WithResolutionFor(const std::string& largeUrl, int screenWidth)
{
    const std::size_t dot = largeUrl.rfind('.');
    const std::size_t slash = largeUrl.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return largeUrl;
    for (const int width : {0, 1024, 1500}) {
        const std::string_view suffix = ResolutionSuffixFor(width);
        if (dot >= suffix.size() && std::string_view(largeUrl).substr(dot - suffix.size(), suffix.size()) == suffix)
            return largeUrl.substr(0, dot - suffix.size()) + ResolutionSuffixFor(screenWidth) + largeUrl.substr(dot);
    }
    return largeUrl;
}

PictureCache::PictureCache(std::string imageFolder, int screenWidth)
    : imageFolder_(std::move(imageFolder))
    , suffix_(ResolutionSuffixFor(screenWidth))
{
    if (!imageFolder_.empty() && imageFolder_.back() != platform::kPathSeparator)
        imageFolder_ += platform::kPathSeparator;
    thumbnailPrefix_ = ThumbnailFolder() + platform::kPathSeparator;
    largePrefix_ = LargePictureFolder() + platform::kPathSeparator;
}

std::string PictureCache::ImageFolderUnder(const std::string& appDataFolder)
{
    const char sep = platform::kPathSeparator;
    return appDataFolder + sep + "ostrel_quarn" + sep + "image" + sep;
}

bool PictureCache::Derive(std::string_view address, PictureNames& names) const
{
    std::size_t dot = address.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    std::size_t slash = address.rfind('/');
    std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    // The dot of the file part; one in a folder name does not count.
    if (dot < nameStart)
        return false;

    const std::string_view whole = address;
    names.largeUrl.reserve(address.size() + suffix_.size());
    names.largeUrl.assign(whole.substr(0, dot));
    names.largeUrl += suffix_;
    names.largeUrl.append(whole.substr(dot));

    // Folder part, then the file name with the thumbnail suffix before its dot.
    names.thumbnailUrl.reserve(address.size() + sizeof kThumbnailSuffix);
    names.thumbnailUrl.assign(whole.substr(0, dot));
    names.thumbnailUrl += kThumbnailSuffix;
    names.thumbnailUrl.append(whole.substr(dot));
    const std::string_view thumbnailName = std::string_view(names.thumbnailUrl).substr(nameStart);

    names.thumbnailPath.reserve(thumbnailPrefix_.size() + thumbnailName.size());
    names.thumbnailPath.assign(thumbnailPrefix_);
    AppendSafeFileName(names.thumbnailPath, thumbnailName);
    names.largePath.reserve(largePrefix_.size() + address.size() - nameStart);
    names.largePath.assign(largePrefix_);
    AppendSafeFileName(names.largePath, whole.substr(nameStart));
    return true;
}

std::string PictureCache::ThumbnailUrl(const std::string& address) const
{
    PictureNames names;
    return Derive(address, names) ? names.thumbnailUrl : std::string();
}

std::string PictureCache::LargePictureUrl(const std::string& address) const
{
    PictureNames names;
    return Derive(address, names) ? names.largeUrl : std::string();
}

std::string PictureCache::ThumbnailPath(const std::string& address) const
{
    PictureNames names;
    return Derive(address, names) ? names.thumbnailPath : std::string();
}

std::string PictureCache::LargePicturePath(const std::string& address) const
{
    PictureNames names;
    return Derive(address, names) ? names.largePath : std::string();
}

std::string PictureCache::LargePicturePathFor(const std::string& url) const
{
    std::string path = largePrefix_;
    AppendSafeFileName(path, AfterLastSlash(url));
    return path;
}

std::string PictureCache::AuthorAvatarPath(const std::string& authorName) const
{
    std::string path;
    path.reserve(imageFolder_.size() + authorName.size() + 16);
    path.assign(imageFolder_);
    AppendSafeFileName(path, authorName, "_avartar.jpg");
    return path;
}

std::string PictureCache::ListAvatarPath(AvatarFolder folder, const std::string& userName) const
{
    std::string path = AvatarFolderPath(folder) + platform::kPathSeparator;
    AppendSafeFileName(path, userName, ".jpg");
    return path;
}

std::string PictureCache::OwnAvatarPath() const { return imageFolder_ + "user_avatar.jpg"; }

std::string PictureCache::ThumbnailFolder() const { return imageFolder_ + "beauties"; }

std::string PictureCache::LargePictureFolder() const { return imageFolder_ + "beauties_l"; }

std::string PictureCache::AvatarFolderPath(AvatarFolder folder) const
{
    return imageFolder_ + AvatarFolderName(folder);
}
