// Runs the built importbat from a module tree of its own against the fake
// server (and proxy), on export directories written by the test.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "fakeserver.h"
#include "rvattachtree.h"
#include "rvrun.h"

namespace {

const char kMessages[] =
    "-600001=E,Argument missing.\n"
    "-600002=E,No url configured.\n"
    "-600003=E,Bad proxy port.\n"
    "-600007=E,No memory for %s %s.\n"
    "-600008=E,Import of %s (%s) failed: %s\n"
    "-600009=E,Cannot read %s\n"
    "-600010=E,Cannot walk %s\n"
    "-600011=E,Bad setting.json of %s\n"
    "-600013=E,Cannot save %s %s %s\n"
    "-600014=E,Cannot save %s %s %s\n"
    "-600015=E,Login failed: %s\n"
    "-600016=E,Logout failed: %s\n"
    "-600017=E,Status file failed.\n"
    "-600018=E,Connection failed.\n"
    "-600019=E,No setting of %s (%s)\n"
    "-601002=E,Unauthorized.\n"
    "-601004=E,Not found.\n"
    "-601006=E,Time-out.\n"
    "-601008=E,Server error.\n"
    "-601009=E,Unavailable.\n";

const char kStrings[] =
    "import_cmdline_import_start=START\n"
    "import_cmdline_import_progress_db=DB %s %s\n"
    "import_cmdline_import_progress_count=COUNT %d %d %d\n"
    "import_cmdline_import_result=RESULT %s %s %d %d %d\n"
    "import_cmdline_import_errorguidemsg=ERRGUIDE %s %s\n"
    "import_cmdline_import_warningguidemsg=WARNGUIDE %s %s\n"
    "import_cmdline_import_logguidemsg=LOGGUIDE %s\n"
    "import_cmdline_import_end=END\n"
    "import_logfile_start=LOGSTART\n"
    "import_logfile_result=LOGRESULT %s %s %d %d %d\n"
    "import_logfile_end=LOGEND\n";

using rvtest::RunResult;

size_t countOf(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
        ++n;
    return n;
}

std::string commandOf(const std::string& req)
{
    std::string line = req.substr(0, req.find("\r\n"));
    size_t e = line.rfind("/ HTTP/");
    if (e == std::string::npos)
        return "";
    size_t s = line.rfind('/', e - 1);
    return line.substr(s + 1, e - s - 1);
}

std::string bodyOf(const std::string& req)
{
    size_t p = req.find("\r\n\r\n");
    return p == std::string::npos ? "" : req.substr(p + 4);
}

// The value of a form field of a multipart body.
std::string formField(const std::string& body, const std::string& name)
{
    std::string head = "name=\"" + name + "\"\r\n\r\n";
    size_t p = body.find(head);
    if (p == std::string::npos)
        return "";
    p += head.size();
    return body.substr(p, body.find("\r\n", p) - p);
}

// The bytes of the one file part of an upload request; "<bad>" when the
// request is not shaped as one.
std::string uploadedBytes(const std::string& req)
{
    const std::string bad = "<bad>";
    size_t b = req.find("; boundary=");
    if (b == std::string::npos)
        return bad;
    b += 11;
    std::string tail = "\r\n--" + req.substr(b, req.find("\r\n", b) - b) + "--\r\n";
    std::string body = bodyOf(req);
    size_t p = body.find("name=\"attach\"; filename=\"");
    if (p == std::string::npos || body.size() < tail.size() ||
        body.compare(body.size() - tail.size(), tail.size(), tail) != 0)
        return bad;
    p = body.find("\r\n\r\n", p);
    if (p == std::string::npos || p + 4 > body.size() - tail.size())
        return bad;
    p += 4;
    return body.substr(p, body.size() - tail.size() - p);
}

// The log lines without their time stamps.
std::vector<std::string> logLines(const std::string& text)
{
    std::vector<std::string> out;
    size_t s = 0;
    while (s < text.size()) {
        size_t e = text.find('\n', s);
        if (e == std::string::npos)
            e = text.size();
        std::string line = text.substr(s, e - s);
        out.push_back(line.size() > 24 ? line.substr(24) : line);
        s = e + 1;
    }
    return out;
}

class ImportBatTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        mod = tmp.file("mod");
        for (const char* d : {"/bin", "/local/ja"})
            ASSERT_EQ(0, system(("mkdir -p '" + mod + d + "'").c_str()));
        prog = mod + "/bin/importbat";
        ASSERT_TRUE(rvtest::writeFile(prog, rvtest::readFile(RV_IMPORTBAT)));
        ASSERT_EQ(0, chmod(prog.c_str(), 0755));
        rvtest::writeFile(mod + "/local/ja/message", kMessages);
        rvtest::writeFile(mod + "/local/ja/vikra", kStrings);
        files = tmp.file("export");
        statusDir = tmp.file("status");
        logDir = tmp.file("logs/run");
        mkdir(files.c_str(), 0755);
        mkdir(statusDir.c_str(), 0755);
    }

    void writeConf(const std::string& text) { rvtest::writeFile(tmp.file("import.conf"), text); }

    std::string url(const rvtest::FakeServer& srv, const char* scheme = "http",
                    const char* host = "127.0.0.1")
    {
        return std::string(scheme) + "://" + host + ":" + std::to_string(srv.port()) +
               "/app/tovrapinex.cgi";
    }

    // A table directory as the export writes it.
    void addTable(const std::string& name, const std::string& appName, bool withPhoto = false)
    {
        std::string d = files + "/" + name;
        mkdir(d.c_str(), 0755);
        rvtest::writeFile(d + "/setting.json",
                          "{\"Name\": \"" + appName +
                              "\", \"fields\": [{\"field_name\": \"Cust/omer\", \"type\": "
                              "\"textbox\"}, {\"field_name\": \"Amount\", \"type\": \"number\"}]}");
        rvtest::writeFile(d + "/data.csv", "\xEF\xBB\xBF\"Cust/omer\",\"Amount\"\r\n\"a\",\"1\"\r\n");
        if (withPhoto) {
            system(("mkdir -p '" + d + "/2/1234/7'").c_str());
            rvtest::writeFile(d + "/2/1234/7/photo.jpg", std::string("\xff\xd8\0\x01jpg", 7));
        }
    }

    std::vector<std::string> defaultArgs()
    {
        return {prog, "-conf", tmp.file("import.conf"), "-s", statusDir, "-l", logDir,
                "-files", files, "-access_key", "AK-123"};
    }

    RunResult run(const std::vector<std::string>& args,
                  const std::map<std::string, std::string>& env = {}, int limitSeconds = 90)
    {
        return rvtest::runProgram(prog, args, env, tmp.file("stdout"), tmp.file("stderr"),
                                  limitSeconds);
    }

    std::string status() { return rvtest::readFile(statusDir + "/import.status"); }
    std::string runLog() { return rvtest::readFile(logDir + "/import.log"); }

    rvtest::ScratchDir tmp;
    std::string mod, prog, files, statusDir, logDir;
};

