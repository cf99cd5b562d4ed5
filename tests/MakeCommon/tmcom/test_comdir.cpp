#include "comfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>
#include <vector>

namespace {

class ComDirTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/comdir_test_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
        // an outside directory that links inside the tree point to
        m_outside = m_dir + "_outside";
        ASSERT_EQ(mkdir(m_outside.c_str(), 0755), 0);
        writeFile(m_outside + "/precious", std::string(5000, 'p'));
    }
    void TearDown() override
    {
        comDirDelete(m_dir.c_str(), nullptr, 0, 0);
        comDirDelete(m_outside.c_str(), nullptr, 0, 0);
    }
    std::string path(const std::string& name) const { return m_dir + "/" + name; }
    static void writeFile(const std::string& p, const std::string& text)
    {
        std::ofstream(p, std::ios::binary) << text;
    }
    static std::string readFile(const std::string& p)
    {
        std::ifstream in(p, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    static bool exists(const std::string& p)
    {
        struct stat st;
        return lstat(p.c_str(), &st) == 0;
    }
    // tree/a.txt, tree/sub/b.txt, tree/sub/deep/c.txt, tree/out -> outside
    std::string makeTree()
    {
        std::string t = path("tree");
        EXPECT_EQ(comDirCreateAll((t + "/sub/deep/").c_str(), 0), 0);
        writeFile(t + "/a.txt", "aaa");
        writeFile(t + "/sub/b.txt", "bbbb");
        writeFile(t + "/sub/deep/c.txt", "cc");
        EXPECT_EQ(symlink(m_outside.c_str(), (t + "/out").c_str()), 0);
        EXPECT_EQ(symlink((m_outside + "/precious").c_str(), (t + "/sub/plink").c_str()), 0);
        return t;
    }
    std::string m_dir;
    std::string m_outside;
};

int keepC(const char* name, int, const struct stat*, const struct stat*)
{
    return std::strcmp(name, "c.txt") == 0 ? 0 : 1;
}

struct WalkLog {
    int32_t flag;
    std::vector<std::string> seen;
};

WalkLog* g_walk = nullptr;
int record(const char* name, void*, int isFile)
{
    g_walk->seen.push_back(std::string(isFile ? "F:" : "D:") + name);
    return 0;
}
int stopAtFirst(const char* name, void*, int)
{
    g_walk->seen.push_back(name);
    return 1;
}

}  // namespace

TEST_F(ComDirTest, DeleteTree)
{
    std::string t = makeTree();
    EXPECT_EQ(comDirDelete(t.c_str(), nullptr, 0, 0), 0);
    EXPECT_FALSE(exists(t));
    EXPECT_EQ(readFile(m_outside + "/precious").size(), 5000u);

    ASSERT_EQ(comDirCreateAll(path("slash/x/").c_str(), 0), 0);
    EXPECT_EQ(comDirDelete(path("slash/").c_str(), nullptr, 0, 0), 0);
    EXPECT_FALSE(exists(path("slash")));
    EXPECT_EQ(comDirDelete(path("missing").c_str(), nullptr, 0, 0), 0);
    EXPECT_EQ(comDirDelete(nullptr, nullptr, 0, 0), -9);
    EXPECT_EQ(comDirDelete("", nullptr, 0, 0), -9);
    writeFile(path("plain"), "x");
    EXPECT_EQ(comDirDelete(path("plain").c_str(), nullptr, 0, 0), 0);
    EXPECT_FALSE(exists(path("plain")));
}

TEST_F(ComDirTest, DeleteNeverFollowsLinks)
{
    // the top path itself a link: the link goes, the target stays
    std::string top = path("tbl00001");
    ASSERT_EQ(symlink(m_outside.c_str(), top.c_str()), 0);
    EXPECT_EQ(comDirDelete(top.c_str(), nullptr, 0, 0), 0);
    EXPECT_FALSE(exists(top));
    EXPECT_TRUE(exists(m_outside + "/precious"));
    ASSERT_EQ(symlink(m_outside.c_str(), top.c_str()), 0);
    EXPECT_EQ(comDirDelete((top + "/").c_str(), nullptr, 0, 0), 0);
    EXPECT_FALSE(exists(top));
    EXPECT_TRUE(exists(m_outside + "/precious"));

    // a dangling link inside the tree
    std::string t = makeTree();
    ASSERT_EQ(symlink("/nonexistent/target", (t + "/dangling").c_str()), 0);
    EXPECT_EQ(comDirDelete(t.c_str(), nullptr, 0, 0), 0);
    EXPECT_FALSE(exists(t));
    EXPECT_TRUE(exists(m_outside + "/precious"));
}

