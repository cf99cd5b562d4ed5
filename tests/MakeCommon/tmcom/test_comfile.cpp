#include "comfile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

class ComFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/comfile_test_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
    }
    void TearDown() override
    {
        comSetDebugLogPath(nullptr, nullptr);
        comClearTraceHook();
        comLogCloseAll();
        comDirDelete(m_dir.c_str(), nullptr, 0, 0);
    }
    std::string path(const std::string& name) const { return m_dir + "/" + name; }
    std::string m_dir;
};

std::string readFile(const std::string& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::string& p, const std::string& text)
{
    std::ofstream(p, std::ios::binary) << text;
}

bool exists(const std::string& p)
{
    struct stat st;
    return lstat(p.c_str(), &st) == 0;
}

// Forks a child that takes a classic fcntl lock of the given type on path,
// reports on a pipe and holds it until the parent writes a byte.
class LockHolder {
public:
    LockHolder(const std::string& p, short type)
    {
        int up[2], down[2];
        if (pipe(up) != 0 || pipe(down) != 0) std::abort();
        m_pid = fork();
        if (m_pid == 0) {
            close(up[0]);
            close(down[1]);
            int fd = open(p.c_str(), O_RDWR | O_CREAT, 0644);
            struct flock fl;
            std::memset(&fl, 0, sizeof fl);
            fl.l_type = type;
            fl.l_whence = SEEK_SET;
            char ok = (fd >= 0 && fcntl(fd, F_SETLK, &fl) == 0) ? '1' : '0';
            if (write(up[1], &ok, 1) != 1) _exit(2);
            char c;
            if (read(down[0], &c, 1) < 0) _exit(2);
            _exit(0);
        }
        close(up[1]);
        close(down[0]);
        m_down = down[1];
        char c = '0';
        if (read(up[0], &c, 1) != 1) c = '0';
        close(up[0]);
        m_locked = c == '1';
    }
    ~LockHolder()
    {
        char c = 'x';
        if (write(m_down, &c, 1) != 1) {
        }
        close(m_down);
        int st;
        waitpid(m_pid, &st, 0);
    }
    bool locked() const { return m_locked; }

private:
    pid_t m_pid;
    int m_down;
    bool m_locked = false;
};

// 1 when a child process can take a classic fcntl lock of the given type.
bool childCanLock(const std::string& p, short type)
{
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(p.c_str(), O_RDWR);
        struct flock fl;
        std::memset(&fl, 0, sizeof fl);
        fl.l_type = type;
        fl.l_whence = SEEK_SET;
        _exit(fd >= 0 && fcntl(fd, F_SETLK, &fl) == 0 ? 0 : 1);
    }
    int st = 0;
    waitpid(pid, &st, 0);
    return WIFEXITED(st) && WEXITSTATUS(st) == 0;
}

std::vector<std::string> g_hookLines;
void captureHook(const char* fmt, ...)
{
    char buf[2048];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    g_hookLines.push_back(buf);
}

}  // namespace

TEST_F(ComFileTest, DebugLogOffWritesNothing)
{
    comSetDebugLogPath(nullptr, nullptr);
    EXPECT_EQ(comDebugLog("%s", "x\n"), 1);
    EXPECT_EQ(comDebugLogRaw("x"), 0);
    char old[COM_OLDPATH_SIZE] = "junk";
    comSetDebugLogPath(path("log").c_str(), old);
    EXPECT_STREQ(old, "");
    comSetDebugLogPath("", nullptr);
    EXPECT_EQ(comDebugLog("x"), 1);
    EXPECT_FALSE(exists(path("log")));
}

