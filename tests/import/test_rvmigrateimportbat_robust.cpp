// The import batch's readers over damaged inputs: the configuration file,
// setting.json of a table directory and the walk of the export directory.
#include "rvmigrateimportbat.h"
#include "rvmutate.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "fakeserver.h"
#include "rvrun.h"

namespace {

std::string mutate(std::mt19937& rng, const std::string& base)
{
    static const char* const kPieces[] = {
        "\0", "\r", "\n", "\t", "\n\t", "=", "#", " #", "\t#", "%s%n", "\"", "\\", "\xff",
        "\r\n", "{", "}", "[", "]", ":", ",", "url=", "proxy_port=", "99999999999999999999",
        "-1", "\"fields\":", "\"Name\":", "\\u0000", "\xc3"};
    static const rvtest::Mutation kMutation = {kPieces, sizeof kPieces / sizeof kPieces[0], 4, 6,
                                               "a=\t\n%", 3000};
    return rvtest::mutate(rng, base, kMutation);
}

bool hasControl(const char* s)
{
    for (; *s; ++s)
        if (static_cast<unsigned char>(*s) < 0x20 || *s == 0x7f)
            return true;
    return false;
}

int readConf(const std::string& path)
{
    RvMigrateImportBat bat;
    bat.m_config_file = path.c_str();
    int r = bat.readConfigFile();
    EXPECT_TRUE(r == 0 || r == RVIMP_ERR_PATH || r == RVIMP_ERR_FILE ||
                r == RVIMP_ERR_CONF_URL || r == RVIMP_ERR_CONF_PROXY_PORT)
        << r;
    if (r == 0) {
        EXPECT_FALSE(bat.m_url.isNullOrEmpty());
        EXPECT_FALSE(hasControl(bat.m_url.c_str()));
        if (!bat.m_proxy_host.isNullOrEmpty()) {
            EXPECT_GE(bat.m_proxy_port, 1);
            EXPECT_LE(bat.m_proxy_port, 65535);
        }
    } else {
        EXPECT_FALSE(bat.m_message.isNullOrEmpty());
    }
    return r;
}

TEST(ImportBatRobust, ConfigFileDamaged)
{
    rvtest::ScratchDir tmp;
    const std::string path = tmp.file("import.conf");
    const std::string base =
        "# import settings\nurl=https://127.0.0.1:8443/app/x.cgi\nbasic_auth_userid=u\n"
        "basic_auth_password=p #x\nproxy_host=127.0.0.1\nproxy_port=3128\n"
        "proxy_auth_userid=pu\nproxy_auth_password=pp\n";
    ASSERT_TRUE(rvtest::writeFile(path, base));
    ASSERT_EQ(0, readConf(path));

    // Fixed cases: where the file lies, what the url and port look like.
    struct {
        std::string text;
        int expected;
    } cases[] = {
        {"", RVIMP_ERR_CONF_URL},
        {"url", RVIMP_ERR_CONF_URL},
        {"url=", RVIMP_ERR_CONF_URL},
        {"url=\t\n", RVIMP_ERR_CONF_URL},
        {"url=http://h/\rx", RVIMP_ERR_CONF_URL},
        {std::string("url=http://h/\0x\n", 16), 0},
        {"url=http://h/", 0},
        {"\turl=http://h/\n", RVIMP_ERR_CONF_URL},
        {"url=http://h/\n\tHost: evil\n", RVIMP_ERR_CONF_URL},
        {"url=http://h/\r\r\r", 0},
        {"url=http://h/\nproxy_host=p\n", RVIMP_ERR_CONF_PROXY_PORT},
        {"url=http://h/\nproxy_host=p\nproxy_port=0\n", RVIMP_ERR_CONF_PROXY_PORT},
        {"url=http://h/\nproxy_host=p\nproxy_port=65536\n", RVIMP_ERR_CONF_PROXY_PORT},
        {"url=http://h/\nproxy_host=p\nproxy_port=99999999999999999999\n",
         RVIMP_ERR_CONF_PROXY_PORT},
        {"url=http://h/\nproxy_host=p\nproxy_port=-99999999999999999999\n",
         RVIMP_ERR_CONF_PROXY_PORT},
        {"url=http://h/\nproxy_host=p\nproxy_port=65535x\n", 0},
        {"url=http://h/\nproxy_host=\nproxy_port=\n", 0},
        {"url=" + std::string(200000, 'u') + "\n", 0},
        {std::string(100000, '\t') + "\nurl=http://h/", 0},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(rvtest::writeFile(path, c.text));
        EXPECT_EQ(c.expected, readConf(path)) << c.text.substr(0, 60);
    }

    // The file itself: absent, a directory, a path too long, unreadable.
    EXPECT_EQ(RVIMP_ERR_FILE, readConf(tmp.file("absent.conf")));
    EXPECT_EQ(RVIMP_ERR_FILE, readConf(tmp.path()));
    EXPECT_EQ(RVIMP_ERR_PATH, readConf(std::string(2000, 'p')));
    EXPECT_EQ(RVIMP_ERR_FILE, readConf(""));

    std::mt19937 rng(20240611u);
    for (int i = 0; i < 300; ++i) {
        ASSERT_TRUE(rvtest::writeFile(path, mutate(rng, base)));
        readConf(path);
    }
}

TEST(ImportBatRobust, SettingFileDamaged)
{
    rvtest::ScratchDir tmp;
    const std::string dir = tmp.file("tbl00001");
    ASSERT_EQ(0, mkdir(dir.c_str(), 0755));
    const std::string path = dir + "/setting.json";
    const std::string base =
        "{\"Name\": \"Orders \\u65e5\", \"fields\": [{\"field_name\": \"Cust/omer\", "
        "\"type\": \"textbox\", \"opts\": [1, 2.5, null, true]}, {\"field_name\": \"Amount\", "
        "\"type\": \"number\"}]}";

    auto readSetting = [&](const std::string& text) {
        EXPECT_TRUE(rvtest::writeFile(path, text));
        RvMigrateImportBat bat;
        bat.m_tblname = "tbl00001";
        int r = bat.readSettingFile(dir);
        EXPECT_TRUE(r == 0 || r == RVIMP_ERR_SETTING_FILE || r == RVIMP_ERR_SETTING ||
                    r == RVIMP_ERR_NOMEM)
            << r;
        if (r == 0) {
            EXPECT_FALSE(bat.m_fields.empty());
        } else {
            EXPECT_TRUE(bat.m_fields.empty());
        }
        return r;
    };
    EXPECT_EQ(0, readSetting(base));

    struct {
        std::string text;
        int expected;
    } cases[] = {
        {"", RVIMP_ERR_SETTING_FILE},
        {std::string("\0{}", 3), RVIMP_ERR_SETTING_FILE},
        {"{", RVIMP_ERR_SETTING},
        {"[]", RVIMP_ERR_SETTING},
        {"{}", RVIMP_ERR_SETTING},
        {"{\"Name\": 5}", RVIMP_ERR_SETTING},
        {"{\"fields\": null}", 0},
        {"{\"fields\": []}", 0},
        {std::string("{\"fields\": [\"a\0b\"]}", 19), RVIMP_ERR_SETTING},
        {"\xEF\xBB\xBF{\"fields\": []}", RVIMP_ERR_SETTING},
        {std::string(100000, '[') + std::string(100000, ']'), RVIMP_ERR_SETTING},
        {"{\"fields\": " + std::string(5000, '[') + std::string(5000, ']') + "}", 0},
        {"{\"Name\": \"" + std::string(300000, 'n') + "\", \"fields\": [1]}", 0},
    };
    for (const auto& c : cases) {
        int r = readSetting(c.text);
        // Nesting limits and the BOM belong to the parser; no crash is the point.
        if (c.text.size() < 1000 && c.text.compare(0, 3, "\xEF\xBB\xBF") != 0) {
            EXPECT_EQ(c.expected, r) << c.text.substr(0, 60);
        }
    }

    // No file, a directory in its place.
    ::unlink(path.c_str());
    RvMigrateImportBat bat;
    EXPECT_EQ(RVIMP_ERR_SETTING_FILE, bat.readSettingFile(dir));
    ASSERT_EQ(0, mkdir(path.c_str(), 0755));
    EXPECT_EQ(RVIMP_ERR_SETTING_FILE, bat.readSettingFile(dir));
    ASSERT_EQ(0, rmdir(path.c_str()));

    std::mt19937 rng(77u);
    for (int i = 0; i < 400; ++i)
        readSetting(mutate(rng, base));
}

TEST(ImportBatRobust, TableDirectoryWalk)
{
    rvtest::ScratchDir tmp;
    const std::string files = tmp.file("export");
    ASSERT_EQ(0, mkdir(files.c_str(), 0755));
    // Table names and look-alikes, files and links under table names, deep
    // and long names.
    for (const char* d : {"tbl00001", "tbl99999999999999999999", "tbl0001", "tblABCDE", "TBL00002",
                          "tbl00003x", "x-tbl00004", "tbl 00005", "tb12345", "tb123456", "tblx", "tbl",
                          "tbx00010"})
        ASSERT_EQ(0, mkdir((files + "/" + d).c_str(), 0755));
    ASSERT_TRUE(rvtest::writeFile(files + "/tbl00006", "file"));
    ASSERT_EQ(0, symlink("/nonexistent", (files + "/tbl00007").c_str()));
    ASSERT_EQ(0, symlink(files.c_str(), (files + "/tbl00008").c_str()));
    ASSERT_EQ(0, mkfifo((files + "/tbl00009").c_str(), 0644));
    std::string deep = files + "/tbl00001";
    for (int i = 0; i < 20; ++i) {
        deep += "/" + std::string(40, 'd');
        ASSERT_EQ(0, mkdir(deep.c_str(), 0755));
    }

    RvMigrateImportBat bat;
    bat.m_import_dir = files.c_str();
    ASSERT_EQ(0, bat.scanImportDir());
    std::vector<std::string> names;
    for (const std::string& d : bat.m_table_dirs)
        names.push_back(d.substr(d.rfind('/') + 1));
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"tbl00001", "tbl99999999999999999999"}), names);

    // A directory that is not there (or not a directory) holds no tables.
    for (const std::string& none : {tmp.file("absent"), files + "/tbl00006"}) {
        RvMigrateImportBat b;
        b.m_import_dir = none.c_str();
        EXPECT_EQ(0, b.scanImportDir());
        EXPECT_TRUE(b.m_table_dirs.empty());
    }
    ASSERT_EQ(0, chmod(deep.c_str(), 0));
    bool canOpen = access(deep.c_str(), R_OK) == 0;  // root reads anything
    for (const std::string& bad : {std::string(1100, 'p'), canOpen ? std::string() : deep}) {
        if (bad.empty())
            continue;
        RvMigrateImportBat b;
        b.m_import_dir = bad.c_str();
        EXPECT_EQ(RVIMP_ERR_WALK, b.scanImportDir()) << bad.substr(0, 40);
        EXPECT_TRUE(b.m_table_dirs.empty());
    }

    ASSERT_EQ(0, chmod(deep.c_str(), 0755));

    // The attachment walk below a table directory: only regular files.
    RvMigrateImportBat att;
    std::string t1 = files + "/tbl00001";
    ASSERT_TRUE(rvtest::writeFile(deep + "/photo.jpg", "x"));
    ASSERT_TRUE(rvtest::writeFile(t1 + "/data.csv", "a"));
    ASSERT_EQ(0, mkfifo((t1 + "/pipe").c_str(), 0644));
    ASSERT_EQ(0, symlink("/etc/hostname", (t1 + "/link").c_str()));
    att.m_attach_files.clear();
    RvMigrateImportBat::m_search_list = &att.m_attach_files;
    RvMigrateImportBat::m_search_base_dir = t1;
    RvMigrateImportBat::m_search_dir = t1;
    ASSERT_EQ(0, RvMigrateImportBat::searchAttachDir());
    std::sort(att.m_attach_files.begin(), att.m_attach_files.end());
    ASSERT_EQ(2u, att.m_attach_files.size());
    EXPECT_EQ(deep.substr(t1.size()) + "/photo.jpg", att.m_attach_files[0]);
    EXPECT_EQ("data.csv", att.m_attach_files[1]);
}

