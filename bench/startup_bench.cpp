// Start-up against the local service with added latency: from the first
// request to all eight category feeds parsed and every thumbnail on disk,
// as a ratio to the ideal of one latency-bound round (the longest chain of
// dependent requests -- category list, category feed, thumbnail -- times
// the latency, plus the bytes at loopback speed measured in the same run).
// With --peer, a command that replays the same requests (the curl tool) runs
// after each round, so both sides see the same moment of a busy machine; its
// time is less that of --peer-idle (the same tool doing nothing), its start.
// --peer-setup runs untimed before it: an empty folder for its files, as each
// round here starts with an empty cache.
//
// Each round starts as the program does after its first run: the feeds
// folder holds the category list the service sent last time, so the
// category feeds need not wait for the list. --first-start leaves it out.
//
// With --rtt MS the base URL is the round-trip relay before the service
// (run.sh start --rtt-ms MS): the ideal then adds one round trip for each
// connection's handshake and three for the chain of requests.
// --handshake-rtts N counts N round trips for the handshake instead of one:
// TCP's and TLS's through the TLS front. --drop-url URL asks that address
// (the relay's control, run.sh's port N+6000) before each round, untimed, to
// close the connections the last round left: each round then pays its
// handshakes, as a program just started does.
//
// It builds for Windows as well, to run under Wine; the peer's commands then
// go to the Windows command interpreter.
//
//   startup_bench [base-url] [--latency MS] [--rtt MS] [--handshake-rtts N] [--rounds N]
//                 [--parallel N] [--drop-url URL] [--peer COMMAND] [--peer-idle COMMAND] [--peer-setup COMMAND]
//                 [--first-start]
#include "cache_downloader.h"
#include "endpoints.h"
#include "feed_fetcher.h"
#include "feed_keeper.h"
#include "feed_kinds.h"
#include "feed_store.h"
#include "http_transport.h"
#include "message_sink.h"
#include "picture_cache.h"
#include "platform.h"
#include "work_tracker.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class QuietSink : public MessageSink {
public:
    std::intptr_t Send(unsigned, std::uintptr_t, std::intptr_t) override { return 0; }
    bool Post(unsigned, std::uintptr_t, std::intptr_t) override { return true; }
    void Invalidate() override { }
};

struct Options {
    std::string base = "http://127.0.0.1:8710/";
    int latencyMs = 20;
    int rttMs = 0;  // added by the relay the base URL leads through
    int handshakeRtts = 1;  // round trips before a connection's first request
    int rounds = 7;
    int parallel = 0;  // 0: the downloader's default
    std::string dropUrl;
    std::string peer;
    std::string peerIdle;
    std::string peerSetup;
    bool firstStart = false;
    std::string keptList;  // the category list a previous run kept
};

Options Read(int argc, char** argv)
{
    Options options;
    if (const char* url = std::getenv("QUARN_SERVICE_URL"))
        options.base = url;
    for (int i = 1; i < argc; ++i) {
        bool hasValue = i + 1 < argc;
        if (!std::strcmp(argv[i], "--latency") && hasValue)
            options.latencyMs = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--rtt") && hasValue)
            options.rttMs = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--handshake-rtts") && hasValue)
            options.handshakeRtts = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--rounds") && hasValue)
            options.rounds = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--parallel") && hasValue)
            options.parallel = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--drop-url") && hasValue)
            options.dropUrl = argv[++i];
        else if (!std::strcmp(argv[i], "--peer") && hasValue)
            options.peer = argv[++i];
        else if (!std::strcmp(argv[i], "--peer-idle") && hasValue)
            options.peerIdle = argv[++i];
        else if (!std::strcmp(argv[i], "--peer-setup") && hasValue)
            options.peerSetup = argv[++i];
        else if (!std::strcmp(argv[i], "--first-start"))
            options.firstStart = true;
        else
            options.base = argv[i];
    }
    return options;
}

bool SetLatency(const Options& options, int ms)
{
    // A fault change closes the service's idle connections, and the TLS
    // front may just have handed the request to one of them: once more then.
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::string answer;
        PostForm(options.base + "__control/fault?latency_ms=" + std::to_string(ms), "", answer);
        if (answer.find("\"ok\":true") != std::string::npos)
            return true;
    }
    return false;
}

#ifdef _WIN32
const char kTempVariable[] = "TEMP";
const char kTempDefault[] = "C:\\windows\\temp";
const char kSeparator[] = "\\";
#else
const char kTempVariable[] = "TMPDIR";
const char kTempDefault[] = "/tmp";
const char kSeparator[] = "/";
#endif

