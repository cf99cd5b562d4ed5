#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "cddbconnection_pg.h"
#include "cddbsqlencoder.h"
#include "pgtest.h"
#include "rvdbphys.h"
#include "rvsqltest.h"
#include "rvsuitedb.h"

namespace {

std::string str(const NString& s) { return s.c_str(); }

TEST(RvdbPhysNames, TableAndColumnNames)
{
    struct {
        const char* id;
        const char* table;
        const char* column;
    } cases[] = {
        { "7", "tbl00007", "col00007" },
        { "12", "tbl00012", "col00012" },
        { "123456", "tbl123456", "col123456" },
        { "-7", "tbl-00007", "col-00007" },
        { "", "tbl00000", "col00000" },
        { "12abc", "tbl00012", "col00012" },
        { "abc", "tbl00000", "col00000" },
        { "-1", "tbl-00001", "rvkey" },
        { "-2", "tbl-00002", "regist_uname" },
        { "-3", "tbl-00003", "regist_date" },
        { "-4", "tbl-00004", "update_uname" },
        { "-5", "tbl-00005", "update_date" },
        { "-6", "tbl-00006", "col-00006" },
        { "-01", "tbl-00001", "col-00001" },
        { "99999999999", "tbl2147483647", "col2147483647" },
    };
    for (const auto& c : cases) {
        NString out;
        EXPECT_EQ(c.table, str(rvdbMakeTableName(out, NString(c.id)))) << c.id;
        EXPECT_EQ(c.column, str(rvdbMakeColumnName(out, NString(c.id)))) << c.id;
    }
    NString lob;
    EXPECT_EQ("tbl00007_lob", str(rvdbMakeLobTableName(lob, NString("7"))));
}

// Records the statement and binds; answers with a failed result.
class CaptureConnection : public rvtest::EncoderOnlyConnection {
public:
    int setSql(const char* text) override
    {
        sql = text;
        return 0;
    }
    CdDBResultHandle execute(const std::vector<CdDBBind>* b) override;

