#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <libpq-fe.h>

#include "cddbconnection_pg.h"
#include "comtrace.h"
#include "fakeserver.h"
#include "nunvlist.h"
#include "pgtest.h"
#include "rvappctx.h"
#include "rvcomcode.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

using rvtest::readFile;

// The trace log stores its lines as hex digits.
std::string readTrace(const std::string& path)
{
    std::string hex = readFile(path), out;
    std::string pair;
    for (char c : hex) {
        if (c == '\r' || c == '\n') {
            out += c;
            continue;
        }
        pair += c;
        if (pair.size() == 2) {
            out += static_cast<char>(std::stoi(pair, nullptr, 16));
            pair.clear();
        }
    }
    return out;
}

void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

int countLinesEndingWith(const std::string& text, const std::string& tail)
{
    int n = 0;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0) {
            n++;
        }
    }
    return n;
}

std::string localString(const char* key)
{
    NString out;
    rvcomGetLocalString(out, key);
    return out.c_str();
}

std::string codeText(int code)
{
    return rvcomGetCodeEntry(code).text.c_str();
}

class AppCtxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/rvappctxXXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        root = tmpl;
        ASSERT_EQ(0, mkdir((root + "/rvdata").c_str(), 0700));
    }
    void TearDown() override
    {
        comTraceSetPath("");
        std::string cmd = "rm -rf '" + root + "'";
        ASSERT_EQ(0, system(cmd.c_str()));
    }
    void writeSettings(const std::string& text) { writeFile(root + "/rvdata/app", text); }

    std::string root;
};

TEST_F(AppCtxTest, LoadRefusesAnEmptyRoot)
{
    RvAppCtx ctx;
    EXPECT_EQ(-100001, ctx.load(nullptr));
    EXPECT_EQ(-100001, ctx.load(""));
    EXPECT_EQ(nullptr, ctx.getConnection(true));
    EXPECT_EQ(-1099, ctx.connect());
}

TEST_F(AppCtxTest, LoadWithoutSettingsFileSetsOnlyTheRoot)
{
    RvAppCtx ctx;
    EXPECT_EQ(-100010, ctx.load(root.c_str()));
    EXPECT_STREQ(root.c_str(), ctx.getRootDir().c_str());
    EXPECT_TRUE(ctx.getSessionDir().isNull());
    EXPECT_TRUE(ctx.getLanguage().isNull());
    ASSERT_NE(nullptr, ctx.getConnection(false));
    // No settings were read: the connection refuses to start.
    EXPECT_EQ(-1099, ctx.connect());
    EXPECT_FALSE(ctx.getConnection(false)->isConnected());
}

