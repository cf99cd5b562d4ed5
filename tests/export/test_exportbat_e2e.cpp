// Runs a copy of the built exportbat from a module tree of its own against
// the sample tables: golden setting.json and data.csv, attachment bytes,
// console, export.status, export.log and the exit status.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <libpq-fe.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "fakeserver.h"
#include "nstring.h"
#include "pgtest.h"
#include "rvcomcode.h"
#include "rvrun.h"
#include "rvschema.h"

extern char** environ;

namespace {

const std::string kSource = RV_SOURCE_DIR;

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string text(const char* key)
{
    NString s;
    rvcomGetLocalString(s, key);
    return s.c_str();
}

template <class... A>
std::string text(const char* key, const A&... args)
{
    NString s;
    rvcomGetLocalString(s, key, args...);
    return s.c_str();
}

std::string codeText(int code)
{
    return rvcomGetCodeEntry(code).text.c_str();
}

// Regular files below dir, as relative paths.
void listFiles(const std::string& dir, const std::string& rel, std::vector<std::string>& out)
{
    DIR* d = opendir(dir.c_str());
    if (!d)
        return;
    while (dirent* e = readdir(d)) {
        std::string n = e->d_name;
        if (n == "." || n == "..")
            continue;
        struct stat st;
        std::string p = dir + "/" + n;
        if (lstat(p.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode))
            listFiles(p, rel + n + "/", out);
        else
            out.push_back(rel + n);
    }
    closedir(d);
}

std::map<std::string, std::string> treeOf(const std::string& dir)
{
    std::vector<std::string> files;
    listFiles(dir, "", files);
    std::map<std::string, std::string> out;
    for (const std::string& f : files)
        out[f] = rvtest::readFile(dir + "/" + f);
    return out;
}

std::string hexBytes(const std::string& hex)
{
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

// The log entries without their time stamps ("YYYY/MM/DD hh:mm:ss.mmm ").
std::vector<std::string> logEntries(const std::string& log)
{
    std::vector<std::string> out;
    size_t s = 0;
    while (s < log.size()) {
        size_t e = log.find('\n', s);
        if (e == std::string::npos)
            e = log.size();
        std::string line = log.substr(s, e - s);
        EXPECT_GE(line.size(), 24u) << line;
        EXPECT_EQ(' ', line.size() > 23 ? line[23] : 0) << line;
        out.push_back(line.size() > 24 ? line.substr(24) : line);
        s = e + 1;
    }
    return out;
}

bool exists(const std::string& p)
{
    struct stat st;
    return lstat(p.c_str(), &st) == 0;
}

class ExportBatTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        rvcomClearCodeMessages();
        rvcomClearLocalStrings();
        rvcomLoadCodeMessageFile((kSource + "/local/ja/message").c_str());
        rvcomLoadLocalStringFile((kSource + "/local/ja/vikra").c_str());
        sharedDb = new PgTestDatabase("exportbat");
        if (sharedDb->error().empty())
            sharedError = rvschemaLoadAll(*sharedDb);
        else
            sharedError = sharedDb->error();
    }
    static void TearDownTestSuite()
    {
        delete sharedDb;
        sharedDb = nullptr;
    }

    void SetUp() override
    {
        ASSERT_EQ("", sharedError);
        mod = tmp.file("mod");
        ASSERT_EQ(0, system(("mkdir -p '" + mod + "/bin' '" + mod + "/local/ja' '" + tmp.file("root/rvdata") +
                             "' '" + tmp.file("status") + "'")
                                .c_str()));
        prog = mod + "/bin/exportbat";
        ASSERT_TRUE(rvtest::writeFile(prog, rvtest::readFile(RV_EXPORTBAT)));
        ASSERT_EQ(0, chmod(prog.c_str(), 0755));
        rvtest::writeFile(mod + "/local/ja/message", rvtest::readFile(kSource + "/local/ja/message"));
        rvtest::writeFile(mod + "/local/ja/vikra", rvtest::readFile(kSource + "/local/ja/vikra"));
        writeApp(sharedDb->name());
        files = tmp.file("out");
        statusDir = tmp.file("status");
        logDir = tmp.file("logs/run");
    }

    void writeApp(const std::string& dbName)
    {
        rvtest::writeFile(tmp.file("root/rvdata/app"), "# test settings\ndbs=127.0.0.1\ndbname=" + dbName +
                                                           "\ndbuser=vikra\ndbpwd=tolpa\n");
    }

    // Runs the program with the standard options plus extra ones.
    RunResult runWith(const std::vector<std::string>& extra, bool standard = true,
                      const std::string& pgPort = "")
    {
        return waitFor(start(extra, standard, pgPort));
    }

    struct Started {
        pid_t pid = -1;
        std::string outPath, errPath;
    };

    // Starts the program without waiting; tag names its output files.
    Started start(const std::vector<std::string>& extra, bool standard = true,
                  const std::string& pgPort = "", const std::string& tag = "")
    {
        std::vector<std::string> args = { argv0.empty() ? prog : argv0 };
        if (standard) {
            for (const char* a : { "-h", "", "-s", "", "-l", "", "-files", "" })
                args.push_back(a);
            args[2] = tmp.file("root");
            args[4] = statusDir;
            args[6] = logDir;
            args[8] = files;
        }
        args.insert(args.end(), extra.begin(), extra.end());
        std::string path = prog;
        if (!addressLimitKiB.empty()) {
            // A shell sets the limit, then becomes the program.
            path = "/bin/sh";
            // Under QEMU's user-mode emulator the limit bounds the
            // program's own address space, not the emulator's.
            const char* limit = rvtest::runsEmulated32() ? "export QEMU_RESERVED_VA=$(($0 * 1024)) && exec \"$@\""
                                                         : "ulimit -v \"$0\" && exec \"$@\"";
            args.insert(args.begin(), { "/bin/sh", "-c", limit, addressLimitKiB });
        }
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(&a[0]);
        argv.push_back(nullptr);

        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            std::string v = *e;
            if (!pgPort.empty() && v.compare(0, 7, "PGPORT=") == 0)
                continue;
            env.push_back(v);
        }
        if (!pgPort.empty())
            env.push_back("PGPORT=" + pgPort);
        std::vector<char*> envp;
        for (std::string& e : env)
            envp.push_back(&e[0]);
        envp.push_back(nullptr);

        Started s;
        s.outPath = tmp.file("stdout" + tag);
        s.errPath = tmp.file("stderr" + tag);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 1, s.outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&fa, 2, s.errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&s.pid, path.c_str(), &fa, nullptr, argv.data(), envp.data()) != 0)
            s.pid = -1;
        posix_spawn_file_actions_destroy(&fa);
        return s;
    }

    // Waits for a started run, killing it after two minutes.
    RunResult waitFor(const Started& s)
    {
        RunResult r;
        if (s.pid < 0)
            return r;
        int status = 0;
        pid_t done = 0;
        for (int i = 0; i < 1200 && (done = waitpid(s.pid, &status, WNOHANG)) == 0; ++i)
            usleep(100 * 1000);
        if (done == 0) {
            kill(s.pid, SIGKILL);
            waitpid(s.pid, &status, 0);
        }
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = rvtest::readFile(s.outPath);
        r.err = rvtest::readFile(s.errPath);
        return r;
    }

    // What the program is told it was started as (a shell passes the bare
    // name of a program found through PATH); empty: its path.
    std::string argv0;
    // Address-space limit of the program in KiB (ulimit -v); empty: none.
    std::string addressLimitKiB;

    std::string progress(int n)
    {
        std::string out;
        for (int p = 1; p <= n; ++p)
            out += "\r" + text("export_cmdline_export_progress", std::to_string(p), std::to_string(n));
        return out;
    }

    std::string finishLines(int s, int w, int e)
    {
        std::string out = text("export_cmdline_export_result", std::to_string(s), std::to_string(w),
                               std::to_string(e)) +
                          "\n";
        if (w > 0 || e > 0)
            out += text("export_cmdline_export_guidemsg") + "\n";
        return out + text("export_cmdline_export_end") + "\n";
    }

    std::map<std::string, std::string> status()
    {
        std::map<std::string, std::string> m;
        std::string s = rvtest::readFile(statusDir + "/export.status");
        size_t p = 0;
        while (p < s.size()) {
            size_t e = s.find('\n', p);
            std::string line = s.substr(p, e == std::string::npos ? std::string::npos : e - p);
            size_t eq = line.find('=');
            if (eq != std::string::npos)
                m[line.substr(0, eq)] = line.substr(eq + 1);
            if (e == std::string::npos)
                break;
            p = e + 1;
        }
        return m;
    }

    // text: the expected msg, when it is not the code's own text.
    void expectStatus(int code, const std::string& text = std::string())
    {
        std::string s = rvtest::readFile(statusDir + "/export.status");
        std::string msg = code != 0 ? "msg=" + (text.empty() ? codeText(code) : text) + "\n" : "";
        ASSERT_GT(s.size(), 20u);
        EXPECT_EQ("startdate=", s.substr(0, 10));
        std::string rest = s.substr(25);
        EXPECT_EQ(msg + "status=" + std::to_string(code) + "\nenddate=", rest.substr(0, rest.size() - 15))
            << s;
    }

    void expectGolden(const std::string& table)
    {
        for (const char* f : { "setting.json", "data.csv" }) {
            std::string want = rvtest::readFile(kSource + "/tests/export/golden/" + table + "/" + f);
            ASSERT_FALSE(want.empty());
            EXPECT_EQ(want, rvtest::readFile(files + "/" + table + "/" + f)) << table << "/" << f;
        }
    }

    static PgTestDatabase* sharedDb;
    static std::string sharedError;
    rvtest::ScratchDir tmp;
    std::string mod, prog, files, statusDir, logDir;
};

PgTestDatabase* ExportBatTest::sharedDb = nullptr;
std::string ExportBatTest::sharedError;

