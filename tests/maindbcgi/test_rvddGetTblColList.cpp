#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cddbconnection_pg.h"
#include "pgtest.h"
#include "rvddGetTblColList.h"
#include "rvsuitedb.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

namespace {

// Forwards to a real connection and records every statement set.
class CountingConnection : public CdDBConnection {
public:
    explicit CountingConnection(CdDBConnection& target) : CdDBConnection(1, 0), inner(target) {}

    int connect(const char* user, const char* password, const char* host, const char* dbname,
                int timeoutSeconds) override
    {
        return inner.connect(user, password, host, dbname, timeoutSeconds);
    }
    int disconnect() override { return inner.disconnect(); }
    bool isConnected() const override { return inner.isConnected(); }
    int setSql(const char* text) override
    {
        statements.push_back(text ? text : "");
        return inner.setSql(text);
    }
    using CdDBConnection::execute;
    CdDBResultHandle execute(const std::vector<CdDBBind>* binds) override { return inner.execute(binds); }
    int begin() override { return inner.begin(); }
    int commit() override { return inner.commit(); }
    int rollback() override { return inner.rollback(); }
    const char* getSqlState() const override { return inner.getSqlState(); }
    const char* getErrorMessage() const override { return inner.getErrorMessage(); }
    CdDBSqlEncoder* getSqlEncoder() override { return inner.getSqlEncoder(); }

    std::vector<std::string> statements;

private:
    CdDBConnection& inner;
};

std::string str(const NString& s)
{
    return s.c_str();
}

std::vector<std::string> colIds(const std::vector<RvdbColumnSetPtr>& list)
{
    std::vector<std::string> out;
    for (const RvdbColumnSetPtr& p : list) {
        out.push_back(str(p->getTblId()) + "." + str(p->getColId()));
    }
    return out;
}

const RvdbColumnSet* findCol(const std::vector<RvdbColumnSetPtr>& list, const char* colId)
{
    for (const RvdbColumnSetPtr& p : list) {
        if (str(p->getColId()) == colId) {
            return p.get();
        }
    }
    return nullptr;
}

RvdbColumnSet* findColMutable(std::vector<RvdbColumnSetPtr>& list, const char* colId)
{
    return const_cast<RvdbColumnSet*>(findCol(list, colId));
}

std::string relationText(const RvdbInnerColumn& ic)
{
    std::string out;
    for (const RvdbInnerColumnRelation& r : ic.relations) {
        out += "(" + str(r.localColumn) + "," + str(r.table) + "," + str(r.keyColumn) + "," +
               str(r.valueColumn) + "," + str(r.valueType) + ")";
    }
    return out;
}

// Every property, the chain and the inner columns as one text.
std::string describe(const RvdbColumnSet& set)
{
    std::string out;
    const RvdbColumnSet* cur = &set;
    for (int depth = 0; cur && depth < 40; ++depth) {
        out += "{";
        for (int i = 0; i < RvdbColumnSet::PROPERTY_COUNT; ++i) {
            out += str(cur->get(i)) + "|";
        }
        for (const RvdbInnerColumn& ic : cur->getInnerColumns()) {
            out += "[" + str(ic.name) + " " + str(ic.sqlType) + " " + relationText(ic) + "]";
        }
        out += "}";
        cur = cur->getRelatedSet().get();
    }
    return out;
}

std::vector<std::string> describeAll(const std::vector<RvdbColumnSetPtr>& list)
{
    std::vector<std::string> out;
    for (const RvdbColumnSetPtr& p : list) {
        out.push_back(describe(*p));
    }
    return out;
}

TEST(RvddMakeTblColWhere, FiltersBecomeNumbersOrQuotedText)
{
    CdDBConnection_PG conn(1, 0);  // the encoder needs no server here
    struct Case {
        const char* tbl;
        const char* col;
        const char* type;
        const char* relTbl;
        const char* relCol;
        int code;
        const char* where;
    };
    const Case cases[] = {
        { nullptr, nullptr, nullptr, nullptr, nullptr, 0, "" },
        { "", "", "", "", "", 0, "" },
        { "12", "3", nullptr, nullptr, nullptr, 0, " where a.tbl_id=12 and a.col_id=3" },
        { "12\n", nullptr, nullptr, nullptr, nullptr, 0, " where a.tbl_id=12" },
        { nullptr, "-1", nullptr, nullptr, nullptr, 0, " where a.col_id=-1" },
        { "", nullptr, "file", nullptr, nullptr, 0, " where a.col_type='file'" },
        { "1", "2", "text", "3", "-1", 0,
          " where a.tbl_id=1 and a.col_id=2 and a.col_type='text' and a.rel_tbl_id=3 and a.rel_col_id=-1" },
        { nullptr, nullptr, "x' or '1'='1", nullptr, nullptr, 0, " where a.col_type='x'' or ''1''=''1'" },
        { nullptr, nullptr, nullptr, "2147483648", nullptr, 0, " where a.rel_tbl_id=2147483648" },
        // Ids never reach the statement as text.
        { "1 or 1=1", nullptr, nullptr, nullptr, nullptr, -100001, nullptr },
        { "12;drop table rv_tbl", nullptr, nullptr, nullptr, nullptr, -100001, nullptr },
        { nullptr, "1.5", nullptr, nullptr, nullptr, -100001, nullptr },
        { nullptr, nullptr, nullptr, "x", nullptr, -100001, nullptr },
        { nullptr, nullptr, nullptr, nullptr, "99999999999999999999", -100001, nullptr },
        { "-", nullptr, nullptr, nullptr, nullptr, -100001, nullptr },
    };
    for (const Case& c : cases) {
        NString out("unchanged");
        int ret = rvddMakeTblColWhere(conn.getSqlEncoder(), c.tbl, c.col, c.type, c.relTbl, c.relCol, out);
        EXPECT_EQ(c.code, ret) << (c.tbl ? c.tbl : "-") << " " << (c.relCol ? c.relCol : "-");
        if (c.where) {
            EXPECT_EQ(c.where, str(out));
        }
    }
}

class RvddDbTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // A relation key whose related column was deleted.
        db.open("t_rvddcol", RvSuiteDatabase::ALL,
                "INSERT INTO rv_tbl_col (tbl_id, col_id, col_type, col_lname, seqno, rel_col_type,"
                " rel_tbl_id, rel_col_id) VALUES (6, 5, 'relkey', 'lost', 50, 'key', 4, 98)");
    }
    static void TearDownTestSuite() { db.close(); }
    void SetUp() override
    {
        ASSERT_EQ("", db.error());
        ASSERT_EQ(0, pg.connect(PGTEST_USER, PGTEST_PASSWORD, "127.0.0.1", db->name().c_str(), 10));
    }

    static RvSuiteDatabase db;
    CdDBConnection_PG pg{1, 0};
    CountingConnection conn{pg};
};

