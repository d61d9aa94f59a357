#include "cache_downloader.h"

#include "cache_limiter.h"
#include "message_sink.h"
#include "platform.h"
#include "transfer_loop.h"
#include "web_address.h"
#include "window_messages.h"
#include "work_tracker.h"

#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

struct CacheDownloader::Queue {
    struct Job {
        std::string url;
        std::string target;
        bool onlyIfMissing;
        std::vector<DownloadDone> done;
    };
    // A target queued or running. A fresh download asked for while it runs
    // follows it once, however often it was asked for meanwhile.
    struct Entry {
        bool running = false;
        std::optional<Job> again;
    };

    static void Enqueue(const std::shared_ptr<Queue>& queue, Job job);
    // Starts a worker for `job`, already marked running. When none starts,
    // the marks are undone and the job fails, and so does every waiting one
    // that then has room but no worker either.
    static void Start(const std::shared_ptr<Queue>& queue, Job job);
    // Undoes the marks of a job whose worker never started; it and a fresh
    // download that waited on it go to `failed` (called locked).
    void Unmark(Job job, std::vector<Job>& failed);
    // A waiting job, marked running, when there is room for it (called locked).
    bool TakeWaiting(Job& job);
    // One worker: runs its job, then whatever is waiting, then ends.
    static void Work(std::shared_ptr<Queue> queue, Job job, WorkTracker::Token token);
    void Coalesce(Entry& entry, Job job);
    // A fresh request joins one queued or waiting: the later address wins,
    // and everyone who asked is told when it ran.
    static void Merge(Job& into, Job job);
    // The job to run next, or false when there is none (called locked).
    bool TakeNext(Job& job);
    // True when the download replaced the target; `multiplexed` is set to
    // how it travelled when a transfer ran.
    bool Run(const Job& job, bool& transferred, bool& multiplexed);
    // How many may run at once now (called locked).
    int Room() const
    {
        return multiplexed && maxParallel < kMultiplexedDownloads ? kMultiplexedDownloads : maxParallel;
    }

    std::shared_ptr<CacheLimiter> limiter;
    std::shared_ptr<MessageSink> sink;
    // Made with the first job, under the lock; kept as long as the queue's
    // workers may still run.
    std::unique_ptr<transfer_loop::HostConnections> connections;
    TransferLimits limits;
    int maxParallel = 1;
    std::shared_ptr<WorkTracker> tracker = std::make_shared<WorkTracker>();
    ThreadStarter startThread;

    std::mutex lock;
    std::deque<Job> waiting;
    std::map<std::string, Entry> targets;
    int running = 0;
    // How the last transfer travelled, or that the last job's server is
    // known to multiplex.
    bool multiplexed = false;
};

void CacheDownloader::Queue::Enqueue(const std::shared_ptr<Queue>& queue, Job job)
{
    // A server the program's answers already came from over HTTP/2 gets the
    // wide first wave at once, not one round trip later.
    const bool multiplexes = transfer_loop::Multiplexes(job.url);
    {
        std::lock_guard<std::mutex> guard(queue->lock);
        if (multiplexes)
            queue->multiplexed = true;
        // With the first job, not when the queue is made: that starts the
        // transfer thread, and the window's start need not wait for it.
        if (!queue->connections)
            queue->connections = std::make_unique<transfer_loop::HostConnections>(queue->maxParallel);
        auto [entry, fresh] = queue->targets.try_emplace(job.target);
        if (!fresh) {
            queue->Coalesce(entry->second, std::move(job));
            return;
        }
        if (queue->running >= queue->Room()) {
            queue->waiting.push_back(std::move(job));
            return;
        }
        entry->second.running = true;
        ++queue->running;
    }
    Start(queue, std::move(job));
}

