#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RvdbColumnValue.h"
#include "RvdbRecordList.h"
#include "cddbconnection_pg.h"
#include "cddbsqlencoder.h"
#include "pgtest.h"
#include "rvdbGetRecordList.h"
#include "rvddGetTblColList.h"
#include "rvsqltest.h"
#include "rvsuitedb.h"

namespace {

std::string str(const NString& s) { return s.c_str(); }

RvdbColumnSetPtr makeSet(const char* colId, const char* colType, const char* relColType = nullptr)
{
    RvdbColumnSetPtr p(new RvdbColumnSet());
    p->setTblId(NString("1"));
    p->setColId(NString(colId));
    p->setColType(NString(colType));
    p->setRelColType(NString(relColType != nullptr ? relColType : colType));
    if (rvdbUpdaetColumnSetAndSchema(*p, p->getInnerColumns()) != 0) {
        p->getInnerColumns().clear();
    }
    return p;
}

// Rows in memory; a null cell is SQL NULL.
class FakeResult : public CdDBResult {
public:
    FakeResult(std::vector<std::string> names, std::vector<std::vector<const char*>> data,
               int failColumn = -1)
        : fields(std::move(names)), rows(std::move(data)), failAt(failColumn)
    {
    }
    void clear() override {}
    int getStatus() const override { return 0; }
    int getFieldCount() const override { return static_cast<int>(fields.size()); }
    int getFieldName(NString& out, int column) const override
    {
        if (column < 0 || column >= getFieldCount())
            return CDDB_ERR_FIELD;
        out = NString(fields[column].c_str());
        return 0;
    }
    int getValue(NString& out, int column) const override
    {
        if (row >= rows.size())
            return CDDB_ERR_EOF;
        if (column == failAt)
            return CDDB_ERR_VALUE;
        const char* v = rows[row][column];
        out = v != nullptr ? NString(v) : NString();
        return 0;
    }
    int exportLob(int, const char*) override { return -1; }
    int next() override
    {
        row++;
        return 0;
    }
    bool isEOF() const override { return row >= rows.size(); }
    int getAffectedRows() const override { return 0; }

private:
    std::vector<std::string> fields;
    std::vector<std::vector<const char*>> rows;
    int failAt;
    size_t row = 0;
};

class StatusResult : public FakeResult {
public:
    explicit StatusResult(int s) : FakeResult({}, {}), status(s) {}
    int getStatus() const override { return status; }

private:
    int status;
};

// Records the statements; answers "select count" with 42, other selects
// with one row holding the key 7, and the statement failStatement with an
// error.
class FakeConnection : public rvtest::EncoderOnlyConnection {
public:
    int setSql(const char* text) override
    {
        sql = text;
        return 0;
    }
    CdDBResultHandle execute(const std::vector<CdDBBind>*) override
    {
        statements.push_back(sql);
        if (static_cast<int>(statements.size()) == failStatement)
            return CdDBResultHandle(new StatusResult(CDDB_ERR_SYNTAX));
        if (sql.rfind("select count", 0) == 0)
            return CdDBResultHandle(new FakeResult({ "count" }, { { "42" } }));
        if (sql.rfind("select", 0) == 0)
            return CdDBResultHandle(new FakeResult({ "a.rvkey" }, { { "7" } }));
        return CdDBResultHandle(new FakeResult({}, {}));
    }