RvSuiteDatabase RvddDbTest::db;

TEST_F(RvddDbTest, ReadsPropertiesCompositesJoinedNamesAndInnerColumns)
{
    std::vector<RvdbColumnSetPtr> list;
    ASSERT_EQ(0, rvddGetTblColList(&conn, list, "1", "1"));
    ASSERT_EQ(0, rvddGetTblColList(&conn, list, "1", nullptr, "numbercal"));
    ASSERT_EQ(0, rvddGetTblColList(&conn, list, "1", nullptr, nullptr));  // whole table
    ASSERT_THAT(colIds(list),
                ElementsAre("1.1", "1.6", "1.-1", "1.1", "1.2", "1.3", "1.4", "1.5", "1.6", "1.7", "1.8", "1.9",
                            "1.10", "1.11", "1.12", "1.13", "1.14", "1.15", "1.-2", "1.-3", "1.-4", "1.-5"));

    const RvdbColumnSet& text = *list[0];
    EXPECT_EQ("text", str(text.getColType()));
    EXPECT_EQ("氏名", str(text.getColLname()));
    EXPECT_EQ("10", str(text.getSeqno()));
    EXPECT_EQ("1", str(text.getCMust()));
    EXPECT_EQ("姓と名", str(text.getVInputHelp()));
    EXPECT_EQ("全項目テーブル", str(text.getTblLname()));
    EXPECT_EQ("", str(text.getRelTblLname()));
    EXPECT_EQ("", str(text.getRelTblId()));
    // c_input_auto_correct items
    EXPECT_EQ("1", str(text.getAutocrrct()));
    EXPECT_EQ("1", str(text.getAcsp()));
    EXPECT_EQ("0", str(text.getAcalp()));
    EXPECT_EQ("1", str(text.getAczkk()));
    EXPECT_EQ("0", str(text.getAczhk()));
    EXPECT_EQ("", str(text.getCalcType()));

    const RvdbColumnSet& cal = *list[1];
    EXPECT_EQ("binary", str(cal.getCalcType()));
    EXPECT_EQ("5", str(cal.getTerm1()));
    EXPECT_EQ("", str(cal.getTerm1val()));
    EXPECT_EQ("0", str(cal.getTerm2()));
    EXPECT_EQ("1.1", str(cal.getTerm2val()));
    EXPECT_EQ("2", str(cal.getOperator()));
    EXPECT_EQ("", str(cal.getAutocrrct()));

    const RvdbColumnSet* select = findCol(list, "11");
    ASSERT_NE(nullptr, select);
    EXPECT_EQ("\n一般\n特別\n", str(select->getCInputSelects()));
    EXPECT_EQ("\n一般\n", str(select->getVInitVal()));

    // Inner columns are built for every set read.
    const RvdbColumnSet* image = findCol(list, "15");
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(6u, image->getInnerColumns().size());
    // Each call built its own inner columns once.
    EXPECT_EQ(1u, list[0]->getInnerColumns().size());
    EXPECT_EQ(2u, list[1]->getInnerColumns().size());
}

