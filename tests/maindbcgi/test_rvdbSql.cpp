#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cddbconnection.h"
#include "cddbsqlencoder.h"
#include "rvdbSql.h"
#include "rvsqltest.h"

namespace {

std::string str(const NString& s) { return s.c_str(); }

using rvtest::EncoderOnlyConnection;
using rvtest::makeRelRef;
using rvtest::makeSet;

void build(const RvdbColumnSetPtr& set)
{
    ASSERT_EQ(0, rvdbUpdaetColumnSetAndSchema(*set, set->getInnerColumns())) << set->getColId().c_str();
}

RvDbSearchCondition cond(const char* col, const char* method, const char* value, int type = 0)
{
    RvDbSearchCondition c;
    c.col_id = NString(col);
    c.comp_type = NString(method);
    c.comp_val = NString(value);
    c.comp_val_type = type;
    return c;
}

RvDbSearchFilterPtr filter(char how, const std::vector<RvDbSearchCondition>& conds)
{
    auto f = std::make_shared<RvDbSearchFilter>();
    f->condition = how;
    f->conditions = conds;
    return f;
}

// Table 3 of the sample schema (customer): text, number, image, file,
// relation key to table 4, reference to 4.1 (text) and to 4.2 (file).
// Table 2 (orders) refers through its key 2 to table 3, and through 3.6 on
// to table 4.
class SqlComposition : public ::testing::Test {
protected:
    void SetUp() override
    {
        dept1 = makeSet("4", "1", "text");
        dept2 = makeSet("4", "2", "file");
        build(dept1);
        build(dept2);

        cust.push_back(makeSet("3", "1", "text"));
        cust.push_back(makeSet("3", "2", "number"));
        cust.push_back(makeSet("3", "3", "image"));
        cust.push_back(makeSet("3", "4", "file"));
        cust.push_back(makeSet("3", "5", "relkey", "key"));
        cust.push_back(makeRelRef("3", "6", "4", "5", dept1));
        cust.push_back(makeRelRef("3", "7", "4", "5", dept2));
        for (auto& s : cust)
            build(s);

        orders.push_back(makeSet("2", "1", "text"));
        orders.push_back(makeRelRef("2", "3", "3", "2", cust[0]));
        orders.push_back(makeRelRef("2", "7", "3", "2", cust[5]));
        orders.push_back(makeSet("2", "9", "datetime"));
        for (auto& s : orders)
            build(s);
    }

    const RvdbInnerColumn& inner(const RvdbColumnSetPtr& set, size_t i)
    {
        return set->getInnerColumns().at(i);
    }

