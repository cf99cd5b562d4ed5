#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "RvDbLayout.h"
#include "RvDbOperator.h"
#include "RvDbOperatorDbLayout.h"
#include "RvDbOperatorDbLayoutCol.h"
#include "RvDbOperatorDbLayoutRow.h"
#include "RvDbOperatorDbView.h"
#include "RvDbView.h"
#include "rvsqltest.h"
#include "writer_testdb.h"

namespace {

TEST(WriterBuilders, ListsAndLiterals)
{
    rvtest::EncoderOnlyConnection enc;
    NStringBuffer names(RvDbOperator::LIST_SIZE), values(RvDbOperator::LIST_SIZE), set(RvDbOperator::LIST_SIZE);
    NString sql, blank, zero("0");
    RvDbOperator::charToText(blank, ' ');
    EXPECT_EQ(0, RvDbOperator::addInsertItemEscaped(&enc.encoder, "tbl_id", NString("12"), names, values));
    EXPECT_EQ(0, RvDbOperator::addInsertItemInt("layout_id", 3, names, values));
    EXPECT_EQ(0, RvDbOperator::addInsertItemEscaped(&enc.encoder, "layout_type", NString("d"), names, values));
    EXPECT_EQ(0, RvDbOperator::makeInsertSql(sql, "rv_layout", names, values));
    EXPECT_STREQ("insert into rv_layout (tbl_id,layout_id,layout_type) values('12',3,'d')", sql.c_str());
    EXPECT_EQ(-100001, RvDbOperator::makeInsertSql(sql, "", names, values));

    EXPECT_EQ(0, RvDbOperator::addSetItemEscaped(&enc.encoder, "layout_table_cols", NString(""), set));
    EXPECT_EQ(0, RvDbOperator::addSetItem("a", zero, set, true));
    EXPECT_EQ(0, RvDbOperator::addSetItem("b", zero, set, false));
    EXPECT_EQ(0, RvDbOperator::addSetItemEscaped(&enc.encoder, "c", blank, set));
    EXPECT_EQ(0, RvDbOperator::addSetItemEscaped(&enc.encoder, "d", NString("山田's"), set));
    EXPECT_EQ(-100001, RvDbOperator::addSetItem("", zero, set, true));
    EXPECT_EQ(-100001, RvDbOperator::addInsertItem(nullptr, zero, names, values, true));
    EXPECT_STREQ("layout_table_cols=null,a='0',b=0,c=null,d='山田''s'", set.c_str());
    EXPECT_STREQ("tbl_id,layout_id,layout_type", names.c_str());
}

class Writers : public rvtest::WriterDb {
protected:
    static void SetUpTestSuite() { openDb("t_writer_defs"); }

