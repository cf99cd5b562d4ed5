// Table catalogue: reading rv_tbl rows, the rights-filtered table list and
// the field checks of a table's settings.
#include "rvtbl.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "cddbconnection.h"
#include "cddbsqlencoder.h"
#include "comstr.h"
#include "comtrace.h"
#include "rvaccinfo.h"
#include "rvappctx.h"
#include "rvcompair.h"
#include "rvresult.h"
#include "rvuser.h"
#include "rvvalidator.h"

#define TRACE(...) COMTRACE_SRC("rvappTableSet", __VA_ARGS__)

namespace {

const int ERR_ARG = -100001;
const int ERR_NO_ROW = -100010;
const char* const DATE_FORMAT = "YYYYMMDDHH24MISS";

// Rights of the list filter: bit, column suffix.
struct RightCol {
    int bit;
    const char* name;
};
const RightCol RIGHTS[] = {{RV_ACC_REFER, "refer"},   {RV_ACC_ENTRY, "entry"},
                           {RV_ACC_CHANGE, "change"}, {RV_ACC_DELETE, "delete"},
                           {RV_ACC_ADDCMT, "addcmt"}, {RV_ACC_EXPORT, "export"}};

// A user id fit to stand in SQL: an integer that fits an int.
bool readUserId(const char* text, int& out)
{
    if (!comIsInteger(text)) {
        return false;
    }
    errno = 0;
    long long v = strtoll(text, nullptr, 10);
    if (errno == ERANGE || v > INT_MAX || v < INT_MIN) {
        return false;
    }
    out = static_cast<int>(v);
    return true;
}

// The context's time zone; the connection's while the context has none.
const char* timeZone(CdDBConnection* connection)
{
    const NString& zone = RvAppCtx::getInstance()->getTimeZone();
    return zone.isNullOrEmpty() ? connection->getTimeZone() : zone.c_str();
}

RvResult fieldResult(const RvCheckResult& check, const char* labelKey)
{
    if (!check.isError()) {
        return RvResult();
    }
    RvResult r(check.code, rvValidatorMakeMessageByKey(check, labelKey));
    r.addParam(NString(labelKey));
    return r;
}

RvResult checkRequiredIntRange(const NString& value, const char* labelKey)
{
    RvCheckResult check = rvValidatorCheckRequired(value.c_str());
    if (!check.isError()) {
        check = rvValidatorCheckIntRange(value.c_str(), 0, 999999999);
    }
    return fieldResult(check, labelKey);
}

// Value of key in a tbl_options text of LF-separated key=value lines; null
// when the key is absent.
NString getTblOption(const char* tblOptions, const char* key)
{
    RvPairList pairs;
    if (tblOptions == nullptr || key == nullptr || rvcomSplitToPairArray(tblOptions, pairs, '\n') != 0) {
        return NString();
    }
    for (const RvPair& p : pairs) {
        if (strcmp(p.first.c_str(), key) == 0) {
            // Lines written with CRLF keep a CR after the value.
            const char* v = p.second.c_str();
            size_t len = strlen(v);
            if (len > 0 && v[len - 1] == '\r') {
                return NString(v, static_cast<int>(len - 1));
            }
            return NString(v, -1);
        }
    }
    return NString();
}

// Runs sql into result: 0, or the failure's code (traced with the
// database's state).
int runSelect(CdDBConnection* connection, const NString& sql, CdDBResultHandle& result)
{
    connection->setSql(sql.c_str());
    result = connection->execute();
    if (!result || result->isError()) {
        int ret = result ? result->getStatus() : CDDB_ERR_NO_RESULT;
        TRACE("ret[%d] dbsts[%s] dbmsg[%s]", ret, connection->getSqlState(),
              connection->getErrorMessage());
        return ret;
    }
    return 0;
}

}  // namespace

bool RvdbTableSet::isSearchHitCountOn() const
{
    return strcmp(search_hit_count.c_str(), "on") == 0;
}

void RvdbTableSet::makeTblOptions(NString& out) const
{
    if (search_hit_count.isNull()) {
        out = NString("");
        return;
    }
    out.format("%s=%s\n", RV_TBL_OPT_SEARCH_HIT_COUNT, search_hit_count.c_str());
}

