// Physical columns of a column definition per column type.
#include "rvdbinnercolumn.h"

#include <cstring>

#include "comtrace.h"
#include "rvdbcolumnset.h"
#include "rvdbphys.h"

#define IC_TRACE(...) COMTRACE_SRC("rvdbUpdaetColumnSetAndSchema", __VA_ARGS__)

RvdbInnerColumn::RvdbInnerColumn()
    : subIndex(0), joined(0), selectKind(RVDB_SELECT_PLAIN), searchKind(RVDB_SEARCH_NONE)
{
}

RvdbInnerColumn::RvdbInnerColumn(const RvdbInnerColumn& other) = default;
RvdbInnerColumn& RvdbInnerColumn::operator=(const RvdbInnerColumn& other) = default;
RvdbInnerColumn::~RvdbInnerColumn() = default;

void RvdbInnerColumn::insertRelation(std::size_t pos, const RvdbInnerColumnRelation& relation)
{
    if (pos > relations.size())
        pos = relations.size();
    relations.insert(relations.begin() + static_cast<std::ptrdiff_t>(pos), relation);
}

bool RvdbInnerColumn::answersCondValueType(int code) const
{
    for (int c : condValueTypes)
        if (c == RVDB_COND_ALL || c == code)
            return true;
    return false;
}

