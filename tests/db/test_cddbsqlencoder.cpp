#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cddbconnection_pg.h"
#include "cddbsqlencoder.h"
#include "pgtest.h"

namespace {

struct EscapeCase {
    const char* in;
    bool flag;
    const char* out;
};

class EncoderTest : public ::testing::Test {
protected:
    CdDBConnection_PG conn{1, 0};  // never connected: the flag decides
    CdDBSqlEncoder* enc() { return conn.getSqlEncoder(); }
};

TEST_F(EncoderTest, EscapesQuotesAndBackslashesByFlag)
{
    const EscapeCase cases[] = {
        {"O'Neil\\x", false, "O''Neil\\x"},
        {"O'Neil\\x", true, "O''Neil\\\\x"},
        {"", false, ""},
        {"日本'語", false, "日本''語"},           // three-byte characters pass unchanged
        {"a\xF0\x9F\x98\x80'b", false, "a\xF0\x9F\x98\x80''b"},  // four-byte character
        {"\xC3'", false, "\xC3''"},               // stray lead byte: quote still doubled
        {"\xE3\\'", true, "\xE3\\\\''"},
        {"end\xE3", false, "end\xE3"},            // lead byte at the end: no over-read
    };
    for (const auto& c : cases) {
        enc()->setBackslashFlag(c.flag);
        NString out("stale");
        ASSERT_EQ(0, enc()->escape(out, c.in)) << c.in;
        EXPECT_STREQ(c.out, out.c_str()) << c.in;
    }
    NString out("stale");
    EXPECT_EQ(0, enc()->escape(out, nullptr));
    EXPECT_STREQ("", out.c_str());
}

TEST_F(EncoderTest, RefusesWorkWithoutDialectOrConnection)
{
    CdDBSqlEncoder none(CdDBSqlEncoder::DIALECT_NONE, &conn, false);
    CdDBSqlEncoder_PG orphan(nullptr);
    NString out;
    EXPECT_EQ(-1101, none.escape(out, "x"));
    EXPECT_EQ(-1101, orphan.escape(out, "x"));
    EXPECT_EQ(-1101, none.like(out, "c", "x", 0, false));
    EXPECT_EQ(-1101, none.toChar(out, "c", "YYYY", ""));
    EXPECT_EQ(-1101, none.timestampLiteral(out, "20240101000000", ""));
}

TEST_F(EncoderTest, BuildsLikeConditions)
{
    struct LikeCase {
        const char* pattern;
        unsigned mode;
        bool negate;
        bool flag;
        const char* out;
    } cases[] = {
        {"50%", 0, false, false, "a.col00003 LIKE '%50\\%%' escape '\\'"},
        {"ab", 0x501, true, false, "LOWER(a.col00003) NOT LIKE LOWER('ab%') escape '\\'"},
        {"a_b", 3, false, false, "a.col00003 LIKE 'a\\_b' escape '\\'"},
        {"ab", 2, false, false, "a.col00003 LIKE '%ab' escape '\\'"},
        {"ab", 5, false, false, "a.col00003 LIKE '%ab%' escape '\\'"},  // 0x4 keeps both
        {"ab", 0xF03, false, false, "a.col00003 ILIKE 'ab' escape '\\'"},
        {"ab", 0x703, false, false, "UPPER(a.col00003) LIKE LOWER('ab') escape '\\'"},
        {"ab", 0xD03, false, false, "LOWER(a.col00003) LIKE UPPER('ab') escape '\\'"},
        {"a\\b'", 3, false, false, "a.col00003 LIKE 'a\\\\b''' escape '\\'"},
        {"a\\b%", 3, false, true, "a.col00003 LIKE 'a\\\\\\\\b\\\\%' escape '\\\\'"},
    };
    for (const auto& c : cases) {
        enc()->setBackslashFlag(c.flag);
        NString out;
        ASSERT_EQ(0, enc()->like(out, "a.col00003", c.pattern, c.mode, c.negate)) << c.pattern;
        EXPECT_STREQ(c.out, out.c_str()) << c.pattern << " mode " << c.mode;
    }
    NString out("keep");
    EXPECT_EQ(-1099, enc()->like(out, "a.col00003", "", 0, false));
    EXPECT_EQ(-1099, enc()->like(out, "", "x", 0, false));
    EXPECT_EQ(-1099, enc()->like(out, "c", nullptr, 0, false));
    EXPECT_STREQ("keep", out.c_str());
}

TEST_F(EncoderTest, BuildsToCharAndDateTimes)
{
    NString out;
    ASSERT_EQ(0, enc()->toChar(out, "a.regist_date", "YYYYMMDDHH24MISS", ""));
    EXPECT_STREQ("TO_CHAR(a.regist_date ,'YYYYMMDDHH24MISS')", out.c_str());
    ASSERT_EQ(0, enc()->toChar(out, "a.regist_date", "YYYY", "+09:00"));
    EXPECT_STREQ("TO_CHAR(a.regist_date AT TIME ZONE INTERVAL '+09:00','YYYY')", out.c_str());
    EXPECT_EQ(-1099, enc()->toChar(out, "x", "YYYY", "+09:00'; drop table t; --"));

    ASSERT_EQ(0, enc()->formatDateTime(out, NString("2024"), NString("1"), NString("5"),
                                       NString("7"), NString("8"), NString("9")));
    EXPECT_STREQ("2024-01-05 07:08:09", out.c_str());
    ASSERT_EQ(0, enc()->formatDateTime(out, NString(), NString(), NString(), NString(),
                                       NString(), NString()));
    EXPECT_STREQ("0000-00-00 00:00:00", out.c_str());
}

TEST_F(EncoderTest, TimestampLiteralTakesDigitsOnly)
{
    NString out;
    ASSERT_EQ(0, enc()->timestampLiteral(out, "20240131235959", "+09:00"));
    EXPECT_STREQ("TIMESTAMP WITH TIME ZONE '2024-01-31 23:59:59 +09:00'", out.c_str());
    ASSERT_EQ(0, enc()->timestampLiteral(out, "20240131235959", ""));
    EXPECT_STREQ("TIMESTAMP WITHOUT TIME ZONE '2024-01-31 23:59:59'", out.c_str());
    conn.setTimeZone("+09:00");
    ASSERT_EQ(0, enc()->timestampLiteral(out, "20240131235959", nullptr));
    EXPECT_STREQ("TIMESTAMP WITH TIME ZONE '2024-01-31 23:59:59 +09:00'", out.c_str());
    ASSERT_EQ(0, enc()->timestampLiteral(out, "20240131", "UTC"));
    EXPECT_STREQ("TIMESTAMP WITH TIME ZONE '2024-01-31 00:00:00 UTC'", out.c_str());

    out = NString("keep");
    const char* bad[] = {"", "2024013123595'", "20240131 35959", "202401312359590", "abc"};
    for (const char* v : bad) {
        EXPECT_EQ(-1099, enc()->timestampLiteral(out, v, "+09:00")) << v;
    }
    EXPECT_EQ(-1099, enc()->timestampLiteral(out, nullptr, "+09:00"));
    EXPECT_EQ(-1099, enc()->timestampLiteral(out, "20240131235959", "+09:00'"));
    EXPECT_STREQ("keep", out.c_str());
}

// The escaped literals must read back as the original text on the server,
// whichever way it treats backslashes.
class EncoderServerTest : public ::testing::TestWithParam<bool> {
protected:
    static void SetUpTestSuite() { db = new PgTestDatabase("t_encoder"); }
    static void TearDownTestSuite()
    {
        delete db;
        db = nullptr;
    }
    static PgTestDatabase* db;
};
PgTestDatabase* EncoderServerTest::db = nullptr;

std::string queryOne(CdDBConnection& conn, const std::string& sql, const std::vector<CdDBBind>& binds)
{
    conn.setSql(sql.c_str());
    CdDBResultHandle r = conn.execute(binds);
    if (r->getStatus() != 0) {
        return std::string("error ") + std::to_string(r->getStatus()) + " " + conn.getErrorMessage();
    }
    NString v;
    r->getValue(v, 0);
    return v.c_str();
}

TEST_P(EncoderServerTest, EscapedLiteralsRoundTrip)
{
    ASSERT_EQ("", db->error());
    bool standardStrings = GetParam();
    ASSERT_EQ("", db->exec("ALTER DATABASE " + db->name() + " SET standard_conforming_strings = " +
                           (standardStrings ? "on" : "off")));
    CdDBConnection_PG conn(1, 0);
    ASSERT_EQ(0, conn.connect(PGTEST_USER, PGTEST_PASSWORD, "127.0.0.1", db->name().c_str(), 10))
        << conn.getErrorMessage();
    CdDBSqlEncoder* enc = conn.getSqlEncoder();
    EXPECT_EQ(!standardStrings, enc->getBackslashFlag());
    // A caller that sets the flag from the version text cannot undo it.
    enc->setBackslashFlag(false);
    EXPECT_EQ(!standardStrings, enc->usesBackslashEscapes());

    const char* texts[] = {
        "plain", "O'Neil", "a\\b", "zz\\' or 1=1 --", "\\", "'", "\\\\''\\", "50%_x",
        "日本語'\\テキスト", "tab\there", "a\xF0\x9F\x98\x80" "b",
    };
    for (const char* t : texts) {
        std::vector<CdDBBind> binds{CdDBBind(NString(t))};
        NString lit;
        ASSERT_EQ(0, enc->escape(lit, t));
        EXPECT_EQ("t", queryOne(conn, std::string("select $1::text = '") + lit.c_str() + "'", binds))
            << t << " -> " << lit.c_str();
        NString cond;
        ASSERT_EQ(0, enc->like(cond, "$1::text", t, 3, false));
        EXPECT_EQ("t", queryOne(conn, std::string("select ") + cond.c_str(), binds)) << cond.c_str();
        std::vector<CdDBBind> around{CdDBBind(NString((std::string("<<") + t + ">>").c_str()))};
        ASSERT_EQ(0, enc->like(cond, "$1::text", t, 0, false));
        EXPECT_EQ("t", queryOne(conn, std::string("select ") + cond.c_str(), around)) << cond.c_str();
    }
    // Wildcards in the pattern are literal.
    NString cond;
    ASSERT_EQ(0, enc->like(cond, "$1::text", "a_b", 3, false));
    EXPECT_EQ("f", queryOne(conn, std::string("select ") + cond.c_str(), {CdDBBind(NString("axb"))}));
    // The injection attempt selects nothing and breaks nothing.
    NString lit;
    ASSERT_EQ(0, enc->escape(lit, "zz\\' or 1=1 --"));
    EXPECT_EQ("0", queryOne(conn, std::string("select count(*) from (values ('a'),('b')) v(x) where x = '") +
                                      lit.c_str() + "'", {}));
}

INSTANTIATE_TEST_SUITE_P(StandardConformingStrings, EncoderServerTest, ::testing::Values(true, false));

}  // namespace
