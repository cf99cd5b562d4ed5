#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "RvdbColumnValue.h"
#include "cddbconnection_pg.h"
#include "pgtest.h"
#include "rvdbGetRecordList.h"

namespace {

std::string str(const NString& s) { return s.c_str(); }

RvdbColumnSetPtr makeSet(const char* colId, const char* colType)
{
    RvdbColumnSetPtr p(new RvdbColumnSet());
    p->setTblId(NString("9"));
    p->setColId(NString(colId));
    p->setColType(NString(colType));
    p->setRelColType(NString(colType));
    if (rvdbUpdaetColumnSetAndSchema(*p, p->getInnerColumns()) != 0)
        p->getInnerColumns().clear();
    return p;
}

RvStringList ids(const RvdbColumnSetList& sets)
{
    RvStringList out;
    for (const auto& s : sets)
        out.push_back(s->getColId());
    return out;
}

class RecordStream : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        db = new PgTestDatabase("t_recstream");
        err = db->error();
        if (err.empty())
            err = db->exec("CREATE TABLE tbl00009 (rvkey numeric(9) PRIMARY KEY, col00001 text, "
                           "col00002 timestamp without time zone);"
                           "INSERT INTO tbl00009 SELECT g, 'row ' || g, CASE WHEN g % 2 = 0 THEN "
                           "timestamp '2024-01-01' + g * interval '1 second' END "
                           "FROM generate_series(1, 2500) AS g;"
                           "GRANT ALL ON tbl00009 TO " + std::string(PGTEST_USER) + ";");
    }
    static void TearDownTestSuite()
    {
        delete db;
        db = nullptr;
    }
    void SetUp() override
    {
        ASSERT_EQ("", err);
        ASSERT_EQ(0, conn.connect(PGTEST_USER, PGTEST_PASSWORD, "127.0.0.1", db->name().c_str(), 10));
        ASSERT_EQ(0, conn.begin());
    }
    void TearDown() override { conn.disconnect(); }

    static std::string expectedStamp(int key)
    {
        if (key % 2 != 0)
            return "";
        char buf[32];
        int s = key % 60, m = (key / 60) % 60, h = key / 3600;
        snprintf(buf, sizeof buf, "20240101%02d%02d%02d", h, m, s);
        return buf;
    }

    // The key and the text column of table tblId.
    RvdbColumnSetList keyAndText(const char* tblId) const
    {
        RvdbColumnSetList two = { sets[0], sets[1] };
        for (RvdbColumnSetPtr& set : two) {
            set = RvdbColumnSetPtr(new RvdbColumnSet(*set));
            set->setTblId(NString(tblId));
        }
        return two;
    }

    static PgTestDatabase* db;
    static std::string err;
    CdDBConnection_PG conn{ 1, 0 };
    RvdbColumnSetList sets = { makeSet("-1", "key"), makeSet("1", "text"), makeSet("2", "datetime") };
};

PgTestDatabase* RecordStream::db = nullptr;
std::string RecordStream::err;

// Other statements between the rows (as attachments send them) while the
// next batch is on its way: every row still comes, in order, and the
// statements get their own results.
TEST_F(RecordStream, StatementsBetweenRowsKeepTheBatches)
{
    CdDBResultHandle rows;
    ASSERT_EQ(0, rvdbGetRecordList(&conn, "9", sets, ids(sets), 0, RvDbSearchFilterList(),
                                   RvPairList(), rows, 0, 0, nullptr));
    RvdbCursorResult* cursor = dynamic_cast<RvdbCursorResult*>(rows.get());
    ASSERT_NE(nullptr, cursor);
    RvdbRecordValueReader reader(rows, conn.getSqlEncoder(), sets);
    int n = 0;
    while (!rows->isEOF() && n < 3000) {
        std::vector<RvdbColumnValuePtr> values;
        ASSERT_EQ(0, reader.read(values).getCode());
        ASSERT_EQ(3u, values.size());
        NString key, text, stamp;
        values[0]->getText(0, key);
        values[1]->getText(0, text);
        values[2]->getText(0, stamp);
        ++n;
        ASSERT_EQ(std::to_string(n), str(key));
        ASSERT_EQ("row " + std::to_string(n), str(text));
        ASSERT_EQ(expectedStamp(n), str(stamp)) << n;
        if (n % 7 == 0) {
            conn.setSql("select 41 + 1");
            CdDBResultHandle other = conn.execute();
            NString v;
            ASSERT_EQ(0, other->getValue(v, 0));
            ASSERT_EQ("42", str(v));
        }
        ASSERT_EQ(0, rows->next());
    }
    EXPECT_EQ(2500, n);
    EXPECT_EQ(0, rows->getStatus());
    EXPECT_EQ(6, cursor->getFetchCount());  // 16, 64, 256, 1000, 1000, 164 rows
    EXPECT_FALSE(cursor->isCursorOpen());
}

