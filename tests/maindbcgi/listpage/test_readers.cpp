#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RvDbLayout.h"
#include "cddbconnection_pg.h"
#include "pgtest.h"
#include "rvappGetAllDbLayoutItemPtrArray.h"
#include "rvappGetDbFilterPtrArray.h"
#include "rvappGetDbLayout.h"
#include "rvappGetDbLayoutColPtrArray.h"
#include "rvappGetDbLayoutFormatPtrArray.h"
#include "rvappGetDbLayoutItem.h"
#include "rvappGetDbLayoutItemPtrArray.h"
#include "rvappGetDbLayoutRowPtrArray.h"
#include "rvappGetDbSerchConditionPtrArray.h"
#include "rvappGetDbView.h"
#include "rvappListSql.h"
#include "rvappSupplementSearchFilter.h"
#include "rvdbTotal.h"
#include "rvschema.h"
#include "rvsqltest.h"
#include "rvsuitedb.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

std::string str(const NString& s)
{
    return s.c_str();
}

class ListPageReaders : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        db.open("t_lpreaders", RvSuiteDatabase::ALL);
        error = db.error();
        if (error.empty())
            error = rvschemaLoadListPages(*db);
        // Conditions of filter id 0, which a dangling view link picks up.
        if (error.empty())
            error = db->exec("INSERT INTO rv_search_cond VALUES (1, 0, 1, '3', '==', 1, 'x', 1)");
    }
    static void TearDownTestSuite() { db.close(); }
    void SetUp() override
    {
        ASSERT_EQ("", error);
        ASSERT_EQ(0, conn.connect(PGTEST_USER, PGTEST_PASSWORD, "127.0.0.1", db->name().c_str(), 10));
    }

    std::vector<std::string> viewIds(const char* tbl, const char* defflg, const char* limit, const char* offset,
                                     int* code = nullptr)
    {
        std::vector<RvDbViewPtr> views;
        int ret = rvappGetDbViewPtrArray(&conn, tbl, defflg, limit, offset, views);
        if (code)
            *code = ret;
        std::vector<std::string> out;
        for (const RvDbViewPtr& v : views)
            out.push_back(std::to_string(v->tbl_id) + "." + std::to_string(v->view_id));
        return out;
    }

    static RvSuiteDatabase db;
    static std::string error;
    CdDBConnection_PG conn{1, 0};
};

RvSuiteDatabase ListPageReaders::db;
std::string ListPageReaders::error;

TEST_F(ListPageReaders, ViewListsPagingAndCount)
{
    struct Case {
        const char* tbl;
        const char* defflg;
        const char* limit;
        const char* offset;
        std::vector<std::string> ids;
    };
    const Case cases[] = {
        {"1", nullptr, nullptr, nullptr, {"1.2", "1.3", "1.1"}},
        {"1", "1", "", "", {"1.2", "1.1"}},
        {"1", nullptr, "2", "1", {"1.3", "1.1"}},
        {nullptr, "1", nullptr, nullptr, {"1.2", "1.1"}},
        {"", nullptr, nullptr, "4", {"3.1"}},
        {"4", nullptr, nullptr, nullptr, {}},
        // Kept as they are: a limit without a positive number reads no rows.
        {"1", nullptr, "abc", nullptr, {}},
        {"1", nullptr, "0", nullptr, {}},
    };
    for (const Case& c : cases) {
        int code = 1;
        EXPECT_EQ(c.ids, viewIds(c.tbl, c.defflg, c.limit, c.offset, &code))
            << (c.tbl ? c.tbl : "-") << " " << (c.limit ? c.limit : "-");
        EXPECT_EQ(0, code);
    }
    int code = 0;
    viewIds("1' or '1'='1", nullptr, nullptr, nullptr, &code);
    EXPECT_EQ(-1050, code);  // escaped, so the server sees a bad integer

    NString count;
    EXPECT_EQ(0, rvappGetDbViewCount(&conn, count, "1"));
    EXPECT_EQ("3", str(count));
    EXPECT_EQ(-100001, rvappGetDbViewCount(&conn, count, ""));
}

