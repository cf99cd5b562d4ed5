// Reading column definitions from rv_tbl_col, with a process-lifetime
// cache of finished sets per table id.
#include "rvddGetTblColList.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "cddbconnection.h"
#include "cddbresult.h"
#include "cddbsqlencoder.h"
#include "comstr.h"
#include "comtrace.h"
#include "rvcompair.h"
#include "rvdbinnercolumn.h"

namespace {

typedef std::vector<RvdbColumnSetPtr> ColumnSetList;
typedef std::map<std::string, ColumnSetList> ColumnSetCache;

// Finished sets per table id text, kept until the process ends.
ColumnSetCache& columnSetCache()
{
    static ColumnSetCache cache;
    return cache;
}

bool given(const char* filter)
{
    return filter && filter[0];
}

// A filter that must be an integer, as a number: 0 or -100001.
int parseIdFilter(const char* text, long long& value)
{
    if (comIsInteger(text) != 1) {
        COMTRACE("ret[%d] value[%s]", RVDB_ERR_ARG, text);
        return RVDB_ERR_ARG;
    }
    errno = 0;
    char* end = nullptr;
    value = std::strtoll(text, &end, 10);
    if (errno == ERANGE || end == text) {
        COMTRACE("ret[%d] value[%s]", RVDB_ERR_ARG, text);
        return RVDB_ERR_ARG;
    }
    return 0;
}

int appendIdCondition(NStringBuffer& buf, const char* column, const char* text)
{
    long long value = 0;
    int ret = parseIdFilter(text, value);
    if (ret != 0)
        return ret;
    if (buf.length() > 0)
        buf.append(" and");
    buf.appendf(" a.%s=%lld", column, value);
    return 0;
}

// A handed-out copy: deep, with permission slots of its own along the chain
// so that rights filled in by one holder never reach another.
int copyDetached(const RvdbColumnSet& source, RvdbColumnSetPtr& out)
{
    out = RvdbColumnSetPtr(new RvdbColumnSet());
    int ret = RvdbColumnSet::copyDeep(source, *out);
    RvdbColumnSet* cur = out.get();
    for (int depth = 0; cur && depth <= RVDB_MAX_RELATION_DEPTH; ++depth) {
        cur->getPermissionPtr() = RvdbColPermissionPtr();
        cur = cur->getRelatedSet().get();
    }
    if (ret != 0)
        COMTRACE("ret[%d]", ret);
    return ret;
}

// Reads the rows of rv_tbl_col that match the filters into list. simple: the
// bare rows in table and column order, without the names of the tables and
// columns they refer to.
int rvddSelectTblCol(CdDBConnection* connection, ColumnSetList& list, const char* tblId,
                     const char* colId, const char* colType, const char* relTblId,
                     const char* relColId, bool simple = false)
{
    NString where;
    int ret = rvddMakeTblColWhere(connection->getSqlEncoder(), tblId, colId, colType, relTblId,
                                  relColId, where);
    if (ret != 0) {
        COMTRACE("iret[%d]", ret);
        return ret;
    }
    NString sql;
    if (simple)
        sql.format("select a.* from rv_tbl_col as a %s order by a.tbl_id,a.col_id", where.c_str());
    else
        sql.format("select a.*, b.tbl_lname as tbl_lname, c.tbl_lname as rel_tbl_lname,"
                   " d.col_lname as rel_col_lname, e.col_lname as rel_key_lname"
                   " from rv_tbl_col as a"
                   " left join rv_tbl as b on (b.tbl_id=a.tbl_id)"
                   " left join rv_tbl as c on (c.tbl_id=a.rel_tbl_id)"
                   " left join rv_tbl_col as d on (d.tbl_id=a.rel_tbl_id and d.col_id=a.rel_col_id)"
                   " left join rv_tbl_col as e on (e.tbl_id=a.tbl_id and e.col_id=a.rel_key)"
                   " %s order by b.seqno, a.tbl_id, a.seqno, a.col_id",
                   where.c_str());
    ret = connection->setSql(sql.c_str());
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
        return ret;
    }
    CdDBResultHandle result = connection->execute();
    if (!result || result->isError()) {
        ret = result ? result->getStatus() : CDDB_ERR_NO_RESULT;
        COMTRACE("ret[%d] dbcode[%s] dbmsg[%s]", ret, connection->getSqlState(),
                 connection->getErrorMessage());
        return ret;
    }
    while (!result->isEOF()) {
        RvdbColumnSetPtr set(new RvdbColumnSet());
        list.push_back(set);
        ret = rvddReadColumnSetRow(*result, *set, simple);
        if (ret == 0)
            ret = result->next();
        if (ret != 0) {
            COMTRACE("ret[%d]", ret);
            return ret;
        }
    }
    return 0;
}

