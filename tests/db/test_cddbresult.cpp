#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <libpq-fe.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "cddbconnection_pg.h"
#include "cddbcursorresult_pg.h"
#include "cddbresult_pg.h"
#include "fakeserver.h"
#include "pgtest.h"

namespace {

using rvtest::readFile;

bool fileExists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

TEST(CdDBMapSqlState, MapsEveryKnownState)
{
    struct {
        const char* state;
        int code;
    } cases[] = {
        {"23505", -1012}, {"22026", -1014}, {"23503", -1009}, {"42601", -1016},
        {"42883", -1017}, {"42703", -1017}, {"40P01", -1015}, {"22021", -1024},
        {"57014", -1028}, {"42P01", -1051}, {"55P03", -1010}, {"22012", -1050},
        {"25P02", -1050}, {"", -1050},      {"2350", -1050},  {"235050", -1050},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.code, CdDBConnection_PG::mapSqlState(c.state)) << c.state;
    }
    EXPECT_EQ(-1050, CdDBConnection_PG::mapSqlState(nullptr));
}

TEST(CdDBResultOffline, FailedResultHasNoRows)
{
    CdDBResult_PG r(-1016);
    NString v("keep");
    EXPECT_TRUE(r.isError());
    EXPECT_TRUE(r.isEOF());
    EXPECT_EQ(0, r.getFieldCount());
    EXPECT_EQ(-1101, r.getValue(v, 0));
    EXPECT_EQ(-1101, r.getFieldName(v, 0));
    EXPECT_EQ(-1100, r.getValueByName(v, "x"));
    EXPECT_EQ(-1099, r.getColumnIndex(nullptr));
    EXPECT_EQ(-1101, r.exportLob(0, "/tmp/never"));
    EXPECT_STREQ("keep", v.c_str());
    CdDBResultHandle h(new CdDBResult_PG(0));
    CdDBResultHandle copy = h;
    EXPECT_EQ(2, h.useCount());
    copy = CdDBResultHandle();
    EXPECT_EQ(1, h.useCount());
}

class CdDBResultTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { db = new PgTestDatabase("t_result"); }
    static void TearDownTestSuite()
    {
        delete db;
        db = nullptr;
    }
    void SetUp() override
    {
        ASSERT_EQ("", db->error());
        ASSERT_EQ(0, conn.connect(PGTEST_USER, PGTEST_PASSWORD, "127.0.0.1", db->name().c_str(), 10))
            << conn.getErrorMessage();
        char tmpl[] = "/tmp/cddbresXXXXXX";
        const char* d = mkdtemp(tmpl);
        ASSERT_NE(nullptr, d);
        dir = d;
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
    CdDBResultHandle run(const std::string& sql, const std::vector<CdDBBind>& binds = {})
    {
        conn.setSql(sql.c_str());
        return conn.execute(binds);
    }

    static PgTestDatabase* db;
    CdDBConnection_PG conn{1, 0};
    std::string dir;
};
PgTestDatabase* CdDBResultTest::db = nullptr;