TEST_F(ComDirTest, DeleteWithFilterKeepsParents)
{
    std::string t = makeTree();
    EXPECT_EQ(comDirDelete(t.c_str(), keepC, 0, 1), 0);
    EXPECT_TRUE(exists(t + "/sub/deep/c.txt"));
    EXPECT_FALSE(exists(t + "/a.txt"));
    EXPECT_FALSE(exists(t + "/sub/b.txt"));
    EXPECT_FALSE(exists(t + "/out"));

    // filter not passed down: the sub-directory goes whole
    EXPECT_EQ(comDirDelete(t.c_str(), keepC, 0, 0), 0);
    EXPECT_FALSE(exists(t + "/sub"));
}

TEST_F(ComDirTest, Renames)
{
    writeFile(path("new.bk"), "fresh");
    writeFile(path("status"), "old");
    EXPECT_EQ(comFileRename(path("new.bk").c_str(), path("status").c_str()), 0);
    EXPECT_EQ(readFile(path("status")), "fresh");

    std::string t = makeTree();
    EXPECT_EQ(comFileRename(path("status").c_str(), t.c_str()), 0);
    EXPECT_EQ(readFile(t), "fresh");
    EXPECT_TRUE(exists(m_outside + "/precious"));

    ASSERT_EQ(comDirCreateAll(path("d1/x/").c_str(), 0), 0);
    ASSERT_EQ(comDirCreateAll(path("d2/y/").c_str(), 0), 0);
    EXPECT_EQ(comDirRename(path("d1").c_str(), path("d2").c_str()), 0);
    EXPECT_TRUE(exists(path("d2/x")));
    EXPECT_FALSE(exists(path("d2/y")));
    EXPECT_EQ(comDirRename(path("d2").c_str(), ""), -1);
}

TEST_F(ComDirTest, Walk)
{
    std::string t = makeTree();
    WalkLog log;
    log.flag = 77;
    g_walk = &log;
    EXPECT_EQ(comDirWalk(t.c_str(), &log.flag, record), 0);
    EXPECT_EQ(log.flag, 0);
    std::sort(log.seen.begin(), log.seen.end());
    std::vector<std::string> want = {"D:" + t + "/sub", "F:a.txt"};  // links are not walked
    EXPECT_EQ(log.seen, want);

    log.seen.clear();
    EXPECT_EQ(comDirWalk(t.c_str(), &log.flag, stopAtFirst), 0);
    EXPECT_EQ(log.seen.size(), 1u);

    log.seen.clear();
    log.flag = 5;
    EXPECT_EQ(comDirWalk64(path("missing").c_str(), &log.flag, record), 0);
    EXPECT_EQ(log.flag, 5);
    EXPECT_EQ(comDirWalk(path("tree/a.txt").c_str(), &log.flag, record), 0);
    EXPECT_TRUE(log.seen.empty());
    g_walk = nullptr;
}

// The callback reassigns the string the walk was given: the walk still
// meets every sibling directory.
std::string g_walkedDir;
std::vector<std::string> g_walkedSubs;
int reassignWalked(const char* name, void*, int isFile)
{
    if (!isFile)
        g_walkedSubs.push_back(name);
    g_walkedDir.assign(2000, 'x');
    return 0;
}

TEST_F(ComDirTest, WalkSurvivesCallbackChangingItsDirectory)
{
    std::vector<std::string> want;
    for (const char* d : {"s1", "s2", "s3", "s4"}) {
        want.push_back(path(d));
        ASSERT_EQ(mkdir(want.back().c_str(), 0755), 0);
    }
    g_walkedDir = m_dir;
    g_walkedDir.shrink_to_fit();
    EXPECT_EQ(comDirWalk64(g_walkedDir.c_str(), nullptr, reassignWalked), 0);
    std::sort(g_walkedSubs.begin(), g_walkedSubs.end());
    EXPECT_EQ(g_walkedSubs, want);
}

