// Column definitions for new columns (type defaults, relation columns) and
// the process-wide cache of a user's rights per column.
#ifndef RVDBCOLUMNSETFUNCS_H
#define RVDBCOLUMNSETFUNCS_H

#include "nstring.h"
#include "rvaccinfo.h"
#include "rvdbcolumnset.h"

class RvUser;

// Gives out (a fresh definition of type colType) its identity and the
// default settings of the type; other properties keep their values. An
// empty seqno takes the column id. "relkey" needs related (the column it
// links to); "relref" and "relcpy" need related and are built by
// rvdbMakeRelationColumnSet with relKey. 0; -100001 for a missing argument
// or an unknown type (out may be partly written).
int rvdbSetColumnSetDefaults(const NString& tblId, const NString& colId, const NString& seqno,
                             const NString& colLname, const NString& colType, RvdbColumnSet& out,
                             const RvdbColumnSet* related, const NString& relKey);

// out = the definition of a "relref" or "relcpy" column showing related
// through relation-key column relKey: a "relref" copies related whole (its
// chain must lead to a column that is not "relref"); a "relcpy" of a
// calculated or selection column becomes a plain column of the base type
// keeping the display settings. out shares nothing with related: no related
// set, no physical columns, a permission of its own. 0 or -100001.
int rvdbMakeRelationColumnSet(const NString& tblId, const NString& colId, const NString& seqno,
                              const NString& colLname, const NString& relKey,
                              const RvdbColumnSet* related, const NString& colType,
                              RvdbColumnSet& out);

// user's rights (refer, entry, change) on column colId of table tblId.
// They start from the table permission (status rule on); a calculated
// column whose inputs lie in a table the user may not refer to, and a
// relation column whose chain passes such a table or ends in such a
// calculation, get no rights; so does every column of a calculation that
// returns to itself. The rights of all columns of the table are computed
// at once and kept per user and table for the process (reset: forget all
// kept rights first).
// *out designates the kept rights of the column, or a permission without
// rights when the table has no such column or on failure; it stays valid
// until the next reset. 0; -100001 for a null out; the code of the column
// definitions, the table list or the table permission (nothing is kept).
// Callers masking values (a list page, its CSV download) read
// RvdbColumnSet::getColPermission, which asks this for the context's user:
// a column without refer is shown as denied.
int rvdbGetColPermission(const RvUser& user, const NString& tblId, const NString& colId,
                         const RvColPermission** out, bool reset);

#endif