TEST_F(ListPageReaders, OneViewDefaultViewAndConversions)
{
    RvDbView view;
    ASSERT_EQ(0, rvappGetDbView(&conn, "1", 1, view));
    EXPECT_EQ(1, view.tbl_id);
    EXPECT_EQ("標準ビュー", str(view.view_name));
    EXPECT_EQ(3, view.seqno);
    EXPECT_EQ(2, view.d_layout_id);
    EXPECT_EQ("5", str(view.l_sort1_col_id));
    EXPECT_EQ('d', view.l_sort1_order);
    EXPECT_EQ('a', view.l_sort2_order);
    EXPECT_EQ("", str(view.l_sort3_col_id));
    EXPECT_EQ(20, view.rows_per_page);
    EXPECT_EQ("1", str(view.defflg));

    // NULL reads as 0, NUL or empty text.
    ASSERT_EQ(0, rvappGetDbView(&conn, "1", 3, view));
    EXPECT_EQ(0, view.l_layout_id);
    EXPECT_EQ(0, view.i_layout_id);
    EXPECT_EQ(0, view.rows_per_page);
    EXPECT_EQ(0, view.l_sort1_order);
    EXPECT_EQ('0', view.dispflg);

    RvDbView kept;
    kept.view_name = NString("元のまま");
    EXPECT_EQ(-100010, rvappGetDbView(&conn, "1", 9, kept));
    EXPECT_EQ("元のまま", str(kept.view_name));
    EXPECT_EQ(-100001, rvappGetDbView(&conn, nullptr, 1, kept));

    struct Case {
        const char* tbl;
        int code;
        int viewId;
    };
    const Case defaults[] = {
        {"1", 0, 2},           // lowest seqno of the two default views; its empty direction reads as NUL
        {nullptr, 0, 2},       // the first default view of the lowest table id
        {"2", 0, -1},          // no default view: view -1
        {"3", -100010, 0},     // neither
        {"4", -100010, 0},     // no views at all
    };
    for (const Case& c : defaults) {
        RvDbView v;
        EXPECT_EQ(c.code, rvappGetDbDefaultView(&conn, c.tbl, v)) << (c.tbl ? c.tbl : "-");
        if (c.code == 0) {
            EXPECT_EQ(c.viewId, v.view_id) << (c.tbl ? c.tbl : "-");
        }
    }
    RvDbView def;
    ASSERT_EQ(0, rvappGetDbDefaultView(&conn, "1", def));
    EXPECT_EQ("13", str(def.l_sort1_col_id));
    EXPECT_EQ(0, def.l_sort1_order);

    // A result without dispflg fails at the first row, the view kept.
    conn.setSql("select tbl_id, view_id from rv_view where tbl_id=1 order by view_id");
    CdDBResultHandle result = conn.execute();
    std::vector<RvDbViewPtr> views;
    EXPECT_EQ(-1008, rvappFetchDbViewRows(result, views));
    ASSERT_EQ(1u, views.size());
    EXPECT_EQ(1, views[0]->view_id);
}

std::string describeRows(const std::vector<RvDbLayoutRowPtr>& rows)
{
    std::string out;
    for (const RvDbLayoutRowPtr& r : rows) {
        out += std::to_string(r->layout_row_id) + ":";
        for (const RvDbLayoutColPtr& c : r->columns)
            out += " " + std::to_string(c->layout_col_id) + "=" + str(c->layout_item_id);
        out += ";";
    }
    return out;
}