TEST_F(ImportBatTest, ImportsEveryTableAndReportsIt)
{
    rvtest::FakeServer srv(R"({"running": 1, "replies": {
        "login": {"json": {"status": "ok", "rssid": "s+1/x", "STOKEN": "tok9"}},
        "cdbimporterrordownload": {"body_hex": "6f6b000d0aff"},
        "cdbimporterrorlistdownload": {"body": "", "content_length": false}}})");
    ASSERT_TRUE(srv.ok());
    writeConf("url=" + url(srv) + "\nbasic_auth_userid=bu\nbasic_auth_password=bp\n");
    addTable("tbl00001", "Orders", true);
    addTable("tbl123456", "Big");
    symlink("/etc/hostname", (files + "/tbl00001/link.txt").c_str());
    // not tables
    addTable("tbl0001", "Short");
    addTable("tblABCDE", "Letters");
    rvtest::writeFile(files + "/tbl00003", "file");
    symlink((files + "/tbl00001").c_str(), (files + "/tbl00009").c_str());

    RunResult r = run(defaultArgs());
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ("", r.err);

    auto reqs = srv.requests();
    ASSERT_GE(reqs.size(), 2u);
    std::vector<std::string> cmds;
    for (const auto& q : reqs)
        cmds.push_back(commandOf(q));
    EXPECT_EQ("login", cmds.front());
    EXPECT_EQ("logout", cmds.back());
    // Per table: uploads, import start, polls, the two downloads.
    size_t i = 1;
    int tables = 0;
    while (i + 1 < cmds.size()) {
        size_t uploads = 0;
        while (cmds[i] == "cdbasetcmdimportfileupload") {
            ++uploads;
            ++i;
        }
        EXPECT_TRUE(uploads == 2 || uploads == 3) << uploads;
        EXPECT_EQ("cdbcmdimportapp", cmds[i++]);
        int polls = 0;
        while (cmds[i] == "cdbcmdimportprocexisted") {
            ++polls;
            ++i;
        }
        EXPECT_GE(polls, 1);
        EXPECT_EQ("cdbimporterrordownload", cmds[i++]);
        EXPECT_EQ("cdbimporterrorlistdownload", cmds[i++]);
        ++tables;
    }
    EXPECT_EQ(2, tables);

    std::string host = "127.0.0.1:" + std::to_string(srv.port());
    EXPECT_EQ("POST /app/tovrapinex.cgi/login/ HTTP/1.0\r\nContent-Length: 29\r\n"
              "Authorization: Basic YnU6YnA=\r\n"
              "Content-Type: application/x-www-form-urlencoded\r\nHost: " + host +
                  "\r\n\r\ncmd=login&access_key=AK%2D123",
              reqs[0]);
    std::vector<std::string> filePaths;
    for (size_t k = 1; k < reqs.size(); ++k) {
        const std::string& q = reqs[k];
        std::string b = bodyOf(q);
        EXPECT_NE(std::string::npos, q.find("\r\nCookie: qelSid=s%2B1%2Fx;\r\n")) << k;
        size_t cl = q.find("Content-Length: ");
        EXPECT_EQ(std::to_string(b.size()), q.substr(cl + 16, q.find("\r\n", cl) - cl - 16));
        if (cmds[k] == "cdbasetcmdimportfileupload" || cmds[k] == "cdbcmdimportapp") {
            EXPECT_NE(std::string::npos, b.find("name=\"tok9\"\r\n\r\n1\r\n")) << k;
            // No table's uploads or start carry an earlier table's id.
            EXPECT_EQ(std::string::npos, b.find("name=\"app_id\"")) << k;
        } else {
            EXPECT_EQ("cmd=" + cmds[k] + "&tok9=1&app_id=A1", b) << k;
        }
        if (cmds[k] == "cdbasetcmdimportfileupload") {
            size_t p = b.find("name=\"file_path\"\r\n\r\n");
            ASSERT_NE(std::string::npos, p);
            p += 20;
            filePaths.push_back(b.substr(p, b.find("\r\n", p) - p));
            if (filePaths.back() == "/2/1234/7/photo.jpg") {
                EXPECT_NE(std::string::npos,
                          b.find(std::string("filename=\"photo.jpg\"\r\nContent-Type: "
                                             "application/unknown\r\n\r\n\xff\xd8\0\x01jpg\r\n",
                                             68)));
            }
        }
        if (cmds[k] == "cdbcmdimportapp") {
            EXPECT_NE(std::string::npos,
                      b.find("name=\"fields\"\r\n\r\n[{\"field_name\":\"Cust\\/omer\",\"type\":"
                             "\"textbox\"},{\"field_name\":\"Amount\",\"type\":\"number\"}]\r\n"));
            EXPECT_NE(std::string::npos, b.find("name=\"attach_file_exist\"\r\n\r\non\r\n"));
            EXPECT_NE(std::string::npos, b.find("filename=\"data.csv\"\r\nContent-Type: "
                                                "application/unknown\r\n\r\n\xEF\xBB\xBF"));
        }
        EXPECT_EQ(std::string::npos, q.find("link.txt"));
    }
    std::sort(filePaths.begin(), filePaths.end());
    std::vector<std::string> expectedPaths = {"/2/1234/7/photo.jpg", "data.csv", "data.csv",
                                              "setting.json", "setting.json"};
    EXPECT_EQ(expectedPaths, filePaths);

    for (const char* t : {"tbl00001", "tbl123456"}) {
        EXPECT_EQ(std::string("ok\0\r\n\xff", 6),
                  rvtest::readFile(files + "/" + t + "/import_result.txt"));
        struct stat st;
        EXPECT_EQ(0, stat((files + "/" + t + "/import_error_list.csv").c_str(), &st));
        EXPECT_EQ(0, st.st_size);
    }
    EXPECT_NE(0, access((files + "/tblABCDE/import_result.txt").c_str(), F_OK));
    EXPECT_NE(0, access((files + "/tbl0001/import_result.txt").c_str(), F_OK));

    std::string s = status();
    EXPECT_EQ(0u, s.find("startdate="));
    EXPECT_NE(std::string::npos, s.find("\nstatus=0\nenddate="));
    EXPECT_EQ(std::string::npos, s.find("msg="));

    auto log = logLines(runLog());
    ASSERT_EQ(4u, log.size()) << runLog();
    EXPECT_EQ("LOGSTART", log[0]);
    EXPECT_EQ("LOGEND", log[3]);
    std::string mid = log[1] + "|" + log[2];
    EXPECT_NE(std::string::npos, mid.find("LOGRESULT tbl00001 Orders 3 0 0"));
    EXPECT_NE(std::string::npos, mid.find("LOGRESULT tbl123456 Big 3 0 0"));

    EXPECT_EQ(0u, r.out.find("START\n"));
    EXPECT_NE(std::string::npos, r.out.find("DB tbl00001 Orders\n"));
    EXPECT_NE(std::string::npos, r.out.find("DB tbl123456 Big\n"));
    EXPECT_EQ(3u, countOf(r.out, "\rCOUNT "));
    EXPECT_NE(std::string::npos, r.out.find("\rRESULT tbl00001 Orders 3 0 0\n"));
    EXPECT_NE(std::string::npos, r.out.find("\rRESULT tbl123456 Big 3 0 0\n"));
    EXPECT_EQ(std::string::npos, r.out.find("GUIDE"));
    EXPECT_EQ(r.out.size() - 4, r.out.rfind("END\n"));

    // The trace holds no access key.
    std::string traces;
    system(("cat '" + mod + "'/syslog/*.log > '" + tmp.file("traces") + "' 2>/dev/null").c_str());
    traces = rvtest::readFile(tmp.file("traces"));
    EXPECT_EQ(std::string::npos, traces.find("414b2d313233"));  // "AK-123" in hex
}