// Sets read for relation resolution during one call.
struct WorkList {
    ColumnSetList sets;
    std::set<std::string> tablesRead;

    RvdbColumnSet* find(const NString& tblId, const NString& colId) const
    {
        for (const RvdbColumnSetPtr& p : sets) {
            if (std::strcmp(p->getTblId().c_str(), tblId.c_str()) == 0 &&
                std::strcmp(p->getColId().c_str(), colId.c_str()) == 0)
                return p.get();
        }
        return nullptr;
    }
};

typedef std::vector<std::pair<std::string, std::string>> RelationPath;

// Gives set a private copy of its related column and resolves that copy in
// turn. path holds the (tbl_id, col_id) of set and of every column above it.
int rvddResolveRelation(CdDBConnection* connection, RvdbColumnSet& set, WorkList& work,
                        RelationPath& path)
{
    if (set.getTblId().isNullOrEmpty() || set.getColId().isNullOrEmpty()) {
        COMTRACE("ret[%d]", RVDB_ERR_ARG);
        return RVDB_ERR_ARG;
    }
    if (!set.isRelation() || set.hasRelatedSet())
        return 0;
    const NString& relTblId = set.getRelTblId();
    const NString& relColId = set.getRelColId();
    if (relTblId.isNullOrEmpty() || relColId.isNullOrEmpty()) {
        COMTRACE("tid[%s] cid[%s]", relTblId.c_str(), relColId.c_str());
        return RVDB_ERR_NOT_FOUND;
    }
    for (const auto& step : path) {
        if (step.first == relTblId.c_str() && step.second == relColId.c_str()) {
            COMTRACE("ret[%d] cycle tid[%s] cid[%s]", RVDB_ERR_ARG, relTblId.c_str(), relColId.c_str());
            return RVDB_ERR_ARG;
        }
    }
    if (path.size() > static_cast<std::size_t>(RVDB_MAX_RELATION_DEPTH)) {
        COMTRACE("ret[%d] depth tid[%s] cid[%s]", RVDB_ERR_ARG, relTblId.c_str(), relColId.c_str());
        return RVDB_ERR_ARG;
    }

    RvdbColumnSet* found = work.find(relTblId, relColId);
    if (!found && work.tablesRead.insert(relTblId.c_str()).second) {
        int ret = rvddSelectTblCol(connection, work.sets, relTblId.c_str(), nullptr, nullptr,
                                   nullptr, nullptr);
        if (ret != 0) {
            COMTRACE("ret[%d]", ret);
            return ret;
        }
        found = work.find(relTblId, relColId);
    }
    if (!found) {
        COMTRACE("tid[%s] cid[%s]", relTblId.c_str(), relColId.c_str());
        return RVDB_ERR_NOT_FOUND;
    }

    RvdbColumnSetPtr related(new RvdbColumnSet());
    int ret = RvdbColumnSet::copyDeep(*found, *related);
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
        return ret;
    }
    set.setRelatedSet(related);
    if (related->isRelation()) {
        path.emplace_back(relTblId.c_str(), relColId.c_str());
        ret = rvddResolveRelation(connection, *related, work, path);
        path.pop_back();
        if (ret != 0) {
            COMTRACE("ret[%d]", ret);
            return ret;
        }
    }
    return 0;
}