std::map<std::string, std::string> attachmentsOf(const std::string& table)
{
    static const std::map<std::string, std::map<std::string, std::string>> all = {
        { "tbl00001",
          { { "1/1/14/見積書.pdf", "%PDF-1.4 見積書" },
            { "1/1/14/memo.txt", "メモ\nline 2\n" },
            { "1/1/15/photo.png", hexBytes("89504e470d0a1a0a0000000d49484452000000020000000308060000") },
            { "2/1234/14/same.txt", "first" },
            { "2/1234/14/same(2).txt", "second" },
            { "2/1234/14/report_.pdf", hexBytes("00ff00ff") } } },
        { "tbl00002",
          { { "1/1/5/logo.png", hexBytes("89504e470d0a1a0a") },
            { "1/1/6/contract.pdf", "%PDF-1.4 契約書" },
            { "1/1/8/dev.txt", "開発部の資料" },
            { "1/2/8/sales.txt", "営業部の資料" } } },
        { "tbl00003",
          { { "1/1/3/logo.png", hexBytes("89504e470d0a1a0a") },
            { "1/1/4/contract.pdf", "%PDF-1.4 契約書" },
            { "1/1/7/dev.txt", "開発部の資料" },
            { "1/2/7/sales.txt", "営業部の資料" } } },
        { "tbl00004", { { "1/1/2/sales.txt", "営業部の資料" }, { "1/2/2/dev.txt", "開発部の資料" } } },
    };
    return all.at(table);
}

void expectTable(const std::string& files, const std::string& table)
{
    std::map<std::string, std::string> want = attachmentsOf(table);
    want["setting.json"] = rvtest::readFile(kSource + "/tests/export/golden/" + table + "/setting.json");
    want["data.csv"] = rvtest::readFile(kSource + "/tests/export/golden/" + table + "/data.csv");
    EXPECT_EQ(want, treeOf(files + "/" + table)) << table;
}

TEST_F(ExportBatTest, RunningTablesAreExportedWhole)
{
    RunResult r = runWith({ "-range", "running" });
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ("", r.err);
    // Table 1 has a record with renamed attachments: success and warning.
    EXPECT_EQ(text("export_cmdline_export_start") + "\n" + progress(4) + "\n" + finishLines(4, 1, 0), r.out);
    for (const char* t : { "tbl00001", "tbl00002", "tbl00003", "tbl00004" })
        expectTable(files, t);
    std::vector<std::string> entries;
    listFiles(files, "", entries);
    for (const std::string& e : entries)
        EXPECT_EQ("tbl", e.substr(0, 3)) << e;
    expectStatus(0);

    std::vector<std::string> want = {
        text("export_logfile_start"),
        text("export_logfile_filename_change", "tbl00001", "全項目テーブル", "same.txt", "same(2).txt",
             "1234", "添付", "14"),
        text("export_logfile_filename_change", "tbl00001", "全項目テーブル", "report?.pdf",
             "report_.pdf", "1234", "添付", "14"),
        text("export_logfile_export_end", "tbl00001", "全項目テーブル") +
            text("export_logfile_export_result", "2", "1", "0"),
        text("export_logfile_export_end", "tbl00002", "受注") + text("export_logfile_export_result", "3", "0", "0"),
        text("export_logfile_export_end", "tbl00003", "顧客") + text("export_logfile_export_result", "2", "0", "0"),
        text("export_logfile_export_end", "tbl00004", "部署") + text("export_logfile_export_result", "2", "0", "0"),
        text("export_logfile_end"),
    };
    EXPECT_EQ(want, logEntries(rvtest::readFile(logDir + "/export.log")));
    // One trace file per run under the module directory.
    std::vector<std::string> traces;
    listFiles(mod + "/syslog", "", traces);
    EXPECT_EQ(1u, traces.size());
}

TEST_F(ExportBatTest, AllTablesStopAtTheBrokenDefinitions)
{
    // A stale directory of the table that fails is removed, and no working
    // directory survives the stop.
    ASSERT_EQ(0, system(("mkdir -p '" + files + "/tbl00005/1' && echo old > '" + files + "/tbl00005/data.csv'").c_str()));
    RunResult r = runWith({ "-range", "all" });
    EXPECT_EQ(1, r.exitCode);
    std::map<std::string, std::string> st = status();
    int code = std::atoi(st["status"].c_str());
    EXPECT_NE(0, code);
    EXPECT_EQ(codeText(code), st["msg"]);
    EXPECT_EQ(codeText(code), r.err);
    // The stop leaves the progress line open.
    EXPECT_EQ(text("export_cmdline_export_start") + "\n" + progress(6).substr(0, progress(6).rfind('\r')) +
                  finishLines(4, 1, 1),
              r.out);
    for (const char* t : { "tbl00001", "tbl00002", "tbl00003", "tbl00004" })
        expectTable(files, t);
    EXPECT_FALSE(exists(files + "/tbl00005"));
    EXPECT_FALSE(exists(files + "/tbl00006"));
    std::vector<std::string> entries;
    listFiles(files, "", entries);
    for (const std::string& e : entries)
        EXPECT_EQ("tbl0000", e.substr(0, 7)) << e;

    std::vector<std::string> log = logEntries(rvtest::readFile(logDir + "/export.log"));
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(text("export_logfile_export_end", "tbl00005", "循環定義") +
                  text("export_logfile_export_cancel", "tbl00005", "循環定義"),
              log[log.size() - 3]);
    EXPECT_EQ(codeText(code), log[log.size() - 2]);
    EXPECT_EQ(text("export_logfile_end"), log.back());
}

TEST_F(ExportBatTest, OptionsSelectTablesAndColumns)
{
    RunResult r = runWith({ "-range", "assign", "-dbname", "受注", "-reference", "off" });
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(text("export_cmdline_export_start") + "\n" + progress(1) + "\n" + finishLines(1, 0, 0), r.out);
    std::vector<std::string> entries;
    listFiles(files, "", entries);
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ((std::vector<std::string>{ "tbl00002/data.csv", "tbl00002/setting.json" }), entries);
    EXPECT_EQ("{\"Name\": \"受注\", \"fields\": [{\"field_name\": \"キー\", \"type\": \"textbox\"}, "
              "{\"field_name\": \"件名\", \"type\": \"textbox\"}, {\"field_name\": \"顧客\", \"type\": "
              "\"textbox\"}, {\"field_name\": \"単価\", \"type\": \"number\"}, {\"field_name\": \"数量\", "
              "\"type\": \"number\"}, {\"field_name\": \"小計\", \"type\": \"number\"}, {\"field_name\": "
              "\"登録者\", \"type\": \"\"}, {\"field_name\": \"登録日時\", \"type\": \"\"}, {\"field_name\": "
              "\"更新者\", \"type\": \"\"}, {\"field_name\": \"更新日時\", \"type\": \"\"}]}",
              rvtest::readFile(files + "/tbl00002/setting.json"));
    EXPECT_EQ("\xEF\xBB\xBF"
              "キー,件名,顧客,単価,数量,小計,登録者,登録日時,更新者,更新日時\r\n"
              "1,初回注文,1,1500,3,4500,山田 太郎,2024/03/01 10:00:00,,\r\n"
              "2,追加注文,2,,1,,山田 太郎,2024/03/02 10:00:00,,\r\n"
              "3,顧客なし,,,,,佐藤 花子,2024/03/03 10:00:00,,\r\n",
              rvtest::readFile(files + "/tbl00002/data.csv"));

    // -auto_calc off drops the calculated columns; OFF keeps them.
    r = runWith({ "-range", "assign", "-dbname", "受注", "-auto_calc", "off" });
    EXPECT_EQ(0, r.exitCode) << r.err;
    std::string csv = rvtest::readFile(files + "/tbl00002/data.csv");
    EXPECT_EQ(std::string::npos, csv.find("小計"));
    EXPECT_NE(std::string::npos, csv.find("顧客写真"));
    // Calculated date-times and time spans are left out as well.
    r = runWith({ "-range", "assign", "-dbname", "全項目テーブル", "-auto_calc", "off" });
    EXPECT_EQ(0, r.exitCode) << r.err;
    std::string fields = rvtest::readFile(files + "/tbl00001/setting.json");
    for (const char* calc : { "税込金額", "期限", "経過" })
        EXPECT_EQ(std::string::npos, fields.find(calc)) << calc;
    for (const char* kept : { "受付日時", "所要時間" })
        EXPECT_NE(std::string::npos, fields.find(kept)) << kept;
    r = runWith({ "-range", "assign", "-dbname", "受注", "-auto_calc", "OFF" });
    EXPECT_EQ(0, r.exitCode) << r.err;
    expectTable(files, "tbl00002");

    // A name that matches nothing: no table, no export directory.
    std::string other = tmp.file("other");
    files = other;
    r = runWith({ "-range", "assign", "-dbname", "受注' or '1'='1" });
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(text("export_cmdline_export_start") + "\n" + finishLines(0, 0, 0), r.out);
    EXPECT_FALSE(exists(other));
    std::vector<std::string> log = logEntries(rvtest::readFile(logDir + "/export.log"));
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(text("export_logfile_export_no_table"), log[log.size() - 2]);
}

