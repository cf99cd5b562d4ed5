#include "commime.h"

#include <cstdlib>
#include <cstring>

namespace {

const char kB64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

enum { B64_PAD = 0xFE, B64_BAD = 0xFF };

struct B64Table {
    unsigned char v[256];
    B64Table()
    {
        memset(v, B64_BAD, sizeof v);
        for (int i = 0; i < 64; ++i)
            v[static_cast<unsigned char>(kB64[i])] = static_cast<unsigned char>(i);
        v[static_cast<unsigned char>('=')] = B64_PAD;
    }
};

const B64Table kB64Rev;

// Decoder carry between calls.
int g_carryCount = 0;
char g_carry[3];

unsigned char b64val(char c) { return kB64Rev.v[static_cast<unsigned char>(c)]; }

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

int comBase64Encode(int len, const void* src, char* dst)
{
    if (!dst)
        return 0;
    const unsigned char* s = static_cast<const unsigned char*>(src);
    int o = 0;
    if (!s || len < 0)
        len = 0;
    for (int i = 0; i < len; i += 3) {
        unsigned b0 = s[i];
        unsigned b1 = i + 1 < len ? s[i + 1] : 0;
        unsigned b2 = i + 2 < len ? s[i + 2] : 0;
        dst[o++] = kB64[b0 >> 2];
        dst[o++] = kB64[((b0 & 0x03) << 4) | (b1 >> 4)];
        dst[o++] = i + 1 < len ? kB64[((b1 & 0x0F) << 2) | (b2 >> 6)] : '=';
        dst[o++] = i + 2 < len ? kB64[b2 & 0x3F] : '=';
    }
    dst[o] = '\0';
    return o;
}

void comBase64DecodeInit()
{
    g_carryCount = 0;
    memset(g_carry, 0, sizeof g_carry);
}

int comBase64Decode(int len, const char* src, void* dst)
{
    unsigned char* out = static_cast<unsigned char*>(dst);
    if (!out)
        return 0;
    int o = 0;
    out[0] = '\0';
    if (!src || len < 0)
        len = 0;
    int pos = 0;
    for (;;) {
        char g[4];
        int k = 0;
        for (; k < g_carryCount; ++k)
            g[k] = g_carry[k];
        g_carryCount = 0;
        bool stop = false;
        while (k < 4) {
            if (pos >= len || src[pos] == '\0') {
                stop = true;
                break;
            }
            char c = src[pos];
            if (k == 0 && c == '\n') {
                stop = true;
                break;
            }
            ++pos;
            if (b64val(c) == B64_BAD)
                continue; // blanks, CR and strays are not data
            g[k++] = c;
        }
        if (stop) {
            // Keep an unfinished group for the next call.
            for (int i = 0; i < k && i < 3; ++i)
                g_carry[i] = g[i];
            g_carryCount = k;
            break;
        }
        unsigned v0 = b64val(g[0]), v1 = b64val(g[1]);
        if (v0 == B64_PAD || v1 == B64_PAD)
            break; // padding cannot start a group
        out[o++] = static_cast<unsigned char>((v0 << 2) | (v1 >> 4));
        if (g[2] == '=')
            break;
        unsigned v2 = b64val(g[2]);
        out[o++] = static_cast<unsigned char>(((v1 & 0x0F) << 4) | (v2 >> 2));
        if (g[3] == '=')
            break;
        unsigned v3 = b64val(g[3]);
        out[o++] = static_cast<unsigned char>(((v2 & 0x03) << 6) | v3);
    }
    out[o] = '\0';
    return o;
}

int comBase64DecodeEnd(void* dst)
{
    unsigned char* out = static_cast<unsigned char*>(dst);
    int n = g_carryCount;
    char g[3];
    memcpy(g, g_carry, sizeof g);
    comBase64DecodeInit();
    if (!out)
        return 0;
    int o = 0;
    // One character completes no byte; two give one, three give two.
    if (n >= 2) {
        unsigned v0 = b64val(g[0]), v1 = b64val(g[1]);
        if (v0 != B64_PAD && v1 != B64_PAD) {
            out[o++] = static_cast<unsigned char>((v0 << 2) | (v1 >> 4));
            if (n == 3 && g[2] != '=') {
                unsigned v2 = b64val(g[2]);
                out[o++] = static_cast<unsigned char>(((v1 & 0x0F) << 4) | (v2 >> 2));
            }
        }
    }
    out[o] = '\0';
    return o;
}

int comQpDecode(const char* src, char* dst, int header)
{
    if (!dst)
        return 0;
    int escapes = 0;
    size_t o = 0;
    for (const char* p = src ? src : ""; *p; ++p) {
        char c = *p;
        if (header && c == '_') {
            dst[o++] = ' ';
        } else if (c == '=' && p[1] == '\n') {
            p += 1; // soft line break
        } else if (c == '=' && p[1] == '\r' && p[2] == '\n') {
            p += 2;
        } else if (c == '=' && hexDigit(p[1]) >= 0 && hexDigit(p[2]) >= 0) {
            dst[o++] = static_cast<char>(hexDigit(p[1]) * 16 + hexDigit(p[2]));
            p += 2;
            ++escapes;
        } else {
            dst[o++] = c;
        }
    }
    dst[o] = '\0';
    return escapes;
}

int comMimeIsTokenChar(int c)
{
    int low = c & 0x7F;
    if (low <= ' ' || low == 0x7F)
        return 0;
    if (strchr("()<>@,;:\"/[]?.=", low))
        return 0;
    return 1;
}

int comQpEncode(const char* src, char* dst, int maxLine, int header)
{
    static const char hex[] = "0123456789ABCDEF";
    if (!dst)
        return 0;
    size_t o = 0;
    int lineLen = 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(src ? src : "");
    while (*p) {
        unsigned char c = *p;
        if (c == '\n' || (c == '\r' && p[1] == '\n')) {
            dst[o++] = '\r';
            dst[o++] = '\n';
            p += c == '\r' ? 2 : 1;
            lineLen = 0;
            continue;
        }
        if (header && c == ' ') {
            if (maxLine > 0 && lineLen > 0 && lineLen + 2 > maxLine) {
                dst[o++] = '=';
                dst[o++] = '\r';
                dst[o++] = '\n';
                lineLen = 0;
                continue;
            }
            dst[o++] = '_';
            ++lineLen;
            ++p;
            continue;
        }
        bool plain = c < 0x80 && c != '_' && comMimeIsTokenChar(c);
        int need = plain ? 2 : 4;
        // A byte that does not fit an empty line is written all the same.
        if (maxLine > 0 && lineLen > 0 && lineLen + need > maxLine) {
            dst[o++] = '=';
            dst[o++] = '\r';
            dst[o++] = '\n';
            lineLen = 0;
            continue;
        }
        if (plain) {
            dst[o++] = static_cast<char>(c);
            lineLen += 1;
        } else {
            dst[o++] = '=';
            dst[o++] = hex[c >> 4];
            dst[o++] = hex[c & 0x0F];
            lineLen += 3;
        }
        ++p;
    }
    dst[o] = '\0';
    return 0;
}

int comSplitWord(const char* text, int n, char* out, int max)
{
    if (!out)
        return 0;
    out[0] = '\0';
    if (!text || n < 1 || max < 0)
        return 0;
    int field = 1;
    char quote = 0;
    int copied = 0;
    for (const char* p = text; *p; ++p) {
        char c = *p;
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ' ' && field < 3) {
            ++field;
            if (field > n)
                break;
            continue;
        }
        if (field == n && copied < max)
            out[copied++] = c;
    }
    out[copied] = '\0';
    return copied;
}

