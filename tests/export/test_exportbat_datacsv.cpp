// Cells of data.csv as a run of the built exportbat writes them.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "fakeserver.h"
#include "pgtest.h"
#include "rvrun.h"
#include "rvschema.h"

namespace {

const std::string kSource = RV_SOURCE_DIR;

// Each special character alone in a cell, as its first, middle and last
// byte, in a one-line text (its line breaks made spaces) and in a text of
// lines (its LFs kept, its CRs made spaces).
TEST(ExportDataCsv, EverySpecialCharacterAloneInACell)
{
    const struct {
        const char* value;  // SQL literal
        const char* text;   // its cells
        const char* texts;
    } cases[] = {
        { "E'\\rab'", " ab", " ab" },
        { "E'a\\rb'", "a b", "a b" },
        { "E'ab\\r'", "ab ", "ab " },
        { "E'\\nab'", " ab", "\"\nab\"" },
        { "E'a\\nb'", "a b", "\"a\nb\"" },
        { "E'ab\\n'", "ab ", "\"ab\n\"" },
        { "'\"ab'", "\"\"\"ab\"", "\"\"\"ab\"" },
        { "'a\"b'", "\"a\"\"b\"", "\"a\"\"b\"" },
        { "'ab\"'", "\"ab\"\"\"", "\"ab\"\"\"" },
        { "',ab'", "\",ab\"", "\",ab\"" },
        { "'a,b'", "\"a,b\"", "\"a,b\"" },
        { "'ab,'", "\"ab,\"", "\"ab,\"" },
    };
    PgTestDatabase db("exportcsv");
    ASSERT_EQ("", db.error());
    ASSERT_EQ("", rvschemaLoadSchema(db));
    std::string sql = "insert into rv_tbl (tbl_id, status, seqno, tbl_lname, regist_date) values "
                      "(40, '0', 40, '特殊文字', now());"
                      "insert into rv_tbl_col (tbl_id, col_id, col_type, col_lname, seqno, rel_col_type) values "
                      "(40, -1, 'key', 'キー', 0, 'key'), (40, 1, 'text', '一行', 10, 'text'), "
                      "(40, 2, 'texts', '複数行', 20, 'texts');"
                      "create table tbl00040 (rvkey numeric(9) primary key, col00001 text, col00002 text);"
                      "alter table tbl00040 owner to vikra;";
    std::string want = "\xEF\xBB\xBF" "キー,一行,複数行\r\n";
    int key = 0;
    for (const auto& c : cases) {
        std::string k = std::to_string(++key);
        sql += "insert into tbl00040 values (" + k + ", " + c.value + ", " + c.value + ");";
        want += k + "," + c.text + "," + c.texts + "\r\n";
    }
    ASSERT_EQ("", db.exec(sql));

    rvtest::ScratchDir tmp;
    const std::string mod = tmp.file("mod"), prog = mod + "/bin/exportbat";
    ASSERT_EQ(0, system(("mkdir -p '" + mod + "/bin' '" + mod + "/local/ja' '" + tmp.file("root/rvdata") + "' '" +
                         tmp.file("status") + "'")
                            .c_str()));
    ASSERT_TRUE(rvtest::writeFile(prog, rvtest::readFile(RV_EXPORTBAT)));
    ASSERT_EQ(0, chmod(prog.c_str(), 0755));
    for (const char* f : { "message", "vikra" })
        ASSERT_TRUE(rvtest::writeFile(mod + "/local/ja/" + f, rvtest::readFile(kSource + "/local/ja/" + f)));
    ASSERT_TRUE(rvtest::writeFile(tmp.file("root/rvdata/app"),
                                  "dbs=127.0.0.1\ndbname=" + db.name() + "\ndbuser=vikra\ndbpwd=tolpa\n"));
    rvtest::RunResult r =
        rvtest::runProgram(prog,
                           { prog, "-h", tmp.file("root"), "-s", tmp.file("status"), "-l", tmp.file("logs"),
                             "-files", tmp.file("out"), "-range", "assign", "-dbname", "特殊文字" },
                           {}, tmp.file("stdout"), tmp.file("stderr"), 120);
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(want, rvtest::readFile(tmp.file("out/tbl00040/data.csv")));
}

}  // namespace