    // The first statement sent that starts with prefix.
    std::string sent(const std::string& prefix)
    {
        for (const std::string& s : conn.sqls)
            if (s.compare(0, prefix.size(), prefix) == 0)
                return s;
        return "";
    }
    void exec(const char* sql) { ASSERT_NE(0u, rows(sql).rfind("ERR", 0)) << sql; }
};

RvDbLayoutColPtr col(int id, const char* item, bool isNew)
{
    RvDbLayoutColPtr c(new RvDbLayoutCol());
    c->layout_col_id = id;
    c->layout_item_id = NString(item);
    c->is_new = isNew;
    return c;
}

RvDbLayoutRowPtr row(int id, bool isNew, int seqno, std::vector<RvDbLayoutColPtr> cols = {})
{
    RvDbLayoutRowPtr r(new RvDbLayoutRow());
    r->layout_row_id = id;
    r->is_new = isNew;
    r->seqno = seqno;
    r->columns = cols;
    return r;
}

TEST_F(Writers, ViewStatementsChecksAndStoredRows)
{
    int seq = 0;
    EXPECT_EQ(0, RvDbOperatorDbView::nextSeqno(&conn, "1", seq));
    EXPECT_EQ(4, seq);
    EXPECT_EQ(0, RvDbOperatorDbView::nextSeqno(&conn, "4", seq));
    EXPECT_EQ(1, seq);

    RvDbView v;
    v.view_name = NString("O'Neilの一覧");
    v.seqno = 4;
    v.l_layout_id = 3;
    v.l_sort1_col_id = NString("5");
    v.l_sort1_order = 'a';
    v.rows_per_page = 20;
    int id = 9;
    ASSERT_EQ(0, RvDbOperatorDbView::insertRecord(&conn, "1", v, &id).getCode());
    EXPECT_EQ("insert into rv_view (tbl_id,view_id,view_name,seqno,l_layout_id,i_layout_id,d_layout_id,"
              "l_sort1_col_id,l_sort1_order,l_sort2_col_id,l_sort2_order,l_sort3_col_id,l_sort3_order,"
              "rows_per_page,dispflg,defflg) values('1',9,'O''Neilの一覧',4,3,-1,-1,5,'a',null,null,null,null,"
              "20,'1','0')",
              sent("insert into rv_view"));
    EXPECT_EQ("O'Neilの一覧|4|3|5|a|NULL", rows("select view_name,seqno,l_layout_id,l_sort1_col_id,l_sort1_order,"
                                               "l_sort2_order from rv_view where tbl_id=1 and view_id=9"));

    NString sales("Sales"), twenty("20");
    conn.sqls.clear();
    EXPECT_EQ(0, RvDbOperatorDbView::update(&conn, "1", 2, &sales, nullptr, nullptr, nullptr, nullptr, nullptr,
                                            nullptr, nullptr, nullptr, nullptr, nullptr, &twenty, nullptr, nullptr)
                     .getCode());
    EXPECT_EQ("update rv_view set view_name='Sales',rows_per_page=20 where tbl_id='1' and view_id=2",
              sent("update rv_view"));

    // One field of view 2 at a time: the code, then the stored values.
    struct Case {
        const char* column;
        const char* value;
        int code;
        const char* stored;
    };
    const Case cases[] = {
        {"seqno", "1 or 1=1", -210008, "1"},
        {"seqno", "", 0, "NULL"},
        {"l_layout_id", "3abc", 0, "3"},    // written as the checked number
        {"l_sort1_col_id", "99", -320042, "13"},
        {"l_sort2_col_id", "-3", 0, "-3"},
        {"view_name", "標準ビュー", -320031, "Sales"},  // view 1's name
        {"dispflg", "'", 0, "'"},
        {"seqno", "2147483647", 0, "2147483647"},  // the largest; no next one
    };
    for (const Case& c : cases) {
        NString value(c.value);
        const NString* f[14] = {};
        const char* const cols[14] = {"view_name", "seqno", "l_layout_id", "i_layout_id", "d_layout_id",
                                      "l_sort1_col_id", "l_sort1_order", "l_sort2_col_id", "l_sort2_order",
                                      "l_sort3_col_id", "l_sort3_order", "rows_per_page", "dispflg", "defflg"};
        for (int i = 0; i < 14; ++i)
            if (std::string(cols[i]) == c.column)
                f[i] = &value;
        RvResult r = RvDbOperatorDbView::update(&conn, "1", 2, f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7],
                                                f[8], f[9], f[10], f[11], f[12], f[13]);
        EXPECT_EQ(c.code, r.getCode()) << c.column << " " << c.value;
        EXPECT_EQ(c.stored, rows(std::string("select ") + c.column + " from rv_view where tbl_id=1 and view_id=2"))
            << c.column;
    }
    EXPECT_EQ(-210003, RvDbOperatorDbView::nextSeqno(&conn, "1", seq));
    NString ownName("標準ビュー");
    int one = 1;
    EXPECT_EQ(0, RvDbOperatorDbView::checkViewNameUnique(&conn, "1", ownName, &one));

    // save: a new view takes the next "VIEW" id (counter 3); a stored view
    // whose row is gone fails.
    v.is_new = true;
    v.view_name = NString("新規");
    int newId = 0;
    ASSERT_EQ(0, RvDbOperatorDbView::save(&conn, "1", v, newId).getCode());
    EXPECT_EQ(4, newId);
    EXPECT_EQ("新規", rows("select view_name from rv_view where tbl_id=1 and view_id=4"));
    EXPECT_EQ("4", rows("select last_id from rv_tbl_last_id where tbl_id=1 and cname='VIEW'"));

