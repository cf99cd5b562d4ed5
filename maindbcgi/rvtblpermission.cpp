// Table permission of a user and the table administrators.
#include "rvtblpermission.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "cddbconnection.h"
#include "comtrace.h"
#include "rvtbl.h"
#include "rvuser.h"

#define TRACE(...) COMTRACE_SRC("rvappGetTablePermission", __VA_ARGS__)

namespace {

const int ERR_ARG = -100001;
const char* const SAVEPOINT = "rv_tbl_admin_lookup";

// Administrators per table id; failed reads are not stored.
typedef std::map<int, std::vector<int>> AdminCache;

AdminCache& adminCache()
{
    static AdminCache cache;
    return cache;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Runs a statement whose rows are not needed: 0 or its code (traced).
int runPlain(CdDBConnection* connection, const char* sql)
{
    int ret = connection->setSql(sql);
    if (ret == 0) {
        CdDBResultHandle result = connection->execute();
        ret = !result ? CDDB_ERR_NO_RESULT : (result->isError() ? result->getStatus() : 0);
    }
    if (ret != 0) {
        TRACE("ret[%d] dbsts[%s] dbmsg[%s]", ret, connection->getSqlState(),
              connection->getErrorMessage());
    }
    return ret;
}

// Reads the administrators of table tblNo into the cache: 0 or the code.
int readAdmins(CdDBConnection* connection, int tblNo)
{
    char sql[128];
    snprintf(sql, sizeof sql, "select * from %s where %s = %d", "rv_tbl_admin", "tbl_id", tblNo);
    int ret = connection->setSql(sql);
    CdDBResultHandle result;
    if (ret == 0) {
        result = connection->execute();
        ret = !result ? CDDB_ERR_NO_RESULT : (result->isError() ? result->getStatus() : 0);
    }
    if (ret != 0) {
        TRACE("ret[%d] dbsts[%s] dbmsg[%s]", ret, connection->getSqlState(),
              connection->getErrorMessage());
        return ret;
    }
    std::vector<int> admins;
    for (; !result->isEOF(); result->next()) {
        NString uid;
        ret = result->getValueByName(uid, "dbadmin_uid");
        if (ret != 0) {
            TRACE("ret[%d]", ret);
            return ret;
        }
        int id = 0;
        if (rvappParseId(uid.c_str(), id)) {
            admins.push_back(id);
        }
    }
    adminCache()[tblNo] = admins;
    return 0;
}

bool listed(const std::vector<int>& admins, int uid)
{
    for (int id : admins) {
        if (id == uid) {
            return true;
        }
    }
    return false;
}

// Administrator lookup for rvappGetTablePermission: 0 with isAdmin set, or
// the code that leaves the rights undecided. A failed read inside the
// savepoint is rolled back and answers "no".
int lookupAdmin(CdDBConnection* connection, int tblNo, int uid, bool& isAdmin)
{
    isAdmin = false;
    AdminCache::const_iterator hit = adminCache().find(tblNo);
    if (hit != adminCache().end()) {
        isAdmin = listed(hit->second, uid);
        return 0;
    }
    char sql[64];
    bool guarded = connection->inTransaction();
    if (guarded) {
        snprintf(sql, sizeof sql, "SAVEPOINT %s", SAVEPOINT);
        int ret = runPlain(connection, sql);
        if (ret != 0) {
            return ret;
        }
    }
    int lookup = readAdmins(connection, tblNo);
    if (guarded) {
        if (lookup != 0) {
            snprintf(sql, sizeof sql, "ROLLBACK TO SAVEPOINT %s", SAVEPOINT);
            int ret = runPlain(connection, sql);
            if (ret != 0) {
                return ret;
            }
        }
        snprintf(sql, sizeof sql, "RELEASE SAVEPOINT %s", SAVEPOINT);
        int ret = runPlain(connection, sql);
        if (ret != 0) {
            return ret;
        }
    }
    if (lookup != 0) {
        TRACE("ret[%d] tblId[%d]", lookup, tblNo);
        return 0;
    }
    isAdmin = listed(adminCache()[tblNo], uid);
    return 0;
}

bool isOn(const NString& right)
{
    return strcmp(right.c_str(), "1") == 0;
}

}  // namespace

bool rvappParseId(const char* text, int& out)
{
    if (text == nullptr) {
        return false;
    }
    const char* p = text;
    while (isBlank(*p)) {
        ++p;
    }
    bool negative = *p == '-';
    if (negative) {
        ++p;
    }
    while (*p == '0' && p[1] >= '0' && p[1] <= '9') {
        ++p;
    }
    int value = 0;
    int digits = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (++digits > 9) {
            return false;
        }
        value = value * 10 + (*p - '0');
    }
    while (isBlank(*p)) {
        ++p;
    }
    if (digits == 0 || *p != '\0') {
        return false;
    }
    out = negative ? -value : value;
    return true;
}