// Short rows and then large ones: what the result holds stays within the
// byte bound, whether other statements come between the rows (the rows on
// their way are then held up to twice the bound, the rest fetched again) or
// not.
TEST_F(RecordStream, SkewedRowsStayWithinTheByteBound)
{
    const int shortRows = 336;  // FETCHes of 16, 64 and 256 rows: the next asks for 1000
    const int largeRows = 24;
    const int largeBytes = 512 * 1024;
    ASSERT_EQ("", db->exec("CREATE TABLE tbl00010 (rvkey numeric(9) PRIMARY KEY, col00001 text);"
                           "INSERT INTO tbl00010 SELECT g, CASE WHEN g <= " + std::to_string(shortRows) +
                           " THEN 's' || g ELSE lpad(g::text, " + std::to_string(largeBytes) +
                           ", 'x') END FROM generate_series(1, " + std::to_string(shortRows + largeRows) +
                           ") AS g;"
                           "GRANT ALL ON tbl00010 TO " + std::string(PGTEST_USER) + ";"));
    RvdbColumnSetList two = keyAndText("10");
    for (bool between : { false, true }) {
        CdDBResultHandle rows;
        ASSERT_EQ(0, rvdbGetRecordList(&conn, "10", two, ids(two), 0, RvDbSearchFilterList(), RvPairList(),
                                       rows, 0, 0, nullptr));
        RvdbCursorResult* cursor = dynamic_cast<RvdbCursorResult*>(rows.get());
        ASSERT_NE(nullptr, cursor);
        int n = 0;
        while (!rows->isEOF() && n < shortRows + largeRows + 1) {
            ++n;
            NString key, text;
            ASSERT_EQ(0, rows->getValueByName(key, "a.rvkey"));
            ASSERT_EQ(0, rows->getValueByName(text, "a.col00001"));
            ASSERT_EQ(std::to_string(n), str(key)) << between;
            std::string t = str(text);
            if (n <= shortRows) {
                ASSERT_EQ("s" + std::to_string(n), t);
            } else {
                ASSERT_EQ(static_cast<size_t>(largeBytes), t.size());
                ASSERT_EQ(std::to_string(n), t.substr(t.size() - std::to_string(n).size()));
            }
            if (between && n % 5 == 0) {
                conn.setSql("select 1");
                ASSERT_FALSE(conn.execute()->isError());
            }
            ASSERT_EQ(0, rows->next());
        }
        EXPECT_EQ(shortRows + largeRows, n) << between;
        EXPECT_EQ(0, rows->getStatus());
        size_t row = largeBytes + 64 * 1024;  // one large row as libpq holds it
        EXPECT_LE(cursor->getMaxBatchBytes(), (between ? 2 : 1) * RVDB_RECORD_FETCH_BYTES + row) << between;
        // 16, 64, 256 and 1000 rows; with the statements, rows dropped are
        // fetched again.
        EXPECT_EQ(between, cursor->getFetchCount() > 4);
    }
}

