// Definitions of new columns: type defaults and relation columns.
#include "rvdbColumnSetFuncs.h"

#include <cstring>

#include "comtrace.h"

#define TRACE(...) COMTRACE_SRC("rvdbColumnSetFuncs", __VA_ARGS__)

namespace {

const int ERR_ARG = -100001;

bool is(const NString& text, const char* value)
{
    return strcmp(text.c_str(), value) == 0;
}

// Property name/value pairs written by a type's defaults.
struct Setting {
    RvdbColumnSet::Property pos;
    const char* value;
};

void apply(RvdbColumnSet& out, const Setting* settings, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        out.set(settings[i].pos, NString(settings[i].value));
}

#define APPLY(out, settings) apply((out), (settings), sizeof(settings) / sizeof((settings)[0]))

typedef RvdbColumnSet CS;

const Setting NUMBER_DEFAULTS[] = {
    {CS::P_c_min_val, ""},     {CS::P_c_max_val, ""},       {CS::P_f_round_level, "0"},
    {CS::P_f_round_type, "d"}, {CS::P_f_comma_split, "0"}, {CS::P_f_minus, "0"},
    {CS::P_f_prefix, ""},      {CS::P_f_affix, ""},         {CS::P_f_percent, "0"},
    {CS::P_v_init_val, ""},    {CS::P_v_input_cols, "15"},
};
const Setting NUMBERCAL_DEFAULTS[] = {
    {CS::P_f_round_level, "0"}, {CS::P_f_round_type, "d"}, {CS::P_f_comma_split, "0"},
    {CS::P_f_minus, "0"},       {CS::P_f_prefix, ""},      {CS::P_f_affix, ""},
    {CS::P_f_percent, "0"},
};
const Setting DATETIME_DEFAULTS[] = {
    {CS::P_c_min_date, ""},         {CS::P_c_max_date, ""},       {CS::P_f_option, "0"},
    {CS::P_f_display_format, "19"}, {CS::P_v_input_format, "7"},
};
const Setting DATETIMECAL_DEFAULTS[] = {
    {CS::P_f_option, "0"}, {CS::P_f_display_format, "19"}, {CS::P_v_input_help, ""},
    {CS::P_type, "datetime"}, {CS::P_term1, ""}, {CS::P_term1val, ""},
    {CS::P_term2, ""},        {CS::P_term2val, ""}, {CS::P_operator, "0"},
};
const Setting TIMESPAN_DEFAULTS[] = {
    {CS::P_f_display_format, "2"}, {CS::P_v_init_val, ""},
};
const Setting TIMESPANCAL_DEFAULTS[] = {
    {CS::P_f_display_format, "2"}, {CS::P_type, "datesub"}, {CS::P_term1, ""},
    {CS::P_term1val, ""},          {CS::P_term2, ""},       {CS::P_term2val, ""},
    {CS::P_operator, "1"},         {CS::P_terms, ""},
};
const Setting SELECT_DEFAULTS[] = {
    {CS::P_v_init_val, ""}, {CS::P_v_input_type, "pulldown"}, {CS::P_v_input_help, ""},
};
const Setting SELECTS_DEFAULTS[] = {
    {CS::P_f_option, ""}, {CS::P_v_input_type, "check_h"}, {CS::P_v_input_help, ""},
};
const Setting IMAGE_DEFAULTS[] = {
    {CS::P_c_max_size, ""}, {CS::P_v_input_help, ""},
};
const Setting FILE_DEFAULTS[] = {
    {CS::P_c_max_size, ""}, {CS::P_c_max_count, ""}, {CS::P_v_input_help, ""},
};

void copyProps(RvdbColumnSet& out, const RvdbColumnSet& from, const RvdbColumnSet::Property* props,
               size_t count)
{
    for (size_t i = 0; i < count; ++i)
        out.set(props[i], from.get(props[i]));
}

}  // namespace

