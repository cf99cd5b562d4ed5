// Table selection, the export loop and the per-table directory; the export
// columns and setting.json.
#include "rvmigrateexportbat.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cddbcodes.h"
#include "cddbconnection.h"
#include "comcgi.h"
#include "comfile.h"
#include "comstr.h"
#include "ndoc.h"
#include "rvappctx.h"
#include "rvcomcode.h"
#include "rvcommigrate.h"
#include "rvdbinnercolumn.h"
#include "rvddGetTblColList.h"

namespace {

bool equals(const NString& a, const char* b)
{
    return std::strcmp(a.c_str(), b) == 0;
}

// Removes a directory tree (or whatever else sits there) without following
// links. 0 when nothing is left.
int removeTree(const NString& dir)
{
    std::string path(dir.c_str());
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT ? 0 : -1;
    return comDirDelete(path.c_str(), nullptr, 0, 0);
}

// The working directory of a table: its name does not begin with "tbl", so
// the import never takes a table that is still being written.
NString workDirOf(const NString& filesDir, const NString& phys)
{
    NString out;
    out.format("%s.work-%s/", filesDir.c_str(), phys.c_str());
    return out;
}

void logEndEntry(RvMigrateExportBat& bat, const NString& phys, const NString& name, bool withResult,
                 int clean, int warning, int error, bool cancel)
{
    NString end, result, cancelText;
    rvcomGetLocalString(end, "export_logfile_export_end", phys, name);
    if (withResult)
        rvcomGetLocalString(result, "export_logfile_export_result",
                            RvComMigrate::comMigrateToString(clean),
                            RvComMigrate::comMigrateToString(warning),
                            RvComMigrate::comMigrateToString(error));
    if (cancel)
        rvcomGetLocalString(cancelText, "export_logfile_export_cancel", phys, name);
    bat.writeExportLog(end + result + cancelText);
}

// Makes the export directory when missing and locks it for the rest of the
// process, so that no other run writes into it meanwhile. 0, or -1010 with
// the directory in the detail text when another run holds it. A directory
// that cannot be made or opened is left to the tables, which fail on it.
int lockFilesDir(RvMigrateExportBat& bat)
{
    if (bat.m_files_lock >= 0)
        return 0;
    const char* dir = bat.m_files_dir.c_str();
    int ret = comDirMake(dir);
    if (ret != 0) {
        EXPORTTRACE("ret[%d] exportdir[%s] errno[%d]", ret, dir, errno);
        return 0;
    }
    int fd = ::open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        EXPORTTRACE("ret[%d] exportdir[%s] errno[%d]", fd, dir, errno);
        return 0;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int err = errno;
        ::close(fd);
        EXPORTTRACE("ret[%d] exportdir[%s] errno[%d]", CDDB_ERR_LOCKED, dir, err);
        if (err != EWOULDBLOCK)
            return 0;
        bat.m_error_detail.format("%s[%s]", "Export directory is used by another run.", dir);
        return CDDB_ERR_LOCKED;
    }
    bat.m_files_lock = fd;
    return 0;
}

// One statement without rows: 0 or the database's code.
int execStatement(CdDBConnection* conn, const NString& sql)
{
    conn->setSql(sql.c_str());
    CdDBResultHandle res = conn->execute();
    return res ? res->getStatus() : CDDB_ERR_NO_RESULT;
}

// Ends the transaction begun at connect, which has read only the table
// list, and begins the run's transaction again with the same isolation.
int restartTransaction(CdDBConnection* conn)
{
    int ret = conn->rollback();
    if (ret == 0)
        ret = conn->begin();
    if (ret == 0)
        ret = execStatement(conn, "SET TRANSACTION ISOLATION LEVEL REPEATABLE READ");
    return ret;
}