    EncoderOnlyConnection conn;
    RvdbColumnSetPtr dept1, dept2;
    RvdbColumnSetList cust, orders;
};

TEST_F(SqlComposition, AliasQualifiedNameAndSelectExpression)
{
    struct {
        RvdbColumnSetPtr set;
        size_t index;
        const char* alias;
        const char* qualified;
        const char* select;
    } cases[] = {
        { cust[0], 0, "a", "a.col00001", "a.col00001" },
        { cust[2], 0, "a", "a.col00003", "a.col00003" },
        { cust[2], 1, "rtblcol00003", "rtblcol00003.file_name", "rtblcol00003.file_name" },
        { cust[2], 5, "rtblcol00003", "rtblcol00003.file_size", "rtblcol00003.file_size" },
        { cust[5], 0, "rtblcol00005", "rtblcol00005.col00001", "rtblcol00005.col00001" },
        { orders[2], 0, "rtblcol00002col00005", "rtblcol00002col00005.col00001",
          "rtblcol00002col00005.col00001" },
        { orders[3], 0, "a", "a.col00009",
          "CASE WHEN a.col00009>='0001-01-01' AND a.col00009<'10000-01-01' THEN "
          "TO_CHAR(a.col00009 ,'YYYYMMDDHH24MISS') WHEN a.col00009 IS NOT NULL "
          "THEN '!'||a.col00009 END" },
    };
    for (const auto& c : cases) {
        NString alias, qualified, select;
        const RvdbInnerColumn& col = inner(c.set, c.index);
        EXPECT_FALSE(rvdbGetColumnAlias(col, alias).isError());
        EXPECT_FALSE(rvdbGetQualifiedColumnName(*c.set, col, &conn.encoder, qualified).isError());
        EXPECT_FALSE(rvdbGetSelectExpression(*c.set, col, &conn.encoder, select).isError());
        EXPECT_EQ(c.alias, str(alias));
        EXPECT_EQ(c.qualified, str(qualified));
        EXPECT_EQ(c.select, str(select));
    }
    // A date-time expression needs the encoder; out stays as it was.
    NString out("keep");
    EXPECT_EQ(RVDB_SQL_ERR_ARG,
              rvdbGetSelectExpression(*orders[3], inner(orders[3], 0), nullptr, out).getCode());
    EXPECT_EQ("keep", str(out));
}

// A reference chain whose name the server would cut (63 bytes) is refused
// instead of reading back as an empty column.
TEST_F(SqlComposition, ChainsTooDeepToNameAreRefused)
{
    struct {
        int steps;
        int code;
    } cases[] = { { 6, 0 }, { 7, RVDB_SQL_ERR_ARG } };
    for (const auto& c : cases) {
        RvdbColumnSetPtr set = makeSet("10", "1", "text");
        for (int i = 0; i < c.steps; i++)
            set = makeRelRef(std::to_string(11 + i).c_str(), "1", std::to_string(10 + i).c_str(), "5", set);
        build(set);
        const RvdbInnerColumn& col = inner(set, 0);
        NString name("keep"), select("keep");
        EXPECT_EQ(c.code, rvdbGetQualifiedColumnName(*set, col, &conn.encoder, name).getCode()) << c.steps;
        EXPECT_EQ(c.code, rvdbGetSelectExpression(*set, col, &conn.encoder, select).getCode()) << c.steps;
        if (c.code == 0) {
            EXPECT_EQ(61u, str(name).size());
        } else {
            EXPECT_EQ("keep", str(name));
            EXPECT_EQ("keep", str(select));
        }
    }
}

TEST_F(SqlComposition, FromClause)
{
    const std::string imageJoin =
        " left outer join tbl00003_lob as rtblcol00003 on (rtblcol00003.content_id=a.col00003)";
    const std::string deptJoin =
        " left outer join tbl00004 as rtblcol00005 on (rtblcol00005.rvkey=a.col00005)";
    RvStringList none;
    RvDbSearchFilterList noFilters;
    struct {
        const char* name;
        RvStringList selected;
        RvDbSearchFilterList filters;
        const RvStringList* extra;
        std::string expected;
    } cases[] = {
        { "plain columns need no join", { "1", "2", "5" }, {}, nullptr, "tbl00003 as a" },
        { "selected image", { "3" }, {}, nullptr, "tbl00003 as a" + imageJoin },
        // two references through relation key 5 share their join
        { "two references", { "7", "6", "1" }, {}, nullptr, "tbl00003 as a" + deptJoin },
        { "conditions add their columns, each alias once",
          { "1" },
          { filter('&', { cond("3", "Like", "png"), cond("3", "==", "x.png") }),
            filter('|', { cond("3", "!=", "") }) },
          nullptr,
          "tbl00003 as a" + imageJoin },
        { "search on every column joins every joined set",
          {},
          { filter('&', { cond("*", "Like", "x") }) },
          nullptr,
          "tbl00003 as a" + imageJoin + deptJoin },
    };
    for (const auto& c : cases) {
        NString out;
        EXPECT_FALSE(rvdbMakeFromSql(NString("3"), c.selected, c.filters, cust, out, c.extra).isError());
        EXPECT_EQ(c.expected, str(out)) << c.name;
    }

    RvStringList extra = { "6" };
    NString out;
    rvdbMakeFromSql(NString("3"), { "3" }, noFilters, cust, out, &extra);
    EXPECT_EQ("tbl00003 as a" + imageJoin + deptJoin, str(out));

    // Two steps: the inner join starts from the outer alias.
    rvdbMakeFromSql(NString("2"), { "7", "3" }, noFilters, orders, out);
    EXPECT_EQ("tbl00002 as a"
              " left outer join tbl00003 as rtblcol00002 on (rtblcol00002.rvkey=a.col00002)"
              " left outer join tbl00004 as rtblcol00002col00005 on "
              "(rtblcol00002col00005.rvkey=rtblcol00002.col00005)",
              str(out));
}

TEST_F(SqlComposition, WhereTextJoinsFiltersAndConditions)
{
    RvDbSearchFilterList filters = {
        filter('&', { cond("1", "==", "a"), cond("2", "<", "5") }),
        filter('|', { cond("1", "Like", ""), cond("1", "==", "b"), cond("2", "==", "7") }),
        filter('&', { cond("1", "Like", "") }),  // adds nothing
    };
    NString out;
    RvResult ret = rvdbMakeWhereSql(&conn.encoder, cust, filters, out);
    EXPECT_FALSE(ret.isError());
    EXPECT_EQ("((a.col00001='a') and (a.col00002<5)) and ((a.col00001='b') or (a.col00002=7))",
              str(out));

    NString empty("old");
    EXPECT_FALSE(rvdbMakeWhereSql(&conn.encoder, cust, {}, empty).isError());
    EXPECT_EQ("", str(empty));

    // Any failing condition fails the whole text; out is kept.
    struct {
        RvDbSearchCondition bad;
        int code;
    } failures[] = {
        { cond("99", "==", "a"), RVDB_SQL_ERR_COLUMN },
        { cond("1", "~", "a"), RVDB_SQL_ERR_METHOD },
        { cond("2", "==", "1;delete from tbl00003"), -210008 },
    };
    for (const auto& f : failures) {
        NString kept("kept");
        RvDbSearchFilterList bad = { filter('&', { cond("1", "==", "a") }),
                                     filter('|', { cond("1", "==", "b"), f.bad }) };
        EXPECT_EQ(f.code, rvdbMakeWhereSql(&conn.encoder, cust, bad, kept).getCode());
        EXPECT_EQ("kept", str(kept));
    }
}

TEST_F(SqlComposition, ConditionOverSeveralPhysicalColumns)
{
    // The image answers through its file name only.
    NString out;
    EXPECT_FALSE(rvdbMakeConditionSql(cond("3", "==", "a.png"), cust, &conn.encoder, out).isError());
    EXPECT_EQ("rtblcol00003.file_name='a.png'", str(out));

    // A url searches its address and not its label (no value types).
    RvdbColumnSetList urls = { makeSet("1", "4", "url") };
    build(urls[0]);
    out = NString();
    EXPECT_FALSE(rvdbMakeConditionSql(cond("4", "Like", "x"), urls, &conn.encoder, out).isError());
    EXPECT_EQ("a.col00004 LIKE '%x%' escape '\\'", str(out));

    // Nothing results: out is unchanged.
    NString kept("kept");
    EXPECT_FALSE(rvdbMakeConditionSql(cond("1", "Like", ""), cust, &conn.encoder, kept).isError());
    EXPECT_EQ("kept", str(kept));
}

TEST_F(SqlComposition, SearchOnEveryColumn)
{
    // Referable text and number columns are searched; keys, relation keys,
    // files and images are not.
    NString out;
    EXPECT_FALSE(rvdbMakeConditionSql(cond("*", "==", "5"), cust, &conn.encoder, out).isError());
    EXPECT_EQ("(a.col00001='5' OR a.col00002=5 OR rtblcol00005.col00001='5')", str(out));

    // A value no number takes skips the number column.
    out = NString();
    EXPECT_FALSE(rvdbMakeConditionSql(cond("*", "==", "x"), cust, &conn.encoder, out).isError());
    EXPECT_EQ("(a.col00001='x' OR rtblcol00005.col00001='x')", str(out));

    // Without reference rights (or with none known) nothing is searched:
    // a value gives NULL, no value gives no condition.
    RvdbColumnSetList hidden = { makeSet("3", "1", "text", nullptr, false),
                                 makeSet("3", "8", "text") };
    for (auto& s : hidden)
        build(s);
    hidden[1]->getPermissionPtr() = RvdbColPermissionPtr();
    out = NString();
    EXPECT_FALSE(rvdbMakeConditionSql(cond("*", "Like", "x"), hidden, &conn.encoder, out).isError());
    EXPECT_EQ("NULL", str(out));
    NString kept("kept");
    EXPECT_FALSE(rvdbMakeConditionSql(cond("*", "Like", ""), hidden, &conn.encoder, kept).isError());
    EXPECT_EQ("kept", str(kept));

    // An unknown method stops the search.
    EXPECT_EQ(RVDB_SQL_ERR_METHOD,
              rvdbMakeConditionSql(cond("*", "~", "x"), cust, &conn.encoder, kept).getCode());
    EXPECT_EQ("kept", str(kept));
}

}  // namespace
