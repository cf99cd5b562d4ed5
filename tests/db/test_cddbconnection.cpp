#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "cddbconnection_pg.h"
#include "fakeserver.h"
#include "pgtest.h"

namespace {

using rvtest::readFile;

bool fileExists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::string tempDir()
{
    char tmpl[] = "/tmp/cddbconnXXXXXX";
    const char* d = mkdtemp(tmpl);
    return d ? d : "";
}

// Counts the pauses between connection attempts instead of sleeping.
class CountingConnection : public CdDBConnection_PG {
public:
    using CdDBConnection_PG::CdDBConnection_PG;
    int pauses = 0;

protected:
    void retryPause(int) override { pauses++; }
};

TEST(CdDBConnectString, QuotesEveryValue)
{
    std::string s;
    ASSERT_EQ(0, CdDBConnection_PG::buildConnectString(s, "vikra", "tolpa", "localhost", "vikra", 30));
    EXPECT_EQ("host='localhost' dbname='vikra' password='tolpa' user='vikra' connect_timeout=30", s);

    struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"", "''"},
        {"a b", "'a b'"},
        {"x host=elsewhere", "'x host=elsewhere'"},
        {"it's", "'it\\'s'"},
        {"back\\slash", "'back\\\\slash'"},
        {"'a b'", "'a b'"},            // already quoted: kept
        {"'a\\'b'", "'a\\'b'"},        // quoted with escapes: kept
        {"'a'b'", "'\\'a\\'b\\''"},    // not a well-formed quoted value
        {"'a\\'", "'\\'a\\\\\\''"},
        {"'", "'\\''"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.out, CdDBConnection_PG::quoteConnectValue(c.in)) << c.in;
    }
    EXPECT_EQ(-1099, CdDBConnection_PG::buildConnectString(s, nullptr, "p", "h", "d", 1));
    EXPECT_EQ(-1099, CdDBConnection_PG::buildConnectString(s, "u", std::string(600, 'p').c_str(), "h", "d", 1));
}

TEST(CdDBConnectionOffline, ArgumentsAndStateWithoutServer)
{
    CdDBConnection_PG conn(5, 1);
    EXPECT_FALSE(conn.isConnected());
    EXPECT_EQ(0, conn.disconnect());
    EXPECT_EQ(5, conn.getRetryCount());
    EXPECT_EQ(1, conn.getRetryWait());
    EXPECT_EQ(0, conn.getIntAttr());
    EXPECT_STREQ("", conn.getSqlState());
    EXPECT_EQ(-1099, conn.connect(nullptr, "p", "h", "d", 1));
    EXPECT_EQ(-1099, conn.setSql(nullptr));
    EXPECT_EQ(-1101, conn.execute()->getStatus());     // no statement
    ASSERT_EQ(0, conn.setSql("select 1"));
    EXPECT_EQ(-1101, conn.execute()->getStatus());     // not connected
    EXPECT_EQ(-1019, conn.begin());
    EXPECT_EQ(-1004, conn.commit());
    EXPECT_EQ(-1005, conn.rollback());
    conn.setTimeZone("Abcdefghijklmnopqrstuvwxyz0123456789");
    EXPECT_EQ(31u, std::string(conn.getTimeZone()).size());
    CountingConnection none(0, 1);
    EXPECT_EQ(-1002, none.connect("u", "p", "127.0.0.1", "d", 1));
    EXPECT_EQ(0, none.pauses);
}

class CdDBConnectionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { db = new PgTestDatabase("t_conn"); }
    static void TearDownTestSuite()
    {
        delete db;
        db = nullptr;
    }
    void SetUp() override
    {
        ASSERT_EQ("", db->error());
        dir = tempDir();
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
    int connect(CdDBConnection& c, const char* password = PGTEST_PASSWORD)
    {
        return c.connect(PGTEST_USER, password, "127.0.0.1", db->name().c_str(), 10);
    }
    std::string value(CdDBConnection& c, const char* sql)
    {
        c.setSql(sql);
        CdDBResultHandle r = c.execute();
        NString v;
        if (r->getStatus() != 0 || r->getValue(v, 0) != 0) {
            return "error";
        }
        return v.c_str();
    }
    static PgTestDatabase* db;
    std::string dir;
};
PgTestDatabase* CdDBConnectionTest::db = nullptr;

