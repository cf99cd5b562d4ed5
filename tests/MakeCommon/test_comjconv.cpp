#include "comjconv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using Conv = void (*)(const char*, char*);

// Runs a converter into a heap buffer of exactly the documented size, so
// that an overrun trips the address sanitizer.
std::string run(Conv f, const std::string& in, size_t mul, size_t add)
{
    size_t size = mul * in.size() + add + 1;
    char* buf = static_cast<char*>(calloc(size, 1));
    f(in.c_str(), buf);
    std::string out(buf, strnlen(buf, size));
    EXPECT_LT(out.size(), size) << "unterminated output";
    free(buf);
    return out;
}

std::string sjisToJis(const std::string& s) { return run(comKanjiSjisToJis, s, 4, 3); }
std::string jisToSjis(const std::string& s) { return run(comKanjiJisToSjis, s, 1, 0); }
std::string eucToJis(const std::string& s) { return run(comKanjiEucToJis, s, 3, 3); }
std::string jisToEuc(const std::string& s) { return run(comKanjiJisToEuc, s, 2, 0); }
std::string eucToSjis(const std::string& s) { return run(comKanjiEucToSjis, s, 1, 0); }
std::string sjisToEuc(const std::string& s) { return run(comKanjiSjisToEuc, s, 2, 0); }
std::string utf8ToJis(const std::string& s) { return run(comKanjiUtf8ToJis, s, 3, 3); }
std::string jisToUtf8(const std::string& s) { return run(comKanjiJisToUtf8, s, 3, 0); }

std::string utf8ToSjis(const std::string& s)
{
    char* r = comUtf8ToSjisAlloc(s.c_str());
    EXPECT_NE(r, nullptr);
    std::string out = r ? r : "";
    free(r);
    return out;
}

std::string sjisToUtf8(const std::string& s)
{
    char* r = comSjisToUtf8Alloc(s.c_str());
    EXPECT_NE(r, nullptr);
    std::string out = r ? r : "";
    free(r);
    return out;
}

std::string utf8Of(unsigned ucs)
{
    unsigned char b[4];
    comUcsToUtf8(static_cast<unsigned char>(ucs >> 8), static_cast<unsigned char>(ucs), b);
    return reinterpret_cast<const char*>(b);
}

const std::string KANJI = "\x1b$B";
const std::string ASCII = "\x1b(B";
const std::string KANA = "\x1b(I";

// The lookups as literal scans of the tables, first match wins.
int scanUcsToJis(unsigned ucs)
{
    for (const ComJisUcsRecord* r = comJisUcsTable; r->jisHigh || r->jisLow; ++r)
        if ((r->ucsHigh << 8 | r->ucsLow) == static_cast<int>(ucs))
            return r->jisHigh << 8 | r->jisLow;
    return -1;
}

int scanJisToUcs(unsigned h, unsigned l)
{
    const ComJisRowRange* row = comJisRowIndex;
    while (row->row != h && row->row != 0x00)
        ++row;
    const ComJisRowRange* all = row;
    while (all->row != 0x00)
        ++all;
    if (row->row == h)
        for (int i = row->first; i <= row->last; ++i)
            if (comJisUcsTable[i].jisLow == l)
                return comJisUcsTable[i].ucsHigh << 8 | comJisUcsTable[i].ucsLow;
    for (int i = all->first; i <= all->last; ++i) {
        const ComJisUcsRecord& r = comJisUcsTable[i];
        if (!r.jisHigh && !r.jisLow)
            break;
        if (r.jisHigh == h && r.jisLow == l)
            return r.ucsHigh << 8 | r.ucsLow;
    }
    return -1;
}

}  // namespace

