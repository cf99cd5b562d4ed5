#include "nufileio.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class NUFileIOTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/nufileio-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        dir = tmpl;
        path = dir + "/data";
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    void put(const std::string& text, const std::string& p = "")
    {
        std::ofstream f(p.empty() ? path : p, std::ios::binary);
        f << text;
    }
    std::string get(const std::string& p = "")
    {
        std::ifstream f(p.empty() ? path : p, std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }

    std::string dir;
    std::string path;
};

// Records every callback, including the section the reader passes along.
class Recorder : public NUioObjList {
public:
    int sectionLine(char* line, char* section) override
    {
        offered.push_back(line);
        if (consumeSections && line[0] == '[') {
            std::string s(line + 1);
            s = s.substr(0, s.find(']'));
            snprintf(section, NUIO_SECTION_SIZE, "%s", s.c_str());
            return 1;
        }
        return 0;
    }
    int addEntry(const char* name, const char* value, const char* section) override
    {
        sections.push_back(section ? section : "(null)");
        return NUioObjList::addEntry(name, value, section);
    }
    bool consumeSections = false;
    std::vector<std::string> offered;
    std::vector<std::string> sections;
};

} // namespace

TEST_F(NUFileIOTest, ParsesEntriesCommentsAndContinuations)
{
    put("a = 1 \n"
        "b=x\ty # note\n"
        "c=x # note\n"
        "# a=1\n"
        "x #a=1\n"
        "#\n"
        "[name]\n"
        "no separator line\n"
        "d=first\n"
        "\tsecond\n"
        "e=crlf\r\n"
        "f=\n"
        "\t\n"
        "g=h=i\n"
        "url=http://h/#frag\n");
    NUioObjList o;
    o.setPath(path.c_str());
    NUFileIO io;
    ASSERT_EQ(0, io.read(o));
    struct Want {
        const char* name;
        const char* value;
    } want[] = {
        {"a", "1"}, {"b", "x\ty"}, {"c", "x # note"}, {"d", "first\nsecond"},
        {"e", "crlf"}, {"f", "\n"}, {"g", "h=i"}, {"url", "http://h/#frag"},
    };
    ASSERT_EQ(static_cast<int>(sizeof want / sizeof want[0]), o.count());
    for (int i = 0; i < o.count(); i++) {
        char* n = nullptr;
        char* v = nullptr;
        ASSERT_EQ(0, o.getEntry(i, &n, &v, nullptr));
        EXPECT_STREQ(want[i].name, n);
        EXPECT_STREQ(want[i].value, v) << n;
    }
}

TEST_F(NUFileIOTest, KeepHashAndSeparator)
{
    put("b=x\ty # note\n");
    NUioObjList o;
    o.setPath(path.c_str());
    NUFileIO io;
    ASSERT_EQ(0, io.read(o, false, false, true));
    EXPECT_STREQ("x\ty # note", o.getValueText("b"));

    put("k,v\nm=n\n");
    NUioObjList o2;
    o2.setPath(path.c_str());
    EXPECT_EQ(',', io.setSeparator(','));
    ASSERT_EQ(0, io.read(o2));
    EXPECT_EQ(1, o2.count());
    EXPECT_STREQ("v", o2.getValueText("k"));
}

TEST_F(NUFileIOTest, ContinuationAtTopIsDroppedAndLongLinesStayWhole)
{
    // Blanks and a '#' fall on the old 2047-byte piece boundaries.
    std::string longValue = std::string(2045, 'v') + "   # x " + std::string(3000, 'w');
    put("\torphan\nlong=" + longValue + "\n" + "#" + std::string(3000, 'c') + "=x\n");
    NUioObjList o;
    o.setPath(path.c_str());
    NUFileIO io;
    ASSERT_EQ(0, io.read(o));
    ASSERT_EQ(1, o.count());
    EXPECT_EQ(longValue, o.getValueText("long"));
}

