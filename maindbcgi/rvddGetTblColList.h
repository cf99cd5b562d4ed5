// Reading column definitions from rv_tbl_col into RvdbColumnSet objects:
// joined display names, private copies of related columns, physical
// columns, and a process-lifetime cache per table id handing out deep
// copies.
#ifndef RVDDGETTBLCOLLIST_H
#define RVDDGETTBLCOLLIST_H

#include <vector>

#include "nstring.h"
#include "rvdbcolumnset.h"

class CdDBConnection;
class CdDBResult;
class CdDBSqlEncoder;

// Column definitions matching the filters, appended to list in table seqno
// then column seqno order, relation columns resolved and physical columns
// built. A null or empty filter sets no condition. With only tblId given
// (the four other filters null) the table's finished sets are kept for the
// process and later calls get deep copies of them; an empty filter text
// that is passed disables the cache. 0; -100001 a filter that must be an
// integer is not; the code of the database, of relation resolution or of
// the physical-column build otherwise (sets appended so far stay in list).
// A related column that does not exist leaves the set without a related
// set; a relation chain that returns to a column already on it (or is
// deeper than RVDB_MAX_RELATION_DEPTH) fails with -100001. Only the sets
// this call appends are resolved, built and cached. Sets handed out share
// nothing with the cache, not even the permission slot.
int rvddGetTblColList(CdDBConnection* connection, std::vector<RvdbColumnSetPtr>& list,
                      const char* tblId, const char* colId = nullptr,
                      const char* colType = nullptr, const char* relTblId = nullptr,
                      const char* relColId = nullptr);

// Same filters, plain rows of rv_tbl_col ordered by tbl_id, col_id: no
// joined names, no relation resolution, no physical columns, no cache.
int rvddGetTblColListSimple(CdDBConnection* connection, std::vector<RvdbColumnSetPtr>& list,
                            const char* tblId, const char* colId = nullptr,
                            const char* colType = nullptr, const char* relTblId = nullptr,
                            const char* relColId = nullptr);

// Steps of the read, callable on their own.

// out = " where ..." for the non-empty filters, or empty. Integer filters
// are checked (-100001) and written as decimal numbers; colType is escaped
// by the encoder (its code on failure).
int rvddMakeTblColWhere(CdDBSqlEncoder* encoder, const char* tblId, const char* colId,
                        const char* colType, const char* relTblId, const char* relColId,
                        NString& out);

// Reads the current row into set. tolerant: a missing tbl_lname,
// rel_tbl_lname, rel_col_lname or rel_key_lname column leaves the property
// empty. 0, or the code of the read or split that failed.
int rvddReadColumnSetRow(const CdDBResult& result, RvdbColumnSet& set, bool tolerant);

#endif
