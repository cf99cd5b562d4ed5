#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "RvDbLayout.h"
#include "RvDbLayoutCol.h"
#include "RvDbLayoutItem.h"
#include "RvDbLayoutItemFormat.h"
#include "RvDbLayoutRow.h"
#include "RvDbOperatorDbLayout.h"
#include "RvDbOperatorDbView.h"
#include "RvDbSearchCondition.h"
#include "RvDbSearchFilter.h"
#include "RvDbView.h"
#include "cddbconnection_pg.h"
#include "pgtest.h"
#include "rvappCheckLayoutFormat.h"
#include "rvlocaltext.h"
#include "rvschema.h"
#include "rvsuitedb.h"

namespace {

const char* const KEYS[] = {
    "view_name", "l_layout_id", "i_layout_id", "d_layout_id", "l_sort1_order", "l_sort3_order",
    "rows_per_page", "dispflg", "defflg", "searchfilterid", "seqno", "condition", "searchfiltername",
    "col_id", "comp_val_type", "layout_type", "layout_table_cols", "layout_row_height", "layout_cols",
    "layout_row_type", "layout_item_type", "rel_col_id", "width", "img_width", "img_height",
    "t_bgcolor", "d_bgcolor", "t_fontcolor", "d_fontcolor", "t_fontsize", "d_fontsize", "t_fontstyle",
    "d_fontstyle", "t_align", "d_align", "t_valign", "d_valign", "rel_view_id", "layout_item_id"};

// Every key names its item "項目<key>"; every code's text shows the item.
::testing::AssertionResult loadTexts(rvtest::LocalTexts& texts)
{
    std::string local;
    for (const char* k : KEYS) {
        local += std::string(k) + "=項目" + k + "\n";
    }
    return texts.load(local.c_str(),
                      "-210001=E,%s:必須\n-210002=E,%s:最小\n-210003=E,%s:最大\n-210004=E,%s:長い\n"
                      "-210006=E,%s:不正\n-210008=E,%s:数値\n");
}

typedef std::function<RvResult(const NString&)> Check;

struct Case {
    const char* name;
    Check check;
    const char* value;  // null: no text
    int code;
    const char* key;    // item named in the message
};

std::string sixtyFourKanji(int n)
{
    std::string s;
    for (int i = 0; i < n; ++i) {
        s += "検";
    }
    return s;
}

TEST(ListPageRecords, FieldChecksGiveCodeAndItemMessage)
{
    rvtest::LocalTexts texts;
    ASSERT_TRUE(loadTexts(texts));
    static const std::string name64 = sixtyFourKanji(64);
    static const std::string name65 = sixtyFourKanji(65);
    auto sortOrder1 = [](const NString& v) { return RvDbView::checkSortOrder(v, "l_sort1_order"); };
    auto sortOrder3 = [](const NString& v) { return RvDbView::checkSortOrder(v, "l_sort3_order"); };
    auto iLayout = [](const NString& v) { return RvDbView::checkILayoutId(nullptr, "1", v); };
    auto dLayout = [](const NString& v) { return RvDbView::checkDLayoutId(nullptr, "1", v); };
    auto relColOff = [](const NString& v) { return RvDbLayoutItem::checkRelColId(v, 0); };
    auto relColOn = [](const NString& v) { return RvDbLayoutItem::checkRelColId(v, 3); };
    auto color = [](const NString& v) { return rvappCheckColorCode(v, "t_bgcolor"); };
    const Case cases[] = {
        // View
        {"view name", RvDbView::checkViewName, "標準ビュー", 0, nullptr},
        {"view name", RvDbView::checkViewName, "", -210001, "view_name"},
        {"i layout", iLayout, "-1", 0, nullptr},
        {"i layout", iLayout, "5", -210006, "i_layout_id"},
        {"i layout", iLayout, "", -210001, "i_layout_id"},
        {"d layout", dLayout, "-1 ", -210006, "d_layout_id"},
        {"d layout", dLayout, nullptr, -210001, "d_layout_id"},
        {"sort order", sortOrder1, "", 0, nullptr},
        {"sort order", sortOrder1, "d", 0, nullptr},
        {"sort order", sortOrder3, "ad", -210006, "l_sort3_order"},
        {"sort order", sortOrder1, "x", -210006, "l_sort1_order"},
        {"rows", RvDbView::checkRowsPerPage, "100", 0, nullptr},
        {"rows", RvDbView::checkRowsPerPage, "10", 0, nullptr},
        {"rows", RvDbView::checkRowsPerPage, "0", -210002, "rows_per_page"},
        {"rows", RvDbView::checkRowsPerPage, "15", -210006, "rows_per_page"},
        {"rows", RvDbView::checkRowsPerPage, "5", -210006, "rows_per_page"},
        {"rows", RvDbView::checkRowsPerPage, "110", -210003, "rows_per_page"},
        {"rows", RvDbView::checkRowsPerPage, "abc", -210008, "rows_per_page"},
        {"rows", RvDbView::checkRowsPerPage, "99999999999999999999", -210006, "rows_per_page"},
        {"rows", RvDbView::checkRowsPerPage, "", -210001, "rows_per_page"},
        {"dispflg", RvDbView::checkDispFlg, "x", 0, nullptr},
        {"dispflg", RvDbView::checkDispFlg, "", -210001, "dispflg"},
        {"defflg", RvDbView::checkDefFlg, "0", 0, nullptr},
        {"defflg", RvDbView::checkDefFlg, "x", -210006, "defflg"},
        {"defflg", RvDbView::checkDefFlg, "10", -210006, "defflg"},
        {"defflg", RvDbView::checkDefFlg, "", -210001, "defflg"},
        // Search filter
        {"filter id", RvDbSearchFilter::checkFilterId, "12", 0, nullptr},
        {"filter id", RvDbSearchFilter::checkFilterId, "0", -210002, "searchfilterid"},
        {"filter id", RvDbSearchFilter::checkFilterId, "1000000000", -210003, "searchfilterid"},
        {"filter id", RvDbSearchFilter::checkFilterId, "*new*", -210008, "searchfilterid"},
        {"filter id", RvDbSearchFilter::checkFilterId, "", -210001, "searchfilterid"},
        {"filter seqno", RvDbSearchFilter::checkSeqno, "0", 0, nullptr},
        {"filter seqno", RvDbSearchFilter::checkSeqno, "", 0, nullptr},
        {"filter seqno", RvDbSearchFilter::checkSeqno, "-1", -210002, "seqno"},
        {"condition", RvDbSearchFilter::checkCondition, "|", 0, nullptr},
        {"condition", RvDbSearchFilter::checkCondition, "&", 0, nullptr},
        {"condition", RvDbSearchFilter::checkCondition, "&&", -210006, "condition"},
        {"condition", RvDbSearchFilter::checkCondition, "", -210001, "condition"},
        {"filter name", RvDbSearchFilter::checkFilterName, name64.c_str(), 0, nullptr},
        {"filter name", RvDbSearchFilter::checkFilterName, name65.c_str(), -210004, "searchfiltername"},
        {"filter name", RvDbSearchFilter::checkFilterName, "", -210001, "searchfiltername"},
        // Search condition
        {"cond col", RvDbSearchCondition::checkColId, "*", 0, nullptr},
        {"cond col", RvDbSearchCondition::checkColId, "", -210001, "col_id"},
        {"comp val type", RvDbSearchCondition::checkCompValType, "0", 0, nullptr},
        {"comp val type", RvDbSearchCondition::checkCompValType, "128", 0, nullptr},
        {"comp val type", RvDbSearchCondition::checkCompValType, "306", 0, nullptr},
        {"comp val type", RvDbSearchCondition::checkCompValType, "113", -210006, "comp_val_type"},
        {"comp val type", RvDbSearchCondition::checkCompValType, "3", -210006, "comp_val_type"},
        {"comp val type", RvDbSearchCondition::checkCompValType, "307", -210006, "comp_val_type"},
        {"comp val type", RvDbSearchCondition::checkCompValType, "10000", -210003, "comp_val_type"},
        {"comp val type", RvDbSearchCondition::checkCompValType, "1x", -210008, "comp_val_type"},
        {"comp val type", RvDbSearchCondition::checkCompValType, "", -210001, "comp_val_type"},
        {"cond seqno", RvDbSearchCondition::checkSeqno, "", 0, nullptr},
        {"cond seqno", RvDbSearchCondition::checkSeqno, "999999999", 0, nullptr},
        {"cond seqno", RvDbSearchCondition::checkSeqno, "1000000000", -210003, "seqno"},
        // Layout, row, item
        {"layout type", RvDbLayout::checkLayoutType, "d", 0, nullptr},
        {"layout type", RvDbLayout::checkLayoutType, "l", 0, nullptr},
        {"layout type", RvDbLayout::checkLayoutType, "list", -210006, "layout_type"},
        {"layout type", RvDbLayout::checkLayoutType, "", -210001, "layout_type"},
        {"table cols", RvDbLayout::checkLayoutTableCols, "3", 0, nullptr},
        {"table cols", RvDbLayout::checkLayoutTableCols, "4", -210003, "layout_table_cols"},
        {"table cols", RvDbLayout::checkLayoutTableCols, "", -210001, "layout_table_cols"},
        {"row height", RvDbLayoutRow::checkLayoutRowHeight, "", 0, nullptr},
        {"row height", RvDbLayoutRow::checkLayoutRowHeight, "10", 0, nullptr},
        {"row height", RvDbLayoutRow::checkLayoutRowHeight, "11", -210003, "layout_row_height"},
        {"row cols", RvDbLayoutRow::checkLayoutCols, "0", -210002, "layout_cols"},
        {"row cols", RvDbLayoutRow::checkLayoutCols, "", -210001, "layout_cols"},
        {"row seqno", RvDbLayoutRow::checkSeqno, "x", -210008, "seqno"},
        {"row type", RvDbLayoutRow::checkLayoutRowType, "s", 0, nullptr},
        {"row type", RvDbLayoutRow::checkLayoutRowType, "x", -210006, "layout_row_type"},
        {"item type", RvDbLayoutItem::checkLayoutItemType, "1", 0, nullptr},
        {"item type", RvDbLayoutItem::checkLayoutItemType, "2", -210006, "layout_item_type"},
        {"item type", RvDbLayoutItem::checkLayoutItemType, "", -210001, "layout_item_type"},
        {"rel col", relColOff, "", 0, nullptr},
        {"rel col", relColOn, "4", 0, nullptr},
        {"rel col", relColOff, "4", -210001, "rel_col_id"},
        {"layout col item", RvDbLayoutCol::checkLayoutItemId, "", -210001, "layout_item_id"},
        // Item format
        {"width", RvDbLayoutItemFormat::checkWidth, "", 0, nullptr},
        {"width", RvDbLayoutItemFormat::checkWidth, "50", 0, nullptr},
        {"width", RvDbLayoutItemFormat::checkWidth, "49", -210002, "width"},
        {"img width", RvDbLayoutItemFormat::checkImgWidth, "9999", 0, nullptr},
        {"img width", RvDbLayoutItemFormat::checkImgWidth, "10000", -210003, "img_width"},
        {"img height", RvDbLayoutItemFormat::checkImgHeight, "0", -210002, "img_height"},
        {"colour", color, "EEF2FF", 0, nullptr},
        {"colour", RvDbLayoutItemFormat::checkDFontColor, "333333", 0, nullptr},
        {"colour", color, "eef2ff", -210006, "t_bgcolor"},
        {"colour", RvDbLayoutItemFormat::checkDBgColor, "EEF2F", -210006, "d_bgcolor"},
        {"colour", RvDbLayoutItemFormat::checkTFontColor, "#EEF2F", -210006, "t_fontcolor"},
        {"colour", RvDbLayoutItemFormat::checkTBgColor, "EEF2FF0", -210006, "t_bgcolor"},
        {"colour", RvDbLayoutItemFormat::checkDBgColor, "", -210001, "d_bgcolor"},
        {"align", RvDbLayoutItemFormat::checkTAlign, "c", 0, nullptr},
        {"align", RvDbLayoutItemFormat::checkDAlign, "center", -210006, "d_align"},
        {"align", RvDbLayoutItemFormat::checkTAlign, "", -210001, "t_align"},
        {"valign", RvDbLayoutItemFormat::checkDValign, "b", 0, nullptr},
        {"valign", RvDbLayoutItemFormat::checkTValign, "c", -210006, "t_valign"},
        {"font size", RvDbLayoutItemFormat::checkTFontSize, "5", 0, nullptr},
        {"font size", RvDbLayoutItemFormat::checkDFontSize, "6", -210003, "d_fontsize"},
        {"font size", RvDbLayoutItemFormat::checkTFontSize, "0", -210002, "t_fontsize"},
        {"font size", RvDbLayoutItemFormat::checkTFontSize, "a", -210008, "t_fontsize"},
        {"font size", RvDbLayoutItemFormat::checkDFontSize, "", -210001, "d_fontsize"},
        {"font style", RvDbLayoutItemFormat::checkTFontStyle, "3", 0, nullptr},
        {"font style", RvDbLayoutItemFormat::checkDFontStyle, "4", -210006, "d_fontstyle"},
        {"font style", RvDbLayoutItemFormat::checkDFontStyle, "01", -210006, "d_fontstyle"},
    };
    for (const Case& c : cases) {
        NString value(c.value);
        RvResult r = c.check(value);
        std::string label = std::string(c.name) + " [" + (c.value ? c.value : "(null)") + "]";
        EXPECT_EQ(c.code, r.getCode()) << label;
        if (c.key) {
            EXPECT_EQ(0, std::string(r.getMessage().c_str()).rfind(std::string("項目") + c.key + ":", 0))
                << label << " " << r.getMessage().c_str();
        } else {
            EXPECT_STREQ("", r.getMessage().c_str()) << label;
        }
    }
    EXPECT_EQ(0, RvDbView::checkSeqno().getCode());
    EXPECT_EQ(0, RvDbView::checkSortColId(nullptr, "1", NString("no such column"), "l_sort1_col_id").getCode());
}

TEST(ListPageRecords, DefaultsAndCopies)
{
    RvDbView view;
    EXPECT_EQ(0, view.tbl_id);
    EXPECT_EQ(-1, view.i_layout_id);
    EXPECT_EQ(-1, view.d_layout_id);
    EXPECT_EQ(50, view.rows_per_page);
    EXPECT_EQ('1', view.dispflg);
    EXPECT_STREQ("0", view.defflg.c_str());
    EXPECT_EQ(0, view.l_sort2_order);
    EXPECT_FALSE(view.is_new);

    RvDbLayoutRow row;
    EXPECT_EQ(1, row.layout_cols);
    EXPECT_EQ('n', row.layout_row_type);
    RvDbLayoutCol col;
    EXPECT_EQ(0, col.layout_col_id);
    EXPECT_FALSE(col.is_new);

    RvDbLayoutItemFormat format;
    EXPECT_EQ('c', format.t.align);
    EXPECT_EQ('m', format.d.valign);
    EXPECT_EQ(3, format.d.fontsize);
    EXPECT_EQ(0, format.t.fontstyle);
    EXPECT_TRUE(format.t.bgcolor.isNullOrEmpty());
    RvDbLayoutFormatGroup group;
    EXPECT_EQ(0, group.align);
    EXPECT_EQ(0, group.fontsize);

    struct StoredCase {
        const char* id;
        bool stored;
    };
    const StoredCase ids[] = {{nullptr, false}, {"", false}, {"*new*", false}, {"*new", true}, {"12", true}};
    for (const StoredCase& s : ids) {
        RvDbSearchFilter f;
        f.filter_id = NString(s.id);
        EXPECT_EQ(s.stored, f.isStored()) << (s.id ? s.id : "(null)");
    }

    // A copied filter has its own conditions and keeps the flag byte.
    RvDbSearchFilter filter;
    filter.flag = 7;
    RvDbSearchCondition cond;
    cond.col_id = NString("5");
    filter.conditions.push_back(cond);
    RvDbSearchFilterPtr a = std::make_shared<RvDbSearchFilter>(filter);
    RvDbSearchFilterPtr b = a;
    EXPECT_EQ(2, a.use_count());
    RvDbSearchFilter copy(*a);
    copy.conditions[0].col_id = NString("*");
    EXPECT_STREQ("5", a->conditions[0].col_id.c_str());
    EXPECT_EQ(7, copy.flag);
    b = a;  // same record: nothing changes
    EXPECT_EQ(2, a.use_count());
    b.reset();
    EXPECT_EQ(1, a.use_count());
    EXPECT_FALSE(b);

    // Counted handles of the layout records.
    RvDbLayoutColPtr p(new RvDbLayoutCol());
    RvDbLayoutColPtr q = p;
    q = p;
    q = q;
    EXPECT_EQ(2, p.useCount());
    {
        RvDbLayoutColPtr r(q);
        r->layout_item_id = NString("i1");
        EXPECT_EQ(3, r.useCount());
    }
    p.release();
    EXPECT_FALSE(p.hasObject());
    EXPECT_EQ(0, p.useCount());
    EXPECT_EQ(1, q.useCount());
    EXPECT_STREQ("i1", q->layout_item_id.c_str());
    p = q;
    q = RvDbLayoutColPtr();
    EXPECT_EQ(1, p.useCount());
}

class ListPageRecordDb : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        db.open("t_lprecords", RvSuiteDatabase::NOTHING);
        if (db.error().empty()) {
            error = rvschemaLoadListPages(*db);
        } else {
            error = db.error();
        }
    }
    static void TearDownTestSuite() { db.close(); }
    void SetUp() override
    {
        ASSERT_EQ("", error);
        ASSERT_EQ(0, conn.connect(PGTEST_USER, PGTEST_PASSWORD, "127.0.0.1", db->name().c_str(), 10));
        ASSERT_TRUE(texts.load("l_layout_id=リストレイアウト\nrel_view_id=関連ビュー\nlayout_item_id=項目\n",
                               "-210001=E,%s:必須\n-210006=E,%s:不正\n"));
    }

    static RvSuiteDatabase db;
    static std::string error;
    CdDBConnection_PG conn{1, 0};
    rvtest::LocalTexts texts;
};

