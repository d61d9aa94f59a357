#include "http_transport.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "json_text.h"
#include "local_service.h"
#include "platform.h"
#include "temp_folder.h"

namespace {

// Short limits so a silent server costs seconds, not the default half minute.
const TransferLimits kQuickLimits{2000, 1, 2};

// A picture address of the sample content, found the way the client finds one.
std::string SamplePictureUrl()
{
    std::string base = LocalService::BaseUrl();
    std::string list;
    PostFormWithTimeout(base + "book.php?action=c_all_list", "", list);
    Json::Value categories = JsonOf(list);
    if (!categories.isArray() || categories.empty())
        return {};
    std::string feed;
    PostFormWithTimeout(base + "book.php?action=c_cate&cate=" + categories[0]["cate_code"].asString(), "", feed);
    Json::Value page = JsonOf(feed);
    if (!page.isObject() || !page["image_list"].isArray() || page["image_list"].empty())
        return {};
    return page["image_list"][0]["url"].asString();
}

std::string PathOf(const std::string& url)
{
    std::string::size_type scheme = url.find("://");
    std::string::size_type slash = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    return slash == std::string::npos ? std::string() : url.substr(slash + 1);
}

bool WaitForValidFile(const std::string& path)
{
    for (int i = 0; i < 200; ++i) {
        if (IsValidCachedFile(path))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return false;
}

// The names in a folder, to see that a refused transfer left nothing behind.
std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    return names;
}

class TransportTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(LocalService::Reset()) << "local service not reachable"; }
    void TearDown() override { LocalService::Reset(); }
    TempFolder folder_;
};

}  // namespace

TEST_F(TransportTest, EmptyBodyIsStillAPostWithContentLengthZero)
{
    std::string answer;
    EXPECT_EQ(PostFormWithTimeout(LocalService::BaseUrl() + "book.php?action=c_hot_tag", "", answer), 0);
    EXPECT_TRUE(JsonOf(answer).isMember("tag_list")) << answer;

    Json::Value log = LocalService::RequestLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0]["method"].asString(), "POST");
    EXPECT_EQ(log[0]["query"].asString(), "action=c_hot_tag");
    EXPECT_EQ(log[0]["body"].asString(), "");
    const Json::Value& headers = log[0]["headers"];
    std::string length = headers.isMember("Content-Length") ? headers["Content-Length"].asString()
                                                            : headers["content-length"].asString();
    EXPECT_EQ(length, "0");
}

TEST_F(TransportTest, FormBodyArrivesAsSent)
{
    std::string answer;
    std::string body = "share_id=1&content=";
    EXPECT_EQ(PostForm(LocalService::BaseUrl() + "u.php?action=c_reply&uid=&token=", body, answer), 0);
    Json::Value log = LocalService::RequestLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0]["body"].asString(), body);
}

TEST_F(TransportTest, NoAnswerLeavesTheBufferEmpty)
{
    std::string answer;
    EXPECT_EQ(PostFormWithTimeout("http://127.0.0.1:1/book.php?action=c_hot_tag", "", answer, kQuickLimits), 0);
    EXPECT_TRUE(answer.empty());

    ASSERT_TRUE(LocalService::SetFault("down"));
    EXPECT_EQ(PostForm(LocalService::BaseUrl() + "book.php?action=c_hot_tag", "", answer, kQuickLimits), 0);
    EXPECT_TRUE(answer.empty());
}

// Only a whole answer within the size cap reaches the caller, who then
// judges its content.
TEST_F(TransportTest, AnswerArrivesOnlyWholeAndWithinTheCap)
{
    struct Case {
        const char* mode;
        bool kept;
    };
    const Case kCases[] = {
        {"huge", false},  // valid JSON, far past the cap, length not announced
        {"short", false},  // cut off before its announced length
        {"badjson", true},
        {"nolength", true},
    };
    for (const Case& c : kCases) {
        ASSERT_TRUE(LocalService::SetFault(c.mode));
        std::string answer;
        EXPECT_EQ(
            PostFormWithTimeout(LocalService::BaseUrl() + "book.php?action=c_hot_tag", "", answer, kQuickLimits), 0);
        EXPECT_EQ(!answer.empty(), c.kept) << c.mode << ": " << answer.size() << " bytes";
        EXPECT_LE(answer.size(), kMaxAnswerBytes) << c.mode;
    }
}

