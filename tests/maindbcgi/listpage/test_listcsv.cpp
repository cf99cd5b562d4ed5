// The list-page CSV download run through its CGI driver as a child process:
// request variables in, header and Shift_JIS bytes out.
#include <algorithm>
#include <regex>

#include "listcsvfixture.h"
#include "rvappctx.h"

namespace {

using namespace listcsv;

std::string str(const NString& s)
{
    return s.c_str();
}

class ListCsvDownload : public ListCsvFixture {
protected:
    static void SetUpTestSuite()
    {
        dir = new rvtest::ScratchDir();
        openSuite("t_listcsv", dir->path());
    }
    static void TearDownTestSuite()
    {
        ListCsvFixture::TearDownTestSuite();
        delete dir;
    }
    inline static rvtest::ScratchDir* dir;
};

TEST_F(ListCsvDownload, HeadersNameTheTableForEachAgent)
{
    const std::regex name("試験_表___1_20[0-9]{12}\\.csv");
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
    const std::string expected = "名前,金額,備考,日時\r\n"
                                 "山田 太郎,12.5,\"一行目\n二行目, \"\"引用\"\"\",2024/04/01 09:30:00\r\n"
                                 ",,,\r\n"
                                 "鈴木,3," + many + ",\r\n"
                                 "佐藤,100,x,\r\n"
                                 "高橋,50,,\r\n";
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
        {"wid=hs&tid=2&cid=1", kSid4, -100026},       // sort on a hidden column
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
    // It fails at the long line's write, not at the final flush (the trace
    // file holds its lines hex-encoded).
    auto hex = [](const std::string& text) {
        std::string out;
        for (unsigned char c : text)
            out += "0123456789abcdef"[c >> 4], out += "0123456789abcdef"[c & 15];
        return out;
    };
    EXPECT_NE(std::string::npos, r.trace.find(hex("write length["))) << r.trace;
    EXPECT_EQ(std::string::npos, r.trace.find(hex("flush"))) << r.trace;

    // Rows that fail part way end the run as a failure after the lines before.
    const std::string all = "山田 太郎\r\n\r\n鈴木\r\n佐藤\r\n高橋\r\n";
    const struct {
        const char* fault;
        const char* code;
        std::string body;
    } cases[] = {
        {"value", "-1008 ", "山田 太郎\r\n"},  // the second row cannot be read
        {"cell", "-100001 ", "山田 太郎\r\n"},  // nor its cell formatted
        {"", "", all},
    };
    for (const auto& c : cases) {
        r = run("wid=all&tid=12&cid=1", kSid2, kFirefox, "", 0, c.fault);
        EXPECT_EQ(*c.fault ? 1 : 0, r.exitCode) << c.fault;
        EXPECT_EQ(0u, r.err.find(c.code)) << c.fault << ": " << r.err;
        EXPECT_EQ(c.body, sjisToUtf8(r.body)) << c.fault;
    }

    // A cursor whose fetch fails once earlier batches are written: the
    // table's 101st row raises an error on the server, when it is fetched.
    ASSERT_EQ("", db->exec("ALTER TABLE tbl00012 RENAME TO tbl00012_rows;"
                           "INSERT INTO tbl00012_rows (rvkey, col00001) SELECT g, 'r' || g "
                           "FROM generate_series(6, 150) g;"
                           "CREATE FUNCTION rvtest_row(k numeric, v text) RETURNS text STABLE COST 10000 "
                           "LANGUAGE plpgsql AS $$BEGIN IF k > 100 THEN RAISE EXCEPTION 'row %', k; "
                           "END IF; RETURN v; END$$;"
                           "CREATE VIEW tbl00012 AS SELECT rvkey, regist_uname, regist_date, update_uname,"
                           " update_date, rvtest_row(rvkey, col00001) AS col00001, col00002, col00003,"
                           " col00004, col00005 FROM tbl00012_rows;"
                           "GRANT ALL ON tbl00012 TO vikra"));
    r = run("wid=all&tid=12&cid=1", kSid2, kFirefox);
    ASSERT_EQ("", db->exec("DROP VIEW tbl00012; DROP FUNCTION rvtest_row(numeric, text);"
                           "DELETE FROM tbl00012_rows WHERE rvkey > 5;"
                           "ALTER TABLE tbl00012_rows RENAME TO tbl00012"));
    std::string first = all;
    for (int k = 6; k <= 100; ++k)
        first += "r" + std::to_string(k) + "\r\n";
    EXPECT_EQ(1, r.exitCode) << r.err;
    EXPECT_EQ(0u, r.err.find("-10")) << r.err;
    const std::string body = sjisToUtf8(r.body);
    EXPECT_FALSE(body.empty()) << r.err;
    EXPECT_EQ(0u, first.find(body)) << body;  // the lines before the failed fetch
}

// The list page itself (no selected columns): layout, grid, visible items,
// widths, fixed item and paging.
TEST_F(ListCsvDownload, ApplyResolvesTheListLayoutPage)
{
    RvAppCtx* ctx = RvAppCtx::getInstance();
    ASSERT_EQ(0, ctx->load(dir->path().c_str()));
    ASSERT_EQ(0, ctx->connect());
    ctx->getUser().id = "2";
    const NString session(sessionDir(kSid2).c_str());
    RvdbRecordListPageCommand cmd(session, NString("12"), NString("x"));
    cmd.setVisibleColumns({NString("103"), NString("101"), NString("104")});
    ASSERT_EQ(0, cmd.setColumnWidth(NString("1"), NString("60")));  // no such item: no effect
    ASSERT_EQ(0, cmd.setColumnWidth(NString("101"), NString("200")));
    cmd.setFixedColId(NString("105"));
    cmd.setLimit(NString("1"));
    cmd.setRow(NString("-5"));
    ASSERT_EQ(0, cmd.save());
    // A second load appends the saved widths again; the first pair of an
    // item holds, which is the one a change between the loads set.
    RvdbRecordListPageCommand loaded(session, NString("12"), NString("x"));
    ASSERT_EQ(0, loaded.load());
    ASSERT_EQ(0, loaded.setColumnWidth(NString("101"), NString("300")));
    ASSERT_EQ(0, loaded.load());
    ASSERT_EQ(4u, loaded.getColumnWidths().size());
    RvdbRecordListPage page;
    ASSERT_EQ(0, RvdbRecordListPageCommand::apply(page, loaded, ctx->getUser(), ctx->getConnection(false)));
    EXPECT_EQ(1, page.view.view_id);
    EXPECT_EQ("", str(page.hasTotals));
    std::vector<std::string> cells;
    for (const RvDbLayoutGridCell& c : page.grid.cells)
        cells.push_back(str(c.item->layout_item_id));
    EXPECT_EQ((std::vector<std::string>{"103", "101", "104"}), cells);
    for (const RvDbLayoutItemFormatPtr& f : page.grid.formats) {
        if (str(f->layout_item_id) == "101") {
            EXPECT_EQ("300", str(f->width));
        }
    }
    // Nearest visible item before 105 in layout order (3, 1, -1, 2, 4, 5).
    EXPECT_EQ("104", str(page.fixedItem));
    // Limit 1 asks for 2 records from the first; the cells' columns are
    // selected, in table order.
    int rows = 0;
    NString key;
    for (; !page.records->isEOF() && rows < 10; page.records->next()) {
        if (rows++ == 0)
            page.records->getValueByName(key, "a.rvkey");
    }
    EXPECT_EQ(2, rows);
    EXPECT_EQ("1", str(key));
    std::vector<std::string> fields;
    for (int i = 0; i < page.records->getFieldCount(); ++i) {
        NString name;
        page.records->getFieldName(name, i);
        fields.push_back(str(name));
    }
    EXPECT_EQ((std::vector<std::string>{"a.rvkey", "a.col00001", "a.col00003", "a.col00004"}), fields);
    ctx->disconnect();
}

// Saved paging texts at and beyond the int range neither wrap nor overflow.
TEST_F(ListCsvDownload, ApplyTakesHugePagingAsLargest)
{
    RvAppCtx* ctx = RvAppCtx::getInstance();
    ASSERT_EQ(0, ctx->load(dir->path().c_str()));
    ASSERT_EQ(0, ctx->connect());
    ctx->getUser().id = "2";
    const struct {
        const char* limit;
        const char* row;
        int rows;
    } cases[] = {
        {"2147483647", "0", 5}, {"99999999999", "1", 4}, {"1", "99999999999", 0},
        {"-99999999999", "-99999999999", 5},
    };
    for (const auto& c : cases) {
        RvdbRecordListPageCommand cmd(NString(sessionDir(kSid2).c_str()), NString("12"), NString("p"));
        cmd.setLimit(NString(c.limit));
        cmd.setRow(NString(c.row));
        cmd.setSelectedColumns({NString("1")});
        RvdbRecordListPage page;
        ASSERT_EQ(0, RvdbRecordListPageCommand::apply(page, cmd, ctx->getUser(), ctx->getConnection(false)))
            << c.limit << " " << c.row;
        int rows = 0;
        for (; !page.records->isEOF() && rows < 10; page.records->next())
            ++rows;
        EXPECT_EQ(c.rows, rows) << c.limit << " " << c.row;
    }
    ctx->disconnect();
}

// Table 1 of 600 records without filters, read through a cursor by user 2,
// whose column rights are first computed at the first row. The application
// role may not read a column of rv_tbl_admin, so the administrator lookup's
// select * fails each time and is rolled back to its savepoint while the
// records cursor is open, which the server keeps.
class ListCsvColumnGrants : public ListCsvFixture {
protected:
    static void SetUpTestSuite()
    {
        dir = new rvtest::ScratchDir();
        openSuite("t_listcsv_grants", dir->path());
        if (error.empty())
            error = db->exec(
                "DELETE FROM rv_view_sfilters WHERE tbl_id = 1;"
                "DELETE FROM rv_search_cond WHERE tbl_id = 1;"
                "DELETE FROM rv_search_filter WHERE tbl_id = 1;"
                "UPDATE rv_view SET l_sort1_col_id = '7', l_sort1_order = 'a', l_sort2_col_id = NULL"
                " WHERE tbl_id = 1 AND view_id = 1;"
                "INSERT INTO tbl00001 (rvkey, col00001, col00007) SELECT g, 'r' || g,"
                " timestamp '2024-01-01 00:00:00' + g * interval '1 hour' FROM generate_series(3, 599) g;"
                "ALTER TABLE rv_tbl_admin ADD COLUMN regist_date timestamp;"
                "REVOKE SELECT ON rv_tbl_admin FROM " + std::string(PGTEST_USER) +
                "; GRANT SELECT (tbl_id, dbadmin_uid) ON rv_tbl_admin TO " + PGTEST_USER);
        // "s" is table 1's default view 2; "d" is view 1, sorted by date.
        RvdbRecordListPageCommand cmd(NString(sessionDir(kSid2).c_str()), NString("1"), NString("d"));
        cmd.setVid(NString("1"));
        if (error.empty() && cmd.save() != 0)
            error = "save d";
    }
    static void TearDownTestSuite()
    {
        ListCsvFixture::TearDownTestSuite();
        delete dir;
    }
    inline static rvtest::ScratchDir* dir;
};

TEST_F(ListCsvColumnGrants, FailedAdminLookupInTheRowLoopKeepsEveryRow)
{
    // The last line of each order: record 2 (no text) and record 1.
    for (const auto& c : { std::make_pair("s", std::string(",\r\n")),
                           std::make_pair("d", std::string("山田 太郎,2024/01/31 23:59:59\r\n")) }) {
        Cgi r = run(std::string("wid=") + c.first + "&tid=1&cid=1&cid=7", kSid2);
        const std::string body = sjisToUtf8(r.body);
        EXPECT_EQ(600, std::count(body.begin(), body.end(), '\n')) << c.first;
        EXPECT_EQ(0, r.exitCode) << c.first << ": " << r.err;
        EXPECT_EQ(c.second, body.substr(body.size() - std::min(body.size(), c.second.size()))) << c.first;
    }
}

}  // namespace
