// The lock rounds of the export.
#include "rvmigrateexportlocks.h"

#include <map>
#include <set>

#include "cddbcodes.h"
#include "cddbconnection.h"
#include "rvdbinnercolumn.h"
#include "rvddGetTblColList.h"
#include "rvmigrateexportbat.h"

namespace {

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

}  // namespace

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
int rvexpLockListedTables(RvMigrateExportBat& bat, CdDBConnection* conn, std::vector<RvdbTableSetPtr>& tables,
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
