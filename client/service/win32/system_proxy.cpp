// The proxy for one service request, chosen as the large-picture download
// (WinINet) chooses it, so both reach the service the same way.
#include "../platform.h"
#include "../proxy_list.h"
#include "wide_text.h"
#include "win32kit/scoped_win.h"

#include <windows.h>
#include <winhttp.h>

#include <map>
#include <memory>
#include <mutex>

namespace {

const wchar_t kInternetSettings[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
// Automatic discovery can take seconds; every request asks.
const ULONGLONG kAnswerLifetimeMs = 60 * 1000;
const std::size_t kMaxRemembered = 64;
const DWORD kMaxSettingBytes = 64 * 1024;
const int kScriptTimeoutMs = 5000;

struct WinHttpCloser {
    void operator()(void* handle) const { WinHttpCloseHandle(handle); }
};
using WinHttpHandle = std::unique_ptr<void, WinHttpCloser>;

struct ProxySettings {
    bool autoDetect = false;
    std::string scriptUrl;
    std::string list;
    std::string bypass;
};

// WinHTTP hands its strings to the caller, to be freed with GlobalFree.
std::string TakeString(LPWSTR& text)
{
    if (!text)
        return {};
    std::string utf8 = Narrow(text);
    GlobalFree(text);
    text = nullptr;
    return utf8;
}

std::string RegistryText(HKEY key, const wchar_t* name)
{
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ
        || size > kMaxSettingBytes)
        return {};
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&text[0]), &size) != ERROR_SUCCESS)
        return {};
    text.resize(wcsnlen(text.c_str(), text.size()));
    return Narrow(text);
}

// The plain values beside the browser's binary settings. Wine's WinHTTP reads
// only the binary ones (dlls/winhttp/session.c) while its WinINet reads these;
// on Windows both agree.
void ReadPlainSettings(ProxySettings& settings)
{
    win32kit::ScopedRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kInternetSettings, 0, KEY_QUERY_VALUE, key.Out()) != ERROR_SUCCESS)
        return;
    DWORD enabled = 0;
    DWORD size = sizeof enabled;
    if (RegQueryValueExW(key.Get(), L"ProxyEnable", nullptr, nullptr, reinterpret_cast<BYTE*>(&enabled), &size)
            != ERROR_SUCCESS
        || !enabled)
        return;
    settings.list = RegistryText(key.Get(), L"ProxyServer");
    settings.bypass = RegistryText(key.Get(), L"ProxyOverride");
}

ProxySettings ReadSettings()
{
    ProxySettings settings;
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config = {};
    if (WinHttpGetIEProxyConfigForCurrentUser(&config)) {
        settings.autoDetect = config.fAutoDetect != FALSE;
        settings.scriptUrl = TakeString(config.lpszAutoConfigUrl);
        settings.list = TakeString(config.lpszProxy);
        settings.bypass = TakeString(config.lpszProxyBypass);
    }
    if (settings.list.empty())
        ReadPlainSettings(settings);
    return settings;
}

// What discovery or the configuration script says about `url`. False when
// they have no answer (nothing found, script unreachable or broken): then the
// manual settings apply, as they do for WinINet.
bool AutomaticProxyFor(const std::string& url, const ProxySettings& settings, std::string& proxy)
{
    WINHTTP_AUTOPROXY_OPTIONS options = {};
    std::wstring scriptUrl = Widen(settings.scriptUrl);
    if (settings.autoDetect) {
        options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    if (!scriptUrl.empty()) {
        options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = scriptUrl.c_str();
    }
    if (!options.dwFlags)
        return false;
    options.fAutoLogonIfChallenged = TRUE;
    WinHttpHandle session(
        WinHttpOpen(L"Quarn", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session)
        return false;
    WinHttpSetTimeouts(session.get(), kScriptTimeoutMs, kScriptTimeoutMs, kScriptTimeoutMs, kScriptTimeoutMs);
    WINHTTP_PROXY_INFO info = {};
    if (!WinHttpGetProxyForUrl(session.get(), Widen(url).c_str(), &options, &info))
        return false;
    std::string list = TakeString(info.lpszProxy);
    std::string bypass = TakeString(info.lpszProxyBypass);
    proxy = info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY ? ManualProxyFor(url, list, bypass) : std::string();
    return true;
}

// Answers per scheme, host and port, kept for a while.
class RememberedAnswers {
public:
    bool Find(const std::string& key, std::string& proxy)
    {
        std::lock_guard<std::mutex> guard(lock_);
        auto found = answers_.find(key);
        if (found == answers_.end() || GetTickCount64() - found->second.since >= kAnswerLifetimeMs)
            return false;
        proxy = found->second.proxy;
        return true;
    }
    void Store(const std::string& key, const std::string& proxy)
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (answers_.size() >= kMaxRemembered)
            answers_.clear();
        answers_[key] = Answer{proxy, GetTickCount64()};
    }

private:
    struct Answer {
        std::string proxy;
        ULONGLONG since;
    };
    std::mutex lock_;
    std::map<std::string, Answer> answers_;
};

RememberedAnswers& Remembered()
{
    // Never destroyed: a detached worker may still use it while the
    // program's statics are destroyed at exit.
    static RememberedAnswers& answers = *new RememberedAnswers;
    return answers;
}

}  // namespace

namespace platform {

std::string SystemProxyFor(const std::string& url, std::string& noProxy)
{
    // Decided here per URL: libcurl must not apply a bypass list of its own.
    noProxy.clear();
    ProxyTarget target;
    if (!ParseProxyTarget(url, target))
        return {};
    std::string key = target.scheme + "://" + target.host + ":" + std::to_string(target.port);
    std::string proxy;
    if (Remembered().Find(key, proxy))
        return proxy;
    // Looked up outside the lock, so one slow discovery holds up no other host.
    ProxySettings settings = ReadSettings();
    if (!AutomaticProxyFor(url, settings, proxy))
        proxy = ManualProxyFor(url, settings.list, settings.bypass);
    Remembered().Store(key, proxy);
    return proxy;
}

}  // namespace platform