void CacheDownloader::Queue::Start(const std::shared_ptr<Queue>& queue, Job job)
{
    std::vector<Job> failed;
    for (;;) {
        auto shared = std::make_shared<Job>(std::move(job));
        auto token = std::make_shared<WorkTracker::Token>(queue->tracker);
        if (queue->startThread([queue, shared, token] { Work(queue, std::move(*shared), std::move(*token)); }))
            break;
        // The work was dropped unrun: the job is still in `shared`.
        std::lock_guard<std::mutex> guard(queue->lock);
        queue->Unmark(std::move(*shared), failed);
        if (!queue->TakeWaiting(job))
            break;
    }
    for (Job& lost : failed) {
        for (DownloadDone& done : lost.done)
            done(false);
    }
}

void CacheDownloader::Queue::Unmark(Job job, std::vector<Job>& failed)
{
    --running;
    auto entry = targets.find(job.target);
    failed.push_back(std::move(job));
    if (entry == targets.end())
        return;
    if (entry->second.again)
        failed.push_back(std::move(*entry->second.again));
    targets.erase(entry);
}

bool CacheDownloader::Queue::TakeWaiting(Job& job)
{
    if (waiting.empty() || running >= Room())
        return false;
    job = std::move(waiting.front());
    waiting.pop_front();
    targets[job.target].running = true;
    ++running;
    return true;
}

void CacheDownloader::Queue::Coalesce(Entry& entry, Job job)
{
    if (job.onlyIfMissing)
        return;  // the download on its way brings the file
    if (entry.running) {
        if (!entry.again)
            entry.again.emplace();
        Merge(*entry.again, std::move(job));
        return;
    }
    // Still waiting: it simply becomes a fresh download.
    for (Job& queued : waiting) {
        if (queued.target == job.target) {
            Merge(queued, std::move(job));
            return;
        }
    }
}

void CacheDownloader::Queue::Merge(Job& into, Job job)
{
    into.url = std::move(job.url);
    into.target = std::move(job.target);
    into.onlyIfMissing = false;
    for (DownloadDone& done : job.done)
        into.done.push_back(std::move(done));
}

bool CacheDownloader::Queue::TakeNext(Job& job)
{
    Entry& entry = targets[job.target];
    if (entry.again) {
        job = std::move(*entry.again);
        entry.again.reset();
        return true;
    }
    targets.erase(job.target);
    if (waiting.empty())
        return false;
    job = std::move(waiting.front());
    waiting.pop_front();
    targets[job.target].running = true;
    return true;
}

void CacheDownloader::Queue::Work(std::shared_ptr<Queue> queue, Job job, WorkTracker::Token)
{
    for (;;) {
        bool transferred = false;
        bool multiplexed = false;
        const bool replaced = queue->Run(job, transferred, multiplexed);
        if (replaced && queue->sink)
            queue->sink->Post(UM_PICTURE_ARRIVED, LandedPictureKey(job.target), 0);
        for (DownloadDone& done : job.done)
            done(replaced);
        job.done.clear();
        // Room the last transfer opened goes to waiting jobs on workers of
        // their own.
        std::vector<Job> more;
        bool next = false;
        {
            std::lock_guard<std::mutex> guard(queue->lock);
            if (transferred)
                queue->multiplexed = multiplexed;
            next = queue->TakeNext(job);
            if (!next)
                --queue->running;
            Job extra;
            while (queue->TakeWaiting(extra))
                more.push_back(std::move(extra));
        }
        for (Job& extra : more)
            Start(queue, std::move(extra));
        if (!next)
            return;
    }
}

