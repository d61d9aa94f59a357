#pragma once
#include <cstddef>
#include <string>

// An answer larger than this is refused: the largest real page is far below,
// and a sender that never stops must not exhaust the 32-bit process.
inline constexpr std::size_t kMaxAnswerBytes = 16 * 1024 * 1024;

// Requests share connections: each worker still asks and waits for its own
// answer, but the transfer runs on the program's one transfer thread, whose
// connection cache (with the DNS and TLS-session share beside it) lives as
// long as the program; see transfer_loop.h.

// Every transfer speaks http or https only, and follows no redirect to
// anything else: another scheme fails before any byte moves.

// Limits for one transfer. A server that connects and then stays silent must
// not hold a worker forever, so every transfer ends when it moves fewer than
// `lowSpeedBytes` bytes per second for `lowSpeedSeconds` seconds.
struct TransferLimits {
    long connectTimeoutMs = 10000;
    long lowSpeedBytes = 1;
    long lowSpeedSeconds = 30;
};

// POSTs `body` (the empty string for an empty body: still a POST, with
// Content-Length 0) and collects the answer. Returns -1 when no transfer
// handle could be made, else 0; the caller judges the answer, which is empty
// unless it arrived whole and within kMaxAnswerBytes.
int PostForm(const std::string& url, const std::string& body, std::string& answer, const TransferLimits& limits = {});
// The same request with the connect time-out; every service request but the
// forward uses it.
int PostFormWithTimeout(
    const std::string& url, const std::string& body, std::string& answer, const TransferLimits& limits = {});

// Makes ready what the first request to url would wait for -- the transfer
// thread, the system's proxy for url and, for https, the system's
// authorities -- on a worker of its own, so a start-up's first requests find
// it done. Once per program: later calls do nothing.
void PrepareTransportFor(const std::string& url);

// What one download did: libcurl's result code (0 when the transfer
// completed), the HTTP status (0 when none arrived), whether the target now
// holds the new copy, and how it travelled.
struct DownloadResult {
    int curlCode = 0;
    long httpStatus = 0;
    bool written = false;
    // Whether it came as one stream of a connection that carries others at
    // once (HTTP/2): more transfers to that server cost no connection.
    bool multiplexed = false;
};

// GETs `url` into `targetPath`. The file appears, complete, only after a
// successful transfer with a success status (2xx) whose content passes
// IsValidCachedFile; otherwise the target is left as it was.
DownloadResult DownloadFile(const std::string& url, const std::string& targetPath, const TransferLimits& limits = {});
// The same with the old result: -1 when no transfer handle could be made or
// the answer had nowhere to go (no temporary file), else 0.
int DownloadToFile(const std::string& url, const std::string& targetPath, const TransferLimits& limits = {});

// Whether a cached file is a usable download and not an error page saved in
// its place. An empty or unreadable file is not usable. The thumbnail
// re-check passes `checkBadRequest` = false to test for "html" and "HTML" only.
bool IsValidCachedFile(const std::string& path, bool checkBadRequest = true);

// Start a download on a worker of its own and return 0 at once.
int FetchFileIfMissing(const std::string& url, const std::string& targetPath);
int FetchFileAlways(const std::string& url, const std::string& targetPath);