    std::string sql;
    std::vector<std::string> statements;
    int failStatement = 0;
};

TEST(RvdbRecordQuery, SortList)
{
    typedef std::vector<std::pair<const char*, const char*>> Pairs;
    struct {
        Pairs base;
        std::pair<const char*, const char*> requested;
        Pairs expected;
    } cases[] = {
        { { { "7", "1" }, { "8", "1" } }, { "7", "0" }, { { "7", "0" }, { "8", "0" }, { "-1", "0" } } },
        { { { "7", "1" }, { "8", "1" } }, { "8", "0" }, { { "8", "0" }, { "-1", "0" } } },
        { { { "7", "1" }, { "8", "0" } }, { "7", "1" }, { { "7", "1" }, { "8", "0" }, { "-1", "1" } } },
        { {}, { "", "" }, { { "-1", "1" } } },
        { { { "", "1" }, { "5", "x" } }, { "", "" }, { { "5", "0" }, { "-1", "0" } } },
        { { { "5", "1" }, { "-1", "0" } }, { "", "" }, { { "5", "1" }, { "-1", "0" } } },
        { {}, { "3", "" }, { { "3", "0" }, { "-1", "0" } } },
    };
    for (const auto& c : cases) {
        RvPairList base, out;
        for (const auto& p : c.base)
            base.push_back(RvPair(NString(p.first), NString(p.second)));
        RvPair requested(NString(c.requested.first), NString(c.requested.second));
        EXPECT_EQ(0, rvdbMakeSortList(base, requested, out));
        Pairs got;
        std::string text, want;
        for (const RvPair& p : out)
            text += str(p.first) + ":" + str(p.second) + " ";
        for (const auto& p : c.expected)
            want += std::string(p.first) + ":" + p.second + " ";
        EXPECT_EQ(want, text) << "requested " << c.requested.first;
    }
}

TEST(RvdbRecordQuery, OrderBy)
{
    FakeConnection conn;
    RvdbColumnSetList withKey = { makeSet("-1", "key"), makeSet("5", "number"),
                                  makeSet("15", "image"), makeSet("2", "relkey", "key") };
    RvdbColumnSetList withoutKey = { makeSet("5", "number") };
    struct {
        const RvdbColumnSetList* sets;
        std::vector<std::pair<const char*, const char*>> sorts;
        const char* expected;
    } cases[] = {
        { &withKey, { { "5", "0" }, { "-1", "0" } }, " order by a.col00005 desc NULLS LAST,a.rvkey desc" },
        { &withKey, { { "5", "1" } }, " order by a.col00005  NULLS FIRST" },
        { &withKey, { { "15", "1" } }, " order by rtblcol00015.file_name  NULLS FIRST" },
        { &withKey, { { "2", "0" }, { "-1", "1" } }, " order by a.col00002 desc,a.rvkey " },
        { &withKey, { { "99", "1" }, { "-1", "1" } }, " order by a.rvkey " },
        // The record key ends the order even without its column definition.
        { &withoutKey, { { "5", "0" }, { "-1", "0" } }, " order by a.col00005 desc NULLS LAST,a.rvkey desc" },
        { &withoutKey, {}, "unchanged" },
    };
    for (const auto& c : cases) {
        RvPairList sorts;
        for (const auto& p : c.sorts)
            sorts.push_back(RvPair(NString(p.first), NString(p.second)));
        NString out("unchanged");
        EXPECT_EQ(0, rvdbMakeOrderBy(sorts, *c.sets, &conn.encoder, out));
        EXPECT_EQ(c.expected, str(out));
    }
}

TEST(RvdbRecordQuery, SelectList)
{
    FakeConnection conn;
    RvdbColumnSetList sets = { makeSet("3", "texts"), makeSet("7", "datetime"), makeSet("4", "url"),
                               makeSet("9", "text") };
    RvStringList ids = { NString("3"), NString("7"), NString("4") };
    NString statement, select, from, where;
    ASSERT_EQ(0, rvdbMakeSelectList(&conn.encoder, "3", sets, ids, RvStringList(),
                                    RvDbSearchFilterList(), 100, statement, select, from, where));
    EXPECT_EQ("case when length(a.col00003)>100 then substring(a.col00003,0,100) || ' ...' "
              "else a.col00003 end as \"a.col00003\","
              "CASE WHEN a.col00007>='0001-01-01' AND a.col00007<'10000-01-01' THEN "
              "TO_CHAR(a.col00007 ,'YYYYMMDDHH24MISS') WHEN a.col00007 IS NOT NULL "
              "THEN '!'||a.col00007 END as \"a.col00007\","
              "a.col00004 as \"a.col00004\",a.col00004_lbl as \"a.col00004_lbl\","
              "a.rvkey as \"a.rvkey\"",
              str(select));
    EXPECT_EQ("tbl00003 as a", str(from));
    EXPECT_EQ("", str(where));
    EXPECT_EQ("select " + str(select) + " from tbl00003 as a", str(statement));

    // Without a cut the texts column is plain; an empty list still reads the key.
    ASSERT_EQ(0, rvdbMakeSelectList(&conn.encoder, "3", sets, { NString("3") }, RvStringList(),
                                    RvDbSearchFilterList(), 0, statement, select, from, where));
    EXPECT_EQ("a.col00003 as \"a.col00003\",a.rvkey as \"a.rvkey\"", str(select));
    ASSERT_EQ(0, rvdbMakeSelectList(&conn.encoder, "3", sets, RvStringList(), RvStringList(),
                                    RvDbSearchFilterList(), 0, statement, select, from, where));
    EXPECT_EQ("a.rvkey as \"a.rvkey\"", str(select));
}

TEST(RvdbRecordQuery, StatementsSent)
{
    RvdbColumnSetList sets = { makeSet("-1", "key"), makeSet("5", "number") };
    RvStringList ids = { NString("-1"), NString("5") };
    const std::string select =
        "select a.rvkey as \"a.rvkey\",a.col00005 as \"a.col00005\" from tbl00003 as a  "
        " order by a.rvkey ";
    struct {
        int limit, offset;
        bool count;
        std::vector<std::string> expected;
    } cases[] = {
        { 0, 0, false, { "SET enable_seqscan TO off;", select, "SET enable_seqscan TO on;" } },
        { 50, 0, false, { "SET enable_seqscan TO off;", select + " limit 50", "SET enable_seqscan TO on;" } },
        { 0, 100, true,
          { "SET enable_seqscan TO off;", "select count(a.rvkey) from tbl00003 as a",
            select + " offset 100", "SET enable_seqscan TO on;" } },
        { 10, 20, false, { "SET enable_seqscan TO off;", select + " limit 10 offset 20", "SET enable_seqscan TO on;" } },
    };
    for (const auto& c : cases) {
        FakeConnection conn;
        CdDBResultHandle result;
        int count = -5;
        ASSERT_EQ(0, rvdbGetRecordList(&conn, "3", sets, ids, 0, RvDbSearchFilterList(), RvPairList(),
                                       result, c.limit, c.offset, c.count ? &count : nullptr));
        EXPECT_EQ(c.expected, conn.statements);
        EXPECT_EQ(c.count ? 42 : -5, count);
        ASSERT_TRUE(static_cast<bool>(result));
        NString key;
        EXPECT_EQ(0, result->getValueByName(key, "a.rvkey"));
        EXPECT_EQ("7", str(key));
    }

    // A failing statement returns its code and leaves the result alone; the
    // page failing skips the last statement.
    for (int fail = 1; fail <= 3; fail++) {
        FakeConnection conn;
        conn.failStatement = fail;
        CdDBResultHandle result;
        int count = 0;
        EXPECT_EQ(CDDB_ERR_SYNTAX, rvdbGetRecordList(&conn, "3", sets, ids, 0, RvDbSearchFilterList(),
                                                      RvPairList(), result, 0, 0, &count));
        EXPECT_EQ(static_cast<size_t>(fail), conn.statements.size());
        EXPECT_FALSE(static_cast<bool>(result));
    }
}

TEST(RvdbRecordQuery, TableIdMustBeAnInteger)
{
    RvdbColumnSetList sets = { makeSet("-1", "key") };
    for (const char* id : { "", "12abc", "1;drop table x", "-1", "1234567890", " 1" }) {
        FakeConnection conn;
        CdDBResultHandle result;
        EXPECT_EQ(-100001, rvdbGetRecordList(&conn, id, sets, { NString("-1") }, 0, RvDbSearchFilterList(),
                                             RvPairList(), result, 0, 0, nullptr))
            << id;
        EXPECT_TRUE(conn.statements.empty());
    }
    CdDBResultHandle result;
    EXPECT_EQ(-100001, rvdbGetRecordList(nullptr, "1", sets, {}, 0, RvDbSearchFilterList(), RvPairList(),
                                         result, 0, 0, nullptr));
}

TEST(RvdbRecordFetch, RowsToValues)
{
    FakeConnection conn;
    RvdbColumnSetList sets = { makeSet("-1", "key"), makeSet("6", "numbercal"), makeSet("4", "url") };
    // Column 4 is not selected: its values stay empty.
    CdDBResultHandle result(new FakeResult({ "a.rvkey", "a.col00006", "a.col00006_status" },
                                           { { "1", "1.5", "0" }, { "2", nullptr, "1" }, { "3", "9", "2" } }));
    RvdbRecordList list;
    RvResult res = rvdbFetchRecordList(result, &conn.encoder, sets, list, 2);
    ASSERT_EQ(0, res.getCode());
    ASSERT_EQ(6u, list.getCells().size());
    EXPECT_EQ(2, list.getRowCount());
    const char* expected[2][3][2] = { { { "1", "" }, { "1.5", "0" }, { "", "" } },
                                      { { "2", "" }, { "", "1" }, { "", "" } } };
    int types[3] = { RVDB_VALUE_KEY, RVDB_VALUE_NUMBERCAL, RVDB_VALUE_URL };
    for (int r = 0; r < 2; r++) {
        for (int c = 0; c < 3; c++) {
            RvdbColumnValuePtr v;
            ASSERT_EQ(0, list.getCell(r, c, v));
            EXPECT_EQ(types[c], v->getType());
            EXPECT_EQ(sets[c].get(), v->getColumnSet().get());
            for (int i = 0; i < 2; i++) {
                NString t;
                if (v->getText(i, t) == 0) {
                    EXPECT_EQ(expected[r][c][i], str(t)) << r << "," << c << "," << i;
                }
            }
        }
    }
    // The rest of the rows: maximum 0 reads all from the current row on.
    res = rvdbFetchRecordList(result, &conn.encoder, sets, list, 0);
    ASSERT_EQ(0, res.getCode());
    EXPECT_EQ(1, list.getRowCount());

    // No rows: columns, no cells.
    CdDBResultHandle empty(new FakeResult({ "a.rvkey" }, {}));
    ASSERT_EQ(0, rvdbFetchRecordList(empty, &conn.encoder, sets, list, -1).getCode());
    EXPECT_EQ(3, list.getColumnCount());
    EXPECT_EQ(0, list.getRowCount());
}

TEST(RvdbRecordFetch, Failures)
{
    FakeConnection conn;
    // A set without a value class.
    {
        RvdbColumnSetList sets = { makeSet("-1", "key"), makeSet("3", "relref", "relref") };
        CdDBResultHandle result(new FakeResult({ "a.rvkey" }, { { "1" } }));
        std::vector<RvdbColumnValuePtr> cells;
        EXPECT_EQ(-100025, rvdbGetRecordValues(result, &conn.encoder, sets, cells).getCode());
        EXPECT_EQ(1u, cells.size());
    }
    // A text the value refuses, and an unreadable column: no half row in the list.
    {
        RvdbColumnSetList sets = { makeSet("-1", "key"), makeSet("7", "datetime") };
        CdDBResultHandle bad(new FakeResult({ "a.rvkey", "a.col00007" }, { { "1", "2024013100000000" } }));
        std::vector<RvdbColumnValuePtr> cells;
        RvResult res = rvdbGetRecordValues(bad, &conn.encoder, sets, cells);
        EXPECT_NE(0, res.getCode());
        EXPECT_EQ(1u, cells.size());

        CdDBResultHandle unreadable(new FakeResult({ "a.rvkey", "a.col00007" },
                                                   { { "1", "20240131000000" } }, 1));
        RvdbRecordList list;
        EXPECT_EQ(CDDB_ERR_VALUE, rvdbFetchRecordList(unreadable, &conn.encoder, sets, list, 0).getCode());
        EXPECT_EQ(0u, list.getCells().size());
    }
}

// ---------------------------------------------------------------------------
// Against the sample tables.

class RecordQueryLive : public ::testing::Test {
protected:
    static void SetUpTestSuite() { db.open("t_rvdbrecord", RvSuiteDatabase::ALL); }
    static void TearDownTestSuite() { db.close(); }
    void SetUp() override
    {
        ASSERT_EQ("", db.error());
        ASSERT_EQ(0, conn.connect(PGTEST_USER, PGTEST_PASSWORD, "127.0.0.1", db->name().c_str(), 10));
        ASSERT_EQ(0, conn.begin());
    }
    void TearDown() override { conn.disconnect(); }