TEST_F(ListPageReaders, LayoutRowsAndColumns)
{
    RvDbLayout layout;
    ASSERT_EQ(0, rvappGetDbLayout(&conn, "1", 2, layout));
    EXPECT_EQ(2, layout.layout_id);
    EXPECT_EQ('d', layout.layout_type);
    EXPECT_EQ("2", str(layout.layout_table_cols));
    EXPECT_EQ(-1013, rvappGetDbLayout(&conn, "1", 99, layout));
    EXPECT_EQ(-100001, rvappGetDbLayout(&conn, "1 or 1=1", 2, layout));
    EXPECT_EQ(-100001, rvappGetDbLayout(&conn, "", 2, layout));

    std::vector<RvDbLayoutRowPtr> rows;
    ASSERT_EQ(0, rvappGetDbLayoutRowPtrArray(&conn, "1", 1, true, rows));
    // seqno order; columns by id; the stored column of row 7 is ignored.
    EXPECT_EQ("1: 0=i5 1=i1;0: 0=i7 1=i9 2=isys;2:;", describeRows(rows));
    EXPECT_EQ(2, rows[0]->layout_cols);

    std::vector<RvDbLayoutRowPtr> detail;
    ASSERT_EQ(0, rvappGetDbLayoutRowPtrArray(&conn, "1", 2, false, detail));
    ASSERT_EQ(2u, detail.size());
    EXPECT_EQ("3", str(detail[0]->layout_row_height));
    EXPECT_EQ('e', detail[0]->layout_row_type);
    EXPECT_EQ("", str(detail[1]->layout_row_height));

    // Read again into the same vector: stored columns go to the first row
    // of each id only.
    ASSERT_EQ(0, rvappGetDbLayoutRowPtrArray(&conn, "1", 1, true, rows));
    EXPECT_EQ("1: 0=i5 1=i1 0=i5 1=i1;0: 0=i7 1=i9 2=isys 0=i7 1=i9 2=isys;2:;1:;0:;2:;", describeRows(rows));

    // No rows: no statement (this connection is not even connected).
    CdDBConnection_PG idle(1, 0);
    std::vector<RvDbLayoutRowPtr> none;
    EXPECT_EQ(0, rvappGetDbLayoutColPtrArray(&idle, "1", 1, none));
    EXPECT_EQ(-100001, rvappGetDbLayoutRowPtrArray(&conn, nullptr, 1, true, none));
}

TEST_F(ListPageReaders, ItemsAndFormatDefaultsOnlyForEmptyValues)
{
    std::vector<RvDbLayoutItemPtr> items;
    ASSERT_EQ(0, rvappGetDbLayoutItemPtrArray(&conn, "1", items));
    EXPECT_EQ(7u, items.size());
    std::vector<std::string> fields;  // each column in its own field
    for (const char* id : {"i5", "irel"})
        for (const RvDbLayoutItemPtr& i : items)
            if (str(i->layout_item_id) == id)
                fields.push_back(std::string(1, i->layout_item_type) + "|" + str(i->col_id) + "|" +
                                 str(i->rel_tbl_id) + "|" + str(i->rel_col_id));
    EXPECT_THAT(fields, ElementsAre("0|5||", "1|1|3|2"));

    RvDbLayoutItem item;
    item.layout_item_id = NString("irel");
    ASSERT_EQ(0, rvappGetDbLayoutItem(&conn, "1", "irel", item));
    EXPECT_EQ('1', item.layout_item_type);
    EXPECT_EQ("3", str(item.rel_tbl_id));
    EXPECT_EQ("irel", str(item.layout_item_id));
    RvDbLayoutItem untouched;
    untouched.col_id = NString("keep");
    EXPECT_EQ(-1013, rvappGetDbLayoutItem(&conn, "1", "inone", untouched));
    EXPECT_EQ(-100001, rvappGetDbLayoutItem(&conn, "1", "", untouched));
    EXPECT_EQ("keep", str(untouched.col_id));

    std::vector<RvDbLayoutItemFormatPtr> formats;
    ASSERT_EQ(0, rvappGetDbLayoutFormatPtrArray(&conn, "1", 1, formats));
    ASSERT_EQ(4u, formats.size());
    const RvDbLayoutItemFormat& full = *formats[0];
    EXPECT_EQ("i1", str(full.layout_item_id));
    EXPECT_EQ("120", str(full.width));
    EXPECT_EQ("navy", str(full.t.bgcolor));  // not checked
    EXPECT_EQ('l', full.t.align);
    EXPECT_EQ(5, full.t.fontsize);
    EXPECT_EQ(2, full.t.fontstyle);
    EXPECT_EQ('c', full.d.align);
    EXPECT_EQ(3, full.d.fontstyle);
    EXPECT_EQ("関連タイトル", str(full.rel_title));
    EXPECT_EQ(7, full.rel_view_id);
    EXPECT_EQ("480", str(full.img_height));

    const RvDbLayoutItemFormat& empty = *formats[1];
    EXPECT_EQ("i5", str(empty.layout_item_id));
    EXPECT_EQ("100", str(empty.width));
    EXPECT_EQ("EEF2FF", str(empty.t.bgcolor));
    EXPECT_EQ('c', empty.t.align);
    EXPECT_EQ('m', empty.t.valign);
    EXPECT_EQ(3, empty.t.fontsize);
    EXPECT_EQ("333333", str(empty.t.fontcolor));
    EXPECT_EQ(1, empty.t.fontstyle);
    EXPECT_EQ("FFFFFF", str(empty.d.bgcolor));
    EXPECT_EQ('l', empty.d.align);  // a number column, still 'l'
    EXPECT_EQ('t', empty.d.valign);
    EXPECT_EQ(3, empty.d.fontsize);
    EXPECT_EQ("333333", str(empty.d.fontcolor));
    EXPECT_EQ(0, empty.d.fontstyle);
    EXPECT_EQ(0, empty.rel_view_id);
    EXPECT_EQ("", str(empty.img_width));
}

