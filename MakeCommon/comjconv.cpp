// Japanese code conversion: Shift_JIS, EUC-JP, ISO-2022-JP and UTF-8.
#include "comjconv.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

const unsigned char ESC = 0x1B;
const unsigned char SO = 0x0E;
const unsigned char SI = 0x0F;

enum Mode { MODE_ASCII = 0, MODE_KANJI = 1, MODE_KANA = 2 };

// Pair written for a Shift_JIS code outside the JIS ranges.
const unsigned char kNoJisHigh = 0x15;
const unsigned char kNoJisLow = 0x1A;

bool inRange(unsigned c, unsigned lo, unsigned hi) { return c >= lo && c <= hi; }

// ---- indexes over the constant tables -------------------------------------

const unsigned kJisRowFirst = 0x21;
const unsigned kJisRowLast = 0x97;
const unsigned kJisCells = 94;

struct Index {
    uint16_t jisToUcs[(kJisRowLast - kJisRowFirst + 1) * kJisCells];  // 0 = none
    uint16_t ucsToJis[0x10000];                                       // 0 = none
    uint16_t singleToUcs[0x100];                                      // 0 = none
    std::vector<std::pair<uint16_t, unsigned char>> ucsToSingle;      // sorted
};

size_t jisSlot(unsigned high, unsigned low)
{
    return (high - kJisRowFirst) * kJisCells + (low - 0x21);
}

bool jisSlotValid(unsigned high, unsigned low)
{
    return inRange(high, kJisRowFirst, kJisRowLast) && inRange(low, 0x21, 0x7E);
}

// The indexes give the same answers as scanning the tables in order:
// the first matching record wins.
Index* buildIndex()
{
    Index* idx = new Index();
    int catchFirst = -1;
    int catchLast = -1;
    for (const ComJisRowRange* r = comJisRowIndex; r->row != 0xFF; ++r) {
        if (r->row == 0x00) {
            catchFirst = r->first;
            catchLast = r->last;
            continue;
        }
        // Inside a row only the low byte is compared.
        for (int i = r->first; i <= r->last; ++i) {
            const ComJisUcsRecord& rec = comJisUcsTable[i];
            if (!jisSlotValid(r->row, rec.jisLow))
                continue;
            uint16_t& slot = idx->jisToUcs[jisSlot(r->row, rec.jisLow)];
            if (slot == 0)
                slot = static_cast<uint16_t>(rec.ucsHigh << 8 | rec.ucsLow);
        }
    }
    for (int i = catchFirst; i >= 0 && i <= catchLast; ++i) {
        const ComJisUcsRecord& rec = comJisUcsTable[i];
        if (rec.jisHigh == 0 && rec.jisLow == 0)
            break;
        if (!jisSlotValid(rec.jisHigh, rec.jisLow))
            continue;
        uint16_t& slot = idx->jisToUcs[jisSlot(rec.jisHigh, rec.jisLow)];
        if (slot == 0)
            slot = static_cast<uint16_t>(rec.ucsHigh << 8 | rec.ucsLow);
    }
    for (const ComJisUcsRecord* rec = comJisUcsTable; rec->jisHigh || rec->jisLow; ++rec) {
        uint16_t& slot = idx->ucsToJis[rec->ucsHigh << 8 | rec->ucsLow];
        if (slot == 0)
            slot = static_cast<uint16_t>(rec->jisHigh << 8 | rec->jisLow);
    }
    for (const ComSingleByteUcsRecord* rec = comSingleByteUcsTable; rec->byte; ++rec) {
        if (rec->ucsHigh != 0 && idx->singleToUcs[rec->byte] == 0)
            idx->singleToUcs[rec->byte] = static_cast<uint16_t>(rec->ucsHigh << 8 | rec->ucsLow);
        idx->ucsToSingle.emplace_back(static_cast<uint16_t>(rec->ucsHigh << 8 | rec->ucsLow), rec->byte);
    }
    std::stable_sort(idx->ucsToSingle.begin(), idx->ucsToSingle.end(),
                     [](const std::pair<uint16_t, unsigned char>& a,
                        const std::pair<uint16_t, unsigned char>& b) { return a.first < b.first; });
    return idx;
}

