#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "comtrace.h"
#include "nustring.h"

namespace {

class TraceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/comtrace_XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        dir = tmpl;
        trace = dir + "/t.log";
    }
    void TearDown() override
    {
        comTraceSetPath("");
        std::string cmd = "rm -rf '" + dir + "'";
        ASSERT_EQ(0, system(cmd.c_str()));
    }
    std::string path(const char* name) const { return dir + "/" + name; }
    static std::string slurp(const std::string& p)
    {
        std::ifstream in(p, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    static void put(const std::string& p, const std::string& data)
    {
        std::ofstream out(p, std::ios::binary);
        out << data;
    }
    static bool exists(const std::string& p) { return access(p.c_str(), F_OK) == 0; }
    // Decodes the hex lines; raw CR and LF stay as they are.
    static std::string unhex(const std::string& s)
    {
        std::string out;
        for (size_t i = 0; i < s.size();) {
            if (s[i] == '\r' || s[i] == '\n') {
                out += s[i++];
                continue;
            }
            out += static_cast<char>(std::stoi(s.substr(i, 2), nullptr, 16));
            i += 2;
        }
        return out;
    }
    std::string dir;
    std::string trace;
};

} // namespace

TEST_F(TraceTest, OffUntilPathSet)
{
    comTraceSetPath("");
    comTraceWrite("rvcomFoo", 1, "ret[%d]", -1);
    COMTRACE("ret[%d]", -1);
    EXPECT_FALSE(exists(trace));
    char buf[8] = "keep";
    comTraceReadFile(buf, sizeof buf);
    EXPECT_STREQ("keep", buf);
}

TEST_F(TraceTest, LineIsHexWithRawCrLf)
{
    EXPECT_STREQ(trace.c_str(), comTraceSetPath(trace.c_str()));
    comTraceWrite("rvcomFoo", 120, "ret[%d]", -3);
    comTraceWrite("rvcomFoo", 7, "a\r\nb");
    std::string raw = slurp(trace);
    // Only lower-case hex digits besides CR and LF.
    EXPECT_EQ(std::string::npos, raw.find_first_not_of("0123456789abcdef\r\n"));
    // The second message is stored "61", CR, LF, "62".
    EXPECT_NE(std::string::npos, raw.find("61\r\n62"));
    std::string text = unhex(raw);
    std::regex line1("^\\d\\d-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d - rvcomFoo\\(120\\)\t:ret\\[-3\\]\n");
    EXPECT_TRUE(std::regex_search(text, line1)) << text;
    EXPECT_NE(std::string::npos, text.find(" - rvcomFoo(7)\t:a\r\nb\n"));
    char buf[16];
    comTraceReadFile(buf, sizeof buf);
    EXPECT_EQ(15u, strlen(buf));
    EXPECT_EQ(0, strncmp(raw.c_str(), buf, 15));
    comTraceReadFile(buf, 0); // nothing to write into
}

TEST_F(TraceTest, MacroPassesBaseNameAndLine)
{
    comTraceSetPath(trace.c_str());
    int line = __LINE__ + 1;
    COMTRACE("x[%s]", "y");
    COMTRACE_SRC("RvDbRecordListCsv", "z");
    const char* noFormat = nullptr;
    comTraceWrite("n", 3, noFormat);
    std::string text = unhex(slurp(trace));
    EXPECT_NE(std::string::npos, text.find(" - test_comtrace(" + std::to_string(line) + ")\t:x[y]\n"));
    EXPECT_NE(std::string::npos, text.find(" - RvDbRecordListCsv("));
    EXPECT_NE(std::string::npos, text.find(" - n(3)\t:\n")) << text;
}

TEST_F(TraceTest, LongMessagesAndNamesAreCut)
{
    comTraceSetPath(trace.c_str());
    std::string msg(9000, 'm');
    std::string src(300, 's');
    comTraceWrite(src.c_str(), 1, "%s", msg.c_str());
    std::string text = unhex(slurp(trace));
    ASSERT_FALSE(text.empty());
    EXPECT_EQ('\n', text.back());
    size_t colon = text.find("\t:");
    ASSERT_NE(std::string::npos, colon);
    EXPECT_EQ(7167u, text.size() - colon - 2 - 1);
    EXPECT_NE(std::string::npos, text.find(" - " + std::string(256, 's') + "(1)"));
}

