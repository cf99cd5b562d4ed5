// Child processes: exit status, redirection, handles, stopping, user switch.
#include "comproc.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <grp.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::string readFile(const std::string& path)
{
    std::stringstream s;
    s << std::ifstream(path).rdbuf();
    return s.str();
}

// Polls cond every 10 ms for at most 5 seconds.
template <class F>
bool within5s(F cond)
{
    for (int i = 0; i < 500 && !cond(); ++i)
        usleep(10000);
    return cond();
}

// Gone, or a zombie left to its new parent.
bool ended(int pid)
{
    std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    size_t p = stat.rfind(')');
    return comProcessExists(pid) != 0 || (p != std::string::npos && stat.substr(p, 3) == ") Z");
}

struct Argv {
    Argv(std::initializer_list<std::string> a) : args(a)
    {
        for (std::string& s : args)
            ptrs.push_back(&s[0]);
        ptrs.push_back(nullptr);
    }
    char* const* get() { return ptrs.data(); }
    std::vector<std::string> args;
    std::vector<char*> ptrs;
};

class Proc : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/comprocXXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        dir = tmpl;
        chmod(tmpl, 0777);  // written by the switched user too
    }
    void TearDown() override { ASSERT_EQ(0, system(("rm -rf '" + dir + "'").c_str())); }
    // Spawns and waits without handle.
    int run(Argv& a, const std::string& out, const char* err, int* status)
    {
        return comSpawnSimple(a.get(), out.c_str(), 1, status, nullptr, err, nullptr, nullptr, 0, 0);
    }
    std::string dir;
};

} // namespace

TEST_F(Proc, StatusRedirectionAndInheritance)
{
    const std::string out = dir + "/out", err = dir + "/err";
    std::ofstream(out) << "before\n";
    Argv both({"sh", "-c", "echo out; echo err >&2; cat; exit 3"});
    int status = -1;
    EXPECT_EQ(-2, run(both, out, err.c_str(), &status));
    EXPECT_EQ(3, status);
    EXPECT_EQ("before\nout\n", readFile(out));  // appended; standard input empty
    EXPECT_EQ("err\n", readFile(err));
    EXPECT_EQ(-2, run(both, dir + "/joined", nullptr, &status));
    EXPECT_EQ("out\nerr\n", readFile(dir + "/joined"));

    // Unflushed output of the caller is not written twice by a child whose
    // exec fails, and no descriptor above 2 reaches the child.
    FILE* f = fopen((dir + "/buffered").c_str(), "w");
    ASSERT_NE(nullptr, f);
    fputs("once", f);
    ASSERT_EQ(50, dup2(fileno(f), 50));
    Argv missing({"/nonexistent/program"});
    EXPECT_EQ(-2, run(missing, out, err.c_str(), &status));
    EXPECT_EQ(ENOENT, status);
    EXPECT_EQ("err\nerror[2]\n", readFile(err));
    Argv probe({"sh", "-c", "for n in 50 " + std::to_string(fileno(f)) +
                                "; do test -e /proc/$$/fd/$n && echo leak $n; done; exit 0"});
    EXPECT_EQ(0, run(probe, dir + "/fds", nullptr, &status));
    close(50);
    fclose(f);
    EXPECT_EQ("", readFile(dir + "/fds"));
    EXPECT_EQ("once", readFile(dir + "/buffered"));
}

TEST_F(Proc, HandlesAndDetachedChildren)
{
    Argv quick({"sh", "-c", "exit 7"});
    ComChildHandle* h = nullptr;
    int size = 0, status = -1, e = 0;
    EXPECT_EQ(-9, comSpawnSimple(quick.get(), nullptr, 1, nullptr, nullptr, nullptr, &h, &size, 0, 0));
    for (const char* bad : {"nobody", "12x", "", "-1", "4294967296"}) {
        EXPECT_EQ(-9, comSpawn(quick.get(), nullptr, 1, nullptr, nullptr, nullptr, nullptr, nullptr,
                               0, bad, nullptr, 0)) << bad;
        EXPECT_EQ(-9, comSpawn(quick.get(), nullptr, 1, nullptr, nullptr, nullptr, nullptr, nullptr,
                               0, nullptr, bad, 0)) << bad;
    }
    ASSERT_EQ(0, comSpawnSimple(quick.get(), "/dev/null", 0, nullptr, nullptr, nullptr, &h, &size,
                                0, 0));
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

    // Neither handle nor wait: nothing of ours is left to reap.
    const std::string late = dir + "/late";
    Argv slow({"sh", "-c", "sleep 0.2; echo done"});
    EXPECT_EQ(0, comSpawnSimple(slow.get(), late.c_str(), 0, nullptr, nullptr, nullptr, nullptr,
                                nullptr, 0, 0));
    errno = 0;
    EXPECT_EQ(-1, waitpid(-1, nullptr, WNOHANG));
    EXPECT_EQ(ECHILD, errno);
    EXPECT_TRUE(within5s([&] { return readFile(late) == "done\n"; }));
}

