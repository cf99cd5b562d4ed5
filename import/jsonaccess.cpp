#include "jsonaccess.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <set>
#include <vector>

namespace {

// Deepest nesting accepted: serialising the tree recurses once per level.
const int kMaxDepth = 512;

// Parses text; a duplicate key within one object, or nesting deeper than
// kMaxDepth, fails the parse.
JsonValue* parseText(const char* text)
{
    std::vector<std::set<std::string>> keys;
    bool refused = false;
    auto check = [&keys, &refused](int depth, JsonValue::parse_event_t event,
                                     JsonValue& parsed) {
        if (depth > kMaxDepth)
            refused = true;
        switch (event) {
        case JsonValue::parse_event_t::object_start:
            keys.emplace_back();
            break;
        case JsonValue::parse_event_t::object_end:
            if (!keys.empty())
                keys.pop_back();
            break;
        case JsonValue::parse_event_t::key:
            if (!keys.empty() && parsed.is_string()
                && !keys.back().insert(parsed.get_ref<const std::string&>()).second)
                refused = true;
            break;
        default:
            break;
        }
        return true;
    };
    try {
        JsonValue value = JsonValue::parse(text, text + std::strlen(text), check, false);
        if (refused || value.is_discarded())
            return nullptr;
        return new JsonValue(std::move(value));
    } catch (const std::exception&) {
        return nullptr;
    }
}

char* copyText(const std::string& s)
{
    char* p = static_cast<char*>(std::malloc(s.size() + 1));
    if (p)
        std::memcpy(p, s.c_str(), s.size() + 1);
    return p;
}

int valueText(const JsonValue& v, char** text)
{
    if (v.is_string()) {
        *text = copyText(v.get_ref<const std::string&>());
        return *text ? JSON_FOUND : JSON_NOMEM;
    }
    if (v.is_number()) {
        double d = v.get<double>();
        if (std::fabs(d) >= 1e15)
            return JSON_TOOLARGE;
        char* p = static_cast<char*>(std::malloc(32));
        if (!p)
            return JSON_NOMEM;
        std::snprintf(p, 32, "%f", d);
        *text = p;
        return JSON_FOUND;
    }
    return JSON_MISSING;
}

const JsonValue* member(const JsonObject* object, const char* name)
{
    if (!object->is_object())
        return nullptr;
    auto it = object->find(name);
    return it == object->end() ? nullptr : &*it;
}

} // namespace

JsonObject* jsonParseObject(const char* text, JsonValue** root)
{
    if (!root)
        return nullptr;
    jsonFree(*root);
    *root = nullptr;
    if (!text)
        return nullptr;
    *root = parseText(text);
    return (*root && (*root)->is_object()) ? *root : nullptr;
}

JsonArray* jsonParseArray(const char* text, JsonValue** root)
{
    if (!root)
        return nullptr;
    jsonFree(*root);
    *root = nullptr;
    if (!text)
        return nullptr;
    *root = parseText(text);
    return (*root && (*root)->is_array()) ? *root : nullptr;
}

void jsonFree(JsonValue* root)
{
    delete root;
}

int jsonObjectGetText(const JsonObject* object, const char* name, char** text)
{
    if (!object || !name || !text)
        return JSON_BADARG;
    const JsonValue* v = member(object, name);
    if (!v)
        return JSON_MISSING;
    return valueText(*v, text);
}

std::string jsonObjectText(const JsonObject* object, const char* name, bool* found)
{
    char* text = nullptr;
    int r = jsonObjectGetText(object, name, &text);
    std::string out;
    if (r == JSON_FOUND && text)
        out = text;
    std::free(text);
    if (found)
        *found = r == JSON_FOUND;
    return out;
}

int jsonObjectGetTextAt(const JsonObject* object, int index, const char** name, char** text)
{
    if (!object || !name || !text || index < 0)
        return JSON_BADARG;
    if (!object->is_object() || static_cast<size_t>(index) >= object->size())
        return JSON_MISSING;
    auto it = object->begin();
    std::advance(it, index);
    *name = it.key().c_str();
    return valueText(it.value(), text);
}

int jsonObjectGetObject(const JsonObject* object, const char* name, const JsonObject** out)
{
    if (!object || !name || !out)
        return JSON_BADARG;
    const JsonValue* v = member(object, name);
    if (!v || !v->is_object())
        return JSON_MISSING;
    *out = v;
    return JSON_FOUND;
}

int jsonObjectGetBool(const JsonObject* object, const char* name)
{
    if (!object || !name)
        return -1;
    const JsonValue* v = member(object, name);
    if (!v || !v->is_boolean())
        return -1;
    return v->get<bool>() ? 1 : 0;
}

int jsonArrayGetObject(const JsonArray* array, int index, const JsonObject** out)
{
    if (!array || !out || index < 0)
        return JSON_BADARG;
    if (!array->is_array() || static_cast<size_t>(index) >= array->size())
        return JSON_MISSING;
    const JsonValue& v = (*array)[static_cast<size_t>(index)];
    if (!v.is_object())
        return JSON_MISSING;
    *out = &v;
    return JSON_FOUND;
}

int jsonObjectGetArrayObject(const JsonObject* object, const char* name, int index,
                             const JsonObject** out)
{
    if (!object || !name || !out || index < 0)
        return JSON_BADARG;
    const JsonValue* v = member(object, name);
    if (!v || !v->is_array())
        return JSON_MISSING;
    return jsonArrayGetObject(v, index, out);
}

int jsonObjectSerializeField(const JsonObject* object, const char* name, std::string& out)
{
    if (!object || !name)
        return JSON_BADARG;
    const JsonValue* v = member(object, name);
    if (!v)
        return JSON_MISSING;
    try {
        std::string text = v->dump(-1, ' ', false, JsonValue::error_handler_t::replace);
        out.clear();
        out.reserve(text.size());
        for (char c : text) {
            if (c == '/')
                out += '\\';
            out += c;
        }
    } catch (const std::bad_alloc&) {
        return JSON_NOMEM;
    }
    return JSON_FOUND;
}
