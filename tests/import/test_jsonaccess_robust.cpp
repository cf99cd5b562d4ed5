// JSON access over damaged server replies and setting files.
#include "jsonaccess.h"
#include "rvmutate.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

const std::vector<std::string>& samples()
{
    static const std::vector<std::string> s = {
        "{\"result\":0,\"message\":\"ok\",\"token\":\"t-1\",\"id\":12.5,\"flag\":true}",
        "{\"result\":1,\"errors\":[{\"code\":\"E1\",\"message\":\"bad \\u65e5\"},{\"x\":null}],"
        "\"detail\":{\"row\":3,\"col\":\"a/b\"}}",
        "{\"Name\":\"App\",\"fields\":[{\"id\":\"f1\",\"type\":\"text\",\"opts\":{\"a\":[1,2,3]}}]}",
        "[{\"a\":1},{\"b\":\"c\"},[]]",
    };
    return s;
}

std::string mutate(std::mt19937& rng, const std::string& base)
{
    static const char* const kPieces[] = {
        "\0", "\"", "\\", "\\u", "\\ud800", "\\udc00\\ud800", "{", "}", "[", "]", ":", ",",
        "\xff", "\xc0\x80", "\xed\xa0\x80", "1e999", "-1e308", "123456789012345678901234567890",
        "1e15", "-0", "NaN", "null", "true", "\"fields\":", "\"Name\":", "\r\n", "/"};
    static const rvtest::Mutation kMutation = {kPieces, sizeof kPieces / sizeof kPieces[0], 4, 6,
                                               nullptr, 0};
    return rvtest::mutate(rng, base, kMutation);
}

// Every accessor over a parsed object: results within the documented set,
// texts NUL-terminated and freed.
void walk(const JsonObject* obj)
{
    static const char* const kNames[] = {"result", "message", "token", "id", "flag", "errors",
                                         "detail", "Name", "fields", "a", "b", "x"};
    for (const char* n : kNames) {
        char* text = nullptr;
        int r = jsonObjectGetText(obj, n, &text);
        EXPECT_TRUE(r == JSON_FOUND || r == JSON_MISSING || r == JSON_TOOLARGE) << r;
        EXPECT_EQ(r == JSON_FOUND, text != nullptr);
        free(text);
        jsonObjectText(obj, n);
        const JsonObject* sub = nullptr;
        if (jsonObjectGetObject(obj, n, &sub) == JSON_FOUND) {
            EXPECT_TRUE(sub->is_object());
        }
        EXPECT_GE(jsonObjectGetBool(obj, n), -1);
        for (int i = 0; i < 3; ++i) {
            const JsonObject* el = nullptr;
            if (jsonObjectGetArrayObject(obj, n, i, &el) == JSON_FOUND) {
                EXPECT_TRUE(el->is_object());
            }
        }
        std::string out;
        r = jsonObjectSerializeField(obj, n, out);
        EXPECT_TRUE(r == JSON_FOUND || r == JSON_MISSING) << r;
    }
    for (int i = 0; i < 8; ++i) {
        const char* name = nullptr;
        char* text = nullptr;
        int r = jsonObjectGetTextAt(obj, i, &name, &text);
        EXPECT_GE(r, JSON_TOOLARGE);
        free(text);
    }
}

void parseAndWalk(const std::string& in)
{
    char* text = static_cast<char*>(malloc(in.size() + 1));
    memcpy(text, in.c_str(), in.size() + 1);
    JsonValue* root = nullptr;
    JsonObject* obj = jsonParseObject(text, &root);
    if (obj)
        walk(obj);
    JsonArray* arr = jsonParseArray(text, &root);
    if (arr) {
        for (int i = 0; i < 4; ++i) {
            const JsonObject* el = nullptr;
            if (jsonArrayGetObject(arr, i, &el) == JSON_FOUND)
                walk(el);
        }
    }
    jsonFree(root);
    free(text);
}

}  // namespace

TEST(JsonRobust, TruncatedAndMutatedTexts)
{
    for (const std::string& s : samples()) {
        for (size_t cut = 0; cut <= s.size(); ++cut) {
            SCOPED_TRACE(::testing::PrintToString(s.substr(0, cut)));
            parseAndWalk(s.substr(0, cut));
        }
    }
    std::mt19937 rng(4242);
    for (int i = 0; i < 2000; ++i) {
        std::string s = mutate(rng, samples()[rng() % samples().size()]);
        SCOPED_TRACE(::testing::PrintToString(s));
        parseAndWalk(s);
        if (HasFailure())
            return;
    }
}

// Nesting far deeper than any reply or setting file is refused as not JSON
// (it used to overflow the stack when "fields" was serialised); ordinary
// depths still parse and serialise.
TEST(JsonRobust, DeepNesting)
{
    struct Case {
        int depth;
        bool accepted;
    };
    for (const Case& c : {Case{20000, false}, Case{600, false}, Case{200, true}}) {
        SCOPED_TRACE(c.depth);
        std::string arrays = std::string(static_cast<size_t>(c.depth), '[') +
                             std::string(static_cast<size_t>(c.depth), ']');
        std::string objs;
        for (int i = 0; i < c.depth; ++i)
            objs += "{\"a\":";
        objs += "1" + std::string(static_cast<size_t>(c.depth), '}');
        for (const std::string& inner : {arrays, objs}) {
            std::string text = "{\"Name\":\"n\",\"fields\":" + inner + "}";
            JsonValue* root = nullptr;
            JsonObject* obj = jsonParseObject(text.c_str(), &root);
            EXPECT_EQ(c.accepted, obj != nullptr);
            if (obj) {
                std::string out;
                EXPECT_EQ(JSON_FOUND, jsonObjectSerializeField(obj, "fields", out));
                EXPECT_EQ(inner.size(), out.size());
            }
            jsonFree(root);
            root = nullptr;
            EXPECT_EQ(c.accepted, jsonParseArray(("[" + inner + "]").c_str(), &root) != nullptr);
            jsonFree(root);
        }
    }
    std::string unclosed(100000, '[');
    JsonValue* root = nullptr;
    EXPECT_EQ(nullptr, jsonParseArray(unclosed.c_str(), &root));
    jsonFree(root);
}
