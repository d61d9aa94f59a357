// One input of the answer-parser fuzz target: the first byte picks the feed
// kind (or the login answer), the rest is the answer text. Each input gets a
// fresh store, so a crash, leak or sanitizer report belongs to that input alone.
#include "answer_input.h"

#include "answer_parser.h"
#include "downloader.h"
#include "feed_store.h"
#include "login_answer.h"
#include "message_sink.h"
#include "picture_cache.h"

#include <string>

namespace {

const int kKinds[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 14, 15, 16, 17, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29};
// The first byte one past the feed kinds picks the login answer.
const std::size_t kChoices = sizeof kKinds / sizeof kKinds[0] + 1;

// Reads back what a sent message points to, as the window would.
class ReadingSink : public MessageSink {
public:
    std::intptr_t Send(unsigned message, std::uintptr_t a, std::intptr_t b) override
    {
        if (message == 3043 || message == 3054)
            seen_ += reinterpret_cast<const std::string*>(a)->size();
        if (message == 3037)
            seen_ += reinterpret_cast<const std::string*>(b)->size();
        return 0;
    }
    bool Post(unsigned, std::uintptr_t, std::intptr_t) override { return true; }
    void Invalidate() override { ++seen_; }

private:
    std::size_t seen_ = 0;
};

class NoDownloads : public Downloader {
public:
    void FetchIfMissing(const std::string& url, const std::string& path) override { seen_ += url.size() + path.size(); }
    void FetchAlways(const std::string& url, const std::string& path) override { seen_ += url.size() + path.size(); }
    void FetchAlwaysThen(const std::string& url, const std::string& path, DownloadDone done) override
    {
        FetchAlways(url, path);
        if (done)
            done(false);
    }
    void FetchLarge(const std::string& url, const std::string& path) override { seen_ += url.size() + path.size(); }

private:
    std::size_t seen_ = 0;
};

// Reads the store back the way the fetcher would for the feeds it starts.
class StoreReadingStarter : public FeedStarter {
public:
    explicit StoreReadingStarter(const FeedStore& store)
        : store_(store)
    {
    }
    void LoadCategoryFeeds() override
    {
        for (int id = 1; id <= 8; ++id)
            seen_ += store_.CategoryCode(std::to_string(id)).size();
    }
    void LoadCategoryFeed(int kind) override { seen_ += store_.CategoryCode(std::to_string(kind + 1)).size(); }
    void LoadTagFeed(const std::string& tag) override { seen_ += tag.size(); }
    void LoadComments(const PictureListId& list, std::size_t index) override
    {
        if (auto picture = store_.Picture(list, index))
            seen_ += picture->shareId.size();
    }

private:
    const FeedStore& store_;
    std::size_t seen_ = 0;
};

// A folder that cannot be made (not even by root), so the parser's folder
// creation fails quietly and fuzzing leaves nothing on disk.
const PictureCache& Cache()
{
    static const PictureCache cache("/proc/quarn-fuzz/image/", 1280);
    return cache;
}

}  // namespace

bool ParseAnswerInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return false;
    const std::size_t choice = data[0] % kChoices;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (choice == kChoices - 1) {
        LoginAnswer answer;
        return ParseLoginAnswer(text, answer);
    }

    FeedStore store;
    ReadingSink sink;
    NoDownloads downloads;
    StoreReadingStarter starter(store);
    const ParseContext context{store, sink, Cache(), downloads, starter};

    FeedRequest request;
    request.kind = kKinds[choice];
    request.userId = "1002";
    request.text = "sky";
    request.shareId = "5001";
    request.index = 1;
    switch (request.kind) {
    case 17:
        request.list = {8, "1002"};
        break;
    case 25:
        request.list = {20, "sky"};
        break;
    default:
        request.list = {26, ""};
        break;
    }
    // Comment lists need a picture to belong to.
    for (std::size_t i = 0; i < 2; ++i)
        store.StorePicture(request.list, i, std::make_shared<PictureRecord>());

    store.StoreAnswer(request.kind, AnswerKey(request), text);
    return ParseAnswer(context, request);
}