TEST_F(RvddDbTest, RelationColumnsGetResolvedChains)
{
    std::vector<RvdbColumnSetPtr> list;
    ASSERT_EQ(0, rvddGetTblColList(&conn, list, "2", nullptr, nullptr, "3"));
    ASSERT_THAT(colIds(list), ElementsAre("2.2", "2.3", "2.4", "2.5", "2.6", "2.7", "2.8"));

    const RvdbColumnSet& relkey = *findCol(list, "2");
    ASSERT_TRUE(relkey.hasRelatedSet());
    EXPECT_EQ("3.-1", str(relkey.getRelatedSet()->getTblId()) + "." + str(relkey.getRelatedSet()->getColId()));
    EXPECT_EQ("key", str(relkey.getRelatedSet()->getColType()));
    EXPECT_EQ("顧客", str(relkey.getRelTblLname()));
    EXPECT_EQ("キー", str(relkey.getRelColLname()));

    const RvdbColumnSet& ref = *findCol(list, "3");
    EXPECT_EQ("受注", str(ref.getTblLname()));
    EXPECT_EQ("顧客", str(ref.getRelTblLname()));
    EXPECT_EQ("顧客名", str(ref.getRelColLname()));
    EXPECT_EQ("顧客", str(ref.getRelKeyLname()));
    ASSERT_TRUE(ref.hasRelatedSet());
    // The related set is a fully read row of its own table.
    EXPECT_EQ("顧客名", str(ref.getRelatedSet()->getColLname()));
    EXPECT_EQ("顧客", str(ref.getRelatedSet()->getTblLname()));
    ASSERT_EQ(1u, ref.getInnerColumns().size());
    EXPECT_EQ("(col00002,tbl00003,rvkey,col00001,)", relationText(ref.getInnerColumns()[0]));

    const RvdbColumnSet& cpy = *findCol(list, "4");
    ASSERT_TRUE(cpy.hasRelatedSet());
    EXPECT_EQ("number", str(cpy.getRelatedSet()->getColType()));
    ASSERT_EQ(1u, cpy.getInnerColumns().size());
    EXPECT_EQ("col00004", str(cpy.getInnerColumns()[0].name));
    EXPECT_EQ("numeric(20,5)", str(cpy.getInnerColumns()[0].sqlType));

    // Two-step reference to a text: the chain reaches table 4.
    const RvdbColumnSet& ref2 = *findCol(list, "7");
    ASSERT_TRUE(ref2.hasRelatedSet());
    const RvdbColumnSet& mid = *ref2.getRelatedSet();
    EXPECT_EQ("3.6", str(mid.getTblId()) + "." + str(mid.getColId()));
    ASSERT_TRUE(mid.hasRelatedSet());
    EXPECT_EQ("4.1", str(mid.getRelatedSet()->getTblId()) + "." + str(mid.getRelatedSet()->getColId()));
    EXPECT_EQ(mid.getRelatedSet().get(), ref2.getRootColumnSet());
    EXPECT_TRUE(ref2.hasRootColumnSet());
    ASSERT_EQ(1u, ref2.getInnerColumns().size());
    EXPECT_EQ("(col00002,tbl00003,rvkey,,)(col00005,tbl00004,rvkey,col00001,)",
              relationText(ref2.getInnerColumns()[0]));
}