TEST_F(TraceTest, FormatterFailureWritesDots)
{
    comTraceSetPath(trace.c_str());
    // A wide character outside the C locale's range cannot be converted.
    comTraceWrite("f", 2, "%ls", L"\x3042");
    std::string text = unhex(slurp(trace));
    EXPECT_NE(std::string::npos, text.find(" - f(2)\t:.....\n")) << text;
}

TEST_F(TraceTest, OverlongPathTurnsTracingOff)
{
    std::string longPath = dir + "/" + std::string(1100, 'p');
    EXPECT_STREQ("", comTraceSetPath(longPath.c_str()));
    EXPECT_STREQ("", comTraceSetPath(nullptr));
    EXPECT_STREQ("", comTracePath());
}

TEST_F(TraceTest, PathSetFromItsOwnText)
{
    comTraceSetPath((dir + "/t.log").c_str());
    EXPECT_EQ(dir.substr(1) + "/t.log", comTraceSetPath(comTracePath() + 1));
}

TEST_F(TraceTest, ProcessesNeverInterleaveWithinALine)
{
    comTraceSetPath(trace.c_str());
    const int kProcs = 4, kLines = 50;
    std::vector<pid_t> kids;
    for (int p = 0; p < kProcs; ++p) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            std::string body(6000, static_cast<char>('A' + p));
            for (int i = 0; i < kLines; ++i)
                comTraceWrite("w", p, "%s", body.c_str());
            _exit(0);
        }
        kids.push_back(pid);
    }
    for (pid_t pid : kids) {
        int st = 0;
        waitpid(pid, &st, 0);
        EXPECT_TRUE(WIFEXITED(st));
    }
    std::istringstream in(unhex(slurp(trace)));
    std::string line;
    int count = 0;
    while (std::getline(in, line)) {
        ++count;
        size_t colon = line.find("\t:");
        ASSERT_NE(std::string::npos, colon);
        std::string body = line.substr(colon + 2);
        ASSERT_EQ(6000u, body.size());
        EXPECT_EQ(std::string::npos, body.find_first_not_of(body[0]));
    }
    EXPECT_EQ(kProcs * kLines, count);
}

TEST_F(TraceTest, DirMake)
{
    std::string abc = path("a/b/c");
    EXPECT_EQ(0, comDirMake(abc.c_str()));
    EXPECT_TRUE(exists(path("a/b")));
    EXPECT_TRUE(exists(abc));
    EXPECT_EQ(0, comDirMake(abc.c_str())); // exists already
    EXPECT_EQ(0, comDirMake((abc + "/").c_str()));
    put(path("file"), "x");
    EXPECT_EQ(-3, comDirMake(path("file/sub").c_str()));
    EXPECT_EQ(-3, comDirMake(""));
    EXPECT_EQ(-3, comDirMake(nullptr));

    EXPECT_EQ(0, comDirMakeForFile(path("d/e/f.txt").c_str()));
    EXPECT_TRUE(exists(path("d/e")));
    EXPECT_FALSE(exists(path("d/e/f.txt")));
    EXPECT_EQ(0, comDirMakeForFile("plainname.txt")); // the current directory
}

TEST_F(TraceTest, DirMakeRelative)
{
    char old[4096];
    ASSERT_NE(nullptr, getcwd(old, sizeof old));
    ASSERT_EQ(0, chdir(dir.c_str()));
    int single = comDirMake("logs");
    int nested = comDirMake("x/y");
    ASSERT_EQ(0, chdir(old));
    EXPECT_EQ(0, single);
    EXPECT_TRUE(exists(path("logs")));
    EXPECT_EQ(0, nested);
    EXPECT_TRUE(exists(path("x/y")));
}

TEST_F(TraceTest, PathExists)
{
    EXPECT_EQ(1, comPathExists(dir.c_str()));
    EXPECT_EQ(1, comPathExists((dir + "/").c_str()));
    EXPECT_EQ(1, comPathExists((dir + "\\").c_str()));
    EXPECT_EQ(0, comPathExists(path("none/").c_str()));
    EXPECT_EQ(0, comPathExists(nullptr));
    EXPECT_EQ(1, comPathExists("/"));
}