    EXPECT_EQ(-100001, RvDbOperatorDbView::deleteViews(&conn, "1", "1) or (1=1"));
    EXPECT_EQ(-100001, RvDbOperatorDbView::deleteViews(&conn, "1", "1,,3"));
    EXPECT_EQ(0, RvDbOperatorDbView::deleteViews(&conn, "1", "1, 3"));
    EXPECT_EQ("2;4;9", rows("select view_id from rv_view where tbl_id=1 order by view_id"));
    v.is_new = false;
    v.view_id = 3;
    EXPECT_EQ(-100016, RvDbOperatorDbView::save(&conn, "1", v, newId).getCode());
}

TEST_F(Writers, LayoutSaveKeepsTableColsRules)
{
    RvDbLayout l;
    l.is_new = true;
    l.layout_type = 'l';
    l.layout_table_cols = NString("2");
    l.rows = {row(9, true, 1, {col(0, "i1", true)}), row(9, true, 2), row(0, true, 3)};
    int id = 0;
    ASSERT_EQ(0, RvDbOperatorDbLayout::save(&conn, "1", l, id, RvDbSaveOptions(true, false, false),
                                            RvDbSaveOptions()).getCode());
    EXPECT_EQ(4, id);
    EXPECT_EQ("l|NULL", rows("select layout_type, layout_table_cols from rv_layout where tbl_id=1 and layout_id=4"));
    EXPECT_EQ("0|1;1|2;2|3", rows("select layout_row_id, seqno from rv_layout_row where tbl_id=1 and layout_id=4 "
                                  "order by 1"));
    EXPECT_EQ("0", rows("select count(*) from rv_layout_col where tbl_id=1 and layout_id=4"));
    ASSERT_EQ(0, RvDbOperatorDbLayout::save(&conn, "1", l, id, RvDbSaveOptions(true, false, false),
                                            RvDbSaveOptions(true, false, false)).getCode());
    EXPECT_EQ("0|0|i1", rows("select layout_row_id, layout_col_id, layout_item_id from rv_layout_col "
                             "where tbl_id=1 and layout_id=5"));

    // A detail layout needs its grid columns; the counter has moved on.
    l.layout_type = 'd';
    l.layout_table_cols = NString("");
    EXPECT_EQ(-210001, RvDbOperatorDbLayout::save(&conn, "1", l, id, RvDbSaveOptions(), RvDbSaveOptions()).getCode());
    EXPECT_EQ("6|0", rows("select last_id, (select count(*) from rv_layout where tbl_id=1 and layout_id=6) "
                          "from rv_tbl_last_id where tbl_id=1 and cname='LAYOUTID'"));
    l.layout_type = ' ';
    EXPECT_EQ(-210001, RvDbOperatorDbLayout::insert(&conn, "1", l, nullptr, false, false).getCode());
    l.layout_type = 'l';
    conn.sqls.clear();
    EXPECT_EQ(0, RvDbOperatorDbLayout::insertFields(&conn, "1", 7, NString("l"), NString("")).getCode());
    EXPECT_EQ("insert into rv_layout (tbl_id,layout_id,layout_type) values('1',7,'l')", sent("insert"));

    // Without a type nothing is set; to 'l' the grid columns become null.
    conn.sqls.clear();
    EXPECT_EQ(0, RvDbOperatorDbLayout::updateFields(&conn, "1", 2, nullptr, NString("")).getCode());
    EXPECT_TRUE(conn.sqls.empty());
    EXPECT_EQ("d|2", rows("select layout_type, layout_table_cols from rv_layout where tbl_id=1 and layout_id=2"));
    l.is_new = false;
    l.layout_id = 2;
    l.rows.clear();
    ASSERT_EQ(0, RvDbOperatorDbLayout::save(&conn, "1", l, id, RvDbSaveOptions(), RvDbSaveOptions()).getCode());
    EXPECT_EQ("l|NULL", rows("select layout_type, layout_table_cols from rv_layout where tbl_id=1 and layout_id=2"));

    l.layout_id = 42;
    EXPECT_EQ(-100016, RvDbOperatorDbLayout::save(&conn, "1", l, id, RvDbSaveOptions(), RvDbSaveOptions()).getCode());
    EXPECT_EQ(-100001, RvDbOperatorDbLayout::deleteLayout(&conn, "1 or 1=1", 2));
    EXPECT_EQ(-100001, RvDbOperatorDbLayout::updateFields(&conn, "1)", 2, nullptr, NString("")).getCode());
    EXPECT_EQ(0, RvDbOperatorDbLayout::deleteLayout(&conn, "1", 2));
    EXPECT_EQ("1;3;4;5;7", rows("select layout_id from rv_layout where tbl_id=1 order by 1"));
}

