// Checks and conversions of date, mail and number texts.
#include "rvcomcheck.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "comstr.h"
#include "comtime.h"
#include "comtrace.h"
#include "rvcomcode.h"
#include "rvcompair.h"

namespace {

const char* const SRC_DATE = "rvcomCheckDate";
const char* const SRC_NUMBER = "rvcomCheckNumber";

// Longest number text that alignment looks at.
const size_t ALIGN_MAX_TEXT = 511;

bool isEmptyText(const char* text) { return text == nullptr || text[0] == '\0'; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Integer text of at most maxLen characters within [lo, hi].
bool readIntPart(const std::string& text, size_t maxLen, long lo, long hi, int& value)
{
    if (text.empty() || text.size() > maxLen || !comIsInteger(text.c_str()))
        return false;
    long v = strtol(text.c_str(), nullptr, 10);
    if (v < lo || v > hi)
        return false;
    value = static_cast<int>(v);
    return true;
}

} // namespace

int rvcomParseDateTime(const char* text, NString& year, NString& month, NString& day,
                       NString& hour, NString& minute, NString& second)
{
    if (isEmptyText(text)) {
        COMTRACE_SRC(SRC_DATE, "%s", "");
        return 0;
    }

    std::string seps[6];
    int sepCount = 5;
    bool localWords = false;
    if (strchr(text, '/') != nullptr) {
        const char* s[5] = { "/", "/", " ", ":", ":" };
        for (int i = 0; i < 5; i++)
            seps[i] = s[i];
    } else if (strchr(text, '-') != nullptr) {
        const char* s[5] = { "-", "-", " ", ":", ":" };
        for (int i = 0; i < 5; i++)
            seps[i] = s[i];
    } else {
        NString word;
        rvcomGetLocalString(word, "year");
        if (word.isNullOrEmpty() || strstr(text, word.c_str()) == nullptr) {
            year = NString(text, -1);
            return 0;
        }
        localWords = true;
        const char* keys[6] = { "year", "month", "day", "hour", "minute", "second" };
        NString hourWord;
        rvcomGetLocalString(hourWord, "hour");
        if (!hourWord.isNullOrEmpty() && strstr(text, hourWord.c_str()) != nullptr)
            sepCount = 6;
        for (int i = 0; i < sepCount; i++) {
            if (i >= 3 && sepCount == 5) {
                seps[i] = ":";
                continue;
            }
            NString w;
            rvcomGetLocalString(w, keys[i]);
            seps[i] = w.c_str();
        }
    }

    char* copy = strdup(text);
    if (copy == nullptr) {
        COMTRACE_SRC(SRC_DATE, "ret[%d]", -100003);
        return -100003;
    }
    std::string fields[6];
    int found = 0;
    const char* rest = copy;
    for (int i = 0; i < 6; i++) {
        if (i >= sepCount || seps[i].empty()) {
            fields[found++] = rest;
            break;
        }
        const char* hit = strstr(rest, seps[i].c_str());
        if (hit == nullptr) {
            fields[found++] = rest;
            break;
        }
        fields[found++] = std::string(rest, static_cast<size_t>(hit - rest));
        // A whole separator is passed over (a local word may be longer
        // than one character).
        rest = hit + seps[i].size();
        if (localWords && i == 2 && *rest == ' ')
            rest++;
        if (i == 5)
            break;
    }
    free(copy);

    NString* outs[6] = { &year, &month, &day, &hour, &minute, &second };
    for (int i = 0; i < found; i++)
        *outs[i] = NString(fields[i].c_str(), -1);
    return 0;
}

int rvcomCheckDate(const char* text, NString& out, bool withSeparators)
{
    RvStringList parts;
    int ret = rvcomSplitComma(text, parts);
    if (ret != 0) {
        COMTRACE_SRC(SRC_DATE, "ret[%d]", ret);
        return 0;
    }
    if (parts.size() != 6)
        return 0;

    static const size_t widths[6] = { 4, 2, 2, 2, 2, 2 };
    static const long lows[6] = { 1, 1, 1, 0, 0, 0 };
    static const long highs[6] = { 9999, 12, 31, 23, 59, 59 };
    int v[6];
    for (int i = 0; i < 6; i++) {
        if (!readIntPart(parts[i].c_str(), widths[i], lows[i], highs[i], v[i]))
            return 0;
    }
    char date[32];
    snprintf(date, sizeof date, "%04d%02d%02d", v[0], v[1], v[2]);
    if (comDateTextCheck(date) != 0)
        return 0;
    if (withSeparators)
        out.format("%04d-%02d-%02d %02d:%02d:%02d", v[0], v[1], v[2], v[3], v[4], v[5]);
    else
        out.format("%04d%02d%02d%02d%02d%02d", v[0], v[1], v[2], v[3], v[4], v[5]);
    return 1;
}

namespace {

// part = the n characters at text; a part that already holds them is kept
// (values read row after row mostly share their leading parts).
void setPart(NString& part, const char* text, size_t n)
{
    const char* cur = part.c_str();
    if (!part.isNull() && strncmp(cur, text, n) == 0 && cur[n] == '\0')
        return;
    part = NString(text, static_cast<int>(n));
}

}  // namespace

int rvcomSplitDateTime(const char* stamp, NString& year, NString& month, NString& day,
                       NString& hour, NString& minute, NString& second)
{
    const char* s = stamp ? stamp : "";
    size_t len = strlen(s);
    if (len >= 15) {
        COMTRACE_SRC(SRC_DATE, "%s", "");
        return -100001;
    }
    char buf[15] = "00000101000000";
    memcpy(buf, s, len);
    setPart(year, buf, 4);
    setPart(month, buf + 4, 2);
    setPart(day, buf + 6, 2);
    setPart(hour, buf + 8, 2);
    setPart(minute, buf + 10, 2);
    setPart(second, buf + 12, 2);
    return 0;
}

int rvcomCheckMailAddress(const char* text)
{
    if (text == nullptr)
        return 0;
    size_t len = strlen(text);
    if (len < 1 || len > 256)
        return 0;
    int ats = 0;
    for (size_t i = 0; i < len; i++) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == ' ' || c >= 0x80)
            return 0;
        if (c == '@')
            ats++;
    }
    if (ats != 1 || text[0] == '@' || text[len - 1] == '@')
        return 0;
    return 1;
}

