// A user's permission on one table, from the system administrator flag, the
// table's administrators (rv_tbl_admin) and its access entries (rv_tbl_acc).
#ifndef RVTBLPERMISSION_H
#define RVTBLPERMISSION_H

#include "nstring.h"
#include "rvaccinfo.h"

class CdDBConnection;
class RvUser;

// Decides user's rights on table tblId into out. Precedence: system
// administrator, table administrator, the user's own entry (wins for all six
// rights), the union of the user's group entries, the everyone entry, none.
// A right other than refer needs refer. With checkStatus and refer granted,
// a stopped table (status "0") loses entry, change, delete and addcmt.
// The administrator lookup runs inside a savepoint while a transaction is
// open, so a failed lookup counts as "not an administrator" and the
// transaction stays usable; when the savepoint cannot be set or rolled back
// its code is returned and no right is decided.
// 0; -100001 for a table id, or the id of a user who is not a system
// administrator, that is not an integer of at most nine digits; the codes of the entry and table reads (-100010: no such table).
// out is written only from the point where the rights are known.
int rvappGetTablePermission(CdDBConnection* connection, const RvUser& user, const NString& tblId,
                            RvTblPermission& out, bool checkStatus);

// True when userId is among the administrators of table tblId (ids compared
// as numbers, so "012" is user 12). The administrators of a table are read
// once per process, inside a savepoint while a transaction is open; a
// failed read is not kept. False on every failure.
bool rvappIsAdminOfTable(CdDBConnection* connection, const char* tblId, const char* userId);

// Reads an id of at most nine digits, optional '-', surrounded by optional
// blanks. False (out untouched) for anything else.
bool rvappParseId(const char* text, int& out);

#endif