const char* comStrChr(const char* text, int c)
{
    if (!text || c == 0)
        return nullptr;
    return strchr(text, c);
}

void comTrimCrLf(char* text)
{
    if (!text)
        return;
    size_t n = strlen(text);
    while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n'))
        text[--n] = '\0';
}

int comUudecodeBegin(const char* line, char** name)
{
    if (!line || !name)
        return -99;
    *name = nullptr;
    size_t len = strlen(line);
    char* f1 = static_cast<char*>(malloc(len + 1));
    char* f2 = static_cast<char*>(malloc(len + 1));
    char* f3 = static_cast<char*>(malloc(len + 1));
    int r = 0;
    if (!f1 || !f2 || !f3) {
        r = -1;
    } else if (len <= strlen("begin 0 a")) {
        r = -7;
    } else {
        comSplitWord(line, 1, f1, 5);
        comSplitWord(line, 2, f2, static_cast<int>(len));
        comSplitWord(line, 3, f3, static_cast<int>(len));
        size_t mlen = strlen(f2);
        if (strcmp(f1, "begin") != 0)
            r = -3;
        else if (mlen >= 5)
            r = -4;
        else if (mlen == 0 || strspn(f2, "01234567") != mlen)
            r = -5;
        else {
            comTrimCrLf(f3);
            char* start = f3;
            size_t nlen = strlen(start);
            if (nlen >= 2 && start[0] == '"' && start[nlen - 1] == '"') {
                start[nlen - 1] = '\0';
                ++start;
            }
            *name = strdup(start);
            if (!*name)
                r = -6;
        }
    }
    free(f1);
    free(f2);
    free(f3);
    return r;
}

int comUudecodeLine(const char* line, unsigned char** out)
{
    if (out)
        *out = nullptr;
    if (!line || !out || line[0] == '\0')
        return -1;
    unsigned char lead = static_cast<unsigned char>(line[0]);
    if (lead == '`' || lead == ' ' || lead == '\r' || lead == '\n')
        return 0;
    int length = lead < 32 ? lead : lead - 32;
    unsigned char* buf = static_cast<unsigned char*>(calloc(static_cast<size_t>(length) + 4, 1));
    if (!buf)
        return -3;
    // The end of the line: a trailing CR/LF is not data.
    size_t end = strlen(line);
    while (end > 1 && (line[end - 1] == '\n' || line[end - 1] == '\r'))
        --end;
    const char* body = line + 1;
    size_t bodyLen = end - 1;
    int groups = (length + 2) / 3; // never decode beyond the declared length
    size_t i = 0;
    int o = 0;
    for (int g = 0; g < groups; ++g) {
        unsigned v[4];
        for (int k = 0; k < 4; ++k) {
            unsigned char c = i < bodyLen ? static_cast<unsigned char>(body[i]) : ' ';
            ++i;
            if ((c < 32 || c > 95) && c != '`') {
                free(buf);
                return -8 - k;
            }
            v[k] = (c - 32u) & 63u;
        }
        buf[o++] = static_cast<unsigned char>((v[0] << 2) | (v[1] >> 4));
        buf[o++] = static_cast<unsigned char>(((v[1] & 0x0F) << 4) | (v[2] >> 2));
        buf[o++] = static_cast<unsigned char>(((v[2] & 0x03) << 6) | v[3]);
    }
    *out = buf;
    return length;
}