TEST_F(ExportBatTest, StartUpFailures)
{
    const std::string dbDetail = "-dbname is required when -range is used 'assign'.[-dbname]";
    struct Case {
        const char* name;
        std::vector<std::string> args;
        bool standard;
        int code;
        std::string detail;
    } cases[] = {
        { "no arguments", {}, false, -500002, "This arg is required.[-h]" },
        { "no -files", { "-h", tmp.file("root"), "-s", statusDir, "-l", logDir, "-files", "-range" }, false,
          -500002, "This arg is required.[-files]" },
        { "assign without name", { "-range", "assign" }, true, -500005, dbDetail },
    };
    for (const Case& c : cases) {
        RunResult r = runWith(c.args, c.standard);
        EXPECT_EQ(1, r.exitCode) << c.name;
        EXPECT_EQ(finishLines(0, 0, 0), r.out) << c.name;
        EXPECT_EQ(codeText(c.code) + c.detail, r.err) << c.name;
        EXPECT_FALSE(exists(statusDir + "/export.status")) << c.name;
        EXPECT_FALSE(exists(logDir)) << c.name;
    }

    // A status directory that does not exist is not created.
    std::string saved = statusDir;
    statusDir = tmp.file("nostatus");
    RunResult r = runWith({});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ(codeText(-500021), r.err);
    EXPECT_FALSE(exists(statusDir));
    EXPECT_FALSE(exists(logDir));
    statusDir = saved;

    // Settings file missing: the status file has its start entry already.
    unlink(tmp.file("root/rvdata/app").c_str());
    r = runWith({});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ(codeText(-500001), r.err);
    EXPECT_EQ(finishLines(0, 0, 0), r.out);
    expectStatus(-500001);
    EXPECT_EQ((std::vector<std::string>{ codeText(-500001), text("export_logfile_end") }),
              logEntries(rvtest::readFile(logDir + "/export.log")));

    // Database down: the connection's code.
    writeApp(sharedDb->name());
    unlink((logDir + "/export.log").c_str());
    r = runWith({}, true, "1");
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ(codeText(-1001), r.err);
    expectStatus(-1001);
    EXPECT_EQ((std::vector<std::string>{ codeText(-1001), text("export_logfile_end") }),
              logEntries(rvtest::readFile(logDir + "/export.log")));
    EXPECT_FALSE(exists(files));

    // Text files missing or incomplete.
    std::string strings = rvtest::readFile(mod + "/local/ja/vikra");
    std::string noDate = strings;
    noDate.replace(noDate.find("dateviewfmt_s_ymdhis"), 4, "#dat");
    rvtest::writeFile(mod + "/local/ja/vikra", noDate);
    r = runWith({});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ(codeText(-500004) + "Local string is not found.[dateviewfmt_s_ymdhis]", r.err);
    std::string noUser = strings;
    noUser.replace(noUser.find("export_update_user"), 4, "#exp");
    rvtest::writeFile(mod + "/local/ja/vikra", noUser);
    r = runWith({});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ(codeText(-500004) + "Local string is not found.[export_update_user]", r.err);
    // A text only the list pages use does not stop the export.
    std::string noListText = strings;
    noListText.replace(noListText.find("csvoutstrfile"), 4, "#csv");
    rvtest::writeFile(mod + "/local/ja/vikra", noListText);
    std::string keep = files;
    files = tmp.file("listtext");
    r = runWith({ "-range", "assign", "-dbname", "部署" });
    EXPECT_EQ(0, r.exitCode) << r.err;
    expectTable(files, "tbl00004");
    files = keep;
    unlink((mod + "/local/ja/vikra").c_str());
    r = runWith({});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ(codeText(-500004) + "Code file is not found.", r.err);
    rvtest::writeFile(mod + "/local/ja/vikra", strings);
    unlink((mod + "/local/ja/message").c_str());
    r = runWith({});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ("(code:-500003)Message file is not found.", r.err);
    EXPECT_FALSE(exists(files));
}

// A program found through PATH gets its bare name as argv[0]; its text
// files and trace directory are still found beside it.
TEST_F(ExportBatTest, StartedThroughPath)
{
    argv0 = "exportbat";
    RunResult r = runWith({ "-range", "assign", "-dbname", "部署" });
    EXPECT_EQ(0, r.exitCode) << r.err;
    expectTable(files, "tbl00004");
    EXPECT_TRUE(exists(mod + "/syslog"));
}

// The length limits of attachment paths apply to the published table
// directory, not to the longer working directory it is written in.
TEST_F(ExportBatTest, PathLimitsCountThePublishedDirectory)
{
    std::string base = tmp.file("deep") + "/";
    ASSERT_LT(base.size(), 230u);
    files = base + std::string(230 - base.size(), 'd');  // + "/tbl00004/1/1/2/" = 246 characters
    RunResult r = runWith({ "-range", "assign", "-dbname", "部署" });
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ("営業部の資料", rvtest::readFile(files + "/tbl00004/1/1/2/sales.txt"));
    EXPECT_EQ("開発部の資料", rvtest::readFile(files + "/tbl00004/1/2/2/dev.txt"));
    EXPECT_EQ(std::string::npos, rvtest::readFile(logDir + "/export.log").find(".work-"));

    // One character more and the directory is refused, with the published path in the log.
    files = base + std::string(232 - base.size(), 'd');
    r = runWith({ "-range", "assign", "-dbname", "部署" });
    std::string log = rvtest::readFile(logDir + "/export.log");
    EXPECT_NE(std::string::npos, log.find(files + "/tbl00004/1/1/2/")) << log;
    EXPECT_EQ(std::string::npos, log.find(".work-"));
}

TEST_F(ExportBatTest, RerunReplacesEarlierExportWithoutFollowingLinks)
{
    // Outside data reached through a link in the old export must survive.
    std::string outside = tmp.file("outside");
    ASSERT_EQ(0, system(("mkdir -p '" + outside + "' '" + files + "/tbl00004' '" + files +
                         "/.work-tbl00003/9' && echo keep > '" + outside + "/sentinel' && echo stale > '" +
                         files + "/tbl00004/stale.txt'")
                            .c_str()));
    ASSERT_EQ(0, symlink(outside.c_str(), (files + "/tbl00001").c_str()));
    ASSERT_EQ(0, symlink(outside.c_str(), (files + "/tbl00004/link").c_str()));
    RunResult r = runWith({ "-range", "running" });
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ("keep\n", rvtest::readFile(outside + "/sentinel"));
    r = runWith({ "-range", "running" });
    EXPECT_EQ(0, r.exitCode) << r.err;
    for (const char* t : { "tbl00001", "tbl00002", "tbl00003", "tbl00004" })
        expectTable(files, t);
    EXPECT_FALSE(exists(files + "/.work-tbl00003"));
    EXPECT_EQ("keep\n", rvtest::readFile(outside + "/sentinel"));
}

// Two runs into one export directory at once: the one that finds it taken
// fails and touches nothing, and a run that succeeds leaves a whole export.
TEST_F(ExportBatTest, ConcurrentRunsIntoOneDirectory)
{
    for (int rep = 0; rep < 3; ++rep) {
        ASSERT_EQ(0, system(("rm -rf '" + files + "'").c_str()));
        std::vector<Started> runs;
        std::vector<std::string> statusDirs, logDirs;
        for (int k = 0; k < 2; ++k) {
            std::string tag = std::to_string(rep) + "-" + std::to_string(k);
            statusDir = tmp.file("status" + tag);
            logDir = tmp.file("logs" + tag);
            mkdir(statusDir.c_str(), 0755);
            statusDirs.push_back(statusDir);
            logDirs.push_back(logDir);
            runs.push_back(start({ "-range", "running" }, true, "", std::to_string(k)));
        }
        int succeeded = 0;
        for (int k = 0; k < 2; ++k) {
            RunResult r = waitFor(runs[k]);
            statusDir = statusDirs[k];
            if (r.exitCode == 0) {
                ++succeeded;
                expectStatus(0);
                continue;
            }
            EXPECT_EQ(1, r.exitCode) << r.err;
            EXPECT_EQ(codeText(-1010) + "Export directory is used by another run.[" + files + "/]", r.err);
            expectStatus(-1010);
            std::vector<std::string> log = logEntries(rvtest::readFile(logDirs[k] + "/export.log"));
            EXPECT_EQ((std::vector<std::string>{ text("export_logfile_start"), codeText(-1010),
                                                 text("export_logfile_end") }),
                      log);
        }
        EXPECT_LE(1, succeeded);
        for (const char* t : { "tbl00001", "tbl00002", "tbl00003", "tbl00004" })
            expectTable(files, t);
        std::vector<std::string> entries;
        listFiles(files, "", entries);
        for (const std::string& e : entries)
            EXPECT_EQ("tbl0000", e.substr(0, 7)) << e;
    }
}

// Changes to the data run in a database of their own.
class ExportBatOwnDbTest : public ExportBatTest {
protected:
    void SetUp() override
    {
        ExportBatTest::SetUp();
        own.reset(new PgTestDatabase("exportown"));
        ASSERT_EQ("", own->error());
        ASSERT_EQ("", rvschemaLoadAll(*own));
        writeApp(own->name());
    }
    std::unique_ptr<PgTestDatabase> own;
};

TEST_F(ExportBatOwnDbTest, MissingLargeObjectOnlyFailsItsRecord)
{
    ASSERT_EQ("", own->exec("select lo_unlink(lobfile) from tbl00001_lob where content_id = 2"));
    RunResult r = runWith({ "-range", "running" });
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(text("export_cmdline_export_start") + "\n" + progress(4) + "\n" + finishLines(3, 0, 1), r.out);
    std::string csv = rvtest::readFile(files + "/tbl00001/data.csv");
    EXPECT_NE(std::string::npos, csv.find(",1/1/14/見積書.pdf,1/1/15/photo.png,")) << csv;
    EXPECT_FALSE(exists(files + "/tbl00001/1/1/14/memo.txt"));
    for (const char* t : { "tbl00002", "tbl00003", "tbl00004" })
        expectTable(files, t);
    std::string log = rvtest::readFile(logDir + "/export.log");
    NString skipped;
    rvcomGetCodeMessage(skipped, -500015, "tbl00001", "全項目テーブル", "1", "添付", "14", "memo.txt");
    EXPECT_NE(std::string::npos, log.find(skipped.c_str())) << log;
    EXPECT_NE(std::string::npos, log.find(text("export_logfile_export_result", "1", "1", "1")));
}

// A session of its own on a test database, for holding locks.
using PgSession = std::unique_ptr<PGconn, void (*)(PGconn*)>;

PgSession openSession(const PgTestDatabase& db)
{
    return PgSession(pgtestConnectRetry("host=127.0.0.1 user=postgres dbname=" + db.name()), PQfinish);
}

