#include "work_tracker.h"

WorkTracker::Token::Token(std::shared_ptr<WorkTracker> tracker)
    : tracker_(std::move(tracker))
{
    if (tracker_)
        tracker_->Begin();
}

WorkTracker::Token& WorkTracker::Token::operator=(Token&& other) noexcept
{
    if (this != &other) {
        Release();
        tracker_ = std::move(other.tracker_);
    }
    return *this;
}

WorkTracker::Token::~Token() { Release(); }

void WorkTracker::Token::Release()
{
    if (tracker_)
        tracker_->End();
    tracker_.reset();
}

void WorkTracker::Begin()
{
    std::lock_guard<std::mutex> guard(lock_);
    ++running_;
}

void WorkTracker::End()
{
    std::lock_guard<std::mutex> guard(lock_);
    if (--running_ == 0)
        idle_.notify_all();
}

bool WorkTracker::WaitIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> guard(lock_);
    return idle_.wait_for(guard, timeout, [this] { return running_ == 0; });
}

int WorkTracker::Running() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return running_;
}