TEST_F(ListPageReaders, ColumnsInLayoutOrder)
{
    std::vector<std::string> rest = {"-1", "2", "3", "4", "6", "7", "8", "9", "10", "11", "12",
                                     "13", "14", "15", "-2", "-3", "-4", "-5"};
    std::vector<std::string> expected = {"5", "1"};
    expected.insert(expected.end(), rest.begin(), rest.end());
    // Layout 3's first row also names i1 twice, an item whose column is gone
    // and an item that does not exist.
    for (int layoutId : {1, 3}) {
        std::vector<RvdbColumnSetPtr> out;
        out.push_back(RvdbColumnSetPtr(new RvdbColumnSet()));  // emptied first
        ASSERT_EQ(0, rvappGetAllDbLayoutItemPtrArray(&conn, "1", layoutId, out));
        std::vector<std::string> ids;
        for (const RvdbColumnSetPtr& s : out)
            ids.push_back(str(s->getColId()));
        EXPECT_EQ(expected, ids) << layoutId;
    }
    std::vector<RvdbColumnSetPtr> out;
    EXPECT_EQ(-330007, rvappGetAllDbLayoutItemPtrArray(&conn, "1", 99, out));
    EXPECT_TRUE(out.empty());
}

std::string describeFilters(const std::vector<RvDbSearchFilterPtr>& filters)
{
    std::string out;
    for (const RvDbSearchFilterPtr& f : filters) {
        out += "[" + str(f->filter_id) + " " + str(f->filter_name) + " " +
               (f->condition ? std::string(1, f->condition) : std::string("NUL")) + " " +
               std::to_string(f->seqno) + ":";
        for (const RvDbSearchCondition& c : f->conditions)
            out += " " + std::to_string(c.cond_id) + "/" + str(c.col_id) + "/" + std::to_string(c.comp_val_type);
        out += "]";
    }
    return out;
}