int rvdbSetColumnSetDefaults(const NString& tblId, const NString& colId, const NString& seqno,
                             const NString& colLname, const NString& colType, RvdbColumnSet& out,
                             const RvdbColumnSet* related, const NString& relKey)
{
    if (tblId.isNullOrEmpty() || colId.isNullOrEmpty() || colLname.isNullOrEmpty() ||
        colType.isNullOrEmpty()) {
        TRACE("arg err.");
        return ERR_ARG;
    }
    out.setTblId(tblId);
    out.setColId(colId);
    out.setSeqno(seqno.isNullOrEmpty() ? colId : seqno);
    out.setColLname(colLname);
    out.setColType(colType);

    if (is(colType, RVDB_TYPE_RELREF) || is(colType, RVDB_TYPE_RELCPY)) {
        if (related == nullptr) {
            TRACE("%s", "");
            return ERR_ARG;
        }
        int ret = rvdbMakeRelationColumnSet(tblId, colId, out.getSeqno(), colLname, relKey, related,
                                            colType, out);
        if (ret != 0)
            TRACE("iret[%d]", ret);
        return ret;
    }
    if (is(colType, RVDB_TYPE_RELKEY)) {
        if (related == nullptr) {
            TRACE("%s", "");
            return ERR_ARG;
        }
        out.setCMust(NString("0"));
        out.setCUniq(NString("0"));
        out.setCSort(NString("0"));
        out.setRelColType(related->getColType());
        out.setRelTblId(related->getTblId());
        out.setRelColId(related->getColId());
        out.setVInputHelp(NString(""));
        return 0;
    }

    bool known = true;
    if (is(colType, RVDB_TYPE_KEY) || is(colType, RVDB_TYPE_TEXTS) || is(colType, RVDB_TYPE_MAIL) ||
        is(colType, RVDB_TYPE_URL) || is(colType, RVDB_TYPE_USER)) {
        // identity and flags only
    } else if (is(colType, RVDB_TYPE_TEXT)) {
        out.setAutocrrct(NString("0"));
    } else if (is(colType, RVDB_TYPE_NUMBER)) {
        APPLY(out, NUMBER_DEFAULTS);
    } else if (is(colType, RVDB_TYPE_NUMBERCAL)) {
        APPLY(out, NUMBERCAL_DEFAULTS);
    } else if (is(colType, RVDB_TYPE_DATETIME)) {
        APPLY(out, DATETIME_DEFAULTS);
    } else if (is(colType, RVDB_TYPE_DATETIMECAL)) {
        APPLY(out, DATETIMECAL_DEFAULTS);
    } else if (is(colType, RVDB_TYPE_TIMESPAN)) {
        APPLY(out, TIMESPAN_DEFAULTS);
    } else if (is(colType, RVDB_TYPE_TIMESPANCAL)) {
        APPLY(out, TIMESPANCAL_DEFAULTS);
    } else if (is(colType, RVDB_TYPE_SELECT)) {
        APPLY(out, SELECT_DEFAULTS);
        out.setInputSelects(RvStringList());
    } else if (is(colType, RVDB_TYPE_SELECTS)) {
        out.setInputSelects(RvStringList());
        out.setInitVal(RvStringList());
        APPLY(out, SELECTS_DEFAULTS);
    } else if (is(colType, RVDB_TYPE_IMAGE)) {
        APPLY(out, IMAGE_DEFAULTS);
    } else if (is(colType, RVDB_TYPE_FILE)) {
        APPLY(out, FILE_DEFAULTS);
    } else {
        known = false;
    }
    if (!known) {
        TRACE("coltype[%s]", colType.c_str());
        return ERR_ARG;
    }
    bool key = is(colType, RVDB_TYPE_KEY);
    out.setRelColType(colType);
    out.setCMust(NString(key ? "1" : "0"));
    out.setCUniq(NString(key ? "1" : "0"));
    out.setCSort(NString("0"));
    return 0;
}

