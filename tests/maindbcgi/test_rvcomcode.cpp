#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "nstring.h"
#include "nunvlist.h"
#include "rvcomcode.h"

namespace {

class TempDir {
public:
    TempDir()
    {
        char tmpl[] = "/tmp/rvcomcode_XXXXXX";
        const char* d = mkdtemp(tmpl);
        dir = d ? d : "";
    }
    ~TempDir()
    {
        if (!dir.empty())
            std::system(("rm -rf '" + dir + "'").c_str());
    }
    std::string write(const std::string& name, const std::string& text) const
    {
        std::string path = dir + "/" + name;
        FILE* fp = std::fopen(path.c_str(), "wb");
        if (fp) {
            std::fwrite(text.data(), 1, text.size(), fp);
            std::fclose(fp);
        }
        return path;
    }
    std::string dir;
};

std::string fmt(const char* tmpl, const std::vector<RvFmtArg>& args, int* ret = nullptr)
{
    NString out;
    int r = rvcomFormatTextV(out, tmpl, args);
    if (ret)
        *ret = r;
    return out.c_str();
}

std::string entryValue(NUNVList& list, const char* key)
{
    void* v = nullptr;
    if (list.find(key, &v) != 1 || !v)
        return "<absent>";
    return static_cast<const char*>(v);
}

struct FormatCase {
    const char* tmpl;
    std::vector<RvFmtArg> args;
    const char* expected;
    int ret;
};

TEST(RvcomFormatText, ConversionsWidthsAndMismatches)
{
    const NString ns("nstr");
    const std::string ss("std");
    const FormatCase cases[] = {
        { "plain", {}, "plain", 0 },
        { "100%%", {}, "100%", 0 },
        { "%s-%s", { "a", ns }, "a-nstr", 0 },
        { "%s", { ss }, "std", 0 },
        { "%d/%u", { -5, 7u }, "-5/7", 0 },
        { "%ld %lu %lld", { -1L, 2UL, -3LL }, "-1 2 -3", 0 },
        { "%05.5d", { 42 }, "00042", 0 },
        { "%02d:%02d", { 3, 4 }, "03:04", 0 },
        { "[%-4s][%4s]", { "ab", "cd" }, "[ab  ][  cd]", 0 },
        { "%.3s", { "abcdef" }, "abc", 0 },
        { "%s", { 12 }, "12", 0 },               // numbers are welcome as texts
        { "%s", { static_cast<int64_t>(5000000000LL) }, "5000000000", 0 },
        { "%d", { static_cast<int64_t>(-5000000000LL) }, "-5000000000", 0 },
        { "%x", { 255 }, "ff", 0 },
        { "%.2f", { 1.005 }, "1.00", 0 },
        { "%f", { 2 }, "2.000000", 0 },
        { "%c%c", { 'A', "Bx" }, "AB", 0 },
        { "%s", { static_cast<const char*>(nullptr) }, "(null)", 0 },
        { "%s %s", { "a", "b", "surplus" }, "a b", 0 },
        // Missing or mismatched arguments give a placeholder, never UB.
        { "%s and %s", { "a" }, "a and (?)", -1 },
        { "%d", { "text" }, "(?)", -1 },
        { "%d items", {}, "(?) items", -1 },
        { "%f", { "x" }, "(?)", -1 },
        // Unknown or unsafe conversions are never interpreted.
        { "%n%s", { 1, "b" }, "(?)b", -1 },
        { "%p", { "x" }, "(?)", -1 },
        { "%*d", { 3, 4 }, "(?)", -1 },
        { "%99999d", { 1 }, "(?)", -1 },
        { "end %", {}, "end (?)", -1 },
    };
    for (const FormatCase& c : cases) {
        int ret = 99;
        EXPECT_EQ(c.expected, fmt(c.tmpl, c.args, &ret)) << c.tmpl;
        EXPECT_EQ(c.ret, ret) << c.tmpl;
    }
}

TEST(RvcomFormatText, VariadicFormAndLongOutput)
{
    NString out;
    EXPECT_EQ(0, rvcomFormatText(out, "%s:%d:%s", "x", 3, NString("y")));
    EXPECT_STREQ("x:3:y", out.c_str());
    std::string big(10000, 'z');
    EXPECT_EQ(0, rvcomFormatText(out, "<%s>", big));
    EXPECT_EQ(10002, out.length());
    EXPECT_EQ(0, rvcomFormatText(out, nullptr, 1));
    EXPECT_STREQ("", out.c_str());
}

TEST(RvcomFormatText, TemplateConversions)
{
    const struct {
        const char* tmpl;
        int count;
        const char* kinds;
    } cases[] = {
        { "none %% here", 0, "" },
        { "%s %d %u %ld %05.5d %.256s %f %c %x", 9, "sduddsfcu" },
        { "%s %q", -1, "s" },
        { "%", -1, "" },
    };
    for (const auto& c : cases) {
        std::string kinds;
        int n = rvcomTemplateConversions(c.tmpl, kinds);
        EXPECT_EQ(c.count, n) << c.tmpl;
        if (n >= 0) {
            std::string expected;
            for (const char* p = c.kinds; *p; ++p)
                if (*p != ' ')
                    expected += *p;
            EXPECT_EQ(expected, kinds) << c.tmpl;
        }
    }
}

TEST(RvcomReadLocalStringFile, LineRules)
{
    TempDir tmp;
    std::string path = tmp.write("t",
        "   -1002   =   E,Too many connections  # x\n"
        "key=a=b\n"
        "tabbed\t=value\n"
        "#x=1\n"
        ";y=1\n"
        "x=\n"
        "noequals\n"
        "  \n"
        "=novalue\n"
        "crlf = v \r\n"
        "last=no newline");
    NUNVList list(10);
    ASSERT_EQ(0, rvcomReadLocalStringFile(&list, path.c_str()));
    EXPECT_EQ("E,Too many connections  # x", entryValue(list, "-1002"));
    EXPECT_EQ("a=b", entryValue(list, "key"));
    EXPECT_EQ("", entryValue(list, "tabbed"));
    EXPECT_EQ("<absent>", entryValue(list, "#x"));
    EXPECT_EQ("<absent>", entryValue(list, ";y"));
    EXPECT_EQ("", entryValue(list, "x"));
    EXPECT_EQ("", entryValue(list, "noequals"));
    EXPECT_EQ("v", entryValue(list, "crlf"));
    EXPECT_EQ("no newline", entryValue(list, "last"));
    EXPECT_EQ(7, list.getCount());  // "=novalue" has no key
}

TEST(RvcomReadLocalStringFile, MissingFileAndLongLines)
{
    TempDir tmp;
    NUNVList list(10);
    EXPECT_EQ(-300014, rvcomReadLocalStringFile(&list, (tmp.dir + "/none").c_str()));
    EXPECT_EQ(-300014, rvcomReadLocalStringFile(&list, nullptr));
    EXPECT_EQ(-300014, rvcomReadLocalStringFile(nullptr, "/dev/null"));

    // The tail of an over-long line must not come back as a line of its own.
    std::string longValue(5000, 'v');
    std::string text = "long=" + longValue.substr(0, 4100) + "inject=bad" +
                       longValue.substr(0, 200) + "\nafter=ok\n";
    std::string path = tmp.write("long", text);
    ASSERT_EQ(0, rvcomReadLocalStringFile(&list, path.c_str()));
    EXPECT_EQ(4094u - 5u, entryValue(list, "long").size());
    EXPECT_EQ("ok", entryValue(list, "after"));
    EXPECT_EQ(2, list.getCount());

    // A directory opens but cannot be read.
    EXPECT_EQ(-300014, rvcomReadLocalStringFile(&list, tmp.dir.c_str()));
}

class RvcomTables : public ::testing::Test {
protected:
    void SetUp() override
    {
        rvcomClearCodeMessages();
        rvcomClearLocalStrings();
    }
    void TearDown() override
    {
        rvcomClearCodeMessages();
        rvcomClearLocalStrings();
    }
    TempDir tmp;
};

TEST_F(RvcomTables, CodeEntries)
{
    std::string p1 = tmp.write("m1", "-1002=e,too many clients\n-5=no comma here\n"
                                     "-7=W,%s has %d rows\n-8=E,\n");
    std::string p2 = tmp.write("m2", "-1002=X,second\n-9=I,nine\n");
    ASSERT_EQ(0, rvcomLoadCodeMessageFile(p1.c_str()));
    ASSERT_EQ(0, rvcomLoadCodeMessageFile(p2.c_str()));

    rvcomCodeMessageEntry e = rvcomGetCodeEntry(-1002);
    EXPECT_EQ('e', e.level);
    EXPECT_STREQ("too many clients", e.text.c_str());  // first definition wins
    e = rvcomGetCodeEntry(-5);
    EXPECT_EQ(0, e.level);
    EXPECT_STREQ("no comma here", e.text.c_str());
    e = rvcomGetCodeEntry(-9);
    EXPECT_EQ('I', e.level);
    e = rvcomGetCodeEntry(12345);
    EXPECT_EQ(0, e.level);
    EXPECT_STREQ("(code:12345)", e.text.c_str());

    e = rvcomGetCodeMessage(-7, "tbl00001", 3);
    EXPECT_EQ('W', e.level);
    EXPECT_STREQ("tbl00001 has 3 rows", e.text.c_str());
    NString out;
    rvcomGetCodeMessage(out, -7, "t");
    EXPECT_STREQ("t has (?) rows", out.c_str());
    rvcomGetCodeMessage(out, -8, "unused");
    EXPECT_STREQ("", out.c_str());
    rvcomGetCodeMessage(out, -404, "unused");
    EXPECT_STREQ("(code:-404)", out.c_str());

    rvcomClearCodeMessages();
    EXPECT_STREQ("(code:-1002)", rvcomGetCodeEntry(-1002).text.c_str());
}

TEST_F(RvcomTables, LocalStrings)
{
    std::string p1 = tmp.write("v1", "greet=Hello %s, %d\nempty=\npct=50%% of %s\n"
                                     "evil=%s%s%s%s%n\n");
    std::string p2 = tmp.write("v2", "greet=Other\nadded=yes\n");
    ASSERT_EQ(0, rvcomLoadLocalStringFile(p1.c_str()));
    ASSERT_EQ(0, rvcomLoadLocalStringFile(p2.c_str()));
    EXPECT_EQ(6, rvcomGetLocalStringTable()->getCount());

    NString out;
    rvcomGetLocalString(out, "greet", "you", 2);
    EXPECT_STREQ("Hello you, 2", out.c_str());
    rvcomGetLocalString(out, "added");
    EXPECT_STREQ("yes", out.c_str());
    rvcomGetLocalString(out, "pct", "x");
    EXPECT_STREQ("50% of x", out.c_str());
    rvcomGetLocalString(out, "empty", 1);
    EXPECT_STREQ("empty", out.c_str());
    rvcomGetLocalString(out, "absent_key", 1);
    EXPECT_STREQ("absent_key", out.c_str());
    rvcomGetLocalString(out, nullptr);
    EXPECT_STREQ("(null)", out.c_str());
    // A hostile template with too few arguments stays harmless.
    rvcomGetLocalString(out, "evil", "a");
    EXPECT_STREQ("a(?)(?)(?)(?)", out.c_str());

    rvcomClearLocalStrings();
    EXPECT_EQ(0, rvcomGetLocalStringTable()->getCount());
    rvcomGetLocalString(out, "greet");
    EXPECT_STREQ("greet", out.c_str());
}

} // namespace
