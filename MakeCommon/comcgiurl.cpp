// URL coding and query splitting.
#include "comcgi.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

bool isAsciiAlnum(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Digit value as the decoder reads it: no check that it is a hex digit.
int digitValue(unsigned char c)
{
    if (c < 'A')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        c = static_cast<unsigned char>(c - 'a' + 'A');
    return c - 55;
}

void freeFields(int count, char** names, char** values)
{
    for (int i = 0; i < count; ++i) {
        free(names[i]);
        free(values[i]);
    }
    free(names);
    free(values);
}

}  // namespace

char* comCgiUrlEncode(const char* text, int spaceMode)
{
    static const char hex[] = "0123456789ABCDEF";
    if (!text)
        return nullptr;
    size_t len = strlen(text);
    if (len > (SIZE_MAX - 1) / 3)
        return nullptr;
    char* out = static_cast<char*>(malloc(3 * len + 1));
    if (!out)
        return nullptr;
    char* o = out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        if (isAsciiAlnum(*p)) {
            *o++ = static_cast<char>(*p);
        } else if (*p == ' ' && spaceMode == COM_URL_SPACE_PLUS) {
            *o++ = '+';
        } else if (*p == ' ' && spaceMode != COM_URL_SPACE_PERCENT) {
            *o++ = ' ';
        } else {
            *o++ = '%';
            *o++ = hex[*p >> 4];
            *o++ = hex[*p & 0x0F];
        }
    }
    *o = '\0';
    return out;
}

void comCgiUrlDecode(char* text)
{
    if (!text)
        return;
    size_t len = strlen(text);
    size_t o = 0;
    for (size_t i = 0; i < len; ++i) {
        char c = text[i];
        if (c == '+') {
            text[o++] = ' ';
        } else if (c == '%' && text[i + 1] && text[i + 2]) {
            int v = digitValue(static_cast<unsigned char>(text[i + 1])) * 16 +
                    digitValue(static_cast<unsigned char>(text[i + 2]));
            text[o++] = static_cast<char>(static_cast<unsigned char>(v & 0xFF));
            i += 2;
        } else {
            text[o++] = c;
        }
    }
    text[o] = '\0';
}

void comCgiUrlEncodeFormat(char* out, size_t outSize, const char* fmt, ...)
{
    if (!out || outSize == 0)
        return;
    out[0] = '\0';
    if (!fmt)
        return;
    va_list ap;
    va_start(ap, fmt);
    va_list copy;
    va_copy(copy, ap);
    int n = vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    char* text = n < 0 ? nullptr : static_cast<char*>(malloc(static_cast<size_t>(n) + 1));
    if (text)
        vsnprintf(text, static_cast<size_t>(n) + 1, fmt, ap);
    va_end(ap);
    if (!text)
        return;
    char* encoded = comCgiUrlEncode(text, COM_URL_SPACE_PLUS);
    free(text);
    if (encoded && strlen(encoded) < outSize)
        memcpy(out, encoded, strlen(encoded) + 1);
    free(encoded);
}

int comCgiCutToken(char* dest, char* source, char delimiter)
{
    if (!dest || !source)
        return 0;
    char* p = delimiter ? strchr(source, delimiter) : nullptr;
    if (!p) {
        memmove(dest, source, strlen(source) + 1);
        source[0] = '\0';
        return 0;
    }
    size_t n = static_cast<size_t>(p - source);
    memmove(dest, source, n);
    dest[n] = '\0';
    memmove(source, p + 1, strlen(p + 1) + 1);
    return 1;
}

int comCgiParseQuery(char* text, char*** names, char*** values)
{
    if (!text || !names || !values)
        return -9;
    *names = nullptr;
    *values = nullptr;
    size_t len = strlen(text);
    if (len == 0)
        return 0;
    int count = 1;
    for (size_t i = 0; i + 1 < len; ++i)
        if (text[i] == '&')
            ++count;
    char** n = static_cast<char**>(calloc(static_cast<size_t>(count), sizeof(char*)));
    char** v = static_cast<char**>(calloc(static_cast<size_t>(count), sizeof(char*)));
    if (!n || !v) {
        free(n);
        free(v);
        return -1;
    }
    for (int i = 0; i < count; ++i) {
        size_t fieldLen = strcspn(text, "&");
        n[i] = static_cast<char*>(malloc(fieldLen + 1));
        v[i] = static_cast<char*>(malloc(fieldLen + 1));
        if (!n[i] || !v[i]) {
            freeFields(count, n, v);
            return -1;
        }
        // The whole field is decoded before it is split at '='.
        comCgiCutToken(v[i], text, '&');
        comCgiUrlDecode(v[i]);
        comCgiCutToken(n[i], v[i], '=');
    }
    *names = n;
    *values = v;
    return count;
}

void comCgiFreeRequest(int count, char** names, char** values, char** fileNames, char** types)
{
    for (int i = 0; i < count; ++i) {
        if (fileNames && fileNames[i]) {
            if (values && values[i] && values[i][0])
                unlink(values[i]);
            free(fileNames[i]);
        }
        if (types)
            free(types[i]);
        if (names)
            free(names[i]);
        if (values)
            free(values[i]);
    }
    free(names);
    free(values);
    free(fileNames);
    free(types);
}