const Index& index()
{
    static const std::unique_ptr<Index> idx(buildIndex());
    return *idx;
}

unsigned lookupUcsToJis(unsigned ucs) { return ucs <= 0xFFFF ? index().ucsToJis[ucs] : 0; }

unsigned lookupJisToUcs(unsigned high, unsigned low)
{
    return jisSlotValid(high, low) ? index().jisToUcs[jisSlot(high, low)] : 0;
}

// Byte of the first matching single-byte record, 0 when none.
unsigned lookupUcsToSingle(unsigned ucs)
{
    const auto& v = index().ucsToSingle;
    auto it = std::lower_bound(v.begin(), v.end(), ucs,
                               [](const std::pair<uint16_t, unsigned char>& e, unsigned u) {
                                   return e.first < u;
                               });
    return (it != v.end() && it->first == ucs) ? it->second : 0;
}

// ---- output sinks ---------------------------------------------------------

struct PtrSink {
    char* p;
    void put(unsigned c) { *p++ = static_cast<char>(c); }
    void put(const char* s) { while (*s) put(static_cast<unsigned char>(*s++)); }
};

struct StrSink {
    std::string s;
    void put(unsigned c) { s.push_back(static_cast<char>(c)); }
    void put(const char* s2) { s.append(s2); }
};

template <class Sink>
void putUtf8(Sink& out, unsigned ucs)
{
    unsigned char buf[4];
    comUcsToUtf8(static_cast<unsigned char>(ucs >> 8), static_cast<unsigned char>(ucs), buf);
    out.put(reinterpret_cast<const char*>(buf));
}

// JIS text with escape sequences written on mode changes.
template <class Sink>
struct JisWriter {
    Sink& out;
    Mode mode = MODE_ASCII;
    explicit JisWriter(Sink& o) : out(o) {}
    void ascii(unsigned c)
    {
        if (mode != MODE_ASCII) {
            out.put("\x1b(B");
            mode = MODE_ASCII;
        }
        out.put(c);
    }
    void kanji(unsigned high, unsigned low)
    {
        if (mode != MODE_KANJI) {
            out.put("\x1b$B");
            mode = MODE_KANJI;
        }
        out.put(high);
        out.put(low);
    }
    void kana(unsigned c)
    {
        if (mode != MODE_KANA) {
            out.put("\x1b(I");
            mode = MODE_KANA;
        }
        out.put(c);
    }
    void finish()
    {
        if (mode != MODE_ASCII)
            out.put("\x1b(B");
        mode = MODE_ASCII;
    }
};

// Shift_JIS text from JIS characters.
template <class Sink>
struct SjisWriter {
    Sink& out;
    explicit SjisWriter(Sink& o) : out(o) {}
    void ascii(unsigned c) { out.put(c); }
    void kana(unsigned c) { out.put((c + 0x80) & 0xFF); }
    void kanji(unsigned h, unsigned l)
    {
        unsigned lead;
        unsigned trail;
        if (h == 0x7C && inRange(l, 0x71, 0x7A)) {
            lead = 0xFA; trail = l - 0x31;
        } else if (h == 0x7C && inRange(l, 0x7C, 0x7E)) {
            lead = 0xFA; trail = l - 0x27;
        } else if (h == 0x79 && inRange(l, 0x21, 0x43)) {
            lead = 0xFA; trail = l + 0x3B;
        } else if (h == 0x79 && inRange(l, 0x44, 0x7E)) {
            lead = 0xFA; trail = l + 0x3C;
        } else if (h == 0x7A && inRange(l, 0x21, 0x62)) {
            lead = 0xFA; trail = l + 0x9A;
        } else if (h == 0x7A && inRange(l, 0x63, 0x7E)) {
            lead = 0xFB; trail = l - 0x23;
        } else if (h == 0x7B && inRange(l, 0x21, 0x43)) {
            lead = 0xFB; trail = l + 0x3B;
        } else if (h == 0x7B && inRange(l, 0x44, 0x7E)) {
            lead = 0xFB; trail = l + 0x3C;
        } else if (h == 0x7C && inRange(l, 0x21, 0x62)) {
            lead = 0xFB; trail = l + 0x9A;
        } else if (h == 0x7C && inRange(l, 0x63, 0x6E)) {
            lead = 0xFC; trail = l - 0x23;
        } else {
            lead = ((h + 1) >> 1) + (h <= 0x5E ? 0x70 : 0xB0);
            if (h & 1)
                trail = l + (l <= 0x5F ? 0x1F : 0x20);
            else
                trail = l + 0x7E;
        }
        out.put(lead & 0xFF);
        out.put(trail & 0xFF);
    }
    void finish() {}
};