RvSuiteDatabase ListPageRecordDb::db;
std::string ListPageRecordDb::error;

TEST_F(ListPageRecordDb, ExistsQueriesTakeOnlyIntegerLayoutTableIds)
{
    struct Case {
        bool layout;
        const char* tbl;
        int id;
        int code;
        bool found;
    };
    const Case cases[] = {
        {true, "1", 1, 0, true},
        {true, "1", 5, 0, false},   // layout 5 belongs to table 2
        {true, "2", 5, 0, true},
        {true, "2 ", 5, 0, true},
        {true, "1 or 1=1", 5, -100001, false},
        {true, "1) or (1=1", 5, -100001, false},
        {true, "", 1, -100001, false},
        {true, nullptr, 1, -100001, false},
        {false, "1", 2, 0, true},
        {false, "2", -1, 0, true},
        {false, "3", 2, 0, false},
        {false, "1' or '1'='1", 2, -1050, false},  // escaped: not an integer to the server
        {false, "", 2, -100001, false},
    };
    for (const Case& c : cases) {
        bool found = false;
        int ret = c.layout ? RvDbOperatorDbLayout::exists(&conn, c.tbl, c.id, found)
                           : RvDbOperatorDbView::exists(&conn, c.tbl, c.id, found);
        EXPECT_EQ(c.code, ret) << (c.tbl ? c.tbl : "(null)") << " " << c.id;
        EXPECT_EQ(c.found, found) << (c.tbl ? c.tbl : "(null)") << " " << c.id;
    }
}

