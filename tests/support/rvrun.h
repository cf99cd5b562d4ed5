// Runs a built program as a child process for the end-to-end tests.
#ifndef RVRUN_H
#define RVRUN_H

#include <map>
#include <string>
#include <vector>

namespace rvtest {

struct RunResult {
    int exitCode = -1;  // -1: killed at the time limit; -2: ended by a signal
    std::string out;
    std::string err;
    double seconds = 0;
};

// Runs prog with args (args[0] is its argv[0]) and env added to this
// process's environment; standard output and error go to outFile and
// errFile and are read back. Killed after limitSeconds.
RunResult runProgram(const std::string& prog, const std::vector<std::string>& args,
                     const std::map<std::string, std::string>& env, const std::string& outFile,
                     const std::string& errFile, int limitSeconds);

// Whether this 32-bit build runs under QEMU's user-mode emulator (an
// enabled binfmt_misc entry for it), where its programs' memory figures
// and address-space limits are the emulator's.
bool runsEmulated32();

}  // namespace rvtest

#endif
