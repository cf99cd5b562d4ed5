#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "pgtest.h"
#include "rvdbcolumnset.h"
#include "rvdbinnercolumn.h"
#include "rvsuitedb.h"

namespace {

std::string str(const NString& s) { return s.c_str(); }

RvdbColumnSetPtr makeSet(const char* tbl, const char* col, const char* type, const char* valueType = nullptr,
                         const char* relTbl = "", const char* relKey = "")
{
    RvdbColumnSetPtr p(new RvdbColumnSet());
    p->setTblId(NString(tbl));
    p->setColId(NString(col));
    p->setColType(NString(type));
    p->setRelColType(NString(valueType ? valueType : type));
    p->setRelTblId(NString(relTbl));
    p->setRelKey(NString(relKey));
    return p;
}

std::string relText(const RvdbInnerColumnRelation& r)
{
    return str(r.localColumn) + "|" + str(r.table) + "|" + str(r.keyColumn) + "|" + str(r.valueColumn) + "|" +
           str(r.valueType);
}

TEST(RvdbInnerColumn, PlainTypes)
{
    struct Phys {
        const char* name;
        const char* sqlType;
        int selectKind;
        int searchKind;
        bool cond;
    };
    struct Case {
        const char* type;
        std::vector<Phys> cols;
    } cases[] = {
        { "key", { { "col00012", "numeric(9)", 1, 1, true } } },
        { "text", { { "col00012", "text", 1, 2, true } } },
        { "texts", { { "col00012", "text", 1, 2, true } } },
        { "mail", { { "col00012", "character varying(256)", 1, 2, true } } },
        { "url", { { "col00012", "text", 1, 2, true }, { "col00012_lbl", "character varying(256)", 1, 0, false } } },
        { "number", { { "col00012", "numeric(20,5)", 1, 1, true } } },
        { "numbercal", { { "col00012", "numeric(20,5)", 1, 1, true }, { "col00012_status", "numeric(4)", 1, 0, false } } },
        { "datetime", { { "col00012", "timestamp without time zone", 2, 3, true } } },
        { "datetimecal",
          { { "col00012", "timestamp without time zone", 2, 3, true }, { "col00012_status", "numeric(4)", 1, 0, false } } },
        { "timespan", { { "col00012", "numeric(9)", 1, 4, true } } },
        { "timespancal", { { "col00012", "numeric(9)", 1, 4, true }, { "col00012_status", "numeric(4)", 1, 0, false } } },
        { "user", { { "col00012", "character varying(256)", 1, 2, true } } },
        { "select", { { "col00012", "text", 1, 5, true } } },
        { "selects", { { "col00012", "text", 1, 6, true } } },
        { "relkey", { { "col00012", "numeric(9)", 1, 1, true } } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        RvdbColumnSetPtr s = makeSet("3", "12", c.type);
        std::vector<RvdbInnerColumn> inner;
        ASSERT_EQ(0, rvdbUpdaetColumnSetAndSchema(*s, inner));
        ASSERT_EQ(c.cols.size(), inner.size());
        for (size_t i = 0; i < inner.size(); ++i) {
            EXPECT_EQ(static_cast<int>(i), inner[i].subIndex);
            EXPECT_EQ(c.cols[i].name, str(inner[i].name));
            EXPECT_EQ(c.cols[i].sqlType, str(inner[i].sqlType));
            EXPECT_EQ(c.cols[i].selectKind, inner[i].selectKind);
            EXPECT_EQ(c.cols[i].searchKind, inner[i].searchKind);
            EXPECT_EQ(c.cols[i].cond, inner[i].answersCondValueType(0));
            EXPECT_FALSE(inner[i].isJoined());
            EXPECT_TRUE(inner[i].relations.empty());
        }
    }
}

TEST(RvdbInnerColumn, SystemColumnsUseFixedNames)
{
    RvdbColumnSetPtr key = makeSet("3", "-1", "key");
    RvdbColumnSetPtr date = makeSet("3", "-3", "datetime");
    std::vector<RvdbInnerColumn> inner;
    ASSERT_EQ(0, rvdbUpdaetColumnSetAndSchema(*key, inner));
    ASSERT_EQ(0, rvdbUpdaetColumnSetAndSchema(*date, inner));
    ASSERT_EQ(2u, inner.size());
    EXPECT_EQ("rvkey", str(inner[0].name));
    EXPECT_EQ("regist_date", str(inner[1].name));
    EXPECT_EQ(RVDB_SELECT_DATETIME, inner[1].selectKind);
}

TEST(RvdbInnerColumn, ImageAndFile)
{
    RvdbColumnSetPtr image = makeSet("3", "12", "image");
    std::vector<RvdbInnerColumn> inner;
    ASSERT_EQ(0, rvdbUpdaetColumnSetAndSchema(*image, inner));
    ASSERT_EQ(6u, inner.size());
    EXPECT_EQ("numeric(9)", str(inner[0].sqlType));
    EXPECT_TRUE(inner[0].condValueTypes.empty());
    EXPECT_EQ(0, inner[0].searchKind);
    const char* expect[5][4] = {
        { "col00012_fname", "character varying(255)", "file_name", "text" },
        { "col00012_mime", "character varying(64)", "mime_type", "text" },
        { "col00012_imgwidth", "numeric(9)", "img_width", "number" },
        { "col00012_imgheight", "numeric(9)", "img_height", "number" },
        { "col00012_fsize", "numeric(9)", "file_size", "number" },
    };
    for (int i = 0; i < 5; ++i) {
        const RvdbInnerColumn& c = inner[i + 1];
        EXPECT_EQ(i + 1, c.subIndex);
        EXPECT_EQ(expect[i][0], str(c.name));
        EXPECT_EQ(expect[i][1], str(c.sqlType));
        EXPECT_TRUE(c.isJoined());
        ASSERT_EQ(1u, c.relations.size());
        EXPECT_EQ(std::string("col00012|tbl00003_lob|content_id|") + expect[i][2] + "|" + expect[i][3],
                  relText(c.relations[0]));
        EXPECT_EQ(i == 0, c.answersCondValueType(0));
    }
    EXPECT_EQ(RVDB_SEARCH_FILENAME, inner[1].searchKind);

    RvdbColumnSetPtr file = makeSet("3", "14", "file");
    inner.clear();
    ASSERT_EQ(0, rvdbUpdaetColumnSetAndSchema(*file, inner));
    ASSERT_EQ(2u, inner.size());
    EXPECT_EQ("character(1)", str(inner[0].sqlType));
    EXPECT_EQ(RVDB_SEARCH_FILE, inner[0].searchKind);
    EXPECT_EQ("rvkey", str(inner[1].name));
    EXPECT_TRUE(inner[1].sqlType.isNullOrEmpty());
    EXPECT_TRUE(inner[1].isJoined());
    EXPECT_TRUE(inner[1].relations.empty());
}

TEST(RvdbInnerColumn, ReferenceColumns)
{
    // relref 1.17 -> text 2.1 through relation key 1.16
    RvdbColumnSetPtr ref = makeSet("1", "17", "relref", "text", "2", "16");
    ref->setRelatedSet(makeSet("2", "1", "text"));
    std::vector<RvdbInnerColumn> inner;
    ASSERT_EQ(0, rvdbUpdaetColumnSetAndSchema(*ref, inner));
    ASSERT_EQ(1u, inner.size());
    EXPECT_TRUE(inner[0].name.isNullOrEmpty());
    EXPECT_TRUE(inner[0].isJoined());
    EXPECT_EQ(RVDB_SEARCH_TEXT, inner[0].searchKind);
    ASSERT_EQ(1u, inner[0].relations.size());
    EXPECT_EQ("col00016|tbl00002|rvkey|col00001|", relText(inner[0].relations[0]));

    // relref 2.8 -> relref 3.7 -> file 4.2: the record key column ends at
    // the root table's rvkey, so attachments come from the right record.
    RvdbColumnSetPtr mid = makeSet("3", "7", "relref", "file", "4", "5");
    mid->setRelatedSet(makeSet("4", "2", "file"));
    RvdbColumnSetPtr chain = makeSet("2", "8", "relref", "file", "3", "2");
    chain->setRelatedSet(mid);
    inner.clear();
    ASSERT_EQ(0, rvdbUpdaetColumnSetAndSchema(*chain, inner));
    ASSERT_EQ(2u, inner.size());
    ASSERT_EQ(2u, inner[1].relations.size());
    EXPECT_EQ("col00002|tbl00003|rvkey||", relText(inner[1].relations[0]));
    EXPECT_EQ("col00005|tbl00004|rvkey|rvkey|", relText(inner[1].relations[1]));
    EXPECT_EQ("col00005|tbl00004|rvkey|col00002|", relText(inner[0].relations[1]));

    // relref -> image: the attachment step stays last.
    RvdbColumnSetPtr img = makeSet("2", "5", "relref", "image", "3", "2");
    img->setRelatedSet(makeSet("3", "3", "image"));
    inner.clear();
    ASSERT_EQ(0, rvdbUpdaetColumnSetAndSchema(*img, inner));
    ASSERT_EQ(6u, inner.size());
    EXPECT_EQ("col00002|tbl00003|rvkey|col00003|", relText(inner[0].relations[0]));
    ASSERT_EQ(2u, inner[1].relations.size());
    EXPECT_EQ("col00003|tbl00003_lob|content_id|file_name|text", relText(inner[1].relations[1]));
}

TEST(RvdbInnerColumn, CopyColumns)
{
    RvdbColumnSetPtr cpy = makeSet("2", "4", "relcpy", "number", "3", "2");
    cpy->setRelatedSet(makeSet("3", "2", "number"));
    std::vector<RvdbInnerColumn> inner;
    ASSERT_EQ(0, rvdbUpdaetColumnSetAndSchema(*cpy, inner));
    ASSERT_EQ(1u, inner.size());
    EXPECT_EQ("col00004", str(inner[0].name));
    EXPECT_EQ("numeric(20,5)", str(inner[0].sqlType));
    EXPECT_EQ("relcpy", str(cpy->getColType()));
}

TEST(RvdbInnerColumn, Failures)
{
    std::vector<RvdbInnerColumn> inner;
    EXPECT_EQ(RVDB_ERR_ARG, rvdbUpdaetColumnSetAndSchema(*makeSet("1", "3", "memo"), inner));
    EXPECT_EQ(RVDB_ERR_ARG, rvdbUpdaetColumnSetAndSchema(*makeSet("1", "3", ""), inner));
    EXPECT_EQ(RVDB_ERR_ARG, rvdbUpdaetColumnSetAndSchema(*makeSet("1", "3", "Text"), inner));
    // A copy of a copy is refused instead of recursing.
    EXPECT_EQ(RVDB_ERR_ARG, rvdbUpdaetColumnSetAndSchema(*makeSet("5", "4", "relcpy", "relcpy"), inner));
    // A reference without a related set, or whose related set lacks a type.
    EXPECT_EQ(RVDB_ERR_NO_SCHEMA, rvdbUpdaetColumnSetAndSchema(*makeSet("1", "17", "relref", "text"), inner));
    RvdbColumnSetPtr broken = makeSet("1", "17", "relref", "text", "2", "16");
    broken->setRelatedSet(makeSet("2", "", "text"));
    EXPECT_EQ(RVDB_ERR_NO_SCHEMA, rvdbUpdaetColumnSetAndSchema(*broken, inner));
    EXPECT_TRUE(inner.empty());

    // A copy whose value type is a reference that leads back to itself.
    RvdbColumnSetPtr a = makeSet("5", "7", "relcpy", "relref", "5", "1");
    a->setRelatedSet(a);
    EXPECT_NE(0, rvdbUpdaetColumnSetAndSchema(*a, inner));
    a->setRelatedSet(RvdbColumnSetPtr());
}

TEST(RvdbInnerColumn, InsertRelation)
{
    RvdbInnerColumn c;
    EXPECT_EQ(1, c.selectKind);
    c.insertRelation(5, RvdbInnerColumnRelation(NString("b"), NString(), NString(), NString(), NString()));
    c.insertRelation(0, RvdbInnerColumnRelation(NString("a"), NString(), NString(), NString(), NString()));
    ASSERT_EQ(2u, c.relations.size());
    EXPECT_EQ("a", str(c.relations[0].localColumn));
    RvdbInnerColumn copy(c);
    EXPECT_EQ("b", str(copy.relations[1].localColumn));
}

// The sample tables carry exactly the physical columns that the column
// definitions give, and reference paths reach the right records.
class RvdbInnerColumnSchema : public ::testing::Test {
protected:
    static void SetUpTestSuite() { db.open("t_innercol", RvSuiteDatabase::ALL); }
    static void TearDownTestSuite() { db.close(); }
    void SetUp() override { ASSERT_EQ("", db.error()); }

    static std::string sqlType(const std::string& table, const std::string& column)
    {
        return db->queryValue("select format_type(a.atttypid, a.atttypmod) from pg_attribute a where a.attrelid = '" +
                              table + "'::regclass and a.attname = '" + column + "' and not a.attisdropped");
    }

    static RvSuiteDatabase db;
};
RvSuiteDatabase RvdbInnerColumnSchema::db;

TEST_F(RvdbInnerColumnSchema, OwnColumnsExistWithTheirTypes)
{
    // Every definition of tables 1-4 that is not a reference.
    int checked = 0;
    for (int tbl = 1; tbl <= 4; ++tbl) {
        for (int col = -5; col <= 15; ++col) {
            std::string where = " from rv_tbl_col where tbl_id=" + std::to_string(tbl) + " and col_id=" + std::to_string(col);
            std::string type = db->queryValue("select col_type" + where);
            if (type.empty() || type == "relref")
                continue;
            RvdbColumnSetPtr s = makeSet(std::to_string(tbl).c_str(), std::to_string(col).c_str(), type.c_str(),
                                         db->queryValue("select rel_col_type" + where).c_str());
            std::vector<RvdbInnerColumn> inner;
            ASSERT_EQ(0, rvdbUpdaetColumnSetAndSchema(*s, inner)) << tbl << "." << col;
            for (const RvdbInnerColumn& ic : inner) {
                if (ic.isJoined())
                    continue;
                char table[16];
                snprintf(table, sizeof table, "tbl%05d", tbl);
                // The catalogue spells numeric(9) as numeric(9,0).
                std::string expect = str(ic.sqlType);
                if (expect.compare(0, 8, "numeric(") == 0 && expect.find(',') == std::string::npos)
                    expect.insert(expect.size() - 1, ",0");
                EXPECT_EQ(expect, sqlType(table, str(ic.name))) << table << "." << str(ic.name);
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 40);
}

TEST_F(RvdbInnerColumnSchema, ReferenceChainReachesTheRootRecord)
{
    // Order 1 -> customer 1 -> department 2: the file column's key path
    // must end at department 2, whose attachment is 42.
    RvdbColumnSetPtr mid = makeSet("3", "7", "relref", "file", "4", "5");
    mid->setRelatedSet(makeSet("4", "2", "file"));
    RvdbColumnSetPtr chain = makeSet("2", "8", "relref", "file", "3", "2");
    chain->setRelatedSet(mid);
    std::vector<RvdbInnerColumn> inner;
    ASSERT_EQ(0, rvdbUpdaetColumnSetAndSchema(*chain, inner));
    ASSERT_EQ(2u, inner.size());

    const RvdbInnerColumn& key = inner[1];
    std::string sql = "select ";
    std::string from = " from tbl00002 a";
    std::string prev = "a";
    for (size_t i = 0; i < key.relations.size(); ++i) {
        std::string alias = "r" + std::to_string(i);
        from += " left join " + str(key.relations[i].table) + " " + alias + " on " + alias + "." +
                str(key.relations[i].keyColumn) + "=" + prev + "." + str(key.relations[i].localColumn);
        prev = alias;
    }
    sql += prev + "." + str(key.relations.back().valueColumn) + from + " where a.rvkey=1";
    EXPECT_EQ("2", db->queryValue(sql));
    std::string rvkey = db->queryValue(sql);
    EXPECT_EQ("42", db->queryValue("select content_id from tbl00004_lob where col_id=2 and rvkey=" + rvkey));
}

}  // namespace
