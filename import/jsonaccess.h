// JSON access for the import program: parse server replies and setting.json,
// read fields as malloc'd texts. Results: 1 found; 0 missing or of another
// type; -1 bad argument; -2 no memory; -30 number too large for a text.
#ifndef JSONACCESS_H
#define JSONACCESS_H

#include <string>

#include <nlohmann/json.hpp>

// The parsed tree keeps object members in document order.
typedef nlohmann::ordered_json JsonValue;
// Object and array handles point into the root value's tree and live as long
// as it does.
typedef nlohmann::ordered_json JsonObject;
typedef nlohmann::ordered_json JsonArray;

enum {
    JSON_FOUND = 1,
    JSON_MISSING = 0,
    JSON_BADARG = -1,
    JSON_NOMEM = -2,
    JSON_TOOLARGE = -30
};

// Frees *root, then parses text into it. Returns the root object (or array),
// null when the text is null, not JSON (a duplicate key, or nesting deeper
// than 512 levels, counts as not JSON),
// or its root is of another type; a parsed root of another type stays in
// *root for the caller to free.
JsonObject* jsonParseObject(const char* text, JsonValue** root);
JsonArray* jsonParseArray(const char* text, JsonValue** root);
// Frees a root value; null is ignored.
void jsonFree(JsonValue* root);

// A string field as a malloc'd copy; a number as its "%f" text. The caller
// frees *text.
int jsonObjectGetText(const JsonObject* object, const char* name, char** text);
// As jsonObjectGetText, as a string: "" when the field is absent or not a
// text; *found (optional) tells whether it was found.
std::string jsonObjectText(const JsonObject* object, const char* name, bool* found = nullptr);
// As jsonObjectGetText for the field at index; *name points into the tree.
int jsonObjectGetTextAt(const JsonObject* object, int index, const char** name, char** text);
int jsonObjectGetObject(const JsonObject* object, const char* name, const JsonObject** out);
// 1 or 0 for a boolean field; -1 when absent, not a boolean or a bad argument.
int jsonObjectGetBool(const JsonObject* object, const char* name);
int jsonArrayGetObject(const JsonArray* array, int index, const JsonObject** out);
int jsonObjectGetArrayObject(const JsonObject* object, const char* name, int index,
                             const JsonObject** out);

// The field's value (any type) as compact JSON text, '/' written as "\/".
// 1, 0 when absent, -1, -2.
int jsonObjectSerializeField(const JsonObject* object, const char* name, std::string& out);

#endif