TEST(ImportBatRobust, TableDirName)
{
    const char* const yes[] = {"tbl00000", "tbl123456789012345678901234567890"};
    const char* const no[] = {nullptr, "", "tbl", "tbl0000", "tbl0000a", "tbl-0000",
                              "tbl00000/", "Tbl00000", "tbl\xff" "00000", " tbl00000",
                              "tb12345", "tb123456", "tbx00000", "tblx"};
    for (const char* n : yes)
        EXPECT_TRUE(rvimportIsTableDirName(n)) << n;
    for (const char* n : no)
        EXPECT_FALSE(rvimportIsTableDirName(n)) << (n ? n : "null");
}

// ---- the program over damaged export directories ----------------------------------------------

using rvtest::RunResult;

// Runs the built program from a module tree of its own, at most 60 s.
RunResult runImportBat(const rvtest::ScratchDir& tmp, const std::string& files)
{
    const std::string mod = tmp.file("mod");
    EXPECT_EQ(0, system(("mkdir -p '" + mod + "/bin' '" + mod + "/local/ja' '" +
                         tmp.file("status") + "'").c_str()));
    const std::string prog = mod + "/bin/importbat";
    EXPECT_TRUE(rvtest::writeFile(prog, rvtest::readFile(RV_IMPORTBAT)));
    EXPECT_EQ(0, chmod(prog.c_str(), 0755));
    rvtest::writeFile(mod + "/local/ja/message",
                      "-600002=E,No url configured.\n-600008=E,Import of %s (%s) failed: %s\n"
                      "-600009=E,Cannot read %s\n-600011=E,Bad setting.json of %s\n"
                      "-600019=E,No setting of %s (%s)\n");
    rvtest::writeFile(mod + "/local/ja/vikra",
                      "import_cmdline_import_logguidemsg=LOGGUIDE %s\n"
                      "import_cmdline_import_end=END\n");
    std::vector<std::string> args = {prog, "-conf", tmp.file("import.conf"), "-s",
                                     tmp.file("status"), "-l", tmp.file("logs"), "-files", files,
                                     "-access_key", "AK"};
    return rvtest::runProgram(prog, args, {}, tmp.file("stdout"), tmp.file("stderr"), 60);
}

