#include "transfer_loop.h"

#include "platform.h"
#include "socket_waiter.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace transfer_loop {
namespace {

// Connections per host over HTTP/1.1: a start-up's burst queues on these and
// reuses them instead of opening one per request. Streams of an HTTP/2
// connection do not count against it.
const long kConnectionsPerHost = 6;
// Idle connections kept for reuse, across hosts, at the least: a queue
// allowed more at a time keeps as many, or each of its waves would close
// what the last one opened and pay for new connections.
const long kKeptConnections = 16;
// The longest the thread sleeps without a wake-up; libcurl's own time-outs
// shorten it.
const int kPollMs = 1000;

// DNS answers and TLS sessions shared by every handle, each kind behind its
// own lock.
class SharedCaches {
public:
    SharedCaches()
        : share_(curl_share_init())
    {
        if (!share_)
            return;
        curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, Lock);
        curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, Unlock);
        curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    }
    CURLSH* Get() const { return share_; }

private:
    static std::mutex& LockOf(curl_lock_data data, void* self)
    {
        auto& locks = static_cast<SharedCaches*>(self)->locks_;
        return locks[data >= 0 && data < CURL_LOCK_DATA_LAST ? data : CURL_LOCK_DATA_NONE];
    }
    static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* self) { LockOf(data, self).lock(); }
    static void Unlock(CURL*, curl_lock_data data, void* self) { LockOf(data, self).unlock(); }

    CURLSH* share_;
    std::mutex locks_[CURL_LOCK_DATA_LAST];
};

SharedCaches& Caches()
{
    // Never destroyed: a worker may still clean up a handle at exit.
    static SharedCaches* caches = new SharedCaches;
    return *caches;
}

// scheme://host:port of url in libcurl's own reading, or empty when it
// reads none.
std::string OriginOf(const char* url)
{
    std::string origin;
    CURLU* parsed = curl_url();
    if (!parsed)
        return origin;
    char* scheme = nullptr;
    char* host = nullptr;
    char* port = nullptr;
    if (curl_url_set(parsed, CURLUPART_URL, url, 0) == CURLUE_OK
        && curl_url_get(parsed, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK
        && curl_url_get(parsed, CURLUPART_HOST, &host, 0) == CURLUE_OK
        && curl_url_get(parsed, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK)
        origin = std::string(scheme) + "://" + host + ":" + port;
    curl_free(scheme);
    curl_free(host);
    curl_free(port);
    curl_url_cleanup(parsed);
    return origin;
}

// The servers last heard answering over a multiplexed connection. A program
// talks to a few; past kMostOrigins the oldest is forgotten.
class MultiplexingOrigins {
public:
    void Note(const std::string& origin, bool multiplexed)
    {
        std::lock_guard<std::mutex> guard(lock_);
        const auto found = std::find(origins_.begin(), origins_.end(), origin);
        if (found != origins_.end()) {
            if (!multiplexed)
                origins_.erase(found);
            return;
        }
        if (!multiplexed)
            return;
        if (origins_.size() >= kMostOrigins)
            origins_.erase(origins_.begin());
        origins_.push_back(origin);
    }
    bool Has(const std::string& origin)
    {
        std::lock_guard<std::mutex> guard(lock_);
        return std::find(origins_.begin(), origins_.end(), origin) != origins_.end();
    }

private:
    static constexpr std::size_t kMostOrigins = 16;
    std::mutex lock_;
    std::vector<std::string> origins_;
};

MultiplexingOrigins& Origins()
{
    // Never destroyed, as the share: detached workers may transfer at exit.
    static MultiplexingOrigins* origins = new MultiplexingOrigins;
    return *origins;
}

// How a transfer that reached its server travelled, for Multiplexes.
void NoteHowItTravelled(CURL* handle)
{
    long status = 0;
    long version = 0;
    const char* url = nullptr;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(handle, CURLINFO_HTTP_VERSION, &version);
    curl_easy_getinfo(handle, CURLINFO_EFFECTIVE_URL, &url);
    if (status == 0 || !url)
        return;
    const std::string origin = OriginOf(url);
    if (!origin.empty())
        Origins().Note(origin, version >= CURL_HTTP_VERSION_2_0);
}

// One transfer handed to the thread; `done` and `code` are guarded by the
// loop's lock. Each has its own wake-up: one finished transfer wakes its own
// worker, not every worker waiting on the loop.
struct Job {
    CURL* handle = nullptr;
    CURLcode code = CURLE_FAILED_INIT;
    bool done = false;
    std::condition_variable* finished = nullptr;
};

class Loop {
public:
    bool Start()
    {
        if (!waiter_.Usable())
            return false;
        multi_ = curl_multi_init();
        if (!multi_)
            return false;
        curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, perHost_);
        curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, kKeptConnections);
        curl_multi_setopt(multi_, CURLMOPT_PIPELINING, long(CURLPIPE_MULTIPLEX));
        curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, OnSocket);
        curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
        curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, OnTimer);
        curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
        return platform::StartDetachedThread([this] { Drive(); });
    }

    CURLcode Run(CURL* handle)
    {
        Job job;
        job.handle = handle;
        std::unique_lock<std::mutex> guard(lock_);
        std::unique_ptr<std::condition_variable> finished = TakeWakeUp();
        job.finished = finished.get();
        ++waiting_;
        incoming_.push_back(&job);
        guard.unlock();
        // One wake-up at a time: a burst of transfers handed over together
        // needs one, and each costs a send (a server call under Wine).
        if (!wakeSent_.exchange(true))
            waiter_.Wake();
        guard.lock();
        finished->wait(guard, [&] { return job.done; });
        // Kept only while other transfers run: each holds system handles,
        // and a program at rest holds none for them.
        if (--waiting_ == 0)
            spareWakeUps_.clear();
        else
            spareWakeUps_.push_back(std::move(finished));
        return job.code;
    }

    // Taken up by the transfer thread, which alone may set the multi's options.
    void Allow(long perHost, bool living)
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (living) {
            allowances_.insert(perHost);
        } else {
            auto found = allowances_.find(perHost);
            if (found != allowances_.end())
                allowances_.erase(found);
        }
        const long widest = allowances_.empty() ? 0 : *allowances_.rbegin();
        wantedPerHost_ = widest > kConnectionsPerHost ? widest : kConnectionsPerHost;
        waiter_.Wake();
    }

