// Child processes: exit status, redirection, handles, stopping, user switch.
#include "comproc.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream(path) << text;
}

// Polls cond every 10 ms for at most 5 seconds.
template <class F>
bool within5s(F cond)
{
    for (int i = 0; i < 500; ++i) {
        if (cond())
            return true;
        usleep(10000);
    }
    return cond();
}

// Gone, or a zombie that only its new parent can reap.
bool ended(int pid)
{
    if (comProcessExists(pid) != 0)
        return true;
    std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    size_t p = stat.rfind(')');
    return p != std::string::npos && p + 2 < stat.size() && stat[p + 2] == 'Z';
}

class Proc : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/comprocXXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        dir = tmpl;
        chmod(tmpl, 0777);
    }
    void TearDown() override
    {
        std::string cmd = "rm -rf '" + dir + "'";
        ASSERT_EQ(0, system(cmd.c_str()));
    }
    std::string path(const char* name) const { return dir + "/" + name; }
    std::string dir;
};

struct Argv {
    explicit Argv(std::initializer_list<std::string> a) : args(a)
    {
        for (std::string& s : args)
            ptrs.push_back(&s[0]);
        ptrs.push_back(nullptr);
    }
    char* const* get() { return ptrs.data(); }
    std::vector<std::string> args;
    std::vector<char*> ptrs;
};

} // namespace

TEST_F(Proc, WaitStatusAndRedirection)
{
    const std::string out = path("out.log"), err = path("err.log");
    writeFile(out, "before\n");
    Argv both({"sh", "-c", "echo out; echo err >&2; cat; exit 3"});
    int status = -1, e = -1;
    EXPECT_EQ(-2, comSpawnSimple(both.get(), out.c_str(), 1, &status, &e, err.c_str(), nullptr,
                                 nullptr, 0, 0));
    EXPECT_EQ(3, status);
    EXPECT_EQ("before\nout\n", readFile(out));  // appended; standard input was empty
    EXPECT_EQ("err\n", readFile(err));

    const std::string joined = path("joined.log");
    EXPECT_EQ(0, comSpawnSimple(both.get() /* exit 3 */, joined.c_str(), 0, nullptr, nullptr,
                                nullptr, nullptr, nullptr, 0, 0));
    EXPECT_TRUE(within5s([&] { return readFile(joined) == "out\nerr\n"; })) << readFile(joined);

    Argv missing({"/nonexistent/program"});
    EXPECT_EQ(-2, comSpawnSimple(missing.get(), out.c_str(), 1, &status, &e, err.c_str(), nullptr,
                                 nullptr, 0, 0));
    EXPECT_EQ(ENOENT, status);
    EXPECT_EQ("err\nerror[2]\n", readFile(err));
}

TEST_F(Proc, NoOutputWrittenTwiceNoDescriptorLeaked)
{
    const std::string buffered = path("buffered.txt"), out = path("fds.txt");
    FILE* f = fopen(buffered.c_str(), "w");
    ASSERT_NE(nullptr, f);
    fputs("once", f);  // still in the stdio buffer
    ASSERT_EQ(50, dup2(fileno(f), 50));
    const std::string script = "for n in 50 " + std::to_string(fileno(f)) +
                               "; do test -e /proc/$$/fd/$n && echo leak $n; done; exit 0";
    Argv probe({"sh", "-c", script});
    Argv missing({"/nonexistent/program"});
    int status = 0;
    EXPECT_EQ(0, comSpawnSimple(probe.get(), out.c_str(), 1, &status, nullptr, nullptr, nullptr,
                                nullptr, 0, 0));
    EXPECT_EQ(-2, comSpawnSimple(missing.get(), out.c_str(), 1, &status, nullptr, nullptr, nullptr,
                                 nullptr, 0, 0));
    close(50);
    fclose(f);
    EXPECT_EQ("", readFile(out));
    EXPECT_EQ("once", readFile(buffered));
}

