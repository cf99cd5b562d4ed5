#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "cddbconnection_pg.h"
#include "cddbsqlencoder.h"
#include "pgtest.h"
#include "rvcomcode.h"
#include "rvdbSql.h"
#include "rvsqltest.h"
#include "rvsuitedb.h"

namespace {

std::string str(const NString& s) { return s.c_str(); }

using rvtest::EncoderOnlyConnection;
using rvtest::makeRelRef;
using rvtest::makeSet;

RvdbColumnSetPtr built(RvdbColumnSetPtr set)
{
    EXPECT_EQ(0, rvdbUpdaetColumnSetAndSchema(*set, set->getInnerColumns()));
    return set;
}

// Column sets of the sample tables: 1 (every type), 2 (orders with
// references) and the sets they refer to.
struct SampleSets {
    SampleSets()
    {
        static const char* const types[] = { "text",      "texts",      "mail",   "url",
                                             "number",    "numbercal",  "datetime",
                                             "datetimecal", "timespan", "timespancal",
                                             "select",    "selects",    "user",   "file",
                                             "image" };
        all.push_back(built(makeSet("1", "-1", "key")));
        all.push_back(built(makeSet("1", "-3", "datetime")));
        for (int i = 0; i < 15; i++)
            all.push_back(built(makeSet("1", std::to_string(i + 1).c_str(), types[i])));

        RvdbColumnSetPtr dept2 = built(makeSet("4", "2", "file"));
        RvdbColumnSetPtr cust1 = built(makeSet("3", "1", "text"));
        RvdbColumnSetPtr cust7 = built(makeRelRef("3", "7", "4", "5", dept2));
        orders.push_back(built(makeSet("2", "1", "text")));
        orders.push_back(built(makeRelRef("2", "3", "3", "2", cust1)));
        orders.push_back(built(makeRelRef("2", "8", "3", "2", cust7)));
    }

    const RvdbColumnSetPtr& find(const RvdbColumnSetList& list, const char* col) const
    {
        for (const auto& s : list) {
            if (str(s->getColId()) == col)
                return s;
        }
        throw std::runtime_error(col);
    }