int rvcomIsNumberText(const char* text)
{
    if (isEmptyText(text))
        return 0;
    const char* p = text;
    if (*p == '-')
        p++;
    size_t len = strlen(p);
    // A sign alone is no number.
    if (len == 0 || p[0] == '.' || p[len - 1] == '.')
        return 0;
    int dots = 0;
    for (size_t i = 0; i < len; i++) {
        if (p[i] == '.') {
            if (++dots > 1)
                return 0;
        } else if (!isDigit(p[i])) {
            return 0;
        }
    }
    return 1;
}

int rvcomCheckNumberDigits(const char* text, int intDigits, int decDigits)
{
    if (!rvcomIsNumberText(text))
        return 0;
    const char* p = text;
    if (*p == '-')
        p++;
    const char* dot = strchr(p, '.');
    if (dot != nullptr) {
        if (intDigits < 0)
            return 1;
        if (intDigits >= 1 && dot - p > intDigits)
            return 0;
        if (static_cast<long>(strlen(dot + 1)) > decDigits)
            return 0;
        return 1;
    }
    if (intDigits < 1)
        return 1;
    return static_cast<long>(strlen(p)) <= intDigits ? 1 : 0;
}

int rvcomCountNumberDigits(const char* text, int* intDigits, int* decDigits)
{
    if (!rvcomIsNumberText(text)) {
        COMTRACE_SRC(SRC_NUMBER, "ret[%d] v[%s]", -100001, text ? text : "");
        return -100001;
    }
    const char* p = text;
    if (*p == '-')
        p++;
    const char* dot = strchr(p, '.');
    int ip = static_cast<int>(dot ? dot - p : static_cast<long>(strlen(p)));
    int dp = dot ? static_cast<int>(strlen(dot + 1)) : 0;
    if (intDigits)
        *intDigits = ip;
    if (decDigits)
        *decDigits = dp;
    return 0;
}

