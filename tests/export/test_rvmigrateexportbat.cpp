// Pieces of the export object without a database: options, column names,
// import types, setting.json bytes, attachment names, status file and log.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <regex>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "fakeserver.h"
#include "rvcomcode.h"
#include "rvmigrateexportbat.h"

namespace {

const std::string kSource = RV_SOURCE_DIR;

class ExportUnitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        rvcomClearCodeMessages();
        rvcomClearLocalStrings();
        ASSERT_EQ(0, rvcomLoadCodeMessageFile((kSource + "/local/ja/message").c_str()));
        ASSERT_EQ(0, rvcomLoadLocalStringFile((kSource + "/local/ja/vikra").c_str()));
    }

    static RvdbColumnSetPtr column(const char* id, const char* name, const char* type,
                                   const char* relType = nullptr)
    {
        RvdbColumnSet* cs = new RvdbColumnSet();
        cs->setTblId("3");
        cs->setColId(id);
        cs->setColLname(name);
        cs->setColType(type);
        cs->setRelColType(relType ? relType : type);
        return RvdbColumnSetPtr(cs);
    }

    static std::string repeat(const std::string& s, int n)
    {
        std::string out;
        for (int i = 0; i < n; ++i)
            out += s;
        return out;
    }

    rvtest::ScratchDir tmp;
};

int parse(RvMigrateExportBat& bat, std::vector<std::string> args)
{
    args.insert(args.begin(), "exportbat");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    return bat.parseOptions(static_cast<int>(args.size()), argv.data());
}

TEST_F(ExportUnitTest, OptionsAreCheckedAndNormalised)
{
    const std::vector<std::string> base = { "-h", "r", "-s", "s", "-l", "/tmp/x", "-files", "f/" };
    struct Case {
        std::vector<std::string> extra;
        int code;
        const char* range;
        const char* autoCalc;
        const char* detail;
    } cases[] = {
        { {}, 0, "all", "on", "" },
        { { "-range", "running", "-auto_calc", "off" }, 0, "running", "off", "" },
        { { "-range", "Running", "-auto_calc", "OFF" }, 0, "all", "on", "" },
        { { "-range", "-x", "-range", "assign", "-dbname", "T" }, 0, "assign", "on", "" },
        { { "-range", "assign" }, -500005, "assign", "on",
          "-dbname is required when -range is used 'assign'.[-dbname]" },
        { { "-range", "Assign" }, 0, "all", "on", "" },
    };
    for (const Case& c : cases) {
        RvMigrateExportBat bat;
        std::vector<std::string> args = base;
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        EXPECT_EQ(c.code, parse(bat, args)) << c.range;
        EXPECT_STREQ(c.range, bat.m_range.c_str());
        EXPECT_STREQ(c.autoCalc, bat.m_auto_calc.c_str());
        EXPECT_STREQ(c.detail, bat.m_error_detail.c_str());
        if (c.code == 0) {
            EXPECT_STREQ("/tmp/x/", bat.m_log_dir.c_str());
            EXPECT_STREQ("f/", bat.m_files_dir.c_str());
        }
    }
    // Required options in order; a value that begins with '-' is no value.
    const struct {
        std::vector<std::string> args;
        const char* detail;
    } missing[] = {
        { {}, "This arg is required.[-h]" },
        { { "-s", "s", "-l", "l", "-files", "f" }, "This arg is required.[-h]" },
        { { "-h", "r", "-l", "l" }, "This arg is required.[-s]" },
        { { "-h", "r", "-s", "s", "-l", "-files", "f" }, "This arg is required.[-l]" },
        { { "-h", "r", "-s", "s", "-l", "l", "-files" }, "This arg is required.[-files]" },
    };
    for (const auto& m : missing) {
        RvMigrateExportBat bat;
        EXPECT_EQ(-500002, parse(bat, m.args));
        EXPECT_STREQ(m.detail, bat.m_error_detail.c_str());
    }
}

TEST_F(ExportUnitTest, ColumnNamesAreChecked)
{
    RvMigrateExportBat bat;
    NString reserved;
    rvcomGetLocalString(reserved, "export_update_user");
    const struct {
        std::string name;
        bool checkReserved;
        int code;
    } cases[] = {
        { "", true, 0 },
        { repeat("あ", 63), true, 0 },
        { repeat("あ", 64), true, -500014 },
        { repeat("😀", 63), true, 0 },
        { reserved.c_str(), true, -500013 },
        { reserved.c_str(), false, 0 },
        { std::string(reserved.c_str()) + " ", true, 0 },
        { "a{b", true, -500012 },
        { "a}b", true, -500012 },
        { "a\\b", true, -500012 },
        { "a\"b", true, -500012 },
        { repeat("\"", 64), true, -500014 },
        { "a'b,c", true, 0 },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.code, bat.checkColumnName(NString(c.name.c_str()), c.checkReserved)) << c.name;
}

