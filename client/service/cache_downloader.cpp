#include "cache_downloader.h"

#include "cache_limiter.h"
#include "platform.h"
#include "work_tracker.h"

#include <deque>
#include <mutex>
#include <set>
#include <thread>

struct CacheDownloader::Queue {
    struct Job {
        std::string url;
        std::string target;
        bool onlyIfMissing;
    };

    static void Enqueue(const std::shared_ptr<Queue>& queue, Job job);
    // One worker: runs its job, then whatever is waiting, then ends.
    static void Work(std::shared_ptr<Queue> queue, Job job, WorkTracker::Token token);
    void Run(const Job& job);

    std::shared_ptr<CacheLimiter> limiter;
    TransferLimits limits;
    int maxParallel = 1;
    std::shared_ptr<WorkTracker> tracker = std::make_shared<WorkTracker>();

    std::mutex lock;
    std::deque<Job> waiting;
    std::set<std::string> targets;  // queued or running
    int running = 0;
};

void CacheDownloader::Queue::Enqueue(const std::shared_ptr<Queue>& queue, Job job)
{
    {
        std::lock_guard<std::mutex> guard(queue->lock);
        if (!queue->targets.insert(job.target).second)
            return;  // that file is already on its way
        if (queue->running >= queue->maxParallel) {
            queue->waiting.push_back(std::move(job));
            return;
        }
        ++queue->running;
    }
    std::thread(Work, queue, std::move(job), WorkTracker::Token(queue->tracker)).detach();
}

void CacheDownloader::Queue::Work(std::shared_ptr<Queue> queue, Job job, WorkTracker::Token)
{
    for (;;) {
        queue->Run(job);
        std::lock_guard<std::mutex> guard(queue->lock);
        queue->targets.erase(job.target);
        if (queue->waiting.empty()) {
            --queue->running;
            return;
        }
        job = std::move(queue->waiting.front());
        queue->waiting.pop_front();
    }
}

void CacheDownloader::Queue::Run(const Job& job)
{
    CacheLimiter::Pin pin;
    if (limiter)
        pin = limiter->PinFile(job.target);
    if (job.onlyIfMissing && IsValidCachedFile(job.target)) {
        if (limiter)
            limiter->NoteUse(job.target);
        return;
    }
    DownloadToFile(job.url, job.target, limits);
    std::int64_t size = platform::FileSize(job.target);
    if (limiter && size > 0)
        limiter->NoteWritten(static_cast<std::uint64_t>(size));
}

CacheDownloader::CacheDownloader(std::shared_ptr<CacheLimiter> limiter, TransferLimits limits, int maxParallel)
    : queue_(std::make_shared<Queue>())
{
    queue_->limiter = std::move(limiter);
    queue_->limits = limits;
    queue_->maxParallel = maxParallel > 0 ? maxParallel : 1;
}

CacheDownloader::~CacheDownloader() = default;

void CacheDownloader::FetchIfMissing(const std::string& url, const std::string& targetPath)
{
    if (url.empty())
        return;
    Queue::Enqueue(queue_, {url, targetPath, true});
}

void CacheDownloader::FetchAlways(const std::string& url, const std::string& targetPath)
{
    if (url.empty())
        return;
    Queue::Enqueue(queue_, {url, targetPath, false});
}

void CacheDownloader::FetchLarge(const std::string& url, const std::string& targetPath)
{
    FetchIfMissing(url, targetPath);
}

bool CacheDownloader::WaitIdle(std::chrono::milliseconds timeout) { return queue_->tracker->WaitIdle(timeout); }
