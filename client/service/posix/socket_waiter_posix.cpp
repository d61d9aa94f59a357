// The native side of the transfer thread's wait: poll, and a pipe to wake it.
#include "../socket_waiter.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

SocketWaiter::SocketWaiter()
{
    int ends[2];
    if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0)
        return;
    wakeRead_ = ends[0];
    wakeWrite_ = ends[1];
}

SocketWaiter::~SocketWaiter()
{
    if (wakeRead_ != CURL_SOCKET_BAD)
        ::close(wakeRead_);
    if (wakeWrite_ != CURL_SOCKET_BAD)
        ::close(wakeWrite_);
}

void SocketWaiter::Wait(std::vector<Watch>& watches, int timeoutMs)
{
    std::vector<pollfd> polled;
    polled.reserve(watches.size() + 1);
    polled.push_back({wakeRead_, POLLIN, 0});
    for (const Watch& watch : watches)
        polled.push_back({watch.socket, short((watch.read ? POLLIN : 0) | (watch.write ? POLLOUT : 0)), 0});
    if (::poll(polled.data(), polled.size(), timeoutMs) <= 0) {
        for (Watch& watch : watches)
            watch.ready = 0;
        return;
    }
    if (polled[0].revents)
        Drain();
    for (std::size_t i = 0; i < watches.size(); ++i) {
        const short events = polled[i + 1].revents;
        // A hang-up is read: the read is what tells libcurl the peer closed.
        watches[i].ready = ((events & (POLLIN | POLLHUP)) ? kReadable : 0) | ((events & POLLOUT) ? kWritable : 0)
            | ((events & (POLLERR | POLLNVAL)) ? kFailed : 0);
    }
}

void SocketWaiter::Wake()
{
    const char byte = 1;
    // A full pipe already holds a wake-up.
    [[maybe_unused]] const ssize_t written = ::write(wakeWrite_, &byte, 1);
}

void SocketWaiter::Drain()
{
    char bytes[64];
    while (::read(wakeRead_, bytes, sizeof bytes) > 0) { }
}