TEST_F(TransportTest, DownloadResultsSayWhatHappened)
{
    const std::string picture = SamplePictureUrl();
    ASSERT_FALSE(picture.empty());
    struct Case {
        const char* mode;
        std::string url;
        std::string target;
        int curlCode;
        long httpStatus;
        bool written;
        int oldResult;
    };
    const Case kCases[] = {
        // A thumbnail is held until it is whole: the transfer went well, the
        // file had nowhere to go.
        {"normal", picture, folder_.Path("no-folder/a.jpg"), CURLE_OK, 200, false, -1},
        {"normal", LocalService::BaseUrl() + "pictures/big20mb.jpg", folder_.Path("no-folder/big.jpg"),
            CURLE_WRITE_ERROR, 200, false, -1},
        {"normal", LocalService::BaseUrl() + "pictures/none.jpg", folder_.Path("b.jpg"), CURLE_HTTP_RETURNED_ERROR, 404,
            false, 0},
        {"short", picture, folder_.Path("c.jpg"), CURLE_PARTIAL_FILE, 200, false, 0},
        {"html", picture, folder_.Path("d.jpg"), CURLE_OK, 200, false, 0},  // an error page sent as success
        {"normal", picture, folder_.Path("e.jpg"), CURLE_OK, 200, true, 0},
    };
    for (const Case& c : kCases) {
        ASSERT_TRUE(LocalService::SetFault(c.mode));
        DownloadResult result = DownloadFile(c.url, c.target, kQuickLimits);
        EXPECT_EQ(result.curlCode, c.curlCode) << c.target;
        EXPECT_EQ(result.httpStatus, c.httpStatus) << c.target;
        EXPECT_EQ(result.written, c.written) << c.target;
        EXPECT_EQ(platform::FileExists(c.target), c.written) << c.target;
        EXPECT_EQ(DownloadToFile(c.url, c.target, kQuickLimits), c.oldResult) << c.target;
    }
}

TEST_F(TransportTest, SilentServerReleasesTheWorker)
{
    ASSERT_TRUE(LocalService::SetFault("silent"));
    std::string answer;
    // Without a low-speed limit this call would never return.
    EXPECT_EQ(PostForm(LocalService::BaseUrl() + "book.php?action=c_hot_tag", "", answer, kQuickLimits), 0);
    EXPECT_TRUE(answer.empty());
    EXPECT_EQ(
        DownloadToFile(LocalService::BaseUrl() + "book.php?action=c_hot_tag", folder_.Path("x.jpg"), kQuickLimits), 0);
    EXPECT_FALSE(platform::FileExists(folder_.Path("x.jpg")));
}

TEST_F(TransportTest, DownloadWritesTheWholePictureAndNothingElse)
{
    std::string url = SamplePictureUrl();
    ASSERT_NE(url.find("http"), std::string::npos);
    std::string target = folder_.Path("picture.jpg");
    EXPECT_EQ(DownloadToFile(url, target), 0);
    std::string expected = LocalService::Fetch(PathOf(url));
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(folder_.Read(target), expected);
    EXPECT_TRUE(IsValidCachedFile(target));

    ASSERT_TRUE(LocalService::SetFault("nolength"));
    std::string closeDelimited = folder_.Path("nolength.jpg");
    DownloadToFile(url, closeDelimited);
    EXPECT_EQ(folder_.Read(closeDelimited), expected);
}

