// The list-page CSV download run through its CGI driver as a child process:
// request variables in, header and Shift_JIS bytes out.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <iconv.h>
#include <csignal>
#include <regex>
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

namespace {

// Table 12: a name that needs escaping and converting, texts with CR LF
// and quotes, a line over 100 KB (record 3) and empty cells after filled
// ones (record 2). User 2 holds every right, user 6 refer only.
const char* const kTable12 = R"SQL(
INSERT INTO rv_tbl (tbl_id, status, seqno, tbl_lname, regist_date) VALUES
  (12, '1', 12, '試験"表;1', '2024-01-01 00:00:00+09');
INSERT INTO rv_tbl_col (tbl_id, col_id, col_type, col_lname, seqno, rel_col_type) VALUES
  (12, -1, 'key', 'キー', 0, 'key'), (12, -2, 'user', '登録者', 901, 'user'),
  (12, -3, 'datetime', '登録日時', 902, 'datetime'), (12, -4, 'user', '更新者', 903, 'user'),
  (12, -5, 'datetime', '更新日時', 904, 'datetime'),
  (12, 1, 'text', '名前', 10, 'text'), (12, 2, 'texts', '備考', 20, 'texts'),
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
)SQL";

const char* const kSid2 = "AAAAAABBCCDDEEEEEEEEE2";  // user 2
const char* const kSid6 = "AAAAAABBCCDDEEEEEEEEE6";  // user 6
const char* const kSid4 = "AAAAAABBCCDDEEEEEEEEE4";  // user 4

const char* const kFirefox = "Mozilla/5.0 (X11; Linux x86_64; rv:115.0) Gecko/20100101 Firefox/115.0";
const char* const kSafari =
    "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) "
    "Version/17.0 Safari/605.1.15";
const char* const kMsie = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)";

struct Cgi {
    int exitCode = -1;
    std::string head;  // up to and with the blank line
    std::string body;  // raw bytes after it
    std::string err;
};

std::string sjisToUtf8(const std::string& in)
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

std::string base64Decode(const std::string& in)
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

std::string percentDecode(const std::string& in)
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

