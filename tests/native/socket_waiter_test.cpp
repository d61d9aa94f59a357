#include "socket_waiter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "local_service.h"

namespace {

using Clock = std::chrono::steady_clock;

// Far longer than any wait below should last: a wait that runs this long
// missed its wake-up or its socket.
const int kLongMs = 10000;

struct EasyCloser {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using Easy = std::unique_ptr<CURL, EasyCloser>;

// A connection to the local service that nothing has been sent on yet.
Easy Connect(curl_socket_t& socket)
{
    Easy easy(curl_easy_init());
    curl_easy_setopt(easy.get(), CURLOPT_URL, LocalService::BaseUrl().c_str());
    curl_easy_setopt(easy.get(), CURLOPT_CONNECT_ONLY, 1L);
    if (curl_easy_perform(easy.get()) != CURLE_OK
        || curl_easy_getinfo(easy.get(), CURLINFO_ACTIVESOCKET, &socket) != CURLE_OK)
        return nullptr;
    return easy;
}

bool Send(CURL* easy, const std::string& bytes)
{
    std::size_t sent = 0;
    return curl_easy_send(easy, bytes.data(), bytes.size(), &sent) == CURLE_OK && sent == bytes.size();
}

// Reads until the service closes the connection; false when it never did.
bool ReadToEnd(SocketWaiter& waiter, CURL* easy, curl_socket_t socket)
{
    char bytes[4096];
    for (int waits = 0; waits < 50; ++waits) {
        std::vector<SocketWaiter::Watch> watches{{socket, true, false, 0}};
        waiter.Wait(watches, 200);
        for (;;) {
            std::size_t got = 0;
            const CURLcode code = curl_easy_recv(easy, bytes, sizeof bytes, &got);
            if (code == CURLE_AGAIN)
                break;
            if (code != CURLE_OK || got == 0)
                return true;
        }
    }
    return false;
}

// Milliseconds one wait lasted.
long long TimedWait(SocketWaiter& waiter, std::vector<SocketWaiter::Watch>& watches, int timeoutMs)
{
    const auto start = Clock::now();
    waiter.Wait(watches, timeoutMs);
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class SocketWaiterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(LocalService::Reset()) << "local service not reachable";
        ASSERT_TRUE(waiter_.Usable());
        easy_ = Connect(socket_);
        ASSERT_TRUE(easy_);
    }
    SocketWaiter waiter_;
    Easy easy_;
    curl_socket_t socket_ = CURL_SOCKET_BAD;
};

}  // namespace

TEST_F(SocketWaiterTest, ReportsWhatEachSocketIsReadyFor)
{
    struct Row {
        const char* name;
        const char* request;  // sent before the wait, or none
        bool readToEnd;  // the answer read until the service closed
        bool read, write;
        int ready;  // the readiness the wait reports
    };
    const Row rows[] = {
        {"nothing asked of it yet: writable", nullptr, false, false, true, SocketWaiter::kWritable},
        {"an answer on its way: readable", "GET /__control/status HTTP/1.1\r\nHost: x\r\n\r\n", false, true, false,
            SocketWaiter::kReadable},
        {"an answer unread, asked for both", nullptr, false, true, true,
            SocketWaiter::kReadable | SocketWaiter::kWritable},
        // The read is what tells libcurl the peer hung up.
        {"closed by the service: readable", "GET /__control/status HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n",
            true, true, false, SocketWaiter::kReadable},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.request) {
            ASSERT_TRUE(Send(easy_.get(), row.request));
        }
        if (row.readToEnd) {
            ASSERT_TRUE(ReadToEnd(waiter_, easy_.get(), socket_));
        }
        std::vector<SocketWaiter::Watch> watches{{socket_, row.read, row.write, 0}};
        EXPECT_LT(TimedWait(waiter_, watches, kLongMs), kLongMs);
        EXPECT_EQ(watches[0].ready & (SocketWaiter::kReadable | SocketWaiter::kWritable), row.ready);
    }
}

// A socket closed under the waiter must not make every later wait fail at
// once with nothing reported: the transfer that owns it has to find out.
TEST_F(SocketWaiterTest, ASocketThatIsNoLongerOpenIsReportedBesideAGoodOne)
{
#ifdef _WIN32
    const curl_socket_t gone = curl_socket_t(0x7ffffff0);
#else
    const curl_socket_t gone = (1 << 24) - 1;
#endif
    std::vector<SocketWaiter::Watch> watches{{gone, true, false, 0}, {socket_, true, false, 0}};
    EXPECT_LT(TimedWait(waiter_, watches, kLongMs), kLongMs);
    EXPECT_NE(watches[0].ready, 0);
}

TEST_F(SocketWaiterTest, ASocketWithNothingToReadIsNotReported)
{
    std::vector<SocketWaiter::Watch> watches{{socket_, true, false, SocketWaiter::kReadable}};
    waiter_.Wait(watches, 50);
    EXPECT_EQ(watches[0].ready, 0);
}

TEST_F(SocketWaiterTest, AWakeEndsTheWaitWhetherItCameBeforeOrDuring)
{
    std::vector<SocketWaiter::Watch> watches{{socket_, true, false, 0}};
    waiter_.Wake();
    EXPECT_LT(TimedWait(waiter_, watches, kLongMs), kLongMs / 2) << "a wake before the wait";
    EXPECT_EQ(watches[0].ready, 0);

    std::thread waker([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        waiter_.Wake();
    });
    EXPECT_LT(TimedWait(waiter_, watches, kLongMs), kLongMs / 2) << "a wake during the wait";
    waker.join();
    EXPECT_EQ(watches[0].ready, 0);

    // Many wake-ups are one: the next wait sleeps until its time-out.
    for (int i = 0; i < 1000; ++i)
        waiter_.Wake();
    waiter_.Wait(watches, 0);
    watches[0].ready = SocketWaiter::kFailed;
    waiter_.Wait(watches, 50);
    EXPECT_EQ(watches[0].ready, 0);
}
