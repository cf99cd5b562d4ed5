// Child processes: start a program (optionally as another user and group,
// in a new session, with redirected standard streams), wait for it, ask
// whether it runs, stop it. A child-exit handler records the exit status of
// the child started last with a handle. Single-threaded use.
#ifndef COMPROC_H
#define COMPROC_H

// A child handle: a malloc'd cell holding the child's process id. Freed by
// comStopChild.
typedef int ComChildHandle;

enum {
    COMPROC_ERR_FORK = -1,     // fork failed (also: a wait found no such child)
    COMPROC_ERR_STATUS = -2,   // the waited-for child ended with a non-0 status
    COMPROC_ERR_NOMEM = -4,    // no memory for the handle
    COMPROC_ERR_HANDLER = -5,  // the child-exit handler could not be set
    COMPROC_ERR_ARG = -9       // bad arguments (handle with wait, no program,
                               // a uid or gid text that is not a number)
};

// Starts argv[0] (searched in PATH) with argv. Standard input reads
// /dev/null; standard output is appended to outPath (/dev/console when NULL);
// standard error to errPath, else to standard output; when outPath cannot
// be opened both go to /dev/null. When exec fails, "error[%d]\n" with errno
// is appended to errPath (if not empty) and the child exits with errno.
// gid and uid: decimal ids to switch to (supplementary groups are dropped
// when run as root); a failing switch ends the child with errno as status.
// wait: waits for the child; a non-0 status gives -2 with *status (the exit
// status, or the signal that ended it) and *err. handle (not with wait):
// receives a new handle, *handleSize its size; unless keepHandler is 1 the
// recorded status is cleared and the child-exit handler installed. Without
// handle and wait the child is detached: nothing to reap is left behind.
// 0 or a COMPROC_ERR_ code.
int comSpawn(char* const* argv, const char* outPath, int wait, int* status, int* err,
             const char* errPath, ComChildHandle** handle, int* handleSize, int keepHandler,
             const char* uid, const char* gid, int newSession);
// comSpawn without uid and gid.
int comSpawnSimple(char* const* argv, const char* outPath, int wait, int* status, int* err,
                   const char* errPath, ComChildHandle** handle, int* handleSize,
                   int keepHandler, int newSession);

// Frees the handle. mode 0: resets child-exit handling to the default
// (0, or -5). mode 2: kills the child's process group when the child leads
// one of its own (started in a new session; the group is stopped also when
// the child has ended), else only the child; other modes: kills the child
// (signal 9); then waits until the child is reaped. A child already reaped
// is not signalled. 0 (also when the process or group no longer exists);
// -1 with *err when the kill failed; -9 without handle.
int comStopChild(ComChildHandle* handle, int* err, int mode);
// 0 while the child runs; -1 once it has ended (*status: its recorded exit
// status) or when it cannot be asked (*status: errno). -9 without handle.
int comChildRunning(const ComChildHandle* handle, int* status);
// Waits until the child is reaped. 0 for exit status 0; -2 with *status and
// *err for another status; -1 with *err when there is no such child and no
// status was recorded for it; -9 without handle.
int comWaitChild(const ComChildHandle* handle, int* status, int* err);

// setsid; 0 or -1.
int comSetSid();
int comGetPid();
// 0 when a null signal can be sent to the process, else -1 (also for pid <= 0).
int comProcessExists(int pid);

#endif
