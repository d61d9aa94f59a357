#pragma once
#include <winsock2.h>

#include <string>
#include <thread>

// A one-request HTTP server on 127.0.0.1 and a free port: answers the first
// connection with a fixed body and keeps what it received. Every wait is
// bounded, so a client that never comes cannot hang the test.
class LoopbackServer {
public:
    explicit LoopbackServer(std::string body);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    bool Start();
    unsigned short Port() const { return port_; }
    // The raw request; valid after Finish.
    const std::string& Request() const { return request_; }
    // Waits for the serving thread to end.
    void Finish();

private:
    void Serve();
    static bool ReadRequest(SOCKET client, std::string& request);

    std::string body_;
    std::string request_;
    bool winsock_ = false;
    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    std::thread thread_;
};
