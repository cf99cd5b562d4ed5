// Page-state files of a list page and its search-filter file: exact
// contents, round trips and the keys that name them.
#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <vector>

#include "RvdbRecordListPageCommand.h"
#include "fakeserver.h"
#include "rvappFilterArray.h"
#include "rvcompair.h"

namespace {

std::string str(const NString& s)
{
    return s.c_str();
}

bool exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

RvDbSearchFilterPtr makeFilter(const char* id, char op, int conditions)
{
    RvDbSearchFilterPtr f = std::make_shared<RvDbSearchFilter>();
    f->filter_id = id;
    f->filter_name = "名前は保存されない";
    f->condition = op;
    f->seqno = 7;
    for (int i = 0; i < conditions; ++i) {
        RvDbSearchCondition c;
        c.cond_id = 99;
        c.col_id = NString(std::to_string(i + 1).c_str());
        c.comp_type = i % 2 ? "Like" : "==";
        c.comp_val_type = i % 3 ? 101 : 0;
        c.comp_val = NString(("値" + std::to_string(i) + ", a=b").c_str());
        f->conditions.push_back(c);
    }
    return f;
}

std::vector<std::string> pairLines(const std::string& path)
{
    RvPairList pairs;
    EXPECT_EQ(0, rvcomReadFileToPairArray(pairs, path.c_str(), 1));
    std::vector<std::string> out;
    for (const RvPair& p : pairs)
        out.push_back(str(p.first) + "=" + str(p.second));
    return out;
}

TEST(FilterArrayFile, PairsInOrderAndReadBack)
{
    rvtest::ScratchDir dir;
    const std::string path = dir.file("advancedsearchcondition_12_w1");
    ASSERT_EQ(0, rvappFilterArrayWrite(path.c_str(), {makeFilter("3", '&', 2), makeFilter("*new*", '|', 0)},
                                       NString("advance")));
    const std::vector<std::string> expected = {
        "type=advance", "f_0.ope=&", "f_0.fid=3",
        "f_0.cond_0.column=1", "f_0.cond_0.type=0", "f_0.cond_0.method===", "f_0.cond_0.keyword=値0, a=b",
        "f_0.cond_1.column=2", "f_0.cond_1.type=101", "f_0.cond_1.method=Like", "f_0.cond_1.keyword=値1, a=b",
        "f_1.ope=|", "f_1.fid=*new*"};
    EXPECT_EQ(expected, pairLines(path));

    std::vector<RvDbSearchFilterPtr> filters;
    NString type;
    ASSERT_EQ(0, rvappFilterArrayRead(path.c_str(), filters, type));
    EXPECT_EQ("advance", str(type));
    ASSERT_EQ(2u, filters.size());
    EXPECT_EQ("3", str(filters[0]->filter_id));
    EXPECT_EQ('&', filters[0]->condition);
    EXPECT_EQ("", str(filters[0]->filter_name));
    EXPECT_EQ(0, filters[0]->seqno);
    EXPECT_EQ(0, filters[0]->flag);
    ASSERT_EQ(2u, filters[0]->conditions.size());
    const RvDbSearchCondition& c = filters[0]->conditions[1];
    EXPECT_EQ("2", str(c.col_id));
    EXPECT_EQ("Like", str(c.comp_type));
    EXPECT_EQ(101, c.comp_val_type);
    EXPECT_EQ("値1, a=b", str(c.comp_val));
    EXPECT_EQ(0, c.cond_id);
    EXPECT_TRUE(c.is_new);
    EXPECT_EQ('|', filters[1]->condition);
    EXPECT_TRUE(filters[1]->conditions.empty());
}

TEST(FilterArrayFile, ManyConditionsKeepTheirOrder)
{
    rvtest::ScratchDir dir;
    const std::string path = dir.file("f");
    ASSERT_EQ(0, rvappFilterArrayWrite(path.c_str(), {makeFilter("1", '&', 12)}, NString("simple")));
    std::vector<RvDbSearchFilterPtr> filters;
    NString type;
    ASSERT_EQ(0, rvappFilterArrayRead(path.c_str(), filters, type));
    ASSERT_EQ(1u, filters.size());
    ASSERT_EQ(12u, filters[0]->conditions.size());
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(std::to_string(i + 1), str(filters[0]->conditions[i].col_id));
        EXPECT_EQ("値" + std::to_string(i) + ", a=b", str(filters[0]->conditions[i].comp_val));
    }
}

