#include "picture_cache.h"
#include "picture_format.h"
#include "platform.h"
#include "safe_file_name.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "local_service.h"
#include "temp_folder.h"

namespace {

const char kSep = platform::kPathSeparator;

std::string Folder() { return std::string("root") + kSep + "image" + kSep; }

// The component after the last separator, and whether the path stays one
// level below `folder` (no separator or parent step in the name).
bool StaysIn(const std::string& path, const std::string& folder)
{
    if (path.compare(0, folder.size(), folder) != 0)
        return false;
    std::string name = path.substr(folder.size());
    return !name.empty() && name.find('/') == std::string::npos && name.find('\\') == std::string::npos && name != "."
        && name != "..";
}

}  // namespace

TEST(PictureCache, ResolutionSuffixFollowsTheScreenWidth)
{
    EXPECT_STREQ(ResolutionSuffixFor(800), "_1024x768");
    EXPECT_STREQ(ResolutionSuffixFor(1023), "_1024x768");
    EXPECT_STREQ(ResolutionSuffixFor(1024), "_1400x1050");
    EXPECT_STREQ(ResolutionSuffixFor(1499), "_1400x1050");
    EXPECT_STREQ(ResolutionSuffixFor(1500), "_1920x1200");
    EXPECT_STREQ(ResolutionSuffixFor(2560), "_1920x1200");
    EXPECT_EQ(PictureCache(Folder(), 1280).ResolutionSuffix(), "_1400x1050");
}

TEST(PictureCache, DerivesUrlsAndPathsFromTheAddress)
{
    PictureCache cache(Folder(), 1280);
    PictureNames names;
    ASSERT_TRUE(cache.Derive("http://h.test/pic/p123.jpg", names));
    EXPECT_EQ(names.largeUrl, "http://h.test/pic/p123_1400x1050.jpg");
    EXPECT_EQ(names.thumbnailUrl, "http://h.test/pic/p123_160x160.jpg");
    EXPECT_EQ(names.thumbnailPath, Folder() + "beauties" + kSep + "p123_160x160.jpg");
    EXPECT_EQ(names.largePath, Folder() + "beauties_l" + kSep + "p123.jpg");
    EXPECT_EQ(cache.ThumbnailUrl("http://h.test/pic/p123.jpg"), names.thumbnailUrl);
    EXPECT_EQ(cache.LargePictureUrl("http://h.test/pic/p123.jpg"), names.largeUrl);
    EXPECT_EQ(cache.ThumbnailPath("http://h.test/pic/p123.jpg"), names.thumbnailPath);
    EXPECT_EQ(cache.LargePicturePath("http://h.test/pic/p123.jpg"), names.largePath);
    EXPECT_EQ(cache.LargePicturePathFor("http://h.test/x/p9_1400x1050.jpg"),
        Folder() + "beauties_l" + kSep + "p9_1400x1050.jpg");
}

TEST(PictureCache, OnlyTheDotOfTheFileNameCounts)
{
    PictureCache cache(Folder(), 1023);
    PictureNames names;
    ASSERT_TRUE(cache.Derive("http://img.h.test/v1.2/p.jpg", names));
    EXPECT_EQ(names.thumbnailUrl, "http://img.h.test/v1.2/p_160x160.jpg");
    EXPECT_EQ(names.largeUrl, "http://img.h.test/v1.2/p_1024x768.jpg");
    EXPECT_EQ(names.thumbnailPath, Folder() + "beauties" + kSep + "p_160x160.jpg");

    EXPECT_FALSE(cache.Derive("http://img.h.test/v1.2/picture", names)) << "no dot in the file name";
    EXPECT_FALSE(cache.Derive("http://nodot/", names));
    EXPECT_FALSE(cache.Derive("http", names));
}