TEST_F(ImportBatTest, TlsThroughTheProxyTunnel)
{
    rvtest::TestCerts certs;
    ASSERT_TRUE(rvtest::makeTestCerts(tmp.file(""), "localhost", &certs));
    rvtest::FakeServer srv("", &certs);
    rvtest::FakeProxy proxy("pu", "pp");
    ASSERT_TRUE(srv.ok());
    ASSERT_TRUE(proxy.ok());
    addTable("tbl00002", "Plain");
    writeConf("url=" + url(srv, "https", "localhost") +
              "\nbasic_auth_userid=bu\nbasic_auth_password=bp\nproxy_host=127.0.0.1\n"
              "proxy_port=" + std::to_string(proxy.port()) +
              "\nproxy_auth_userid=pu\nproxy_auth_password=pp\n");
    RunResult r = run(defaultArgs(), {{"SSL_CERT_FILE", certs.caFile}});
    EXPECT_EQ(0, r.exitCode) << r.err;
    auto reqs = srv.requests();
    ASSERT_EQ(8u, reqs.size());  // login, 2 uploads, start, poll, 2 downloads, logout
    std::string seen = proxy.recorded();
    EXPECT_NE(std::string::npos,
              seen.find("CONNECT localhost:" + std::to_string(srv.port()) +
                        " HTTP/1.1\r\nProxy-Authorization: Basic cHU6cHA=\r\n\r\n"));
    for (const auto& q : reqs) {
        EXPECT_EQ(std::string::npos, q.find("Proxy-Authorization"));
        EXPECT_NE(std::string::npos, q.find("Authorization: Basic YnU6YnA=\r\n"));
    }
    EXPECT_NE(std::string::npos, status().find("status=0\n"));
}