TEST(FilterArrayFile, HandWrittenFilesAndMissingOnes)
{
    rvtest::ScratchDir dir;
    const struct {
        const char* text;
        size_t filters;
        char op;
        const char* type;
    } cases[] = {
        {"type=simple\n", 0, 0, "simple"},
        {"f_0.ope=|&\nf_0.fid=4\n", 1, '|', ""},
        {"type=advance\nf_0.ope=&\nf_0.ope=|\nf_0.cond_0.condition_id=8\n", 1, '|', "advance"},
    };
    for (const auto& c : cases) {
        const std::string path = dir.file("hand");
        ASSERT_TRUE(rvtest::writeFile(path, c.text));
        std::vector<RvDbSearchFilterPtr> filters;
        NString type("old");
        ASSERT_EQ(0, rvappFilterArrayRead(path.c_str(), filters, type)) << c.text;
        EXPECT_EQ(c.type, str(type)) << c.text;
        ASSERT_EQ(c.filters, filters.size()) << c.text;
        if (c.filters) {
            EXPECT_EQ(c.op, filters[0]->condition) << c.text;
        }
    }
    std::vector<RvDbSearchFilterPtr> held = {makeFilter("1", '&', 1)};
    NString type("simple");
    EXPECT_EQ(0, rvappFilterArrayRead(dir.file("none").c_str(), held, type));
    EXPECT_EQ(1u, held.size());
    EXPECT_EQ("simple", str(type));
    EXPECT_EQ(-1, rvappFilterArrayRead("", held, type));
    EXPECT_EQ(-1, rvappFilterArrayWrite(nullptr, held, type));
}

TEST(PageState, SaveLoadRoundTripAndPaths)
{
    rvtest::ScratchDir dir;
    const NString tmp(dir.path().c_str());
    RvdbRecordListPageCommand saved(tmp, NString("12"), NString("w1"));
    EXPECT_EQ(dir.path() + "/tmpreclist_12_w1", str(saved.makeTempFilePath("tmpreclist")));
    saved.setVid(NString("3"));
    saved.setRow(NString("40"));
    saved.setLimit(NString("20"));
    saved.setFixedColId(NString("5"));
    saved.setSortColId(NString("-3"));
    saved.setSortOrder(NString("0"));
    saved.setActiveTab(NString("edit"));
    saved.setRelationKey(NString("4"), NString("営業 第一"));
    saved.setSearchType(NString("advance"));
    saved.setFilters({makeFilter("2", '&', 1)});
    saved.setVisibleColumns({NString("7"), NString("5")});
    ASSERT_EQ(0, saved.setColumnWidth(NString("7"), NString("120")));
    ASSERT_EQ(0, saved.setColumnWidth(NString("5"), NString("")));
    ASSERT_EQ(0, saved.setColumnWidth(NString("7"), NString("80")));
    EXPECT_EQ(-100001, saved.setColumnWidth(NString("x"), NString("80")));
    EXPECT_EQ(-100001, saved.setColumnWidth(NString("7"), NString("49")));
    ASSERT_EQ(0, saved.save());
    EXPECT_EQ((std::vector<std::string>{"tid=12", "vid=3", "row=40", "limit=20", "fixed_colid=5",
                                        "sort_colid=-3", "sort_order=0", "active_tab=edit",
                                        "relkey_colid=4", "relkey_colval=営業 第一"}),
              pairLines(dir.path() + "/tmpreclist_12_w1"));
    EXPECT_EQ((std::vector<std::string>{"visible=7", "visible=5"}), pairLines(dir.path() + "/tmpcolvisibility_12_w1"));
    EXPECT_EQ((std::vector<std::string>{"7=80", "5="}), pairLines(dir.path() + "/tmpcolwidth_12_w1"));

    RvdbRecordListPageCommand loaded(tmp, NString("12"), NString("w1"));
    ASSERT_EQ(0, loaded.load());
    EXPECT_EQ("3", str(loaded.getVid()));
    EXPECT_EQ("40", str(loaded.getRow()));
    EXPECT_EQ("20", str(loaded.getLimit()));
    EXPECT_EQ("5", str(loaded.getFixedColId()));
    EXPECT_EQ("-3", str(loaded.getSortColId()));
    EXPECT_EQ("0", str(loaded.normalizeSortOrder()));
    EXPECT_EQ("edit", str(loaded.getDisplayMode()));
    EXPECT_EQ("営業 第一", str(loaded.getRelKeyColVal()));
    EXPECT_EQ("advance", str(loaded.getSearchType()));
    ASSERT_EQ(1u, loaded.getFilters().size());
    EXPECT_EQ("2", str(loaded.getFilters()[0]->filter_id));
    EXPECT_EQ(2u, loaded.getVisibleColumns().size());
    EXPECT_EQ(2u, loaded.getColumnWidths().size());

    // Without the optional files the lists stay empty.
    ASSERT_EQ(0, unlink((dir.path() + "/tmpcolwidth_12_w1").c_str()));
    ASSERT_EQ(0, unlink((dir.path() + "/tmpcolvisibility_12_w1").c_str()));
    RvdbRecordListPageCommand partial(tmp, NString("12"), NString("w1"));
    ASSERT_EQ(0, partial.load());
    EXPECT_TRUE(partial.getVisibleColumns().empty());
    EXPECT_TRUE(partial.getColumnWidths().empty());

    ASSERT_EQ(0, saved.deleteTempFiles());
    EXPECT_FALSE(exists(dir.path() + "/tmpreclist_12_w1"));
    EXPECT_FALSE(exists(dir.path() + "/advancedsearchcondition_12_w1"));
    EXPECT_EQ(-100010, partial.load());

    // Every file is the one of the command's keys, whatever table id the
    // first file holds.
    ASSERT_EQ(0, saved.save());
    RvdbRecordListPageCommand other(tmp, NString("7"), NString("w1"));
    other.setFilters({makeFilter("9", '|', 1)});
    other.setVisibleColumns({NString("1")});
    ASSERT_EQ(0, other.save());
    ASSERT_TRUE(rvtest::writeFile(dir.path() + "/tmpreclist_12_w1", "tid=7\n"));
    RvdbRecordListPageCommand named(tmp, NString("12"), NString("w1"));
    ASSERT_EQ(0, named.load());
    EXPECT_EQ("7", str(named.getTid()));
    ASSERT_EQ(1u, named.getFilters().size());
    EXPECT_EQ("2", str(named.getFilters()[0]->filter_id));
    EXPECT_EQ(2u, named.getVisibleColumns().size());
    EXPECT_EQ(2u, named.getColumnWidths().size());
}

