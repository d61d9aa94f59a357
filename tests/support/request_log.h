#pragma once
#include <string>

#include <json/json.h>

#include "local_service.h"

// The logged requests as an array, oldest first, whether the support code
// hands back the service's whole log object or its entries alone.
inline Json::Value LoggedRequests()
{
    Json::Value log = LocalService::RequestLog();
    if (log.isObject() && log.isMember("entries"))
        return log["entries"];
    return log;
}

// How many logged requests have `part` in their path or query.
inline int CountRequests(const std::string& part)
{
    int count = 0;
    for (const Json::Value& entry : LoggedRequests())
        count += (entry["path"].asString() + "?" + entry["query"].asString()).find(part) != std::string::npos;
    return count;
}