TEST_F(CdDBResultTest, StatementFailuresMapToCodes)
{
    ASSERT_EQ(0, run("create table p(id int primary key, name varchar(3))")->getStatus());
    ASSERT_EQ(0, run("create table c(id int references p(id))")->getStatus());
    ASSERT_EQ(0, run("insert into p values (1, 'a')")->getStatus());
    struct {
        const char* sql;
        int code;
        const char* state;
    } cases[] = {
        {"insert into p values (1, 'b')", -1012, "23505"},
        {"select B'10' & B'1'", -1014, "22026"},
        {"insert into c values (9)", -1009, "23503"},
        {"selec 1", -1016, "42601"},
        {"select no_such_function()", -1017, "42883"},
        {"select no_such_column from p", -1017, "42703"},
        {"select E'\\xff'::text", -1024, "22021"},  // server-side invalid UTF-8
        {"select 'a\xff'", -1024, "22021"},         // invalid bytes sent by the client
        {"select * from no_such_table", -1051, "42P01"},
        {"select 1/0", -1050, "22012"},
        {"insert into p values (2, 'long')", -1050, "22001"},
    };
    for (const auto& c : cases) {
        CdDBResultHandle r = run(c.sql);
        EXPECT_EQ(c.code, r->getStatus()) << c.sql << ": " << conn.getErrorMessage();
        EXPECT_STREQ(c.state, conn.getSqlState()) << c.sql;
        EXPECT_TRUE(r->isEOF());
    }
    // Empty statement: no SQLSTATE of its own, none of an earlier failure.
    EXPECT_EQ(-1050, run(" ")->getStatus());
    EXPECT_STREQ("", conn.getSqlState());

    ASSERT_EQ(0, run("set statement_timeout = 50")->getStatus());
    EXPECT_EQ(-1028, run("select pg_sleep(2)")->getStatus());
    EXPECT_STREQ("57014", conn.getSqlState());
    ASSERT_EQ(0, run("set statement_timeout = 0")->getStatus());
    // The connection stays usable after failures.
    EXPECT_EQ(0, run("select 1")->getStatus());
}

TEST_F(CdDBResultTest, LockedRowGivesLockNotAvailable)
{
    ASSERT_EQ(0, run("create table l(id int primary key)")->getStatus());
    ASSERT_EQ(0, run("insert into l values (1)")->getStatus());
    std::string info = "user=postgres dbname=" + db->name();
    PGconn* other = PQconnectdb(info.c_str());
    ASSERT_EQ(CONNECTION_OK, PQstatus(other));
    PQclear(PQexec(other, "BEGIN"));
    PGresult* locked = PQexec(other, "select * from l where id = 1 for update");
    ASSERT_EQ(PGRES_TUPLES_OK, PQresultStatus(locked));
    PQclear(locked);
    EXPECT_EQ(-1010, run("select * from l where id = 1 for update nowait")->getStatus());
    EXPECT_STREQ("55P03", conn.getSqlState());
    PQfinish(other);
}

TEST_F(CdDBResultTest, ReadsRowsByPositionAndName)
{
    CdDBResultHandle r = run(
        "select a.*, b.tbl_id, '' as empty_text, null::text as nothing, '\\x00ff'::bytea as raw "
        "from (values (1, 'one'), (2, 'two')) a(tbl_id, tbl_lname) "
        "cross join (values (7)) b(tbl_id)");
    ASSERT_EQ(0, r->getStatus());
    EXPECT_EQ(6, r->getFieldCount());
    EXPECT_EQ(2, r->getAffectedRows());
    EXPECT_EQ(2, r->getColumnIndex("tbl_id"));  // the later duplicate wins
    EXPECT_EQ(1, r->getColumnIndex("TBL_LNAME"));
    EXPECT_EQ(-1100, r->getColumnIndex("nope"));
    NString name;
    EXPECT_EQ(0, r->getFieldName(name, 1));
    EXPECT_STREQ("tbl_lname", name.c_str());
    EXPECT_EQ(-1007, r->getFieldName(name, 6));
    EXPECT_EQ(-1007, r->getFieldName(name, -1));

    std::vector<std::string> names;
    while (!r->isEOF()) {
        NString v;
        ASSERT_EQ(0, r->getValueByName(v, "TBL_LNAME", "dflt"));
        names.push_back(v.c_str());
        ASSERT_EQ(0, r->getValueByName(v, "tbl_id"));
        EXPECT_STREQ("7", v.c_str());
        ASSERT_EQ(0, r->getValueByName(v, "empty_text", "dflt"));
        EXPECT_STREQ("", v.c_str());
        EXPECT_FALSE(v.isNull());
        ASSERT_EQ(0, r->getValueByName(v, "nothing", "dflt"));
        EXPECT_STREQ("dflt", v.c_str());
        ASSERT_EQ(0, r->getValueByName(v, "nothing"));
        EXPECT_TRUE(v.isNull());
        EXPECT_STREQ("", v.c_str());
        const char* text = nullptr;
        int length = -1;
        ASSERT_EQ(0, r->peekValue(r->getColumnIndex("empty_text"), text, length));
        EXPECT_STREQ("", text);
        EXPECT_EQ(0, length);
        ASSERT_EQ(0, r->peekValue(r->getColumnIndex("nothing"), text, length));
        EXPECT_EQ(nullptr, text);
        ASSERT_EQ(0, r->peekValue(1, text, length));
        EXPECT_EQ(3, length);
        EXPECT_EQ(-1008, r->peekValue(5, text, length));  // bytea
        EXPECT_EQ(-1008, r->getValue(v, 5));  // bytea
        EXPECT_EQ(-1008, r->getValue(v, -1));
        EXPECT_EQ(-1008, r->getValue(v, 6));
        EXPECT_EQ(-1100, r->getValueByName(v, "missing"));
        EXPECT_EQ(0, r->next());
    }
    EXPECT_EQ((std::vector<std::string>{"one", "two"}), names);
    NString v;
    EXPECT_EQ(-1013, r->getValue(v, 0));
    const char* text = nullptr;
    int length = 0;
    EXPECT_EQ(-1013, r->peekValue(0, text, length));
    EXPECT_EQ(0, r->next());
    EXPECT_TRUE(r->isEOF());
}