size_t countOf(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
        ++n;
    return n;
}

TEST(ImportBatRobustRun, DamagedTableDirectories)
{
    rvtest::FakeServer srv;
    ASSERT_TRUE(srv.ok());
    rvtest::ScratchDir tmp;
    const std::string files = tmp.file("export");
    ASSERT_EQ(0, mkdir(files.c_str(), 0755));
    ASSERT_TRUE(rvtest::writeFile(tmp.file("import.conf"),
                                  "url=http://127.0.0.1:" + std::to_string(srv.port()) +
                                      "/app/x.cgi\r\n\tbad continuation\r\n"));
    // Configuration with a continuation line in the url: refused before any
    // request.
    RunResult bad = runImportBat(tmp, files);
    EXPECT_EQ(1, bad.exitCode);
    EXPECT_NE(std::string::npos, bad.err.find("No url configured.")) << bad.err;
    EXPECT_EQ(std::string::npos, bad.err.find("Sanitizer")) << bad.err;

    ASSERT_TRUE(rvtest::writeFile(tmp.file("import.conf"),
                                  std::string("url=http://127.0.0.1:") +
                                      std::to_string(srv.port()) +
                                      std::string("/app/x.cgi\r\n#\0\n", 15)));
    const std::string good = "{\"Name\": \"A\", \"fields\": [{\"field_name\": \"x\"}]}";
    struct {
        const char* dir;
        std::string setting;  // "-": none, "/": a directory
        std::string data;     // "-": none, "/": a directory
    } tables[] = {
        {"tbl00001", "{\"Name\": \"A\", \"fields\": [", "x"},
        {"tbl00002", "-", "x"},
        {"tbl00003", "/", "x"},
        {"tbl00004", std::string("{\"Name\": \"A\0\", \"fields\": []}", 28), "x"},
        {"tbl00005", "\xff\xfe{\0}", "x"},
        {"tbl00006", good, "-"},
        {"tbl00007", good, "/"},
        {"tbl00008", "{\"fields\": " + std::string(20000, '[') + "}", "x"},
    };
    for (const auto& t : tables) {
        std::string d = files + "/" + t.dir;
        ASSERT_EQ(0, mkdir(d.c_str(), 0755));
        if (t.setting == "/") {
            ASSERT_EQ(0, mkdir((d + "/setting.json").c_str(), 0755));
        } else if (t.setting != "-") {
            ASSERT_TRUE(rvtest::writeFile(d + "/setting.json", t.setting));
        }
        if (t.data == "/") {
            ASSERT_EQ(0, mkdir((d + "/data.csv").c_str(), 0755));
        } else if (t.data != "-") {
            ASSERT_TRUE(rvtest::writeFile(d + "/data.csv", t.data));
        }
    }
    RunResult r = runImportBat(tmp, files);
    // Every table fails on its own; the run goes on to the next, logs out
    // and ends as a failure.
    // No import request starts that could not be sent whole (data.csv a
    // directory once went out as a part cut off after its header).
    EXPECT_EQ(8u, countOf(r.out, "LOGGUIDE tbl0000")) << r.out;
    auto reqs = srv.requests();
    ASSERT_GE(reqs.size(), 2u);
    EXPECT_NE(std::string::npos, reqs.front().find("/login/ HTTP/1.0\r\n"));
    EXPECT_NE(std::string::npos, reqs.back().find("/logout/ HTTP/1.0\r\n"));
    for (const auto& q : reqs)
        EXPECT_EQ(std::string::npos, q.find("cdbcmdimportapp")) << q;
    EXPECT_EQ(1, r.exitCode);
    EXPECT_NE(std::string::npos, r.err.find(" tbl0000")) << r.err;
    EXPECT_EQ(std::string::npos, r.err.find("Sanitizer")) << r.err;
}

} // namespace
