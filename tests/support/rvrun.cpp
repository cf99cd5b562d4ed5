#include "rvrun.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace rvtest {

namespace {

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

RunResult runProgram(const std::string& prog, const std::vector<std::string>& args,
                     const std::map<std::string, std::string>& env, const std::string& outFile,
                     const std::string& errFile, int limitSeconds)
{
    RunResult res;
    auto t0 = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        if (!freopen(outFile.c_str(), "wb", stdout) || !freopen(errFile.c_str(), "wb", stderr))
            _exit(126);
        for (const auto& e : env)
            setenv(e.first.c_str(), e.second.c_str(), 1);
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(prog.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    for (int i = 0; pid > 0 && i < limitSeconds * 10; ++i) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            res.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -2;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (pid > 0 && res.exitCode == -1) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    res.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    res.out = slurp(outFile);
    res.err = slurp(errFile);
    return res;
}

bool runsEmulated32()
{
    if (sizeof(void*) != 4)
        return false;
    const std::string dir = "/proc/sys/fs/binfmt_misc/";
    DIR* d = opendir(dir.c_str());
    if (d == nullptr)
        return false;
    bool found = false;
    while (dirent* e = readdir(d)) {
        std::string text = slurp(dir + e->d_name);
        if (text.compare(0, 8, "enabled\n") == 0 && text.find("\ninterpreter ") != std::string::npos &&
            text.find("qemu-i386") != std::string::npos) {
            found = true;
            break;
        }
    }
    closedir(d);
    return found;
}

}  // namespace rvtest