    std::string sql;
    std::vector<std::string> binds;
    int executions = 0;
};

class FailedResult : public CdDBResult {
public:
    void clear() override {}
    int getStatus() const override { return -1016; }
    int getFieldCount() const override { return 0; }
    int getFieldName(NString&, int) const override { return -1101; }
    int getValue(NString&, int) const override { return -1101; }
    int exportLob(int, const char*) override { return -1101; }
    int next() override { return 0; }
    bool isEOF() const override { return true; }
    int getAffectedRows() const override { return 0; }
};

CdDBResultHandle CaptureConnection::execute(const std::vector<CdDBBind>* b)
{
    ++executions;
    binds.clear();
    if (b)
        for (const CdDBBind& x : *b)
            binds.push_back(x.value.c_str());
    return CdDBResultHandle(new FailedResult());
}

TEST(RvdbLog, StatementAndBinds)
{
    const std::string head =
        "select content_id,mime_type,file_name,file_size,img_width,img_height,rvkey,col_id from tbl00012_lob";
    struct {
        const char* content;
        const char* col;
        const char* key;
        std::string where;
        std::vector<std::string> binds;
    } cases[] = {
        { "", "5", "100", " where col_id=$1 and rvkey=$2", { "5", "100" } },
        { "", "", "100", " where rvkey=$1", { "100" } },
        { "9", "5", "100", " where content_id=$1 and col_id=$2 and rvkey=$3", { "9", "5", "100" } },
        { "9", "", "", " where content_id=$1", { "9" } },
        { "", "", "", "", {} },
    };
    for (const auto& c : cases) {
        CaptureConnection conn;
        std::vector<RvdbLobRecord> rows;
        EXPECT_EQ(-1016, rvdbLog(&conn, NString("12"), NString(c.content), NString(c.col), NString(c.key), rows));
        EXPECT_EQ(head + c.where + " order by content_id", conn.sql);
        EXPECT_EQ(c.binds, conn.binds);
        EXPECT_TRUE(rows.empty());
    }
}

TEST(RvdbLog, RefusesBadArgumentsBeforeAnyStatement)
{
    struct {
        const char* table;
        const char* content;
        const char* col;
        const char* key;
    } cases[] = {
        { "", "", "5", "1" },
        { "12", "1' or '1'='1", "", "" },
        { "12", "", "5;drop table x", "" },
        { "12", "", "", "abc" },
    };
    for (const auto& c : cases) {
        CaptureConnection conn;
        std::vector<RvdbLobRecord> rows;
        EXPECT_EQ(-100001, rvdbLog(&conn, NString(c.table), NString(c.content), NString(c.col), NString(c.key), rows));
        EXPECT_EQ(0, conn.executions);
    }
}

TEST(RvdbGetLobFile, StatementAndArgumentChecks)
{
    CaptureConnection conn;
    EXPECT_EQ(-1016, rvdbGetLobFileFromLobTable(&conn, "12", "31", "/tmp/x"));
    EXPECT_EQ("select lobfile from tbl00012_lob where content_id='31'", conn.sql);
    EXPECT_TRUE(conn.binds.empty());

    const char* bad[][3] = {
        { "", "31", "/tmp/x" }, { "12", "", "/tmp/x" }, { "12", "31", "" }, { "12", "3'1", "/tmp/x" },
    };
    for (const auto& b : bad) {
        CaptureConnection c2;
        EXPECT_EQ(-100001, rvdbGetLobFileFromLobTable(&c2, b[0], b[1], b[2])) << b[1];
        EXPECT_EQ(0, c2.executions);
    }
    EXPECT_EQ(-100001, rvdbGetLobFileFromLobTable(&conn, nullptr, "31", "/tmp/x"));
    EXPECT_EQ(-100001, rvdbGetLobFileFromLobTable(nullptr, "12", "31", "/tmp/x"));
}

// Attachments of the sample tables, read back through a real connection.
class RvdbPhysLive : public ::testing::Test {
protected:
    static void SetUpTestSuite() { db.open("t_rvdbphys", RvSuiteDatabase::ALL); }
    static void TearDownTestSuite() { db.close(); }
    void SetUp() override
    {
        ASSERT_EQ("", db.error());
        ASSERT_EQ(0, conn.connect(PGTEST_USER, PGTEST_PASSWORD, "127.0.0.1", db->name().c_str(), 10));
        ASSERT_EQ(0, conn.begin());
        char tmpl[] = "/tmp/rvdbphysXXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        dir = tmpl;
    }
    void TearDown() override
    {
        conn.disconnect();
        for (const std::string& f : written)
            unlink(f.c_str());
        rmdir(dir.c_str());
    }
    std::string path(const std::string& name)
    {
        written.push_back(dir + "/" + name);
        return written.back();
    }
    static std::string readFile(const std::string& p)
    {
        std::ifstream in(p, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    static RvSuiteDatabase db;
    CdDBConnection_PG conn{ 1, 0 };
    std::string dir;
    std::vector<std::string> written;
};
RvSuiteDatabase RvdbPhysLive::db;

TEST_F(RvdbPhysLive, RowsComeInContentIdOrder)
{
    std::vector<RvdbLobRecord> rows;
    ASSERT_EQ(0, rvdbLog(&conn, NString("1"), NString(), NString("14"), NString("1234"), rows));
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ("4", str(rows[0].content_id));
    EXPECT_EQ("5", str(rows[1].content_id));
    EXPECT_EQ("6", str(rows[2].content_id));
    EXPECT_EQ("same.txt", str(rows[0].file_name));
    EXPECT_EQ("14", str(rows[0].col_id));
    EXPECT_EQ("1234", str(rows[0].rvkey));
    EXPECT_EQ("5", str(rows[0].file_size));
    EXPECT_EQ("text/plain", str(rows[0].mime_type));
    EXPECT_FALSE(rows[0].img_width.isNull());
    EXPECT_EQ("", str(rows[0].img_width));

    // Appends; an image row carries its size.
    ASSERT_EQ(0, rvdbLog(&conn, NString("1"), NString("3"), NString(), NString(), rows));
    ASSERT_EQ(4u, rows.size());
    EXPECT_EQ("photo.png", str(rows[3].file_name));
    EXPECT_EQ("2", str(rows[3].img_width));
    EXPECT_EQ("3", str(rows[3].img_height));

    rows.clear();
    ASSERT_EQ(0, rvdbLog(&conn, NString("1"), NString(), NString(), NString(), rows));
    EXPECT_EQ(6u, rows.size());
}

TEST_F(RvdbPhysLive, ExportsTheStoredBytes)
{
    std::string p = path("memo.txt");
    ASSERT_EQ(0, rvdbGetLobFileFromLobTable(&conn, "1", "2", p.c_str()));
    EXPECT_EQ("メモ\nline 2\n", readFile(p));

    std::string png = path("photo.png");
    ASSERT_EQ(0, rvdbGetLobFileFromLobTable(&conn, "1", "3", png.c_str()));
    EXPECT_EQ(std::string("\x89PNG\r\n\x1a\n", 8), readFile(png).substr(0, 8));
    EXPECT_EQ(28u, readFile(png).size());
}

TEST_F(RvdbPhysLive, MissingAttachmentWritesNoFile)
{
    std::string p = path("none");
    EXPECT_EQ(-100010, rvdbGetLobFileFromLobTable(&conn, "1", "999", p.c_str()));
    struct stat st;
    EXPECT_NE(0, stat(p.c_str(), &st));
}

TEST_F(RvdbPhysLive, FailedExportLeavesTheTransactionUsable)
{
    std::string bad = dir + "/no/such/dir/file";
    EXPECT_NE(0, rvdbGetLobFileFromLobTable(&conn, "1", "2", bad.c_str()));
    std::vector<RvdbLobRecord> rows;
    EXPECT_EQ(0, rvdbLog(&conn, NString("4"), NString("42"), NString(), NString(), rows));
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ("dev.txt", str(rows[0].file_name));
}

}  // namespace