bool sessionExec(const PgSession& s, const char* q)
{
    PGresult* res = PQexec(s.get(), q);
    bool ok = PQresultStatus(res) == PGRES_COMMAND_OK;
    PQclear(res);
    return ok;
}

// Whether a session waits (at most 10 s) for a lock on table in database
// dbName of the server that PGPORT names.
bool waitsForLock(const std::string& dbName, const std::string& table)
{
    std::string waiting;
    for (int i = 0; i < 200 && waiting != "1"; ++i) {
        usleep(50 * 1000);
        waiting = pgtestQueryValue("select count(*) from pg_locks l join pg_class c on c.oid = l.relation "
                                   "where c.relname = '" + table + "' and not l.granted",
                                   dbName);
    }
    return waiting == "1";
}

bool waitsForLock(const PgTestDatabase& db, const std::string& table)
{
    return waitsForLock(db.name(), table);
}

// Starts a run and holds it just after its snapshot, every lock it takes
// taken: first, the first table the run locks, is held until the run waits
// for it; defs then holds the column definitions, which the run reads next
// once it has its snapshot. Committing defs lets the run go on.
template <class Start>
void startHeldAfterSnapshot(const PgTestDatabase& db, Start start, const std::string& first, PgSession& defs)
{
    PgSession hold = openSession(db);
    defs = openSession(db);
    ASSERT_TRUE(hold != nullptr && defs != nullptr);
    ASSERT_TRUE(sessionExec(hold, "BEGIN"));
    ASSERT_TRUE(sessionExec(hold, ("LOCK TABLE " + first + " IN ACCESS EXCLUSIVE MODE").c_str()));
    start();
    ASSERT_TRUE(waitsForLock(db, first));
    ASSERT_TRUE(sessionExec(defs, "BEGIN"));
    ASSERT_TRUE(sessionExec(defs, "LOCK TABLE rv_tbl_col IN ACCESS EXCLUSIVE MODE"));
    ASSERT_TRUE(sessionExec(hold, "COMMIT"));
    ASSERT_TRUE(waitsForLock(db, "rv_tbl_col"));
}

// Empties a table and fills it again in one transaction that waits at
// most 1 s for its lock: "" or the error.
std::string refill(const PgTestDatabase& db, const std::string& table)
{
    return db.exec("SET lock_timeout = '1s'; BEGIN; CREATE TEMP TABLE keep ON COMMIT DROP AS SELECT * FROM " +
                   table + "; TRUNCATE " + table + "; INSERT INTO " + table + " SELECT * FROM keep; COMMIT");
}

// The tables of the run are locked once listed: a truncation waits for the
// export, and a table held by another session fails after the lock
// time-out while the others are exported.
TEST_F(ExportBatOwnDbTest, ListedTablesAreLockedForTheRun)
{
    Started run;
    PgSession defs(nullptr, PQfinish);
    startHeldAfterSnapshot(*own, [&] { run = start({ "-range", "running" }); }, "tbl00001", defs);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_NE("", own->exec("SET lock_timeout = '1s'; TRUNCATE tbl00004"));
    ASSERT_TRUE(sessionExec(defs, "COMMIT"));
    RunResult r = waitFor(run);
    EXPECT_EQ(0, r.exitCode) << r.err;
    for (const char* t : { "tbl00001", "tbl00002", "tbl00003", "tbl00004" })
        expectTable(files, t);

    // A table another session keeps locked: its earlier export goes, the
    // run goes on and ends with the database's code, named for the table as
    // in the log. The session is ended by the server if the export waits
    // for it.
    PgSession hold = openSession(*own);
    ASSERT_TRUE(hold != nullptr);
    auto sql = [&](const char* q) { return sessionExec(hold, q); };
    auto waitsFor = [&](const std::string& table) { return waitsForLock(*own, table); };
    ASSERT_EQ(0, system(("rm -rf '" + files + "/tbl00001' && mkdir '" + files + "/tbl00001' && echo old > '" +
                         files + "/tbl00001/data.csv'")
                            .c_str()));
    ASSERT_TRUE(sql("SET idle_in_transaction_session_timeout = '20s'"));
    ASSERT_TRUE(sql("BEGIN"));
    ASSERT_TRUE(sql("LOCK TABLE tbl00001 IN ACCESS EXCLUSIVE MODE"));
    r = runWith({ "-range", "running" });
    sql("ROLLBACK");
    const std::string failed = text("export_logfile_export_error", "tbl00001", "全項目テーブル", codeText(-1010));
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ(failed, r.err);
    expectStatus(-1010, failed);
    EXPECT_EQ(text("export_cmdline_export_start") + "\n" + progress(4) + "\n" + finishLines(3, 0, 1), r.out);
    EXPECT_FALSE(exists(files + "/tbl00001"));
    for (const char* t : { "tbl00002", "tbl00003", "tbl00004" })
        expectTable(files, t);
    std::vector<std::string> log = logEntries(rvtest::readFile(logDir + "/export.log"));
    std::vector<std::string> want = { failed,
                                      text("export_logfile_export_end", "tbl00001", "全項目テーブル") +
                                          text("export_logfile_export_cancel", "tbl00001", "全項目テーブル") };
    ASSERT_GE(log.size(), 6u);
    EXPECT_EQ(want, std::vector<std::string>(log.end() - 6, log.end() - 4));

    // A table emptied and renamed while the export waits for another lock
    // is read as one snapshot: emptied and under its new name.
    ASSERT_TRUE(sql("BEGIN"));
    ASSERT_TRUE(sql("LOCK TABLE tbl00002 IN ACCESS EXCLUSIVE MODE"));
    run = start({ "-range", "running" });
    EXPECT_TRUE(waitsFor("tbl00002"));
    EXPECT_EQ("", own->exec("BEGIN; TRUNCATE tbl00004; "
                            "UPDATE rv_tbl SET tbl_lname = '部署(空)' WHERE tbl_id = 4; COMMIT"));
    ASSERT_TRUE(sql("COMMIT"));
    r = waitFor(run);
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_NE(std::string::npos, rvtest::readFile(files + "/tbl00004/setting.json").find("部署(空)"));
    std::string csv = rvtest::readFile(files + "/tbl00004/data.csv");
    EXPECT_EQ(csv.size() - 2, csv.find("\r\n")) << csv;
}

// A table that starts running while the export waits for a lock is locked
// before the snapshot that reads it: a truncation and refill begun meanwhile
// and committed while the export waits for that table is read whole, as
// are the rows other tables reach through it. A list that keeps growing is
// given up after three rounds: the table it gained last fails.
TEST_F(ExportBatOwnDbTest, TablesListedLateAreLockedBeforeTheSnapshot)
{
    ASSERT_EQ("", own->exec("UPDATE rv_tbl SET status = '0' WHERE tbl_id = 3"));
    PgSession hold = openSession(*own), refill = openSession(*own);
    ASSERT_TRUE(hold != nullptr && refill != nullptr);
    ASSERT_TRUE(sessionExec(hold, "BEGIN"));
    ASSERT_TRUE(sessionExec(hold, "LOCK TABLE tbl00001 IN ACCESS EXCLUSIVE MODE"));
    Started run = start({ "-range", "running" });
    EXPECT_TRUE(waitsForLock(*own, "tbl00001"));
    ASSERT_EQ("", own->exec("UPDATE rv_tbl SET status = '1' WHERE tbl_id = 3"));
    ASSERT_TRUE(sessionExec(refill, "BEGIN"));
    ASSERT_TRUE(sessionExec(refill, "CREATE TEMP TABLE keep AS SELECT * FROM tbl00003"));
    ASSERT_TRUE(sessionExec(refill, "TRUNCATE tbl00003"));
    ASSERT_TRUE(sessionExec(refill, "INSERT INTO tbl00003 SELECT * FROM keep"));
    ASSERT_TRUE(sessionExec(hold, "COMMIT"));
    EXPECT_TRUE(waitsForLock(*own, "tbl00003"));
    ASSERT_TRUE(sessionExec(refill, "COMMIT"));
    RunResult r = waitFor(run);
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(text("export_cmdline_export_start") + "\n" + progress(4) + "\n" + finishLines(4, 1, 0), r.out);
    for (const char* t : { "tbl00001", "tbl00002", "tbl00003", "tbl00004" })
        expectTable(files, t);

    // Each round waits for a table that another session holds while a
    // table that no earlier round locked starts running: 4, then 3 (which
    // reads 4), then 2 (which reads 3 and 4), then 1.
    ASSERT_EQ("", own->exec("UPDATE rv_tbl SET status = '0' WHERE tbl_id < 4"));
    std::vector<PgSession> holds;
    for (int t = 4; t >= 2; --t) {
        std::string lock = "LOCK TABLE tbl0000" + std::to_string(t) + " IN ACCESS EXCLUSIVE MODE";
        holds.push_back(openSession(*own));
        ASSERT_TRUE(holds.back() != nullptr);
        ASSERT_TRUE(sessionExec(holds.back(), "BEGIN"));
        ASSERT_TRUE(sessionExec(holds.back(), lock.c_str()));
    }
    run = start({ "-range", "running" });
    for (int t = 4; t >= 2; --t) {
        EXPECT_TRUE(waitsForLock(*own, "tbl0000" + std::to_string(t)));
        ASSERT_EQ("", own->exec("UPDATE rv_tbl SET status = '1' WHERE tbl_id = " + std::to_string(t - 1)));
        ASSERT_TRUE(sessionExec(holds[4 - t], "COMMIT"));
    }
    r = waitFor(run);
    const std::string failed = text("export_logfile_export_error", "tbl00001", "全項目テーブル", codeText(-1010));
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ(failed, r.err);
    expectStatus(-1010, failed);
    EXPECT_EQ(text("export_cmdline_export_start") + "\n" + progress(4) + "\n" + finishLines(3, 0, 1), r.out);
    for (const char* t : { "tbl00002", "tbl00003", "tbl00004" })
        expectTable(files, t);
    EXPECT_FALSE(exists(files + "/tbl00001"));
}

