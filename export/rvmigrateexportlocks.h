// The lock rounds of the export: every table the run's snapshot reads is
// locked before that snapshot is taken; then every index its queries open.
#ifndef RVMIGRATEEXPORTLOCKS_H
#define RVMIGRATEEXPORTLOCKS_H

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "rvtbl.h"

class CdDBConnection;
class RvMigrateExportBat;

// Locks every table the export of tables reads, then reads the list again
// in the snapshot so taken. beforeLocks runs before the first lock. A lock
// that finds no room in the server's lock table stops the run there, its
// transaction rolled back and the server's text kept in bat. tables:
// the list read before, then the list of the snapshot. codes: the code of
// each listed table's locks (0 locked). refs: the table whose lock failed,
// when it is not the listed table's own; empty otherwise. absent: the
// names of the tables read that do not exist. 0, or the code that stops
// the run.
int rvexpLockListedTables(RvMigrateExportBat& bat, CdDBConnection* conn, std::vector<RvdbTableSetPtr>& tables,
                          std::vector<int>& codes, std::vector<std::string>& refs, std::set<std::string>& absent,
                          const std::function<int()>& beforeLocks);

// Takes, before anything is written, the locks that the queries of the
// export of tables hold besides those on the tables: the server plans each
// query the export of a locked table (codes[i] 0) runs, which locks every
// index of each relation it reads, and runs none; the attachment tables
// among absent are not asked for. When a table with a record has an
// attachment of its own, the first byte of one such large object is read,
// which locks what reading large objects holds. A query that cannot be planned is left
// to the export, which fails on it. 0, or the code that
// stops the run: the one of a plan that finds no room in the server's lock
// table rolls the transaction back and keeps the server's text in bat.
int rvexpLockQueriedIndexes(RvMigrateExportBat& bat, CdDBConnection* conn,
                            const std::vector<RvdbTableSetPtr>& tables, const std::vector<int>& codes,
                            const std::set<std::string>& absent);

#endif