TEST_F(RvddDbTest, ReferenceToFileCarriesTheKeyOfTheRootRecord)
{
    std::vector<RvdbColumnSetPtr> list;
    ASSERT_EQ(0, rvddGetTblColList(&conn, list, "2", "6"));
    ASSERT_EQ(0, rvddGetTblColList(&conn, list, "2", "8"));
    ASSERT_EQ(2u, list.size());

    // One step: the file's record key comes from the customer row.
    const RvdbColumnSet& one = *list[0];
    ASSERT_NE(nullptr, one.getRootColumnSet());
    EXPECT_EQ("3.4", str(one.getRootColumnSet()->getTblId()) + "." + str(one.getRootColumnSet()->getColId()));
    ASSERT_EQ(2u, one.getInnerColumns().size());
    EXPECT_EQ("(col00002,tbl00003,rvkey,col00004,)", relationText(one.getInnerColumns()[0]));
    EXPECT_EQ("(col00002,tbl00003,rvkey,rvkey,)", relationText(one.getInnerColumns()[1]));

    // Two steps: the key must be the department's, never the customer's.
    const RvdbColumnSet& two = *list[1];
    const RvdbColumnSet* root = two.getRootColumnSet();
    ASSERT_NE(nullptr, root);
    EXPECT_EQ("4.2", str(root->getTblId()) + "." + str(root->getColId()));
    EXPECT_EQ("file", str(root->getColType()));
    ASSERT_EQ(2u, two.getInnerColumns().size());
    const RvdbInnerColumn& key = two.getInnerColumns()[1];
    EXPECT_EQ(1, key.subIndex);
    EXPECT_TRUE(key.isJoined());
    EXPECT_EQ("(col00002,tbl00003,rvkey,,)(col00005,tbl00004,rvkey,rvkey,)", relationText(key));
    EXPECT_EQ("(col00002,tbl00003,rvkey,,)(col00005,tbl00004,rvkey,col00002,)",
              relationText(two.getInnerColumns()[0]));
}

TEST_F(RvddDbTest, CacheHandsOutIndependentDeepCopies)
{
    // Table 2 only through this test's unfiltered calls.
    std::vector<RvdbColumnSetPtr> first;
    ASSERT_EQ(0, rvddGetTblColList(&conn, first, "2"));
    ASSERT_EQ(15u, first.size());
    const std::vector<std::string> original = describeAll(first);

    conn.statements.clear();
    std::vector<RvdbColumnSetPtr> second;
    ASSERT_EQ(0, rvddGetTblColList(&conn, second, "2"));
    EXPECT_TRUE(conn.statements.empty());
    EXPECT_EQ(original, describeAll(second));

    // Change a returned set at every level of a two-step chain.
    RvdbColumnSet* top = findColMutable(second, "8");
    ASSERT_NE(nullptr, top);
    RvdbColumnSet* mid = top->getRelatedSet().get();
    ASSERT_NE(nullptr, mid);
    RvdbColumnSet* root = mid->getRelatedSet().get();
    ASSERT_NE(nullptr, root);
    top->setColLname(NString("changed"));
    top->getInnerColumns().clear();
    mid->setRelKey(NString("99"));
    root->setColType(NString("text"));
    root->setRelatedSet(RvdbColumnSetPtr(new RvdbColumnSet()));
    RvColPermission all;
    all.setRefer(true);
    top->getPermissionPtr().set(all);
    second[0]->setColId(NString("77"));

    std::vector<RvdbColumnSetPtr> third;
    ASSERT_EQ(0, rvddGetTblColList(&conn, third, "2"));
    EXPECT_TRUE(conn.statements.empty());
    EXPECT_EQ(original, describeAll(third));
    const RvdbColumnSet* top3 = findCol(third, "8");
    ASSERT_NE(nullptr, top3);
    EXPECT_FALSE(top3->getPermissionPtr().hasObject());
    // No set of the chain is shared with an earlier holder.
    EXPECT_NE(top3->getRelatedSet().get(), mid);
    EXPECT_NE(top3->getRelatedSet()->getRelatedSet().get(), root);
    for (std::size_t i = 0; i < third.size(); ++i) {
        EXPECT_NE(third[i].get(), second[i].get());
        EXPECT_EQ(1, third[i].useCount());
    }
    // The first read's own sets were never the cache's either.
    first[0]->setColLname(NString("again"));
    std::vector<RvdbColumnSetPtr> fourth;
    ASSERT_EQ(0, rvddGetTblColList(&conn, fourth, "2"));
    EXPECT_EQ(original, describeAll(fourth));
}