TEST_F(ImportBatTest, AFailingTableIsSkippedAndTheRestGoOn)
{
    rvtest::FakeServer srv(R"({"replies": {
        "cdbasetcmdimportfileupload": [{"json": {"status": "ng", "errorno": "12",
            "errormessage": "E:bad", "errmsgadd": "x"}}, {"json": {"status": "ok"}}],
        "cdbcmdimportapp": [{"status": 500, "body": "boom"},
                            {"body": "<html>\r\n<title>Maintenance</title>\r\n</html>\r\n"},
                            {"json": {"status": "ok", "app_id": "A2"}}],
        "cdbcmdimportprocexisted": [{"json": {"status": "ok", "execflg": "1",
                                              "import_ok_data": "5"}},
            {"status": 404, "body": "nf"},
            {"json": {"status": "ok", "execflg": "0", "import_ok_data": "1",
                      "import_warning_data": "2", "import_ng_data": "0"}}],
        "cdbimporterrordownload": [{"status": 503, "body": "x"},
            {"body": "1\r\nr\r\n0\r\n\r\n", "content_length": false,
             "headers": ["Transfer-Encoding: chunked"]},
            {"body": "r"}],
        "logout": {"raw": "HTTP/1.0 000 OK\r\n\r\n{\"status\": \"ok\"}"}}})");
    ASSERT_TRUE(srv.ok());
    writeConf("url=" + url(srv) + "\n");
    for (const char* t :
         {"tbl00011", "tbl00012", "tbl00013", "tbl00014", "tbl00015", "tbl00018", "tbl00019"})
        addTable(t, "App");
    addTable("tbl00016", "Bad");
    rvtest::writeFile(files + "/tbl00016/setting.json", "{not json");
    addTable("tbl00017", "None");
    unlink((files + "/tbl00017/setting.json").c_str());

    RunResult r = run(defaultArgs());
    // The run goes on past failed tables and then ends as a failure, under
    // the first failed table's code and text.
    EXPECT_EQ(1, r.exitCode) << r.err;
    EXPECT_EQ(8u, countOf(r.out, "LOGGUIDE tbl000"));
    EXPECT_EQ(1u, countOf(r.out, "RESULT tbl000"));
    EXPECT_EQ(1u, countOf(r.out, "WARNGUIDE "));
    EXPECT_NE(std::string::npos, r.out.find(" import_error_list.csv\n"));

    std::string log = runLog();
    EXPECT_EQ(1u, countOf(log, "failed: bad(x)\n"));
    EXPECT_EQ(1u, countOf(log, "failed: Server error.\n"));
    EXPECT_EQ(1u, countOf(log, "failed: Not found.\n"));
    EXPECT_EQ(1u, countOf(log, "failed: Unavailable.\n"));
    // a page where JSON belongs, a framed body, a status 000
    EXPECT_EQ(1u, countOf(log, ") failed: <html> <title>Maintenance</title> </html>\n"));
    EXPECT_EQ(1u, countOf(log, ") failed: Connection failed.\n"));
    EXPECT_EQ(1u, countOf(log, "Logout failed: Connection failed.\n"));
    EXPECT_EQ(std::string::npos, (log + status() + r.err).find("%s"));
    EXPECT_EQ(1u, countOf(log, "Bad setting.json of tbl00016\n"));
    EXPECT_EQ(1u, countOf(log, "No setting of tbl00017 (" + files + "/tbl00017/setting.json)\n"));
    EXPECT_EQ(1u, countOf(log, "LOGRESULT tbl000"));
    EXPECT_EQ("logout", commandOf(srv.requests().back()));
    auto lines = logLines(log);
    ASSERT_LE(2u, lines.size());
    const std::string& first = lines[1];
    int code = first.find("failed: ") != std::string::npos ? -600008
               : first.find("Bad setting") == 0        ? -600011
                                                        : -600019;
    EXPECT_EQ(first, r.err);
    EXPECT_NE(std::string::npos,
              status().find("\nmsg=" + first + "\nstatus=" + std::to_string(code) + "\nenddate="))
        << status();
    // A poll that fails after a progress count starts a line of its own.
    EXPECT_NE(std::string::npos, r.out.find("\rCOUNT 5 0 0\nLOGGUIDE tbl000")) << r.out;
}