TEST_F(CdDBResultTest, LargeObjectsInAndOut)
{
    std::string in = dir + "/in.bin";
    std::string data("attach\0ment\xff\n", 13);
    data += std::string(100000, 'x');
    {
        std::ofstream out(in, std::ios::binary);
        out << data;
    }
    ASSERT_EQ(0, conn.begin());
    ASSERT_EQ(0, run("create table lob(id int, doc oid, name text)")->getStatus());
    std::vector<CdDBBind> binds{CdDBBind(NString("1")), CdDBBind(NString(in.c_str()), CDDB_BIND_LOB)};
    ASSERT_EQ(0, run("insert into lob values ($1, $2, 'n')", binds)->getStatus()) << conn.getErrorMessage();

    binds = {CdDBBind(NString("2")), CdDBBind(NString((dir + "/missing").c_str()), CDDB_BIND_LOB)};
    EXPECT_EQ(-1041, run("insert into lob values ($1, $2, 'n')", binds)->getStatus());

    CdDBResultHandle r = run("select doc, name from lob where id = 1");
    ASSERT_FALSE(r->isEOF());
    std::string out = dir + "/out.bin";
    EXPECT_EQ(0, r->exportLob(0, out.c_str())) << conn.getErrorMessage();
    EXPECT_EQ(data, readFile(out));
    std::string textOut = dir + "/text.bin";
    EXPECT_EQ(-1, r->exportLob(1, textOut.c_str()));
    EXPECT_FALSE(fileExists(textOut));
    EXPECT_EQ(-1008, r->exportLob(2, textOut.c_str()));
    EXPECT_EQ(-1008, r->exportLob(-1, textOut.c_str()));

    // Numbers above 2^31 are large-object numbers too.
    r = run("select lo_from_bytea(3000000001, 'high') as doc");
    ASSERT_EQ(0, r->getStatus()) << conn.getErrorMessage();
    std::string high = dir + "/high.bin";
    EXPECT_EQ(0, r->exportLob(0, high.c_str())) << conn.getErrorMessage();
    EXPECT_EQ("high", readFile(high));

    // Copies in chunks match lo_export: the bytes, and the file mode under
    // the same umask.
    const int chunk = CdDBConnection_PG::LO_COPY_CHUNK;
    mode_t oldMask = umask(002);
    for (int size : { 0, 1, chunk - 1, chunk, chunk + 1, 2 * chunk + 7 }) {
        std::string bytes(static_cast<size_t>(size), '\0');
        for (size_t i = 0; i < bytes.size(); i++)
            bytes[i] = static_cast<char>(i * 7 % 251);
        std::string hex;
        for (unsigned char c : bytes) {
            hex += "0123456789abcdef"[c >> 4];
            hex += "0123456789abcdef"[c & 15];
        }
        std::vector<CdDBBind> b{CdDBBind(NString(hex.c_str()))};
        r = run("select lo_from_bytea(0, decode($1, 'hex')) as doc", b);
        ASSERT_EQ(0, r->getStatus()) << conn.getErrorMessage();
        NString oidText;
        ASSERT_EQ(0, r->getValue(oidText, 0));
        std::string viaCopy = dir + "/copy" + std::to_string(size);
        std::string viaExport = dir + "/export" + std::to_string(size);
        EXPECT_EQ(0, conn.copyLargeObject(static_cast<uint32_t>(std::strtoul(oidText.c_str(), nullptr, 10)),
                                          viaCopy.c_str())) << conn.getErrorMessage();
        EXPECT_EQ(0, r->exportLob(0, viaExport.c_str())) << conn.getErrorMessage();
        EXPECT_TRUE(bytes == readFile(viaCopy)) << size;
        struct stat a, e;
        ASSERT_EQ(0, stat(viaCopy.c_str(), &a));
        ASSERT_EQ(0, stat(viaExport.c_str(), &e));
        EXPECT_EQ(e.st_mode & 07777, a.st_mode & 07777) << size;
    }
    umask(oldMask);

    // A failed export leaves the transaction usable.
    r = run("select 123456::oid as doc");
    EXPECT_EQ(-1, r->exportLob(0, (dir + "/none.bin").c_str()));
    EXPECT_NE(std::string(conn.getErrorMessage()).find("123456"), std::string::npos)
        << conn.getErrorMessage();
    EXPECT_EQ(0, run("select count(*) from lob")->getStatus());
    EXPECT_TRUE(conn.inTransaction());
    ASSERT_EQ(0, conn.commit());
    EXPECT_EQ("1", db->queryValue("select count(*) from lob"));
}

