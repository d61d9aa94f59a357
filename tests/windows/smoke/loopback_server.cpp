#include "loopback_server.h"

#include <ws2tcpip.h>

#include <cstdlib>

namespace {

constexpr DWORD kWaitMs = 20000;

class SocketCloser {
public:
    explicit SocketCloser(SOCKET socket)
        : socket_(socket)
    {
    }
    ~SocketCloser() { closesocket(socket_); }
    SocketCloser(const SocketCloser&) = delete;
    SocketCloser& operator=(const SocketCloser&) = delete;

private:
    SOCKET socket_;
};

size_t ContentLength(const std::string& head)
{
    const std::string key = "\r\ncontent-length:";
    std::string lower(head);
    for (char& c : lower) {
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    }
    const size_t at = lower.find(key);
    return at == std::string::npos ? 0 : std::strtoul(head.c_str() + at + key.size(), nullptr, 10);
}

}  // namespace

LoopbackServer::LoopbackServer(std::string body)
    : body_(std::move(body))
{
}

LoopbackServer::~LoopbackServer()
{
    Finish();
    if (listener_ != INVALID_SOCKET) {
        closesocket(listener_);
    }
    if (winsock_) {
        WSACleanup();
    }
}

bool LoopbackServer::Start()
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        return false;
    }
    winsock_ = true;
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener_ == INVALID_SOCKET) {
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof(address);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(listener_, 1) != 0
        || getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return false;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
    return true;
}

void LoopbackServer::Finish()
{
    if (thread_.joinable()) {
        thread_.join();
    }
}

void LoopbackServer::Serve()
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener_, &readable);
    timeval wait{static_cast<long>(kWaitMs / 1000), 0};
    if (select(0, &readable, nullptr, nullptr, &wait) != 1) {
        return;
    }
    SOCKET client = accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) {
        return;
    }
    SocketCloser close_client(client);
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&kWaitMs), sizeof(kWaitMs));
    if (!ReadRequest(client, request_)) {
        return;
    }
    const std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: "
        + std::to_string(body_.size()) + "\r\nConnection: close\r\n\r\n" + body_;
    send(client, answer.data(), static_cast<int>(answer.size()), 0);
    shutdown(client, SD_SEND);
}

bool LoopbackServer::ReadRequest(SOCKET client, std::string& request)
{
    char buffer[4096];
    for (;;) {
        const size_t head_end = request.find("\r\n\r\n");
        if (head_end != std::string::npos
            && request.size() >= head_end + 4 + ContentLength(request.substr(0, head_end))) {
            return true;
        }
        const int got = recv(client, buffer, sizeof(buffer), 0);
        if (got <= 0) {
            return false;
        }
        request.append(buffer, got);
    }
}
