// CSV field reading of damaged lines: the output stays within its size,
// NUL-terminated, and no byte past the line is read.
#include "comstr.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

std::string mutate(std::mt19937& rng, const std::string& base)
{
    static const char kSpecial[] = {'"', '"', ',', '\t', '\r', '\n', ' ', '\\', '\0',
                                    '\x81', '\x40', '\xe3', '\x80', '\xff', '\xe0', '\x9f'};
    std::string s = base;
    int edits = 1 + static_cast<int>(rng() % 6);
    for (int e = 0; e < edits; ++e) {
        size_t pos = s.empty() ? 0 : rng() % (s.size() + 1);
        switch (rng() % 4) {
        case 0:
            if (pos < s.size())
                s[pos] = static_cast<char>(rng() & 0xFF);
            break;
        case 1:
            s.insert(pos, 1, kSpecial[rng() % sizeof kSpecial]);
            break;
        case 2:
            s.insert(pos, static_cast<size_t>(rng() % 13000), kSpecial[rng() % sizeof kSpecial]);
            break;
        default:
            s.resize(pos);
            break;
        }
    }
    return s;
}

}  // namespace

TEST(CsvFieldRobust, DamagedLines)
{
    const std::vector<std::string> samples = {
        "a,\"b,\"\"c\"\"\",,\x93\xfa\x96\x7b,\"\xe6\x97\xa5 \"x,  \xe3\x80\x80 ,\"",
        "\"only one quote,a,b", "1\t\"2\"\"\t3\"\t", "\"\x81\"\",\"\x81\x40\x81\x40\""};
    std::mt19937 rng(31337);
    std::vector<std::string> lines;
    for (const std::string& s : samples) {
        for (size_t cut = 0; cut <= s.size(); ++cut)
            lines.push_back(s.substr(0, cut));
    }
    for (int i = 0; i < 400; ++i)
        lines.push_back(mutate(rng, samples[rng() % samples.size()]));
    for (const std::string& l : lines) {
        SCOPED_TRACE(::testing::PrintToString(l.substr(0, 200)));
        size_t len = strlen(l.c_str());
        char* line = static_cast<char*>(malloc(len + 1));
        memcpy(line, l.c_str(), len + 1);
        for (int outSize : {1, 2, 3, 64, 20000}) {
            char* out = static_cast<char*>(malloc(static_cast<size_t>(outSize)));
            for (int n = 0; n < 8; ++n) {
                for (int sjis = 0; sjis < 2; ++sjis) {
                    int truncated = -1, closed = -1;
                    int r = comCsvGetField(n, outSize, line, out, &truncated, sjis, n & 1,
                                           &closed, n < 4 ? ',' : '\t');
                    ASSERT_TRUE(r == 0 || r == 1) << r;
                    ASSERT_LT(strlen(out), static_cast<size_t>(outSize));
                    ASSERT_TRUE(truncated == 0 || truncated == 1);
                    ASSERT_TRUE(closed == 0 || closed == 1);
                }
            }
            free(out);
        }
        free(line);
    }
}