// Every table a run reads is locked before its snapshot: the tables its
// reference columns reach, to the end of a chain (2 reads 3, and 4 through
// 3), with their attachment tables, an attachment table that was missing
// when its lock was tried but is back by the snapshot, and a table that a
// reference added meanwhile reaches. A table emptied and filled again by
// another session meanwhile is read whole.
TEST_F(ExportBatOwnDbTest, ReferencedTablesAreLockedBeforeTheSnapshot)
{
    const std::vector<std::string> order = { "-range", "assign", "-dbname", "受注" };
    const std::vector<std::string> customers = { "-range", "assign", "-dbname", "顧客" };
    const std::vector<std::string> running = { "-range", "running" };
    // Table 3's references to 4 taken out before the run, back while it waits.
    const std::string refsOut = "CREATE TABLE keptcols AS SELECT * FROM rv_tbl_col WHERE tbl_id = 3 AND col_id IN (6, 7);"
                                "DELETE FROM rv_tbl_col WHERE tbl_id = 3 AND col_id IN (6, 7)";
    const std::string refsBack = "INSERT INTO rv_tbl_col SELECT * FROM keptcols; DROP TABLE keptcols";
    struct {
        const std::vector<std::string>& args;
        const char* first;    // the first table the run locks
        const char* table;    // emptied and filled again
        bool blocked;         // that waits for the run's lock
        std::string before;   // run before the run
        std::string between;  // run while the run waits for first
        const char* exported;
    } cases[] = {
        { order, "tbl00002", "tbl00003", true, "", "", "tbl00002" },
        { order, "tbl00002", "tbl00003_lob", true, "", "", "tbl00002" },
        { order, "tbl00002", "tbl00004", true, "", "", "tbl00002" },
        { order, "tbl00002", "tbl00004_lob", true, "", "", "tbl00002" },
        { running, "tbl00002", "tbl00001_lob", false, "ALTER TABLE tbl00001_lob RENAME TO away",
          "ALTER TABLE away RENAME TO tbl00001_lob", "tbl00001" },
        { customers, "tbl00003", "tbl00004", false, refsOut, refsBack, "tbl00003" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.table) + " " + c.between);
        if (!c.before.empty()) {
            ASSERT_EQ("", own->exec(c.before));
        }
        Started run;
        PgSession defs(nullptr, PQfinish);
        startHeldAfterSnapshot(*own, [&] {
            run = start(c.args);
            if (!c.between.empty() && waitsForLock(*own, c.first)) {
                EXPECT_EQ("", own->exec(c.between));
            }
        }, c.first, defs);
        ASSERT_FALSE(HasFatalFailure());
        std::string e = refill(*own, c.table);
        EXPECT_EQ(c.blocked, !e.empty()) << e;
        ASSERT_TRUE(sessionExec(defs, "COMMIT"));
        RunResult r = waitFor(run);
        EXPECT_EQ(0, r.exitCode) << r.err;
        expectTable(files, c.exported);
    }

    // A referenced table held past the lock time-out fails every table that
    // reads it, named in msg, stderr and the log, whose line also names the
    // referenced table; the run goes on with the others.
    PgSession hold = openSession(*own);
    ASSERT_TRUE(hold != nullptr);
    ASSERT_TRUE(sessionExec(hold, "SET idle_in_transaction_session_timeout = '20s'"));
    ASSERT_TRUE(sessionExec(hold, "BEGIN"));
    ASSERT_TRUE(sessionExec(hold, "LOCK TABLE tbl00004 IN ACCESS EXCLUSIVE MODE"));
    RunResult r = runWith(running);
    sessionExec(hold, "ROLLBACK");
    auto failed = [](const char* phys, const char* name) {
        return text("export_logfile_export_error", phys, name, codeText(-1010));
    };
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ(failed("tbl00002", "受注"), r.err);
    expectStatus(-1010, failed("tbl00002", "受注"));
    EXPECT_EQ(text("export_cmdline_export_start") + "\n" + progress(4) + "\n" + finishLines(1, 1, 3), r.out);
    expectTable(files, "tbl00001");
    for (const char* t : { "tbl00002", "tbl00003", "tbl00004" })
        EXPECT_FALSE(exists(files + "/" + t)) << t;
    std::vector<std::string> log = logEntries(rvtest::readFile(logDir + "/export.log"));
    for (const std::string& line : { failed("tbl00002", "受注") + " " + text("export_logfile_export_reference", "tbl00004"),
                                     failed("tbl00003", "顧客") + " " + text("export_logfile_export_reference", "tbl00004"),
                                     failed("tbl00004", "部署") })
        EXPECT_EQ(1, std::count(log.begin(), log.end(), line)) << line;
}

// The lock time-out bounds the locks only: definitions that another
// session holds past it once the locks are taken are waited for.
TEST_F(ExportBatOwnDbTest, LockTimeOutBoundsOnlyTheLocks)
{
    Started run;
    PgSession defs(nullptr, PQfinish);
    startHeldAfterSnapshot(*own, [&] { run = start({ "-range", "running" }); }, "tbl00001", defs);
    ASSERT_FALSE(HasFatalFailure());
    bool waits = true;
    const auto since = std::chrono::steady_clock::now();
    while (waits && std::chrono::steady_clock::now() - since < std::chrono::milliseconds(6500)) {
        usleep(200 * 1000);
        waits = own->queryValue("select count(*) from pg_locks l join pg_class c on c.oid = l.relation "
                                "where c.relname = 'rv_tbl_col' and not l.granted") == "1";
    }
    EXPECT_TRUE(waits) << "the run no longer waits for the definitions";
    ASSERT_TRUE(sessionExec(defs, "COMMIT"));
    RunResult r = waitFor(run);
    EXPECT_EQ(0, r.exitCode) << r.err;
    for (const char* t : { "tbl00001", "tbl00002", "tbl00003", "tbl00004" })
        expectTable(files, t);
}

// A read of the definitions that fails in the database, before the locks
// or in the snapshot, stops the run with its code, logged for the table.
TEST_F(ExportBatOwnDbTest, FailedReadOfTheDefinitionsStopsTheRun)
{
    const std::string breakDefs = "ALTER TABLE rv_tbl_col RENAME COLUMN tbl_id TO gone";
    const std::string mendDefs = "ALTER TABLE rv_tbl_col RENAME COLUMN gone TO tbl_id";
    const std::string failed = text("export_logfile_export_error", "tbl00001", "全項目テーブル", codeText(-1017));
    for (bool beforeRun : { true, false }) {
        SCOPED_TRACE(beforeRun ? "before the locks" : "in the snapshot");
        PgSession hold = openSession(*own);
        ASSERT_TRUE(hold != nullptr);
        ASSERT_TRUE(sessionExec(hold, "BEGIN"));
        ASSERT_TRUE(sessionExec(hold, "LOCK TABLE tbl00001 IN ACCESS EXCLUSIVE MODE"));
        if (beforeRun) {
            ASSERT_EQ("", own->exec(breakDefs));
        }
        Started run = start({ "-range", "running" });
        if (!beforeRun) {
            EXPECT_TRUE(waitsForLock(*own, "tbl00001"));
            ASSERT_EQ("", own->exec(breakDefs));
        }
        ASSERT_TRUE(sessionExec(hold, "COMMIT"));
        RunResult r = waitFor(run);
        ASSERT_EQ("", own->exec(mendDefs));
        EXPECT_EQ(1, r.exitCode);
        EXPECT_EQ(codeText(-1017), r.err);
        expectStatus(-1017);
        std::vector<std::string> log = logEntries(rvtest::readFile(logDir + "/export.log"));
        ASSERT_GE(log.size(), 3u);
        EXPECT_EQ(failed, log[log.size() - 3]);
        EXPECT_EQ(codeText(-1017), log[log.size() - 2]);
        std::vector<std::string> entries;
        listFiles(files, "", entries);
        EXPECT_TRUE(entries.empty()) << entries.front();
    }
}

// A record query the server cannot plan before the first file (a column
// gone from table 3, which table 2 reads too) takes nothing from the others:
// table 1 is written, and the run stops at table 2 with the query's code.
TEST_F(ExportBatOwnDbTest, UnplannableRecordQueryStopsTheRunAtItsTable)
{
    ASSERT_EQ("", own->exec("ALTER TABLE tbl00003 DROP COLUMN col00001"));
    RunResult r = runWith({ "-range", "running" });
    const std::string failed = text("export_logfile_export_error", "tbl00002", "受注", codeText(-1017));
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ(codeText(-1017), r.err);
    expectStatus(-1017);
    expectTable(files, "tbl00001");
    for (const char* t : { "tbl00002", "tbl00003", "tbl00004" })
        EXPECT_FALSE(exists(files + "/" + t)) << t;
    std::vector<std::string> log = logEntries(rvtest::readFile(logDir + "/export.log"));
    EXPECT_EQ(1, std::count(log.begin(), log.end(), failed));
}

// Without reference columns a run neither locks nor waits for the tables
// they reach: another session holds the referenced table meanwhile.
TEST_F(ExportBatTest, ReferencesOffLeaveReferencedTablesUnlocked)
{
    PgSession hold = openSession(*sharedDb);
    ASSERT_TRUE(hold != nullptr);
    ASSERT_TRUE(sessionExec(hold, "SET idle_in_transaction_session_timeout = '20s'"));
    ASSERT_TRUE(sessionExec(hold, "BEGIN"));
    ASSERT_TRUE(sessionExec(hold, "LOCK TABLE tbl00004 IN ACCESS EXCLUSIVE MODE"));
    RunResult r = runWith({ "-range", "assign", "-dbname", "顧客", "-reference", "off" });
    sessionExec(hold, "ROLLBACK");
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(text("export_cmdline_export_start") + "\n" + progress(1) + "\n" + finishLines(1, 0, 0), r.out);
    EXPECT_NE("", rvtest::readFile(files + "/tbl00003/data.csv"));
}

