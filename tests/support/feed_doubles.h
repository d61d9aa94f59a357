#pragma once
// Stand-ins for the window, the downloads and the fetcher, recording what
// the service core asks of them. All are safe to call from many threads.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "downloader.h"
#include "feed_request.h"
#include "message_sink.h"
#include "window_messages.h"

struct SinkEvent {
    bool posted = false;
    unsigned message = 0;
    std::uintptr_t a = 0;
    std::intptr_t b = 0;
    // The UTF-8 text a sent message points to, copied during the call.
    std::string text;
};

class RecordingSink : public MessageSink {
public:
    std::intptr_t Send(unsigned message, std::uintptr_t a, std::intptr_t b) override
    {
        SinkEvent event{false, message, a, b, {}};
        if (message == UM_SHOW_LIST_PICTURE || message == UM_SHOW_ROW_PICTURE)
            event.text = *reinterpret_cast<const std::string*>(a);
        if (message == UM_SHOW_LARGE_PICTURE)
            event.text = *reinterpret_cast<const std::string*>(b);
        std::function<void(const SinkEvent&)> hook;
        {
            std::lock_guard<std::mutex> guard(lock_);
            hook = onSend_;
        }
        if (hook)
            hook(event);
        Record(std::move(event));
        return 0;
    }
    bool Post(unsigned message, std::uintptr_t a, std::intptr_t b) override
    {
        SinkEvent event{true, message, a, b, {}};
        std::function<void(const SinkEvent&)> hook;
        {
            std::lock_guard<std::mutex> guard(lock_);
            hook = onPost_;
        }
        if (hook)
            hook(event);
        Record(std::move(event));
        return true;
    }
    void Invalidate() override
    {
        std::lock_guard<std::mutex> guard(lock_);
        ++invalidations_;
    }

    // Runs during every Send, before it returns: what the window would see.
    void OnSend(std::function<void(const SinkEvent&)> hook)
    {
        std::lock_guard<std::mutex> guard(lock_);
        onSend_ = std::move(hook);
    }
    // Runs during every Post: what was true when the message left.
    void OnPost(std::function<void(const SinkEvent&)> hook)
    {
        std::lock_guard<std::mutex> guard(lock_);
        onPost_ = std::move(hook);
    }
    std::vector<SinkEvent> Events() const
    {
        std::lock_guard<std::mutex> guard(lock_);
        return events_;
    }
    std::vector<SinkEvent> Of(unsigned message) const
    {
        std::vector<SinkEvent> found;
        for (const SinkEvent& event : Events()) {
            if (event.message == message)
                found.push_back(event);
        }
        return found;
    }
    int Invalidations() const
    {
        std::lock_guard<std::mutex> guard(lock_);
        return invalidations_;
    }
    // Waits until `count` events of `message` arrived; false after `ms`.
    bool WaitFor(unsigned message, std::size_t count, int ms) const
    {
        std::unique_lock<std::mutex> guard(lock_);
        return changed_.wait_for(guard, std::chrono::milliseconds(ms), [&] {
            std::size_t n = 0;
            for (const SinkEvent& event : events_)
                n += event.message == message;
            return n >= count;
        });
    }
    void Clear()
    {
        std::lock_guard<std::mutex> guard(lock_);
        events_.clear();
        invalidations_ = 0;
    }

private:
    void Record(SinkEvent event)
    {
        std::lock_guard<std::mutex> guard(lock_);
        events_.push_back(std::move(event));
        changed_.notify_all();
    }

    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    std::vector<SinkEvent> events_;
    int invalidations_ = 0;
    std::function<void(const SinkEvent&)> onSend_;
    std::function<void(const SinkEvent&)> onPost_;
};

struct DownloadCall {
    enum Kind { IfMissing, Always, Large, FirstLarge } kind;
    std::string url;
    std::string path;
};

class RecordingDownloader : public Downloader {
public:
    void FetchIfMissing(const std::string& url, const std::string& path) override
    {
        Add({DownloadCall::IfMissing, url, path});
    }
    void FetchAlways(const std::string& url, const std::string& path) override
    {
        Add({DownloadCall::Always, url, path});
    }
    void FetchAlwaysThen(const std::string& url, const std::string& path, DownloadDone done) override
    {
        FetchAlways(url, path);
        if (done)
            done(false);  // nothing is downloaded here
    }
    void FetchLarge(const std::string& url, const std::string& path) override { Add({DownloadCall::Large, url, path}); }
    void FetchFirstLarge(const std::string& url, const std::string& path) override
    {
        Add({DownloadCall::FirstLarge, url, path});
    }

    std::vector<DownloadCall> Calls() const
    {
        std::lock_guard<std::mutex> guard(lock_);
        return calls_;
    }

private:
    void Add(DownloadCall call)
    {
        std::lock_guard<std::mutex> guard(lock_);
        calls_.push_back(std::move(call));
    }
    mutable std::mutex lock_;
    std::vector<DownloadCall> calls_;
};

// Records the same, but a download it was asked to report on never ends: a
// transfer that hangs until its waiter gives up.
class HangingDownloader : public RecordingDownloader {
public:
    void FetchAlwaysThen(const std::string& url, const std::string& path, DownloadDone) override
    {
        FetchAlways(url, path);
    }
};

class RecordingStarter : public FeedStarter {
public:
    void LoadCategoryFeeds() override { Add("categories"); }
    void LoadCategoryFeed(int kind) override { Add("category:" + std::to_string(kind)); }
    void LoadTagFeed(const std::string& tag) override { Add("tag:" + tag); }
    void LoadComments(const PictureListId& list, std::size_t index) override
    {
        Add("comments:" + std::to_string(list.kind) + ":" + list.key + ":" + std::to_string(index));
    }

    std::vector<std::string> Calls() const
    {
        std::lock_guard<std::mutex> guard(lock_);
        return calls_;
    }

private:
    void Add(std::string call)
    {
        std::lock_guard<std::mutex> guard(lock_);
        calls_.push_back(std::move(call));
    }
    mutable std::mutex lock_;
    std::vector<std::string> calls_;
};