TEST(PictureCache, FolderLayoutUsesTheFixedNames)
{
    PictureCache cache(Folder(), 1024);
    EXPECT_EQ(PictureCache::ImageFolderUnder("A"), std::string("A") + kSep + "ostrel_quarn" + kSep + "image" + kSep);
    EXPECT_EQ(cache.AuthorAvatarPath("lina"), Folder() + "lina_avartar.jpg");
    EXPECT_EQ(cache.ListAvatarPath(AvatarFolder::Featured, "lina"), Folder() + "daren_avatar" + kSep + "lina.jpg");
    EXPECT_EQ(cache.ListAvatarPath(AvatarFolder::Follows, "lina"), Folder() + "concern_avtar" + kSep + "lina.jpg");
    EXPECT_EQ(cache.ListAvatarPath(AvatarFolder::Fans, "lina"), Folder() + "funs_avatar" + kSep + "lina.jpg");
    EXPECT_EQ(cache.ListAvatarPath(AvatarFolder::Comments, "lina"), Folder() + "comment_list" + kSep + "lina.jpg");
    EXPECT_EQ(cache.OwnAvatarPath(), Folder() + "user_avatar.jpg");
    EXPECT_EQ(
        PictureCache("no-separator", 1024).OwnAvatarPath(), std::string("no-separator") + kSep + "user_avatar.jpg");
}

TEST(SafeFileName, PlainNamesStayAsTheyAre)
{
    for (const char* plain : {"p123_160x160.jpg", "lina.jpg", "\xE9\x98\xBF\xE6\x9C\xA8.jpg", "a b.jpg", "console.jpg",
             "com10.jpg", "lpt.jpg", ".hidden", "a..b", "nul_avartar.jpg", "jos\xC3\xA9", "l\xC7\x9A\xC4\x81"})
        EXPECT_EQ(SafeFileName(plain), plain) << plain;
}

TEST(SafeFileName, UnsafeNamesCannotLeaveTheFolderOrNameADevice)
{
    const std::vector<std::string> unsafe = {"..", ".", "../../evil.jpg", "..\\..\\evil.jpg", "a/b.jpg", "a\\b.jpg",
        "C:evil.jpg", "c:\\x.jpg", "CON", "con.jpg", "Nul.txt", "AUX", "PRN.jpg", "COM1.jpg", "lpt9", "COM\xC2\xB9.jpg",
        "CON .jpg", "name.", "name ", "a<b>.jpg", "q?.jpg", "star*.jpg", "pipe|.jpg", "quote\".jpg", "tab\t.jpg",
        "bad\xFF.jpg", "cut\xE9\x98.jpg", "50%.jpg", ""};
    std::set<std::string> seen;
    for (const std::string& name : unsafe) {
        std::string safe = SafeFileName(name);
        EXPECT_NE(safe, name) << name;
        EXPECT_EQ(safe.find_first_of("/\\:<>?*|\""), std::string::npos) << name << " -> " << safe;
        EXPECT_NE(safe, ".");
        EXPECT_NE(safe, "..");
        EXPECT_TRUE(safe.back() != '.' && safe.back() != ' ') << safe;
        for (unsigned char c : safe)
            EXPECT_GE(c, 0x20) << name;
        EXPECT_TRUE(seen.insert(safe).second) << "collision for " << name << " -> " << safe;
    }
    EXPECT_EQ(SafeFileName("con.jpg").substr(3), "on.jpg") << "only the first letter is escaped";
}

TEST(SafeFileName, DifferentNamesNeverShareAFile)
{
    // Pairs that a plain replacement of unsafe characters would merge.
    const std::vector<std::pair<std::string, std::string>> pairs = {{"a/b", "a\\b"}, {"a/b", "a_b"}, {"a/b", "a%2Fb"},
        {"a:b", "a%3Ab"}, {"x.", "x%2E"}, {"..", ".%2E"}, {"CON", "%43ON"}, {"", "%"}, {"a%b", "a%25b"}};
    for (const auto& pair : pairs)
        EXPECT_NE(SafeFileName(pair.first), SafeFileName(pair.second)) << pair.first << " / " << pair.second;
}

