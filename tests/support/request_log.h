#pragma once
#include <string>

#include <json/json.h>

#include "local_service.h"

// How many logged requests have `part` in their path or query.
inline int CountRequests(const std::string& part)
{
    int count = 0;
    for (const Json::Value& entry : LocalService::RequestLog())
        count += (entry["path"].asString() + "?" + entry["query"].asString()).find(part) != std::string::npos;
    return count;
}
