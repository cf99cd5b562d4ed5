// Access rights records and the reader of rv_tbl_acc.
#include "rvaccinfo.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "cddbconnection.h"
#include "cddbsqlencoder.h"
#include "comstr.h"
#include "comtrace.h"

#define TRACE(...) COMTRACE_SRC("rvappGetAllTblAccessInfo", __VA_ARGS__)

namespace {

const int ERR_ARG = -100001;

bool isRightInvalid(const NString& right)
{
    if (right.isNullOrEmpty()) {
        return false;
    }
    return strcmp(right.c_str(), "0") != 0 && strcmp(right.c_str(), "1") != 0;
}

bool isIdInvalid(const NString& id)
{
    if (id.isNullOrEmpty()) {
        return false;
    }
    return id.length() > 9 || !comIsInteger(id.c_str());
}

// The id read as a base-10 integer (a text without leading digits reads as
// 0); false when the value does not fit an int.
bool readId(const char* text, int& out)
{
    errno = 0;
    char* end = nullptr;
    long long v = strtoll(text, &end, 10);
    if (errno == ERANGE || v > INT_MAX || v < INT_MIN) {
        return false;
    }
    out = static_cast<int>(v);
    return true;
}

const char* const USER_COLS[RvAccInfo::COUNT] = {"u_acc_refer",  "u_acc_entry",  "u_acc_change",
                                                 "u_acc_delete", "u_acc_addcmt", "u_acc_export"};
const char* const GROUP_COLS[RvAccInfo::COUNT] = {"g_acc_refer",  "g_acc_entry",  "g_acc_change",
                                                  "g_acc_delete", "g_acc_addcmt", "g_acc_export"};
const char* const ALL_COLS[RvAccInfo::COUNT] = {"a_acc_refer",  "a_acc_entry",  "a_acc_change",
                                                "a_acc_delete", "a_acc_addcmt", "a_acc_export"};

int readRights(const CdDBResult& result, const char* const* cols, RvAccInfo& out)
{
    for (int i = 0; i < RvAccInfo::COUNT; ++i) {
        int ret = result.getValueByName(out.at(i), cols[i]);
        if (ret != 0) {
            TRACE("ret[%d]", ret);
            return ret;
        }
    }
    return 0;
}

}  // namespace

void RvAccInfo::clear()
{
    setAll(nullptr);
}

void RvAccInfo::setAll(const char* value)
{
    for (int i = 0; i < COUNT; ++i) {
        at(i) = NString(value);
    }
}

bool RvAccInfo::isInvalid() const
{
    for (int i = 0; i < COUNT; ++i) {
        if (isRightInvalid(at(i))) {
            return true;
        }
    }
    return false;
}

NString& RvAccInfo::at(int index)
{
    switch (index) {
    case 1:
        return acc_entry;
    case 2:
        return acc_change;
    case 3:
        return acc_delete;
    case 4:
        return acc_addcmt;
    case 5:
        return acc_export;
    default:
        return acc_refer;
    }
}

const NString& RvAccInfo::at(int index) const
{
    return const_cast<RvAccInfo*>(this)->at(index);
}

RvTblAccInfo::RvTblAccInfo(const char* tblId) : tbl_id(tblId), g_id("-1")
{
    a_acc.setAll("0");
}

RvTblAccInfo::RvTblAccInfo(const char* tblId, const char* uId) : tbl_id(tblId), u_id(uId)
{
    u_acc.setAll("0");
}

bool RvTblAccInfo::isInvalid() const
{
    return isIdInvalid(tbl_id) || isIdInvalid(u_id) || isIdInvalid(g_id) || u_acc.isInvalid() ||
           g_acc.isInvalid() || a_acc.isInvalid();
}

int rvappGetAllTblAccessInfo(CdDBConnection* connection, const char* tblId, const char* id,
                             bool userMode, std::vector<RvTblAccInfoPtr>& out)
{
    if (connection == nullptr || tblId == nullptr || tblId[0] == '\0' || id == nullptr ||
        id[0] == '\0') {
        TRACE("%s", "");
        return ERR_ARG;
    }
    CdDBSqlEncoder* encoder = connection->getSqlEncoder();
    if (encoder == nullptr) {
        TRACE("ret[%d]", CDDB_ERR_NO_RESULT);
        return CDDB_ERR_NO_RESULT;
    }
    NString escTbl;
    NString escId;
    int ret = encoder->escape(escTbl, tblId);
    if (ret == 0) {
        ret = encoder->escape(escId, id);
    }
    if (ret != 0) {
        TRACE("ret[%d]", ret);
        return ret;
    }
    int tblNo = 0;
    int idNo = 0;
    if (!readId(escTbl.c_str(), tblNo) || !readId(escId.c_str(), idNo)) {
        TRACE("ret[%d] tblId[%.32s] id[%.32s]", ERR_ARG, tblId, id);
        return ERR_ARG;
    }

    char sql[4096];
    int n = snprintf(sql, sizeof sql, "select * from %s where %s = %d and (%s = %s", "rv_tbl_acc",
                     "tbl_id", tblNo, "g_id", "-1");
    if (userMode) {
        snprintf(sql + n, sizeof sql - n, " or %s in (select %s from %s where %s = %d) or %s = %d)",
                 "g_id", "id", "rvsys_group_user", "sid_assign", idNo, "u_id", idNo);
    } else {
        snprintf(sql + n, sizeof sql - n, " or %s = %d)", "g_id", idNo);
    }

    connection->setSql(sql);
    CdDBResultHandle result = connection->execute();
    if (!result || result->isError()) {
        int status = result ? result->getStatus() : CDDB_ERR_NO_RESULT;
        TRACE("ret[%d] dbsts[%s] dbmsg[%s]", status, connection->getSqlState(),
              connection->getErrorMessage());
        return status;
    }
    while (!result->isEOF()) {
        RvTblAccInfoPtr info = std::make_shared<RvTblAccInfo>();
        const CdDBResult& row = *result;
        ret = row.getValueByName(info->tbl_id, "tbl_id");
        if (ret == 0) {
            ret = row.getValueByName(info->u_id, "u_id");
        }
        if (ret == 0) {
            ret = row.getValueByName(info->g_id, "g_id");
        }
        if (ret != 0) {
            TRACE("ret[%d]", ret);
            return ret;
        }
        if ((ret = readRights(row, USER_COLS, info->u_acc)) != 0 ||
            (ret = readRights(row, GROUP_COLS, info->g_acc)) != 0 ||
            (ret = readRights(row, ALL_COLS, info->a_acc)) != 0) {
            return ret;
        }
        out.push_back(info);
        result->next();
    }
    return 0;
}