bool CacheDownloader::Queue::Run(const Job& job, bool& transferred, bool& multiplexed)
{
    CacheLimiter::Pin pin;
    if (limiter)
        pin = limiter->PinFile(job.target);
    // One look for the file: under Wine each look for a name that is not
    // there yet scans its folder.
    const std::int64_t before = platform::FileSize(job.target);
    if (job.onlyIfMissing && before > 0 && IsValidCachedFile(job.target)) {
        if (limiter)
            limiter->NoteUse(job.target);
        return false;
    }
    // The folder may have gone since the list that named the file was read
    // (a user clearing the cache): the picture still has somewhere to land.
    const std::size_t cut = job.target.find_last_of("/\\");
    if (cut != std::string::npos && !platform::IsDirectory(job.target.substr(0, cut)))
        platform::CreateDirectoryTree(job.target.substr(0, cut));
    // A failed download leaves the old file; it was counted when it came.
    const DownloadResult result = DownloadFile(job.url, job.target, limits);
    transferred = result.httpStatus != 0;
    multiplexed = result.multiplexed;
    if (!result.written)
        return false;
    if (limiter)
        limiter->NoteReplaced(job.target, before);
    return true;
}

// FNV-1a: stable across runs and 32 bits wide in either build.
std::uint32_t LandedPictureKey(const std::string& targetPath)
{
    std::uint32_t hash = 2166136261u;
    for (unsigned char c : targetPath) {
        hash ^= c;
        hash *= 16777619u;
    }
    return hash;
}

CacheDownloader::CacheDownloader(std::shared_ptr<CacheLimiter> limiter, TransferLimits limits, int maxParallel,
    std::shared_ptr<MessageSink> sink, ThreadStarter startThread)
    : queue_(std::make_shared<Queue>())
{
    queue_->startThread = startThread ? std::move(startThread) : ThreadStarter(platform::StartDetachedThread);
    queue_->limiter = std::move(limiter);
    queue_->sink = std::move(sink);
    queue_->limits = limits;
    queue_->maxParallel = maxParallel > 0 ? maxParallel : 1;
}

CacheDownloader::~CacheDownloader() = default;

void CacheDownloader::FetchIfMissing(const std::string& url, const std::string& targetPath)
{
    if (!IsWebAddress(url))
        return;
    Queue::Enqueue(queue_, {url, targetPath, true, {}});
}

void CacheDownloader::FetchAlways(const std::string& url, const std::string& targetPath)
{
    if (!IsWebAddress(url))
        return;
    Queue::Enqueue(queue_, {url, targetPath, false, {}});
}

void CacheDownloader::FetchAlwaysThen(const std::string& url, const std::string& targetPath, DownloadDone done)
{
    if (!IsWebAddress(url)) {
        if (done)
            done(false);
        return;
    }
    Queue::Job job{url, targetPath, false, {}};
    if (done)
        job.done.push_back(std::move(done));
    Queue::Enqueue(queue_, std::move(job));
}

void CacheDownloader::FetchLarge(const std::string& url, const std::string& targetPath)
{
    FetchIfMissing(url, targetPath);
}

void CacheDownloader::FetchLargeAhead(const std::string& url, const std::string& targetPath, DownloadDone done)
{
    if (!IsWebAddress(url)) {
        if (done)
            done(false);
        return;
    }
    Queue::Job job{url, targetPath, true, {}};
    if (done)
        job.done.push_back(std::move(done));
    Queue::Enqueue(queue_, std::move(job));
}

PictureHold CacheDownloader::HoldPicture(const std::string& path)
{
    struct Hold {
        std::shared_ptr<CacheLimiter> limiter;  // outlives the pin
        CacheLimiter::Pin pin;
    };
    const std::shared_ptr<CacheLimiter>& limiter = queue_->limiter;
    if (!limiter)
        return nullptr;
    limiter->NoteUse(path);
    auto hold = std::make_shared<Hold>();
    hold->limiter = limiter;
    hold->pin = limiter->PinFile(path);
    return hold;
}

const std::shared_ptr<CacheLimiter>& CacheDownloader::Limiter() const { return queue_->limiter; }

const std::shared_ptr<WorkTracker>& CacheDownloader::Tracker() const { return queue_->tracker; }

bool CacheDownloader::WaitIdle(std::chrono::milliseconds timeout) { return queue_->tracker->WaitIdle(timeout); }