TEST_F(RvddDbTest, OnlyUnfilteredCallsFillAndUseTheCache)
{
    // Table 4 is read unfiltered only here.
    conn.statements.clear();
    std::vector<RvdbColumnSetPtr> files;
    ASSERT_EQ(0, rvddGetTblColList(&conn, files, "4", nullptr, "file"));
    EXPECT_THAT(colIds(files), ElementsAre("4.2"));
    EXPECT_FALSE(conn.statements.empty());

    // An empty filter that is passed sets no condition but bypasses the cache.
    for (int i = 0; i < 2; ++i) {
        conn.statements.clear();
        std::vector<RvdbColumnSetPtr> list;
        ASSERT_EQ(0, rvddGetTblColList(&conn, list, "4", ""));
        EXPECT_EQ(7u, list.size());
        EXPECT_EQ(1u, conn.statements.size());
    }

    conn.statements.clear();
    std::vector<RvdbColumnSetPtr> list;
    ASSERT_EQ(0, rvddGetTblColList(&conn, list, "4"));
    ASSERT_EQ(1u, conn.statements.size());  // a miss: nothing above filled it
    EXPECT_THAT(conn.statements[0], HasSubstr(" where a.tbl_id=4 order by"));
    conn.statements.clear();
    std::vector<RvdbColumnSetPtr> again;
    ASSERT_EQ(0, rvddGetTblColList(&conn, again, "4"));
    EXPECT_TRUE(conn.statements.empty());
    EXPECT_EQ(describeAll(list), describeAll(again));

    // A filtered call never answers from the cache.
    conn.statements.clear();
    std::vector<RvdbColumnSetPtr> one;
    ASSERT_EQ(0, rvddGetTblColList(&conn, one, "4", "1"));
    EXPECT_THAT(colIds(one), ElementsAre("4.1"));
    EXPECT_EQ(1u, conn.statements.size());
}

TEST_F(RvddDbTest, EmptyTableIdReadsEveryTableInTableOrder)
{
    for (int i = 0; i < 2; ++i) {
        conn.statements.clear();
        std::vector<RvdbColumnSetPtr> list;
        ASSERT_EQ(0, rvddGetTblColList(&conn, list, "", nullptr, "text"));
        EXPECT_THAT(colIds(list), ElementsAre("1.1", "2.1", "3.1", "4.1", "6.1"));
        EXPECT_EQ(1u, conn.statements.size());
    }
}

TEST_F(RvddDbTest, CyclesEndWithAFailure)
{
    struct {
        const char* col;
        int code;
    } cases[] = {
        { "1", 0 },            // relation key to its own table's key: no cycle
        { "2", -100001 },      // reference A -> B -> A
        { "3", -100001 },
        { "4", -100001 },      // copy of itself
        { "5", 0 },            // calculations are not followed here
        { nullptr, -100001 },  // whole table
    };
    for (const auto& c : cases) {
        std::vector<RvdbColumnSetPtr> list;
        EXPECT_EQ(c.code, rvddGetTblColList(&conn, list, "5", c.col)) << (c.col ? c.col : "all");
    }
    // A failed read is not kept: the next call reads again.
    conn.statements.clear();
    std::vector<RvdbColumnSetPtr> list;
    EXPECT_EQ(-100001, rvddGetTblColList(&conn, list, "5"));
    EXPECT_FALSE(conn.statements.empty());

    // A chain entering a cycle from another table fails the same way.
    ASSERT_TRUE(db->exec("INSERT INTO rv_tbl_col (tbl_id, col_id, col_type, col_lname, seqno, rel_col_type,"
                         " rel_tbl_id, rel_col_id, rel_key) VALUES (6, 6, 'relref', 'into cycle', 60, 'text',"
                         " 5, 2, 2)")
                    .empty());
    list.clear();
    EXPECT_EQ(-100001, rvddGetTblColList(&conn, list, "6", "6"));
    ASSERT_TRUE(db->exec("DELETE FROM rv_tbl_col WHERE tbl_id=6 AND col_id=6").empty());
}

TEST_F(RvddDbTest, MissingRelatedColumns)
{
    // A relation key to a deleted column: no related set, no failure.
    std::vector<RvdbColumnSetPtr> list;
    ASSERT_EQ(0, rvddGetTblColList(&conn, list, "6", "5"));
    ASSERT_EQ(1u, list.size());
    EXPECT_FALSE(list[0]->hasRelatedSet());
    ASSERT_EQ(1u, list[0]->getInnerColumns().size());
    EXPECT_EQ("col00005", str(list[0]->getInnerColumns()[0].name));

    // A reference to a deleted column has no physical columns to show.
    list.clear();
    EXPECT_EQ(-100025, rvddGetTblColList(&conn, list, "6", "3"));
    // An unknown type.
    list.clear();
    EXPECT_EQ(-100001, rvddGetTblColList(&conn, list, "6", "4"));
}

