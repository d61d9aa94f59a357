#pragma once
#include <curl/curl.h>

#include <string>

// Every libcurl transfer of the program runs on one transfer thread that
// drives a multi handle; a worker sets up its own easy handle, hands it over
// and waits for its own answer. The multi handle's connection cache is the
// program's: connections (and, where the server offers it, HTTP/2 streams)
// are reused across workers instead of each request paying a new TCP and TLS
// handshake. libcurl's connection cache is not safe to share between threads
// that transfer at once, so one thread owns it. DNS answers and TLS sessions
// sit in a process-wide share object with its locks, since workers set up and
// clean up their handles on their own threads. Beside them, behind a lock of
// its own, the servers last heard answering over HTTP/2 (see Multiplexes).
// All live as long as the program and are never torn down: detached workers
// may still run at exit.
namespace transfer_loop {

// Runs the transfer of `handle` and returns its result. The handle is the
// caller's again when this returns. Falls back to a transfer on the calling
// thread when the transfer thread could not start.
CURLcode Perform(CURL* handle);

// Lets the program keep at least `count` connections to one host while the
// returned allowance lives: a download queue allowed that many at a time
// would otherwise wait on the fewer the loop keeps for answers. The widest
// living allowance counts.
class HostConnections {
public:
    explicit HostConnections(long count);
    ~HostConnections();
    HostConnections(const HostConnections&) = delete;
    HostConnections& operator=(const HostConnections&) = delete;

private:
    long count_;
};

// libcurl's process-wide set-up, run once by the first thread that needs the
// library (a worker, not the window's thread at start); false when it failed.
bool CurlReady();

// Starts the transfer thread (and with it libcurl's set-up and the socket
// library) now, so a start-up's first request does not wait for them.
void Prepare();

// Attaches the process-wide share (DNS, TLS sessions) to a new handle.
void UseSharedCaches(CURL* handle);

// Whether the last transfer to url's server (scheme, host and port) came as
// a stream of a connection that carries others at once (HTTP/2); false for a
// server not heard from yet. A download queue starting its first wave to a
// server the start-up's answers came from need not wait to learn it.
bool Multiplexes(const std::string& url);

}  // namespace transfer_loop
