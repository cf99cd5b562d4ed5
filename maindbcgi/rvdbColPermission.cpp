// A user's rights per column, kept per user and table for the process.
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cddbconnection.h"
#include "comtrace.h"
#include "rvappctx.h"
#include "rvcompair.h"
#include "rvdbColumnSetFuncs.h"
#include "rvddGetTblColList.h"
#include "rvtbl.h"
#include "rvtblpermission.h"
#include "rvuser.h"

#define TRACE(...) COMTRACE_SRC("rvdbColumnSetFuncs", __VA_ARGS__)

namespace {

const int ERR_ARG = -100001;
const int ERR_NO_ROW = -100010;
// Calculations nested deeper than this count as a cycle.
const size_t MAX_CALC_DEPTH = 64;

typedef std::map<std::string, RvColPermission> ColumnRights;
typedef std::map<std::string, ColumnRights> RightsCache;
typedef std::vector<RvdbColumnSetPtr> ColumnSetList;

RightsCache& rightsCache()
{
    static RightsCache cache;
    return cache;
}

const RvColPermission& noRights()
{
    static const RvColPermission none;
    return none;
}

enum CalcKind { CALC_NONE, CALC_NUMBER, CALC_DATETIME, CALC_TIMESPAN };

CalcKind calcKind(const RvdbColumnSet& set)
{
    const char* type = set.getColType().c_str();
    if (strcmp(type, RVDB_TYPE_NUMBERCAL) == 0)
        return CALC_NUMBER;
    if (strcmp(type, RVDB_TYPE_DATETIMECAL) == 0)
        return CALC_DATETIME;
    if (strcmp(type, RVDB_TYPE_TIMESPANCAL) == 0)
        return CALC_TIMESPAN;
    return CALC_NONE;
}

// Table ids as numbers, so "3" and "03" are one table.
std::string tableKey(const NString& tblId)
{
    int no = 0;
    if (!rvappParseId(tblId.c_str(), no))
        return std::string(tblId.c_str());
    return std::to_string(no);
}

// One computation of the rights of a user's table.
class Reach {
public:
    Reach(CdDBConnection* c, const std::set<std::string>& tables) : connection(c), referable(tables) {}

    // ok = the calculation reads no column the user may not refer to.
    int checkCalc(const RvdbColumnSet& calc, const ColumnSetList& tableSets, bool& ok);
    // Follows the related chain of a relation column: ok = false when a
    // column on it lies in a table the user may not refer to, or when the
    // calculation it ends in (of kind want; CALC_NONE: any) fails the check.
    int walkRelation(const RvdbColumnSet& column, CalcKind want, bool& ok);
    // The column sets of a table, read once per computation.
    int setsOf(const NString& tblId, const ColumnSetList*& out);

private:
    int checkTerm(const NString& colId, CalcKind want, const ColumnSetList& tableSets, bool& ok);
    bool isReferable(const NString& tblId) const { return referable.count(tableKey(tblId)) != 0; }