TEST(SafeFileName, NamesThatDifferOnlyInCaseNeverShareAFile)
{
    // Windows takes `lower` for `upper` in a name; so may a file system
    // that ignores case for `second` and `first`.
    struct Case {
        std::string first;
        std::string second;
        const char* lower;
        const char* upper;
    };
    const Case kCases[] = {
        {std::string(300, 'A') + ".jpg", std::string(300, 'a') + ".jpg", "", ""},
        {"\xC5\xBF.jpg", "s.jpg", "\xC5\xBF", "S"},  // long s
        {"\xC4\xB1", "i", "\xC4\xB1", "I"},  // dotless i
        {"\xE2\x84\xAA", "k", "\xE2\x84\xAA", "K"},  // Kelvin sign
        {"\xEF\xBC\xA1", "\xEF\xBD\x81", "\xEF\xBD\x81", "\xEF\xBC\xA1"},  // full-width A
        {"\xD0\x9B\xD0\xB8", "\xD0\xBB\xD0\xB8", "\xD0\xBB", "\xD0\x9B"},  // Cyrillic
        {"\xC3\x89.jpg", "\xC3\xA9.jpg", "\xC3\xA9", "\xC3\x89"},
        {"P.jpg", "p.jpg", "", ""},
        {"Lina", "lina", "", ""},
        {"a%2Fb", "a%2fb", "", ""},
    };
    auto fold = [](std::string name, const Case& c) {
        for (std::size_t at; *c.lower && (at = name.find(c.lower)) != std::string::npos;)
            name.replace(at, std::strlen(c.lower), c.upper);
        for (char& ch : name)
            ch = char(std::toupper(static_cast<unsigned char>(ch)));
        return name;
    };
    TempFolder folder;
    for (const Case& c : kCases) {
        std::string first = SafeFileName(c.first);
        std::string second = SafeFileName(c.second);
        EXPECT_NE(fold(first, c), fold(second, c)) << c.first << " / " << c.second << ": " << first;
        // And on this file system, which ignores case on Windows.
        folder.Write(first, "1");
        folder.Write(second, "2");
        EXPECT_EQ(TempFolder::Read(folder.Path(first)), "1") << c.first << " / " << c.second;
    }
}

TEST(SafeFileName, LongNamesAreCutWithAHashAndKeepTheirExtension)
{
    std::string a(300, 'a');
    std::string b = a;
    b[299] = 'b';
    std::string safeA = SafeFileName(a + ".jpg");
    std::string safeB = SafeFileName(b + ".jpg");
    EXPECT_LE(safeA.size(), 120u);
    EXPECT_NE(safeA, safeB);
    EXPECT_EQ(safeA.substr(safeA.size() - 4), ".jpg");
    EXPECT_NE(safeA.find("%~"), std::string::npos);

    // A cut never splits a character.
    std::string wide;
    for (int i = 0; i < 60; ++i)
        wide += "\xE5\x9B\xBE";
    std::string safe = SafeFileName(wide);
    std::string prefix = safe.substr(0, safe.find("%~"));
    EXPECT_EQ(prefix.size() % 3, 0u);
    EXPECT_EQ(SafeFileName(prefix), prefix) << "the kept prefix is whole UTF-8";
}

TEST(PictureCache, ServiceNamesStayInsideTheCache)
{
    PictureCache cache(Folder(), 1280);
    for (const char* name : {"../../evil", "..\\..\\evil", "a/b", "C:\\Windows\\x", "CON", "NUL", "..", "x:y"}) {
        std::string author = cache.AuthorAvatarPath(name);
        EXPECT_TRUE(StaysIn(author, Folder())) << name << " -> " << author;
        std::string listed = cache.ListAvatarPath(AvatarFolder::Fans, name);
        EXPECT_TRUE(StaysIn(listed, Folder() + "funs_avatar" + kSep)) << name << " -> " << listed;
    }
    EXPECT_NE(cache.AuthorAvatarPath("a/b"), cache.AuthorAvatarPath("a\\b"));
    EXPECT_NE(cache.ListAvatarPath(AvatarFolder::Comments, "CON"), cache.ListAvatarPath(AvatarFolder::Comments, "con"));

    PictureNames names;
    ASSERT_TRUE(cache.Derive("http://h.test/x/..\\..\\evil.jpg", names));
    EXPECT_TRUE(StaysIn(names.largePath, Folder() + "beauties_l" + kSep)) << names.largePath;
    EXPECT_TRUE(StaysIn(names.thumbnailPath, Folder() + "beauties" + kSep)) << names.thumbnailPath;
    EXPECT_EQ(names.thumbnailUrl, "http://h.test/x/..\\..\\evil_160x160.jpg") << "the URL keeps what was sent";
    ASSERT_TRUE(cache.Derive("http://h.test/p.jpg?x=C:\\y", names));
    EXPECT_TRUE(StaysIn(names.largePath, Folder() + "beauties_l" + kSep)) << names.largePath;
}