// UTF-8 text from JIS characters, as the JIS reader for UTF-8 maps them.
template <class Sink>
struct Utf8Writer {
    Sink& out;
    explicit Utf8Writer(Sink& o) : out(o) {}
    void kanji(unsigned h, unsigned l)
    {
        unsigned ucs = lookupJisToUcs(h, l);
        putUtf8(out, ucs ? ucs : 0xFF1F);
    }
    void kana(unsigned c)
    {
        unsigned ucs = index().singleToUcs[c & 0xFF];
        if (ucs)
            putUtf8(out, ucs);
        else
            out.put('?');
    }
    void ascii(unsigned c)
    {
        if (inRange(c, 0xA1, 0xDF))
            kana(c - 0x80);
        else if (inRange(c, 0x20, 0x7E) || c == '\t' || c == '\r' || c == '\n')
            out.put(c);
        else
            out.put('?');
    }
    void finish() {}
};

// ---- readers --------------------------------------------------------------

// Length of a known JIS escape sequence at p (p[0] is ESC) and its mode;
// 0 when the bytes start none. Never reads past a NUL.
int jisEscape(const unsigned char* p, Mode* mode)
{
    if (p[1] == '(') {
        if (p[2] == 'B' || p[2] == 'J' || p[2] == 'H') {
            *mode = MODE_ASCII;
            return 3;
        }
        if (p[2] == 'I') {
            *mode = MODE_KANA;
            return 3;
        }
    } else if (p[1] == '$') {
        if (p[2] == 'B' || p[2] == '@') {
            *mode = MODE_KANJI;
            return 3;
        }
        if (p[2] == '(' && p[3] == 'D') {
            *mode = MODE_KANJI;
            return 4;
        }
    } else if (p[1] == '&' && p[2] == '@') {
        *mode = MODE_KANJI;
        return 3;
    }
    return 0;
}

// Steps p over a known escape sequence and takes its mode; false when p
// starts none.
bool skipJisEscape(const unsigned char*& p, Mode& mode)
{
    Mode m;
    int n;
    if (*p != ESC || (n = jisEscape(p, &m)) <= 0)
        return false;
    p += n;
    mode = m;
    return true;
}

// Shift_JIS extension code (lead 0xF0-0xFC) to its JIS pair.
void sjisExtToJis(unsigned lead, unsigned t, unsigned* h, unsigned* l)
{
    *h = kNoJisHigh;
    *l = kNoJisLow;
    if (lead == 0xFA) {
        if (inRange(t, 0x40, 0x49)) { *h = 0x7C; *l = t + 0x31; }
        else if (inRange(t, 0x4A, 0x53)) { *h = 0x2D; *l = t - 0x15; }
        else if (inRange(t, 0x54, 0x57)) { *h = 0x7C; *l = t + 0x27; }
        else if (t == 0x58) { *h = 0x2D; *l = 0x6A; }
        else if (t == 0x59) { *h = 0x2D; *l = 0x62; }
        else if (t == 0x5A) { *h = 0x2D; *l = 0x64; }
        else if (t == 0x5B) { *h = 0x2D; *l = 0x7A; }
        else if (inRange(t, 0x5C, 0x7E)) { *h = 0x79; *l = t - 0x3B; }
        else if (inRange(t, 0x80, 0xBA)) { *h = 0x79; *l = t - 0x3C; }
        else if (inRange(t, 0xBB, 0xFC)) { *h = 0x7A; *l = t - 0x9A; }
    } else if (lead == 0xFB) {
        if (inRange(t, 0x40, 0x5B)) { *h = 0x7A; *l = t + 0x23; }
        else if (inRange(t, 0x5C, 0x7E)) { *h = 0x7B; *l = t - 0x3B; }
        else if (inRange(t, 0x80, 0xBA)) { *h = 0x7B; *l = t - 0x3C; }
        else if (inRange(t, 0xBB, 0xFC)) { *h = 0x7C; *l = t - 0x9A; }
    } else if (lead == 0xFC) {
        if (inRange(t, 0x40, 0x4B)) { *h = 0x7C; *l = t + 0x23; }
    }
}