TEST_F(ListPageRecordDb, ChecksThatReadTheDatabase)
{
    struct Case {
        const char* what;
        std::function<RvResult()> check;
        int code;
        const char* message;
    };
    CdDBConnection* c = &conn;
    const Case cases[] = {
        {"own layout", [c] { return RvDbView::checkLLayoutId(c, "1", NString("2")); }, 0, ""},
        {"other table's layout", [c] { return RvDbView::checkLLayoutId(c, "1", NString("5")); }, -210006,
         "リストレイアウト:不正"},
        {"empty layout", [c] { return RvDbView::checkLLayoutId(c, "1", NString("")); }, -210001,
         "リストレイアウト:必須"},
        {"table id not an integer", [c] { return RvDbView::checkLLayoutId(c, "1 or 1=1", NString("5")); },
         -100001, nullptr},
        {"view 0", [c] { return RvDbLayoutItemFormat::checkRelViewId(c, "1", NString("i1"), NString("0")); }, 0,
         ""},
        {"no view", [c] { return RvDbLayoutItemFormat::checkRelViewId(c, "1", NString("i1"), NString()); }, 0, ""},
        {"related view", [c] { return RvDbLayoutItemFormat::checkRelViewId(c, "1", NString("irel"), NString("1")); },
         0, ""},
        {"missing related view",
         [c] { return RvDbLayoutItemFormat::checkRelViewId(c, "1", NString("irel"), NString("2")); }, -210006,
         "関連ビュー:不正"},
        {"item of the table",
         [c] { return RvDbLayoutItemFormat::checkRelViewId(c, "1", NString("i1"), NString("1")); }, -210006,
         "項目:不正"},
        {"missing item",
         [c] { return RvDbLayoutItemFormat::checkRelViewId(c, "1", NString("inone"), NString("1")); }, -210006,
         "項目:不正"},
    };
    for (const Case& k : cases) {
        RvResult r = k.check();
        EXPECT_EQ(k.code, r.getCode()) << k.what;
        if (k.message) {
            EXPECT_STREQ(k.message, r.getMessage().c_str()) << k.what;
        }
    }
}

}  // namespace