TEST(PictureFormat, OnlyAPictureRunningToItsEndMarkerIsWhole)
{
    using namespace std::string_literals;
    const std::string jpegHead = "\xFF\xD8\xFF\xE0\x00\x06JFIF\xFF\xDB\x00\x03\x01"s;
    const std::string scan = "\xFF\xDA\x00\x04\x01\x02\x12\xFF\x00\x34\xFF\xD0\x56\xFF\xFF\xD1\x78"s;
    const std::string jpeg = jpegHead + scan + "\xFF\xD9"s;
    const std::string png = "\x89PNG\r\n\x1A\n"s + "\x00\x00\x00\x02IHDRab...."s + "\x00\x00\x00\x00IEND...."s;
    // Screen with a two-colour table, a control extension, one image, the trailer.
    std::string gif = "GIF89a\x01\x00\x01\x00\x80\x00\x00"s + "abcdef";
    gif += "\x21\xF9\x02"s + "ab\x00"s;
    gif += "\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02xy\x00\x3B"s;
    const std::string real = LocalService::Fetch("pictures/gal/p5001.jpg");
    ASSERT_GT(real.size(), 1000u);
    // Frames by their claimed size: a few bytes of header can ask for 1.6 GB.
    auto jpegOf = [&](const std::string& side) {
        return jpegHead + "\xFF\xC0\x00\x0B\x08"s + side + side + "\x01\x01\x11\x00"s + scan + "\xFF\xD9"s;
    };
    auto pngOf = [](const std::string& side) {
        return "\x89PNG\r\n\x1A\n\x00\x00\x00\x0DIHDR\x00\x00"s + side + "\x00\x00"s + side
            + "\x08\x02\x00\x00\x00...."s + "\x00\x00\x00\x00IEND...."s;
    };
    auto gifOf = [](const std::string& side) { return "GIF89a"s + side + side + "\x00\x00\x00\x3B"s; };
    const std::string side160 = "\x00\xA0"s, side20000 = "\x4E\x20"s;
    const std::string gifSide160 = "\xA0\x00"s, gifSide20000 = "\x20\x4E"s;
    struct Case {
        const char* name;
        std::string bytes;
        bool whole;
    };
    const Case kCases[] = {
        {"empty", "", false},
        {"error page", "<html><h1>Bad Request (Invalid Hostname)</h1></html>", false},
        {"jpeg cut in its scan", jpeg.substr(0, jpeg.size() - 2), false},
        {"jpeg cut in a segment", jpegHead.substr(0, 9), false},
        {"jpeg segment longer than the file", "\xFF\xD8\xFF\xE1\x7F\xFF\xFF\xD9"s, false},
        {"jpeg with a stray byte between segments", jpegHead + "x"s + scan + "\xFF\xD9"s, false},
        {"png without its end chunk", png.substr(0, png.size() - 12), false},
        {"png chunk longer than the file", "\x89PNG\r\n\x1A\n\x00\x01\x00\x00IDAT"s + "\x00\x00\x00\x00IEND...."s,
            false},
        {"gif without its trailer", gif.substr(0, gif.size() - 1), false},
        {"gif with an unknown block", gif.substr(0, gif.size() - 1) + "\x99\x3B"s, false},
        {"bitmap", "BM\x06\x00\x00\x00", false},
        {"half a real picture", real.substr(0, real.size() / 2), false},
        {"real picture", real, true},
        {"jpeg with stuffed bytes, restarts and fill bytes", jpeg, true},
        {"jpeg with bytes after its end", jpeg + std::string(5000, '\xFF'), true},
        {"png", png, true},
        {"gif", gif, true},
        {"jpeg frame of 160 square", jpegOf(side160), true},
        {"jpeg frame of 20000 square", jpegOf(side20000), false},
        {"png of 160 square", pngOf(side160), true},
        {"png of 20000 square", pngOf(side20000), false},
        {"gif of 160 square", gifOf(gifSide160), true},
        {"gif of 20000 square", gifOf(gifSide20000), false},
    };
    TempFolder folder;
    for (const Case& c : kCases) {
        EXPECT_EQ(IsWholePicture(folder.Write("p", c.bytes)), c.whole) << c.name;
        EXPECT_EQ(IsWholePictureData(c.bytes), c.whole) << c.name << " in memory";
    }
    EXPECT_FALSE(IsWholePicture(folder.Path("missing"))) << "missing file";
}
