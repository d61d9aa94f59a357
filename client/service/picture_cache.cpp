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

} // namespace

const char* ResolutionSuffixFor(int screenWidth)
{
    if (screenWidth < 1024)
        return "_1024x768";
    if (screenWidth < 1500)
        return "_1400x1050";
    return "_1920x1200";
}

PictureCache::PictureCache(std::string imageFolder, int screenWidth)
    : imageFolder_(std::move(imageFolder)), suffix_(ResolutionSuffixFor(screenWidth))
{
    if (!imageFolder_.empty() && imageFolder_.back() != platform::kPathSeparator)
        imageFolder_ += platform::kPathSeparator;
}

std::string PictureCache::ImageFolderUnder(const std::string& appDataFolder)
{
    const char sep = platform::kPathSeparator;
    return appDataFolder + sep + "ostrel_quarn" + sep + "image" + sep;
}

bool PictureCache::Derive(const std::string& address, PictureNames& names) const
{
    std::string::size_type dot = address.rfind('.');
    if (dot == std::string::npos)
        return false;
    std::string::size_type slash = address.rfind('/');
    std::string::size_type nameStart = slash == std::string::npos ? 0 : slash + 1;
    // The dot of the file part; one in a folder name does not count.
    if (dot < nameStart)
        return false;
    std::string::size_type nameDot = dot - nameStart;

    names.largeUrl.reserve(address.size() + suffix_.size());
    names.largeUrl.assign(address, 0, dot);
    names.largeUrl += suffix_;
    names.largeUrl.append(address, dot, std::string::npos);

    std::string thumbnailName;
    thumbnailName.reserve(address.size() - nameStart + sizeof kThumbnailSuffix);
    thumbnailName.assign(address, nameStart, nameDot);
    thumbnailName += kThumbnailSuffix;
    thumbnailName.append(address, dot, std::string::npos);

    names.thumbnailUrl.reserve(nameStart + thumbnailName.size());
    names.thumbnailUrl.assign(address, 0, nameStart);
    names.thumbnailUrl += thumbnailName;

    names.thumbnailPath = ThumbnailFolder() + platform::kPathSeparator + SafeFileName(thumbnailName);
    names.largePath = LargePictureFolder() + platform::kPathSeparator +
                      SafeFileName(std::string_view(address).substr(nameStart));
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
    return LargePictureFolder() + platform::kPathSeparator + SafeFileName(AfterLastSlash(url));
}

std::string PictureCache::AuthorAvatarPath(const std::string& authorName) const
{
    return imageFolder_ + SafeFileName(authorName + "_avartar.jpg");
}

std::string PictureCache::ListAvatarPath(AvatarFolder folder, const std::string& userName) const
{
    return AvatarFolderPath(folder) + platform::kPathSeparator + SafeFileName(userName + ".jpg");
}

std::string PictureCache::OwnAvatarPath() const { return imageFolder_ + "user_avatar.jpg"; }

std::string PictureCache::ThumbnailFolder() const { return imageFolder_ + "beauties"; }

std::string PictureCache::LargePictureFolder() const { return imageFolder_ + "beauties_l"; }

std::string PictureCache::AvatarFolderPath(AvatarFolder folder) const
{
    return imageFolder_ + AvatarFolderName(folder);
}