bool rvappIsAdminOfTable(CdDBConnection* connection, const char* tblId, const char* userId)
{
    if (connection == nullptr || tblId == nullptr || tblId[0] == '\0' || userId == nullptr ||
        userId[0] == '\0') {
        TRACE("%s", "");
        return false;
    }
    int tblNo = 0;
    int uid = 0;
    if (!rvappParseId(tblId, tblNo) || !rvappParseId(userId, uid)) {
        TRACE("ret[%d] tblId[%.32s] uid[%.32s]", ERR_ARG, tblId, userId);
        return false;
    }
    bool isAdmin = false;
    if (lookupAdmin(connection, tblNo, uid, isAdmin) != 0 || !isAdmin) {
        TRACE("%s", "");
        return false;
    }
    return true;
}

int rvappGetTablePermission(CdDBConnection* connection, const RvUser& user, const NString& tblId,
                            RvTblPermission& out, bool checkStatus)
{
    int tblNo = 0;
    int uid = 0;
    // A system administrator needs no user id; everyone else a checked one.
    if (connection == nullptr || !rvappParseId(tblId.c_str(), tblNo) ||
        (!user.isAdmin() && !rvappParseId(user.id.c_str(), uid))) {
        TRACE("ret[%d] tblId[%.32s] uid[%.32s]", ERR_ARG, tblId.c_str(), user.id.c_str());
        return ERR_ARG;
    }
    char tblText[16];
    char uidText[16];
    snprintf(tblText, sizeof tblText, "%d", tblNo);
    snprintf(uidText, sizeof uidText, "%d", uid);

    RvAccInfo rights;
    bool tblAdmin = false;
    bool ownEntry = false;
    if (user.isAdmin()) {
        rights.setAll("1");
    } else {
        int ret = lookupAdmin(connection, tblNo, uid, tblAdmin);
        if (ret != 0) {
            TRACE("ret[%d]", ret);
            return ret;
        }
        if (tblAdmin) {
            rights.setAll("1");
        } else {
            std::vector<RvTblAccInfoPtr> entries;
            ret = rvappGetAllTblAccessInfo(connection, tblText, uidText, true, entries);
            if (ret != 0) {
                TRACE("ret[%d]", ret);
                return ret;
            }
            const RvTblAccInfo* own = nullptr;
            const RvTblAccInfo* everyone = nullptr;
            bool anyGroup = false;
            for (const RvTblAccInfoPtr& e : entries) {
                int id = 0;
                if (own == nullptr && rvappParseId(e->u_id.c_str(), id) && id == uid) {
                    own = e.get();
                }
                if (rvappParseId(e->g_id.c_str(), id)) {
                    if (id == -1) {
                        if (everyone == nullptr) {
                            everyone = e.get();
                        }
                    } else {
                        anyGroup = true;
                        for (int i = 0; i < RvAccInfo::COUNT; ++i) {
                            if (isOn(e->g_acc.at(i))) {
                                rights.at(i) = NString("1");
                            }
                        }
                    }
                }
            }
            if (own != nullptr) {
                rights = own->u_acc;
                ownEntry = true;
            } else if (!anyGroup) {
                if (everyone != nullptr) {
                    rights = everyone->a_acc;
                } else {
                    rights.setAll("0");
                }
            }
        }
    }

    bool refer = isOn(rights.acc_refer);
    out.setRefer(refer);
    out.setEntry(refer && isOn(rights.acc_entry));
    out.setChange(refer && isOn(rights.acc_change));
    out.setDelete(refer && isOn(rights.acc_delete));
    out.setAddcmt(refer && isOn(rights.acc_addcmt));
    out.setExport(refer && isOn(rights.acc_export));
    out.setTblAdmin(tblAdmin);
    out.setOwnEntry(ownEntry);

    if (checkStatus && refer) {
        RvdbTableSet table;
        int ret = rvappGetTableSet(connection, tblText, table);
        if (ret != 0) {
            TRACE("ret[%d]", ret);
            return ret;
        }
        if (strcmp(table.status.c_str(), "0") == 0) {
            out.setEntry(false);
            out.setChange(false);
            out.setDelete(false);
            out.setAddcmt(false);
        }
    }
    return 0;
}
