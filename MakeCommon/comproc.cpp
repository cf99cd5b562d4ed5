// Child processes: spawn, wait, poll, stop.
#include "comproc.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Shared with the child-exit handler.
volatile sig_atomic_t g_status = 0;     // recorded exit status
volatile sig_atomic_t g_childPid = 0;   // child started last with a handle
volatile sig_atomic_t g_reapedPid = 0;  // the child g_status belongs to

int statusOf(int st)
{
    return WIFSIGNALED(st) ? WTERMSIG(st) : WEXITSTATUS(st);
}

void record(pid_t pid, int st)
{
    g_status = statusOf(st);
    g_reapedPid = pid;
}

void onChildExit(int)
{
    int saved = errno;
    pid_t want = g_childPid;
    int st = 0;
    pid_t r;
    if (want > 0) {
        if (waitpid(want, &st, WNOHANG) == want)
            record(want, st);
    } else {
        while ((r = waitpid(-1, &st, WNOHANG)) > 0)
            record(r, st);
    }
    errno = saved;
}

// Holds SIGCHLD back for its lifetime, so that the handler cannot reap a
// child that this code waits for itself.
class ChildSignalBlock {
public:
    ChildSignalBlock()
    {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGCHLD);
        sigprocmask(SIG_BLOCK, &set, &saved);
    }
    ~ChildSignalBlock() { sigprocmask(SIG_SETMASK, &saved, nullptr); }
    const sigset_t* savedMask() const { return &saved; }

private:
    sigset_t saved;
};

// Children started with a handle in a session of their own: each leads a
// process group whose id is its process id. Kept until the handle is freed.
const int kMaxLeaders = 64;
pid_t g_leaders[kMaxLeaders];

// Forgets pid; true when it was remembered.
bool forgetLeader(pid_t pid)
{
    bool found = false;
    for (pid_t& p : g_leaders) {
        if (p == pid) {
            p = 0;
            found = true;
        }
    }
    return found;
}

void rememberLeader(pid_t pid)
{
    forgetLeader(pid);
    for (pid_t& p : g_leaders) {
        if (p == 0) {
            p = pid;
            return;
        }
    }
}

pid_t waitFor(pid_t pid, int* st)
{
    pid_t r;
    do
        r = waitpid(pid, st, 0);
    while (r < 0 && errno == EINTR);
    return r;
}

// A decimal user or group id; anything else (also "" and -1) is refused.
bool parseId(const char* text, unsigned* out)
{
    if (!text || !*text)
        return false;
    unsigned long long v = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        v = v * 10 + static_cast<unsigned>(*p - '0');
        if (v > 0xFFFFFFFEull)
            return false;
    }
    *out = static_cast<unsigned>(v);
    return true;
}

// Child side only: appends "error[%d]\n" to the log and exits with errno.
[[noreturn]] void childFail(const char* errPath)
{
    int e = errno;
    if (errPath && *errPath) {
        int fd = open(errPath, O_WRONLY | O_CREAT | O_APPEND | O_NOCTTY | O_CLOEXEC, 0644);
        if (fd >= 0) {
            char line[32];
            int n = snprintf(line, sizeof line, "error[%d]\n", e);
            if (write(fd, line, static_cast<size_t>(n)) < 0) {
                // nothing more to report to
            }
            close(fd);
        }
    }
    _exit(e > 0 && e < 256 ? e : 255);
}

void moveTo(int fd, int target)
{
    if (fd >= 0 && fd != target) {
        dup2(fd, target);
        close(fd);
    }
}

int openAppend(const char* path)
{
    return open(path, O_WRONLY | O_CREAT | O_APPEND | O_NOCTTY, 0644);
}

void redirect(const char* outPath, const char* errPath)
{
    moveTo(open("/dev/null", O_RDONLY | O_NOCTTY), 0);
    int out;
    if (!outPath || strcmp(outPath, "/dev/console") == 0)
        out = open("/dev/console", O_WRONLY | O_NOCTTY);
    else
        out = openAppend(outPath);
    if (out < 0) {
        moveTo(open("/dev/null", O_WRONLY | O_NOCTTY), 1);
        dup2(1, 2);
        return;
    }
    moveTo(out, 1);
    int err = errPath ? openAppend(errPath) : -1;
    if (err >= 0)
        moveTo(err, 2);
    else
        dup2(1, 2);
}