TEST_F(ExportUnitTest, ImportTypesFollowTheValueType)
{
    RvMigrateExportBat bat;
    const struct {
        const char* colType;
        const char* relType;
        const char* word;
    } cases[] = {
        { "datetime", "datetime", "datetime" },  { "datetimecal", "datetimecal", "datetime" },
        { "user", "user", "users" },             { "text", "text", "textbox" },
        { "mail", "mail", "textbox" },           { "url", "url", "textbox" },
        { "key", "key", "textbox" },             { "relkey", "key", "textbox" },
        { "relkey", "relkey", "textbox" },       { "texts", "texts", "textarea" },
        { "number", "number", "number" },        { "numbercal", "numbercal", "number" },
        { "timespan", "timespan", "number" },    { "timespancal", "timespancal", "number" },
        { "select", "select", "radio" },         { "selects", "selects", "checkbox" },
        { "image", "image", "files" },           { "file", "file", "files" },
        { "relref", "datetime", "datetime" },    { "relcpy", "number", "number" },
        { "text", "memo", nullptr },             { "text", "", nullptr },
        { "text", "Text", nullptr },
    };
    for (const auto& c : cases) {
        NString out;
        int ret = bat.getExportType(column("1", "c", c.colType, c.relType), out);
        if (c.word) {
            EXPECT_EQ(0, ret) << c.relType;
            EXPECT_STREQ(c.word, out.c_str()) << c.relType;
        } else {
            EXPECT_EQ(-500017, ret) << c.relType;
        }
    }
}

TEST_F(ExportUnitTest, SettingJsonBytes)
{
    RvMigrateExportBat bat;
    std::string dir = tmp.path() + "/";
    RvdbTableSet table;
    table.tbl_id = "3";
    // 70 characters, four-byte ones counting as one: cut to 63.
    table.tbl_lname = NString((repeat("😀", 60) + "ab\"\r\n\tcdef").c_str());
    std::vector<RvdbColumnSetPtr> cols = {
        column("-1", "キー", "key"),
        column("-3", "登録日時", "datetime"),
        column("7", "a\\b\nc", "relref", "datetime"),
    };
    ASSERT_EQ(0, bat.writeSettingJson(NString(dir.c_str()), table, cols));
    EXPECT_EQ("{\"Name\": \"" + repeat("😀", 60) +
                  "ab\\\"\"" + ", \"fields\": [{\"field_name\": \"キー\", \"type\": \"textbox\"}, "
                               "{\"field_name\": \"登録日時\", \"type\": \"\"}, "
                               "{\"field_name\": \"a\\\\b\\nc\", \"type\": \"datetime\"}]}",
              rvtest::readFile(dir + "setting.json"));

    table.tbl_lname = "Orders\r";
    ASSERT_EQ(0, bat.writeSettingJson(NString(dir.c_str()), table, {}));
    EXPECT_EQ("{\"Name\": \"Orders\", \"fields\": {}}", rvtest::readFile(dir + "setting.json"));

    // An unknown type leaves an empty file; a failed write is reported.
    EXPECT_EQ(-500008, bat.writeSettingJson(NString(dir.c_str()), table,
                                            { column("1", "x", "text", "memo") }));
    EXPECT_EQ("", rvtest::readFile(dir + "setting.json"));
    EXPECT_EQ(-500008, bat.writeSettingJson(NString((dir + "missing/").c_str()), table, {}));
    std::string full = tmp.file("full") + "/";
    mkdir(full.c_str(), 0755);
    ASSERT_EQ(0, symlink("/dev/full", (full + "setting.json").c_str()));
    EXPECT_EQ(-500008, bat.writeSettingJson(NString(full.c_str()), table, { cols[0] }));
}