// tolerant: a missing result column leaves the property as it is.
int readOne(const CdDBResult& result, RvdbColumnSet& set, const char* name, bool tolerant = false)
{
    NString value;
    int ret = result.getValueByName(value, name, "");
    if (ret == CDDB_ERR_NO_COLUMN && tolerant)
        return 0;
    if (ret != 0) {
        COMTRACE("ret[%d] name[%s]", ret, name);
        return ret;
    }
    set.set(RvdbColumnSet::findProperty(name), value);
    return 0;
}

// Splits a composite column (name=value lines) into the properties of
// the names in items; other names are ignored.
int readComposite(const CdDBResult& result, RvdbColumnSet& set, const char* column,
                  const char* const* items, int itemCount)
{
    NString text;
    int ret = result.getValueByName(text, column, "");
    if (ret != 0) {
        COMTRACE("ret[%d] name[%s]", ret, column);
        return ret;
    }
    if (text.isNullOrEmpty())
        return 0;
    RvPairList pairs;
    ret = rvcomSplitToPairArray(text.c_str(), pairs, '\n');
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
        return ret;
    }
    for (const RvPair& pair : pairs) {
        for (int i = 0; i < itemCount; ++i) {
            if (std::strcmp(pair.first.c_str(), items[i]) == 0) {
                set.set(RvdbColumnSet::findProperty(items[i]), pair.second);
                break;
            }
        }
    }
    return 0;
}

}  // namespace

int rvddMakeTblColWhere(CdDBSqlEncoder* encoder, const char* tblId, const char* colId,
                        const char* colType, const char* relTblId, const char* relColId,
                        NString& out)
{
    NStringBuffer buf(4096);
    int ret = 0;
    if (given(tblId) && (ret = appendIdCondition(buf, "tbl_id", tblId)) != 0)
        return ret;
    if (given(colId) && (ret = appendIdCondition(buf, "col_id", colId)) != 0)
        return ret;
    if (given(colType)) {
        if (!encoder) {
            COMTRACE("ret[%d]", CDDB_ERR_NO_RESULT);
            return CDDB_ERR_NO_RESULT;
        }
        NString escaped;
        ret = encoder->escape(escaped, colType);
        if (ret != 0) {
            COMTRACE("ret[%d]", ret);
            return ret;
        }
        if (buf.length() > 0)
            buf.append(" and");
        buf.append(" a.col_type='");
        buf.append(escaped.c_str());
        buf.append("'");
    }
    if (given(relTblId) && (ret = appendIdCondition(buf, "rel_tbl_id", relTblId)) != 0)
        return ret;
    if (given(relColId) && (ret = appendIdCondition(buf, "rel_col_id", relColId)) != 0)
        return ret;
    if (buf.length() > 0)
        out = NString(" where", NString(buf.c_str(), static_cast<int>(buf.length())));
    else
        out = NString("");
    return 0;
}