TEST_F(RvddDbTest, BadIntegerFilterFailsBeforeAnyStatement)
{
    const char* bad[] = { "x", "1 or 1=1", "1)" };
    for (const char* b : bad) {
        conn.statements.clear();
        std::vector<RvdbColumnSetPtr> list;
        EXPECT_EQ(-100001, rvddGetTblColList(&conn, list, "2", nullptr, nullptr, b)) << b;
        EXPECT_EQ(-100001, rvddGetTblColList(&conn, list, b)) << b;
        EXPECT_EQ(-100001, rvddGetTblColListSimple(&conn, list, "2", b)) << b;
        EXPECT_TRUE(conn.statements.empty()) << b;
        EXPECT_TRUE(list.empty());
    }
    // A quote in the type filter stays inside the literal.
    std::vector<RvdbColumnSetPtr> list;
    EXPECT_EQ(0, rvddGetTblColList(&conn, list, "1", nullptr, "text' or 'a'='a"));
    EXPECT_TRUE(list.empty());
}

TEST_F(RvddDbTest, SetsAlreadyInTheListAreLeftAlone)
{
    std::vector<RvdbColumnSetPtr> list;
    RvdbColumnSetPtr foreign(new RvdbColumnSet());
    foreign->setTblId(NString("9"));
    foreign->setColId(NString("1"));
    foreign->setColType(NString("memo"));  // would fail the physical-column build
    list.push_back(foreign);
    ASSERT_EQ(0, rvddGetTblColList(&conn, list, "3", "1"));
    ASSERT_EQ(2u, list.size());
    EXPECT_EQ(foreign.get(), list[0].get());
    EXPECT_TRUE(list[0]->getInnerColumns().empty());
    EXPECT_EQ("3.1", str(list[1]->getTblId()) + "." + str(list[1]->getColId()));
}

TEST_F(RvddDbTest, SimpleReadIsPlain)
{
    std::vector<RvdbColumnSetPtr> list;
    ASSERT_EQ(0, rvddGetTblColListSimple(&conn, list, "2"));
    EXPECT_THAT(colIds(list), ElementsAreArray({ "2.-5", "2.-4", "2.-3", "2.-2", "2.-1", "2.1", "2.2", "2.3",
                                                 "2.4", "2.5", "2.6", "2.7", "2.8", "2.9", "2.10" }));
    const RvdbColumnSet& ref = *list[7];
    EXPECT_EQ("relref", str(ref.getColType()));
    EXPECT_EQ("3", str(ref.getRelTblId()));
    EXPECT_EQ("", str(ref.getTblLname()));
    EXPECT_FALSE(ref.hasRelatedSet());
    EXPECT_TRUE(ref.getInnerColumns().empty());
    const RvdbColumnSet& cal = *list[14];
    EXPECT_EQ("4", str(cal.getTerm1()));
    EXPECT_EQ("9", str(cal.getTerm2()));
}

TEST_F(RvddDbTest, RowReaderStrictAndTolerant)
{
    pg.setSql("select * from rv_tbl_col where tbl_id=1 and col_id=6");
    CdDBResultHandle res = pg.execute();
    ASSERT_EQ(0, res->getStatus());
    ASSERT_FALSE(res->isEOF());
    RvdbColumnSet strict;
    EXPECT_EQ(-1100, rvddReadColumnSetRow(*res, strict, false));
    RvdbColumnSet tolerant;
    EXPECT_EQ(0, rvddReadColumnSetRow(*res, tolerant, true));
    EXPECT_EQ("numbercal", str(tolerant.getColType()));
    EXPECT_EQ("binary", str(tolerant.getCalcType()));
    EXPECT_EQ("", str(tolerant.getTblLname()));

    // A row without a column that is always read fails in both modes.
    pg.setSql("select tbl_id, col_id from rv_tbl_col where tbl_id=1 and col_id=6");
    res = pg.execute();
    ASSERT_EQ(0, res->getStatus());
    RvdbColumnSet partial;
    EXPECT_EQ(-1100, rvddReadColumnSetRow(*res, partial, true));
}

}  // namespace