    RvdbColumnSetList all;
    RvdbColumnSetList orders;
};

struct PredicateCase {
    const char* col;  // column id in table 1
    size_t inner;     // physical column
    int type;
    const char* method;
    const char* value;
    const char* expected;  // predicate, when code is 0
    int code;
};

void runPredicateCases(const SampleSets& sets, const RvdbColumnSetList& list,
                       const std::vector<PredicateCase>& cases)
{
    EncoderOnlyConnection conn;
    for (const auto& c : cases) {
        const RvdbColumnSetPtr& set = sets.find(list, c.col);
        NString out("unchanged");
        RvResult ret = rvdbMakeColumnPredicate(c.type, NString(c.method), NString(c.value),
                                               set->getInnerColumns().at(c.inner), *set, list,
                                               &conn.encoder, out);
        std::string label = std::string(c.col) + " " + std::to_string(c.type) + " " + c.method +
                            " [" + c.value + "]";
        EXPECT_EQ(c.code, ret.getCode()) << label;
        EXPECT_EQ(c.code == 0 ? c.expected : "unchanged", str(out)) << label;
    }
}

const char* const ESC = " escape '\\'";

TEST(RvdbSqlPredicate, TextAndFileNameFamily)
{
    SampleSets sets;
    std::string like = std::string("a.col00001 LIKE '%O''Neil\\%%'") + ESC;
    std::string llike = std::string("a.col00001 LIKE 'a\\_b%'") + ESC;
    std::string rlike = std::string("a.col00001 LIKE '%x'") + ESC;
    std::string notLike = std::string("a.col00001 NOT LIKE '%x%'") + ESC + " OR a.col00001 IS NULL";
    std::string fname = std::string("rtblcol00015.file_name LIKE '%png%'") + ESC;
    std::vector<PredicateCase> cases = {
        { "1", 0, 0, "==", "O'Neil", "a.col00001='O''Neil'", 0 },
        { "1", 0, 0, "==", "a\\b", "a.col00001='a\\b'", 0 },
        { "1", 0, 0, "!=", "x", "a.col00001<>'x' OR a.col00001 IS NULL", 0 },
        { "1", 0, 0, "==", "", "a.col00001 IS NULL", 0 },
        { "1", 0, 0, "!=", "", "a.col00001 IS NOT NULL", 0 },
        { "1", 0, 0, "like", "O'Neil%", like.c_str(), 0 },
        { "1", 0, 0, "Like", "", "unchanged", 0 },
        { "1", 0, 0, "LLIKE", "a_b", llike.c_str(), 0 },
        { "1", 0, 0, "RLike", "x", rlike.c_str(), 0 },
        { "1", 0, 0, "!Like", "x", notLike.c_str(), 0 },
        { "1", 0, 0, "RLike", "", "a.col00001=NULL", 0 },
        { "1", 0, 0, "LLike", "", "a.col00001=NULL", 0 },
        { "1", 0, 0, "!Like", "", "a.col00001=NULL", 0 },
        { "1", 0, 1, "~", "x", "a.col00001 IS NULL", 0 },
        { "1", 0, 2, "==", "x", "a.col00001 IS NOT NULL", 0 },
        { "1", 0, 0, "~", "x", "", RVDB_SQL_ERR_METHOD },
        { "1", 0, 0, "<", "x", "", RVDB_SQL_ERR_METHOD },
        { "1", 0, 0, "", "x", "", RVDB_SQL_ERR_METHOD },
        { "15", 1, 0, "Like", "png", fname.c_str(), 0 },
        { "15", 0, 0, "Like", "png", "", RVDB_SQL_ERR_METHOD },  // the content id is no search
    };
    runPredicateCases(sets, sets.all, cases);
}

TEST(RvdbSqlPredicate, NumberFamily)
{
    SampleSets sets;
    std::string like = std::string("(a.col00005 || '') LIKE '%12%'") + ESC;
    std::string llike = std::string("(a.col00005 || '') LIKE '-1%'") + ESC;
    std::string notLike = std::string("(a.col00005 || '') NOT LIKE '%5%'") + ESC +
                          " OR (a.col00005 || '') IS NULL";
    std::vector<PredicateCase> cases = {
        { "5", 0, 0, "<", "12.5", "a.col00005<12.5", 0 },
        { "5", 0, 0, "<=", "-3", "a.col00005<=-3", 0 },
        { "5", 0, 0, ">=", "999999999999999.99999", "a.col00005>=999999999999999.99999", 0 },
        { "5", 0, 0, "==", "7", "a.col00005=7", 0 },
        { "5", 0, 0, "!=", "7", "a.col00005<>7 OR a.col00005 IS NULL", 0 },
        { "5", 0, 0, "==", "", "a.col00005 IS NULL", 0 },
        { "5", 0, 0, "!=", "", "a.col00005 IS NOT NULL", 0 },
        { "5", 0, 0, "<", "", "a.col00005<NULL", 0 },
        { "5", 0, 0, "Like", "12", like.c_str(), 0 },
        { "5", 0, 0, "LLike", "-1", llike.c_str(), 0 },
        { "5", 0, 0, "!Like", "5", notLike.c_str(), 0 },
        { "5", 0, 0, "Like", "", "unchanged", 0 },
        { "5", 0, 0, "RLike", "", "a.col00005=NULL", 0 },
        { "6", 0, 1, "==", "abc", "a.col00006 IS NULL", 0 },
        { "-1", 0, 0, "==", "1234", "a.rvkey=1234", 0 },
        // values that must never reach the SQL text
        { "5", 0, 0, "<", "abc", "", -210008 },
        { "5", 0, 0, "==", "-", "", -210008 },
        { "5", 0, 0, "==", "1;delete from tbl00001", "", -210008 },
        { "5", 0, 0, "==", "1 or 1=1", "", -210008 },
        { "5", 0, 0, "==", "1e5", "", -210008 },
        { "5", 0, 0, "==", "1234567890123456", "", -210008 },
        { "5", 0, 0, "==", "1.123456", "", -210008 },
        { "5", 0, 0, "~", "1", "", RVDB_SQL_ERR_METHOD },
    };
    runPredicateCases(sets, sets.all, cases);

    // The message (shipped texts) names the column.
    rvcomClearCodeMessages();
    rvcomClearLocalStrings();
    ASSERT_EQ(0, rvcomLoadCodeMessageFile(RV_SOURCE_DIR "/local/ja/message"));
    ASSERT_EQ(0, rvcomLoadLocalStringFile(RV_SOURCE_DIR "/local/ja/vikra"));
    EncoderOnlyConnection conn;
    const RvdbColumnSetPtr& set = sets.find(sets.all, "5");
    NString out;
    RvResult ret = rvdbMakeColumnPredicate(0, NString("=="), NString("x"), set->getInnerColumns()[0],
                                           *set, sets.all, &conn.encoder, out);
    EXPECT_EQ(-210008, ret.getCode());
    EXPECT_NE(std::string::npos, str(ret.getMessage()).find("金額")) << str(ret.getMessage());
    rvcomClearCodeMessages();
    rvcomClearLocalStrings();
}

TEST(RvdbSqlPredicate, DateTimeFamily)
{
    SampleSets sets;
    EncoderOnlyConnection conn;
    conn.setTimeZone("+09:00");
    // "now" is the literal of the current time: match its shape.
    std::vector<PredicateCase> cases = {
        { "7", 0, 0, "==", "20240131235959",
          "a.col00007=TIMESTAMP WITH TIME ZONE '2024-01-31 23:59:59 +09:00'", 0 },
        { "7", 0, 0, ">=", "2024**********",
          "date_trunc('year', a.col00007)>=date_trunc('year', TIMESTAMP WITH TIME ZONE "
          "'2024-01-01 00:00:00 +09:00')",
          0 },
        { "7", 0, 0, "<", "202402", "date_trunc('month', a.col00007)<date_trunc('month', "
                                     "TIMESTAMP WITH TIME ZONE '2024-02-01 00:00:00 +09:00')",
          0 },
        { "7", 0, 303, "!=", "20240131235959",
          "date_trunc('day', a.col00007)<>date_trunc('day', TIMESTAMP WITH TIME ZONE "
          "'2024-01-31 00:00:00 +09:00') OR date_trunc('day', a.col00007) IS NULL",
          0 },
        { "7", 0, 305, "==", "202401312359**",
          "date_trunc('minute', a.col00007)=date_trunc('minute', TIMESTAMP WITH TIME ZONE "
          "'2024-01-31 23:59:00 +09:00')",
          0 },
        { "7", 0, 0, "==", "**************", "a.col00007 IS NULL", 0 },
        { "7", 0, 0, "<", "", "a.col00007<NULL", 0 },
        { "8", 0, 114, "==", "sun", "date_part('dow', a.col00008)=0", 0 },
        { "8", 0, 114, ">=", "SAT", "date_part('dow', a.col00008)>=6", 0 },
        { "7", 0, 1, "Like", "", "a.col00007 IS NULL", 0 },
        { "7", 0, 2, "==", "", "a.col00007 IS NOT NULL", 0 },
        // unreadable values never reach the SQL text
        { "7", 0, 0, "==", "2024'--", "", -210007 },
        { "7", 0, 0, "==", "20240230", "", -210007 },
        { "7", 0, 0, "==", "202401312", "", -210007 },
        { "7", 0, 0, "==", "2024*1", "", -210007 },
        { "7", 0, 306, "==", "202401", "", -210007 },
        { "7", 0, 114, "==", "x'", "", -210006 },
        { "7", 0, 115, "==", "1'", "", -210008 },
        { "7", 0, 115, "==", "-1", "", -210008 },
        { "7", 0, 0, "Like", "2024", "", RVDB_SQL_ERR_METHOD },
        { "7", 0, 101, "~", "", "", RVDB_SQL_ERR_METHOD },
        { "7", 0, 113, "==", "", "", RVDB_SQL_ERR_METHOD },
        { "7", 0, 121, "==", "", "", RVDB_SQL_ERR_METHOD },
        { "7", 0, 3, "==", "2024", "", RVDB_SQL_ERR_METHOD },
    };
    for (const auto& c : cases) {
        const RvdbColumnSetPtr& set = sets.find(sets.all, c.col);
        NString out("unchanged");
        RvResult ret = rvdbMakeColumnPredicate(c.type, NString(c.method), NString(c.value),
                                               set->getInnerColumns()[c.inner], *set, sets.all,
                                               &conn.encoder, out);
        EXPECT_EQ(c.code, ret.getCode()) << c.type << " " << c.value;
        EXPECT_EQ(c.code == 0 ? c.expected : "unchanged", str(out)) << c.type << " " << c.value;
    }

    // Periods compare truncated sides against the current time's literal.
    struct {
        int type;
        const char* method;
        const char* value;
        const char* head;
        const char* tail;
    } periods[] = {
        { 101, "==", "", "date_trunc('day', a.col00007)=date_trunc('day', TIMESTAMP WITH TIME ZONE '",
          " +09:00')" },
        { 102, "==", "", "date_trunc('day', a.col00007)=date_trunc('day', TIMESTAMP WITH TIME ZONE '",
          " +09:00') - interval '1 day'" },
        { 106, "<", "", "date_trunc('week', a.col00007)<date_trunc('week', TIMESTAMP WITH TIME ZONE '",
          " +09:00') + interval '1 week'" },
        { 111, "!=", "", "date_trunc('year', a.col00007)<>date_trunc('year', TIMESTAMP WITH TIME ZONE '",
          " +09:00') - interval '1 year' OR date_trunc('year', a.col00007) IS NULL" },
        { 118, ">=", "3", "date_trunc('day', a.col00007)>=date_trunc('day', TIMESTAMP WITH TIME ZONE '",
          " +09:00') + interval '3 month'" },
        { 201, "<=", "", "a.col00007<=TIMESTAMP WITH TIME ZONE '", " +09:00'" },
    };
    const RvdbColumnSetPtr& set = sets.find(sets.all, "7");
    for (const auto& p : periods) {
        NString out;
        EXPECT_FALSE(rvdbMakeColumnPredicate(p.type, NString(p.method), NString(p.value),
                                             set->getInnerColumns()[0], *set, sets.all,
                                             &conn.encoder, out)
                         .isError());
        std::string s = str(out);
        size_t head = strlen(p.head);
        ASSERT_GT(s.size(), head + 19) << s;
        EXPECT_EQ(p.head, s.substr(0, head)) << p.type;
        EXPECT_EQ(p.tail, s.substr(head + 19)) << p.type;
    }
}

TEST(RvdbSqlPredicate, TimeSpanSelectionAndFileFamilies)
{
    SampleSets sets;
    auto span = [](const char* d, const char* h, const char* m, const char* s) {
        return std::string("extract(epoch from interval '") + d + " days " + h + " hours " + m +
               " minutes " + s + " seconds')";
    };
    std::string eq = "a.col00009=" + span("1", "2", "3", "4");
    std::string gt = "a.col00009>" + span("0", "0", "1", "0");
    std::string ne = "a.col00009<>" + span("-1", "0", "0", "0") + " OR a.col00009 IS NULL";
    std::string selectsLike = std::string("(a.col00012 LIKE '%\nred\n%'") + ESC +
                              " AND a.col00012 LIKE '%\nblue\n%'" + ESC + ")";
    std::string selectsEq = std::string("(a.col00012 LIKE '%\nred\n%'") + ESC +
                            " AND string_to_array(trim(both '\n' from a.col00012), '\n') <@ "
                            "ARRAY['red'])";
    std::string subset = "(a.col00012 IS NULL OR (string_to_array(trim(both '\n' from "
                         "a.col00012), '\n') <@ ARRAY['red','O''x']))";
    std::string fileLike = std::string("a.rvkey IN (select distinct rvkey from tbl00001_lob where "
                                       "file_name LIKE '%?%'") +
                           ESC + " and col_id=14)";
    std::vector<PredicateCase> cases = {
        { "9", 0, 0, "==", "93784", eq.c_str(), 0 },
        { "9", 0, 0, "==", "1:2:3:4", eq.c_str(), 0 },
        { "9", 0, 0, ">", ":0:1:", gt.c_str(), 0 },
        { "9", 0, 0, "!=", "-1:::", ne.c_str(), 0 },
        { "9", 0, 0, "<=", "", "a.col00009<=NULL", 0 },
        { "10", 0, 1, "==", "", "a.col00010 IS NULL", 0 },
        { "9", 0, 0, "==", "1';x", "", -210019 },
        { "9", 0, 0, "==", "1:2:3", "", -210019 },
        { "9", 0, 0, "==", "1001:0:0:0", "", -210019 },
        { "9", 0, 0, "==", "1:2:3:4\n", "", -210019 },
        { "9", 0, 0, "Like", "1", "", RVDB_SQL_ERR_METHOD },

        { "11", 0, 0, "==", "一般", "a.col00011='一般'", 0 },
        { "11", 0, 0, "!=", "O'x", "a.col00011<>'O''x' OR a.col00011 IS NULL", 0 },
        { "11", 0, 0, "Like", "a\r\nb", "a.col00011='a' OR a.col00011='b'", 0 },
        { "11", 0, 0, "!LIke", "a\nb",
          "(NOT (a.col00011='a' OR a.col00011='b')) OR a.col00011 IS NULL", 0 },
        { "11", 0, 0, "==", "", "a.col00011 IS NULL", 0 },
        { "11", 0, 0, "Like", "\n", "unchanged", 0 },
        { "11", 0, 0, "<", "a", "", RVDB_SQL_ERR_METHOD },

        { "12", 0, 0, "==", "red", "a.col00012='\nred\n'", 0 },
        { "12", 0, 0, "!=", "O'x", "a.col00012<>'\nO''x\n' OR a.col00012 IS NULL", 0 },
        { "12", 0, 0, "Like", "red\nblue", selectsLike.c_str(), 0 },
        { "12", 0, 0, "==", "red\n\n", "a.col00012='\nred\n'", 0 },
        { "12", 0, 0, "<=", "red\nO'x", subset.c_str(), 0 },
        { "12", 0, 0, "!Like", "", "a.col00012=NULL", 0 },
        { "12", 0, 0, "RLike", "red", "", RVDB_SQL_ERR_METHOD },

        { "14", 0, 0, "==", "", "(a.col00014='0' OR a.col00014 IS NULL)", 0 },
        { "14", 0, 0, "!=", "", "a.col00014='1'", 0 },
        { "14", 0, 0, "Like", "", "unchanged", 0 },
        { "14", 0, 0, "!Like", "", "a.col00014=NULL", 0 },
        { "14", 0, 0, "Like", "?", fileLike.c_str(), 0 },
        { "14", 0, 0, "!=", "a'b",
          "a.rvkey IS NULL OR a.rvkey NOT IN (select distinct rvkey from tbl00001_lob where "
          "file_name='a''b' and col_id=14)",
          0 },
        { "14", 0, 2, "==", "", "a.col00014 IS NOT NULL", 0 },
        { "14", 0, 101, "==", "", "", RVDB_SQL_ERR_METHOD },
        { "14", 0, 0, "LLike", "", "", RVDB_SQL_ERR_METHOD },
        { "14", 0, 0, "LLike", "x", "", RVDB_SQL_ERR_METHOD },
    };
    runPredicateCases(sets, sets.all, cases);

    // A file reached through two references searches the root column's
    // attachments under the last join's record key.
    std::vector<PredicateCase> refCases = {
        { "8", 0, 0, "==", "dev.txt",
          "rtblcol00002col00005.rvkey IN (select distinct rvkey from tbl00004_lob where "
          "file_name='dev.txt' and col_id=2)",
          0 },
    };
    runPredicateCases(sets, sets.orders, refCases);
}

TEST(RvdbSqlPredicate, UnknownFamilyAndMissingEncoder)
{
    SampleSets sets;
    const RvdbColumnSetPtr& url = sets.find(sets.all, "4");
    EncoderOnlyConnection conn;
    NString out("unchanged");
    EXPECT_EQ(RVDB_SQL_ERR_METHOD,
              rvdbMakeColumnPredicate(0, NString("=="), NString("x"), url->getInnerColumns()[1],
                                      *url, sets.all, &conn.encoder, out)
                  .getCode());
    EXPECT_EQ(RVDB_SQL_ERR_ARG,
              rvdbMakeColumnPredicate(0, NString("=="), NString("x"), url->getInnerColumns()[0],
                                      *url, sets.all, nullptr, out)
                  .getCode());
    EXPECT_EQ("unchanged", str(out));

    // The attachment subquery takes the column id only as an integer.
    RvdbColumnSetPtr file = built(makeSet("1", "14", "file"));
    file->setColId(NString("14 or 1=1"));
    EXPECT_EQ(RVDB_SQL_ERR_ARG,
              rvdbMakeColumnPredicate(0, NString("=="), NString("a"), file->getInnerColumns()[0],
                                      *file, sets.all, &conn.encoder, out)
                  .getCode());
    EXPECT_EQ("unchanged", str(out));
}

// A server that reads backslashes as escapes gets them doubled.
class BackslashServer : public EncoderOnlyConnection {
public:
    int serverBackslashEscapes() const override { return 1; }
};

TEST(RvdbSqlPredicate, BackslashServerDoublesBackslashes)
{
    SampleSets sets;
    BackslashServer conn;
    const RvdbColumnSetPtr& set = sets.find(sets.all, "1");
    struct {
        const char* method;
        const char* value;
        const char* expected;
    } cases[] = {
        { "==", "a\\'", "a.col00001='a\\\\'''" },
        { "Like", "\\%", "a.col00001 LIKE '%\\\\\\\\\\\\%%' escape '\\\\'" },
    };
    for (const auto& c : cases) {
        NString out;
        EXPECT_FALSE(rvdbMakeColumnPredicate(0, NString(c.method), NString(c.value),
                                             set->getInnerColumns()[0], *set, sets.all,
                                             &conn.encoder, out)
                         .isError());
        EXPECT_EQ(c.expected, str(out)) << c.value;
    }
}

// ---- every predicate kind, run once against the server

struct LiveCase {
    const char* tbl;
    const char* col;
    int type;
    const char* method;
    const char* value;
    // expected keys, or (starting with "?") a where text over the data
    // table whose rows are expected
    const char* expected;
};

class PredicateOnServer : public ::testing::Test {
protected:
    static void SetUpTestSuite() { db.open("t_rvdbsqlpred", RvSuiteDatabase::ALL); }
    static void TearDownTestSuite() { db.close(); }
    void SetUp() override
    {
        ASSERT_EQ("", db.error());
        conn.setTimeZone("+09:00");
        ASSERT_EQ(0, conn.connect(PGTEST_USER, PGTEST_PASSWORD, "127.0.0.1", db->name().c_str(), 10));
        ASSERT_EQ(0, conn.begin());
        // Two more records: one stamped now, one a day before (session zone
        // +09:00, as the literals).
        ASSERT_EQ("", run("INSERT INTO tbl00001 (rvkey, col00001, col00005, col00007, col00009, "
                          "col00011, col00012) VALUES "
                          "(50, 'O''Neil', 100, date_trunc('second', localtimestamp), 60, '特別', "
                          "E'\\nblue\\n'),"
                          "(51, '50%_off', -3, date_trunc('second', localtimestamp) - interval "
                          "'1 day', NULL, NULL, E'\\nred\\nblue\\ngreen\\n')",
                          nullptr));
    }
    void TearDown() override { conn.rollback(); }