int rvddReadColumnSetRow(const CdDBResult& result, RvdbColumnSet& set, bool tolerant)
{
    static const char* const plain[] = {
        "tbl_id", "col_id", "col_type", "col_lname", "seqno", "rel_tbl_id", "rel_col_id",
        "rel_col_type", "rel_key", "c_must", "c_uniq", "c_sort", "c_max_size", "c_min_count",
        "c_max_count", "c_min_val", "c_max_val", "c_min_len", "c_max_len", "c_min_date",
        "c_max_date", "c_input_limit", "c_input_selects", "f_round_level", "f_round_type",
        "f_comma_split", "f_minus", "f_prefix", "f_affix", "f_percent", "f_option",
        "f_display_format", "v_init_val", "v_input_cols", "v_input_rows", "v_input_type",
        "v_input_format", "v_input_help"
    };
    static const char* const autoCorrect[] = { "autocrrct", "acsp", "acalp", "acnum",
                                               "achkk", "aczkk", "aczhk" };
    static const char* const calc[] = { "type", "term1", "term1val", "term2",
                                        "term2val", "operator", "terms", "numerator" };
    static const char* const joined[] = { "tbl_lname", "rel_tbl_lname", "rel_col_lname",
                                          "rel_key_lname" };
    int ret = 0;
    for (const char* name : plain) {
        if ((ret = readOne(result, set, name)) != 0)
            return ret;
    }
    ret = readComposite(result, set, "c_input_auto_correct", autoCorrect,
                        static_cast<int>(sizeof autoCorrect / sizeof autoCorrect[0]));
    if (ret != 0)
        return ret;
    ret = readComposite(result, set, "calc_expr", calc, static_cast<int>(sizeof calc / sizeof calc[0]));
    if (ret != 0)
        return ret;
    for (const char* name : joined) {
        if ((ret = readOne(result, set, name, tolerant)) != 0)
            return ret;
    }
    return 0;
}

int rvddGetTblColList(CdDBConnection* connection, std::vector<RvdbColumnSetPtr>& list,
                      const char* tblId, const char* colId, const char* colType,
                      const char* relTblId, const char* relColId)
{
    if (!connection) {
        COMTRACE("ret[%d]", RVDB_ERR_ARG);
        return RVDB_ERR_ARG;
    }
    const bool cacheable = given(tblId) && !colId && !colType && !relTblId && !relColId;
    ColumnSetCache& cache = columnSetCache();
    if (cacheable) {
        ColumnSetCache::const_iterator hit = cache.find(tblId);
        if (hit != cache.end()) {
            for (const RvdbColumnSetPtr& cached : hit->second) {
                RvdbColumnSetPtr copy;
                copyDetached(*cached, copy);
                list.push_back(copy);
            }
            return 0;
        }
    }

    // Only the sets appended here are resolved, built and cached.
    const std::size_t first = list.size();
    int ret = rvddSelectTblCol(connection, list, tblId, colId, colType, relTblId, relColId);
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
        return ret;
    }
    WorkList work;
    for (std::size_t i = first; i < list.size(); ++i) {
        RvdbColumnSet& set = *list[i];
        if (set.isRelation()) {
            RelationPath path;
            path.emplace_back(set.getTblId().c_str(), set.getColId().c_str());
            ret = rvddResolveRelation(connection, set, work, path);
            if (ret == RVDB_ERR_NOT_FOUND) {
                // A missing related column somewhere on the chain: no chain.
                set.setRelatedSet(RvdbColumnSetPtr());
            } else if (ret != 0) {
                COMTRACE("ret[%d] tid[%s] cid[%s]", ret, set.getTblId().c_str(), set.getColId().c_str());
                return ret;
            }
        }
        ret = rvdbUpdateColumnSetAndSchema(set, set.getInnerColumns());
        if (ret != 0) {
            COMTRACE("ret[%d] tid[%s] cid[%s]", ret, set.getTblId().c_str(), set.getColId().c_str());
            return ret;
        }
    }

    if (cacheable) {
        ColumnSetList copies;
        copies.reserve(list.size() - first);
        for (std::size_t i = first; i < list.size(); ++i) {
            RvdbColumnSetPtr copy;
            copyDetached(*list[i], copy);
            copies.push_back(copy);
        }
        cache[tblId] = copies;
    }
    return 0;
}

int rvddGetTblColListSimple(CdDBConnection* connection, std::vector<RvdbColumnSetPtr>& list,
                            const char* tblId, const char* colId, const char* colType,
                            const char* relTblId, const char* relColId)
{
    if (!connection) {
        COMTRACE("ret[%d]", RVDB_ERR_ARG);
        return RVDB_ERR_ARG;
    }
    return rvddSelectTblCol(connection, list, tblId, colId, colType, relTblId, relColId, true);
}
