#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cddbconnection_pg.h"
#include "pgtest.h"
#include "rvaccinfo.h"
#include "rvsuitedb.h"

namespace {

TEST(RvAccInfo, InvalidRights)
{
    struct {
        const char* value;
        bool invalid;
    } cases[] = {{nullptr, false}, {"", false}, {"0", false}, {"1", false},
                 {"2", true},      {"-1", true}, {"10", true}, {" 1", true}};
    for (const auto& c : cases) {
        for (int i = 0; i < RvAccInfo::COUNT; ++i) {
            RvAccInfo acc;
            acc.at(i) = NString(c.value);
            EXPECT_EQ(c.invalid, acc.isInvalid()) << (c.value ? c.value : "(null)") << " at " << i;
        }
    }
    RvAccInfo acc;
    acc.setAll("3");
    EXPECT_TRUE(acc.isInvalid());
    acc.clear();
    EXPECT_FALSE(acc.isInvalid());
    EXPECT_TRUE(acc.acc_export.isNull());
}

TEST(RvTblAccInfo, InvalidIdsAndRights)
{
    struct {
        const char* uid;
        bool invalid;
    } cases[] = {{"", false},          {"12", false},  {"-1", false}, {"999999999", false},
                 {"1234567890", true}, {"abc", true},  {"12a", true}, {"1.5", true}};
    for (const auto& c : cases) {
        RvTblAccInfo info;
        info.u_id = NString(c.uid);
        EXPECT_EQ(c.invalid, info.isInvalid()) << "u_id " << c.uid;
        RvTblAccInfo g;
        g.g_id = NString(c.uid);
        EXPECT_EQ(c.invalid, g.isInvalid()) << "g_id " << c.uid;
        RvTblAccInfo t;
        t.tbl_id = NString(c.uid);
        EXPECT_EQ(c.invalid, t.isInvalid()) << "tbl_id " << c.uid;
    }
    RvTblAccInfo rights("5");
    EXPECT_FALSE(rights.isInvalid());
    rights.g_acc.acc_delete = NString("x");
    EXPECT_TRUE(rights.isInvalid());
}

TEST(RvTblAccInfo, Constructors)
{
    RvTblAccInfo everyone("7");
    EXPECT_STREQ("7", everyone.tbl_id.c_str());
    EXPECT_STREQ("-1", everyone.g_id.c_str());
    EXPECT_TRUE(everyone.u_id.isNullOrEmpty());
    RvTblAccInfo user("7", "12");
    EXPECT_STREQ("12", user.u_id.c_str());
    EXPECT_TRUE(user.g_id.isNullOrEmpty());
    for (int i = 0; i < RvAccInfo::COUNT; ++i) {
        EXPECT_STREQ("0", everyone.a_acc.at(i).c_str());
        EXPECT_TRUE(everyone.u_acc.at(i).isNull());
        EXPECT_STREQ("0", user.u_acc.at(i).c_str());
        EXPECT_TRUE(user.a_acc.at(i).isNull());
    }
}

TEST(RvPermission, FlagsStartOffAndSetIndependently)
{
    RvTblPermission p;
    EXPECT_FALSE(p.canRefer() || p.canEntry() || p.canChange() || p.canDelete() ||
                 p.canAddcmt() || p.canExport() || p.isOwnEntry() || p.isTblAdmin());
    p.setExport(true);
    p.setTblAdmin(true);
    EXPECT_TRUE(p.canExport());
    EXPECT_TRUE(p.isTblAdmin());
    EXPECT_FALSE(p.canRefer());
    p.setExport(false);
    EXPECT_FALSE(p.canExport());

    RvColPermission c;
    EXPECT_FALSE(c.canRefer() || c.canEntry() || c.canChange());
    c.setChange(true);
    EXPECT_TRUE(c.canChange());
    EXPECT_FALSE(c.canRefer());
}

class RvAccReaderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        db.open("t_rvaccinfo", RvSuiteDatabase::SCHEMA,
                "INSERT INTO rvsys_group_user VALUES (100, 12), (200, 12), (300, 13);"
                // table 5: everyone, two groups of user 12, a group of another user,
                // user 12's own entry and another user's entry
                "INSERT INTO rv_tbl_acc (tbl_id, g_id, a_acc_refer, a_acc_export) VALUES (5, -1, '1', '0');"
                "INSERT INTO rv_tbl_acc (tbl_id, g_id, g_acc_refer, g_acc_entry) VALUES (5, 100, '1', '1');"
                "INSERT INTO rv_tbl_acc (tbl_id, g_id, g_acc_refer, g_acc_delete) VALUES (5, 200, '1', '1');"
                "INSERT INTO rv_tbl_acc (tbl_id, g_id, g_acc_refer) VALUES (5, 300, '1');"
                "INSERT INTO rv_tbl_acc (tbl_id, u_id, u_acc_refer, u_acc_change) VALUES (5, 12, '1', '0');"
                "INSERT INTO rv_tbl_acc (tbl_id, u_id, u_acc_refer) VALUES (5, 13, '1');"
                "INSERT INTO rv_tbl_acc (tbl_id, g_id, a_acc_refer) VALUES (6, -1, '1');");
    }
    static void TearDownTestSuite() { db.close(); }
    void SetUp() override
    {
        ASSERT_EQ("", db.error());
        ASSERT_EQ(0, conn.connect(PGTEST_USER, PGTEST_PASSWORD, "127.0.0.1", db->name().c_str(), 10));
    }

    static std::vector<std::string> keys(const std::vector<RvTblAccInfoPtr>& rows)
    {
        std::vector<std::string> out;
        for (const auto& r : rows) {
            out.push_back(std::string(r->tbl_id.c_str()) + "/u" + r->u_id.c_str() + "/g" +
                          r->g_id.c_str());
        }
        return out;
    }

    static RvSuiteDatabase db;
    CdDBConnection_PG conn{1, 0};
};