TEST(ComJconvTables, RecordCountsAndRowIndex)
{
    const ComJisUcsRecord& last = comJisUcsTable[COM_JIS_UCS_RECORDS - 1];
    EXPECT_EQ(0, last.jisHigh | last.jisLow | last.ucsHigh | last.ucsLow);
    for (int i = 0; i < COM_JIS_UCS_RECORDS - 1; ++i)
        ASSERT_TRUE(comJisUcsTable[i].jisHigh || comJisUcsTable[i].jisLow) << i;

    const int starts[] = {0, 88, 140, 202, 285, 371, 419, 485, 517};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(0x21 + i, comJisRowIndex[i].row);
        EXPECT_EQ(starts[i], comJisRowIndex[i].first);
        EXPECT_EQ(starts[i + 1] - 1, comJisRowIndex[i].last);
    }
    EXPECT_EQ(0x30, comJisRowIndex[8].row);
    EXPECT_EQ(517, comJisRowIndex[8].first);
    EXPECT_EQ(0x74, comJisRowIndex[76].row);
    EXPECT_EQ(6866, comJisRowIndex[76].first);
    EXPECT_EQ(6871, comJisRowIndex[76].last);
    // Rows follow each other without a gap.
    for (int i = 1; i < 77; ++i)
        EXPECT_EQ(comJisRowIndex[i - 1].last + 1, comJisRowIndex[i].first) << i;
    EXPECT_EQ(0x2D, comJisRowIndex[77].row);
    EXPECT_EQ(6872, comJisRowIndex[77].first);
    EXPECT_EQ(6955, comJisRowIndex[77].last);
    EXPECT_EQ(0x00, comJisRowIndex[78].row);
    EXPECT_EQ(6956, comJisRowIndex[78].first);
    EXPECT_EQ(7738, comJisRowIndex[78].last);
    EXPECT_EQ(0xFF, comJisRowIndex[79].row);

    struct { int index; unsigned jis, ucs; } records[] = {
        {0, 0x2121, 0x3000}, {6955, 0x224C, 0xFFE2}, {6956, 0x224C, 0x00AC},
        {6957, 0x7921, 0x7E8A}, {7737, 0x2172, 0xFFE1},
    };
    for (const auto& r : records) {
        const ComJisUcsRecord& t = comJisUcsTable[r.index];
        EXPECT_EQ(r.jis, static_cast<unsigned>(t.jisHigh << 8 | t.jisLow)) << r.index;
        EXPECT_EQ(r.ucs, static_cast<unsigned>(t.ucsHigh << 8 | t.ucsLow)) << r.index;
    }
    const unsigned banned[] = {0x301C, 0x2016, 0x2212, 0x00A2, 0x00A3, 0x005C, 0x00A5, 0x203E};
    for (int i = 0; i < COM_JIS_UCS_RECORDS - 1; ++i) {
        unsigned ucs = comJisUcsTable[i].ucsHigh << 8 | comJisUcsTable[i].ucsLow;
        for (unsigned b : banned)
            EXPECT_NE(b, ucs) << i;
        EXPECT_FALSE(ucs >= 0xE000 && ucs <= 0xF8FF) << i;
    }
    EXPECT_EQ(0, comSingleByteUcsTable[COM_SINGLE_BYTE_UCS_RECORDS - 1].byte);
}

// The indexed lookups give what the first-match scans of the tables give.
TEST(ComJconvTables, IndexedLookupsMatchTableScans)
{
    unsigned char out[4];
    std::vector<bool> inTable(0x10000);
    for (int i = 0; i < COM_JIS_UCS_RECORDS - 1; ++i)
        inTable[comJisUcsTable[i].ucsHigh << 8 | comJisUcsTable[i].ucsLow] = true;
    for (unsigned ucs = 0; ucs <= 0xFFFF; ++ucs) {
        if (!inTable[ucs] && ucs % 17 != 0)
            continue;
        int want = scanUcsToJis(ucs);
        int rc = comUcsToJis(static_cast<unsigned char>(ucs >> 8), static_cast<unsigned char>(ucs), out);
        ASSERT_EQ(want < 0 ? -1 : 1, rc) << std::hex << ucs;
        ASSERT_EQ(want < 0 ? 0 : want, out[0] << 8 | out[1]) << std::hex << ucs;
    }
    for (unsigned h = 1; h <= 0xFF; ++h) {
        for (unsigned l = 0x1F; l <= 0x80; ++l) {
            int want = scanJisToUcs(h, l);
            int rc = comJisToUcs(static_cast<unsigned char>(h), static_cast<unsigned char>(l), out);
            ASSERT_EQ(want < 0 ? -1 : 1, rc) << std::hex << h << " " << l;
            ASSERT_EQ(want < 0 ? 0 : want, out[0] << 8 | out[1]) << std::hex << h << " " << l;
        }
    }
    for (unsigned b = 1; b <= 0xFF; ++b) {
        int want = -1;
        for (const ComSingleByteUcsRecord* r = comSingleByteUcsTable; r->byte; ++r)
            if (r->byte == b && r->ucsHigh != 0) {
                want = r->ucsHigh << 8 | r->ucsLow;
                break;
            }
        char ch[2] = {static_cast<char>(b), 0};
        ASSERT_EQ(want < 0 ? -1 : 1, comSingleByteToUcs(ch, out)) << b;
        ASSERT_EQ(want < 0 ? 0 : want, out[0] << 8 | out[1]) << b;
    }
}