TEST_F(ComFileTest, RunLogLineSequence)
{
    std::string log = path("export.log");
    char saved[COM_OLDPATH_SIZE];
    ASSERT_EQ(comSetDebugLogPath(log.c_str(), saved), 0);
    EXPECT_EQ(comDebugLog("%s", "table 1 exported\n"), 0);
    comSetDebugLogPath(saved, nullptr);
    EXPECT_EQ(comDebugLog("%s", "dropped\n"), 1);
    std::string text = readFile(log);
    EXPECT_TRUE(std::regex_match(
        text, std::regex(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\.\d{3} table 1 exported\n)")))
        << text;

    // a long message is cut to 8190 bytes
    comSetDebugLogPath(log.c_str(), nullptr);
    std::string big(9000, 'a');
    comDebugLog("%s", big.c_str());
    text = readFile(log);
    size_t second = text.find('\n') + 1;
    EXPECT_EQ(text.size() - second, 24u + COM_DEBUGLOG_TEXT_MAX);

    // the saved path is cut to the caller's buffer, never past it
    char tiny[8];
    comSetDebugLogPath(log.c_str(), tiny, sizeof tiny);
    EXPECT_EQ(std::strlen(tiny), 7u);
    std::string tooLong(COM_PATH_SIZE, 'p');
    EXPECT_EQ(comSetDebugLogPath(tooLong.c_str(), nullptr), -1);
}

TEST_F(ComFileTest, ConcurrentLinesNeverInterleave)
{
    std::string log = path("run.log");
    comSetDebugLogPath(log.c_str(), nullptr);
    const int kProcs = 4, kLines = 200;
    std::vector<pid_t> kids;
    for (int p = 0; p < kProcs; ++p) {
        pid_t pid = fork();
        if (pid == 0) {
            std::string body(300, static_cast<char>('a' + p));
            for (int i = 0; i < kLines; ++i) comDebugLog("%s\n", body.c_str());
            _exit(0);
        }
        kids.push_back(pid);
    }
    for (pid_t k : kids) waitpid(k, nullptr, 0);
    std::istringstream in(readFile(log));
    std::string line;
    int n = 0;
    std::regex shape(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\.\d{3} ([a-d])\1{299})");
    while (std::getline(in, line)) {
        ++n;
        ASSERT_TRUE(std::regex_match(line, shape)) << line.substr(0, 60);
    }
    EXPECT_EQ(n, kProcs * kLines);
}

TEST_F(ComFileTest, NumberedLogAndTraceHook)
{
    std::string log = path("lock.log");
    ASSERT_EQ(comLogSetPath(log.c_str(), 1), 0);
    EXPECT_EQ(comLogSetPath(nullptr, 2), -99);
    comLogWrite(1, "%s %d\n", "hello", 5);
    comLogWrite(7, "unregistered\n");
    EXPECT_TRUE(std::regex_match(readFile(log),
                                 std::regex(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d hello 5\n)")));

    g_hookLines.clear();
    comSetTraceHook(captureHook);
    comSetDebugLogPath(path("debug.log").c_str(), nullptr);
    // a failure with a '%' in the path: the hook gets it as data
    std::string bad = path("no%sdir/x/y");
    writeFile(path("no%sdir"), "file, not a directory");
    errno = 0;
    EXPECT_EQ(comDirCreateAll(bad.c_str(), 0), -1);
    EXPECT_EQ(errno, ENOTDIR);  // kept across the logging
    ASSERT_FALSE(g_hookLines.empty());
    EXPECT_NE(g_hookLines[0].find("no%sdir"), std::string::npos) << g_hookLines[0];
    EXPECT_EQ(g_hookLines[0].find("\r\n"), std::string::npos);
    EXPECT_EQ(g_hookLines[0].rfind("[", 0), 0u);
    EXPECT_NE(readFile(path("debug.log")).find("no%sdir"), std::string::npos);
}

TEST_F(ComFileTest, DirCreateAll)
{
    ASSERT_EQ(comDirCreateAll(path("a/b/c/file").c_str(), 0), 0);
    EXPECT_TRUE(comIsDir(path("a/b/c").c_str()));
    errno = 0;
    EXPECT_EQ(comDirCreateAll(path("a/b/c/file").c_str(), 0), -1);
    EXPECT_EQ(errno, EEXIST);
    errno = 0;
    EXPECT_EQ(comDirCreateAll("/toplevel", 0), -1);  // the root exists
    EXPECT_EQ(errno, EEXIST);
    errno = 0;
    EXPECT_EQ(comDirCreateAll("plainname", 0), -1);  // the current directory exists
    EXPECT_EQ(errno, EEXIST);
    errno = 0;
    EXPECT_EQ(comDirCreateAll("", 0), -1);
    EXPECT_EQ(errno, ENOENT);
    std::string tooLong = path(std::string(COM_PATH_SIZE, 'd'));
    EXPECT_EQ(comDirCreateAll(tooLong.c_str(), 0), -1);
    EXPECT_EQ(errno, ENAMETOOLONG);
}

TEST_F(ComFileTest, LockOpenRules)
{
    errno = 0;
    EXPECT_LT(comLockFileRead(path("missing").c_str(), 1, 0, 0), 0);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(exists(path("missing")));

    int fd = comLockFileWrite(path("x/y/status.lk").c_str(), 1, 0);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(childCanLock(path("x/y/status.lk"), F_RDLCK));
    close(fd);
    EXPECT_TRUE(childCanLock(path("x/y/status.lk"), F_WRLCK));

    fd = comLockFileRead(path("x/y/status.lk").c_str(), 1, 0, 0);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(childCanLock(path("x/y/status.lk"), F_RDLCK));
    EXPECT_FALSE(childCanLock(path("x/y/status.lk"), F_WRLCK));
    close(fd);

    fd = comLockFileWriteShare(path("s/t/share").c_str(), 1, 0, O_RDWR | O_CREAT, 0);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(childCanLock(path("s/t/share"), F_RDLCK));
    close(fd);
}

TEST_F(ComFileTest, LockSurvivesCloseOfOtherDescriptor)
{
    std::string p = path("keep.lk");
    int fd = comLockFileWrite(p.c_str(), 1, 0);
    ASSERT_GE(fd, 0);
    int other = open(p.c_str(), O_RDONLY);
    ASSERT_GE(other, 0);
    close(other);
    EXPECT_FALSE(childCanLock(p, F_WRLCK));
    close(fd);
}

TEST_F(ComFileTest, LockContentionRetriesThenFails)
{
    std::string p = path("busy.lk");
    std::string rec = path("lockfail.log");
    comLogSetPath(rec.c_str(), 1);
    LockHolder holder(p, F_WRLCK);
    ASSERT_TRUE(holder.locked());

    auto t0 = std::chrono::steady_clock::now();
    errno = 0;
    EXPECT_EQ(comLockFileWrite(p.c_str(), 2, 1), -1);
    EXPECT_EQ(errno, EACCES);
    double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(secs, 0.9);
    EXPECT_LT(secs, 1.9);  // no sleep after the last try

    errno = 0;
    EXPECT_EQ(comLockFileRead(p.c_str(), 3, 0, 0), -1);
    EXPECT_EQ(errno, EACCES);
    EXPECT_GE(comLockFileRead(p.c_str(), 3, 0, 1), 0);  // no-lock flag
    EXPECT_EQ(comLockFileWrite(p.c_str(), 0, 0), -1);   // no tries at all

    std::string text = readFile(rec);
    std::regex record(
        R"(RETRY\[3\] SLEEPTIME\[0\] LOCKMODE\[0\] ERRNO\[\d+\]\n {20}FILE\[[^\]]*busy\.lk\]\n)");
    EXPECT_TRUE(std::regex_search(text, record)) << text;
    EXPECT_NE(text.find("RETRY[2] SLEEPTIME[1] LOCKMODE[1]"), std::string::npos);
}

TEST_F(ComFileTest, FileCopy)
{
    writeFile(path("src"), std::string(10000, 'q'));
    EXPECT_EQ(comFileCopy(path("src").c_str(), path("dst").c_str(), 0), 1);
    EXPECT_EQ(readFile(path("dst")), std::string(10000, 'q'));

    writeFile(path("dst"), "keep");
    EXPECT_EQ(comFileCopy(path("src").c_str(), path("dst").c_str(), 1), 0);
    EXPECT_EQ(readFile(path("dst")), "keep");

    // onto itself, under another name: refused and left whole
    EXPECT_EQ(comFileCopy(path("src").c_str(), (m_dir + "/./src").c_str(), 0), 0);
    EXPECT_EQ(readFile(path("src")).size(), 10000u);
    ASSERT_EQ(link(path("src").c_str(), path("hard").c_str()), 0);
    EXPECT_EQ(comFileCopy(path("hard").c_str(), path("src").c_str(), 0), 0);
    EXPECT_EQ(readFile(path("src")).size(), 10000u);

    EXPECT_EQ(comFileCopy(path("nope").c_str(), path("dst2").c_str(), 0), 0);
    EXPECT_EQ(comFileCopy(path("src").c_str(), path("nodir/dst").c_str(), 0), 0);
}

TEST_F(ComFileTest, FileCopyReportsWriteFailure)
{
    writeFile(path("src"), std::string(10000, 'w'));
    pid_t pid = fork();
    if (pid == 0) {
        // a file-size limit makes the writes fail part way
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit rl = {2000, 2000};
        setrlimit(RLIMIT_FSIZE, &rl);
        int r = comFileCopy(path("src").c_str(), path("dst").c_str(), 0);
        _exit(r == 0 && access(path("dst").c_str(), F_OK) != 0 ? 0 : 1);
    }
    int st = 0;
    waitpid(pid, &st, 0);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
    EXPECT_EQ(readFile(path("src")).size(), 10000u);

    char buf[4] = {'a', 'b', 'c', 'd'};
    int fd = open("/dev/full", O_WRONLY);
    if (fd >= 0) {
        EXPECT_EQ(comFileWrite(fd, buf, sizeof buf), -1);
        close(fd);
    }
}

TEST_F(ComFileTest, BackUpKeepsSourceLocked)
{
    writeFile(path("settings"), "a=1\nb=2\n");
    writeFile(path("settings.bk"), "stale and longer than the source");
    int fd = comFileBackUp(path("settings").c_str(), path("settings.bk").c_str(), 1, 0, 0, 0);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(readFile(path("settings.bk")), "a=1\nb=2\n");
    EXPECT_EQ(lseek(fd, 0, SEEK_CUR), 0);
    EXPECT_FALSE(childCanLock(path("settings"), F_RDLCK));
    close(fd);

    // a link planted under the backup name is replaced, its target untouched
    writeFile(path("victim"), "victim");
    unlink(path("settings.bk").c_str());
    ASSERT_EQ(symlink(path("victim").c_str(), path("settings.bk").c_str()), 0);
    fd = comFileBackUp(path("settings").c_str(), path("settings.bk").c_str(), 1, 0, 1, O_RDWR);
    ASSERT_GE(fd, 0);
    close(fd);
    EXPECT_EQ(readFile(path("victim")), "victim");
    EXPECT_EQ(readFile(path("settings.bk")), "a=1\nb=2\n");
}

TEST_F(ComFileTest, LinkLock)
{
    std::string lock = path("run.lock");
    EXPECT_EQ(comLockFileLink(lock.c_str()), 0);
    EXPECT_TRUE(exists(lock));
    EXPECT_EQ(comLockFileLink(lock.c_str()), -1);
    unlink(lock.c_str());
    EXPECT_EQ(comLockFileLink(lock.c_str()), 0);
}
