// Parsing and storing a 1000-item picture page against jsoncpp's bare parse
// of the same text, by time (median of alternating rounds) and, run under
// callgrind with --instructions, by instruction count of the two halves.
#include "answer_parser.h"
#include "downloader.h"
#include "feed_store.h"
#include "json_read.h"
#include "message_sink.h"
#include "picture_cache.h"

#include <valgrind/callgrind.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace {

// Escaped the way the service sends non-ASCII text.
const char* const kNames[] = {"\\u963f\\u6728", "\\u6728\\u5b50", "\\u5c0f\\u5938\\u6f14\\u793a", "lina"};
const char* const kTexts[] = {"\\u8857\\u89d2\\u7684\\u56de\\u7738", "\\u5348\\u540e\\u7684\\u9633\\u5149~",
    "\\u6d77\\u8fb9\\u7684\\u65e5\\u843d #\\u98ce\\u666f"};
const char* const kCities[] = {"\\u897f\\u5b89", "\\u4e0a\\u6d77", "\\u5317\\u4eac"};

std::string PageText(int items)
{
    std::string text
        = "{\"page\":{\"total\":" + std::to_string(items) + ",\"page_count\":1,\"page\":1},\"image_list\":[";
    for (int i = 0; i < items; ++i) {
        std::string n = std::to_string(5001 + i);
        std::string uid = std::to_string(1001 + i % 48);
        if (i)
            text += ",";
        text += "{\"url\":\"http://127.0.0.1:8710/pictures/gal/p" + n + ".jpg\",\"uname\":\"" + kNames[i % 4]
            + "\",\"avatar\":\"http://127.0.0.1:8710/avatars/u" + uid + ".jpg\",\"share_id\":\"" + n + "\",\"uid\":\""
            + uid + "\",\"content\":\"" + kTexts[i % 3] + "\",\"comment_count\":\"" + std::to_string(i % 7)
            + "\",\"relay_count\":\"" + std::to_string(i % 5) + "\",\"like_count\":\"" + std::to_string(i % 11)
            + "\",\"city_name\":\"" + kCities[i % 3] + "\",\"create_time\":\"" + std::to_string(1370044800 + i * 97)
            + "\",\"follow_count\":\"" + std::to_string(i % 13) + "\",\"fans\":\"" + std::to_string(i % 17) + "\"}";
    }
    return text + "]}";
}

class QuietSink : public MessageSink {
public:
    std::intptr_t Send(unsigned, std::uintptr_t, std::intptr_t) override { return 0; }
    bool Post(unsigned, std::uintptr_t, std::intptr_t) override { return true; }
    void Invalidate() override { ++invalidations; }
    int invalidations = 0;
};

class CountingDownloader : public Downloader {
public:
    void FetchIfMissing(const std::string&, const std::string&) override { ++count; }
    void FetchAlways(const std::string&, const std::string&) override { ++count; }
    void FetchAlwaysThen(const std::string&, const std::string&, DownloadDone) override { ++count; }
    void FetchLarge(const std::string&, const std::string&) override { ++count; }
    int count = 0;
};

class IdleStarter : public FeedStarter {
public:
    void LoadCategoryFeeds() override { }
    void LoadCategoryFeed(int) override { }
    void LoadTagFeed(const std::string&) override { }
    void LoadComments(const PictureListId&, std::size_t) override { }
};

struct Bench {
    Bench(std::string page, PictureCache pictureCache)
        : text(std::move(page))
        , cache(std::move(pictureCache))
    {
    }

    std::string text;
    PictureCache cache;
    QuietSink sink;
    CountingDownloader downloads;
    IdleStarter starter;
    std::size_t checksum = 0;

    // The baseline: jsoncpp's parse of the text into a tree, then freed.
    void BareRound()
    {
        Json::Value root;
        if (!json_read::Parse(text, root))
            std::abort();
        checksum += root["image_list"].size();
    }

    // The same text parsed and stored into a fresh store, then freed.
    void StoreRound()
    {
        FeedStore store;
        const ParseContext context{store, sink, cache, downloads, starter};
        FeedRequest request;
        request.kind = 0;
        if (!ParseAnswerText(context, request, text))
            std::abort();
        checksum += store.PictureCount({0, ""});
    }
};

double ThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

struct Timing {
    double wall;
    double cpu;
};

// Wall time, and this thread's processor time, which leaves out the time a
// busy machine gives other processes in the middle of a round.
template <typename Round> Timing Seconds(Round round)
{
    auto start = std::chrono::steady_clock::now();
    double cpuStart = ThreadSeconds();
    round();
    double cpu = ThreadSeconds() - cpuStart;
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), cpu};
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    bool instructions = argc > 1 && std::strcmp(argv[1], "--instructions") == 0;
    const char* folder = std::getenv("TMPDIR");
    Bench bench(
        PageText(1000), PictureCache(std::string(folder ? folder : "/tmp") + "/quarn-parse-bench/image/", 1280));
    std::printf("page: 1000 items, %zu bytes\n", bench.text.size());

    // Warm up: folders created, allocator and caches settled.
    for (int i = 0; i < 3; ++i) {
        bench.BareRound();
        bench.StoreRound();
    }

    if (instructions) {
        // Under callgrind: two dumps, "bare" and "store", of the same rounds.
        const int rounds = 5;
        CALLGRIND_ZERO_STATS;
        for (int i = 0; i < rounds; ++i)
            bench.BareRound();
        CALLGRIND_DUMP_STATS_AT("bare");
        for (int i = 0; i < rounds; ++i)
            bench.StoreRound();
        CALLGRIND_DUMP_STATS_AT("store");
        std::printf("rounds: %d each (checksum %zu)\n", rounds, bench.checksum);
        return 0;
    }

    const int rounds = 41;
    std::vector<double> bare, store, bareCpu, storeCpu;
    for (int i = 0; i < rounds; ++i) {
        Timing b = Seconds([&] { bench.BareRound(); });
        Timing s = Seconds([&] { bench.StoreRound(); });
        bare.push_back(b.wall);
        bareCpu.push_back(b.cpu);
        store.push_back(s.wall);
        storeCpu.push_back(s.cpu);
    }
    double bareMedian = Median(bare);
    double storeMedian = Median(store);
    std::printf("bare jsoncpp parse:  %.3f ms (median of %d)\n", bareMedian * 1e3, rounds);
    std::printf("parse and store:     %.3f ms (median of %d)\n", storeMedian * 1e3, rounds);
    std::printf("time ratio: %.3f (goal <= 1.3)\n", storeMedian / bareMedian);
    std::printf("processor time: bare %.3f ms, parse and store %.3f ms, ratio %.3f\n", Median(bareCpu) * 1e3,
        Median(storeCpu) * 1e3, Median(storeCpu) / Median(bareCpu));
    std::printf("checksum %zu, downloads started %d, repaints %d\n", bench.checksum, bench.downloads.count,
        bench.sink.invalidations);
    return 0;
}