// Long rows, then short ones, then rows that stay in their results: the
// blocks kept for the next rows stay within their cap, and a short row takes
// no block much larger than itself.
TEST_F(RecordStream, KeptBlocksStayWithinTheirCaps)
{
    ASSERT_EQ("", db->exec("CREATE TABLE tbl00011 (rvkey numeric(9) PRIMARY KEY, col00001 text);"
                           "INSERT INTO tbl00011 SELECT g, CASE WHEN g <= 1500 THEN lpad(g::text, 3000, 'l') "
                           "WHEN g <= 3000 THEN 's' || g ELSE lpad(g::text, 70000, 'x') END "
                           "FROM generate_series(1, 3003) AS g;"
                           "GRANT ALL ON tbl00011 TO " + std::string(PGTEST_USER) + ";"));
    RvdbColumnSetList two = keyAndText("11");
    CdDBResultHandle rows;
    ASSERT_EQ(0, rvdbGetRecordList(&conn, "11", two, ids(two), 0, RvDbSearchFilterList(), RvPairList(),
                                   rows, 0, 0, nullptr));
    RvdbCursorResult* cursor = dynamic_cast<RvdbCursorResult*>(rows.get());
    ASSERT_NE(nullptr, cursor);
    // A block is its row rounded up to 64 bytes, or a kept one up to 64
    // bytes larger; a cursor holds at most two FETCHes and the current row.
    const size_t slack = 128 * (2 * RVDB_RECORD_FETCH_ROWS + 1);
    static_assert(70000 > RVDB_KEEP_RESULT_BYTES, "the last rows stay in their results");
    size_t maxSpare = 0;
    int n = 0;
    while (!rows->isEOF() && n < 3004) {
        NString text;
        ASSERT_EQ(0, rows->getValueByName(text, "a.col00001"));
        const std::string t = str(text), key = std::to_string(++n);
        ASSERT_EQ(n <= 1500 ? 3000 : n > 3000 ? 70000 : t.size(), t.size()) << n;
        ASSERT_EQ(key, t.substr(t.size() - key.size()));
        size_t blocks = 0, bytes = 0;
        cursor->getHeldBlocks(blocks, bytes);
        ASSERT_LE(blocks, bytes + slack) << n;
        ASSERT_LE(cursor->getSpareBytes(), size_t(RVDB_SPARE_ROWS_BYTES)) << n;
        maxSpare = std::max(maxSpare, cursor->getSpareBytes());
        ASSERT_EQ(0, rows->next());
    }
    EXPECT_EQ(3003, n);
    EXPECT_EQ(0, rows->getStatus());
    EXPECT_GT(maxSpare, size_t(RVDB_SPARE_ROWS_BYTES) / 2);  // the cap was reached for
}

// A cursor dropped while its next batch is on its way leaves the
// connection and the transaction usable.
TEST_F(RecordStream, DroppedCursorWithBatchOnItsWay)
{
    {
        CdDBResultHandle rows;
        ASSERT_EQ(0, rvdbGetRecordList(&conn, "9", sets, ids(sets), 0, RvDbSearchFilterList(),
                                       RvPairList(), rows, 0, 0, nullptr));
        rows->next();
    }
    conn.setSql("select count(*) from pg_cursors where name like 'rvdb%'");
    CdDBResultHandle open = conn.execute();
    NString count;
    ASSERT_EQ(0, open->getValue(count, 0));
    EXPECT_EQ("0", str(count));
    EXPECT_EQ(0, conn.commit());
}

