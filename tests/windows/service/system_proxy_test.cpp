// Service requests take the route the browser's proxy settings give them. The
// settings are changed in this Wine prefix's registry for the test and put
// back afterwards.
#include "http_transport.h"
#include "temp_folder.h"
#include "win32/large_picture_download.h"
#include "win32/wide_text.h"

#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

const wchar_t kInternetSettings[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const wchar_t kConnections[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
// Spaces, case and empty entries as people type them.
const char kBypass[] = "<local>; *.Direct.localhost ;;10.*";

// A loopback HTTP server that answers every request and records its target:
// as a proxy it receives the whole URL ("http://host:port/path"), reached
// directly only the path. It also serves the configuration script.
class RecordingServer {
public:
    RecordingServer()
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener_, SOMAXCONN);
        int size = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~RecordingServer()
    {
        // A last connection wakes the accept loop, which then sees the flag.
        stopping_ = true;
        SOCKET wake = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port_);
        connect(wake, reinterpret_cast<sockaddr*>(&address), sizeof address);
        thread_.join();
        closesocket(wake);
        closesocket(listener_);
        WSACleanup();
    }

    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
    std::string Url(const std::string& host, const std::string& path) const
    {
        return "http://" + host + ":" + std::to_string(port_) + path;
    }
    std::vector<std::string> Targets()
    {
        std::lock_guard<std::mutex> guard(lock_);
        return targets_;
    }

private:
    void Serve()
    {
        for (;;) {
            SOCKET client = accept(listener_, nullptr, nullptr);
            if (client == INVALID_SOCKET || stopping_) {
                closesocket(client);
                return;
            }
            Answer(client);
            closesocket(client);
        }
    }

    void Answer(SOCKET client)
    {
        std::string request;
        char block[4096];
        std::string::size_type end;
        while ((end = request.find("\r\n\r\n")) == std::string::npos) {
            int got = recv(client, block, sizeof block, 0);
            if (got <= 0)
                return;
            request.append(block, got);
        }
        // Read the announced body too, so closing sends no reset.
        std::string::size_type length = request.find("Content-Length: ");
        std::size_t body = length == std::string::npos ? 0 : std::strtoul(request.c_str() + length + 16, nullptr, 10);
        while (request.size() < end + 4 + body) {
            int got = recv(client, block, sizeof block, 0);
            if (got <= 0)
                break;
            request.append(block, got);
        }
        std::string::size_type from = request.find(' ') + 1;
        std::string target = request.substr(from, request.find(' ', from) - from);
        {
            std::lock_guard<std::mutex> guard(lock_);
            targets_.push_back(target);
        }
        std::string answer = "{}";
        if (target.find("proxy.pac") != std::string::npos)
            answer = "function FindProxyForURL(url, host) { return host == \"pac.localhost\" ? \"PROXY " + Address()
                + "\" : \"DIRECT\"; }";
        else if (target.find(".jpg") != std::string::npos)
            // Whole to its end marker, as a large picture must be: a
            // comment segment carries the bulk.
            answer = std::string("\xFF\xD8\xFF\xFE\x07\xD2", 6) + std::string(2000, 'j') + "\xFF\xD9";
        std::string response = "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: "
            + std::to_string(answer.size()) + "\r\n\r\n" + answer;
        send(client, response.data(), int(response.size()), 0);
        shutdown(client, SD_SEND);
    }

    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    std::mutex lock_;
    std::vector<std::string> targets_;
};

// One registry value, put back as it was (or removed) at the end.
class SavedValue {
public:
    SavedValue(const wchar_t* path, const wchar_t* name)
        : name_(name)
    {
        RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
        DWORD size = 0;
        existed_ = RegQueryValueExW(key_, name, nullptr, &type_, nullptr, &size) == ERROR_SUCCESS;
        data_.resize(size);
        if (existed_)
            RegQueryValueExW(key_, name, nullptr, &type_, data_.data(), &size);
    }
    ~SavedValue()
    {
        if (existed_)
            RegSetValueExW(key_, name_, 0, type_, data_.data(), DWORD(data_.size()));
        else
            RegDeleteValueW(key_, name_);
        RegCloseKey(key_);
    }
    void Set(DWORD type, const void* data, std::size_t size)
    {
        ASSERT_EQ(RegSetValueExW(key_, name_, 0, type, static_cast<const BYTE*>(data), DWORD(size)), ERROR_SUCCESS);
    }
    void Set(DWORD value) { Set(REG_DWORD, &value, sizeof value); }
    void Set(const std::wstring& text) { Set(REG_SZ, text.c_str(), (text.size() + 1) * sizeof(wchar_t)); }

private:
    const wchar_t* name_;
    HKEY key_ = nullptr;
    bool existed_ = false;
    DWORD type_ = 0;
    std::vector<BYTE> data_;
};

