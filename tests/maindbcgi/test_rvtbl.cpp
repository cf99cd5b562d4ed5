#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cddbconnection_pg.h"
#include "pgtest.h"
#include "rvaccinfo.h"
#include "rvresult.h"
#include "rvsuitedb.h"
#include "rvtbl.h"
#include "rvuser.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

RvUser makeUser(const char* id, const char* admin = "0")
{
    RvUser u;
    u.id = NString(id);
    u.admin = NString(admin);
    return u;
}

TEST(RvdbTableSetCheck, DefaultRecordReportsTheSixRequiredFields)
{
    RvdbTableSet t;
    std::vector<NString> messages;
    EXPECT_EQ(1, t.check(messages, false));
    EXPECT_EQ(6u, messages.size());
    for (const NString& m : messages) {
        EXPECT_FALSE(m.isNullOrEmpty());
    }
    messages.clear();
    EXPECT_EQ(0, t.check(messages, true));
    EXPECT_TRUE(messages.empty());
}

TEST(RvdbTableSetCheck, SetFieldsOnlyChecksGivenTexts)
{
    RvdbTableSet t;
    t.tbl_id = NString("");     // given but empty: checked
    t.tbl_key = NString(std::string(33, 'k').c_str());
    std::vector<NString> messages;
    EXPECT_EQ(1, t.check(messages, true));
    EXPECT_EQ(2u, messages.size());

    RvdbTableSet ok;
    ok.tbl_id = NString("12");
    ok.status = NString("1");
    ok.seqno = NString("0");
    ok.tbl_lname = NString("Sales");
    ok.regist_date = NString("20240101000000");
    ok.regist_uid = NString("3");
    ok.setSearchHitCountOption(NString("off"));
    messages.clear();
    EXPECT_EQ(0, ok.check(messages, false));
    ok.setSearchHitCountOption(NString("yes"));
    EXPECT_EQ(1, ok.check(messages, true));
    EXPECT_EQ(1u, messages.size());
}

TEST(RvdbTableSetCheck, FieldRules)
{
    typedef RvResult (*Check)(const NString&);
    const std::string name64(64, 'n');
    const std::string name65(65, 'n');
    std::string wide64;
    for (int i = 0; i < 64; ++i) {
        wide64 += "\xe3\x81\x82";  // 64 characters, 192 bytes
    }
    struct {
        const char* what;
        Check check;
        std::string value;
        int code;
    } cases[] = {
        {"tbl_id empty", &RvdbTableSet::checkTblId, "", -210001},
        {"tbl_id text", &RvdbTableSet::checkTblId, "abc", -210008},
        {"tbl_id negative", &RvdbTableSet::checkTblId, "-1", -210002},
        {"tbl_id too big", &RvdbTableSet::checkTblId, "1000000000", -210003},
        {"tbl_id 0", &RvdbTableSet::checkTblId, "0", 0},
        {"tbl_id max", &RvdbTableSet::checkTblId, "999999999", 0},
        {"seqno text", &RvdbTableSet::checkSeqno, "1x", -210008},
        {"status 1", &RvdbTableSet::checkStatus, "1", 0},
        {"status 0", &RvdbTableSet::checkStatus, "0", 0},
        {"status 2", &RvdbTableSet::checkStatus, "2", -210006},
        {"status empty", &RvdbTableSet::checkStatus, "", -210001},
        {"name 64", &RvdbTableSet::checkTblLname, name64, 0},
        {"name 64 wide", &RvdbTableSet::checkTblLname, wide64, 0},
        {"name 65", &RvdbTableSet::checkTblLname, name65, -210004},
        {"key 32", &RvdbTableSet::checkTblKey, std::string(32, 'k'), 0},
        {"key 33", &RvdbTableSet::checkTblKey, std::string(33, 'k'), -210004},
        {"key empty", &RvdbTableSet::checkTblKey, "", 0},
        {"uid empty", &RvdbTableSet::checkRegistUid, "", -210001},
        {"date empty", &RvdbTableSet::checkRegistDate, "", -210001},
        {"note", &RvdbTableSet::checkNote, "", 0},
        {"records", &RvdbTableSet::checkRecords, "x", 0},
        {"update_date", &RvdbTableSet::checkUpdateDate, "", 0},
        {"option on", &RvdbTableSet::checkSearchHitCountOption, "on", 0},
        {"option off", &RvdbTableSet::checkSearchHitCountOption, "off", 0},
        {"option unset", &RvdbTableSet::checkSearchHitCountOption, "", 0},
        {"option ON", &RvdbTableSet::checkSearchHitCountOption, "ON", -210006},
    };
    for (const auto& c : cases) {
        RvResult r = c.check(NString(c.value.c_str()));
        EXPECT_EQ(c.code, r.getCode()) << c.what;
        EXPECT_EQ(c.code != 0, !r.getMessage().isNullOrEmpty()) << c.what;
    }
    RvResult r = RvdbTableSet::checkTblLname(NString(""));
    ASSERT_EQ(1u, r.getParams().size());
    EXPECT_STREQ("tablename", r.getParams()[0].c_str());
}