int rvcomTrimDecimalZeros(const char* text, NString& out)
{
    if (isEmptyText(text)) {
        out = text ? NString(text, -1) : NString();
        return 0;
    }
    // The whole text is kept: nothing is cut from long values.
    if (strchr(text, '.') == nullptr) {
        out = NString(text, -1);
        return 0;
    }
    size_t len = strlen(text);
    while (len > 1 && text[len - 1] == '0')
        len--;
    if (len > 1 && text[len - 1] == '.')
        len--;
    out = NString::fromBytes(text, len);
    return 0;
}

int rvcomAlignNumberText(const char* text, int intDigits, int decDigits, char** out)
{
    if (out != nullptr)
        *out = nullptr;
    if (isEmptyText(text) || out == nullptr || intDigits < 1 || intDigits > 127 ||
        decDigits < 0 || decDigits > 127) {
        COMTRACE_SRC(SRC_NUMBER, "ret[%d] v[%s] int[%d] dec[%d]", -100001, text ? text : "",
                     intDigits, decDigits);
        return -100001;
    }
    std::string work(text, strnlen(text, ALIGN_MAX_TEXT));
    bool negative = false;
    if (!work.empty() && work[0] == '-') {
        work.erase(0, 1);
        negative = work.find_first_not_of("0-.") != std::string::npos;
    }
    size_t dot = work.find('.');
    std::string intPart = work.substr(0, dot);
    std::string decPart = dot == std::string::npos ? std::string() : work.substr(dot + 1);
    // An integer part wider than the field cannot be aligned.
    if (intPart.size() > static_cast<size_t>(intDigits)) {
        COMTRACE_SRC(SRC_NUMBER, "ret[%d] v[%s] int[%d] dec[%d]", -100001, text, intDigits,
                     decDigits);
        return -100001;
    }
    intPart.insert(0, static_cast<size_t>(intDigits) - intPart.size(), '0');
    if (decPart.size() > static_cast<size_t>(decDigits))
        decPart.resize(static_cast<size_t>(decDigits));
    decPart.append(static_cast<size_t>(decDigits) - decPart.size(), '0');

    size_t size = static_cast<size_t>(intDigits) + static_cast<size_t>(decDigits) + 3;
    char* buf = static_cast<char*>(malloc(size));
    if (buf == nullptr) {
        COMTRACE_SRC(SRC_NUMBER, "ret[%d]", -100003);
        return -100003;
    }
    snprintf(buf, size, "%s%s%c%s", negative ? "-" : "", intPart.c_str(), '.',
             decPart.c_str());
    *out = buf;
    return 0;
}

int rvcomCompareNumber(const char* a, const char* b, int intDigits, int decDigits, int* cmp)
{
    if (isEmptyText(a) || isEmptyText(b) || cmp == nullptr || !rvcomIsNumberText(a) ||
        !rvcomIsNumberText(b)) {
        COMTRACE_SRC(SRC_NUMBER, "ret[%d] a[%s] b[%s]", -100001, a ? a : "", b ? b : "");
        return -100001;
    }
    char* alignedA = nullptr;
    char* alignedB = nullptr;
    int ret = rvcomAlignNumberText(a, intDigits, decDigits, &alignedA);
    if (ret == 0)
        ret = rvcomAlignNumberText(b, intDigits, decDigits, &alignedB);
    if (ret != 0) {
        COMTRACE_SRC(SRC_NUMBER, "ret[%d]", ret);
        free(alignedA);
        free(alignedB);
        return ret;
    }
    int c = strcmp(alignedA, alignedB);
    c = c < 0 ? -1 : (c > 0 ? 1 : 0);
    // Signs are judged on the aligned texts, where a negative zero has none.
    if (alignedA[0] == '-' && alignedB[0] == '-')
        c = -c;
    *cmp = c;
    free(alignedA);
    free(alignedB);
    return 0;
}