    CdDBConnection* connection;
    const std::set<std::string>& referable;
    std::map<std::string, ColumnSetList> tables;
    std::vector<std::string> path;  // calculations being checked
};

int Reach::setsOf(const NString& tblId, const ColumnSetList*& out)
{
    std::string key = tableKey(tblId);
    std::map<std::string, ColumnSetList>::iterator it = tables.find(key);
    if (it == tables.end()) {
        ColumnSetList sets;
        int ret = rvddGetTblColList(connection, sets, tblId.c_str());
        if (ret != 0) {
            TRACE("ret[%d] tblId[%s]", ret, tblId.c_str());
            return ret;
        }
        it = tables.insert(std::make_pair(key, sets)).first;
    }
    out = &it->second;
    return 0;
}

int Reach::checkTerm(const NString& colId, CalcKind want, const ColumnSetList& tableSets, bool& ok)
{
    ok = true;
    std::string id = colId.c_str();
    size_t b = id.find_first_not_of(" \t");
    size_t e = id.find_last_not_of(" \t");
    id = b == std::string::npos ? std::string() : id.substr(b, e - b + 1);
    if (id.empty() || id == "0")
        return 0;
    const RvdbColumnSet* column = nullptr;
    for (const RvdbColumnSetPtr& p : tableSets) {
        if (p.hasObject() && id == p->getColId().c_str()) {
            column = p.get();
            break;
        }
    }
    if (column == nullptr)
        return 0;
    int ret = 0;
    if (calcKind(*column) == want) {
        ret = checkCalc(*column, tableSets, ok);
    } else if (column->isRelCpy() || column->isRelRef()) {
        ret = walkRelation(*column, want, ok);
    }
    if (ret != 0)
        TRACE("ret[%d]", ret);
    return ret;
}

int Reach::checkCalc(const RvdbColumnSet& calc, const ColumnSetList& tableSets, bool& ok)
{
    ok = true;
    std::string self = tableKey(calc.getTblId()) + ":" + calc.getColId().c_str();
    for (const std::string& p : path) {
        if (p == self) {
            TRACE("cycle tblId[%s] colId[%s]", calc.getTblId().c_str(), calc.getColId().c_str());
            ok = false;
            return 0;
        }
    }
    if (path.size() >= MAX_CALC_DEPTH) {
        TRACE("depth tblId[%s] colId[%s]", calc.getTblId().c_str(), calc.getColId().c_str());
        ok = false;
        return 0;
    }

    // The columns the calculation reads, with the kind each must have.
    std::vector<std::pair<NString, CalcKind>> terms;
    const char* type = calc.getCalcType().c_str();
    bool list = false;
    CalcKind listKind = CALC_NONE;
    switch (calcKind(calc)) {
    case CALC_NUMBER:
        if (strcmp(type, "binary") == 0) {
            terms.push_back(std::make_pair(calc.getTerm1(), CALC_NUMBER));
            terms.push_back(std::make_pair(calc.getTerm2(), CALC_NUMBER));
        } else if (strcmp(type, "sum") == 0 || strcmp(type, "average") == 0 ||
                   strcmp(type, "rate") == 0) {
            list = true;
            listKind = CALC_NUMBER;
        }
        break;
    case CALC_DATETIME:
        terms.push_back(std::make_pair(calc.getTerm1(), CALC_DATETIME));
        terms.push_back(std::make_pair(calc.getTerm2(), CALC_TIMESPAN));
        break;
    case CALC_TIMESPAN:
        if (strcmp(type, "datesub") == 0) {
            terms.push_back(std::make_pair(calc.getTerm1(), CALC_DATETIME));
            terms.push_back(std::make_pair(calc.getTerm2(), CALC_DATETIME));
        } else if (strcmp(type, "timespanaddsub") == 0) {
            terms.push_back(std::make_pair(calc.getTerm1(), CALC_TIMESPAN));
            terms.push_back(std::make_pair(calc.getTerm2(), CALC_TIMESPAN));
        } else if (strcmp(type, "timespansum") == 0) {
            list = true;
            listKind = CALC_TIMESPAN;
        }
        break;
    default:
        TRACE("%s", "");
        return ERR_ARG;
    }
    if (list) {
        RvStringList ids;
        rvcomConvTextToArray(calc.getTerms(), ids, ',');
        for (const NString& id : ids)
            terms.push_back(std::make_pair(id, listKind));
    }

    path.push_back(self);
    int ret = 0;
    for (size_t i = 0; i < terms.size() && ok; ++i) {
        ret = checkTerm(terms[i].first, terms[i].second, tableSets, ok);
        if (ret != 0) {
            TRACE("ret[%d]", ret);
            break;
        }
    }
    path.pop_back();
    return ret;
}

int Reach::walkRelation(const RvdbColumnSet& column, CalcKind want, bool& ok)
{
    ok = true;
    const RvdbColumnSet* cur = column.getRelatedSet().get();
    if (cur == nullptr) {
        // The related column is gone; its table still counts.
        ok = column.getRelTblId().isNullOrEmpty() || isReferable(column.getRelTblId());
        return 0;
    }
    for (int depth = 0; cur != nullptr; ++depth, cur = cur->getRelatedSet().get()) {
        if (depth > RVDB_MAX_RELATION_DEPTH || !isReferable(cur->getTblId())) {
            ok = false;
            return 0;
        }
        CalcKind kind = calcKind(*cur);
        if (kind != CALC_NONE) {
            if (want != CALC_NONE && kind != want)
                return 0;
            const ColumnSetList* sets = nullptr;
            int ret = setsOf(cur->getTblId(), sets);
            if (ret == 0)
                ret = checkCalc(*cur, *sets, ok);
            if (ret != 0)
                TRACE("ret[%d]", ret);
            return ret;
        }
    }
    return 0;
}

const RvColPermission& entryOf(const ColumnRights& rights, const NString& colId)
{
    ColumnRights::const_iterator it = rights.find(colId.c_str());
    return it == rights.end() ? noRights() : it->second;
}

}  // namespace