TEST(RvdbTableSetOptions, MakeTblOptions)
{
    RvdbTableSet t;
    NString out;
    t.makeTblOptions(out);
    EXPECT_STREQ("", out.c_str());
    EXPECT_FALSE(t.isSearchHitCountOn());
    t.setSearchHitCountOption(NString("on"));
    t.makeTblOptions(out);
    EXPECT_STREQ("enable_search_hit_count=on\n", out.c_str());
    EXPECT_TRUE(t.isSearchHitCountOn());
    RvdbTableSet copy = t;
    EXPECT_STREQ("on", copy.getSearchHitCountOption().c_str());
}

TEST(RvdbTableSetListSql, RightsJoinOnlyForOrdinaryUsersAndBeforeTheFilter)
{
    CdDBConnection_PG conn(1, 0);
    conn.setTimeZone("+09:00");
    struct {
        const char* what;
        const char* uid;
        bool admin;
        int mask;
        bool filtered;
    } cases[] = {
        {"admin", "12", true, RV_ACC_REFER, false},
        {"no user", "", false, RV_ACC_REFER, false},
        {"mask 0", "12", false, 0, false},
        {"user", "12", false, RV_ACC_REFER | RV_ACC_EXPORT, true},
    };
    for (const auto& c : cases) {
        NString sql;
        ASSERT_EQ(0, rvappMakeTableSetListSql(&conn, sql, c.uid, c.admin, c.mask, false, 0, 0))
            << c.what;
        std::string s = sql.c_str();
        EXPECT_THAT(s, HasSubstr(" from rv_tbl as a")) << c.what;
        EXPECT_THAT(s, HasSubstr("TO_CHAR(a.regist_date AT TIME ZONE INTERVAL '+09:00',"
                                 "'YYYYMMDDHH24MISS') as regist_date"))
            << c.what;
        EXPECT_EQ(c.filtered, s.find(" left join (select tbl_id") != std::string::npos) << c.what;
        const std::string join = " left outer join rvsys_user as b on a.regist_uid=b.id";
        size_t userJoin = s.find(join);
        ASSERT_NE(std::string::npos, userJoin) << c.what;
        const bool nobody = c.uid[0] == '\0' && c.mask != 0;
        EXPECT_EQ(userJoin + join.size(),
                  s.find(c.filtered ? " where (" : nobody ? " where false order by" : " order by a.seqno"))
            << s;
        if (c.filtered) {
            EXPECT_THAT(s, HasSubstr("coalesce(max(u_acc_export), max(g_acc_export), "
                                     "max(a_acc_export)) as acc_export"));
            EXPECT_THAT(s, HasSubstr("where (acc.acc_refer='1' and acc.acc_export='1') or "
                                     "a.tbl_id in (select tbl_id from rv_tbl_admin where "
                                     "dbadmin_uid=12)"));
            EXPECT_THAT(s, Not(HasSubstr("acc_entry")));
        }
    }

    NString sql;
    ASSERT_EQ(0, rvappMakeTableSetListSql(&conn, sql, "12", false, RV_ACC_REFER, true, 5, 7));
    EXPECT_THAT(sql.c_str(), HasSubstr("select count(a.tbl_id) from rv_tbl as a left join"));
    EXPECT_THAT(sql.c_str(), Not(HasSubstr("order by")));
    ASSERT_EQ(0, rvappMakeTableSetListSql(&conn, sql, "", false, 0, false, 5, 7));
    EXPECT_THAT(sql.c_str(), HasSubstr(" order by a.seqno limit 5 offset 7"));
}

TEST(RvdbTableSetListSql, UserIdsThatAreNotIntegersAreRefused)
{
    CdDBConnection_PG conn(1, 0);
    const char* bad[] = {"12 or 1=1", "1); drop table rv_tbl; --", "abc", "4294967308", "1.5"};
    for (const char* uid : bad) {
        NString sql;
        EXPECT_EQ(-100001, rvappMakeTableSetListSql(&conn, sql, uid, false, RV_ACC_REFER, false, 0, 0))
            << uid;
        std::vector<RvdbTableSetPtr> list;
        EXPECT_EQ(-100001, rvappGetTableSetList(&conn, list, makeUser(uid), RV_ACC_REFER, false))
            << uid;
    }
}

class RvTblDbTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        db.open("t_rvtbl", RvSuiteDatabase::SCHEMA,
                "INSERT INTO rvsys_user (id, name) VALUES (1, 'Admin One'), (12, 'Ueno'), (13, 'Other');"
                "INSERT INTO rvsys_group_user VALUES (100, 12);"
                "INSERT INTO rv_tbl VALUES"
                " (1, '1', 30, 'Alpha', 'n1', '2024-01-31 14:59:59+00', 1, 'stored', "
                "  '2024-02-01 00:00:00+00', 3, 'alpha', E'x=1\\r\\nenable_search_hit_count=on\\r\\n'),"
                " (2, '0', 10, 'Beta', NULL, '2024-01-01 00:00:00+00', 99, 'Gone', NULL, 0, NULL, NULL),"
                " (3, '1', 20, 'Gamma', NULL, '2024-01-01 00:00:00+00', 13, NULL, NULL, 0, NULL,"
                "  E'enable_search_hit_count=off\\n'),"
                " (4, '1', 40, 'Delta', NULL, '2024-01-01 00:00:00+00', 13, NULL, NULL, 0, NULL, ''),"
                " (5, '1', 50, 'O''Neil', NULL, '2024-01-01 00:00:00+00', 13, NULL, NULL, 0, NULL,"
                "  'enable_search_hit_counts=on');"
                // 1: everyone may refer; 2: group 100 may refer and export;
                // 3: everyone may refer, but user 12's own entry refuses;
                // 4: no grants, user 12 administers it; 5: no grants at all
                "INSERT INTO rv_tbl_acc (tbl_id, g_id, a_acc_refer) VALUES (1, -1, '1');"
                "INSERT INTO rv_tbl_acc (tbl_id, g_id, g_acc_refer, g_acc_export) VALUES (2, 100, '1', '1');"
                "INSERT INTO rv_tbl_acc (tbl_id, g_id, a_acc_refer) VALUES (3, -1, '1');"
                "INSERT INTO rv_tbl_acc (tbl_id, u_id, u_acc_refer) VALUES (3, 12, '0');"
                "INSERT INTO rv_tbl_admin VALUES (4, 12);");
    }
    static void TearDownTestSuite() { db.close(); }
    void SetUp() override
    {
        ASSERT_EQ("", db.error());
        conn.setTimeZone("+09:00");
        ASSERT_EQ(0, conn.connect(PGTEST_USER, PGTEST_PASSWORD, "127.0.0.1", db->name().c_str(), 10));
        // The dates must follow the given zone, not the session's.
        conn.setSql("SET TIME ZONE 'UTC'");
        ASSERT_EQ(0, conn.execute()->getStatus());
    }

    std::vector<std::string> ids(const RvUser& user, int mask, int limit = 0, int offset = 0)
    {
        std::vector<RvdbTableSetPtr> list;
        int ret = rvappGetTableSetList(&conn, list, user, mask, false, limit, offset);
        EXPECT_EQ(0, ret) << conn.getErrorMessage();
        std::vector<std::string> out;
        for (const auto& t : list) {
            out.push_back(t->tbl_id.c_str());
        }
        return out;
    }

    static RvSuiteDatabase db;
    CdDBConnection_PG conn{1, 0};
};

RvSuiteDatabase RvTblDbTest::db;

TEST_F(RvTblDbTest, ListWithoutRightsGivesEveryTableBySeqno)
{
    EXPECT_THAT(ids(makeUser("1", "1"), RV_ACC_REFER), ElementsAre("2", "3", "1", "4", "5"));
    EXPECT_THAT(ids(makeUser("", "1"), RV_ACC_REFER), ElementsAre("2", "3", "1", "4", "5"));
    EXPECT_THAT(ids(makeUser(""), 0), ElementsAre("2", "3", "1", "4", "5"));
    // Rights asked for nobody: fail closed.
    EXPECT_TRUE(ids(makeUser(""), RV_ACC_REFER).empty());
    EXPECT_THAT(ids(makeUser("12"), 0), ElementsAre("2", "3", "1", "4", "5"));
}

TEST_F(RvTblDbTest, ListWithRightsFollowsOwnGroupEveryoneAndAdministrators)
{
    EXPECT_THAT(ids(makeUser("12"), RV_ACC_REFER), ElementsAre("2", "1", "4"));
    EXPECT_THAT(ids(makeUser("12"), RV_ACC_REFER | RV_ACC_EXPORT), ElementsAre("2", "4"));
    EXPECT_THAT(ids(makeUser("13"), RV_ACC_REFER), ElementsAre("3", "1"));
    EXPECT_THAT(ids(makeUser("12"), RV_ACC_REFER, 1, 1), ElementsAre("1"));

    std::vector<RvdbTableSetPtr> untouched;
    EXPECT_EQ(3, rvappGetTableSetList(&conn, untouched, makeUser("12"), RV_ACC_REFER, true));
    EXPECT_EQ(0, rvappGetTableSetList(&conn, untouched, makeUser(""), RV_ACC_REFER, true));
    EXPECT_TRUE(untouched.empty());
}