TEST_F(CdDBConnectionTest, ConnectsAndRunsTransactions)
{
    CdDBConnection_PG conn(5, 1);
    ASSERT_EQ(0, connect(conn)) << conn.getErrorMessage();
    EXPECT_TRUE(conn.isConnected());
    EXPECT_EQ("UTF8", value(conn, "show client_encoding"));
    ASSERT_EQ(0, conn.begin());
    EXPECT_TRUE(conn.inTransaction());
    conn.setSql("create table keepme(x int)");
    ASSERT_EQ(0, conn.execute()->getStatus());
    ASSERT_EQ(0, conn.rollback());
    EXPECT_FALSE(conn.inTransaction());
    EXPECT_EQ("error", value(conn, "select count(*) from keepme"));
    EXPECT_STREQ("42P01", conn.getSqlState());
    EXPECT_THAT(conn.getErrorMessage(), ::testing::HasSubstr("keepme"));

    ASSERT_EQ(0, conn.begin());
    conn.setSql("create table keepme(x int)");
    ASSERT_EQ(0, conn.execute()->getStatus());
    ASSERT_EQ(0, conn.commit());
    EXPECT_EQ("0", value(conn, "select count(*) from keepme"));

    // A transaction that failed is rolled back by its commit: no success.
    ASSERT_EQ(0, conn.begin());
    conn.setSql("insert into keepme values (1)");
    ASSERT_EQ(0, conn.execute()->getStatus());
    EXPECT_EQ("error", value(conn, "select count(*) from missing_table"));
    EXPECT_EQ(-1004, conn.commit());
    EXPECT_FALSE(conn.inTransaction());
    EXPECT_EQ("0", value(conn, "select count(*) from keepme"));
    EXPECT_EQ(0, conn.disconnect());
    EXPECT_FALSE(conn.isConnected());
}

// Several statements in one command run as PQexec runs them: to the first
// failure, whose code and SQLSTATE the command returns; outside a
// transaction the string is one. The connection is then free for the next,
// also after a COPY.
TEST_F(CdDBConnectionTest, SeveralStatementsInOneCommand)
{
    CdDBConnection_PG conn(1, 0);
    ASSERT_EQ(0, connect(conn)) << conn.getErrorMessage();
    const struct {
        const char* sql;
        int code;
        const char* state;  // of a failure
        const char* rows;   // count of multi afterwards (read by execute)
    } cases[] = {
        { "create table multi(x int); insert into multi values (1), (2)", 0, nullptr, "2" },
        { "insert into multi values (3); select 1/0; insert into multi values (4)", CDDB_ERR_DB, "22012", "2" },
        { "insert into multi values (3); select x from multi; insert into multi values (4)", 0, nullptr, "4" },
        { "copy multi to stdout", CDDB_ERR_DB, nullptr, nullptr },
        { "insert into multi values (5)", 0, nullptr, nullptr },
        { "copy multi from stdin", CDDB_ERR_DB, nullptr, nullptr },
        { "insert into multi values (6)", 0, nullptr, "6" },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.code, conn.executeCommand(c.sql)) << c.sql;
        if (c.state != nullptr) {
            EXPECT_STREQ(c.state, conn.getSqlState()) << c.sql;
        }
        if (c.rows != nullptr) {
            EXPECT_EQ(c.rows, value(conn, "select count(*) from multi")) << c.sql;
        }
    }
}

TEST_F(CdDBConnectionTest, SessionRunsInTheApplicationZone)
{
    ASSERT_EQ("UTC", db->queryValue("show timezone"));
    CdDBConnection_PG conn(1, 0);
    conn.setTimeZone("+09:00");
    ASSERT_EQ(0, connect(conn)) << conn.getErrorMessage();
    EXPECT_EQ("2024-02-01 00:00",
              value(conn, "select to_char(timestamptz '2024-01-31 15:00:00+00', 'YYYY-MM-DD HH24:MI')"));
    EXPECT_EQ("2024-01-31 23:59:59", value(conn, "select to_char(TIMESTAMP WITH TIME ZONE "
                                                 "'2024-01-31 23:59:59 +09:00', 'YYYY-MM-DD HH24:MI:SS')"));
    NString lit;
    ASSERT_EQ(0, conn.getSqlEncoder()->timestampLiteral(lit, "20240131235959", ""));
    EXPECT_EQ("2024-01-31 14:59:59",
              value(conn, (std::string("select to_char((") + lit.c_str() +
                           ") at time zone 'UTC', 'YYYY-MM-DD HH24:MI:SS')").c_str()));

    CdDBConnection_PG west(1, 0);
    west.setTimeZone("-05:30");
    ASSERT_EQ(0, connect(west));
    EXPECT_EQ("2024-01-31 09:30",
              value(west, "select to_char(timestamptz '2024-01-31 15:00:00+00', 'YYYY-MM-DD HH24:MI')"));

    CdDBConnection_PG bad(1, 0);
    bad.setTimeZone("No/Such_Zone");
    EXPECT_NE(0, connect(bad));
    EXPECT_FALSE(bad.isConnected());
}