TEST_F(Writers, RowSavesNumberDeleteAndCleanUp)
{
    exec("insert into rv_layout values (5,1,'d','2'),(5,2,'l',null)");
    exec("insert into rv_layout_row values (5,1,0,7,1,null,'n'),(5,1,1,2,1,null,'n'),(5,1,4,3,1,null,'n')");
    exec("insert into rv_layout_col values (5,1,1,0,'i1'),(5,1,4,0,'i5')");
    int seq = -1;
    EXPECT_EQ(0, RvDbOperatorDbLayoutRow::nextSeqno(&conn, "5", 1, seq));
    EXPECT_EQ(8, seq);
    EXPECT_EQ(0, RvDbOperatorDbLayoutRow::nextSeqno(&conn, "5", 2, seq));
    EXPECT_EQ(0, seq);
    // No next number past the largest int.
    exec("insert into rv_layout_row values (5,3,0,2147483647,1,null,'n')");
    EXPECT_EQ(-210003, RvDbOperatorDbLayoutRow::nextSeqno(&conn, "5", 3, seq));
    exec("delete from rv_layout_row where tbl_id=5 and layout_id=3");

    RvDbSaveOptions all(true, true, true);
    // A failing step of the stored-id reads of rows and columns fails the save.
    for (const char* read : {"select layout_row_id", "select layout_col_id"}) {
        conn.failStepOf = read;
        EXPECT_EQ(CDDB_ERR_DB, RvDbOperatorDbLayoutRow::saveAll(&conn, "5", 1, {row(4, false, 3, {col(0, "i5", false)})},
                                                                all, all).getCode()) << read;
    }
    conn.failStepOf.clear();
    EXPECT_EQ("0|7;1|2;4|3", rows("select layout_row_id, seqno from rv_layout_row where tbl_id=5 and layout_id=1 "
                                  "order by 1"));
    std::vector<RvDbLayoutRowPtr> rs = {row(0, false, 10), row(4, false, 11, {col(0, "i9", false)}),
                                        row(0, true, 12, {col(0, "i7", true)}), row(4, true, 13)};
    ASSERT_EQ(0, RvDbOperatorDbLayoutRow::saveAll(&conn, "5", 1, rs, all, all).getCode());
    EXPECT_EQ("0|10;4|11;5|12;6|13",
              rows("select layout_row_id, seqno from rv_layout_row where tbl_id=5 and layout_id=1 order by 1"));
    // Row 1's column went with it; updated row 4's column is saved.
    EXPECT_EQ("4|i9;5|i7", rows("select layout_row_id, layout_item_id from rv_layout_col where tbl_id=5 "
                                "and layout_id=1 order by 1"));

    // A row id freed by a delete comes back without the old columns.
    rs = {row(0, false, 1), row(4, false, 2)};
    ASSERT_EQ(0, RvDbOperatorDbLayoutRow::saveAll(&conn, "5", 1, rs, all, RvDbSaveOptions()).getCode());
    rs.push_back(row(0, true, 3));
    ASSERT_EQ(0, RvDbOperatorDbLayoutRow::saveAll(&conn, "5", 1, rs, all, RvDbSaveOptions()).getCode());
    EXPECT_EQ("0;4;5", rows("select layout_row_id from rv_layout_row where tbl_id=5 and layout_id=1 order by 1"));
    EXPECT_EQ("4", rows("select layout_row_id from rv_layout_col where tbl_id=5 and layout_id=1"));

    // New rows number after the rows inserted under their own ids too.
    rs = {row(0, false, 1), row(1, false, 2), row(0, true, 3)};
    ASSERT_EQ(0, RvDbOperatorDbLayoutRow::saveAll(&conn, "5", 2, rs, all, all).getCode());
    EXPECT_EQ("0;1;2", rows("select layout_row_id from rv_layout_row where tbl_id=5 and layout_id=2 order by 1"));

    // A bad height writes nothing of that row.
    RvDbLayoutRowPtr high = row(0, true, 4);
    high->layout_row_height = NString("11");
    rs = {row(0, false, 1), row(1, false, 2), row(2, false, 3), high};
    EXPECT_EQ(-210003, RvDbOperatorDbLayoutRow::saveAll(&conn, "5", 2, rs, all, all).getCode());
    EXPECT_EQ("3", rows("select count(*) from rv_layout_row where tbl_id=5 and layout_id=2"));
    EXPECT_EQ(0, RvDbOperatorDbLayoutRow::deleteRow(&conn, "5", 2, 99));

    // Rows of type 'n' without columns go, in detail layouts only.
    EXPECT_EQ(-100001, RvDbOperatorDbLayoutRow::deleteOrphanRows(&conn, "5 or 1=1"));
    EXPECT_EQ(0, RvDbOperatorDbLayoutRow::deleteOrphanRows(&conn, "5"));
    EXPECT_EQ("1|4;2|0;2|1;2|2", rows("select layout_id, layout_row_id from rv_layout_row where tbl_id=5 "
                                      "order by 1, 2"));
}