    // Runs sql; the first column of every row goes to rows. "" or the error.
    std::string run(const std::string& sql, std::vector<std::string>* rows)
    {
        conn.setSql(sql.c_str());
        CdDBResultHandle r = conn.execute();
        if (r->isError())
            return std::string("failed: ") + conn.getErrorMessage() + " in " + sql;
        while (rows != nullptr && !r->isEOF()) {
            NString v;
            r->getValue(v, 0);
            rows->push_back(str(v));
            r->next();
        }
        return "";
    }

    std::string keys(const std::string& from, const std::string& where)
    {
        std::vector<std::string> rows;
        std::string err = run("select a.rvkey from " + from +
                                  (where.empty() ? "" : " where " + where) + " order by a.rvkey",
                              &rows);
        if (!err.empty())
            return err;
        std::string out;
        for (const auto& r : rows)
            out += (out.empty() ? "" : ",") + r;
        return out;
    }

    // Each condition alone as the where text of its table: the statement
    // must run and select the expected records.
    void expectRows(const std::vector<LiveCase>& cases);

    static RvSuiteDatabase db;
    CdDBConnection_PG conn{ 1, 0 };
};

RvSuiteDatabase PredicateOnServer::db;

TEST_F(PredicateOnServer, EveryPredicateKindIsValidAndSelectsItsRows)
{
    std::vector<LiveCase> cases = {
        // text
        { "1", "1", 0, "==", "山田 太郎", "1" },
        { "1", "1", 0, "==", "O'Neil", "50" },
        { "1", "1", 0, "==", "\\' or 1=1 --", "" },
        { "1", "1", 0, "!=", "山田 太郎", "2,50,51,1234" },
        { "1", "1", 0, "Like", "50%", "51" },
        { "1", "1", 0, "Like", "_", "51" },
        { "1", "1", 0, "LLike", "山田", "1" },
        { "1", "1", 0, "RLike", "off", "51" },
        { "1", "1", 0, "!Like", "田", "2,50,51,1234" },
        { "1", "1", 0, "Like", "", "1,2,50,51,1234" },
        { "1", "1", 0, "RLike", "", "" },
        { "1", "1", 1, "==", "", "2" },
        { "1", "1", 2, "==", "", "1,50,51,1234" },
        { "1", "3", 0, "Like", "example", "1" },
        { "1", "4", 0, "LLike", "http://", "1234" },
        { "1", "13", 0, "==", "山田 太郎", "1" },
        // number
        { "1", "5", 0, "<", "12.5", "51,1234" },
        { "1", "5", 0, "==", "12.5", "1" },
        { "1", "5", 0, "!=", "12.5", "2,50,51,1234" },
        { "1", "5", 0, ">=", "100", "50" },
        { "1", "5", 0, "<=", "", "" },
        { "1", "5", 0, "==", "", "2" },
        { "1", "5", 0, "Like", "12", "1" },
        { "1", "5", 0, "LLike", "-9", "1234" },
        { "1", "5", 0, "!Like", "5", "2,50,51,1234" },
        { "1", "6", 0, ">", "13", "1,1234" },
        { "1", "-1", 0, "==", "1234", "1234" },
        // date-time
        { "1", "7", 101, "==", "", "50" },
        { "1", "7", 102, "==", "", "51" },
        { "1", "7", 103, "==", "", "" },
        { "1", "7", 104, "==", "", "?date_trunc('week', col00007)=date_trunc('week', localtimestamp)" },
        { "1", "7", 105, "==", "", "?date_trunc('week', col00007)=date_trunc('week', localtimestamp) - interval '1 week'" },
        { "1", "7", 106, "<", "", "?date_trunc('week', col00007)<date_trunc('week', localtimestamp) + interval '1 week'" },
        { "1", "7", 107, "==", "", "?date_trunc('month', col00007)=date_trunc('month', localtimestamp)" },
        { "1", "7", 108, ">", "", "?date_trunc('month', col00007)>date_trunc('month', localtimestamp) - interval '1 month'" },
        { "1", "7", 109, "!=", "", "?date_trunc('month', col00007)<>date_trunc('month', localtimestamp) + interval '1 month' OR col00007 IS NULL" },
        { "1", "7", 110, "==", "", "?date_trunc('year', col00007)=date_trunc('year', localtimestamp)" },
        { "1", "7", 111, "<=", "", "?date_trunc('year', col00007)<=date_trunc('year', localtimestamp) - interval '1 year'" },
        { "1", "7", 112, ">=", "", "" },
        { "1", "7", 114, "==", "wed", "?extract(dow from col00007)=3" },
        { "1", "7", 115, "==", "1", "51" },
        { "1", "7", 116, ">=", "0", "50" },
        { "1", "7", 117, "<", "1", "?col00007<date_trunc('day', localtimestamp) - interval '1 month'" },
        { "1", "7", 118, "<", "1", "1,50,51,1234" },
        { "1", "7", 119, ">=", "1", "?col00007>=date_trunc('day', localtimestamp) - interval '1 year'" },
        { "1", "7", 120, ">", "1", "" },
        { "1", "7", 201, "<=", "", "1,50,51,1234" },
        { "1", "7", 0, "==", "20240131235959", "1" },
        { "1", "7", 0, ">", "00010101000000", "1,50,51" },
        { "1", "7", 0, "==", "2024**********", "?date_trunc('year', col00007)='2024-01-01'" },
        { "1", "7", 301, "==", "20240607", "?date_trunc('year', col00007)='2024-01-01'" },
        { "1", "7", 302, "==", "202401", "1" },
        { "1", "7", 303, "==", "20240131", "1" },
        { "1", "7", 304, "==", "2024013123", "1" },
        { "1", "7", 305, "==", "202401312359", "1" },
        { "1", "7", 306, "!=", "20240131235959", "2,50,51,1234" },
        { "1", "7", 1, "==", "", "2" },
        { "1", "8", 0, "<=", "20240202", "1" },
        { "1", "-3", 0, "<", "2024", "1234" },
        // time span
        { "1", "9", 0, "==", "93784", "1" },
        { "1", "9", 0, "==", "1:2:3:4", "1" },
        { "1", "9", 0, ">", "0:0:0:59", "1,50" },
        { "1", "9", 0, "<", "60", "1234" },
        { "1", "9", 0, "!=", "0", "1,2,50,51" },
        { "1", "10", 0, "==", "0:1:0:0", "1" },
        // single selection
        { "1", "11", 0, "==", "一般", "1" },
        { "1", "11", 0, "!=", "一般", "2,50,51,1234" },
        { "1", "11", 0, "==", "一般\n特別", "1,50,1234" },
        { "1", "11", 0, "!Like", "一般\n特別", "2,51" },
        { "1", "11", 0, "==", "O'x", "" },
        // multiple selection
        { "1", "12", 0, "==", "blue", "50" },
        { "1", "12", 0, "!=", "blue", "1,2,51,1234" },
        { "1", "12", 0, "==", "red\nblue", "1" },
        { "1", "12", 0, "!=", "red\nblue", "2,50,51,1234" },
        { "1", "12", 0, "Like", "blue", "1,50,51" },
        { "1", "12", 0, "Like", "red\nblue", "1,51" },
        { "1", "12", 0, "!Like", "red", "2,50,1234" },
        { "1", "12", 0, "<=", "red\nblue", "1,2,50,1234" },
        { "1", "12", 0, "Like", "re", "" },
        // file
        { "1", "14", 0, "==", "", "2,50,51" },
        { "1", "14", 0, "!=", "", "1,1234" },
        { "1", "14", 0, "==", "memo.txt", "1" },
        { "1", "14", 0, "Like", "?", "1234" },
        { "1", "14", 0, "!=", "memo.txt", "2,50,51,1234" },
        { "1", "14", 0, "!Like", "same", "1,2,50,51" },
        { "1", "14", 0, "!Like", "", "" },
        // image file name (joined)
        { "1", "15", 0, "==", "photo.png", "1" },
        { "1", "15", 0, "Like", "PNG", "" },
        { "1", "15", 0, "!=", "photo.png", "2,50,51,1234" },
        // every column
        { "1", "*", 0, "Like", "山田", "1" },
        { "1", "*", 0, "==", "12.5", "1" },
        { "1", "*", 0, "Like", "no such text", "" },
        // references
        { "2", "3", 0, "==", "Sample Co.", "2" },
        { "2", "3", 0, "!=", "Sample Co.", "1,3" },
        { "2", "8", 0, "==", "dev.txt", "1" },
        { "2", "8", 0, "Like", "sales", "2" },
        { "2", "8", 0, "!=", "dev.txt", "2,3" },
        { "2", "8", 0, "==", "", "3" },
    };
    expectRows(cases);
}

TEST_F(PredicateOnServer, ValuesStayLiteralWithBackslashEscapes)
{
    ASSERT_EQ("", run("SET standard_conforming_strings = off", nullptr));
    ASSERT_EQ(1, conn.serverBackslashEscapes());
    std::vector<LiveCase> cases = {
        { "1", "1", 0, "==", "\\' or 1=1 --", "" },
        { "1", "1", 0, "!=", "\\' or 1=1 --", "1,2,50,51,1234" },
        { "1", "1", 0, "Like", "\\' or 1=1 --", "" },
        { "1", "1", 0, "Like", "50%", "51" },
        { "1", "1", 0, "RLike", "_off", "51" },
        { "1", "11", 0, "==", "a\\'\n' or '1'='1", "" },
        { "1", "12", 0, "<=", "red\\'\nblue", "2,50,1234" },
        { "1", "14", 0, "Like", "\\' or 1=1 --", "" },
        { "1", "1", 0, "==", "O'Neil", "50" },
    };
    expectRows(cases);
}

void PredicateOnServer::expectRows(const std::vector<LiveCase>& cases)
{
    SampleSets sets;
    for (const auto& c : cases) {
        const RvdbColumnSetList& list = std::string(c.tbl) == "1" ? sets.all : sets.orders;
        RvDbSearchCondition cond;
        cond.col_id = NString(c.col);
        cond.comp_type = NString(c.method);
        cond.comp_val = NString(c.value);
        cond.comp_val_type = c.type;
        auto f = std::make_shared<RvDbSearchFilter>();
        f->condition = '&';
        f->conditions.push_back(cond);
        RvDbSearchFilterList filters = { f };

        NString from, where;
        ASSERT_FALSE(rvdbMakeFromSql(NString(c.tbl), {}, filters, list, from).isError());
        RvResult ret = rvdbMakeWhereSql(conn.getSqlEncoder(), list, filters, where);
        std::string label = std::string(c.tbl) + "." + c.col + " " + std::to_string(c.type) +
                            " " + c.method + " [" + c.value + "]";
        ASSERT_FALSE(ret.isError()) << label << " " << ret.getCode();

        std::string expected = c.expected;
        if (!expected.empty() && expected[0] == '?')
            expected = keys("tbl0000" + std::string(c.tbl) + " as a", expected.substr(1));
        EXPECT_EQ(expected, keys(str(from), str(where))) << label << "\n" << str(where);
    }
}

}  // namespace
