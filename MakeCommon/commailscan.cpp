// Address-list scanner shared by comMailAddrSplit and comMailParseAddr.
#include "commailscan.h"

#include "comjis.h"

#include <cstring>

namespace {

const char ESC = 0x1B;
const char kCloseRun[] = "\x1b(B";

bool isBlank(unsigned char c)
{
    return c == ' ' || c == '\t';
}

const unsigned char* skipBlanks(const char* text)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (isBlank(*p))
        ++p;
    return p;
}

// Trims both texts and takes a lone display name as the address.
void finish(ComAddrEntry& e, bool sawAngle)
{
    comAddrTrim(e.address);
    comAddrTrim(e.name);
    if (e.address.empty() && !e.name.empty() && !sawAngle) {
        e.address.swap(e.name);
        e.name.clear();
        e.nameTaken = true;
    }
}

}  // namespace

int comJisEscapeMode(const char* p)
{
    if (p[0] != ESC || !p[1] || !p[2])
        return -1;
    if (p[1] == '(') {
        if (p[2] == 'B')
            return COM_JIS_ASCII;
        if (p[2] == 'J' || p[2] == 'H')
            return COM_JIS_ROMAN;
        if (p[2] == 'I')
            return COM_JIS_KANA;
    } else if (p[1] == '$' && (p[2] == 'B' || p[2] == '@')) {
        return COM_JIS_KANJI;
    }
    return -1;
}

void comAddrTrim(std::string& s)
{
    size_t n = s.size();
    while (n > 2 && (s[n - 1] == ' ' || s[n - 1] == '\r' || s[n - 1] == '\n'))
        --n;
    s.resize(n);
}

const char* comAddrScan(const char* text, int backslashFlag, ComAddrEntry& e)
{
    e = ComAddrEntry();
    const unsigned char* p = skipBlanks(text);
    const char* entry = reinterpret_cast<const char*>(p);
    const char* next = nullptr;
    int mode = COM_JIS_ASCII;
    bool inAngle = false, inQuote = false, sawAngle = false;
    std::string& name = e.name;

    while (*p) {
        unsigned char c = *p;
        if (inAngle) {
            if (c == ',') {
                next = reinterpret_cast<const char*>(p + 1);
                break;
            }
            if (c == '>')
                inAngle = false;
            else
                e.address += static_cast<char>(c);
            ++p;
            continue;
        }
        if (c == ESC) {
            int m = comJisEscapeMode(reinterpret_cast<const char*>(p));
            if (m >= 0) {
                name.append(reinterpret_cast<const char*>(p), 3);
                mode = m;
                p += 3;
                continue;
            }
            // A stray ESC ends a kanji run; the byte itself is name data.
            if (mode == COM_JIS_KANJI) {
                name += kCloseRun;
                mode = COM_JIS_ASCII;
            }
        } else if (mode == COM_JIS_KANJI && comJisIsKanjiLead(c)) {
            if (!p[1])
                break;  // a lead without its partner is dropped
            name += static_cast<char>(c);
            name += static_cast<char>(p[1]);
            p += 2;
            continue;
        } else if (mode == COM_JIS_KANA) {
            if (c >= 0x21 && c <= 0x5F)
                name += static_cast<char>(c);
            ++p;
            continue;
        }

        if (c == '\\') {
            if (backslashFlag)
                name += static_cast<char>(c);
            if (p[1]) {
                name += static_cast<char>(p[1]);
                p += 2;
            } else {
                ++p;
            }
            continue;
        }
        if (c == '"') {
            if (!inQuote) {
                inQuote = true;
                ++p;
            } else if (p[1] == ' ' && p[2] == '"') {
                p += 3;  // "a" "b" joins to ab
            } else {
                inQuote = false;
                ++p;
            }
            continue;
        }
        if (!inQuote) {
            if (c == '<') {
                inAngle = sawAngle = true;
                ++p;
                continue;
            }
            if (c == '>') {
                ++p;
                continue;
            }
            if (c == ',') {
                next = reinterpret_cast<const char*>(p + 1);
                break;
            }
        }
        if (!(isBlank(c) && name.empty()))
            name += static_cast<char>(c);
        ++p;
    }
    if (mode == COM_JIS_KANJI || mode == COM_JIS_KANA)
        name += kCloseRun;

    finish(e, sawAngle);
    if (e.name.empty() && comJisCaseFind(e.address.c_str(), "(")) {
        const char* end = next ? next - 1 : reinterpret_cast<const char*>(p);
        e.parenForm = comHasParens(std::string(entry, end).c_str());
    }
    return next;
}

const char* comAddrScanParen(const char* text, ComAddrEntry& e)
{
    e = ComAddrEntry();
    const unsigned char* p = skipBlanks(text);
    const char* next = nullptr;
    int mode = COM_JIS_ASCII;
    bool inName = false, sq = false, dq = false, sawEscape = false;
    std::string& name = e.name;

    while (*p) {
        unsigned char c = *p;
        int m = c == ESC ? comJisEscapeMode(reinterpret_cast<const char*>(p)) : -1;
        if (!inName) {
            if (m >= 0) {
                // Only a kanji start is kept; the name part begins.
                if (m == COM_JIS_KANJI)
                    name.append(reinterpret_cast<const char*>(p), 3);
                mode = m == COM_JIS_KANJI ? m : COM_JIS_ASCII;
                sawEscape = inName = true;
                p += 3;
                continue;
            }
            if (c == ',') {
                next = reinterpret_cast<const char*>(p + 1);
                break;
            }
            if (c == '\'')
                sq = !sq;
            else if (c == '"')
                dq = !dq;
            else if (!dq && (c == '>' || c == '('))
                inName = true;
            else
                e.address += static_cast<char>(c);
            ++p;
            continue;
        }

        if (m >= 0) {
            name.append(reinterpret_cast<const char*>(p), 3);
            mode = m;
            sawEscape = true;
            p += 3;
            continue;
        }
        if (mode == COM_JIS_KANJI && comJisIsKanjiLead(c)) {
            if (!p[1])
                break;
            name += static_cast<char>(c);
            name += static_cast<char>(p[1]);
            p += 2;
            continue;
        }
        if (c == '\r' || c == '\n') {
            const char* comma = strchr(reinterpret_cast<const char*>(p), ',');
            next = comma ? comma + 1 : nullptr;
            break;
        }
        if (c == '\\') {
            p += p[1] ? 2 : 1;
            continue;
        }
        if (c == '"') {
            dq = !dq;
            ++p;
            continue;
        }
        if (c == ',' && !dq) {
            next = reinterpret_cast<const char*>(p + 1);
            break;
        }
        if (c == '<')
            inName = false;
        else if (c == ')' ? sawEscape : c != '>' && !(isBlank(c) && name.empty()))
            name += static_cast<char>(c);
        ++p;
    }
    if (mode == COM_JIS_KANJI || mode == COM_JIS_KANA)
        name += kCloseRun;

    finish(e, false);
    return next;
}