namespace {

bool typeIs(const NString& type, const char* name) { return std::strcmp(type.c_str(), name) == 0; }

RvdbInnerColumn makeColumn(int subIndex, const NString& name, const char* sqlType, int searchKind, bool main)
{
    RvdbInnerColumn c;
    c.subIndex = subIndex;
    c.name = name;
    c.sqlType = NString(sqlType);
    c.searchKind = searchKind;
    if (main)
        c.condValueTypes.push_back(RVDB_COND_ALL);
    return c;
}

// Main column P plus, when suffix is given, a further column P + suffix.
void addPlain(std::vector<RvdbInnerColumn>& out, const NString& p, const char* sqlType, int searchKind,
              int selectKind = RVDB_SELECT_PLAIN)
{
    RvdbInnerColumn c = makeColumn(0, p, sqlType, searchKind, true);
    c.selectKind = selectKind;
    out.push_back(c);
}

void addFurther(std::vector<RvdbInnerColumn>& out, const NString& p, const char* suffix, const char* sqlType,
                int subIndex)
{
    out.push_back(makeColumn(subIndex, p + NString(suffix), sqlType, RVDB_SEARCH_NONE, false));
}

int buildColumns(RvdbColumnSet& cs, std::vector<RvdbInnerColumn>& out, int depth);

int buildRelRef(RvdbColumnSet& cs, std::vector<RvdbInnerColumn>& out, int depth)
{
    RvdbColumnSet* root = cs.getRootColumnSet();
    if (!root || typeIs(root->getColType(), RVDB_TYPE_RELREF)) {
        IC_TRACE("assert");
        return RVDB_ERR_NO_SCHEMA;
    }
    RvdbColumnSet* related = cs.getRelatedSet().get();
    if (!related || related->getColId().isNullOrEmpty() || related->getColType().isNullOrEmpty()) {
        IC_TRACE("assert");
        return RVDB_ERR_NO_SCHEMA;
    }
    // Only the columns of the related chain get this step in front.
    const std::size_t first = out.size();
    int ret = buildColumns(*related, out, depth + 1);
    if (ret != 0) {
        IC_TRACE("ret[%d]", ret);
        return ret;
    }
    const bool relatedIsRef = typeIs(related->getColType(), RVDB_TYPE_RELREF);
    NString localColumn, table;
    rvdbMakeColumnName(localColumn, cs.getRelKey());
    rvdbMakeTableName(table, cs.getRelTblId());
    for (std::size_t i = first; i < out.size(); ++i) {
        RvdbInnerColumn& ic = out[i];
        ic.insertRelation(0, RvdbInnerColumnRelation(localColumn, table, NString("rvkey"),
                                                      relatedIsRef ? NString() : ic.name, NString()));
        ic.joined = 1;
        ic.name = NString();
    }
    return 0;
}

int buildColumns(RvdbColumnSet& cs, std::vector<RvdbInnerColumn>& out, int depth)
{
    if (depth > RVDB_MAX_RELATION_DEPTH) {
        IC_TRACE("ret[%d] tid[%s] cid[%s] depth[%d]", RVDB_ERR_NO_SCHEMA, cs.getTblId().c_str(),
                 cs.getColId().c_str(), depth);
        return RVDB_ERR_NO_SCHEMA;
    }
    const NString& type = cs.getColType();
    NString p;
    rvdbMakeColumnName(p, cs.getColId());

    if (typeIs(type, RVDB_TYPE_KEY)) {
        addPlain(out, p, "numeric(9)", RVDB_SEARCH_NUMBER);
    } else if (typeIs(type, RVDB_TYPE_TEXT) || typeIs(type, RVDB_TYPE_TEXTS)) {
        addPlain(out, p, "text", RVDB_SEARCH_TEXT);
    } else if (typeIs(type, RVDB_TYPE_MAIL)) {
        addPlain(out, p, "character varying(256)", RVDB_SEARCH_TEXT);
    } else if (typeIs(type, RVDB_TYPE_URL)) {
        addPlain(out, p, "text", RVDB_SEARCH_TEXT);
        addFurther(out, p, "_lbl", "character varying(256)", 1);
    } else if (typeIs(type, RVDB_TYPE_NUMBER)) {
        addPlain(out, p, "numeric(20,5)", RVDB_SEARCH_NUMBER);
    } else if (typeIs(type, RVDB_TYPE_NUMBERCAL)) {
        addPlain(out, p, "numeric(20,5)", RVDB_SEARCH_NUMBER);
        addFurther(out, p, "_status", "numeric(4)", 1);
    } else if (typeIs(type, RVDB_TYPE_DATETIME)) {
        addPlain(out, p, "timestamp without time zone", RVDB_SEARCH_DATETIME, RVDB_SELECT_DATETIME);
    } else if (typeIs(type, RVDB_TYPE_DATETIMECAL)) {
        addPlain(out, p, "timestamp without time zone", RVDB_SEARCH_DATETIME, RVDB_SELECT_DATETIME);
        addFurther(out, p, "_status", "numeric(4)", 1);
    } else if (typeIs(type, RVDB_TYPE_TIMESPAN)) {
        addPlain(out, p, "numeric(9)", RVDB_SEARCH_TIMESPAN);
    } else if (typeIs(type, RVDB_TYPE_TIMESPANCAL)) {
        addPlain(out, p, "numeric(9)", RVDB_SEARCH_TIMESPAN);
        addFurther(out, p, "_status", "numeric(4)", 1);
    } else if (typeIs(type, RVDB_TYPE_USER)) {
        addPlain(out, p, "character varying(256)", RVDB_SEARCH_TEXT);
    } else if (typeIs(type, RVDB_TYPE_SELECT)) {
        addPlain(out, p, "text", RVDB_SEARCH_SELECT);
    } else if (typeIs(type, RVDB_TYPE_SELECTS)) {
        addPlain(out, p, "text", RVDB_SEARCH_SELECTS);
    } else if (typeIs(type, RVDB_TYPE_IMAGE)) {
        RvdbInnerColumn main = makeColumn(0, p, "numeric(9)", RVDB_SEARCH_NONE, false);
        out.push_back(main);
        struct Sub {
            const char* suffix;
            const char* sqlType;
            int searchKind;
            const char* valueColumn;
            const char* valueType;
        };
        static const Sub subs[5] = {
            { "_fname", "character varying(255)", RVDB_SEARCH_FILENAME, "file_name", "text" },
            { "_mime", "character varying(64)", RVDB_SEARCH_NONE, "mime_type", "text" },
            { "_imgwidth", "numeric(9)", RVDB_SEARCH_NONE, "img_width", "number" },
            { "_imgheight", "numeric(9)", RVDB_SEARCH_NONE, "img_height", "number" },
            { "_fsize", "numeric(9)", RVDB_SEARCH_NONE, "file_size", "number" },
        };
        NString lobTable;
        rvdbMakeLobTableName(lobTable, cs.getTblId());
        for (int i = 0; i < 5; ++i) {
            RvdbInnerColumn c = makeColumn(i + 1, p + NString(subs[i].suffix), subs[i].sqlType, subs[i].searchKind,
                                           subs[i].searchKind != RVDB_SEARCH_NONE);
            c.joined = 1;
            c.relations.push_back(RvdbInnerColumnRelation(p, lobTable, NString("content_id"),
                                                          NString(subs[i].valueColumn),
                                                          NString(subs[i].valueType)));
            out.push_back(c);
        }
    } else if (typeIs(type, RVDB_TYPE_FILE)) {
        addPlain(out, p, "character(1)", RVDB_SEARCH_FILE);
        RvdbInnerColumn key = makeColumn(1, NString("rvkey"), "", RVDB_SEARCH_NONE, false);
        key.sqlType = NString();
        key.joined = 1;
        out.push_back(key);
    } else if (typeIs(type, RVDB_TYPE_RELKEY)) {
        addPlain(out, p, "numeric(9)", RVDB_SEARCH_NUMBER);
    } else if (typeIs(type, RVDB_TYPE_RELREF)) {
        return buildRelRef(cs, out, depth);
    } else if (typeIs(type, RVDB_TYPE_RELCPY)) {
        // A copy of a copy would never end.
        if (typeIs(cs.getRelColType(), RVDB_TYPE_RELCPY)) {
            IC_TRACE("col_type[%s] rel_col_type[%s] tid[%s] cid[%s]", type.c_str(), cs.getRelColType().c_str(),
                     cs.getTblId().c_str(), cs.getColId().c_str());
            return RVDB_ERR_ARG;
        }
        RvdbColumnSet copy(cs);
        copy.setColType(cs.getRelColType());
        int ret = buildColumns(copy, out, depth + 1);
        if (ret != 0) {
            IC_TRACE("ret[%d]", ret);
            return ret;
        }
    } else {
        IC_TRACE("col_type[%s] tid[%s] cid[%s]", type.c_str(), cs.getTblId().c_str(), cs.getColId().c_str());
        return RVDB_ERR_ARG;
    }
    return 0;
}

}  // namespace

int rvdbUpdaetColumnSetAndSchema(RvdbColumnSet& columnSet, std::vector<RvdbInnerColumn>& innerColumns)
{
    return buildColumns(columnSet, innerColumns, 0);
}