std::string ScratchFolder(int round)
{
    const char* tmp = std::getenv(kTempVariable);
    return std::string(tmp ? tmp : kTempDefault) + kSeparator + "quarn-startup-bench-" + platform::UniqueSuffix() + "-"
        + std::to_string(round);
}

void RemoveTree(const std::string& folder)
{
#ifdef _WIN32
    std::string command = "rmdir /s /q \"" + folder + "\"";
#else
    std::string command = "rm -rf '" + folder + "'";
#endif
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "could not remove %s\n", folder.c_str());
}

// Loopback bytes per second, from the service's 20 MiB picture.
double LoopbackSpeed(const Options& options)
{
    std::string target = ScratchFolder(0) + ".jpg";
    auto start = Clock::now();
    DownloadToFile(options.base + "pictures/big20mb.jpg", target);
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::int64_t bytes = platform::FileSize(target);
    platform::RemoveFile(target);
    return bytes > 0 ? bytes / seconds : 0;
}

struct Round {
    double seconds = 0;
    std::int64_t bytes = 0;
    int thumbnails = 0;
    int missing = 0;
};

Round RunStartUp(const Options& options, int number)
{
    std::string folder = ScratchFolder(number);
    auto services = std::make_shared<FeedServices>();
    services->baseUrl = options.base;
    services->configPath = folder + "/vlconfig.xml";
    services->store = std::make_shared<FeedStore>();
    services->sink = std::make_shared<QuietSink>();
    services->cache = std::make_shared<PictureCache>(folder + "/image/", 1280);
    auto downloads = options.parallel > 0
        ? std::make_shared<CacheDownloader>(nullptr, TransferLimits{}, options.parallel)
        : std::make_shared<CacheDownloader>(nullptr);
    services->downloader = downloads;
    services->tracker = std::make_shared<WorkTracker>();
    auto keeper = std::make_shared<FeedKeeper>(folder + "/feeds/");
    if (!options.keptList.empty())
        keeper->Keep({feed_kind::kCategoryList, "", 0}, options.keptList);
    services->keeper = keeper;

    Round round;
    const FeedFetcher fetcher(services);
    auto start = Clock::now();
    fetcher.LoadCategoryList();
    fetcher.LoadHomeFeed();
    // Feed workers queue every thumbnail before they end.
    fetcher.WaitIdle(std::chrono::minutes(2));
    downloads->WaitIdle(std::chrono::minutes(2));
    round.seconds = std::chrono::duration<double>(Clock::now() - start).count();

    const FeedStore& store = *services->store;
    for (int kind : {22, 0, 1, 2, 3, 4, 5, 6, 7, 26}) {
        if (auto answer = store.Answer(kind, ""))
            round.bytes += static_cast<std::int64_t>(answer->size());
        if (kind == 22)
            continue;
        if (kind != 26 && store.PictureCount({kind, ""}) == 0)
            ++round.missing;  // a category feed not parsed
        for (std::size_t i = 0; i < store.PictureCount({kind, ""}); ++i) {
            auto picture = store.Picture({kind, ""}, i);
            std::int64_t size = picture ? platform::FileSize(picture->thumbnailPath) : -1;
            ++round.thumbnails;
            if (size <= 0)
                ++round.missing;
            else
                round.bytes += size;
        }
    }
    RemoveTree(folder);
    return round;
}

