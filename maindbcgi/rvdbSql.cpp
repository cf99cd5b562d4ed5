#include "rvdbSql.h"

#include <cstring>
#include <set>
#include <string>

#include "cddbsqlencoder.h"
#include "comtrace.h"
#include "rvdbphys.h"
#include "rvvalueparts.h"

#define RVDBSQL_TRACE(...) COMTRACE_SRC("rvdbSql", __VA_ARGS__)

namespace {

const unsigned SQL_BUFFER_SIZE = 4096;

NString detachText(NStringBuffer& buf)
{
    if (buf.length() == 0)
        return NString("");
    return NString(buf.detach());
}

bool hasJoinedColumn(const RvdbColumnSet& set)
{
    for (const RvdbInnerColumn& inner : set.getInnerColumns()) {
        if (!inner.relations.empty())
            return true;
    }
    return false;
}

bool containsId(const RvStringList& list, const NString& id)
{
    for (const NString& item : list) {
        if (strcmp(item.c_str(), id.c_str()) == 0)
            return true;
    }
    return false;
}

RvdbColumnSet* findColumnSet(const RvdbColumnSetList& columnSets, const NString& colId)
{
    for (const RvdbColumnSetPtr& ptr : columnSets) {
        if (ptr.hasObject() && strcmp(ptr->getColId().c_str(), colId.c_str()) == 0)
            return ptr.get();
    }
    return nullptr;
}

bool searchesAllColumns(const RvDbSearchFilterList& filters)
{
    for (const RvDbSearchFilterPtr& filter : filters) {
        if (!filter)
            continue;
        for (const RvDbSearchCondition& cond : filter->conditions) {
            if (strcmp(cond.col_id.c_str(), "*") == 0)
                return true;
        }
    }
    return false;
}

// Rights of the executing user (computed on first use; a permission that
// cannot be computed grants nothing).
bool canReferColumn(RvdbColumnSet& set)
{
    return set.getColPermission().canRefer();
}

bool isAllColumnsSearchKind(int kind)
{
    return kind == RVDB_SEARCH_NUMBER || kind == RVDB_SEARCH_TEXT ||
           kind == RVDB_SEARCH_SELECT || kind == RVDB_SEARCH_SELECTS;
}

void joinPredicates(const std::vector<NString>& predicates, NString& out)
{
    if (predicates.empty())
        return;
    if (predicates.size() == 1) {
        out = predicates[0];
        return;
    }
    NStringBuffer buf(SQL_BUFFER_SIZE);
    buf.append("(");
    for (size_t i = 0; i < predicates.size(); i++) {
        if (i > 0)
            buf.append(" OR ");
        buf.append(predicates[i].c_str());
    }
    buf.append(")");
    out = detachText(buf);
}

}  // namespace

RvResult rvdbGetColumnAlias(const RvdbInnerColumn& innerColumn, NString& alias)
{
    if (innerColumn.relations.empty()) {
        alias = NString("a");
        return RvResult();
    }
    NStringBuffer buf(SQL_BUFFER_SIZE);
    buf.append("rtbl");
    for (const RvdbInnerColumnRelation& rel : innerColumn.relations)
        buf.append(rel.localColumn.c_str());
    alias = detachText(buf);
    return RvResult();
}

RvResult rvdbGetQualifiedColumnName(const RvdbColumnSet& /*columnSet*/,
                                    const RvdbInnerColumn& innerColumn,
                                    const CdDBSqlEncoder* /*encoder*/, NString& out)
{
    NString alias;
    RvResult ret = rvdbGetColumnAlias(innerColumn, alias);
    if (ret.isError())
        return ret;
    const NString& column = innerColumn.relations.empty()
                                ? innerColumn.name
                                : innerColumn.relations.back().valueColumn;
    NString text;
    text.format("%s.%s", alias.c_str(), column.c_str());
    // The name is also the result column's name, which the server cuts to
    // its identifier length: a longer one would read back as no column and
    // its values as empty.
    if (text.length() > RVDB_SQL_MAX_NAME_LENGTH) {
        RVDBSQL_TRACE("ret[%d] name[%s]", RVDB_SQL_ERR_ARG, text.c_str());
        return RvResult(RVDB_SQL_ERR_ARG);
    }
    out = text;
    return RvResult();
}