TEST_F(Proc, StopChildAndOnlyAGroupItLeads)
{
    Argv sleeper({"sleep", "30"});
    ComChildHandle* h = nullptr;
    int status = 0, e = 0;
    ASSERT_EQ(0, comSpawnSimple(sleeper.get(), "/dev/null", 0, nullptr, nullptr, nullptr, &h,
                                nullptr, 0, 0));
    int pid = *h;
    EXPECT_EQ(0, comChildRunning(h, &status));
    EXPECT_EQ(0, comStopChild(h, &e, 1));
    EXPECT_EQ(-1, comProcessExists(pid));

    // New session: mode 2 stops the child's whole group.
    const std::string pidFile = dir + "/pid";
    Argv group({"sh", "-c", "sleep 30 & echo $! > " + pidFile + "; wait"});
    ASSERT_EQ(0, comSpawnSimple(group.get(), "/dev/null", 0, nullptr, nullptr, nullptr, &h, nullptr,
                                0, 1));
    ASSERT_TRUE(within5s([&] { return readFile(pidFile).find('\n') != std::string::npos; }));
    int grandchild = std::atoi(readFile(pidFile).c_str());
    EXPECT_EQ(0, comStopChild(h, &e, 2));
    EXPECT_TRUE(within5s([&] { return ended(grandchild); }));

    // The group outlives its leader, reaped already: mode 2 still stops it.
    std::remove(pidFile.c_str());
    Argv leaves({"sh", "-c", "sleep 30 & echo $! > " + pidFile + "; exit 0"});
    ASSERT_EQ(0, comSpawnSimple(leaves.get(), "/dev/null", 0, nullptr, nullptr, nullptr, &h, nullptr,
                                0, 1));
    int leader = *h;
    ASSERT_TRUE(within5s([&] { return readFile(pidFile).find('\n') != std::string::npos; }));
    int member = std::atoi(readFile(pidFile).c_str());
    ASSERT_TRUE(within5s([&] { return comProcessExists(leader) == -1; }));
    EXPECT_EQ(0, comStopChild(h, &e, 2));
    EXPECT_TRUE(within5s([&] { return ended(member); }));
    if (member > 0 && !ended(member))
        kill(member, SIGKILL);

    // Same session: mode 2 stops only the child. The caller is a helper in
    // a group of its own, so a fault cannot reach the test program.
    pid_t helper = fork();
    ASSERT_GE(helper, 0);
    if (helper == 0) {
        setpgid(0, 0);
        ComChildHandle* c = nullptr;
        if (comSpawnSimple(sleeper.get(), "/dev/null", 0, nullptr, nullptr, nullptr, &c, nullptr, 0,
                           0) != 0)
            _exit(2);
        int child = *c;
        _exit(comStopChild(c, nullptr, 2) == 0 && comProcessExists(child) == -1 ? 0 : 3);
    }
    int st = 0;
    if (!within5s([&] { return waitpid(helper, &st, WNOHANG) == helper; })) {
        kill(helper, SIGKILL);
        waitpid(helper, &st, 0);
    }
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << "helper status " << st;
}

TEST_F(Proc, SwitchesUserAndGroup)
{
    Argv id({"sh", "-c", "id -u; id -g; id -G"});
    const std::string out = dir + "/id", err = dir + "/err";
    if (geteuid() == 0) {
        EXPECT_EQ(0, comSpawn(id.get(), out.c_str(), 1, nullptr, nullptr, nullptr, nullptr, nullptr,
                              0, "65534", "65534", 0));
        EXPECT_EQ("65534\n65534\n65534\n", readFile(out));
    }
    // Without the right to switch, the child ends with the refusal and runs
    // nothing. A helper without privileges asks for root.
    pid_t helper = fork();
    ASSERT_GE(helper, 0);
    if (helper == 0) {
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            _exit(2);
        int status = 0;
        int rc = comSpawn(id.get(), out.c_str(), 1, &status, nullptr, err.c_str(), nullptr, nullptr,
                          0, "0", "0", 0);
        _exit(rc == -2 && status == EPERM ? 0 : 3);
    }
    int st = 0;
    ASSERT_EQ(helper, waitpid(helper, &st, 0));
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << "helper status " << st;
    EXPECT_EQ("error[" + std::to_string(EPERM) + "]\n", readFile(err));
}