TEST_F(AppCtxTest, SettingsAndTheirDefaults)
{
    struct {
        const char* file;
        const char* host;
        const char* name;
        const char* user;
        const char* pwd;
        const char* sqlLog;
    } cases[] = {
        {"", "localhost", "vikra", "vikra", "tolpa", ""},
        {"dbs=\ndbname=\ndbuser=\ndbpwd=\nsqllogfname=\n", "localhost", "vikra", "vikra", "tolpa", ""},
        {"dbs=db.example\ndbname=app\ndbuser=owner\ndbpwd=s e'cret\nsqllogfname=/tmp/x.log\n",
         "db.example", "app", "owner", "s e'cret", "/tmp/x.log"},
        // Keys are case-sensitive; the first of two equal keys counts.
        {"DBS=other\nDBNAME=other\ndbname=first\ndbname=second\n", "localhost", "first", "vikra", "tolpa",
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        writeSettings(c.file);
        RvAppCtx ctx;
        ASSERT_EQ(0, ctx.load(root.c_str()));
        EXPECT_STREQ(c.host, ctx.getDbHost().c_str());
        EXPECT_STREQ(c.name, ctx.getDbName().c_str());
        EXPECT_STREQ(c.user, ctx.getDbUser().c_str());
        EXPECT_STREQ(c.pwd, ctx.getDbPassword().c_str());
        EXPECT_STREQ(c.sqlLog, ctx.getSqlLogFile().c_str());
    }
}

TEST_F(AppCtxTest, LoadSetsLayoutLanguageZoneAndConnection)
{
    writeSettings("dbs=h\n");
    RvAppCtx ctx;
    ASSERT_EQ(0, ctx.load(root.c_str()));
    const std::pair<const NString*, std::string> dirs[] = {
        {&ctx.getRootDir(), root},
        {&ctx.getSessionDir(), root + "/rvsession"},
        {&ctx.getTemplateDir(), root + "/rvtemplate"},
        {&ctx.getPageDir(), root + "/rvpage"},
        {&ctx.getDataDir(), root + "/rvdata"},
        {&ctx.getTmpDir(), root + "/rvdata/tmp"},
        {&ctx.getLogDir(), root + "/rvdata/log"},
        {&ctx.getLocalDir(), root + "/rvlocal"},
    };
    for (const auto& d : dirs) {
        EXPECT_EQ(d.second, d.first->c_str());
    }
    EXPECT_STREQ("ja", ctx.getLanguage().c_str());
    EXPECT_STREQ("+09:00", ctx.getTimeZone().c_str());
    EXPECT_FALSE(ctx.getUser().isAdmin());

    CdDBConnection* conn = ctx.getConnection(false);
    ASSERT_NE(nullptr, conn);
    EXPECT_FALSE(conn->isConnected());
    EXPECT_STREQ("+09:00", conn->getTimeZone());
    EXPECT_EQ(5, conn->getRetryCount());
    EXPECT_EQ(1, conn->getRetryWait());

    // A second load keeps the connection object.
    writeSettings("dbs=other\n");
    ASSERT_EQ(0, ctx.load(root.c_str()));
    EXPECT_EQ(conn, ctx.getConnection(false));
    EXPECT_STREQ("other", ctx.getDbHost().c_str());
    // Reloaded from its own root.
    ASSERT_EQ(0, ctx.load(ctx.getRootDir().c_str()));
    EXPECT_EQ(root + "/rvdata/log", ctx.getLogDir().c_str());
}

TEST_F(AppCtxTest, SessionFilePath)
{
    writeSettings("");
    RvAppCtx ctx;
    ASSERT_EQ(0, ctx.load(root.c_str()));
    NString out;
    ASSERT_EQ(0, ctx.makeSessionFilePath(NString("ABCDEFGHIJKLMNOPQRSTUV"), out));
    EXPECT_EQ(root + "/rvsession/GHIJ/MNOPQRSTUV", out.c_str());

    const char* refused[] = {
        "",
        "ABCDEFGHIJKLMNOPQRSTU",    // 21
        "ABCDEFGHIJKLMNOPQRSTUVW",  // 23
        "ABCDEF/HIJKLMNOPQRSTUV",   // directory part
        "ABCDEFGHIJKL/../../../x",  // 23 with traversal
        "ABCDEFGHIJKL../../../x",   // file part leads out
        "ABCDEFGH/.KLMNOPQRSTUV",
    };
    for (const char* id : refused) {
        NString keep("unchanged");
        EXPECT_EQ(-300051, ctx.makeSessionFilePath(NString(id), keep)) << id;
        EXPECT_STREQ("unchanged", keep.c_str()) << id;
    }
    NString nullId;
    NString keep("unchanged");
    EXPECT_EQ(-300051, ctx.makeSessionFilePath(nullId, keep));
}

TEST_F(AppCtxTest, SetLanguageReplacesBothTables)
{
    writeSettings("");
    for (const char* lang : {"ja", "en"}) {
        std::string dir = root + "/rvlocal";
        mkdir(dir.c_str(), 0700);
        dir += std::string("/") + lang;
        ASSERT_EQ(0, mkdir(dir.c_str(), 0700));
        writeFile(dir + "/com", std::string("com_") + lang + "=c-" + lang + "\nshared=com-" + lang + "\n");
        writeFile(dir + "/vikra", std::string("vikra_") + lang + "=v-" + lang + "\n");
        writeFile(dir + "/message", std::string(lang[0] == 'j' ? "-7" : "-8") + "=E,m-" + lang +
                                        "\n-9=W,nine-" + lang + "\n");
    }
    RvAppCtx ctx;
    ASSERT_EQ(0, ctx.load(root.c_str()));

    ASSERT_EQ(0, ctx.setLanguage("ja"));
    EXPECT_STREQ("ja", ctx.getMessageLanguage().c_str());
    EXPECT_EQ("c-ja", localString("com_ja"));
    EXPECT_EQ("v-ja", localString("vikra_ja"));
    EXPECT_EQ("m-ja", codeText(-7));

    ASSERT_EQ(0, ctx.setLanguage("en"));
    EXPECT_STREQ("en", ctx.getMessageLanguage().c_str());
    EXPECT_EQ("com_ja", localString("com_ja"));  // gone
    EXPECT_EQ("v-en", localString("vikra_en"));
    EXPECT_EQ("com-en", localString("shared"));
    EXPECT_EQ("(code:-7)", codeText(-7));  // no code text of the old language
    EXPECT_EQ("m-en", codeText(-8));
    EXPECT_EQ("nine-en", codeText(-9));
    ASSERT_EQ(0, ctx.setLanguage(ctx.getMessageLanguage().c_str()));
    EXPECT_EQ("v-en", localString("vikra_en"));

    // Missing files: the first failure is reported, the rest still load.
    remove((root + "/rvlocal/en/com").c_str());
    EXPECT_EQ(-300014, ctx.setLanguage("en"));
    EXPECT_EQ("v-en", localString("vikra_en"));
    EXPECT_EQ("shared", localString("shared"));
    EXPECT_EQ("m-en", codeText(-8));
    EXPECT_EQ(-300014, ctx.setLanguage("xx"));
    EXPECT_EQ("vikra_en", localString("vikra_en"));

    // Disconnecting empties both tables.
    ASSERT_EQ(0, ctx.setLanguage("ja"));
    EXPECT_EQ(0, ctx.disconnect());
    EXPECT_EQ("com_ja", localString("com_ja"));
    EXPECT_EQ("(code:-7)", codeText(-7));
    EXPECT_EQ(nullptr, ctx.getConnection(true));
}

TEST_F(AppCtxTest, AssignmentSharesTheConnectionWithoutOwningIt)
{
    writeSettings("dbname=copied\n");
    RvAppCtx ctx;
    ASSERT_EQ(0, ctx.load(root.c_str()));
    {
        RvAppCtx copy;
        copy = ctx;
        EXPECT_STREQ("copied", copy.getDbName().c_str());
        EXPECT_EQ(root + "/rvsession", copy.getSessionDir().c_str());
        EXPECT_EQ(ctx.getConnection(false), copy.getConnection(false));
    }
    // The copy is gone; the original's connection is still its own.
    ASSERT_NE(nullptr, ctx.getConnection(false));
    EXPECT_STREQ("+09:00", ctx.getConnection(false)->getTimeZone());
}

TEST(AppCtxInstance, IsOneObject)
{
    RvAppCtx* a = RvAppCtx::getInstance();
    ASSERT_NE(nullptr, a);
    EXPECT_EQ(a, RvAppCtx::getInstance());
    EXPECT_EQ(nullptr, a->getConnection(false));
    EXPECT_TRUE(a->getRootDir().isNull());
}

// Live tests against the private server (UTC).
class AppCtxDbTest : public AppCtxTest {
protected:
    static void SetUpTestSuite()
    {
        serverError = pgtestUseServer();
        if (serverError.empty()) {
            db = new PgTestDatabase("appctx");
        }
    }
    static void TearDownTestSuite()
    {
        delete db;
        db = nullptr;
    }
    void SetUp() override
    {
        AppCtxTest::SetUp();
        ASSERT_EQ("", serverError);
        ASSERT_EQ("", db->error());
        sqlLog = root + "/sql.log";
        trace = root + "/trace.log";
        comTraceSetPath(trace.c_str());
    }
    void writeDbSettings(const std::string& password = PGTEST_PASSWORD)
    {
        writeSettings("dbs=127.0.0.1\ndbname=" + db->name() + "\ndbuser=" + PGTEST_USER + "\ndbpwd=" +
                      password + "\nsqllogfname=" + sqlLog + "\n");
    }
    std::string query(CdDBConnection* conn, const char* sql)
    {
        conn->setSql(sql);
        CdDBResultHandle r = conn->execute();
        NString v;
        if (r->getStatus() != 0 || r->getValue(v, 0) != 0) {
            return std::string("error: ") + conn->getErrorMessage();
        }
        return v.c_str();
    }

    static std::string serverError;
    static PgTestDatabase* db;
    std::string sqlLog;
    std::string trace;
};
std::string AppCtxDbTest::serverError;
PgTestDatabase* AppCtxDbTest::db = nullptr;

TEST_F(AppCtxDbTest, ConnectBeginsOneTransactionInTheApplicationZone)
{
    writeDbSettings();
    RvAppCtx ctx;
    ASSERT_EQ(0, ctx.load(root.c_str()));
    ASSERT_EQ(0, ctx.connect());
    CdDBConnection* conn = ctx.getConnection(false);
    ASSERT_TRUE(conn->isConnected());
    EXPECT_TRUE(conn->inTransaction());
    EXPECT_FALSE(conn->getSqlEncoder()->getBackslashFlag());
    // The server runs in UTC; the session must not.
    EXPECT_EQ("09", query(conn, "select to_char(timestamptz '2020-01-01 00:00:00+00', 'HH24')"));
    EXPECT_EQ("2020-01-01 00:00:00",
              query(conn, "select to_char(timestamptz '2020-01-01 00:00:00+09:00', 'YYYY-MM-DD HH24:MI:SS')"));
    EXPECT_EQ("read committed", query(conn, "show transaction_isolation"));

    EXPECT_EQ(0, ctx.connect());
    EXPECT_EQ(conn, ctx.getConnection(true));
    EXPECT_EQ(0, ctx.disconnect());
    EXPECT_EQ(nullptr, ctx.getConnection(false));

    std::string log = readFile(sqlLog);
    EXPECT_EQ(1, countLinesEndingWith(log, "BEGIN"));
    EXPECT_THAT(log, HasSubstr("ROLLBACK"));
    EXPECT_THAT(log, Not(HasSubstr(PGTEST_PASSWORD)));
    EXPECT_THAT(readTrace(trace), Not(HasSubstr(PGTEST_PASSWORD)));
}

TEST_F(AppCtxDbTest, RepeatableReadSeesOneSnapshot)
{
    ASSERT_EQ("", db->exec("create table snap (n int); grant all on snap to vikra"));
    writeDbSettings();
    RvAppCtx ctx;
    ASSERT_EQ(0, ctx.load(root.c_str()));
    ASSERT_EQ(0, ctx.connect(true));
    CdDBConnection* conn = ctx.getConnection(false);
    EXPECT_EQ("repeatable read", query(conn, "show transaction_isolation"));
    EXPECT_EQ("0", query(conn, "select count(*) from snap"));
    ASSERT_EQ("", db->exec("insert into snap values (1)"));
    EXPECT_EQ("0", query(conn, "select count(*) from snap"));
    EXPECT_EQ(0, ctx.disconnect());
    ASSERT_EQ("", db->exec("drop table snap"));
}

TEST_F(AppCtxDbTest, WorkIsRolledBackWhenTheContextEnds)
{
    ASSERT_EQ("", db->exec("create table kept (n int); grant all on kept to vikra"));
    writeDbSettings();
    {
        RvAppCtx ctx;
        ASSERT_EQ(0, ctx.load(root.c_str()));
        // Connects on first use.
        CdDBConnection* conn = ctx.getConnection(true);
        ASSERT_NE(nullptr, conn);
        ASSERT_TRUE(conn->isConnected());
        conn->setSql("insert into kept values (1)");
        EXPECT_EQ(0, conn->execute()->getStatus());
        EXPECT_EQ("1", query(conn, "select count(*) from kept"));
    }
    EXPECT_EQ("0", db->queryValue("select count(*) from kept"));
    ASSERT_EQ("", db->exec("drop table kept"));
}

TEST_F(AppCtxDbTest, ConnectFailureKeepsThePasswordSecret)
{
    const char* wrong = "Wr0ngSecretPw";
    writeDbSettings(wrong);
    RvAppCtx ctx;
    ASSERT_EQ(0, ctx.load(root.c_str()));
    EXPECT_EQ(-1001, ctx.connect());
    CdDBConnection* conn = ctx.getConnection(false);
    EXPECT_FALSE(conn->isConnected());
    EXPECT_FALSE(conn->inTransaction());
    EXPECT_THAT(conn->getErrorMessage(), Not(HasSubstr(wrong)));
    // getConnection(true) tries again and still hands out the closed connection.
    EXPECT_EQ(conn, ctx.getConnection(true));
    EXPECT_FALSE(conn->isConnected());
    std::string traced = readTrace(trace);
    EXPECT_THAT(traced, HasSubstr("-1001"));
    EXPECT_THAT(traced, Not(HasSubstr(wrong)));
    EXPECT_THAT(readFile(sqlLog), Not(HasSubstr(wrong)));
}

// Refuses the transaction after a good connect.
class RefusingBeginConnection : public CdDBConnection_PG {
public:
    RefusingBeginConnection() : CdDBConnection_PG(1, 0) {}
    int begins = 0;
    int begin() override
    {
        begins++;
        return -1019;
    }
};

TEST_F(AppCtxDbTest, RefusedBeginClosesTheConnection)
{
    writeDbSettings();
    RvAppCtx ctx;
    RefusingBeginConnection* fake = new RefusingBeginConnection;
    ctx.setConnection(fake);
    ASSERT_EQ(0, ctx.load(root.c_str()));
    ASSERT_EQ(fake, ctx.getConnection(false));
    EXPECT_EQ(-1019, ctx.connect());
    EXPECT_EQ(1, fake->begins);
    EXPECT_FALSE(fake->isConnected());
    EXPECT_FALSE(fake->inTransaction());
}

// A server with three slots, one reserved for superusers.
class AppCtxFullServerTest : public AppCtxTest {
protected:
    static void SetUpTestSuite()
    {
        dir = std::string(RV_BINARY_DIR) + "/pgtest-appctx-" + std::to_string(getpid());
        startError = pgtestStartServer(dir, 3, 1);
    }
    static void TearDownTestSuite() { pgtestStopServer(dir); }
    void SetUp() override
    {
        AppCtxTest::SetUp();
        ASSERT_EQ("", startError);
        port = pgtestReadPort(dir);
        ASSERT_NE(0, port);
        const char* old = getenv("PGPORT");
        oldPort = old ? old : "";
        setenv("PGPORT", std::to_string(port).c_str(), 1);
        ASSERT_TRUE(pgtestWaitForClients(0)) << "earlier clients did not leave the server";
    }
    void TearDown() override
    {
        for (PGconn* c : held) {
            PQfinish(c);
        }
        if (oldPort.empty()) {
            unsetenv("PGPORT");
        } else {
            setenv("PGPORT", oldPort.c_str(), 1);
        }
        AppCtxTest::TearDown();
    }
    void hold()
    {
        std::string info = std::string("host=127.0.0.1 user=") + PGTEST_USER + " password=" + PGTEST_PASSWORD +
                           " dbname=" + PGTEST_DB;
        PGconn* c = pgtestConnectRetry(info);
        ASSERT_NE(nullptr, c) << "no slot";
        held.push_back(c);
    }

    static std::string dir;
    static std::string startError;
    int port = 0;
    std::string oldPort;
    std::vector<PGconn*> held;
};
std::string AppCtxFullServerTest::dir;
std::string AppCtxFullServerTest::startError;

TEST_F(AppCtxFullServerTest, RetriesFiveTimesOneSecondApart)
{
    writeSettings(std::string("dbs=127.0.0.1\ndbname=") + PGTEST_DB + "\n");
    hold();
    hold();
    RvAppCtx ctx;
    ASSERT_EQ(0, ctx.load(root.c_str()));
    time_t start = time(nullptr);
    EXPECT_EQ(-1002, ctx.connect());
    time_t spent = time(nullptr) - start;
    EXPECT_GE(spent, 3);  // four pauses of one second
    EXPECT_LE(spent, 20);
    EXPECT_FALSE(ctx.getConnection(false)->isConnected());

    PQfinish(held.back());
    held.pop_back();
    EXPECT_TRUE(pgtestWaitForClients(1));
    EXPECT_EQ(0, ctx.connect());
    EXPECT_TRUE(ctx.getConnection(false)->inTransaction());
}

}  // namespace
