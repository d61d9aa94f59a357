// Several workers parse into one store while a reader paints from it. Run
// under ThreadSanitizer this finds any unguarded access; natively it checks
// that a reader only ever sees whole records.
#include "answer_parser.h"
#include "feed_store.h"
#include "picture_cache.h"
#include "signed_in_user.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "feed_doubles.h"
#include "temp_folder.h"

namespace {

// A page whose every text names the same generation, so a record mixing
// two answers shows at once.
std::string PageOf(int generation, int items)
{
    std::string g = std::to_string(generation);
    std::string text = "{\"page\":{\"total\":" + g + ",\"page_count\":" + g + ",\"page\":1},\"image_list\":[";
    for (int i = 0; i < items; ++i) {
        if (i)
            text += ",";
        text += "{\"url\":\"http://p.test/" + g + "/p" + std::to_string(i) + ".jpg\",\"uname\":\"u" + g
            + "\",\"share_id\":\"" + g + "\",\"content\":\"" + g + "\",\"comment_count\":\"" + g + "\"}";
    }
    return text + "]}";
}

bool Whole(const PictureRecord& record)
{
    const std::string& g = record.shareId;
    const std::string folder = "http://p.test/" + g + "/";
    return record.content == g && record.commentCount == g && record.authorName == "u" + g
        && record.thumbnailUrl.compare(0, folder.size(), folder) == 0;
}

}  // namespace

TEST(FeedConcurrency, ReadersSeeWholeRecordsWhileWorkersParse)
{
    TempFolder folder;
    FeedStore store;
    RecordingSink sink;
    RecordingDownloader downloads;
    RecordingStarter starter;
    PictureCache cache(folder.Path("image"), 1280);
    const ParseContext context{store, sink, cache, downloads, starter};

    const int kWriters = 4;
    const int kRounds = 40;
    std::atomic<int> writersLeft{kWriters};
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&, w] {
            for (int round = 0; round < kRounds; ++round) {
                int generation = 1 + w * kRounds + round;
                FeedRequest request;
                request.kind = round % 2 ? 0 : 26;
                store.StoreAnswer(request.kind, "", PageOf(generation, 1 + (round + w) % 6));
                ParseAnswer(context, request);
                request.kind = 20;
                request.text = round % 3 ? "sky" : "sea";
                ParseAnswerText(context, request, PageOf(generation, 3));
                request.kind = 11;
                request.list = {26, ""};
                request.index = round % 4;
                ParseAnswerText(context, request,
                    "{\"is_follow\":\"1\",\"comment_list\":[{\"comment_id\":\"" + std::to_string(generation) + "\"}]}");
            }
            --writersLeft;
        });
    }

    int seen = 0;
    int broken = 0;
    // One pass more once the writers are done: on a busy machine they may
    // all finish before the reader gets to run.
    for (bool more = true; more;) {
        more = writersLeft > 0;
        for (const PictureListId& list : {PictureListId{0, ""}, PictureListId{26, ""}, PictureListId{20, "sky"}}) {
            std::size_t count = store.PictureCount(list);
            for (std::size_t i = 0; i < count; ++i) {
                std::shared_ptr<const PictureRecord> record = store.Picture(list, i);
                if (!record)
                    continue;
                ++seen;
                broken += !Whole(*record);
                auto comments = store.Comments(list, i);
                broken += comments && comments->comments.size() != 1;
            }
        }
        store.NextPage(0);
        if (store.CurrentPage(0) > 3)
            store.ResetPage(0);
        store.PageCount(26);
    }
    for (std::thread& writer : writers)
        writer.join();
    EXPECT_GT(seen, 0);
    EXPECT_EQ(broken, 0) << "records seen half written";
    EXPECT_EQ(store.PictureCount({26, ""}), 6u) << "the longest page sets the length";
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_TRUE(Whole(*store.Picture({26, ""}, i)));
}

TEST(FeedConcurrency, SignedInUserIsCopiedWhole)
{
    const SignedInUser saved = CopySignedInUser();
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i) {
            SignedInUser user;
            user.signedIn = i % 2;
            user.uid = std::to_string(i);
            user.token = "token" + std::to_string(i);
            StoreSignedInUser(user);
            SetSignedIn(i % 3 == 0);
        }
        done = true;
    });
    int broken = 0;
    while (!done) {
        SignedInUser copy = CopySignedInUser();
        broken += !copy.uid.empty() && copy.token != "token" + copy.uid;
        IsSignedIn();
    }
    writer.join();
    EXPECT_EQ(broken, 0);
    StoreSignedInUser(saved);
}
