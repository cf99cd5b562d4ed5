#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cddbconnection_pg.h"
#include "pgtest.h"
#include "rvappctx.h"
#include "rvdbColumnSetFuncs.h"
#include "rvdbSql.h"
#include "rvddGetTblColList.h"
#include "rvsuitedb.h"
#include "rvtbl.h"
#include "rvtblpermission.h"
#include "rvuser.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

// A real connection that counts its statements; with breakAdmin the
// administrator lookup names a table that does not exist.
class CountingConnection : public CdDBConnection_PG {
public:
    CountingConnection() : CdDBConnection_PG(1, 0) {}
    int setSql(const char* text) override
    {
        ++statements;
        std::string sql = text ? text : "";
        size_t at = sql.find("from rv_tbl_admin ");
        if (breakAdmin && at != std::string::npos)
            sql.replace(at, 18, "from rv_tbl_admin_gone ");
        return CdDBConnection_PG::setSql(sql.c_str());
    }
    // Runs sql; its status.
    int run(const char* sql)
    {
        setSql(sql);
        return execute()->getStatus();
    }

    int statements = 0;
    bool breakAdmin = false;
};

RvUser makeUser(const char* id, const char* admin = "0")
{
    RvUser u;
    u.id = NString(id);
    u.admin = NString(admin);
    return u;
}

// The permission as letters: R E C D A X, then o (own entry), t (table admin).
std::string letters(const RvTblPermission& p)
{
    std::string s;
    s += p.canRefer() ? "R" : "";
    s += p.canEntry() ? "E" : "";
    s += p.canChange() ? "C" : "";
    s += p.canDelete() ? "D" : "";
    s += p.canAddcmt() ? "A" : "";
    s += p.canExport() ? "X" : "";
    s += p.isOwnEntry() ? "o" : "";
    s += p.isTblAdmin() ? "t" : "";
    return s;
}

std::string letters(const RvColPermission& p)
{
    return std::string(p.canRefer() ? "R" : "") + (p.canEntry() ? "E" : "") + (p.canChange() ? "C" : "");
}

// Table 7: calculations that read each other; everyone may do everything.
const char* const CYCLE_SQL =
    "INSERT INTO rv_tbl (tbl_id, status, seqno, tbl_lname, regist_date) VALUES"
    " (7, '1', 7, '循環計算', '2024-01-01 00:00:00+09');"
    "INSERT INTO rv_tbl_acc (tbl_id, g_id, a_acc_refer, a_acc_entry, a_acc_change)"
    " VALUES (7, -1, '1', '1', '1');"
    "INSERT INTO rv_tbl_col (tbl_id, col_id, col_type, col_lname, seqno, rel_col_type, calc_expr) VALUES"
    " (7, 1, 'numbercal', '合計', 10, 'numbercal', E'type=sum\\nterms=3, 2'),"
    " (7, 2, 'numbercal', '差', 20, 'numbercal', E'type=binary\\nterm1=1\\nterm2=3'),"
    " (7, 3, 'number', '数', 30, 'number', NULL),"
    " (7, 4, 'numbercal', '倍', 40, 'numbercal', E'type=binary\\nterm1=3\\nterm2=0'),"
    " (7, 5, 'timespancal', '期間', 50, 'timespancal', E'type=timespansum\\nterms=5');";

class RightsDbTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { db.open("t_rvrights", RvSuiteDatabase::ALL, CYCLE_SQL); }
    static void TearDownTestSuite()
    {
        RvAppCtx::getInstance()->setConnection(nullptr);
        db.close();
    }
    void SetUp() override
    {
        ASSERT_EQ("", db.error());
        conn = new CountingConnection();
        ASSERT_EQ(0, conn->connect(PGTEST_USER, PGTEST_PASSWORD, "127.0.0.1", db->name().c_str(), 10));
        ASSERT_EQ(0, conn->begin());
        RvAppCtx::getInstance()->setConnection(conn);  // owned by the context
    }

    std::string permission(const RvUser& user, const char* tbl)
    {
        RvTblPermission p;
        int ret = rvappGetTablePermission(conn, user, NString(tbl), p, true);
        return ret == 0 ? letters(p) : "ret " + std::to_string(ret);
    }

    // Rights of user on tbl.col from the column cache.
    std::string colRights(const RvUser& user, const char* tbl, const char* col)
    {
        const RvColPermission* p = nullptr;
        int ret = rvdbGetColPermission(user, NString(tbl), NString(col), &p, false);
        if (ret != 0)
            return "ret " + std::to_string(ret);
        return p ? letters(*p) : "null";
    }

    static RvSuiteDatabase db;
    CountingConnection* conn = nullptr;
};