// Locks one table in a savepoint, so that a failure leaves the transaction
// usable. 0 or the database's code (-1051 for a table that does not exist).
int lockTable(CdDBConnection* conn, const std::string& name)
{
    int ret = execStatement(conn, "SAVEPOINT rvexp_lock");
    if (ret != 0)
        return ret;
    ret = execStatement(conn, NString("LOCK TABLE ") + NString(name.c_str()) + NString(" IN ACCESS SHARE MODE"));
    if (ret == 0)
        return execStatement(conn, "RELEASE SAVEPOINT rvexp_lock");
    EXPORTTRACE("ret[%d] table[%s] dbsts[%s] dbmsg[%s]", ret, name.c_str(), conn->getSqlState(),
                conn->getErrorMessage());
    int undo = execStatement(conn, "ROLLBACK TO SAVEPOINT rvexp_lock");
    if (undo == 0)
        undo = execStatement(conn, "RELEASE SAVEPOINT rvexp_lock");
    return undo != 0 ? undo : ret;
}

// A table that the export of a listed table reads. Only the listed table
// itself must exist; an attachment or referenced table may be missing.
struct ReadTable {
    std::string name;
    bool required;
};
typedef std::vector<ReadTable> ReadTables;

// The tables the export of table reads, in the order they are locked: the
// table and its attachment table, then every table its exported reference
// columns reach, to the end of each chain, each with its attachment table.
// Definitions that cannot be read add nothing: the table fails on them
// when it is exported. The definitions are read past their cache, which
// the export fills in its snapshot.
ReadTables tablesReadBy(const RvMigrateExportBat& bat, CdDBConnection* conn, const RvdbTableSet& table)
{
    ReadTables out;
    std::set<std::string> seen;
    auto add = [&](const NString& name, bool required) {
        if (!name.isNullOrEmpty() && seen.insert(name.c_str()).second)
            out.push_back(ReadTable{ name.c_str(), required });
    };
    auto addWithLob = [&](const NString& tblId, bool required) {
        NString phys, lob;
        add(rvdbMakeTableName(phys, tblId), required);
        add(rvdbMakeLobTableName(lob, tblId), false);
    };
    addWithLob(table.tbl_id, true);
    std::vector<RvdbColumnSetPtr> columns;
    if (rvddGetTblColList(conn, columns, table.tbl_id.c_str(), "") != 0)
        return out;
    for (const RvdbColumnSetPtr& col : columns) {
        if (!col || !bat.exportsColumn(*col))
            continue;
        // The tables the record query joins for the column.
        for (const RvdbInnerColumn& inner : col->getInnerColumns())
            for (const RvdbInnerColumnRelation& rel : inner.relations)
                add(rel.table, false);
        // Each step of a reference chain, whose attachments are listed
        // from the table at its end.
        const RvdbColumnSet* step = col.get();
        for (int depth = 0; step != nullptr && step->isRelRef() && depth <= RVDB_MAX_RELATION_DEPTH; ++depth) {
            addWithLob(step->getRelTblId(), false);
            step = step->getRelatedSet().get();
        }
    }
    return out;
}