TEST_F(ExportUnitTest, AttachmentNames)
{
    RvMigrateExportBat bat;
    std::string dir = tmp.path() + "/d/";
    mkdir(dir.c_str(), 0755);
    for (const char* f : { "a.txt", "readme", ".profile", "x.y.z" })
        rvtest::writeFile(dir + f, "");
    for (int k = 2; k <= 10; ++k)
        rvtest::writeFile(dir + "a(" + std::to_string(k) + ").txt", "");
    rvtest::writeFile(dir + "b.txt", "");
    const struct {
        std::string stored;
        int code;
        std::string final;
    } cases[] = {
        { "b.txt", 0, "b(2).txt" },
        { "readme", 0, "readme(2)" },
        { ".profile", 0, "(2).profile" },
        { "x.y.z", 0, "x.y(2).z" },
        { "a.txt", -500015, "a.txt" },
        { "report?.pdf", 0, "report_.pdf" },
        { "a/b\\c:d*e|f<g>h\"i\x01.txt", 0, "a_b_c_d_e_f_g_h_i_.txt" },
        { "😀.txt", 0, "_.txt" },
        { "見積書.pdf", 0, "見積書.pdf" },
        // 255 bytes is the limit, counted in UTF-8 whatever Shift_JIS takes.
        { repeat("あ", 83) + "ab.txt", 0, repeat("あ", 83) + "ab.txt" },
        { repeat("あ", 83) + "abc.txt", 0, repeat("あ", 83) + "ab.txt" },
        { repeat("ｱ", 83) + "ab.txt", 0, repeat("ｱ", 83) + "ab.txt" },
        { repeat("ｱ", 84) + ".txt", 0, repeat("ｱ", 83) + ".txt" },
    };
    RvdbTableSetPtr table = std::make_shared<RvdbTableSet>();
    for (const auto& c : cases) {
        RvdbLobRecord row;
        row.file_name = NString(c.stored.c_str());
        NString final, stored;
        EXPECT_EQ(c.code, bat.makeAttachFileName(table, row, NString(dir.c_str()), final, stored)) << c.stored;
        EXPECT_EQ(c.final, final.c_str()) << c.stored;
        EXPECT_EQ(c.stored, stored.c_str());
    }

    // Characters that come back from Shift_JIS as path characters.
    for (const char* name : { "¥100.txt", "‾x.txt", "é.txt" }) {
        RvdbLobRecord row;
        row.file_name = name;
        NString final, stored;
        EXPECT_EQ(0, bat.makeAttachFileName(table, row, NString(dir.c_str()), final, stored)) << name;
        std::string f = final.c_str();
        EXPECT_EQ(std::string::npos, f.find_first_of("/\\")) << f;
        EXPECT_EQ(".txt", f.substr(f.size() - 4)) << f;
    }

    // A long Japanese name is shortened to what the file system takes.
    RvdbLobRecord row;
    row.file_name = NString((repeat("あ", 100) + ".txt").c_str());
    NString final, stored;
    EXPECT_EQ(0, bat.makeAttachFileName(table, row, NString(dir.c_str()), final, stored));
    EXPECT_EQ(repeat("あ", 83) + ".txt", final.c_str());
    EXPECT_TRUE(rvtest::writeFile(dir + final.c_str(), "x"));
    EXPECT_EQ(0, bat.makeAttachFileName(table, row, NString(dir.c_str()), final, stored));
    EXPECT_EQ(repeat("あ", 82) + "(2).txt", final.c_str());

    // The path limit counts characters of the whole path.
    std::string deep = tmp.path() + "/" + repeat("d", 240 - static_cast<int>(tmp.path().size())) + "/";
    row.file_name = NString(repeat("e", 17).c_str());
    EXPECT_EQ(0, bat.makeAttachFileName(table, row, NString(deep.c_str()), final, stored));
    row.file_name = NString(repeat("e", 18).c_str());
    EXPECT_EQ(-500015, bat.makeAttachFileName(table, row, NString(deep.c_str()), final, stored));
}

TEST_F(ExportUnitTest, StatusFileAndRunLog)
{
    {
        RvMigrateExportBat bat;
        bat.m_status_dir = NString(tmp.file("missing").c_str());
        EXPECT_EQ(-500021, bat.writeStartStatus());
        EXPECT_EQ(nullptr, bat.m_status_obj);
        struct stat st;
        EXPECT_NE(0, stat(tmp.file("missing").c_str(), &st));
    }
    std::string sdir = tmp.file("s");
    mkdir(sdir.c_str(), 0755);
    rvtest::writeFile(sdir + "/export.status", "old=1\n");
    RvMigrateExportBat bat;
    bat.m_status_dir = NString(sdir.c_str());
    ASSERT_EQ(0, bat.writeStartStatus());
    EXPECT_TRUE(std::regex_match(rvtest::readFile(sdir + "/export.status"),
                                 std::regex("startdate=[0-9]{14}\n")));
    // Another process on the same directory finds the lock held.
    pid_t pid = fork();
    if (pid == 0) {
        RvMigrateExportBat other;
        other.m_status_dir = NString(sdir.c_str());
        other.m_fileio.setRetryCount(1);
        _exit(other.writeStartStatus() == -500021 ? 0 : 1);
    }
    int status = -1;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    bat.deleteStatusObject();

    // Log entries: time stamp, blank, text, LF; long texts cut.
    bat.writeExportLog("not written");
    bat.m_log_dir = NString((tmp.file("l/m") + "/").c_str());
    ASSERT_EQ(0, bat.setExportLogPath());
    bat.writeExportLog("first");
    bat.writeExportLog(NString(std::string(9000, 'x').c_str()));
    std::string log = rvtest::readFile(tmp.file("l/m/export.log"));
    std::smatch m;
    ASSERT_TRUE(std::regex_match(log, m,
                                 std::regex("[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} "
                                            "first\n[0-9/: .]{24}(x*)")));
    EXPECT_EQ(8190u, m[1].length());
}

TEST_F(ExportUnitTest, TableErrorText)
{
    RvMigrateExportBat bat;
    RvdbTableSet table;
    NString out("x");
    bat.makeTableErrorMessage(0, table, NString("t"), out);
    EXPECT_STREQ("", out.c_str());
    bat.makeTableErrorMessage(-500009, table, NString(), out);
    EXPECT_STREQ(rvcomGetCodeEntry(-500009).text.c_str(), out.c_str());
    table.tbl_id = "123456";
    NString want;
    rvcomGetLocalString(want, "export_logfile_export_error", "tbl123456", "名前",
                        rvcomGetCodeEntry(-1001).text);
    bat.makeTableErrorMessage(-1001, table, NString("名前"), out);
    EXPECT_STREQ(want.c_str(), out.c_str());
}

}  // namespace