template <class Writer>
void readSjis(const unsigned char* p, Writer& w)
{
    while (*p) {
        unsigned b = p[0];
        unsigned t = p[1];  // NUL at the end: never in a trail range
        if ((inRange(b, 0x81, 0x9F) || inRange(b, 0xE0, 0xEF)) && inRange(t, 0x40, 0xFC)) {
            unsigned adjust = t <= 0x9E ? 1 : 0;
            unsigned h = (b - (b <= 0x9F ? 0x70 : 0xB0)) * 2 - adjust;
            unsigned l;
            if (adjust)
                l = t < 0x80 ? t - 0x1F : t - 0x20;
            else
                l = t - 0x7E;
            w.kanji(h, l);
            p += 2;
        } else if (inRange(b, 0xF0, 0xFC) && (inRange(t, 0x40, 0x7E) || inRange(t, 0x80, 0xFC))) {
            unsigned h;
            unsigned l;
            sjisExtToJis(b, t, &h, &l);
            w.kanji(h, l);
            p += 2;
        } else if (inRange(b, 0xA1, 0xDF)) {
            w.kana(b - 0x80);
            ++p;
        } else {
            w.ascii(b);
            ++p;
        }
    }
    w.finish();
}

const uint32_t kBadUtf8 = 0xFFFFFFFFu;

// Decodes one UTF-8 character strictly: overlong forms, surrogates, values
// above U+10FFFF, stray continuation bytes and cut sequences give kBadUtf8.
// Returns the number of bytes consumed (never past a NUL).
int decodeUtf8(const unsigned char* p, uint32_t* cp)
{
    unsigned b = p[0];
    if (b < 0x80) {
        *cp = b;
        return 1;
    }
    int need;
    unsigned lo = 0x80;
    unsigned hi = 0xBF;
    uint32_t value;
    if (inRange(b, 0xC2, 0xDF)) {
        need = 1; value = b & 0x1F;
    } else if (inRange(b, 0xE0, 0xEF)) {
        need = 2; value = b & 0x0F;
        if (b == 0xE0) lo = 0xA0;
        if (b == 0xED) hi = 0x9F;
    } else if (inRange(b, 0xF0, 0xF4)) {
        need = 3; value = b & 0x07;
        if (b == 0xF0) lo = 0x90;
        if (b == 0xF4) hi = 0x8F;
    } else {
        *cp = kBadUtf8;
        return 1;
    }
    int used = 1;
    for (int i = 0; i < need; ++i) {
        unsigned c = p[used];
        if (!inRange(c, lo, hi)) {
            *cp = kBadUtf8;
            return used;
        }
        value = value << 6 | (c & 0x3F);
        ++used;
        lo = 0x80;
        hi = 0xBF;
    }
    *cp = value;
    return used;
}

template <class Writer>
void readUtf8(const unsigned char* p, Writer& w)
{
    while (*p) {
        uint32_t cp;
        p += decodeUtf8(p, &cp);
        if (cp < 0x80) {
            w.ascii(cp);
            continue;
        }
        unsigned jis = lookupUcsToJis(cp);
        if (jis) {
            w.kanji(jis >> 8, jis & 0xFF);
            continue;
        }
        unsigned single = cp <= 0xFFFF ? lookupUcsToSingle(cp) : 0;
        if (single && inRange(cp, 0xFF61, 0xFF9F))
            w.kana(single);
        else if (single)
            w.ascii(single);
        else
            w.ascii('?');
    }
    w.finish();
}