// The caller commits and begins anew before the last row: every row still
// comes and the new transaction stays usable, whether the end of the rows
// came before the commit or was on its way (even as a FETCH of no rows).
// When the end had not come, the rows read before the commit come and then
// the rows fail, with nothing sent into the new transaction. Without the new
// transaction, rows read ahead before the commit fail. A chained end counts
// as an end, and so does one in a string of statements. A rollback to a
// savepoint made after the cursor (the caller's, or that of a large object's
// failed export) leaves it open and every row comes; one made before it
// ends it, and a cursor of the same name declared since is not taken for it.
TEST_F(RecordStream, CommitBeforeTheLastRow)
{
    const struct {
        int rows;
        int commitAfter;
        bool beginAgain;
        int status;
        // Run in place of commit() and begin(), by execute or, with
        // command, by executeCommand; one that divides by zero fails, and
        // so does "lo_export", the export of a missing large object.
        std::vector<const char*> sent;
        bool command = false;
        const char* before = nullptr;  // sent before the cursor is declared
    } cases[] = {
        { 2000, 1990, true, 0, {} },   // in the last batch, its end already read
        { 2000, 1000, true, 0, {} },   // the last batch on its way
        { 1336, 1336, true, 0, {} },   // a FETCH of no rows on its way
        { 2336, 1336, true, CDDB_ERR_DB, {} },  // a full FETCH on its way
        { 2336, 500, true, CDDB_ERR_DB, {} },
        { 2336, 900, true, CDDB_ERR_DB, { "COMMIT", "BEGIN" } },
        { 2336, 900, true, CDDB_ERR_DB, { "COMMIT AND CHAIN" } },
        { 2336, 900, true, CDDB_ERR_DB, { "ROLLBACK AND CHAIN" } },
        { 2336, 900, true, CDDB_ERR_DB, { "select 1/0", "COMMIT AND CHAIN" } },  // tagged ROLLBACK
        { 2336, 900, true, CDDB_ERR_DB, { "COMMIT; BEGIN" }, true },
        { 2336, 900, true, 0, { "SAVEPOINT s", "select 1/0", "ROLLBACK TO SAVEPOINT s" } },
        { 2336, 900, true, 0, { "SAVEPOINT s", "select 1/0", "ROLLBACK TO SAVEPOINT s" }, true },
        { 2336, 1336, true, 0, { "SAVEPOINT s", "ROLLBACK TO SAVEPOINT s; SELECT 1" }, true },
        { 2336, 900, true, CDDB_ERR_DB, { "ROLLBACK TO SAVEPOINT b" }, false, "SAVEPOINT b" },
        { 2336, 900, true, CDDB_ERR_DB,
          { "ROLLBACK TO SAVEPOINT b", "DECLARE rvdbcommitcur SCROLL CURSOR FOR select g from generate_series(1, 2336) g" },
          true, "SAVEPOINT b" },
        { 2336, 10, true, 0, { "lo_export" } },
        { 2336, 900, true, 0, { "lo_export" } },
        { 2336, 1336, true, 0, { "lo_export" } },
        { 2000, 1000, false, 0, {} },
    };
    for (const auto& c : cases) {
        std::string by;
        for (const char* statement : c.sent)
            by += std::string(by.empty() ? " by " : ", ") + statement;
        SCOPED_TRACE(std::to_string(c.rows) + " rows, commit after " + std::to_string(c.commitAfter) +
                     (c.beginAgain ? "" : " without begin") + by);
        if (!conn.inTransaction()) {
            ASSERT_EQ(0, conn.begin());
        }
        if (c.before != nullptr) {
            ASSERT_EQ(0, conn.executeCommand(c.before));
        }
        std::string sql = "select g from generate_series(1, " + std::to_string(c.rows) + ") g";
        CdDBResultHandle rows(new RvdbCursorResult(&conn, "rvdbcommitcur", sql.c_str(), RVDB_RECORD_FETCH_ROWS));
        ASSERT_EQ(0, rows->getStatus());
        int n = 0, ret = 0;
        while (ret == 0 && !rows->isEOF() && n <= c.rows) {
            NString v;
            ASSERT_EQ(0, rows->getValue(v, 0));
            ASSERT_EQ(std::to_string(++n), str(v));
            for (const char* statement : c.sent) {
                if (n == c.commitAfter) {
                    bool failed = false;
                    const bool lob = std::strcmp(statement, "lo_export") == 0;
                    if (lob) {
                        failed = conn.exportLargeObject(4000000000u, "/nonexistent-dir/lob") == -1;
                    } else if (c.command) {
                        failed = conn.executeCommand(statement) != 0;
                    } else {
                        conn.setSql(statement);
                        failed = conn.execute()->isError();
                    }
                    ASSERT_EQ(lob || std::strstr(statement, "1/0") != nullptr, failed) << statement;
                }
            }
            if (n == c.commitAfter && c.sent.empty()) {
                ASSERT_EQ(0, conn.commit());
                if (c.beginAgain) {
                    ASSERT_EQ(0, conn.begin());
                }
            }
            ret = rows->next();
        }
        if (!c.beginAgain) {
            EXPECT_NE(0, rows->getStatus());
            EXPECT_LT(n, c.rows);
            continue;
        }
        EXPECT_EQ(c.status, rows->getStatus());
        EXPECT_EQ(c.rows, n);
        EXPECT_FALSE(dynamic_cast<RvdbCursorResult*>(rows.get())->isCursorOpen());
        conn.setSql("select count(*) from pg_cursors where name = 'rvdbcommitcur'");
        NString open;
        EXPECT_EQ(0, conn.execute()->getValue(open, 0));
        const bool other = !c.sent.empty() && std::strncmp(c.sent.back(), "DECLARE", 7) == 0;
        if (c.status == 0 || other) {
            // Closed at the end of its rows; the other one left as it was.
            EXPECT_EQ(other ? "1" : "0", str(open));
        }
        if (other) {
            conn.setSql("FETCH 1 FROM rvdbcommitcur");  // at its start still
            EXPECT_EQ(0, conn.execute()->getValue(open, 0));
            EXPECT_EQ("1", str(open));
        }
        EXPECT_EQ(0, conn.commit());
    }
}