TEST_F(CdDBConnectionTest, WrongPasswordFailsAtOnceWithoutLeakingIt)
{
    std::string log = dir + "/sql.log";
    CountingConnection conn(5, 1);
    conn.setLogFile(log.c_str());
    EXPECT_EQ(-1001, connect(conn, "SECRETxyz host=elsewhere"));
    EXPECT_EQ(0, conn.pauses);
    EXPECT_FALSE(conn.isConnected());
    EXPECT_THAT(conn.getErrorMessage(), ::testing::HasSubstr("password authentication failed"));
    EXPECT_THAT(conn.getErrorMessage(), ::testing::Not(::testing::HasSubstr("SECRET")));
    EXPECT_THAT(readFile(log), ::testing::Not(::testing::HasSubstr("SECRET")));
    EXPECT_THAT(readFile(log), ::testing::HasSubstr("password authentication failed"));
}

TEST_F(CdDBConnectionTest, PasswordsWithBlanksAndQuotesConnect)
{
    std::string role = "rvq_" + std::to_string(getpid());
    ASSERT_EQ("", db->exec("CREATE ROLE " + role + " LOGIN PASSWORD 'a b''c\\d e=f'"));
    const char* forms[] = {"a b'c\\d e=f", "'a b\\'c\\\\d e=f'"};
    for (const char* password : forms) {
        CdDBConnection_PG conn(1, 0);
        EXPECT_EQ(0, conn.connect(role.c_str(), password, "127.0.0.1", db->name().c_str(), 10))
            << password << ": " << conn.getErrorMessage();
    }
    db->exec("DROP ROLE " + role);
}

TEST_F(CdDBConnectionTest, ExecutesWithBindsAndLogsThem)
{
    std::string log = dir + "/sub/sql.log";
    CdDBConnection_PG conn(1, 0);
    conn.setLogFile(log.c_str());
    ASSERT_EQ(0, connect(conn));
    ASSERT_EQ(0, conn.begin());
    conn.setSql("create table t(id int primary key, name text)");
    ASSERT_EQ(0, conn.execute()->getStatus());
    conn.setSql("insert into t values ($1, $2)");
    std::vector<CdDBBind> binds{CdDBBind(NString("1")), CdDBBind(NString())};
    CdDBResultHandle r = conn.execute(binds);
    ASSERT_EQ(0, r->getStatus()) << conn.getErrorMessage();
    EXPECT_EQ(1, r->getAffectedRows());
    binds = {CdDBBind(NString("2")), CdDBBind(NString("O'Neil"))};
    ASSERT_EQ(0, conn.execute(&binds)->getStatus());
    EXPECT_EQ("1", value(conn, "select count(*) from t where name is null"));
    conn.setSql("select name from t where id = $1");
    binds = {CdDBBind(NString("2"))};
    r = conn.execute(binds);
    NString v;
    ASSERT_EQ(0, r->getValue(v, 0));
    EXPECT_STREQ("O'Neil", v.c_str());

    conn.setSql("update t set name = 'x'");
    EXPECT_EQ(2, conn.execute()->getAffectedRows());

    binds = {CdDBBind(NString("3"), 7)};
    conn.setSql("select $1");
    EXPECT_EQ(-1099, conn.execute(binds)->getStatus());
    std::vector<CdDBBind> tooMany(65, CdDBBind(NString("1")));
    EXPECT_EQ(-1099, conn.execute(tooMany)->getStatus());
    ASSERT_EQ(0, conn.commit());

    conn.setSql("insert into t values (1, 'dup')");
    EXPECT_EQ(-1012, conn.execute()->getStatus());

    std::string text = readFile(log);
    EXPECT_THAT(text, ::testing::HasSubstr(" - Bind $2 Type[Text] Value[(null)]\n"));
    EXPECT_THAT(text, ::testing::HasSubstr(" - Bind $2 Type[Text] Value[O'Neil]\n"));
    EXPECT_THAT(text, ::testing::HasSubstr("SQLState   [23505]"));
    EXPECT_THAT(text, ::testing::HasSubstr("DB access:sql[insert into t values (1, 'dup')]sts[-1012]err["));
    EXPECT_THAT(text, ::testing::Not(::testing::HasSubstr(PGTEST_PASSWORD)));
    EXPECT_TRUE(std::regex_search(text, std::regex("(^|\n)\\d\\d-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d - PID:"
                                                   "\\d+ {0,8} - BEGIN\n")));
    std::smatch m;
    ASSERT_TRUE(std::regex_search(text, m, std::regex("PID:(\\d+)( *) - BEGIN")));
    EXPECT_EQ(9u, m[1].length() + m[2].length());
    struct stat st;
    ASSERT_EQ(0, stat(log.c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 0777);
}

TEST_F(CdDBConnectionTest, NoLogFileWhenTheLogIsOff)
{
    std::string log = dir + "/sql.log";
    CdDBConnection_PG conn(1, 0);
    conn.setLogFile(log.c_str());
    EXPECT_STREQ("", conn.setLogFile(""));
    ASSERT_EQ(0, connect(conn));
    conn.setSql("select nosuch");
    EXPECT_EQ(-1017, conn.execute()->getStatus());
    EXPECT_EQ(-1001, connect(conn, "wrong"));
    EXPECT_FALSE(fileExists(log));
}

}  // namespace
