// Both transfer stacks through the TLS fronts before the local service: the
// test authority is trusted in this prefix only, and a certificate that is
// expired, for another host or from an unknown authority is refused before
// anything reaches the service.
#include "cache_downloader.h"
#include "http_transport.h"
#include "win32/large_picture_download.h"
#include "win32/wide_text.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "json_text.h"
#include "local_service.h"
#include "temp_folder.h"

namespace {

// The fronts listen at these distances from the service's port
// (tools/localservice/run.sh start --tls).
enum FrontOffset : int { kTrustedFront = 1000, kExpiredFront = 2000, kWrongHostFront = 3000, kUnknownFront = 4000 };

// By another name the same front is another server to the transport.
std::string FrontUrl(int offset, const char* host = "127.0.0.1")
{
    const std::string base = LocalService::BaseUrl();
    const std::string::size_type colon = base.rfind(':');
    const int port = std::atoi(base.c_str() + colon + 1);
    return std::string("https://") + host + ":" + std::to_string(port + offset) + "/";
}

struct Row {
    const char* name;
    int offset;
    bool accepted;
};

const Row kRows[] = {
    {"trusted authority", kTrustedFront, true},
    {"expired certificate", kExpiredFront, false},
    {"certificate for another host", kWrongHostFront, false},
    {"unknown authority", kUnknownFront, false},
};

class TlsTransportTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(LocalService::Reset()) << "local service not reachable"; }
    void TearDown() override { LocalService::Reset(); }
    TempFolder folder_;

    // Sends `requests` at once from workers of their own, answers and
    // avatar downloads in turn; the number that failed.
    int SendBurst(const std::string& base, int requests, const std::string& prefix)
    {
        std::atomic<int> failures{0};
        std::vector<std::thread> workers;
        for (int i = 0; i < requests; ++i) {
            workers.emplace_back([&, i] {
                if (i % 2 == 0) {
                    std::string answer;
                    PostFormWithTimeout(base + "book.php?action=c_hot_tag", "", answer);
                    failures += !JsonOf(answer).isObject();
                    return;
                }
                const std::string target = folder_.Path(prefix + std::to_string(i) + ".jpg");
                failures += !DownloadFile(base + "avatars/u" + std::to_string(1001 + i) + ".jpg", target).written;
            });
        }
        for (std::thread& worker : workers)
            worker.join();
        return failures.load();
    }
};

}  // namespace

TEST_F(TlsTransportTest, ServiceRequestsGoOnlyToATrustedServer)
{
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(LocalService::Reset());
        std::string answer;
        ASSERT_EQ(PostFormWithTimeout(FrontUrl(row.offset) + "book.php?action=c_hot_tag", "", answer), 0);
        EXPECT_EQ(JsonOf(answer).isObject(), row.accepted) << answer;
        EXPECT_EQ(LocalService::RequestLog().size(), row.accepted ? 1u : 0u);
    }
}

TEST_F(TlsTransportTest, ThumbnailsComeOnlyFromATrustedServer)
{
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(LocalService::Reset());
        const std::string target = folder_.Path(std::string("thumb-") + std::to_string(row.offset) + ".jpg");
        const DownloadResult result = DownloadFile(FrontUrl(row.offset) + "avatars/u1001.jpg", target);
        EXPECT_EQ(result.written, row.accepted) << "curl code " << result.curlCode;
        if (!row.accepted) {
            EXPECT_NE(result.curlCode, 0);
        }
        EXPECT_EQ(LocalService::RequestLog().size(), row.accepted ? 1u : 0u);
    }
}

TEST_F(TlsTransportTest, LargePicturesComeOnlyFromATrustedServer)
{
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(LocalService::Reset());
        const std::wstring url = Widen(FrontUrl(row.offset) + "avatars/u1002.jpg");
        const std::string target = folder_.Path(std::string("large-") + std::to_string(row.offset) + ".jpg");
        const int result = DownloadWithProgress(url, Widen(target), nullptr);
        EXPECT_EQ(result, row.accepted ? kLargeDownloadDone : kLargeDownloadUrlNotOpened);
        EXPECT_EQ(IsValidCachedFile(target), row.accepted);
        EXPECT_EQ(LocalService::RequestLog().size(), row.accepted ? 1u : 0u);
    }
}

// A start-up's burst of answers and thumbnails through the front makes a
// handful of connections to it, not one per request.
TEST_F(TlsTransportTest, ABurstThroughTheFrontSharesAHandfulOfConnections)
{
    const std::string base = FrontUrl(kTrustedFront);
    const int requests = 24;
    EXPECT_EQ(SendBurst(base, requests, "burst-"), 0);
    const int connections = LocalService::ConnectionsServed();
    EXPECT_GE(connections, 1);
    EXPECT_LE(connections, 6) << "for " << requests << " requests";
}

