// Shared set-up of the list-page download tests: table 12, users and
// sessions, page states saved by the command, and a run of the CGI driver.
#ifndef TESTS_LISTCSVFIXTURE_H
#define TESTS_LISTCSVFIXTURE_H

#include <gtest/gtest.h>

#include <csignal>
#include <iconv.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "RvdbRecordListPageCommand.h"
#include "fakeserver.h"
#include "pgtest.h"
#include "rvschema.h"
#include "rvsuitedb.h"

namespace listcsv {


// Table 12: a name that needs escaping and converting, texts with CR LF
// and quotes, a line over 100 KB (record 3) and empty cells after filled
// ones (record 2); column 2 stands after column 3 in the table's order.
// User 2 holds every right, user 6 refer only.
inline const char* const kTable12 = R"SQL(
INSERT INTO rv_tbl (tbl_id, status, seqno, tbl_lname, regist_date) VALUES
  (12, '1', 12, '試験"表;\' || chr(9) || '1', '2024-01-01 00:00:00+09');
INSERT INTO rv_tbl_col (tbl_id, col_id, col_type, col_lname, seqno, rel_col_type) VALUES
  (12, -1, 'key', 'キー', 0, 'key'), (12, -2, 'user', '登録者', 901, 'user'),
  (12, -3, 'datetime', '登録日時', 902, 'datetime'), (12, -4, 'user', '更新者', 903, 'user'),
  (12, -5, 'datetime', '更新日時', 904, 'datetime'),
  (12, 1, 'text', '名前', 10, 'text'), (12, 2, 'texts', '備考', 35, 'texts'),
  (12, 3, 'number', '金額', 30, 'number'), (12, 4, 'text', '部署', 40, 'text'),
  (12, 5, 'datetime', '日時', 50, 'datetime');
INSERT INTO rv_tbl_acc (tbl_id, u_id, g_id, u_acc_refer, u_acc_entry, u_acc_change,
  u_acc_delete, u_acc_addcmt, u_acc_export) VALUES
  (12, 2, NULL, '1', '1', '1', '1', '1', '1'), (12, 6, NULL, '1', '0', '0', '0', '0', '0');
INSERT INTO rv_view (tbl_id, view_id, view_name, seqno, l_layout_id, i_layout_id, d_layout_id,
  rows_per_page, dispflg, defflg) VALUES (12, 1, '標準', 1, 1, -1, -1, 20, '1', '1');
CREATE TABLE tbl00012 (rvkey numeric(9) PRIMARY KEY, regist_uname varchar(256),
  regist_date timestamp, update_uname varchar(256), update_date timestamp,
  col00001 text, col00002 text, col00003 numeric(20,5), col00004 text, col00005 timestamp);
ALTER TABLE tbl00012 OWNER TO vikra;
INSERT INTO tbl00012 (rvkey, col00001, col00002, col00003, col00004, col00005) VALUES
  (1, '山田 太郎', E'一行目\r\n二行目, "引用"', 12.5, '営業', '2024-04-01 09:30:00'),
  (2, '', NULL, NULL, '営業', NULL),
  (3, '鈴木', repeat('あ', 60000), 3, '営業', NULL),
  (4, '佐藤', 'x', 100, '総務', NULL),
  (5, '高橋', NULL, 50, '営業', NULL);
INSERT INTO rv_layout_item (tbl_id, layout_item_id, layout_item_type, col_id) VALUES
  (12, '103', '0', '3'), (12, '101', '0', '1'), (12, '100', '0', '-1'), (12, '102', '0', '2'),
  (12, '104', '0', '4'), (12, '105', '0', '5');
INSERT INTO rv_layout (tbl_id, layout_id, layout_type) VALUES (12, 1, 'l');
INSERT INTO rv_layout_row (tbl_id, layout_id, layout_row_id, seqno, layout_cols, layout_row_type)
  VALUES (12, 1, 0, 1, 2, 'n');
INSERT INTO rv_layout_col (tbl_id, layout_id, layout_row_id, layout_col_id, layout_item_id) VALUES
  (12, 1, 0, 0, '103'), (12, 1, 0, 1, '101');
INSERT INTO rv_layout_item_format (tbl_id, layout_id, layout_item_id, width) VALUES (12, 1, '101', '100');
)SQL";

inline const char* const kSid2 = "AAAAAABBCCDDEEEEEEEEE2";  // user 2
inline const char* const kSid6 = "AAAAAABBCCDDEEEEEEEEE6";  // user 6
inline const char* const kSid4 = "AAAAAABBCCDDEEEEEEEEE4";  // user 4

inline const char* const kFirefox = "Mozilla/5.0 (X11; Linux x86_64; rv:115.0) Gecko/20100101 Firefox/115.0";
inline const char* const kSafari =
    "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) "
    "Version/17.0 Safari/605.1.15";
inline const char* const kMsie = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)";

