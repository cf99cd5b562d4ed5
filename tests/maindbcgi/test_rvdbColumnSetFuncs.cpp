#include <gtest/gtest.h>

#include <string>

#include "rvdbColumnSetFuncs.h"
#include "rvdbcolumnset.h"

namespace {

NString T(const char* s)
{
    return NString(s);
}

RvdbColumnSetPtr column(const char* tbl, const char* col, const char* type, const char* valueType)
{
    RvdbColumnSetPtr set(new RvdbColumnSet());
    set->setTblId(T(tbl));
    set->setColId(T(col));
    set->setColType(T(type));
    set->setRelColType(T(valueType));
    return set;
}

// "name=value;..." of the named properties.
std::string props(const RvdbColumnSet& set, std::initializer_list<const char*> names)
{
    std::string out;
    for (const char* n : names)
        out += std::string(n) + "=" + set.get(RvdbColumnSet::findProperty(n)).c_str() + ";";
    return out;
}

TEST(RvdbColumnSetDefaults, ByType)
{
    RvdbColumnSetPtr related = column("3", "2", "numbercal", "numbercal");
    related->setFRoundLevel(T("2"));
    related->setFPrefix(T("¥"));
    RvdbColumnSetPtr selects = column("3", "5", "selects", "selects");
    RvdbColumnSetPtr plain = column("3", "8", "text", "text");
    plain->setSeqno(T("80"));
    plain->setColLname(T("品名"));
    RvdbColumnSetPtr dateCal = column("3", "3", "datetimecal", "datetimecal");
    dateCal->set(RvdbColumnSet::P_f_option, T("1"));
    dateCal->set(RvdbColumnSet::P_f_display_format, T("21"));
    RvdbColumnSetPtr spanCal = column("3", "4", "timespancal", "timespancal");
    spanCal->set(RvdbColumnSet::P_f_display_format, T("3"));
    RvdbColumnSetPtr chainEnd = column("4", "1", "relref", "text");  // a relref without root
    RvdbColumnSetPtr badRef = column("3", "6", "relref", "text");
    badRef->setRelatedSet(chainEnd);

    struct {
        const char* type;
        const char* seqno;
        const RvdbColumnSet* related;
        int code;
        std::initializer_list<const char*> names;
        const char* want;
    } cases[] = {
        {"key", "5", nullptr, 0, {"seqno", "c_must", "c_uniq", "c_sort", "rel_col_type"},
         "seqno=5;c_must=1;c_uniq=1;c_sort=0;rel_col_type=key;"},
        {"text", "", nullptr, 0, {"seqno", "c_must", "c_uniq", "autocrrct"},
         "seqno=12;c_must=0;c_uniq=0;autocrrct=0;"},
        {"number", "1", nullptr, 0, {"f_round_type", "v_input_cols", "f_percent"},
         "f_round_type=d;v_input_cols=15;f_percent=0;"},
        {"datetimecal", "1", nullptr, 0, {"f_display_format", "type", "operator"},
         "f_display_format=19;type=datetime;operator=0;"},
        {"timespancal", "1", nullptr, 0, {"type", "operator", "f_display_format"},
         "type=datesub;operator=1;f_display_format=2;"},
        {"select", "1", nullptr, 0, {"v_input_type", "c_input_selects"},
         "v_input_type=pulldown;c_input_selects=;"},
        {"datetime", "1", nullptr, 0,
         {"c_min_date", "c_max_date", "f_option", "f_display_format", "v_input_format", "c_sort"},
         "c_min_date=;c_max_date=;f_option=0;f_display_format=19;v_input_format=7;c_sort=0;"},
        {"timespan", "1", nullptr, 0, {"f_display_format", "v_init_val", "rel_col_type"},
         "f_display_format=2;v_init_val=;rel_col_type=timespan;"},
        {"selects", "1", nullptr, 0,
         {"c_input_selects", "v_init_val", "f_option", "v_input_type", "v_input_help"},
         "c_input_selects=;v_init_val=;f_option=;v_input_type=check_h;v_input_help=;"},
        {"image", "1", nullptr, 0, {"c_max_size", "v_input_help", "c_must"},
         "c_max_size=;v_input_help=;c_must=0;"},
        {"file", "1", nullptr, 0, {"c_max_size", "c_max_count", "v_input_help", "c_uniq"},
         "c_max_size=;c_max_count=;v_input_help=;c_uniq=0;"},
        {"relcpy", "1", dateCal.get(), 0,
         {"rel_col_type", "f_option", "f_display_format", "v_input_format", "c_min_date"},
         "rel_col_type=datetime;f_option=1;f_display_format=21;v_input_format=14;c_min_date=;"},
        {"relcpy", "1", spanCal.get(), 0, {"rel_col_type", "f_display_format", "v_init_val"},
         "rel_col_type=timespan;f_display_format=3;v_init_val=;"},
        {"relkey", "1", related.get(), 0, {"rel_col_type", "rel_tbl_id", "rel_col_id", "c_must"},
         "rel_col_type=numbercal;rel_tbl_id=3;rel_col_id=2;c_must=0;"},
        // relcpy of a calculation: the base type with the source's display
        {"relcpy", "1", related.get(), 0,
         {"col_type", "rel_col_type", "f_round_level", "f_prefix", "rel_key", "rel_tbl_id"},
         "col_type=relcpy;rel_col_type=number;f_round_level=2;f_prefix=¥;rel_key=7;rel_tbl_id=3;"},
        {"relcpy", "1", selects.get(), 0, {"rel_col_type", "v_input_cols", "v_input_rows"},
         "rel_col_type=texts;v_input_cols=40;v_input_rows=4;"},
        {"relref", "1", related.get(), 0,
         {"col_type", "seqno", "rel_col_type", "f_round_level", "c_must"},
         "col_type=relref;seqno=1;rel_col_type=numbercal;f_round_level=2;c_must=0;"},
        // a copied source keeps none of its identity
        {"relcpy", "", plain.get(), 0, {"tbl_id", "col_id", "seqno", "col_lname", "rel_col_type"},
         "tbl_id=2;col_id=12;seqno=12;col_lname=金額;rel_col_type=text;"},
        {"relref", "1", badRef.get(), -100001, {}, ""},
        {"relref", "1", nullptr, -100001, {}, ""},
        {"memo", "1", nullptr, -100001, {}, ""},
    };
    for (const auto& c : cases) {
        // Filled beforehand, so that a default of "" shows.
        RvdbColumnSet out;
        for (int p = 0; p < RvdbColumnSet::PROPERTY_COUNT; ++p)
            out.set(p, T("x"));
        int ret = rvdbSetColumnSetDefaults(T("2"), T("12"), T(c.seqno), T("金額"), T(c.type), out,
                                           c.related, T("7"));
        EXPECT_EQ(c.code, ret) << c.type;
        if (ret == 0) {
            EXPECT_EQ(c.want, props(out, c.names)) << c.type;
        }
    }
    RvdbColumnSet unnamed;
    EXPECT_EQ(-100001, rvdbSetColumnSetDefaults(T("2"), T(""), T("1"), T("x"), T("text"), unnamed,
                                                nullptr, T("")));
}

TEST(RvdbColumnSetDefaults, RelationColumnSharesNothingWithItsSource)
{
    RvdbColumnSetPtr inner = column("4", "1", "text", "text");
    RvdbColumnSetPtr source = column("3", "6", "relref", "text");
    source->setRelatedSet(inner);
    source->getInnerColumns().resize(1);
    RvColPermission all;
    all.setRefer(true);
    source->getPermissionPtr().set(all);

    RvdbColumnSet out;
    ASSERT_EQ(0, rvdbMakeRelationColumnSet(T("2"), T("9"), T("90"), T("部署名"), T("2"), source.get(),
                                           T("relref"), out));
    EXPECT_FALSE(out.hasRelatedSet());
    EXPECT_TRUE(out.getInnerColumns().empty());
    EXPECT_FALSE(out.getPermissionPtr().hasObject());
    EXPECT_TRUE(source->getPermissionPtr().hasObject());
    EXPECT_EQ(-100001, rvdbMakeRelationColumnSet(T("2"), T("9"), T("90"), T("x"), T("2"), source.get(),
                                                 T("relkey"), out));
    EXPECT_EQ(-100001, rvdbMakeRelationColumnSet(T("2"), T("9"), T("90"), T("x"), T(""), source.get(),
                                                 T("relref"), out));
}

TEST(RvdbColumnSetChecks, Rules)
{
    typedef RvResult (*Check)(const NString&);
    const std::string name64(64, 'n');
    const std::string name65(65, 'n');
    std::string yen64;  // 64 characters, 192 bytes
    for (int i = 0; i < 64; ++i)
        yen64 += "円";
    const std::string yen65 = yen64 + "円";
    struct {
        Check check;
        const char* text;
        int code;
    } cases[] = {
        {&RvdbColumnSet::checkColumnType, "relcpy", 0},
        {&RvdbColumnSet::checkColumnType, "Text", -210006},
        {&RvdbColumnSet::checkColumnType, "", -210001},
        {&RvdbColumnSet::checkRelColumnType, "file", 0},
        {&RvdbColumnSet::checkRelColumnType, "relkey", -210006},
        {&RvdbColumnSet::checkTableId, "999999999", 0},
        {&RvdbColumnSet::checkTableId, "123456", 0},
        {&RvdbColumnSet::checkTableId, "1000000000", -210003},
        {&RvdbColumnSet::checkTableId, "0", -210002},
        {&RvdbColumnSet::checkRelTableId, "123456", 0},
        {&RvdbColumnSet::checkRelColumnId, "-5", 0},
        {&RvdbColumnSet::checkRelColumnId, "-6", -210002},
        {&RvdbColumnSet::checkRelColumnId, "100000", -210003},
        {&RvdbColumnSet::checkColumnId, "-5", 0},
        {&RvdbColumnSet::checkColumnId, "-6", -210002},
        {&RvdbColumnSet::checkColumnId, "100000", -210003},
        {&RvdbColumnSet::checkColumnId, "1a", -210008},
        {&RvdbColumnSet::checkRelKey, "", -210001},
        {&RvdbColumnSet::checkSeqno, "999999999", 0},
        {&RvdbColumnSet::checkColumnName, name64.c_str(), 0},
        {&RvdbColumnSet::checkColumnName, name65.c_str(), -210004},
        {&RvdbColumnSet::checkAutoCorrect, name64.c_str(), 0},
        {&RvdbColumnSet::checkAutoCorrect, name65.c_str(), -210004},
        {&RvdbColumnSet::checkAutoCorrect, "", -210001},
        {&RvdbColumnSet::checkCalcExpression, "", -210001},
        {&RvdbColumnSet::checkInputFormat, "14", 0},
        {&RvdbColumnSet::checkInputFormat, "15", -210006},
        {&RvdbColumnSet::checkInputLimit, "7", 0},
        {&RvdbColumnSet::checkInputLimit, "8", -210006},
        {&RvdbColumnSet::checkInputLimit, "", -210001},
        {&RvdbColumnSet::checkRoundType, "u", 0},
        {&RvdbColumnSet::checkRoundType, "D", -210006},
        {&RvdbColumnSet::checkRoundType, "", -210001},
        {&RvdbColumnSet::checkMinus, "3", 0},
        {&RvdbColumnSet::checkMinus, "4", -210006},
        {&RvdbColumnSet::checkMinus, "", -210001},
        {&RvdbColumnSet::checkRoundLevel, "nothing", 0},
        {&RvdbColumnSet::checkRoundLevel, "-12", 0},
        {&RvdbColumnSet::checkRoundLevel, "-13", -210006},
        {&RvdbColumnSet::checkSortable, "", -210006},
        {&RvdbColumnSet::checkMust, "1", 0},
        {&RvdbColumnSet::checkMust, "2", -210006},
        {&RvdbColumnSet::checkUnique, "0", 0},
        {&RvdbColumnSet::checkUnique, "", -210006},
        {&RvdbColumnSet::checkPercent, "1", 0},
        {&RvdbColumnSet::checkPercent, "2", -210006},
        {&RvdbColumnSet::checkCommaSplit, "0", 0},
        {&RvdbColumnSet::checkCommaSplit, "yes", -210006},
        {&RvdbColumnSet::checkDelFlg, "1", 0},
        {&RvdbColumnSet::checkDelFlg, "", -210006},
        {&RvdbColumnSet::checkMaxLen, "", 0},
        {&RvdbColumnSet::checkMaxLen, "0", -210002},
        {&RvdbColumnSet::checkMinLen, "0", 0},
        {&RvdbColumnSet::checkInputRows, "100", -210003},
        {&RvdbColumnSet::checkInputCols, "", 0},
        {&RvdbColumnSet::checkInputCols, "999", 0},
        {&RvdbColumnSet::checkInputCols, "1000", -210003},
        {&RvdbColumnSet::checkInputCols, "0", -210002},
        {&RvdbColumnSet::checkPrefix, "", 0},
        {&RvdbColumnSet::checkPrefix, yen64.c_str(), 0},
        {&RvdbColumnSet::checkPrefix, yen65.c_str(), -210004},
        {&RvdbColumnSet::checkAffix, "", 0},
        {&RvdbColumnSet::checkMaxValNumber, "-999999999999999.99999", 0},
        {&RvdbColumnSet::checkMaxValNumber, "1.123456", -210008},
        {&RvdbColumnSet::checkMaxSize, "1024", 0},
        {&RvdbColumnSet::checkMaxSize, "1025", -210003},
        {&RvdbColumnSet::checkMaxSize, "0", 0},
        {&RvdbColumnSet::checkMaxSize, "-0.001", -210002},
        {&RvdbColumnSet::checkMaxValDate, "", 0},
        {&RvdbColumnSet::checkMinValDate, "2024/02/30 00:00:00", -210007},
        {&RvdbColumnSet::checkMaxValDate, "9999/12/31 23:59:59", 0},
        {&RvdbColumnSet::checkAny, "", 0},
    };
    for (const auto& c : cases) {
        RvResult r = c.check(T(c.text));
        EXPECT_EQ(c.code, r.getCode()) << c.text;
        EXPECT_EQ(c.code != 0, !r.getMessage().isNullOrEmpty()) << c.text;
    }
}

}  // namespace
