#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "cddbconnection.h"
#include "cddbconnection_pg.h"
#include "pgtest.h"
#include "rvcomcode.h"
#include "rvresult.h"

namespace {

// Result of one text value, or a failure status.
class FakeResult : public CdDBResult {
public:
    FakeResult(int status, bool hasRow, const char* value, int valueRet)
        : status(status), hasRow(hasRow), value(value), valueRet(valueRet) {}
    void clear() override {}
    int getStatus() const override { return status; }
    int getFieldCount() const override { return 1; }
    int getFieldName(NString& out, int) const override { out = NString("version"); return 0; }
    int getValue(NString& out, int column) const override
    {
        if (valueRet != 0)
            return valueRet;
        if (column != 0)
            return -1008;
        out = NString(value);
        return 0;
    }
    int exportLob(int, const char*) override { return -1; }
    int next() override { hasRow = false; return 0; }
    bool isEOF() const override { return !hasRow; }
    int getAffectedRows() const override { return 0; }

private:
    int status;
    bool hasRow;
    const char* value;
    int valueRet;
};

class FakeConnection : public CdDBConnection {
public:
    FakeConnection() : CdDBConnection(1, 0) {}
    int connect(const char*, const char*, const char*, const char*, int) override { return 0; }
    int disconnect() override { return 0; }
    bool isConnected() const override { return true; }
    int setSql(const char* text) override { sql = text ? text : ""; return 0; }
    CdDBResultHandle execute(const std::vector<CdDBBind>*) override
    {
        if (status != 0) {
            setSqlState("42601");
            setErrorMessage("syntax");
        }
        return CdDBResultHandle(new FakeResult(status, hasRow, version, valueRet));
    }
    int begin() override { return 0; }
    int commit() override { return 0; }
    int rollback() override { return 0; }
    CdDBSqlEncoder* getSqlEncoder() override { return nullptr; }

    std::string sql;
    int status = 0;
    bool hasRow = true;
    const char* version = "";
    int valueRet = 0;
};

TEST(RvappCheckPGVersion, VersionTextsAndFailures)
{
    const struct {
        int status;
        bool hasRow;
        const char* version;
        int valueRet;
        int ret;
        bool is90;
    } cases[] = {
        { 0, true, "PostgreSQL 9.0.23 on i686-pc-linux-gnu", 0, 0, true },
        { 0, true, "PostgreSQL 9.6.2 on i686-pc-linux-gnu", 0, 0, false },
        { 0, true, "PostgreSQL 15.20 (Debian)", 0, 0, false },
        { -1016, true, "PostgreSQL 9.0.1", 0, -1016, false },
        { 0, false, "PostgreSQL 9.0.1", 0, -100010, false },
        { 0, true, "PostgreSQL 9.0.1", -1008, -1008, false },
    };
    for (const auto& c : cases) {
        FakeConnection conn;
        conn.status = c.status;
        conn.hasRow = c.hasRow;
        conn.version = c.version;
        conn.valueRet = c.valueRet;
        bool is90 = !c.is90;
        EXPECT_EQ(c.ret, rvappCheckPGVersion(&conn, is90)) << c.version;
        EXPECT_EQ(c.is90, is90) << c.version;
        EXPECT_EQ("select version()", conn.sql);
    }
    bool is90 = true;
    EXPECT_NE(0, rvappCheckPGVersion(nullptr, is90));
    EXPECT_FALSE(is90);
}

TEST(RvappCheckPGVersion, RealServer)
{
    ASSERT_EQ("", pgtestUseServer());
    PgTestDatabase db("rvresult");
    ASSERT_EQ("", db.error());
    CdDBConnection_PG conn(1, 0);
    ASSERT_EQ(0, conn.connect(PGTEST_USER, PGTEST_PASSWORD, "127.0.0.1", db.name().c_str(), 10));
    bool is90 = true;
    EXPECT_EQ(0, rvappCheckPGVersion(&conn, is90));
    EXPECT_FALSE(is90);
    conn.disconnect();
}

class RvResultTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/rvresult_XXXXXX";
        int fd = mkstemp(tmpl);
        ASSERT_GE(fd, 0);
        path = tmpl;
        std::string text = "-1002=e,too many clients\n-5=plain\n";
        ASSERT_EQ(static_cast<ssize_t>(text.size()), write(fd, text.data(), text.size()));
        close(fd);
        rvcomClearCodeMessages();
        ASSERT_EQ(0, rvcomLoadCodeMessageFile(path.c_str()));
    }
    void TearDown() override
    {
        rvcomClearCodeMessages();
        unlink(path.c_str());
    }
    std::string path;
};