// A CLOSE that fails at the end of the rows fails them, after every row has
// come: the session ended, or the cursor closed behind the result's back.
TEST_F(RecordStream, FailedCloseFailsTheRows)
{
    struct Faulty : CdDBConnection_PG {
        Faulty() : CdDBConnection_PG(1, 0) {}
        std::function<void()> atLastEnd;
        int ends = 0;
        // The second FETCH's end is the last: 16 rows, then 4 of 64.
        int nextStreamResult(PGresult*& result) override
        {
            int ret = CdDBConnection_PG::nextStreamResult(result);
            if (ret == 0 && result != nullptr && PQresultStatus(result) == PGRES_TUPLES_OK && ++ends == 2)
                atLastEnd();
            return ret;
        }
    };
    const struct {
        const char* fault;
        std::function<void(Faulty&, const std::string& pid)> run;
    } cases[] = {
        { "session ended",
          [](Faulty&, const std::string& pid) {
              // Returns once the session is gone.
              EXPECT_EQ("t", pgtestQueryValue("select pg_terminate_backend(" + pid + ", 10000)"));
          } },
        { "cursor closed", [](Faulty& c, const std::string&) { EXPECT_EQ(0, c.executeCommand("CLOSE rvdbclosecur")); } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        Faulty faulty;
        ASSERT_EQ(0, faulty.connect(PGTEST_USER, PGTEST_PASSWORD, "127.0.0.1", db->name().c_str(), 10));
        ASSERT_EQ(0, faulty.begin());
        faulty.setSql("select pg_backend_pid()");
        NString pid;
        ASSERT_EQ(0, faulty.execute()->getValue(pid, 0));
        faulty.atLastEnd = [&]() { c.run(faulty, str(pid)); };
        CdDBResultHandle rows(new RvdbCursorResult(&faulty, "rvdbclosecur",
                                                   "select g from generate_series(1, 20) g", RVDB_RECORD_FETCH_ROWS));
        int n = 0;
        while (rows->getStatus() == 0 && !rows->isEOF() && n <= 20) {
            NString v;
            ASSERT_EQ(0, rows->getValue(v, 0));
            ASSERT_EQ(std::to_string(++n), str(v));
            rows->next();
        }
        EXPECT_EQ(20, n);
        EXPECT_EQ(2, faulty.ends);
        EXPECT_EQ(CDDB_ERR_DB, rows->getStatus());
    }
}

// A statement that aborts the transaction while a batch is on its way: the
// batch is not used and the rows end with a failure.
TEST_F(RecordStream, AbortWhileBatchOnItsWay)
{
    CdDBResultHandle rows;
    ASSERT_EQ(0, rvdbGetRecordList(&conn, "9", sets, ids(sets), 0, RvDbSearchFilterList(),
                                   RvPairList(), rows, 0, 0, nullptr));
    conn.setSql("select 1/0");
    EXPECT_TRUE(conn.execute()->isError());
    int ret = 0;
    for (int i = 0; i < RVDB_RECORD_FETCH_ROWS && ret == 0; i++)
        ret = rows->next();
    EXPECT_NE(0, ret);
    EXPECT_NE(0, rows->getStatus());
}

// A statement's rows come one at a time; another statement first has the
// stream's owner read what it wants, and the rest is dropped.
TEST_F(RecordStream, StatementStreamedRowByRow)
{
    struct Owner : CdDBStreamOwner {
        CdDBConnection_PG* conn = nullptr;
        int wanted = 0;  // rows read when asked to finish
        int finished = 0;
        std::vector<std::string> rows;
        void finishStream() override
        {
            ++finished;
            PGresult* r = nullptr;
            for (int i = 0; i < wanted && conn->nextStreamResult(r) == 0; ++i) {
                if (PQresultStatus(r) == PGRES_SINGLE_TUPLE)
                    rows.push_back(PQgetvalue(r, 0, 0));
                PQclear(r);
            }
        }
    } owner;
    owner.conn = &conn;
    auto nextValue = [&]() {
        PGresult* r = nullptr;
        int ret = conn.nextStreamResult(r);
        std::string v = ret != 0 ? "failed" : PQresultStatus(r) == PGRES_SINGLE_TUPLE ? PQgetvalue(r, 0, 0) : "end";
        PQclear(r);
        return v;
    };

    ASSERT_EQ(0, conn.sendStream("select g from generate_series(1, 5) g", &owner));
    EXPECT_EQ("1", nextValue());
    owner.wanted = 2;
    conn.setSql("select 9");
    NString v;
    ASSERT_EQ(0, conn.execute()->getValue(v, 0));
    EXPECT_EQ("9", str(v));
    EXPECT_EQ(1, owner.finished);
    EXPECT_EQ((std::vector<std::string>{ "2", "3" }), owner.rows);
    PGresult* none = nullptr;
    EXPECT_EQ(CDDB_ERR_NO_RESULT, conn.nextStreamResult(none));

    ASSERT_EQ(0, conn.sendStream("select 7", &owner));
    EXPECT_EQ("7", nextValue());
    EXPECT_EQ("end", nextValue());
    EXPECT_EQ(CDDB_ERR_NO_RESULT, conn.nextStreamResult(none));

    // A failure after the first row ends the stream with its code.
    ASSERT_EQ(0, conn.sendStream("select 1 / (2 - g) from generate_series(1, 3) g", &owner));
    EXPECT_EQ("1", nextValue());
    EXPECT_EQ("failed", nextValue());
    EXPECT_EQ(CDDB_ERR_NO_RESULT, conn.nextStreamResult(none));
    EXPECT_EQ(0, conn.rollback());

    owner.wanted = 0;
    ASSERT_EQ(0, conn.sendStream("select 10", &owner));  // dropped with the connection
    EXPECT_EQ(0, conn.disconnect());
    EXPECT_EQ(2, owner.finished);
}

// Rows in memory for the reader.
class MemoryResult : public CdDBResult {
public:
    // inPlace: the texts can also be read where they lie (peekValue).
    explicit MemoryResult(std::vector<std::vector<const char*>> data, bool inPlace = false)
        : rows(std::move(data)), inPlace(inPlace)
    {
    }
    void clear() override {}
    int getStatus() const override { return 0; }
    int getFieldCount() const override { return 3; }
    int getFieldName(NString& out, int column) const override
    {
        static const char* const names[3] = { "a.rvkey", "a.col00001", "a.col00002" };
        if (column < 0 || column >= 3)
            return CDDB_ERR_FIELD;
        out = NString(names[column]);
        return 0;
    }
    int getValue(NString& out, int column) const override
    {
        if (row >= rows.size())
            return CDDB_ERR_EOF;
        const char* v = rows[row][static_cast<size_t>(column)];
        out = v != nullptr ? NString(v) : NString();
        return 0;
    }
    int peekValue(int column, const char*& text, int& length) const override
    {
        if (!inPlace)
            return CdDBResult::peekValue(column, text, length);
        if (row >= rows.size())
            return CDDB_ERR_EOF;
        text = rows[row][static_cast<size_t>(column)];
        length = text ? static_cast<int>(std::strlen(text)) : 0;
        return 0;
    }
    int exportLob(int, const char*) override { return -1; }
    int next() override
    {
        row++;
        return 0;
    }
    bool isEOF() const override { return row >= rows.size(); }
    int getAffectedRows() const override { return static_cast<int>(rows.size()); }

private:
    std::vector<std::vector<const char*>> rows;
    bool inPlace;
    size_t row = 0;
};

// Values kept by the caller are never changed by later rows, and a NULL
// after a value reads as empty, whether a value is made anew or not.
TEST(RecordValueReader, RowsStayApart)
{
    RvdbColumnSetList sets = { makeSet("-1", "key"), makeSet("1", "text"), makeSet("2", "datetime") };
    CdDBResultHandle rows(new MemoryResult({ { "1", "one", "20240102030405" },
                                             { "2", nullptr, nullptr },
                                             { "3", "three", "2024" },
                                             { "4", "four", "20250101000000" } }));
    RvdbRecordValueReader reader(rows, nullptr, sets);
    std::vector<RvdbColumnValuePtr> kept;
    std::vector<RvdbColumnValuePtr> row;
    ASSERT_EQ(0, reader.read(kept).getCode());
    rows->next();
    ASSERT_EQ(0, reader.read(row).getCode());
    ASSERT_EQ(3u, row.size());
    NString t;
    row[1]->getText(0, t);
    EXPECT_TRUE(t.isNull());
    row[2]->getText(0, t);
    EXPECT_EQ("", str(t));
    kept[2]->getText(0, t);
    EXPECT_EQ("20240102030405", str(t));
    kept[1]->getText(0, t);
    EXPECT_EQ("one", str(t));

    struct Want {
        const char* key;
        const char* text;
        const char* stamp;
    };
    const Want wants[] = { { "3", "three", "20240101000000" }, { "4", "four", "20250101000000" } };
    for (const Want& w : wants) {
        row.clear();
        rows->next();
        ASSERT_EQ(0, reader.read(row).getCode());
        row[0]->getText(0, t);
        EXPECT_EQ(w.key, str(t));
        row[1]->getText(0, t);
        EXPECT_EQ(w.text, str(t));
        row[2]->getText(0, t);
        EXPECT_EQ(w.stamp, str(t));
    }
    kept[0]->getText(0, t);
    EXPECT_EQ("1", str(t));

    // A refused text fails the row as a fresh value would.
    CdDBResultHandle bad(new MemoryResult({ { "1", "a", "20240101000000" },
                                            { "2", "b", "202401010000001234" } }));
    RvdbRecordValueReader badReader(bad, nullptr, sets);
    row.clear();
    ASSERT_EQ(0, badReader.read(row).getCode());
    row.clear();
    bad->next();
    EXPECT_NE(0, badReader.read(row).getCode());
}

// Texts that repeat, turn NULL or empty, or share a prefix with the last
// row's read the same whether the result hands them out in place or not.
TEST(RecordValueReader, RepeatedTextsReadAsNew)
{
    const std::vector<std::vector<const char*>> data = {
        { "1", "same", "20240102030405" }, { "2", "same", "20240102030406" },
        { "3", nullptr, "20240102030406" }, { "4", nullptr, nullptr },
        { "5", "", "20240102030406" },      { "6", "", "20240102" },
        { "7", "samer", "20240102030406" }, { "8", "sam", "20240102030406" },
        { "9", "same", "20240102030406" },
    };
    RvdbColumnSetList sets = { makeSet("-1", "key"), makeSet("1", "text"), makeSet("2", "datetime") };
    for (bool inPlace : { false, true }) {
        CdDBResultHandle rows(new MemoryResult(data, inPlace));
        RvdbRecordValueReader reader(rows, nullptr, sets);
        std::vector<std::vector<RvdbColumnValuePtr>> kept;
        for (size_t i = 0; i < data.size(); i++, rows->next()) {
            std::vector<RvdbColumnValuePtr> row;
            ASSERT_EQ(0, reader.read(row).getCode()) << i;
            NString t;
            row[1]->getText(0, t);
            EXPECT_EQ(data[i][1] == nullptr, t.isNull()) << i << " " << inPlace;
            EXPECT_EQ(data[i][1] ? data[i][1] : "", str(t)) << i << " " << inPlace;
            row[2]->getText(0, t);
            std::string stamp = data[i][2] ? data[i][2] : "";
            if (!stamp.empty())
                stamp += std::string("00000101000000").substr(stamp.size());
            EXPECT_EQ(stamp, str(t)) << i << " " << inPlace;
            if (i % 3 == 0)
                kept.push_back(row);  // held rows get values of their own
        }
        NString t;
        kept[1][1]->getText(0, t);
        EXPECT_TRUE(t.isNull());
        kept[2][1]->getText(0, t);
        EXPECT_EQ("samer", str(t));
    }
}

}  // namespace
