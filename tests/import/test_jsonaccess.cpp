#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

#include "jsonaccess.h"

namespace {

struct Root {
    JsonValue* v = nullptr;
    ~Root() { jsonFree(v); }
};

std::string text(const JsonObject* o, const char* name, int* rc)
{
    char* t = nullptr;
    *rc = jsonObjectGetText(o, name, &t);
    std::string s = t ? t : "<null>";
    std::free(t);
    return s;
}

TEST(JsonAccess, GetTextByTypeOfField)
{
    Root r;
    const JsonObject* o = jsonParseObject(
        R"({"s":"ok","n":200,"z":0,"b":true,"nul":null,"a":[1],"o":{},"big":1e15,"nbig":-1e15,"u":"\u00e9"})",
        &r.v);
    ASSERT_NE(o, nullptr);
    struct { const char* name; int rc; const char* value; } cases[] = {
        {"s", 1, "ok"}, {"n", 1, "200.000000"}, {"z", 1, "0.000000"}, {"b", 0, "<null>"},
        {"nul", 0, "<null>"}, {"a", 0, "<null>"}, {"o", 0, "<null>"}, {"missing", 0, "<null>"},
        {"big", -30, "<null>"}, {"nbig", -30, "<null>"}, {"u", 1, "\xc3\xa9"},
    };
    for (const auto& c : cases) {
        int rc = 0;
        EXPECT_EQ(text(o, c.name, &rc), c.value) << c.name;
        EXPECT_EQ(rc, c.rc) << c.name;
    }
}

TEST(JsonAccess, BadArguments)
{
    Root r;
    const JsonObject* o = jsonParseObject(R"({"a":"b"})", &r.v);
    ASSERT_NE(o, nullptr);
    char* t = nullptr;
    const char* n = nullptr;
    const JsonObject* out = nullptr;
    EXPECT_EQ(jsonObjectGetText(nullptr, "a", &t), -1);
    EXPECT_EQ(jsonObjectGetText(o, nullptr, &t), -1);
    EXPECT_EQ(jsonObjectGetText(o, "a", nullptr), -1);
    EXPECT_EQ(jsonObjectGetTextAt(o, -1, &n, &t), -1);
    EXPECT_EQ(jsonObjectGetObject(nullptr, "a", &out), -1);
    EXPECT_EQ(jsonArrayGetObject(nullptr, 0, &out), -1);
    EXPECT_EQ(jsonObjectGetArrayObject(o, "a", -1, &out), -1);
    EXPECT_EQ(jsonObjectGetBool(nullptr, "a"), -1);
}

TEST(JsonAccess, ParseRootsAndReuse)
{
    Root r;
    EXPECT_EQ(jsonParseObject("[1,2]", &r.v), nullptr);
    ASSERT_NE(r.v, nullptr);
    EXPECT_TRUE(r.v->is_array());
    EXPECT_NE(jsonParseArray("[1,2]", &r.v), nullptr);
    // A second parse frees the first tree (checked by the leak sanitizer).
    EXPECT_NE(jsonParseObject(R"({"x":1})", &r.v), nullptr);
    EXPECT_EQ(jsonParseObject("not json", &r.v), nullptr);
    EXPECT_EQ(r.v, nullptr);
    EXPECT_EQ(jsonParseObject(nullptr, &r.v), nullptr);
    EXPECT_EQ(jsonParseObject(R"({"a":1,"a":2})", &r.v), nullptr);
    EXPECT_EQ(jsonParseObject(R"({"o":{"k":1,"k":2}})", &r.v), nullptr);
    // The same key in sibling objects is no duplicate.
    EXPECT_NE(jsonParseObject(R"({"o":{"k":1},"p":{"k":2},"l":[{"k":1},{"k":1}]})", &r.v), nullptr);
}

TEST(JsonAccess, FieldsByIndexKeepDocumentOrder)
{
    Root r;
    const JsonObject* o = jsonParseObject(R"({"zeta":"1","alpha":"2","mid":3})", &r.v);
    ASSERT_NE(o, nullptr);
    const char* expectNames[] = {"zeta", "alpha", "mid"};
    const char* expectValues[] = {"1", "2", "3.000000"};
    for (int i = 0; i < 3; ++i) {
        const char* n = nullptr;
        char* t = nullptr;
        ASSERT_EQ(jsonObjectGetTextAt(o, i, &n, &t), 1);
        EXPECT_STREQ(n, expectNames[i]);
        EXPECT_STREQ(t, expectValues[i]);
        std::free(t);
    }
    const char* n = nullptr;
    char* t = nullptr;
    EXPECT_EQ(jsonObjectGetTextAt(o, 3, &n, &t), 0);
}

TEST(JsonAccess, ObjectsArraysAndBooleans)
{
    Root r;
    const JsonObject* o = jsonParseObject(
        R"({"obj":{"k":"v"},"arr":[{"i":"0"},2,{"i":"2"}],"t":true,"f":false,"s":"x"})", &r.v);
    ASSERT_NE(o, nullptr);
    const JsonObject* out = nullptr;
    EXPECT_EQ(jsonObjectGetObject(o, "obj", &out), 1);
    int rc = 0;
    EXPECT_EQ(text(out, "k", &rc), "v");
    EXPECT_EQ(jsonObjectGetObject(o, "s", &out), 0);
    EXPECT_EQ(jsonObjectGetArrayObject(o, "arr", 2, &out), 1);
    EXPECT_EQ(text(out, "i", &rc), "2");
    EXPECT_EQ(jsonObjectGetArrayObject(o, "arr", 1, &out), 0);
    EXPECT_EQ(jsonObjectGetArrayObject(o, "arr", 3, &out), 0);
    EXPECT_EQ(jsonObjectGetArrayObject(o, "obj", 0, &out), 0);
    EXPECT_EQ(jsonObjectGetBool(o, "t"), 1);
    EXPECT_EQ(jsonObjectGetBool(o, "f"), 0);
    EXPECT_EQ(jsonObjectGetBool(o, "s"), -1);
    EXPECT_EQ(jsonObjectGetBool(o, "none"), -1);
}

TEST(JsonAccess, SerializeFieldCompactInOrder)
{
    Root r;
    const JsonObject* o = jsonParseObject(
        "{\"Name\": \"Orders\", \"fields\": [{\"field_name\": \"a/b\", \"type\": \"textbox\"}, "
        "{\"type\": \"number\", \"field_name\": \"Amount\"}], \"empty\": {}}",
        &r.v);
    ASSERT_NE(o, nullptr);
    std::string s;
    EXPECT_EQ(jsonObjectSerializeField(o, "fields", s), 1);
    EXPECT_EQ(s, R"([{"field_name":"a\/b","type":"textbox"},{"type":"number","field_name":"Amount"}])");
    EXPECT_EQ(jsonObjectSerializeField(o, "empty", s), 1);
    EXPECT_EQ(s, "{}");
    EXPECT_EQ(jsonObjectSerializeField(o, "none", s), 0);
    EXPECT_EQ(jsonObjectSerializeField(nullptr, "fields", s), -1);
}

} // namespace