struct Cgi {
    int exitCode = -1;
    std::string head;  // up to and with the blank line
    std::string body;  // raw bytes after it
    std::string err;
    std::string trace;
};

inline std::string sjisToUtf8(const std::string& in)
{
    iconv_t cd = iconv_open("UTF-8", "CP932");
    std::string out(in.size() * 2 + 16, '\0');
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = &out[0];
    size_t dstLeft = out.size();
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1))
        return "<not Shift_JIS>";
    out.resize(out.size() - dstLeft);
    return out;
}

inline std::string base64Decode(const std::string& in)
{
    static const std::string abc =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned bits = 0;
    int n = 0;
    for (char c : in) {
        size_t v = abc.find(c);
        if (v == std::string::npos)
            continue;
        bits = (bits << 6) | static_cast<unsigned>(v);
        n += 6;
        if (n >= 8) {
            n -= 8;
            out += static_cast<char>((bits >> n) & 0xff);
        }
    }
    return out;
}

inline std::string percentDecode(const std::string& in)
{
    std::string out;
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '%' && i + 2 < in.size()) {
            out += static_cast<char>(std::stoi(in.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += in[i];
        }
    }
    return out;
}

class ListCsvFixture : public ::testing::Test {
protected:
    // The database, the settings under rootDir and the saved page states.
    static void openSuite(const std::string& base, const std::string& rootDir)
    {
        root = rootDir;
        db.open(base, RvSuiteDatabase::ALL);
        error = db.error();
        if (error.empty())
            error = rvschemaLoadListPages(*db);
        if (error.empty())
            error = db->exec(kTable12);
        if (error.empty() && system(("mkdir -p '" + root + "/rvdata/tmp'").c_str()) != 0)
            error = "mkdir";
        if (error.empty())
            rvtest::writeFile(root + "/rvdata/app", "dbs=127.0.0.1\ndbname=" + db->name() + "\ndbuser=" +
                                                        PGTEST_USER + "\ndbpwd=" + PGTEST_PASSWORD + "\n");
        if (error.empty())
            error = prepareStates();
    }
    static void TearDownTestSuite() { db.close(); }
    void SetUp() override { ASSERT_EQ("", error); }

    static std::string sessionDir(const char* sid)
    {
        std::string s(sid);
        return root + "/rvsession/" + s.substr(6, 2) + s.substr(8, 2) + "/" + s.substr(12);
    }

    static RvDbSearchFilterPtr filter(const char* colId, const char* method, const char* value)
    {
        RvDbSearchFilterPtr f = std::make_shared<RvDbSearchFilter>();
        f->condition = '&';
        RvDbSearchCondition c;
        c.col_id = colId;
        c.comp_type = method;
        c.comp_val = value;
        f->conditions.push_back(c);
        return f;
    }

