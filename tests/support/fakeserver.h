// Starts the test servers of tests/tools (fake business server, CONNECT
// proxy) from a test, waits for their port and stops them. Each server
// exits by itself after its lifetime.
#ifndef TESTS_FAKESERVER_H
#define TESTS_FAKESERVER_H

#include <string>
#include <sys/types.h>
#include <vector>

namespace rvtest {

// A fresh directory under TMPDIR (or /tmp), removed with its contents.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

bool writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);

// A test CA and a server certificate for `host` (a DNS name, or an IPv4
// literal), made with the openssl command.
struct TestCerts {
    std::string caFile;
    std::string certFile;
    std::string keyFile;
};
bool makeTestCerts(const std::string& dir, const std::string& host, TestCerts* out);

// One child process running a tools script.
class ToolProcess {
public:
    ToolProcess() = default;
    ~ToolProcess();
    ToolProcess(const ToolProcess&) = delete;
    ToolProcess& operator=(const ToolProcess&) = delete;
    // Runs python3 tests/tools/<script> with args plus --portfile; waits up
    // to 10 s for the port. False when it did not come up.
    bool start(const std::string& script, const std::vector<std::string>& args,
               const std::string& portFile);
    void stop();
    int port() const { return m_port; }

private:
    pid_t m_pid = -1;
    int m_port = 0;
};

// The fake business server. caseJson: the case file's text ("" for the
// defaults); certs null: plain HTTP.
class FakeServer {
public:
    explicit FakeServer(const std::string& caseJson = "", const TestCerts* certs = nullptr,
                        int lifetimeSeconds = 60);
    bool ok() const { return m_ok; }
    int port() const { return m_proc.port(); }
    // Raw bytes of each request received, in order.
    std::vector<std::string> requests() const;
    void stop() { m_proc.stop(); }

private:
    ScratchDir m_dir;
    ToolProcess m_proc;
    bool m_ok = false;
};

// The CONNECT proxy; user null: no authentication required; forcedStatus 0:
// normal answers, -1: the status 000. trickleBytes > 0: the server's bytes
// reach the client that many at a time, one piece every trickleMs.
// targetPort > 0: a plain relay to that port instead of a proxy.
class FakeProxy {
public:
    explicit FakeProxy(const char* user = nullptr, const char* password = nullptr,
                       int forcedStatus = 0, int lifetimeSeconds = 60, int trickleBytes = 0,
                       int trickleMs = 0, int targetPort = 0);
    bool ok() const { return m_ok; }
    int port() const { return m_proc.port(); }
    // Every request head the proxy saw, concatenated.
    std::string recorded() const;
    void stop() { m_proc.stop(); }

private:
    ScratchDir m_dir;
    ToolProcess m_proc;
    bool m_ok = false;
};

} // namespace rvtest

#endif