// A failed large-object call keeps the server's own answer: that of the
// call itself, or, in a transaction an earlier failure aborted, that of the
// failure; a file that cannot be written has none. The savepoint of an
// export is undone without losing it.
TEST_F(CdDBResultTest, LargeObjectFailuresKeepTheServersAnswer)
{
    ASSERT_EQ(0, conn.begin());
    NString oidText;
    ASSERT_EQ(0, run("select lo_from_bytea(0, 'abc')")->getValue(oidText, 0));
    const uint32_t present = static_cast<uint32_t>(std::strtoul(oidText.c_str(), nullptr, 10)), missing = 4000000000u;
    const std::string file = dir + "/out.bin", noDir = dir + "/none/out.bin";
    const struct {
        std::function<int()> call;
        int ret;
        const char* state;
        bool usable;  // the transaction afterwards
    } cases[] = {
        { [&] { return conn.readLargeObjectStart(present); }, 0, "", true },
        { [&] { return conn.copyLargeObject(present, noDir.c_str()); }, -1, "", true },
        { [&] { return conn.exportLargeObject(missing, file.c_str()); }, -1, "42704", true },
        { [&] { return conn.readLargeObjectStart(missing); }, -1, "42704", false },
        { [&] { return run("select 1")->getStatus(); }, -1050, "42704", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        EXPECT_EQ(c.ret, c.call());
        EXPECT_STREQ(c.state, conn.getSqlState());
        EXPECT_EQ(c.usable, conn.inUsableTransaction());
    }
}

TEST_F(CdDBResultTest, ResultOutlivingItsConnection)
{
    CdDBConnection_PG* own = new CdDBConnection_PG(1, 0);
    ASSERT_EQ(0, own->connect(PGTEST_USER, PGTEST_PASSWORD, "127.0.0.1", db->name().c_str(), 10));
    ASSERT_EQ(0, own->begin());
    own->setSql("select lo_from_bytea(0, 'x') as doc");
    CdDBResultHandle r = own->execute();
    ASSERT_EQ(0, r->getStatus());
    delete own;
    NString v;
    EXPECT_EQ(0, r->getValue(v, 0));
    EXPECT_EQ(-1101, r->exportLob(0, (dir + "/gone.bin").c_str()));
    EXPECT_FALSE(fileExists(dir + "/gone.bin"));
}

// A cursor gives each row's values as a plain result of the same select
// does: texts, empty and NULL values, bytea refused, large objects
// exported, positions out of range and past the last row; over FETCHes of
// rows whose sizes change from row to row, some large enough to stay in
// their libpq results.
TEST_F(CdDBResultTest, CursorValuesMatchThePlainResult)
{
    ASSERT_EQ(0, conn.begin());
    ASSERT_EQ(0, run("create temp table cv as select g, case when g % 3 = 0 then null else "
                     "repeat('x', case when g % 3 = 2 then 70000 + g else (g * 997) % 6000 end) || g end as t, "
                     "case when g % 2 = 0 then null else 'n' end as maybe, '' as empty, "
                     "'\\x00ff'::bytea as raw, lo_from_bytea(0, convert_to('lob' || g, 'UTF8')) "
                     "as doc, '12'::text as notoid from generate_series(1, 9) g")
                     ->getStatus())
        << conn.getErrorMessage();
    const char* sql = "select * from cv order by g";
    CdDBResultHandle plain = run(sql);
    CdDBResultHandle cursor(new RvdbCursorResult(&conn, "cv_rows", sql, 2));
    ASSERT_EQ(0, cursor->getStatus());
    int rows = 0;
    for (; rows < 10; rows++) {
        ASSERT_EQ(plain->isEOF(), cursor->isEOF()) << rows;
        for (int col = -1; col <= plain->getFieldCount(); col++) {
            const std::string at = std::to_string(rows) + "/" + std::to_string(col);
            NString a("keep"), b("keep");
            EXPECT_EQ(plain->getValue(a, col), cursor->getValue(b, col)) << at;
            EXPECT_EQ(a.isNull(), b.isNull()) << at;
            EXPECT_STREQ(a.c_str(), b.c_str()) << at;
            const char* ta = "keep";
            const char* tb = ta;
            int la = -1, lb = -1;
            EXPECT_EQ(plain->peekValue(col, ta, la), cursor->peekValue(col, tb, lb)) << at;
            EXPECT_EQ(ta == nullptr, tb == nullptr) << at;
            EXPECT_EQ(la, lb) << at;
            if (ta != nullptr && tb != nullptr && la == lb && la >= 0) {
                EXPECT_EQ(std::string(ta, static_cast<size_t>(la)),
                          std::string(tb, static_cast<size_t>(lb))) << at;
            }
            const std::string fa = dir + "/a" + std::to_string(rows) + "_" + std::to_string(col);
            const std::string fb = dir + "/b" + std::to_string(rows) + "_" + std::to_string(col);
            EXPECT_EQ(plain->exportLob(col, fa.c_str()), cursor->exportLob(col, fb.c_str())) << at;
            EXPECT_EQ(fileExists(fa), fileExists(fb)) << at;
            if (fileExists(fa) && fileExists(fb)) {
                EXPECT_EQ(readFile(fa), readFile(fb)) << at;
            }
        }
        if (plain->isEOF())
            break;
        EXPECT_EQ(plain->next(), cursor->next());
    }
    EXPECT_EQ(9, rows);
    EXPECT_EQ(0, conn.commit());
}

}  // namespace
