// The Windows side of the transfer thread's wait: select, which reports a
// refused connection on every Windows version (WSAPoll does not on older
// ones), and a loopback datagram socket to wake it. Room for every
// connection the loop may keep, beyond select's default of 64.
#define FD_SETSIZE 256
#include "../socket_waiter.h"

#include <winsock2.h>

SocketWaiter::SocketWaiter()
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return;
    SOCKET wake = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (wake == INVALID_SOCKET)
        return;
    sockaddr_in self{};
    self.sin_family = AF_INET;
    self.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof self;
    u_long nonBlocking = 1;
    // Bound to a port of its own and connected to it: a datagram sent is one
    // the socket itself receives.
    if (bind(wake, reinterpret_cast<sockaddr*>(&self), sizeof self) != 0
        || getsockname(wake, reinterpret_cast<sockaddr*>(&self), &length) != 0
        || connect(wake, reinterpret_cast<sockaddr*>(&self), length) != 0
        || ioctlsocket(wake, FIONBIO, &nonBlocking) != 0) {
        closesocket(wake);
        return;
    }
    wakeRead_ = wake;
    wakeWrite_ = wake;
}

SocketWaiter::~SocketWaiter()
{
    if (wakeRead_ != CURL_SOCKET_BAD)
        closesocket(wakeRead_);
    WSACleanup();
}

void SocketWaiter::Wait(std::vector<Watch>& watches, int timeoutMs)
{
    fd_set readable, writable, failed;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(wakeRead_, &readable);
    for (const Watch& watch : watches) {
        if (readable.fd_count >= FD_SETSIZE || writable.fd_count >= FD_SETSIZE || failed.fd_count >= FD_SETSIZE)
            break;
        if (watch.read)
            FD_SET(watch.socket, &readable);
        if (watch.write)
            FD_SET(watch.socket, &writable);
        // A connection that failed shows here only.
        FD_SET(watch.socket, &failed);
    }
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    const int found = select(0, &readable, &writable, &failed, &timeout);
    for (Watch& watch : watches) {
        if (found == SOCKET_ERROR) {
            // One socket gone bad fails the whole call, and the thread
            // would wait on it again at once: every socket is handed back
            // for what it asked, and its transfer's own read or write finds
            // out which one it was.
            watch.ready = (watch.read ? kReadable : 0) | (watch.write ? kWritable : 0);
            continue;
        }
        watch.ready = 0;
        if (found == 0)
            continue;
        watch.ready = (FD_ISSET(watch.socket, &readable) ? kReadable : 0)
            | (FD_ISSET(watch.socket, &writable) ? kWritable : 0) | (FD_ISSET(watch.socket, &failed) ? kFailed : 0);
    }
    if (found > 0 && FD_ISSET(wakeRead_, &readable))
        Drain();
}

void SocketWaiter::Wake()
{
    const char byte = 1;
    // A full queue already holds a wake-up.
    send(wakeWrite_, &byte, 1, 0);
}

void SocketWaiter::Drain()
{
    char bytes[64];
    while (recv(wakeRead_, bytes, sizeof bytes, 0) > 0) { }
}
