#include "rvddGetNewIdByTbl.h"

#include <unistd.h>

#include "cddbconnection.h"
#include "comtrace.h"
#include "rvappFieldCheck.h"
#include "rvappListSql.h"
#include "rvappctx.h"

namespace {

const char* const TABLE = "rv_tbl_last_id";

// The integer text of tblId and the escaped cname.
int counterKey(CdDBConnection* connection, const char* tblId, const char* cname, NString& tbl,
               NString& name)
{
    if (connection == nullptr || cname == nullptr || cname[0] == '\0' ||
        rvappIntegerIdText(tblId, tbl) != 0) {
        COMTRACE("ret[%d] tid[%.64s] cname[%.64s]", -100001, tblId ? tblId : "", cname ? cname : "");
        return -100001;
    }
    return RVLIST_ESCAPE(connection, cname, name);
}

// counterKey for a value to store, which must be positive.
int counterKeyFor(CdDBConnection* connection, const char* tblId, const char* cname, int value, NString& tbl,
                  NString& name)
{
    if (value <= 0) {
        COMTRACE("ret[%d] value[%d]", -100001, value);
        return -100001;
    }
    return counterKey(connection, tblId, cname, tbl, name);
}

int runPlain(CdDBConnection* connection, const char* sql)
{
    CdDBResultHandle result;
    return RVLIST_RUN(connection, sql, result);
}

// Opens the savepoint and reads the counter row under a lock, retrying a
// locked row until attempts reaches the limit (attempts counts across
// calls). On success the savepoint stays open.
int readLocked(CdDBConnection* connection, const NString& tbl, const NString& name, int& attempts,
               int& lastId, bool& found)
{
    NString sql;
    sql.format("select * from %s where %s=%s and %s='%s' for update nowait", TABLE, "tbl_id", tbl.c_str(),
               "cname", name.c_str());
    for (;;) {
        int ret = runPlain(connection, "savepoint spretry");
        if (ret != 0) {
            return ret;
        }
        CdDBResultHandle result;
        ret = RVLIST_RUN(connection, sql.c_str(), result);
        if (ret == 0) {
            found = !result->isEOF();
            lastId = 0;
            if (found) {
                NString value;
                ret = result->getValueByName(value, "last_id");
                if (ret != 0) {
                    COMTRACE("ret[%d]", ret);
                    return ret;
                }
                lastId = rvappTextToInt(value.c_str());
            }
            return 0;
        }
        if (ret != CDDB_ERR_LOCKED) {
            return ret;
        }
        int rb = runPlain(connection, "rollback to savepoint spretry");
        if (rb != 0) {
            return rb;
        }
        sleep(1);
        if (++attempts >= RVDD_LOCK_ATTEMPTS) {
            COMTRACE("ret[%d] attempts[%d]", ret, attempts);
            return ret;
        }
    }
}

int insertRow(CdDBConnection* connection, const NString& tbl, const NString& name, int value)
{
    NString sql;
    sql.format("insert into %s (%s,%s,%s) values ('%s',%s,%d)", TABLE, "cname", "tbl_id", "last_id",
               name.c_str(), tbl.c_str(), value);
    return runPlain(connection, sql.c_str());
}

}  // namespace

int rvddSelectLastIdForUpdate(CdDBConnection* connection, const char* tblId, const char* cname, int& lastId,
                              bool* found)
{
    NString tbl, name;
    int ret = counterKey(connection, tblId, cname, tbl, name);
    if (ret != 0) {
        return ret;
    }
    int attempts = 0;
    int value = 0;
    bool have = false;
    ret = readLocked(connection, tbl, name, attempts, value, have);
    if (ret != 0) {
        return ret;
    }
    ret = runPlain(connection, "release savepoint spretry");
    if (ret != 0) {
        return ret;
    }
    lastId = value;
    if (found != nullptr) {
        *found = have;
    }
    return 0;
}

int rvddInsertLastId(CdDBConnection* connection, const char* tblId, const char* cname, int value)
{
    NString tbl, name;
    int ret = counterKeyFor(connection, tblId, cname, value, tbl, name);
    if (ret != 0) {
        return ret;
    }
    return insertRow(connection, tbl, name, value);
}

int rvddUpdateLastId(CdDBConnection* connection, const char* tblId, const char* cname, int value)
{
    NString tbl, name;
    int ret = counterKeyFor(connection, tblId, cname, value, tbl, name);
    if (ret != 0) {
        return ret;
    }
    NString sql;
    sql.format("update %s set %s=%d where %s=%s and %s='%s'", TABLE, "last_id", value, "tbl_id", tbl.c_str(),
               "cname", name.c_str());
    CdDBResultHandle result;
    ret = RVLIST_RUN(connection, sql.c_str(), result);
    if (ret != 0) {
        return ret;
    }
    if (result->getAffectedRows() == 0) {
        COMTRACE("%s", "");
        return -100010;
    }
    return 0;
}

int rvddGetNewIdByTbl(CdDBConnection* connection, const char* tblId, const char* cname, int& newId)
{
    NString tbl, name;
    int ret = counterKey(connection, tblId, cname, tbl, name);
    if (ret != 0) {
        return ret;
    }
    int attempts = 0;
    for (;;) {
        int lastId = 0;
        bool found = false;
        ret = readLocked(connection, tbl, name, attempts, lastId, found);
        if (ret != 0) {
            COMTRACE("ret[%d]", ret);
            return ret;
        }
        if (!found) {
            // The insert stays inside the savepoint: a concurrent first
            // allocation that committed the row first only costs a retry.
            ret = insertRow(connection, tbl, name, 1);
            if (ret == CDDB_ERR_UNIQUE) {
                int rb = runPlain(connection, "rollback to savepoint spretry");
                if (rb != 0) {
                    return rb;
                }
                if (++attempts < RVDD_LOCK_ATTEMPTS) {
                    continue;
                }
            }
            if (ret != 0) {
                COMTRACE("ret[%d]", ret);
                return ret;
            }
            ret = runPlain(connection, "release savepoint spretry");
            if (ret != 0) {
                return ret;
            }
            newId = 1;
            return 0;
        }
        ret = runPlain(connection, "release savepoint spretry");
        if (ret != 0) {
            return ret;
        }
        if (lastId > RVDD_LAST_ID_MAX) {
            COMTRACE("%s", "");
            return -330014;
        }
        ret = rvddUpdateLastId(connection, tblId, cname, lastId + 1);
        if (ret != 0) {
            COMTRACE("ret[%d]", ret);
            return ret;
        }
        newId = lastId + 1;
        return 0;
    }
}

int rvddGetNewIdByTbl(RvAppCtx* context, const char* tblId, const char* cname, int& newId)
{
    CdDBConnection* connection = context != nullptr ? context->getConnection(true) : nullptr;
    if (connection == nullptr) {
        COMTRACE("ret[%d]", CDDB_ERR_NO_RESULT);
        return CDDB_ERR_NO_RESULT;
    }
    return rvddGetNewIdByTbl(connection, tblId, cname, newId);
}
