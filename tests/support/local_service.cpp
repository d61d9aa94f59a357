#include "local_service.h"

#include <curl/curl.h>

#include <cstdlib>
#include <memory>

namespace {

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* out)
{
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

std::string Request(const std::string& method, const std::string& url, long* status)
{
    std::unique_ptr<CURL, CurlDeleter> handle(curl_easy_init());
    std::string answer;
    if (!handle)
        return answer;
    curl_easy_setopt(handle.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle.get(), CURLOPT_TIMEOUT, 20L);
    curl_easy_setopt(handle.get(), CURLOPT_NOPROXY, "*");
    curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, &answer);
    curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, Collect);
    if (method == "POST")
        curl_easy_setopt(handle.get(), CURLOPT_POSTFIELDS, "");
    if (curl_easy_perform(handle.get()) != CURLE_OK)
        *status = 0;
    else
        curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, status);
    return answer;
}

}  // namespace

std::string LocalService::BaseUrl()
{
    const char* url = std::getenv("QUARN_SERVICE_URL");
    return url && *url ? url : "http://127.0.0.1:8711/";
}

std::string LocalService::Control(const std::string& method, const std::string& path)
{
    long status = 0;
    std::string answer = Request(method, BaseUrl() + "__control/" + path, &status);
    return status == 200 ? answer : std::string();
}

bool LocalService::Reset()
{
    long status = 0;
    Request("POST", BaseUrl() + "__control/reset", &status);
    return status == 200;
}

bool LocalService::SetFault(const std::string& mode)
{
    long status = 0;
    Request("POST", BaseUrl() + "__control/fault?mode=" + mode, &status);
    return status == 200;
}

Json::Value LocalService::RequestLog()
{
    Json::Value log;
    std::string text = Control("GET", "log");
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), &log, &errors) || !log["entries"].isArray())
        return Json::Value(Json::arrayValue);
    return log["entries"];
}

namespace {

Json::Value ParsedObject(const std::string& text)
{
    Json::Value value;
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), &value, &errors) || !value.isObject())
        return Json::Value(Json::objectValue);
    return value;
}

int IntMember(const Json::Value& object, const char* name)
{
    const Json::Value& value = object[name];
    return value.isInt() ? value.asInt() : -1;
}

}  // namespace

int LocalService::ConnectionsServed() { return IntMember(ParsedObject(Control("GET", "status")), "connections"); }

int LocalService::MostAtOnce() { return IntMember(ParsedObject(Control("GET", "status")), "most_at_once"); }

int LocalService::DropIdleConnections() { return IntMember(ParsedObject(Control("POST", "drop")), "dropped"); }

std::string LocalService::Fetch(const std::string& path)
{
    long status = 0;
    std::string answer = Request("GET", BaseUrl() + path, &status);
    return status == 200 ? answer : std::string();
}
