// Message templates come from text files: any template, with any
// arguments, is filled without reading past an argument or the template.
#include "rvcomcode.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

TEST(CodeTemplateRobust, RandomTemplates)
{
    static const char* const kPieces[] = {"%", "%%", "%s", "%d", "%n", "%*d", "%.*s", "%-08.3f",
                                          "%lld", "%hhx", "%99999999999d", "%.99999999999s",
                                          "%2147483648d", "%c", "%p", "%q", "%Lf", "%#o",
                                          "%+ 0-#5u", "%z", "text ", "\xff", "%l", "%1$s"};
    std::mt19937 rng(5150);
    const std::string empty;
    const std::vector<RvFmtArg> args = {RvFmtArg("t1"), RvFmtArg(-5), RvFmtArg(2.5),
                                        RvFmtArg(empty), RvFmtArg(7u)};
    for (int i = 0; i < 3000; ++i) {
        std::string tmpl;
        for (int k = static_cast<int>(rng() % 6); k >= 0; --k)
            tmpl += kPieces[rng() % (sizeof kPieces / sizeof kPieces[0])];
        if (rng() % 3 == 0)
            tmpl.resize(rng() % (tmpl.size() + 1));
        SCOPED_TRACE(tmpl);
        char* t = static_cast<char*>(malloc(tmpl.size() + 1));
        memcpy(t, tmpl.c_str(), tmpl.size() + 1);
        size_t count = rng() % (args.size() + 1);
        std::vector<RvFmtArg> some(args.begin(), args.begin() + static_cast<long>(count));
        NString out;
        int r = rvcomFormatTextV(out, t, some);
        ASSERT_TRUE(r == 0 || r == -1) << r;
        ASSERT_LT(strlen(out.c_str()), 4096u + tmpl.size() * 8);
        std::string kinds;
        rvcomTemplateConversions(t, kinds);
        free(t);
    }
}

// A local-string file with damaged lines: long lines, no TAB, NUL bytes,
// no final newline.
TEST(CodeTemplateRobust, DamagedLocalStringFiles)
{
    char path[] = "/tmp/rvlsXXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    std::mt19937 rng(8);
    const std::string base = "k1\tvalue %s\nk2\t\nk3\n\n\t\n#c\tx\r\n";
    for (int i = 0; i < 200; ++i) {
        std::string s = base;
        for (int e = 0; e < 3; ++e) {
            size_t pos = rng() % (s.size() + 1);
            switch (rng() % 3) {
            case 0:
                s.insert(pos, 1, "\t\n\r\0%\xff"[rng() % 6]);
                break;
            case 1:
                s.insert(pos, static_cast<size_t>(rng() % 20000), 'x');
                break;
            default:
                s.resize(pos);
                break;
            }
        }
        FILE* f = fopen(path, "wb");
        ASSERT_NE(nullptr, f);
        fwrite(s.data(), 1, s.size(), f);
        fclose(f);
        NUNVList list;
        ASSERT_EQ(0, rvcomReadLocalStringFile(&list, path));
        for (int k = 0; k < list.getCount(); ++k) {
            char* name = nullptr;
            void* value = nullptr;
            ASSERT_EQ(1, list.nameAt(k, &name) >= 0 ? 1 : 0);
            list.valueAt(k, &value);
        }
    }
    unlink(path);
}