// A private server with a small lock table: 10 locks a transaction and 10
// connections, which max_locks_per_transaction x max_connections puts at
// 100 locks, while the server grants some 600. Its database holds the
// sample tables; the statements of the application role go to the
// server's log.
class ExportBatLockSpaceTest : public ExportBatTest {
protected:
    void SetUp() override
    {
        ExportBatTest::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_EQ("", pgtestStartServer(dir, 10, 3, 10));
        port = std::to_string(pgtestReadPort(dir));
        setenv("PGPORT", port.c_str(), 1);
        std::string make = std::string("SET ROLE ") + PGTEST_USER + ";";
        for (const char* f : { "schema_tables.sql", "sample_tables.sql" })
            make += rvtest::readFile(rvschemaSqlPath(f));
        ASSERT_EQ("", exec(make + "RESET ROLE; ALTER ROLE " + PGTEST_USER + " SET log_statement = 'all'"));
        writeApp(PGTEST_DB);
    }
    void TearDown() override
    {
        pgtestStopServer(dir);
        if (portWasSet)
            setenv("PGPORT", portWas.c_str(), 1);
        else
            unsetenv("PGPORT");
    }

    static std::string exec(const std::string& sql) { return pgtestExec(sql, PGTEST_DB); }

    static std::string tableName(int id)
    {
        char name[16];
        snprintf(name, sizeof name, "tbl%05d", id);
        return name;
    }

    // Tables first to last like table 4, without attachment tables, each
    // made in a transaction of its own with an index on each column list of
    // indexes; listed as stopped, with the definitions of table 4.
    static std::string addTables(int first, int last, const std::vector<std::string>& indexes = {})
    {
        std::string sql = std::string("SET ROLE ") + PGTEST_USER + ";";
        for (int id = first; id <= last; ++id) {
            sql += "BEGIN; CREATE TABLE " + tableName(id) + " (LIKE tbl00004 INCLUDING ALL);";
            for (const std::string& cols : indexes)
                sql += "CREATE INDEX ON " + tableName(id) + " (" + cols + ");";
            sql += "COMMIT;";
        }
        const std::string ids = "generate_series(" + std::to_string(first) + ", " + std::to_string(last) + ") g";
        return exec(sql + "INSERT INTO rv_tbl SELECT (json_populate_record(t, json_build_object('tbl_id', g, "
                          "'seqno', g, 'tbl_lname', 'T' || g, 'tbl_key', null, 'status', '0'))).* FROM rv_tbl t, " +
                    ids + " WHERE t.tbl_id = 4; INSERT INTO rv_tbl_col SELECT (json_populate_record(c, "
                          "json_build_object('tbl_id', g))).* FROM rv_tbl_col c, " + ids + " WHERE c.tbl_id = 4");
    }

    // Only the tables that match the condition run.
    static std::string runOnly(const std::string& condition)
    {
        return exec("UPDATE rv_tbl SET status = CASE WHEN " + condition + " THEN '1' ELSE '0' END");
    }

    std::string serverLog() const
    {
        std::string data = dir + "/data";
        if (exists(dir + "/datadir")) {
            data = rvtest::readFile(dir + "/datadir");
            data = data.substr(0, data.find('\n'));
        }
        return rvtest::readFile(data + "/server.log");
    }

    // What the application's sessions sent the server from byte from of its
    // log on, in order: each statement or function call, and "ERROR: <text>"
    // after one that failed.
    std::vector<std::string> sentSince(size_t from) const
    {
        const std::string log = serverLog();
        std::vector<std::pair<std::string, std::string>> lines;  // session, entry
        std::set<std::string> sessions;
        for (size_t s = std::min(from, log.size()); s < log.size();) {
            size_t e = log.find('\n', s);
            if (e == std::string::npos)
                e = log.size();
            const std::string line = log.substr(s, e - s);
            s = e + 1;
            size_t open = line.find(" ["), close = line.find("] ");
            if (open == std::string::npos || close == std::string::npos || close < open)
                continue;
            const std::string session = line.substr(open + 2, close - open - 2), rest = line.substr(close + 2);
            for (const char* kind : { "LOG:  statement: ", "LOG:  execute <unnamed>: ", "LOG:  fastpath " }) {
                if (rest.compare(0, std::strlen(kind), kind) == 0) {
                    lines.emplace_back(session, rest.substr(std::strlen(kind)));
                    sessions.insert(session);
                }
            }
            if (rest.compare(0, 8, "ERROR:  ") == 0)
                lines.emplace_back(session, "ERROR: " + rest.substr(8));
        }
        std::vector<std::string> out;
        for (const auto& l : lines)
            if (sessions.count(l.first) > 0)
                out.push_back(l.second);
        return out;
    }

    // The run stopped for lack of lock space with the server's text and hint
    // in msg, on stderr and in export.log.
    void expectNoRoomText(const RunResult& r)
    {
        const std::string noRoom = codeText(-1050) + " " +
                                   text("export_logfile_server_error", "out of shared memory",
                                        "You might need to increase max_locks_per_transaction.");
        EXPECT_EQ(1, r.exitCode);
        EXPECT_EQ(noRoom, r.err);
        expectStatus(-1050, noRoom);
        std::vector<std::string> log = logEntries(rvtest::readFile(logDir + "/export.log"));
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(noRoom, log[log.size() - 2]);
    }

    // The same, having written nothing.
    void expectNoRoom(const RunResult& r)
    {
        expectNoRoomText(r);
        EXPECT_EQ(text("export_cmdline_export_start") + "\n" + finishLines(0, 0, 0), r.out);
        std::vector<std::string> entries;
        listFiles(files, "", entries);
        EXPECT_TRUE(entries.empty()) << entries.front();
    }

    // The statement that found no room, and what the run sent after it: at
    // most the undoing of its savepoint, then the rollback, and nothing
    // more but rollbacks.
    std::string expectStoppedAtOnce(const std::vector<std::string>& sent)
    {
        auto full = std::find(sent.begin(), sent.end(), "ERROR: out of shared memory");
        if (full == sent.end() || full == sent.begin()) {
            ADD_FAILURE() << "no statement found no room";
            return "";
        }
        std::vector<std::string> rest(full + 1, sent.end());
        if (!rest.empty() && rest[0] == "ROLLBACK TO SAVEPOINT rvexp_lock") {
            EXPECT_LE(2u, rest.size());
            if (rest.size() > 1) {
                EXPECT_EQ("RELEASE SAVEPOINT rvexp_lock", rest[1]);
            }
            rest.erase(rest.begin(), rest.begin() + std::min<size_t>(2, rest.size()));
        }
        EXPECT_FALSE(rest.empty());
        for (const std::string& s : rest)
            EXPECT_EQ("ROLLBACK", s);
        return *(full - 1);
    }

    const std::string dir = std::string(RV_BINARY_DIR) + "/pgtest-locks-" + std::to_string(getpid());
    const bool portWasSet = getenv("PGPORT") != nullptr;
    const std::string portWas = portWasSet ? getenv("PGPORT") : "";
    std::string port;
};

// More tables and indexes than max_locks_per_transaction x max_connections,
// fewer than the server grants: the run exports every one.
TEST_F(ExportBatLockSpaceTest, RunsPastTheDocumentedLockTableSize)
{
    ASSERT_EQ("", addTables(101, 160));
    ASSERT_EQ("", runOnly("tbl_id <= 4 OR tbl_id > 100"));
    RunResult r = runWith({ "-range", "running" }, true, port);
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(text("export_cmdline_export_start") + "\n" + progress(64) + "\n" + finishLines(64, 1, 0), r.out);
    expectStatus(0);
    for (const char* t : { "tbl00001", "tbl00002", "tbl00003", "tbl00004" })
        expectTable(files, t);
    for (int id = 101; id <= 160; ++id)
        EXPECT_TRUE(exists(files + "/" + tableName(id) + "/data.csv")) << id;
}

// Tables whose locks fit but whose indexes do not (100 tables of ten
// indexes each): the run stops before its first file, reads no record, and
// rolls back at once.
TEST_F(ExportBatLockSpaceTest, IndexesWithoutRoomStopTheRunBeforeItsFirstFile)
{
    ASSERT_EQ("", addTables(200, 299, { "regist_uname", "regist_date", "update_uname", "update_date", "col00001",
                                        "col00002", "col00001, col00002", "regist_date, col00001",
                                        "update_date, col00002" }));
    ASSERT_EQ("", runOnly("tbl_id >= 200"));
    const size_t from = serverLog().size();
    RunResult r = runWith({ "-range", "running" }, true, port);
    expectNoRoom(r);
    std::vector<std::string> sent = sentSince(from);
    EXPECT_EQ("EXPLAIN select ", expectStoppedAtOnce(sent).substr(0, 15));
    for (const std::string& s : sent)
        EXPECT_NE("DECLARE ", s.substr(0, 8)) << s;
}

// A lock that finds no room stops the run at that lock, even though the
// space comes free at once: the lock of a table that 900 others inherit
// locks each of them, and gives them back when it fails. No later lock is
// sent.
TEST_F(ExportBatLockSpaceTest, LockWithoutRoomStopsTheRunThere)
{
    ASSERT_EQ("", addTables(400, 401));
    std::string children = std::string("SET ROLE ") + PGTEST_USER + ";";
    for (int b = 0; b < 9; ++b) {
        children += "BEGIN;";
        for (int k = 0; k < 100; ++k)
            children += "CREATE TABLE tbl00400_" + std::to_string(b * 100 + k) + " () INHERITS (tbl00400);";
        children += "COMMIT;";
    }
    ASSERT_EQ("", exec(children));
    ASSERT_EQ("", runOnly("tbl_id IN (4, 400, 401)"));
    const size_t from = serverLog().size();
    RunResult r = runWith({ "-range", "running" }, true, port);
    expectNoRoom(r);
    std::vector<std::string> sent = sentSince(from), locks;
    for (const std::string& s : sent)
        if (s.compare(0, 5, "LOCK ") == 0)
            locks.push_back(s);
    EXPECT_EQ((std::vector<std::string>{ "LOCK TABLE tbl00004 IN ACCESS SHARE MODE",
                                         "LOCK TABLE tbl00004_lob IN ACCESS SHARE MODE",
                                         "LOCK TABLE tbl00400 IN ACCESS SHARE MODE" }),
              locks);
    EXPECT_EQ("LOCK TABLE tbl00400 IN ACCESS SHARE MODE", expectStoppedAtOnce(sent));
}