private:
    using Clock = std::chrono::steady_clock;

    // libcurl says which sockets to watch and when its next time-out falls;
    // the thread waits on exactly those and tells it what happened, so no
    // transfer asks the system again whether its socket is ready.
    void Drive()
    {
        std::vector<SocketWaiter::Watch> watches;
        for (;;) {
            Admit();
            if (TimerDue())
                Act(CURL_SOCKET_TIMEOUT, 0);
            Collect();
            watches.clear();
            for (const auto& [socket, what] : sockets_)
                watches.push_back({socket, what == CURL_POLL_IN || what == CURL_POLL_INOUT,
                    what == CURL_POLL_OUT || what == CURL_POLL_INOUT, 0});
            waiter_.Wait(watches, WaitMs());
            // Before Admit: whatever is handed over after this wakes it again.
            wakeSent_ = false;
            for (const SocketWaiter::Watch& watch : watches) {
                if (watch.ready)
                    Act(watch.socket, CurlEvents(watch.ready));
            }
            Collect();
        }
    }

    void Act(curl_socket_t socket, int events)
    {
        int running = 0;
        curl_multi_socket_action(multi_, socket, events, &running);
    }

    static int CurlEvents(int ready)
    {
        return ((ready & SocketWaiter::kReadable) ? CURL_CSELECT_IN : 0)
            | ((ready & SocketWaiter::kWritable) ? CURL_CSELECT_OUT : 0)
            | ((ready & SocketWaiter::kFailed) ? CURL_CSELECT_ERR : 0);
    }

    static int OnSocket(CURL*, curl_socket_t socket, int what, void* self, void*)
    {
        auto& sockets = static_cast<Loop*>(self)->sockets_;
        if (what == CURL_POLL_REMOVE)
            sockets.erase(socket);
        else
            sockets[socket] = what;
        return 0;
    }

    static int OnTimer(CURLM*, long timeoutMs, void* self)
    {
        auto& loop = *static_cast<Loop*>(self);
        loop.timerSet_ = timeoutMs >= 0;
        loop.timer_ = Clock::now() + std::chrono::milliseconds(timeoutMs >= 0 ? timeoutMs : 0);
        return 0;
    }

    bool TimerDue()
    {
        if (!timerSet_ || Clock::now() < timer_)
            return false;
        timerSet_ = false;
        return true;
    }

    int WaitMs() const
    {
        if (!timerSet_)
            return kPollMs;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(timer_ - Clock::now()).count();
        return left < 0 ? 0 : left > kPollMs ? kPollMs : int(left);
    }

    // A wake-up a finished worker left, or a new one (called locked). Kept
    // for reuse within a burst: under Wine each one made costs server calls,
    // and a start hands over a few hundred transfers.
    std::unique_ptr<std::condition_variable> TakeWakeUp()
    {
        if (spareWakeUps_.empty())
            return std::make_unique<std::condition_variable>();
        std::unique_ptr<std::condition_variable> spare = std::move(spareWakeUps_.back());
        spareWakeUps_.pop_back();
        return spare;
    }

    void Admit()
    {
        const long wanted = wantedPerHost_.load();
        if (wanted != perHost_) {
            perHost_ = wanted;
            curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, perHost_);
            curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, perHost_ > kKeptConnections ? perHost_ : kKeptConnections);
        }
        std::vector<Job*> arrived;
        {
            std::lock_guard<std::mutex> guard(lock_);
            arrived.swap(incoming_);
        }
        for (Job* job : arrived) {
            curl_easy_setopt(job->handle, CURLOPT_PRIVATE, job);
            if (curl_multi_add_handle(multi_, job->handle) != CURLM_OK)
                Finish(job, CURLE_FAILED_INIT);
        }
    }

    void Collect()
    {
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
            if (message->msg != CURLMSG_DONE)
                continue;
            CURL* handle = message->easy_handle;
            const CURLcode code = message->data.result;
            Job* job = nullptr;
            curl_easy_getinfo(handle, CURLINFO_PRIVATE, &job);
            // The handle leaves the multi before its worker may touch it again.
            curl_multi_remove_handle(multi_, handle);
            if (job)
                Finish(job, code);
        }
    }

    void Finish(Job* job, CURLcode code)
    {
        std::lock_guard<std::mutex> guard(lock_);
        job->code = code;
        job->done = true;
        // Under the lock: once `done` is seen the worker may end the job.
        job->finished->notify_one();
    }

    CURLM* multi_ = nullptr;
    SocketWaiter waiter_;
    // The transfer thread's: what libcurl asked to watch, and its time-out.
    std::map<curl_socket_t, int> sockets_;
    bool timerSet_ = false;
    Clock::time_point timer_;
    long perHost_ = kConnectionsPerHost;  // the transfer thread's
    std::atomic<long> wantedPerHost_{kConnectionsPerHost};
    std::mutex lock_;
    std::multiset<long> allowances_;
    std::vector<Job*> incoming_;
    std::vector<std::unique_ptr<std::condition_variable>> spareWakeUps_;
    int waiting_ = 0;  // workers handed over and not yet woken
    std::atomic<bool> wakeSent_{false};
};

// Null when the thread could not start; then every worker transfers itself.
Loop* TheLoop()
{
    if (!CurlReady())
        return nullptr;
    static Loop* loop = new Loop;
    static const bool running = loop->Start();
    return running ? loop : nullptr;
}

}  // namespace

bool CurlReady()
{
    static const bool ready = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
    return ready;
}

void Prepare() { TheLoop(); }

CURLcode Perform(CURL* handle)
{
    Loop* loop = TheLoop();
    const CURLcode code = loop ? loop->Run(handle) : curl_easy_perform(handle);
    NoteHowItTravelled(handle);
    return code;
}

bool Multiplexes(const std::string& url)
{
    const std::string origin = OriginOf(url.c_str());
    return !origin.empty() && Origins().Has(origin);
}

HostConnections::HostConnections(long count)
    : count_(count)
{
    if (Loop* loop = TheLoop())
        loop->Allow(count_, true);
}

HostConnections::~HostConnections()
{
    if (Loop* loop = TheLoop())
        loop->Allow(count_, false);
}

void UseSharedCaches(CURL* handle)
{
    if (CURLSH* share = Caches().Get())
        curl_easy_setopt(handle, CURLOPT_SHARE, share);
}

}  // namespace transfer_loop
