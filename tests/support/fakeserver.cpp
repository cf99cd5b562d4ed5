#include "fakeserver.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace rvtest {

namespace {

std::string toolPath(const std::string& script)
{
    return std::string(RV_SOURCE_DIR) + "/tests/tools/" + script;
}

// In a forked child: runs argv[0] (found on PATH) with argv; never returns.
[[noreturn]] void execArgs(const std::vector<std::string>& argv)
{
    std::vector<char*> a;
    for (const auto& s : argv)
        a.push_back(const_cast<char*>(s.c_str()));
    a.push_back(nullptr);
    execvp(a[0], a.data());
    _exit(127);
}

int runQuiet(const std::vector<std::string>& argv)
{
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, 1);
            dup2(null, 2);
        }
        execArgs(argv);
    }
    if (pid < 0)
        return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

ScratchDir::ScratchDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/rvtest.XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()))
        m_path = buf.data();
}

ScratchDir::~ScratchDir()
{
    if (!m_path.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
}

bool writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

std::string readFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool makeTestCerts(const std::string& dir, const std::string& host, TestCerts* out)
{
    TestCerts c;
    c.caFile = dir + "/ca.pem";
    c.certFile = dir + "/server.pem";
    c.keyFile = dir + "/server.key";
    std::string caKey = dir + "/ca.key", csr = dir + "/server.csr", ext = dir + "/ext.cnf";
    bool ip = host.find_first_not_of("0123456789.") == std::string::npos;
    if (!writeFile(ext, std::string("subjectAltName=") + (ip ? "IP:" : "DNS:") + host + "\n"))
        return false;
    if (runQuiet({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", caKey,
                  "-out", c.caFile, "-days", "2", "-subj", "/CN=Test CA"}) != 0)
        return false;
    if (runQuiet({"openssl", "req", "-newkey", "rsa:2048", "-nodes", "-keyout", c.keyFile, "-out",
                  csr, "-subj", "/CN=" + host}) != 0)
        return false;
    if (runQuiet({"openssl", "x509", "-req", "-in", csr, "-CA", c.caFile, "-CAkey", caKey,
                  "-CAcreateserial", "-out", c.certFile, "-days", "2", "-extfile", ext}) != 0)
        return false;
    *out = c;
    return true;
}

ToolProcess::~ToolProcess()
{
    stop();
}

bool ToolProcess::start(const std::string& script, const std::vector<std::string>& args,
                        const std::string& portFile)
{
    std::vector<std::string> argv = {"python3", toolPath(script), "--portfile", portFile};
    argv.insert(argv.end(), args.begin(), args.end());
    m_pid = fork();
    if (m_pid == 0) {
        execArgs(argv);
    }
    if (m_pid < 0)
        return false;
    for (int i = 0; i < 200; ++i) {
        std::string p = readFile(portFile);
        if (!p.empty()) {
            m_port = std::atoi(p.c_str());
            return m_port > 0;
        }
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    stop();
    return false;
}

void ToolProcess::stop()
{
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        int status = 0;
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
    }
}

FakeServer::FakeServer(const std::string& caseJson, const TestCerts* certs, int lifetimeSeconds)
{
    std::vector<std::string> args = {"--record", m_dir.file("rec"), "--lifetime",
                                      std::to_string(lifetimeSeconds)};
    if (!caseJson.empty()) {
        writeFile(m_dir.file("case.json"), caseJson);
        args.push_back("--case");
        args.push_back(m_dir.file("case.json"));
    }
    if (certs) {
        args.insert(args.end(), {"--cert", certs->certFile, "--key", certs->keyFile});
    }
    m_ok = m_proc.start("fakeserver.py", args, m_dir.file("port"));
}

std::vector<std::string> FakeServer::requests() const
{
    std::vector<std::string> out;
    for (int i = 1; i < 1000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "rec/%03d.req", i);
        std::string path = m_dir.file(name);
        if (access(path.c_str(), F_OK) != 0)
            break;
        out.push_back(readFile(path));
    }
    return out;
}

FakeProxy::FakeProxy(const char* user, const char* password, int forcedStatus,
                     int lifetimeSeconds, int trickleBytes, int trickleMs, int targetPort)
{
    std::vector<std::string> args = {"--record", m_dir.file("rec"), "--lifetime",
                                      std::to_string(lifetimeSeconds)};
    if (user)
        args.insert(args.end(), {"--user", user, "--password", password ? password : ""});
    if (forcedStatus)
        args.insert(args.end(),
                    {"--status", forcedStatus < 0 ? std::string("000") : std::to_string(forcedStatus)});
    if (trickleBytes > 0)
        args.insert(args.end(),
                    {"--trickle", std::to_string(trickleBytes) + "," + std::to_string(trickleMs)});
    if (targetPort > 0)
        args.insert(args.end(), {"--target", std::to_string(targetPort)});
    m_ok = m_proc.start("proxy.py", args, m_dir.file("port"));
}

std::string FakeProxy::recorded() const
{
    return readFile(m_dir.file("rec"));
}

} // namespace rvtest
