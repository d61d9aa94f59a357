#pragma once
#include <string>

#include <json/json.h>

// The project's local picture service, as tests see it: its base URL, its
// request log and its fault modes. Talks plain HTTP through libcurl directly,
// so the code under test is not used to drive it.
class LocalService {
public:
    // From QUARN_SERVICE_URL, else the test port on loopback.
    static std::string BaseUrl();

    // Clears the request log and the state, and returns to normal answers.
    static bool Reset();
    // "normal", "down", "silent", "slow", "html", "badjson", "wrongtypes",
    // "short", "nolength", "huge", "manyfeed", "truncjpeg", "bomb", "notfound",
    // "loop", "oversize", "hostiletext"; options follow as in "html&scope=pictures".
    static bool SetFault(const std::string& mode);
    // The logged requests, oldest first: objects with method, path, query,
    // body and headers.
    static Json::Value RequestLog();
    // How many connections carried a service request since the last reset;
    // -1 when the service does not say.
    static int ConnectionsServed();
    // The most service requests answered at the same time since the last
    // reset; -1 when the service does not say.
    static int MostAtOnce();
    // Closes the kept-alive connections waiting for their next request, as a
    // server ending idle connections does; how many, or -1.
    static int DropIdleConnections();
    // The same bytes the service sends for `path`, fetched outside the code
    // under test.
    static std::string Fetch(const std::string& path);

private:
    static std::string Control(const std::string& method, const std::string& path);
};