template <class Sink>
void eucToJis(const unsigned char* p, Sink& out)
{
    JisWriter<Sink> w(out);
    while (*p) {
        unsigned b = p[0];
        if (inRange(b, 0xA1, 0xFE) && inRange(p[1], 0xA1, 0xFE)) {
            w.kanji(b - 0x80, p[1] - 0x80);
            p += 2;
        } else if (b == 0x8E && inRange(p[1], 0xA1, 0xDF)) {
            w.kana(p[1] - 0x80);
            p += 2;
        } else if (b == 0x8F && inRange(p[1], 0xA1, 0xFE) && inRange(p[2], 0xA1, 0xFE)) {
            // JIS X 0212 has no JIS X 0208 code.
            w.ascii('?');
            p += 3;
        } else {
            w.ascii(b);
            ++p;
        }
    }
    w.finish();
}

template <class Sink>
void jisToSjis(const unsigned char* p, Sink& out)
{
    SjisWriter<Sink> w(out);
    Mode mode = MODE_ASCII;
    bool soRun = false;
    while (*p) {
        if (skipJisEscape(p, mode)) {
            soRun = false;
            if (mode == MODE_KANA && *p == SO) {
                soRun = true;
                ++p;
            }
            continue;
        }
        if (mode == MODE_KANJI) {
            if (!p[1]) {  // cut pair
                w.ascii('?');
                ++p;
                continue;
            }
            w.kanji(p[0], p[1]);
            p += 2;
        } else if (mode == MODE_ASCII) {
            if (*p == SO) {
                mode = MODE_KANA;
                soRun = true;
            } else {
                w.ascii(*p);
            }
            ++p;
        } else {
            if (soRun && *p == SI) {
                mode = MODE_ASCII;
                soRun = false;
            } else {
                w.kana(*p);
            }
            ++p;
        }
    }
}

template <class Sink>
void jisToEuc(const unsigned char* p, Sink& out)
{
    Mode mode = MODE_ASCII;
    while (*p) {
        if (skipJisEscape(p, mode))
            continue;
        if (mode == MODE_KANJI) {
            if (!p[1]) {  // cut pair
                out.put('?');
                ++p;
                continue;
            }
            unsigned e1 = p[0] + 0x80u;
            unsigned e2 = p[1] + 0x80u;
            if (inRange(e1, 0xA1, 0xFE) && inRange(e2, 0xA1, 0xFE)) {
                out.put(e1);
                out.put(e2);
            } else {
                out.put("??");
            }
            p += 2;
        } else if (mode == MODE_KANA) {
            out.put(0x8E);
            out.put((*p + 0x80u) & 0xFF);
            ++p;
        } else {
            out.put(*p);
            ++p;
        }
    }
}

template <class Sink>
void jisToUtf8(const unsigned char* p, Sink& out)
{
    Utf8Writer<Sink> w(out);
    Mode mode = MODE_ASCII;
    while (*p) {
        if (skipJisEscape(p, mode))
            continue;
        if (*p == SO || *p == SI) {
            mode = *p == SO ? MODE_KANA : MODE_ASCII;
            ++p;
            continue;
        }
        if (mode == MODE_KANJI) {
            if (!p[1]) {  // cut pair
                putUtf8(out, 0xFF1F);
                ++p;
                continue;
            }
            w.kanji(p[0], p[1]);
            p += 2;
        } else if (mode == MODE_KANA) {
            w.kana(*p);
            ++p;
        } else {
            w.ascii(*p);
            ++p;
        }
    }
}

const unsigned char* bytes(const char* s) { return reinterpret_cast<const unsigned char*>(s); }

// malloc'd, zero-filled copy of s in a buffer of at least minSize bytes.
char* mallocCopy(const std::string& s, size_t minSize)
{
    size_t size = std::max(s.size() + 1, minSize);
    char* r = static_cast<char*>(calloc(size, 1));
    if (r)
        memcpy(r, s.data(), s.size());
    return r;
}

// A 16-bit code as two bytes and a NUL: 1, or -1 when the code is 0 (none).
int putCode16(unsigned code, unsigned char out[3])
{
    out[0] = static_cast<unsigned char>(code >> 8);
    out[1] = static_cast<unsigned char>(code);
    out[2] = 0;
    return code ? 1 : -1;
}

}  // namespace

// ---- detection ------------------------------------------------------------