// A thumbnail is held in memory until it is known whole; a picture larger
// than what is held goes to its file as it comes.
TEST_F(TransportTest, SmallAndLargePicturesLandByteForByte)
{
    const std::string sample = SamplePictureUrl();
    ASSERT_NE(sample.find("http"), std::string::npos);
    const std::string pictures[] = {PathOf(sample), "pictures/big20mb.jpg"};
    for (const std::string& path : pictures) {
        const std::string target = folder_.Path("landed.jpg");
        const DownloadResult result = DownloadFile(LocalService::BaseUrl() + path, target, kQuickLimits);
        EXPECT_TRUE(result.written) << path;
        const std::string expected = LocalService::Fetch(path);
        ASSERT_FALSE(expected.empty()) << path;
        EXPECT_EQ(folder_.Read(target).size(), expected.size()) << path;
        EXPECT_TRUE(folder_.Read(target) == expected) << path;
        EXPECT_TRUE(platform::RemoveFile(target)) << path;
    }
}

TEST_F(TransportTest, FailedDownloadsWriteNothing)
{
    std::string url = SamplePictureUrl();
    ASSERT_FALSE(url.empty());
    struct Fault {
        const char* mode;
        const char* file;
    };
    // truncjpeg: a transfer that is whole, of a picture that is not; bomb: a
    // header that claims 20000 x 20000 pixels.
    for (Fault fault : {Fault{"html", "html.jpg"}, Fault{"short", "short.jpg"}, Fault{"down", "down.jpg"},
             Fault{"truncjpeg", "cut.jpg"}, Fault{"bomb", "bomb.jpg"}, Fault{"notfound", "notfound.jpg"},
             Fault{"loop", "loop.jpg"}}) {
        ASSERT_TRUE(LocalService::SetFault(fault.mode));
        DownloadToFile(url, folder_.Path(fault.file), kQuickLimits);
        EXPECT_FALSE(platform::FileExists(folder_.Path(fault.file))) << fault.mode;
    }
    DownloadToFile(LocalService::BaseUrl() + "pictures/no-such-picture.jpg", folder_.Path("404.jpg"));
    EXPECT_FALSE(platform::FileExists(folder_.Path("404.jpg")));

    // A good copy already in the cache survives a failed attempt.
    LocalService::SetFault("normal");
    std::string good = folder_.Path("good.jpg");
    DownloadToFile(url, good);
    std::string before = folder_.Read(good);
    ASSERT_FALSE(before.empty());
    LocalService::SetFault("short");
    DownloadToFile(url, good, kQuickLimits);
    EXPECT_EQ(folder_.Read(good), before);
}

