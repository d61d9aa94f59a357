#pragma once
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "platform.h"

// Counts the detached workers of one owner, so a caller can wait, with a
// bound, until they have all finished (tests, orderly shutdown).
class WorkTracker {
public:
    // Held by a worker for its whole life; the count drops when it goes.
    class Token {
    public:
        Token() = default;
        explicit Token(std::shared_ptr<WorkTracker> tracker);
        Token(Token&& other) noexcept = default;
        Token& operator=(Token&& other) noexcept;
        Token(const Token&) = delete;
        Token& operator=(const Token&) = delete;
        ~Token();

    private:
        void Release();
        std::shared_ptr<WorkTracker> tracker_;
    };

    // True when every worker finished within `timeout`.
    bool WaitIdle(std::chrono::milliseconds timeout);
    int Running() const;

private:
    void Begin();
    void End();

    mutable std::mutex lock_;
    std::condition_variable idle_;
    int running_ = 0;
};

// Runs `work` on a detached worker that `tracker` counts until it ends.
template <typename Work> void StartTrackedWorker(const std::shared_ptr<WorkTracker>& tracker, Work work)
{
    // The thread start wants a copyable function: the move-only parts are shared.
    auto shared = std::make_shared<Work>(std::move(work));
    auto token = std::make_shared<WorkTracker::Token>(tracker);
    platform::StartDetachedThread([shared, token] { (*shared)(); });
}