TEST_F(ListPageReaders, FiltersOfTablesAndViews)
{
    struct Case {
        const char* tbl;
        const char* view;
        bool withConditions;
        int code;
        const char* filters;
    };
    const Case cases[] = {
        {"1", nullptr, true, 0,
         "[2 全項目検索 | 1: 1/*/1 2/*/0][1 金額で絞込 & 2: 1/5/101 2/1/1][3 条件なし & 3:][4 削除済み列 & 4: 1/99/1]"},
        {"1", "", false, 0, "[2 全項目検索 | 1:][1 金額で絞込 & 2:][3 条件なし & 3:][4 削除済み列 & 4:]"},
        // Kept as they are: the dangling link to filter 9 gives a filter with
        // an empty id, which gets the conditions of filter id 0.
        {"1", "1", true, 0, "[2 全項目検索 | 1: 1/*/1 2/*/0][1 金額で絞込 & 2: 1/5/101 2/1/1][  NUL 0: 1/3/1]"},
        {"1", "2", false, 0, "[2 全項目検索 | 1:]"},
        {"1", "3", true, 0, ""},
        {"1", "2 ", false, 0, "[2 全項目検索 | 1:]"},
        {"1", " 2", false, -100001, ""},
        // Ids stand unquoted in the statement: only integers pass.
        {"1", "abc", false, -100001, ""},
        {"1", "1 or 1=1", false, -100001, ""},
        {"1) or (1=1", nullptr, false, -100001, ""},
        {"", nullptr, false, -100001, ""},
    };
    for (const Case& c : cases) {
        std::vector<RvDbSearchFilterPtr> filters;
        EXPECT_EQ(c.code, rvappGetDbFilterPtrArray(&conn, c.tbl, c.withConditions, filters, c.view))
            << c.tbl << " " << (c.view ? c.view : "-");
        EXPECT_EQ(c.filters, describeFilters(filters)) << c.tbl << " " << (c.view ? c.view : "-");
    }
    std::vector<RvDbSearchCondition> conds;
    EXPECT_EQ(0, rvappGetDbSerchConditionPtrArray(&conn, "1", 1, conds));
    ASSERT_EQ(2u, conds.size());
    EXPECT_EQ("山田", str(conds[1].comp_val));
    EXPECT_EQ("Like", str(conds[1].comp_type));
    EXPECT_FALSE(conds[1].is_new);
    EXPECT_EQ(-100001, rvappGetDbSerchConditionPtrArray(&conn, nullptr, 1, conds));
}

RvDbSearchFilterPtr makeFilter(const char* id, std::vector<const char*> cols)
{
    RvDbSearchFilterPtr f(new RvDbSearchFilter());
    f->filter_id = NString(id);
    f->condition = '&';
    f->flag = 1;
    for (const char* c : cols) {
        RvDbSearchCondition cond;
        cond.col_id = NString(c);
        f->conditions.push_back(cond);
    }
    return f;
}

TEST(ListPageSupplement, KeepsFiltersTheUserMayApply)
{
    std::vector<RvdbColumnSetPtr> cols = {rvtest::makeSet("1", "5", "number"),
                                          rvtest::makeSet("1", "13", "user", nullptr, false),
                                          rvtest::makeSet("1", "1", "text")};
    std::vector<RvDbSearchFilterPtr> in = {makeFilter("1", {"*", "*"}), makeFilter("2", {}),
                                           makeFilter("3", {"5", "13"}), makeFilter("4", {"5", "1"})};
    std::vector<RvDbSearchFilterPtr> out;
    ASSERT_EQ(0, rvappSupplementSearchFilter(cols, in, out));
    ASSERT_EQ(2u, out.size());
    EXPECT_EQ("1", str(out[0]->filter_id));
    EXPECT_EQ("4", str(out[1]->filter_id));
    EXPECT_EQ(1, out[1]->flag);
    EXPECT_NE(in[3].get(), out[1].get());
    out[1]->conditions[0].col_id = NString("*");
    EXPECT_EQ("5", str(in[3]->conditions[0].col_id));

    // A column the table does not have stops the whole supplement.
    in.insert(in.begin() + 1, makeFilter("5", {"99"}));
    out.clear();
    EXPECT_EQ(-100025, rvappSupplementSearchFilter(cols, in, out));
    ASSERT_EQ(1u, out.size());
    EXPECT_EQ("1", str(out[0]->filter_id));
}