RvResult RvdbTableSet::checkTblId(const NString& value)
{
    return checkRequiredIntRange(value, "tableid");
}

RvResult RvdbTableSet::checkStatus(const NString& value)
{
    RvCheckResult check = rvValidatorCheckRequired(value.c_str());
    if (!check.isError() && strcmp(value.c_str(), "0") != 0 && strcmp(value.c_str(), "1") != 0) {
        check = rvValidatorInvalidValue(nullptr);
    }
    return fieldResult(check, "status");
}

RvResult RvdbTableSet::checkSeqno(const NString& value)
{
    return checkRequiredIntRange(value, "seqno");
}

RvResult RvdbTableSet::checkTblLname(const NString& value)
{
    RvCheckResult check = rvValidatorCheckRequired(value.c_str());
    if (!check.isError()) {
        check = rvValidatorCheckLength(value.c_str(), 0, 64);
    }
    return fieldResult(check, "tablename");
}

RvResult RvdbTableSet::checkNote(const NString&)
{
    return RvResult();
}

RvResult RvdbTableSet::checkRegistDate(const NString& value)
{
    return fieldResult(rvValidatorCheckRequired(value.c_str()), "registdate");
}

RvResult RvdbTableSet::checkRegistUid(const NString& value)
{
    return fieldResult(rvValidatorCheckRequired(value.c_str()), "registuid");
}

RvResult RvdbTableSet::checkUpdateDate(const NString&)
{
    return RvResult();
}

RvResult RvdbTableSet::checkRecords(const NString&)
{
    return RvResult();
}

RvResult RvdbTableSet::checkTblKey(const NString& value)
{
    return fieldResult(rvValidatorCheckLength(value.c_str(), 0, 32), "tablekey");
}

RvResult RvdbTableSet::checkSearchHitCountOption(const NString& value)
{
    // An unset option passes.
    const char* v = value.c_str();
    if (v[0] == '\0' || strcmp(v, "on") == 0 || strcmp(v, "off") == 0) {
        return RvResult();
    }
    NString text;
    text.format("%s = %s", RV_TBL_OPT_SEARCH_HIT_COUNT, v);
    return fieldResult(rvValidatorInvalidValue(text.c_str()), "tableoptions");
}

int RvdbTableSet::check(std::vector<NString>& messages, bool setFieldsOnly) const
{
    typedef RvResult (*Check)(const NString&);
    struct Field {
        const NString* value;
        Check check;
    };
    const Field fields[] = {
        {&tbl_id, &checkTblId},           {&status, &checkStatus},
        {&seqno, &checkSeqno},            {&tbl_lname, &checkTblLname},
        {&note, &checkNote},              {&records, &checkRecords},
        {&regist_date, &checkRegistDate}, {&regist_uid, &checkRegistUid},
        {&update_date, &checkUpdateDate}, {&tbl_key, &checkTblKey},
    };
    int failed = 0;
    for (const Field& f : fields) {
        if (setFieldsOnly && f.value->isNull()) {
            continue;
        }
        RvResult r = f.check(*f.value);
        if (r.isError()) {
            messages.push_back(r.getMessage());
            failed = 1;
        }
    }
    if (!setFieldsOnly || !search_hit_count.isNullOrEmpty()) {
        RvResult r = checkSearchHitCountOption(search_hit_count);
        if (r.isError()) {
            messages.push_back(r.getMessage());
            failed = 1;
        }
    }
    return failed;
}