TEST_F(ImportBatTest, RunFailuresEndWithExitOne)
{
    // options and configuration
    RunResult r = run({prog});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ("Argument missing.This arg is required.[-conf]", r.err);
    EXPECT_EQ("", r.out);

    auto args = defaultArgs();
    args.back() = "-x";
    r = run(args);
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ("Argument missing.This arg is required.[-access_key]", r.err);

    args = defaultArgs();
    args[4] = tmp.file("nostatus");
    writeConf("url=http://127.0.0.1:9/a/tovrapinex.cgi\n");
    r = run(args);
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ("Status file failed.[" + tmp.file("nostatus") + "/import.status]", r.err);
    EXPECT_NE(0, access(logDir.c_str(), F_OK));

    struct {
        const char* conf;
        const char* msg;
        int code;
    } confs[] = {
        {"basic_auth_userid=u\n", "No url configured.", -600002},
        {"url=\n", "No url configured.", -600002},
        {"url=http://127.0.0.1:9/a\n\tHost: evil\n", "No url configured.", -600002},
        {"url=http://h/a\nproxy_host=p\nproxy_port=abc\n", "Bad proxy port.", -600003},
        {"url=http://h/a\nproxy_host=p\nproxy_port=0\n", "Bad proxy port.", -600003},
        {"url=http://h/a\nproxy_host=p\n", "Bad proxy port.", -600003},
    };
    for (const auto& c : confs) {
        writeConf(c.conf);
        unlink((logDir + "/import.log").c_str());
        r = run(defaultArgs());
        EXPECT_EQ(1, r.exitCode) << c.conf;
        EXPECT_EQ(c.msg, r.err) << c.conf;
        EXPECT_EQ("START\nEND\n", r.out);
        std::string s = status();
        EXPECT_NE(std::string::npos,
                  s.find(std::string("\nmsg=") + c.msg + "\nstatus=" + std::to_string(c.code) +
                         "\nenddate="))
            << s;
        auto log = logLines(runLog());
        ASSERT_EQ(3u, log.size());
        EXPECT_EQ(c.msg, log[1]);
    }

    // a missing import directory: nothing to do, no connection
    args = defaultArgs();
    args[8] = tmp.file("nothing");
    writeConf("url=http://127.0.0.1:9/a/tovrapinex.cgi\n");
    r = run(args);
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_NE(std::string::npos, status().find("\nstatus=0\n"));
}

