#pragma once
#include <string>
#include <string_view>

// The resolution suffix of every large-picture URL, by primary screen width.
const char* ResolutionSuffixFor(int screenWidth);
// A large-picture URL asked for at another screen width: its resolution
// suffix, when it has one of ours, becomes that width's.
std::string WithResolutionFor(const std::string& largeUrl, int screenWidth);

// The folders of the list avatars below the image folder.
enum class AvatarFolder { Featured, Follows, Fans, Comments };

// Every name derived from a picture address.
struct PictureNames {
    std::string largeUrl;
    std::string thumbnailUrl;
    std::string largePath;
    std::string thumbnailPath;
};

// The per-user picture cache: its folder layout and how every cache path
// and picture URL is derived from what the service sends. Names that come
// from the service go through SafeFileName, so they stay inside the cache.
class PictureCache {
public:
    // `imageFolder` ends with the path separator.
    PictureCache(std::string imageFolder, int screenWidth);

    // "<application data>/ostrel_quarn/image/".
    static std::string ImageFolderUnder(const std::string& appDataFolder);

    const std::string& ImageFolder() const { return imageFolder_; }
    const std::string& ResolutionSuffix() const { return suffix_; }

    // False when the address has no dot in its file part: the item is skipped.
    bool Derive(std::string_view address, PictureNames& names) const;
    std::string ThumbnailUrl(const std::string& address) const;
    std::string LargePictureUrl(const std::string& address) const;
    std::string ThumbnailPath(const std::string& address) const;
    std::string LargePicturePath(const std::string& address) const;
    // "beauties_l/" + the text after the last "/" of `url`.
    std::string LargePicturePathFor(const std::string& url) const;

    // Avatars are named by display name: two users of one name share a file.
    std::string AuthorAvatarPath(const std::string& authorName) const;
    std::string ListAvatarPath(AvatarFolder folder, const std::string& userName) const;
    std::string OwnAvatarPath() const;

    std::string ThumbnailFolder() const;
    std::string LargePictureFolder() const;
    std::string AvatarFolderPath(AvatarFolder folder) const;

private:
    std::string imageFolder_;
    std::string suffix_;
    // "<image folder>beauties/" and "<image folder>beauties_l/".
    std::string thumbnailPrefix_;
    std::string largePrefix_;
};