// Requests to the front at once, each answered late so that all of them are
// in flight together, travel as streams of a single connection: the front
// offers HTTP/2, and neither a burst nor a download queue should cost a
// handshake per request.
TEST_F(TlsTransportTest, ConcurrentRequestsToTheFrontShareOneConnection)
{
    const std::string base = FrontUrl(kTrustedFront);
    ASSERT_TRUE(LocalService::SetFault("normal&latency_ms=300"));
    const int requests = 16;
    EXPECT_EQ(SendBurst(base, requests, "together-"), 0);
    EXPECT_EQ(LocalService::RequestLog().size(), static_cast<unsigned>(requests));
    EXPECT_EQ(LocalService::ConnectionsServed(), 1) << "for " << requests << " requests at once";
}

// The download queue's cap keeps an HTTP/1.1 server's connections few; once
// its downloads come as streams of one HTTP/2 connection, more run at once.
// Every answer is late, so whatever the queue lets run is answered together.
TEST_F(TlsTransportTest, DownloadQueueRunsMoreAtOnceOnlyOverAMultiplexedConnection)
{
    struct QueueRow {
        const char* name;
        std::string base;
        bool widens;
    };
    const QueueRow rows[] = {
        {"HTTP/1.1 to the service", LocalService::BaseUrl(), false},
        {"HTTP/2 through the front", FrontUrl(kTrustedFront), true},
    };
    const int cap = 2;
    const int downloads = 12;
    for (const QueueRow& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(LocalService::Reset());
        CacheDownloader queue(nullptr, TransferLimits{}, cap);
        std::atomic<int> written{0};
        const auto count = [&written](bool replaced) { written += replaced; };
        const std::string prefix = std::string(row.widens ? "wide-" : "narrow-");
        // The first download tells the queue how its transfers travel.
        queue.FetchAlwaysThen(row.base + "avatars/u1001.jpg", folder_.Path(prefix + "first.jpg"), count);
        ASSERT_TRUE(queue.WaitIdle(std::chrono::seconds(60)));
        ASSERT_TRUE(LocalService::SetFault("normal&latency_ms=300"));
        for (int i = 0; i < downloads; ++i) {
            const std::string uid = std::to_string(1002 + i);
            queue.FetchAlwaysThen(row.base + "avatars/u" + uid + ".jpg", folder_.Path(prefix + uid + ".jpg"), count);
        }
        ASSERT_TRUE(queue.WaitIdle(std::chrono::seconds(60)));
        EXPECT_EQ(written.load(), downloads + 1);
        const int most = LocalService::MostAtOnce();
        EXPECT_GE(most, 1);
        EXPECT_EQ(most > cap, row.widens) << most << " answered at once with a cap of " << cap;
    }
}

// A queue's first wave to a server whose answers already came over HTTP/2
// runs wide at once rather than one round trip later; after an answer over
// HTTP/1.1 it keeps its cap. One download more than the cap, all answered
// late: only a wide first wave has them answered together.
TEST_F(TlsTransportTest, AnAnswerOverHttp2WidensAFreshQueuesFirstWave)
{
    struct AnswerRow {
        const char* name;
        std::string base;
        bool widens;
    };
    const AnswerRow rows[] = {
        {"an answer over HTTP/1.1 from the service", LocalService::BaseUrl(), false},
        {"an answer over HTTP/2 from the front", FrontUrl(kTrustedFront, "localhost"), true},
    };
    const int cap = 2;
    for (const AnswerRow& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(LocalService::Reset());
        std::string answer;
        PostFormWithTimeout(row.base + "book.php?action=c_hot_tag", "", answer);
        ASSERT_TRUE(JsonOf(answer).isObject());
        ASSERT_TRUE(LocalService::SetFault("normal&latency_ms=300"));
        CacheDownloader queue(nullptr, TransferLimits{}, cap);
        std::atomic<int> written{0};
        for (int i = 0; i <= cap; ++i) {
            const std::string uid = std::to_string(1020 + i);
            queue.FetchAlwaysThen(row.base + "avatars/u" + uid + ".jpg",
                folder_.Path(std::string(row.widens ? "first-wide-" : "first-narrow-") + uid + ".jpg"),
                [&written](bool replaced) { written += replaced; });
        }
        ASSERT_TRUE(queue.WaitIdle(std::chrono::seconds(60)));
        EXPECT_EQ(written.load(), cap + 1);
        const int most = LocalService::MostAtOnce();
        EXPECT_EQ(most > cap, row.widens) << most << " answered at once with a cap of " << cap;
    }
}