// While the run waits for its first lock, another session takes every
// free lock: the run stops at the first lock or plan that finds no room,
// with the server's text and hint, and rolls back at once.
TEST_F(ExportBatLockSpaceTest, LockTableTooSmallStopsTheRun)
{
    PgSession hold(pgtestConnectRetry(std::string("host=127.0.0.1 user=postgres dbname=") + PGTEST_DB), PQfinish);
    ASSERT_TRUE(hold != nullptr);
    ASSERT_TRUE(sessionExec(hold, "BEGIN"));
    ASSERT_TRUE(sessionExec(hold, "LOCK TABLE tbl00001 IN ACCESS EXCLUSIVE MODE"));
    const size_t from = serverLog().size();
    Started run = start({ "-range", "running" }, true, port);
    EXPECT_TRUE(waitsForLock(PGTEST_DB, "tbl00001"));
    ASSERT_TRUE(sessionExec(hold, "DO $$ BEGIN FOR i IN 1..100000 LOOP BEGIN PERFORM pg_advisory_lock(i); "
                                  "EXCEPTION WHEN out_of_memory THEN EXIT; END; END LOOP; END $$"));
    ASSERT_TRUE(sessionExec(hold, "COMMIT"));
    RunResult r = waitFor(run);
    hold.reset();
    expectNoRoom(r);
    const std::string failed = expectStoppedAtOnce(sentSince(from));
    EXPECT_TRUE(failed.compare(0, 5, "LOCK ") == 0 || failed.compare(0, 8, "EXPLAIN ") == 0) << failed;
}

// Another session holds all but n entries of the lock table while the run
// goes, n from too few to plenty: the run ends as it does alone, or stops
// for lack of lock space in the server's words. Only a lock given back at
// once (a fetch of values stored out of line) may stop it after its first
// file, and the tables published by then are whole.
TEST_F(ExportBatLockSpaceTest, EveryRoomLeftEndsAsAloneOrWithoutRoom)
{
    // Only the run and the holding session take locks. Table 7 holds texts
    // stored out of line, table 8 an attachment for each record; both run
    // before the sample tables.
    ASSERT_EQ("", exec("ALTER SYSTEM SET autovacuum = off"));
    ASSERT_EQ("", exec("SELECT pg_reload_conf()"));
    ASSERT_EQ("", addTables(7, 8));
    ASSERT_EQ("", exec(std::string("SET ROLE ") + PGTEST_USER + ";"
                       "UPDATE rv_tbl SET seqno = tbl_id - 9 WHERE tbl_id IN (7, 8);"
                       "DELETE FROM rv_tbl_col WHERE tbl_id = 7 AND col_id = 2;"
                       "ALTER TABLE tbl00007 ALTER COLUMN col00001 SET STORAGE EXTERNAL;"
                       "INSERT INTO tbl00007 SELECT g, '佐藤 花子', NULL, NULL, NULL, repeat('長文' || g, 1500) "
                       "FROM generate_series(1, 3) g;"
                       "INSERT INTO tbl00008 SELECT g, '佐藤 花子', NULL, NULL, NULL, '件名' || g, '1' "
                       "FROM generate_series(1, 3) g;"
                       "CREATE TABLE tbl00008_lob (LIKE tbl00001_lob INCLUDING ALL);"
                       "INSERT INTO tbl00008_lob (content_id, col_id, rvkey, file_name, file_size, mime_type, "
                       "lobfile) SELECT 80 + g, 2, g, 'file' || g || '.txt', 7, 'text/plain', "
                       "lo_from_bytea(0, convert_to('内容' || g, 'UTF8')) FROM generate_series(1, 3) g"));
    ASSERT_EQ("t", pgtestQueryValue("SELECT pg_relation_size(reltoastrelid) > 0 FROM pg_class "
                                    "WHERE relname = 'tbl00007'", PGTEST_DB));
    // Alone the run writes every table before table 5's broken definitions.
    const std::string aloneDir = files = tmp.file("alone");
    logDir = tmp.file("logs/alone");
    const RunResult alone = runWith({ "-range", "all" }, true, port);
    EXPECT_EQ(codeText(-100001), alone.err);
    std::map<std::string, std::string> aloneTree = treeOf(files);
    EXPECT_NE(std::string::npos, aloneTree["tbl00007/data.csv"].find("長文3長文3"));
    EXPECT_EQ("内容3", aloneTree["tbl00008/1/3/2/file3.txt"]);

    PgSession hold(pgtestConnectRetry(std::string("host=127.0.0.1 user=postgres dbname=") + PGTEST_DB), PQfinish);
    ASSERT_TRUE(hold != nullptr);
    int stopped = 0, asAlone = 0;
    for (int n = 4; n <= 40; ++n) {
        const std::string tag = std::to_string(n);
        SCOPED_TRACE("locks left: " + tag);
        files = tmp.file("n" + tag);
        logDir = tmp.file("logs/n" + tag);
        // Fills the lock table, then frees the last n taken.
        ASSERT_TRUE(sessionExec(hold, ("DO $$ DECLARE n int := 0; BEGIN FOR i IN 1..100000 LOOP BEGIN "
                                       "PERFORM pg_advisory_lock(i); EXCEPTION WHEN out_of_memory THEN EXIT; END; "
                                       "n := i; END LOOP; IF n = 100000 THEN RAISE 'lock table not full'; END IF; "
                                       "FOR i IN n - " + tag + " + 1..n LOOP PERFORM pg_advisory_unlock(i); END LOOP; "
                                       "END $$").c_str()));
        const size_t from = serverLog().size();
        const RunResult r = runWith({ "-range", "all" }, true, port);
        ASSERT_TRUE(sessionExec(hold, "DO $$ BEGIN PERFORM pg_advisory_unlock_all(); END $$"));
        const std::map<std::string, std::string> tree = treeOf(files);
        if (r.exitCode == alone.exitCode && r.out == alone.out && r.err == alone.err && tree == aloneTree) {
            ++asAlone;
            continue;
        }
        ++stopped;
        const std::vector<std::string> sent = sentSince(from);
        const auto full = std::find(sent.begin(), sent.end(), "ERROR: out of shared memory");
        const std::string failed = full != sent.begin() && full != sent.end() ? *(full - 1) : "";
        if (tree.empty() && failed.compare(0, 6, "FETCH ") != 0) {
            expectNoRoom(r);
            continue;
        }
        expectNoRoomText(r);
        EXPECT_EQ("FETCH ", failed.substr(0, 6)) << failed;
        std::set<std::string> published;
        for (const auto& f : tree)
            published.insert(f.first.substr(0, f.first.find('/')));
        for (const std::string& t : published)
            EXPECT_EQ(treeOf(aloneDir + "/" + t), treeOf(files + "/" + t)) << t;
    }
    EXPECT_GT(stopped, 0);
    EXPECT_GT(asAlone, 0);
}

// Date-times and time spans that data.csv cannot hold fail only their
// record, with an empty cell and a log line; the edges of the range are
// written as usual.
TEST_F(ExportBatOwnDbTest, UnwritableDateTimesFailOnlyTheirRecords)
{
    struct {
        const char* key;
        const char* column;
        const char* value;
        int cell;         // index in the line
        const char* text; // the cell; null: an error record with an empty cell
        const char* colName;
        const char* colId;
    } cases[] = {
        { "11", "col00007", "'10000-01-01 00:00:00'", 7, nullptr, "受付日時", "7" },
        { "12", "col00007", "'0044-03-15 12:00:00 BC'", 7, nullptr, "受付日時", "7" },
        { "13", "col00008", "'infinity'", 8, nullptr, "期限", "8" },
        { "14", "regist_date", "'-infinity'", 17, nullptr, "登録日時", "-3" },
        { "15", "col00009", "'NaN'", 9, nullptr, "所要時間", "9" },
        { "16", "col00008", "'9999-12-31 15:00:00+00'", 8, nullptr, "期限", "8" },
        { "17", "col00008", "'9999-12-31 14:59:59+00'", 8, "9999/12/31 23:59:59", "", "" },
        { "18", "col00007", "'9999-12-31 23:59:59'", 7, "9999/12/31 23:59:59", "", "" },
        { "19", "col00007", "'0001-01-01 00:00:00'", 7, "0001/01/01 00:00:00", "", "" },
    };
    std::string sql = "alter table tbl00001 alter col00008 type timestamptz;";
    for (const auto& c : cases)
        sql += std::string("insert into tbl00001 (rvkey, ") + c.column + ") values (" + c.key + ", " + c.value + ");";
    ASSERT_EQ("", own->exec(sql));
    RunResult r = runWith({ "-range", "running" });
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(text("export_cmdline_export_start") + "\n" + progress(4) + "\n" + finishLines(3, 0, 1), r.out);
    for (const char* t : { "tbl00002", "tbl00003", "tbl00004" })
        expectTable(files, t);
    std::string csv = rvtest::readFile(files + "/tbl00001/data.csv");
    std::string log = rvtest::readFile(logDir + "/export.log");
    for (const auto& c : cases) {
        std::vector<std::string> cells(20);
        cells[0] = c.key;
        cells[c.cell] = c.text ? c.text : "";
        std::string line;
        for (const std::string& cell : cells)
            line += (line.empty() ? "" : ",") + cell;
        EXPECT_NE(std::string::npos, csv.find("\r\n" + line + "\r\n")) << c.key << "\n" << csv;
        NString bad;
        rvcomGetCodeMessage(bad, -500023, "tbl00001", "全項目テーブル", c.key, c.colName, c.colId);
        EXPECT_EQ(c.text == nullptr, log.find(bad.c_str()) != std::string::npos) << c.key << "\n" << log;
    }
    // Record 1234's 期限 of 9999-12-31 23:59:59, now read as UTC, falls in
    // the year 10000 as well.
    NString late;
    rvcomGetCodeMessage(late, -500023, "tbl00001", "全項目テーブル", "1234", "期限", "8");
    EXPECT_NE(std::string::npos, log.find(late.c_str())) << log;
    EXPECT_NE(std::string::npos, log.find(text("export_logfile_export_result", "5", "0", "7"))) << log;
}

