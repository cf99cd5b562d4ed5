#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "rvcommigrate.h"
#include "rvcompair.h"

namespace {

class TempDir {
public:
    TempDir()
    {
        char tmpl[] = "/tmp/rvcompair_XXXXXX";
        const char* d = mkdtemp(tmpl);
        dir = d ? d : "";
    }
    ~TempDir()
    {
        if (!dir.empty())
            std::system(("rm -rf '" + dir + "'").c_str());
    }
    std::string dir;
};

std::string joined(const RvStringList& list)
{
    std::string s;
    for (const NString& n : list)
        s += "[" + std::string(n.c_str()) + "]";
    return s;
}

std::string joined(const RvPairList& list)
{
    std::string s;
    for (const RvPair& p : list)
        s += "[" + std::string(p.first.c_str()) + "=" + p.second.c_str() + "]";
    return s;
}

TEST(RvcomPairFile, RoundTripAndMissingFile)
{
    TempDir tmp;
    const std::string path = tmp.dir + "/app";
    RvPairList pairs = {
        { NString("dbs"), NString("") },
        { NString("dbname"), NString("vikra") },
        { NString("multi"), NString("line1\nline2") },
        { NString("dbname"), NString("second") },
    };
    ASSERT_EQ(0, rvcomWriteFileFromPairArray(pairs, path.c_str(), 0));
    RvPairList back;
    ASSERT_EQ(0, rvcomReadFileToPairArray(back, path.c_str(), 0));
    EXPECT_EQ(joined(pairs), joined(back));

    NString v;
    rvcomGetPairValue(v, back, "dbname", false);
    EXPECT_STREQ("vikra", v.c_str());
    rvcomGetPairValue(v, back, "DBNAME", false);
    EXPECT_TRUE(v.isNullOrEmpty());
    rvcomGetPairValue(v, back, "DBNAME", true);
    EXPECT_STREQ("vikra", v.c_str());
    rvcomGetPairValue(v, back, "", true);
    EXPECT_TRUE(v.isNullOrEmpty());
    EXPECT_EQ(3, rvcomFindPairKeyIndex(back, "dbname", false) + 2);
    EXPECT_EQ(-1, rvcomFindPairKeyIndex(back, nullptr, false));
    EXPECT_EQ(-1, rvcomFindPairKeyIndex(RvPairList(), "x", false));

    RvPairList none;
    EXPECT_EQ(-100010, rvcomReadFileToPairArray(none, (tmp.dir + "/absent").c_str(), 1));
    EXPECT_EQ(-100010, rvcomReadFileToPairArray(none, (tmp.dir + "/no/dir/file").c_str(), 1));
    EXPECT_EQ(-100007, rvcomReadFileToPairArray(none, tmp.dir.c_str(), 1));
    EXPECT_TRUE(none.empty());

    // An empty file gives no pairs.
    FILE* fp = std::fopen((tmp.dir + "/empty").c_str(), "w");
    ASSERT_NE(nullptr, fp);
    std::fclose(fp);
    EXPECT_EQ(0, rvcomReadFileToPairArray(none, (tmp.dir + "/empty").c_str(), 1));
    EXPECT_TRUE(none.empty());
}

TEST(RvcomPairFile, KeysThatCannotBeReadBackAreRefused)
{
    TempDir tmp;
    const std::string path = tmp.dir + "/pairs";
    const char* badKeys[] = { "", "a=b", "a\tb", "a\nb", "#x", "a #x", " lead", "trail " };
    for (const char* key : badKeys) {
        RvPairList pairs = { { NString("ok"), NString("1") }, { NString(key), NString("v") } };
        EXPECT_EQ(-100008, rvcomWriteFileFromPairArray(pairs, path.c_str(), 1)) << key;
    }
    EXPECT_NE(0, access(path.c_str(), F_OK));
    RvPairList fine = { { NString("a#b"), NString("x=y") } };
    EXPECT_EQ(0, rvcomWriteFileFromPairArray(fine, path.c_str(), 1));
    RvPairList back;
    ASSERT_EQ(0, rvcomReadFileToPairArray(back, path.c_str(), 1));
    EXPECT_EQ("[a#b=x=y]", joined(back));
    EXPECT_EQ(-100008, rvcomWriteFileFromPairArray(fine, (path + "/under_a_file").c_str(), 1));
    EXPECT_EQ(-100008, rvcomWriteFileFromPairArray(fine, nullptr, 1));
}

TEST(RvcomSplit, CommaAndPairSplits)
{
    const struct {
        const char* text;
        const char* pieces;
    } commaCases[] = {
        { "a,,b", "[a][][b]" },
        { "a,b,", "[a][b]" },
        { "a,,", "[a][]" },
        { ",", "[]" },
        { " a , b", "[ a ][ b]" },
        { "", "" },
        { nullptr, "" },
    };
    for (const auto& c : commaCases) {
        RvStringList out;
        EXPECT_EQ(0, rvcomSplitComma(c.text, out));
        EXPECT_EQ(c.pieces, joined(out)) << (c.text ? c.text : "null");
    }

    RvPairList pairs;
    EXPECT_EQ(0, rvcomSplitToPairArray("a=1;b;c=x=y", pairs, ';'));
    EXPECT_EQ("[a=1][b=][c=x=y]", joined(pairs));
    pairs.clear();
    EXPECT_EQ(0, rvcomSplitToPairArray("k=v\nw=\n", pairs, '\n'));
    EXPECT_EQ("[k=v][w=]", joined(pairs));
}

TEST(RvcomSplit, ArrayTextConversions)
{
    RvStringList out;
    rvcomConvTextToArray(NString(",,a,,b,"), out, ',');
    EXPECT_EQ("[a][b]", joined(out));
    out.clear();
    rvcomConvTextToArray(NString(" x \n\n  y z \n   \n"), out, '\n');
    EXPECT_EQ("[x][y z]", joined(out));
    out.clear();
    rvcomConvTextToArray(NString(), out, ',');
    EXPECT_TRUE(out.empty());

    NString text("unchanged");
    EXPECT_EQ(0, rvcomConvArrayToText({ NString("a"), NString(""), NString("b") }, text, '\n'));
    EXPECT_STREQ("a\n\nb", text.c_str());
    text = NString("unchanged");
    EXPECT_EQ(-100001, rvcomConvArrayToText({ NString("a"), NString("b,c") }, text, ','));
    EXPECT_STREQ("unchanged", text.c_str());

    RvStringList list = { NString("a"), NString(), NString("B"), NString("b") };
    EXPECT_EQ(3, rvcomFindValueIndex(list, NString("b"), 0, false));
    EXPECT_EQ(2, rvcomFindValueIndex(list, NString("b"), 0, true));
    EXPECT_EQ(3, rvcomFindValueIndex(list, NString("b"), 3, true));
    EXPECT_EQ(-1, rvcomFindValueIndex(list, NString("b"), 4, true));
    EXPECT_EQ(-1, rvcomFindValueIndex(list, NString(""), 0, true));
}

TEST(RvcomUtilStrReplace, Cases)
{
    const struct {
        const char* src;
        const char* from;
        const char* to;
        int ret;
        const char* out;
    } cases[] = {
        { "aaa", "aa", "b", 0, "ba" },
        { "a\"b\"", "\"", "\"\"", 0, "a\"\"b\"\"" },
        { "x\ny", "\n", "\r\n", 0, "x\r\ny" },
        // Matches only at character boundaries: 0x81 inside "\xe3\x81\x82".
        { "\xe3\x81\x82\x81", "\x81", "X", 0, "\xe3\x81\x82X" },
        // A lead byte whose sequence is cut short ends at the text's end.
        { "ab\xe3\x81", "b", "B", 0, "aB\xe3\x81" },
        { "ab\xf0", "zz", "y", 0, "ab\xf0" },
        { "abc", "", "x", -1, "keep" },
        { "abc", nullptr, "x", -1, "keep" },
        { "abc", "a", nullptr, -1, "keep" },
        { "", "a", "b", 0, "keep" },
        { nullptr, "a", "b", 0, "keep" },
    };
    for (const auto& c : cases) {
        NString out("keep");
        EXPECT_EQ(c.ret, rvcomUtilStrReplace(c.src, out, c.from, c.to));
        EXPECT_STREQ(c.out, out.c_str()) << (c.src ? c.src : "null");
    }
}

TEST(RvcomRealPath, ResolvesOrLeavesEmpty)
{
    TempDir tmp;
    ASSERT_EQ(0, mkdir((tmp.dir + "/sub").c_str(), 0700));
    char buf[RVCOM_PATH_BUF_SIZE];
    EXPECT_EQ(0, rvcomRealPath((tmp.dir + "/sub/../sub/.").c_str(), buf));
    char expected[RVCOM_PATH_BUF_SIZE];
    ASSERT_NE(nullptr, realpath((tmp.dir + "/sub").c_str(), expected));
    EXPECT_STREQ(expected, buf);

    // A partial result of realpath must not be left behind.
    std::strcpy(buf, "stale");
    EXPECT_EQ(0, rvcomRealPath((tmp.dir + "/nonexist/x").c_str(), buf));
    EXPECT_STREQ("", buf);
    std::strcpy(buf, "stale");
    EXPECT_EQ(0, rvcomRealPath(nullptr, buf));
    EXPECT_STREQ("", buf);
    EXPECT_EQ(0, rvcomRealPath("x", nullptr));
}

TEST(RvcomProgramPath, BareNameIsTheRunningProgram)
{
    char self[RVCOM_PATH_BUF_SIZE];
    ASSERT_NE(nullptr, realpath("/proc/self/exe", self));
    char buf[RVCOM_PATH_BUF_SIZE];

    // Started through PATH: the name alone says nothing of the directory,
    // even when the working directory holds a file of that name.
    TempDir tmp;
    std::string decoy = tmp.dir + "/exportbat";
    FILE* f = fopen(decoy.c_str(), "w");
    ASSERT_NE(nullptr, f);
    fclose(f);
    char cwd[RVCOM_PATH_BUF_SIZE];
    ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
    ASSERT_EQ(0, chdir(tmp.dir.c_str()));
    EXPECT_EQ(0, rvcomProgramPath("exportbat", buf));
    EXPECT_STREQ(self, buf);
    // A name with a directory is resolved as given.
    EXPECT_EQ(0, rvcomProgramPath("./exportbat", buf));
    char expected[RVCOM_PATH_BUF_SIZE];
    ASSERT_NE(nullptr, realpath(decoy.c_str(), expected));
    EXPECT_STREQ(expected, buf);
    ASSERT_EQ(0, chdir(cwd));

    std::strcpy(buf, "stale");
    EXPECT_EQ(0, rvcomProgramPath("", buf));
    EXPECT_STREQ("", buf);
    std::strcpy(buf, "stale");
    EXPECT_EQ(0, rvcomProgramPath(nullptr, buf));
    EXPECT_STREQ("", buf);
}

TEST(ComMigrate, FindArgValue)
{
    const char* args[] = { "prog", "-l", "-x", "-s", "st", "-l", "/logs", "-s", "second", "-e" };
    char** argv = const_cast<char**>(args);
    const int argc = static_cast<int>(sizeof args / sizeof args[0]);
    EXPECT_STREQ("/logs", RvComMigrate::comMigrateFindArgValue(argc, argv, "-l"));
    EXPECT_STREQ("st", RvComMigrate::comMigrateFindArgValue(argc, argv, "-s"));
    EXPECT_EQ(nullptr, RvComMigrate::comMigrateFindArgValue(argc, argv, "-x"));
    EXPECT_EQ(nullptr, RvComMigrate::comMigrateFindArgValue(argc, argv, "-e"));
    EXPECT_EQ(nullptr, RvComMigrate::comMigrateFindArgValue(argc, argv, "-S"));
    EXPECT_EQ(nullptr, RvComMigrate::comMigrateFindArgValue(argc, argv, nullptr));
    // The count bounds the scan.
    EXPECT_EQ(nullptr, RvComMigrate::comMigrateFindArgValue(2, argv, "-l"));
}

TEST(ComMigrate, PrintAndNumbers)
{
    testing::internal::CaptureStdout();
    RvComMigrate::comMigratePrintProgress(NString("1/3"));
    RvComMigrate::comMigratePrintProgress(NString("2/3"));
    RvComMigrate::comMigratePrint(NString("done"), true);
    RvComMigrate::comMigratePrint(NString("tail"), false);
    EXPECT_EQ("\r1/3\r2/3done\ntail", testing::internal::GetCapturedStdout());

    EXPECT_STREQ("-3", RvComMigrate::comMigrateToString(-3).c_str());
    EXPECT_STREQ("4294967295", RvComMigrate::comMigrateToString(4294967295u).c_str());
    EXPECT_STREQ("-5000000000", RvComMigrate::comMigrateToString(-5000000000LL).c_str());
    EXPECT_STREQ("1.500000", RvComMigrate::comMigrateToString(1.5).c_str());
    EXPECT_STREQ("0.250000", RvComMigrate::comMigrateToString(0.25f).c_str());
}

} // namespace
