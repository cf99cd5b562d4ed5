// The lock rounds of the export, and the locks of its queries.
#include "rvmigrateexportlocks.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>

#include "RvdbColumnValue.h"
#include "cddbcodes.h"
#include "cddbconnection.h"
#include "cddbconnection_pg.h"
#include "rvcomcode.h"
#include "rvdbinnercolumn.h"
#include "rvddGetTblColList.h"
#include "rvexportattachstream.h"
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
// usable. full: the lock failed for lack of lock space, whose server text
// bat keeps. 0 or the database's code (-1051 for a table that does not
// exist).
int lockTable(RvMigrateExportBat& bat, CdDBConnection* conn, const std::string& name, bool& full)
{
    full = false;
    int ret = execStatement(conn, "SAVEPOINT rvexp_lock");
    if (ret != 0)
        return ret;
    ret = execStatement(conn, NString("LOCK TABLE ") + NString(name.c_str()) + NString(" IN ACCESS SHARE MODE"));
    if (ret == 0)
        return execStatement(conn, "RELEASE SAVEPOINT rvexp_lock");
    EXPORTTRACE("ret[%d] table[%s] dbsts[%s] dbmsg[%s]", ret, name.c_str(), conn->getSqlState(),
                conn->getErrorMessage());
    full = bat.keepLockSpaceText(conn, ret);
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
// the export fills in its snapshot. 0, or the code of a read that failed in
// the database, which is logged for the table: the transaction is lost.
int tablesReadBy(RvMigrateExportBat& bat, CdDBConnection* conn, const RvdbTableSet& table, ReadTables& out)
{
    out.clear();
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
    int ret = rvddGetTblColList(conn, columns, table.tbl_id.c_str(), "");
    if (ret != 0 && conn->inUsableTransaction())
        return 0;
    if (ret != 0) {
        EXPORTTRACE("ret[%d] tableid[%s] dbname[%s] dbsts[%s] dbmsg[%s]", ret, table.tbl_id.c_str(),
                    table.tbl_lname.c_str(), conn->getSqlState(), conn->getErrorMessage());
        NString text;
        bat.makeTableErrorMessage(ret, table, table.tbl_lname, text);
        bat.writeExportLog(text);
        return ret;
    }
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
    return 0;
}

// Whether name can be given to the server as it is: a plain name.
bool plainName(const std::string& name)
{
    return !name.empty() && name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_") == std::string::npos;
}

// "(values ('a'),('b')) as v(n)" for the plain names among names; empty
// when there are none.
NString plainNameValues(const std::set<std::string>& names)
{
    NStringBuffer sql(1024);
    for (const std::string& name : names) {
        if (plainName(name))
            sql.appendf("%s('%s')", sql.length() == 0 ? "(values " : ",", name.c_str());
    }
    if (sql.length() != 0)
        sql.append(") as v(n)");
    return NString(sql.c_str());
}

// The names among names that name a table now, whatever the snapshot
// says: a table made or renamed after the snapshot is read too. Only plain
// names are asked. 0 or the code of the failed read.
int tablesNowPresent(CdDBConnection* conn, const std::set<std::string>& names, std::set<std::string>& out)
{
    NString values = plainNameValues(names);
    if (values.isNullOrEmpty())
        return 0;
    conn->setSql((NString("select v.n from ") + values + NString(" where to_regclass(v.n) is not null")).c_str());
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
// is not tried again. Each lock waits at most the lock time-out, which is
// lifted before the snapshot's reads. A lock that fails for lack of lock
// space stops the run at once, its transaction rolled back; so does a failed
// read. beforeLocks runs before the first lock. tables: the list read
// before, then the list of the snapshot. codes: the code of each listed
// table's locks; a table that is still not locked in the last round counts
// as timed out. refs: the table whose lock failed, when it is not the
// listed table's own; empty otherwise. absent: the tables read that do not
// exist. 0, or the code that stops the run.
int rvexpLockListedTables(RvMigrateExportBat& bat, CdDBConnection* conn, std::vector<RvdbTableSetPtr>& tables,
                          std::vector<int>& codes, std::vector<std::string>& refs, std::set<std::string>& absent,
                          const std::function<int()>& beforeLocks)
{
    std::map<std::string, int> failed;  // table name: code its lock failed with
    std::map<std::string, ReadTables> reads;  // table id: the tables to lock for it
    for (const RvdbTableSetPtr& table : tables) {
        int ret = tablesReadBy(bat, conn, *table, reads[table->tbl_id.c_str()]);
        if (ret != 0)
            return ret;
    }
    int ret = beforeLocks();
    if (ret != 0)
        return ret;
    for (int round = 1;; ++round) {
        ret = restartTransaction(conn);
        if (ret == 0)
            ret = execStatement(conn, "SET LOCAL lock_timeout = '5s'");
        std::map<std::string, int> locks;  // table name: code of its lock in this round
        for (size_t i = 0; ret == 0 && i < tables.size(); ++i) {
            for (const ReadTable& t : reads[tables[i]->tbl_id.c_str()]) {
                auto done = locks.find(t.name);
                if (done == locks.end()) {
                    auto f = failed.find(t.name);
                    bool full = false;
                    int code = f != failed.end() ? f->second : lockTable(bat, conn, t.name, full);
                    // No lock space: the run stops here, and the locks it
                    // holds go at once.
                    if (full) {
                        conn->rollback();
                        return code;
                    }
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
        // The time-out bounds the locks only: the reads below wait.
        if (ret == 0)
            ret = execStatement(conn, "SET LOCAL lock_timeout TO DEFAULT");
        std::vector<RvdbTableSetPtr> listed;
        if (ret == 0)
            ret = bat.getTableList(listed);
        if (ret != 0)
            return ret;
        std::map<std::string, ReadTables> snapshot;
        std::set<std::string> missing, present;
        for (const RvdbTableSetPtr& table : listed) {
            ReadTables& set = snapshot[table->tbl_id.c_str()];
            ret = tablesReadBy(bat, conn, *table, set);
            if (ret != 0)
                return ret;
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
        absent.clear();
        for (const std::string& name : missing)
            if (present.count(name) == 0)
                absent.insert(name);
        tables.swap(listed);
        reads.swap(snapshot);
        if (complete || round == kLockRounds)
            return 0;
    }
}

namespace {

// Statements planned per savepoint, tables asked for records at once.
const size_t kPlansPerSavepoint = 64;

// A failure that stops the run: one for lack of lock space rolls the
// transaction back at once.
int stopRun(RvMigrateExportBat& bat, CdDBConnection* conn, int code)
{
    EXPORTTRACE("ret[%d] dbsts[%s] dbmsg[%s]", code, conn->getSqlState(), conn->getErrorMessage());
    if (bat.keepLockSpaceText(conn, code))
        conn->rollback();
    return code;
}

// Which of the tables have a record in the snapshot: has[k] is made false
// for names[k] when it has none; a check that fails leaves has as it is.
// 0, or the code that stops the run.
int tablesWithRecords(RvMigrateExportBat& bat, CdDBConnection* conn, const std::vector<std::string>& names,
                      std::vector<bool>& has)
{
    NStringBuffer sql(4096);
    for (size_t k = 0; k < names.size(); ++k)
        sql.appendf("%sselect %u where exists (select 1 from %s)", k > 0 ? " union all " : "",
                    static_cast<unsigned>(k), names[k].c_str());
    int ret = execStatement(conn, "SAVEPOINT rvexp_rows");
    if (ret != 0)
        return stopRun(bat, conn, ret);
    conn->setSql(sql.c_str());
    CdDBResultHandle res = conn->execute();
    ret = res ? res->getStatus() : CDDB_ERR_NO_RESULT;
    if (ret == 0) {
        std::vector<bool> found(names.size(), false);
        bool read = true;
        for (; read && !res->isEOF(); res->next()) {
            NString k;
            read = res->getValue(k, 0) == 0;
            unsigned long n = std::strtoul(k.c_str(), nullptr, 10);
            if (read && n < found.size())
                found[n] = true;
        }
        if (read)
            has = found;
    } else if (bat.keepLockSpaceText(conn, ret)) {
        return stopRun(bat, conn, ret);
    } else {
        EXPORTTRACE("ret[%d] dbsts[%s] dbmsg[%s]", ret, conn->getSqlState(), conn->getErrorMessage());
        ret = execStatement(conn, "ROLLBACK TO SAVEPOINT rvexp_rows");
    }
    res = CdDBResultHandle();
    if (ret == 0)
        ret = execStatement(conn, "RELEASE SAVEPOINT rvexp_rows");
    return ret != 0 ? stopRun(bat, conn, ret) : 0;
}

// Has the server plan statements without running them: a plan locks every
// index of each relation the statement reads, until the transaction ends.
// The plans are made in savepoints of kPlansPerSavepoint each; a statement
// that cannot be planned takes no lock (the savepoint is rolled back and
// the others in it planned again) and fails again when the export runs it.
class Planner {
public:
    Planner(RvMigrateExportBat& bat, CdDBConnection* conn) : bat(bat), conn(conn), open(false) {}

    // Plans sql with binds. 0, or the code that stops the run.
    int plan(const NString& sql, const std::vector<CdDBBind>& binds)
    {
        if (!open) {
            int ret = execStatement(conn, "SAVEPOINT rvexp_plan");
            if (ret != 0)
                return stop(ret);
            open = true;
        }
        batch.push_back(Statement{ sql, binds });
        int ret = explain(batch.back());
        if (ret != 0 && !bat.keepLockSpaceText(conn, ret)) {
            EXPORTTRACE("ret[%d] dbsts[%s] dbmsg[%s]", ret, conn->getSqlState(), conn->getErrorMessage());
            batch.pop_back();
            ret = replan();
        }
        if (ret != 0)
            return stop(ret);
        return batch.size() >= kPlansPerSavepoint ? finish() : 0;
    }

    // Ends the open savepoint, keeping its locks. 0, or the code that stops
    // the run.
    int finish()
    {
        if (!open)
            return 0;
        open = false;
        batch.clear();
        int ret = execStatement(conn, "RELEASE SAVEPOINT rvexp_plan");
        return ret != 0 ? stop(ret) : 0;
    }

private:
    struct Statement {
        NString sql;
        std::vector<CdDBBind> binds;
    };

    int explain(const Statement& s)
    {
        conn->setSql((NString("EXPLAIN ") + s.sql).c_str());
        CdDBResultHandle res = conn->execute(s.binds);
        return res ? res->getStatus() : CDDB_ERR_NO_RESULT;
    }

    // Rolls the savepoint back and plans its statements again; one that
    // fails now is left out.
    int replan()
    {
        for (;;) {
            int ret = execStatement(conn, "ROLLBACK TO SAVEPOINT rvexp_plan");
            size_t i = 0;
            for (; ret == 0 && i < batch.size(); ++i)
                ret = explain(batch[i]);
            if (ret == 0 || bat.keepLockSpaceText(conn, ret) || i == 0)
                return ret;
            batch.erase(batch.begin() + static_cast<std::ptrdiff_t>(i - 1));
        }
    }

    int stop(int code)
    {
        open = false;
        return stopRun(bat, conn, code);
    }

    RvMigrateExportBat& bat;
    CdDBConnection* conn;
    bool open;  // a savepoint is open
    std::vector<Statement> batch;  // planned in it
};

// Reading a large object locks the large-object catalog and its index until
// the transaction ends: the first byte of one that the run reads is read
// now, so that those locks too are taken before the first file. finds:
// statements that each give such an object, if there is one, asked
// kPlansPerSavepoint at a time. A search or read that fails for another
// reason than lack of lock space is undone and left to the export. 0, or
// the code that stops the run.
int lockLargeObjects(RvMigrateExportBat& bat, CdDBConnection* conn, const std::vector<NString>& finds)
{
    CdDBConnection_PG* pg = dynamic_cast<CdDBConnection_PG*>(conn);
    if (pg == nullptr || finds.empty())
        return 0;
    int ret = execStatement(conn, "SAVEPOINT rvexp_lob");
    if (ret != 0)
        return stopRun(bat, conn, ret);
    NString oid;
    for (size_t i = 0; ret == 0 && oid.isNullOrEmpty() && i < finds.size(); i += kPlansPerSavepoint) {
        NStringBuffer sql(4096);
        sql.append("select oid from (");
        for (size_t k = i; k < finds.size() && k < i + kPlansPerSavepoint; ++k)
            sql.appendf("%s(%s)", k > i ? " union all " : "", finds[k].c_str());
        sql.append(") s limit 1");
        conn->setSql(sql.c_str());
        CdDBResultHandle res = conn->execute();
        ret = res ? res->getStatus() : CDDB_ERR_NO_RESULT;
        if (ret == 0 && !res->isEOF())
            ret = res->getValue(oid, 0);
    }
    if (ret == 0 && !oid.isNullOrEmpty()) {
        unsigned long id = std::strtoul(oid.c_str(), nullptr, 10);
        if (pg->readLargeObjectStart(static_cast<uint32_t>(id)) != 0)
            ret = CDDB_ERR_DB;
    }
    if (ret != 0 && !bat.keepLockSpaceText(conn, ret)) {
        EXPORTTRACE("ret[%d] lobfile[%s] dbsts[%s] dbmsg[%s]", ret, oid.c_str(), conn->getSqlState(),
                    conn->getErrorMessage());
        ret = execStatement(conn, "ROLLBACK TO SAVEPOINT rvexp_lob");
    }
    if (ret == 0)
        ret = execStatement(conn, "RELEASE SAVEPOINT rvexp_lob");
    return ret != 0 ? stopRun(bat, conn, ret) : 0;
}

}  // namespace

// The export of a table reads its records with one query, its own
// attachments with another once it has a record, and the attachments its
// reference columns reach with a query on each referenced attachment
// table; each of those is planned (a referenced attachment table once for
// the run).
int rvexpLockQueriedIndexes(RvMigrateExportBat& bat, CdDBConnection* conn,
                            const std::vector<RvdbTableSetPtr>& tables, const std::vector<int>& codes,
                            const std::set<std::string>& absent)
{
    const std::vector<CdDBBind> none;
    Planner planner(bat, conn);
    // The attachment streams of the tables, read only when a table has a
    // record.
    std::vector<std::string> streamTables;
    std::vector<NString> streams, objects;
    // The statements giving a large object of a table that has a record.
    std::vector<NString> finds;
    // Referenced attachment tables planned, or that do not exist.
    std::set<std::string> lobTables(absent);
    for (size_t i = 0; i < tables.size() && i < codes.size(); ++i) {
        if (codes[i] != 0)
            continue;
        const RvdbTableSet& table = *tables[i];
        std::vector<RvdbColumnSetPtr> all, columns;
        int ret = rvddGetTblColList(conn, all, table.tbl_id.c_str());
        // Definitions that cannot be read fail the table in its turn.
        if (ret != 0 && conn->inUsableTransaction())
            continue;
        if (ret != 0) {
            EXPORTTRACE("ret[%d] tableid[%s] dbsts[%s] dbmsg[%s]", ret, table.tbl_id.c_str(),
                        conn->getSqlState(), conn->getErrorMessage());
            return ret;
        }
        for (const RvdbColumnSetPtr& col : all)
            if (col && bat.exportsColumn(*col))
                columns.push_back(col);
        NString sql;
        if (columns.empty() || bat.getRecordQuery(table, columns, sql) != 0)
            continue;
        ret = planner.plan(sql, none);
        if (ret != 0)
            return ret;

        NString lob, phys;
        RvExportAttachStream own(conn, table.tbl_id, columns);
        sql = own.statement();
        rvdbMakeLobTableName(lob, table.tbl_id);
        if (!sql.isNullOrEmpty() && absent.count(lob.c_str()) == 0) {
            streamTables.push_back(rvdbMakeTableName(phys, table.tbl_id).c_str());
            streams.push_back(sql);
            objects.push_back(own.objectStatement());
        }
        // A reference file value lists by record key, an image value by
        // content id, in the attachment table of the column it shows.
        for (const RvdbColumnSetPtr& col : columns) {
            const RvdbColumnSet* root = col->isRelRef() ? col->getRootColumnSet() : nullptr;
            if (root == nullptr)
                continue;
            RvdbColumnValuePtr probe(rvdbNewColumnValue(col));
            int type = probe ? probe->getType() : -1;
            if (type != RVDB_VALUE_FILE && type != RVDB_VALUE_IMAGE)
                continue;
            if (!lobTables.insert(rvdbMakeLobTableName(lob, root->getTblId()).c_str()).second)
                continue;
            const NString id("0");
            std::vector<CdDBBind> binds;
            if (rvdbMakeLogQuery(root->getTblId(), type == RVDB_VALUE_IMAGE ? id : NString(), root->getColId(),
                                 type == RVDB_VALUE_FILE ? id : NString(), sql, binds) != 0)
                continue;
            ret = planner.plan(sql, binds);
            if (ret != 0)
                return ret;
        }
    }
    for (size_t i = 0; i < streams.size(); i += kPlansPerSavepoint) {
        const size_t n = std::min(kPlansPerSavepoint, streams.size() - i);
        std::vector<std::string> names(streamTables.begin() + static_cast<std::ptrdiff_t>(i),
                                       streamTables.begin() + static_cast<std::ptrdiff_t>(i + n));
        std::vector<bool> has(n, true);
        int ret = tablesWithRecords(bat, conn, names, has);
        for (size_t k = 0; ret == 0 && k < n; ++k) {
            if (has[k]) {
                ret = planner.plan(streams[i + k], none);
                finds.push_back(objects[i + k]);
            }
        }
        if (ret != 0)
            return ret;
    }
    int ret = planner.finish();
    return ret != 0 ? ret : lockLargeObjects(bat, conn, finds);
}