TEST_F(ListPageReaders, TotalsByTableAndId)
{
    struct Case {
        const char* tbl;
        const char* total;
        const char* limit;
        const char* offset;
        int code;
        std::vector<std::string> ids;
    };
    const Case cases[] = {
        {"1", nullptr, nullptr, nullptr, 0, {"1.2", "1.1"}},
        {nullptr, nullptr, nullptr, nullptr, 0, {"1.2", "1.1", "2.1"}},
        {"", "1", "", "", 0, {"1.1", "2.1"}},
        {"1", "1", nullptr, nullptr, 0, {"1.1"}},
        {"1 ", nullptr, "1", nullptr, 0, {"1.2"}},
        {nullptr, nullptr, "1", "2", 0, {"2.1"}},
        // Kept as they are: a limit without a positive number reads no rows.
        {"1", nullptr, "x", nullptr, 0, {}},
        {"1", nullptr, "0", nullptr, 0, {}},
        {"1a", nullptr, nullptr, nullptr, -100001, {}},
        {nullptr, "1 or 1=1", nullptr, nullptr, -100001, {}},
        {"1'", nullptr, nullptr, nullptr, -100001, {}},
    };
    for (const Case& c : cases) {
        std::vector<RvdbTotalPtr> totals;
        EXPECT_EQ(c.code, rvdbTotal(&conn, totals, c.tbl, c.total, c.limit, c.offset)) << (c.tbl ? c.tbl : "-");
        std::vector<std::string> ids;
        for (const RvdbTotalPtr& t : totals)
            ids.push_back(str(t->tbl_id) + "." + str(t->total_id));
        EXPECT_EQ(c.ids, ids) << (c.tbl ? c.tbl : "-") << " " << (c.total ? c.total : "-");
    }
    std::vector<RvdbTotalPtr> totals;
    ASSERT_EQ(0, rvdbTotal(&conn, totals, "1", nullptr, nullptr, nullptr));
    EXPECT_EQ("担当者別件数", str(totals[0]->total_name));
    EXPECT_EQ("", str(totals[0]->crosstab));
    EXPECT_EQ("1", str(totals[0]->seqno));
    const RvdbTotal& t = *totals[1];
    EXPECT_EQ("sum|5|d|7|m|a|1|13||5|2", str(t.tval_type) + "|" + str(t.tval_col_id) + "|" + str(t.tval_sorder) +
                                             "|" + str(t.sub1_col_id) + "|" + str(t.sub1_opt) + "|" +
                                             str(t.sub1_sorder) + "|" + str(t.crosstab) + "|" +
                                             str(t.crosstab_col_id) + "|" + str(t.crosstab_opt) + "|" +
                                             str(t.sort_col) + "|" + str(t.seqno));
}

// The shared row loop hands each row's values in the order of the names,
// whatever the select order, and stops at a column the result lacks.
TEST_F(ListPageReaders, RowLoopValuesByName)
{
    struct Case {
        const char* sql;
        int code;
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        {"select 'b1' as b, 'a1' as a union all select 'b2', 'a2' order by 1", 0, {"a1|b1", "a2|b2"}},
        {"select 'x' as a, 'y' as b where false", 0, {}},
        {"select 'a1' as a", CDDB_ERR_VALUE, {}},
    };
    static const char* const NAMES[] = {"a", "b"};
    for (const Case& c : cases) {
        CdDBResultHandle result;
        ASSERT_EQ(0, RVLIST_RUN(&conn, c.sql, result)) << c.sql;
        std::vector<std::string> rows;
        int ret = RVLIST_FETCH(*result, NAMES, 2, [&rows](const NString* v) {
            rows.push_back(str(v[0]) + "|" + str(v[1]));
        });
        EXPECT_EQ(c.code, ret) << c.sql;
        EXPECT_EQ(c.rows, rows) << c.sql;
    }
}

}  // namespace
