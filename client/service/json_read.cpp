#include "json_read.h"

#include <algorithm>
#include <climits>
#include <exception>
#include <memory>

namespace json_read {

namespace {

// Answers nest a few levels; deeper input is refused long before it could
// use up a worker thread's stack.
const int kMaxNesting = 256;

Json::CharReaderBuilder MakeBuilder()
{
    Json::CharReaderBuilder builder;
    builder["allowComments"] = true;
    builder["collectComments"] = false;
    builder["stackLimit"] = kMaxNesting;
    return builder;
}

}  // namespace

bool Parse(std::string_view text, Json::Value& root)
{
    // The settings are built once and only read afterwards, so threads share
    // them; each parse makes its own small reader. Never destroyed: a detached
    // worker may still parse while the program's statics go at exit.
    static const Json::CharReaderBuilder& builder = *new Json::CharReaderBuilder(MakeBuilder());
    // jsoncpp throws past the nesting limit, and memory can run out on a
    // large answer; either way the answer is unusable, and nothing thrown may
    // leave the core.
    try {
        std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        std::string errors;
        return reader->parse(text.data(), text.data() + text.size(), &root, &errors);
    } catch (const std::exception&) {
        root = Json::Value();
        return false;
    }
}

bool ToTextView(const Json::Value& value, std::string_view& out)
{
    switch (value.type()) {
    case Json::nullValue:
        out = {};
        return true;
    case Json::stringValue: {
        const char* begin = nullptr;
        const char* end = nullptr;
        out = value.getString(&begin, &end) ? std::string_view(begin, static_cast<std::size_t>(end - begin))
                                            : std::string_view();
        return true;
    }
    case Json::booleanValue:
        out = value.asBool() ? "true" : "false";
        return true;
    default:
        return false;
    }
}

bool ToText(const Json::Value& value, std::string& out)
{
    std::string_view text;
    if (!ToTextView(value, text))
        return false;
    out.assign(text.data(), text.size());
    return true;
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
    static const Json::Value& kNull = *new Json::Value;  // never destroyed, as the builder
    if (!object.isObject())
        return kNull;
    const Json::Value* found = object.find(key.data(), key.data() + key.size());
    return found ? *found : kNull;
}

namespace {

// Byte order with the shorter name first on a common prefix, the order
// jsoncpp keeps members in; most names already differ in their first byte.
int Compare(std::string_view a, std::string_view b)
{
    if (!a.empty() && !b.empty() && a[0] != b[0])
        return static_cast<unsigned char>(a[0]) < static_cast<unsigned char>(b[0]) ? -1 : 1;
    return a.compare(b);
}

}  // namespace

MemberFinder::MemberFinder(const std::string_view* keys, std::size_t count)
    : count_(count)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (!keys[i].empty())
            sorted_.emplace_back(keys[i], i);
    }
    std::sort(sorted_.begin(), sorted_.end());
}

void MemberFinder::Find(const Json::Value& object, const Json::Value** found) const
{
    static const Json::Value& kNull = *new Json::Value;  // never destroyed, as the builder
    for (std::size_t i = 0; i < count_; ++i)
        found[i] = &kNull;
    if (!object.isObject())
        return;
    // jsoncpp keeps members in byte order, so the sorted keys and the members
    // are walked side by side. Should that order ever not hold, each key is
    // looked up on its own.
    auto key = sorted_.begin();
    std::string_view previous;
    const auto last = object.end();  // each call is a library call, not inlined
    for (auto member = object.begin(); member != last && key != sorted_.end(); ++member) {
        const char* end = nullptr;
        const char* begin = member.memberName(&end);
        const std::string_view name(begin, static_cast<std::size_t>(end - begin));
        if (Compare(name, previous) < 0) {
            FindEach(object, found);
            return;
        }
        previous = name;
        int order = -1;
        while (key != sorted_.end() && (order = Compare(key->first, name)) < 0)
            ++key;
        if (key != sorted_.end() && order == 0)
            found[(key++)->second] = &*member;
    }
}

void MemberFinder::FindEach(const Json::Value& object, const Json::Value** found) const
{
    for (const auto& key : sorted_)
        found[key.second] = &Member(object, key.first);
}

const Json::Value& FieldReader::Container(std::string_view key, Json::ValueType type)
{
    static const Json::Value& kNull = *new Json::Value;  // never destroyed, as the builder
    const Json::Value& value = Member(object_, key);
    if (value.isNull())
        return kNull;
    if (value.type() != type) {
        ok_ = false;
        return kNull;
    }
    return value;
}

}  // namespace json_read