TEST_F(RvResultTest, LevelAndMessageFromCodeTable)
{
    RvResult r(-1002, nullptr);
    EXPECT_TRUE(r.isError());
    EXPECT_EQ(-1002, r.getCode());
    EXPECT_EQ('E', r.getLevel());
    EXPECT_STREQ("too many clients", r.getMessage().c_str());

    RvResult own(-1002, "my own text");
    EXPECT_EQ('E', own.getLevel());
    EXPECT_STREQ("my own text", own.getMessage().c_str());

    RvResult own2(-1002, NString("nstring text"));
    EXPECT_STREQ("nstring text", own2.getMessage().c_str());

    RvResult plain(-5);
    EXPECT_EQ(0, plain.getLevel());
    EXPECT_STREQ("plain", plain.getMessage().c_str());

    RvResult unknown(-77);
    EXPECT_STREQ("(code:-77)", unknown.getMessage().c_str());

    RvResult ok(0, nullptr);
    EXPECT_FALSE(ok.isError());
    EXPECT_EQ(0, ok.getLevel());
    EXPECT_STREQ("", ok.getMessage().c_str());

    RvResult def;
    EXPECT_FALSE(def.isError());
    def.addParam(NString("a"));
    def.addParam(NString("b"));
    ASSERT_EQ(2u, def.getParams().size());
    EXPECT_STREQ("b", def.getParams()[1].c_str());
    RvResult copy = def;
    EXPECT_EQ(2u, copy.getParams().size());
}

TEST(RvIdChecks, SessionIds)
{
    EXPECT_EQ(0, rvAppCheckSessionId(NString("ABCDEFGHIJKLMNOPQRSTUV")));
    EXPECT_EQ(-300051, rvAppCheckSessionId(NString("ABCDEFGHIJKLMNOPQRSTU")));
    EXPECT_EQ(-300051, rvAppCheckSessionId(NString()));
    EXPECT_STREQ("ABCDEFGHIJKLMNOPQRSTUV",
                 rvAppGetSessionId(NString("ABCDEFGHIJKLMNOPQRSTUV")).c_str());
    EXPECT_TRUE(rvAppGetSessionId(NString("short")).isNull());
}

TEST(RvIdChecks, UserIds)
{
    const std::string valid32(32, 'a');
    const std::string valid31(31, 'a');
    const struct {
        const char* text;
        int chars;
        int charsBlank;
        int userId;
    } cases[] = {
        { nullptr, 1, 1, 1 },
        { "", 1, 1, 1 },
        { "user.Name-01_^=[]@`", 1, 1, 1 },
        { "with blank", 0, 1, 1 },
        { "bad!", 0, 0, 0 },
        { "\xe3\x81\x82", 0, 0, 0 },
        { valid32.c_str(), 1, 1, 0 },
        { valid31.c_str(), 1, 1, 1 },
    };
    for (const auto& c : cases) {
        const char* name = c.text ? c.text : "null";
        EXPECT_EQ(c.chars, rvcomCheckUserIdChars(c.text)) << name;
        EXPECT_EQ(c.charsBlank, rvcomCheckUserIdCharsBlank(c.text)) << name;
        EXPECT_EQ(c.userId, rvcomCheckUserId(c.text)) << name;
    }
}

TEST(RvIdChecks, Urls)
{
    const struct {
        const char* url;
        const char* neutral;
        int isUrl;
    } cases[] = {
        { "javascript:alert(1)", "javascript_:alert(1)", 0 },
        { "HTTP://example.com/", "HTTP://example.com/", 1 },
        { "https://a/b?c=d:e", "https://a/b?c=d:e", 1 },
        { "ftp://x", "ftp://x", 1 },
        { "mailto:a@b", "mailto_:a@b", 0 },
        { "data://x", "data_://x", 0 },
        { "no colon", "no colon", 0 },
        { "http://a b", "http://a b", 0 },
        { "http://\xe3\x81\x82", "http://\xe3\x81\x82", 0 },
        { "", "", 0 },
    };
    for (const auto& c : cases) {
        NString out;
        rvcomNeutralizeUrl(out, c.url);
        EXPECT_STREQ(c.neutral, out.c_str()) << c.url;
        EXPECT_EQ(c.isUrl, rvcomIsUrlText(c.url)) << c.url;
    }
    EXPECT_EQ(0, rvcomIsUrlText(nullptr));
}

} // namespace