RvSuiteDatabase RightsDbTest::db;

TEST_F(RightsDbTest, TablePermissionByUser)
{
    struct {
        const char* what;
        const char* uid;
        const char* admin;
        const char* tbl;
        const char* want;
    } cases[] = {
        {"system administrator", "1", "1", "1", "RECDAX"},
        {"system administrator, stopped table", "1", "1", "5", "RX"},
        {"table administrator", "3", "0", "4", "RECDAXt"},
        {"own entry", "2", "0", "1", "RECDAXo"},
        {"own entry beats a richer group", "6", "0", "1", "Ro"},
        {"own entry that grants nothing", "8", "0", "1", "o"},
        {"two groups add up", "5", "0", "1", "RED"},
        {"group granting nothing hides everyone", "9", "0", "1", ""},
        {"group of the user", "4", "0", "2", "RX"},
        {"everyone", "7", "0", "1", "R"},
        {"everyone, stopped table", "7", "0", "5", "RX"},
        {"nobody", "7", "0", "4", ""},
        {"ids spelt with zeros and blanks", " 006", "0", "01 ", "Ro"},
        {"unknown table", "7", "0", "77", ""},
        {"user id that is no number", "6 or 1=1", "0", "1", "ret -100001"},
        {"empty user", "", "0", "1", "ret -100001"},
        {"system administrator without id", "", "1", "1", "RECDAX"},
        {"table id that is no number", "6", "0", "1;", "ret -100001"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.want, permission(makeUser(c.uid, c.admin), c.tbl)) << c.what;
}

TEST_F(RightsDbTest, TableListFallsBackPerRightWhereThePermissionTakesTheOwnEntry)
{
    // User 8's own entry on table 1 gives no right; the list takes refer from
    // the everyone entry, the permission from the own entry alone.
    std::vector<RvdbTableSetPtr> list;
    ASSERT_EQ(0, rvappGetTableSetList(conn, list, makeUser("8"), RV_ACC_REFER, false));
    std::vector<std::string> ids;
    for (const RvdbTableSetPtr& t : list)
        ids.push_back(t->tbl_id.c_str());
    EXPECT_EQ((std::vector<std::string>{"1", "5", "7"}), ids);  // everyone may refer to 5 and 7
    EXPECT_EQ("o", permission(makeUser("8"), "1"));
}

TEST_F(RightsDbTest, AdministratorsAreReadOncePerTable)
{
    EXPECT_TRUE(rvappIsAdminOfTable(conn, "4", "3"));
    int after = conn->statements;
    EXPECT_TRUE(rvappIsAdminOfTable(conn, "04", " 3"));
    EXPECT_FALSE(rvappIsAdminOfTable(conn, "4", "2"));
    EXPECT_EQ(after, conn->statements);
    EXPECT_FALSE(rvappIsAdminOfTable(conn, "4", ""));
    EXPECT_FALSE(rvappIsAdminOfTable(conn, "4 or 1=1", "3"));
}

TEST_F(RightsDbTest, FailedAdministratorLookupLeavesTheTransactionUsable)
{
    // Inside the transaction: the lookup fails, the entries decide, and the
    // transaction goes on.
    conn->breakAdmin = true;
    EXPECT_EQ("RED", permission(makeUser("5"), "1"));
    EXPECT_EQ(0, conn->run("select 1"));
    EXPECT_FALSE(rvappIsAdminOfTable(conn, "4", "3"));
    EXPECT_EQ(0, conn->run("select 1"));

    // Outside a transaction no savepoint is needed.
    ASSERT_EQ(0, conn->rollback());
    EXPECT_EQ("R", permission(makeUser("7"), "1"));

    // A transaction that failed before decides nothing.
    conn->breakAdmin = false;
    ASSERT_EQ(0, conn->begin());
    EXPECT_NE(0, conn->run("select * from no_such_table"));
    RvTblPermission p;
    p.setExport(true);
    EXPECT_GT(0, rvappGetTablePermission(conn, makeUser("7"), NString("3"), p, true));
    EXPECT_EQ("X", letters(p));
}

TEST_F(RightsDbTest, ColumnRightsFollowCalculationsAndRelations)
{
    struct {
        const char* uid;
        const char* tbl;
        const char* col;
        const char* want;
    } cases[] = {
        // User 2 may refer to tables 1 to 3, but not to 4.
        {"2", "2", "1", "R"},
        {"2", "2", "10", "R"},   // calculation over relcpy 2.4 from table 3
        {"2", "2", "4", "R"},
        {"2", "2", "7", ""},     // relref -> 3.6 -> 4.1: table 4 forbidden
        {"2", "1", "6", "REC"},  // own entry on table 1
        // User 4 may refer to table 2 only.
        {"4", "2", "9", "R"},
        {"4", "2", "10", ""},    // its input 2.4 comes from table 3
        {"4", "2", "4", ""},
        {"4", "2", "2", ""},     // relation key into table 3
        {"4", "2", "99", ""},    // no such column
        // Calculations that read each other end without rights.
        {"7", "7", "1", ""},
        {"7", "7", "2", ""},
        {"7", "7", "5", ""},
        {"7", "7", "4", "REC"},
        {"7", "7", "3", "REC"},
        // Nobody asking: no rights.
        {"", "2", "1", "ret -100001"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.want, colRights(makeUser(c.uid), c.tbl, c.col)) << c.uid << " " << c.tbl << "." << c.col;
}

TEST_F(RightsDbTest, ColumnRightsAreKeptPerUserAndTable)
{
    RvUser user = makeUser("4");
    EXPECT_EQ("R", colRights(user, "2", "1"));
    int after = conn->statements;
    EXPECT_EQ("", colRights(user, "2", "10"));
    EXPECT_EQ("", colRights(user, "2", "99"));
    EXPECT_EQ(after, conn->statements);

    // The column asks for the context's user once; copies share the answer.
    RvAppCtx::getInstance()->getUser() = user;
    std::vector<RvdbColumnSetPtr> sets;
    ASSERT_EQ(0, rvddGetTblColList(conn, sets, "2"));
    after = conn->statements;
    RvdbColumnSet copy;
    copy = *sets[0];
    for (const RvdbColumnSetPtr& s : sets) {
        const std::string id = s->getColId().c_str();
        bool want = id == "1" || id == "9" || s->isSystemColumn();
        EXPECT_EQ(want, s->getColPermission().canRefer()) << s->getColId().c_str();
    }
    EXPECT_EQ(after, conn->statements);
    EXPECT_EQ(sets[0]->getColPermission().canRefer(), copy.getPermissionPtr().get()->canRefer());

    // The reset forgets the kept rights.
    const RvColPermission* p = nullptr;
    ASSERT_EQ(0, rvdbGetColPermission(user, NString("2"), NString("1"), &p, true));
    EXPECT_LT(after, conn->statements);
    EXPECT_EQ(-100001, rvdbGetColPermission(user, NString("2"), NString("1"), nullptr, false));
}

TEST_F(RightsDbTest, SearchOverEveryColumnSkipsColumnsWithoutRights)
{
    RvDbSearchCondition cond;
    cond.col_id = NString("*");
    cond.comp_type = NString("==");
    cond.comp_val = NString("5");
    struct {
        const char* uid;
        bool related;  // the customer name through relation key 2 is searched
    } cases[] = {{"2", true}, {"4", false}};
    for (const auto& c : cases) {
        RvAppCtx::getInstance()->getUser() = makeUser(c.uid);
        std::vector<RvdbColumnSetPtr> sets;
        ASSERT_EQ(0, rvddGetTblColList(conn, sets, "2"));
        NString out;
        ASSERT_FALSE(rvdbMakeConditionSql(cond, sets, conn->getSqlEncoder(), out).isError());
        EXPECT_THAT(out.c_str(), HasSubstr("a.col00001='5'")) << c.uid;
        EXPECT_THAT(out.c_str(), HasSubstr("a.col00009=5")) << c.uid;
        if (c.related)
            EXPECT_THAT(out.c_str(), HasSubstr("rtblcol00002.col00001")) << c.uid;
        else
            EXPECT_THAT(out.c_str(), Not(HasSubstr("rtbl"))) << c.uid;
    }
}

}  // namespace