// The names among names that name a table now, whatever the snapshot
// says: a table made or renamed after the snapshot is read too. Only plain
// names are asked. 0 or the code of the failed read.
int tablesNowPresent(CdDBConnection* conn, const std::set<std::string>& names, std::set<std::string>& out)
{
    NStringBuffer sql(1024);
    for (const std::string& name : names) {
        if (name.empty() || name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_") != std::string::npos)
            continue;
        sql.appendf("%s('%s')", sql.length() == 0 ? "select v.n from (values " : ",", name.c_str());
    }
    if (sql.length() == 0)
        return 0;
    sql.append(") as v(n) where to_regclass(v.n) is not null");
    conn->setSql(sql.c_str());
    CdDBResultHandle res = conn->execute();
    if (!res || res->isError())
        return res ? res->getStatus() : CDDB_ERR_NO_RESULT;
    for (; !res->isEOF(); res->next()) {
        NString name;
        int ret = res->getValue(name, 0);
        if (ret != 0)
            return ret;
        out.insert(name.c_str());
    }
    return 0;
}

// Rounds of locking and listing before tables that the list keeps gaining
// are given up.
const int kLockRounds = 3;

// What a lock of t came to: 0 locked, 1 missing (a table that need not
// exist), or the code it failed with.
int lockOutcome(const ReadTable& t, int code)
{
    return code == CDDB_ERR_NO_TABLE && !t.required ? 1 : code;
}

// Locks every table the export reads, then reads the list and the
// definitions again: that read takes the run's snapshot, so every table it
// lists, and every table those read, was locked before. The tables each
// round locks are worked out in the transaction before it, since reading
// the definitions would take the snapshot; a table the snapshot reads that
// the round did not lock (a table the list gains, a reference that is new,
// an attachment or referenced table that was missing when its lock was
// tried and is there now) starts a new round. A rollback releases the
// locks, so each round locks every table again. A table whose lock failed
// is not tried again. Each lock waits at most the lock time-out.
// tables: the list read before, then the list of the snapshot. codes: the
// code of each listed table's locks; a table that is still not locked in
// the last round counts as timed out. refs: the table whose lock failed,
// when it is not the listed table's own; empty otherwise. 0, or the code
// that stops the run.
int lockListedTables(RvMigrateExportBat& bat, CdDBConnection* conn, std::vector<RvdbTableSetPtr>& tables,
                     std::vector<int>& codes, std::vector<std::string>& refs)
{
    std::map<std::string, int> failed;  // table name: code its lock failed with
    std::map<std::string, ReadTables> reads;  // table id: the tables to lock for it
    for (const RvdbTableSetPtr& table : tables)
        reads[table->tbl_id.c_str()] = tablesReadBy(bat, conn, *table);
    for (int round = 1;; ++round) {
        int ret = restartTransaction(conn);
        if (ret == 0)
            ret = execStatement(conn, "SET LOCAL lock_timeout = '5s'");
        std::map<std::string, int> locks;  // table name: code of its lock in this round
        for (size_t i = 0; ret == 0 && i < tables.size(); ++i) {
            for (const ReadTable& t : reads[tables[i]->tbl_id.c_str()]) {
                auto done = locks.find(t.name);
                if (done == locks.end()) {
                    auto f = failed.find(t.name);
                    int code = f != failed.end() ? f->second : lockTable(conn, t.name);
                    // A missing table is asked for again in the next round.
                    if (code != 0 && code != CDDB_ERR_NO_TABLE)
                        failed[t.name] = code;
                    done = locks.emplace(t.name, code).first;
                }
                // The table fails: the rest of its tables are not needed.
                if (lockOutcome(t, done->second) < 0)
                    break;
            }
        }
        std::vector<RvdbTableSetPtr> listed;
        if (ret == 0)
            ret = bat.getTableList(listed);
        if (ret != 0)
            return ret;
        std::map<std::string, ReadTables> snapshot;
        std::set<std::string> missing, present;
        for (const RvdbTableSetPtr& table : listed) {
            ReadTables& set = snapshot[table->tbl_id.c_str()];
            set = tablesReadBy(bat, conn, *table);
            for (const ReadTable& t : set) {
                auto l = locks.find(t.name);
                if (l != locks.end() && lockOutcome(t, l->second) == 1)
                    missing.insert(t.name);
            }
        }
        ret = tablesNowPresent(conn, missing, present);
        if (ret != 0)
            return ret;
        bool complete = true;
        codes.clear();
        refs.clear();
        for (const RvdbTableSetPtr& table : listed) {
            const ReadTables& set = snapshot[table->tbl_id.c_str()];
            int code = 0;
            std::string ref;
            for (size_t k = 0; k < set.size(); ++k) {
                auto l = locks.find(set[k].name);
                int outcome = l != locks.end() ? lockOutcome(set[k], l->second) : 0;
                bool unlocked = l == locks.end() || (outcome == 1 && present.count(set[k].name) > 0);
                if (!unlocked && outcome >= 0)
                    continue;
                code = unlocked ? CDDB_ERR_LOCKED : outcome;
                // The first two are the table's own.
                if (k >= 2)
                    ref = set[k].name;
                if (unlocked) {
                    complete = false;
                    if (round == kLockRounds)
                        EXPORTTRACE("ret[%d] tableid[%s] table[%s] rounds[%d]", CDDB_ERR_LOCKED,
                                    table->tbl_id.c_str(), set[k].name.c_str(), round);
                }
                break;
            }
            codes.push_back(code);
            refs.push_back(ref);
        }
        tables.swap(listed);
        reads.swap(snapshot);
        if (complete || round == kLockRounds)
            return execStatement(conn, "SET LOCAL lock_timeout TO DEFAULT");
    }
}

}  // namespace