double Median(std::vector<double>& values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Wall time of a shell command, or a negative number when it failed.
double TimeCommand(const std::string& command)
{
    if (command.empty())
        return 0;
    auto start = Clock::now();
    int status = std::system(command.c_str());
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return status == 0 ? seconds : -1;
}

struct PeerTimes {
    std::vector<double> whole;
    std::vector<double> idle;
};

void RunPeer(const Options& options, PeerTimes& peer)
{
    if (TimeCommand(options.peerSetup) < 0)
        std::fprintf(stderr, "the peer's setup failed: %s\n", options.peerSetup.c_str());
    peer.whole.push_back(TimeCommand(options.peer));
    peer.idle.push_back(TimeCommand(options.peerIdle));
}

void DropConnections(const Options& options)
{
    if (options.dropUrl.empty())
        return;
    std::string answer;
    if (PostForm(options.dropUrl, "", answer) != 0 || answer.empty())
        std::fprintf(stderr, "nothing dropped connections at %s\n", options.dropUrl.c_str());
}

// With a peer, the two take turns going first, so neither always inherits
// what the other left behind (sockets closing, a busy service).
std::vector<double> Rounds(const Options& options, Round& last, PeerTimes* peer = nullptr)
{
    std::vector<double> times;
    const bool withPeer = peer && !options.peer.empty();
    for (int i = 1; i <= options.rounds; ++i) {
        if (withPeer && i % 2 == 0)
            RunPeer(options, *peer);
        DropConnections(options);
        last = RunStartUp(options, i);
        times.push_back(last.seconds);
        if (last.missing)
            std::fprintf(stderr, "round %d: %d feeds or thumbnails missing\n", i, last.missing);
        if (withPeer && i % 2 == 1)
            RunPeer(options, *peer);
    }
    return times;
}

// Median over the rounds of this side's time over the peer's.
double MedianRatio(const std::vector<double>& ours, const PeerTimes& peer)
{
    std::vector<double> ratios;
    for (std::size_t i = 0; i < ours.size() && i < peer.whole.size(); ++i)
        ratios.push_back(ours[i] / (peer.whole[i] - peer.idle[i]));
    return Median(ratios);
}

}  // namespace

int main(int argc, char** argv)
{
    const Options options = Read(argc, argv);
    if (!SetLatency(options, 0)) {
        std::fprintf(stderr, "no local service at %s\n", options.base.c_str());
        return 1;
    }
    Options run = options;
    if (!options.firstStart)
        PostForm(endpoints::CategoryList(options.base, false), "", run.keptList);
    const double speed = LoopbackSpeed(options);
    std::printf("loopback: %.0f MB/s\n", speed / 1e6);
    RunStartUp(run, 0);  // warm: server caches, connections, allocator

    // The same start-up without added latency: what the service and the
    // client cost apart from waiting.
    Round last;
    std::vector<double> quick = Rounds(run, last);
    if (!SetLatency(options, options.latencyMs))
        return 1;
    PeerTimes peer;
    std::vector<double> times = Rounds(run, last, &peer);
    SetLatency(options, 0);
    const double pairedRatio = peer.whole.empty() ? 0 : MedianRatio(times, peer);

    const double median = Median(times);
    const double quickMedian = Median(quick);
    // The longest chain of requests: category feed and thumbnail, with the
    // list before them on a first start.
    const int steps = run.keptList.empty() ? 3 : 2;
    const double chain = steps * options.latencyMs / 1000.0 + (options.handshakeRtts + steps) * options.rttMs / 1000.0;
    const double transfer = speed > 0 ? last.bytes / speed : 0;
    const double ideal = chain + transfer;
    std::printf("requests: 10 answers + %d thumbnails, %lld bytes\n", last.thumbnails, (long long)last.bytes);
    std::printf("start-up, %d ms latency: %.1f ms median of %d (best %.1f, worst %.1f)\n", options.latencyMs,
        median * 1e3, options.rounds, times.front() * 1e3, times.back() * 1e3);
    std::printf("start-up, no latency:  %.1f ms median of %d\n", quickMedian * 1e3, options.rounds);
    std::printf("ideal: %.1f ms = %d x %d ms latency + %d x %d ms round trip + %.2f ms transfer at loopback speed%s\n",
        ideal * 1e3, steps, options.latencyMs, options.handshakeRtts + steps, options.rttMs, transfer * 1e3,
        run.keptList.empty() ? "" : " (category list kept)");
    std::printf("ratio to the ideal: %.2f (goal <= 1.5)\n", median / ideal);
    std::printf("ratio to %d x latency + the start-up without latency: %.2f\n", steps, median / (chain + quickMedian));
    if (!options.peer.empty()) {
        if (*std::min_element(peer.whole.begin(), peer.whole.end()) < 0) {
            std::fprintf(stderr, "the peer command failed: %s\n", options.peer.c_str());
            return 1;
        }
        const double peerMedian = Median(peer.whole) - Median(peer.idle);
        std::printf("peer: %.1f ms median of %d (its start, %.1f ms, taken off)\n", peerMedian * 1e3, options.rounds,
            Median(peer.idle) * 1e3);
        std::printf("ratio to the peer: %.2f (median of the rounds' ratios)\n", pairedRatio);
        std::printf("startup-figure %.6f %.6f %.6f %.4f\n", median, peerMedian, ideal, pairedRatio);
    }
    return last.missing ? 2 : 0;
}