int comKanjiDetect(const char* text, unsigned int sjisHint)
{
    if (!text)
        return COM_KANJI_NONE;
    const unsigned char* p = bytes(text);
    unsigned last = 1;
    // Takes the next byte; a NUL is read but not stepped over.
    auto take = [&p, &last]() -> unsigned {
        last = *p;
        if (last)
            ++p;
        return last;
    };
    int r = COM_KANJI_NONE;
    while ((r == COM_KANJI_NONE || r == COM_KANJI_EUC_OR_SJIS) && last != 0) {
        unsigned b = take();
        if (b == ESC) {
            unsigned n = take();
            if (n == '$') {
                unsigned m = take();
                if (m == 'B')
                    r = COM_KANJI_JIS_B;
                else if (m == '@')
                    r = COM_KANJI_JIS_AT;
            } else if (n == 'K') {
                r = COM_KANJI_JIS_NEC;
            }
        } else if (inRange(b, 0x81, 0x8D) || inRange(b, 0x8F, 0x9F)) {
            r = COM_KANJI_SJIS;
        } else if (b == 0x8E) {
            unsigned n = take();
            if (inRange(n, 0x40, 0x7E) || inRange(n, 0x80, 0xA0) || inRange(n, 0xE0, 0xFC))
                r = COM_KANJI_SJIS;
            else if (inRange(n, 0xA1, 0xDF))
                r = COM_KANJI_EUC_OR_SJIS;
        } else if (inRange(b, 0xA1, 0xDF)) {
            unsigned n = take();
            if (inRange(n, 0xF0, 0xFE)) {
                r = COM_KANJI_EUC;
            } else if (inRange(n, 0xA1, 0xDF)) {
                r = COM_KANJI_EUC_OR_SJIS;
            } else if (inRange(n, 0xE0, 0xEF)) {
                r = COM_KANJI_EUC_OR_SJIS;
                unsigned cur = n;
                while (r == COM_KANJI_EUC_OR_SJIS && cur >= 0x40 && cur != 0) {
                    cur = take();
                    if (inRange(cur, 0x81, 0x8D) || inRange(cur, 0x8F, 0x9F))
                        r = COM_KANJI_SJIS;
                    else if (cur == 0xFD || cur == 0xFE)
                        r = COM_KANJI_EUC;
                }
            } else if (n <= 0x9F) {
                r = COM_KANJI_SJIS;
            }
        } else if (inRange(b, 0xF0, 0xFE)) {
            if (b <= 0xF7 && inRange(p[0], 0x80, 0xBF) && inRange(p[1], 0x80, 0xBF) &&
                inRange(p[2], 0x80, 0xBF)) {
                r = COM_KANJI_UTF8;
            } else if (sjisHint && inRange(p[0], 0x30, 0x9F)) {
                r = COM_KANJI_SJIS;
            } else if (p[0] > 0x9F) {
                r = COM_KANJI_EUC;
            }
        } else if (inRange(b, 0xE0, 0xEF)) {
            unsigned n = take();
            if (inRange(n, 0x80, 0xBF) && inRange(p[0], 0x80, 0xBF))
                r = COM_KANJI_UTF8;
            else if (n >= 0xE0)
                r = COM_KANJI_EUC;
            else if (inRange(n, 0x40, 0x7E) || inRange(n, 0x80, 0xA0))
                r = COM_KANJI_SJIS;
            else if (inRange(n, 0xA1, 0xDF))
                r = COM_KANJI_EUC_OR_SJIS;
        }
    }
    return r;
}

// ---- converters -------------------------------------------------------------

void comKanjiSjisToJis(const char* src, char* dst)
{
    PtrSink out{dst};
    JisWriter<PtrSink> w(out);
    readSjis(bytes(src), w);
}

void comKanjiJisToSjis(const char* src, char* dst)
{
    PtrSink out{dst};
    jisToSjis(bytes(src), out);
}

void comKanjiEucToJis(const char* src, char* dst)
{
    PtrSink out{dst};
    eucToJis(bytes(src), out);
}

void comKanjiJisToEuc(const char* src, char* dst)
{
    PtrSink out{dst};
    jisToEuc(bytes(src), out);
}