TEST(ComJconvLookups, SingleCharacters)
{
    unsigned char out[4];
    struct { unsigned ucs; int rc; unsigned jis; } toJis[] = {
        {0x3042, 1, 0x2422}, {0xFFE2, 1, 0x224C}, {0x00AC, 1, 0x224C}, {0xFF5E, 1, 0x2141},
        {0x2160, 1, 0x2D35}, {0x2252, 1, 0x2262}, {0x2170, 1, 0x7C71}, {0x7E8A, 1, 0x7921},
        {0x301C, -1, 0}, {0xE000, -1, 0}, {0x0041, -1, 0},
    };
    for (const auto& t : toJis) {
        EXPECT_EQ(t.rc, comUcsToJis(static_cast<unsigned char>(t.ucs >> 8), static_cast<unsigned char>(t.ucs), out))
            << std::hex << t.ucs;
        EXPECT_EQ(t.jis, static_cast<unsigned>(out[0] << 8 | out[1])) << std::hex << t.ucs;
        EXPECT_EQ(0, out[2]);
    }
    struct { unsigned jis; int rc; unsigned ucs; } toUcs[] = {
        {0x224C, 1, 0x00AC}, {0x2140, 1, 0xFF3C}, {0x2141, 1, 0xFF5E}, {0x2142, 1, 0x2225},
        {0x215D, 1, 0xFF0D}, {0x2171, 1, 0xFFE0}, {0x2172, 1, 0xFFE1}, {0x2D21, 1, 0x2460},
        {0x9321, 1, 0x2170}, {0x7C7B, -1, 0}, {0x2D3F, -1, 0}, {0x151A, -1, 0}, {0x2921, -1, 0},
    };
    for (const auto& t : toUcs) {
        EXPECT_EQ(t.rc, comJisToUcs(static_cast<unsigned char>(t.jis >> 8), static_cast<unsigned char>(t.jis), out))
            << std::hex << t.jis;
        EXPECT_EQ(t.ucs, static_cast<unsigned>(out[0] << 8 | out[1])) << std::hex << t.jis;
    }
    struct { unsigned ucs; int rc; unsigned byte; } toSingle[] = {
        {0x00A5, 1, 0x5C}, {0x203E, 1, 0x7E}, {0x0041, 1, 0x41}, {0xFF61, 2, 0x21},
        {0xFF9F, 2, 0x5F}, {0x005C, -1, 0}, {0xFFA0, -1, 0},
    };
    for (const auto& t : toSingle) {
        EXPECT_EQ(t.rc, comUcsToSingleByte(static_cast<unsigned char>(t.ucs >> 8), static_cast<unsigned char>(t.ucs), out))
            << std::hex << t.ucs;
        EXPECT_EQ(t.byte, out[0]);
    }
    EXPECT_EQ(1, comUcsToUtf8(0, 0x41, out));
    EXPECT_STREQ("A", reinterpret_cast<char*>(out));
    EXPECT_EQ(2, comUcsToUtf8(0x00, 0xA5, out));
    EXPECT_STREQ("\xC2\xA5", reinterpret_cast<char*>(out));
    EXPECT_EQ(2, comUcsToUtf8(0x07, 0xFF, out));
    EXPECT_STREQ("\xDF\xBF", reinterpret_cast<char*>(out));
    EXPECT_EQ(3, comUcsToUtf8(0xFF, 0x1F, out));
    EXPECT_STREQ("\xEF\xBC\x9F", reinterpret_cast<char*>(out));
    EXPECT_EQ(1, comUtf8LeadLen(0x41));
    EXPECT_EQ(1, comUtf8LeadLen(0x80));
    EXPECT_EQ(2, comUtf8LeadLen(0xC3));
    EXPECT_EQ(3, comUtf8LeadLen(0xE3));
    EXPECT_EQ(4, comUtf8LeadLen(0xFF));
}

