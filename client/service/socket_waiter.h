#pragma once
#include <curl/curl.h>

#include <vector>

// The transfer thread's sleep: until a socket libcurl watches is ready,
// another thread calls Wake, or the time runs out. One system call covers
// every socket, however many transfers share them: libcurl's own wait asks
// once per transfer, and a connection carrying dozens of HTTP/2 streams then
// cost milliseconds a wait under Wine, where each asking is a server call.
class SocketWaiter {
public:
    enum Readiness : int { kReadable = 1, kWritable = 2, kFailed = 4 };
    struct Watch {
        curl_socket_t socket = CURL_SOCKET_BAD;
        bool read = false;
        bool write = false;
        int ready = 0;  // Readiness bits, set by Wait
    };

    SocketWaiter();
    ~SocketWaiter();
    SocketWaiter(const SocketWaiter&) = delete;
    SocketWaiter& operator=(const SocketWaiter&) = delete;

    // False when the wake-up could not be set up; nothing then waits here.
    bool Usable() const { return wakeRead_ != CURL_SOCKET_BAD; }
    // Sets each watch's `ready`. A Wake since the last wait ends this one at
    // once.
    void Wait(std::vector<Watch>& watches, int timeoutMs);
    // Safe from any thread.
    void Wake();

private:
    void Drain();

    curl_socket_t wakeRead_ = CURL_SOCKET_BAD;
    curl_socket_t wakeWrite_ = CURL_SOCKET_BAD;
};
