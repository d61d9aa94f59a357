#include "http_transport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "json_text.h"
#include "local_service.h"
#include "platform.h"
#include "temp_folder.h"
#include "transfer_loop.h"

namespace {

const char kHotTags[] = "book.php?action=c_hot_tag";
const char kCategories[] = "book.php?action=c_all_list";

// Far fewer than one per request: a start-up's burst shares a handful.
const int kFewConnections = 8;

bool AsksWell(const std::string& path)
{
    std::string answer;
    if (PostFormWithTimeout(LocalService::BaseUrl() + path, "", answer) != 0)
        return false;
    return JsonOf(answer).isObject() || JsonOf(answer).isArray();
}

// Runs work(0) .. work(count - 1) on threads of their own, all at once, and
// waits for them.
template <class Work> void AllAtOnce(int count, Work work)
{
    std::vector<std::thread> workers;
    for (int i = 0; i < count; ++i)
        workers.emplace_back(work, i);
    for (std::thread& worker : workers)
        worker.join();
}

class ConnectionReuseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The reset also closes the connections kept from earlier tests.
        ASSERT_TRUE(LocalService::Reset()) << "local service not reachable";
        ASSERT_EQ(LocalService::ConnectionsServed(), 0);
    }
    void TearDown() override { LocalService::Reset(); }
    TempFolder folder_;
};

}  // namespace

TEST_F(ConnectionReuseTest, SequentialRequestsShareOneConnection)
{
    const int requests = 20;
    for (int i = 0; i < requests; ++i)
        ASSERT_TRUE(AsksWell(i % 2 ? kHotTags : kCategories)) << "request " << i;
    EXPECT_EQ(LocalService::ConnectionsServed(), 1);
}

TEST_F(ConnectionReuseTest, ConcurrentRequestsAndDownloadsShareAFewConnections)
{
    // Thumbnails and answers at once, as a start-up asks for them.
    const int rounds = 3;
    const int perRound = 16;
    const std::string base = LocalService::BaseUrl();
    std::atomic<int> failures{0};
    for (int round = 0; round < rounds; ++round) {
        AllAtOnce(perRound, [&, round](int i) {
            if (i % 2 == 0) {
                failures += !AsksWell(kHotTags);
                return;
            }
            const std::string target = folder_.Path("t" + std::to_string(round) + "_" + std::to_string(i) + ".jpg");
            const std::string url = base + "avatars/u" + std::to_string(1001 + i) + ".jpg";
            failures += !DownloadFile(url, target).written;
        });
    }
    EXPECT_EQ(failures.load(), 0);
    const int connections = LocalService::ConnectionsServed();
    EXPECT_GE(connections, 1);
    EXPECT_LE(connections, kFewConnections) << "for " << rounds * perRound << " requests";
}

// A download queue allowed more at a time than the loop keeps idle: each
// wave after the first rides the connections the first one opened, instead
// of closing all but the kept ones and connecting again.
TEST_F(ConnectionReuseTest, WavesWiderThanTheKeptConnectionsReuseThem)
{
    const int wide = 24;
    const int waves = 3;
    const transfer_loop::HostConnections allowance(wide);
    // Long enough for a whole wave to be in flight at once.
    ASSERT_TRUE(LocalService::SetFault("normal&latency_ms=150"));
    const std::string base = LocalService::BaseUrl();
    std::atomic<int> failures{0};
    for (int wave = 0; wave < waves; ++wave) {
        AllAtOnce(wide, [&, wave](int i) {
            const std::string target = folder_.Path("w" + std::to_string(wave) + "_" + std::to_string(i) + ".jpg");
            failures += !DownloadFile(base + "avatars/u" + std::to_string(1001 + i % 8) + ".jpg", target).written;
        });
    }
    EXPECT_EQ(failures.load(), 0);
    EXPECT_LE(LocalService::ConnectionsServed(), wide) << "for " << waves << " waves of " << wide;
}

// A kept connection the service ends, while idle or by answering with a
// close, is replaced by a new one and the request still gets its answer.
TEST_F(ConnectionReuseTest, ConnectionTheServiceClosesIsReplacedWithoutAnError)
{
    struct Row {
        const char* name;
        const char* fault;  // a fault that closes after its one answer, or none
        bool dropIdle;
    };
    const Row rows[] = {
        {"closed while idle", nullptr, true},
        {"answer ends the connection", "nolength&scope=json&count=1", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(LocalService::Reset());
        if (row.fault) {
            ASSERT_TRUE(LocalService::SetFault(row.fault));
        }
        ASSERT_TRUE(AsksWell(kHotTags));
        if (row.dropIdle) {
            EXPECT_EQ(LocalService::DropIdleConnections(), 1);
        }
        std::string answer;
        ASSERT_EQ(PostFormWithTimeout(LocalService::BaseUrl() + kCategories, "", answer), 0);
        EXPECT_TRUE(JsonOf(answer).isArray()) << answer;
        EXPECT_TRUE(AsksWell(kHotTags));
        EXPECT_EQ(LocalService::ConnectionsServed(), 2);
    }
}