// The browser's binary connection settings: version, counter, flags, then the
// counted proxy, bypass and script address. Flag 2 names a proxy, 4 a script;
// without 8 no discovery runs (Wine assumes it when the value is missing).
std::vector<BYTE> ConnectionSettings(
    DWORD flags, const std::string& proxy, const std::string& bypass, const std::string& script)
{
    std::vector<BYTE> blob;
    auto put = [&blob](DWORD value) {
        const BYTE* bytes = reinterpret_cast<const BYTE*>(&value);
        blob.insert(blob.end(), bytes, bytes + sizeof value);
    };
    for (DWORD value : {DWORD(0x46), DWORD(1), flags})
        put(value);
    for (const std::string& text : {proxy, bypass, script}) {
        put(DWORD(text.size()));
        blob.insert(blob.end(), text.begin(), text.end());
    }
    blob.resize(blob.size() + 32);
    return blob;
}

// Manual: the plain values; Stored: the same in the binary settings.
enum class Settings { Manual, Stored, Off, Script };

class SystemProxyTest : public ::testing::Test {
protected:
    SystemProxyTest()
    {
        proxy_.Set(Widen(server_.Address()));
        bypass_.Set(Widen(kBypass));
    }

    // Each setting is written in full, so no discovery runs in the test.
    void Apply(Settings settings)
    {
        enable_.Set(DWORD(settings == Settings::Manual));
        std::vector<BYTE> blob = ConnectionSettings(1, "", "", "");
        if (settings == Settings::Stored)
            blob = ConnectionSettings(1 | 2, server_.Address(), kBypass, "");
        if (settings == Settings::Script)
            blob = ConnectionSettings(1 | 4, "", "", server_.Url("127.0.0.1", "/proxy.pac"));
        connection_.Set(REG_BINARY, blob.data(), blob.size());
    }

    RecordingServer server_;
    SavedValue enable_{kInternetSettings, L"ProxyEnable"};
    SavedValue proxy_{kInternetSettings, L"ProxyServer"};
    SavedValue bypass_{kInternetSettings, L"ProxyOverride"};
    SavedValue connection_{kConnections, L"DefaultConnectionSettings"};
};

}  // namespace

// Service requests and large-picture downloads take the same route.
TEST_F(SystemProxyTest, RequestsAndDownloadsTakeTheRouteTheSettingsGive)
{
    enum class Transfer { Request, LargePicture };
    struct Case {
        Settings settings;
        const char* host;
        const char* path;
        bool proxied;
        Transfer transfer = Transfer::Request;
    };
    const Case kCases[] = {
        {Settings::Manual, "pictures.localhost", "/a", true},
        {Settings::Manual, "localhost", "/b", false},
        {Settings::Manual, "cdn.direct.localhost", "/c", false},
        {Settings::Manual, "IMG.Direct.LocalHost", "/d", false},
        {Settings::Manual, "127.0.0.1", "/e", true},
        // The answer for a host is kept a while; a new host sees the change.
        {Settings::Off, "pictures.localhost", "/f", true},
        {Settings::Off, "fresh.localhost", "/g", false},
        {Settings::Stored, "shop.localhost", "/j", true},
        {Settings::Stored, "www.direct.localhost", "/k", false},
        {Settings::Script, "pac.localhost", "/h", true},
        {Settings::Script, "other.localhost", "/i", false},
        {Settings::Manual, "large.localhost", "/l.jpg", true, Transfer::LargePicture},
        {Settings::Manual, "localhost", "/m.jpg", false, Transfer::LargePicture},
        {Settings::Script, "pac.localhost", "/n.jpg", true, Transfer::LargePicture},
    };
    TempFolder folder;
    for (const Case& c : kCases) {
        Apply(c.settings);
        std::string url = server_.Url(c.host, c.path);
        if (c.transfer == Transfer::LargePicture) {
            const std::wstring target = Widen(folder.Path(c.path + 1));
            EXPECT_EQ(DownloadWithProgress(Widen(url), target, nullptr), kLargeDownloadDone) << url;
        } else {
            std::string answer;
            PostFormWithTimeout(url, "", answer);
            EXPECT_EQ(answer, "{}") << url;
        }
        std::vector<std::string> targets = server_.Targets();
        ASSERT_FALSE(targets.empty()) << url;
        EXPECT_EQ(targets.back(), c.proxied ? url : c.path) << url;
    }
}
