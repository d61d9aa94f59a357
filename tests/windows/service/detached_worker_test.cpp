#include "work_tracker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// Workers that end at once, started from several threads together, as the
// feed parser starts downloads: every one runs and none takes the program down.
TEST(DetachedWorkerTest, ManyShortWorkersAllRun)
{
    constexpr int kStarters = 4;
    constexpr int kEach = 500;
    auto tracker = std::make_shared<WorkTracker>();
    std::atomic<int> ran{0};
    std::thread starters[kStarters];
    for (auto& starter : starters) {
        starter = std::thread([&] {
            for (int i = 0; i < kEach; ++i)
                StartTrackedWorker(tracker, [&ran] { ran.fetch_add(1); });
        });
    }
    for (auto& starter : starters)
        starter.join();
    ASSERT_TRUE(tracker->WaitIdle(std::chrono::seconds(60)));
    EXPECT_EQ(ran.load(), kStarters * kEach);
}

}  // namespace
