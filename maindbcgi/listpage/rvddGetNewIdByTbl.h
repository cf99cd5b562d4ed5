// New ids of definitions numbered within a table (counters "VIEW",
// "LAYOUTID" of rv_tbl_last_id), taken under a row lock on the caller's
// open transaction; nothing is committed or rolled back here.
#ifndef RVDDGETNEWIDBYTBL_H
#define RVDDGETNEWIDBYTBL_H

class CdDBConnection;
class RvAppCtx;

enum {
    RVDD_LAST_ID_MAX = 999999998,  // highest stored last_id that can still rise
    RVDD_LOCK_ATTEMPTS = 10        // locked reads before giving up
};

// newId = the counter's next id (1 for a counter without a row), written
// back to the counter. 0; -100001 for a tbl_id that is missing or not an
// integer or a missing cname; -330014 when the stored id is above
// RVDD_LAST_ID_MAX; -1010 when the row stayed locked; the code of a failing
// statement. A first allocation that loses the race for the counter row
// reads the row again.
int rvddGetNewIdByTbl(CdDBConnection* connection, const char* tblId, const char* cname, int& newId);
// The same on the context's connection (connecting when needed).
int rvddGetNewIdByTbl(RvAppCtx* context, const char* tblId, const char* cname, int& newId);

// Locked read of the counter: lastId = its last_id, 0 without a row; found
// (optional) tells the two apart. Retries a locked row as above.
int rvddSelectLastIdForUpdate(CdDBConnection* connection, const char* tblId, const char* cname, int& lastId,
                              bool* found = nullptr);
// Writes the counter row; -100001 for a value not above 0. The update gives
// -100010 when no row changed.
int rvddInsertLastId(CdDBConnection* connection, const char* tblId, const char* cname, int value);
int rvddUpdateLastId(CdDBConnection* connection, const char* tblId, const char* cname, int value);

#endif