TEST_F(RvTblDbTest, ListRowsCarryTheFields)
{
    std::vector<RvdbTableSetPtr> list;
    ASSERT_EQ(0, rvappGetTableSetList(&conn, list, makeUser("12"), RV_ACC_REFER, false));
    ASSERT_EQ(3u, list.size());
    const RvdbTableSet& beta = *list[0];
    EXPECT_STREQ("Beta", beta.tbl_lname.c_str());
    EXPECT_STREQ("0", beta.status.c_str());
    EXPECT_STREQ("", beta.regist_uname.c_str());  // no rvsys_user row
    EXPECT_STREQ("20240101090000", beta.regist_date.c_str());
    const RvdbTableSet& alpha = *list[1];
    EXPECT_STREQ("Admin One", alpha.regist_uname.c_str());
    EXPECT_STREQ("20240131235959", alpha.regist_date.c_str());
    EXPECT_STREQ("20240201090000", alpha.update_date.c_str());
    EXPECT_TRUE(alpha.isSearchHitCountOn());  // CRLF lines
}

TEST_F(RvTblDbTest, SingleTable)
{
    RvdbTableSet t;
    ASSERT_EQ(0, rvappGetTableSet(&conn, "1", t));
    EXPECT_STREQ("1", t.tbl_id.c_str());
    EXPECT_STREQ("30", t.seqno.c_str());
    EXPECT_STREQ("n1", t.note.c_str());
    EXPECT_STREQ("Admin One", t.regist_uname.c_str());  // the user's current name wins
    EXPECT_STREQ("20240131235959", t.regist_date.c_str());
    EXPECT_STREQ("alpha", t.tbl_key.c_str());
    EXPECT_STREQ("on", t.getSearchHitCountOption().c_str());

    struct {
        const char* id;
        const char* option;
        bool on;
    } options[] = {{"2", "", false}, {"3", "off", false}, {"4", "", false}, {"5", "", false}};
    for (const auto& o : options) {
        RvdbTableSet r;
        ASSERT_EQ(0, rvappGetTableSet(&conn, o.id, r)) << o.id;
        EXPECT_STREQ(o.option, r.getSearchHitCountOption().c_str()) << o.id;
        EXPECT_EQ(o.on, r.isSearchHitCountOn()) << o.id;
    }
    RvdbTableSet beta;
    ASSERT_EQ(0, rvappGetTableSet(&conn, "2", beta));
    EXPECT_STREQ("", beta.regist_uname.c_str());

    RvdbTableSet none;
    EXPECT_EQ(-100010, rvappGetTableSet(&conn, "77", none));
    EXPECT_EQ(-1099, rvappGetTableSet(&conn, "", none));
    EXPECT_EQ(-1099, rvappGetTableSet(&conn, nullptr, none));
    EXPECT_TRUE(none.tbl_id.isNull());
}

// The export selects one table by its display name as a bind value; its rows
// are read with rvappReadTableSetRow.
TEST_F(RvTblDbTest, ExportSelectionByNameAsBindValue)
{
    const char* sql =
        "select a.tbl_id, a.status, a.seqno, a.tbl_lname, a.note, a.regist_uid, a.regist_uname,"
        " a.records, a.tbl_key, a.tbl_options,TO_CHAR(a.regist_date, 'YYYYMMDDHH24MISS') as "
        "regist_date,TO_CHAR(a.update_date, 'YYYYMMDDHH24MISS') as update_date from rv_tbl a "
        "where a.tbl_lname = $1 order by a.seqno";
    struct {
        const char* name;
        std::vector<std::string> ids;
    } cases[] = {{"O'Neil", {"5"}},
                 {"Alpha", {"1"}},
                 {"alpha", {}},
                 {"x' or '1'='1", {}},
                 {"Alpha' or tbl_lname<>'", {}}};
    for (const auto& c : cases) {
        conn.setSql(sql);
        std::vector<CdDBBind> binds{CdDBBind(NString(c.name))};
        CdDBResultHandle result = conn.execute(binds);
        ASSERT_EQ(0, result->getStatus()) << c.name << " " << conn.getErrorMessage();
        std::vector<std::string> got;
        while (!result->isEOF()) {
            RvdbTableSet t;
            ASSERT_EQ(0, rvappReadTableSetRow(result, t));
            got.push_back(t.tbl_id.c_str());
            EXPECT_STREQ(c.name, t.tbl_lname.c_str());
            result->next();
        }
        EXPECT_EQ(c.ids, got) << c.name;
    }

    // The row reader needs every column.
    conn.setSql("select tbl_id, status from rv_tbl");
    CdDBResultHandle partial = conn.execute();
    ASSERT_EQ(0, partial->getStatus());
    RvdbTableSet t;
    EXPECT_EQ(-1100, rvappReadTableSetRow(partial, t));
}

}  // namespace
