// Throughput of the two downloaders on one large file, and the round-trip
// time of an empty POST, against a running service. Prints one line per
// measurement: "<name> <best seconds> <bytes>". bench/transport/run.sh compares
// them with the curl command-line tool in the same run.
// curl first: on Windows it brings winsock2.h, which must precede windows.h.
#include <curl/curl.h>

#include "http_transport.h"
#include "platform.h"
#ifdef _WIN32
#include "win32/large_picture_download.h"
#include "win32/wide_text.h"
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

// Best time of `body` over the rounds; `prepare` runs untimed before each.
template <typename Prepare, typename Body> double BestOf(int rounds, Prepare prepare, Body body)
{
    double best = 1e9;
    for (int i = 0; i < rounds; ++i) {
        prepare();
        Clock::time_point start = Clock::now();
        body();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: download_bench BASE_URL PICTURE_PATH WORK_FOLDER [ROUNDS]\n");
        return 2;
    }
    std::string base = argv[1];
    std::string url = base + argv[2];
    std::string folder = argv[3];
    int rounds = argc > 4 ? std::atoi(argv[4]) : 5;
    curl_global_init(CURL_GLOBAL_ALL);
    platform::CreateDirectoryTree(folder);

    std::string target = folder + platform::kPathSeparator + "small.jpg";
    double small = BestOf(
        rounds, [&] { platform::RemoveFile(target); }, [&] { DownloadToFile(url, target); });
    std::printf("DownloadToFile %.6f %lld\n", small, (long long)platform::FileSize(target));

#ifdef _WIN32
    std::string large = folder + "\\beauties_l\\large.jpg";
    platform::CreateDirectoryTree(folder + "\\beauties_l");
    double progress = BestOf(
        rounds, [&] { platform::RemoveFile(large); }, [&] { DownloadWithProgress(Widen(url), Widen(large), nullptr); });
    std::printf("DownloadWithProgress %.6f %lld\n", progress, (long long)platform::FileSize(large));
#endif

    std::string post = base + "book.php?action=c_hot_tag";
    double roundTrip = BestOf(
        rounds * 4, [] {},
        [&] {
            std::string answer;
            PostFormWithTimeout(post, "", answer);
        });
    std::printf("PostFormWithTimeout %.6f 0\n", roundTrip);
    curl_global_cleanup();
    return 0;
}