TEST_F(Writers, ColumnSavesNumberBothWays)
{
    exec("insert into rv_layout_col values (5,9,0,-2,'i1'),(5,9,0,0,'i1'),(5,9,0,3,'i1'),(5,9,1,0,'i1')");
    RvDbSaveOptions all(true, true, true);
    std::vector<RvDbLayoutColPtr> cs = {col(0, "i5", false), col(7, "i1", true), col(-5, "i7", true),
                                        col(0, "i9", true)};
    ASSERT_EQ(0, RvDbOperatorDbLayoutCol::saveAll(&conn, "5", 9, 0, cs, all).getCode());
    EXPECT_EQ("-3|i7;0|i5;4|i1;5|i9", rows("select layout_col_id, layout_item_id from rv_layout_col "
                                          "where tbl_id=5 and layout_id=9 and layout_row_id=0 order by 1"));

    // New ids keep clear of the columns inserted under their own ids.
    cs = {col(0, "i1", false), col(1, "i1", false), col(0, "i5", true), col(-1, "i1", false), col(-1, "i7", true)};
    ASSERT_EQ(0, RvDbOperatorDbLayoutCol::saveAll(&conn, "5", 9, 1, cs, all).getCode());
    EXPECT_EQ("-2|i7;-1|i1;0|i1;1|i1;2|i5", rows("select layout_col_id, layout_item_id from rv_layout_col "
                                                "where tbl_id=5 and layout_id=9 and layout_row_id=1 order by 1"));
    cs = {col(0, "i1", true), col(-1, "i1", true)};
    ASSERT_EQ(0, RvDbOperatorDbLayoutCol::saveAll(&conn, "5", 9, 2, cs, all).getCode());
    EXPECT_EQ("-1;0", rows("select layout_col_id from rv_layout_col where tbl_id=5 and layout_id=9 "
                           "and layout_row_id=2 order by 1"));

    cs = {col(0, "", true)};
    EXPECT_EQ(-210001, RvDbOperatorDbLayoutCol::saveAll(&conn, "5", 9, 3, cs, all).getCode());
    EXPECT_EQ("0", rows("select count(*) from rv_layout_col where tbl_id=5 and layout_row_id=3"));
    conn.sqls.clear();
    EXPECT_EQ(0, RvDbOperatorDbLayoutCol::updateFields(&conn, "5", 9, 0, 0, nullptr).getCode());
    EXPECT_TRUE(conn.sqls.empty());
    EXPECT_EQ(0, RvDbOperatorDbLayoutCol::deleteCols(&conn, "5", 9, 0, {-3, 42}));
    EXPECT_EQ("0;4;5", rows("select layout_col_id from rv_layout_col where tbl_id=5 and layout_id=9 "
                            "and layout_row_id=0 order by 1"));
    EXPECT_EQ(0, RvDbOperatorDbLayoutCol::deleteLayoutCols(&conn, "5", 9));
    EXPECT_EQ("0", rows("select count(*) from rv_layout_col where tbl_id=5"));
}

}  // namespace