RvSuiteDatabase RvAccReaderTest::db;

TEST_F(RvAccReaderTest, UserModeReadsEveryoneGroupsAndOwnEntry)
{
    std::vector<RvTblAccInfoPtr> rows;
    ASSERT_EQ(0, rvappGetAllTblAccessInfo(&conn, "5", "12", true, rows));
    EXPECT_THAT(keys(rows), ::testing::UnorderedElementsAre("5/u/g-1", "5/u/g100", "5/u/g200",
                                                            "5/u12/g"));
    for (const auto& r : rows) {
        EXPECT_FALSE(r->isInvalid());
        if (strcmp(r->u_id.c_str(), "12") == 0) {
            EXPECT_STREQ("1", r->u_acc.acc_refer.c_str());
            EXPECT_STREQ("0", r->u_acc.acc_change.c_str());
            EXPECT_TRUE(r->u_acc.acc_entry.isNull());  // not given stays NULL
            EXPECT_TRUE(r->g_acc.acc_refer.isNull());
        } else if (strcmp(r->g_id.c_str(), "200") == 0) {
            EXPECT_STREQ("1", r->g_acc.acc_delete.c_str());
        } else if (strcmp(r->g_id.c_str(), "-1") == 0) {
            EXPECT_STREQ("1", r->a_acc.acc_refer.c_str());
            EXPECT_STREQ("0", r->a_acc.acc_export.c_str());
        }
    }
}

TEST_F(RvAccReaderTest, GroupModeReadsEveryoneAndTheGroup)
{
    std::vector<RvTblAccInfoPtr> rows;
    ASSERT_EQ(0, rvappGetAllTblAccessInfo(&conn, "5", "300", false, rows));
    EXPECT_THAT(keys(rows), ::testing::UnorderedElementsAre("5/u/g-1", "5/u/g300"));
}

TEST_F(RvAccReaderTest, ArgumentsAndIdsThatAreNotNumbers)
{
    std::vector<RvTblAccInfoPtr> rows;
    EXPECT_EQ(-100001, rvappGetAllTblAccessInfo(&conn, "", "12", true, rows));
    EXPECT_EQ(-100001, rvappGetAllTblAccessInfo(&conn, "5", nullptr, true, rows));
    EXPECT_EQ(-100001, rvappGetAllTblAccessInfo(nullptr, "5", "12", true, rows));
    // Beyond an int: refused rather than read as another id.
    EXPECT_EQ(-100001, rvappGetAllTblAccessInfo(&conn, "99999999999", "12", true, rows));
    EXPECT_EQ(-100001, rvappGetAllTblAccessInfo(&conn, "5", "4294967308", true, rows));
    EXPECT_TRUE(rows.empty());

    // A table id without digits reads as 0: no rows, no error; a quote
    // never reaches the statement as text.
    ASSERT_EQ(0, rvappGetAllTblAccessInfo(&conn, "abc", "12", true, rows));
    ASSERT_EQ(0, rvappGetAllTblAccessInfo(&conn, "5", "0 or 1=1", true, rows));
    ASSERT_EQ(0, rvappGetAllTblAccessInfo(&conn, "x' or '1'='1", "12", true, rows));
    EXPECT_EQ(1u, rows.size());  // only the everyone entry of table 5 for id 0
}

TEST_F(RvAccReaderTest, AppendsToTheGivenVector)
{
    std::vector<RvTblAccInfoPtr> rows;
    rows.push_back(std::make_shared<RvTblAccInfo>("9"));
    ASSERT_EQ(0, rvappGetAllTblAccessInfo(&conn, "6", "12", true, rows));
    ASSERT_EQ(2u, rows.size());
    EXPECT_STREQ("9", rows[0]->tbl_id.c_str());
    EXPECT_STREQ("6", rows[1]->tbl_id.c_str());
}

}  // namespace