TEST_F(Proc, HandlesAndDetachedChildren)
{
    Argv quick({"sh", "-c", "exit 7"});
    ComChildHandle* h = nullptr;
    int size = 0, status = -1, e = 0;
    EXPECT_EQ(-9, comSpawnSimple(quick.get(), nullptr, 1, nullptr, nullptr, nullptr, &h, &size, 0, 0));
    for (const char* bad : {"nobody", "12x", "", "-1", "4294967296"})
        EXPECT_EQ(-9, comSpawn(quick.get(), nullptr, 1, nullptr, nullptr, nullptr, nullptr, nullptr,
                               0, bad, nullptr, 0)) << bad;
    EXPECT_EQ(-9, comSpawn(quick.get(), nullptr, 1, nullptr, nullptr, nullptr, nullptr, nullptr, 0,
                           nullptr, "root", 0));

    const std::string out = path("q.log");
    ASSERT_EQ(0, comSpawnSimple(quick.get(), out.c_str(), 0, nullptr, nullptr, nullptr, &h, &size,
                                0, 0));
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(static_cast<int>(sizeof(ComChildHandle)), size);
    // Only the child-exit handler reaps it here; its status is not lost.
    int pid = *h;
    EXPECT_TRUE(within5s([&] { return comProcessExists(pid) == -1; }));
    EXPECT_EQ(-1, comChildRunning(h, &status));
    EXPECT_EQ(7, status);
    status = 0;
    EXPECT_EQ(-2, comWaitChild(h, &status, &e));
    EXPECT_EQ(7, status);
    EXPECT_EQ(0, comStopChild(h, &e, 1));
    EXPECT_EQ(-9, comStopChild(nullptr, &e, 1));
    EXPECT_EQ(-9, comWaitChild(nullptr, &status, &e));
    EXPECT_EQ(-9, comChildRunning(nullptr, &status));

    // Neither handle nor wait: nothing of ours is left to reap.
    const std::string late = path("late.log");
    Argv slow({"sh", "-c", "sleep 0.2; echo done"});
    EXPECT_EQ(0, comSpawnSimple(slow.get(), late.c_str(), 0, nullptr, nullptr, nullptr, nullptr,
                                nullptr, 0, 0));
    errno = 0;
    EXPECT_EQ(-1, waitpid(-1, nullptr, WNOHANG));
    EXPECT_EQ(ECHILD, errno);
    EXPECT_TRUE(within5s([&] { return readFile(late) == "done\n"; }));
}

TEST_F(Proc, StopChildAndItsOwnGroupOnly)
{
    Argv sleeper({"sleep", "30"});
    ComChildHandle* h = nullptr;
    int status = 0, e = 0;
    ASSERT_EQ(0, comSpawnSimple(sleeper.get(), "/dev/null", 0, nullptr, nullptr, nullptr, &h,
                                nullptr, 0, 0));
    int pid = *h;
    EXPECT_EQ(0, comChildRunning(h, &status));
    EXPECT_EQ(0, comProcessExists(pid));
    EXPECT_EQ(0, comStopChild(h, &e, 1));
    EXPECT_EQ(-1, comProcessExists(pid));

    // New session: mode 2 stops the child's whole group.
    const std::string pidFile = path("pid");
    Argv group({"sh", "-c", "sleep 30 & echo $! > " + pidFile + "; wait"});
    ASSERT_EQ(0, comSpawnSimple(group.get(), "/dev/null", 0, nullptr, nullptr, nullptr, &h, nullptr,
                                0, 1));
    pid = *h;
    ASSERT_TRUE(within5s([&] { return readFile(pidFile).find('\n') != std::string::npos; }));
    int grandchild = std::atoi(readFile(pidFile).c_str());
    ASSERT_GT(grandchild, 0);
    EXPECT_EQ(0, comStopChild(h, &e, 2));
    EXPECT_EQ(-1, comProcessExists(pid));
    EXPECT_TRUE(within5s([&] { return ended(grandchild); }));

    // Same session: mode 2 must stop only the child, never the caller. The
    // caller here is a helper in a group of its own, so a fault cannot
    // reach the test program.
    pid_t helper = fork();
    ASSERT_GE(helper, 0);
    if (helper == 0) {
        setpgid(0, 0);
        ComChildHandle* c = nullptr;
        if (comSpawnSimple(sleeper.get(), "/dev/null", 0, nullptr, nullptr, nullptr, &c, nullptr, 0,
                           0) != 0)
            _exit(2);
        int child = *c;
        int r = comStopChild(c, nullptr, 2);
        _exit(r == 0 && comProcessExists(child) == -1 ? 0 : 3);
    }
    int st = 0;
    bool done = within5s([&] { return waitpid(helper, &st, WNOHANG) == helper; });
    if (!done) {
        kill(helper, SIGKILL);
        waitpid(helper, &st, 0);
    }
    ASSERT_TRUE(done);
    EXPECT_TRUE(WIFEXITED(st)) << "helper ended by signal " << WTERMSIG(st);
    EXPECT_EQ(0, WEXITSTATUS(st));
}

TEST_F(Proc, SwitchesUserAndGroupWhenRoot)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root";
    const std::string out = path("id.log");
    Argv id({"sh", "-c", "id -u; id -g; id -G"});
    int status = -1;
    EXPECT_EQ(0, comSpawn(id.get(), out.c_str(), 1, &status, nullptr, nullptr, nullptr, nullptr, 0,
                          "65534", "65534", 0));
    EXPECT_EQ("65534\n65534\n65534\n", readFile(out));
}