int rvappReadTableSetRow(const CdDBResultHandle& result, RvdbTableSet& out)
{
    if (!result) {
        TRACE("ret[%d]", CDDB_ERR_NO_RESULT);
        return CDDB_ERR_NO_RESULT;
    }
    struct Col {
        const char* name;
        NString* field;
    };
    const Col cols[] = {{"tbl_id", &out.tbl_id},           {"status", &out.status},
                        {"seqno", &out.seqno},             {"tbl_lname", &out.tbl_lname},
                        {"note", &out.note},               {"regist_date", &out.regist_date},
                        {"regist_uid", &out.regist_uid},   {"regist_uname", &out.regist_uname},
                        {"update_date", &out.update_date}, {"records", &out.records},
                        {"tbl_key", &out.tbl_key}};
    for (const Col& c : cols) {
        int ret = result->getValueByName(*c.field, c.name);
        if (ret != 0) {
            TRACE("ret[%d]", ret);
            return ret;
        }
    }
    NString options;
    int ret = result->getValueByName(options, "tbl_options");
    if (ret != 0) {
        TRACE("ret[%d]", ret);
        return ret;
    }
    out.setSearchHitCountOption(getTblOption(options.c_str(), RV_TBL_OPT_SEARCH_HIT_COUNT));
    return 0;
}

int rvappGetTableSet(CdDBConnection* connection, const char* tblId, RvdbTableSet& out)
{
    if (connection == nullptr || tblId == nullptr || tblId[0] == '\0') {
        TRACE("ret[%d]", CDDB_ERR_ARG);
        return CDDB_ERR_ARG;
    }
    CdDBSqlEncoder* encoder = connection->getSqlEncoder();
    if (encoder == nullptr) {
        TRACE("ret[%d]", CDDB_ERR_NO_RESULT);
        return CDDB_ERR_NO_RESULT;
    }
    NString escId;
    NString registDate;
    NString updateDate;
    int ret = encoder->escape(escId, tblId);
    if (ret == 0) {
        ret = encoder->toChar(registDate, "rv_tbl.REGIST_DATE", DATE_FORMAT, timeZone(connection));
    }
    if (ret == 0) {
        ret = encoder->toChar(updateDate, "rv_tbl.UPDATE_DATE", DATE_FORMAT, timeZone(connection));
    }
    if (ret != 0) {
        TRACE("ret[%d]", ret);
        return ret;
    }
    NString sql;
    sql.format("select rv_tbl.TBL_ID,rv_tbl.STATUS,rv_tbl.SEQNO,rv_tbl.TBL_LNAME,rv_tbl.NOTE,"
               "%s as REGIST_DATE,rv_tbl.REGIST_UID,rv_tbl.REGIST_UNAME,%s as UPDATE_DATE,"
               "rv_tbl.RECORDS,rv_tbl.TBL_KEY,rv_tbl.TBL_OPTIONS, rvsys_user.name as regist_uname "
               "from rv_tbl left outer join rvsys_user on rv_tbl.REGIST_UID=rvsys_user.id "
               "where tbl_id='%s'",
               registDate.c_str(), updateDate.c_str(), escId.c_str());
    CdDBResultHandle result;
    ret = runSelect(connection, sql, result);
    if (ret != 0) {
        return ret;
    }
    if (result->isEOF()) {
        TRACE("ret[%d] tableid[%.64s]", ERR_NO_ROW, tblId);
        return ERR_NO_ROW;
    }
    return rvappReadTableSetRow(result, out);
}