int rvdbGetColPermission(const RvUser& user, const NString& tblId, const NString& colId,
                         const RvColPermission** out, bool reset)
{
    if (out == nullptr) {
        TRACE("%s", "");
        return ERR_ARG;
    }
    *out = &noRights();
    if (reset)
        rightsCache().clear();
    std::string key = std::string(user.id.c_str()) + "_" + tblId.c_str();
    RightsCache::const_iterator hit = rightsCache().find(key);
    if (hit != rightsCache().end()) {
        *out = &entryOf(hit->second, colId);
        return 0;
    }

    CdDBConnection* connection = RvAppCtx::getInstance()->getConnection(true);
    if (connection == nullptr || !connection->isConnected()) {
        TRACE("ret[%d] execUid[%s] tblId[%s]", CDDB_ERR_NO_RESULT, user.id.c_str(), tblId.c_str());
        return CDDB_ERR_NO_RESULT;
    }
    ColumnSetList sets;
    int ret = rvddGetTblColList(connection, sets, tblId.c_str());
    if (ret != 0) {
        TRACE("ret[%d] execUid[%s] tblId[%s]", ret, user.id.c_str(), tblId.c_str());
        return ret;
    }
    std::vector<RvdbTableSetPtr> tableList;
    ret = rvappGetTableSetList(connection, tableList, user, RV_ACC_REFER, false);
    if (ret != 0) {
        TRACE("ret[%d] execUid[%s]", ret, user.id.c_str());
        return ret;
    }
    RvTblPermission tablePerm;
    ret = rvappGetTablePermission(connection, user, tblId, tablePerm, true);
    if (ret != 0 && ret != ERR_NO_ROW) {
        TRACE("ret[%d] execUid[%s] tblId[%s]", ret, user.id.c_str(), tblId.c_str());
        return ret;
    }
    std::set<std::string> referable;
    for (const RvdbTableSetPtr& t : tableList)
        referable.insert(tableKey(t->tbl_id));

    Reach reach(connection, referable);
    ColumnRights rights;
    for (const RvdbColumnSetPtr& p : sets) {
        if (!p.hasObject())
            continue;
        const RvdbColumnSet& column = *p;
        bool ok = true;
        if (calcKind(column) != CALC_NONE) {
            ret = reach.checkCalc(column, sets, ok);
        } else if (column.isRelation()) {
            ret = reach.walkRelation(column, CALC_NONE, ok);
        }
        if (ret != 0) {
            TRACE("ret[%d] execUid[%s] tblId[%s]", ret, user.id.c_str(), tblId.c_str());
            return ret;
        }
        RvColPermission perm;
        if (ok) {
            perm.setRefer(tablePerm.canRefer());
            perm.setEntry(tablePerm.canEntry());
            perm.setChange(tablePerm.canChange());
        }
        rights[column.getColId().c_str()] = perm;
    }
    ColumnRights& kept = rightsCache()[key];
    kept = rights;
    *out = &entryOf(kept, colId);
    return 0;
}

const RvColPermission& RvdbColumnSet::getColPermission()
{
    if (const RvColPermission* kept = permission.get())
        return *kept;
    const RvColPermission* perm = nullptr;
    int ret = rvdbGetColPermission(RvAppCtx::getInstance()->getUser(), getTblId(), getColId(), &perm,
                                   false);
    if (ret != 0 || perm == nullptr) {
        COMTRACE_SRC("RvdbColumnSet", "ret[%d] tblId[%s] colId[%s]", ret, getTblId().c_str(),
                     getColId().c_str());
        static const RvColPermission none;
        return none;
    }
    permission.set(*perm);
    return *permission.get();
}
