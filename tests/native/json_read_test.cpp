#include "json_read.h"

#include <gtest/gtest.h>

namespace {

Json::Value Doc(const std::string& text)
{
    Json::Value root;
    EXPECT_TRUE(json_read::Parse(text, root)) << text;
    return root;
}

}  // namespace

TEST(JsonRead, HostileDocumentsAreUnusableNeverThrown)
{
    auto nested = [](const std::string& open, const std::string& close, int depth) {
        std::string text;
        for (int i = 0; i < depth; ++i)
            text += open;
        text += "1";
        for (int i = 0; i < depth; ++i)
            text += close;
        return text;
    };
    struct Case {
        const char* name;
        std::string text;
        bool usable;
    };
    const Case kCases[] = {
        {"deep arrays", nested("[", "]", 5000), false},
        {"deep objects", nested("{\"a\":", "}", 5000), false},
        {"deep mixed", nested("{\"a\":[", "]}", 3000), false},
        {"deep unclosed", std::string(100000, '['), false},
        {"shallow", nested("{\"a\":[", "]}", 8), true},
    };
    for (const Case& c : kCases) {
        Json::Value root;
        EXPECT_EQ(json_read::Parse(c.text, root), c.usable) << c.name;
        EXPECT_EQ(root.isNull(), !c.usable) << c.name;
    }
}

TEST(JsonRead, TextTakesStringsNullAndBooleansOnly)
{
    Json::Value v = Doc(R"({"s":"abc","n":null,"t":true,"f":false,"i":3,"d":1.5,"a":[],"o":{}})");
    std::string out = "old";
    EXPECT_TRUE(json_read::ToText(v["s"], out));
    EXPECT_EQ(out, "abc");
    EXPECT_TRUE(json_read::ToText(v["n"], out));
    EXPECT_EQ(out, "");
    EXPECT_TRUE(json_read::ToText(v["t"], out));
    EXPECT_EQ(out, "true");
    EXPECT_TRUE(json_read::ToText(v["f"], out));
    EXPECT_EQ(out, "false");
    for (const char* refused : {"i", "d", "a", "o"})
        EXPECT_FALSE(json_read::ToText(v[refused], out)) << refused;
}

TEST(JsonRead, IntegerTruncatesNumbersAndRefusesStringsAndHugeValues)
{
    Json::Value v = Doc(R"({"i":-7,"d":2.9,"nd":-2.9,"t":true,"f":false,"n":null,"s":"5",)"
                        R"("big":4294967296,"huge":1e300,"a":[1]})");
    int out = 99;
    ASSERT_TRUE(json_read::ToInteger(v["i"], out));
    EXPECT_EQ(out, -7);
    ASSERT_TRUE(json_read::ToInteger(v["d"], out));
    EXPECT_EQ(out, 2);
    ASSERT_TRUE(json_read::ToInteger(v["nd"], out));
    EXPECT_EQ(out, -2);
    ASSERT_TRUE(json_read::ToInteger(v["t"], out));
    EXPECT_EQ(out, 1);
    ASSERT_TRUE(json_read::ToInteger(v["f"], out));
    EXPECT_EQ(out, 0);
    ASSERT_TRUE(json_read::ToInteger(v["n"], out));
    EXPECT_EQ(out, 0);
    for (const char* refused : {"s", "big", "huge", "a"})
        EXPECT_FALSE(json_read::ToInteger(v[refused], out)) << refused;
}

TEST(JsonRead, FlagIsTruthOfAnyValue)
{
    Json::Value v = Doc(R"({"one":1,"zero":0,"half":0.5,"t":true,"f":false,"s":"0","e":"",)"
                        R"("a":[0],"ea":[],"o":{"k":0},"eo":{},"n":null})");
    for (const char* yes : {"one", "half", "t", "s", "a", "o"})
        EXPECT_TRUE(json_read::ToFlag(v[yes])) << yes;
    for (const char* no : {"zero", "f", "e", "ea", "eo", "n", "missing"})
        EXPECT_FALSE(json_read::ToFlag(v[no])) << no;
}

TEST(JsonRead, FieldReaderRemembersTheFirstRefusal)
{
    Json::Value v = Doc(R"({"a":"x","b":3,"c":"y","list":{},"obj":[]})");
    json_read::FieldReader reader(v);
    EXPECT_EQ(reader.Text("a"), "x");
    EXPECT_TRUE(reader.Ok());
    EXPECT_EQ(reader.Text("missing"), "");
    EXPECT_TRUE(reader.Ok());
    reader.Text("b");
    EXPECT_FALSE(reader.Ok());
    EXPECT_EQ(reader.Text("c"), "y");
    EXPECT_FALSE(reader.Ok());

    json_read::FieldReader containers(v);
    EXPECT_TRUE(containers.Array("list").isNull());
    EXPECT_FALSE(containers.Ok());
    json_read::FieldReader objects(v);
    EXPECT_TRUE(objects.Object("obj").isNull());
    EXPECT_FALSE(objects.Ok());

    json_read::FieldReader notAnObject(v["a"]);
    EXPECT_FALSE(notAnObject.Ok());
    json_read::FieldReader null(v["missing"]);
    EXPECT_EQ(null.Text("anything"), "");
    EXPECT_TRUE(null.Ok());
}

TEST(JsonRead, EscapesDecodeToUtf8AndCommentsAreAllowed)
{
    Json::Value v = Doc("/* note */ {\"s\":\"\\u56fe\\u0041\\ud83d\\ude00\"} // end");
    std::string out;
    ASSERT_TRUE(json_read::ToText(v["s"], out));
    EXPECT_EQ(out,
        "\xE5\x9B\xBE"
        "A"
        "\xF0\x9F\x98\x80");

    Json::Value broken;
    EXPECT_FALSE(json_read::Parse("{\"s\":", broken));
    EXPECT_FALSE(json_read::Parse("", broken));
}
