#pragma once
#include <json/json.h>

#include <memory>
#include <string>

// Parses JSON text for a test to look into; null when it is not JSON.
inline Json::Value JsonOf(const std::string& text)
{
    Json::Value value;
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), &value, &errors))
        return Json::Value();
    return value;
}