int RvMigrateExportBat::getTableList(std::vector<RvdbTableSetPtr>& out)
{
    CdDBConnection* conn = m_appctx->getConnection(true);
    if (conn == nullptr)
        return -1101;
    NStringBuffer sql(4096);
    sql.appendf("select a.%s, a.%s, a.%s, a.%s, a.%s, a.%s, a.%s, a.%s, a.%s, a.%s,"
                "TO_CHAR(a.%s, 'YYYYMMDDHH24MISS') as %s,TO_CHAR(a.%s, 'YYYYMMDDHH24MISS') as %s "
                "from %s a ",
                "tbl_id", "status", "seqno", "tbl_lname", "note", "regist_uid", "regist_uname",
                "records", "tbl_key", "tbl_options", "regist_date", "regist_date", "update_date",
                "update_date", "rv_tbl");
    std::vector<CdDBBind> binds;
    if (equals(m_range, "running")) {
        sql.appendf("where a.%s = '1' ", "status");
    } else if (equals(m_range, "assign")) {
        // The name reaches the statement as a bind value, never as SQL text.
        sql.appendf("where a.%s = $1 ", "tbl_lname");
        binds.push_back(CdDBBind(m_dbname));
    }
    sql.appendf("order by a.%s", "seqno");

    conn->setSql(sql.c_str());
    CdDBResultHandle res = conn->execute(binds);
    if (!res || res->isError()) {
        int status = res ? res->getStatus() : -1101;
        EXPORTTRACE("ret[%d] dbsts[%s] dbmsg[%s] range[%s] dbname[%s]", status, conn->getSqlState(),
                    conn->getErrorMessage(), m_range.c_str(), m_dbname.c_str());
        return status;
    }
    while (!res->isEOF()) {
        RvdbTableSetPtr table = std::make_shared<RvdbTableSet>();
        int ret = rvappReadTableSetRow(res, *table);
        if (ret != 0) {
            EXPORTTRACE("ret[%d] range[%s]", ret, m_range.c_str());
            return ret;
        }
        res->next();
        out.push_back(table);
    }
    return 0;
}

int RvMigrateExportBat::makeExportDir(const RvdbTableSetPtr& table, NString& out, bool make)
{
    NString phys;
    rvdbMakeTableName(phys, table->tbl_id);
    NString finalDir = m_files_dir + phys + NString("/");
    out = workDirOf(m_files_dir, phys);
    m_work_table_dir = out;
    m_final_table_dir = finalDir;

    const NString* failedDir = nullptr;
    int code = 0;
    int ret = removeTree(finalDir);
    if (ret != 0) {
        failedDir = &finalDir;
        code = RVEXP_ERR_DELETE_DIR;
    } else if ((ret = removeTree(out)) != 0) {
        failedDir = &out;
        code = RVEXP_ERR_DELETE_DIR;
    } else if (make && (ret = comDirMake(out.c_str())) != 0) {
        failedDir = &out;
        code = RVEXP_ERR_MAKE_DIR;
    }
    if (code == 0)
        return 0;
    EXPORTTRACE("ret[%d] tableid[%s] tablename[%s] exportdir[%s] errno[%d]", ret,
                table->tbl_id.c_str(), table->tbl_lname.c_str(), failedDir->c_str(), errno);
    NString shown = shownPath(*failedDir);
    RvComMigrate::comMigrateConvName(shown);
    NString text;
    rvcomGetCodeMessage(text, code, phys, table->tbl_lname, shown);
    writeExportLog(text);
    m_table_error_text = text;
    return code;
}