void comKanjiEucToSjis(const char* src, char* dst)
{
    try {
        StrSink jis;
        eucToJis(bytes(src), jis);
        PtrSink out{dst};
        jisToSjis(bytes(jis.s.c_str()), out);
    } catch (const std::bad_alloc&) {
    }
}

void comKanjiSjisToEuc(const char* src, char* dst)
{
    try {
        StrSink jis;
        JisWriter<StrSink> w(jis);
        readSjis(bytes(src), w);
        PtrSink out{dst};
        jisToEuc(bytes(jis.s.c_str()), out);
    } catch (const std::bad_alloc&) {
    }
}

void comKanjiUtf8ToJis(const char* src, char* dst)
{
    PtrSink out{dst};
    JisWriter<PtrSink> w(out);
    readUtf8(bytes(src), w);
    out.put(0u);
}

void comKanjiJisToUtf8(const char* src, char* dst)
{
    PtrSink out{dst};
    jisToUtf8(bytes(src), out);
    out.put(0u);
}

// ---- single characters ------------------------------------------------------

int comUcsToJis(unsigned char ucsHigh, unsigned char ucsLow, unsigned char out[3])
{
    unsigned jis = lookupUcsToJis(static_cast<unsigned>(ucsHigh << 8 | ucsLow));
    return putCode16(jis, out);
}

int comUcsToSingleByte(unsigned char ucsHigh, unsigned char ucsLow, unsigned char out[2])
{
    unsigned ucs = static_cast<unsigned>(ucsHigh << 8 | ucsLow);
    unsigned b = lookupUcsToSingle(ucs);
    out[0] = static_cast<unsigned char>(b);
    out[1] = 0;
    if (!b)
        return -1;
    return inRange(ucs, 0xFF61, 0xFF9F) ? 2 : 1;
}

int comJisToUcs(unsigned char jisHigh, unsigned char jisLow, unsigned char out[3])
{
    unsigned ucs = lookupJisToUcs(jisHigh, jisLow);
    return putCode16(ucs, out);
}

int comSingleByteToUcs(const char* ch, unsigned char out[3])
{
    unsigned ucs = ch ? index().singleToUcs[static_cast<unsigned char>(ch[0])] : 0;
    return putCode16(ucs, out);
}

int comUcsToUtf8(unsigned char ucsHigh, unsigned char ucsLow, unsigned char out[4])
{
    if (ucsHigh == 0 && ucsLow < 0x80) {
        out[0] = ucsLow;
        out[1] = 0;
        return 1;
    }
    if (ucsHigh < 0x08) {
        out[0] = static_cast<unsigned char>(0xC0 | (ucsHigh & 0x07) << 2 | ucsLow >> 6);
        out[1] = static_cast<unsigned char>(0x80 | (ucsLow & 0x3F));
        out[2] = 0;
        return 2;
    }
    out[0] = static_cast<unsigned char>(0xE0 | ucsHigh >> 4);
    out[1] = static_cast<unsigned char>(0x80 | (ucsHigh & 0x0F) << 2 | ucsLow >> 6);
    out[2] = static_cast<unsigned char>(0x80 | (ucsLow & 0x3F));
    out[3] = 0;
    return 3;
}

int comUtf8LeadLen(unsigned char lead)
{
    if ((lead & 0xF0) == 0xF0)
        return 4;
    if ((lead & 0xE0) == 0xE0)
        return 3;
    if ((lead & 0xC0) == 0xC0)
        return 2;
    return 1;
}

// ---- allocating converters ----------------------------------------------------
// Both convert character by character with the mapping of the JIS pivot, so
// that ESC, SO and SI in the data are never taken for mode switches.

char* comUtf8ToSjisAlloc(const char* text)
{
    if (!text)
        return nullptr;
    try {
        StrSink out;
        SjisWriter<StrSink> w(out);
        readUtf8(bytes(text), w);
        return mallocCopy(out.s, strlen(text) + 11);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

char* comSjisToUtf8Alloc(const char* text)
{
    if (!text)
        return nullptr;
    try {
        StrSink out;
        Utf8Writer<StrSink> w(out);
        readSjis(bytes(text), w);
        return mallocCopy(out.s, 1);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