TEST(ComJconvSjis, ToJisAndBack)
{
    struct { const char* sjis; std::string jis; const char* back; } cases[] = {
        {"abc", "abc", "abc"},
        {"\x82\xA0", KANJI + "\x24\x22" + ASCII, "\x82\xA0"},
        {"\xFA\x40", KANJI + "\x7C\x71" + ASCII, "\xFA\x40"},
        {"\xFA\x49", KANJI + "\x7C\x7A" + ASCII, "\xFA\x49"},
        {"\xFA\x4A", KANJI + "\x2D\x35" + ASCII, "\x87\x54"},
        {"\xFA\x53", KANJI + "\x2D\x3E" + ASCII, "\x87\x5D"},
        {"\xFA\x54", KANJI + "\x7C\x7B" + ASCII, "\xEE\xF9"},
        {"\xFA\x58\xFA\x59\xFA\x5A\xFA\x5B", KANJI + "\x2D\x6A\x2D\x62\x2D\x64\x2D\x7A" + ASCII,
         "\x87\x8A\x87\x82\x87\x84\x87\x9A"},
        {"\xFA\x5C", KANJI + "\x79\x21" + ASCII, "\xFA\x5C"},
        {"\xFA\x7E\xFA\x80", KANJI + "\x79\x43\x79\x44" + ASCII, "\xFA\x7E\xFA\x80"},
        {"\xFA\xBA\xFA\xBB\xFA\xFC", KANJI + "\x79\x7E\x7A\x21\x7A\x62" + ASCII, "\xFA\xBA\xFA\xBB\xFA\xFC"},
        {"\xFB\x40\xFB\x5B\xFB\x5C\xFB\xFC", KANJI + "\x7A\x63\x7A\x7E\x7B\x21\x7C\x62" + ASCII,
         "\xFB\x40\xFB\x5B\xFB\x5C\xFB\xFC"},
        {"\xFC\x40\xFC\x4B", KANJI + "\x7C\x63\x7C\x6E" + ASCII, "\xFC\x40\xFC\x4B"},
        {"\xED\x40", KANJI + "\x79\x21" + ASCII, "\xFA\x5C"},
        {"\xFC\x4C", KANJI + "\x15\x1A" + ASCII, "\x7B\x39"},
        {"\xF0\x40", KANJI + "\x15\x1A" + ASCII, "\x7B\x39"},
        {"\xB1", KANA + "\x31" + ASCII, "\xB1"},
        {"a\xB1" "b\x82\xA0" "c", "a" + KANA + "\x31" + ASCII + "b" + KANJI + "\x24\x22" + ASCII + "c",
         "a\xB1" "b\x82\xA0" "c"},
        {"\x81", "\x81", "\x81"},           // lead cut by the end
        {"\x81\x20", "\x81\x20", "\x81\x20"},  // trail out of range: lead alone
    };
    for (const auto& c : cases) {
        std::string jis = sjisToJis(c.sjis);
        EXPECT_EQ(c.jis, jis) << c.sjis;
        EXPECT_EQ(c.back, jisToSjis(jis)) << c.sjis;
    }
}