NString RvMigrateExportBat::shownPath(const NString& path) const
{
    size_t n = std::strlen(m_work_table_dir.c_str());
    if (n == 0 || std::strncmp(path.c_str(), m_work_table_dir.c_str(), n) != 0)
        return path;
    return m_final_table_dir + NString(path.c_str() + n, -1);
}

int RvMigrateExportBat::publishExportDir(const RvdbTableSetPtr& table, const NString& workDir)
{
    NString phys;
    rvdbMakeTableName(phys, table->tbl_id);
    std::string from(workDir.c_str());
    if (!from.empty() && from.back() == '/')
        from.pop_back();
    NString finalDir = m_files_dir + phys;
    if (removeTree(finalDir) == 0 && ::rename(from.c_str(), finalDir.c_str()) == 0)
        return 0;
    EXPORTTRACE("ret[%d] tableid[%s] tablename[%s] exportdir[%s] errno[%d]", RVEXP_ERR_MAKE_DIR,
                table->tbl_id.c_str(), table->tbl_lname.c_str(), finalDir.c_str(), errno);
    NString shown = finalDir;
    RvComMigrate::comMigrateConvName(shown);
    NString text;
    rvcomGetCodeMessage(text, RVEXP_ERR_MAKE_DIR, phys, table->tbl_lname, shown);
    writeExportLog(text);
    m_table_error_text = text;
    return RVEXP_ERR_MAKE_DIR;
}