// A program found through PATH gets its bare name as argv[0]; its text
// files are still found beside it.
TEST_F(ImportBatTest, StartedThroughPath)
{
    auto args = defaultArgs();
    args[0] = "importbat";
    args[8] = tmp.file("nothing");
    writeConf("url=http://127.0.0.1:9/a/tovrapinex.cgi\n");
    RunResult r = run(args);
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_NE(std::string::npos, status().find("\nstatus=0\n"));
}

TEST_F(ImportBatTest, LoginLogoutAndConnectionFailures)
{
    addTable("tbl00001", "App");
    rvtest::TestCerts certs;
    ASSERT_TRUE(rvtest::makeTestCerts(tmp.file(""), "localhost", &certs));
    rvtest::FakeServer unauthorized(R"({"replies": {"login": {"status": 401, "body": "no"}}})");
    rvtest::FakeServer logoutNg(R"({"replies": {"logout": {"json": {"status": "ng",
        "errormessage": "E:gone"}}}})");
    rvtest::FakeServer tls("", &certs);
    rvtest::FakeProxy proxy("pu", "pp", 407);
    ASSERT_TRUE(unauthorized.ok() && logoutNg.ok() && tls.ok() && proxy.ok());
    std::string proxyConf = "\nproxy_host=127.0.0.1\nproxy_port=" + std::to_string(proxy.port()) +
                            "\nproxy_auth_userid=pu\nproxy_auth_password=pp\n";

    struct {
        std::string conf;
        std::string err;
        int code;
        std::string caFile;
    } cases[] = {
        {"url=" + url(unauthorized) + "\n", "Login failed: Unauthorized.", -600015, ""},
        {"url=" + url(logoutNg) + "\n", "Logout failed: gone", -600016, ""},
        {"url=http://127.0.0.1:1/a/tovrapinex.cgi\n", "Login failed: Connection failed.", -600015,
         ""},
        // the server's certificate is not trusted: the reason is told
        {"url=" + url(tls, "https", "localhost") + "\n",
         "Login failed: Connection failed.(certificate verify failed: unable to get local issuer "
         "certificate)",
         -600015, tmp.file("import.conf")},
        {"url=" + url(tls, "https", "localhost") + proxyConf, "Login failed: Connection failed.",
         -600015, certs.caFile},
    };
    for (const auto& c : cases) {
        writeConf(c.conf);
        std::map<std::string, std::string> env;
        if (!c.caFile.empty())
            env["SSL_CERT_FILE"] = c.caFile;
        RunResult r = run(defaultArgs(), env);
        EXPECT_EQ(1, r.exitCode) << c.conf;
        EXPECT_EQ(c.err, r.err) << c.conf;
        EXPECT_NE(std::string::npos, status().find("\nstatus=" + std::to_string(c.code) + "\n"))
            << c.conf;
        EXPECT_NE(std::string::npos, runLog().find(" " + c.err + "\n")) << c.conf;
    }
    auto reqs = unauthorized.requests();
    ASSERT_EQ(1u, reqs.size());  // no logout after a failed login
    EXPECT_EQ("logout", commandOf(logoutNg.requests().back()));
    EXPECT_TRUE(tls.requests().empty());
    EXPECT_NE(std::string::npos, proxy.recorded().find("CONNECT localhost:"));
}