    // Column sets of a table (every one, in table order).
    RvdbColumnSetList columns(const char* tblId, int* ret = nullptr)
    {
        RvdbColumnSetList sets;
        int r = rvddGetTblColList(&conn, sets, tblId);
        if (ret != nullptr)
            *ret = r;
        else
            EXPECT_EQ(0, r) << tblId;
        return sets;
    }
    static RvStringList ids(const RvdbColumnSetList& sets)
    {
        RvStringList out;
        for (const auto& s : sets)
            out.push_back(s->getColId());
        return out;
    }
    // Texts of every value of every row, "|"-joined per value.
    std::vector<std::vector<std::string>> readAll(CdDBResultHandle& result, const RvdbColumnSetList& sets)
    {
        std::vector<std::vector<std::string>> rows;
        for (int guard = 0; !result->isEOF() && guard < 100000; guard++) {
            std::vector<RvdbColumnValuePtr> cells;
            RvResult res = rvdbGetRecordValues(result, conn.getSqlEncoder(), sets, cells);
            EXPECT_EQ(0, res.getCode());
            if (res.isError())
                break;
            std::vector<std::string> row;
            for (const auto& v : cells)
                row.push_back(texts(*v));
            rows.push_back(row);
            EXPECT_EQ(0, result->next());
        }
        return rows;
    }
    static std::string texts(const RvdbColumnValue& v)
    {
        std::string out;
        for (int i = 0; i < 6; i++) {
            NString t;
            if (v.getText(i, t) != 0)
                break;
            out += (i ? "|" : "") + str(t);
        }
        return out;
    }
    static int indexOf(const RvdbColumnSetList& sets, const char* colId)
    {
        for (size_t i = 0; i < sets.size(); i++)
            if (str(sets[i]->getColId()) == colId)
                return static_cast<int>(i);
        return -1;
    }