TEST_F(NUFileIOTest, SectionLinesAreOfferedAndHandedOn)
{
    put("[one]\na=1\n[two]\nb=2\n");
    Recorder plain;
    plain.setPath(path.c_str());
    NUFileIO io;
    ASSERT_EQ(0, io.read(plain));
    EXPECT_EQ(4u, plain.offered.size());
    EXPECT_EQ(2, plain.count());  // "[one]" has no separator: ignored
    EXPECT_EQ((std::vector<std::string>{"", ""}), plain.sections);

    Recorder sect;
    sect.consumeSections = true;
    sect.setPath(path.c_str());
    ASSERT_EQ(0, io.read(sect));
    EXPECT_EQ((std::vector<std::string>{"one", "two"}), sect.sections);
}

TEST_F(NUFileIOTest, WriteRoundTrip)
{
    NUioObjList o;
    o.setPath("data", dir.c_str());
    o.addEntry("d", "first\nsecond", nullptr);
    o.addEntry("crlf", "a\r\nb", nullptr);
    o.addEntry("tail", "x\n", nullptr);
    o.addEntry("empty", "", nullptr);
    NUFileIO io;
    ASSERT_EQ(0, io.write(o));
    EXPECT_EQ("d=first\n\tsecond\ncrlf=a\n\tb\ntail=x\n\t\nempty=\n", get());
    EXPECT_EQ(-1, io.getLockFd());
    EXPECT_FALSE(fs::exists(path + ".bk"));
    EXPECT_TRUE(fs::exists(path + ".lk"));

    NUioObjList back;
    back.setPath(path.c_str());
    ASSERT_EQ(0, io.read(back));
    EXPECT_STREQ("first\nsecond", back.getValueText("d"));
    EXPECT_STREQ("a\nb", back.getValueText("crlf"));
    EXPECT_STREQ("x\n", back.getValueText("tail"));

    back.set("status", "0");
    ASSERT_EQ(0, io.write(back));
    std::string text = get();
    EXPECT_EQ("status=0\n", text.substr(text.size() - 9));
}

TEST_F(NUFileIOTest, ResultCodes)
{
    NUFileIO io;
    NUioObjList none;
    EXPECT_EQ(-11, io.read(none));
    EXPECT_EQ(-11, io.write(none));
    EXPECT_EQ(-1, io.read(static_cast<NUioObj*>(nullptr)));
    EXPECT_EQ(-1, io.write(static_cast<NUioObj*>(nullptr)));

    NUioObjList o;
    o.setPath(path.c_str());
    EXPECT_EQ(-16, io.read(o));
    NUioObjList deep;
    deep.setPath((dir + "/nodir/data").c_str());
    EXPECT_EQ(-16, io.read(deep));

    // A file never written under a lock still reads.
    put("a=1\n");
    EXPECT_EQ(0, io.read(o));
    EXPECT_STREQ("1", o.getValueText("a"));

    NUioObjList other;
    other.setPath(path.c_str());
    other.addEntry("b", "2", nullptr);
    EXPECT_EQ(-18, io.write(other, false, true));
    EXPECT_EQ("a=1\n", get());
    EXPECT_EQ(-1, io.getLockFd());

    NUioObjList asDir;
    asDir.setPath(dir.c_str());
    EXPECT_EQ(-11, io.write(asDir));

    NUioObjList tooLong;
    tooLong.setPath((dir + "/" + std::string(1000, 'x')).c_str());
    EXPECT_EQ(-11, io.write(tooLong));

    // Missing directories are created by the write lock.
    EXPECT_EQ(0, io.write(deep));
    EXPECT_TRUE(fs::exists(dir + "/nodir/data"));

    EXPECT_EQ(0, io.remove(o, false, true));
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(fs::exists(path + ".lk"));
}