int RvMigrateExportBat::exportTables()
{
    std::vector<RvdbTableSetPtr> tables;
    int ret = getTableList(tables);
    if (ret != 0) {
        EXPORTTRACE("ret[%d]", ret);
        return ret;
    }
    if (tables.empty()) {
        NString text;
        rvcomGetLocalString(text, "export_logfile_export_no_table");
        writeExportLog(text);
        return 0;
    }
    ret = lockFilesDir(*this);
    if (ret != 0)
        return ret;
    CdDBConnection* conn = m_appctx->getConnection(true);
    if (conn == nullptr)
        return CDDB_ERR_NO_RESULT;
    // The snapshot the run reads is taken only once the listed tables are
    // locked: a table emptied while the export waited for a lock is then
    // read as it is, together with the list that goes with it.
    std::vector<int> lockCodes;
    std::vector<std::string> lockRefs;
    ret = lockListedTables(*this, conn, tables, lockCodes, lockRefs);
    if (ret != 0) {
        EXPORTTRACE("ret[%d] dbsts[%s] dbmsg[%s]", ret, conn->getSqlState(), conn->getErrorMessage());
        return ret;
    }
    if (tables.empty()) {
        NString text;
        rvcomGetLocalString(text, "export_logfile_export_no_table");
        writeExportLog(text);
        return 0;
    }
    // A table that failed while the run goes on.
    auto tableFailed = [this](int code) {
        ++m_error_count;
        if (m_failed_table_code == 0) {
            m_failed_table_code = code;
            m_failed_table_text = m_table_error_text;
        }
    };
    const unsigned count = static_cast<unsigned>(tables.size());
    for (unsigned i = 0; i < count; ++i) {
        RvdbTableSetPtr table = tables[i];
        const NString& name = table->tbl_lname;
        NString phys;
        rvdbMakeTableName(phys, table->tbl_id);

        NString progress;
        rvcomGetLocalString(progress, "export_cmdline_export_progress",
                            RvComMigrate::comMigrateToString(static_cast<int>(i + 1)),
                            RvComMigrate::comMigrateToString(count));
        RvComMigrate::comMigratePrintProgress(progress);

        if (lockCodes[i] != 0) {
            ret = lockCodes[i];
            EXPORTTRACE("ret[%d] tableid[%s] tablename[%s] table[%s]", ret, table->tbl_id.c_str(), name.c_str(),
                        lockRefs[i].c_str());
            NString text;
            makeTableErrorMessage(ret, *table, name, text);
            m_table_error_text = text;
            // The log also names the referenced table that failed.
            if (!lockRefs[i].empty()) {
                NString ref;
                rvcomGetLocalString(ref, "export_logfile_export_reference", NString(lockRefs[i].c_str()));
                text = text + NString(" ") + ref;
            }
            writeExportLog(text);
            tableFailed(ret);
            // The table is not read: its earlier export goes as well.
            NString dir;
            makeExportDir(table, dir, false);
            logEndEntry(*this, phys, name, false, 0, 0, 0, true);
            continue;
        }

        NString dir;
        ret = makeExportDir(table, dir);
        if (ret != 0) {
            tableFailed(ret);
            logEndEntry(*this, phys, name, false, 0, 0, 0, true);
            EXPORTTRACE("ret[%d] tableid[%s] tablename[%s] exportdir[%s]", ret, table->tbl_id.c_str(),
                        name.c_str(), dir.c_str());
            continue;
        }

        std::vector<RvdbColumnSetPtr> columns;
        ret = getExportColumns(*table, columns);
        if (ret != 0) {
            EXPORTTRACE("ret[%d] tableid[%s] tablename[%s]", ret, table->tbl_id.c_str(), name.c_str());
            logEndEntry(*this, phys, name, false, 0, 0, 0, true);
            removeTree(dir);
            if (ret == RVEXP_ERR_COLNAME_CHAR || ret == RVEXP_ERR_COLNAME_RESERVED ||
                ret == RVEXP_ERR_COLNAME_LENGTH) {
                tableFailed(ret);
                continue;
            }
            ++m_error_count;
            return ret;
        }

        ret = writeSettingJson(dir, *table, columns);
        if (ret != 0) {
            ++m_error_count;
            EXPORTTRACE("ret[%d] exportdir[%s] tableid[%s] tablename[%s]", ret, dir.c_str(),
                        table->tbl_id.c_str(), name.c_str());
            NString path;
            path.format("%s%s", dir.c_str(), "setting.json");
            path = shownPath(path);
            RvComMigrate::comMigrateConvName(path);
            NString text;
            rvcomGetCodeMessage(text, ret, phys, name, path);
            writeExportLog(text);
            logEndEntry(*this, phys, name, false, 0, 0, 0, true);
            removeTree(dir);
            return ret;
        }

        CdDBResultHandle records;
        ret = getRecordList(*table, columns, records);
        if (ret != 0) {
            ++m_error_count;
            EXPORTTRACE("ret[%d] tableid[%s] tablename[%s]", ret, table->tbl_id.c_str(), name.c_str());
            NString text;
            makeTableErrorMessage(ret, *table, name, text);
            writeExportLog(text);
            logEndEntry(*this, phys, name, false, 0, 0, 0, true);
            removeTree(dir);
            return ret;
        }

        int clean = 0, warning = 0, error = 0;
        ret = writeDataCsv(table, dir, records, columns, clean, warning, error);
        int closeRet = comCgiCloseOutput();
        records = CdDBResultHandle();
        if (ret == 0 && closeRet != 0) {
            EXPORTTRACE("ret[%d] csvfilepath[%sdata.csv] errno[%d]", closeRet, dir.c_str(), errno);
            ret = -1;
        }
        if (ret != 0) {
            ++m_error_count;
            NString text;
            makeTableErrorMessage(ret, *table, name, text);
            writeExportLog(text);
            logEndEntry(*this, phys, name, clean > 0 || warning > 0 || error > 0, clean, warning,
                        error, true);
            EXPORTTRACE("ret[%d] tableid[%s] tablename[%s]", ret, table->tbl_id.c_str(), name.c_str());
            removeTree(dir);
            return ret;
        }

        if (publishExportDir(table, dir) != 0) {
            tableFailed(RVEXP_ERR_MAKE_DIR);
            logEndEntry(*this, phys, name, true, clean, warning, error, true);
            removeTree(dir);
            continue;
        }
        logEndEntry(*this, phys, name, true, clean, warning, error, false);
        if (error > 0) {
            ++m_error_count;
        } else {
            ++m_success_count;
            if (warning > 0)
                ++m_warning_count;
        }
    }
    RvComMigrate::comMigratePrint(NString(""), true);
    return 0;
}