// Rows of a megabyte each are read a few at a time, also after short rows
// that made the cursor ask for many: the program runs within a bounded
// address space.
TEST_F(ExportBatOwnDbTest, LargeRowsExportInBoundedMemory)
{
    const std::string body = "日本語の本文、";  // 21 bytes
    const int repeat = 50000;                  // about 1 MB a row
    struct Case {
        int id;
        const char* name;
        int shortRows;  // 336: the FETCH after them asks for 1000 rows
        int largeRows;
    };
    for (const Case& c : { Case{ 31, "大きい行", 0, 200 }, Case{ 32, "偏った行", 336, 160 } }) {
        const std::string id = std::to_string(c.id);
        ASSERT_EQ("", own->exec("insert into rv_tbl (tbl_id, status, seqno, tbl_lname, regist_date) values "
                                "(" + id + ", '0', " + id + ", '" + c.name + "', now());"
                                "insert into rv_tbl_col (tbl_id, col_id, col_type, col_lname, seqno, rel_col_type) "
                                "values (" + id + ", -1, 'key', 'キー', 0, 'key'), (" + id +
                                ", 1, 'texts', '本文', 10, 'texts');"
                                "create table tbl000" + id + " (rvkey numeric(9) primary key, col00001 text);"
                                "insert into tbl000" + id + " select g, case when g <= " +
                                std::to_string(c.shortRows) + " then 'short' else repeat('" + body + "', " +
                                std::to_string(repeat) + ") end from generate_series(1, " +
                                std::to_string(c.shortRows + c.largeRows) + ") g;"
                                "alter table tbl000" + id + " owner to vikra"));
#if defined(__SANITIZE_ADDRESS__)
        // The sanitizer reserves far more address space than any limit: the
        // same export runs unbounded there.
#else
        addressLimitKiB = "131072";  // 128 MiB
#endif
        RunResult r = runWith({ "-range", "assign", "-dbname", c.name });
        EXPECT_EQ(0, r.exitCode) << c.name << " " << r.err;
        EXPECT_EQ(text("export_cmdline_export_start") + "\n" + progress(1) + "\n" + finishLines(1, 0, 0), r.out);
        std::string csv = rvtest::readFile(files + "/tbl000" + id + "/data.csv");
        const std::string header = "\xEF\xBB\xBF" "キー,本文\r\n";
        size_t want = header.size();
        for (int k = 1; k <= c.shortRows + c.largeRows; ++k)
            want += std::to_string(k).size() + 1 + (k <= c.shortRows ? 5 : body.size() * repeat) + 2;
        EXPECT_EQ(want, csv.size()) << c.name;
        std::string turn = (c.shortRows > 0 ? std::to_string(c.shortRows) + ",short\r\n" : header) +
                           std::to_string(c.shortRows + 1) + "," + body;
        EXPECT_NE(std::string::npos, csv.find(turn)) << c.name;
    }
}

// Each special character alone in a cell, as its first, middle and last
// byte, in a one-line text (its line breaks made spaces) and in a text of
// lines (its LFs kept, its CRs made spaces).
TEST_F(ExportBatOwnDbTest, EverySpecialCharacterAloneInACell)
{
    const struct {
        const char* value;  // SQL literal
        const char* text;   // its cells
        const char* texts;
    } cases[] = {
        { "E'\\rab'", " ab", " ab" },           { "E'a\\rb'", "a b", "a b" },
        { "E'ab\\r'", "ab ", "ab " },           { "E'\\nab'", " ab", "\"\nab\"" },
        { "E'a\\nb'", "a b", "\"a\nb\"" },       { "E'ab\\n'", "ab ", "\"ab\n\"" },
        { "'\"ab'", "\"\"\"ab\"", "\"\"\"ab\"" }, { "'a\"b'", "\"a\"\"b\"", "\"a\"\"b\"" },
        { "'ab\"'", "\"ab\"\"\"", "\"ab\"\"\"" }, { "',ab'", "\",ab\"", "\",ab\"" },
        { "'a,b'", "\"a,b\"", "\"a,b\"" },       { "'ab,'", "\"ab,\"", "\"ab,\"" },
    };
    std::string sql = "insert into rv_tbl (tbl_id, status, seqno, tbl_lname, regist_date) values "
                      "(40, '0', 40, '特殊文字', now());"
                      "insert into rv_tbl_col (tbl_id, col_id, col_type, col_lname, seqno, rel_col_type) values "
                      "(40, -1, 'key', 'キー', 0, 'key'), (40, 1, 'text', '一行', 10, 'text'), "
                      "(40, 2, 'texts', '複数行', 20, 'texts');"
                      "create table tbl00040 (rvkey numeric(9) primary key, col00001 text, col00002 text);"
                      "alter table tbl00040 owner to vikra;";
    std::string want = "\xEF\xBB\xBF" "キー,一行,複数行\r\n";
    int key = 0;
    for (const auto& c : cases) {
        std::string k = std::to_string(++key);
        sql += "insert into tbl00040 values (" + k + ", " + c.value + ", " + c.value + ");";
        want += k + "," + c.text + "," + c.texts + "\r\n";
    }
    ASSERT_EQ("", own->exec(sql));
    RunResult r = runWith({ "-range", "assign", "-dbname", "特殊文字" });
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(want, rvtest::readFile(files + "/tbl00040/data.csv"));
}

TEST_F(ExportBatOwnDbTest, QuotedNamesLongIdsAndBadColumnNames)
{
    ASSERT_EQ("", own->exec("update rv_tbl set tbl_lname = E'部署''s \\\\x' where tbl_id = 4;"
                            "update rv_tbl_col set col_lname = 'a\"b' where tbl_id = 3 and col_id = 2;"
                            "insert into rv_tbl (tbl_id, status, seqno, tbl_lname, regist_date) values "
                            "(123456, '1', 7, '大きいID', now());"
                            "insert into rv_tbl_col (tbl_id, col_id, col_type, col_lname, seqno, rel_col_type) "
                            "values (123456, -1, 'key', 'キー', 0, 'key');"
                            "create table tbl123456 (rvkey numeric(9) primary key);"
                            "insert into tbl123456 values (7);"
                            "alter table tbl123456 owner to vikra"));
    RunResult r = runWith({ "-range", "assign", "-dbname", "部署's \\x" });
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_TRUE(exists(files + "/tbl00004/data.csv"));

    // The bad column name fails only its table; the run ends as a failure.
    // The status file and the console name the failed table as its log
    // entry does.
    r = runWith({ "-range", "running" });
    NString bad;
    rvcomGetCodeMessage(bad, -500012, "tbl00003", "顧客", "a\"b", "2");
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ(bad.c_str(), r.err);
    expectStatus(-500012, bad.c_str());
    EXPECT_EQ(text("export_cmdline_export_start") + "\n" + progress(5) + "\n" + finishLines(4, 1, 1), r.out);
    EXPECT_FALSE(exists(files + "/tbl00003"));
    EXPECT_EQ("\xEF\xBB\xBF"
              "キー\r\n7\r\n",
              rvtest::readFile(files + "/tbl123456/data.csv"));
    EXPECT_NE(std::string::npos, rvtest::readFile(logDir + "/export.log").find(bad.c_str()));
    EXPECT_EQ(text("export_logfile_end"), logEntries(rvtest::readFile(logDir + "/export.log")).back());

    // An export directory that cannot be used fails every table: the run
    // goes on to the end and reports the first table's code.
    rvtest::writeFile(tmp.file("plain"), "x");
    files = tmp.file("plain") + "/out";
    r = runWith({ "-range", "running" });
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ(std::string::npos, r.err.find("%s")) << r.err;
    EXPECT_NE(std::string::npos, r.err.find("tbl00001")) << r.err;
    EXPECT_EQ(std::string::npos, rvtest::readFile(statusDir + "/export.status").find("%s"));
    EXPECT_EQ(text("export_cmdline_export_start") + "\n" + progress(5) + "\n" + finishLines(0, 0, 5), r.out);
}

// A table with many attachments, written as the export wrote it when it
// listed each record's attachments on its own: files, names, cells, the
// log and the console, byte for byte.
TEST_F(ExportBatOwnDbTest, AttachmentsOfAWholeTableAsListedPerRecord)
{
    std::string sql = rvtest::readFile(kSource + "/tests/export/attachstream.sql");
    ASSERT_FALSE(sql.empty());
    ASSERT_EQ("", own->exec("SET ROLE vikra;\n" + sql));
    RunResult r = runWith({ "-range", "assign", "-dbname", "添付検証" });
    EXPECT_EQ(0, r.exitCode) << r.err;
    const std::string golden = kSource + "/tests/export/golden/attachstream/";
    EXPECT_EQ(rvtest::readFile(golden + "console.txt"), r.out);

    std::string tree;
    for (const auto& f : treeOf(files + "/tbl00021"))
        tree += "== " + f.first + " " + std::to_string(f.second.size()) + "\n" + f.second + "\n";
    std::string want = rvtest::readFile(golden + "tree.txt");
    ASSERT_FALSE(want.empty());
    EXPECT_TRUE(want == tree) << "tree differs at byte "
                              << std::mismatch(want.begin(), want.end(), tree.begin(), tree.end()).first -
                                     want.begin();
    std::string log;
    for (const std::string& e : logEntries(rvtest::readFile(logDir + "/export.log")))
        log += e + "\n";
    EXPECT_EQ(rvtest::readFile(golden + "export.log"), log);
}

}  // namespace