// Closes every descriptor from low on.
void closeFrom(int low)
{
#ifdef SYS_close_range
    if (syscall(SYS_close_range, static_cast<unsigned>(low), ~0u, 0u) == 0)
        return;
#endif
    long max = 1024;
    struct rlimit rl;
    if (getrlimit(RLIMIT_NOFILE, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY)
        max = static_cast<long>(rl.rlim_cur);
    if (max > (1L << 20))
        max = 1L << 20;
    for (long fd = low; fd < max; ++fd)
        close(static_cast<int>(fd));
}

struct ChildSpec {
    char* const* argv;
    const char* outPath;
    const char* errPath;
    bool haveUid, haveGid;
    uid_t uid;
    gid_t gid;
    int newSession;
    const sigset_t* mask;
};

[[noreturn]] void runChild(const ChildSpec& c)
{
    if (c.haveUid || c.haveGid) {
        if (geteuid() == 0 && setgroups(0, nullptr) != 0)
            childFail(c.errPath);
        if (c.haveGid && setgid(c.gid) != 0)
            childFail(c.errPath);
        if (c.haveUid && setuid(c.uid) != 0)
            childFail(c.errPath);
    }
    if (c.newSession)
        setsid();
    redirect(c.outPath, c.errPath);
    closeFrom(3);
    sigprocmask(SIG_SETMASK, c.mask, nullptr);
    execvp(c.argv[0], c.argv);
    childFail(c.errPath);
}

int installHandler(int* err)
{
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = onChildExit;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART | SA_NOCLDSTOP;
    if (sigaction(SIGCHLD, &sa, nullptr) != 0) {
        if (err)
            *err = errno;
        return COMPROC_ERR_HANDLER;
    }
    return 0;
}

} // namespace

int comSpawn(char* const* argv, const char* outPath, int wait, int* status, int* err,
             const char* errPath, ComChildHandle** handle, int* handleSize, int keepHandler,
             const char* uid, const char* gid, int newSession)
{
    if (status)
        *status = 0;
    if (err)
        *err = 0;
    if (handle && wait)
        return COMPROC_ERR_ARG;
    if (!argv || !argv[0])
        return COMPROC_ERR_ARG;
    unsigned u = 0, g = 0;
    if ((uid && !parseId(uid, &u)) || (gid && !parseId(gid, &g)))
        return COMPROC_ERR_ARG;

    ChildSignalBlock block;
    ComChildHandle* cell = nullptr;
    if (handle) {
        // Taken before the fork: no child may run without its handle.
        cell = static_cast<ComChildHandle*>(malloc(sizeof *cell));
        if (!cell) {
            if (err)
                *err = errno;
            return COMPROC_ERR_NOMEM;
        }
        if (keepHandler != 1) {
            g_status = 0;
            g_childPid = 0;
            g_reapedPid = 0;
            int r = installHandler(err);
            if (r != 0) {
                free(cell);
                return r;
            }
        }
    }

    ChildSpec spec = { argv, outPath, errPath, uid != nullptr, gid != nullptr,
                       static_cast<uid_t>(u), static_cast<gid_t>(g), newSession,
                       block.savedMask() };
    // Buffered output must not be written again by the child.
    fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        if (err)
            *err = errno;
        free(cell);
        return COMPROC_ERR_FORK;
    }
    if (pid == 0) {
        if (!handle && !wait) {
            // Detached: the program runs in a grandchild that init reaps.
            pid_t inner = fork();
            if (inner < 0)
                _exit(errno > 0 && errno < 256 ? errno : 255);
            if (inner > 0)
                _exit(0);
        }
        runChild(spec);
    }

    if (handle) {
        g_childPid = pid;
        if (newSession)
            rememberLeader(pid);
        else
            forgetLeader(pid);
        *cell = pid;
        *handle = cell;
        if (handleSize)
            *handleSize = static_cast<int>(sizeof *cell);
        return 0;
    }
    int st = 0;
    if (waitFor(pid, &st) != pid) {
        if (err)
            *err = errno;
        return COMPROC_ERR_FORK;
    }
    int s = statusOf(st);
    if (!wait) {
        // The intermediate child reports a failed second fork.
        if (s != 0) {
            if (err)
                *err = s;
            return COMPROC_ERR_FORK;
        }
        return 0;
    }
    if (s != 0) {
        if (status)
            *status = s;
        return COMPROC_ERR_STATUS;
    }
    return 0;
}