    // Page states written by the command's own save.
    static std::string prepareStates()
    {
        for (const char* sid : {kSid2, kSid6, kSid4}) {
            std::string dir = sessionDir(sid);
            if (system(("mkdir -p '" + dir + "'").c_str()) != 0)
                return "mkdir " + dir;
            std::string uid(1, sid[21]);
            rvtest::writeFile(dir + "/session", "uid=" + uid + "\nadmin=0\n");
        }
        struct State {
            const char* sid;
            const char* tid;
            const char* wid;
            void (*set)(RvdbRecordListPageCommand&);
        };
        const State states[] = {
            {kSid2, "12", "all", [](RvdbRecordListPageCommand&) {}},
            {kSid6, "12", "all", [](RvdbRecordListPageCommand&) {}},
            {kSid2, "12", "w1",
             [](RvdbRecordListPageCommand& c) {
                 c.setRow(NString("40"));  // page three of 20
                 c.setLimit(NString("20"));
                 c.setSortColId(NString("3"));
                 c.setSortOrder(NString("0"));
                 c.setRelationKey(NString("4"), NString("営業"));
                 c.setFilters({filter("3", ">=", "5")});
             }},
            {kSid2, "1", "s", [](RvdbRecordListPageCommand&) {}},
            {kSid2, "2", "t", [](RvdbRecordListPageCommand&) {}},
            {kSid4, "2", "m", [](RvdbRecordListPageCommand&) {}},
            {kSid4, "2", "hf",
             [](RvdbRecordListPageCommand& c) { c.setFilters({filter("4", "==", "1500")}); }},
            {kSid4, "2", "hr",
             [](RvdbRecordListPageCommand& c) { c.setRelationKey(NString("4"), NString("1500")); }},
            {kSid4, "2", "hs", [](RvdbRecordListPageCommand& c) { c.setSortColId(NString("4")); }},
        };
        for (const State& s : states) {
            RvdbRecordListPageCommand cmd(NString(sessionDir(s.sid).c_str()), NString(s.tid),
                                          NString(s.wid));
            s.set(cmd);
            if (int ret = cmd.save())
                return "save " + std::string(s.wid) + ": " + std::to_string(ret);
        }
        // A state of table 2 standing under table 12's name.
        std::string dir = sessionDir(kSid2);
        if (system(("cp '" + dir + "/tmpreclist_2_t' '" + dir + "/tmpreclist_12_t'").c_str()) != 0)
            return "cp";
        return "";
    }

    // Runs the driver; body (POST) goes to its standard input. fileLimit > 0
    // makes writes beyond that many bytes fail; fault is the driver's
    // RV_TEST_FAULT.
    static Cgi run(const std::string& query, const char* sid, const char* agent = kFirefox,
                   const std::string& post = "", long fileLimit = 0, const char* fault = "")
    {
        std::string in = root + "/in", out = root + "/out", err = root + "/err", trace = root + "/trace";
        rvtest::writeFile(in, post);
        unlink(trace.c_str());
        pid_t pid = fork();
        if (pid == 0) {
            if (!freopen(in.c_str(), "rb", stdin) || !freopen(out.c_str(), "wb", stdout) ||
                !freopen(err.c_str(), "wb", stderr))
                _exit(126);
            setenv("RV_TEST_ROOT", root.c_str(), 1);
            setenv("HTTP_COOKIE", (std::string("rvsid=") + sid).c_str(), 1);
            setenv("HTTP_USER_AGENT", agent, 1);
            setenv("RV_TEST_FAULT", fault, 1);
            setenv("RV_TRACE", trace.c_str(), 1);
            if (post.empty()) {
                setenv("REQUEST_METHOD", "GET", 1);
                setenv("QUERY_STRING", query.c_str(), 1);
            } else {
                setenv("REQUEST_METHOD", "POST", 1);
                setenv("CONTENT_TYPE", "application/x-www-form-urlencoded", 1);
                setenv("CONTENT_LENGTH", std::to_string(post.size()).c_str(), 1);
            }
            if (fileLimit > 0) {
                signal(SIGXFSZ, SIG_IGN);
                struct rlimit rl = {static_cast<rlim_t>(fileLimit), static_cast<rlim_t>(fileLimit)};
                setrlimit(RLIMIT_FSIZE, &rl);
            }
            execl(RV_LISTCSV, "rvlistcsv.cgi", static_cast<char*>(nullptr));
            _exit(127);
        }
        Cgi res;
        int status = 0;
        for (int i = 0; i < 600; ++i) {  // at most 60 s
            if (waitpid(pid, &status, WNOHANG) == pid) {
                res.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -2;
                break;
            }
            usleep(100000);
        }
        if (res.exitCode == -1) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        std::string all = rvtest::readFile(out);
        size_t end = all.find("\n\n");
        res.head = end == std::string::npos ? all : all.substr(0, end + 2);
        res.body = end == std::string::npos ? "" : all.substr(end + 2);
        res.err = rvtest::readFile(err);
        res.trace = rvtest::readFile(trace);
        return res;
    }

    inline static RvSuiteDatabase db;
    inline static std::string error;
    inline static std::string root;
};


}  // namespace listcsv

#endif