// ---- export columns and setting.json ----------------------------------------

int RvMigrateExportBat::getExportColumns(const RvdbTableSet& table, std::vector<RvdbColumnSetPtr>& out)
{
    CdDBConnection* conn = m_appctx->getConnection(true);
    std::vector<RvdbColumnSetPtr> all;
    int ret = rvddGetTblColList(conn, all, table.tbl_id.c_str());
    if (ret != 0) {
        NString text;
        makeTableErrorMessage(ret, table, table.tbl_lname, text);
        writeExportLog(text);
        EXPORTTRACE("ret[%d] tableid[%s] dbname[%s]", ret, table.tbl_id.c_str(), table.tbl_lname.c_str());
        return ret;
    }
    NString phys;
    rvdbMakeTableName(phys, table.tbl_id);
    if (all.empty()) {
        EXPORTTRACE("ret[%d] tableid[%s] dbname[%s]", 0, table.tbl_id.c_str(), table.tbl_lname.c_str());
        NString text;
        rvcomGetCodeMessage(text, RVEXP_ERR_NO_COLUMNS, phys, table.tbl_lname);
        writeExportLog(text);
        return RVEXP_ERR_NO_COLUMNS;
    }
    for (const RvdbColumnSetPtr& col : all) {
        if (!col)
            continue;
        // The system columns -2 .. -5 are renamed to the reserved names.
        NString sysName;
        bool renamed = systemColumnName(col->getColId(), sysName);
        ret = checkColumnName(col->getColLname(), !renamed);
        if (ret != 0) {
            NString text;
            rvcomGetCodeMessage(text, ret, phys, table.tbl_lname, col->getColLname(), col->getColId());
            writeExportLog(text);
            m_table_error_text = text;
            EXPORTTRACE("ret[%d] tableid[%s] dbname[%s] colid[%s] colname[%s]", ret,
                        table.tbl_id.c_str(), table.tbl_lname.c_str(), col->getColId().c_str(),
                        col->getColLname().c_str());
            return ret;
        }
        if (!exportsColumn(*col))
            continue;
        RvdbColumnSet* copy = new RvdbColumnSet();
        RvdbColumnSet::copyDeep(*col, *copy);
        out.push_back(RvdbColumnSetPtr(copy));
    }
    return 0;
}

bool RvMigrateExportBat::exportsColumn(const RvdbColumnSet& column) const
{
    const NString& type = column.getColType();
    if (equals(m_auto_calc, "off") &&
        (equals(type, RVDB_TYPE_NUMBERCAL) || equals(type, RVDB_TYPE_DATETIMECAL) ||
         equals(type, RVDB_TYPE_TIMESPANCAL)))
        return false;
    return !(equals(m_reference, "off") && equals(type, RVDB_TYPE_RELREF));
}

int RvMigrateExportBat::checkColumnName(const NString& name, bool checkReserved)
{
    if (comUtf8CharCount(name.c_str()) > 63) {
        EXPORTTRACE("ret[%d] colname[%s]", RVEXP_ERR_COLNAME_LENGTH, name.c_str());
        return RVEXP_ERR_COLNAME_LENGTH;
    }
    if (checkReserved) {
        static const char* const reserved[] = {
            "export_id",          "export_regist_date", "export_regist_user",
            "export_update_date", "export_update_user", "export_revision",
        };
        for (const char* key : reserved) {
            NString text;
            rvcomGetLocalString(text, key);
            if (std::strcmp(text.c_str(), name.c_str()) == 0) {
                EXPORTTRACE("ret[%d] colname[%s] systemcolname[%s]", RVEXP_ERR_COLNAME_RESERVED,
                            name.c_str(), text.c_str());
                return RVEXP_ERR_COLNAME_RESERVED;
            }
        }
    }
    if (std::strpbrk(name.c_str(), "{}\\\"") != nullptr) {
        EXPORTTRACE("ret[%d] colname[%s]", RVEXP_ERR_COLNAME_CHAR, name.c_str());
        return RVEXP_ERR_COLNAME_CHAR;
    }
    return 0;
}