int comSpawnSimple(char* const* argv, const char* outPath, int wait, int* status, int* err,
                   const char* errPath, ComChildHandle** handle, int* handleSize,
                   int keepHandler, int newSession)
{
    return comSpawn(argv, outPath, wait, status, err, errPath, handle, handleSize, keepHandler,
                    nullptr, nullptr, newSession);
}

int comStopChild(ComChildHandle* handle, int* err, int mode)
{
    if (err)
        *err = 0;
    if (!handle)
        return COMPROC_ERR_ARG;
    pid_t pid = *handle;
    free(handle);
    bool leader = pid > 0 && forgetLeader(pid);
    if (mode == 0) {
        struct sigaction sa;
        memset(&sa, 0, sizeof sa);
        sa.sa_handler = SIG_DFL;
        sigemptyset(&sa.sa_mask);
        if (sigaction(SIGCHLD, &sa, nullptr) != 0) {
            if (err)
                *err = errno;
            return COMPROC_ERR_HANDLER;
        }
        return 0;
    }
    // kill(0) or kill(-n) would reach whole groups.
    if (pid <= 0)
        return COMPROC_ERR_ARG;
    ChildSignalBlock block;
    int st = 0;
    pid_t r = waitpid(pid, &st, WNOHANG);
    int rc = 0;
    if (r == 0) {
        // Still running, so its id is still the child's. Only a group the
        // child leads is stopped: otherwise it is the caller's.
        if (mode == 2 && (leader || getpgid(pid) == pid)) {
            rc = killpg(pid, SIGKILL);
            // Before its setsid the child leads no group yet.
            if (rc != 0 && errno == ESRCH)
                rc = kill(pid, SIGKILL);
        } else {
            rc = kill(pid, SIGKILL);
        }
        if (rc == 0 && waitFor(pid, &st) == pid)
            record(pid, st);
    } else {
        // Reaped, now or before: the id may belong to another process by
        // now. The group it led lives on while any member does.
        if (r == pid)
            record(pid, st);
        if (mode == 2 && leader)
            rc = killpg(pid, SIGKILL);
    }
    if (rc != 0) {
        int e = errno;
        if (err)
            *err = e;
        return e == ESRCH ? 0 : -1;
    }
    return 0;
}

int comChildRunning(const ComChildHandle* handle, int* status)
{
    if (!handle)
        return COMPROC_ERR_ARG;
    pid_t pid = *handle;
    if (pid <= 0) {
        if (status)
            *status = ESRCH;
        return -1;
    }
    {
        // An ended child that nobody reaped yet is reaped here, so that it
        // does not count as running.
        ChildSignalBlock block;
        int st = 0;
        pid_t r = waitpid(pid, &st, WNOHANG);
        if (r == 0)
            return 0;
        if (r == pid) {
            record(pid, st);
            if (status)
                *status = g_status;
            return -1;
        }
    }
    if (kill(pid, 0) == 0)
        return 0;
    if (status)
        *status = errno == ESRCH ? static_cast<int>(g_status) : errno;
    return -1;
}

int comWaitChild(const ComChildHandle* handle, int* status, int* err)
{
    if (!handle)
        return COMPROC_ERR_ARG;
    pid_t pid = *handle;
    int s;
    {
        ChildSignalBlock block;
        int st = 0;
        pid_t r = pid > 0 ? waitFor(pid, &st) : -1;
        if (r == pid) {
            record(pid, st);
            s = g_status;
        } else if (pid > 0 && errno == ECHILD && g_reapedPid == pid) {
            // Reaped by the handler: its recorded status.
            s = g_status;
        } else {
            if (err)
                *err = pid > 0 ? errno : ESRCH;
            return -1;
        }
    }
    if (status)
        *status = s;
    if (s == 0)
        return 0;
    if (err)
        *err = 0;
    return COMPROC_ERR_STATUS;
}

int comSetSid()
{
    return setsid() < 0 ? -1 : 0;
}

int comGetPid()
{
    return static_cast<int>(getpid());
}

int comProcessExists(int pid)
{
    if (pid <= 0)
        return -1;
    return kill(static_cast<pid_t>(pid), 0) == 0 ? 0 : -1;
}