TEST(ComJconvJis, ReadersHandleEscapesAndShifts)
{
    // Kanji in each escape that selects it.
    for (const char* esc : {"\x1b$B", "\x1b$@", "\x1b&@", "\x1b$(D"}) {
        std::string jis = std::string(esc) + "\x24\x22" + "\x1b(J" + "a";
        EXPECT_EQ("\x82\xA0" "a", jisToSjis(jis)) << esc;
        EXPECT_EQ("\xA4\xA2" "a", jisToEuc(jis)) << esc;
        EXPECT_EQ("\xE3\x81\x82" "a", jisToUtf8(jis)) << esc;
    }
    // An unknown escape is data.
    EXPECT_EQ("\x1b(Zx", jisToSjis("\x1b(Zx"));
    EXPECT_EQ("?(Zx", jisToUtf8("\x1b(Zx"));
    // Katakana: ESC ( I, ESC ( I SO ... SI, SO ... SI in ASCII mode.
    EXPECT_EQ("\xB1\xB2", jisToSjis(KANA + "\x31\x32" + ASCII));
    EXPECT_EQ("\xB1" "a", jisToSjis(KANA + "\x0e\x31\x0f" "a"));
    EXPECT_EQ("\xB1" "a", jisToSjis("\x0e\x31\x0f" "a"));
    EXPECT_EQ("\xB1\x8F", jisToSjis(KANA + "\x31\x0f"));  // SI is data without SO
    EXPECT_EQ("\x8E\xB1", jisToEuc(KANA + "\x31" + ASCII));
    EXPECT_EQ("\x0e\x31\x0f", jisToEuc("\x0e\x31\x0f"));  // no SO/SI for EUC-JP
    EXPECT_EQ("\xEF\xBD\xB1" "a", jisToUtf8("\x0e\x31\x0f" "a"));
    EXPECT_EQ("\xEF\xBD\xB1", jisToUtf8(KANJI + "\x0e\x31"));  // SO in any mode
    // 8-bit katakana and control bytes in ASCII mode of the UTF-8 reader.
    EXPECT_EQ("\xEF\xBD\xB1\t\r\n?", jisToUtf8("\xB1\t\r\n\x01"));
    // Pairs without a character.
    EXPECT_EQ("\xEF\xBC\x9F", jisToUtf8(KANJI + "\x15\x1A" + ASCII));
    EXPECT_EQ("\xEF\xBC\x9F", jisToUtf8(KANJI + "\x7C\x7B" + ASCII));
    EXPECT_EQ("??", jisToEuc(KANJI + "\x15\x1A" + ASCII));
    EXPECT_EQ("\xC2\xAC", jisToUtf8(KANJI + "\x22\x4C" + ASCII));
    // A pair cut by the end of the text.
    EXPECT_EQ("\xEF\xBC\x9F", jisToUtf8(KANJI + "\x24"));
    EXPECT_EQ("?", jisToSjis(KANJI + "\x24"));
    EXPECT_EQ("?", jisToEuc(KANJI + "\x24"));
    // A cut escape at the end is data.
    EXPECT_EQ("\x1b$", jisToSjis("\x1b$"));
}

TEST(ComJconvEuc, ToJisAndComposites)
{
    EXPECT_EQ("abc", eucToJis("abc"));
    EXPECT_EQ(KANJI + "\x24\x22" + ASCII, eucToJis("\xA4\xA2"));
    EXPECT_EQ(KANA + "\x31" + ASCII, eucToJis("\x8E\xB1"));
    // A JIS X 0212 character is one '?', not a different JIS X 0208 one.
    EXPECT_EQ("?a", eucToJis("\x8F\xB0\xA1" "a"));
    EXPECT_EQ("\x82\xA0\xB1" "a", eucToSjis("\xA4\xA2\x8E\xB1" "a"));
    EXPECT_EQ("\xA4\xA2\x8E\xB1" "a", sjisToEuc("\x82\xA0\xB1" "a"));
    EXPECT_EQ("??", sjisToEuc("\xF0\x40"));
    // Sizes past the fixed work areas: katakana alternating with ASCII.
    for (size_t n : {100u, 2100u, 2800u, 5000u}) {
        std::string sjis;
        std::string euc;
        for (size_t i = 0; i < n; ++i) {
            sjis += (i % 2) ? "a" : "\xB1";
            euc += (i % 2) ? "a" : "\x8E\xB1";
        }
        EXPECT_EQ(euc, sjisToEuc(sjis)) << n;
        EXPECT_EQ(sjis, eucToSjis(euc)) << n;
    }
}