TEST_F(ImportBatTest, StalledServerHitsTheTimeLimit)
{
    rvtest::FakeServer srv(R"({"replies": {"cdbcmdimportprocexisted": [{"stall": 40,
        "json": {"status": "ok", "execflg": "0"}}, {"json": {"status": "ok", "execflg": "0"}}]}})",
                           nullptr, 120);
    ASSERT_TRUE(srv.ok());
    writeConf("url=" + url(srv) + "\n");
    addTable("tbl00001", "App");
    addTable("tbl00002", "App");
    RunResult r = run(defaultArgs(), {}, 100);
    EXPECT_EQ(1, r.exitCode) << r.err;
    EXPECT_LT(r.seconds, 60.0);
    EXPECT_EQ(1u, countOf(runLog(), "failed: Time-out.\n"));
    EXPECT_NE(std::string::npos, status().find("\nstatus=-600008\n"));
    EXPECT_EQ(1u, countOf(runLog(), "LOGRESULT "));
    EXPECT_EQ("logout", commandOf(srv.requests().back()));
}

// A work folder deep below Japanese names with blanks, tables with sibling
// sub-trees at every level: every file goes up once, byte for byte.
TEST_F(ImportBatTest, DeepWorkFolderUploadsEveryFileOnce)
{
    rvtest::FakeServer srv;
    ASSERT_TRUE(srv.ok());
    writeConf("url=" + url(srv) + "\n");
    files = tmp.path();
    for (int i = 0; files.size() < 130; ++i) {
        files += "/\xe4\xbd\x9c\xe6\xa5\xad \xe3\x83\x95\xe3\x82\xa9\xe3\x83\xab\xe3\x83\x80 " +
                 std::to_string(i);  // 作業 フォルダ
        ASSERT_EQ(0, mkdir(files.c_str(), 0755));
    }
    const rvtest::AttachTree tree = {
        rvtest::attachDirNames(), 2, {"\xe5\x86\x99\xe7\x9c\x9f 1.jpg", "empty.dat"}};
    // app name -> attachment path -> bytes
    std::map<std::string, std::map<std::string, std::string>> expected;
    for (const char* t : {"tbl00001", "tbl00002"}) {
        std::string app = std::string("App ") + t;
        addTable(t, app);
        std::string d = files + "/" + t;
        std::map<std::string, std::string> written = rvtest::writeAttachTree(d, tree);
        ASSERT_FALSE(written.empty());
        for (const char* f : {"setting.json", "data.csv"})
            written[f] = rvtest::readFile(d + "/" + f);
        expected[app] = written;
    }

    RunResult r = run(defaultArgs());
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ("", r.err);
    EXPECT_EQ(2u, countOf(runLog(), "LOGRESULT "));

    // The uploads of a table are those before its import request.
    std::map<std::string, std::map<std::string, std::string>> seen;
    std::vector<std::pair<std::string, std::string>> pending;
    for (const std::string& q : srv.requests()) {
        std::string cmd = commandOf(q);
        if (cmd == "cdbasetcmdimportfileupload") {
            pending.emplace_back(formField(bodyOf(q), "file_path"), uploadedBytes(q));
        } else if (cmd == "cdbcmdimportapp") {
            std::map<std::string, std::string>& got = seen[formField(bodyOf(q), "Name")];
            for (const auto& p : pending)
                EXPECT_TRUE(got.insert(p).second) << "sent twice: " << p.first;
            pending.clear();
        }
    }
    EXPECT_TRUE(pending.empty());
    ASSERT_EQ(2u, seen.size());
    for (const auto& app : expected) {
        const std::map<std::string, std::string>& got = seen[app.first];
        EXPECT_EQ(app.second.size(), got.size()) << app.first;
        for (const auto& f : app.second) {
            auto it = got.find(f.first);
            if (it == got.end())
                ADD_FAILURE() << app.first << " not sent: " << f.first;
            else
                EXPECT_TRUE(it->second == f.second) << app.first << " differs: " << f.first;
        }
    }
}

} // namespace