int rvappMakeTableSetListSql(CdDBConnection* connection, NString& sql, const char* userId,
                             bool userIsAdmin, int rightsMask, bool countOnly, int limit,
                             int offset)
{
    if (connection == nullptr || connection->getSqlEncoder() == nullptr) {
        TRACE("ret[%d]", CDDB_ERR_NO_RESULT);
        return CDDB_ERR_NO_RESULT;
    }
    CdDBSqlEncoder* encoder = connection->getSqlEncoder();
    bool masked = rightsMask > 0 && !userIsAdmin;
    bool noUser = userId == nullptr || userId[0] == '\0';
    bool filtered = masked && !noUser;
    int uid = 0;
    if (filtered && !readUserId(userId, uid)) {
        TRACE("ret[%d] uid[%.32s]", ERR_ARG, userId);
        return ERR_ARG;
    }

    // 1. select part
    NStringBuffer select(512);
    if (countOnly) {
        select.appendf("select count(a.%s)", "tbl_id");
    } else {
        NString registDate;
        NString updateDate;
        int ret = encoder->toChar(registDate, "a.regist_date", DATE_FORMAT, timeZone(connection));
        if (ret == 0) {
            ret = encoder->toChar(updateDate, "a.update_date", DATE_FORMAT, timeZone(connection));
        }
        if (ret != 0) {
            TRACE("ret[%d]", ret);
            return ret;
        }
        select.appendf("select a.%s, a.%s, a.%s, a.%s, a.%s, a.%s, a.%s, a.%s, a.%s, %s as %s, %s "
                       "as %s, b.%s as %s",
                       "tbl_id", "status", "seqno", "tbl_lname", "note", "regist_uid", "records",
                       "tbl_key", "tbl_options", registDate.c_str(), "regist_date",
                       updateDate.c_str(), "update_date", "name", "regist_uname");
    }

    // 2. from
    NString from;
    from.format(" from %s as a", "rv_tbl");

    // 3. rights join; 4. filter
    NStringBuffer join(1024);
    NStringBuffer where(512);
    if (filtered) {
        join.appendf(" left join (select %s", "tbl_id");
        NStringBuffer conds(256);
        for (const RightCol& r : RIGHTS) {
            if ((rightsMask & r.bit) == 0) {
                continue;
            }
            join.appendf(", coalesce(max(u_acc_%s), max(g_acc_%s), max(a_acc_%s)) as acc_%s",
                         r.name, r.name, r.name, r.name);
            conds.appendf("%sacc.acc_%s='%s'", conds.length() > 0 ? " and " : "", r.name, "1");
        }
        join.appendf(" from %s where %s=%d", "rv_tbl_acc", "u_id", uid);
        join.appendf(" or %s in (select %s from %s where %s=%d) or %s=%s", "g_id", "id",
                     "rvsys_group_user", "sid_assign", uid, "g_id", "-1");
        join.appendf(" group by %s) as acc on a.%s=acc.%s", "tbl_id", "tbl_id", "tbl_id");
        if (conds.length() == 0) {
            // A mask without any known right asks for nothing more.
            conds.append("true");
        }
        where.appendf(" where (%s)", conds.c_str());
        where.appendf(" or a.%s in (select %s from %s where %s=%d)", "tbl_id", "tbl_id",
                      "rv_tbl_admin", "dbadmin_uid", uid);
    } else if (masked && noUser) {
        // Rights asked for nobody: no table.
        where.append(" where false");
    }

    // 5. user join (before the filter), order and paging
    NString userJoin;
    NStringBuffer tail(128);
    if (!countOnly) {
        userJoin.format(" left outer join %s as b on a.%s=b.%s", "rvsys_user", "regist_uid", "id");
        tail.appendf(" order by a.%s", "seqno");
        if (limit > 0) {
            tail.appendf(" limit %d", limit);
        }
        if (offset > 0) {
            tail.appendf(" offset %d", offset);
        }
    }

    sql.format("%s%s%s%s%s%s", select.c_str(), from.c_str(), join.c_str(), userJoin.c_str(),
               where.c_str(), tail.c_str());
    return 0;
}

int rvappGetTableSetList(CdDBConnection* connection, std::vector<RvdbTableSetPtr>& out,
                         const RvUser& user, int rightsMask, bool countOnly, int limit,
                         int offset)
{
    NString sql;
    int ret = rvappMakeTableSetListSql(connection, sql, user.id.c_str(), user.isAdmin(),
                                       rightsMask, countOnly, limit, offset);
    if (ret != 0) {
        TRACE("ret[%d]", ret);
        return ret;
    }
    CdDBResultHandle result;
    ret = runSelect(connection, sql, result);
    if (ret != 0) {
        return ret;
    }
    if (countOnly) {
        NString count;
        ret = result->isEOF() ? CDDB_ERR_EOF : result->getValue(count, 0);
        if (ret != 0) {
            TRACE("ret[%d]", ret);
            return ret;
        }
        return atoi(count.c_str());
    }
    while (!result->isEOF()) {
        RvdbTableSetPtr table = std::make_shared<RvdbTableSet>();
        ret = rvappReadTableSetRow(result, *table);
        if (ret != 0) {
            TRACE("ret[%d]", ret);
            return ret;
        }
        out.push_back(table);
        result->next();
    }
    return 0;
}
