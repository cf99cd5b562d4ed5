// Japanese code conversion of arbitrary bytes: every converter stays within
// the destination size it documents and reads no byte past the source.
#include "comjconv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// Inputs of each encoding, then mutations of them.
const std::vector<std::string>& samples()
{
    static const std::vector<std::string> s = {
        "",
        "abc",
        "\x93\xfa\x96\x7b\x8c\xea\x82\xa0\xb1",                 // Shift_JIS, half-width kana
        "\xc6\xfc\xcb\xdc\xb8\xec\x8e\xb1\x8f\xb0\xa1",          // EUC-JP, SS2, SS3
        "\x1b$B;z\x1b(B a \x1b(I1\x1b(J \x1bK!!\x1bH \x1b$@$\"",  // JIS escapes
        "\xe6\x97\xa5\xe6\x9c\xac\xef\xbd\xb1\xf0\x9f\x98\x80\xc3\xa9",  // UTF-8
        "\x1b$", "\x1b", "\x1b(", "\x81", "\xe6\x97", "\xf0\x9f\x98", "\x8e", "\x8f\xb0",
    };
    return s;
}

std::string mutate(std::mt19937& rng, const std::string& base)
{
    static const char kSpecial[] = {'\x1b', '$', '(', 'B', 'J', 'I', '@', 'K', 'H',
                                    '\x0e', '\x0f', '\x8e', '\x8f', '\x80', '\xa0',
                                    '\xef', '\xfc', '\xfd', '\xff', '\xf0', '\xf8'};
    std::string s = base;
    int edits = 1 + static_cast<int>(rng() % 6);
    for (int e = 0; e < edits; ++e) {
        size_t pos = s.empty() ? 0 : rng() % (s.size() + 1);
        switch (rng() % 5) {
        case 0:
            if (!s.empty() && pos < s.size())
                s[pos] = static_cast<char>(rng() % 255 + 1);
            break;
        case 1:
            s.insert(pos, 1, kSpecial[rng() % sizeof kSpecial]);
            break;
        case 2:
            if (pos < s.size())
                s.erase(pos, 1 + rng() % 3);
            break;
        case 3:
            s.insert(pos, static_cast<size_t>(1 + rng() % 40),
                     kSpecial[rng() % sizeof kSpecial]);
            break;
        default: {
            std::string r;
            for (int i = static_cast<int>(rng() % 12); i > 0; --i)
                r += static_cast<char>(rng() % 255 + 1);
            s.insert(pos, r);
            break;
        }
        }
    }
    return s;
}

std::vector<std::string> inputs()
{
    std::mt19937 rng(20240611);
    std::vector<std::string> all = samples();
    for (const std::string& b : samples()) {
        for (size_t cut = 0; cut < b.size(); ++cut)
            all.push_back(b.substr(0, cut));
    }
    for (int i = 0; i < 3000; ++i)
        all.push_back(mutate(rng, samples()[rng() % samples().size()]));
    return all;
}

// Source in a block of its exact size, destination of the documented size
// (plus the zero byte the unterminated converters rely on).
void runBounded(void (*fn)(const char*, char*), const std::string& in, size_t mul, size_t add,
                bool terminated)
{
    size_t len = in.size();
    char* src = static_cast<char*>(malloc(len + 1));
    memcpy(src, in.c_str(), len + 1);
    size_t size = mul * len + add + (terminated ? 0 : 1);
    if (size == 0)
        size = 1;
    char* dst = static_cast<char*>(calloc(size, 1));
    fn(src, dst);
    EXPECT_NE(nullptr, memchr(dst, '\0', size)) << "unterminated output";
    free(dst);
    free(src);
}

}  // namespace

TEST(JconvRobust, ConvertersStayInDocumentedSizes)
{
    for (const std::string& in : inputs()) {
        SCOPED_TRACE(::testing::PrintToString(in));
        runBounded(comKanjiSjisToJis, in, 4, 3, false);
        runBounded(comKanjiJisToSjis, in, 1, 0, false);
        runBounded(comKanjiEucToJis, in, 3, 3, false);
        runBounded(comKanjiJisToEuc, in, 2, 0, false);
        runBounded(comKanjiEucToSjis, in, 1, 0, false);
        runBounded(comKanjiSjisToEuc, in, 2, 0, false);
        runBounded(comKanjiUtf8ToJis, in, 3, 4, true);
        runBounded(comKanjiJisToUtf8, in, 3, 1, true);
        if (HasFailure())
            return;
    }
}

TEST(JconvRobust, AllocatingConvertersAndDetection)
{
    for (const std::string& in : inputs()) {
        SCOPED_TRACE(::testing::PrintToString(in));
        char* src = static_cast<char*>(malloc(in.size() + 1));
        memcpy(src, in.c_str(), in.size() + 1);
        char* sjis = comUtf8ToSjisAlloc(src);
        ASSERT_NE(nullptr, sjis);
        EXPECT_LE(strlen(sjis), in.size());
        char* utf8 = comSjisToUtf8Alloc(src);
        ASSERT_NE(nullptr, utf8);
        int kind = comKanjiDetect(src, 0);
        EXPECT_TRUE(kind >= COM_KANJI_EUC && kind <= COM_KANJI_UTF8) << kind;
        kind = comKanjiDetect(src, 1);
        EXPECT_TRUE(kind >= COM_KANJI_EUC && kind <= COM_KANJI_UTF8) << kind;
        free(sjis);
        free(utf8);
        free(src);
        if (HasFailure())
            return;
    }
}
