#pragma once
#include <json/json.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Reading service answers without ever letting jsoncpp throw: every value is
// type-checked before it is converted, and a value of a type the answer
// layout does not allow makes the whole answer unusable.
namespace json_read {

// Parses an answer (comments allowed). False when the text is not JSON or
// nests too deeply; never throws.
bool Parse(std::string_view text, Json::Value& root);

// Text: a string gives its text, null the empty text, true and false give
// "true" and "false"; a number or a container is refused.
bool ToText(const Json::Value& value, std::string& out);
// The same without a copy: `out` views the value's text (or a constant) and
// lives as long as the value.
bool ToTextView(const Json::Value& value, std::string_view& out);
// Integer: numbers are truncated, true is 1, false and null are 0; strings,
// containers and numbers outside the int range are refused.
bool ToInteger(const Json::Value& value, int& out);
// Flag: a non-zero number, true, a non-empty string or a non-empty container.
bool ToFlag(const Json::Value& value);

// The value under `key`, or null when the key is missing or `object` is not
// an object. Never allocates a key.
const Json::Value& Member(const Json::Value& object, std::string_view key);

// Finds several members of one object in a single pass over it, for the
// wide items of a picture page where a lookup per key costs more than the
// rest of reading them.
class MemberFinder {
public:
    // An empty key is not wanted. The keys must outlive the finder.
    MemberFinder(const std::string_view* keys, std::size_t count);
    // found[i] becomes the value named keys[i], or null.
    void Find(const Json::Value& object, const Json::Value** found) const;

private:
    void FindEach(const Json::Value& object, const Json::Value** found) const;

    std::vector<std::pair<std::string_view, std::size_t>> sorted_;  // key, index into found
    std::size_t count_;
};

// Reads the fields of one object and remembers whether any had a refused
// type. An object that is null reads as all keys missing; any other
// non-object is refused at once.
class FieldReader {
public:
    explicit FieldReader(const Json::Value& object)
        : object_(object)
        , ok_(object.isObject() || object.isNull())
    {
    }

    void Text(std::string_view key, std::string& out) { Check(ToText(Member(object_, key), out)); }
    std::string Text(std::string_view key)
    {
        std::string out;
        Text(key, out);
        return out;
    }
    int Integer(std::string_view key)
    {
        int out = 0;
        Check(ToInteger(Member(object_, key), out));
        return out;
    }
    bool Flag(std::string_view key) const { return ToFlag(Member(object_, key)); }
    // The value as it is, for layouts that test a value before reading into it.
    const Json::Value& Value(std::string_view key) const { return Member(object_, key); }
    // An object or null; anything else is refused (and reads as null).
    const Json::Value& Object(std::string_view key) { return Container(key, Json::objectValue); }
    // An array or null; anything else is refused (and reads as null).
    const Json::Value& Array(std::string_view key) { return Container(key, Json::arrayValue); }

    // Marks the object refused unless `accepted` (also a nested reader's Ok()).
    void Require(bool accepted) { ok_ = ok_ && accepted; }
    bool Ok() const { return ok_; }

private:
    void Check(bool accepted) { Require(accepted); }
    const Json::Value& Container(std::string_view key, Json::ValueType type);

    const Json::Value& object_;
    bool ok_;
};

}  // namespace json_read