TEST(PageState, KeysThatLeaveTheDirectoryAreRefused)
{
    rvtest::ScratchDir dir;
    ASSERT_EQ(0, mkdir(dir.file("s").c_str(), 0700));
    ASSERT_TRUE(rvtest::writeFile(dir.file("tmpreclist_12_x"), "tid=12\n"));
    const NString tmp(dir.file("s").c_str());
    const struct {
        const char* tid;
        const char* wid;
        int code;
    } cases[] = {
        {"12", "w1", 0}, {"-1", "a.b", 0}, {"", "w1", -100002}, {"12", "", -100002},
        {"1 2", "w1", -100002}, {"12/..", "w1", -100002}, {"12", "..", -100002},
        {"12", ".", -100002}, {"12", "../../x", -100002}, {"12", "a\\b", -100002},
    };
    for (const auto& c : cases) {
        RvdbRecordListPageCommand cmd(tmp, NString(c.tid), NString(c.wid));
        EXPECT_EQ(c.code, cmd.checkFileKeys()) << c.tid << " " << c.wid;
        if (c.code == 0)
            continue;
        EXPECT_EQ(c.code, cmd.save()) << c.wid;
        EXPECT_EQ(c.code, cmd.load()) << c.wid;
        EXPECT_EQ(c.code, cmd.deleteTempFiles()) << c.wid;
    }
    // The path of "../tmpreclist_12_x" is never read or removed.
    RvdbRecordListPageCommand up(tmp, NString("12"), NString("x/.."));
    EXPECT_EQ(-100002, up.load());
    EXPECT_TRUE(exists(dir.file("tmpreclist_12_x")));
    EXPECT_EQ(-100002, RvdbRecordListPageCommand(NString(""), NString("1"), NString("w")).save());
}

}  // namespace