TEST_F(TraceTest, FileReadAll)
{
    char* t = comFileReadAll(path("missing").c_str());
    ASSERT_NE(nullptr, t);
    EXPECT_STREQ("", t);
    free(t);
    put(path("f"), "");
    t = comFileReadAll(path("f").c_str());
    ASSERT_NE(nullptr, t);
    EXPECT_STREQ("", t);
    free(t);
    std::string big;
    for (int i = 0; i < 20000; ++i)
        big += static_cast<char>('a' + i % 26);
    put(path("f"), big);
    t = comFileReadAll(path("f").c_str());
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(big, std::string(t));
    free(t);
    // Through a plain file: ENOTDIR, not a missing file.
    EXPECT_EQ(nullptr, comFileReadAll(path("f/x").c_str()));
    EXPECT_EQ(nullptr, comFileReadAll(""));
    EXPECT_EQ(nullptr, comFileReadAll(nullptr));
}

TEST_F(TraceTest, FileWriteAll)
{
    std::string data(20000, 'q');
    data[19999] = '\0';
    EXPECT_EQ(0, comFileWriteAll(data.data(), static_cast<unsigned>(data.size()), path("w").c_str()));
    EXPECT_EQ(data, slurp(path("w")));
    EXPECT_EQ(0, comFileWriteAll("ab", 2, path("w").c_str())); // truncates
    EXPECT_EQ("ab", slurp(path("w")));
    EXPECT_EQ(-1, comFileWriteAll(nullptr, 2, path("w").c_str()));
    EXPECT_EQ(-1, comFileWriteAll("ab", 0, path("w").c_str()));
    EXPECT_EQ(-1, comFileWriteAll("ab", 2, nullptr));
    EXPECT_EQ(-10, comFileWriteAll("ab", 2, path("no/such/w").c_str()));
    // A full device is a failure, never success.
    if (access("/dev/full", W_OK) == 0) {
        EXPECT_EQ(-11, comFileWriteAll("ab", 2, "/dev/full"));
        EXPECT_EQ(-11, comFileWriteAll(data.data(), static_cast<unsigned>(data.size()), "/dev/full"));
    }
}

TEST_F(TraceTest, FileCompare)
{
    std::string a(10000, 'a');
    std::string b = a;
    b.back() = 'b';
    put(path("a"), a);
    put(path("a2"), a);
    put(path("b"), b);
    put(path("short"), "aaa");
    put(path("empty1"), "");
    put(path("empty2"), "");
    struct Case {
        const char *p1, *p2;
        int want;
    } cases[] = {
        {"a", "a2", 1}, {"a", "a", 1},           {"a", "b", 0},
        {"a", "short", 0}, {"empty1", "empty2", 0}, {"a", "missing", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.want, comFileCompare(path(c.p1).c_str(), path(c.p2).c_str())) << c.p1 << " " << c.p2;
    EXPECT_EQ(0, comFileCompare(nullptr, path("a").c_str()));
}

TEST(ComPathJoin, Joins)
{
    struct Case {
        const char *dir, *file, *want;
    } cases[] = {
        {"/x", "f", "/x/f"}, {"/x/", "f", "/x/f"}, {"c:\\x\\", "f", "c:\\x\\f"},
        {"", "f", "f"},      {"/x", nullptr, "/x/"}, {"", nullptr, ""},
    };
    for (const auto& c : cases) {
        NUString out("old");
        EXPECT_EQ(0, comPathJoin(out, c.dir, c.file));
        EXPECT_STREQ(c.want, out.c_str()) << c.dir;
    }
    NUString out("keep");
    EXPECT_EQ(-1, comPathJoin(out, nullptr, "f"));
    NUString self("/base");
    EXPECT_EQ(0, comPathJoin(self, self.c_str(), "f"));
    EXPECT_STREQ("/base/f", self.c_str());
    NUString file("name");
    EXPECT_EQ(0, comPathJoin(file, "/a/longer/dir", file.c_str()));
    EXPECT_STREQ("/a/longer/dir/name", file.c_str());
}
