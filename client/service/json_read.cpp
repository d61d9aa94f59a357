#include "json_read.h"

#include <climits>
#include <memory>

namespace json_read {

namespace {

Json::CharReaderBuilder MakeBuilder()
{
    Json::CharReaderBuilder builder;
    builder["allowComments"] = true;
    builder["collectComments"] = false;
    return builder;
}

} // namespace

bool Parse(std::string_view text, Json::Value& root)
{
    // The settings are built once and only read afterwards, so threads share
    // them; each parse makes its own small reader.
    static const Json::CharReaderBuilder builder = MakeBuilder();
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    return reader->parse(text.data(), text.data() + text.size(), &root, &errors);
}

bool ToText(const Json::Value& value, std::string& out)
{
    switch (value.type()) {
    case Json::nullValue:
        out.clear();
        return true;
    case Json::stringValue: {
        const char* begin = nullptr;
        const char* end = nullptr;
        if (value.getString(&begin, &end))
            out.assign(begin, end);
        else
            out.clear();
        return true;
    }
    case Json::booleanValue:
        out = value.asBool() ? "true" : "false";
        return true;
    default:
        return false;
    }
}

bool ToInteger(const Json::Value& value, int& out)
{
    switch (value.type()) {
    case Json::nullValue:
        out = 0;
        return true;
    case Json::booleanValue:
        out = value.asBool() ? 1 : 0;
        return true;
    case Json::intValue:
    case Json::uintValue:
    case Json::realValue: {
        // Checked here: jsoncpp's asInt throws outside the int range.
        double number = value.asDouble();
        if (!(number > double(INT_MIN) - 1.0 && number < double(INT_MAX) + 1.0))
            return false;
        out = value.isInt() ? value.asInt() : static_cast<int>(number);
        return true;
    }
    default:
        return false;
    }
}

bool ToFlag(const Json::Value& value)
{
    switch (value.type()) {
    case Json::booleanValue:
        return value.asBool();
    case Json::intValue:
    case Json::uintValue:
    case Json::realValue:
        return value.asDouble() != 0.0;
    case Json::stringValue: {
        const char* begin = nullptr;
        const char* end = nullptr;
        return value.getString(&begin, &end) && begin != end;
    }
    case Json::arrayValue:
    case Json::objectValue:
        return value.size() != 0;
    default:
        return false;
    }
}

const Json::Value& Member(const Json::Value& object, std::string_view key)
{
    static const Json::Value kNull;
    if (!object.isObject())
        return kNull;
    const Json::Value* found = object.find(key.data(), key.data() + key.size());
    return found ? *found : kNull;
}

const Json::Value& FieldReader::Container(std::string_view key, Json::ValueType type)
{
    static const Json::Value kNull;
    const Json::Value& value = Member(object_, key);
    if (value.isNull())
        return kNull;
    if (value.type() != type) {
        ok_ = false;
        return kNull;
    }
    return value;
}

} // namespace json_read