TEST_F(ComDirTest, SizesAndQueries)
{
    std::string t = makeTree();
    EXPECT_EQ(comDirSize((t + "/a.txt").c_str(), nullptr, 0), 3.0);
    EXPECT_EQ(comDirSize(path("missing").c_str(), nullptr, 0), 0.0);
    // files only, never the 5000 bytes behind the links
    struct stat l1, l2;
    ASSERT_EQ(lstat((t + "/out").c_str(), &l1), 0);
    ASSERT_EQ(lstat((t + "/sub/plink").c_str(), &l2), 0);
    double links = static_cast<double>(l1.st_size + l2.st_size);
    struct stat deep;
    ASSERT_EQ(stat((t + "/sub/deep").c_str(), &deep), 0);
    // sub-directories are summed with their own sizes counted inside
    EXPECT_EQ(comDirSize(t.c_str(), nullptr, 0), 3 + 4 + 2 + links + deep.st_size);
    const char* skip[] = {"sub", nullptr};
    EXPECT_EQ(comDirSize(t.c_str(), skip, 0), 3 + static_cast<double>(l1.st_size));

    EXPECT_EQ(comFileSize((t + "/sub/b.txt").c_str()), 4.0);
    EXPECT_EQ(comFileSize(path("missing").c_str()), -1.0);
    EXPECT_EQ(comFileSizeReadable(nullptr), -9.0);
    EXPECT_EQ(comFileExists((t + "/a.txt").c_str()), 1);
    EXPECT_EQ(comFileExists(path("missing").c_str()), 0);
    EXPECT_EQ(comFileReadable((t + "/a.txt").c_str()), 1);
    EXPECT_EQ(comIsDir(t.c_str()), 1);
    EXPECT_EQ(comIsDir((t + "/a.txt").c_str()), 0);

    struct utimbuf ut = {1700000000, 1704067199};  // 2023-12-31 23:59:59 UTC
    ASSERT_EQ(utime((t + "/a.txt").c_str(), &ut), 0);
    char date[15];
    EXPECT_EQ(comFileCreateDate((t + "/a.txt").c_str(), date), 0);
    EXPECT_STREQ(date, "20231231235959");
    EXPECT_EQ(comFileCreateDate(path("missing").c_str(), date), -1);
    EXPECT_EQ(comFileCreateDate(nullptr, date), -9);

    double total = 0, avail = 0;
    EXPECT_EQ(comDiskSpace(m_dir.c_str(), &total, &avail), 0);
    EXPECT_GT(total, 0.0);
    char tmp[8];
    comTempDir(tmp);
    EXPECT_STREQ(tmp, "/tmp");
}

TEST_F(ComDirTest, FindFile)
{
    std::string t = makeTree();
    writeFile(t + "/report.csv", "x");
    char found[COM_PATH_SIZE], name[256];
    EXPECT_EQ(comDirFindFile(t.c_str(), ".csv", found, name, nullptr), 1);
    EXPECT_EQ(std::string(found), t + "/report.csv");
    EXPECT_STREQ(name, "report.csv");
    EXPECT_EQ(comDirFindFile(t.c_str(), "sub", found, name, nullptr), 0);  // directories skipped
    EXPECT_EQ(comDirFindFile(t.c_str(), ".csv", found, name,
                             [](const char* n) { return std::strcmp(n, "report.csv") == 0 ? 1 : 0; }),
              0);
    EXPECT_EQ(comDirFindFile(path("missing").c_str(), "x", found, name, nullptr), 0);
}