class ListCsvDownload : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        db.open("t_listcsv", RvSuiteDatabase::ALL);
        error = db.error();
        if (error.empty())
            error = rvschemaLoadListPages(*db);
        if (error.empty())
            error = db->exec(kTable12);
        root = new rvtest::ScratchDir();
        rvtest::writeFile(root->file("rvdata/app"), "");
        if (system(("mkdir -p '" + root->file("rvdata/tmp") + "'").c_str()) != 0)
            error = "mkdir";
        rvtest::writeFile(root->file("rvdata/app"),
                          "dbs=127.0.0.1\ndbname=" + db->name() + "\ndbuser=" + PGTEST_USER +
                              "\ndbpwd=" + PGTEST_PASSWORD + "\n");
        if (error.empty())
            error = prepareStates();
    }
    static void TearDownTestSuite()
    {
        delete root;
        root = nullptr;
        db.close();
    }
    void SetUp() override { ASSERT_EQ("", error); }

    static std::string sessionDir(const char* sid)
    {
        std::string s(sid);
        return root->path() + "/rvsession/" + s.substr(6, 2) + s.substr(8, 2) + "/" + s.substr(12);
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
    // makes writes beyond that many bytes fail.
    static Cgi run(const std::string& query, const char* sid, const char* agent = kFirefox,
                   const std::string& post = "", long fileLimit = 0)
    {
        std::string in = root->file("in"), out = root->file("out"), err = root->file("err");
        rvtest::writeFile(in, post);
        pid_t pid = fork();
        if (pid == 0) {
            if (!freopen(in.c_str(), "rb", stdin) || !freopen(out.c_str(), "wb", stdout) ||
                !freopen(err.c_str(), "wb", stderr))
                _exit(126);
            setenv("RV_TEST_ROOT", root->path().c_str(), 1);
            setenv("HTTP_COOKIE", (std::string("rvsid=") + sid).c_str(), 1);
            setenv("HTTP_USER_AGENT", agent, 1);
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
        return res;
    }

    static RvSuiteDatabase db;
    static std::string error;
    static rvtest::ScratchDir* root;
};

RvSuiteDatabase ListCsvDownload::db;
std::string ListCsvDownload::error;
rvtest::ScratchDir* ListCsvDownload::root;

TEST_F(ListCsvDownload, HeadersNameTheTableForEachAgent)
{
    const std::regex name("試験_表_1_20[0-9]{12}\\.csv");
    struct Case {
        const char* agent;
        const char* prefix;
        std::string (*decode)(const std::string&);
    };
    const Case cases[] = {
        {kFirefox, "=?UTF-8?B?", [](const std::string& s) { return base64Decode(s.substr(10, s.size() - 12)); }},
        {kSafari, "", [](const std::string& s) { return s; }},
        {kMsie, "%E8%A9%A6%E9%A8%93%5F", percentDecode},
    };
    for (const Case& c : cases) {
        Cgi r = run("wid=all&tid=12&cid=1", kSid2, c.agent);
        ASSERT_EQ(0, r.exitCode) << r.err;
        const std::string type = "Content-Type: application/unknown; charset=Shift_JIS\n";
        const std::string disp = "Content-Disposition: attachment; filename=\"";
        ASSERT_EQ(0u, r.head.find(type + disp)) << r.head;
        std::string quoted = r.head.substr(type.size() + disp.size());
        ASSERT_EQ("\"\n\n", quoted.substr(quoted.size() - 3)) << r.head;
        quoted.resize(quoted.size() - 3);
        EXPECT_EQ(0u, quoted.find(c.prefix)) << quoted;
        EXPECT_TRUE(std::regex_match(c.decode(quoted), name)) << c.agent << ": " << quoted;
    }
}

TEST_F(ListCsvDownload, BodyInTableOrderWithLongLinesAndEmptyCells)
{
    Cgi r = run("wid=all&tid=12&cid=5&cid=2&cid=1&cid=3&cid=3&cid=77&inheader=1", kSid2);
    ASSERT_EQ(0, r.exitCode) << r.err;
    std::string many;
    for (int i = 0; i < 60000; ++i)
        many += "あ";
    const std::string expected = "名前,備考,金額,日時\r\n"
                                 "山田 太郎,\"一行目\n二行目, \"\"引用\"\"\",12.5,2024/04/01 09:30:00\r\n"
                                 ",,,\r\n"
                                 "鈴木," + many + ",3,\r\n"
                                 "佐藤,x,100,\r\n"
                                 "高橋,,50,\r\n";
    EXPECT_TRUE(sjisToUtf8(r.body) == expected) << sjisToUtf8(r.body).substr(0, 300);
    // The long record stands whole on one line of more than 102,400 bytes.
    size_t from = r.body.find("\r\n,,,\r\n") + 7;
    EXPECT_EQ(120008u, r.body.find("\r\n", from) - from);
}

TEST_F(ListCsvDownload, HeaderRowOnlyForInheaderOne)
{
    const struct {
        const char* extra;
        bool header;
    } cases[] = {{"&inheader=1", true}, {"&inheader=true", false}, {"&inheader=01", false}, {"", false}};
    for (const auto& c : cases) {
        Cgi r = run(std::string("wid=all&tid=12&cid=4") + c.extra, kSid2);
        ASSERT_EQ(0, r.exitCode) << r.err;
        std::string rows = "営業\r\n営業\r\n営業\r\n総務\r\n営業\r\n";
        EXPECT_EQ(c.header ? "部署\r\n" + rows : rows, sjisToUtf8(r.body)) << c.extra;
    }
    // Ids that name no column give empty lines.
    Cgi r = run("wid=all&tid=12&cid=99&inheader=1", kSid2);
    EXPECT_EQ("\r\n\r\n\r\n\r\n\r\n\r\n", r.body);
}

TEST_F(ListCsvDownload, SavedSortFiltersAndRelationKeyWithoutPaging)
{
    Cgi r = run("wid=w1&tid=12&cid=3&cid=1", kSid2);
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ("高橋,50\r\n山田 太郎,12.5\r\n", sjisToUtf8(r.body));
}

TEST_F(ListCsvDownload, MaskedCellsKeepTheirHeader)
{
    Cgi r = run("wid=m&tid=2&cid=4&cid=1&inheader=1", kSid4);
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ("件名,単価\r\n顧客なし,[参照権限なし]\r\n追加注文,[参照権限なし]\r\n"
              "初回注文,[参照権限なし]\r\n",
              sjisToUtf8(r.body));
}

TEST_F(ListCsvDownload, RefusalsWriteNothing)
{
    const struct {
        const char* query;
        const char* sid;
        int code;
    } cases[] = {
        {"wid=all&tid=12&cid=1", kSid6, -100026},     // refer without export
        {"wid=none&tid=12&cid=1", kSid2, -100010},    // no saved state
        {"wid=t&tid=12&cid=1", kSid2, -100026},       // the state is another table's
        {"wid=hf&tid=2&cid=1", kSid4, -100026},       // saved filter on a hidden column
        {"wid=hr&tid=2&cid=1", kSid4, -100026},       // relation key on a hidden column
        {"wid=s&tid=1&cid=1", kSid2, -100025},        // stale table filter fails as before
        {"wid=..&tid=12&cid=1", kSid2, -100002},
        {"wid=%2E%2E%2Fall&tid=12&cid=1", kSid2, -100002},
        {"wid=a%5Cb&tid=12&cid=1", kSid2, -100002},
        {"wid=all&tid=12", kSid2, -100019},
        {"tid=12&cid=1", kSid2, -100019},
        {"wid=all&tid=12&cid=1", "short", -300051},
    };
    for (const auto& c : cases) {
        Cgi r = run(c.query, c.sid);
        EXPECT_EQ(1, r.exitCode) << c.query;
        EXPECT_EQ(0u, r.err.find(std::to_string(c.code) + " ")) << c.query << ": " << r.err;
        EXPECT_EQ("", r.head + r.body) << c.query;
    }
}

TEST_F(ListCsvDownload, LongPostBodyAnswersLikeGet)
{
    const std::string query = "wid=all&tid=12&cid=1&cid=3&inheader=1";
    Cgi get = run(query, kSid2);
    Cgi post = run("", kSid2, kFirefox, query + "&pad=" + std::string(3000, 'x'));
    ASSERT_EQ(0, post.exitCode) << post.err;
    EXPECT_EQ(get.body, post.body);
    EXPECT_EQ("名前,金額\r\n", sjisToUtf8(post.body.substr(0, post.body.find("\r\n") + 2)));
}

TEST_F(ListCsvDownload, FailedWritePartWayIsAFailure)
{
    Cgi r = run("wid=all&tid=12&cid=1&cid=2", kSid2, kFirefox, "", 100000);
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ(0u, r.err.find("-1 ")) << r.err;
    EXPECT_NE(std::string::npos, sjisToUtf8(r.body.substr(0, r.body.find("\r\n,\r\n") + 5)).find("二行目"));
    EXPECT_EQ(std::string::npos, r.body.find("\r\n\x8d\xb2\x93\xa1,"));  // no 佐藤 line
}

}  // namespace