TEST_F(NUFileIOTest, LinksAreNotFollowed)
{
    put("old=1\n");
    std::string victim = dir + "/victim";
    put("precious\n", victim);
    ASSERT_EQ(0, symlink(victim.c_str(), (path + ".bk").c_str()));
    NUioObjList o;
    o.setPath(path.c_str());
    o.addEntry("new", "2", nullptr);
    NUFileIO io;
    EXPECT_EQ(-10, io.write(o));
    EXPECT_EQ("precious\n", get(victim));
    EXPECT_EQ("old=1\n", get());
    EXPECT_EQ(-1, io.getLockFd());

    ASSERT_EQ(0, unlink((path + ".bk").c_str()));
    ASSERT_EQ(0, unlink((path + ".lk").c_str()));
    std::string target = dir + "/created";
    ASSERT_EQ(0, symlink(target.c_str(), (path + ".lk").c_str()));
    EXPECT_EQ(-15, io.write(o));
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(-14, io.read(o));
    EXPECT_EQ("old=1\n", get());
}

TEST_F(NUFileIOTest, FailedWriteKeepsOldFile)
{
    put("old=1\n");
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // The .bk file cannot grow past 16 bytes: the write fails.
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit rl = {16, 16};
        setrlimit(RLIMIT_FSIZE, &rl);
        NUioObjList o;
        o.setPath(path.c_str());
        o.addEntry("new", std::string(100, 'n').c_str(), nullptr);
        NUFileIO io;
        int rc = io.write(o);
        _exit(rc == -12 && io.getLockFd() == -1 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
    EXPECT_EQ("old=1\n", get());
}

TEST_F(NUFileIOTest, KeptLockMakesSecondWriterFail)
{
    int ready[2], done[2];
    ASSERT_EQ(0, pipe(ready));
    ASSERT_EQ(0, pipe(done));
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(ready[0]);
        close(done[1]);
        NUioObjList o;
        o.setPath(path.c_str());
        o.addEntry("owner", "child", nullptr);
        NUFileIO io;
        char c = io.write(o, true, false) == 0 && io.getLockFd() >= 0 ? 'y' : 'n';
        if (::write(ready[1], &c, 1) != 1)
            _exit(2);
        if (::read(done[0], &c, 1) < 0)
            _exit(3);
        _exit(0);
    }
    close(ready[1]);
    close(done[0]);
    char c = 0;
    ASSERT_EQ(1, ::read(ready[0], &c, 1));
    EXPECT_EQ('y', c);

    NUioObjList o;
    o.setPath(path.c_str());
    o.addEntry("owner", "parent", nullptr);
    NUFileIO io;
    io.setRetryCount(2);
    io.setRetryWaitSeconds(1);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(-17, io.write(o, true, false));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
    EXPECT_EQ(-1, io.getLockFd());
    EXPECT_EQ("owner=child\n", get());

    // A no-wait reader still reads, and says the lock was busy.
    NUioObjList r;
    r.setPath(path.c_str());
    NUFileIO reader;
    EXPECT_EQ(-19, reader.read(r, true));
    EXPECT_STREQ("child", r.getValueText("owner"));
    EXPECT_EQ(1, reader.getRetryCount());

    ASSERT_EQ(1, ::write(done[1], "x", 1));
    int status = 0;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    close(ready[0]);
    close(done[1]);

    // The child's lock died with it.
    EXPECT_EQ(0, io.write(o, true, false));
    EXPECT_GE(io.getLockFd(), 0);
    EXPECT_EQ("owner=parent\n", get());
    io.unlock();
}

TEST_F(NUFileIOTest, ReadChangeWriteUnderOneLock)
{
    put("count=1\n");
    NUioObjList o;
    o.setPath(path.c_str());
    NUFileIO io;
    ASSERT_EQ(0, io.lock(o));
    int fd = io.getLockFd();
    ASSERT_GE(fd, 0);
    // The held write lock is kept, not traded for a read lock.
    ASSERT_EQ(0, io.read(o, false, true));
    EXPECT_EQ(fd, io.getLockFd());
    o.set("count", "2");
    ASSERT_EQ(0, io.write(o, true));
    EXPECT_EQ(fd, io.getLockFd());
    EXPECT_EQ("count=2\n", get());
    // A read without keep-lock leaves the caller's write lock alone too.
    ASSERT_EQ(0, io.read(o));
    EXPECT_EQ(fd, io.getLockFd());
    EXPECT_EQ(0, io.remove(o));
    EXPECT_EQ(-1, io.getLockFd());
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(fs::exists(path + ".lk"));
}