RvResult rvdbGetSelectExpression(const RvdbColumnSet& columnSet,
                                 const RvdbInnerColumn& innerColumn,
                                 const CdDBSqlEncoder* encoder, NString& out)
{
    NString name;
    RvResult ret = rvdbGetQualifiedColumnName(columnSet, innerColumn, encoder, name);
    if (ret.isError()) {
        RVDBSQL_TRACE("ret[%d]", ret.getCode());
        return ret;
    }
    if (innerColumn.selectKind != RVDB_SELECT_DATETIME) {
        out = name;
        return RvResult();
    }
    if (encoder == nullptr) {
        RVDBSQL_TRACE("ret[%d]", RVDB_SQL_ERR_ARG);
        return RvResult(RVDB_SQL_ERR_ARG);
    }
    NString stamp;
    int code = encoder->toChar(stamp, name.c_str(), "YYYYMMDDHH24MISS", nullptr);
    if (code != 0) {
        RVDBSQL_TRACE("ret[%d]", code);
        return RvResult(code);
    }
    // A stamp has four digits of year and no era: a value outside the
    // years 1 to 9999 (infinite ones included) is marked instead.
    NString expr;
    expr.format("CASE WHEN %s>='0001-01-01' AND %s<'10000-01-01' THEN %s WHEN %s IS NOT NULL "
                "THEN '%c'||%s END",
                name.c_str(), name.c_str(), stamp.c_str(), name.c_str(), RV_NO_STAMP_MARK,
                name.c_str());
    out = expr;
    return RvResult();
}

RvResult rvdbMakeFromSql(const NString& tblId, const RvStringList& selectedColIds,
                         const RvDbSearchFilterList& filters,
                         const RvdbColumnSetList& columnSets, NString& out,
                         const RvStringList* extraColIds)
{
    RvStringList needed;
    bool all = searchesAllColumns(filters);
    for (const RvdbColumnSetPtr& ptr : columnSets) {
        if (!ptr.hasObject() || !hasJoinedColumn(*ptr))
            continue;
        const NString& colId = ptr->getColId();
        if (all || containsId(selectedColIds, colId) ||
            (extraColIds != nullptr && containsId(*extraColIds, colId))) {
            if (!containsId(needed, colId))
                needed.push_back(colId);
        }
    }
    for (const RvDbSearchFilterPtr& filter : filters) {
        if (!filter)
            continue;
        for (const RvDbSearchCondition& cond : filter->conditions) {
            if (!containsId(needed, cond.col_id))
                needed.push_back(cond.col_id);
        }
    }

    NStringBuffer buf(SQL_BUFFER_SIZE);
    NString table;
    rvdbMakeTableName(table, tblId);
    buf.appendf("%s as a", table.c_str());

    std::set<std::string> joined;
    for (const NString& colId : needed) {
        const RvdbColumnSet* set = findColumnSet(columnSets, colId);
        if (set == nullptr)
            continue;
        for (const RvdbInnerColumn& inner : set->getInnerColumns()) {
            std::string alias = "rtbl";
            std::string previous = "a";
            for (const RvdbInnerColumnRelation& rel : inner.relations) {
                alias += rel.localColumn.c_str();
                if (joined.insert(alias).second) {
                    buf.appendf(" left outer join %s as %s on (%s.%s=%s.%s)", rel.table.c_str(),
                                alias.c_str(), alias.c_str(), rel.keyColumn.c_str(),
                                previous.c_str(), rel.localColumn.c_str());
                }
                previous = alias;
            }
        }
    }
    out = detachText(buf);
    return RvResult();
}