int rvdbMakeRelationColumnSet(const NString& tblIdArg, const NString& colIdArg,
                              const NString& seqnoArg, const NString& colLnameArg,
                              const NString& relKeyArg, const RvdbColumnSet* related,
                              const NString& colTypeArg, RvdbColumnSet& out)
{
    // Copies: the texts may be properties of out, which is overwritten below.
    const NString tblId(tblIdArg), colId(colIdArg), seqno(seqnoArg), colLname(colLnameArg),
        relKey(relKeyArg), colType(colTypeArg);
    if (relKey.isNullOrEmpty() || related == nullptr || related->getTblId().isNullOrEmpty() ||
        related->getColId().isNullOrEmpty() || related->getColType().isNullOrEmpty()) {
        TRACE("arg err.");
        return ERR_ARG;
    }
    if (!is(colType, RVDB_TYPE_RELCPY) && !is(colType, RVDB_TYPE_RELREF)) {
        TRACE("arg err. type[%s]", colType.c_str());
        return ERR_ARG;
    }
    if (tblId.isNullOrEmpty() || colId.isNullOrEmpty() || seqno.isNullOrEmpty() ||
        colLname.isNullOrEmpty()) {
        TRACE("arg err.");
        return ERR_ARG;
    }

    if (is(colType, RVDB_TYPE_RELREF)) {
        if (related->isRelRef() && !related->hasRootColumnSet()) {
            TRACE("invalid relation cid[%s]", related->getColId().c_str());
            return ERR_ARG;
        }
        out = *related;
    } else {
        const NString& valueType = related->getRelColType();
        const NString none;
        int ret = 0;
        if (is(valueType, RVDB_TYPE_NUMBERCAL)) {
            ret = rvdbSetColumnSetDefaults(tblId, colId, seqno, colLname, NString(RVDB_TYPE_NUMBER),
                                           out, nullptr, none);
            static const CS::Property kept[] = {CS::P_f_round_level, CS::P_f_round_type,
                                                CS::P_f_comma_split, CS::P_f_minus,
                                                CS::P_f_prefix,      CS::P_f_affix,
                                                CS::P_f_percent};
            if (ret == 0)
                copyProps(out, *related, kept, sizeof kept / sizeof kept[0]);
        } else if (is(valueType, RVDB_TYPE_DATETIMECAL)) {
            ret = rvdbSetColumnSetDefaults(tblId, colId, seqno, colLname,
                                           NString(RVDB_TYPE_DATETIME), out, nullptr, none);
            static const CS::Property kept[] = {CS::P_f_option, CS::P_f_display_format};
            if (ret == 0) {
                copyProps(out, *related, kept, sizeof kept / sizeof kept[0]);
                out.setVInputFormat(NString("14"));
            }
        } else if (is(valueType, RVDB_TYPE_TIMESPANCAL)) {
            ret = rvdbSetColumnSetDefaults(tblId, colId, seqno, colLname,
                                           NString(RVDB_TYPE_TIMESPAN), out, nullptr, none);
            if (ret == 0)
                out.setFDisplayFormat(related->getFDisplayFormat());
        } else if (is(valueType, RVDB_TYPE_SELECT)) {
            ret = rvdbSetColumnSetDefaults(tblId, colId, seqno, colLname, NString(RVDB_TYPE_TEXT),
                                           out, nullptr, none);
        } else if (is(valueType, RVDB_TYPE_SELECTS)) {
            ret = rvdbSetColumnSetDefaults(tblId, colId, seqno, colLname,
                                           NString(RVDB_TYPE_TEXTS), out, nullptr, none);
            if (ret == 0) {
                out.setVInputCols(NString("40"));
                out.setVInputRows(NString("4"));
            }
        } else {
            out = *related;
        }
        if (ret != 0) {
            TRACE("iret[%d]", ret);
            return ret;
        }
    }

    out.setTblId(tblId);
    out.setColId(colId);
    out.setColType(colType);
    out.setColLname(colLname);
    out.setSeqno(seqno);
    out.setRelTblId(related->getTblId());
    out.setRelColId(related->getColId());
    out.setRelKey(relKey);
    out.setCMust(NString("0"));
    out.setCUniq(NString("0"));
    out.setVInitVal(NString(""));
    out.setVInputHelp(NString(""));
    out.setTblLname(NString(""));
    out.setRelTblLname(NString(""));
    out.setRelColLname(NString(""));
    out.setRelKeyLname(NString(""));
    out.setRelatedSet(RvdbColumnSetPtr());
    out.getInnerColumns().clear();
    // A copy of related shared its permission slot: the new column's rights
    // are its own.
    out.getPermissionPtr() = RvdbColPermissionPtr();
    return 0;
}
