// The lock rounds of the export: every table the run's snapshot reads is
// locked before that snapshot is taken.
#ifndef RVMIGRATEEXPORTLOCKS_H
#define RVMIGRATEEXPORTLOCKS_H

#include <functional>
#include <string>
#include <vector>

#include "rvtbl.h"

class CdDBConnection;
class RvMigrateExportBat;

// Locks every table the export of tables reads, then reads the list again
// in the snapshot so taken. Stops first when the server's lock table
// cannot hold the locks; beforeLocks runs before the first lock. tables:
// the list read before, then the list of the snapshot. codes: the code of
// each listed table's locks (0 locked). refs: the table whose lock failed,
// when it is not the listed table's own; empty otherwise. 0, or the code
// that stops the run.
int rvexpLockListedTables(RvMigrateExportBat& bat, CdDBConnection* conn, std::vector<RvdbTableSetPtr>& tables,
                          std::vector<int>& codes, std::vector<std::string>& refs,
                          const std::function<int()>& beforeLocks);

#endif