RvResult rvdbMakeConditionSql(const RvDbSearchCondition& condition,
                              const RvdbColumnSetList& columnSets,
                              const CdDBSqlEncoder* encoder, NString& out)
{
    std::vector<NString> predicates;
    if (strcmp(condition.col_id.c_str(), "*") != 0) {
        const RvdbColumnSet* set = findColumnSet(columnSets, condition.col_id);
        if (set == nullptr) {
            RVDBSQL_TRACE("colid[%s]", condition.col_id.c_str());
            return RvResult(RVDB_SQL_ERR_COLUMN);
        }
        for (const RvdbInnerColumn& inner : set->getInnerColumns()) {
            if (!inner.answersCondValueType(condition.comp_val_type))
                continue;
            NString predicate;
            RvResult ret = rvdbMakeColumnPredicate(condition.comp_val_type, condition.comp_type,
                                                   condition.comp_val, inner, *set, columnSets,
                                                   encoder, predicate);
            if (ret.isError()) {
                RVDBSQL_TRACE("ret[%d] colid[%s]", ret.getCode(), condition.col_id.c_str());
                return ret;
            }
            if (!predicate.isNullOrEmpty())
                predicates.push_back(predicate);
        }
    } else {
        for (const RvdbColumnSetPtr& ptr : columnSets) {
            if (!ptr.hasObject())
                continue;
            const RvdbColumnSet& set = *ptr;
            const char* valueType = set.getRelColType().c_str();
            if (strcmp(valueType, RVDB_TYPE_KEY) == 0 || strcmp(valueType, RVDB_TYPE_RELKEY) == 0)
                continue;
            if (!canReferColumn(*ptr))
                continue;
            for (const RvdbInnerColumn& inner : set.getInnerColumns()) {
                if (!isAllColumnsSearchKind(inner.searchKind))
                    continue;
                NString predicate;
                RvResult ret = rvdbMakeColumnPredicate(condition.comp_val_type,
                                                       condition.comp_type, condition.comp_val,
                                                       inner, set, columnSets, encoder,
                                                       predicate);
                if (ret.isError()) {
                    if (ret.getCode() == RVDB_SQL_ERR_METHOD) {
                        RVDBSQL_TRACE("ret[%d] colid[%s]", ret.getCode(),
                                      set.getColId().c_str());
                        return ret;
                    }
                    continue;
                }
                if (!predicate.isNullOrEmpty())
                    predicates.push_back(predicate);
            }
        }
        if (predicates.empty() && !condition.comp_val.isNullOrEmpty())
            predicates.push_back(NString("NULL"));
    }
    joinPredicates(predicates, out);
    return RvResult();
}

RvResult rvdbMakeWhereSql(const CdDBSqlEncoder* encoder, const RvdbColumnSetList& columnSets,
                          const RvDbSearchFilterList& filters, NString& out)
{
    NStringBuffer where(SQL_BUFFER_SIZE);
    for (const RvDbSearchFilterPtr& filter : filters) {
        if (!filter)
            continue;
        const char* joiner = filter->condition == '&' ? "and" : "or";
        NStringBuffer text(SQL_BUFFER_SIZE);
        for (const RvDbSearchCondition& cond : filter->conditions) {
            NString sql;
            RvResult ret = rvdbMakeConditionSql(cond, columnSets, encoder, sql);
            if (ret.isError()) {
                RVDBSQL_TRACE("ret[%d] msg[%s]", ret.getCode(), ret.getMessage().c_str());
                return ret;
            }
            if (sql.isNullOrEmpty())
                continue;
            if (text.length() == 0)
                text.appendf("(%s)", sql.c_str());
            else
                text.appendf(" %s (%s)", joiner, sql.c_str());
        }
        if (text.length() == 0)
            continue;
        if (where.length() == 0)
            where.appendf("(%s)", text.c_str());
        else
            where.appendf(" and (%s)", text.c_str());
    }
    out = detachText(where);
    return RvResult();
}