TEST_F(ComDirTest, CopyTree)
{
    std::string t = makeTree();
    chmod((t + "/sub/b.txt").c_str(), 0600);
    struct utimbuf ut = {1600000000, 1600000000};
    utime((t + "/sub/b.txt").c_str(), &ut);
    ASSERT_EQ(mkdir((t + "/empty").c_str(), 0700), 0);
    std::string d = path("copy");
    ASSERT_EQ(comDirCreateAll((d + "/stale/").c_str(), 0), 0);

    EXPECT_EQ(comDirCopy(t.c_str(), d.c_str(), nullptr, 0, 0, 0, 0), 0);
    EXPECT_EQ(readFile(d + "/a.txt"), "aaa");
    EXPECT_EQ(readFile(d + "/sub/deep/c.txt"), "cc");
    EXPECT_FALSE(exists(d + "/stale"));
    EXPECT_FALSE(exists(d + "/out"));  // links are not copied through
    EXPECT_FALSE(exists(d + "/sub/plink"));
    EXPECT_TRUE(comIsDir((d + "/empty").c_str()));
    struct stat st;
    ASSERT_EQ(stat((d + "/sub/b.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(st.st_mtime, 1600000000);

    // with keep-links the links are recreated as links
    std::string d2 = path("copy2");
    EXPECT_EQ(comDirCopy(t.c_str(), d2.c_str(), nullptr, 0, 0, 1, 0), 0);
    ASSERT_EQ(lstat((d2 + "/out").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    // a copy into itself is refused and deletes nothing
    EXPECT_EQ(comDirCopy(t.c_str(), (t + "/sub").c_str(), nullptr, 0, 0, 0, 0), -1);
    EXPECT_EQ(comDirCopy(t.c_str(), t.c_str(), nullptr, 0, 0, 0, 0), -1);
    EXPECT_EQ(readFile(t + "/sub/b.txt"), "bbbb");

    // a single file, and a missing source
    EXPECT_EQ(comDirCopy((t + "/a.txt").c_str(), path("one").c_str(), nullptr, 0, 0, 0, 0), 0);
    EXPECT_EQ(readFile(path("one")), "aaa");
    EXPECT_EQ(comDirCopy(path("missing").c_str(), path("none").c_str(), nullptr, 0, 0, 0, 0), 0);
    EXPECT_TRUE(exists(m_outside + "/precious"));
}

TEST_F(ComDirTest, DeleteMatch)
{
    std::string d = path("m");
    ASSERT_EQ(comDirCreateAll((d + "/tmp_dir/").c_str(), 0), 0);
    for (const char* n : {"tmp_1.log", "keep.log", "data.csv", "noext", "x.tar.gz"})
        writeFile(d + "/" + n, "x");
    EXPECT_EQ(comDirDeleteMatch(d.c_str(), "tmp_", nullptr), 0);
    EXPECT_FALSE(exists(d + "/tmp_1.log"));
    EXPECT_FALSE(exists(d + "/tmp_dir"));
    EXPECT_TRUE(exists(d + "/keep.log"));
    EXPECT_EQ(comDirDeleteMatch(d.c_str(), nullptr, "tar"), 0);
    EXPECT_FALSE(exists(d + "/x.tar.gz"));
    EXPECT_EQ(comDirDeleteMatch(d.c_str(), nullptr, "log"), 0);
    EXPECT_FALSE(exists(d + "/keep.log"));
    EXPECT_TRUE(exists(d + "/noext"));  // a name without '.' has no extension
    EXPECT_TRUE(exists(d + "/data.csv"));
    EXPECT_EQ(comDirDeleteMatch(d.c_str(), nullptr, nullptr), 0);
    EXPECT_FALSE(exists(d + "/noext"));
    EXPECT_EQ(comDirDeleteMatch(path("missing").c_str(), nullptr, nullptr), 0);
}

TEST_F(ComDirTest, UniqueNames)
{
    writeFile(path("up.000"), "");
    writeFile(path("up.001"), "");
    comFileTemp temp;
    char name[256];
    std::snprintf(name, sizeof name, "%s", path("up.000").c_str());
    EXPECT_EQ(temp.makeUniqueName(name), 0);
    EXPECT_EQ(std::string(name), path("up.002"));
    writeFile(name, "");
    EXPECT_EQ(temp.makeUniqueName(name), 0);
    EXPECT_EQ(std::string(name), path("up.003"));

    // A link counts as taken, also one that leads nowhere.
    ASSERT_EQ(symlink(path("gone/x").c_str(), path("ln.000").c_str()), 0);
    comFileTemp links;
    std::snprintf(name, sizeof name, "%s", path("ln.000").c_str());
    EXPECT_EQ(links.makeUniqueName(name), 0);
    EXPECT_EQ(std::string(name), path("ln.001"));

    char shortName[] = "123";  // too short to hold ".NNN"
    EXPECT_EQ(temp.makeUniqueName(shortName), -1);
    EXPECT_STREQ(shortName, "123");
    char noDigits[] = "file.txt";
    EXPECT_EQ(temp.makeUniqueName(noDigits), -1);
    EXPECT_EQ(temp.makeUniqueName(nullptr), -1);

    comFileTemp full;
    std::string all = path("all.000");
    writeFile(all, "");
    for (int i = 1; i <= 100; ++i) {
        char n[16];
        std::snprintf(n, sizeof n, "all.%03d", i);
        writeFile(path(n), "");
    }
    std::snprintf(name, sizeof name, "%s", all.c_str());
    EXPECT_EQ(full.makeUniqueName(name), -1);
}

TEST_F(ComDirTest, MkTemp)
{
    char out[1024];
    ASSERT_EQ(comMkTemp("up", m_dir.c_str(), "work", out, sizeof out), 0);
    std::string p = out;
    EXPECT_EQ(p.rfind(path("work/up"), 0), 0u);
    EXPECT_EQ(p.size(), path("work/up").size() + 6);
    EXPECT_TRUE(exists(p));

    EXPECT_EQ(comMkTemp(nullptr, m_dir.c_str(), "work", out, sizeof out), -9);
    EXPECT_EQ(comMkTemp("up", m_dir.c_str(), nullptr, out, sizeof out), -9);
    EXPECT_EQ(comMkTemp("toolong", m_dir.c_str(), "work", out, sizeof out), -9);
    EXPECT_EQ(comMkTemp("up", m_dir.c_str(), "a/b", out, sizeof out), -9);
    EXPECT_EQ(comMkTemp("up", m_dir.c_str(), "a\\b", out, sizeof out), -9);
    EXPECT_EQ(comMkTemp("up", path("missing").c_str(), "work", out, sizeof out), -1);
    EXPECT_EQ(comMkTemp("up", m_dir.c_str(), "work", out, 10), -5);
    std::string longSub(1020, 's');
    EXPECT_EQ(comMkTemp("up", m_dir.c_str(), longSub.c_str(), out, sizeof out), -1);
}