    static RvSuiteDatabase db;
    CdDBConnection_PG conn{ 1, 0 };
};

RvSuiteDatabase RecordQueryLive::db;

TEST_F(RecordQueryLive, EveryTypeAsTheExportReadsIt)
{
    RvdbColumnSetList sets = columns("1");
    ASSERT_EQ(20u, sets.size());
    CdDBResultHandle result;
    ASSERT_EQ(0, rvdbGetRecordList(&conn, "1", sets, ids(sets), 0, RvDbSearchFilterList(), RvPairList(),
                                   result, 0, 0, nullptr));
    auto rows = readAll(result, sets);
    ASSERT_EQ(3u, rows.size());
    struct {
        const char* colId;
        int type;
        const char* row1;
        const char* row2;
        const char* row1234;
    } cases[] = {
        { "-1", RVDB_VALUE_KEY, "1", "2", "1234" },
        { "-2", RVDB_VALUE_USER, "山田 太郎", "山田 太郎", "佐藤 花子" },
        { "-3", RVDB_VALUE_DATETIME, "20240131235959", "20240201000000", "20000229120000" },
        { "-5", RVDB_VALUE_DATETIME, "20240201090000", "", "20000229120001" },
        { "1", RVDB_VALUE_TEXT, "山田 太郎", "", "" },
        { "2", RVDB_VALUE_TEXTS, "一行目\r\n二行目, \"引用\"\r\n", "", "タブ\tと\"二重引用符\",カンマ" },
        { "3", RVDB_VALUE_MAIL, "taro@example.com", "", "" },
        { "4", RVDB_VALUE_URL, "https://example.com/?a=1&b=2|例のページ", "|", "http://localhost/|" },
        { "5", RVDB_VALUE_NUMBER, "12.50000", "", "-999999999999999.99999" },
        { "6", RVDB_VALUE_NUMBERCAL, "13.75000|0", "|", "999999999999999.99999|1" },
        { "7", RVDB_VALUE_DATETIME, "20240131235959", "", "00010101000000" },
        { "8", RVDB_VALUE_DATETIMECAL, "20240202010203|0", "|", "99991231235959|2" },
        { "9", RVDB_VALUE_TIMESPAN, "93784", "", "0" },
        { "10", RVDB_VALUE_TIMESPANCAL, "3600|0", "|", "999999999|1" },
        { "11", RVDB_VALUE_SELECT, "一般", "", "特別" },
        { "12", RVDB_VALUE_SELECTS, "\nred\nblue\n", "", "" },
        { "13", RVDB_VALUE_USER, "山田 太郎", "", "" },
        { "14", RVDB_VALUE_FILE, "1|1", "|2", "1|1234" },
        { "15", RVDB_VALUE_IMAGE, "3|photo.png|image/png|2|3|28", "|||||", "|||||" },
    };
    for (const auto& c : cases) {
        int col = indexOf(sets, c.colId);
        ASSERT_GE(col, 0) << c.colId;
        std::unique_ptr<RvdbColumnValue> v(rvdbNewColumnValue(sets[col]));
        ASSERT_NE(nullptr, v.get());
        EXPECT_EQ(c.type, v->getType()) << c.colId;
        EXPECT_EQ(c.row1, rows[0][col]) << c.colId;
        EXPECT_EQ(c.row2, rows[1][col]) << c.colId;
        EXPECT_EQ(c.row1234, rows[2][col]) << c.colId;
    }
}

TEST_F(RecordQueryLive, OrderingAndPaging)
{
    RvdbColumnSetList sets = columns("1");
    int key = indexOf(sets, "-1");
    struct {
        const char* colId;
        const char* order;
        int limit, offset;
        std::vector<std::string> keys;
    } cases[] = {
        { "5", "0", 0, 0, { "1", "1234", "2" } },   // desc, NULLs last
        { "5", "1", 0, 0, { "2", "1234", "1" } },   // asc, NULLs first
        { "15", "1", 0, 0, { "2", "1234", "1" } },  // image: by file name
        { "-1", "0", 0, 0, { "1234", "2", "1" } },
        { "-1", "1", 2, 0, { "1", "2" } },
        { "-1", "1", 2, 2, { "1234" } },
        { "-1", "1", 0, 1, { "2", "1234" } },
        { "14", "1", 0, 0, { "2", "1", "1234" } },  // ties broken by the key
        { "14", "0", 0, 0, { "1234", "1", "2" } },
    };
    for (const auto& c : cases) {
        RvPairList sorts = { RvPair(NString(c.colId), NString(c.order)) };
        CdDBResultHandle result;
        int count = 0;
        ASSERT_EQ(0, rvdbGetRecordList(&conn, "1", sets, ids(sets), 0, RvDbSearchFilterList(), sorts, result,
                                       c.limit, c.offset, &count));
        EXPECT_EQ(3, count);
        std::vector<std::string> keys;
        for (const auto& row : readAll(result, sets))
            keys.push_back(row[key]);
        EXPECT_EQ(c.keys, keys) << c.colId << " " << c.order << " " << c.limit << " " << c.offset;
    }

    // Paging by the list's page starts reads every record once.
    RvListRowsInfo info;
    info.set(2, 0, 3);
    int first = 0, previous = 0, next = 0, last = 0;
    ASSERT_EQ(0, info.getPageStarts(&first, &previous, &next, &last));
    std::vector<std::string> seen;
    for (int start : { first, last }) {
        CdDBResultHandle result;
        ASSERT_EQ(0, rvdbGetRecordList(&conn, "1", sets, ids(sets), 0, RvDbSearchFilterList(), RvPairList(),
                                       result, 2, start, nullptr));
        for (const auto& row : readAll(result, sets))
            seen.push_back(row[key]);
    }
    EXPECT_EQ((std::vector<std::string>{ "1", "2", "1234" }), seen);
}

TEST_F(RecordQueryLive, RelationsShowTheRelatedRecord)
{
    RvdbColumnSetList sets = columns("2");
    CdDBResultHandle result;
    ASSERT_EQ(0, rvdbGetRecordList(&conn, "2", sets, ids(sets), 0, RvDbSearchFilterList(), RvPairList(),
                                   result, 0, 0, nullptr));
    auto rows = readAll(result, sets);
    ASSERT_EQ(3u, rows.size());
    struct {
        const char* colId;
        const char* order1;
        const char* order2;
        const char* order3;
    } cases[] = {
        { "2", "1", "2", "" },                                          // relkey
        { "3", "株式会社テスト", "Sample Co.", "" },                    // relref text
        { "4", "1500.00000", "", "" },                                  // relcpy: own value
        { "5", "31|logo.png|image/png|16|16|8", "|||||", "|||||" },     // relref image
        { "6", "1|1", "|2", "|" },                                      // relref file: customer's key
        { "7", "開発部", "営業部", "" },                                // chain to text
        { "8", "1|2", "1|1", "|" },                                     // chain to file: department's key
        { "10", "4500.00000|0", "|1", "|" },
    };
    for (const auto& c : cases) {
        int col = indexOf(sets, c.colId);
        ASSERT_GE(col, 0) << c.colId;
        EXPECT_EQ(c.order1, rows[0][col]) << c.colId;
        EXPECT_EQ(c.order2, rows[1][col]) << c.colId;
        EXPECT_EQ(c.order3, rows[2][col]) << c.colId;
    }
}

TEST_F(RecordQueryLive, CyclicDefinitionsTerminate)
{
    int ret = 0;
    RvdbColumnSetList sets = columns("5", &ret);
    // Whatever the definitions allow, the query ends and reads the record.
    RvdbColumnSetList usable;
    for (const auto& s : sets)
        if (!s->getInnerColumns().empty())
            usable.push_back(s);
    ASSERT_FALSE(usable.empty());
    CdDBResultHandle result;
    ASSERT_EQ(0, rvdbGetRecordList(&conn, "5", usable, ids(usable), 0, RvDbSearchFilterList(),
                                   RvPairList(), result, 0, 0, nullptr));
    NString key;
    ASSERT_FALSE(result->isEOF());
    EXPECT_EQ(0, result->getValueByName(key, "a.rvkey"));
    EXPECT_EQ("1", str(key));
    result->next();
    EXPECT_TRUE(result->isEOF());
}

TEST_F(RecordQueryLive, LargeTableStreamsInBatches)
{
    const int rows = 20000;
    ASSERT_EQ("", db->exec("CREATE TABLE IF NOT EXISTS tbl00009 (rvkey numeric(9) PRIMARY KEY, "
                           "col00001 text, col00002 numeric(20,5));"
                           "TRUNCATE tbl00009;"
                           "INSERT INTO tbl00009 SELECT g, 'row ' || g, g * 0.5 "
                           "FROM generate_series(" + std::to_string(rows) + ", 1, -1) AS g;"
                           "GRANT ALL ON tbl00009 TO " + std::string(PGTEST_USER) + ";"));
    RvdbColumnSetList sets = { makeSet("-1", "key"), makeSet("1", "text"), makeSet("2", "number") };

    CdDBResultHandle streamed;
    ASSERT_EQ(0, rvdbGetRecordList(&conn, "9", sets, ids(sets), 0, RvDbSearchFilterList(), RvPairList(),
                                   streamed, 0, 0, nullptr));
    RvdbCursorResult* cursor = dynamic_cast<RvdbCursorResult*>(streamed.get());
    ASSERT_NE(nullptr, cursor);

    // The same query without a transaction comes back whole.
    CdDBConnection_PG plainConn(1, 0);
    ASSERT_EQ(0, plainConn.connect(PGTEST_USER, PGTEST_PASSWORD, "127.0.0.1", db->name().c_str(), 10));
    CdDBResultHandle plain;
    ASSERT_EQ(0, rvdbGetRecordList(&plainConn, "9", sets, ids(sets), 0, RvDbSearchFilterList(), RvPairList(),
                                   plain, 0, 0, nullptr));
    ASSERT_EQ(nullptr, dynamic_cast<RvdbCursorResult*>(plain.get()));

    int n = 0;
    bool same = true;
    while (!streamed->isEOF() && n < rows + 10) {
        ASSERT_FALSE(plain->isEOF());
        for (const char* name : { "a.rvkey", "a.col00001", "a.col00002" }) {
            NString a, b;
            ASSERT_EQ(0, streamed->getValueByName(a, name));
            ASSERT_EQ(0, plain->getValueByName(b, name));
            same = same && str(a) == str(b);
        }
        NString key;
        streamed->getValueByName(key, "a.rvkey");
        same = same && str(key) == std::to_string(n + 1);
        EXPECT_LE(cursor->getMaxBatchRows(), RVDB_RECORD_FETCH_ROWS);
        ASSERT_EQ(0, streamed->next());
        plain->next();
        n++;
    }
    EXPECT_TRUE(same);
    EXPECT_EQ(rows, n);
    EXPECT_TRUE(plain->isEOF());
    EXPECT_EQ(RVDB_RECORD_FETCH_ROWS, cursor->getMaxBatchRows());
    // Batches of 16, 64 and 256 rows lead to the full ones.
    EXPECT_GE(cursor->getFetchCount(), rows / RVDB_RECORD_FETCH_ROWS);
    EXPECT_LE(cursor->getFetchCount(), rows / RVDB_RECORD_FETCH_ROWS + 4);
    EXPECT_FALSE(cursor->isCursorOpen());
    EXPECT_EQ(0, streamed->getStatus());
    plainConn.disconnect();

    // A cursor left half read is closed with its result; the transaction goes on.
    {
        CdDBResultHandle partial;
        ASSERT_EQ(0, rvdbGetRecordList(&conn, "9", sets, ids(sets), 0, RvDbSearchFilterList(), RvPairList(),
                                       partial, 0, 0, nullptr));
        partial->next();
    }
    conn.setSql("select count(*) from pg_cursors where name like 'rvdb%'");
    CdDBResultHandle open = conn.execute();
    NString count;
    ASSERT_EQ(0, open->getValue(count, 0));
    EXPECT_EQ("0", str(count));

    // A failed fetch is no end of the rows: values and next() report it.
    CdDBResultHandle failing;
    ASSERT_EQ(0, rvdbGetRecordList(&conn, "9", sets, ids(sets), 0, RvDbSearchFilterList(), RvPairList(),
                                   failing, 0, 0, nullptr));
    conn.setSql("select 1/0");
    EXPECT_TRUE(conn.execute()->isError());  // aborts the transaction
    for (int i = 0; i < RVDB_RECORD_FIRST_FETCH_ROWS - 1; i++)
        ASSERT_EQ(0, failing->next());
    EXPECT_NE(0, failing->next());
    EXPECT_FALSE(failing->isEOF());
    NString key;
    EXPECT_NE(0, failing->getValueByName(key, "a.rvkey"));
    RvdbRecordList list;
    EXPECT_NE(0, rvdbFetchRecordList(failing, conn.getSqlEncoder(), sets, list, 0).getCode());
    EXPECT_NE(0, failing->getStatus());
    EXPECT_NE(0, failing->next());  // a second next() ends the rows
    EXPECT_TRUE(failing->isEOF());
}

}  // namespace