int RvMigrateExportBat::getExportType(const RvdbColumnSetPtr& column, NString& out)
{
    static const struct {
        const char* type;
        const char* word;
    } types[] = {
        { RVDB_TYPE_DATETIME, "datetime" }, { RVDB_TYPE_DATETIMECAL, "datetime" },
        { RVDB_TYPE_USER, "users" },        { RVDB_TYPE_TEXT, "textbox" },
        { RVDB_TYPE_MAIL, "textbox" },      { RVDB_TYPE_URL, "textbox" },
        { RVDB_TYPE_KEY, "textbox" },       { RVDB_TYPE_RELKEY, "textbox" },
        { RVDB_TYPE_TEXTS, "textarea" },    { RVDB_TYPE_NUMBER, "number" },
        { RVDB_TYPE_NUMBERCAL, "number" },  { RVDB_TYPE_TIMESPAN, "number" },
        { RVDB_TYPE_TIMESPANCAL, "number" }, { RVDB_TYPE_SELECT, "radio" },
        { RVDB_TYPE_SELECTS, "checkbox" },  { RVDB_TYPE_IMAGE, "files" },
        { RVDB_TYPE_FILE, "files" },
    };
    const NString relType = column ? column->getRelColType() : NString();
    for (const auto& t : types) {
        if (equals(relType, t.type)) {
            out = t.word;
            return 0;
        }
    }
    EXPORTTRACE("ret[%d] colname[%s] type[%s]", RVEXP_ERR_NO_IMPORT_TYPE,
                column ? column->getColLname().c_str() : "", relType.c_str());
    return RVEXP_ERR_NO_IMPORT_TYPE;
}

int RvMigrateExportBat::writeSettingJson(const NString& exportDir, const RvdbTableSet& table,
                                         const std::vector<RvdbColumnSetPtr>& columns)
{
    NString path = exportDir + NString("setting.json");
    FILE* fp = std::fopen(path.c_str(), "w");
    if (fp == nullptr) {
        EXPORTTRACE("settingfile[%s] errno[%d]", exportDir.c_str(), errno);
        return RVEXP_ERR_SETTING_JSON;
    }
    std::string name(table.tbl_lname.c_str());
    comUtf8Cut(&name[0], 63, 1);
    name.resize(std::strlen(name.c_str()));

    NDoc root;
    root.setChildValue("Name", name.c_str());
    NDoc fields("fields", nullptr, true);
    for (const RvdbColumnSetPtr& col : columns) {
        NString fieldName, type;
        if (!systemColumnName(col->getColId(), fieldName)) {
            fieldName = col->getColLname();
            if (getExportType(col, type) != 0) {
                EXPORTTRACE("ret[%d] colname[%s] type[%s]", RVEXP_ERR_NO_IMPORT_TYPE,
                            col->getColLname().c_str(), col->getRelColType().c_str());
                std::fclose(fp);
                return RVEXP_ERR_SETTING_JSON;
            }
        } else {
            type = "";
        }
        NDoc field;
        field.setChildValue("field_name", fieldName.c_str());
        field.setChildValue("type", type.c_str());
        fields.addChild(field);
    }
    root.addChild(fields);

    NOutputFunctor out(nullptr, fp);
    root.toJson(out);
    bool failed = out.hasError() || std::fflush(fp) != 0 || std::ferror(fp) != 0;
    if (std::fclose(fp) != 0)
        failed = true;
    if (failed) {
        EXPORTTRACE("settingfile[%s] errno[%d]", path.c_str(), errno);
        return RVEXP_ERR_SETTING_JSON;
    }
    return 0;
}