TEST_F(TransportTest, FetchFileIfMissingSkipsValidFilesAndRetriesInvalidOnes)
{
    std::string url = SamplePictureUrl();
    ASSERT_FALSE(url.empty());
    LocalService::Reset();

    std::string cached = folder_.Write("cached.jpg", std::string("\xff\xd8\xff\xe0\0\x10JFIF", 10));
    EXPECT_EQ(FetchFileIfMissing(url, cached), 0);
    std::string errorPage = folder_.Write("error.jpg", "<html><body>Not Found</body></html>");
    EXPECT_EQ(FetchFileIfMissing(url, errorPage), 0);
    std::string empty = folder_.Write("empty.jpg", "");
    EXPECT_EQ(FetchFileIfMissing(url, empty), 0);

    EXPECT_TRUE(WaitForValidFile(errorPage));
    EXPECT_TRUE(WaitForValidFile(empty));
    EXPECT_EQ(folder_.Read(cached), std::string("\xff\xd8\xff\xe0\0\x10JFIF", 10));
    // Only the error page and the empty file were fetched again.
    for (int i = 0; i < 100 && LocalService::RequestLog().size() < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(LocalService::RequestLog().size(), 2u);

    EXPECT_EQ(FetchFileAlways("", folder_.Path("never.jpg")), 0);
    std::string always = folder_.Path("always.jpg");
    EXPECT_EQ(FetchFileAlways(url, always), 0);
    EXPECT_TRUE(WaitForValidFile(always));
    EXPECT_FALSE(platform::FileExists(folder_.Path("never.jpg")));
}

TEST(IsValidCachedFile, TellsPicturesFromSavedErrorPages)
{
    TempFolder folder;
    const char jpegBytes[] = "\xff\xd8\xff\xe0\0\x10JFIF then html and HTML in the data";
    std::string jpeg(jpegBytes, sizeof jpegBytes - 1);
    EXPECT_TRUE(IsValidCachedFile(folder.Write("a.jpg", jpeg)));
    EXPECT_FALSE(IsValidCachedFile(folder.Write("b.jpg", "<HTML><BODY>error</BODY></HTML>")));
    EXPECT_FALSE(IsValidCachedFile(folder.Write("c.jpg", "<!doctype html><p>oops</p>")));

    std::string badRequest = folder.Write("d.jpg", "<h1>Bad Request (Invalid Hostname)</h1>");
    EXPECT_FALSE(IsValidCachedFile(badRequest));
    EXPECT_TRUE(IsValidCachedFile(badRequest, false));

    // An empty file is a failed download, not a picture.
    EXPECT_FALSE(IsValidCachedFile(folder.Write("e.jpg", "")));
    EXPECT_FALSE(IsValidCachedFile(folder.Path("missing.jpg")));
    EXPECT_FALSE(IsValidCachedFile(folder.Root()));

    // The marker only counts before the first NUL byte.
    std::string longPrefix(10000, 'x');
    EXPECT_FALSE(IsValidCachedFile(folder.Write("f.jpg", longPrefix + "html")));
    EXPECT_TRUE(IsValidCachedFile(folder.Write("g.jpg", longPrefix + std::string("\0html", 5))));
}

// Only http and https: an address of another scheme, given or redirected
// to, reads no local file and leaves nothing on disk.
TEST_F(TransportTest, OtherSchemesAndRedirectsToThemMoveNothing)
{
    static const char kLocalPicture[] = "\xff\xd8\xff\xe0\0\x10JFIF a local picture";
    const std::string picture(kLocalPicture, sizeof kLocalPicture - 1);
    const std::string source = TempFolder::FileUrl(folder_.Write("source.jpg", picture));
    const std::string base = LocalService::BaseUrl();
    const std::string ftp = "ftp" + base.substr(4) + "avatars/u1001.jpg";
    struct Row {
        const char* name;
        std::string url;
        int curlCode;
        long httpStatus;
    };
    const Row kRows[] = {
        {"local file", source, CURLE_UNSUPPORTED_PROTOCOL, 0},
        {"local file, scheme in capitals", "FILE" + source.substr(4), CURLE_UNSUPPORTED_PROTOCOL, 0},
        {"ftp to the local service", ftp, CURLE_UNSUPPORTED_PROTOCOL, 0},
        {"redirect to a local file", base + "redirect?to=" + source, CURLE_OK, 302},
        {"redirect to ftp", base + "redirect?to=" + ftp, CURLE_OK, 302},
    };
    for (const Row& row : kRows) {
        const std::string target = folder_.Path("target.jpg");
        platform::RemoveFile(target);
        const DownloadResult result = DownloadFile(row.url, target, kQuickLimits);
        EXPECT_EQ(result.curlCode, row.curlCode) << row.name;
        EXPECT_EQ(result.httpStatus, row.httpStatus) << row.name;
        EXPECT_FALSE(result.written) << row.name;
        EXPECT_EQ(FilesIn(folder_.Root()), std::vector<std::string>{"source.jpg"}) << row.name;
        std::string answer;
        PostFormWithTimeout(row.url, "", answer, kQuickLimits);
        EXPECT_EQ(answer.find("a local picture"), std::string::npos) << row.name;
    }
}

// The service compresses answers for a client that accepts gzip; the answer
// handed on is the plain text all the same.
TEST_F(TransportTest, AnswersComeCompressedAndArriveAsText)
{
    const std::string path = "book.php?action=c_all_list";
    std::string answer;
    ASSERT_EQ(PostFormWithTimeout(LocalService::BaseUrl() + path, "", answer), 0);
    Json::Value log = LocalService::RequestLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0]["headers"]["Accept-Encoding"].asString().find("gzip"), std::string::npos);
    EXPECT_EQ(answer, LocalService::Fetch(path));
    EXPECT_TRUE(JsonOf(answer).isArray());
}