TEST(ComJconvUtf8, ToJis)
{
    struct { std::string utf8; std::string jis; } cases[] = {
        {"plain/ascii", "plain/ascii"},
        {"\xE3\x81\x82", KANJI + "\x24\x22" + ASCII},
        {"\xC2\xA5", "\x5C"},                       // yen sign: JIS X 0201 Roman
        {"\xE2\x80\xBE", "\x7E"},
        {"\xEF\xBD\xB1" "a", KANA + "\x31" + ASCII + "a"},
        {"\xEF\xBD\x9E", KANJI + "\x21\x41" + ASCII},  // U+FF5E
        {"\xE3\x80\x9C", "?"},                       // U+301C
        {"\xEF\xBF\xA2", KANJI + "\x22\x4C" + ASCII},  // U+FFE2
        {"\xE2\x82\xAC", "?"},                       // U+20AC
        {"\xF0\x9F\x98\x80", "?"},                   // U+1F600
        {"\xC2\xA9", "?"},                           // two bytes without a code
        {"\xE3\x81\x82" "x", KANJI + "\x24\x22" + ASCII + "x"},
        // Invalid UTF-8: one '?' for each bad piece, never an ASCII byte.
        {"\xC0\xAF", "??"},
        {"\xC1\x9C", "??"},
        {"\xE0\x80\xAF", "???"},
        {"\xF0\x80\x80\xAF", "????"},
        {"\xED\xA0\x80", "???"},                      // surrogate
        {"\xF4\x90\x80\x80", "????"},                 // above U+10FFFF
        {"\xF8\x88\x80\x80\x80", "?????"},
        {"\x80" "a", "?a"},
        {"\xE3\x81", "?"},                           // cut at the end
        {"\xE3\x81" "a", "?a"},
        {"\xFE\xFF", "??"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.jis, utf8ToJis(c.utf8)) << c.utf8;
}

TEST(ComJconvAlloc, RoundTripsThroughShiftJis)
{
    struct { std::string utf8; std::string sjis; std::string back; } cases[] = {
        {"report.pdf", "report.pdf", "report.pdf"},
        {"\xE3\x81\x82\xE3\x81\x84", "\x82\xA0\x82\xA2", "\xE3\x81\x82\xE3\x81\x84"},
        {"\xE2\x91\xA0", "\x87\x40", "\xE2\x91\xA0"},        // circled one
        {"\xE2\x85\xA0", "\x87\x54", "\xE2\x85\xA0"},        // Roman numeral one
        {"\xE2\x85\xB0", "\xFA\x40", "\xE2\x85\xB0"},        // small Roman numeral one
        {"\xE7\xBA\x8A", "\xFA\x5C", "\xE7\xBA\x8A"},        // U+7E8A, extension row
        {"\xEF\xBF\xA4", "\xFA\x55", "\xEF\xBF\xA4"},        // U+FFE4
        {"\xE2\x89\x92", "\x81\xE0", "\xE2\x89\x92"},        // U+2252 takes row 0x22
        {"\xE3\x88\xB1", "\x87\x8A", "\xE3\x88\xB1"},        // U+3231
        {"\xEF\xBD\xB1\xEF\xBE\x9F", "\xB1\xDF", "\xEF\xBD\xB1\xEF\xBE\x9F"},
        {"\xEF\xBF\xA2", "\x81\xCA", "\xC2\xAC"},            // U+FFE2 comes back as U+00AC
        {"\xC2\xA5", "\x5C", "\x5C"},
        {"r\xC3\xA9sum\xC3\xA9.pdf", "r?sum?.pdf", "r?sum?.pdf"},
        {"..\xC0\xAF..\xC0\xAF" "x", "..??..??x", "..??..??x"},
        {"\xE2\x82\xAC" "1", "?1", "?1"},
        {"a\x1b$Bb", "a\x1b$Bb", "a?$Bb"},                  // ESC stays data
        {"a\x0e" "b\x0f", "a\x0e" "b\x0f", "a?b?"},
    };
    for (const auto& c : cases) {
        std::string sjis = utf8ToSjis(c.utf8);
        EXPECT_EQ(c.sjis, sjis) << c.utf8;
        EXPECT_EQ(c.back, sjisToUtf8(sjis)) << c.utf8;
        // Same result as the JIS pivot where the data holds no control byte.
        if (c.utf8.find_first_of("\x1b\x0e\x0f") == std::string::npos) {
            EXPECT_EQ(c.sjis, jisToSjis(utf8ToJis(c.utf8))) << c.utf8;
        }
    }
    struct { std::string sjis; std::string utf8; } back[] = {
        {"\xF0\x40", "\xEF\xBC\x9F"}, {"\xFA\x54", "\xEF\xBC\x9F"}, {"\x85\x40", "\xEF\xBC\x9F"},
        {"\x80\xA0\xFD", "???"}, {"\xED\x40", "\xE7\xBA\x8A"}, {"\x81\x60", "\xEF\xBD\x9E"},
    };
    for (const auto& c : back) {
        EXPECT_EQ(c.utf8, sjisToUtf8(c.sjis)) << c.sjis;
        EXPECT_EQ(c.utf8, jisToUtf8(sjisToJis(c.sjis))) << c.sjis;
    }
    EXPECT_EQ(nullptr, comUtf8ToSjisAlloc(nullptr));
    EXPECT_EQ(nullptr, comSjisToUtf8Alloc(nullptr));
}

// Every character of the table survives UTF-8 -> Shift_JIS -> UTF-8.
TEST(ComJconvAlloc, EveryTableCharacterRoundTrips)
{
    for (int i = 0; i < COM_JIS_UCS_RECORDS - 1; ++i) {
        unsigned ucs = comJisUcsTable[i].ucsHigh << 8 | comJisUcsTable[i].ucsLow;
        std::string u = utf8Of(ucs);
        std::string sjis = utf8ToSjis(u);
        ASSERT_EQ(2u, sjis.size()) << std::hex << ucs;
        if (ucs == 0xFFE2)
            EXPECT_EQ("\xC2\xAC", sjisToUtf8(sjis));
        else
            ASSERT_EQ(u, sjisToUtf8(sjis)) << std::hex << ucs;
    }
}

TEST(ComJconvDetect, Codes)
{
    struct { std::string text; unsigned hint; int code; } cases[] = {
        {"", 0, 6}, {"plain", 0, 6},
        {"\xE3\x81\x82", 0, 8}, {"\xF0\x9F\x98\x80", 0, 8},
        {"\x82\xA0", 0, 2}, {"\x8E\x40", 0, 2}, {"\x8E\xB1", 0, 7},
        {"\xF2\xA1", 0, 1}, {"\xF2\xA1", 1, 1}, {"\xF9\x40", 1, 2}, {"\xF9\x40", 0, 6},
        {"ab\x1b$B\x24\x22", 0, 4}, {"\x1b$@", 0, 5}, {"\x1bK", 0, 3}, {"\x1b$", 0, 6},
        {"\xA4\xF2", 0, 1}, {"\xB1\xB2", 0, 7}, {"\xA4\x82", 0, 2}, {"\xA4", 0, 2},
        {"\xB1\xE0\x41\x8A", 0, 2}, {"\xB1\xE0\x41\xFD", 0, 1}, {"\xB1\xE0\x20", 0, 7}, {"\xB1\xE0\x20\x8A", 0, 2},
        {"\xE3\xE3", 0, 1}, {"\xE3\x41", 0, 2}, {"\xE3\xB1", 0, 7},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.code, comKanjiDetect(c.text.c_str(), c.hint)) << c.text;
    EXPECT_EQ(6, comKanjiDetect(nullptr, 0));
}

// Random bytes never make a converter write past its documented size or
// read past the terminator.
TEST(ComJconvFuzz, RandomBytesStayInBounds)
{
    std::mt19937 rng(12345);
    const unsigned char alphabet[] = {0x1B, '$', '(', 'B', 'I', '@', 0x0E, 0x0F, 0x80, 0x8E, 0x8F,
                                      0xA1, 0xC0, 0xE3, 0xED, 0xF0, 0xFA, 0xFC, 0xFF, 0x24};
    for (int round = 0; round < 3000; ++round) {
        size_t len = rng() % 40;
        std::string s;
        for (size_t i = 0; i < len; ++i) {
            unsigned c = (rng() % 3) ? (rng() % 255 + 1) : alphabet[rng() % sizeof(alphabet)];
            s.push_back(static_cast<char>(c));
        }
        sjisToJis(s);
        jisToSjis(s);
        eucToJis(s);
        jisToEuc(s);
        eucToSjis(s);
        sjisToEuc(s);
        utf8ToJis(s);
        jisToUtf8(s);
        EXPECT_LE(utf8ToSjis(s).size(), s.size());
        EXPECT_LE(sjisToUtf8(s).size(), 3 * s.size());
        comKanjiDetect(s.c_str(), round & 1);
    }
}
